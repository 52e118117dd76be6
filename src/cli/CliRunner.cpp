#include "CliRunner.h"

#include "CliMonitor.h"
#include "CliServers.h"
#include "Terminal.h"
#include "database/DbNames.h"
#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"
#include "shell/Globals.h"
#include "shell/Messages.h"
#include "shell/ServerBook.h"
#include "shell/TextRules.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonValue>
#include <QSaveFile>
#include <QSet>
#include <QTimer>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kTickMs = 100;
constexpr int kWatchTickMs = 500;
const QString kLogCaption = u"Протокол поцесса - "_s;

void writeErr(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

// Overwrites a text that held a secret, where this copy is the only one, and empties it.
void wipe(QString &text)
{
    if (text.isDetached())
        text.fill(QChar(0));
    text.clear();
}

void wipe(QByteArray &bytes)
{
    if (bytes.isDetached())
        bytes.fill(0);
    bytes.clear();
}

bool takesDatabaseName(CommandId id)
{
    switch (id) {
    case CommandId::Stats:
    case CommandId::Clear:
    case CommandId::Actualize:
    case CommandId::Unlock:
    case CommandId::UnlockRecords:
    case CommandId::LoadDictionary:
    case CommandId::ReorganizeDictionary:
    case CommandId::ReorganizeMaster:
    case CommandId::DeleteDb:
        return true;
    default:
        return false;
    }
}

Field field(
    const QString &key, const QString &title, const QString &text, QJsonValue json = QJsonValue::Undefined)
{
    return { key, title, text, json };
}

Field numberField(const QString &key, const QString &title, qint64 n)
{
    return { key, title, QString::number(n), QJsonValue(n) };
}

} // namespace

CliRunner::CliRunner(const CliOptions &options)
    : m_options(options)
{
    m_engine.setWindow(this);
}

void CliRunner::waitBegins(bool) { }

void CliRunner::waitTick(int tick)
{
    if (m_cancelOnInterrupt && Terminal::interrupted() && !m_interrupted) {
        // The cancel message goes to the server and the exchange is given up at once: a retry
        // would send the interrupted request again.
        m_interrupted = true;
        m_engine.abandonExchange();
    } else if (m_exchangeTimeoutMs > 0 && tick * kTickMs >= m_exchangeTimeoutMs && !m_timedOut) {
        m_timedOut = true;
        m_engine.abandonExchange();
    }
}

bool CliRunner::askYesNo(const QString &text)
{
    m_question = text;
    return false;
}

int CliRunner::fail(int exitStatus, const QString &text, const QString &returnCode)
{
    m_exit = exitStatus;
    m_error = text;
    m_returnCode = returnCode;
    return exitStatus;
}

int CliRunner::run()
{
    if (m_options.command->id == CommandId::Servers) {
        m_exit = cmdServers();
        printReport();
        return m_exit;
    }
    if (!checkLocalInput() || !prepareConnection()) {
        printReport();
        return m_exit;
    }
    Terminal::catchInterrupts();
    m_started.start();
    if (!login()) {
        if (m_interrupted) {
            // The server may have registered us before the answer was given up.
            m_registered = true;
            fail(Exit::Interrupted, tr("interrupted"));
        }
        logout();
        printReport();
        return m_exit;
    }
    if (commandAllowed())
        m_exit = dispatch();
    if (m_interrupted || Terminal::interrupted())
        fail(Exit::Interrupted, tr("interrupted"));
    logout();
    printReport();
    return m_exit;
}

// --- connection --------------------------------------------------------------------------------

QString CliRunner::databaseNameProblem(const QString &name, const QString &shown)
{
    if (isPrintableDatabaseName(name))
        return {};
    return tr("the database name \"%1\" is empty or holds a line break or another control character")
        .arg(shown.isNull() ? name : shown);
}

bool CliRunner::checkLocalInput()
{
    const CommandId id = m_options.command->id;
    if (takesDatabaseName(id)) {
        if (const QString problem = databaseNameProblem(m_options.args.at(0)); !problem.isEmpty()) {
            fail(Exit::Usage, problem);
            return false;
        }
    }
    QString bad;
    if (id == CommandId::UnlockRecords && !parseMfnArguments(m_options.args.mid(1), &m_mfns, &bad)) {
        fail(Exit::Usage, tr("\"%1\" is not an MFN (a whole number from 1)").arg(bad));
        return false;
    }
    if (id == CommandId::AccountsExport)
        return checkExportTarget(m_options.args.at(0));
    if (id == CommandId::AccountsImport)
        return readImportFile(m_options.args.at(0));
    return true;
}

bool CliRunner::checkExportTarget(const QString &path)
{
    if (path == u"-")
        return true;
    const QFileInfo target(path);
    // Links are followed: a link to a directory is a directory here.
    if (path.isEmpty() || target.isDir()) {
        fail(Exit::Usage,
            tr("%1 is a directory: give the name of the file to write the accounts to").arg(path));
        return false;
    }
    if (target.exists() && !target.isFile()) {
        fail(Exit::Usage, tr("%1 is not a regular file").arg(path));
        return false;
    }
    if (!target.exists() && !target.absoluteDir().exists()) {
        fail(Exit::Usage, tr("cannot write %1: there is no directory %2").arg(path, target.absolutePath()));
        return false;
    }
    return true;
}

