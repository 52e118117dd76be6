// The main window against a scripted server: the start sequence, database selection and the
// statistics, the menu rule for locked databases, refreshes, the shell's own commands, closing.
#include "ShellFixture.h"
#include "database/Opendb.h"
#include "server/main.h"
#include "server/process.h"
#include "shell/Autoask.h"
#include "shell/Help.h"
#include "shell/StringGrid.h"
#include "shell/TTimer.h"

#include <QAction>
#include <QFile>
#include <QSpinBox>
#include <QStatusTipEvent>
#include <QTest>
#include <QTextBrowser>
#include <QWindow>

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
QStringList info(const QList<int> &deleted1, const QList<int> &deleted2, const QList<int> &unactualized,
    const QList<int> &locked, int maxPlusOne, int lockFlag)
{
    return { u"0"_s, mfns(deleted1), mfns(deleted2), mfns(unactualized), mfns(locked),
        QString::number(maxPlusOne), QString::number(lockFlag) };
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { f.setUp({ u"USERNAME=ADMIN"_s }); }
    void cleanup() { f.tearDown(); }

    void startSequence();
    void startWithUnknownCurrentDatabase();
    void cancelledLoginEndsWithoutRequests();
    void statisticsOfAnOpenDatabase();
    void lockDependentItemsFollowTheOpenDatabase();
    void failedOpenKeepsThePreviousDatabase_data();
    void failedOpenKeepsThePreviousDatabase();
    void failedFirstOpenIsTriedAgain();
    void listsOfARejectedAnswerAreDropped();
    void refreshFailuresGoToTheStatusBar();
    void busyRefusalEmptiesNothing();
    void answerShownUnderTheNameItWasAskedFor();
    void overtakenAnswerIsDropped();
    void listReadAfterAChange();
    void cancelRestoresSelection();
    void refreshWhileTheDialogIsOpen();
    void automaticRefresh();
    void automaticRefreshSkipsWhileWaiting();
    void refreshIntervalDialog();
    void unregisterOnlyAfterARequest();
    void exitClosesTheOtherWindows();
    void versionAndRestart();
    void versionGivenUpSaysNothing();
    void helpAndHints();
    void clockFitsAWiderFace();

private:
    // Fills the selection grid as the list read would.
    void setList(const QStringList &names);
    void logIn(const QStringList &profile);
    ShellFixture f;
};

void TestMainWindow::setList(const QStringList &names)
{
    QStringList lines;
    for (const QString &n : names)
        lines << n << (u"Описание "_s + n);
    AnswerList.clear();
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine(lines + QStringList{ kEnd }) }) });
    OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AfterChange);
}

void TestMainWindow::logIn(const QStringList &profile)
{
    f.answerLogin(profile);
    f.typeAndLogIn(u"admin"_s, u"pw"_s);
    QCOMPARE(FormConnect->result(), int(QDialog::Accepted));
}

void TestMainWindow::startSequence()
{
    f.answerLogin({ u"[MAIN]"_s, u"DBNNAMECAT=list.mnu"_s, u"CurDbn=rdr"_s });
    f.server->addScript({ ScriptedServer::reply({ ShellFixture::resourceLine(
        { u"IBIS"_s, u"Электронный каталог"_s, u"RDR"_s, u"Читатели"_s, kEnd, u"X"_s }) }) });
    f.answer(info({ 1 }, {}, { 2, 3 }, {}, 51, 0));
    Dialogs::setModalHandler([](QDialog *dialog) {
        dialog->show();
        FormConnect->MaskEditPassword->setText(u"pw"_s);
        FormConnect->ButtonExecute->click();
        return dialog->result();
    });
    QVERIFY(LabelForm != nullptr);

    WAMainForm->TimerStartTimer();

    QCOMPARE(f.server->connectionCount(), 3);
    const ScriptedServer::Request list = f.server->request(1);
    QCOMPARE(list.command, "L"_ba);
    QCOMPARE(list.lines.value(9), "1..list.mnu"_ba);
    const ScriptedServer::Request open = f.server->request(2);
    QCOMPARE(open.command, "0"_ba);
    QCOMPARE(open.lines.value(9), "RDR"_ba);

    TStringGrid *grid = OpenDbForm->DBStringGrid;
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->cell(0, 2), u"RDR"_s);
    QCOMPARE(grid->cell(1, 1), u"Электронный каталог"_s);
    QCOMPARE(grid->row(), 2);
    QCOMPARE(CurrentDbName, u"RDR"_s);
    QCOMPARE(statistic(1), u"RDR"_s);
    QCOMPARE(statistic(2), u"Читатели"_s);
    QCOMPARE(statistic(3), u"50"_s);
    QCOMPARE(statistic(8), u"2"_s);
    QVERIFY(WAMainForm->AutoaskTimer->enabled());
    QTRY_VERIFY(LabelForm == nullptr);
    QCOMPARE(f.terminations, 0);
    // The list is read again from the server next time.
    QVERIFY(WaitForm->resourceCacheKeys().isEmpty());
}

