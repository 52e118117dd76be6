#include "clients_edit.h"

#include "clients_menu.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Globals.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

QString TOpenDialogSettings::qtFilter() const
{
    const QStringList parts = Filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        filters.append(parts.at(i) + u" ("_s + patterns + u')');
    }
    return filters.join(u";;"_s);
}

TFormClientsEdit::TFormClientsEdit(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FormClientsEdit"_s);
    setProperty("helpContext", 7310);
    setWindowTitle(u"Профиль клиента"_s);
    setFixedSize(356, 301);
    setFormPosition(this, FormPosition::ScreenCenter);

    GroupBoxNP = new QGroupBox(u"Имя/пароль"_s, this);
    GroupBoxNP->setObjectName(u"GroupBoxNP"_s);
    GroupBoxNP->setGeometry(8, 4, 340, 76);

    LabelName = new QLabel(u"Имя:"_s, GroupBoxNP);
    LabelName->setObjectName(u"LabelName"_s);
    LabelName->setGeometry(12, 20, 60, 21);
    EditName = new QLineEdit(GroupBoxNP);
    EditName->setObjectName(u"EditName"_s);
    EditName->setGeometry(80, 20, 248, 21);
    LabelName->setBuddy(EditName);

    LabelPassword = new QLabel(u"Пароль:"_s, GroupBoxNP);
    LabelPassword->setObjectName(u"LabelPassword"_s);
    LabelPassword->setGeometry(12, 46, 60, 21);
    EditPassword = new QLineEdit(GroupBoxNP);
    EditPassword->setObjectName(u"EditPassword"_s);
    EditPassword->setEchoMode(QLineEdit::Password);
    EditPassword->setStyleSheet(u"QLineEdit { lineedit-password-character: 42; }"_s);
    QFont bold = EditPassword->font();
    bold.setBold(true);
    EditPassword->setFont(bold);
    EditPassword->setGeometry(80, 46, 248, 21);
    LabelPassword->setBuddy(EditPassword);

    GroupBoxIni = new QGroupBox(u"Ini-файлы"_s, this);
    GroupBoxIni->setObjectName(u"GroupBoxIni"_s);
    GroupBoxIni->setGeometry(8, 84, 340, 176);

    struct Row
    {
        QChar letter;
        const char16_t *caption;
        QCheckBox **check;
        QLineEdit **edit;
        QToolButton **open;
        QToolButton **directory;
    };
    const Row rows[WorkstationCount] = {
        { u'C', u"АРМ Каталогизатор:", &CheckBoxC, &EditC, &OpenBtnC, &EditBtnC },
        { u'R', u"АРМ Читатель:", &CheckBoxR, &EditR, &OpenBtnR, &EditBtnR },
        { u'B', u"АРМ Книговыдача:", &CheckBoxB, &EditB, &OpenBtnB, &EditBtnB },
        { u'P', u"АРМ Комплектатор:", &CheckBoxP, &EditP, &OpenBtnP, &EditBtnP },
        { u'O', u"АРМ Книгообеспечен.:", &CheckBoxO, &EditO, &OpenBtnO, &EditBtnO },
        { u'A', u"АРМ Администратор:", &CheckBoxA, &EditA, &OpenBtnA, &EditBtnA },
    };
    const QIcon browseIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon directoryIcon = style()->standardIcon(QStyle::SP_FileDialogListView);
    for (int i = 0; i < WorkstationCount; ++i) {
        const Row &r = rows[i];
        const int y = 20 + i * 25;
        auto *check = new QCheckBox(QString::fromUtf16(r.caption), GroupBoxIni);
        check->setObjectName(u"CheckBox"_s + r.letter);
        check->setChecked(true);
        check->setFocusPolicy(Qt::ClickFocus); // Tab passes over the boxes
        check->setGeometry(8, y + 2, 166, 17);
        *r.check = check;

        auto *edit = new QLineEdit(GroupBoxIni);
        edit->setObjectName(u"Edit"_s + r.letter);
        edit->setGeometry(176, y, 104, 21);
        edit->installEventFilter(this);
        *r.edit = edit;

        auto *open = new QToolButton(GroupBoxIni);
        open->setObjectName(u"OpenBtn"_s + r.letter);
        open->setToolTip(u"Обзор"_s);
        open->setIcon(browseIcon);
        open->setGeometry(284, y, 22, 21);
        *r.open = open;

        auto *directory = new QToolButton(GroupBoxIni);
        directory->setObjectName(u"EditBtn"_s + r.letter);
        directory->setToolTip(u"Справочник"_s);
        directory->setIcon(directoryIcon);
        directory->setGeometry(308, y, 22, 21);
        *r.directory = directory;

        connect(check, &QCheckBox::toggled, this, [this, i] { WorkstationCheckBoxClick(i); });
        connect(open, &QToolButton::clicked, this, [this, i] { OpenBtnClick(i); });
        connect(directory, &QToolButton::clicked, this, [this, i] { EditBtnClick(i); });
    }

    ButtonOK = makeButton(this, u"ButtonOK"_s, u"Выход"_s);
    ButtonOK->setGeometry(92, 268, 82, 27);

    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"Отменить"_s);
    ButtonCancel->setGeometry(182, 268, 82, 27);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormClientsEdit::ButtonOKClick);

    OpenDialog.Title = u"Выбор ini-файла"_s;
    OpenDialog.Filter = u"Ini-файлы|*.ini|Все файлы|*.*"_s;
    OpenDialog.DefaultExt = u"*.ini"_s;

    setTabOrder(EditName, EditPassword);
    QWidget *previous = EditPassword;
    for (int i = 0; i < WorkstationCount; ++i) {
        for (QWidget *w : { static_cast<QWidget *>(edits()[i]), static_cast<QWidget *>(openButtons()[i]),
                 static_cast<QWidget *>(editButtons()[i]) }) {
            setTabOrder(previous, w);
            previous = w;
        }
    }
    setTabOrder(previous, ButtonOK);
    setTabOrder(ButtonOK, ButtonCancel);

    onEveryShowing(this, [this] { FormShow(); });
    FormCreate();
}

