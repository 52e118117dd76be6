// tulvaa-cli as a script runs it: the real program against the emulator, its output, its exit
// status, the jobs it waits for, Ctrl+C, and what it leaves registered at the server.
#include "EmulatorProcess.h"
#include "ScriptedServer.h"
#include "TestSupport.h"

#include "exchange/TextCodec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

struct CliResult
{
    int exit = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliEmulator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readingCommands();
    void jsonOfEveryReadingCommandParses();
    void reorganizationIsWaitedForAndItsLogPrinted();
    void masterFileJobEndedBeforeTheListIsRead();
    void createAndDeleteDatabase();
    void refusedCommands();
    void wrongUsageChangesNothing();
    void loginRefusals();
    void profileDisablesCommands();
    void connectionFailures();
    void silentServerTimesOut();
    void locks();
    void stopAJobOfAnotherRun();
    void ctrlCDuringAJobStopsItAndUnregisters();
    void ctrlCDuringAnExchangeUnregisters();
    void ctrlCDuringTheLogin();
    void accountsBackupAndRestore();
    void settingsFileAndRestart();

    void outputThatCannotBeWritten_data();
    void outputThatCannotBeWritten();
    void exportRefusesADirectory_data();
    void exportRefusesADirectory();
    void importRefusesAnotherShapeBeforeAsking_data();
    void importRefusesAnotherShapeBeforeAsking();
    void databaseNamesAreCheckedBeforeSending_data();
    void databaseNamesAreCheckedBeforeSending();
    void largeAnswerIsKeptAsReceived();
    void answerAboveTheLimitIsGivenUp_data();
    void answerAboveTheLimitIsGivenUp();
    void serverTextIsEscaped_data();
    void serverTextIsEscaped();
    void endlessSettingsFileIsRefused_data();
    void endlessSettingsFileIsRefused();
    void jobTimeoutLeavesTheJobRunning();
    void secretsStayInTheProcess_data();
    void secretsStayInTheProcess();
    void serverPortOutOfRange_data();
    void serverPortOutOfRange();

private:
    CliResult cli(const QStringList &args, const QString &password = u"admin"_s,
        const QString &user = u"ADMIN"_s, const std::function<void(QProcess &)> &prepare = {});
    // A server that takes the login, answers the next request with `body` and every later one
    // with "0"; it runs in a thread of its own while the test waits for the tool.
    std::unique_ptr<ScriptedServer> scriptedServer(const QByteArray &body);
    std::unique_ptr<QProcess> startCli(const QStringList &args);
    QString server() const { return u"127.0.0.1:%1"_s.arg(m_sim->port()); }
    // Client ids registered at the emulator now, the server's own row left out.
    QStringList registeredIds();
    QJsonArray processes();
    void startSim(const QStringList &extra = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EmulatorProcess> m_sim;
};

void TestCliEmulator::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestCliEmulator::cleanup()
{
    m_sim.reset();
    m_dir.reset();
}

void TestCliEmulator::startSim(const QStringList &extra)
{
    m_sim = std::make_unique<EmulatorProcess>(
        QStringList{ u"--state"_s, m_dir->filePath(u"state"_s), u"--seed-from-sample"_s } + extra);
    QVERIFY(m_sim->port() > 0);
}

std::unique_ptr<QProcess> TestCliEmulator::startCli(const QStringList &args)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TULVA_PASSWORD"_s, u"admin"_s);
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(m_dir->path());
    p->start(QStringLiteral(TULVA_CLI_EXE),
        QStringList{ u"--server"_s, server(), u"--user"_s, u"ADMIN"_s } + args);
    return p;
}

CliResult TestCliEmulator::cli(const QStringList &args, const QString &password, const QString &user,
    const std::function<void(QProcess &)> &prepare)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"TULVA_PASSWORD"_s);
    if (!password.isNull())
        env.insert(u"TULVA_PASSWORD"_s, password);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir->path());
    QStringList all = args;
    if (m_sim)
        all = QStringList{ u"--server"_s, server() } + all;
    if (!user.isEmpty())
        all = QStringList{ u"--user"_s, user } + all;
    if (prepare)
        prepare(p);
    p.start(QStringLiteral(TULVA_CLI_EXE), all);
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
    r.err += QString::fromUtf8(p.readAllStandardError());
    return r;
}

QStringList TestCliEmulator::registeredIds()
{
    const CliResult r = cli({ u"clients"_s, u"--format"_s, u"json"_s });
    QStringList ids;
    const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"clients"_s).toArray();
    for (qsizetype i = 1; i < rows.size(); ++i)
        ids.append(rows.at(i).toObject().value(u"client_id"_s).toString());
    // The registration of the run that asked is still there while it asks.
    if (!ids.isEmpty())
        ids.removeLast();
    return ids;
}

QJsonArray TestCliEmulator::processes()
{
    const CliResult r = cli({ u"processes"_s, u"--format"_s, u"json"_s });
    return QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"processes"_s).toArray();
}

