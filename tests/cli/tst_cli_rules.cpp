// tulvaa-cli's plain rules: the command line, the three output formats, the server's tables,
// the process search, the client list file and what an import changes.
#include "AccountFile.h"
#include "CliArgs.h"
#include "CliOutput.h"
#include "CliTables.h"

#include "exchange/TextCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestCliRules : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void optionsAnywhereAndHelp();
    void serverAddress_data();
    void serverAddress();
    void mfnArguments();
    void textTableIsAligned();
    void tsvKeepsOneRecordPerLine();
    void jsonParsesAndKeepsTypes();
    void tablesKeepWhatTheServerSent();
    void ownActiveProcess();
    void jobKinds();
    void clientListFile_data();
    void clientListFile();
    void accountChanges();
};

void TestCliRules::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error"); // a part of the error, empty: usable

    QTest::newRow("version") << QStringList{ u"version"_s } << QString();
    QTest::newRow("nothing") << QStringList{} << u"no command"_s;
    QTest::newRow("unknown command") << QStringList{ u"frobnicate"_s } << u"unknown command"_s;
    QTest::newRow("missing operand") << QStringList{ u"stats"_s } << u"usage: tulvaa-cli stats DB"_s;
    QTest::newRow("extra operand") << QStringList{ u"version"_s, u"x"_s } << u"usage"_s;
    QTest::newRow("records need one MFN") << QStringList{ u"unlock-records"_s, u"IBIS"_s } << u"usage"_s;
    QTest::newRow("clear without --yes") << QStringList{ u"clear"_s, u"IBIS"_s } << u"--yes"_s;
    QTest::newRow("clear with --yes") << QStringList{ u"clear"_s, u"IBIS"_s, u"--yes"_s } << QString();
    QTest::newRow("delete-db without --yes") << QStringList{ u"delete-db"_s, u"X"_s } << u"--yes"_s;
    QTest::newRow("restart without --yes") << QStringList{ u"restart"_s } << u"--yes"_s;
    // Import shows what would change before it asks for --yes.
    QTest::newRow("import without --yes") << QStringList{ u"accounts"_s, u"import"_s, u"f"_s } << QString();
    QTest::newRow("accounts alone") << QStringList{ u"accounts"_s } << u"export or import"_s;
    QTest::newRow("password option") << QStringList{ u"--password"_s, u"x"_s, u"version"_s } << u"never"_s;
    QTest::newRow("password option with =") << QStringList{ u"--password=x"_s, u"version"_s } << u"never"_s;
    QTest::newRow("bad format") << QStringList{ u"--format"_s, u"xml"_s, u"version"_s } << u"--format"_s;
    QTest::newRow("value missing") << QStringList{ u"version"_s, u"--server"_s } << u"needs a value"_s;
    QTest::newRow("flag with value") << QStringList{ u"--yes=1"_s, u"version"_s } << u"takes no value"_s;
    QTest::newRow("bad timeout") << QStringList{ u"--timeout"_s, u"-1"_s, u"version"_s } << u"--timeout"_s;
    QTest::newRow("job timeout") << QStringList{ u"--job-timeout=600"_s, u"reorganize-master"_s, u"IBIS"_s }
                                 << QString();
    QTest::newRow("bad job timeout") << QStringList{ u"--job-timeout"_s, u"1h"_s, u"version"_s }
                                     << u"--job-timeout"_s;
    QTest::newRow("unknown option") << QStringList{ u"--colour"_s, u"version"_s } << u"unknown option"_s;
}

void TestCliRules::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const ParsedCommandLine p = parseCommandLine(args);
    if (error.isEmpty())
        QCOMPARE(p.error, QString());
    else
        QVERIFY2(p.error.contains(error), qPrintable(p.error));
}

