// The database menu's commands that create, delete and unlock, against a scripted server: what
// is sent, what the administrator is told, and the dialogs driven through the window system.
#include "ShellFixture.h"
#include "database/LockList.h"
#include "database/LockRules.h"
#include "database/Mfn.h"
#include "database/Newdb.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "exchange/TextCodec.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kEnd = u"*****"_s;

QString mfns(const QList<int> &values)
{
    QStringList parts;
    for (int v : values)
        parts.append(QString::number(v));
    return parts.join(u"\x1F\x1E"_s);
}

// Answer of the database information: return code, four MFN lists, max MFN + 1, lock flag.
QStringList info(const QList<int> &locked = {}, int lockFlag = 0)
{
    return { u"0"_s, QString(), QString(), QString(), mfns(locked), u"11"_s, QString::number(lockFlag) };
}

QStringList texts()
{
    QStringList out;
    for (const Dialogs::Asked &a : Dialogs::asked())
        out.append(a.text);
    return out;
}

// Request arguments (the lines after the nine header lines).
QList<QByteArray> arguments(const ScriptedServer::Request &r)
{
    return r.lines.mid(9);
}

// Types text into the focused control of a window as the window system delivers keys.
void typeInto(QWindow *window, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, window, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void clickThroughWindow(QWidget *w)
{
    QTest::mouseClick(
        w->window()->windowHandle(), Qt::LeftButton, {}, w->mapTo(w->window(), w->rect().center()));
}

// Runs the steps once the dialog runs modally, as a person would act on it; done is set by the
// caller's last step. A dialog still open after the steps is closed (a failed check returned
// early), unless it is one that closes itself. A dialog the steps act on is awaited until it has
// the focus too (the window system activates it a little after showing it); one that closes itself
// is only looked at and may be gone before that.
void whenModal(QDialog *dialog, std::function<void()> steps, bool closeAfter = true)
{
    auto *poll = new QTimer(dialog);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, dialog, [poll, dialog, steps, closeAfter] {
        if (QApplication::activeModalWidget() != dialog || !dialog->isVisible())
            return;
        if (closeAfter && QGuiApplication::focusWindow() != dialog->windowHandle())
            return;
        poll->stop();
        poll->deleteLater();
        steps();
        // A check that failed inside the steps returned early: do not leave the test waiting.
        if (closeAfter && dialog->isVisible())
            dialog->reject();
    });
    poll->start();
}

// The process list (+3): "0", N, 9, ten cells per row; row 1 is the server itself. `running`
// adds this client's active process of that name.
QStringList processList(const QString &running = {})
{
    QStringList out{ u"0"_s, running.isEmpty() ? u"1"_s : u"2"_s, u"9"_s };
    out << u"*"_s << u"127.0.0.1"_s << u"Сервер ТУЛВА"_s << u"*****"_s << u"*****"_s
        << u"08.12.2026 10:00:00"_s << u"*****"_s << u"*****"_s << u"100"_s << u"Активный"_s;
    if (!running.isEmpty()) {
        out << u"7"_s << u"127.0.0.1"_s << u"ADMIN"_s << WaitForm->clientId() << u"A"_s
            << u"08.12.2026 10:01:00"_s << running << u"12"_s << u"4007"_s << u"Активный"_s;
    }
    return out;
}

QList<QByteArray> commands(const ScriptedServer &server, int from)
{
    QList<QByteArray> out;
    for (int i = from; i < server.connectionCount(); ++i)
        out.append(server.request(i).command);
    return out;
}

// A point inside a cell of a grid, in the coordinates of its window.
QPoint cellPoint(TStringGrid *grid, int col, int row)
{
    const QRect rect = grid->visualRect(grid->model()->index(row - 1, col));
    return grid->viewport()->mapTo(grid->window(), rect.center());
}

void clickCell(TStringGrid *grid, int col, int row)
{
    QTest::mouseClick(grid->window()->windowHandle(), Qt::LeftButton, {}, cellPoint(grid, col, row));
}

