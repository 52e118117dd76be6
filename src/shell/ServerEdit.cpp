#include "ServerEdit.h"

#include "Dialogs.h"
#include "FormUtil.h"
#include "Translate.h"

#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

QLineEdit *makeEdit(QWidget *parent, const QString &name, const QString &placeholder = QString())
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

} // namespace

TFormServerEdit::TFormServerEdit(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FormServerEdit"_s);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setMinimumWidth(420);

    EditName = makeEdit(this, u"EditName"_s, u"например, Главный каталог"_s);
    EditHost = makeEdit(this, u"EditHost"_s, u"имя или адрес сервера"_s);
    EditPort = makeEdit(this, u"EditPort"_s);
    EditPort->setMaxLength(5);
    auto *server = new QFormLayout;
    server->addRow(u"Имя в списке:"_s, EditName);
    server->addRow(u"Адрес сервера:"_s, EditHost);
    server->addRow(u"Порт:"_s, EditPort);

    auto *tunnel = new QGroupBox(u"SSH-туннель (необязательно)"_s, this);
    tunnel->setObjectName(u"GroupTunnel"_s);
    EditSshHost = makeEdit(tunnel, u"EditSshHost"_s, u"пользователь@шлюз"_s);
    EditSshPort = makeEdit(tunnel, u"EditSshPort"_s, u"22"_s);
    EditSshPort->setMaxLength(5);
    EditSshIdentity = makeEdit(tunnel, u"EditSshIdentity"_s, u"ключи агента SSH и ключи по умолчанию"_s);
    ButtonBrowse = new QToolButton(tunnel);
    ButtonBrowse->setObjectName(u"ButtonBrowse"_s);
    ButtonBrowse->setText(u"…"_s);
    ButtonBrowse->setToolTip(u"Выбрать файл ключа"_s);
    auto *identity = new QHBoxLayout;
    identity->addWidget(EditSshIdentity, 1);
    identity->addWidget(ButtonBrowse);
    auto *tunnelForm = new QFormLayout(tunnel);
    tunnelForm->addRow(u"Шлюз SSH:"_s, EditSshHost);
    tunnelForm->addRow(u"Порт SSH:"_s, EditSshPort);
    tunnelForm->addRow(u"Файл ключа:"_s, identity);
    auto *note = new QLabel(u"Адрес сервера — каким его видит шлюз. Пароли здесь не хранятся: ssh берёт "
                            "ключ у агента SSH или из файла."_s,
        tunnel);
    note->setObjectName(u"LabelNote"_s);
    note->setWordWrap(true);
    tunnelForm->addRow(note);

    ButtonOk = makeButton(this, u"ButtonOk"_s, u"Сохранить"_s);
    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"Отмена"_s);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(server);
    layout->addWidget(tunnel);
    layout->addLayout(buttons);

    connect(ButtonOk, &QPushButton::clicked, this, &TFormServerEdit::ButtonOkClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonBrowse, &QToolButton::clicked, this, &TFormServerEdit::ButtonBrowseClick);
    // Enter in any field saves, as the OK button of a small form does.
    for (QLineEdit *edit : { EditName, EditHost, EditPort, EditSshHost, EditSshPort, EditSshIdentity })
        connect(edit, &QLineEdit::returnPressed, this, &TFormServerEdit::ButtonOkClick);
    TranslateAndRefont(this);
}

void TFormServerEdit::setEntry(const ServerEntry &entry)
{
    setWindowTitle(entry.name.isEmpty() ? u"Новый сервер"_s : u"Сервер «%1»"_s.arg(entry.name));
    EditName->setText(entry.name);
    EditHost->setText(entry.host);
    EditPort->setText(entry.port);
    EditSshHost->setText(entry.sshHost);
    EditSshPort->setText(entry.sshPort);
    EditSshIdentity->setText(entry.sshIdentity);
    EditName->setFocus();
}

ServerEntry TFormServerEdit::entry() const
{
    ServerEntry e;
    e.name = EditName->text().trimmed();
    e.host = EditHost->text().trimmed();
    e.port = EditPort->text().trimmed();
    e.sshHost = EditSshHost->text().trimmed();
    e.sshPort = EditSshPort->text().trimmed();
    e.sshIdentity = EditSshIdentity->text().trimmed();
    return e;
}

QLineEdit *TFormServerEdit::editOf(ServerField field) const
{
    switch (field) {
    case ServerField::Name:
        return EditName;
    case ServerField::Host:
        return EditHost;
    case ServerField::Port:
        return EditPort;
    case ServerField::SshHost:
        return EditSshHost;
    case ServerField::SshPort:
        return EditSshPort;
    case ServerField::SshIdentity:
        return EditSshIdentity;
    }
    return EditName;
}

void TFormServerEdit::ButtonOkClick()
{
    const ServerEntry e = entry();
    ServerField field = ServerField::Name;
    QString problem = checkServerEntry(e, &field);
    if (!problem.isEmpty()) {
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, problem);
        editOf(field)->setFocus();
        editOf(field)->selectAll();
        return;
    }
    if (m_save)
        problem = m_save(e);
    if (!problem.isEmpty()) {
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, problem);
        // What a save refuses that the administrator can mend is the name (one the list has).
        EditName->setFocus();
        EditName->selectAll();
        return;
    }
    accept();
}

void TFormServerEdit::ButtonBrowseClick()
{
    Dialogs::FileAsked asked;
    asked.caption = u"Файл ключа SSH"_s;
    asked.directory = QDir::home().filePath(u".ssh"_s);
    asked.filter = u"Все файлы (*)"_s;
    const QString path = Dialogs::openFileName(asked);
    if (!path.isEmpty())
        EditSshIdentity->setText(QDir::toNativeSeparators(path));
}
