// The emulator's request reader, answer builder and state texts, on raw bytes.
#include "Faults.h"
#include "MfnSet.h"
#include "SimClient.h"
#include "SimState.h"
#include "SimWire.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using State = SimWire::RequestReader::State;

Q_DECLARE_METATYPE(State)

class TestSimWire : public QObject
{
    Q_OBJECT

private slots:
    void readRequest_data();
    void readRequest();
    void readRejects_data();
    void readRejects();
    void answerLength_data();
    void answerLength();
    void encodeLineBreaks();
    void mfnText_data();
    void mfnText();
    void mfnRemoveAndWire();
    void databaseListEdits();
    void clientListText_data();
    void clientListText();
    void faultDescriptions_data();
    void faultDescriptions();
};

void TestSimWire::readRequest_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArrayList>("args");
    QTest::addColumn<bool>("http");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QByteArray>("flag");
    QTest::addColumn<bool>("retried");

    using namespace SimClient;
    Identity retry;
    retry.retried = true;
    retry.sequence = "7";
    QTest::newRow("no arguments") << direct("N", {}) << "N"_ba << QByteArrayList{} << false << false << ""_ba
                                  << false;
    QTest::newRow("arguments") << direct("Q", { "IBIS", "5", "7" }) << "Q"_ba
                               << QByteArrayList{ "IBIS", "5", "7" } << false << false << ""_ba << false;
    QTest::newRow("empty middle argument")
        << direct("T", { "NEW", "", "1" }) << "T"_ba << QByteArrayList{ "NEW", "", "1" } << false << false
        << ""_ba << false;
    // The client list goes out with CR LF after every line even on a first attempt.
    QTest::newRow("client list text")
        << direct("+7", { "ADMIN\r", "admin\r", "\r", "*****\r\n" }) << "+7"_ba
        << QByteArrayList{ "ADMIN", "admin", "", "*****" } << false << false << ""_ba << false;
    QTest::newRow("resource with dots")
        << direct("L", { "1..dbnam1.mnu" }) << "L"_ba << QByteArrayList{ "1..dbnam1.mnu" } << false << false
        << ""_ba << false;
    QTest::newRow("retried, CR LF") << direct("T", { "NEW", "\xce\xef\xe8\xf1\xe0\xed\xe8\xe5", "1" }, retry)
                                    << "T"_ba
                                    << QByteArrayList{ "NEW", "\xce\xef\xe8\xf1\xe0\xed\xe8\xe5", "1" }
                                    << false << false << ""_ba << true;
    QTest::newRow("retried without arguments")
        << direct("N", {}, retry) << "N"_ba << QByteArrayList{} << false << false << ""_ba << true;
    QTest::newRow("HTTP envelope") << http("0", { "IBIS" }) << "0"_ba << QByteArrayList{ "IBIS" } << true
                                   << false << ""_ba << false;
    QTest::newRow("HTTP retried") << http("+7", { "A", "B", "", "*****" }, retry) << "+7"_ba
                                  << QByteArrayList{ "A", "B", "", "*****" } << true << false << ""_ba
                                  << true;
    QTest::newRow("cancel, first press")
        << cancel("L", {}, "0") << "4"_ba << QByteArrayList{} << false << true << "0"_ba << false;
    QTest::newRow("cancel, later press")
        << cancel("0", {}, "1") << "4"_ba << QByteArrayList{} << false << true << "1"_ba << false;
}

void TestSimWire::readRequest()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, command);
    QFETCH(QByteArrayList, args);
    QFETCH(bool, http);
    QFETCH(bool, cancel);
    QFETCH(QByteArray, flag);
    QFETCH(bool, retried);

    // Whole, and byte by byte as a slow network delivers it.
    for (int chunk : { int(bytes.size()), 1 }) {
        SimWire::RequestReader reader;
        State state = State::NeedMore;
        for (qsizetype i = 0; i < bytes.size(); i += chunk) {
            // A cancel message is complete before its flag, which lies outside the counted bytes.
            if (!cancel)
                QCOMPARE(state, State::NeedMore);
            state = reader.feed(QByteArrayView(bytes).sliced(i, qMin<qsizetype>(chunk, bytes.size() - i)));
        }
        QCOMPARE(state, State::Complete);
        const SimWire::Request &r = reader.request();
        QVERIFY(r.headerComplete);
        QCOMPARE(r.command(), command);
        QCOMPARE(r.clientId(), "123456"_ba);
        QCOMPARE(r.userName(), "ADMIN"_ba);
        QCOMPARE(r.args, args);
        QCOMPARE(r.http, http);
        QCOMPARE(r.cancel, cancel);
        QCOMPARE(r.cancelFlag, flag);
        QCOMPARE(r.retried(), retried);
    }
}