void TestCliEmulator::readingCommands()
{
    startSim();
    CliResult r = cli({ u"version"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY2(r.out.contains(u"\nVersion=2024.1    Clients Number=1    Max Clients Number=10\n"_s),
        qPrintable(r.out));

    r = cli({ u"databases"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.startsWith(u"Имя базы данных  Описание базы данных\n"_s));
    QVERIFY(r.out.contains(u"\nIBIS             Электронный каталог библиотеки\n"_s));
    QVERIFY(r.out.contains(u"\nNEWBOOKS "_s));

    // The typed name in another case finds the listed database and its description.
    r = cli({ u"stats"_s, u"ibis"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY2(r.out.contains(u"Имя базы данных              IBIS\n"_s), qPrintable(r.out));
    QVERIFY(r.out.contains(u"Описание базы данных         Электронный каталог библиотеки\n"_s));
    QVERIFY(r.out.contains(u"Максимальный MFN             15230\n"_s));
    QVERIFY(r.out.contains(u"База данных заблокирована    Нет\n"_s));
    QVERIFY(r.out.contains(u"Неактуализированных записей  11\n"_s));

    r = cli({ u"processes"_s, u"--format"_s, u"tsv"_s });
    QCOMPARE(r.exit, 0);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.first(),
        u"number\tip\tuser\tclient_id\tworkstation\tstarted\tcommand\tcommand_number\tprocess_id\tstate"_s);
    QVERIFY(lines.at(1).startsWith(u"*\t127.0.0.1\tСервер ТУЛВА\t"_s));

    r = cli({ u"clients"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.startsWith(u"Число запросов к серверу:  "_s));
    QVERIFY(r.out.contains(u"№  IP адрес   Порт"_s));
    QVERIFY(r.out.contains(u"  ADMIN  "_s));
    // Every run unregistered at its end.
    QCOMPARE(registeredIds(), QStringList());
}

void TestCliEmulator::jsonOfEveryReadingCommandParses()
{
    startSim();
    const QList<QStringList> commands{ { u"version"_s }, { u"databases"_s }, { u"stats"_s, u"RDR"_s },
        { u"processes"_s }, { u"clients"_s } };
    for (const QStringList &c : commands) {
        const CliResult r = cli(c + QStringList{ u"--format"_s, u"json"_s });
        QCOMPARE(r.exit, 0);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        QVERIFY2(
            error.error == QJsonParseError::NoError, qPrintable(c.first() + u": "_s + error.errorString()));
        QVERIFY(doc.isObject());
    }
    const QJsonObject stats
        = QJsonDocument::fromJson(cli({ u"stats"_s, u"RDR"_s, u"--format=json"_s }).out.toUtf8()).object();
    QCOMPARE(stats.value(u"name"_s).toString(), u"RDR"_s);
    QCOMPARE(stats.value(u"locked_records"_s).toInt(), 3);
    QCOMPARE(stats.value(u"locked"_s), QJsonValue(false));
    QCOMPARE(stats.value(u"max_mfn"_s).toInt(), 3480);
    const QJsonObject version
        = QJsonDocument::fromJson(cli({ u"version"_s, u"--format=json"_s }).out.toUtf8()).object();
    QCOMPARE(version.value(u"version"_s).toString(), u"2024.1"_s);

    // A failure in JSON is still one JSON document on standard output.
    CliResult r = cli({ u"stats"_s, u"NOSUCH"_s, u"--format=json"_s });
    QCOMPARE(r.exit, 1);
    const QJsonObject e = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QVERIFY(e.value(u"error"_s).toString().contains(u"NOSUCH"_s));
    QCOMPARE(e.value(u"exit_status"_s).toInt(), 1);
    r = cli({ u"unregister"_s, u"999999"_s, u"--format=json"_s });
    QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"return_code"_s).toString(), u"-4006"_s);
}

void TestCliEmulator::reorganizationIsWaitedForAndItsLogPrinted()
{
    startSim({ u"--job-seconds"_s, u"2"_s });
    QElapsedTimer t;
    t.start();
    const CliResult r = cli({ u"reorganize-dictionary"_s, u"IBIS"_s });
    QCOMPARE(r.exit, 0);
    // It came back only after the job had run its two seconds, with the log the job wrote.
    QVERIFY(t.elapsed() >= 1900);
    QVERIFY2(r.out.startsWith(u"Протокол поцесса - Реорганизация словаря\n"_s), qPrintable(r.out));
    QVERIFY(r.out.contains(u"Протокол процесса TULVA_RELOAD_DICT"_s));
    QVERIFY(r.out.contains(u"Время окончания: "_s));
    QVERIFY(r.out.contains(u"Результат: процесс завершён успешно"_s));
    // Standard error is no terminal here: no progress lines.
    QCOMPARE(r.err, QString());
    // The job did its work, and nothing is left running or registered.
    QVERIFY(cli({ u"stats"_s, u"IBIS"_s }).out.contains(u"Неактуализированных записей  0\n"_s));
    QCOMPARE(processes().size(), 1);
    QCOMPARE(registeredIds(), QStringList());

    const CliResult json = cli({ u"load-dictionary"_s, u"PERIO"_s, u"--format=json"_s });
    QCOMPARE(json.exit, 0);
    const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
    QCOMPARE(o.value(u"process"_s).toString(), u"TULVA_CREATE_DICT"_s);
    QVERIFY(o.value(u"log"_s).toArray().contains(u"Протокол процесса TULVA_CREATE_DICT"_s));
}

void TestCliEmulator::masterFileJobEndedBeforeTheListIsRead()
{
    // The job is over before the process list is read: its log came with the answer. That is a
    // finished job, not a failed start.
    startSim({ u"--job-seconds"_s, u"0"_s });
    const CliResult r = cli({ u"reorganize-master"_s, u"IBIS"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY2(r.out.startsWith(u"Протокол поцесса - Реорганизация файла документов\n"_s), qPrintable(r.out));
    QVERIFY(r.out.contains(u"TULVA_RELOAD_MASTER"_s));
    QVERIFY(cli({ u"stats"_s, u"IBIS"_s }).out.contains(u"Физически удаленных записей  0\n"_s));
}

void TestCliEmulator::createAndDeleteDatabase()
{
    startSim({ u"--job-seconds"_s, u"1"_s });
    CliResult r = cli({ u"create-db"_s, u"Tmp_1"_s, u"Временная база"_s, u"--no-dictionary"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY2(r.out.contains(u"Протокол процесса TULVA_DB_NEW"_s), qPrintable(r.out + r.err));
    QVERIFY(r.out.contains(u"Признак создания: 0"_s));
    QVERIFY(cli({ u"databases"_s }).out.contains(u"\nTmp_1            Временная база\n"_s));

    // Names the workstation refuses are refused here, before anything is sent.
    r = cli({ u"create-db"_s, u"tmp_1"_s, u"x"_s });
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(u"Имя базы данных уже используется!"_s));
    r = cli({ u"create-db"_s, u"rdr"_s, u"x"_s });
    QCOMPARE(r.exit, 3);
    QVERIFY(r.err.contains(u"Нельзя использовать резервное имя базы данных!"_s));
    for (const QString &bad : { u"1ABC"_s, u"AB-C"_s, u"БАЗА"_s, u"ABCDEFGHI"_s }) {
        r = cli({ u"create-db"_s, bad, u"x"_s });
        QCOMPARE(r.exit, 3);
        QVERIFY(r.err.contains(u"Not valid DB name"_s));
    }

    r = cli({ u"delete-db"_s, u"tmp_1"_s, u"--yes"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY2(r.out.contains(u"Протокол процесса TULVA_DB_DELETE"_s), qPrintable(r.out + r.err));
    QVERIFY(!cli({ u"databases"_s }).out.contains(u"Tmp_1"_s));

    // Reserved, locked, with locked records, not listed.
    r = cli({ u"delete-db"_s, u"rdr"_s, u"--yes"_s });
    QCOMPARE(r.exit, 3);
    QVERIFY(r.err.contains(u"RDR - резервная база данных, удалять нельзя"_s));
    r = cli({ u"delete-db"_s, u"ARCHIV"_s, u"--yes"_s });
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(u"База данных заблокирована, операция невозможна."_s));
    r = cli({ u"delete-db"_s, u"NOSUCH"_s, u"--yes"_s });
    QCOMPARE(r.exit, 1);
    QCOMPARE(registeredIds(), QStringList());
}

void TestCliEmulator::refusedCommands()
{
    startSim();
    // The server refuses: exit 1 and its return code on standard error.
    CliResult r = cli({ u"clear"_s, u"ARCHIV"_s, u"--yes"_s });
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.contains(u"(return code -4002)"_s), qPrintable(r.err));
    r = cli({ u"reorganize-dictionary"_s, u"NOSUCH"_s });
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(u"the server's database list has no database NOSUCH"_s));
    r = cli({ u"unregister"_s, u"999999"_s });
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(u"-4006"_s));
    r = cli({ u"stop"_s, u"12345"_s });
    QCOMPARE(r.exit, 1);
    r = cli({ u"stop"_s, u"*"_s });
    QCOMPARE(r.exit, 3);

    // Accepted: clear says what the workstation says.
    r = cli({ u"clear"_s, u"NEWBOOKS"_s, u"--yes"_s });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.out, u"NEWBOOKS - база данных очищена успешно.\n"_s);
    QCOMPARE(registeredIds(), QStringList());
}

void TestCliEmulator::wrongUsageChangesNothing()
{
    startSim();
    CliResult r = cli({ u"clear"_s, u"IBIS"_s });
    QCOMPARE(r.exit, 3);
    QVERIFY(r.err.contains(u"--yes"_s));
    r = cli({ u"restart"_s });
    QCOMPARE(r.exit, 3);
    r = cli({ u"unlock-records"_s, u"RDR"_s, u"17"_s, u"x1"_s });
    QCOMPARE(r.exit, 3);
    QVERIFY(cli({ u"stats"_s, u"IBIS"_s }).out.contains(u"Максимальный MFN             15230\n"_s));
    QVERIFY(cli({ u"stats"_s, u"RDR"_s }).out.contains(u"Заблокированных записей      3\n"_s));

    // No password: not from the command line, and not asked for without a terminal.
    r = cli({ u"version"_s, u"--password"_s, u"admin"_s });
    QCOMPARE(r.exit, 3);
    QVERIFY(!r.err.contains(u"admin"_s));
    r = cli({ u"version"_s }, QString());
    QCOMPARE(r.exit, 3);
    QVERIFY(r.err.contains(u"TULVA_PASSWORD"_s));
    r = cli({ u"version"_s }, u"admin"_s, QString());
    QCOMPARE(r.exit, 3);
    QVERIFY(r.err.contains(u"--user"_s));
    r = cli({ u"--help"_s }, QString(), QString());
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.contains(u"reorganize-dictionary DB"_s));
    r = cli({ u"delete-db"_s, u"--help"_s }, QString(), QString());
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.startsWith(u"Usage: tulvaa-cli [OPTIONS] delete-db NAME\n"_s));
}

void TestCliEmulator::loginRefusals()
{
    startSim();
    CliResult r = cli({ u"version"_s }, u"wrong"_s);
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(u"Неверное имя пользователя или пароль. (return code -3333)"_s));
    // The password is never printed, right or wrong.
    QVERIFY(!r.err.contains(u"wrong"_s) && !r.out.contains(u"wrong"_s));
    r = cli({ u"version"_s }, u"reader"_s, u"READER"_s);
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(u"-3336"_s));
    // A user name in lower case goes to the server in upper case, Cyrillic included.
    r = cli({ u"version"_s }, u"12345"_s, u"администратор"_s);
    QCOMPARE(r.exit, 0);

    // With the places taken, the next login is refused.
    m_sim.reset();
    QDir(m_dir->filePath(u"state"_s)).removeRecursively();
    startSim({ u"--job-seconds"_s, u"30"_s, u"--control-port"_s, u"0"_s });
    const quint16 control = m_sim->controlPort();
    QVERIFY(control > 0);
    auto job = startCli({ u"reorganize-master"_s, u"IBIS"_s });
    QTRY_VERIFY_WITH_TIMEOUT(processes().size() == 2, 20000);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, control);
    QVERIFY(socket.waitForConnected(5000));
    socket.write("maxclients 1\n");
    QTRY_VERIFY(socket.canReadLine());
    QCOMPARE(socket.readLine(), QByteArray("ok\n"));
    r = cli({ u"version"_s });
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(
        u"Достигнуто предельное число клиентов, зарегистрированных на сервере. (return code -3338)"_s));
    socket.write("finishjobs\n");
    QVERIFY(socket.waitForBytesWritten(5000));
    QVERIFY(job->waitForFinished(30000));
    QCOMPARE(job->exitCode(), 0);
}