void TestMainWindow::startWithUnknownCurrentDatabase()
{
    f.answerLogin({ u"[MAIN]"_s, u"CurDbn=NONE"_s, u"AutoaskingItem=0"_s });
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine({ u"IBIS"_s, u"a"_s, u"RDR"_s, u"b"_s }) }) });
    f.answer(info({}, {}, {}, {}, 1, 0));
    Dialogs::setModalHandler([](QDialog *dialog) {
        dialog->show();
        FormConnect->MaskEditPassword->setText(u"pw"_s);
        FormConnect->ButtonExecute->click();
        return dialog->result();
    });
    WAMainForm->TimerStartTimer();
    QCOMPARE(f.server->request(1).lines.value(9), "1..dbnam1.mnu"_ba);
    QCOMPARE(CurrentDbName, u"IBIS"_s);
    QVERIFY(!WAMainForm->AutoaskTimer->enabled());
}

void TestMainWindow::cancelledLoginEndsWithoutRequests()
{
    Dialogs::setModalHandler([](QDialog *dialog) {
        dialog->show();
        FormConnect->ButtonCancel->click();
        return dialog->result();
    });
    WAMainForm->TimerStartTimer();
    QVERIFY(f.terminations >= 1);
    WAMainForm->close();
    QCOMPARE(f.server->connectionCount(), 0);
}

void TestMainWindow::statisticsOfAnOpenDatabase()
{
    setList({ u"IBIS"_s });
    f.answer(info({ 5 }, { 7, 8 }, { 5, 9, 9 }, { 11, 12, 13 }, 1001, 1));
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(DeletedMfns1, (QList<qint32>{ 5 }));
    QCOMPARE(DeletedMfns2, (QList<qint32>{ 7, 8 }));
    QCOMPARE(UnactualizedMfns, (QList<qint32>{ 5, 9, 9 }));
    QCOMPARE(LockedMfns, (QList<qint32>{ 11, 12, 13 }));
    QCOMPARE(MaxMfn, 1000);
    QCOMPARE(DatabaseLocked, quint8(1));
    const QStringList expected{ u"IBIS"_s, u"Описание IBIS"_s, u"1000"_s, u"Да"_s, u"3"_s, u"1"_s, u"2"_s,
        u"3"_s };
    for (int row = 1; row <= 8; ++row)
        QCOMPARE(statistic(row), expected.at(row - 1));
    QCOMPARE(WAMainForm->StatisticGrid->cell(0, 4), u"msg 463"_s);

    // Exactly seven lines, empty lists, numbers that are not numbers.
    f.answer({ u"0"_s, QString(), QString(), QString(), QString(), u"abc"_s, u"abc"_s });
    OpenDbForm->OpenSelectedDatabase();
    const QStringList empty{ u"IBIS"_s, u"Описание IBIS"_s, u"0"_s, u"Нет"_s, u"0"_s, u"0"_s, u"0"_s,
        u"0"_s };
    for (int row = 1; row <= 8; ++row)
        QCOMPARE(statistic(row), empty.at(row - 1));
}