void TFormClientsEdit::FormCreate()
{
    // Fixed captions: neither the message catalogue nor the font settings apply here.
}

std::array<QCheckBox *, TFormClientsEdit::WorkstationCount> TFormClientsEdit::checkBoxes() const
{
    return { CheckBoxC, CheckBoxR, CheckBoxB, CheckBoxP, CheckBoxO, CheckBoxA };
}

std::array<QLineEdit *, TFormClientsEdit::WorkstationCount> TFormClientsEdit::edits() const
{
    return { EditC, EditR, EditB, EditP, EditO, EditA };
}

std::array<QToolButton *, TFormClientsEdit::WorkstationCount> TFormClientsEdit::openButtons() const
{
    return { OpenBtnC, OpenBtnR, OpenBtnB, OpenBtnP, OpenBtnO, OpenBtnA };
}

std::array<QToolButton *, TFormClientsEdit::WorkstationCount> TFormClientsEdit::editButtons() const
{
    return { EditBtnC, EditBtnR, EditBtnB, EditBtnP, EditBtnO, EditBtnA };
}

QString TFormClientsEdit::defaultIniName(int index)
{
    switch (index) {
    case 0:
        return CatalIniName;
    case 1:
        return ReadIniName;
    case 2:
        return BooklIniName;
    case 3:
        return ComplIniName;
    case 4:
        return BookProvdIniName;
    case 5:
        return AdminIniName;
    default:
        return {};
    }
}

void TFormClientsEdit::FormShow()
{
    OpenDialog.InitialDir = ProfileIni.readString(u"Main"_s, u"ClientInitialDir"_s, QString());
    EditName->setFocus();
}

void TFormClientsEdit::WorkstationCheckBoxClick(int index)
{
    const bool on = checkBoxes()[index]->isChecked();
    QLineEdit *edit = edits()[index];
    edit->setEnabled(on);
    editButtons()[index]->setEnabled(on);
    if (on && edit->text().isEmpty())
        edit->setText(defaultIniName(index));
}

void TFormClientsEdit::moveFocusFrom(int index, int step)
{
    const int next = (index + step + WorkstationCount) % WorkstationCount;
    QLineEdit *target = edits()[next];
    if (target->isEnabled())
        target->setFocus(Qt::OtherFocusReason);
}

