#include "clients.h"

#include "ClientList.h"
#include "clients_edit.h"
#include "database/ChangeCheck.h"
#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"
#include "exchange/Waitunit.h"
#include "exchange/WireFormat.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"
#include "shell/TTimer.h"
#include "shell/Translate.h"
#include "shell/Wamain.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

using namespace Qt::Literals::StringLiterals;

namespace {

// The lines of the client list text as they were sent.
QStringList sentLines(const QByteArray &text)
{
    QStringList lines;
    for (const QByteArrayView line : Wire::splitLines(text))
        lines.append(TextCodec::toText(line));
    return lines;
}

// A small triangle pointing up: the list is sorted ascending by the column under it.
QPixmap sortMarkerPixmap()
{
    QPixmap pixmap(13, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(QColor(0, 0, 128));
    const QPointF triangle[] = { { 6.5, 2.0 }, { 11.5, 10.0 }, { 1.5, 10.0 } };
    painter.drawPolygon(triangle, 3);
    return pixmap;
}

const QString kAttention = QStringLiteral("Внимание!");

// The hourglass while a long grid operation runs.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Passwords are overwritten before their memory goes back.
void wipe(QStringList &passwords)
{
    for (QString &p : passwords)
        p.fill(QChar(0));
    passwords.clear();
}

QAction *addItem(QMenu *menu, const QString &text, const QString &name)
{
    QAction *item = menu->addAction(text);
    item->setObjectName(name);
    return item;
}

} // namespace

TFormCLient::TFormCLient(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FormCLient"_s);
    setProperty("helpContext", 7300);
    // The caption of the menu item that opens the window.
    setWindowTitle(u"@1356"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(520, 230);
    resize(522, 234);
    setFormPosition(this, FormPosition::ScreenCenter);

    StringGridCLients = new TStringGrid(this);
    StringGridCLients->setObjectName(u"StringGridCLients"_s);
    StringGridCLients->setToolTip(u"Дополнительные функции под правой кнопкой мыши"_s);
    StringGridCLients->setRowSelect(true);
    StringGridCLients->setColSizing(true);

    PopupMenuClient = new QMenu(this);
    PopupMenuClient->setObjectName(u"PopupMenuClient"_s);
    Refresh = addItem(PopupMenuClient, u"@1362"_s, u"Refresh"_s);
    Refresh->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    N2 = PopupMenuClient->addSeparator();
    N2->setObjectName(u"N2"_s);
    ProcStop = addItem(PopupMenuClient, u"@1363"_s, u"ProcStop"_s);
    ProcStop->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    CEdit = addItem(PopupMenuClient, u"Редактировать  клиента"_s, u"CEdit"_s);
    CEdit->setShortcuts({ QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter) });
    N1 = addItem(PopupMenuClient, u"@1364"_s, u"N1"_s);
    N1->setShortcut(Qt::Key_Delete);
    N3 = PopupMenuClient->addSeparator();
    N3->setObjectName(u"N3"_s);
    N3->setVisible(false);
    Save = addItem(PopupMenuClient, u"@256"_s, u"Save"_s);
    Save->setVisible(false);
    // Shortcuts work only on actions of a visible widget; the popup is hidden most of the time.
    addActions({ Refresh, ProcStop, CEdit, N1 });
    StringGridCLients->setPopupMenu(PopupMenuClient);

    LabelComments = new QLabel(u"@1360"_s, this);
    LabelComments->setObjectName(u"LabelComments"_s);
    LabelComments->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    // Beside the two buttons the note does not fit on one line at the window's usual width.
    LabelComments->setWordWrap(true);
    ButtonOK = makeButton(this, u"ButtonOK"_s, u"@256"_s);
    ButtonOK->setEnabled(false);
    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@90"_s);
    // Escape runs the button's own handler, which may ask to save first.
    ButtonCancel->setShortcut(Qt::Key_Escape);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { LabelComments, ButtonOK, ButtonCancel });
    // Room for the note's two lines within the panel's fixed height.
    Panel1->layout()->setContentsMargins(8, 4, 8, 4);
    LabelUnread = new QLabel(this);
    LabelUnread->setObjectName(u"LabelUnread"_s);
    LabelUnread->setWordWrap(true);
    LabelUnread->setContentsMargins(8, 6, 8, 6);
    LabelUnread->setStyleSheet(u"color: #a00000; font-weight: bold;"_s);
    LabelUnread->hide();
    stackVertically(this, { LabelUnread, StringGridCLients, Panel1 }, StringGridCLients);