void TestMainWindow::lockDependentItemsFollowTheOpenDatabase()
{
    // The profile forbids the restart; the other two are the profile's to allow.
    logIn({ u"[Main]"_s, u"ServerRestartItem=0"_s });
    QAction *clear = WAMainForm->ClearDBItem;
    QAction *restart = WAMainForm->ServerRestartItem;
    QAction *actual = WAMainForm->ActualItem;
    setList({ u"LOCKED"_s, u"FREE"_s });
    f.answer(info({}, {}, {}, {}, 10, 1));
    OpenDbForm->OpenSelectedDatabase();
    QVERIFY(!clear->isEnabled());
    QVERIFY(!actual->isEnabled());
    QVERIFY(!restart->isEnabled());
    QVERIFY(WAMainForm->DeleteDBItem->isEnabled());

    OpenDbForm->DBStringGrid->setRow(2);
    f.answer(info({}, {}, {}, {}, 10, 0));
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(statistic(4), u"Нет"_s);
    QVERIFY(clear->isEnabled());
    QVERIFY(actual->isEnabled());
    QVERIFY(!restart->isEnabled());

    // A failed refresh leaves the menus with the database they describe.
    f.answer({ u"-1"_s });
    WAMainForm->RestatItemClick();
    QVERIFY(clear->isEnabled());

    // Only the low 8 bits of the flag count: 257 is locked, 256 is not.
    f.answer(info({}, {}, {}, {}, 10, 257));
    WAMainForm->RestatItemClick();
    QVERIFY(!clear->isEnabled());
    f.answer(info({}, {}, {}, {}, 10, 256));
    WAMainForm->RestatItemClick();
    QVERIFY(clear->isEnabled());
    QVERIFY(!restart->isEnabled());
}

void TestMainWindow::failedOpenKeepsThePreviousDatabase_data()
{
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<QString>("reason");
    QTest::newRow("negative code") << QStringList{ u"-140"_s } << u"сервер вернул код -140"_s;
    QTest::newRow("six lines") << info({ 1 }, {}, {}, {}, 5, 1).mid(0, 6)
                               << u"неполный ответ сервера (строк: 6 из 7)"_s;
    QStringList bad = info({ 1, 2 }, {}, {}, {}, 10, 1);
    bad[2] = u"3\x1F\x1Ex4"_s;
    QTest::newRow("bad MFN") << bad << u"в ответе сервера недопустимый номер записи \u00ABx4\u00BB"_s;
}

void TestMainWindow::failedOpenKeepsThePreviousDatabase()
{
    QFETCH(QStringList, answer);
    QFETCH(QString, reason);
    setList({ u"A"_s, u"B"_s });
    f.answer(info({ 1 }, { 2 }, { 3 }, { 4 }, 21, 0));
    OpenDbForm->OpenSelectedDatabase();
    const QStringList shown{ u"A"_s, u"Описание A"_s, u"20"_s, u"Нет"_s, u"1"_s, u"1"_s, u"1"_s, u"1"_s };

    // The administrator picks B; the server does not describe it.
    OpenDbForm->DBStringGrid->setRow(2);
    f.answer(answer);
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(CurrentDbName, u"A"_s);
    QCOMPARE(DeletedMfns1, (QList<qint32>{ 1 }));
    QCOMPARE(DeletedMfns2, (QList<qint32>{ 2 }));
    QCOMPARE(UnactualizedMfns, (QList<qint32>{ 3 }));
    QCOMPARE(LockedMfns, (QList<qint32>{ 4 }));
    QCOMPARE(MaxMfn, 20);
    QCOMPARE(DatabaseLocked, quint8(0));
    for (int row = 1; row <= 8; ++row)
        QCOMPARE(statistic(row), shown.at(row - 1));
    QCOMPARE(OpenDbForm->DBStringGrid->row(), 1);
    QCOMPARE(Dialogs::asked().size(), 1);
    const QString told = Dialogs::asked().first().text;
    QVERIFY2(told.startsWith(u"База данных B не открыта: "_s + reason), qPrintable(told));
    QVERIFY2(told.contains(u"Текущей остаётся база данных A."_s), qPrintable(told));
    QVERIFY2(WAMainForm->hintText().startsWith(u"База B не открыта: "_s + reason),
        qPrintable(WAMainForm->hintText()));

    // Refresh asks for the database on the screen, and a good answer clears the status line.
    f.answer(info({}, {}, {}, {}, 31, 0));
    WAMainForm->RestatItemClick();
    QCOMPARE(f.server->request(f.server->connectionCount() - 1).lines.value(9), "A"_ba);
    QCOMPARE(statistic(3), u"30"_s);
    QCOMPARE(WAMainForm->hintText(), QString());
}

void TestMainWindow::failedFirstOpenIsTriedAgain()
{
    setList({ u"IBIS"_s, u"RDR"_s });
    OpenDbForm->DBStringGrid->setRow(2);
    f.answer({ u"-3"_s });
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(CurrentDbName, QString());
    QCOMPARE(statistic(1), QString());
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, u"База данных RDR не открыта: сервер вернул код -3."_s);
    // No database is current yet: the refresh tries the one chosen at start again.
    f.answer(info({}, {}, {}, {}, 4, 0));
    WAMainForm->AutoaskTimerTimer();
    QCOMPARE(CurrentDbName, u"RDR"_s);
    QCOMPARE(statistic(3), u"3"_s);
}

