// The server monitor's data without a window: readings, silences, the series drawn from them, the
// request rate, the bound of an hour, the processes by kind and the exported table.
#include "ProcessAnswers.h"
#include "server/MonitorHistory.h"
#include "shell/GridText.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 kStart = 1'700'000'000'000;

qint64 at(double seconds)
{
    return kStart + qint64(seconds * 1000);
}

// A tick as a test writes it: "t=c" a reading at t seconds with request counter c, "t=-" a
// reading without the counter, "t!" a tick the server did not answer, "t~" the monitor paused.
void feed(MonitorHistory &history, const QStringList &ticks)
{
    for (const QString &tick : ticks) {
        if (tick.endsWith(u'!')) {
            history.addSilence(at(tick.chopped(1).toDouble()));
            continue;
        }
        if (tick.endsWith(u'~')) {
            history.addPause(at(tick.chopped(1).toDouble()));
            continue;
        }
        const QStringList parts = tick.split(u'=');
        MonitorReading r;
        r.at = at(parts.at(0).toDouble());
        r.clients = 1;
        if (parts.at(1) != u"-")
            r.requestCounter = parts.at(1).toLongLong();
        history.addReading(r);
    }
}

// Series as "t:value t:value | t:value", values rounded to one decimal.
QString shown(const MonitorSeries &series)
{
    QStringList segments;
    for (const MonitorSegment &segment : series) {
        QStringList points;
        for (const QPointF &p : segment)
            points.append(
                QString::number((qint64(p.x()) - kStart) / 1000.0) + u':' + QString::number(p.y(), 'f', 1));
        segments.append(points.join(u' '));
    }
    return segments.join(u" | "_s);
}

} // namespace

class TestMonitorData : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requestRate_data();
    void requestRate();
    void silenceBreaksTheLinesAndSaysSinceWhen();
    void boundedToAnHour_data();
    void boundedToAnHour();
    void processesByKindStacked();
    void drawnPointsKeepTheShape_data();
    void drawnPointsKeepTheShape();
    void answersRead_data();
    void answersRead();
    void exportedTable();
};

void TestMonitorData::requestRate_data()
{
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<QString>("rate");
    QTest::newRow("steady") << QStringList{ u"0=100"_s, u"10=110"_s, u"20=130"_s } << u"10:60.0 20:120.0"_s;
    QTest::newRow("idle server") << QStringList{ u"0=7"_s, u"30=7"_s } << u"30:0.0"_s;
    // A restart counts from the start again: a new line, never a negative rate.
    QTest::newRow("counter goes back") << QStringList{ u"0=500"_s, u"10=510"_s, u"20=3"_s, u"30=13"_s,
        u"40=23"_s } << u"10:60.0 | 30:60.0 40:60.0"_s;
    QTest::newRow("back at once") << QStringList{ u"0=500"_s, u"10=2"_s } << QString();
    QTest::newRow("silence between") << QStringList{ u"0=0"_s, u"10=10"_s, u"20!"_s, u"30=100"_s,
        u"40=110"_s } << u"10:60.0 | 40:60.0"_s;
    // Paused (or closed) a while: no rate over the stop, which would draw a slope nobody saw.
    QTest::newRow("paused between") << QStringList{ u"0=0"_s, u"10=10"_s, u"15~"_s, u"200=12"_s, u"210=22"_s }
                                    << u"10:60.0 | 210:60.0"_s;
    QTest::newRow("tick without counter") << QStringList{ u"0=0"_s, u"10=-"_s, u"20=20"_s } << u"20:60.0"_s;
    QTest::newRow("clock stood still") << QStringList{ u"0=0"_s, u"0=5"_s, u"10=15"_s } << u"10:60.0"_s;
}

void TestMonitorData::requestRate()
{
    QFETCH(QStringList, ticks);
    QFETCH(QString, rate);
    MonitorHistory history;
    feed(history, ticks);
    QCOMPARE(shown(history.series(MonitorHistory::Figure::RequestsPerMinute)), rate);
}

void TestMonitorData::silenceBreaksTheLinesAndSaysSinceWhen()
{
    MonitorHistory history;
    feed(history, { u"0=1"_s, u"10=2"_s, u"20!"_s, u"30!"_s });
    QCOMPARE(history.silentSince(), std::optional<qint64>(at(20)));
    QCOMPARE(history.lastReading()->at, at(10));
    QCOMPARE(history.silentSpans(), (QList<std::pair<qint64, qint64>>{ { at(20), at(30) } }));

    feed(history, { u"40=3"_s, u"50=4"_s });
    QCOMPARE(history.silentSince(), std::nullopt);
    QCOMPARE(history.silentSpans(), (QList<std::pair<qint64, qint64>>{ { at(20), at(40) } }));
    QCOMPARE(shown(history.series(MonitorHistory::Figure::Clients)), u"0:1.0 10:1.0 | 40:1.0 50:1.0"_s);
    QCOMPARE(history.readingNear(at(22))->at, at(10));

    // A tick refused while another request ran adds nothing, not even a silence.
    history.addReading(MonitorReading{ at(60), {}, {}, {}, {} });
    QCOMPARE(history.size(), 6);

    // A pause breaks the lines and ends a silence, but is none itself.
    feed(history, { u"70!"_s, u"80~"_s, u"90=5"_s });
    QCOMPARE(history.silentSince(), std::nullopt);
    QCOMPARE(history.silentSpans().last(), (std::pair<qint64, qint64>(at(70), at(80))));
    QCOMPARE(history.size(), 8);
    QVERIFY(shown(history.series(MonitorHistory::Figure::Clients)).endsWith(u"50:1.0 | 90:1.0"_s));
}

