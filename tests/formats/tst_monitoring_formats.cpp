// The formats that monitoring systems read: threshold ranges and the plugin's status line with
// its performance data, the Prometheus text exposition, and the check's verdict on figures.
#include "CliMonitor.h"
#include "formats/Exposition.h"
#include "formats/PluginOutput.h"

#include <QTest>

#include <limits>

using namespace Qt::Literals::StringLiterals;

class TestMonitoringFormats : public QObject
{
    Q_OBJECT

private slots:
    void thresholdRanges_data();
    void thresholdRanges();
    void statuses_data();
    void statuses();
    void perfData_data();
    void perfData();
    void statusLine();
    void exposition();
    void checkNamesAlertsFirst();
};

void TestMonitoringFormats::thresholdRanges_data()
{
    QTest::addColumn<QString>("range");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("alerts"); // 1 alerts, 0 does not, -1 the range is refused

    // The guidelines' examples, at and beside their ends.
    QTest::newRow("10: below 0") << u"10"_s << -1.0 << 1;
    QTest::newRow("10: 0") << u"10"_s << 0.0 << 0;
    QTest::newRow("10: 10") << u"10"_s << 10.0 << 0;
    QTest::newRow("10: 11") << u"10"_s << 11.0 << 1;
    QTest::newRow("10:, 9") << u"10:"_s << 9.0 << 1;
    QTest::newRow("10:, 10") << u"10:"_s << 10.0 << 0;
    QTest::newRow("10:, huge") << u"10:"_s << 1e300 << 0;
    QTest::newRow("~:10, very low") << u"~:10"_s << -1e300 << 0;
    QTest::newRow("~:10, 10") << u"~:10"_s << 10.0 << 0;
    QTest::newRow("~:10, 10.5") << u"~:10"_s << 10.5 << 1;
    QTest::newRow("10:20, 9") << u"10:20"_s << 9.0 << 1;
    QTest::newRow("10:20, 10") << u"10:20"_s << 10.0 << 0;
    QTest::newRow("10:20, 20") << u"10:20"_s << 20.0 << 0;
    QTest::newRow("10:20, 21") << u"10:20"_s << 21.0 << 1;
    QTest::newRow("@10:20, 9") << u"@10:20"_s << 9.0 << 0;
    QTest::newRow("@10:20, 10") << u"@10:20"_s << 10.0 << 1;
    QTest::newRow("@10:20, 20") << u"@10:20"_s << 20.0 << 1;
    QTest::newRow("@10:20, 21") << u"@10:20"_s << 21.0 << 0;
    QTest::newRow("fraction") << u"0.5"_s << 0.6 << 1;
    QTest::newRow("negative start") << u"-5:5"_s << -5.0 << 0;
    QTest::newRow("empty start is 0") << u":5"_s << -1.0 << 1;
    QTest::newRow("equal ends") << u"3:3"_s << 3.0 << 0;

    QTest::newRow("empty") << QString() << 0.0 << -1;
    QTest::newRow("@ alone") << u"@"_s << 0.0 << -1;
    QTest::newRow("word") << u"abc"_s << 0.0 << -1;
    QTest::newRow("start above end") << u"5:1"_s << 0.0 << -1;
    QTest::newRow("exponent") << u"1e3"_s << 0.0 << -1;
    QTest::newRow("infinity word") << u"inf"_s << 0.0 << -1;
    QTest::newRow("bad end") << u"10:x"_s << 0.0 << -1;
    QTest::newRow("tilde alone") << u"~"_s << 0.0 << -1;
    QTest::newRow("tilde as end") << u"1:~"_s << 0.0 << -1;
    QTest::newRow("two colons") << u"1:2:3"_s << 0.0 << -1;
    QTest::newRow("blank") << u"10 "_s << 0.0 << -1;
}

void TestMonitoringFormats::thresholdRanges()
{
    QFETCH(QString, range);
    QFETCH(double, value);
    QFETCH(int, alerts);
    QString error;
    const std::optional<ThresholdRange> r = parseThresholdRange(range, &error);
    if (alerts < 0) {
        QVERIFY(!r);
        QVERIFY2(error.contains(u'"' + range + u'"'), qPrintable(error));
        return;
    }
    QVERIFY2(r, qPrintable(error));
    QCOMPARE(r->text, range);
    QCOMPARE(r->alerts(value), alerts == 1);
}

