// Fault drill: the real engine against the emulator's fault switches and a server sending
// garbage. Each case checks what the administrator is asked and that the program works after.
#include "EmulatorProcess.h"
#include "EngineFixture.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestFaultDrill : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void faults_data();
    void faults();
    void garbageFromAServer_data();
    void garbageFromAServer();

private:
    EngineFixture f;
    std::unique_ptr<QTemporaryDir> m_state;
    std::unique_ptr<EmulatorProcess> m_sim;
    QList<ExchangeRecord> m_records;
};

namespace {
const QString kBroken = u"Связь с сервером ТУЛВА64 прервана. Следует повторить обращение к серверу"_s;
const QString kDataError
    = u"Произошла ошибка при получении данных от сервера (-1112). Следует повторить обращение к серверу"_s;
} // namespace

void TestFaultDrill::init()
{
    f.setUp();
    f.form->setWaitTickInterval(5);
    m_records.clear();
    connect(f.form->engine(), &TulvaExchange::operationFinished, this,
        [this](const ExchangeRecord &r) { m_records.append(r); });
}

void TestFaultDrill::cleanup()
{
    f.tearDown();
    m_sim.reset();
    m_state.reset();
}

void TestFaultDrill::faults_data()
{
    QTest::addColumn<QString>("rule"); // empty: nobody listens
    QTest::addColumn<QList<bool>>("answers"); // to the questions, in order
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<int>("silentRetries");
    QTest::addColumn<bool>("terminates");

    QTest::newRow("refused, Yes then No") << QString() << QList<bool>{ true, false } << int(OpResult::Failed)
                                          << QStringList{ kBroken, kBroken } << 0 << true;
    QTest::newRow("drop") << u"+3:drop:1"_s << QList<bool>{} << int(OpResult::Failed) << QStringList{} << 0
                          << false;
    QTest::newRow("cut mid-answer") << u"+3:cut=60:1"_s << QList<bool>{} << int(OpResult::Accepted)
                                    << QStringList{} << 1 << false;
    QTest::newRow("bad length, six times, Yes")
        << u"+3:badlength:6"_s << QList<bool>{ true } << int(OpResult::Accepted) << QStringList{ kDataError }
        << 5 << false;
    QTest::newRow("bad sequence twice")
        << u"+3:badseq:2"_s << QList<bool>{} << int(OpResult::Accepted) << QStringList{} << 2 << false;
    QTest::newRow("bad id, No") << u"+3:badid"_s << QList<bool>{ false } << int(OpResult::Failed)
                                << QStringList{ kDataError } << 5 << true;
    QTest::newRow("delay") << u"+3:delay=400:1"_s << QList<bool>{} << int(OpResult::Accepted) << QStringList{}
                           << 0 << false;
    QTest::newRow("binary part") << u"+3:binary=64:1"_s << QList<bool>{} << int(OpResult::Accepted)
                                 << QStringList{} << 0 << false;
    QTest::newRow("hang, cancelled") << u"+3:hang:1"_s << QList<bool>{} << int(OpResult::Failed)
                                     << QStringList{} << 0 << false;
}

