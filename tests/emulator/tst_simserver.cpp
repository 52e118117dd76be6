// The emulator in process, spoken to with raw bytes over loopback sockets.
#include "SimClient.h"
#include "SimServer.h"

#include "exchange/TextCodec.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using namespace SimClient;

namespace {

Identity clientNo(const QByteArray &id)
{
    Identity i;
    i.clientId = id;
    return i;
}

QStringList mfns(const QString &line)
{
    const QString decoded = TextCodec::toText(decodeLineBreaks(TextCodec::toBytes(line)));
    QStringList out = decoded.isEmpty() ? QStringList() : decoded.split(u"\r\n"_s);
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast(); // the final line break of a file
    return out;
}

// The rows of a table answer ("0", [counter,] N, M, cells).
QList<QStringList> rows(const QStringList &answer, int first)
{
    QList<QStringList> out;
    const int n = answer.value(first).toInt();
    const int m = answer.value(first + 1).toInt() + 1;
    for (int r = 0; r < n; ++r)
        out.append(answer.mid(first + 2 + r * m, m));
    return out;
}

} // namespace

class TestSimServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void framingAndEcho_data();
    void framingAndEcho();
    void login_data();
    void login();
    void tooManyClients();
    void staleRegistrations();
    void databaseInfo_data();
    void databaseInfo();
    void millionRecordLists();
    void readResource_data();
    void readResource();
    void immediateCommands();
    void clientListRoundTrip();
    void registeredClients();
    void jobLifecycle();
    void createAndDeleteDatabase();
    void stopJob();
    void jobWithoutDelay();
    void versionAndRestart();
    void faults_data();
    void faults();
    void hangUntilCancelled();
    void hangUntilClientLeaves();
    void stopHeldRequest();
    void controlPort();
    void badRequests_data();
    void badRequests();
    void manyClientsAtOnce();

private:
    quint16 port() const { return m_server->port(); }
    QStringList call(const QByteArray &command, const QStringList &args, const Identity &id = {})
    {
        return SimClient::call(port(), command, args, id);
    }
    QStringList waitForProcess(const QString &name, bool present);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimServer> m_server;
};

void TestSimServer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    SimOptions o;
    o.port = 0;
    o.stateDir = m_dir->filePath(u"state"_s);
    o.sampleDir = QStringLiteral(TULVA_SOURCE_DIR "/emulator/sample");
    o.jobMs = 300;
    o.idleTimeoutMs = 400;
    o.logRequests = false;
    m_server = std::make_unique<SimServer>(o);
    QString error;
    QVERIFY2(m_server->start(&error), qPrintable(error));
}

void TestSimServer::cleanup()
{
    m_server.reset();
    m_dir.reset();
}

QStringList TestSimServer::waitForProcess(const QString &name, bool present)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        const QStringList list = call("+3", {});
        bool found = false;
        for (const QStringList &row : rows(list, 1)) {
            if (row.value(6) == name && row.value(9) == u"Активный"_s)
                found = true;
        }
        if (found == present)
            return list;
        QTest::qWait(50);
    }
    return {};
}

void TestSimServer::framingAndEcho_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArrayList>("args");
    QTest::addColumn<QString>("framing");

    const QList<std::pair<QByteArray, QByteArrayList>> commands{ { "A", { "ADMIN", "admin" } }, { "N", {} },
        { "0", { "IBIS" } }, { "L", { "1..dbnam1.mnu" } }, { "F", { "IBIS", "0" } }, { "U", { "RDR" } },
        { "Q", { "RDR", "17" } }, { "+1", {} }, { "+9", {} }, { "+3", {} }, { "1", {} }, { "+8", {} },
        { "B", { "ADMIN" } }, { "?", {} } };
    for (const QString &framing : { u"direct"_s, u"retried"_s, u"http"_s }) {
        for (const auto &[command, args] : commands)
            QTest::addRow("%s %s", command.constData(), qPrintable(framing)) << command << args << framing;
    }
}

void TestSimServer::framingAndEcho()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArrayList, args);
    QFETCH(QString, framing);
    Identity id;
    id.clientId = "987654";
    id.sequence = "42";
    id.retried = framing == "retried"_L1;
    const QByteArray bytes = framing == "http"_L1 ? http(command, args, id) : direct(command, args, id);
    const Exchange e = exchange(port(), bytes);
    QVERIFY(e.closedByServer);
    // CR LF after every line, none bare.
    QVERIFY(e.data.endsWith("\r\n"));
    QCOMPARE(e.data.count('\n'), e.data.count("\r\n"));
    const Answer a = check(e.data, id);
    QVERIFY2(a.accepted, qPrintable(a.error));
    QCOMPARE(a.header.at(0), command);
    QVERIFY(!a.body.isEmpty());
    if (command != "L") {
        bool ok = false;
        const int code = a.body.at(0).toInt(&ok);
        QVERIFY(ok);
        QCOMPARE(code < 0, command == "?");
    }
}