bool TFormClientsEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto all = edits();
        for (int i = 0; i < WorkstationCount; ++i) {
            if (watched != all[i])
                continue;
            switch (static_cast<QKeyEvent *>(event)->key()) {
            case Qt::Key_Down:
                moveFocusFrom(i, 1);
                return true;
            case Qt::Key_Up:
                moveFocusFrom(i, -1);
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                // Enter picks from the server's list, as the directory button does.
                editButtons()[i]->click();
                return true;
            default:
                return false;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

ClientList::IniNames TFormClientsEdit::defaultIniNames()
{
    ClientList::IniNames names;
    for (int i = 0; i < WorkstationCount; ++i)
        names[i] = defaultIniName(i);
    return names;
}

void TFormClientsEdit::prepareToAdd()
{
    EditName->clear();
    EditPassword->clear();
    const auto boxes = checkBoxes();
    const auto all = edits();
    for (int i = 0; i < WorkstationCount; ++i) {
        boxes[i]->setChecked(true);
        all[i]->setText(defaultIniName(i));
        WorkstationCheckBoxClick(i);
    }
    EditName->setFocus();
}

void TFormClientsEdit::prepareToEdit(const ClientList::Account &account)
{
    EditName->setText(account.name);
    EditPassword->setText(account.password);
    const auto boxes = checkBoxes();
    const auto all = edits();
    for (int i = 0; i < WorkstationCount; ++i) {
        all[i]->setText(account.ini[i]);
        boxes[i]->setChecked(!account.ini[i].isEmpty());
        WorkstationCheckBoxClick(i);
    }
    EditName->setFocus();
}

void TFormClientsEdit::setExistingNames(const QStringList &names, qsizetype own)
{
    m_existingNames = names;
    m_ownIndex = own;
}

ClientList::Account TFormClientsEdit::account() const
{
    ClientList::Account a;
    a.name = EditName->text();
    a.password = EditPassword->text();
    const auto all = edits();
    for (int i = 0; i < WorkstationCount; ++i)
        a.ini[i] = all[i]->isEnabled() ? all[i]->text() : QString();
    return a;
}

void TFormClientsEdit::ButtonOKClick()
{
    const auto warn
        = [](const QString &text) { Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, text); };
    if (EditName->text().isEmpty() || EditPassword->text().isEmpty()) {
        warn(u"Необходимо ввести имя и пароль!"_s);
        return;
    }
    const auto boxes = checkBoxes();
    if (std::none_of(boxes.cbegin(), boxes.cend(), [](const QCheckBox *b) { return b->isChecked(); })) {
        warn(u"Необходимо ввести хоть один ini-файл!"_s);
        return;
    }
    // A value that would break the client list text is refused here, where it can be corrected.
    const QString problem = ClientList::accountProblem(account());
    if (!problem.isEmpty()) {
        warn(problem);
        return;
    }
    if (ClientList::findDuplicateName(m_existingNames, EditName->text(), m_ownIndex) >= 0) {
        warn(u"Дублет - необходимо ввести другое имя!"_s);
        return;
    }
    accept();
}

void TFormClientsEdit::EditBtnClick(int index)
{
    if (!OpenDbMenu)
        return;
    QLineEdit *edit = edits()[index];
    // The chooser opens at the file the edit names, else at the workstation's default.
    const QString preferred = edit->text().isEmpty() ? defaultIniName(index) : edit->text();
    QString chosen;
    if (OpenDbMenu->chooseIniFile(preferred, &chosen)) {
        edit->setText(chosen);
        // The buttons take no focus: the typing goes on where the name was put.
        edit->setFocus();
    }
}

void TFormClientsEdit::OpenBtnClick(int index)
{
    QLineEdit *edit = edits()[index];
    Dialogs::FileAsked request;
    request.caption = OpenDialog.Title;
    request.directory = OpenDialog.InitialDir;
    request.fileName = edit->text();
    request.filter = OpenDialog.qtFilter();
    request.defaultSuffix = u"ini"_s;
    const QString path = Dialogs::openFileName(request);
    if (!path.isEmpty()) {
        edit->setText(QFileInfo(path).fileName());
        edit->setFocus();
    }
}