void TestCliRules::optionsAnywhereAndHelp()
{
    ParsedCommandLine p = parseCommandLine({ u"--format=json"_s, u"stats"_s, u"--user"_s, u"admin"_s,
        u"IBIS"_s, u"--server"_s, u"h:1"_s, u"--timeout"_s, u"0"_s });
    QCOMPARE(p.error, QString());
    QCOMPARE(p.options.command->id, CommandId::Stats);
    QCOMPARE(p.options.args, QStringList{ u"IBIS"_s });
    QCOMPARE(p.options.user, u"admin"_s);
    QCOMPARE(p.options.server, u"h:1"_s);
    QCOMPARE(p.options.timeoutSeconds, 0);
    QCOMPARE(p.options.format, OutputFormat::Json);

    // After "--" a word that starts with "-" is an operand.
    p = parseCommandLine({ u"create-db"_s, u"--"_s, u"A1"_s, u"-dash-"_s });
    QCOMPARE(p.error, QString());
    QCOMPARE(p.options.args, (QStringList{ u"A1"_s, u"-dash-"_s }));

    // Help needs no operands, and names the command's own usage.
    for (const QStringList &args :
        { QStringList{ u"stats"_s, u"--help"_s }, QStringList{ u"help"_s, u"stats"_s } }) {
        p = parseCommandLine(args);
        QCOMPARE(p.error, QString());
        QVERIFY(p.options.help);
        QVERIFY(commandHelp(*p.options.command).contains(u"Usage: tulvaa-cli [OPTIONS] stats DB"_s));
    }
    p = parseCommandLine({ u"accounts"_s, u"-h"_s });
    QVERIFY(p.options.help);
    QCOMPARE(p.error, QString());
    const QString help = generalHelp();
    for (const CommandInfo &c : commandCatalogue())
        QVERIFY2(help.contains(u"  "_s + c.name), qPrintable(c.name));
    QVERIFY(help.contains(u"TULVA_PASSWORD"_s));
}

void TestCliRules::serverAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");

    QTest::newRow("host and port") << u"tulva.example.org:7000"_s << true << u"tulva.example.org"_s
                                   << u"7000"_s;
    QTest::newRow("host alone keeps the port") << u"10.0.0.5"_s << true << u"10.0.0.5"_s << u"6666"_s;
    QTest::newRow("v6 in brackets") << u"[::1]:6667"_s << true << u"::1"_s << u"6667"_s;
    QTest::newRow("port 80") << u"gw:80"_s << true << u"gw"_s << u"80"_s;
    QTest::newRow("leading zeros") << u"h:0080"_s << true << u"h"_s << u"80"_s;
    QTest::newRow("port 0") << u"h:0"_s << false << QString() << QString();
    QTest::newRow("port too big") << u"h:65536"_s << false << QString() << QString();
    QTest::newRow("port not a number") << u"h:66a"_s << false << QString() << QString();
    QTest::newRow("empty port") << u"h:"_s << false << QString() << QString();
    QTest::newRow("empty host") << u":6666"_s << false << QString() << QString();
    QTest::newRow("unclosed bracket") << u"[::1:6666"_s << false << QString() << QString();
}

void TestCliRules::serverAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QString host = u"unchanged"_s;
    QString port = u"6666"_s;
    QCOMPARE(parseServerAddress(text, &host, &port), ok);
    if (ok) {
        QTEST(host, "host");
        QTEST(port, "port");
    }
}

void TestCliRules::mfnArguments()
{
    QList<qint32> mfns;
    QString bad;
    QVERIFY(parseMfnArguments({ u"17"_s, u"205"_s, u"2147483647"_s }, &mfns, &bad));
    QCOMPARE(mfns, (QList<qint32>{ 17, 205, 2147483647 }));
    for (const QString &wrong :
        { u"0"_s, u"2147483648"_s, u"99999999999"_s, u"12a"_s, u""_s, u"+5"_s, u"٣"_s }) {
        QVERIFY2(!parseMfnArguments({ u"1"_s, wrong }, &mfns, &bad), qPrintable(wrong));
        QCOMPARE(bad, wrong);
    }
}

void TestCliRules::textTableIsAligned()
{
    Report r;
    r.messages << u"Заголовок"_s;
    r.fields << Field{ u"a"_s, u"Имя"_s, u"IBIS"_s, {} } << Field{ u"b"_s, u"Длинное имя"_s, u"1"_s, {} };
    r.table.columns = { { u"n"_s, u"№"_s }, { u"name"_s, u"Имя"_s }, { u"state"_s, u"Состояние"_s } };
    r.table.rows = { { u"*"_s, u"Сервер ТУЛВА"_s, u"Активный"_s }, { u"12"_s, u"ADMIN"_s } };
    const QString text = QString::fromUtf8(formatReport(r, OutputFormat::Text));
    QCOMPARE(text,
        u"Заголовок\n"
        "Имя          IBIS\n"
        "Длинное имя  1\n"
        "\n"
        "№   Имя           Состояние\n"
        "*   Сервер ТУЛВА  Активный\n"
        "12  ADMIN\n"_s);
}