void TestSimServer::login_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("curDbn");

    QTest::newRow("Latin administrator")
        << u"ADMIN"_s << u"admin"_s << u"0"_s << u"tulvaa.ini"_s << u"ibis"_s;
    QTest::newRow("name in lower case") << u"admin"_s << u"admin"_s << u"0"_s << u"tulvaa.ini"_s << u"ibis"_s;
    QTest::newRow("Cyrillic administrator")
        << u"АДМИНИСТРАТОР"_s << u"12345"_s << u"0"_s << u"tulvaa.ini"_s << u"ibis"_s;
    QTest::newRow("Cyrillic in lower case")
        << u"администратор"_s << u"12345"_s << u"0"_s << u"tulvaa.ini"_s << u"ibis"_s;
    QTest::newRow("operator profile")
        << u"ОПЕРАТОР"_s << u"oper"_s << u"0"_s << u"oper_a.ini"_s << u"Perio"_s;
    QTest::newRow("password case counts") << u"ADMIN"_s << u"ADMIN"_s << u"-3333"_s << QString() << QString();
    QTest::newRow("unknown name") << u"NOBODY"_s << u"admin"_s << u"-3333"_s << QString() << QString();
    QTest::newRow("administrator not allowed")
        << u"READER"_s << u"reader"_s << u"-3336"_s << QString() << QString();
    QTest::newRow("Cyrillic, not allowed")
        << u"КАТАЛОГИЗАТОР"_s << u"kat"_s << u"-3336"_s << QString() << QString();
}

void TestSimServer::login()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, code);
    QFETCH(QString, ini);
    QFETCH(QString, curDbn);
    const QStringList answer = call("A", { name, password });
    QCOMPARE(answer.value(0), code);
    const QStringList registered = call("+1", {});
    QCOMPARE(registered.value(2), code == "0"_L1 ? u"2"_s : u"1"_s);
    if (code != "0"_L1) {
        QCOMPARE(answer.size(), 1);
        return;
    }
    QCOMPARE(answer.value(1), ini);
    QVERIFY(answer.contains(u"CurDbn="_s + curDbn));
    QVERIFY(answer.contains(u"DBNNAMECAT=dbnam1.mnu"_s));
    QVERIFY(answer.contains(u"[MAIN]"_s));
    if (ini == "tulvaa.ini"_L1) {
        for (const QString &key : { u"DataBaseItem"_s, u"DeleteDBItem"_s, u"ServerProcessListItem"_s })
            QVERIFY(answer.contains(key + u"=1"_s));
    } else {
        QVERIFY(answer.contains(u"DeleteDBItem=0"_s));
        QVERIFY(answer.contains(u"LoadIfItem=256"_s));
    }
}

void TestSimServer::tooManyClients()
{
    m_server->engine()->setMaxClients(2);
    QCOMPARE(call("A", { u"ADMIN"_s, u"admin"_s }, clientNo("1")).value(0), u"0"_s);
    QCOMPARE(call("A", { u"ADMIN"_s, u"admin"_s }, clientNo("2")).value(0), u"0"_s);
    QCOMPARE(call("A", { u"ADMIN"_s, u"admin"_s }, clientNo("3")).value(0), u"-3338"_s);
    // The same client again does not count twice.
    QCOMPARE(call("A", { u"ADMIN"_s, u"admin"_s }, clientNo("2")).value(0), u"0"_s);
    QCOMPARE(call("B", { u"ADMIN"_s }, clientNo("1")).value(0), u"0"_s);
    QCOMPARE(call("A", { u"ADMIN"_s, u"admin"_s }, clientNo("3")).value(0), u"0"_s);
    QCOMPARE(call("1", {}).value(3), u"2"_s);
}

void TestSimServer::staleRegistrations()
{
    m_server->engine()->setClientTimeoutSeconds(1);
    QCOMPARE(call("A", { u"ADMIN"_s, u"admin"_s }, clientNo("1")).value(0), u"0"_s);
    QCOMPARE(call("A", { u"ADMIN"_s, u"admin"_s }, clientNo("2")).value(0), u"0"_s);
    // Both registrations are older than the time-out now (a wait never ends early); stale ones
    // are dropped only when the list is read or a client registers.
    QTest::qWait(1200);
    QCOMPARE(call("0", { u"IBIS"_s }, clientNo("2")).value(0), u"0"_s); // any request keeps it alive
    const QList<QStringList> table = rows(call("+1", {}), 2);
    QCOMPARE(table.size(), 2);
    QCOMPARE(table.at(1).value(4), u"2"_s);
}