    PanelImage = makePanel(StringGridCLients, u"PanelImage"_s);
    PanelImage->setFixedSize(15, 14);
    // Presses on the titles under the marker still reach the grid.
    PanelImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    Image1 = new QLabel(PanelImage);
    Image1->setObjectName(u"Image1"_s);
    Image1->setPixmap(sortMarkerPixmap());
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setGeometry(0, 0, 15, 14);
    PanelImage->hide();

    QHeaderView *header = StringGridCLients->horizontalHeader();
    connect(header, &QHeaderView::sectionResized, this, &TFormCLient::PlaceSortMarker);
    connect(header, &QHeaderView::geometriesChanged, this, &TFormCLient::PlaceSortMarker);
    connect(StringGridCLients->horizontalScrollBar(), &QScrollBar::valueChanged, this,
        &TFormCLient::PlaceSortMarker);
    StringGridCLients->viewport()->installEventFilter(this);

    // Presses on the titles choose the sort column; the title row has no popup menu.
    header->viewport()->installEventFilter(this);
    header->setContextMenuPolicy(Qt::PreventContextMenu);

    connect(ButtonCancel, &QPushButton::clicked, this, &TFormCLient::ButtonCancelClick);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormCLient::ButtonOKClick);
    connect(Refresh, &QAction::triggered, this, &TFormCLient::RefreshClick);
    connect(ProcStop, &QAction::triggered, this, &TFormCLient::ProcStopClick);
    connect(CEdit, &QAction::triggered, this, &TFormCLient::CEditClick);
    connect(N1, &QAction::triggered, this, &TFormCLient::N1Click);
    connect(Save, &QAction::triggered, this, &TFormCLient::SaveClick);
    connect(StringGridCLients, &TStringGrid::cellDoubleClicked, this, [this](int, int row) {
        if (row > 0)
            CEditClick();
    });

    onEveryShowing(this, [this] { FormShow(); });
    FormCreate();
}

TFormCLient::~TFormCLient()
{
    // The grid's header and scroll bar still signal while the children are torn down.
    StringGridCLients->horizontalHeader()->disconnect(this);
    StringGridCLients->horizontalScrollBar()->disconnect(this);
    StringGridCLients->viewport()->removeEventFilter(this);
    StringGridCLients->horizontalHeader()->viewport()->removeEventFilter(this);
    wipe(ClientPasswords);
}

void TFormCLient::FormCreate()
{
    TranslateAndRefont(this);

    static const QStringList titles{ u"№"_s, u"Имя"_s, u"Пароль"_s, u"Ini АРМа Каталогизатор"_s,
        u"Ini АРМа Читатель"_s, u"Ini АРМа Книговыдача"_s, u"Ini АРМа Комплектатор"_s,
        u"Ini АРМа Книгообеспеченность"_s, u"Ini АРМа Администратор"_s };
    static const int widths[] = { 20, 100, 100, 150, 150, 150, 150, 180, 150 };
    StringGridCLients->setColCount(9);
    StringGridCLients->setRowCount(2);
    for (int c = 0; c < 9; ++c) {
        StringGridCLients->setCell(c, 0, titles.at(c));
        StringGridCLients->setColWidth(c, widths[c]);
    }
    ClientSortColumn = 1;
    setListRead(false);
    PlaceSortMarker();
}

