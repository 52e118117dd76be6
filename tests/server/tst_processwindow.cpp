// The process window and the process watch window against a scripted server: the list, the
// current row across reloads, stopping, the popup rule, the watch's ticks and its stop button.
#include "../shell/ShellFixture.h"
#include "ProcessAnswers.h"
#include "database/loadinv.h"
#include "server/process.h"
#include "shell/StringGrid.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Arguments of a request (after the nine header lines).
QList<QByteArray> argumentsOf(const ScriptedServer::Request &r)
{
    QList<QByteArray> args = r.lines.mid(9);
    while (!args.isEmpty() && args.last().isEmpty())
        args.removeLast();
    return args;
}

TStringGrid *grid()
{
    return FormProcess->StringGridProcess;
}

bool stopEnabled()
{
    FormProcess->PopupMenuProcessPopup();
    return FormProcess->ProcStop->isEnabled();
}

} // namespace

class TestProcessWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void listFillsTheGrid();
    void refusedOrFailedListLeavesGrid();
    void absurdCountsStayBounded();
    void currentRowFollowsItsProcess();
    void stopSendsTheRowsKeysAndReloads();
    void stopIsNotOfferedForTheServerRow();
    void menuItemShowsWindowAndAutoRefreshReloadsIt();
    void watchReloadsByKindAndCountsAcrossShowings();
    void watchClosesWhenTheJobEnds();
    void watchStopSendsStopAndCloses();
    void watchGoesOnWhenNothingCanBeStopped_data();
    void watchGoesOnWhenNothingCanBeStopped();
    void watchReloadThatHangsIsCancelled();

private:
    ShellFixture f;
    QString id() const { return WaitForm->clientId(); }
};

void TestProcessWindow::listFillsTheGrid()
{
    f.answer(
        processAnswer({ { u"2"_s, id(), u"TULVA_RELOAD_DICT"_s }, { u"3"_s, u"77"_s, u"TULVA_READ"_s } }));
    FormProcess->LoadProcessList();
    QCOMPARE(f.server->request(0).command, "+3");
    QCOMPARE(grid()->rowCount(), 4);
    QCOMPARE(grid()->colCount(), 10);
    QCOMPARE(grid()->cell(0, 0), u"№"_s);
    QCOMPARE(grid()->cell(2, 1), u"Сервер ТУЛВА"_s);
    QCOMPARE(grid()->cell(6, 2), u"TULVA_RELOAD_DICT"_s);
    QCOMPARE(grid()->cell(3, 3), u"77"_s);
    QCOMPARE(FormProcess->FindOwnActiveProcess(u"TULVA_RELOAD_DICT"_s), 2);
    QCOMPARE(FormProcess->FindOwnActiveProcess(u"TULVA_READ"_s), -1);

    // A narrower list drops columns; the next full list has its titles again.
    f.answer({ u"0"_s, u"1"_s, u"2"_s, u"*"_s, u"x"_s, u"y"_s });
    FormProcess->LoadProcessList();
    QCOMPARE(grid()->colCount(), 3);
    f.answer(processAnswer({}));
    FormProcess->LoadProcessList();
    QCOMPARE(grid()->colCount(), 10);
    QCOMPARE(grid()->cell(9, 0), u"Состояние"_s);
    QCOMPARE(grid()->colWidth(6), 140);
    QCOMPARE(grid()->rowCount(), 2);
}

void TestProcessWindow::refusedOrFailedListLeavesGrid()
{
    f.answer(processAnswer({ { u"2"_s, id(), u"TULVA_DB_NEW"_s } }));
    FormProcess->LoadProcessList();
    f.answer({ u"-3"_s, u"1"_s, u"9"_s });
    FormProcess->LoadProcessList();
    f.server->addScript({ ScriptedServer::close() });
    WaitForm->engine()->RetryLimit = 0;
    FormProcess->LoadProcessList();
    QCOMPARE(grid()->rowCount(), 3);
    QCOMPARE(grid()->cell(6, 2), u"TULVA_DB_NEW"_s);
}

void TestProcessWindow::absurdCountsStayBounded()
{
    QStringList a{ u"0"_s, u"2000000000"_s, u"9"_s };
    a += processAnswer({ { u"2"_s, id(), u"TULVA_DB_NEW"_s } }).mid(3);
    a << u"3"_s << u"partial"_s;
    f.answer(a);
    FormProcess->LoadProcessList();
    QCOMPARE(grid()->rowCount(), 4);
    QCOMPARE(grid()->cell(1, 3), u"partial"_s);
    QCOMPARE(grid()->cell(2, 3), QString());

    f.answer({ u"0"_s, u"-1"_s, u"-1"_s });
    FormProcess->LoadProcessList();
    QCOMPARE(grid()->rowCount(), 2);
    QVERIFY(grid()->colCount() >= 1);
}