void TestMonitorData::boundedToAnHour_data()
{
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("kept");
    QTest::newRow("every 10 s for three hours") << 10.0 << 3 * 360 << 361;
    QTest::newRow("every 2 s for two hours") << 2.0 << 2 * 1800 << 1801;
    // However the clock behaves, the count stays bounded.
    QTest::newRow("clock standing still") << 0.0 << 5000 << MonitorHistory::DefaultMaxReadings;
}

void TestMonitorData::boundedToAnHour()
{
    QFETCH(double, step);
    QFETCH(int, ticks);
    QFETCH(int, kept);
    MonitorHistory history;
    for (int i = 0; i < ticks; ++i) {
        if (i % 7 == 3)
            history.addSilence(at(i * step));
        else
            feed(history, { QString::number(i * step) + u"=1"_s });
    }
    QCOMPARE(history.size(), kept);
    QVERIFY(history.lastTime() - history.firstTime() <= MonitorHistory::DefaultSpanMs);
    qsizetype points = 0;
    for (const MonitorSegment &s : history.series(MonitorHistory::Figure::Clients))
        points += s.size();
    QVERIFY(points <= kept);
}

void TestMonitorData::processesByKindStacked()
{
    MonitorHistory history;
    MonitorReading first{ at(0), {}, {}, {}, {} };
    QVERIFY(readProcesses(
        processAnswer({ { u"2"_s, u"1"_s, u"TULVA_RELOAD_DICT"_s }, { u"3"_s, u"2"_s, u"МОЙ_ПРОЦЕСС"_s },
            { u"4"_s, u"3"_s, u"TULVA_DB_DELETE"_s }, { u"5"_s, u"4"_s, u"TULVA_RELOAD_DICT"_s } }),
        &first));
    history.addReading(first);
    MonitorReading second{ at(10), {}, {}, {}, {} };
    QVERIFY(readProcesses(processAnswer({ { u"6"_s, u"1"_s, u"TULVA_CONTEXT"_s } }), &second));
    history.addReading(second);

    // Named from the process name table, in its order; a deletion next, anything else last.
    QCOMPARE(history.processKinds(),
        (QStringList{ u"TULVA_CONTEXT"_s, u"TULVA_RELOAD_DICT"_s, u"TULVA_DB_DELETE"_s, u"прочие"_s }));
    const QList<MonitorBand> bands = history.processBands();
    QCOMPARE(bands.size(), 4);
    QCOMPARE(shown(bands.at(0).upper), u"0:0.0 10:1.0"_s);
    QCOMPARE(shown(bands.at(1).lower), u"0:0.0 10:1.0"_s);
    QCOMPARE(shown(bands.at(1).upper), u"0:2.0 10:1.0"_s);
    QCOMPARE(shown(bands.at(3).upper), u"0:4.0 10:1.0"_s);
    QCOMPARE(shown(history.series(MonitorHistory::Figure::Processes)), u"0:4.0 10:1.0"_s);

    // A list whose return code is not "0" is no reading of the processes.
    MonitorReading refused{ at(20), {}, {}, {}, {} };
    QVERIFY(!readProcesses({ u"-3"_s }, &refused));
    QVERIFY(!refused.processes);
}

void TestMonitorData::drawnPointsKeepTheShape_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("shape"); // of the values: "steps", "noise", "second steps"
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("kept"); // the indices kept, or "≤N" for their number
    QTest::newRow("fewer than the limit") << 5 << u"noise"_s << 10 << u"0 1 2 3 4"_s;
    QTest::newRow("steps keep their corners") << 100 << u"steps"_s << 10 << u"0 49 50 99"_s;
    QTest::newRow("a second line's steps count too") << 100 << u"second steps"_s << 10 << u"0 29 30 99"_s;
    QTest::newRow("noise: lowest and highest of each stretch") << 1800 << u"noise"_s << 470 << u"≤470"_s;
}