void TestCliEmulator::profileDisablesCommands()
{
    startSim();
    // ОПЕРАТОР's profile disables clearing and the client list, as in the workstation's menu.
    CliResult r = cli({ u"clear"_s, u"PERIO"_s, u"--yes"_s }, u"oper"_s, u"ОПЕРАТОР"_s);
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.contains(u"ClearDBItem=0"_s), qPrintable(r.err));
    r = cli({ u"accounts"_s, u"export"_s, m_dir->filePath(u"a.txt"_s) }, u"oper"_s, u"ОПЕРАТОР"_s);
    QCOMPARE(r.exit, 1);
    QVERIFY(!QFile::exists(m_dir->filePath(u"a.txt"_s)));
    r = cli({ u"processes"_s }, u"oper"_s, u"ОПЕРАТОР"_s);
    QCOMPARE(r.exit, 0);
    QCOMPARE(registeredIds(), QStringList());
}

void TestCliEmulator::connectionFailures()
{
    // Nothing listens there.
    const quint16 closedPort = closedLoopbackPort();
    CliResult r = cli({ u"--server"_s, u"127.0.0.1:%1"_s.arg(closedPort), u"version"_s });
    QCOMPARE(r.exit, 2);
    // Which server did not answer is said.
    QVERIFY2(r.err.contains(u"Сервер недоступен. (127.0.0.1:%1)"_s.arg(closedPort)), qPrintable(r.err));
    QVERIFY(!r.err.contains(u"saved server"_s));

    // A name the book does not have (mistyped) was taken as a host: that is said too.
    QDir config(m_dir->filePath(u"config"_s));
    QVERIFY(config.mkpath(u"tulvaa"_s));
    writeBytes(config.filePath(u"tulvaa/servers.ini"_s), "[main]\nHost=127.0.0.1\n");
    writeBytes(
        m_dir->filePath(u"Ctulvaa.ini"_s), "[Main]\r\nServerPort=" + QByteArray::number(closedPort) + "\r\n");
    r = cli({ u"--server"_s, u"localhost"_s, u"version"_s }, u"admin"_s, u"ADMIN"_s, [&config](QProcess &p) {
        QProcessEnvironment env = p.processEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, config.path());
        p.setProcessEnvironment(env);
    });
    QCOMPARE(r.exit, 2);
    QVERIFY2(r.err.contains(u"Сервер недоступен. (localhost:%1)\n"_s.arg(closedPort)), qPrintable(r.err));
    QVERIFY(r.err.contains(u"no saved server is named \"localhost\""_s));

    // Answers that fail the checks every time.
    startSim({ u"--fault"_s, u"+3:badlength"_s });
    r = cli({ u"processes"_s });
    QCOMPARE(r.exit, 2);
    // Six attempts, then the engine's question, answered No: its text is the reason.
    QVERIFY2(
        r.err.contains(u"Произошла ошибка при получении данных от сервера (-1112)."_s), qPrintable(r.err));
    QCOMPARE(registeredIds(), QStringList());
}