void doubleClickCell(TStringGrid *grid, int col, int row)
{
    QTest::mouseDClick(grid->window()->windowHandle(), Qt::LeftButton, {}, cellPoint(grid, col, row));
}

} // namespace

class TestDbCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { f.setUp({ u"USERNAME=ADMIN"_s }); }
    void cleanup() { f.tearDown(); }

    void unlockDatabaseNotLocked();
    void unlockDatabase_data();
    void unlockDatabase();
    void unlockWhileBusy();
    void unlockRecordAsksAgainBeforeNone();
    void unlockRecordByNumber();
    void unlockRecordOutOfRange();
    void pickerMarks();
    void pickerSelectAllAndRun();
    void pickerSendsNothingUnmarked();
    void newDatabaseCreated();
    void newDatabaseNameRules();
    void newDatabaseRefusedKeepsTheEntries();
    void newDatabaseStartFails_data();
    void newDatabaseStartFails();
    void deleteRefusals_data();
    void deleteRefusals();
    void deleteConfirmed();
    void deleteNamesTheConfirmedDatabase();

private:
    // Fills the selection list as the list read would and opens the row of `current`.
    void openFrom(const QStringList &names, const QString &current, const QStringList &infoAnswer);
    ShellFixture f;
};

void TestDbCommands::openFrom(const QStringList &names, const QString &current, const QStringList &infoAnswer)
{
    QStringList lines;
    for (const QString &n : names)
        lines << n << (u"Описание "_s + n);
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine(lines + QStringList{ kEnd }) }) });
    OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AfterChange);
    OpenDbForm->DBStringGrid->setRow(OpenDbForm->rowOfDatabase(current));
    f.answer(infoAnswer);
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(CurrentDbName, current);
}

void TestDbCommands::unlockDatabaseNotLocked()
{
    openFrom({ u"IBIS"_s, u"ARCHIV"_s }, u"ARCHIV"_s, info());
    const int before = f.server->connectionCount();
    WAMainForm->UnlockDBItem->trigger();
    QCOMPARE(f.server->connectionCount(), before);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, u"ARCHIV - msg 421"_s);
    QCOMPARE(Dialogs::asked().first().caption, u"msg 138"_s);
    QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Warning);
}

void TestDbCommands::unlockDatabase_data()
{
    QTest::addColumn<QString>("unlockAnswer");
    QTest::addColumn<int>("lockAfterwards");
    QTest::addColumn<QStringList>("told");
    const QString done = u"База данных ARCHIV разблокирована успешно"_s;
    const QString failed = u"Базу данных ARCHIV разблокировать не удалось"_s;
    QTest::newRow("unlocked") << u"0"_s << 0 << QStringList{ done };
    QTest::newRow("server still reports the lock") << u"0"_s << 1 << QStringList{ done, failed };
    QTest::newRow("server refuses") << u"-4001"_s << 1 << QStringList{ failed };
    // A refusal followed by a free database: the server has the last word, nothing to report.
    QTest::newRow("refused, yet free") << u"-4001"_s << 0 << QStringList{};
}

void TestDbCommands::unlockDatabase()
{
    QFETCH(QString, unlockAnswer);
    QFETCH(int, lockAfterwards);
    QFETCH(QStringList, told);

    openFrom({ u"IBIS"_s, u"ARCHIV"_s }, u"ARCHIV"_s, info({}, 1));
    QCOMPARE(statistic(4), Msg(42));
    const int before = f.server->connectionCount();
    f.answer({ unlockAnswer });
    f.answer(info({}, lockAfterwards));
    WAMainForm->UnlockDBItem->trigger();

    QCOMPARE(f.server->connectionCount(), before + 2);
    const ScriptedServer::Request unlock = f.server->request(before);
    QCOMPARE(unlock.command, "U"_ba);
    QCOMPARE(arguments(unlock), QList<QByteArray>{ "ARCHIV"_ba });
    QCOMPARE(f.server->request(before + 1).command, "0"_ba);
    QCOMPARE(texts(), told);
    QCOMPARE(DatabaseLocked, quint8(lockAfterwards));
    QCOMPARE(statistic(4), lockAfterwards ? Msg(42) : u"Нет"_s);
}