void TestProcessWindow::currentRowFollowsItsProcess()
{
    f.answer(processAnswer({ { u"2"_s, u"11"_s, u"TULVA_READ"_s }, { u"3"_s, u"22"_s, u"TULVA_SEARCH"_s },
        { u"4"_s, u"33"_s, u"TULVA_STAT"_s } }));
    FormProcess->LoadProcessList();
    grid()->setRow(4);
    QVERIFY(stopEnabled());

    // Process 2 ended: process 4 moved up a row, and so does the selection.
    f.answer(processAnswer({ { u"3"_s, u"22"_s, u"TULVA_SEARCH"_s }, { u"4"_s, u"33"_s, u"TULVA_STAT"_s } }));
    FormProcess->LoadProcessList();
    QCOMPARE(grid()->row(), 3);
    QCOMPARE(grid()->cell(0, grid()->row()), u"4"_s);

    // The same number under another client is another process: nothing is current, no stop.
    f.answer(processAnswer({ { u"3"_s, u"22"_s, u"TULVA_SEARCH"_s }, { u"4"_s, u"44"_s, u"TULVA_STAT"_s } }));
    FormProcess->LoadProcessList();
    QVERIFY(!grid()->currentIndex().isValid());
    QVERIFY(!stopEnabled());
    const int before = f.server->connectionCount();
    FormProcess->ProcStopClick();
    QCOMPARE(f.server->connectionCount(), before);

    // Nothing current stays so; the server row stays current.
    f.answer(processAnswer({ { u"3"_s, u"22"_s, u"TULVA_SEARCH"_s } }));
    FormProcess->LoadProcessList();
    QVERIFY(!grid()->currentIndex().isValid());
    grid()->setRow(1);
    f.answer(processAnswer({}));
    FormProcess->LoadProcessList();
    QCOMPARE(grid()->row(), 1);
    QVERIFY(grid()->currentIndex().isValid());
}

void TestProcessWindow::stopSendsTheRowsKeysAndReloads()
{
    f.answer(processAnswer({ { u"2"_s, u"11"_s, u"TULVA_READ"_s },
        { u"5"_s, u"22"_s, u"TULVA_RELOAD_MASTER"_s }, { u"6"_s, u"33"_s, u"NOT_IN_TABLE"_s } }));
    FormProcess->LoadProcessList();
    grid()->setRow(3);
    f.answer({ u"0"_s });
    f.answer(processAnswer({ { u"2"_s, u"11"_s, u"TULVA_READ"_s }, { u"6"_s, u"33"_s, u"NOT_IN_TABLE"_s } }));
    FormProcess->ProcStop->trigger();
    QCOMPARE(f.server->request(1).command, "+4");
    QCOMPARE(argumentsOf(f.server->request(1)), (QList<QByteArray>{ "22", "X", "5" }));
    QCOMPARE(f.server->request(2).command, "+3");
    QVERIFY(!grid()->currentIndex().isValid());

    // A name without a code is still sent, with an empty code; a refusal reloads nothing.
    grid()->setRow(3);
    f.answer({ u"-12"_s });
    FormProcess->ProcStopClick();
    QCOMPARE(f.server->connectionCount(), 4);
    QCOMPARE(argumentsOf(f.server->request(3)), (QList<QByteArray>{ "33", "", "6" }));
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestProcessWindow::stopIsNotOfferedForTheServerRow()
{
    f.answer(processAnswer({}));
    FormProcess->LoadProcessList();
    QCOMPARE(grid()->row(), 1);
    QVERIFY(!stopEnabled());
    FormProcess->ProcStopClick();
    QCOMPARE(f.server->connectionCount(), 1);
    QCOMPARE(FormProcess->FindOwnActiveProcess(u"TULVA_DB_NEW"_s), -1);
}

void TestProcessWindow::menuItemShowsWindowAndAutoRefreshReloadsIt()
{
    f.answer(processAnswer({ { u"2"_s, u"11"_s, u"TULVA_READ"_s } }));
    WAMainForm->ServerProcessListItem->trigger();
    QVERIFY(FormProcess->isVisible());
    QCOMPARE(grid()->rowCount(), 3);
    FormProcess->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FormProcess));

    // F5 in the window reloads.
    f.answer(processAnswer({ { u"2"_s, u"11"_s, u"TULVA_READ"_s }, { u"3"_s, u"12"_s, u"TULVA_READ"_s } }));
    QTest::keyClick(FormProcess->windowHandle(), Qt::Key_F5);
    QTRY_COMPARE(grid()->rowCount(), 4);

    // The automatic refresh re-reads the statistics, then the visible process list.
    f.server->setDefaultScript({ ScriptedServer::reply(ShellFixture::lines(processAnswer({}))) });
    const auto commandsFrom = [this](int first) {
        QList<QByteArray> out;
        for (int i = first; i < f.server->connectionCount(); ++i)
            out << f.server->request(i).command;
        return out;
    };
    const int before = f.server->connectionCount();
    WAMainForm->AutoaskTimerTimer();
    QCOMPARE(commandsFrom(before).count("+3"), 1);
    QCOMPARE(grid()->rowCount(), 2);

    // Hidden, it is not refreshed.
    FormProcess->ButtonCancel->click();
    QVERIFY(!FormProcess->isVisible());
    const int hidden = f.server->connectionCount();
    WAMainForm->AutoaskTimerTimer();
    QVERIFY(f.server->connectionCount() > hidden);
    QCOMPARE(commandsFrom(hidden).count("+3"), 0);
}