void TestSimWire::readRejects_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<State>("state");
    QTest::addColumn<bool>("headerComplete");

    const QByteArray good = SimClient::direct("N", {});
    QTest::newRow("one byte short") << good.chopped(1) << State::NeedMore << false;
    QTest::newRow("garbage") << "hello world\r\n\r\n"_ba << State::Failed << false;
    QTest::newRow("garbage without line end") << "GET / HTTP/1.0"_ba << State::Failed << false;
    QTest::newRow("endless digits") << QByteArray(40, '7') << State::Failed << false;
    QTest::newRow("negative length") << "-5\nN\n"_ba << State::Failed << false;
    QTest::newRow("zero length") << "0\n"_ba << State::Failed << false;
    QTest::newRow("huge length") << "999999999\nN\n"_ba << State::Failed << false;
    QTest::newRow("zero byte") << "12\0\nabc"_ba << State::Failed << false;
    QTest::newRow("truncated header") << "9\nN\nA\nN\n12\n"_ba << State::Complete << false;
    QTest::newRow("HTTP huge Content-length")
        << "POST /x HTTP/1.1\r\nContent-length: 900000000\r\n\r\nN\n"_ba << State::Failed << false;
    QTest::newRow("HTTP bad Content-length")
        << "POST /x HTTP/1.1\r\nContent-length: lots\r\n\r\n"_ba << State::Failed << false;
}

void TestSimWire::readRejects()
{
    QFETCH(QByteArray, bytes);
    QFETCH(State, state);
    QFETCH(bool, headerComplete);
    SimWire::RequestReader reader(1024 * 1024);
    QCOMPARE(reader.feed(bytes), state);
    if (state == State::Complete)
        QCOMPARE(reader.request().headerComplete, headerComplete);
    if (state == State::Failed)
        QVERIFY(!reader.error().isEmpty());
}

void TestSimWire::answerLength_data()
{
    QTest::addColumn<QByteArrayList>("body");
    QTest::addColumn<int>("binary");

    QTest::newRow("code only") << QByteArrayList{ "0" } << -1;
    QTest::newRow("no body") << QByteArrayList{} << -1;
    QTest::newRow("empty text line") << QByteArrayList{ "" } << -1;
    QTest::newRow("empty last lines") << QByteArrayList{ "0", "", "" } << -1;
    QTest::newRow("Cyrillic") << QByteArrayList{ "0", "\xc0\xea\xf2\xe8\xe2\xed\xfb\xe9" } << -1;
    QTest::newRow("binary part") << QByteArrayList{ "0", "x" } << 20;
    QTest::newRow("empty binary part") << QByteArrayList{ "0" } << 0;
}

void TestSimWire::answerLength()
{
    QFETCH(QByteArrayList, body);
    QFETCH(int, binary);
    SimWire::AnswerHeader header{ "0", "123456", "1", {} };
    SimWire::AnswerOptions options;
    if (binary >= 0) {
        options.withBinary = true;
        options.binary = QByteArray(binary, '\0');
    }
    const QByteArray bytes = SimWire::buildAnswer(header, body, options);
    const qsizetype text = binary >= 0 ? bytes.indexOf("TULVA_BINARY_DATA") : bytes.size();
    QVERIFY(text > 0);
    // CR LF after every line, no bare LF.
    QVERIFY(bytes.left(text).endsWith("\r\n"));
    QCOMPARE(bytes.left(text).count('\n'), bytes.left(text).count("\r\n"));

    const QByteArrayList lines = bytes.left(text).chopped(2).split('\n');
    QCOMPARE(lines.size(), 10 + body.size());
    const qint64 announced = lines.at(3).chopped(1).toLongLong();
    const qsizetype lengthDigits = lines.at(3).size() - 1;
    QCOMPARE(announced, qint64(text - lengthDigits) + (binary > 0 ? binary + 17 : 0));

    const SimClient::Answer a = SimClient::check(bytes);
    QVERIFY2(a.accepted, qPrintable(a.error));
    QCOMPARE(a.body, body);
    QCOMPARE(a.binary.size(), qMax(binary, 0));

    options.lengthDelta = 1;
    QVERIFY(!SimClient::check(SimWire::buildAnswer(header, body, options)).accepted);
}