void TestMainWindow::listsOfARejectedAnswerAreDropped()
{
    // The lists are parsed while the answer arrives; an answer that then fails its length check
    // leaves nothing of them, and the silent retry's answer is the one taken.
    setList({ u"IBIS"_s });
    f.server->addScript(
        { ScriptedServer::reply(ShellFixture::lines(info({ 1, 2 }, { 3 }, {}, { 4 }, 9, 1)), 1) });
    f.answer(info({ 7 }, {}, { 8, 9 }, {}, 21, 0));
    const int before = f.server->connectionCount();
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(f.server->connectionCount(), before + 2);
    QCOMPARE(DeletedMfns1, (QList<qint32>{ 7 }));
    QCOMPARE(DeletedMfns2, QList<qint32>{});
    QCOMPARE(UnactualizedMfns, (QList<qint32>{ 8, 9 }));
    QCOMPARE(LockedMfns, QList<qint32>{});
    QCOMPARE(statistic(3), u"20"_s);
}

void TestMainWindow::refreshFailuresGoToTheStatusBar()
{
    setList({ u"IBIS"_s });
    f.answer(info({ 6 }, {}, {}, {}, 5, 0));
    OpenDbForm->OpenSelectedDatabase();
    for (int tick = 0; tick < 3; ++tick) {
        f.answer({ u"-140"_s });
        WAMainForm->AutoaskTimerTimer();
    }
    QVERIFY(Dialogs::asked().isEmpty());
    QCOMPARE(WAMainForm->hintText(), u"Статистика IBIS не обновлена: сервер вернул код -140"_s);
    QCOMPARE(statistic(3), u"4"_s);
    QCOMPARE(DeletedMfns1, (QList<qint32>{ 6 }));

    // A hint takes the status bar while it is shown; the failure comes back after it.
    QStatusTipEvent tip(u"подсказка"_s);
    QCoreApplication::sendEvent(WAMainForm, &tip);
    QCOMPARE(WAMainForm->hintText(), u"подсказка"_s);
    QStatusTipEvent noTip{ QString() };
    QCoreApplication::sendEvent(WAMainForm, &noTip);
    QCOMPARE(WAMainForm->hintText(), u"Статистика IBIS не обновлена: сервер вернул код -140"_s);

    // The menu command says it in a box as well.
    f.answer({ u"0"_s, u"1"_s });
    WAMainForm->RestatItemClick();
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text,
        u"Статистика базы данных IBIS не обновлена: неполный ответ сервера "
        u"(строк: 2 из 7).\nНа экране — данные её последнего успешного чтения."_s);
}

void TestMainWindow::busyRefusalEmptiesNothing()
{
    setList({ u"IBIS"_s });
    f.answer(info({ 1, 2 }, {}, {}, { 7 }, 10, 0));
    OpenDbForm->OpenSelectedDatabase();
    f.server->addScript({ ScriptedServer::delay(700),
        ScriptedServer::reply(ShellFixture::lines(info({ 5 }, {}, {}, {}, 30, 0))) });
    QList<qint32> afterTick{ -1 };
    QList<qint32> afterCommand{ -1 };
    qsizetype boxesAfterTick = -1;
    bool done = false;
    // While the refresh waits for its answer, a timer tick and then the menu command are refused.
    QTimer::singleShot(200, [&] {
        WAMainForm->AutoaskTimerTimer();
        afterTick = DeletedMfns1;
        boxesAfterTick = Dialogs::asked().size();
    });
    QTimer::singleShot(400, [&] {
        WAMainForm->RestatItemClick();
        afterCommand = DeletedMfns1;
        done = true;
    });
    WAMainForm->RestatItemClick();
    QTRY_VERIFY(done);
    QCOMPARE(afterTick, (QList<qint32>{ 1, 2 }));
    QCOMPARE(boxesAfterTick, qsizetype(0));
    QCOMPARE(afterCommand, (QList<qint32>{ 1, 2 }));
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().caption, u"Внимание!"_s);
    QCOMPARE(Dialogs::asked().first().text,
        u"Предыдущий запрос к серверу ещё выполняется. Повторите команду позже."_s);
    QCOMPARE(WAMainForm->hintText(), QString());
    QCOMPARE(DeletedMfns1, (QList<qint32>{ 5 }));
    QCOMPARE(statistic(3), u"29"_s);
    QCOMPARE(f.server->connectionCount(), 3);
}