void TestProcessWindow::watchReloadsByKindAndCountsAcrossShowings()
{
    f.server->setDefaultScript({ ScriptedServer::reply(ShellFixture::lines(
        processAnswer({ { u"2"_s, id(), u"TULVA_CREATE_DICT"_s }, { u"3"_s, id(), u"TULVA_DB_NEW"_s } }))) });
    const int start = LoadInvForm->TickCounter;
    QCOMPARE(start, 0);
    LoadInvForm->WatchKind = TLoadInvForm::CreateDict;
    for (int i = 0; i < 20; ++i)
        LoadInvForm->Timer1Timer();
    QCOMPARE(f.server->connectionCount(), 2); // ticks 10 and 20
    QCOMPARE(LoadInvForm->windowTitle(), u"Создание словаря заново"_s);
    // Past the maximum the bar starts again: 110 shows as 10, so twenty steps end at 100.
    QCOMPARE(LoadInvForm->LoadProgressBar->value(), 100);

    // Another kind goes on counting: ticks 21 … 29 reload on 21, 24 and 27.
    LoadInvForm->WatchKind = TLoadInvForm::DbNew;
    for (int i = 0; i < 9; ++i)
        LoadInvForm->Timer1Timer();
    QCOMPARE(f.server->connectionCount(), 5);
    QCOMPARE(LoadInvForm->TickCounter, 29);

    // A kind that does not exist does nothing at all.
    LoadInvForm->WatchKind = 9;
    LoadInvForm->Timer1Timer();
    QCOMPARE(LoadInvForm->TickCounter, 29);
}

void TestProcessWindow::watchClosesWhenTheJobEnds()
{
    f.answer(processAnswer({ { u"2"_s, id(), u"TULVA_RELOAD_DICT"_s } }));
    FormProcess->LoadProcessList();
    // Still running at the first reload, gone at the second.
    f.answer(processAnswer({ { u"2"_s, id(), u"TULVA_RELOAD_DICT"_s } }));
    f.answer(processAnswer({}));
    LoadInvForm->Timer1->setInterval(5);
    LoadInvForm->WatchKind = TLoadInvForm::ReloadDict;
    const int result = Dialogs::execModal(LoadInvForm);
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(LoadInvForm->WatchResult, 0);
    QCOMPARE(LoadInvForm->TickCounter, 10);
    QCOMPARE(f.server->connectionCount(), 3);
    QVERIFY(!LoadInvForm->Timer1->isActive());
}

void TestProcessWindow::watchStopSendsStopAndCloses()
{
    f.answer(processAnswer(
        { { u"2"_s, u"11"_s, u"TULVA_RELOAD_MASTER"_s }, { u"7"_s, id(), u"TULVA_RELOAD_MASTER"_s } }));
    FormProcess->LoadProcessList();
    f.answer({ u"0"_s }); // +4
    f.answer(processAnswer({})); // the process window's refresh
    f.server->setDefaultScript({ ScriptedServer::reply({ "-1" }) }); // the open step
    LoadInvForm->WatchKind = TLoadInvForm::ReloadMaster;
    bool clicked = false;
    QTimer::singleShot(0, this, [&] {
        QPushButton *b = LoadInvForm->Button1;
        QTest::mouseClick(
            b->window()->windowHandle(), Qt::LeftButton, {}, b->mapTo(b->window(), b->rect().center()));
        clicked = true;
    });
    const int result = Dialogs::execModal(LoadInvForm);
    QTRY_VERIFY(clicked);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(LoadInvForm->WatchResult, TLoadInvForm::StoppedByUser);
    QCOMPARE(f.server->request(1).command, "+4");
    QCOMPARE(argumentsOf(f.server->request(1)), (QList<QByteArray>{ id().toLatin1(), "X", "7" }));
    QCOMPARE(f.server->request(2).command, "+3");
    QVERIFY(f.server->connectionCount() >= 3);
}

