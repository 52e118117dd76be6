// The server monitor window against a scripted server: its readings on its own interval, pause
// and interval by mouse and keyboard, ticks that meet a modal question or a busy engine, a server
// that does not answer, the picture and the table it saves.
#include "../server/ProcessAnswers.h"
#include "ShellFixture.h"
#include "server/ServerMonitor.h"
#include "shell/UserSettings.h"

#include <QChartView>
#include <QDateTimeAxis>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

// Registered clients: the server's own row and one client; the request counter.
QStringList clientsAnswer(int counter)
{
    QStringList out{ u"0"_s, QString::number(counter), u"2"_s, u"9"_s };
    for (int row = 0; row < 2; ++row) {
        out << (row == 0 ? u"*"_s : u"1"_s) << u"127.0.0.1"_s << u"6666"_s << u"ADMIN"_s << u"123"_s << u"A"_s
            << u"t"_s << u"t"_s << u"+1"_s << u"1"_s;
    }
    return out;
}

void clickAsAPerson(QWidget *w)
{
    QWidget *window = w->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, w->mapTo(window, w->rect().center()));
}

} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void readsOnItsInterval();
    void tickMeetsOtherWork_data();
    void tickMeetsOtherWork();
    void silentServer_data();
    void silentServer();
    void savesPictureAndTable_data();
    void savesPictureAndTable();
    void timeLabelsFitANarrowWindow();

private:
    // The three answers of one tick; the first after a pause long enough for the wait's ticks.
    void answerTick(int counter, int processes, int delayMs = 0);
    TServerMonitorForm *m = nullptr;
    ShellFixture f;
};

void TestMonitor::init()
{
    userSettings()->clear();
    f.setUp();
    CurrentDbName = u"IBIS"_s;
    m = serverMonitorForm();
}

void TestMonitor::cleanup()
{
    f.tearDown();
    userSettings()->clear();
}

void TestMonitor::answerTick(int counter, int processes, int delayMs)
{
    QList<Proc> procs;
    for (int i = 0; i < processes; ++i)
        procs.append({ QString::number(i + 2), u"77"_s, u"TULVA_RELOAD_DICT"_s });
    ScriptedServer::Script clients{ ScriptedServer::reply(ShellFixture::lines(clientsAnswer(counter))) };
    if (delayMs > 0)
        clients.prepend(ScriptedServer::delay(delayMs));
    f.server->addScript(clients);
    f.answer(processAnswer(procs));
    f.answer({ u"0"_s,
        u"1\x1F\x1E"
        u"2"_s,
        QString(), QString(), QString(), u"16"_s, u"0"_s });
}

