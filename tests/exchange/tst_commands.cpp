#include "EngineFixture.h"

#include "exchange/TextCodec.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

using Operation = std::function<int(TWaitForm *, QStringList &)>;
Q_DECLARE_METATYPE(Operation)

// The command catalogue: the exact bytes of each request, the login, resource reads and the
// resource cache.
class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void requestBytes_data();
    void requestBytes();
    void answerTextIsConverted();
    void connectToServer_data();
    void connectToServer();
    void readResource_data();
    void readResource();
    void resourceCache();
    void resourceRetryQuestion_data();
    void resourceRetryQuestion();
    void refusedWhileBusy();

private:
    EngineFixture f;
};

namespace {

const QString kUser = u"ИВАНОВ"_s;
const QString kPassword = u"Пароль1"_s;

QByteArray cp(const QString &text)
{
    return TextCodec::toBytes(text);
}

} // namespace

void TestCommands::requestBytes_data()
{
    QTest::addColumn<Operation>("op");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("arguments");

    auto row = [](const char *name, const QByteArray &command, const QByteArray &arguments, Operation op) {
        QTest::newRow(name) << op << command << arguments;
    };
    row("B", "B", cp(kUser), [](TWaitForm *w, QStringList &a) { return w->UnregisterClient(kUser, a); });
    row("N", "N", "", [](TWaitForm *w, QStringList &a) { return w->NoOperation(a); });
    row("0", "0", "IBIS", [](TWaitForm *w, QStringList &a) { return w->GetDatabaseInfo(u"IBIS"_s, a); });
    row("L list", "L", "1..dbnam1.mnu",
        [](TWaitForm *w, QStringList &a) { return w->ReadResource(1, QString(), u"dbnam1.mnu"_s, a); });
    row("L log", "L", "0.IBIS.4711.ibf",
        [](TWaitForm *w, QStringList &a) { return w->ReadResource(0, u"IBIS"_s, u"4711.ibf"_s, a); });
    row("F", "F", "IBIS\n0",
        [](TWaitForm *w, QStringList &a) { return w->ActualizeDatabase(u"IBIS"_s, 0, a); });
    row("T on", "T", "NEWDB\n" + cp(u"Новая база"_s) + "\n1",
        [](TWaitForm *w, QStringList &a) { return w->CreateDatabase(u"NEWDB"_s, u"Новая база"_s, true, a); });
    row("T off", "T", "NEWDB\nd\n0",
        [](TWaitForm *w, QStringList &a) { return w->CreateDatabase(u"NEWDB"_s, u"d"_s, false, a); });
    row("W", "W", "IBIS", [](TWaitForm *w, QStringList &a) { return w->DeleteDatabase(u"IBIS"_s, a); });
    row("S", "S", "IBIS", [](TWaitForm *w, QStringList &a) { return w->ClearDatabase(u"IBIS"_s, a); });
    row("Y", "Y", "IBIS",
        [](TWaitForm *w, QStringList &a) { return w->ReorganizeInvertedFile(u"IBIS"_s, a); });
    row("X", "X", "IBIS", [](TWaitForm *w, QStringList &a) { return w->ReorganizeMasterFile(u"IBIS"_s, a); });
    row("Z", "Z", "IBIS", [](TWaitForm *w, QStringList &a) { return w->LoadInvertedFile(u"IBIS"_s, a); });
    row("Q", "Q", "IBIS\n1\n25\n300", [](TWaitForm *w, QStringList &a) {
        return w->UnlockRecords(u"IBIS"_s, { 1, 25, 300 }, a);
    });
    row("Q none", "Q", "IBIS",
        [](TWaitForm *w, QStringList &a) { return w->UnlockRecords(u"IBIS"_s, {}, a); });
    row("U", "U", cp(u"БАЗА"_s),
        [](TWaitForm *w, QStringList &a) { return w->UnlockDatabase(u"БАЗА"_s, a); });
    row("+8", "+8", "", [](TWaitForm *w, QStringList &a) { return w->RestartServer(a); });
    row("+1", "+1", "", [](TWaitForm *w, QStringList &a) { return w->GetRegisteredClients(a); });
    row("+9", "+9", "", [](TWaitForm *w, QStringList &a) { return w->GetClientList(a); });
    row("+7", "+7", "ADMIN=1\r\n*****\r\n", [](TWaitForm *w, QStringList &a) {
        return w->SaveClientList({ u"ADMIN=1"_s, u"*****"_s }, a);
    });
    row("+3", "+3", "", [](TWaitForm *w, QStringList &a) { return w->GetProcessList(a); });
    row("+6", "+6", "4711",
        [](TWaitForm *w, QStringList &a) { return w->DeleteRegisteredClient(u"4711"_s, a); });
    row("+4", "+4", "4711\nY\n3",
        [](TWaitForm *w, QStringList &a) { return w->StopProcess(u"4711"_s, u"Y"_s, u"3"_s, a); });
    row("1", "1", "", [](TWaitForm *w, QStringList &a) { return w->GetServerVersion(a); });
}