void TestFaultDrill::faults()
{
    QFETCH(QString, rule);
    QFETCH(QList<bool>, answers);
    QFETCH(int, result);
    QFETCH(QStringList, questions);
    QFETCH(int, silentRetries);
    QFETCH(bool, terminates);

    m_state = std::make_unique<QTemporaryDir>();
    QStringList args{ u"--state"_s, m_state->filePath(u"state"_s), u"--sample"_s,
        EmulatorProcess::sampleDir() };
    if (!rule.isEmpty())
        args << u"--fault"_s << rule;
    m_sim = std::make_unique<EmulatorProcess>(args);
    QVERIFY2(m_sim->port() != 0, m_sim->errors().constData());
    const QString port = QString::number(m_sim->port());

    QStringList answer;
    f.form->SetServerAddress(u"127.0.0.1"_s, port, u"A"_s);
    QCOMPARE(f.form->RegisterClient(u"ADMIN"_s, u"admin"_s, u"A"_s, answer), OpResult::Accepted);
    if (rule.isEmpty()) {
        // The server goes away after the login.
        m_sim->kill();
    }
    for (const bool yes : answers)
        Dialogs::queueAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
    if (rule.startsWith(u"+3:hang"_s)) {
        f.form->setShowDelay(0);
        f.form->setTickHook([&](int tick) {
            if (tick == 10)
                f.form->TerminatorButtonClick();
        });
    }
    m_records.clear();
    QCOMPARE(f.form->GetProcessList(answer), result);
    f.form->setTickHook(nullptr);

    QStringList asked;
    for (const Dialogs::Asked &a : Dialogs::asked())
        asked.append(a.text);
    QCOMPARE(asked, questions);
    QCOMPARE(f.terminateCalls, terminates ? 1 : 0);
    QCOMPARE(m_records.size(), 1);
    QCOMPARE(m_records.first().result, result);
    QCOMPARE(m_records.first().silentRetries, silentRetries);
    if (result == OpResult::Accepted)
        QVERIFY(returnCodeOk(answer));
    if (rule.contains(u"binary"_s))
        QCOMPARE(f.form->binaryPart().size(), 64);
    QVERIFY(!f.form->isVisible());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(f.form->busyMarker(), result);

    // Still usable: the next command goes through (after an ended program, a new address).
    if (rule.isEmpty() || terminates) {
        if (rule.isEmpty()) {
            m_sim = std::make_unique<EmulatorProcess>(QStringList{
                u"--state"_s, m_state->filePath(u"state2"_s), u"--sample"_s, EmulatorProcess::sampleDir() });
            QVERIFY(m_sim->port() != 0);
        }
        f.form->SetServerAddress(u"127.0.0.1"_s, QString::number(m_sim->port()), u"A"_s);
        QCOMPARE(f.form->RegisterClient(u"ADMIN"_s, u"admin"_s, u"A"_s, answer), OpResult::Accepted);
    }
    if (!rule.contains(u"badid"_s)) {
        QCOMPARE(f.form->GetProcessList(answer), OpResult::Accepted);
        QVERIFY(returnCodeOk(answer));
    }
    QCOMPARE(f.form->GetServerVersion(answer), OpResult::Accepted);
}

void TestFaultDrill::garbageFromAServer_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<int>("questions");
    QByteArray noBreaks(5000, '\0');
    QByteArray lines;
    QRandomGenerator rng(20261208);
    for (int i = 0; i < noBreaks.size(); ++i)
        noBreaks[i] = char(rng.bounded(256));
    noBreaks.replace('\n', 'x').replace('\r', 'y');
    for (int i = 0; i < 40; ++i) {
        QByteArray line(rng.bounded(1, 60), '\0');
        for (char &c : line)
            c = char(rng.bounded(32, 256));
        lines += line + "\r\n";
    }
    QTest::newRow("no line breaks") << noBreaks << 0;
    QTest::newRow("random lines") << lines << 1;
    QTest::newRow("zero bytes first") << QByteArray(3000, '\0') << 0;
    QTest::newRow("huge length line")
        << QByteArray("0\r\n1\r\n2\r\n999999999999999\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n0\r\n") << 1;
}

void TestFaultDrill::garbageFromAServer()
{
    QFETCH(QByteArray, garbage);
    QFETCH(int, questions);
    f.server->setDefaultScript({ ScriptedServer::send(garbage), ScriptedServer::close() });
    QStringList answer;
    QCOMPARE(f.form->GetProcessList(answer), OpResult::Failed);
    QCOMPARE(Dialogs::asked().size(), questions);
    QCOMPARE(f.terminateCalls, questions); // No (the default) to the question ends the program
    // A sound answer afterwards is taken (after an ended program, with the address set again).
    f.form->SetServerAddress(f.server->host(), f.server->portText(), u"A"_s);
    f.server->setDefaultScript({ ScriptedServer::reply({ "0", "ok" }) });
    QCOMPARE(f.form->GetServerVersion(answer), OpResult::Accepted);
    QCOMPARE(answer, (QStringList{ u"0"_s, u"ok"_s }));
}

QTEST_MAIN(TestFaultDrill)
#include "tst_faultdrill.moc"
