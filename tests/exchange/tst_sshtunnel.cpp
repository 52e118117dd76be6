// The SSH tunnel end to end: a private sshd on loopback, the emulator behind it, the engine and
// tulvaa-cli reaching the emulator through the system's ssh. Core library only.
#include "EmulatorProcess.h"
#include "SshServer.h"
#include "exchange/Exchange.h"
#include "exchange/SshTunnel.h"
#include "shell/ServerBook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

using namespace Qt::Literals::StringLiterals;

class TestSshTunnel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup() { qunsetenv("TULVA_SSH"); }

    void engineReachesTheServerThroughTheTunnel();
    void openingFailuresAreToldInSshsWords_data();
    void openingFailuresAreToldInSshsWords();
    void tunnelKilledMidSessionIsOpenedAgain();
    void cliThroughASavedServer();

private:
    SshTunnelSettings sshSettings(const QString &identity) const;

    std::unique_ptr<SshServer> m_sshd;
    std::unique_ptr<QTemporaryDir> m_state;
    std::unique_ptr<EmulatorProcess> m_sim;
};

void TestSshTunnel::initTestCase()
{
    m_sshd = std::make_unique<SshServer>();
    QString whyNot;
    if (!m_sshd->start(&whyNot))
        QSKIP(qPrintable(u"no private sshd for the tunnel tests: "_s + whyNot));
    m_state = std::make_unique<QTemporaryDir>();
    // The first version request hangs until a cancel message reaches the emulator.
    m_sim = std::make_unique<EmulatorProcess>(QStringList{ u"--state"_s, m_state->filePath(u"state"_s),
        u"--sample"_s, EmulatorProcess::sampleDir(), u"--fault"_s, u"1:hang:1"_s });
    QVERIFY2(m_sim->port() != 0, m_sim->errors().constData());
}

void TestSshTunnel::cleanupTestCase()
{
    m_sim.reset();
    m_sshd.reset();
}

SshTunnelSettings TestSshTunnel::sshSettings(const QString &identity) const
{
    SshTunnelSettings s;
    s.sshHost = m_sshd->gateway();
    s.sshPort = QString::number(m_sshd->port());
    s.identityFile = identity;
    s.targetHost = u"127.0.0.1"_s;
    s.targetPort = m_sim->port();
    return s;
}

void TestSshTunnel::engineReachesTheServerThroughTheTunnel()
{
    qputenv("TULVA_SSH", m_sshd->sshProgram().toLocal8Bit());
    SshTunnel tunnel(sshSettings(m_sshd->identity()));
    TulvaExchange engine;
    engine.setRoute(&tunnel);
    QStringList answer;
    // A name only the gateway could know: nothing reaches the server but through the tunnel.
    QVERIFY2(ConnectToServer(&engine, u"tulva.invalid"_s, QString::number(m_sim->port()), u"A"_s, answer,
                 u"admin"_s, u"ADMIN"_s)
            == OpResult::Accepted,
        qPrintable(tunnel.lastError()));
    QVERIFY(returnCodeOk(answer));
    QVERIFY(tunnel.isOpen());
    QVERIFY(tunnel.localPort() != m_sim->port());
    QCOMPARE(engine.GetDatabaseInfo(u"IBIS"_s, answer), OpResult::Accepted);
    QVERIFY(returnCodeOk(answer));

    // The held request ends at the first press: the cancel message went through the tunnel too.
    int presses = 0;
    engine.setTickHook([&](int tick) {
        if (tick == 1 || tick == 50 || tick == 100) {
            ++presses;
            engine.TerminatorButtonClick();
        }
    });
    QCOMPARE(engine.GetServerVersion(answer), OpResult::Failed);
    QCOMPARE(presses, 1);
    engine.setTickHook(nullptr);
    QCOMPARE(engine.GetServerVersion(answer), OpResult::Accepted);

    // The tunnel ends after the unregistration.
    QCOMPARE(engine.UnregisterClient(u"ADMIN"_s, answer), OpResult::Accepted);
    const qint64 pid = tunnel.processId();
    QVERIFY(processAlive(pid) || pid == 0);
    tunnel.close();
    QVERIFY(!tunnel.isOpen());
    QVERIFY(!processAlive(pid));
}

void TestSshTunnel::openingFailuresAreToldInSshsWords_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("wrongKey");
    QTest::addColumn<bool>("closedPort");
    QTest::addColumn<QString>("reason");
    QTest::newRow("key the server does not know")
        << m_sshd->sshProgram() << true << false << u"Permission denied (publickey)"_s;
    QTest::newRow("gateway's host key never seen")
        << m_sshd->sshProgramUnknownHost() << false << false << u"Host key verification failed"_s;
    QTest::newRow("nothing listens at the gateway")
        << m_sshd->sshProgram() << false << true << u"Connection refused"_s;
    QTest::newRow("no ssh program") << u"/nonexistent/ssh"_s << false << false << u"/nonexistent/ssh"_s;
}

