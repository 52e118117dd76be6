// The tulva-sim program itself: its start line, persistence across restarts and kills.
#include "EmulatorProcess.h"
#include "SimClient.h"

#include "exchange/TextCodec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using namespace SimClient;

namespace {

const QString kSample = EmulatorProcess::sampleDir();

using Sim = EmulatorProcess;

QStringList lines(
    quint16 port, const QByteArray &command, const QStringList &args, const QByteArray &id = "123456")
{
    Identity i;
    i.clientId = id;
    return call(port, command, args, i);
}

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void startLineAndSeed();
    void restartKeepsState();
    void killDuringSaves();
    void jobSurvivesRestart();
    void generatedDatabase();
    void badOptions_data();
    void badOptions();
};

void TestSimProcess::startLineAndSeed()
{
    QTemporaryDir dir;
    const QString state = dir.filePath(u"state"_s);
    Sim sim({ u"--state"_s, state, u"--sample"_s, kSample });
    QVERIFY(sim.port() > 0);
    QCOMPARE(lines(sim.port(), "0", { u"IBIS"_s }).value(5), u"15231"_s);
    QVERIFY(QFileInfo::exists(state + u"/databases/BIGCAT.txt"_s));
    // The sample itself is never written to.
    QCOMPARE(lines(sim.port(), "S", { u"IBIS"_s }), QStringList{ u"0"_s });
    QFile sampleIbis(kSample + u"/databases/IBIS.txt"_s);
    QVERIFY(sampleIbis.open(QIODevice::ReadOnly));
    QVERIFY(sampleIbis.readAll().contains("MaxMfn=15230"));
}

void TestSimProcess::restartKeepsState()
{
    QTemporaryDir dir;
    const QStringList args{ u"--state"_s, dir.filePath(u"state"_s), u"--sample"_s, kSample,
        u"--job-seconds"_s, u"0"_s };
    {
        Sim sim(args);
        QVERIFY(sim.port() > 0);
        QCOMPARE(lines(sim.port(), "A", { u"ADMIN"_s, u"admin"_s }, "31").value(0), u"0"_s);
        QCOMPARE(lines(sim.port(), "S", { u"IBIS"_s }), QStringList{ u"0"_s });
        QCOMPARE(lines(sim.port(), "U", { u"ARCHIV"_s }), QStringList{ u"0"_s });
        QCOMPARE(lines(sim.port(), "Q", { u"RDR"_s, u"205"_s }), QStringList{ u"0"_s });
        QCOMPARE(lines(sim.port(), "T", { u"KNIGI"_s, u"Книги"_s, u"1"_s }).value(0), u"0"_s);
        QCOMPARE(lines(sim.port(), "+7", { u"ПЕТРОВ"_s, u"пароль"_s, u"A=petrov.ini; "_s, u"*****"_s }),
            QStringList{ u"0"_s });
        sim.kill(); // no orderly end: what was answered must be on disk
    }
    Sim sim(args);
    QVERIFY(sim.port() > 0);
    QCOMPARE(lines(sim.port(), "0", { u"IBIS"_s }), (QStringList{ u"0"_s, {}, {}, {}, {}, u"1"_s, u"0"_s }));
    QCOMPARE(lines(sim.port(), "0", { u"ARCHIV"_s }).value(6), u"0"_s);
    QCOMPARE(TextCodec::toText(
                 decodeLineBreaks(TextCodec::toBytes(lines(sim.port(), "0", { u"RDR"_s }).value(4)))),
        u"17\r\n1999"_s);
    QCOMPARE(lines(sim.port(), "0", { u"KNIGI"_s }).value(0), u"0"_s);
    const QStringList accounts = lines(sim.port(), "+9", {});
    QCOMPARE(accounts.mid(0, 5), (QStringList{ u"0"_s, u"1"_s, u"8"_s, u"1"_s, u"ПЕТРОВ"_s }));
    QCOMPARE(accounts.value(11), u"petrov.ini"_s);
    const QStringList registered = lines(sim.port(), "+1", {});
    QCOMPARE(registered.value(2), u"2"_s);
    QCOMPARE(registered.value(4 + 10 + 4), u"31"_s);
    // The result log of the creation is there too.
    QVERIFY(lines(sim.port(), "L", { u"0..123456.ibf"_s }).value(0).contains(u"TULVA_DB_NEW"_s));
}