void TestCliEmulator::silentServerTimesOut()
{
    startSim({ u"--fault"_s, u"1:hang"_s });
    QElapsedTimer t;
    t.start();
    const CliResult r = cli({ u"version"_s, u"--timeout"_s, u"1"_s });
    QCOMPARE(r.exit, 2);
    QVERIFY2(r.err.contains(u"no answer within 1 s"_s), qPrintable(r.err));
    QVERIFY(t.elapsed() < 20000);
    QCOMPARE(registeredIds(), QStringList());
}

void TestCliEmulator::locks()
{
    startSim();
    CliResult r = cli({ u"unlock"_s, u"IBIS"_s });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.out, u"IBIS - база данных не заблокирована.\n"_s);
    r = cli({ u"unlock"_s, u"ARCHIV"_s });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.out, u"База данных ARCHIV разблокирована успешно\n"_s);
    QVERIFY(cli({ u"stats"_s, u"ARCHIV"_s }).out.contains(u"База данных заблокирована    Нет\n"_s));

    r = cli({ u"unlock-records"_s, u"RDR"_s, u"17"_s, u"1999"_s, u"--format=json"_s });
    QCOMPARE(r.exit, 0);
    QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"locked_records"_s).toInt(), 1);
    r = cli({ u"unlock-records"_s, u"IBIS"_s, u"5"_s });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.out, u"Заблокированных записей нет.\n"_s);

    r = cli({ u"actualize"_s, u"RDR"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.contains(u"Неактуализированных записей  0"_s));
    r = cli({ u"actualize"_s, u"RDR"_s });
    QCOMPARE(r.out, u"Неактуализированных записей нет, актуализировать нечего.\n"_s);
}

void TestCliEmulator::stopAJobOfAnotherRun()
{
    startSim({ u"--job-seconds"_s, u"60"_s });
    auto job = startCli({ u"reorganize-master"_s, u"IBIS"_s });
    QString number;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QJsonArray rows = processes();
            for (const QJsonValue &row : rows)
                if (row.toObject().value(u"command"_s).toString() == u"TULVA_RELOAD_MASTER")
                    number = row.toObject().value(u"number"_s).toString();
            return !number.isEmpty();
        }(),
        10000);
    const CliResult r = cli({ u"stop"_s, number });
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.contains(u"TULVA_RELOAD_MASTER"_s));
    // The waiting run sees its job gone and prints the log, which tells it was stopped.
    QVERIFY(job->waitForFinished(20000));
    QCOMPARE(job->exitCode(), 0);
    const QString out = QString::fromUtf8(job->readAllStandardOutput());
    QVERIFY2(out.contains(u"TULVA_RELOAD_MASTER"_s), qPrintable(out));
    QCOMPARE(registeredIds(), QStringList());
}

void TestCliEmulator::ctrlCDuringAJobStopsItAndUnregisters()
{
#ifndef Q_OS_UNIX
    QSKIP("sends SIGINT");
#else
    startSim({ u"--job-seconds"_s, u"60"_s });
    auto job = startCli({ u"reorganize-dictionary"_s, u"IBIS"_s });
    QTRY_VERIFY_WITH_TIMEOUT(processes().size() == 2, 10000);
    QCOMPARE(registeredIds().size(), 1);
    ::kill(pid_t(job->processId()), SIGINT);
    QVERIFY(job->waitForFinished(20000));
    QCOMPARE(job->exitStatus(), QProcess::NormalExit);
    QCOMPARE(job->exitCode(), 130);
    QVERIFY(QString::fromUtf8(job->readAllStandardError()).contains(u"TULVA_RELOAD_DICT was stopped"_s));
    QCOMPARE(registeredIds(), QStringList());
    QCOMPARE(processes().size(), 1);
#endif
}