bool CliRunner::readImportFile(const QString &path)
{
    QByteArray bytes;
    QString error;
    if (!readFileUpTo(path, AccountFile::MaxSize, &bytes, &error)) {
        fail(Exit::Usage, tr("cannot read %1").arg(error));
        return false;
    }
    AccountFile::Problem problem;
    auto entries = AccountFile::parse(bytes, &problem);
    wipe(bytes);
    if (!entries) {
        fail(Exit::Usage, tr("%1, line %2: %3").arg(path).arg(problem.line).arg(problem.reason));
        return false;
    }
    m_importEntries = std::move(*entries);
    return true;
}

bool CliRunner::prepareConnection()
{
    const QString path = m_options.config.isEmpty() ? currentDirFile(LocalIniFileName) : m_options.config;
    QString error;
    if (!m_settings.loadFile(path, &error)) {
        // Without the settings file every key has its default, but a file that is there and
        // cannot be read must not quietly send the login elsewhere.
        if (!error.isEmpty()) {
            fail(Exit::Usage, tr("cannot read the settings file %1").arg(error));
            return false;
        }
        if (!m_options.config.isEmpty()) {
            fail(Exit::Usage, tr("cannot read the settings file %1: no such file").arg(path));
            return false;
        }
    }
    m_host = m_settings.readString(LocalIniSection, u"ServerIP"_s, u"127.0.0.1"_s);
    m_port = m_settings.readString(LocalIniSection, u"ServerPort"_s, u"6666"_s);
    const QString settingsPort = m_port;
    if (!m_options.server.isEmpty()) {
        ServerBook book;
        const ServerChoice choice = chooseServer(m_options.server, m_port, book);
        if (!choice.warning.isEmpty())
            writeErr(u"tulvaa-cli: "_s + choice.warning + u'\n');
        if (!choice.error.isEmpty()) {
            fail(Exit::Usage, choice.error);
            return false;
        }
        m_host = choice.host;
        m_port = choice.port;
        m_serverNote = choice.note;
        if (choice.tunnel) {
            m_tunnel = std::make_unique<SshTunnel>(*choice.tunnel);
            m_tunnel->setAsk(sshAskMode(Terminal::stdinIsTerminal()));
            m_engine.setRoute(m_tunnel.get());
        }
    }
    // The engine would take a port it cannot use as 6666, and send the password there.
    if (!parsePortNumber(m_port, &m_port)) {
        const QString problem = m_port == settingsPort
            ? tr("ServerPort=%1 in %2 is no port number: give a whole number from 1 to 65535 (or --server "
                 "HOST:PORT)")
                  .arg(m_port, path)
            : tr("the port \"%1\" of --server %2 is no port number from 1 to 65535")
                  .arg(m_port, m_options.server);
        fail(Exit::Usage, problem);
        return false;
    }
    m_engine.setMaxAnswerSize(m_options.maxAnswerBytes > 0
            ? m_options.maxAnswerBytes
            : TulvaExchange::answerSizeFromText(
                m_settings.readString(LocalIniSection, u"MaxAnswerSize"_s, QString())));
    QString user = m_options.user;
    if (user.isEmpty())
        user = m_settings.readString(LocalIniSection, u"USERNAME"_s, QString());
    if (user.isEmpty())
        user = m_settings.readString(LocalIniSection, u"CLIENTNAME"_s, QString());
    if (user.isEmpty()) {
        fail(Exit::Usage, tr("no user name: give --user NAME or USERNAME in the settings file"));
        return false;
    }
    m_userName = upperCp1251(user);
    // The password leaves the environment at once: child processes and a look at this
    // process's environment do not find it.
    if (Terminal::takeSecretVariable("TULVA_PASSWORD", &m_password))
        return true;
    if (!Terminal::stdinIsTerminal()) {
        fail(Exit::Usage, tr("no password: set TULVA_PASSWORD or run on a terminal to be asked"));
        return false;
    }
    if (!Terminal::readSecretLine(tr("Password for %1 at %2: ").arg(m_userName, m_host), &m_password)) {
        fail(Exit::Usage, tr("no password given"));
        return false;
    }
    return true;
}

bool CliRunner::login()
{
    m_exchangeTimeoutMs = m_options.timeoutSeconds * 1000;
    m_interrupted = m_timedOut = false;
    m_question.clear();
    const int result = ConnectToServer(&m_engine, m_host, m_port, u"A"_s, m_answer, m_password, m_userName);
    // The engine keeps what the following requests need; this copy has served.
    wipe(m_password);
    if (result != OpResult::Accepted) {
        // Which server did not answer: with several servers that is the first thing to know.
        const QString server = m_host + u':' + m_port;
        QString text = u"Сервер недоступен. "_s
            + (m_timedOut ? tr("(%1: no answer within %2 s)").arg(server).arg(m_options.timeoutSeconds)
                          : u"(%1)"_s.arg(server));
        // The engine's own reason (an answer too large, a damaged one) says more than "unreachable".
        if (!m_timedOut && !m_question.isEmpty())
            text += u"\n"_s + m_question;
        if (!m_serverNote.isEmpty())
            text += u"\n"_s + m_serverNote;
        if (m_tunnel && !m_tunnel->isOpen() && !m_tunnel->lastError().isEmpty())
            text += u'\n'
                + tr("The SSH tunnel through %1 did not open: %2")
                      .arg(m_tunnel->sshSettings().sshHost, m_tunnel->lastError());
        fail(Exit::Failed, text);
        return false;
    }
    if (returnCodeOk(m_answer)) {
        m_registered = true;
        m_profile.setLines(m_answer.mid(1));
        return true;
    }
    if (m_answer.isEmpty()) {
        fail(Exit::Refused, u"Неверный пароль или имя пользователя."_s);
        return false;
    }
    int code = 0;
    if (!parseInteger(m_answer.first(), &code)) {
        fail(Exit::Failed, u"Ответ сервера \""_s + m_answer.first() + u"\" не является целым числом."_s);
        return false;
    }
    const QString returnCode = m_answer.first();
    switch (code) {
    case -3338:
        fail(Exit::Refused, Msg(1237), returnCode);
        break;
    case -3336:
        fail(Exit::Refused, Msg(1013), returnCode);
        break;
    case -3333:
        fail(Exit::Refused, Msg(944), returnCode);
        break;
    default:
        fail(Exit::Refused, Msg(1238), returnCode);
        // The server may hold a half-made registration under the name as typed.
        m_cancelOnInterrupt = false;
        m_engine.setClosing(true);
        m_engine.UnregisterClient(m_options.user.isEmpty() ? m_userName : m_options.user, m_answer);
        break;
    }
    return false;
}