void TestDbCommands::unlockWhileBusy()
{
    openFrom({ u"ARCHIV"_s }, u"ARCHIV"_s, info({ 4 }, 1));
    WaitForm->setShowDelay(0);
    // A refresh is waiting for its answer when the administrator picks the commands.
    f.server->addScript(
        { ScriptedServer::delay(1500), ScriptedServer::reply(ShellFixture::lines(info({ 4 }, 1))) });
    bool picked = false;
    QTimer::singleShot(100, [&] {
        WAMainForm->UnlockDBItem->trigger();
        WAMainForm->UnLockListItem->trigger();
        picked = true;
    });
    const int before = f.server->connectionCount();
    WAMainForm->RestatItemClick();
    QTRY_VERIFY(picked);
    // Neither command starts, not even the picker: its list is being read again.
    QCOMPARE(f.server->connectionCount(), before + 1);
    const QString busy = u"Предыдущий запрос к серверу ещё выполняется. Повторите команду позже."_s;
    QCOMPARE(texts(), (QStringList{ busy, busy }));
    QCOMPARE(Dialogs::asked().value(0).caption, u"Внимание!"_s);
    QCOMPARE(statistic(5), u"1"_s);
}

void TestDbCommands::unlockRecordAsksAgainBeforeNone()
{
    openFrom({ u"RDR"_s }, u"RDR"_s, info());
    QVERIFY(LockedMfns.isEmpty());
    const int before = f.server->connectionCount();
    f.answer(info());
    bool dialogShown = false;
    Dialogs::setModalHandler([&](QDialog *) {
        dialogShown = true;
        return int(QDialog::Rejected);
    });
    WAMainForm->UnlockrecordItem->trigger();
    QCOMPARE(f.server->connectionCount(), before + 1);
    QCOMPARE(f.server->request(before).command, "0"_ba);
    QVERIFY(!dialogShown);
    QCOMPARE(texts(), QStringList{ u"msg 844"_s });
    QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Information);

    // A record locked since the last refresh is found by that second look.
    f.answer(info({ 9 }));
    WAMainForm->UnLockListItem->trigger();
    QVERIFY(dialogShown);
    QCOMPARE(LockedMfns, QList<qint32>{ 9 });
}

void TestDbCommands::unlockRecordByNumber()
{
    openFrom({ u"IBIS"_s, u"RDR"_s }, u"RDR"_s, info({ 5, 7 }));
    const int before = f.server->connectionCount();
    f.answer(info({ 5, 7 }));
    f.answer({ u"0"_s });
    f.answer(info({ 5 }));
    bool done = false;
    whenModal(MFNForm, [&] {
        QWindow *window = MFNForm->windowHandle();
        QCOMPARE(QApplication::focusWidget(), MFNForm->MFNEdit);
        // Letters and signs are dropped as they are typed; Backspace works.
        typeInto(window, u"x7-ж9"_s);
        QCOMPARE(MFNForm->MFNEdit->text(), u"79"_s);
        QTest::keyClick(window, Qt::Key_Backspace);
        QTest::keyClick(window, Qt::Key_Return);
        done = true;
    });
    WAMainForm->UnlockrecordItem->trigger();
    QTRY_VERIFY(done);

    QCOMPARE(MFNForm->windowTitle(), u"msg 425"_s);
    QCOMPARE(f.server->connectionCount(), before + 3);
    QCOMPARE(f.server->request(before).command, "0"_ba);
    const ScriptedServer::Request unlock = f.server->request(before + 1);
    QCOMPARE(unlock.command, "Q"_ba);
    QCOMPARE(arguments(unlock), (QList<QByteArray>{ "RDR"_ba, "7"_ba }));
    QCOMPARE(f.server->request(before + 2).command, "0"_ba);
    QCOMPARE(statistic(5), u"1"_s);
    QVERIFY(Dialogs::asked().isEmpty());

    // Escape, and OK without a number, send nothing; each showing starts empty.
    bool escaped = false;
    whenModal(MFNForm, [&] {
        QCOMPARE(MFNForm->MFNEdit->text(), QString());
        QTest::keyClick(MFNForm->windowHandle(), Qt::Key_Return);
        QVERIFY(MFNForm->isVisible());
        QTest::keyClick(MFNForm->windowHandle(), Qt::Key_Escape);
        escaped = true;
    });
    WAMainForm->UnlockrecordItem->trigger();
    QTRY_VERIFY(escaped);
    QCOMPARE(f.server->connectionCount(), before + 3);
}