void TestMonitoringFormats::statuses_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("critical");
    QTest::addColumn<int>("status");

    QTest::newRow("no thresholds") << 1e9 << QString() << QString() << 0;
    QTest::newRow("below both") << 3.0 << u"5"_s << u"10"_s << 0;
    QTest::newRow("warning") << 7.0 << u"5"_s << u"10"_s << 1;
    QTest::newRow("critical") << 11.0 << u"5"_s << u"10"_s << 2;
    // Critical is tested first, whatever the warning says.
    QTest::newRow("critical before warning") << 11.0 << u"20"_s << u"10"_s << 2;
    QTest::newRow("only critical") << 11.0 << QString() << u"10"_s << 2;
    QTest::newRow("inside critical") << 15.0 << u"@0:100"_s << u"@10:20"_s << 2;
}

void TestMonitoringFormats::statuses()
{
    QFETCH(double, value);
    QFETCH(QString, warning);
    QFETCH(QString, critical);
    QFETCH(int, status);
    QString error;
    const auto w = warning.isEmpty() ? std::nullopt : parseThresholdRange(warning, &error);
    const auto c = critical.isEmpty() ? std::nullopt : parseThresholdRange(critical, &error);
    QCOMPARE(int(thresholdStatus(value, w, c)), status);
}

void TestMonitoringFormats::perfData_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("critical");
    QTest::addColumn<bool>("withMin");
    QTest::addColumn<QString>("item");

    QTest::newRow("count, all fields")
        << u"locked_IBIS"_s << 3.0 << QString() << u"5"_s << u"10"_s << true << u"locked_IBIS=3;5;10;0"_s;
    QTest::newRow("trailing empties left out")
        << u"processes"_s << 0.0 << QString() << QString() << QString() << false << u"processes=0"_s;
    QTest::newRow("inner empties kept")
        << u"time"_s << 0.25 << u"s"_s << QString() << QString() << true << u"time=0.25s;;;0"_s;
    QTest::newRow("no exponent") << u"time"_s << 1e-7 << u"s"_s << QString() << QString() << false
                                 << u"time=0s"_s;
    QTest::newRow("rounded to microseconds")
        << u"time"_s << 0.0123456789 << u"s"_s << QString() << QString() << false << u"time=0.012346s"_s;
    QTest::newRow("large count") << u"n"_s << 1000000.0 << QString() << QString() << QString() << false
                                 << u"n=1000000"_s;
    QTest::newRow("range texts as given")
        << u"n"_s << 1.0 << QString() << u"@10:20"_s << u"~:30"_s << false << u"n=1;@10:20;~:30"_s;
    QTest::newRow("blank in label") << u"locked IBIS"_s << 1.0 << QString() << QString() << QString() << false
                                    << u"'locked IBIS'=1"_s;
    QTest::newRow("= in label") << u"a=b"_s << 1.0 << QString() << QString() << QString() << false
                                << u"'a=b'=1"_s;
    QTest::newRow("quote in label") << u"it's"_s << 1.0 << QString() << QString() << QString() << false
                                    << u"'it''s'=1"_s;
    QTest::newRow("Cyrillic label") << u"заблокировано"_s << 2.0 << QString() << QString() << QString()
                                    << false << u"заблокировано=2"_s;
}

void TestMonitoringFormats::perfData()
{
    QFETCH(QString, label);
    QFETCH(double, value);
    QFETCH(QString, unit);
    QFETCH(QString, warning);
    QFETCH(QString, critical);
    QFETCH(bool, withMin);
    QFETCH(QString, item);
    const PerfData d{ label, value, unit, warning, critical,
        withMin ? std::optional<double>(0.0) : std::nullopt, std::nullopt };
    QCOMPARE(perfDataItem(d), item);
}

void TestMonitoringFormats::statusLine()
{
    const QList<PerfData> perf{ { u"a"_s, 1, QString(), QString(), QString(), std::nullopt, std::nullopt },
        { u"time"_s, 0.5, u"s"_s, QString(), QString(), 0.0, std::nullopt } };
    QCOMPARE(pluginStatusLine(u"TULVA"_s, PluginStatus::Warning, u"two\nlines | a bar"_s, perf),
        u"TULVA WARNING - two lines / a bar | a=1 time=0.5s;;;0\n"_s);
    QCOMPARE(pluginStatusLine(u"TULVA"_s, PluginStatus::Unknown, u"Сервер недоступен.\r\n"_s, {}),
        u"TULVA UNKNOWN - Сервер недоступен.\n"_s);
    QCOMPARE(pluginStatusName(PluginStatus::Ok), u"OK"_s);
    QCOMPARE(pluginStatusName(PluginStatus::Critical), u"CRITICAL"_s);
}