void TestSimServer::databaseInfo_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("counts"); // deleted 1, deleted 2, unactualized, locked
    QTest::addColumn<QString>("line5");
    QTest::addColumn<QString>("locked");

    QTest::newRow("IBIS") << u"IBIS"_s << QStringList{ u"8"_s, u"5"_s, u"11"_s, u"0"_s } << u"15231"_s
                          << u"0"_s;
    QTest::newRow("name ignoring case")
        << u"ibis"_s << QStringList{ u"8"_s, u"5"_s, u"11"_s, u"0"_s } << u"15231"_s << u"0"_s;
    QTest::newRow("locked records") << u"RDR"_s << QStringList{ u"2"_s, u"0"_s, u"2"_s, u"3"_s } << u"3481"_s
                                    << u"0"_s;
    QTest::newRow("locked database") << u"ARCHIV"_s << QStringList{ u"53"_s, u"21"_s, u"3"_s, u"2"_s }
                                     << u"8413"_s << u"1"_s;
    QTest::newRow("empty database") << u"NEWBOOKS"_s << QStringList{ u"0"_s, u"0"_s, u"0"_s, u"0"_s }
                                    << u"1"_s << u"0"_s;
    QTest::newRow("large database") << u"BIGCAT"_s
                                    << QStringList{ u"20082"_s, u"11747"_s, u"30121"_s, u"250"_s }
                                    << u"1000001"_s << u"0"_s;
}

void TestSimServer::databaseInfo()
{
    QFETCH(QString, name);
    QFETCH(QStringList, counts);
    QFETCH(QString, line5);
    QFETCH(QString, locked);
    const QStringList answer = call("0", { name });
    QCOMPARE(answer.size(), 7);
    QCOMPARE(answer.at(0), u"0"_s);
    for (int k = 0; k < 4; ++k) {
        const QStringList list = mfns(answer.at(1 + k));
        QCOMPARE(QString::number(list.size()), counts.at(k));
        for (const QString &mfn : list) {
            bool ok = false;
            QVERIFY(mfn.toInt(&ok) > 0 && ok);
        }
    }
    QCOMPARE(answer.at(5), line5);
    QCOMPARE(answer.at(6), locked);
    QCOMPARE(call("0", { u"NOSUCHDB"_s }), QStringList{ u"-4001"_s });
}

void TestSimServer::millionRecordLists()
{
    QString error;
    QVERIFY2(m_server->state()->generateDatabase(u"MILLION"_s, 1000000, &error), qPrintable(error));
    QElapsedTimer t;
    t.start();
    const Exchange e = exchange(port(), direct("0", { "MILLION" }), 30000);
    const qint64 ms = t.elapsed();
    const Answer a = check(e.data);
    QVERIFY2(a.accepted, qPrintable(a.error));
    QCOMPARE(a.body.size(), 7);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(a.body.at(1 + k).count("\x1F\x1E") + 1, 1000000);
    QCOMPARE(a.body.at(5), "4000001"_ba);
    qInfo("four lists of 1,000,000 numbers: %lld bytes in %lld ms", qint64(e.data.size()), ms);
    QVERIFY(SimState::listHasDatabase(m_server->state()->databaseList(), u"MILLION"_s));
}

void TestSimServer::readResource_data()
{
    QTest::addColumn<QString>("resourceArg");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<int>("lines");

    QTest::newRow("database list") << u"1..dbnam1.mnu"_s << u"IBIS"_s << 13;
    QTest::newRow("name ignoring case") << u"1..DBNAM1.MNU"_s << u"IBIS"_s << 13;
    QTest::newRow("INI menu") << u"0..client_ini.mnu"_s << u"tulvaa.ini"_s << 21;
    QTest::newRow("profile") << u"0..tulvaa.ini"_s
                             << u"; Профиль АРМа Администратор: все пункты меню доступны"_s << 41;
    QTest::newRow("missing file") << u"0..nothing.txt"_s << QString() << 0;
    QTest::newRow("wrong path code") << u"7..dbnam1.mnu"_s << QString() << 0;
    QTest::newRow("escape attempt") << u"0..../clients.txt"_s << QString() << 0;
    QTest::newRow("escape through database") << u"0.....clients.txt"_s << QString() << 0;
    QTest::newRow("no dots") << u"dbnam1"_s << QString() << 0;
}

void TestSimServer::readResource()
{
    QFETCH(QString, resourceArg);
    QFETCH(QString, firstLine);
    QFETCH(int, lines);
    const Exchange e = exchange(port(), direct("L", { TextCodec::toBytes(resourceArg) }));
    const Answer a = check(e.data);
    QVERIFY2(a.accepted, qPrintable(a.error));
    // One line: the file itself, its line breaks encoded, no return code.
    QCOMPARE(a.body.size(), 1);
    QVERIFY(!a.body.at(0).contains('\r'));
    const QString text = TextCodec::toText(decodeLineBreaks(a.body.at(0)));
    const QStringList split = text.isEmpty() ? QStringList() : text.split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(split.value(0), firstLine);
    QCOMPARE(split.size(), lines);
}