void TestDbCommands::unlockRecordOutOfRange()
{
    openFrom({ u"RDR"_s }, u"RDR"_s, info({ 5 }));
    const int before = f.server->connectionCount();
    bool done = false;
    whenModal(MFNForm, [&] {
        QWindow *window = MFNForm->windowHandle();
        typeInto(window, u"99999999999"_s);
        clickThroughWindow(MFNForm->OKBitBtn);
        // Told, and the number stays for the administrator to correct.
        QVERIFY(MFNForm->isVisible());
        QCOMPARE(MFNForm->MFNEdit->text(), u"99999999999"_s);
        QCOMPARE(texts(), QStringList{ TMFNForm::mfnOutOfRangeText(u"99999999999"_s) });
        QCOMPARE(Dialogs::asked().first().caption, u"Внимание!"_s);
        // Pasted text is held to the same rule as typing.
        QGuiApplication::clipboard()->setText(u"12ab"_s);
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(MFNForm->MFNEdit->text(), u"99999999999"_s);
        QGuiApplication::clipboard()->setText(u"0042"_s);
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(MFNForm->MFNEdit->text(), u"0042"_s);
        QTest::keyClick(window, Qt::Key_Escape);
        done = true;
    });
    WAMainForm->UnlockrecordItem->trigger();
    QTRY_VERIFY(done);
    QCOMPARE(f.server->connectionCount(), before);
}

void TestDbCommands::pickerMarks()
{
    openFrom({ u"RDR"_s }, u"RDR"_s, info({ 11, 12, 13, 14, 15, 16, 17, 18, 19 }));
    const int before = f.server->connectionCount();
    f.answer({ u"0"_s });
    f.answer(info({ 11, 13, 15, 16, 17, 18, 19 }));
    TStringGrid *grid = LockedListForm->MfnStringGrid;
    bool done = false;
    whenModal(LockedListForm, [&] {
        QCOMPARE(LockedListForm->windowTitle(), u"msg 398 - msg 926"_s);
        // Nine records and the title row: the row count has two digits.
        QCOMPARE(grid->rowCount(), 10);
        QCOMPARE(grid->colWidth(0), 24);
        QCOMPARE(grid->colWidth(2), 278);
        QCOMPARE(grid->cell(0, 9), u"9"_s);
        QCOMPARE(grid->cell(2, 9), u"19"_s);

        // A click in the mark column marks the row and makes it current.
        clickCell(grid, 1, 2);
        QCOMPARE(grid->cell(1, 2), u"+"_s);
        QCOMPARE(grid->row(), 2);
        // A click in the number column only selects; one in the MFN column neither marks.
        clickCell(grid, 0, 5);
        clickCell(grid, 2, 6);
        QCOMPARE(grid->cell(1, 5), QString());
        QCOMPARE(grid->cell(1, 6), QString());
        // A double click in the mark column toggles twice: as it was.
        doubleClickCell(grid, 1, 3);
        QCOMPARE(grid->cell(1, 3), QString());
        // A double click in the MFN column toggles once.
        doubleClickCell(grid, 2, 4);
        QCOMPARE(grid->cell(1, 4), u"+"_s);
        // Space marks the current row from the keyboard, a second Space takes it back.
        QTest::keyClick(LockedListForm->windowHandle(), Qt::Key_Space);
        QTest::keyClick(LockedListForm->windowHandle(), Qt::Key_Space);
        QCOMPARE(grid->cell(1, 4), u"+"_s);
        clickThroughWindow(LockedListForm->RunBitBtn);
        done = true;
    });
    WAMainForm->UnLockListItem->trigger();
    QTRY_VERIFY(done);

    QCOMPARE(UnlockSelection, (QList<qint32>{ 12, 14 }));
    QCOMPARE(commands(*f.server, before), (QList<QByteArray>{ "Q", "0" }));
    QCOMPARE(arguments(f.server->request(before)), (QList<QByteArray>{ "RDR", "12", "14" }));
    QCOMPARE(statistic(5), u"7"_s);

    // The next showing starts without marks.
    bool checked = false;
    whenModal(LockedListForm, [&] {
        QCOMPARE(grid->rowCount(), 8);
        QCOMPARE(grid->colWidth(0), 16);
        QCOMPARE(grid->cell(1, 1), QString());
        QCOMPARE(LockedListForm->model()->markedCount(), 0);
        QTest::keyClick(LockedListForm->windowHandle(), Qt::Key_Escape);
        checked = true;
    });
    WAMainForm->UnLockListItem->trigger();
    QTRY_VERIFY(checked);
    QCOMPARE(f.server->connectionCount(), before + 2);
}