void TestMonitorData::drawnPointsKeepTheShape()
{
    QFETCH(int, count);
    QFETCH(QString, shape);
    QFETCH(int, limit);
    QFETCH(QString, kept);
    MonitorSegment first;
    MonitorSegment second;
    for (int i = 0; i < count; ++i) {
        first.append(QPointF(i,
            shape == u"steps"       ? (i < 50 ? 1 : 2)
                : shape == u"noise" ? (i * 7919) % 13
                                    : 3));
        second.append(QPointF(i, i < 30 ? 0 : 1));
    }
    const QList<MonitorSegment> aligned
        = shape == u"second steps" ? QList<MonitorSegment>{ first, second } : QList<MonitorSegment>{ first };
    const QList<qsizetype> indices = drawnPoints(aligned, limit);
    if (kept.startsWith(u'≤')) {
        QVERIFY(indices.size() <= kept.mid(1).toInt());
        QCOMPARE(indices.first(), 0);
        QCOMPARE(indices.last(), count - 1);
        QVERIFY(std::is_sorted(indices.cbegin(), indices.cend()));
        // Every stretch keeps its highest value: the peaks stay in the picture.
        const MonitorSegment drawn = pickPoints(first, indices);
        QCOMPARE(
            std::max_element(drawn.cbegin(), drawn.cend(), [](QPointF a, QPointF b) { return a.y() < b.y(); })
                ->y(),
            12.0);
        return;
    }
    QStringList shown;
    for (const qsizetype i : indices)
        shown.append(QString::number(i));
    QCOMPARE(shown.join(u' '), kept);
}

void TestMonitorData::answersRead_data()
{
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<bool>("read");
    QTest::addColumn<int>("clients");
    QTest::addColumn<qint64>("counter"); // -1: none
    const QStringList row1{ u"*"_s, u"127.0.0.1"_s, u"6666"_s, u"Сервер"_s, u"*****"_s, u"*****"_s, u"t"_s,
        u"t"_s, u"*****"_s, u"*****"_s };
    QStringList row2 = row1;
    row2[0] = u"1"_s;
    QTest::newRow("server and one client")
        << (QStringList{ u"0"_s, u"1234"_s, u"2"_s, u"9"_s } + row1 + row2) << true << 1 << qint64(1234);
    QTest::newRow("server alone") << (QStringList{ u"0"_s, u"5"_s, u"1"_s, u"9"_s } + row1) << true << 0
                                  << qint64(5);
    QTest::newRow("counter not a number")
        << (QStringList{ u"0"_s, u"много"_s, u"1"_s, u"9"_s } + row1) << true << 0 << qint64(-1);
    QTest::newRow("error code") << QStringList{ u"-2"_s } << false << -1 << qint64(-1);
}

void TestMonitorData::answersRead()
{
    QFETCH(QStringList, answer);
    QFETCH(bool, read);
    QFETCH(int, clients);
    QFETCH(qint64, counter);
    MonitorReading r;
    QCOMPARE(readRegisteredClients(answer, &r), read);
    QCOMPARE(r.clients.value_or(-1), clients);
    QCOMPARE(r.requestCounter.value_or(-1), counter);
}

void TestMonitorData::exportedTable()
{
    MonitorHistory history;
    MonitorReading r{ at(0), 2, 100, {}, MonitorDatabase{ u"IBIS"_s, 15230, 1, 8, 5, 11 } };
    QVERIFY(readProcesses(processAnswer({ { u"2"_s, u"1"_s, u"TULVA_RELOAD_DICT"_s } }), &r));
    history.addReading(r);
    history.addSilence(at(10));
    r.at = at(20);
    r.requestCounter = 130;
    history.addReading(r);

    const MonitorTableModel table(history.tableTitles(), history.tableRows());
    const QString time0 = QDateTime::fromMSecsSinceEpoch(at(0)).toString(u"yyyy-MM-dd hh:mm:ss"_s);
    const QString time10 = QDateTime::fromMSecsSinceEpoch(at(10)).toString(u"yyyy-MM-dd hh:mm:ss"_s);
    const QStringList lines
        = QString::fromUtf8(GridText::csv(table, GridText::Encoding::Utf8Bom).mid(3)).split(u"\r\n"_s);
    QCOMPARE(lines.at(0),
        u"Время,Ответ сервера,Зарегистрированных клиентов,Процессов,Процессов TULVA_RELOAD_DICT,"
        "Счётчик запросов,Запросов в минуту,База данных,Максимальный MFN,Заблокированных записей,"
        "Логически удаленных записей,Физически удаленных записей,Неактуализированных записей"_s);
    QCOMPARE(lines.at(1), time0 + u",да,2,1,1,100,,IBIS,15230,1,8,5,11"_s);
    QCOMPARE(lines.at(2), time10 + u",нет,,,,,,,,,,,"_s);
    // The rate does not reach across the silence.
    QVERIFY(lines.at(3).contains(u",130,,IBIS,"_s));
}

QTEST_GUILESS_MAIN(TestMonitorData)
#include "tst_monitordata.moc"