void TestSimServer::immediateCommands()
{
    // Clear: no records, shown maximum 0.
    QCOMPARE(call("S", { u"IBIS"_s }), QStringList{ u"0"_s });
    QCOMPARE(call("0", { u"IBIS"_s }), (QStringList{ u"0"_s, {}, {}, {}, {}, u"1"_s, u"0"_s }));
    // Actualize.
    QCOMPARE(call("F", { u"PERIO"_s, u"0"_s }), QStringList{ u"0"_s });
    QCOMPARE(call("0", { u"PERIO"_s }).at(3), QString());
    // Unlock records: only the listed ones.
    QCOMPARE(call("Q", { u"RDR"_s, u"17"_s, u"205"_s, u"4444"_s }), QStringList{ u"0"_s });
    QCOMPARE(mfns(call("0", { u"RDR"_s }).at(4)), QStringList{ u"1999"_s });
    // Locked database refuses clearing until unlocked.
    QCOMPARE(call("S", { u"ARCHIV"_s }), QStringList{ u"-4002"_s });
    QCOMPARE(call("F", { u"ARCHIV"_s, u"0"_s }), QStringList{ u"-4002"_s });
    QCOMPARE(call("U", { u"ARCHIV"_s }), QStringList{ u"0"_s });
    QCOMPARE(call("0", { u"ARCHIV"_s }).at(6), u"0"_s);
    QCOMPARE(call("S", { u"ARCHIV"_s }), QStringList{ u"0"_s });
    // Unknown databases and missing arguments.
    for (const QByteArray command : { "S", "F", "U", "Q", "W", "Y", "X", "Z" })
        QCOMPARE(call(command, { u"NOSUCHDB"_s }), QStringList{ u"-4001"_s });
    QCOMPARE(call("0", {}), QStringList{ u"-2"_s });
    QCOMPARE(call("A", { u"ADMIN"_s }), QStringList{ u"-2"_s });
}

void TestSimServer::clientListRoundTrip()
{
    QStringList answer = call("+9", {});
    QCOMPARE(answer.mid(0, 3), (QStringList{ u"0"_s, u"5"_s, u"8"_s }));
    QCOMPARE(rows(answer, 1).at(1),
        (QStringList{ u"2"_s, u"АДМИНИСТРАТОР"_s, u"12345"_s, u"katalog.ini"_s, u"tulvar.ini"_s,
            u"tulvab.ini"_s, u"tulvap.ini"_s, u"tulvak.ini"_s, u"tulvaa.ini"_s }));
    const QStringList text{ u"ADMIN"_s, u"admin"_s, QString(), u"ИВАНОВ"_s, u"Пароль1"_s,
        u"C=abc.ini; R=; "_s, u"*****"_s };
    QCOMPARE(call("+7", text), QStringList{ u"0"_s });
    answer = call("+9", {});
    QCOMPARE(answer.mid(0, 3), (QStringList{ u"0"_s, u"2"_s, u"8"_s }));
    const QList<QStringList> accounts = rows(answer, 1);
    QCOMPARE(accounts.at(0),
        (QStringList{ u"1"_s, u"ADMIN"_s, u"admin"_s, u"tulvac.ini"_s, u"tulvar.ini"_s, u"tulvab.ini"_s,
            u"tulvap.ini"_s, u"tulvak.ini"_s, u"tulvaa.ini"_s }));
    QCOMPARE(accounts.at(1),
        (QStringList{ u"2"_s, u"ИВАНОВ"_s, u"Пароль1"_s, u"abc.ini"_s, QString(), u"tulvab.ini"_s,
            u"tulvap.ini"_s, u"tulvak.ini"_s, u"tulvaa.ini"_s }));
    QCOMPARE(call("A", { u"ИВАНОВ"_s, u"Пароль1"_s }).value(0), u"0"_s);
    // A list that does not end, or one without accounts, changes nothing.
    QCOMPARE(call("+7", { u"X"_s, u"y"_s, QString() }), QStringList{ u"-4007"_s });
    QCOMPARE(call("+7", { u"*****"_s }), QStringList{ u"-4007"_s });
    QCOMPARE(call("+9", {}).value(1), u"2"_s);
}