void TestDbCommands::pickerSelectAllAndRun()
{
    openFrom({ u"RDR"_s }, u"RDR"_s, info({ 30, 10, 20 }));
    const int before = f.server->connectionCount();
    f.answer({ u"0"_s });
    f.answer(info());
    bool done = false;
    whenModal(LockedListForm, [&] {
        clickThroughWindow(LockedListForm->SelectAllBitBtn);
        for (int row = 1; row <= 3; ++row)
            QCOMPARE(LockedListForm->MfnStringGrid->cell(1, row), u"+"_s);
        clickThroughWindow(LockedListForm->RunBitBtn);
        done = true;
    });
    WAMainForm->UnLockListItem->trigger();
    QTRY_VERIFY(done);
    // Every locked MFN in list order, in one request.
    QCOMPARE(arguments(f.server->request(before)), (QList<QByteArray>{ "RDR", "30", "10", "20" }));
    QCOMPARE(statistic(5), u"0"_s);
}

void TestDbCommands::pickerSendsNothingUnmarked()
{
    openFrom({ u"RDR"_s }, u"RDR"_s, info({ 1, 2 }));
    UnlockSelection = { 99 };
    const int before = f.server->connectionCount();
    bool done = false;
    whenModal(LockedListForm, [&] {
        clickThroughWindow(LockedListForm->RunBitBtn);
        done = true;
    });
    WAMainForm->UnLockListItem->trigger();
    QTRY_VERIFY(done);
    QVERIFY(UnlockSelection.isEmpty());
    QCOMPARE(f.server->connectionCount(), before);
}