void TestCliRules::tsvKeepsOneRecordPerLine()
{
    Report r;
    r.table.columns = { { u"a"_s, u"A"_s }, { u"b"_s, u"B"_s } };
    r.table.rows = { { u"x\ty"_s, u"line1\r\nline2\\"_s }, { u"only"_s } };
    r.log << u"tab\there"_s;
    QCOMPARE(QString::fromUtf8(formatReport(r, OutputFormat::Tsv)),
        u"a\tb\nx\\ty\tline1\\r\\nline2\\\\\nonly\t\ntab\\there\n"_s);
}

void TestCliRules::jsonParsesAndKeepsTypes()
{
    Report r;
    r.messages << u"Протокол"_s;
    r.fields << Field{ u"max_mfn"_s, u"Максимальный MFN"_s, u"15230"_s, QJsonValue(15230) }
             << Field{ u"locked"_s, u"Заблокирована"_s, u"Нет"_s, QJsonValue(false) }
             << Field{ u"name"_s, u"Имя"_s, u"\"IBIS\"\n"_s, {} };
    r.table.key = u"processes"_s;
    r.table.columns = { { u"number"_s, u"№"_s }, { u"state"_s, u"Состояние"_s } };
    r.table.rows = { { u"1"_s } };
    r.logKey = u"log"_s;
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(formatReport(r, OutputFormat::Json), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o.value(u"max_mfn"_s).toInt(), 15230);
    QCOMPARE(o.value(u"locked"_s), QJsonValue(false));
    QCOMPARE(o.value(u"name"_s).toString(), u"\"IBIS\"\n"_s);
    QCOMPARE(o.value(u"processes"_s).toArray().at(0).toObject().value(u"state"_s).toString(), QString());
    QCOMPARE(o.value(u"log"_s).toArray().size(), 0);
    QCOMPARE(o.value(u"messages"_s).toArray().at(0).toString(), u"Протокол"_s);

    const QJsonObject e = QJsonDocument::fromJson(jsonError(u"отказ"_s, u"-4002"_s, 1), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(e.value(u"return_code"_s).toString(), u"-4002"_s);
    QCOMPARE(e.value(u"exit_status"_s).toInt(), 1);
}

void TestCliRules::tablesKeepWhatTheServerSent()
{
    // Three processes announced, two sent; an eleventh column kept with a made-up key.
    QStringList answer{ u"0"_s, u"3"_s, u"10"_s };
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 11; ++c)
            answer.append(u"%1.%2"_s.arg(r).arg(c));
    const Table t = processTable(parseProcessList(answer));
    QCOMPARE(t.key, u"processes"_s);
    QCOMPARE(t.rows.size(), 2);
    QCOMPARE(t.columns.size(), 11);
    QCOMPARE(t.columns.at(3).key, u"client_id"_s);
    QCOMPARE(t.columns.at(6).title, u"Выполняемая команда"_s);
    QCOMPARE(t.columns.at(10).key, u"column11"_s);
    QCOMPARE(t.rows.at(1).at(10), u"1.10"_s);

    const auto clients = ClientList::parseRegisteredClients({ u"0"_s, u"77"_s, u"1"_s, u"9"_s, u"1"_s, u"2"_s,
        u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s, u"8"_s, u"9"_s, u"10"_s });
    QVERIFY(clients);
    const Table c = registeredClientsTable(*clients);
    QCOMPARE(c.columns.size(), 10);
    QCOMPARE(c.columns.at(4).key, u"client_id"_s);
    QCOMPARE(c.rows,
        QList<QStringList>{ (QStringList{
            u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s, u"8"_s, u"9"_s, u"10"_s }) });
}

void TestCliRules::ownActiveProcess()
{
    auto row = [](const QString &number, const QString &id, const QString &name, const QString &state) {
        return QStringList{ number, u"ip"_s, u"ADMIN"_s, id, u"A"_s, u"t"_s, name, u"1"_s, u"2"_s, state };
    };
    const QList<QStringList> rows{
        row(u"*"_s, u"42"_s, u"TULVA_RELOAD_DICT"_s, u"Активный"_s), // the server: never matched
        row(u"1"_s, u"43"_s, u"TULVA_RELOAD_DICT"_s, u"Активный"_s), // another client
        row(u"2"_s, u"42"_s, u"TULVA_RELOAD_DICT"_s, u"Завершён"_s), // not active
        row(u"3"_s, u"42"_s, u"tulva_reload_dict"_s, u"Активный"_s), // Latin case ignored
        row(u"4"_s, u"42"_s, u"TULVA_RELOAD_DICT"_s, u"Активный"_s),
    };
    QCOMPARE(findOwnActiveProcess(rows, u"42"_s, u"TULVA_RELOAD_DICT"_s), 3);
    QCOMPARE(findOwnActiveProcess(rows, u"42"_s, u"TULVA_DB_NEW"_s), -1);
    QCOMPARE(findOwnActiveProcess({ rows.first() }, u"42"_s, u"TULVA_RELOAD_DICT"_s), -1);
    // Cyrillic letters compare exactly.
    QCOMPARE(
        findOwnActiveProcess({ rows.first(), row(u"1"_s, u"42"_s, u"X"_s, u"АКТИВНЫЙ"_s) }, u"42"_s, u"X"_s),
        -1);
    QCOMPARE(findOwnActiveProcess({ rows.first(), { u"1"_s } }, u"42"_s, u"X"_s), -1); // a cut row
}