void CliRunner::logout()
{
    if (!m_registered)
        return;
    m_registered = false;
    // Even after Ctrl+C or a failure the registration goes, without a question and within a
    // bounded wait.
    m_cancelOnInterrupt = false;
    m_exchangeTimeoutMs = 0;
    m_engine.setClosing(true);
    m_engine.setClosingWaitLimit(10000);
    QStringList answer;
    m_engine.UnregisterClient(m_userName, answer);
    // The tunnel ends after the unregistration, which went through it.
    m_engine.setRoute(nullptr);
    m_tunnel.reset();
}

bool CliRunner::commandAllowed()
{
    for (const QString &key : m_options.command->menuKeys) {
        const int value = m_profile.readInteger(LocalIniSection, key, 1);
        if ((value & 0xFF) == 0) {
            fail(Exit::Refused,
                tr("the profile of %1 does not allow this command (%2=%3)").arg(m_userName, key).arg(value));
            return false;
        }
    }
    return true;
}

bool CliRunner::call(const std::function<int(AnswerLines &)> &operation)
{
    if (Terminal::interrupted() && m_cancelOnInterrupt) {
        m_interrupted = true;
        fail(Exit::Interrupted, tr("interrupted"));
        return false;
    }
    m_exchangeTimeoutMs = m_options.timeoutSeconds * 1000;
    m_timedOut = false;
    m_question.clear();
    const int result = operation(m_answer);
    if (m_interrupted) {
        fail(Exit::Interrupted, tr("interrupted"));
        return false;
    }
    if (m_timedOut) {
        fail(Exit::Failed,
            u"Связь с сервером ТУЛВА64 прервана. "_s
                + tr("(no answer within %1 s)").arg(m_options.timeoutSeconds));
        return false;
    }
    if (result == OpResult::Busy) {
        fail(Exit::Failed, BusyCommandText);
        return false;
    }
    if (result != OpResult::Accepted) {
        fail(Exit::Failed, m_question.isEmpty() ? u"Связь с сервером ТУЛВА64 прервана."_s : m_question);
        return false;
    }
    return true;
}

int CliRunner::settle(
    int result, const ChangeCheck::Attempts &attempts, const std::function<ChangeCheck::Finding()> &check)
{
    if (m_exit == Exit::Interrupted || Terminal::interrupted())
        return m_exit;
    if (m_terminating) {
        // The engine gave up after its question (answered No here); the state is read the way
        // the logout reaches the server then.
        m_terminating = false;
        m_engine.setClosing(true);
    }
    if (!attempts.uncertain(result, returnCodeOk(m_answer)))
        return m_exit;
    // The reading gets its own time-out.
    m_timedOut = false;
    m_exchangeTimeoutMs = m_options.timeoutSeconds * 1000;
    const ChangeCheck::Finding finding = check();
    if (finding.outcome == ChangeCheck::Outcome::Done || finding.outcome == ChangeCheck::Outcome::Running) {
        m_exit = Exit::Done;
        m_error.clear();
        m_returnCode.clear();
        m_report.messages << finding.text;
        return Exit::Done;
    }
    if (m_exit == Exit::Done)
        m_exit = Exit::Refused;
    m_error = m_error.isEmpty() ? finding.text : m_error + u' ' + finding.text;
    return m_exit;
}

bool CliRunner::accepted(const QString &refusal)
{
    if (returnCodeOk(m_answer))
        return true;
    fail(Exit::Refused, refusal, m_answer.isEmpty() ? tr("(empty answer)") : m_answer.first());
    return false;
}

// --- shared steps ------------------------------------------------------------------------------

QString CliRunner::listFile() const
{
    return m_profile.readString(ProfileSection, u"DBNNAMECAT"_s, u"dbnam1.mnu"_s);
}

bool CliRunner::readDatabaseList(QList<DatabaseListEntry> *entries)
{
    const QString file = listFile();
    m_engine.ClearResourceCache();
    if (!call([&](AnswerLines &a) { return m_engine.ReadResourceCached(1, QString(), file, a); }))
        return false;
    *entries = databaseListEntries(m_answer);
    return true;
}

bool CliRunner::listedDatabase(const QString &typed, DatabaseListEntry *entry)
{
    QList<DatabaseListEntry> entries;
    if (!readDatabaseList(&entries))
        return false;
    const qsizetype row = findDatabase(entries, typed);
    if (row < 0) {
        fail(Exit::Refused, tr("the server's database list has no database %1").arg(typed));
        return false;
    }
    *entry = entries.at(row);
    return true;
}