void TestMainWindow::answerShownUnderTheNameItWasAskedFor()
{
    setList({ u"IBIS"_s, u"PERIO"_s });
    f.answer(info({}, {}, {}, {}, 11, 0));
    OpenDbForm->OpenSelectedDatabase();
    // A refresh of IBIS waits; meanwhile the administrator picks PERIO and presses OK.
    f.server->addScript({ ScriptedServer::delay(600),
        ScriptedServer::reply(ShellFixture::lines(info({ 1 }, {}, {}, {}, 12, 0))) });
    bool done = false;
    QTimer::singleShot(200, [&] {
        OpenDbForm->DBStringGrid->setRow(2);
        OpenDbForm->OKBitBtnClick();
        done = true;
    });
    WAMainForm->AutoaskTimerTimer();
    QTRY_VERIFY(done);
    QCOMPARE(CurrentDbName, u"IBIS"_s);
    QCOMPARE(statistic(1), u"IBIS"_s);
    QCOMPARE(statistic(2), u"Описание IBIS"_s);
    QCOMPARE(statistic(3), u"11"_s);
    QCOMPARE(DeletedMfns1, (QList<qint32>{ 1 }));
    QCOMPARE(OpenDbForm->DBStringGrid->row(), 1);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text,
        u"Предыдущий запрос к серверу ещё выполняется. Повторите команду позже."_s);
}

void TestMainWindow::overtakenAnswerIsDropped()
{
    setList({ u"IBIS"_s, u"PERIO"_s });
    f.answer(info({}, {}, {}, {}, 11, 0));
    OpenDbForm->OpenSelectedDatabase();
    // A refresh of IBIS waits while an open of PERIO, made after it, is answered first (through a
    // second engine, as an engine that lets a command wait its turn would do).
    f.server->addScript({ ScriptedServer::delay(600),
        ScriptedServer::reply(ShellFixture::lines(info({ 1 }, {}, {}, {}, 12, 0))) });
    bool done = false;
    QTimer::singleShot(200, [&] {
        TWaitForm second;
        second.SetServerAddress(f.server->host(), f.server->portText(), u"A"_s);
        TWaitForm *engine = std::exchange(WaitForm, &second);
        f.answer(info({ 2 }, {}, {}, {}, 21, 0));
        OpenDbForm->DBStringGrid->setRow(2);
        OpenDbForm->OpenSelectedDatabase();
        WaitForm = engine;
        done = true;
    });
    WAMainForm->AutoaskTimerTimer();
    QTRY_VERIFY(done);
    QCOMPARE(CurrentDbName, u"PERIO"_s);
    QCOMPARE(statistic(1), u"PERIO"_s);
    QCOMPARE(statistic(3), u"20"_s);
    QCOMPARE(DeletedMfns1, (QList<qint32>{ 2 }));
}

void TestMainWindow::listReadAfterAChange()
{
    setList({ u"A"_s, u"B"_s, u"C"_s });
    QCOMPARE(OpenDbForm->DBStringGrid->rowCount(), 4);
    setList({ u"D"_s });
    QCOMPARE(OpenDbForm->DBStringGrid->rowCount(), 2);
    QCOMPARE(OpenDbForm->DBStringGrid->cell(0, 1), u"D"_s);
    // The cache was emptied first: every read reached the server.
    QCOMPARE(f.server->connectionCount(), 2);

    // A read that brings nothing leaves the header and row 1.
    f.server->addScript({ ScriptedServer::reply({ QByteArray() }) });
    OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AfterChange);
    QCOMPARE(OpenDbForm->DBStringGrid->rowCount(), 2);
    QCOMPARE(OpenDbForm->DBStringGrid->cell(0, 1), u"D"_s);
}

