// tulvaa-cli as monitoring systems run it, against the emulator: `metrics` checked by the
// Prometheus project's own checker and written atomically for the textfile collector, `check`
// giving the plugin's status line and exit status for a sample of thresholds.
#include "EmulatorProcess.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

struct CliResult
{
    int exit = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void metricsPassPromtool();
    void metricsFileIsReplacedWhole();
    void runningJobInMetricsAndCheck();
    void checkStatuses_data();
    void checkStatuses();
    void checkWithoutServer();

private:
    CliResult cli(const QStringList &args, const QString &password = u"admin"_s);
    // promtool's verdict on the text: empty when it is accepted.
    QString promtool(const QByteArray &text);
    QString server() const { return u"127.0.0.1:%1"_s.arg(m_sim->port()); }

    QString m_promtool;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EmulatorProcess> m_sim;
};

void TestCliMonitor::initTestCase()
{
    m_promtool = QStandardPaths::findExecutable(u"promtool"_s);
}

void TestCliMonitor::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_sim = std::make_unique<EmulatorProcess>(QStringList{
        u"--state"_s, m_dir->filePath(u"state"_s), u"--seed-from-sample"_s, u"--job-seconds"_s, u"60"_s });
    QVERIFY(m_sim->port() > 0);
}

void TestCliMonitor::cleanup()
{
    m_sim.reset();
    m_dir.reset();
}

CliResult TestCliMonitor::cli(const QStringList &args, const QString &password)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TULVA_PASSWORD"_s, password);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir->path());
    p.start(QStringLiteral(TULVA_CLI_EXE),
        QStringList{ u"--server"_s, server(), u"--user"_s, u"ADMIN"_s } + args);
    p.closeWriteChannel();
    CliResult r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.err = u"(did not finish)"_s;
        return r;
    }
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString TestCliMonitor::promtool(const QByteArray &text)
{
    QProcess p;
    p.start(m_promtool, { u"check"_s, u"metrics"_s });
    p.write(text);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return u"promtool did not finish"_s;
    if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

void TestCliMonitor::metricsPassPromtool()
{
    if (m_promtool.isEmpty()) {
        // CI installs it (.ci/run); elsewhere the check is left out.
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("promtool (Debian package prometheus) is not installed");
        QSKIP("promtool (Debian package prometheus) is not installed");
    }
    const CliResult r = cli({ u"metrics"_s });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.err, QString());
    QVERIFY2(promtool(r.out.toUtf8()).isEmpty(), qPrintable(promtool(r.out.toUtf8()) + r.out));
    for (const QString &line : { u"tulva_exchange_success 1"_s,
             u"tulva_server_info{version=\"2024.1\",caption=\"Сервер ТУЛВА64 (эмулятор tulva-sim)\"} 1"_s,
             u"tulva_server_max_clients 10"_s, u"tulva_registered_clients 0"_s,
             u"tulva_processes_running{name=\"TULVA_RELOAD_DICT\"} 0"_s,
             u"tulva_database_max_mfn{database=\"BIGCAT\"} 1000000"_s,
             u"tulva_database_locked{database=\"ARCHIV\"} 1"_s,
             u"tulva_database_locked_records{database=\"RDR\"} 3"_s,
             u"tulva_database_logically_deleted_records{database=\"IBIS\"} 8"_s,
             u"tulva_database_physically_deleted_records{database=\"IBIS\"} 5"_s,
             u"tulva_database_unactualized_records{database=\"PERIO\"} 42"_s })
        QVERIFY2(r.out.split(u'\n').contains(line), qPrintable(line));
    QVERIFY(QRegularExpression(u"\ntulva_requests_total \\d+\n"_s).match(r.out).hasMatch());
    QVERIFY(QRegularExpression(u"\ntulva_exchange_duration_seconds 0\\.\\d+\n"_s).match(r.out).hasMatch());

    // Databases named on the command line are the only ones read; one the server refuses makes the
    // run fail, and says so in the text, while the others are still reported.
    const CliResult some = cli({ u"metrics"_s, u"RDR"_s, u"NOSUCH"_s });
    QCOMPARE(some.exit, 1);
    QVERIFY2(some.err.contains(u"-4001"_s), qPrintable(some.err));
    QVERIFY(promtool(some.out.toUtf8()).isEmpty());
    QVERIFY(some.out.contains(u"\ntulva_exchange_success 0\n"_s));
    QVERIFY(some.out.contains(u"\ntulva_database_locked_records{database=\"RDR\"} 3\n"_s));
    QVERIFY(!some.out.contains(u"database=\"IBIS\""_s));
    QVERIFY(!some.out.contains(u"database=\"NOSUCH\""_s));
}