void TestMonitor::readsOnItsInterval()
{
    QCOMPARE(m->IntervalSpin->value(), TServerMonitorForm::DefaultInterval);
    answerTick(100, 1);
    m->show();
    QVERIFY(QTest::qWaitForWindowExposed(m));
    // The first reading comes at once.
    QTRY_COMPARE(m->history().size(), 1);
    QCOMPARE(f.server->request(0).command, "+1");
    QCOMPARE(f.server->request(1).command, "+3");
    QCOMPARE(f.server->request(2).command, "0");
    QCOMPARE(f.server->request(2).lines.value(9), "IBIS");
    const MonitorReading *r = m->history().lastReading();
    QCOMPARE(r->clients, std::optional<int>(1));
    QCOMPARE(r->requestCounter, std::optional<qint64>(100));
    QCOMPARE(r->processes->size(), 1);
    QCOMPARE(r->database->maxMfn, 15);
    QCOMPARE(r->database->deletedLogically, 2);
    QVERIFY(m->StateLabel->text().startsWith(u"Данные на "_s));
    QCOMPARE(m->DatabaseChart->chart()->title(), u"База данных IBIS"_s);
    QVERIFY(m->hoverText(m->ProcessesChart->chart(), r->at, 1).contains(u"TULVA_RELOAD_DICT: 1"_s));

    // The interval typed as the administrator does, kept in the user's settings.
    QTest::mouseDClick(m->windowHandle(), Qt::LeftButton, {},
        m->IntervalSpin->mapTo(m, QPoint(8, m->IntervalSpin->height() / 2)));
    QTest::keyClick(m->windowHandle(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m->windowHandle(), Qt::Key_4);
    QTest::keyClick(m->windowHandle(), Qt::Key_5);
    QTest::keyClick(m->windowHandle(), Qt::Key_Tab);
    QTRY_COMPARE(m->IntervalSpin->value(), 45);
    QCOMPARE(m->TickTimer->interval(), 45000);
    QCOMPARE(userSettings()->value(u"Monitor/Interval"_s).toInt(), 45);

    // From the interval, Tab leads to the pause button and then the buttons below the charts.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m->PauseButton));
    QTest::keyClick(m->windowHandle(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m->SavePngButton));

    // Pause: the timer asks nothing; going on reads at once.
    QCOMPARE(m->PauseButton->text(), u"Пауза"_s);
    clickAsAPerson(m->PauseButton);
    QVERIFY(m->PauseButton->isChecked());
    QCOMPARE(m->PauseButton->text(), u"Продолжить"_s);
    QVERIFY(!m->TickTimer->isActive());
    m->TickTimerTimer();
    QCOMPARE(f.server->connectionCount(), 3);
    QVERIFY(m->StateLabel->text().endsWith(u"пауза"_s));
    answerTick(160, 0);
    clickAsAPerson(m->PauseButton);
    QTRY_COMPARE(m->history().size(), 2);
    QVERIFY(m->TickTimer->isActive());
    QCOMPARE(m->PauseButton->text(), u"Пауза"_s);
    // The lines do not join across the pause.
    QCOMPARE(m->history().series(MonitorHistory::Figure::Clients).size(), 2);
    QCOMPARE(m->history().lastReading()->processes->size(), 0);

    // Closed, the monitor asks nothing; a new run starts with the interval kept.
    clickAsAPerson(m->ButtonCancel);
    QVERIFY(!m->isVisible());
    QVERIFY(!m->TickTimer->isActive());
    destroyServerMonitorForm();
    m = serverMonitorForm();
    QCOMPARE(m->IntervalSpin->value(), 45);
}

void TestMonitor::tickMeetsOtherWork_data()
{
    QTest::addColumn<bool>("busyEngine");
    QTest::addColumn<int>("readings");
    // A question of another window is open: the reading goes ahead, the question stays the
    // administrator's to answer.
    QTest::newRow("modal question") << false << 1;
    // Another request waits for its answer: the tick sends nothing and waits for the next one.
    QTest::newRow("busy engine") << true << 0;
}

void TestMonitor::tickMeetsOtherWork()
{
    QFETCH(bool, busyEngine);
    QFETCH(int, readings);
    m->PauseButton->setChecked(true); // the test fires the ticks itself
    m->show();
    QVERIFY(QTest::qWaitForWindowExposed(m));
    int connectionsBefore = -1;
    int connectionsAfter = -1;
    bool monitorDisabled = false;
    bool done = false;
    const auto tick = [&] {
        connectionsBefore = f.server->connectionCount();
        m->PauseButton->setChecked(false);
        WaitForm->setTickHook(
            [&](int) { monitorDisabled |= WaitForm->requestingWindow() == m && !m->isEnabled(); });
        m->TickTimerTimer();
        WaitForm->setTickHook(nullptr);
        m->PauseButton->setChecked(true);
        connectionsAfter = f.server->connectionCount();
    };
    if (busyEngine) {
        f.server->addScript({ ScriptedServer::delay(600),
            ScriptedServer::reply(ShellFixture::lines({ u"0"_s, {}, {}, {}, {}, u"4"_s, u"0"_s })) });
        QTimer::singleShot(200, [&] {
            tick();
            done = true;
        });
        WAMainForm->RestatItemClick();
        QTRY_VERIFY(done);
        QCOMPARE(statistic(3), u"3"_s); // the administrator's own request got its answer
    } else {
        answerTick(5, 0, 250);
        QMessageBox box(
            QMessageBox::Question, u"Внимание!"_s, u"Удалить?"_s, QMessageBox::Yes | QMessageBox::No);
        QTimer::singleShot(0, [&] {
            tick();
            QPushButton *yes = qobject_cast<QPushButton *>(box.button(QMessageBox::Yes));
            QTest::mouseClick(box.windowHandle(), Qt::LeftButton, {}, yes->mapTo(&box, yes->rect().center()));
            done = true;
        });
        QCOMPARE(box.exec(), int(QMessageBox::Yes));
        QTRY_VERIFY(done);
        // The reading served the monitor: the monitor waited, not the question.
        QVERIFY(monitorDisabled);
    }
    QCOMPARE(connectionsAfter - connectionsBefore, readings * 3);
    QCOMPARE(m->history().size(), readings);
    QVERIFY(!m->history().silentSince());
    QVERIFY(Dialogs::asked().isEmpty());
    QVERIFY(m->isEnabled());
}

void TestMonitor::silentServer_data()
{
    QTest::addColumn<ScriptedServer::Script>("script");
    QTest::addColumn<int>("presses"); // of "Прервать" while the request waits
    QTest::newRow("closes without answering") << ScriptedServer::Script{ ScriptedServer::close() } << 0;
    QTest::newRow("wrong length every time")
        << ScriptedServer::Script{ ScriptedServer::reply({ "0" }, 1) } << 0;
    QTest::newRow("never answers, given up") << ScriptedServer::Script{ ScriptedServer::hang() } << 3;
}

void TestMonitor::silentServer()
{
    QFETCH(ScriptedServer::Script, script);
    QFETCH(int, presses);
    answerTick(10, 0);
    m->PauseButton->setChecked(true);
    m->show();
    m->PauseButton->setChecked(false);
    m->TickTimerTimer();
    QCOMPARE(m->history().size(), 1);

    f.server->setDefaultScript(script);
    const int before = f.server->connectionCount();
    WaitForm->setShowDelay(0);
    bool waitShown = false;
    WaitForm->setTickHook([&](int tick) {
        waitShown |= WaitForm->isWaitVisible();
        if (tick >= 12 && tick < 12 + presses)
            WaitForm->TerminatorButtonClick();
    });
    m->TickTimerTimer();
    WaitForm->setTickHook(nullptr);
    QVERIFY(m->history().silentSince().has_value());
    QVERIFY2(m->StateLabel->text().startsWith(u"Сервер не отвечает с "_s), qPrintable(m->StateLabel->text()));
    // The timer never asks the retry question, and the program goes on.
    QVERIFY(Dialogs::asked().isEmpty());
    QCOMPARE(f.terminations, 0);
    QVERIFY(!WaitForm->serverHost().isEmpty());
    if (presses > 0) {
        QVERIFY(waitShown);
        // Each press went out as a cancel message of its own.
        QVERIFY(f.server->waitForConnections(before + 1 + presses));
    }

    // The server answers again: the charts go on after the gap.
    f.server->setDefaultScript({ ScriptedServer::close() });
    answerTick(20, 1);
    m->TickTimerTimer();
    QVERIFY(!m->history().silentSince());
    QCOMPARE(m->history().silentSpans().size(), 1);
    QCOMPARE(m->history().series(MonitorHistory::Figure::Clients).size(), 2);
    QVERIFY(m->StateLabel->text().startsWith(u"Данные на "_s));
}

void TestMonitor::savesPictureAndTable_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("starts"); // empty: the write fails
    QTest::newRow("png") << true << u"monitor.png"_s << QByteArray("\x89PNG");
    QTest::newRow("csv") << false << u"monitor.csv"_s
                         << QByteArray("\xEF\xBB\xBF\xD0\x92\xD1\x80\xD0\xB5\xD0\xBC\xD1\x8F,");
    QTest::newRow("png, no such folder") << true << u"nosuch/monitor.png"_s << QByteArray();
    QTest::newRow("csv, no such folder") << false << u"nosuch/monitor.csv"_s << QByteArray();
}