void TestSimProcess::killDuringSaves()
{
    QTemporaryDir dir;
    const QStringList args{ u"--state"_s, dir.filePath(u"state"_s), u"--sample"_s, kSample };
    auto version = [](int v) {
        QByteArrayList text;
        for (int i = 0; i < 200; ++i) {
            text << TextCodec::toBytes(u"КЛИЕНТ%1_%2"_s.arg(i).arg(v)) << "pw"
                 << "A=a.ini; ";
        }
        text << "*****";
        return direct("+7", text);
    };
    for (int round = 0; round < 6; ++round) {
        Sim sim(args);
        QVERIFY(sim.port() > 0);
        // A burst of saves, each replacing the whole list and a database, then a kill amid them.
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int k = 0; k < 40; ++k) {
            auto s = std::make_unique<QTcpSocket>();
            const QByteArray request
                = k % 2 ? version(round * 100 + k) : direct("Q", { "BIGCAT", QByteArray::number(1 + k) });
            QTcpSocket *raw = s.get();
            QObject::connect(raw, &QTcpSocket::connected, raw, [raw, request] { raw->write(request); });
            raw->connectToHost(u"127.0.0.1"_s, sim.port());
            sockets.push_back(std::move(s));
        }
        QTest::qWait(int(QRandomGenerator::global()->bounded(5, 60)));
        sim.kill();
        sockets.clear();

        Sim again(args);
        QVERIFY2(again.port() > 0, again.errors().constData());
        const QStringList list = lines(again.port(), "+9", {});
        QCOMPARE(list.value(0), u"0"_s);
        const int n = list.value(1).toInt();
        QVERIFY(n == 5 || n == 200);
        if (n == 200) {
            // One whole version, never a mixture.
            const QString suffix = list.value(4).section(u'_', 1);
            for (int i = 0; i < 200; ++i)
                QCOMPARE(list.value(3 + i * 9 + 1), u"КЛИЕНТ%1_%2"_s.arg(i).arg(suffix));
        }
        QCOMPARE(lines(again.port(), "0", { u"BIGCAT"_s }).size(), 7);
        again.kill();
    }
}

void TestSimProcess::jobSurvivesRestart()
{
    QTemporaryDir dir;
    // Long enough to outlast a kill and a restart on a loaded machine.
    const QStringList args{ u"--state"_s, dir.filePath(u"state"_s), u"--sample"_s, kSample,
        u"--job-seconds"_s, u"6"_s };
    {
        Sim sim(args);
        QVERIFY(sim.port() > 0);
        QCOMPARE(lines(sim.port(), "Y", { u"IBIS"_s }, "77").value(0), u"0"_s);
        sim.kill();
    }
    Sim sim(args);
    QVERIFY(sim.port() > 0);
    const QStringList running = lines(sim.port(), "+3", {});
    QCOMPARE(running.value(1), u"2"_s);
    QCOMPARE(running.value(3 + 10 + 6), u"TULVA_RELOAD_DICT"_s);
    QCOMPARE(running.value(3 + 10 + 3), u"77"_s);
    QTRY_COMPARE_WITH_TIMEOUT(lines(sim.port(), "+3", {}).value(1), u"1"_s, 60000);
    QCOMPARE(lines(sim.port(), "0", { u"IBIS"_s }).value(3), QString());
    QVERIFY(lines(sim.port(), "L", { u"0..77.ibf"_s }).value(0).contains(u"TULVA_RELOAD_DICT"_s));
}

void TestSimProcess::generatedDatabase()
{
    QTemporaryDir dir;
    Sim sim({ u"--state"_s, dir.filePath(u"state"_s), u"--generate"_s, u"BENCH:1000000"_s });
    QVERIFY(sim.port() > 0);
    QElapsedTimer t;
    t.start();
    const Exchange e = exchange(sim.port(), direct("0", { "BENCH" }), 30000);
    const qint64 ms = t.elapsed();
    const Answer a = check(e.data);
    QVERIFY2(a.accepted, qPrintable(a.error));
    for (int k = 1; k <= 4; ++k)
        QCOMPARE(a.body.at(k).count("\x1F\x1E") + 1, 1000000);
    qInfo("command 0 with four lists of 1,000,000: %lld bytes in %lld ms", qint64(e.data.size()), ms);
    // Stored compactly and readable.
    QFile f(dir.filePath(u"state/databases/BENCH.txt"_s));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.contains("Deleted1=1-1000000"));
    QVERIFY(text.size() < 2000);
}

void TestSimProcess::badOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("bad fault") << QStringList{ u"--fault"_s, u"0:explode"_s };
    QTest::newRow("bad port") << QStringList{ u"--port"_s, u"99999"_s };
    QTest::newRow("bad generate") << QStringList{ u"--generate"_s, u"1BAD:10"_s };
    QTest::newRow("missing sample") << QStringList{ u"--sample"_s, u"/nonexistent/sample"_s };
}

void TestSimProcess::badOptions()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    QProcess p;
    p.start(EmulatorProcess::program(), QStringList{ u"--state"_s, dir.filePath(u"s"_s) } + args);
    QVERIFY(p.waitForFinished(10000));
    QVERIFY(p.exitCode() != 0);
    QVERIFY(!p.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