void TestCliMonitor::metricsFileIsReplacedWhole()
{
    const QString path = m_dir->filePath(u"tulva.prom"_s);
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old\n");
    }
    CliResult r = cli({ u"metrics"_s, u"IBIS"_s, u"--output"_s, path });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.out, QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    file.close();
    QVERIFY(text.startsWith("# HELP tulva_exchange_success "));
    QVERIFY(text.contains("\ntulva_database_unactualized_records{database=\"IBIS\"} 11\n"));
    if (!m_promtool.isEmpty())
        QVERIFY(promtool(text).isEmpty());
    // Nothing else is left in the folder the collector reads.
    QCOMPARE(
        QDir(m_dir->path()).entryList({ u"tulva.prom*"_s }, QDir::Files), QStringList{ u"tulva.prom"_s });

    // A server that is gone still gets the file rewritten, saying so.
    m_sim->kill();
    r = cli({ u"metrics"_s, u"--output"_s, path });
    QCOMPARE(r.exit, 2);
    QVERIFY2(r.err.contains(u"Сервер недоступен."_s), qPrintable(r.err));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray down = file.readAll();
    file.close();
    QVERIFY(down.contains("\ntulva_exchange_success 0\n"));
    QVERIFY(!down.contains("tulva_database_"));

    // A file that cannot be written is a failure, and the old one stays.
    r = cli({ u"metrics"_s, u"--output"_s, m_dir->filePath(u"missing/tulva.prom"_s) });
    QCOMPARE(r.exit, 4);
    QVERIFY2(
        r.err.contains(u"cannot write "_s + m_dir->filePath(u"missing/tulva.prom"_s)), qPrintable(r.err));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), down);
}

void TestCliMonitor::runningJobInMetricsAndCheck()
{
    // Another client runs a long job: it counts as a registered client and a running process.
    QProcess job;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TULVA_PASSWORD"_s, u"admin"_s);
    job.setProcessEnvironment(env);
    job.start(QStringLiteral(TULVA_CLI_EXE),
        { u"--server"_s, server(), u"--user"_s, u"ADMIN"_s, u"reorganize-dictionary"_s, u"IBIS"_s });
    QTRY_VERIFY_WITH_TIMEOUT(
        cli({ u"check"_s, u"processes"_s }).out.startsWith(u"TULVA OK - 1 running processes"_s), 20000);

    const CliResult m = cli({ u"metrics"_s, u"IBIS"_s });
    QCOMPARE(m.exit, 0);
    QVERIFY2(
        m.out.contains(u"\ntulva_processes_running{name=\"TULVA_RELOAD_DICT\"} 1\n"_s), qPrintable(m.out));
    QVERIFY(m.out.contains(u"\ntulva_processes_running{name=\"TULVA_CREATE_DICT\"} 0\n"_s));
    QVERIFY(m.out.contains(u"\ntulva_registered_clients 1\n"_s));

    const CliResult c = cli({ u"check"_s, u"processes"_s, u"-w"_s, u"0"_s, u"-c"_s, u"5"_s });
    QCOMPARE(c.exit, 1);
    QVERIFY2(c.out.startsWith(
                 u"TULVA WARNING - 1 running processes: TULVA_RELOAD_DICT | processes=1;0;5;0 time="_s),
        qPrintable(c.out));
    job.kill();
    job.waitForFinished();
}

