// Ending the program: nothing closes under a running request except through it, a registered
// program always ends unregistered, and closing never asks anything.
#include "EmulatorProcess.h"
#include "ScriptedServer.h"
#include "TestSupport.h"
#include "exchange/Waitunit.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Labelf.h"
#include "database/Opendb.h"
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

bool registeredAtServer(const QString &clientId, quint16 port)
{
    TulvaExchange probe;
    probe.SetServerAddress(u"127.0.0.1"_s, QString::number(port), u"A"_s);
    QStringList answer;
    return probe.GetRegisteredClients(answer) == OpResult::Accepted && answer.contains(clientId);
}

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

    std::unique_ptr<QTemporaryDir> m_state;
    std::unique_ptr<EmulatorProcess> m_sim;
    std::unique_ptr<ScopedWorkDir> m_dir;
    int m_terminations = 0;
};

void TestClosing::startSim(const QStringList &faults)
{
    m_state = std::make_unique<QTemporaryDir>();
    QStringList args{ u"--state"_s, m_state->filePath(u"state"_s), u"--sample"_s, EmulatorProcess::sampleDir() };
    for (const QString &fault : faults)
        args << u"--fault"_s << fault;
    m_sim = std::make_unique<EmulatorProcess>(args);
    QVERIFY2(m_sim->port() != 0, m_sim->errors().constData());
}

void TestClosing::startForms(quint16 port, bool runStartTimer)
{
    resetProgramState();
    Dialogs::reset();
    Dialogs::setTestMode(true);
    resetApplicationTerminating();
    m_terminations = 0;
    setApplicationTerminateHandler([this] { ++m_terminations; });
    m_dir = std::make_unique<ScopedWorkDir>();
    QVERIFY(QFile::copy(QStringLiteral(TULVA_SOURCE_DIR "/data/TULVAMSG.TXT"), m_dir->filePath(u"TULVAMSG.TXT"_s)));
    writeCp1251File(m_dir->filePath(LocalIniFileName),
        { u"[Main]"_s, u"ServerPort="_s + QString::number(port), u"USERNAME=admin"_s });
    LabelForm = new TLabelForm;
    CreateForms();
    if (!runStartTimer)
        WAMainForm->TimerStart->stop();
    WAMainForm->show();
}

bool TestClosing::logIn()
{
    Dialogs::setModalHandler([](QDialog *dialog) {
        dialog->show();
        FormConnect->MaskEditPassword->setText(u"admin"_s);
        FormConnect->ButtonExecute->click();
        return dialog->result();
    });
    WAMainForm->TimerStartTimer();
    Dialogs::setModalHandler(nullptr);
    return registeredAtServer(WaitForm->clientId(), m_sim->port());
}

void TestClosing::cleanup()
{
    DestroyForms();
    m_dir.reset();
    m_sim.reset();
    m_state.reset();
    Dialogs::reset();
    setApplicationTerminateHandler(nullptr);
    resetApplicationTerminating();
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
    startForms(m_sim->port());
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
    QVERIFY(!registeredAtServer(id, m_sim->port()));
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestClosing::closeWithServerDownAsksNothing()
{
    startSim();
    startForms(m_sim->port());
    QVERIFY(logIn());
    m_sim->kill();
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
    startForms(m_sim->port());
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
    QVERIFY(!registeredAtServer(id, m_sim->port()));
    QCOMPARE(Dialogs::asked().size(), 1);
}

void TestClosing::busyRefusalsDuringRefresh()
{
    // The login's own open step and the refresh after it answer slowly.
    startSim({ u"0:delay=300:2"_s });
    startForms(m_sim->port());
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