void TestSimServer::registeredClients()
{
    QCOMPARE(call("A", { u"ADMIN"_s, u"admin"_s }, clientNo("111")).value(0), u"0"_s);
    QCOMPARE(call("A", { u"АДМИНИСТРАТОР"_s, u"12345"_s }, clientNo("222")).value(0), u"0"_s);
    QCOMPARE(call("N", {}, clientNo("111")), QStringList{ u"0"_s });
    const QStringList answer = call("+1", {});
    QCOMPARE(answer.value(0), u"0"_s);
    QCOMPARE(answer.value(1), u"4"_s); // every request served counts, this one too
    QCOMPARE(answer.value(2), u"3"_s);
    QCOMPARE(answer.value(3), u"9"_s);
    const QList<QStringList> table = rows(answer, 2);
    QCOMPARE(table.at(0).value(3), u"Сервер ТУЛВА"_s);
    QCOMPARE(table.at(1).mid(3, 3), (QStringList{ u"ADMIN"_s, u"111"_s, u"A"_s }));
    QCOMPARE(table.at(1).mid(8, 2), (QStringList{ u"N"_s, u"1"_s }));
    QCOMPARE(table.at(2).mid(3, 3), (QStringList{ u"АДМИНИСТРАТОР"_s, u"222"_s, u"A"_s }));
    QCOMPARE(table.at(1).value(1), u"127.0.0.1"_s);
    QVERIFY(table.at(1).value(2).toInt() > 0);

    QCOMPARE(call("+6", { u"222"_s }), QStringList{ u"0"_s });
    QCOMPARE(call("+6", { u"222"_s }), QStringList{ u"-4006"_s });
    QCOMPARE(call("B", { u"ADMIN"_s }, clientNo("111")), QStringList{ u"0"_s });
    QCOMPARE(call("+1", {}).value(2), u"1"_s);
}

void TestSimServer::jobLifecycle()
{
    m_server->engine()->setJobMilliseconds(800);
    const QStringList started = call("Y", { u"IBIS"_s }, clientNo("555"));
    QCOMPARE(started.value(0), u"0"_s);
    QVERIFY(started.size() > 1); // the immediate log
    QVERIFY(started.value(1).contains(u"TULVA_RELOAD_DICT"_s));
    // One long job per database at a time.
    QCOMPARE(call("Y", { u"IBIS"_s }), QStringList{ u"-4008"_s });
    QCOMPARE(call("S", { u"IBIS"_s }), QStringList{ u"-4008"_s });

    const QStringList list = waitForProcess(u"TULVA_RELOAD_DICT"_s, true);
    QCOMPARE(list.mid(0, 3), (QStringList{ u"0"_s, u"2"_s, u"9"_s }));
    const QList<QStringList> table = rows(list, 1);
    QCOMPARE(table.at(0).value(2), u"Сервер ТУЛВА"_s);
    QCOMPARE(table.at(1).value(3), u"555"_s);
    QCOMPARE(table.at(1).value(4), u"A"_s);

    QVERIFY(!waitForProcess(u"TULVA_RELOAD_DICT"_s, false).isEmpty());
    QCOMPARE(call("0", { u"IBIS"_s }).at(3), QString());
    const QStringList log = mfns(call("L", { u"0..555.ibf"_s }).value(0));
    QVERIFY(log.size() >= 5);
    QCOMPARE(log.at(0), u"Протокол процесса TULVA_RELOAD_DICT"_s);
    QVERIFY(log.contains(u"База данных: IBIS"_s));
    QVERIFY(log.contains(u"Актуализировано записей: 11"_s));
}

void TestSimServer::createAndDeleteDatabase()
{
    m_server->engine()->setJobMilliseconds(200);
    QCOMPARE(call("T", { u"NEWDB"_s, u"Новая база"_s, u"1"_s }).value(0), u"0"_s);
    QCOMPARE(call("T", { u"newdb"_s, u"again"_s, u"0"_s }).value(0), u"-4008"_s);
    QVERIFY(!waitForProcess(u"TULVA_DB_NEW"_s, false).isEmpty());
    const QStringList list = mfns(call("L", { u"1..dbnam1.mnu"_s }).value(0));
    const qsizetype at = list.indexOf(u"NEWDB"_s);
    QVERIFY(at > 0 && at % 2 == 0);
    QCOMPARE(list.value(at + 1), u"Новая база"_s);
    QCOMPARE(list.last(), u"*****"_s);
    QCOMPARE(call("0", { u"NEWDB"_s }), (QStringList{ u"0"_s, {}, {}, {}, {}, u"1"_s, u"0"_s }));

    QCOMPARE(call("T", { u"NEWDB"_s, u"x"_s, u"1"_s }).value(0), u"-4003"_s);
    QCOMPARE(call("T", { u"ibis"_s, u"x"_s, u"1"_s }).value(0), u"-4003"_s);
    for (const QString &bad : { u"1ABC"_s, u"AB-C"_s, u"ДАННЫЕ"_s, u"TOOLONGNAME"_s, QString() })
        QCOMPARE(call("T", { bad, u"x"_s, u"1"_s }).value(0), u"-4004"_s);

    QCOMPARE(call("W", { u"ARCHIV"_s }).value(0), u"-4002"_s); // locked
    QCOMPARE(call("W", { u"RDR"_s }).value(0), u"-4002"_s); // records locked
    QCOMPARE(call("W", { u"NEWDB"_s }).value(0), u"0"_s);
    QVERIFY(!waitForProcess(u"TULVA_DB_DELETE"_s, false).isEmpty());
    QVERIFY(!mfns(call("L", { u"1..dbnam1.mnu"_s }).value(0)).contains(u"NEWDB"_s));
    QCOMPARE(call("0", { u"NEWDB"_s }), QStringList{ u"-4001"_s });
}