void TestDbCommands::newDatabaseCreated()
{
    openFrom({ u"IBIS"_s, u"RDR"_s }, u"IBIS"_s, info());
    LoadInvForm->Timer1->setInterval(10);
    const int before = f.server->connectionCount();
    f.answer({ u"0"_s, u"Процесс TULVA_DB_NEW запущен (номер 7)"_s });
    f.answer(processList(u"TULVA_DB_NEW"_s));
    f.answer(processList());
    QStringList list{ u"IBIS"_s, u"a"_s, u"RDR"_s, u"r"_s, u"TESTDB"_s, u"Тестовая база"_s, kEnd };
    f.server->addScript({ ScriptedServer::reply({ ShellFixture::resourceLine(list) }) });
    f.answer(info());
    bool typed = false;
    bool watched = false;
    whenModal(NewDBForm, [&] {
        QWindow *window = NewDBForm->windowHandle();
        QCOMPARE(QApplication::focusWidget(), NewDBForm->NameEdit);
        QVERIFY(NewDBForm->CheckBox->isChecked());
        typeInto(window, u"testdb"_s);
        QTest::keyClick(window, Qt::Key_Tab);
        // Pasted with a line break, which would otherwise push the flag onto a line of its own.
        QGuiApplication::clipboard()->setText(u"Тестовая\nбаза"_s);
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(NewDBForm->FullNameEdit->text(), u"Тестовая\nбаза"_s);
        // On the box itself: the check box takes clicks on its box and caption only.
        QCheckBox *box = NewDBForm->CheckBox;
        QTest::mouseClick(window, Qt::LeftButton, {}, box->mapTo(NewDBForm, QPoint(6, box->height() / 2)));
        QVERIFY(!box->isChecked());
        whenModal(
            LoadInvForm, [&] { watched = true; }, false);
        QTest::keyClick(window, Qt::Key_Return);
        typed = true;
    });
    WAMainForm->NewDBItem->trigger();
    QTRY_VERIFY(typed);

    QCOMPARE(commands(*f.server, before), (QList<QByteArray>{ "T", "+3", "+3", "L", "0" }));
    // Name as typed, the description on one line, the flag of the cleared box.
    QCOMPARE(arguments(f.server->request(before)),
        (QList<QByteArray>{ "testdb", TextCodec::toBytes(u"Тестовая база"_s), "0" }));
    QVERIFY(watched);
    QCOMPARE(LoadInvForm->WatchKind, quint8(TLoadInvForm::DbNew));
    QCOMPARE(CurrentDbName, u"TESTDB"_s);
    QCOMPARE(arguments(f.server->request(before + 4)), QList<QByteArray>{ "TESTDB" });
    QCOMPARE(statistic(2), u"Тестовая база"_s);
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestDbCommands::newDatabaseNameRules()
{
    openFrom({ u"IBIS"_s }, u"IBIS"_s, info());
    const int before = f.server->connectionCount();
    bool done = false;
    whenModal(NewDBForm, [&] {
        QWindow *window = NewDBForm->windowHandle();
        QLineEdit *edit = NewDBForm->NameEdit;
        // A ninth character cannot be typed.
        typeInto(window, u"ABCDEFGHI"_s);
        QCOMPARE(edit->text(), u"ABCDEFGH"_s);
        // A longer paste is refused whole, not cut to a name nobody wrote.
        edit->clear();
        QGuiApplication::clipboard()->setText(u"LONGNAME9"_s);
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString());
        // Cyrillic and blanks may be typed or pasted; OK refuses them with a message.
        QGuiApplication::clipboard()->setText(u"БАЗА 1"_s);
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), u"БАЗА 1"_s);
        QTest::keyClick(window, Qt::Key_Return);
        QVERIFY(NewDBForm->isVisible());
        QCOMPARE(texts(), QStringList{ u"Not valid DB name"_s });
        QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Error);
        QCOMPARE(QApplication::focusWidget(), edit);
        // Enter on an empty name does nothing at all.
        edit->clear();
        QTest::keyClick(window, Qt::Key_Return);
        QVERIFY(NewDBForm->isVisible());
        QCOMPARE(Dialogs::asked().size(), 1);
        QTest::keyClick(window, Qt::Key_Escape);
        done = true;
    });
    WAMainForm->NewDBItem->trigger();
    QTRY_VERIFY(done);
    QCOMPARE(f.server->connectionCount(), before);
}

