// The engine on its own: linked against the core library only, in a QCoreApplication, talking
// to the emulator. Nothing here may need a window.
#include "EmulatorProcess.h"
#include "exchange/Exchange.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestCoreEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void commandsWithoutWindow();
    void journalRecords();
    void refusedConnectionAsksNoOneWithoutWindow();
};

namespace {
QStringList simArgs(const QTemporaryDir &dir)
{
    return { u"--state"_s, dir.filePath(u"state"_s), u"--sample"_s, EmulatorProcess::sampleDir() };
}
} // namespace

void TestCoreEngine::commandsWithoutWindow()
{
    QVERIFY(!QCoreApplication::instance()->inherits("QGuiApplication"));
    QTemporaryDir dir;
    EmulatorProcess sim(simArgs(dir));
    QVERIFY2(sim.port() != 0, sim.errors().constData());

    TulvaExchange engine;
    QStringList answer;
    QCOMPARE(ConnectToServer(&engine, u"127.0.0.1"_s, QString::number(sim.port()), u"A"_s, answer, u"admin"_s,
                 u"ADMIN"_s),
        OpResult::Accepted);
    QVERIFY(returnCodeOk(answer));
    QCOMPARE(engine.GetServerVersion(answer), OpResult::Accepted);
    QVERIFY(answer.size() >= 5);
    QCOMPARE(engine.GetDatabaseInfo(u"IBIS"_s, answer), OpResult::Accepted);
    QVERIFY(returnCodeOk(answer));
    QCOMPARE(engine.UnregisterClient(u"ADMIN"_s, answer), OpResult::Accepted);
    QVERIFY(returnCodeOk(answer));
    QCOMPARE(engine.busyMarker(), OpResult::Accepted);
}

void TestCoreEngine::journalRecords()
{
    QTemporaryDir dir;
    EmulatorProcess sim(simArgs(dir));
    QVERIFY2(sim.port() != 0, sim.errors().constData());

    TulvaExchange engine;
    QList<ExchangeRecord> records;
    connect(&engine, &TulvaExchange::operationFinished, this,
        [&](const ExchangeRecord &r) { records.append(r); });
    QStringList answer;
    QCOMPARE(ConnectToServer(&engine, u"127.0.0.1"_s, QString::number(sim.port()), u"A"_s, answer, u"admin"_s,
                 u"ADMIN"_s),
        OpResult::Accepted);
    QCOMPARE(engine.GetDatabaseInfo(u"IBIS"_s, answer), OpResult::Accepted);
    // A refusal while an exchange runs is recorded as busy, with nothing sent.
    bool refusedInside = false;
    engine.setTickHook([&](int) {
        QStringList inner;
        refusedInside = engine.NoOperation(inner) == OpResult::Busy;
    });
    engine.setWaitTickInterval(1);
    QCOMPARE(engine.GetProcessList(answer), OpResult::Accepted);
    engine.setTickHook(nullptr);

    QVERIFY(records.size() >= 3);
    const ExchangeRecord &login = records.at(0);
    QCOMPARE(login.command, QByteArray("A"));
    QCOMPARE(login.argument, u"ADMIN"_s);
    QCOMPARE(login.result, OpResult::Accepted);
    QCOMPARE(login.returnCode, u"0"_s);
    QVERIFY(login.answerBytes > 0);
    QCOMPARE(login.silentRetries, 0);
    QVERIFY(!login.cancelled);
    QVERIFY(login.started.isValid());
    for (const ExchangeRecord &r : std::as_const(records))
        QVERIFY(!r.argument.contains(u"admin"_s));

    const ExchangeRecord &info = records.at(1);
    QCOMPARE(info.command, QByteArray("0"));
    QCOMPARE(info.argument, u"IBIS"_s);
    QCOMPARE(info.result, OpResult::Accepted);
    QVERIFY(info.durationMs >= 0);
    if (refusedInside) {
        bool sawBusy = false;
        for (const ExchangeRecord &r : std::as_const(records))
            sawBusy = sawBusy || (r.command == "N" && r.result == OpResult::Busy && r.answerBytes == 0);
        QVERIFY(sawBusy);
    }
    QCOMPARE(records.last().command, QByteArray("+3"));
}

void TestCoreEngine::refusedConnectionAsksNoOneWithoutWindow()
{
    // A port nobody listens on (bound, without listening, so nobody else takes it): the retry
    // question has no window to ask, counts as No.
    QTcpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    const QString port = QString::number(holder.localPort());
    TulvaExchange engine;
    engine.SetServerAddress(u"127.0.0.1"_s, port, u"A"_s);
    QStringList answer{ u"old"_s };
    QCOMPARE(engine.NoOperation(answer), OpResult::Failed);
    QVERIFY(answer.isEmpty());
    QCOMPARE(engine.serverHost(), QString());
}

QTEST_GUILESS_MAIN(TestCoreEngine)
#include "tst_core_engine.moc"