void TestSimServer::stopJob()
{
    m_server->engine()->setJobMilliseconds(60000);
    QCOMPARE(call("X", { u"IBIS"_s }, clientNo("777")).value(0), u"0"_s);
    const QList<QStringList> table = rows(call("+3", {}), 1);
    QCOMPARE(table.size(), 2);
    const QString number = table.at(1).at(0);
    QCOMPARE(table.at(1).at(6), u"TULVA_RELOAD_MASTER"_s);

    QCOMPARE(call("+4", { u"999"_s, u"X"_s, number }), QStringList{ u"-4005"_s }); // not this client's
    QCOMPARE(call("+4", { u"777"_s, u"X"_s, u"1"_s }), QStringList{ u"-4005"_s }); // the server itself
    QCOMPARE(call("+4", { u"777"_s, u"X"_s, u"12345"_s }), QStringList{ u"-4005"_s });
    QCOMPARE(call("+4", { u"777"_s, u"X"_s, number }), QStringList{ u"0"_s });
    QCOMPARE(call("+3", {}).value(1), u"1"_s);
    // Stopped before its end: nothing purged, and the log says so.
    QCOMPARE(mfns(call("0", { u"IBIS"_s }).at(1)).size(), 8);
    const QStringList log = mfns(call("L", { u"0..777.ibf"_s }).value(0));
    QVERIFY(log.contains(u"Результат: процесс прерван"_s));
}

void TestSimServer::jobWithoutDelay()
{
    m_server->engine()->setJobMilliseconds(0);
    const QStringList answer = call("Z", { u"PERIO"_s });
    QCOMPARE(answer.value(0), u"0"_s);
    QVERIFY(answer.contains(u"Результат: процесс завершён успешно"_s));
    QCOMPARE(call("+3", {}).value(1), u"1"_s);
    QCOMPARE(call("0", { u"PERIO"_s }).at(3), QString());
}

void TestSimServer::versionAndRestart()
{
    const QStringList version = call("1", {});
    QVERIFY(version.size() >= 5);
    QCOMPARE(version.at(0), u"0"_s);
    QCOMPARE(version.at(4), u"10"_s);
    QCOMPARE(call("+8", {}), QStringList{ u"0"_s });
    QCOMPARE(call("0", { u"IBIS"_s }).at(5), u"15231"_s);
    QCOMPARE(call("?", {}), QStringList{ u"-1"_s });
    QCOMPARE(call("", {}), QStringList{ u"-1"_s });
}

void TestSimServer::faults_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("expect");

    QTest::newRow("delay") << u"0:delay=300"_s << "0"_ba << u"slow"_s;
    QTest::newRow("cut") << u"0:cut=30"_s << "0"_ba << u"cut30"_s;
    QTest::newRow("drop") << u"N:drop"_s << "N"_ba << u"cut0"_s;
    QTest::newRow("wrong length") << u"0:badlength=3"_s << "0"_ba << u"length"_s;
    QTest::newRow("wrong sequence") << u"N:badseq"_s << "N"_ba << u"header"_s;
    QTest::newRow("wrong client id") << u"N:badid"_s << "N"_ba << u"header"_s;
    QTest::newRow("binary part") << u"0:binary=20"_s << "0"_ba << u"binary"_s;
    QTest::newRow("every command") << u"*:badseq"_s << "+9"_ba << u"header"_s;
    QTest::newRow("other command untouched") << u"L:drop"_s << "N"_ba << u"fine"_s;
    QTest::newRow("forced code") << u"A:error=-3338"_s << "A"_ba << u"code"_s;
}

void TestSimServer::faults()
{
    QFETCH(QString, rule);
    QFETCH(QByteArray, command);
    QFETCH(QString, expect);
    QCOMPARE(m_server->control(u"fault "_s + rule + u":2"_s), QStringList{ u"ok"_s });
    const QByteArrayList args = command == "0" ? QByteArrayList{ "IBIS" }
        : command == "A"                       ? QByteArrayList{ "ADMIN", "admin" }
                                               : QByteArrayList{};
    // Twice faulty, then well again.
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        const Exchange e = exchange(port(), direct(command, args));
        QVERIFY(e.closedByServer);
        const Answer a = check(e.data);
        const bool faulty = round < 2 && expect != "fine"_L1;
        if (!faulty) {
            QVERIFY2(a.accepted, qPrintable(a.error));
            QVERIFY(a.binary.isEmpty());
            continue;
        }
        if (expect == "slow"_L1) {
            QVERIFY(a.accepted);
            QVERIFY(t.elapsed() >= 290);
        } else if (expect.startsWith("cut"_L1)) {
            QCOMPARE(e.data.size(), expect.mid(3).toInt());
            QVERIFY(!a.accepted);
        } else if (expect == "length"_L1) {
            QVERIFY(a.error.startsWith(u"length mismatch"_s));
        } else if (expect == "header"_L1) {
            QCOMPARE(a.error, u"header mismatch"_s);
        } else if (expect == "binary"_L1) {
            QVERIFY2(a.accepted, qPrintable(a.error));
            QCOMPARE(a.binary.size(), 20);
            QCOMPARE(a.body.size(), 7);
        } else if (expect == "code"_L1) {
            QCOMPARE(a.body, QByteArrayList{ "-3338" });
            QCOMPARE(call("+1", {}).value(2), u"1"_s); // nothing registered
        }
    }
    if (expect != "fine"_L1)
        QCOMPARE(m_server->control(u"faults"_s), QStringList{ u"end"_s });
}