qsizetype CliRunner::findDatabase(const QList<DatabaseListEntry> &entries, const QString &name)
{
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool CliRunner::readDatabaseState(const QString &name, DatabaseState *state)
{
    if (!call([&](AnswerLines &a) { return m_engine.GetDatabaseInfo(name, a); }))
        return false;
    const DatabaseInfoReading reading = readDatabaseInfo(OpResult::Accepted, m_answer);
    if (!reading.state) {
        const QString text
            = u"База данных "_s + name + u" не открыта: "_s + databaseInfoErrorReason(reading.error);
        if (reading.error.kind == DatabaseInfoError::Refused)
            fail(Exit::Refused, text, reading.error.detail);
        else
            fail(Exit::Failed, text);
        return false;
    }
    *state = *reading.state;
    return true;
}

bool CliRunner::loadProcesses(QList<QStringList> *rows)
{
    if (!call([&](AnswerLines &a) { return m_engine.GetProcessList(a); }))
        return false;
    if (!accepted(tr("the server refused its process list")))
        return false;
    *rows = parseProcessList(m_answer).rows;
    return true;
}

bool CliRunner::pause(int ms)
{
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (Terminal::interrupted() || t.elapsed() >= ms)
            loop.quit();
    });
    poll.start(qMin(ms, kTickMs));
    loop.exec();
    return !Terminal::interrupted();
}

void CliRunner::progress(const QString &text)
{
    if (m_options.quiet || !Terminal::stderrIsTerminal())
        return;
    writeErr(u"\r\033[K"_s + escapeControls(text));
    m_progressShown = !text.isEmpty();
}

ClientList::IniNames CliRunner::iniDefaults() const
{
    return ClientList::IniNames{
        m_profile.readString(ProfileSection, u"CATAL_INI"_s, u"tulvac.ini"_s),
        m_profile.readString(ProfileSection, u"READ_INI"_s, u"tulvar.ini"_s),
        m_profile.readString(ProfileSection, u"BOOKL_INI"_s, u"tulvab.ini"_s),
        m_profile.readString(ProfileSection, u"COMPL_INI"_s, u"tulvap.ini"_s),
        m_profile.readString(ProfileSection, u"BOOKPROVD_INI"_s, u"tulvak.ini"_s),
        m_profile.readString(ProfileSection, u"ADMIN_INI"_s, u"tulvaa.ini"_s),
    };
}

QString CliRunner::logFileName() const
{
    return m_engine.clientId() + u".ibf"_s;
}

bool CliRunner::writeOutput(const QByteArray &bytes)
{
    QString reason;
    if (writeStandardOutput(bytes, &reason))
        return true;
    QString text = u"tulvaa-cli: "_s + tr("cannot write to standard output: %1").arg(reason);
    // Scripts must not take a lost report for a command that was not carried out.
    if (m_exit == Exit::Done)
        text += u' ' + tr("(the command itself was carried out)");
    writeErr(text + u'\n');
    if (m_exit == Exit::Done)
        m_exit = Exit::WriteFailed;
    return false;
}

void CliRunner::printReport()
{
    if (CliMonitor::printOutput(*this))
        return;
    const bool hasReport = !m_report.messages.isEmpty() || !m_report.fields.isEmpty()
        || !m_report.table.columns.isEmpty() || !m_report.logKey.isEmpty();
    if (m_exit != Exit::Done && m_options.format == OutputFormat::Json) {
        if (hasReport) {
            m_report.fields.append(field(u"error"_s, QString(), m_error));
            m_report.fields.append(numberField(u"exit_status"_s, QString(), m_exit));
            if (!m_returnCode.isEmpty())
                m_report.fields.append(field(u"return_code"_s, QString(), m_returnCode));
            writeOutput(formatReport(m_report, OutputFormat::Json));
        } else {
            writeOutput(jsonError(m_error, m_returnCode, m_exit));
        }
    } else if (hasReport) {
        writeOutput(formatReport(m_report, m_options.format));
    }
    if (m_exit != Exit::Done && !m_error.isEmpty()) {
        QString text = u"tulvaa-cli: "_s + m_error;
        if (!m_returnCode.isEmpty())
            text += u' ' + tr("(return code %1)").arg(m_returnCode);
        // Our own texts may run over lines; whatever the server put into a line is escaped.
        QStringList lines = text.split(u'\n');
        for (QString &line : lines)
            line = escapeControls(line);
        writeErr(lines.join(u'\n') + u'\n');
    }
}

// --- commands ----------------------------------------------------------------------------------