void TestDbCommands::newDatabaseRefusedKeepsTheEntries()
{
    openFrom({ u"IBIS"_s, u"Archiv"_s }, u"IBIS"_s, info());
    const int before = f.server->connectionCount();
    int showing = 0;
    std::function<void()> steps = [&] {
        QWindow *window = NewDBForm->windowHandle();
        ++showing;
        if (showing == 1) {
            typeInto(window, u"rdr"_s);
            QTest::keyClick(window, Qt::Key_Tab);
            typeInto(window, u"Описание"_s);
        } else if (showing == 2) {
            // What was typed is still there, the name selected for retyping.
            QCOMPARE(NewDBForm->NameEdit->text(), u"rdr"_s);
            QCOMPARE(NewDBForm->FullNameEdit->text(), u"Описание"_s);
            typeInto(window, u"ARCHIV"_s);
        } else {
            QCOMPARE(NewDBForm->NameEdit->text(), u"ARCHIV"_s);
            QTest::keyClick(window, Qt::Key_Escape);
            return;
        }
        whenModal(NewDBForm, steps);
        QTest::keyClick(window, Qt::Key_Return);
    };
    whenModal(NewDBForm, steps);
    WAMainForm->NewDBItem->trigger();
    QTRY_COMPARE(showing, 3);
    QCOMPARE(texts(),
        (QStringList{
            u"Нельзя использовать резервное имя базы данных!"_s, u"Имя базы данных уже используется!"_s }));
    QCOMPARE(Dialogs::asked().first().caption, u"Внимание!"_s);
    QCOMPARE(f.server->connectionCount(), before);

    // A later showing starts empty again, the box ticked.
    bool fresh = false;
    whenModal(NewDBForm, [&] {
        fresh = NewDBForm->NameEdit->text().isEmpty() && NewDBForm->FullNameEdit->text().isEmpty()
            && NewDBForm->CheckBox->isChecked();
        QTest::keyClick(NewDBForm->windowHandle(), Qt::Key_Escape);
    });
    WAMainForm->NewDBItem->trigger();
    QVERIFY(fresh);
}

void TestDbCommands::newDatabaseStartFails_data()
{
    QTest::addColumn<QStringList>("createAnswer");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QList<QByteArray>>("sent");
    QTest::newRow("server refuses") << QStringList{ u"-4003"_s } << false << QList<QByteArray>{ "T" };
    QTest::newRow("empty answer") << QStringList{ QString() } << false << QList<QByteArray>{ "T" };
    QTest::newRow("not in the list afterwards")
        << QStringList{ u"0"_s } << false << QList<QByteArray>{ "T", "+3", "L" };
}

void TestDbCommands::newDatabaseStartFails()
{
    QFETCH(QStringList, createAnswer);
    QFETCH(QList<QByteArray>, sent);
    openFrom({ u"IBIS"_s }, u"IBIS"_s, info());
    const int before = f.server->connectionCount();
    f.answer(createAnswer);
    f.answer(processList());
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine({ u"IBIS"_s, u"a"_s, kEnd }) }) });
    Dialogs::setModalHandler([](QDialog *dialog) {
        NewDBForm->show();
        NewDBForm->NameEdit->setText(u"NEWDB"_s);
        NewDBForm->OKBitBtn->click();
        return dialog->result();
    });
    WAMainForm->NewDBItem->trigger();
    QCOMPARE(commands(*f.server, before), sent);
    QCOMPARE(texts(), QStringList{ u"Ошибка при запуске процесса создания новой БД."_s });
    QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Warning);
    QCOMPARE(CurrentDbName, u"IBIS"_s);
}

void TestDbCommands::deleteRefusals_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("infoAnswer");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("told");
    QTest::newRow("reserved") << u"RDR"_s << info() << u"msg 140"_s << u"RDR - msg 890"_s;
    // Listed in another letter case, still the reserved database.
    QTest::newRow("reserved in lower case") << u"Rdr"_s << info() << u"msg 140"_s << u"Rdr - msg 890"_s;
    QTest::newRow("locked") << u"OLD"_s << info({}, 1) << u"msg 138"_s << u"msg 429"_s;
    QTest::newRow("locked records") << u"OLD"_s << info({ 3, 4 }) << u"msg 138"_s << u"msg 430"_s;
}

void TestDbCommands::deleteRefusals()
{
    QFETCH(QString, current);
    QFETCH(QStringList, infoAnswer);
    QFETCH(QString, caption);
    QFETCH(QString, told);
    openFrom({ u"IBIS"_s, current }, current, infoAnswer);
    const int before = f.server->connectionCount();
    WAMainForm->DeleteDBItem->trigger();
    QCOMPARE(f.server->connectionCount(), before);
    QCOMPARE(texts(), QStringList{ told });
    QCOMPARE(Dialogs::asked().first().caption, caption);
    QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Warning);
}