void TestSimServer::hangUntilCancelled()
{
    m_server->control(u"fault 0:hang"_s);
    Identity id;
    id.clientId = "4242";
    id.sequence = "17";
    QTcpSocket held;
    held.connectToHost(u"127.0.0.1"_s, port());
    QVERIFY(held.waitForConnected(2000));
    held.write(direct("0", { "IBIS" }, id));
    // The held request is a process of the list.
    QTRY_COMPARE(call("+3", {}).value(1), u"2"_s);
    m_server->control(u"clear"_s);
    const QList<QStringList> table = rows(call("+3", {}), 1);
    QCOMPARE(table.at(1).mid(3, 1), QStringList{ u"4242"_s });
    QCOMPARE(table.at(1).at(6), u"TULVA_GET_DELETED_LIST"_s);
    QTest::qWait(600); // longer than the idle time-out: a held request is not idle
    QCOMPARE(held.state(), QAbstractSocket::ConnectedState);

    // Someone else's cancel does nothing.
    const Exchange other = exchange(port(), cancel("0", clientNo("1"), "0"));
    QCOMPARE(check(other.data, clientNo("1")).body, QByteArrayList{ "-4010" });
    QCOMPARE(held.state(), QAbstractSocket::ConnectedState);

    // The cancel message: its flag lies outside the counted length.
    const Exchange c = exchange(port(), cancel("0", id, "0"));
    const Answer a = check(c.data, id);
    QVERIFY2(a.accepted, qPrintable(a.error));
    QCOMPARE(a.body, QByteArrayList{ "0" });
    QTRY_COMPARE(held.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(held.readAll(), QByteArray());
    QCOMPARE(call("+3", {}).value(1), u"1"_s);

    // A cancel whose flag never comes is still served.
    m_server->control(u"fault 0:hang:1"_s);
    QTcpSocket again;
    again.connectToHost(u"127.0.0.1"_s, port());
    QVERIFY(again.waitForConnected(2000));
    again.write(direct("0", { "IBIS" }, id));
    QTRY_COMPARE(m_server->control(u"stats"_s).value(2), u"held 1"_s);
    const QByteArray noFlag = cancel("0", id, "").chopped(1);
    QCOMPARE(check(exchange(port(), noFlag).data, id).body, QByteArrayList{ "0" });
    QTRY_COMPARE(again.state(), QAbstractSocket::UnconnectedState);
}

void TestSimServer::hangUntilClientLeaves()
{
    m_server->control(u"fault *:hang"_s);
    {
        QTcpSocket s;
        s.connectToHost(u"127.0.0.1"_s, port());
        QVERIFY(s.waitForConnected(2000));
        s.write(direct("+9", {}));
        QTRY_COMPARE(m_server->control(u"stats"_s).value(2), u"held 1"_s);
    }
    QTRY_COMPARE(m_server->openConnections(), 0);
    QCOMPARE(m_server->control(u"stats"_s).value(2), u"held 0"_s);
}

void TestSimServer::stopHeldRequest()
{
    m_server->control(u"fault L:hang:1"_s);
    QTcpSocket held;
    held.connectToHost(u"127.0.0.1"_s, port());
    QVERIFY(held.waitForConnected(2000));
    held.write(direct("L", { "1..dbnam1.mnu" }, clientNo("31")));
    QTRY_COMPARE(call("+3", {}).value(1), u"2"_s);
    const QStringList row = rows(call("+3", {}), 1).at(1);
    QCOMPARE(row.at(6), u"TULVA_CONTEXT"_s);
    QCOMPARE(call("+4", { u"31"_s, u"L"_s, row.at(0) }), QStringList{ u"0"_s });
    QTRY_COMPARE(held.state(), QAbstractSocket::UnconnectedState);
}

void TestSimServer::controlPort()
{
    // The same commands over the control port of a second server.
    QTemporaryDir dir;
    SimOptions o;
    o.port = 0;
    o.controlPort = 0;
    o.stateDir = dir.filePath(u"state"_s);
    o.logRequests = false;
    SimServer server(o);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(server.controlPort() > 0);
    QTcpSocket c;
    c.connectToHost(u"127.0.0.1"_s, server.controlPort());
    QVERIFY(c.waitForConnected(2000));
    auto say = [&](const QByteArray &line) {
        c.write(line + '\n');
        QByteArray reply;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 3000
            && !(reply.endsWith("ok\n") || reply.endsWith("end\n") || reply.startsWith("error"))) {
            QTest::qWait(10);
            reply += c.readAll();
        }
        return QString::fromUtf8(reply).trimmed();
    };
    QCOMPARE(say("fault N:drop"), u"ok"_s);
    QCOMPARE(say("faults"), u"N:cut=0\nend"_s);
    QCOMPARE(exchange(server.port(), direct("N", {})).data, QByteArray());
    QCOMPARE(say("clear N"), u"ok"_s);
    QVERIFY(check(exchange(server.port(), direct("N", {})).data).accepted);
    QVERIFY(say("fault N:nonsense").startsWith(u"error"_s));
    QVERIFY(say("dance").startsWith(u"error"_s));
    QCOMPARE(say("jobseconds 0.5"), u"ok"_s);
    QCOMPARE(server.engine()->jobMilliseconds(), 500);
    QCOMPARE(say("stats").split(u'\n').value(0), u"requests 2"_s);
    // An empty state directory is a server without accounts and databases, not an error.
    QCOMPARE(check(exchange(server.port(), direct("A", { "ADMIN", "admin" })).data).body,
        QByteArrayList{ "-3333" });
}