int CliRunner::dispatch()
{
    if (takesDatabaseName(m_options.command->id) && !listedDatabase(m_options.args.at(0), &m_database))
        return m_exit;
    const QString &db = m_database.name;
    switch (m_options.command->id) {
    case CommandId::Version:
        return cmdVersion();
    case CommandId::Databases:
        return cmdDatabases();
    case CommandId::Stats:
        return cmdStats();
    case CommandId::Processes:
        return cmdProcesses();
    case CommandId::Stop:
        return cmdStop();
    case CommandId::Clients:
        return cmdClients();
    case CommandId::Unregister:
        return cmdUnregister();
    case CommandId::Clear:
        return cmdClear();
    case CommandId::Actualize:
        return cmdActualize();
    case CommandId::Unlock:
        return cmdUnlock();
    case CommandId::UnlockRecords:
        return cmdUnlockRecords();
    case CommandId::LoadDictionary:
        return runJob(
            0, db, [&](AnswerLines &a) { return m_engine.LoadInvertedFile(db, a); },
            u"Ошибка при запуске процесса создания словаря."_s, kLogCaption + Msg(403));
    case CommandId::ReorganizeDictionary:
        return runJob(
            1, db, [&](AnswerLines &a) { return m_engine.ReorganizeInvertedFile(db, a); },
            u"Ошибка при запуске процесса реорганизации словаря."_s, kLogCaption + Msg(408));
    case CommandId::ReorganizeMaster:
        return runJob(
            2, db, [&](AnswerLines &a) { return m_engine.ReorganizeMasterFile(db, a); },
            u"Ошибка при запуске процесса реорганизации файла документов."_s, kLogCaption + Msg(409));
    case CommandId::CreateDb:
        return cmdCreateDb();
    case CommandId::DeleteDb:
        return cmdDeleteDb();
    case CommandId::AccountsExport:
        return cmdAccountsExport();
    case CommandId::AccountsImport:
        return cmdAccountsImport();
    case CommandId::Restart:
        return cmdRestart();
    case CommandId::Servers:
        return cmdServers();
    case CommandId::Metrics:
    case CommandId::Check:
        return CliMonitor::run(*this);
    }
    return Exit::Usage;
}

int CliRunner::cmdVersion()
{
    if (!call([&](AnswerLines &a) { return m_engine.GetServerVersion(a); }))
        return m_exit;
    if (m_answer.size() < 5)
        return fail(Exit::Refused, u"The command not supported on server!"_s, m_answer.value(0));
    if (m_options.format == OutputFormat::Text) {
        m_report.messages << m_answer.at(1)
                          << u"Version="_s + m_answer.at(2) + u"    Clients Number="_s + m_answer.at(3)
                + u"    Max Clients Number="_s + m_answer.at(4);
    } else {
        m_report.fields << field(u"caption"_s, QString(), m_answer.at(1))
                        << field(u"version"_s, QString(), m_answer.at(2))
                        << field(u"clients"_s, QString(), m_answer.at(3))
                        << field(u"max_clients"_s, QString(), m_answer.at(4));
        if (m_answer.size() > 5)
            m_report.fields << field(u"started"_s, QString(), m_answer.at(5));
    }
    return Exit::Done;
}

int CliRunner::cmdDatabases()
{
    QList<DatabaseListEntry> entries;
    if (!readDatabaseList(&entries))
        return m_exit;
    m_report.table.key = u"databases"_s;
    m_report.table.columns = { { u"name"_s, Msg(181) }, { u"description"_s, Msg(461) } };
    for (const DatabaseListEntry &e : entries)
        m_report.table.rows.append({ e.name, e.description });
    return Exit::Done;
}

int CliRunner::cmdStats()
{
    const QString &name = m_database.name;
    DatabaseState s;
    if (!readDatabaseState(name, &s))
        return m_exit;
    m_report.fields << field(u"name"_s, Msg(181), name)
                    << field(u"description"_s, Msg(461), m_database.description)
                    << numberField(u"max_mfn"_s, Msg(462), s.maxMfn)
                    << field(u"locked"_s, Msg(463), (s.locked != 0) ? u"Да"_s : u"Нет"_s,
                           QJsonValue(s.locked != 0))
                    << numberField(u"locked_records"_s, Msg(842), s.lockedMfns.size())
                    << numberField(u"logically_deleted"_s, Msg(465), s.deletedMfns1.size())
                    << numberField(u"physically_deleted"_s, Msg(466), s.deletedMfns2.size())
                    << numberField(u"unactualized"_s, Msg(467), s.unactualizedMfns.size());
    return Exit::Done;
}

int CliRunner::cmdProcesses()
{
    if (!call([&](AnswerLines &a) { return m_engine.GetProcessList(a); }))
        return m_exit;
    if (!accepted(tr("the server refused its process list")))
        return m_exit;
    m_report.table = processTable(parseProcessList(m_answer));
    return Exit::Done;
}

int CliRunner::cmdStop()
{
    const QString number = m_options.args.at(0);
    QList<QStringList> rows;
    if (!loadProcesses(&rows))
        return m_exit;
    qsizetype row = -1;
    for (qsizetype r = 0; r < rows.size() && row < 0; ++r)
        if (rows.at(r).value(0) == number)
            row = r;
    if (row == 0)
        return fail(Exit::Usage, tr("process %1 is the server itself and cannot be stopped").arg(number));
    if (row < 0)
        return fail(Exit::Refused, tr("the server lists no process %1").arg(number));
    const QStringList &p = rows.at(row);
    const QString code = ProcessCommandCode(p.value(ProcessColumn::Name));
    const ChangeCheck::Attempts attempts(m_engine);
    int result = OpResult::Failed;
    if (!call([&](AnswerLines &a) { return result = m_engine.StopProcess(p.value(3), code, p.value(0), a); })
        || !accepted(tr("the server did not stop process %1").arg(number)))
        return settle(
            result, attempts, [&] { return ChangeCheck::processStopped(m_engine, number, p.value(3)); });
    m_report.messages << tr("Process %1 (%2) stopped.").arg(number, p.value(6));
    return Exit::Done;
}

int CliRunner::cmdClients()
{
    if (!call([&](AnswerLines &a) { return m_engine.GetRegisteredClients(a); }))
        return m_exit;
    if (!accepted(tr("the server refused its list of registered clients")))
        return m_exit;
    const auto clients = ClientList::parseRegisteredClients(m_answer);
    if (!clients)
        return fail(Exit::Failed, tr("the server's list of registered clients is damaged"));
    m_report.fields << field(u"requests"_s, Msg(1365), clients->requestCounter);
    m_report.table = registeredClientsTable(*clients);
    return Exit::Done;
}