void TestCliEmulator::ctrlCDuringAnExchangeUnregisters()
{
#ifndef Q_OS_UNIX
    QSKIP("sends SIGINT");
#else
    startSim({ u"--fault"_s, u"+9:hang:1"_s });
    auto run = startCli({ u"accounts"_s, u"export"_s, m_dir->filePath(u"a.txt"_s) });
    // The held request shows in the process list as a process of that client.
    QTRY_VERIFY_WITH_TIMEOUT(processes().size() == 2, 10000);
    ::kill(pid_t(run->processId()), SIGINT);
    QVERIFY(run->waitForFinished(20000));
    QCOMPARE(run->exitCode(), 130);
    QCOMPARE(registeredIds(), QStringList());
    // The cancel message released the held request.
    QCOMPARE(processes().size(), 1);
    QVERIFY(!QFile::exists(m_dir->filePath(u"a.txt"_s)));
#endif
}

void TestCliEmulator::ctrlCDuringTheLogin()
{
#ifndef Q_OS_UNIX
    QSKIP("sends SIGINT");
#else
    startSim({ u"--fault"_s, u"A:hang:1"_s, u"--control-port"_s, u"0"_s });
    const quint16 control = m_sim->controlPort();
    QVERIFY(control > 0);
    auto run = startCli({ u"version"_s });
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, control);
    QVERIFY(socket.waitForConnected(5000));
    // Wait until the emulator holds the registration request.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            socket.write("stats\n");
            QByteArray reply;
            while (!reply.contains("end\n") && socket.waitForReadyRead(2000))
                reply += socket.readAll();
            return reply.contains("held 1");
        }(),
        10000);
    ::kill(pid_t(run->processId()), SIGINT);
    QVERIFY(run->waitForFinished(20000));
    QCOMPARE(run->exitCode(), 130);
    QCOMPARE(registeredIds(), QStringList());
    QCOMPARE(processes().size(), 1);
#endif
}

void TestCliEmulator::accountsBackupAndRestore()
{
    startSim();
    const QString backup = m_dir->filePath(u"accounts.txt"_s);
    CliResult r = cli({ u"accounts"_s, u"export"_s, backup });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.out, u"5 accounts written to %1.\n"_s.arg(backup));
    QFile file(backup);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.endsWith("*****\r\n"));
    QVERIFY(text.startsWith("ADMIN\r\nadmin\r\n\r\n"));
    QVERIFY(TextCodec::toText(text).contains(u"ОПЕРАТОР\r\noper\r\nR=; K=kaf_k.ini; A=oper_a.ini; \r\n"_s));
    QCOMPARE(
        file.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
    file.close();

    // A changed copy: READER removed, a password changed, one account added.
    QStringList lines = TextCodec::toText(text).split(u"\r\n"_s);
    const qsizetype reader = lines.indexOf(u"READER"_s);
    QVERIFY(reader > 0);
    lines.remove(reader, 3);
    lines.insert(reader, u"NEWADMIN"_s);
    lines.insert(reader + 1, u"new"_s);
    lines.insert(reader + 2, QString());
    QCOMPARE(lines.at(1), u"admin"_s);
    lines[1] = u"secret"_s;
    const QByteArray changed = TextCodec::toBytes(lines.join(u"\r\n"_s));
    const QString edited = m_dir->filePath(u"edited.txt"_s);
    QFile out(edited);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(changed);
    out.close();

    // Without --yes: what would change, and nothing written.
    r = cli({ u"accounts"_s, u"import"_s, edited });
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.out.contains(u"~  ADMIN     password\n"_s), qPrintable(r.out));
    QVERIFY(r.out.contains(u"+  NEWADMIN"_s));
    QVERIFY(r.out.contains(u"-  READER"_s));
    QVERIFY(!r.out.contains(u"secret"_s));
    QVERIFY(r.err.contains(u"--yes"_s));
    QCOMPARE(cli({ u"version"_s }, u"admin"_s).exit, 0);

    r = cli({ u"accounts"_s, u"import"_s, edited, u"--yes"_s });
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.contains(u"Список клиентов для доступа к серверу сохранен успешно"_s));
    QCOMPARE(cli({ u"version"_s }, u"admin"_s).exit, 1);
    QCOMPARE(cli({ u"version"_s }, u"new"_s, u"NEWADMIN"_s).exit, 0);

    // And back from the backup.
    r = cli({ u"accounts"_s, u"import"_s, backup, u"--yes"_s }, u"secret"_s);
    QCOMPARE(r.exit, 0);
    QCOMPARE(cli({ u"version"_s }, u"admin"_s).exit, 0);
    // Nothing to change: one line, and done.
    r = cli({ u"accounts"_s, u"import"_s, backup });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.out, u"The server's accounts already match %1; nothing to write.\n"_s.arg(backup));

    // A file that is no client list is refused before anything is asked of the server.
    QFile bad(m_dir->filePath(u"bad.txt"_s));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("ADMIN\r\nadmin\r\n");
    bad.close();
    r = cli({ u"accounts"_s, u"import"_s, bad.fileName(), u"--yes"_s });
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.err.contains(bad.fileName() + u", line 3: the list breaks off inside a client"_s),
        qPrintable(r.err));
    QCOMPARE(registeredIds(), QStringList());
}

void TestCliEmulator::settingsFileAndRestart()
{
    startSim();
    // Server and user from Ctulvaa.ini of the current directory.
    QFile ini(m_dir->filePath(u"Ctulvaa.ini"_s));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(u"[Main]\r\nServerIP=127.0.0.1\r\nServerPort=%1\r\nUSERNAME=admin\r\n"_s.arg(m_sim->port())
                  .toLatin1());
    ini.close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TULVA_PASSWORD"_s, u"admin"_s);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir->path());
    p.start(QStringLiteral(TULVA_CLI_EXE), { u"restart"_s, u"--yes"_s });
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), u"Сервер перестартован успешно.\n"_s);

    // An explicit settings file that cannot be read is wrong usage.
    p.start(QStringLiteral(TULVA_CLI_EXE), { u"--config"_s, m_dir->filePath(u"none.ini"_s), u"version"_s });
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 3);
}

std::unique_ptr<ScriptedServer> TestCliEmulator::scriptedServer(const QByteArray &body)
{
    auto server = std::make_unique<ScriptedServer>(true);
    if (!server->listen())
        return nullptr;
    server->addScript({ ScriptedServer::reply({ "0", "tulvaa.ini" }) });
    server->addScript({ ScriptedServer::reply({ body }) });
    server->setDefaultScript({ ScriptedServer::reply({ "0" }) });
    return server;
}

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

