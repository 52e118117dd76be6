// Ending the program: nothing closes under a running request except through it, a registered
// program always ends unregistered, and closing never asks anything.
#include "ScriptedServer.h"
#include "SimSession.h"
#include "TestSupport.h"
#include "database/Opendb.h"
#include "exchange/Waitunit.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Labelf.h"
#include "shell/Program.h"
#include "shell/StringGrid.h"
#include "shell/Wamain.h"
#include "shell/connect.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

} // namespace

class TestClosing : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void closeBeforeLoginSendsNothing();
    void closeDuringRequestEndsItThenUnregisters();
    void closeWithServerDownAsksNothing();
    void refusedRetryStillEndsUnregistered();
    void busyRefusalsDuringRefresh();

private:
    void startForms(quint16 port, bool runStartTimer = false);
    bool logIn();
    void startSim(const QStringList &faults = {});

    SimSession m_session;
    int m_terminations = 0;
};

void TestClosing::startSim(const QStringList &faults)
{
    QStringList args;
    for (const QString &fault : faults)
        args << u"--fault"_s << fault;
    QVERIFY2(m_session.startEmulator(args) != 0, m_session.sim->errors().constData());
}

void TestClosing::startForms(quint16 port, bool runStartTimer)
{
    m_terminations = 0;
    QVERIFY(m_session.createForms(
        port, [this] { ++m_terminations; }, runStartTimer));
    WAMainForm->show();
}

bool TestClosing::logIn()
{
    m_session.logIn();
    Dialogs::setModalHandler(nullptr);
    return m_session.registeredAtServer(WaitForm->clientId());
}

void TestClosing::cleanup()
{
    m_session.tearDown();
}

void TestClosing::closeBeforeLoginSendsNothing()
{
    ScriptedServer server;
    QVERIFY(server.listen());
    startForms(server.port(), true);
    bool loginShown = false;
    Dialogs::setModalHandler([&](QDialog *) {
        loginShown = true;
        return int(QDialog::Rejected);
    });
    QVERIFY(WAMainForm->TimerStart->isActive());
    WAMainForm->close();
    QVERIFY(!WAMainForm->isVisible());
    QCOMPARE(m_terminations, 1);
    QVERIFY(!WAMainForm->TimerStart->isActive());
    WAMainForm->TimerStartTimer(); // a tick already on its way changes nothing
    QTest::qWait(50);
    QVERIFY(!loginShown);
    QCOMPARE(server.connectionCount(), 0);
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestClosing::closeDuringRequestEndsItThenUnregisters()
{
    startSim({ u"+3:hang"_s });
    startForms(m_session.sim->port());
    QVERIFY(logIn());
    const QString id = WaitForm->clientId();
    WaitForm->setWaitTickInterval(5);
    WaitForm->setShowDelay(0);

    int result = 0;
    bool closedWhileRunning = false;
    WaitForm->setTickHook([&](int tick) {
        if (tick == 5) {
            // The window manager's close box of the main window, while its request hangs.
            WAMainForm->windowHandle()->close();
            closedWhileRunning = WAMainForm->isVisible();
        }
    });
    QStringList answer;
    result = WaitForm->GetProcessList(answer);
    WaitForm->setTickHook(nullptr);
    QVERIFY(closedWhileRunning); // refused until the request had ended
    QCOMPARE(result, OpResult::Failed);
    QTRY_VERIFY(!WAMainForm->isVisible());
    QVERIFY(!m_session.registeredAtServer(id));
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestClosing::closeWithServerDownAsksNothing()
{
    startSim();
    startForms(m_session.sim->port());
    QVERIFY(logIn());
    m_session.sim->kill();
    QElapsedTimer clock;
    clock.start();
    WAMainForm->close();
    QVERIFY(!WAMainForm->isVisible());
    QVERIFY(Dialogs::asked().isEmpty());
    QVERIFY(clock.elapsed() < 5000);
}

void TestClosing::refusedRetryStillEndsUnregistered()
{
    // Six bad answers bring the retry question; No ends the program, and the unregistration
    // at closing still goes out.
    startSim({ u"+3:badlength:6"_s });
    startForms(m_session.sim->port());
    QVERIFY(logIn());
    const QString id = WaitForm->clientId();
    QStringList answer;
    QCOMPARE(WaitForm->GetProcessList(answer), OpResult::Failed);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(m_terminations, 1);
    QVERIFY(WaitForm->serverHost().isEmpty());
    QCOMPARE(WaitForm->GetServerVersion(answer), OpResult::Failed); // nothing more reaches the server
    WAMainForm->close();
    QVERIFY(!WAMainForm->isVisible());
    QVERIFY(!m_session.registeredAtServer(id));
    QCOMPARE(Dialogs::asked().size(), 1);
}

void TestClosing::busyRefusalsDuringRefresh()
{
    // The login's own open step and the refresh after it answer slowly.
    startSim({ u"0:delay=300:2"_s });
    startForms(m_session.sim->port());
    QVERIFY(logIn());
    QCOMPARE(CurrentDbName, u"IBIS"_s);
    const qsizetype deleted = DeletedMfns1.size();
    QVERIFY(deleted > 0);
    WaitForm->setWaitTickInterval(5);

    const QString busy = u"Предыдущий запрос к серверу ещё выполняется. Повторите команду позже."_s;
    bool acted = false;
    bool mainDisabled = false;
    bool listsKept = false;
    WaitForm->setTickHook([&](int tick) {
        if (tick != 5)
            return;
        mainDisabled = !WAMainForm->isEnabled();
        // The administrator picks another database and presses OK, then asks for the version.
        OpenDbForm->DBStringGrid->setRow(OpenDbForm->rowOfDatabase(u"RDR"_s));
        OpenDbForm->OKBitBtnClick();
        WAMainForm->Version1Click();
        WAMainForm->RestatItemClick();
        listsKept = DeletedMfns1.size() == deleted;
        acted = true;
    });
    WAMainForm->AutoaskTimerTimer();
    WaitForm->setTickHook(nullptr);
    QVERIFY(acted);
    QVERIFY(mainDisabled);
    QVERIFY(listsKept);
    QCOMPARE(Dialogs::asked().size(), 3);
    for (const Dialogs::Asked &a : Dialogs::asked()) {
        QCOMPARE(a.text, busy);
        QCOMPARE(a.caption, u"Внимание!"_s);
    }
    // The figures that came are IBIS's, under IBIS's name.
    QCOMPARE(CurrentDbName, u"IBIS"_s);
    QCOMPARE(WAMainForm->StatisticGrid->cell(1, 1), u"IBIS"_s);
    QCOMPARE(DeletedMfns1.size(), deleted);
}

QTEST_MAIN(TestClosing)
#include "tst_closing.moc"