void TestMainWindow::cancelRestoresSelection()
{
    setList({ u"IBIS"_s, u"RDR"_s, u"HELP"_s });
    OpenDbForm->DBStringGrid->setRow(2);
    f.answer(info({}, {}, {}, {}, 1, 0));
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(CurrentDbName, u"RDR"_s);
    OpenDbForm->show();
    OpenDbForm->DBStringGrid->setRow(3);
    QTest::keyClick(OpenDbForm, Qt::Key_Escape);
    QVERIFY(!OpenDbForm->isVisible());
    QCOMPARE(OpenDbForm->DBStringGrid->row(), 2);
    QCOMPARE(f.server->connectionCount(), 2);

    // OK and a double click open the selected row.
    OpenDbForm->show();
    OpenDbForm->DBStringGrid->setRow(3);
    f.answer(info({}, {}, {}, {}, 1, 0));
    OpenDbForm->OKBitBtn->click();
    QVERIFY(!OpenDbForm->isVisible());
    QCOMPARE(CurrentDbName, u"HELP"_s);
}

// Clicks the middle of a widget as the window system delivers a click.
void clickAsAPerson(QWidget *w, const QPoint &at = {})
{
    QWidget *window = w->window();
    const QPoint local = at.isNull() ? w->rect().center() : at;
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, w->mapTo(window, local));
}

void clickGridRow(TStringGrid *grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, 0));
    clickAsAPerson(grid->viewport(), cell.center());
}

// The database of the n-th last database information request (0 = the last one): a refresh tick
// also reads the registered clients after it.
QByteArray openRequestDatabase(const ScriptedServer &server, int fromEnd)
{
    for (int i = server.connectionCount() - 1; i >= 0; --i) {
        const ScriptedServer::Request request = server.request(i);
        if (request.command == "0" && fromEnd-- == 0)
            return request.lines.value(9);
    }
    return {};
}

void TestMainWindow::refreshWhileTheDialogIsOpen()
{
    setList({ u"IBIS"_s, u"RDR"_s, u"HELP"_s });
    OpenDbForm->DBStringGrid->setRow(2);
    f.answer(info({}, {}, {}, {}, 5, 0));
    OpenDbForm->OpenSelectedDatabase();
    QCOMPARE(CurrentDbName, u"RDR"_s);

    // The administrator highlights HELP, a refresh tick comes, then Esc.
    int highlightAfterTick = -1;
    QByteArray askedFor;
    bool done = false;
    QTimer::singleShot(100, [&] {
        QCOMPARE_NE(QApplication::activeModalWidget(), nullptr);
        clickGridRow(OpenDbForm->DBStringGrid, 3);
        f.answer(info({}, {}, {}, {}, 8, 0));
        WAMainForm->AutoaskTimerTimer();
        highlightAfterTick = OpenDbForm->DBStringGrid->row();
        askedFor = openRequestDatabase(*f.server, 0);
        QTest::keyClick(OpenDbForm->windowHandle(), Qt::Key_Escape);
        done = true;
    });
    QCOMPARE(Dialogs::execModal(OpenDbForm), int(QDialog::Rejected));
    QTRY_VERIFY(done);
    QCOMPARE(askedFor, "RDR"_ba);
    QCOMPARE(highlightAfterTick, 3);
    QCOMPARE(CurrentDbName, u"RDR"_s);
    QCOMPARE(statistic(1), u"RDR"_s);
    QCOMPARE(statistic(3), u"7"_s);
    QCOMPARE(OpenDbForm->DBStringGrid->row(), 2);

    // Again, with a tick after the highlight moved, and OK: only now HELP becomes current.
    done = false;
    QTimer::singleShot(100, [&] {
        clickGridRow(OpenDbForm->DBStringGrid, 3);
        f.answer(info({}, {}, {}, {}, 9, 0));
        WAMainForm->AutoaskTimerTimer();
        highlightAfterTick = OpenDbForm->DBStringGrid->row();
        f.answer(info({}, {}, {}, {}, 2, 1));
        clickAsAPerson(OpenDbForm->OKBitBtn);
        done = true;
    });
    QCOMPARE(Dialogs::execModal(OpenDbForm), int(QDialog::Accepted));
    QTRY_VERIFY(done);
    QCOMPARE(highlightAfterTick, 3);
    QCOMPARE(openRequestDatabase(*f.server, 1), "RDR"_ba);
    QCOMPARE(openRequestDatabase(*f.server, 0), "HELP"_ba);
    QCOMPARE(CurrentDbName, u"HELP"_s);
    QCOMPARE(statistic(1), u"HELP"_s);
    QCOMPARE(statistic(2), u"Описание HELP"_s);
    QCOMPARE(statistic(4), u"Да"_s);
}