void TestCliEmulator::outputThatCannotBeWritten_data()
{
    QTest::addColumn<QStringList>("args"); // "@FILE": the export file
    QTest::addColumn<bool>("fullDisk"); // else standard output goes to /dev/full

    QTest::newRow("export file on a full disk")
        << QStringList{ u"accounts"_s, u"export"_s, u"@FILE"_s } << true;
    QTest::newRow("export to standard output") << QStringList{ u"accounts"_s, u"export"_s, u"-"_s } << false;
    QTest::newRow("report") << QStringList{ u"version"_s } << false;
    QTest::newRow("help") << QStringList{ u"--help"_s } << false;
}

void TestCliEmulator::outputThatCannotBeWritten()
{
#ifndef Q_OS_UNIX
    QSKIP("needs /dev/full and a file size limit");
#else
    QFETCH(QStringList, args);
    QFETCH(bool, fullDisk);
    if (!fullDisk && !QFileInfo::exists(u"/dev/full"_s))
        QSKIP("no /dev/full here");
    startSim();
    const QString file = m_dir->filePath(u"accounts.txt"_s);
    const QByteArray backup("the good backup\r\n");
    writeBytes(file, backup);
    args.replaceInStrings(u"@FILE"_s, file);
    const CliResult r = cli(args, u"admin"_s, u"ADMIN"_s, [&](QProcess &p) {
        if (!fullDisk) {
            p.setStandardOutputFile(u"/dev/full"_s);
            return;
        }
        // A full disk for this process alone: no file of its may grow beyond 0 bytes.
        p.setChildProcessModifier([] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit none{ 0, 0 };
            ::setrlimit(RLIMIT_FSIZE, &none);
        });
    });
    QCOMPARE(r.exit, 4);
    const QString named = fullDisk ? u"cannot write %1: %2"_s.arg(file, qt_error_string(EFBIG))
                                   : u"cannot write to standard output: "_s + qt_error_string(ENOSPC);
    QVERIFY2(r.err.contains(named), qPrintable(r.err));
    // The old file is as it was, and no temporary file is left beside it.
    QCOMPARE(fileBytes(file), backup);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{ u"accounts.txt"_s });
#endif
}

void TestCliEmulator::exportRefusesADirectory_data()
{
    QTest::addColumn<QString>("target"); // in the tool's working directory

    QTest::newRow("directory") << u"dir"_s;
    QTest::newRow("directory with a slash") << u"dir/"_s;
    QTest::newRow("link to a directory") << u"link"_s;
    QTest::newRow("working directory") << u"."_s;
}

void TestCliEmulator::exportRefusesADirectory()
{
    QFETCH(QString, target);
    const QString dir = m_dir->filePath(u"dir"_s);
    QVERIFY(QDir().mkdir(dir));
    QVERIFY(QFile::link(dir, m_dir->filePath(u"link"_s)));
    const auto dirMode = QFileInfo(dir).permissions();
    const auto workMode = QFileInfo(m_dir->path()).permissions();
    // Nothing listens: the refusal must come before the tool asks the server anything.
    const CliResult r = cli(
        { u"--server"_s, u"127.0.0.1:%1"_s.arg(closedLoopbackPort()), u"accounts"_s, u"export"_s, target });
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.err.contains(target + u" is a directory"_s), qPrintable(r.err));
    QCOMPARE(QFileInfo(dir).permissions(), dirMode);
    QCOMPARE(QFileInfo(m_dir->path()).permissions(), workMode);
}

void TestCliEmulator::importRefusesAnotherShapeBeforeAsking_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");

    // The empty INI lines removed: read in step, the password would be a name.
    QTest::newRow("lines missing") << QByteArray("ADMIN\r\nSecret9\r\nOPER\r\nSecret9\r\nR=; \r\n*****\r\n")
                                   << 3;
    QTest::newRow("UTF-8 with a byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                                "ADMIN\r\nSecret9\r\n\r\n*****\r\n")
                                                  << 1;
    QTest::newRow("zero byte") << QByteArray("ADMIN\r\nSecret9\r\n\r\nX\0Y\r\nSecret9\r\n\r\n*****\r\n", 36)
                               << 4;
    QTest::newRow("binary marker in a password")
        << QByteArray("ADMIN\r\nSecret9TULVA_BINARY_DATA\r\n\r\n*****\r\n") << 2;
}

void TestCliEmulator::importRefusesAnotherShapeBeforeAsking()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    const QString file = m_dir->filePath(u"accounts.txt"_s);
    writeBytes(file, text);
    for (const QString &format : { u"text"_s, u"json"_s }) {
        const CliResult r = cli({ u"--server"_s, u"127.0.0.1:%1"_s.arg(closedLoopbackPort()), u"accounts"_s,
            u"import"_s, file, u"--yes"_s, u"--format"_s, format });
        QCOMPARE(r.exit, 3);
        QVERIFY2(r.err.contains(u"%1, line %2: "_s.arg(file).arg(line)), qPrintable(r.err));
        QVERIFY(!r.err.contains(u"Secret9"_s) && !r.out.contains(u"Secret9"_s));
    }
}

void TestCliEmulator::databaseNamesAreCheckedBeforeSending_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("error");

    const QString control = u"holds a line break or another control character"_s;
    QTest::newRow("unlock, line break") << QStringList{ u"unlock"_s, u"ARCHIV\nIBIS"_s } << 3 << control;
    QTest::newRow("clear, line break") << QStringList{ u"clear"_s, u"IBIS\n"_s, u"--yes"_s } << 3 << control;
    QTest::newRow("actualize, escape") << QStringList{ u"actualize"_s, u"PERIO\x1b"_s } << 3 << control;
    QTest::newRow("unlock-records, tab")
        << QStringList{ u"unlock-records"_s, u"RDR\t"_s, u"17"_s } << 3 << control;
    QTest::newRow("stats, carriage return") << QStringList{ u"stats"_s, u"IBIS\r"_s } << 3 << control;
    QTest::newRow("job, empty name") << QStringList{ u"reorganize-dictionary"_s, QString() } << 3 << control;
    QTest::newRow("unlock, not listed")
        << QStringList{ u"unlock"_s, u"NOSUCH"_s } << 1 << u"has no database"_s;
    QTest::newRow("clear, not listed")
        << QStringList{ u"clear"_s, u"NOSUCH"_s, u"--yes"_s } << 1 << u"has no database"_s;
    QTest::newRow("job, not listed") << QStringList{ u"load-dictionary"_s, u"NOSUCH"_s } << 1
                                     << u"has no database"_s;
}