int CliRunner::cmdUnregister()
{
    const QString id = m_options.args.at(0);
    if (id == m_engine.clientId())
        return fail(Exit::Usage, tr("%1 is this program's own registration").arg(id));
    const ChangeCheck::Attempts attempts(m_engine);
    int result = OpResult::Failed;
    if (!call([&](AnswerLines &a) { return result = m_engine.DeleteRegisteredClient(id, a); })
        || !accepted(tr("the server did not remove the registration of client %1").arg(id)))
        return settle(result, attempts, [&] { return ChangeCheck::registrationRemoved(m_engine, id); });
    m_report.messages << tr("Registration of client %1 removed.").arg(id);
    return Exit::Done;
}

int CliRunner::cmdClear()
{
    const QString &db = m_database.name;
    const ChangeCheck::Attempts attempts(m_engine);
    int result = OpResult::Failed;
    if (!call([&](AnswerLines &a) { return result = m_engine.ClearDatabase(db, a); })
        || !accepted(tr("the server did not clear database %1").arg(db)))
        return settle(result, attempts, [&] { return ChangeCheck::databaseCleared(m_engine, db); });
    m_report.messages << db + u" - "_s + Msg(456);
    return Exit::Done;
}

int CliRunner::cmdActualize()
{
    const QString &db = m_database.name;
    DatabaseState s;
    if (!readDatabaseState(db, &s))
        return m_exit;
    if (s.unactualizedMfns.isEmpty()) {
        m_report.messages << Msg(428);
        return Exit::Done;
    }
    if (s.locked != 0)
        return fail(Exit::Refused, Msg(429));
    if (!call([&](AnswerLines &a) { return m_engine.ActualizeDatabase(db, 0, a); }))
        return m_exit;
    if (!accepted(tr("the server did not actualize database %1").arg(db)))
        return m_exit;
    if (!readDatabaseState(db, &s))
        return m_exit;
    m_report.messages << tr("Database %1 actualized.").arg(db);
    m_report.fields << numberField(u"unactualized"_s, Msg(467), s.unactualizedMfns.size());
    return Exit::Done;
}

int CliRunner::cmdUnlock()
{
    const QString &db = m_database.name;
    DatabaseState s;
    if (!readDatabaseState(db, &s))
        return m_exit;
    if (s.locked == 0) {
        m_report.messages << db + u" - "_s + Msg(421);
        return Exit::Done;
    }
    const ChangeCheck::Attempts attempts(m_engine);
    int result = OpResult::Failed;
    if (!call([&](AnswerLines &a) { return result = m_engine.UnlockDatabase(db, a); })
        || (!returnCodeOk(m_answer) && attempts.uncertain(result, false)))
        return settle(result, attempts, [&] { return ChangeCheck::databaseUnlocked(m_engine, db); });
    const bool ok = returnCodeOk(m_answer);
    const QString code = m_answer.value(0);
    if (ok)
        m_report.messages << u"База данных "_s + db + u" разблокирована успешно"_s;
    if (!readDatabaseState(db, &s))
        return m_exit;
    if (s.locked != 0 || !ok)
        return fail(
            Exit::Refused, u"Базу данных "_s + db + u" разблокировать не удалось"_s, ok ? QString() : code);
    return Exit::Done;
}

int CliRunner::cmdUnlockRecords()
{
    const QString &db = m_database.name;
    const QList<qint32> &mfns = m_mfns;
    DatabaseState s;
    if (!readDatabaseState(db, &s))
        return m_exit;
    if (s.lockedMfns.isEmpty()) {
        m_report.messages << Msg(844);
        return Exit::Done;
    }
    const ChangeCheck::Attempts attempts(m_engine);
    int result = OpResult::Failed;
    if (!call([&](AnswerLines &a) { return result = m_engine.UnlockRecords(db, mfns, a); })
        || !accepted(tr("the server did not unlock the records")))
        return settle(result, attempts, [&] { return ChangeCheck::recordsUnlocked(m_engine, db, mfns); });
    if (!readDatabaseState(db, &s))
        return m_exit;
    m_report.messages << tr("Records unlocked.");
    m_report.fields << numberField(u"locked_records"_s, Msg(842), s.lockedMfns.size());
    return Exit::Done;
}