void TestSimServer::badRequests_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expect"); // closed: no answer; error: an answer with -2

    QTest::newRow("garbage") << "hello\r\nworld\r\n"_ba << u"closed"_s;
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x10\n\x00\x00", 6) << u"closed"_s;
    QTest::newRow("huge length") << "2000000000\nN\n"_ba << u"closed"_s;
    QTest::newRow("length larger than sent") << "500\nN\nA\nN\n1\n"_ba << u"closed"_s; // idle time-out
    QTest::newRow("nothing sent") << QByteArray() << u"closed"_s;
    QTest::newRow("truncated header") << "10\nN\nA\nN\n123\n"_ba << u"error"_s;
    QTest::newRow("HTTP without end") << "POST / HTTP/1.1\r\nHost: x\r\n\r\nN\nA\n"_ba << u"closed"_s;
    QTest::newRow("HTTP garbage head") << QByteArray("POST ") + QByteArray(70000, 'x') << u"closed"_s;
}

void TestSimServer::badRequests()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expect);
    QElapsedTimer t;
    t.start();
    const Exchange e = exchange(port(), bytes);
    QVERIFY(e.closedByServer);
    // Closed by its 400 ms idle time-out at the latest, well before the default one; the bound
    // leaves room for a loaded machine.
    QVERIFY(t.elapsed() < 10000);
    if (expect == "closed"_L1) {
        QCOMPARE(e.data, QByteArray());
    } else {
        const QByteArrayList lines = e.data.split('\n');
        QVERIFY(lines.size() > 10);
        QCOMPARE(lines.at(10), "-2\r"_ba);
    }
    // The server goes on serving.
    QCOMPARE(call("N", {}), QStringList{ u"0"_s });
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestSimServer::manyClientsAtOnce()
{
    // Clients that never finish their requests do not hold up the others.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 40; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(u"127.0.0.1"_s, port());
        s->write("9999\nN\n");
        idle.push_back(std::move(s));
    }
    // And a crowd of complete requests, all in flight together.
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    std::vector<QByteArray> answers(60);
    int done = 0;
    for (int i = 0; i < 60; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        QTcpSocket *raw = s.get();
        Identity id = clientNo(QByteArray::number(1000 + i));
        const QByteArray request
            = direct(i % 2 ? "0" : "+9", i % 2 ? QByteArrayList{ "BIGCAT" } : QByteArrayList{}, id);
        connect(raw, &QTcpSocket::connected, raw, [raw, request] { raw->write(request); });
        connect(raw, &QTcpSocket::readyRead, raw, [raw, &answers, i] { answers[i] += raw->readAll(); });
        connect(raw, &QTcpSocket::disconnected, raw, [&done] { ++done; });
        raw->connectToHost(u"127.0.0.1"_s, port());
        crowd.push_back(std::move(s));
    }
    QTRY_COMPARE_WITH_TIMEOUT(done, 60, 20000);
    for (int i = 0; i < 60; ++i) {
        const Answer a = check(answers[i], clientNo(QByteArray::number(1000 + i)));
        QVERIFY2(a.accepted, qPrintable(a.error));
        QCOMPARE(a.body.size(), i % 2 ? 7 : 3 + 5 * 9);
    }
    QTRY_COMPARE(m_server->openConnections(), 0); // the idle ones timed out
}

QTEST_GUILESS_MAIN(TestSimServer)
#include "tst_simserver.moc"