void TFormCLient::PlaceSortMarker()
{
    // The marker sits at the right end of the sort column's title while that end is in view.
    QHeaderView *header = StringGridCLients->horizontalHeader();
    const int first = header->logicalIndexAt(0);
    const int c = ClientSortColumn;
    bool visible = first >= 0 && c >= first && c < StringGridCLients->colCount();
    const int w = PanelImage->width();
    int right = 0;
    if (visible) {
        right = header->sectionViewportPosition(c) + header->sectionSize(c);
        visible = right - w >= 0 && right <= header->width();
    }
    if (!visible) {
        PanelImage->hide();
        return;
    }
    const QPoint origin = header->mapTo(StringGridCLients, QPoint(0, 0));
    PanelImage->move(origin.x() + right - w - 2, origin.y() + (header->height() - PanelImage->height()) / 2);
    PanelImage->show();
    PanelImage->raise();
}

bool TFormCLient::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == StringGridCLients->viewport()
        && (event->type() == QEvent::Resize || event->type() == QEvent::MouseButtonRelease))
        PlaceSortMarker();
    if (watched == StringGridCLients->horizontalHeader()->viewport()
        && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        const int c = StringGridCLients->horizontalHeader()->logicalIndexAt(press->position().toPoint());
        // Not the number, not the hidden password, and no second sort by the same column.
        if (press->button() != Qt::RightButton && c > 0 && c != ClientList::PasswordColumn
            && c != ClientSortColumn) {
            ClientSortColumn = c;
            SortClientGrid(c);
            PlaceSortMarker();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormCLient::FormShow()
{
    ButtonOK->setEnabled(false);
    PlaceSortMarker();
    // By the column the marker shows.
    SortClientGrid(ClientSortColumn);
}

bool TFormCLient::hasUnsavedChanges() const
{
    return ButtonOK->isEnabled();
}

QList<QStringList> TFormCLient::accountRows() const
{
    // With no accounts the grid still has its one empty row.
    return StringGridCLients->gridModel()->dataRows().mid(0, clientCount());
}

void TFormCLient::writeAccountRows(QList<QStringList> rows)
{
    const int r = StringGridCLients->row();
    const int c = StringGridCLients->col();
    StringGridCLients->gridModel()->setDataRows(std::move(rows));
    StringGridCLients->setRow(qMin(r, StringGridCLients->rowCount() - 1));
    StringGridCLients->setCol(c);
}

QStringList TFormCLient::accountNames() const
{
    QStringList names;
    names.reserve(clientCount());
    for (int r = 1; r <= clientCount(); ++r)
        names.append(StringGridCLients->cell(ClientList::NameColumn, r));
    return names;
}

bool TFormCLient::LoadClientAccounts()
{
    const auto result = WaitForm->GetClientList(AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        m_loadFailure = u"выполняется предыдущий запрос к серверу"_s;
        return false;
    }
    if (result != OpResult::Accepted) {
        m_loadFailure = u"нет ответа сервера"_s;
        return false;
    }
    if (!returnCodeOk(AnswerList)) {
        m_loadFailure = AnswerList.isEmpty() ? u"пустой ответ сервера"_s
                                             : u"сервер вернул код "_s + AnswerList.first().left(40);
        return false;
    }
    QString why;
    std::optional<ClientList::AccountTable> table = ClientList::parseAccountTable(AnswerList, &why);
    AnswerList.clear();
    if (!table) {
        m_loadFailure = u"список, полученный от сервера, испорчен: "_s + why;
        Dialogs::message(Dialogs::Icon::Warning, kAttention,
            u"Список клиентов, полученный от сервера, испорчен: "_s + why
                + (m_listRead ? u" Показанный список не изменен."_s : QString()));
        return false;
    }
    BusyCursor busy;
    wipe(ClientPasswords);
    ClientPasswords = std::move(table->passwords);
    StringGridCLients->setColCount(table->columnCount);
    writeAccountRows(std::move(table->rows));
    setListRead(true);
    tellUnsendableAccounts();
    return true;
}

void TFormCLient::setListRead(bool read)
{
    m_listRead = read;
    // Edits of a list that was not read would replace the server's whole list when saved.
    for (QAction *item : { ProcStop, CEdit, N1, Save })
        item->setEnabled(read);
    if (!read)
        ButtonOK->setEnabled(false);
    LabelUnread->setVisible(!read && !LabelUnread->text().isEmpty());
}

void TFormCLient::dropList(const QString &why)
{
    wipe(ClientPasswords);
    StringGridCLients->gridModel()->setDataRows({});
    // The empty row is no account to point at.
    StringGridCLients->selectionModel()->clear();
    LabelUnread->setText(why.isEmpty() ? QString()
                                       : u"Список клиентов не прочитан: "_s + why
                + u". Сохранять нечего; прочитать список снова — Ctrl+R."_s);
    setListRead(false);
}

void TFormCLient::tellUnsendableAccounts()
{
    constexpr int kNamed = 5;
    const QList<QStringList> rows = accountRows();
    QStringList named;
    qsizetype more = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString problem = ClientList::rowProblem(rows.at(i), ClientPasswords.value(i));
        if (problem.isEmpty())
            continue;
        if (named.size() < kNamed)
            named.append(u"«"_s + rows.at(i).value(ClientList::NameColumn) + u"»: "_s + problem);
        else
            ++more;
    }
    if (named.isEmpty())
        return;
    if (more > 0)
        named.append(u"и ещё клиентов: %1."_s.arg(more));
    Dialogs::message(Dialogs::Icon::Warning, kAttention,
        u"На сервере хранятся значения, которые список клиентов не может передать обратно. "
        "Пока эти клиенты не исправлены, список не сохранить:\n"_s
            + named.join(u'\n'));
}

void TFormCLient::SortClientGrid(int column)
{
    if (column >= StringGridCLients->colCount() || clientCount() == 0)
        return;
    BusyCursor busy;
    QList<QStringList> rows = accountRows();
    qsizetype current = StringGridCLients->row() - 1;
    if (current >= rows.size())
        current = -1;
    // The grid lets go of its rows, so that renumbering them in the sort does not copy them.
    StringGridCLients->gridModel()->setDataRows({});
    ClientList::sortAccountRows(rows, ClientPasswords, column, &current);
    writeAccountRows(std::move(rows));
    if (current >= 0)
        StringGridCLients->setRow(int(current) + 1);
}

TFormCLient::SaveOutcome TFormCLient::StoreClientAccounts()
{
    if (!m_listRead)
        return SaveOutcome::Invalid;
    const QList<QStringList> rows = accountRows();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString problem = ClientList::rowProblem(rows.at(i), ClientPasswords.value(i));
        if (!problem.isEmpty()) {
            // The account to edit is the current one when the box closes.
            StringGridCLients->setRow(int(i) + 1);
            Dialogs::message(Dialogs::Icon::Warning, kAttention,
                u"Список клиентов не сохранен. Исправьте клиента «%1» в строке %2: %3"_s
                    .arg(rows.at(i).value(ClientList::NameColumn))
                    .arg(i + 1)
                    .arg(problem));
            return SaveOutcome::Invalid;
        }
    }
    const QByteArray text = clientListBytes();

    const ChangeCheck::Attempts attempts(*WaitForm->engine());
    const auto result = WaitForm->SaveClientList(text, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return SaveOutcome::Busy;
    }
    if (attempts.uncertain(result, returnCodeOk(AnswerList))) {
        const ChangeCheck::Finding finding = ChangeCheck::clientListSaved(
            *WaitForm->engine(), sentLines(text), TFormClientsEdit::defaultIniNames());
        const bool saved = finding.outcome == ChangeCheck::Outcome::Done;
        Dialogs::message(Dialogs::Icon::Warning, kAttention,
            finding.text + (saved ? QString() : u" Изменения остаются в окне."_s));
        return saved ? SaveOutcome::Saved : SaveOutcome::Failed;
    }
    if (result != OpResult::Accepted) {
        Dialogs::message(Dialogs::Icon::Warning, kAttention,
            u"Список клиентов не сохранен: сервер не ответил. Изменения остаются в окне."_s);
        return SaveOutcome::Failed;
    }
    if (!returnCodeOk(AnswerList)) {
        Dialogs::message(Dialogs::Icon::Warning, kAttention,
            u"Список клиентов не сохранен: сервер вернул код %1. Изменения остаются в окне."_s.arg(
                AnswerList.value(0)));
        return SaveOutcome::Refused;
    }
    Dialogs::message(
        Dialogs::Icon::None, kAttention, u"Список клиентов для доступа к серверу сохранен успешно"_s);
    return SaveOutcome::Saved;
}