void TestMainWindow::automaticRefresh()
{
    setList({ u"IBIS"_s });
    f.answer(info({}, {}, {}, {}, 2, 0));
    OpenDbForm->OpenSelectedDatabase();
    f.answer(info({}, {}, {}, {}, 8, 0));
    WAMainForm->AutoaskTimer->setInterval(1000);
    WAMainForm->AutoaskTimer->setEnabled(true);
    WAMainForm->AutoaskTimerTimer();
    QCOMPARE(statistic(3), u"7"_s);
    QVERIFY(WAMainForm->AutoaskTimer->enabled());
}

void TestMainWindow::automaticRefreshSkipsWhileWaiting()
{
    setList({ u"IBIS"_s });
    WaitForm->setShowDelay(0);
    f.server->addScript({ ScriptedServer::delay(700),
        ScriptedServer::reply(ShellFixture::lines(info({}, {}, {}, {}, 3, 0))) });
    int connectionsDuringTick = -1;
    bool visibleDuringTick = false;
    QTimer::singleShot(400, [&] {
        visibleDuringTick = WaitForm->isWaitVisible();
        WAMainForm->AutoaskTimerTimer();
        connectionsDuringTick = f.server->connectionCount();
    });
    WAMainForm->RestatItemClick();
    QVERIFY(visibleDuringTick);
    QCOMPARE(connectionsDuringTick, 2);
    QCOMPARE(f.server->connectionCount(), 2);
    QCOMPARE(statistic(3), u"2"_s);
}

void TestMainWindow::refreshIntervalDialog()
{
    int shown = -1;
    Dialogs::setModalHandler([&](QDialog *) {
        shown = AutoaskForm->AutoaskSpinEdit->value();
        AutoaskForm->AutoaskSpinEdit->setValue(99);
        return int(QDialog::Accepted);
    });
    WAMainForm->AutoaskingItemClick();
    QCOMPARE(shown, 0);
    QCOMPARE(WAMainForm->AutoaskTimer->interval(), 65000);
    WAMainForm->AutoaskingItemClick();
    QCOMPARE(shown, 65);
    // The command sets the interval only; a disabled refresh stays off, interval 0 never fires.
    QVERIFY(!WAMainForm->AutoaskTimer->enabled());
    WAMainForm->AutoaskTimer->setEnabled(true);
    Dialogs::setModalHandler([&](QDialog *) {
        AutoaskForm->AutoaskSpinEdit->setValue(0);
        return int(QDialog::Accepted);
    });
    WAMainForm->AutoaskingItemClick();
    QVERIFY(!WAMainForm->AutoaskTimer->isRunning());
    Dialogs::setModalHandler([&](QDialog *) {
        AutoaskForm->AutoaskSpinEdit->setValue(30);
        return int(QDialog::Rejected);
    });
    WAMainForm->AutoaskingItemClick();
    QCOMPARE(WAMainForm->AutoaskTimer->interval(), 0);
}

void TestMainWindow::unregisterOnlyAfterARequest()
{
    WAMainForm->ExitItemClick();
    QCOMPARE(f.server->connectionCount(), 0);
    f.tearDown();

    f.setUp();
    logIn({ u"[MAIN]"_s });
    WAMainForm->AutoaskTimer->setEnabled(true);
    f.answer({ u"0"_s });
    WAMainForm->close();
    QVERIFY(!WAMainForm->AutoaskTimer->enabled());
    QCOMPARE(f.server->connectionCount(), 2);
    const ScriptedServer::Request request = f.server->request(1);
    QCOMPARE(request.command, "B"_ba);
    QCOMPARE(request.lines.value(9), "ADMIN"_ba);
    QVERIFY(AnswerList.isEmpty());
}

void TestMainWindow::exitClosesTheOtherWindows()
{
    // The registered clients window stays open beside the main window; leaving the program
    // through the window's close must not leave it (and the program) running.
    logIn({ u"[MAIN]"_s });
    WAMainForm->show();
    FormRegClients->show();
    QVERIFY(QTest::qWaitForWindowExposed(WAMainForm));
    QVERIFY(QTest::qWaitForWindowExposed(FormRegClients));
    f.answer({ u"0"_s });
    QVERIFY(WAMainForm->windowHandle()->close());
    QTRY_VERIFY(!WAMainForm->isVisible());
    QVERIFY(!FormRegClients->isVisible());
    QCOMPARE(f.server->request(f.server->connectionCount() - 1).command, "B"_ba);
}