void TestProcessWindow::watchGoesOnWhenNothingCanBeStopped_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("listed"); // the process as the grid last showed it
    QTest::addColumn<bool>("enabled");
    // The server takes no stop for a deletion: the button is off.
    QTest::newRow("deletion") << int(TLoadInvForm::DbDelete) << u"TULVA_DB_DELETE"_s << false;
    // The job has just ended: the click finds nothing to stop.
    QTest::newRow("job already gone") << int(TLoadInvForm::ReloadMaster) << QString() << true;
}

void TestProcessWindow::watchGoesOnWhenNothingCanBeStopped()
{
    QFETCH(int, kind);
    QFETCH(QString, listed);
    QFETCH(bool, enabled);
    const QList<Proc> rows = listed.isEmpty() ? QList<Proc>{} : QList<Proc>{ { u"2"_s, id(), listed } };
    f.answer(processAnswer(rows));
    FormProcess->LoadProcessList();
    f.server->setDefaultScript({ ScriptedServer::reply(ShellFixture::lines(processAnswer(rows))) });
    LoadInvForm->WatchKind = quint8(kind);
    // A long tick, so that the watch cannot end by itself while the test looks at it.
    LoadInvForm->Timer1->setInterval(60000);
    bool goesOn = false;
    QTimer::singleShot(0, this, [&] {
        // Either way the watch keeps running (its time, the title) rather than freezing.
        QPushButton *b = LoadInvForm->Button1;
        QWindow *w = b->window()->windowHandle();
        QTest::mouseClick(w, Qt::LeftButton, {}, b->mapTo(b->window(), b->rect().center()));
        goesOn = LoadInvForm->isVisible() && LoadInvForm->Timer1->isActive() && b->isEnabled() == enabled
            && WAMainForm->windowTitle().startsWith(u'[');
        // The close box.
        LoadInvForm->close();
    });
    const int before = f.server->connectionCount();
    const int result = Dialogs::execModal(LoadInvForm);
    QVERIFY(goesOn);
    // Nothing was stopped: the watch ends as one that was left.
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(f.server->connectionCount(), before);
}

void TestProcessWindow::watchReloadThatHangsIsCancelled()
{
    f.answer(processAnswer({ { u"2"_s, id(), u"TULVA_DB_NEW"_s } }));
    FormProcess->LoadProcessList();
    // The reload of tick 3 never gets an answer; the next one finds the job gone.
    f.server->addScript({ ScriptedServer::hang() });
    f.server->setDefaultScript({ ScriptedServer::reply(ShellFixture::lines(processAnswer({}))) });
    WaitForm->setShowDelay(0);
    WaitForm->setWaitTickInterval(5);
    LoadInvForm->Timer1->setInterval(5);
    LoadInvForm->WatchKind = TLoadInvForm::DbNew;
    // The engine then asks whether to try again (No would end the program): Yes.
    Dialogs::queueAnswer(QMessageBox::Yes);

    // "Прервать" pressed by real input while the watch is modal; if the input cannot reach it,
    // the exchange is abandoned after a while so that the test ends (and fails).
    bool pressed = false;
    bool blocked = false;
    int polls = 0;
    QTimer presser;
    presser.setInterval(20);
    connect(&presser, &QTimer::timeout, this, [&] {
        if (pressed || !WaitForm->isVisible() || WaitForm->exchangeState() != OpResult::Busy)
            return;
        if (++polls > 100) {
            blocked = true;
            WaitForm->engine()->abandonExchange();
            return;
        }
        QTest::mouseClick(WaitForm->windowHandle(), Qt::LeftButton, {},
            WaitForm->BitBtnWait->mapTo(WaitForm, WaitForm->BitBtnWait->rect().center()));
        pressed = WaitForm->exchangeState() != OpResult::Busy;
    });
    presser.start();
    const int result = Dialogs::execModal(LoadInvForm);
    presser.stop();
    QVERIFY(!blocked);
    QVERIFY(pressed);
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(FormProcess->FindOwnActiveProcess(u"TULVA_DB_NEW"_s), -1);
    QCOMPARE(f.terminations, 0);
}

QTEST_MAIN(TestProcessWindow)
#include "tst_processwindow.moc"