void TestSimWire::encodeLineBreaks()
{
    QCOMPARE(SimWire::encodeLineBreaks("a\r\nb\nc\rd\0e"_ba),
        "a\x1F\x1E"
        "b\x1E"
        "c\x1F"
        "d e"_ba);
    QCOMPARE(SimClient::decodeLineBreaks(SimWire::encodeLineBreaks("x\r\ny\r\n"_ba)), "x\r\ny\r\n"_ba);
}

void TestSimWire::mfnText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QByteArray>("normal");

    QTest::newRow("empty") << ""_ba << true << qint64(0) << ""_ba;
    QTest::newRow("list and range") << "1,5,7-9"_ba << true << qint64(5) << "1,5,7-9"_ba;
    QTest::newRow("unsorted, overlapping, adjacent")
        << "9, 2-4,3-6 ,7,1"_ba << true << qint64(8) << "1-7,9"_ba;
    QTest::newRow("a million") << "1-1000000"_ba << true << qint64(1000000) << "1-1000000"_ba;
    QTest::newRow("zero") << "0"_ba << false << qint64(0) << ""_ba;
    QTest::newRow("backwards range") << "5-3"_ba << false << qint64(0) << ""_ba;
    QTest::newRow("word") << "1,x"_ba << false << qint64(0) << ""_ba;
    QTest::newRow("beyond 32 bits") << "99999999999"_ba << false << qint64(0) << ""_ba;
}

void TestSimWire::mfnText()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(qint64, count);
    QFETCH(QByteArray, normal);
    const auto set = MfnSet::fromText(text);
    QCOMPARE(set.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(set->count(), count);
    QCOMPARE(set->toText(), normal);
}

void TestSimWire::mfnRemoveAndWire()
{
    MfnSet set = *MfnSet::fromText("1-10,20,30-31");
    set.remove({ 20, 5, 1, 10, 99, 5 });
    QCOMPARE(set.toText(), "2-4,6-9,30-31"_ba);
    QVERIFY(set.contains(3));
    QVERIFY(!set.contains(5));
    QCOMPARE(MfnSet::fromText("3,1-2")->toWireLine(),
        "1\x1F\x1E"
        "2\x1F\x1E"
        "3"_ba);
    QCOMPARE(MfnSet().toWireLine(), QByteArray());

    // A million numbers: every one present once, separated by the encoded line break.
    const QByteArray wire = MfnSet::fromRange(1, 1000000).toWireLine();
    QCOMPARE(wire.count("\x1F\x1E"), 999999);
    QVERIFY(wire.startsWith("1\x1F\x1E"
                            "2\x1F"));
    QVERIFY(wire.endsWith("\x1E"
                          "1000000"));
}

void TestSimWire::databaseListEdits()
{
    const QByteArray list = "IBIS\r\nCatalogue\r\nRDR\r\nReaders\r\n*****\r\nignored\r\n"_ba;
    const QByteArray added = SimState::listWithDatabase(list, u"NEW"_s, u"Новая"_s);
    QCOMPARE(added,
        "IBIS\r\nCatalogue\r\nRDR\r\nReaders\r\nNEW\r\n\xcd\xee\xe2\xe0\xff\r\n*****\r\nignored\r\n"_ba);
    QCOMPARE(SimState::listWithDatabase("IBIS\r\nCatalogue\r\nDANGLING"_ba, u"NEW"_s, u"n"_s),
        "IBIS\r\nCatalogue\r\nNEW\r\nn\r\n*****\r\n"_ba);
    QCOMPARE(SimState::listWithDatabase({}, u"NEW"_s, u"n"_s), "NEW\r\nn\r\n*****\r\n"_ba);
    QVERIFY(SimState::listHasDatabase(list, u"rdr"_s));
    QVERIFY(!SimState::listHasDatabase(list, u"ignored"_s));
    QCOMPARE(SimState::listWithoutDatabase(list, u"ibis"_s), "RDR\r\nReaders\r\n*****\r\nignored\r\n"_ba);
    QCOMPARE(SimState::listWithoutDatabase(list, u"NONE"_s), list);
}