QByteArray TFormCLient::clientListBytes()
{
    QList<QStringList> rows = accountRows();
    QList<int> marked;
    const QByteArray text
        = ClientList::clientListBytes(rows, ClientPasswords, TFormClientsEdit::defaultIniNames(), &marked);
    for (const int i : std::as_const(marked))
        StringGridCLients->setCell(ClientList::NameColumn, i + 1, rows.at(i).at(ClientList::NameColumn));
    return text;
}

void TFormCLient::ButtonOKClick()
{
    // Only a save the server confirmed ends the unsaved state.
    if (StoreClientAccounts() == SaveOutcome::Saved)
        ButtonOK->setEnabled(false);
}

void TFormCLient::SaveClick()
{
    ButtonOKClick();
}

bool TFormCLient::confirmReread()
{
    if (!hasUnsavedChanges())
        return true;
    return Dialogs::askYesNo(Dialogs::Icon::Warning, kAttention,
        u"Изменения списка клиентов не сохранены. Прочитать список с сервера заново "
        "и отказаться от изменений?"_s);
}

void TFormCLient::RefreshClick()
{
    if (!confirmReread())
        return;
    int r = StringGridCLients->row();
    const int c = StringGridCLients->col();
    const QString name = r > 0 ? StringGridCLients->cell(ClientList::NameColumn, r) : QString();
    // The list on screen is the server's again: nothing is left to save.
    if (LoadClientAccounts())
        ButtonOK->setEnabled(false);
    else if (!m_listRead)
        dropList(m_loadFailure);
    // The administrator stays on the same account wherever the server's order puts it; only an
    // account that has gone leaves the row number to decide.
    const QStringList names = accountNames();
    if (const qsizetype again = names.indexOf(name); !name.isEmpty() && again >= 0)
        r = int(again) + 1;
    StringGridCLients->setRow(r);
    StringGridCLients->setCol(c);
    SortClientGrid(ClientSortColumn);
    PlaceSortMarker();
}