void TestCliEmulator::databaseNamesAreCheckedBeforeSending()
{
    QFETCH(QStringList, args);
    QFETCH(int, exit);
    QFETCH(QString, error);
    startSim();
    const CliResult r = cli(args);
    QCOMPARE(r.exit, exit);
    QVERIFY2(r.err.contains(error), qPrintable(r.err));
    // The name is shown escaped, never as the control character itself.
    QVERIFY(!r.err.contains(u'\x1b') && !r.err.contains(u'\t') && !r.err.contains(u'\r'));
    // Nothing was done to any database.
    QVERIFY(cli({ u"stats"_s, u"ARCHIV"_s }).out.contains(u"База данных заблокирована    Да\n"_s));
    QVERIFY(cli({ u"stats"_s, u"IBIS"_s }).out.contains(u"Максимальный MFN             15230\n"_s));
    QVERIFY(cli({ u"stats"_s, u"PERIO"_s }).out.contains(u"Неактуализированных записей  4"_s));
    QVERIFY(cli({ u"stats"_s, u"RDR"_s }).out.contains(u"Заблокированных записей      3\n"_s));
    QCOMPARE(processes().size(), 1);
}

void TestCliEmulator::largeAnswerIsKeptAsReceived()
{
#if !defined(Q_OS_LINUX) || defined(__SANITIZE_ADDRESS__)
    QSKIP("limits the tool's data segment, which needs Linux and no address sanitizer");
#else
    // Five million short lines (15 MB) after the version: read as a list of texts they would take
    // some 400 MB; kept as the bytes received they fit into 200 MiB with room to spare.
    QByteArray body("0\r\nTULVA\r\n2024.1\r\n1\r\n10");
    body.reserve(body.size() + 5000000 * 3);
    for (int i = 0; i < 5000000; ++i)
        body += "\r\nx";
    auto server = scriptedServer(body);
    QVERIFY(server);
    body.clear();
    const CliResult r = cli({ u"--server"_s, u"127.0.0.1:%1"_s.arg(server->port()), u"version"_s },
        u"admin"_s, u"ADMIN"_s, [](QProcess &p) {
            p.setChildProcessModifier([] {
                const rlimit data{ 200 << 20, 200 << 20 };
                ::setrlimit(RLIMIT_DATA, &data);
            });
        });
    QCOMPARE(r.exit, 0);
    QCOMPARE(r.out, u"TULVA\nVersion=2024.1    Clients Number=1    Max Clients Number=10\n"_s);
#endif
}

void TestCliEmulator::answerAboveTheLimitIsGivenUp_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("settings");

    QTest::newRow("--max-answer") << QStringList{ u"--max-answer"_s, u"100000"_s } << QByteArray();
    QTest::newRow("MaxAnswerSize") << QStringList() << QByteArray("[Main]\r\nMaxAnswerSize=0x186A0\r\n");
}

void TestCliEmulator::answerAboveTheLimitIsGivenUp()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, settings);
    if (!settings.isEmpty())
        writeBytes(m_dir->filePath(u"Ctulvaa.ini"_s), settings);
    auto server = scriptedServer("0\r\nTULVA\r\n" + QByteArray(200000, 'x'));
    QVERIFY(server);
    const CliResult r
        = cli(options + QStringList{ u"--server"_s, u"127.0.0.1:%1"_s.arg(server->port()), u"version"_s });
    QCOMPARE(r.exit, 2);
    QVERIFY2(r.err.contains(u"больше допустимого размера (100000 байт"_s), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

void TestCliEmulator::serverTextIsEscaped_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("shown"); // the caption's line

    QTest::newRow("text") << u"text"_s << u"TULVA\\x1b]0;owned\\x07\\x1b[2J\\x7fx\\y\n"_s;
    QTest::newRow("tsv") << u"tsv"_s << u"caption\tTULVA\\x1b]0;owned\\x07\\x1b[2J\\x7fx\\\\y\n"_s;
}

void TestCliEmulator::serverTextIsEscaped()
{
    QFETCH(QString, format);
    QFETCH(QString, shown);
    // A caption that would retitle and clear the terminal.
    auto server = scriptedServer("0\r\nTULVA\x1b]0;owned\x07\x1b[2J\x7fx\\y\r\n2024.1\r\n1\r\n10");
    QVERIFY(server);
    const CliResult r
        = cli({ u"--server"_s, u"127.0.0.1:%1"_s.arg(server->port()), u"version"_s, u"--format"_s, format });
    QCOMPARE(r.exit, 0);
    QVERIFY(!r.out.contains(u'\x1b') && !r.out.contains(u'\x07') && !r.out.contains(u'\x7f'));
    QVERIFY2(r.out.startsWith(shown), qPrintable(r.out));
}

namespace {

// A data segment of 200 MiB for the tool: enough for anything it needs, and a reading without
// bound ends in an allocation failure instead of taking the machine's memory.
void limitData(QProcess &p)
{
#if defined(Q_OS_LINUX) && !defined(__SANITIZE_ADDRESS__)
    p.setChildProcessModifier([] {
        const rlimit data{ 200 << 20, 200 << 20 };
        ::setrlimit(RLIMIT_DATA, &data);
    });
#else
    Q_UNUSED(p);
#endif
}

} // namespace

void TestCliEmulator::endlessSettingsFileIsRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("path");

    QTest::newRow("--config") << QStringList{ u"--config"_s, u"/dev/zero"_s, u"version"_s } << u"/dev/zero"_s;
    QTest::newRow("Ctulvaa.ini") << QStringList{ u"version"_s } << u"Ctulvaa.ini"_s;
}