void TestSimWire::clientListText_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("firstIni");

    const QStringList defaults = Workstations::defaultIniNames();
    QTest::newRow("all defaults") << QStringList{ u"ADMIN"_s, u"pw"_s, QString(), u"*****"_s } << true
                                  << defaults;
    QStringList own = defaults;
    own[0] = u"abc.ini"_s;
    own[1] = QString();
    QTest::newRow("own cataloguer, no reader") << QStringList{ u"ИВАНОВ"_s, u"пароль"_s, u"C=abc.ini; R=; "_s,
        u"*****"_s, u"after end"_s } << true << own;
    QTest::newRow("no terminator") << QStringList{ u"A"_s, u"p"_s, QString() } << false << QStringList{};
    QTest::newRow("incomplete account")
        << QStringList{ u"A"_s, u"p"_s, QString(), u"B"_s, u"*****"_s } << false << QStringList{};
    QTest::newRow("empty name") << QStringList{ QString(), u"p"_s, QString(), u"*****"_s } << false
                                << QStringList{};
}

void TestSimWire::clientListText()
{
    QFETCH(QStringList, lines);
    QFETCH(bool, valid);
    QFETCH(QStringList, firstIni);
    QString error;
    const auto accounts = ClientList::parse(lines, &error);
    QCOMPARE(accounts.has_value(), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(accounts->size(), 1);
    QCOMPARE(accounts->first().name, lines.at(0));
    QCOMPARE(accounts->first().password, lines.at(1));
    QCOMPARE(accounts->first().ini, firstIni);
    // What is written is read back the same.
    QCOMPARE(ClientList::parse(ClientList::write(*accounts), &error)->first().ini, firstIni);
}

void TestSimWire::faultDescriptions_data()
{
    QTest::addColumn<QString>("ruleText");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("described");

    QTest::newRow("delay") << u"0:delay=2000"_s << true << u"0:delay=2000"_s;
    QTest::newRow("all commands, twice") << u"*:badseq:2"_s << true << u"*:badseq:2"_s;
    QTest::newRow("admin command") << u"+9:cut=100"_s << true << u"+9:cut=100"_s;
    QTest::newRow("drop is cut 0") << u"L:drop"_s << true << u"L:cut=0"_s;
    QTest::newRow("default length offset") << u"N:badlength"_s << true << u"N:badlength=1"_s;
    QTest::newRow("negative error code") << u"A:error=-3338"_s << true << u"A:error=-3338"_s;
    QTest::newRow("binary default") << u"0:binary"_s << true << u"0:binary=64"_s;
    QTest::newRow("unknown kind") << u"0:explode"_s << false << QString();
    QTest::newRow("missing kind") << u"0"_s << false << QString();
    QTest::newRow("missing value") << u"0:delay"_s << false << QString();
    QTest::newRow("value on hang") << u"0:hang=5"_s << false << QString();
    QTest::newRow("negative delay") << u"0:delay=-5"_s << false << QString();
    QTest::newRow("zero count") << u"0:hang:0"_s << false << QString();
}

void TestSimWire::faultDescriptions()
{
    QFETCH(QString, ruleText);
    QFETCH(bool, valid);
    QFETCH(QString, described);
    QString error;
    const auto rule = FaultRule::parse(ruleText, &error);
    QCOMPARE(rule.has_value(), valid);
    if (valid)
        QCOMPARE(rule->describe(), described);
    else
        QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestSimWire)
#include "tst_simwire.moc"