void TestMainWindow::versionAndRestart()
{
    f.answer({ u"0"_s, u"ТУЛВА64"_s, u"6.4"_s, u"3"_s });
    WAMainForm->Version1Click();
    QCOMPARE(Dialogs::asked().last().text, u"The command not supported on server!"_s);
    QCOMPARE(Dialogs::asked().last().caption, u"Attention!"_s);

    f.answer({ u"0"_s, u"ТУЛВА64"_s, u"6.4"_s, u"3"_s, u"50"_s });
    WAMainForm->Version1Click();
    QCOMPARE(Dialogs::asked().last().caption, u"ТУЛВА64"_s);
    QCOMPARE(Dialogs::asked().last().text, u"Version=6.4    Clients Number=3    Max Clients Number=50"_s);

    const qsizetype boxes = Dialogs::asked().size();
    f.answer({ u"-1"_s });
    WAMainForm->ServerRestartItemClick();
    QCOMPARE(Dialogs::asked().size(), boxes);
    f.answer({ u"0"_s });
    WAMainForm->ServerRestartItemClick();
    QCOMPARE(Dialogs::asked().last().text, u"Сервер перестартован успешно."_s);
    QCOMPARE(Dialogs::asked().last().icon, Dialogs::Icon::Warning);
    QCOMPARE(f.server->request(2).command, "+8"_ba);
}

void TestMainWindow::versionGivenUpSaysNothing()
{
    // The server holds the version request; the administrator presses "Прервать" once and the
    // server then drops the connection. That is no answer about the command at all.
    WaitForm->setShowDelay(0);
    f.server->addScript({ ScriptedServer::delay(1500), ScriptedServer::close() });
    WAMainForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(WAMainForm));
    bool pressed = false;
    QTimer presser;
    presser.setInterval(20);
    connect(&presser, &QTimer::timeout, this, [&] {
        if (pressed || !WaitForm->isVisible())
            return;
        QTest::keyClick(WaitForm->windowHandle(), Qt::Key_Escape);
        pressed = true;
    });
    presser.start();
    const qsizetype boxes = Dialogs::asked().size();
    WAMainForm->Version1Click();
    presser.stop();
    QTRY_VERIFY(pressed);
    QCOMPARE(Dialogs::asked().size(), boxes);
}

void TestMainWindow::helpAndHints()
{
    WAMainForm->show();
    WAMainForm->StatisticGrid->setFocus();
    // No help file yet: the user is told which file is missing.
    QTest::keyClick(WAMainForm->StatisticGrid, Qt::Key_F1);
    QVERIFY(Dialogs::asked().last().text.contains(u"tulvaa.hlp"_s));

    QVERIFY(
        QFile::copy(QStringLiteral(TULVA_SOURCE_DIR "/data/tulvaa.hlp"), f.dir->filePath(u"tulvaa.hlp"_s)));
    QTest::keyClick(WAMainForm->StatisticGrid, Qt::Key_F1);
    auto *help = QApplication::topLevelWidgets().isEmpty() ? nullptr : qApp->findChild<THelpForm *>();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *h = qobject_cast<THelpForm *>(w))
            help = h;
    }
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->HelpBrowser->source().fragment(), u"1100"_s);
    WAMainForm->HelpItemClick();
    QCOMPARE(help->HelpBrowser->source().fragment(), u"0"_s);
    QCOMPARE(helpContextOf(WAMainForm->ReorgMfItem), 3400);
    QCOMPARE(helpContextOf(OpenDbForm->DBStringGrid), 2100);

    // The status bar shows the hint of the control under the mouse.
    QWidget *hinted = FormProcess->findChild<TStringGrid *>();
    QVERIFY(hinted && !hinted->toolTip().isEmpty());
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(hinted, &enter);
    QCOMPARE(WAMainForm->hintText(), hinted->toolTip());
    QApplication::sendEvent(WAMainForm->StatisticGrid, &enter);
    QCOMPARE(WAMainForm->hintText(), QString());
}

void TestMainWindow::clockFitsAWiderFace()
{
    // FontName of a face wider than Arial: the clock and the time running are shown whole.
    f.tearDown();
    f.setUp({ u"FontName=DejaVu Sans"_s });
    for (const QLabel *label : { WAMainForm->TimeLabel, WAMainForm->TimeStartLabel }) {
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(u"00:00"_s));
        QVERIFY(WAMainForm->ToyPanel->rect().contains(label->geometry()));
    }
    QVERIFY(WAMainForm->TimeLabel->geometry().right() < WAMainForm->TimeStartLabel->x());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