void TFormCLient::showFromMainMenu()
{
    if (isVisible()) {
        if (confirmReread()) {
            if (LoadClientAccounts())
                ButtonOK->setEnabled(false);
            else if (!m_listRead)
                dropList(m_loadFailure);
            SortClientGrid(ClientSortColumn);
            PlaceSortMarker();
        }
    } else {
        // A closed window keeps no list: it shows what the server gives now, or why there is none.
        if (!LoadClientAccounts())
            dropList(m_loadFailure);
        show(); // the showing sorts and places the marker
    }
    raise();
    activateWindow();
}

std::optional<ClientList::Account> TFormCLient::runProfileDialog(const QString &mode)
{
    const QString caption = FormClientsEdit->windowTitle();
    FormClientsEdit->setWindowTitle(caption + u" - "_s + mode);
    const int result = Dialogs::execModal(FormClientsEdit);
    FormClientsEdit->setWindowTitle(caption);
    std::optional<ClientList::Account> account;
    if (result == QDialog::Accepted)
        account = FormClientsEdit->account();
    // The dialog keeps no password once it is closed (setText drops the undo history too).
    FormClientsEdit->EditPassword->setText(QString());
    return account;
}

void TFormCLient::ProcStopClick()
{
    if (!m_listRead)
        return;
    FormClientsEdit->prepareToAdd();
    FormClientsEdit->setExistingNames(accountNames(), -1);
    const std::optional<ClientList::Account> typed = runProfileDialog(u"добавить"_s);
    if (!typed)
        return;
    ButtonOK->setEnabled(true);
    const ClientList::Account &account = *typed;
    // With no accounts the grid's one row is empty and takes the new one.
    const int r = clientCount() + 1;
    if (r >= StringGridCLients->rowCount())
        StringGridCLients->setRowCount(r + 1);
    StringGridCLients->setCell(ClientList::NumberColumn, r, QString::number(r));
    StringGridCLients->setCell(ClientList::NameColumn, r, account.name);
    StringGridCLients->setCell(ClientList::PasswordColumn, r, ClientList::HiddenPassword);
    for (int k = 0; k < ClientList::WorkstationCount; ++k)
        StringGridCLients->setCell(ClientList::FirstIniColumn + k, r, account.ini[k]);
    ClientPasswords.append(account.password);
    StringGridCLients->setRow(r);
    SortClientGrid(ClientSortColumn);
    PlaceSortMarker();
}