void TestCliRules::jobKinds()
{
    // The names the watch looks for, and the stop codes they get (a deletion has none).
    QCOMPARE(jobKind(0).processName, u"TULVA_CREATE_DICT"_s);
    QCOMPARE(jobKind(0).reloadTicks, 10);
    QCOMPARE(jobKind(1).processName, u"TULVA_RELOAD_DICT"_s);
    QCOMPARE(ProcessCommandCode(jobKind(1).processName), u"Y"_s);
    QCOMPARE(ProcessCommandCode(jobKind(2).processName), u"X"_s);
    QCOMPARE(ProcessCommandCode(jobKind(3).processName), u"T"_s);
    QCOMPARE(jobKind(4).processName, u"TULVA_DB_DELETE"_s);
    QCOMPARE(ProcessCommandCode(jobKind(4).processName), QString());
}

void TestCliRules::clientListFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("accounts"); // -1: refused
    QTest::addColumn<int>("line"); // the line named when refused

    QTest::newRow("crlf") << QByteArray("ADMIN\r\nadmin\r\n\r\n*****\r\n") << 1 << 0;
    QTest::newRow("lf, no final break") << QByteArray("A\nx\nC=a.ini; \nB\ny\n\n*****") << 2 << 0;
    QTest::newRow("five, some empty")
        << QByteArray("A\r\nx\r\nC=c; R=; B=b; M=m; K=; \r\n*****\r\n") << 1 << 0;
    QTest::newRow("cyrillic") << TextCodec::toBytes(u"ОПЕРАТОР\r\noper\r\nR=; \r\n*****\r\n"_s) << 1 << 0;
    QTest::newRow("text after the end") << QByteArray("A\r\nx\r\n\r\n*****\r\njunk\r\n") << -1 << 5;
    QTest::newRow("blank line after the end") << QByteArray("A\r\nx\r\n\r\n*****\r\n\r\n") << -1 << 5;
    QTest::newRow("no end") << QByteArray("A\r\nx\r\n\r\n") << -1 << 4;
    QTest::newRow("end where the INI line belongs") << QByteArray("A\r\nx\r\n*****\r\n") << -1 << 3;
    QTest::newRow("cut inside") << QByteArray("A\r\nx\r\n\r\nB\r\n") << -1 << 5;
    // Empty INI lines removed: the next name would be read as an INI line.
    QTest::newRow("empty INI lines removed")
        << QByteArray("ADMIN\r\nadmin\r\nOPER\r\noper\r\nR=; \r\n*****\r\n") << -1 << 3;
    QTest::newRow("empty name") << QByteArray("\r\nx\r\n\r\n*****\r\n") << -1 << 1;
    // A password the server keeps, and the list carries.
    QTest::newRow("empty password") << QByteArray("A\r\nx\r\n\r\nB\r\n\r\n\r\n*****\r\n") << 2 << 0;
    QTest::newRow("binary marker in a password")
        << QByteArray("A\r\nx\r\n\r\nB\r\nyTULVA_BINARY_DATAy\r\n\r\n*****\r\n") << -1 << 5;
    QTest::newRow("tab in a password") << QByteArray("A\r\nx\r\n\r\nB\r\na\tb\r\n\r\n*****\r\n") << 2 << 0;
    QTest::newRow("list end as a password")
        << QByteArray("A\r\nx\r\n\r\nB\r\n*****\r\n\r\n*****\r\n") << -1 << 5;
    QTest::newRow("lone CR in a name") << QByteArray("A\rB\r\nx\r\n\r\n*****\r\n") << -1 << 1;
    QTest::newRow("zero byte") << QByteArray("A\r\nx\0y\r\n\r\n*****\r\n", 17) << -1 << 2;
    QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                         "A\r\nx\r\n\r\n*****\r\n")
                                           << -1 << 1;
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE"
                                          "A\0",
        4) << -1 << 1;
    QTest::newRow("UTF-8 without mark") << u"A\r\nx\r\n\r\nАДМИН\r\ny\r\n\r\n*****\r\n"_s.toUtf8() << -1 << 4;
    QTest::newRow("INI entry without its end") << QByteArray("A\r\nx\r\nC=a.ini\r\n*****\r\n") << -1 << 3;
    QTest::newRow("INI entries out of order") << QByteArray("A\r\nx\r\nR=; C=a; \r\n*****\r\n") << -1 << 3;
    QTest::newRow("INI entry twice") << QByteArray("A\r\nx\r\nC=a; C=b; \r\n*****\r\n") << -1 << 3;
    QTest::newRow("INI letter in lower case") << QByteArray("A\r\nx\r\nc=a; \r\n*****\r\n") << -1 << 3;
    QTest::newRow("INI name with =") << QByteArray("A\r\nx\r\nC=a=b; \r\n*****\r\n") << -1 << 3;
    QTest::newRow("INI line of blanks") << QByteArray("A\r\nx\r\n \r\n*****\r\n") << -1 << 3;
    QTest::newRow("no account") << QByteArray("*****\r\n") << -1 << 1;
    QTest::newRow("empty file") << QByteArray() << -1 << 1;
}