void TestCommands::requestBytes()
{
    QFETCH(Operation, op);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, arguments);
    f.server->setDefaultScript({ ScriptedServer::reply({ "0" }) });

    QStringList answer;
    QCOMPARE(f.form->RegisterClient(kUser, kPassword, u"A"_s, answer), 1);
    QCOMPARE(op(f.form, answer), 1);
    QCOMPARE(f.server->connectionCount(), 2);

    const QByteArray id = f.form->clientId().toLatin1();
    // The registration restarts the numbering: its request carries 1, the next one 2.
    const QByteArray login = "A\nA\n" + id + "\n1\n" + cp(kPassword) + '\n' + cp(kUser) + "\n\n\n\n"
        + cp(kUser) + '\n' + cp(kPassword);
    QCOMPARE(f.server->received(0), QByteArray::number(2 + login.size()) + "\nA\n" + login);

    const QByteArray text
        = "A\n" + command + '\n' + id + "\n2\n" + cp(kPassword) + '\n' + cp(kUser) + "\n\n\n\n" + arguments;
    QCOMPARE(f.server->received(1),
        QByteArray::number(command.size() + 1 + text.size()) + '\n' + command + '\n' + text);
}

void TestCommands::answerTextIsConverted()
{
    f.server->setDefaultScript({ ScriptedServer::reply({ "0", cp(u"Электронный каталог"_s), "" }) });
    QStringList answer;
    QCOMPARE(f.form->GetRegisteredClients(answer), 1);
    QCOMPARE(answer, (QStringList{ u"0"_s, u"Электронный каталог"_s, QString() }));
}

void TestCommands::connectToServer_data()
{
    QTest::addColumn<QList<QByteArray>>("body");
    QTest::addColumn<QStringList>("list");
    QTest::newRow("accepted: second line goes") << QList<QByteArray>{ "0", "drop", "[MAIN]", "CurDbn=IBIS" }
                                                << QStringList{ u"0"_s, u"[MAIN]"_s, u"CurDbn=IBIS"_s };
    QTest::newRow("accepted, nothing more") << QList<QByteArray>{ "0" } << QStringList{ u"0"_s };
    QTest::newRow("refused code stays")
        << QList<QByteArray>{ "-3333", "x" } << QStringList{ u"-3333"_s, u"x"_s };
    QTest::newRow("not a number stays") << QList<QByteArray>{ "OK", "x" } << QStringList{ u"OK"_s, u"x"_s };
    QTest::newRow("empty answer") << QList<QByteArray>{} << QStringList{};
}

void TestCommands::connectToServer()
{
    QFETCH(QList<QByteArray>, body);
    QFETCH(QStringList, list);
    f.server->setDefaultScript({ ScriptedServer::reply(body) });
    f.form->SetServerAddress(u"nowhere"_s, u"1"_s, u"Z"_s);

    QStringList answer{ u"old"_s };
    QCOMPARE(ConnectToServer(f.server->host(), f.server->portText(), u"A"_s, answer, u"pw"_s, u"ADMIN"_s), 1);
    QCOMPARE(answer, list);
    QCOMPARE(f.form->serverHost(), f.server->host());
    QCOMPARE(f.form->serverPort(), f.server->portText());
    QVERIFY(f.form->sendSockPort() != 0);
    const ScriptedServer::Request r = f.server->request(0);
    QCOMPARE(r.headerLine(1), QByteArray("A"));
    QCOMPARE(r.headerLine(5), QByteArray("pw"));
    QCOMPARE(r.headerLine(6), QByteArray("ADMIN"));
}

void TestCommands::readResource_data()
{
    QTest::addColumn<QList<QByteArray>>("body");
    QTest::addColumn<QStringList>("list");
    QTest::newRow("encoded breaks") << QList<QByteArray>{ "IBIS\x1F\x1E"
                                                          "Catalogue\x1F\x1E*****\x1F\x1E" }
                                    << QStringList{ u"IBIS"_s, u"Catalogue"_s, u"*****"_s };
    QTest::newRow("lone LF and CR") << QList<QByteArray>{ "a\x1E"
                                                          "b\x1F"
                                                          "c" }
                                    << QStringList{ u"a"_s, u"b"_s, u"c"_s };
    QTest::newRow("Cyrillic") << QList<QByteArray>{ cp(u"ИБИС\x1F\x1EКаталог"_s) }
                              << QStringList{ u"ИБИС"_s, u"Каталог"_s };
    QTest::newRow("only the first line counts") << QList<QByteArray>{ "a", "b" } << QStringList{ u"a"_s };
    QTest::newRow("empty file") << QList<QByteArray>{ "" } << QStringList{};
    QTest::newRow("no line") << QList<QByteArray>{} << QStringList{};
}