void TestDbCommands::deleteConfirmed()
{
    openFrom({ u"IBIS"_s, u"TESTDB"_s }, u"TESTDB"_s, info());
    const int before = f.server->connectionCount();
    // No is the default: Enter on the question keeps the database.
    WAMainForm->DeleteDBItem->trigger();
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, u"msg 889 TESTDB"_s);
    QCOMPARE(Dialogs::asked().first().defaultButton, QMessageBox::No);
    QCOMPARE(f.server->connectionCount(), before);

    f.answer({ u"0"_s });
    // The process has already ended when the list is read: nothing to watch.
    f.answer(processList());
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine({ u"IBIS"_s, u"Каталог"_s, kEnd }) }) });
    f.answer(info());
    bool watchShown = false;
    Dialogs::setModalHandler([&](QDialog *) {
        watchShown = true;
        return int(QDialog::Accepted);
    });
    Dialogs::queueAnswer(QMessageBox::Yes);
    WAMainForm->DeleteDBItem->trigger();
    QCOMPARE(commands(*f.server, before), (QList<QByteArray>{ "W", "+3", "L", "0" }));
    QCOMPARE(arguments(f.server->request(before)), QList<QByteArray>{ "TESTDB" });
    QVERIFY(!watchShown);
    QCOMPARE(CurrentDbName, u"IBIS"_s);
    QCOMPARE(OpenDbForm->DBStringGrid->rowCount(), 2);
    QCOMPARE(statistic(1), u"IBIS"_s);
    QCOMPARE(Dialogs::asked().size(), 2);

    // A refused start is told.
    openFrom({ u"IBIS"_s, u"TESTDB"_s }, u"TESTDB"_s, info());
    const int again = f.server->connectionCount();
    f.answer({ u"-4008"_s });
    Dialogs::queueAnswer(QMessageBox::Yes);
    WAMainForm->DeleteDBItem->trigger();
    QCOMPARE(commands(*f.server, again), QList<QByteArray>{ "W" });
    QCOMPARE(texts().last(), u"Ошибка при запуске процесса удаления БД."_s);
    QCOMPARE(CurrentDbName, u"TESTDB"_s);
}

void TestDbCommands::deleteNamesTheConfirmedDatabase()
{
    openFrom({ u"IBIS"_s, u"TESTDB"_s }, u"TESTDB"_s, info());
    const int before = f.server->connectionCount();
    f.answer(info());
    f.answer(info());
    f.answer({ u"0"_s });
    f.answer(processList());
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine({ u"IBIS"_s, u"a"_s, kEnd }) }) });
    f.answer(info());
    // While the question is open a refresh runs, and then even another database becomes current.
    Dialogs::setBoxHandler([](const Dialogs::Asked &) {
        OpenDbForm->RefreshCurrentDatabase(TOpenDbForm::OpenBy::Timer);
        OpenDbForm->DBStringGrid->setRow(1);
        OpenDbForm->OpenSelectedDatabase();
        return QMessageBox::Yes;
    });
    WAMainForm->DeleteDBItem->trigger();
    QCOMPARE(commands(*f.server, before), (QList<QByteArray>{ "0", "0", "W", "+3", "L", "0" }));
    QCOMPARE(arguments(f.server->request(before)), QList<QByteArray>{ "TESTDB" });
    QCOMPARE(arguments(f.server->request(before + 1)), QList<QByteArray>{ "IBIS" });
    // The database deleted is the one named in the question.
    QCOMPARE(Dialogs::asked().first().text, u"msg 889 TESTDB"_s);
    QCOMPARE(arguments(f.server->request(before + 2)), QList<QByteArray>{ "TESTDB" });
}

QTEST_MAIN(TestDbCommands)
#include "tst_dbcommands.moc"