void TestCliRules::clientListFile()
{
    QFETCH(QByteArray, text);
    QFETCH(int, accounts);
    QFETCH(int, line);
    AccountFile::Problem problem;
    const auto parsed = AccountFile::parse(text, &problem);
    QCOMPARE(parsed.has_value(), accounts >= 0);
    if (parsed) {
        QCOMPARE(parsed->size(), accounts);
        const ClientList::IniNames defaults{ u"c.ini"_s, u"r.ini"_s, u"b.ini"_s, u"m.ini"_s, u"k.ini"_s,
            u"a.ini"_s };
        // Left out: the default.
        QCOMPARE(AccountFile::accounts(*parsed, defaults).first().ini.at(5), u"a.ini"_s);
    } else {
        QCOMPARE(problem.line, qsizetype(line));
        QVERIFY(!problem.reason.isEmpty());
    }
}

void TestCliRules::accountChanges()
{
    using ClientList::Account;
    const ClientList::IniNames d{ u"c.ini"_s, u"r.ini"_s, u"b.ini"_s, u"m.ini"_s, u"k.ini"_s, u"a.ini"_s };
    ClientList::IniNames noReader = d;
    noReader[1].clear();
    ClientList::IniNames otherReader = d;
    otherReader[1] = u"x.ini"_s;
    const QList<Account> current{ { u"ADMIN"_s, u"admin"_s, d }, { u"ОПЕРАТОР"_s, u"oper"_s, noReader },
        { u"READER"_s, u"reader"_s, d } };
    const QList<Account> wanted{ { u"admin"_s, u"admin"_s, d }, { u"ОПЕРАТОР"_s, u"secret"_s, otherReader },
        { u"NEW"_s, u"pw"_s, d } };
    const QList<AccountChange> changes = ::accountChanges(current, wanted);
    QCOMPARE(changes.size(), 4);
    QCOMPARE(changes.at(0).kind, u'~');
    QCOMPARE(changes.at(0).what, u"name ADMIN -> admin"_s);
    QCOMPARE(changes.at(1).kind, u'~');
    QCOMPARE(changes.at(1).what, u"password, R: \"\" -> \"x.ini\""_s);
    // A changed password is named, never shown.
    QVERIFY(!changes.at(1).what.contains(u"secret"_s) && !changes.at(1).what.contains(u"oper"_s));
    QCOMPARE(changes.at(2).kind, u'+');
    QCOMPARE(changes.at(2).name, u"NEW"_s);
    QCOMPARE(changes.at(3).kind, u'-');
    QCOMPARE(changes.at(3).name, u"READER"_s);
    QVERIFY(::accountChanges(current, current).isEmpty());
    // Two accounts of one name (other passwords) are paired in their order, not folded into one.
    const QList<Account> twice{ { u"ADMIN"_s, u"a"_s, d }, { u"admin"_s, u"b"_s, d } };
    QVERIFY(::accountChanges(twice, twice).isEmpty());
    QCOMPARE(::accountChanges(twice, { twice.first() }).size(), 1);
}

QTEST_GUILESS_MAIN(TestCliRules)
#include "tst_cli_rules.moc"