void TestCommands::readResource()
{
    QFETCH(QList<QByteArray>, body);
    QFETCH(QStringList, list);
    f.server->setDefaultScript({ ScriptedServer::reply(body) });
    QStringList answer{ u"old"_s };
    QCOMPARE(f.form->ReadResource(1, QString(), u"dbnam1.mnu"_s, answer), 1);
    QCOMPARE(answer, list);

    // The same through the cache, twice: the second read is served from memory.
    f.form->ClearResourceCache();
    for (int i = 0; i < 2; ++i) {
        answer = QStringList{ u"old"_s };
        QCOMPARE(f.form->ReadResourceCached(1, QString(), u"dbnam1.mnu"_s, answer), 1);
        QCOMPARE(answer, list);
    }
    QCOMPARE(f.server->connectionCount(), 2);
}

void TestCommands::resourceCache()
{
    f.server->setDefaultScript({ ScriptedServer::reply({ "line\x1F\x1E" }) });
    QStringList answer;
    QCOMPARE(f.form->ReadResourceCached(0, u"ибис"_s, u"Client_Ini.mnu"_s, answer), 1);
    QCOMPARE(f.form->ReadResourceCached(0, u"ИБИС"_s, u"CLIENT_INI.MNU"_s, answer), 1);
    QCOMPARE(answer, QStringList{ u"line"_s });
    QCOMPARE(f.server->connectionCount(), 1);
    QCOMPARE(f.form->resourceCacheKeys(), QStringList{ u"0.ИБИС.CLIENT_INI.MNU"_s });

    // Another path code is another resource.
    QCOMPARE(f.form->ReadResourceCached(1, u"ибис"_s, u"Client_Ini.mnu"_s, answer), 1);
    QCOMPARE(f.server->connectionCount(), 2);

    f.form->ClearResourceCache();
    QVERIFY(f.form->resourceCacheKeys().isEmpty());
    QCOMPARE(f.form->ReadResourceCached(0, u"ИБИС"_s, u"client_ini.mnu"_s, answer), 1);
    QCOMPARE(f.server->connectionCount(), 3);
}

void TestCommands::resourceRetryQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes: read again and cache") << true;
    QTest::newRow("No: give up") << false;
}

void TestCommands::resourceRetryQuestion()
{
    QFETCH(bool, yes);
    // A bare error code instead of an answer fails the exchange and leaves that code.
    f.server->addScript({ ScriptedServer::send("-5\r\n"), ScriptedServer::close() });
    f.server->setDefaultScript({ ScriptedServer::reply({ "IBIS\x1F\x1E" }) });
    Dialogs::queueAnswer(yes ? QMessageBox::Yes : QMessageBox::No);

    QStringList answer{ u"old"_s };
    QCOMPARE(f.form->ReadResourceCached(1, QString(), u"dbnam1.mnu"_s, answer), yes ? 1 : 2);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, u"Ошибка при получении ресурса (-5). Повторить?"_s);
    QCOMPARE(Dialogs::asked().first().caption, u"Внимание!"_s);
    QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Question);
    QCOMPARE(answer, yes ? QStringList{ u"IBIS"_s } : QStringList{});

    QCOMPARE(f.form->ReadResourceCached(1, QString(), u"DBNAM1.MNU"_s, answer), 1);
    QCOMPARE(answer, QStringList{ u"IBIS"_s });
    // After Yes the second read is a cache hit; after No it is the first good read.
    QCOMPARE(f.server->connectionCount(), 2);
    QCOMPARE(f.form->resourceCacheKeys().size(), 1);
}

void TestCommands::refusedWhileBusy()
{
    f.server->setDefaultScript({ ScriptedServer::reply({ "IBIS\x1F\x1E" }) });
    QStringList answer;
    QCOMPARE(f.form->ReadResourceCached(1, QString(), u"dbnam1.mnu"_s, answer), 1);

    f.server->setDefaultScript({ ScriptedServer::delay(200), ScriptedServer::reply({ "0" }) });
    QStringList stopList{ u"x"_s };
    QStringList otherList{ u"x"_s };
    QStringList loginList{ u"x"_s };
    QStringList cached;
    int stop = 0, other = 0, login = 0, cachedResult = 0;
    bool done = false;
    ScriptedServer *server = f.server.get();
    TWaitForm *form = f.form;
    when([=] { return server->connectionCount() >= 2; },
        [&, form] {
            stop = form->StopProcess(u"1"_s, u"Y"_s, u"2"_s, stopList);
            other = form->GetProcessList(otherList);
            login = form->RegisterClient(u"U"_s, u"p"_s, u"A"_s, loginList);
            cachedResult = form->ReadResourceCached(1, QString(), u"dbnam1.mnu"_s, cached);
            done = true;
        });
    QCOMPARE(f.form->GetServerVersion(answer), 1);
    QVERIFY(done);
    QCOMPARE(stop, 7);
    QVERIFY(stopList.isEmpty());
    QCOMPARE(other, 7);
    QCOMPARE(otherList, QStringList{ u"x"_s });
    QCOMPARE(login, 7);
    QCOMPARE(loginList, QStringList{ u"x"_s });
    QCOMPARE(cachedResult, 1); // a cached resource needs no exchange
    QCOMPARE(cached, QStringList{ u"IBIS"_s });
    QCOMPARE(f.server->connectionCount(), 2);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