void TestSshTunnel::openingFailuresAreToldInSshsWords()
{
    QFETCH(QString, program);
    QFETCH(bool, wrongKey);
    QFETCH(bool, closedPort);
    QFETCH(QString, reason);
    qputenv("TULVA_SSH", program.toLocal8Bit());
    SshTunnelSettings s = sshSettings(wrongKey ? m_sshd->wrongIdentity() : m_sshd->identity());
    if (closedPort)
        s.sshPort = u"1"_s;
    SshTunnel tunnel(s);
    QSignalSpy failed(&tunnel, &SshTunnel::openFailed);
    TulvaExchange engine;
    engine.setRoute(&tunnel);
    QStringList answer;
    // Without a window the retry question is answered No: one attempt, then the failure.
    QCOMPARE(ConnectToServer(&engine, u"127.0.0.1"_s, QString::number(m_sim->port()), u"A"_s, answer,
                 u"admin"_s, u"ADMIN"_s),
        OpResult::Failed);
    QCOMPARE(failed.size(), 1);
    QVERIFY2(tunnel.lastError().contains(reason), qPrintable(tunnel.lastError()));
    QCOMPARE(failed.first().first().toString(), tunnel.lastError());
    QVERIFY(!tunnel.isOpen());
}

void TestSshTunnel::tunnelKilledMidSessionIsOpenedAgain()
{
#ifndef Q_OS_UNIX
    QSKIP("kills ssh with a signal");
#else
    qputenv("TULVA_SSH", m_sshd->sshProgram().toLocal8Bit());
    SshTunnel tunnel(sshSettings(m_sshd->identity()));
    TulvaExchange engine;
    engine.setRoute(&tunnel);
    QStringList answer;
    QVERIFY2(ConnectToServer(&engine, u"127.0.0.1"_s, QString::number(m_sim->port()), u"A"_s, answer,
                 u"admin"_s, u"ADMIN"_s)
            == OpResult::Accepted,
        qPrintable(tunnel.lastError()));
    const qint64 first = tunnel.processId();
    QSignalSpy ended(&tunnel, &SshTunnel::ended);
    ::kill(pid_t(first), SIGKILL);
    QVERIFY(ended.wait(10000));
    QVERIFY(!tunnel.isOpen());

    // The next request opens a new tunnel; the session goes on with its registration.
    QCOMPARE(engine.GetDatabaseInfo(u"IBIS"_s, answer), OpResult::Accepted);
    QVERIFY(returnCodeOk(answer));
    QVERIFY(tunnel.isOpen());
    QVERIFY(tunnel.processId() != first);
    QCOMPARE(engine.UnregisterClient(u"ADMIN"_s, answer), OpResult::Accepted);
    QVERIFY(returnCodeOk(answer));
#endif
}

void TestSshTunnel::cliThroughASavedServer()
{
    QTemporaryDir config;
    ServerBook book(config.filePath(u"tulvaa/servers.ini"_s));
    ServerEntry through;
    through.name = u"main"_s;
    through.host = u"127.0.0.1"_s;
    through.port = QString::number(m_sim->port());
    through.sshHost = m_sshd->gateway();
    through.sshPort = QString::number(m_sshd->port());
    through.sshIdentity = m_sshd->identity();
    ServerEntry wrongKey = through;
    wrongKey.name = u"locked out"_s;
    wrongKey.sshIdentity = m_sshd->wrongIdentity();
    QVERIFY(book.add(through));
    QVERIFY(book.add(wrongKey));

    auto cli = [&](const QStringList &args, QString *out, QString *err) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, config.path());
        env.insert(u"TULVA_SSH"_s, m_sshd->sshProgram());
        env.insert(u"TULVA_PASSWORD"_s, u"admin"_s);
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(config.path());
        p.start(QStringLiteral(TULVA_CLI_EXE), args);
        p.closeWriteChannel();
        if (!p.waitForFinished(120000))
            return -1;
        *out = QString::fromUtf8(p.readAllStandardOutput());
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString out;
    QString err;
    QVERIFY2(cli({ u"--server"_s, u"MAIN"_s, u"--user"_s, u"ADMIN"_s, u"databases"_s }, &out, &err) == 0,
        qPrintable(err));
    QVERIFY2(out.contains(u"IBIS"_s), qPrintable(out + err));

    QCOMPARE(cli({ u"--server"_s, u"locked out"_s, u"--user"_s, u"ADMIN"_s, u"databases"_s }, &out, &err), 2);
    QVERIFY2(err.contains(u"Permission denied (publickey)"_s), qPrintable(err));

    QCOMPARE(cli({ u"--format"_s, u"tsv"_s, u"servers"_s }, &out, &err), 0);
    QCOMPARE(out.split(u'\n').value(0), u"name\thost\tport\tssh_host\tssh_port\tssh_identity\tlast"_s);
    QVERIFY(
        out.contains(u"main\t127.0.0.1\t"_s + QString::number(m_sim->port()) + u'\t' + m_sshd->gateway()));
    QVERIFY(out.contains(u"locked out\t"_s));
}

QTEST_GUILESS_MAIN(TestSshTunnel)
#include "tst_sshtunnel.moc"