void TestCliMonitor::checkStatuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("line"); // the start of the status line

    const auto row = [](const char *name, const QString &args, int exit, const QString &line) {
        QTest::newRow(name) << args.split(u' ') << exit << line;
    };
    // In the sample, RDR has 3 locked records and IBIS 11 unactualized ones.
    row("every database", u"check locked"_s, 0,
        u"TULVA OK - locked records: IBIS 0, RDR 3, ARCHIV 2, PERIO 1, BIGCAT 250, NEWBOOKS 0 | "
        "locked_IBIS=0;;;0 locked_RDR=3;;;0 locked_ARCHIV=2;;;0 locked_PERIO=1;;;0 locked_BIGCAT=250;;;0 "
        "locked_NEWBOOKS=0;;;0 time="_s);
    row("below the warning", u"check locked RDR -w 5 -c 10"_s, 0,
        u"TULVA OK - locked records: RDR 3 | locked_RDR=3;5;10;0 time="_s);
    row("above the warning", u"check locked RDR -w 2 -c 10"_s, 1,
        u"TULVA WARNING - locked records: RDR 3 (warning) | locked_RDR=3;2;10;0 time="_s);
    row("above both", u"check locked RDR --warning 1 --critical 2"_s, 2,
        u"TULVA CRITICAL - locked records: RDR 3 (critical) | locked_RDR=3;1;2;0 time="_s);
    row("inside @", u"check locked RDR --critical=@3:5"_s, 2,
        u"TULVA CRITICAL - locked records: RDR 3 (critical) | locked_RDR=3;;@3:5;0 time="_s);
    row("below START:", u"check locked RDR -w 10:"_s, 1,
        u"TULVA WARNING - locked records: RDR 3 (warning)"_s);
    row("above ~:END", u"check unactualized IBIS -w ~:10"_s, 1,
        u"TULVA WARNING - unactualized records: IBIS 11 (warning) | unactualized_IBIS=11;~:10;;0 time="_s);
    row("within START:END", u"check unactualized IBIS RDR -c 1:20"_s, 0,
        u"TULVA OK - unactualized records: IBIS 11, RDR 2 | unactualized_IBIS=11;;1:20;0 unactualized_RDR=2;;1:20;0"_s);
    row("worst database wins", u"check unactualized IBIS RDR -w 5 -c 10"_s, 2,
        u"TULVA CRITICAL - unactualized records: IBIS 11 (critical), RDR 2 |"_s);
    row("no process", u"check processes -c 0"_s, 0,
        u"TULVA OK - 0 running processes | processes=0;;0;0 time="_s);
    row("response time", u"check response-time -w 30 -c 60"_s, 0, u"TULVA OK - answer in "_s);
    row("response time beyond", u"check response-time -c 0"_s, 2, u"TULVA CRITICAL - answer in "_s);

    row("database refused", u"check locked NOSUCH"_s, 3,
        u"TULVA UNKNOWN - База данных NOSUCH не открыта: сервер вернул код -4001 (return code -4001)\n"_s);
    row("no figure", u"check"_s, 3, u"TULVA UNKNOWN - usage: tulvaa-cli check FIGURE [DB...]\n"_s);
    row("unknown figure", u"check speed"_s, 3, u"TULVA UNKNOWN - FIGURE is locked, unactualized"_s);
    row("bad range", u"check locked -w 5:1"_s, 3,
        u"TULVA UNKNOWN - --warning: \"5:1\" is no threshold range"_s);
    row("bad critical", u"check locked -c x"_s, 3,
        u"TULVA UNKNOWN - --critical: \"x\" is no threshold range"_s);
    row("range value missing", u"check locked -c"_s, 3, u"TULVA UNKNOWN - --critical needs a value\n"_s);
    row("unknown option first", u"--frobnicate check locked"_s, 3,
        u"TULVA UNKNOWN - unknown option --frobnicate\n"_s);
    row("database for processes", u"check processes IBIS"_s, 3,
        u"TULVA UNKNOWN - check processes takes no database\n"_s);
    row("option of metrics", u"check locked --output x"_s, 3,
        u"TULVA UNKNOWN - --output is an option of metrics\n"_s);
    row("format", u"check locked --format json"_s, 3, u"TULVA UNKNOWN - check prints a format of its own"_s);
    row("line break in a name", u"check locked IB\nIS"_s, 3,
        u"TULVA UNKNOWN - the database name \"IB\\nIS\" is empty"_s);
}

void TestCliMonitor::checkStatuses()
{
    QFETCH(QStringList, args);
    QFETCH(int, exit);
    QFETCH(QString, line);
    const CliResult r = cli(args);
    QVERIFY2(r.out.startsWith(line), qPrintable(r.out));
    QCOMPARE(r.exit, exit);
    // One line; after "|" nothing but well-formed performance data.
    QCOMPARE(r.out.count(u'\n'), 1);
    const qsizetype bar = r.out.indexOf(u'|');
    if (bar >= 0) {
        static const QRegularExpression item(u"^[A-Za-z_]+=-?[0-9.]+(s|%|c|B)?(;[^; ]*){0,4}$"_s);
        for (const QString &i : r.out.mid(bar + 1).trimmed().split(u' '))
            QVERIFY2(item.match(i).hasMatch(), qPrintable(i));
    }
}

void TestCliMonitor::checkWithoutServer()
{
    const quint16 closedPort = closedLoopbackPort();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TULVA_PASSWORD"_s, u"admin"_s);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TULVA_CLI_EXE),
        { u"--server"_s, u"127.0.0.1:%1"_s.arg(closedPort), u"--user"_s, u"ADMIN"_s, u"check"_s,
            u"response-time"_s });
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 2);
    const QString line = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(line.startsWith(u"TULVA CRITICAL - Сервер недоступен."_s), qPrintable(line));
    QCOMPARE(line.count(u'\n'), 1);
    QCOMPARE(p.readAllStandardError(), QByteArray());

    // A refused login means the figure could not be had.
    const CliResult refused = cli({ u"check"_s, u"locked"_s }, u"wrong"_s);
    QCOMPARE(refused.exit, 3);
    QVERIFY2(refused.out.startsWith(u"TULVA UNKNOWN - "_s), qPrintable(refused.out));
}

QTEST_GUILESS_MAIN(TestCliMonitor)
#include "tst_cli_monitor.moc"