int CliRunner::runJob(int watchKind, const QString &dbName, const std::function<int(AnswerLines &)> &start,
    const QString &startFailure, const QString &logCaption,
    const std::function<ChangeCheck::Finding()> &recheck)
{
    const JobKind kind = jobKind(watchKind);
    const ChangeCheck::Attempts attempts(m_engine);
    int result = OpResult::Failed;
    const bool started = call([&](AnswerLines &a) { return result = start(a); }) && accepted(startFailure);
    // A start whose answer was lost is followed as a start when the server shows the job.
    if (!started && (!recheck || settle(result, attempts, recheck) != Exit::Done))
        return m_exit;
    // The watch begins once the server has taken the job.
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 watchLimitMs = qint64(m_options.jobTimeoutSeconds) * 1000;
    const QStringList immediateLog = started ? m_answer.mid(1) : QStringList();
    QList<QStringList> rows;
    if (!loadProcesses(&rows))
        return m_exit;
    QStringList log = immediateLog;
    if (findOwnActiveProcess(rows, m_engine.clientId(), kind.processName) > 0) {
        bool watchEnded = false;
        for (int tick = 1;; ++tick) {
            const qint64 s = elapsed.elapsed() / 1000;
            progress(
                u"%1 - %2  %3:%4"_s.arg(kind.caption, dbName).arg(s / 60).arg(s % 60, 2, 10, QChar(u'0')));
            const qint64 left = watchLimitMs > 0 ? watchLimitMs - elapsed.elapsed() : kWatchTickMs;
            if (left <= 0) {
                watchEnded = true;
                break;
            }
            if (!pause(int(qMin<qint64>(kWatchTickMs, left))))
                break;
            if (tick % kind.reloadTicks == 0) {
                QList<QStringList> fresh;
                if (!loadProcesses(&fresh)) {
                    if (m_exit == Exit::Interrupted)
                        break;
                    progress(QString());
                    return m_exit;
                }
                rows = fresh;
            }
            if (findOwnActiveProcess(rows, m_engine.clientId(), kind.processName) <= 0)
                break;
        }
        progress(QString());
        if (watchEnded && !Terminal::interrupted()) {
            // The job is the server's now: it goes on, and a later run or the workstation can
            // follow it in the process list.
            return fail(Exit::JobStillRunning,
                tr("the job %1 on database %2 still runs after %3 s (--job-timeout); it is left running on "
                   "the server")
                    .arg(kind.processName, dbName)
                    .arg(m_options.jobTimeoutSeconds));
        }
        if (Terminal::interrupted() || m_exit == Exit::Interrupted) {
            // Ctrl+C while watching stops the job, as the watch window's stop button does.
            m_interrupted = true;
            m_cancelOnInterrupt = false;
            const qsizetype row = findOwnActiveProcess(rows, m_engine.clientId(), kind.processName);
            const QString code
                = row > 0 ? ProcessCommandCode(rows.at(row).value(ProcessColumn::Name)) : QString();
            if (row > 0 && !code.isEmpty()) {
                const QStringList &p = rows.at(row);
                m_engine.StopProcess(p.value(3), code, p.value(0), m_answer);
                writeErr(returnCodeOk(m_answer)
                        ? u"tulvaa-cli: "_s + tr("the job %1 was stopped").arg(kind.processName) + u'\n'
                        : u"tulvaa-cli: "_s + tr("the job %1 could not be stopped").arg(kind.processName)
                            + u'\n');
            } else {
                writeErr(u"tulvaa-cli: "_s
                    + tr("the job %1 cannot be stopped from here; it goes on on the server")
                          .arg(kind.processName)
                    + u'\n');
            }
            return fail(Exit::Interrupted, tr("interrupted"));
        }
        m_engine.ClearResourceCache();
        if (!call(
                [&](AnswerLines &a) { return m_engine.ReadResourceCached(0, QString(), logFileName(), a); }))
            return m_exit;
        log = m_answer.toStringList();
    }
    m_report.messages << logCaption;
    m_report.fields << field(u"database"_s, Msg(181), dbName)
                    << field(u"process"_s, QString(), kind.processName);
    // The field lines are for scripts; people read the caption and the log.
    if (m_options.format == OutputFormat::Text)
        m_report.fields.clear();
    m_report.logKey = u"log"_s;
    m_report.log = log;
    return Exit::Done;
}

int CliRunner::cmdCreateDb()
{
    const QString name = m_options.args.at(0);
    // A line break would move the creation flag onto a line of its own.
    const QString description = oneLineDescription(m_options.args.at(1));
    if (!isValidDatabaseName(name))
        return fail(Exit::Usage, u"Not valid DB name"_s);
    if (isReservedDbName(name))
        return fail(Exit::Usage, u"Нельзя использовать резервное имя базы данных!"_s);
    if (const QString problem = descriptionProblem(description); !problem.isEmpty())
        return fail(Exit::Usage, problem);
    QList<DatabaseListEntry> entries;
    if (!readDatabaseList(&entries))
        return m_exit;
    if (findDatabase(entries, name) >= 0)
        return fail(Exit::Refused, u"Имя базы данных уже используется!"_s);
    const QString failure = u"Ошибка при запуске процесса создания новой БД."_s;
    const int status = runJob(
        3, name,
        [&](AnswerLines &a) {
            return m_engine.CreateDatabase(name, description, !m_options.noDictionary, a);
        },
        failure, kLogCaption + Msg(394),
        [&] { return ChangeCheck::databaseCreated(m_engine, listFile(), name); });
    if (status != Exit::Done)
        return status;
    if (!readDatabaseList(&entries))
        return m_exit;
    if (findDatabase(entries, upperCp1251(name)) < 0)
        return fail(Exit::Refused, failure);
    return Exit::Done;
}

int CliRunner::cmdDeleteDb()
{
    // The list's spelling, as the workstation would send it.
    const QString name = m_database.name;
    QList<DatabaseListEntry> entries;
    if (isReservedDbName(name))
        return fail(Exit::Usage, name + u" - "_s + Msg(890));
    DatabaseState s;
    if (!readDatabaseState(name, &s))
        return m_exit;
    if (s.locked != 0)
        return fail(Exit::Refused, Msg(429));
    if (!s.lockedMfns.isEmpty())
        return fail(Exit::Refused, Msg(430));
    const int status = runJob(
        4, name, [&](AnswerLines &a) { return m_engine.DeleteDatabase(name, a); },
        u"Ошибка при запуске процесса удаления БД."_s, kLogCaption + Msg(273),
        [&] { return ChangeCheck::databaseDeleted(m_engine, listFile(), name); });
    if (status != Exit::Done)
        return status;
    if (!readDatabaseList(&entries))
        return m_exit;
    if (findDatabase(entries, name) >= 0)
        return fail(Exit::Refused, tr("database %1 is still in the server's database list").arg(name));
    return Exit::Done;
}