void TestMonitor::savesPictureAndTable()
{
    QFETCH(bool, picture);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, starts);
    answerTick(10, 1);
    m->show();
    QTRY_COMPARE(m->history().size(), 1);
    const QString path = f.dir->filePath(fileName);
    Dialogs::queueSaveFile(path, Dialogs::Encoding::Utf8Bom);
    clickAsAPerson(picture ? m->SavePngButton : m->ExportCsvButton);
    QFile file(path);
    if (starts.isEmpty()) {
        QVERIFY(!file.exists());
        QCOMPARE(Dialogs::asked().size(), 2);
        QVERIFY(Dialogs::asked().last().text.startsWith(u"Не удалось записать файл "_s + path));
        return;
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY2(file.readAll().startsWith(starts), qPrintable(path));
    QCOMPARE(Dialogs::asked().size(), 1);
}

void TestMonitor::timeLabelsFitANarrowWindow()
{
    // At its smallest (a small screen, a large font) every chart shows its times whole.
    answerTick(100, 1);
    m->show();
    QVERIFY(QTest::qWaitForWindowExposed(m));
    QTRY_COMPARE(m->history().size(), 1);
    m->resize(m->minimumSize());
    for (QChartView *view : { m->ClientsChart, m->ProcessesChart, m->RequestsChart, m->DatabaseChart }) {
        auto *times = qobject_cast<QDateTimeAxis *>(view->chart()->axes(Qt::Horizontal).value(0));
        QVERIFY(times);
        const int label = QFontMetrics(times->labelsFont()).horizontalAdvance(u"20:58:58"_s);
        QTRY_VERIFY2((times->tickCount() - 1) * label <= view->chart()->plotArea().width(),
            qPrintable(view->objectName() + u": "_s + QString::number(times->tickCount())));
    }
}

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