void TestCliEmulator::endlessSettingsFileIsRefused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, path);
    if (!QFileInfo::exists(u"/dev/zero"_s))
        QSKIP("no /dev/zero here");
    QVERIFY(QFile::link(u"/dev/zero"_s, m_dir->filePath(u"Ctulvaa.ini"_s)));
    const CliResult r = cli(QStringList{ u"--server"_s, u"127.0.0.1:%1"_s.arg(closedLoopbackPort()) } + args,
        u"admin"_s, u"ADMIN"_s, limitData);
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.err.contains(path + u": файл больше 16 МиБ"_s), qPrintable(r.err));
}

void TestCliEmulator::jobTimeoutLeavesTheJobRunning()
{
    startSim({ u"--job-seconds"_s, u"60"_s });
    const CliResult r = cli({ u"reorganize-master"_s, u"IBIS"_s, u"--job-timeout"_s, u"1"_s });
    QCOMPARE(r.exit, 5);
    QVERIFY2(r.err.contains(u"the job TULVA_RELOAD_MASTER on database IBIS still runs after 1 s"_s),
        qPrintable(r.err));
    QVERIFY(r.err.contains(u"left running on the server"_s));
    // The job goes on; the tool has unregistered.
    bool running = false;
    for (const QJsonValue &row : processes())
        running = running || row.toObject().value(u"command"_s).toString() == u"TULVA_RELOAD_MASTER";
    QVERIFY(running);
    QCOMPARE(registeredIds(), QStringList());
    QCOMPARE(cli({ u"reorganize-master"_s, u"IBIS"_s, u"--job-timeout"_s, u"-1"_s }).exit, 3);
}

void TestCliEmulator::secretsStayInTheProcess_data()
{
    QTest::addColumn<bool>("workstation");

    QTest::newRow("tulvaa-cli") << false;
    QTest::newRow("tulvaa") << true;
}

void TestCliEmulator::secretsStayInTheProcess()
{
#ifndef Q_OS_LINUX
    QSKIP("reads /proc");
#else
    QFETCH(bool, workstation);
    rlimit core{};
    if (::getrlimit(RLIMIT_CORE, &core) != 0 || core.rlim_max == 0)
        QSKIP("core dumps are off for every process here");
    QProcess p;
    // Core dumps allowed to the program as far as the system lets, so that turning them off shows.
    p.setChildProcessModifier([] {
        rlimit c{};
        ::getrlimit(RLIMIT_CORE, &c);
        c.rlim_cur = c.rlim_max;
        ::setrlimit(RLIMIT_CORE, &c);
    });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TULVA_PASSWORD"_s, u"admin"_s);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir->path());
    if (workstation) {
        for (const QString &name : { u"TULVAMSG.TXT"_s, u"tulvaa.hlp"_s })
            QVERIFY(
                QFile::copy(QStringLiteral(TULVA_SOURCE_DIR) + u"/data/"_s + name, m_dir->filePath(name)));
        writeBytes(m_dir->filePath(u"Ctulvaa.ini"_s), "[Main]\r\nServerIP=127.0.0.1\r\nServerPort=1\r\n");
        p.start(QStringLiteral(TULVA_EXE), {});
    } else {
        // The version request is held, so the tool waits with the password read and used.
        startSim({ u"--fault"_s, u"1:hang:1"_s });
        p.start(QStringLiteral(TULVA_CLI_EXE),
            { u"--server"_s, server(), u"--user"_s, u"ADMIN"_s, u"version"_s });
        QTRY_VERIFY_WITH_TIMEOUT(processes().size() == 2, 10000);
    }
    QVERIFY(p.waitForStarted());
    const QString proc = u"/proc/%1/"_s.arg(p.processId());
    const auto coreLimit = [&] {
        QFile limits(proc + u"limits"_s);
        if (!limits.open(QIODevice::ReadOnly))
            return QByteArray("(unreadable)");
        for (const QByteArray &line : limits.readAll().split('\n'))
            if (line.startsWith("Max core file size"))
                return line.mid(25).simplified();
        return QByteArray("(none)");
    };
    QTRY_COMPARE_WITH_TIMEOUT(coreLimit(), QByteArray("0 0 bytes"), 10000);
    if (!workstation) {
        // Readable only where the system still lets another process look: then without it.
        QFile environment(proc + u"environ"_s);
        if (environment.open(QIODevice::ReadOnly))
            QVERIFY(!environment.readAll().contains("TULVA_PASSWORD=admin"));
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 130);
    } else {
        p.kill();
        p.waitForFinished();
    }
#endif
}

void TestCliEmulator::serverPortOutOfRange_data()
{
    QTest::addColumn<QString>("settingsPort");
    QTest::addColumn<QString>("serverOption"); // empty: none
    QTest::addColumn<QString>("error");

    QTest::newRow("0") << u"0"_s << QString() << u"ServerPort=0 in "_s;
    QTest::newRow("65536") << u"65536"_s << QString() << u"ServerPort=65536 in "_s;
    QTest::newRow("negative") << u"-1"_s << QString() << u"ServerPort=-1 in "_s;
    QTest::newRow("not a number") << u"66a"_s << QString() << u"ServerPort=66a in "_s;
    QTest::newRow("empty") << QString() << QString() << u"ServerPort= in "_s;
    QTest::newRow("--server without port keeps it")
        << u"70000"_s << u"127.0.0.1"_s << u"ServerPort=70000 in "_s;
    QTest::newRow("--server port 0") << u"6666"_s << u"127.0.0.1:0"_s << u"--server needs"_s;
}

void TestCliEmulator::serverPortOutOfRange()
{
    QFETCH(QString, settingsPort);
    QFETCH(QString, serverOption);
    QFETCH(QString, error);
    writeBytes(m_dir->filePath(u"Ctulvaa.ini"_s),
        "[Main]\r\nServerIP=127.0.0.1\r\nServerPort=" + settingsPort.toLatin1() + "\r\nUSERNAME=ADMIN\r\n");
    const QStringList args = serverOption.isEmpty()
        ? QStringList{ u"version"_s }
        : QStringList{ u"--server"_s, serverOption, u"version"_s };
    const CliResult r = cli(args, u"admin"_s, QString());
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.err.contains(error), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestCliEmulator)
#include "tst_cli_emulator.moc"