void TestMonitoringFormats::exposition()
{
    const double inf = std::numeric_limits<double>::infinity();
    const QList<MetricFamily> families{
        { u"t_info"_s, u"Back\\slash and\nbreak."_s, u"gauge"_s,
            { { { { u"caption"_s, u"Сервер \"ТУЛВА\"\\\n2"_s }, { u"version"_s, u"1"_s } }, 1 } } },
        { u"t_empty"_s, u"Never printed."_s, u"gauge"_s, {} },
        { u"t_requests_total"_s, u"Requests."_s, u"counter"_s, { { {}, 1234567890123.0 } } },
        { u"t_values"_s, u"Values."_s, u"gauge"_s,
            { { { { u"v"_s, u"a"_s } }, 0.25 }, { { { u"v"_s, u"b"_s } }, std::nan("") },
                { { { u"v"_s, u"c"_s } }, inf }, { { { u"v"_s, u"d"_s } }, -inf },
                { { { u"v"_s, u"e"_s } }, -3 }, { { { u"v"_s, u"f"_s } }, 1e-9 } } },
    };
    const QString expected = u"# HELP t_info Back\\\\slash and\\nbreak.\n"
                             "# TYPE t_info gauge\n"
                             "t_info{caption=\"Сервер \\\"ТУЛВА\\\"\\\\\\n2\",version=\"1\"} 1\n"
                             "# HELP t_requests_total Requests.\n"
                             "# TYPE t_requests_total counter\n"
                             "t_requests_total 1234567890123\n"
                             "# HELP t_values Values.\n"
                             "# TYPE t_values gauge\n"
                             "t_values{v=\"a\"} 0.25\n"
                             "t_values{v=\"b\"} NaN\n"
                             "t_values{v=\"c\"} +Inf\n"
                             "t_values{v=\"d\"} -Inf\n"
                             "t_values{v=\"e\"} -3\n"
                             "t_values{v=\"f\"} 1e-09\n"_s;
    QCOMPARE(QString::fromUtf8(::exposition(families)), expected);

    QVERIFY(isValidMetricName(u"tulva_requests_total"_s));
    QVERIFY(isValidMetricName(u"a:b"_s));
    QVERIFY(!isValidMetricName(u"1a"_s));
    QVERIFY(!isValidMetricName(u"a-b"_s));
    QVERIFY(!isValidMetricName(QString()));
    QVERIFY(!isValidLabelName(u"a:b"_s));
}

void TestMonitoringFormats::checkNamesAlertsFirst()
{
    MonitorFigures f;
    f.seconds = 0.5;
    f.databases = { { u"A"_s, 10, false, 1, 0, 0, 0 }, { u"B"_s, 10, false, 50, 0, 0, 0 },
        { u"C"_s, 10, false, 7, 0, 0, 0 } };
    QString error;
    const CheckResult r = checkResult(
        CheckFigure::Locked, f, parseThresholdRange(u"5"_s, &error), parseThresholdRange(u"20"_s, &error));
    QCOMPARE(r.status, PluginStatus::Critical);
    QCOMPARE(r.text, u"locked records: B 50 (critical), C 7 (warning), A 1"_s);
    QCOMPARE(r.perfData.size(), 4);
    QCOMPARE(perfDataItem(r.perfData.at(1)), u"locked_B=50;5;20;0"_s);
    QCOMPARE(perfDataItem(r.perfData.last()), u"time=0.5s;;;0"_s);

    f.runningProcesses = QMap<QString, qint64>{ { u"TULVA_RELOAD_DICT"_s, 2 }, { u"TULVA_READ"_s, 0 } };
    const CheckResult p = checkResult(CheckFigure::Processes, f, parseThresholdRange(u"1"_s, &error), {});
    QCOMPARE(p.status, PluginStatus::Warning);
    QCOMPARE(p.text, u"2 running processes: 2 × TULVA_RELOAD_DICT"_s);
}

QTEST_GUILESS_MAIN(TestMonitoringFormats)
#include "tst_monitoring_formats.moc"