void TFormCLient::CEditClick()
{
    const int r = StringGridCLients->row();
    if (!m_listRead || r < 1 || r > clientCount())
        return;
    ClientList::Account account;
    account.name = StringGridCLients->cell(ClientList::NameColumn, r);
    account.password = ClientPasswords.at(r - 1);
    for (int k = 0; k < ClientList::WorkstationCount; ++k)
        account.ini[k] = StringGridCLients->cell(ClientList::FirstIniColumn + k, r);
    FormClientsEdit->prepareToEdit(account);
    FormClientsEdit->setExistingNames(accountNames(), r - 1);
    const std::optional<ClientList::Account> typed = runProfileDialog(u"редактировать"_s);
    if (!typed)
        return;
    ButtonOK->setEnabled(true);
    account = *typed;
    StringGridCLients->setCell(ClientList::NameColumn, r, account.name);
    StringGridCLients->setCell(ClientList::PasswordColumn, r, ClientList::HiddenPassword);
    ClientPasswords[r - 1] = account.password;
    for (int k = 0; k < ClientList::WorkstationCount; ++k)
        StringGridCLients->setCell(ClientList::FirstIniColumn + k, r, account.ini[k]);
}

void TFormCLient::N1Click()
{
    const int r = StringGridCLients->row();
    if (!m_listRead || r < 1 || r > clientCount())
        return;
    if (clientCount() < 2) {
        // The server would be left without a single account to log in with.
        Dialogs::message(Dialogs::Icon::Warning, kAttention, u"Единственного клиента удалить нельзя."_s);
        return;
    }
    if (!Dialogs::askYesNo(Dialogs::Icon::Warning, kAttention, u"Удалить профиль клиента?"_s))
        return;
    QList<QStringList> rows = accountRows();
    StringGridCLients->gridModel()->setDataRows({});
    rows.removeAt(r - 1);
    ClientPasswords.removeAt(r - 1);
    for (qsizetype i = r - 1; i < rows.size(); ++i)
        rows[i][ClientList::NumberColumn] = QString::number(i + 1);
    writeAccountRows(std::move(rows));
    StringGridCLients->setRow(qMin(r, clientCount()));
    ButtonOK->setEnabled(true);
}

bool TFormCLient::confirmClose()
{
    if (!hasUnsavedChanges())
        return true;
    const auto answer = Dialogs::show(Dialogs::Icon::Warning, Msg(138), u"Сохранить изменения?"_s,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) {
        ButtonOKClick();
        // A save that did not go through keeps the window and its edits.
        return !hasUnsavedChanges();
    }
    if (answer == QMessageBox::No) {
        // The edits are dropped, not merely marked saved: nothing of them may reach the server.
        dropList(QString());
        return true;
    }
    return false;
}

void TFormCLient::ButtonCancelClick()
{
    if (confirmClose())
        QDialog::reject();
}

void TFormCLient::reject()
{
    // Escape and the close box come here: they ask as the close button does.
    ButtonCancelClick();
}

void TFormCLient::done(int result)
{
    QDialog::done(result);
    dropList(QString());
    // The last request may be the saved list, passwords and all.
    if (WaitForm)
        WaitForm->engine()->forgetLastRequest();
}

void TWAMainForm::ServerClientListItemClick()
{
    const bool refreshing = AutoaskTimer->enabled();
    AutoaskTimer->setEnabled(false);
    FormCLient->showFromMainMenu();
    AutoaskTimer->setEnabled(refreshing);
}