int CliRunner::cmdAccountsExport()
{
    const QString path = m_options.args.at(0);
    if (!call([&](AnswerLines &a) { return m_engine.GetClientList(a); }))
        return m_exit;
    if (!accepted(tr("the server refused its client list")))
        return m_exit;
    QString error;
    const auto table = ClientList::parseAccountTable(m_answer, &error);
    // A backup that misses accounts would remove them when it is restored.
    if (!table)
        return fail(Exit::Failed, tr("the server's client list is incomplete: %1").arg(error));
    m_answer.clear();
    QList<ClientList::Account> accounts = ClientList::accountsFromRows(table->rows, table->passwords);
    QByteArray text;
    for (const QString &line : ClientList::buildClientListText(accounts, iniDefaults()))
        text += TextCodec::toBytes(line) + "\r\n";
    // The backup is written whatever the server holds, but an account that the import would
    // refuse is named now, not on the day of the restore.
    AccountFile::Problem problem;
    const bool importable = AccountFile::parse(text, &problem).has_value();
    if (path == u"-") {
        const bool written = writeStandardOutput(text, &error);
        wipe(text);
        if (!written)
            return fail(Exit::WriteFailed, tr("cannot write to standard output: %1").arg(error));
    } else {
        QSaveFile file(path);
        // The file holds passwords: readable by its owner only from its first byte on. Every
        // step is checked; on any failure the temporary file goes and an old file stays as it was.
        const bool written = file.open(QIODevice::WriteOnly)
            && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            && file.write(text) == text.size() && file.flush() && file.commit();
        wipe(text);
        if (!written) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return fail(Exit::WriteFailed,
                tr("cannot write %1: %2 (nothing was written; an existing file is left as it was)")
                    .arg(path, reason));
        }
        m_report.messages << tr("%1 accounts written to %2.").arg(accounts.size()).arg(path);
        m_report.fields << field(u"file"_s, QString(), path)
                        << numberField(u"accounts"_s, QString(), accounts.size());
        if (m_options.format == OutputFormat::Text)
            m_report.fields.clear();
    }
    if (!importable)
        writeErr(escapeControls(u"tulvaa-cli: "_s
                     + tr("warning: accounts import will refuse this list until the account is edited in the "
                          "workstation: line %1: %2")
                           .arg(problem.line)
                           .arg(problem.reason))
            + u'\n');
    return Exit::Done;
}

int CliRunner::cmdAccountsImport()
{
    const QString path = m_options.args.at(0);
    const ClientList::IniNames defaults = iniDefaults();
    QList<ClientList::Account> wanted = AccountFile::accounts(m_importEntries, defaults);
    // The text as it will be sent: repeated accounts marked as the workstation marks them.
    const QStringList lines = ClientList::buildClientListText(wanted, defaults);
    if (!call([&](AnswerLines &a) { return m_engine.GetClientList(a); }))
        return m_exit;
    if (!accepted(tr("the server refused its client list")))
        return m_exit;
    QString error;
    const auto table = ClientList::parseAccountTable(m_answer, &error);
    if (!table)
        return fail(Exit::Failed, tr("the server's client list is incomplete: %1").arg(error));
    m_answer.clear();
    const QList<Column> changeColumns{ { u"change"_s, u"±"_s }, { u"name"_s, tr("NAME") },
        { u"what"_s, QString() } };
    const QList<AccountChange> changes
        = accountChanges(ClientList::accountsFromRows(table->rows, table->passwords), wanted);
    if (changes.isEmpty()) {
        // Nothing is sent: the same accounts in another order are no change worth a save.
        m_report.messages << tr("The server's accounts already match %1; nothing to write.").arg(path);
        if (m_options.format == OutputFormat::Json) {
            m_report.table.key = u"changes"_s;
            m_report.table.columns = changeColumns;
        }
        return Exit::Done;
    }
    m_report.table.key = u"changes"_s;
    m_report.table.columns = changeColumns;
    for (const AccountChange &c : changes)
        m_report.table.rows.append({ QString(c.kind), c.name, c.what });
    if (!m_options.yes)
        return fail(
            Exit::Usage, tr("nothing written: add --yes to replace the server's accounts with %1").arg(path));
    const ChangeCheck::Attempts attempts(m_engine);
    int result = OpResult::Failed;
    if (!call([&](AnswerLines &a) { return result = m_engine.SaveClientList(lines, a); })
        || !accepted(tr("the server did not save the client list")))
        return settle(
            result, attempts, [&] { return ChangeCheck::clientListSaved(m_engine, lines, iniDefaults()); });
    m_report.messages << u"Список клиентов для доступа к серверу сохранен успешно"_s;
    return Exit::Done;
}

int CliRunner::cmdRestart()
{
    if (!call([&](AnswerLines &a) { return m_engine.RestartServer(a); }))
        return m_exit;
    if (!accepted(tr("the server did not restart")))
        return m_exit;
    m_report.messages << u"Сервер перестартован успешно."_s;
    return Exit::Done;
}

int CliRunner::cmdServers()
{
    ServerBook book;
    QString error;
    if (!savedServersReport(book, &m_report, &error))
        return fail(Exit::Failed, error);
    return Exit::Done;
}
