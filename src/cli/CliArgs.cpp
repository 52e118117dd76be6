#include "CliArgs.h"

#include "exchange/Exchange.h"

#include <QCoreApplication>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// The translation context of the help and of the usage errors.
class CliArgs
{
    Q_DECLARE_TR_FUNCTIONS(CliArgs)
};

} // namespace

const QList<CommandInfo> &commandCatalogue()
{
    static const QList<CommandInfo> catalogue{
        { CommandId::Version, u"version"_s, QString(), 0, 0, false, { u"ServerItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Show the server's version and its number of clients."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Sends the version request (command 1) and prints the caption, the version, the\n"
                "registered clients and the most clients allowed.") },
        { CommandId::Databases, u"databases"_s, QString(), 0, 0, false,
            { u"DataBaseItem"_s, u"OpenDBItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "List the server's databases with their descriptions."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Reads the server's database list (the file named by DBNNAMECAT of the profile).") },
        { CommandId::Stats, u"stats"_s, u"DB"_s, 1, 1, false, { u"DataBaseItem"_s, u"OpenDBItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Show the statistics of database DB."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Prints the rows of the workstation's statistics grid: name, description, max MFN, lock\n"
                "flag and the numbers of locked, deleted and unactualized records.") },
        { CommandId::Processes, u"processes"_s, QString(), 0, 0, false,
            { u"ServerItem"_s, u"ServerProcessListItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "List the server's processes."),
            QT_TRANSLATE_NOOP(
                "CliArgs", "Prints the server's process list (command +3); row 1 is the server itself.") },
        { CommandId::Stop, u"stop"_s, u"NUMBER"_s, 1, 1, false,
            { u"ServerItem"_s, u"ServerProcessListItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Stop process NUMBER of the process list."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Finds the process by its number (column \"№\") and sends the stop request with its\n"
                "client id, the command code of its process name and its number. The server itself\n"
                "cannot be stopped.") },
        { CommandId::Clients, u"clients"_s, QString(), 0, 0, false,
            { u"ServerItem"_s, u"ServerCurrentClientListItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "List the clients registered at the server now."),
            QT_TRANSLATE_NOOP(
                "CliArgs", "Prints the server's request counter and the registered clients (command +1).") },
        { CommandId::Unregister, u"unregister"_s, u"ID"_s, 1, 1, false,
            { u"ServerItem"_s, u"ServerCurrentClientListItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Remove the registration of client ID."),
            QT_TRANSLATE_NOOP(
                "CliArgs", "Sends command +6 with the client id (column \"Идентификатор\" of `clients`).") },
        { CommandId::Clear, u"clear"_s, u"DB"_s, 1, 1, true, { u"DataBaseItem"_s, u"ClearDBItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Delete every record of database DB (needs --yes)."),
            QT_TRANSLATE_NOOP("CliArgs", "Sends the clear request (command S). Destructive: needs --yes.") },
        { CommandId::Actualize, u"actualize"_s, u"DB"_s, 1, 1, false, { u"ActualItem"_s, u"ActualIfItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Actualize the unactualized records of database DB."),
            QT_TRANSLATE_NOOP(
                "CliArgs", "Does nothing when DB has no unactualized records; refuses a locked database.") },
        { CommandId::Unlock, u"unlock"_s, u"DB"_s, 1, 1, false,
            { u"DataBaseItem"_s, u"UnLockItem"_s, u"UnLockDBItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Unlock database DB."),
            QT_TRANSLATE_NOOP(
                "CliArgs", "Does nothing when DB is not locked; reads the lock flag again afterwards.") },
        { CommandId::UnlockRecords, u"unlock-records"_s, u"DB MFN..."_s, 2, -1, false,
            { u"DataBaseItem"_s, u"UnLockItem"_s, u"UnLockRecordItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Unlock the records MFN... of database DB."),
            QT_TRANSLATE_NOOP("CliArgs", "Sends the MFNs in the order given (command Q).") },
        { CommandId::LoadDictionary, u"load-dictionary"_s, u"DB"_s, 1, 1, false,
            { u"ActualItem"_s, u"LoadIfItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Build the dictionary of DB anew; wait, print the job's log."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Starts the server job TULVA_CREATE_DICT, waits until it leaves the process list, then\n"
                "prints the job's result log.") },
        { CommandId::ReorganizeDictionary, u"reorganize-dictionary"_s, u"DB"_s, 1, 1, false,
            { u"ActualItem"_s, u"ReorgIfItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Reorganize the dictionary of DB; wait, print the log."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Starts the server job TULVA_RELOAD_DICT, waits until it leaves the process list, then\n"
                "prints the job's result log.") },
        { CommandId::ReorganizeMaster, u"reorganize-master"_s, u"DB"_s, 1, 1, false,
            { u"ActualItem"_s, u"ReorgMfItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Reorganize the master file of DB; wait, print the log."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Starts the server job TULVA_RELOAD_MASTER, waits until it leaves the process list,\n"
                "then prints the job's result log.") },
        { CommandId::CreateDb, u"create-db"_s, u"NAME DESCRIPTION"_s, 2, 2, false,
            { u"DataBaseItem"_s, u"NewDBItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Create database NAME; wait, print the log."),
            QT_TRANSLATE_NOOP("CliArgs",
                "NAME: 1 to 8 characters, a Latin letter or \"_\" first, then Latin letters, digits or\n"
                "\"_\"; reserved names and names already listed are refused. The database is created\n"
                "with a search dictionary unless --no-dictionary is given.") },
        { CommandId::DeleteDb, u"delete-db"_s, u"NAME"_s, 1, 1, true,
            { u"DataBaseItem"_s, u"DeleteDBItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Delete database NAME (needs --yes); wait, print the log."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Refuses reserved databases, a locked database and one with locked records.\n"
                "Destructive: needs --yes.") },
        { CommandId::AccountsExport, u"accounts export"_s, u"FILE"_s, 1, 1, false,
            { u"ServerItem"_s, u"ServerClientListItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Write the server's client accounts to FILE."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Writes the client list text (name, password, workstation INI line per account, then\n"
                "\"*****\"; Windows-1251, CR LF) readable only by its owner. FILE \"-\" is standard\n"
                "output. An existing FILE is replaced only once the whole list is written; a directory\n"
                "is refused.") },
        { CommandId::AccountsImport, u"accounts import"_s, u"FILE"_s, 1, 1, true,
            { u"ServerItem"_s, u"ServerClientListItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Replace the server's client accounts with FILE (needs --yes)."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Reads a client list text as written by `accounts export`, prints what would change\n"
                "(accounts added, removed, changed; passwords are never shown) and writes it to the\n"
                "server only with --yes. A file of any other shape (lines missing, another encoding, a\n"
                "byte order mark, zero bytes) is refused with its first bad line before the server is\n"
                "asked.") },
        { CommandId::Restart, u"restart"_s, QString(), 0, 0, true,
            { u"ServerItem"_s, u"ServerRestartItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Restart the server (needs --yes)."),
            QT_TRANSLATE_NOOP("CliArgs", "Sends the restart request (command +8). Needs --yes.") },
        { CommandId::Servers, u"servers"_s, QString(), 0, 0, false, {},
            QT_TRANSLATE_NOOP("CliArgs", "List the saved servers that --server NAME accepts."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Prints the servers saved in the workstation's login dialog (name, address, SSH tunnel)\n"
                "from the user's configuration folder; reaches no server.") },
        { CommandId::Metrics, u"metrics"_s, u"[DB...]"_s, 0, -1, false,
            { u"DataBaseItem"_s, u"OpenDBItem"_s, u"ServerItem"_s, u"ServerProcessListItem"_s,
                u"ServerCurrentClientListItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Print the server's figures for Prometheus (--output FILE)."),
            QT_TRANSLATE_NOOP("CliArgs",
                "Reads the version, the registered clients, the processes and the statistics of every\n"
                "listed database (or of DB...) and prints them in the Prometheus text exposition\n"
                "format, for the node exporter's textfile collector. --output FILE replaces FILE\n"
                "atomically (a temporary file in its folder, renamed over it); a run that fails still\n"
                "writes it, with tulva_exchange_success 0. Metrics: tulva_exchange_success,\n"
                "tulva_exchange_duration_seconds, tulva_server_info (labels version and caption),\n"
                "tulva_server_max_clients, tulva_registered_clients (this run's own registration left\n"
                "out), tulva_requests_total, tulva_processes_running (label name: every process name\n"
                "the workstation knows, and any other running one); per database (label database):\n"
                "tulva_database_max_mfn, tulva_database_locked, tulva_database_locked_records,\n"
                "tulva_database_logically_deleted_records, tulva_database_physically_deleted_records\n"
                "and tulva_database_unactualized_records.") },
        { CommandId::Check, u"check"_s, u"FIGURE [DB...]"_s, 1, -1, false,
            { u"DataBaseItem"_s, u"OpenDBItem"_s, u"ServerItem"_s, u"ServerProcessListItem"_s },
            QT_TRANSLATE_NOOP("CliArgs", "Monitoring plugin: test FIGURE against --warning/--critical."),
            QT_TRANSLATE_NOOP("CliArgs",
                "FIGURE: locked|unactualized|processes|response-time\n"
                "A plugin for Nagios-style monitoring systems: prints one status line with performance\n"
                "data after \"|\" and exits 0 OK, 1 WARNING, 2 CRITICAL or 3 UNKNOWN. locked and\n"
                "unactualized are the numbers of locked and of unactualized records of each listed\n"
                "database (or of DB...); processes is the number of running server processes;\n"
                "response-time is the seconds from the registration to the answer of the version\n"
                "request (every check reports that time as \"time\"). --warning and --critical take a\n"
                "range [@]START:END: the figure alerts outside START..END, or inside it with \"@\";\n"
                "START 0 and its colon may be left out, \"~\" is minus infinity, a missing END has no\n"
                "limit. So 10 alerts below 0 or above 10, 10: below 10, ~:10 above 10, 10:20 outside\n"
                "10..20, @10:20 inside it. Critical is tested first. An unreachable server is CRITICAL;\n"
                "wrong usage, or a refusal by the server, is UNKNOWN.") },
    };
    return catalogue;
}

namespace {

struct OptionHelp
{
    const char *syntax; // never translated: what is typed
    const char *text;
};

// Each text starts at column 24 (after two blanks when the syntax is longer); its further lines
// are indented to that column.
const OptionHelp kOptions[] = {
    { "--server NAME|HOST[:PORT]",
        QT_TRANSLATE_NOOP("CliArgs",
            "a saved server (see `servers`, its SSH tunnel included) or an\n"
            "address (default: ServerIP and ServerPort of the settings file)") },
    { "--user NAME",
        QT_TRANSLATE_NOOP("CliArgs", "user name (default: USERNAME, else CLIENTNAME of the settings file)") },
    { "--config FILE",
        QT_TRANSLATE_NOOP("CliArgs", "settings file (default: Ctulvaa.ini of the current directory)") },
    { "--format FORMAT", QT_TRANSLATE_NOOP("CliArgs", "text|tsv|json (default text)") },
    { "--timeout SECONDS",
        QT_TRANSLATE_NOOP(
            "CliArgs", "longest wait for one answer of the server (default 120; 0: no limit)") },
    { "--job-timeout SECONDS",
        QT_TRANSLATE_NOOP("CliArgs",
            "longest wait for a job to end (default 0: no limit); when it passes,\n"
            "the job is left running on the server and the exit status is 5") },
    { "--max-answer BYTES",
        QT_TRANSLATE_NOOP("CliArgs",
            "largest answer taken from the server (default: MaxAnswerSize of the\n"
            "settings file, else 1 GiB); a larger one is given up as a failure") },
    { "--yes",
        QT_TRANSLATE_NOOP(
            "CliArgs", "confirm a destructive command (clear, delete-db, accounts import, restart)") },
    { "--quiet", QT_TRANSLATE_NOOP("CliArgs", "no progress on standard error") },
    { "--no-dictionary",
        QT_TRANSLATE_NOOP("CliArgs", "create-db: create the database without a search dictionary") },
    { "--output FILE",
        QT_TRANSLATE_NOOP(
            "CliArgs", "metrics: replace FILE atomically instead of writing to standard output") },
    { "-w, --warning RANGE",
        QT_TRANSLATE_NOOP("CliArgs", "check: the range of the figure that gives WARNING") },
    { "-c, --critical RANGE",
        QT_TRANSLATE_NOOP("CliArgs", "check: the range of the figure that gives CRITICAL") },
    { "-h, --help", QT_TRANSLATE_NOOP("CliArgs", "this help; COMMAND --help: the help of one command") },
    { "--help-all", QT_TRANSLATE_NOOP("CliArgs", "the help of every command") },
    { "--version", QT_TRANSLATE_NOOP("CliArgs", "the version of tulvaa-cli") },
};

constexpr qsizetype kOptionColumn = 24;

QString optionsHelp()
{
    // help2man and the bash completion find the options by this heading and layout.
    QString out = CliArgs::tr("Options:") + u'\n';
    const QString indent(kOptionColumn, u' ');
    for (const OptionHelp &o : kOptions) {
        QString line = u"  "_s + QString::fromLatin1(o.syntax);
        line = line.size() + 2 > kOptionColumn ? line + u"  "_s : line.leftJustified(kOptionColumn);
        const QStringList lines = CliArgs::tr(o.text).split(u'\n');
        out += line + lines.first() + u'\n';
        for (qsizetype i = 1; i < lines.size(); ++i)
            out += indent + lines.at(i) + u'\n';
    }
    return out;
}

QString footer()
{
    return CliArgs::tr(
        "The password is read from the environment variable TULVA_PASSWORD, or asked for without\n"
        "echo when standard input is a terminal; it is never taken from the command line.\n"
        "Ctrl+C during a wait for the server sends the cancel message; while a job is waited for, it\n"
        "stops the job (a deletion cannot be stopped). Either way the tool unregisters and exits.\n\n"
        "Exit status: 0 done, 1 refused by the server (its return code on standard error), 2 connection\n"
        "or exchange failure, 3 wrong usage (nothing changed), 4 the output could not be written (an\n"
        "existing export file is left as it was), 5 the job still runs on the server after --job-timeout,\n"
        "130 interrupted by Ctrl+C.\n");
}

QString usageLine(const QString &what)
{
    return CliArgs::tr("Usage: tulvaa-cli [OPTIONS] %1").arg(what);
}

// Thirty days: longer than any job, short enough to be a number of seconds that is not a typo.
constexpr int kMaxJobTimeout = 30 * 86400;

bool takesValue(const QString &name)
{
    return name == u"server" || name == u"user" || name == u"config" || name == u"format"
        || name == u"timeout" || name == u"job-timeout" || name == u"max-answer" || name == u"output"
        || name == u"warning" || name == u"critical";
}

} // namespace

QString commandUsage(const CommandInfo &command)
{
    return command.operands.isEmpty() ? command.name : command.name + u' ' + command.operands;
}

QString commandSummary(const CommandInfo &command)
{
    return CliArgs::tr(command.summary);
}

QString commandText(const CommandInfo &command)
{
    return CliArgs::tr(command.help);
}

QString generalHelp()
{
    QString out = usageLine(CliArgs::tr("COMMAND [ARGUMENTS]")) + u"\n\n"_s
        + CliArgs::tr("Administers a TULVA64 database server from scripts: registers as an administrator's\n"
                      "workstation, runs one command and unregisters.")
        + u"\n\n"_s + CliArgs::tr("Commands:") + u'\n';
    for (const CommandInfo &c : commandCatalogue())
        out += u"  "_s + commandUsage(c).leftJustified(28) + commandSummary(c) + u'\n';
    return out + u'\n' + optionsHelp() + u'\n' + footer();
}

QString commandHelp(const CommandInfo &command)
{
    return usageLine(commandUsage(command)) + u"\n\n"_s + commandSummary(command) + u'\n'
        + commandText(command) + u"\n\n"_s + optionsHelp() + u'\n' + footer();
}

ParsedCommandLine parseCommandLine(const QStringList &arguments)
{
    ParsedCommandLine result;
    CliOptions &o = result.options;
    QStringList words;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (optionsEnded || !a.startsWith(u'-') || a == u"-") {
            words.append(a);
            continue;
        }
        if (a == u"--") {
            optionsEnded = true;
            continue;
        }
        if (a == u"-h" || a == u"--help") {
            o.help = true;
            continue;
        }
        // The short forms that monitoring plugins take.
        const QString longForm = a == u"-w" ? u"--warning"_s : a == u"-c" ? u"--critical"_s : a;
        if (!longForm.startsWith(u"--")) {
            result.error = CliArgs::tr("unknown option %1").arg(a);
            return result;
        }
        QString name = longForm.mid(2);
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = name.indexOf(u'='); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            hasValue = true;
        }
        if (name == u"password") {
            result.error
                = CliArgs::tr("the password is never given on the command line: set TULVA_PASSWORD or "
                              "type it when asked");
            return result;
        }
        if (takesValue(name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    result.error = CliArgs::tr("--%1 needs a value").arg(name);
                    return result;
                }
                value = arguments.at(++i);
            }
        } else if (hasValue) {
            result.error = CliArgs::tr("--%1 takes no value").arg(name);
            return result;
        }
        if (name == u"server") {
            o.server = value;
        } else if (name == u"user") {
            o.user = value;
        } else if (name == u"config") {
            o.config = value;
        } else if (name == u"format") {
            if (value == u"text")
                o.format = OutputFormat::Text;
            else if (value == u"tsv")
                o.format = OutputFormat::Tsv;
            else if (value == u"json")
                o.format = OutputFormat::Json;
            else {
                result.error = CliArgs::tr("--format is text, tsv or json");
                return result;
            }
        } else if (name == u"timeout") {
            bool ok = false;
            o.timeoutSeconds = value.toInt(&ok);
            if (!ok || o.timeoutSeconds < 0 || o.timeoutSeconds > 86400) {
                result.error = CliArgs::tr("--timeout needs whole seconds from 0 to %1").arg(86400);
                return result;
            }
        } else if (name == u"job-timeout") {
            bool ok = false;
            o.jobTimeoutSeconds = value.toInt(&ok);
            if (!ok || o.jobTimeoutSeconds < 0 || o.jobTimeoutSeconds > kMaxJobTimeout) {
                result.error
                    = CliArgs::tr("--job-timeout needs whole seconds from 0 to %1").arg(kMaxJobTimeout);
                return result;
            }
        } else if (name == u"max-answer") {
            o.maxAnswerBytes = TulvaExchange::answerSizeFromText(value);
            if (o.maxAnswerBytes <= 0) {
                result.error
                    = CliArgs::tr("--max-answer needs a whole number of bytes above 0 (decimal or 0x hex)");
                return result;
            }
        } else if (name == u"output") {
            o.output = value;
        } else if (name == u"warning") {
            o.warning = value;
        } else if (name == u"critical") {
            o.critical = value;
        } else if (name == u"help-all") {
            o.help = o.helpAll = true;
        } else if (name == u"version") {
            o.version = true;
        } else if (name == u"yes") {
            o.yes = true;
        } else if (name == u"quiet") {
            o.quiet = true;
        } else if (name == u"no-dictionary") {
            o.noDictionary = true;
        } else {
            result.error = CliArgs::tr("unknown option --%1").arg(name);
            return result;
        }
    }

    if (words.isEmpty()) {
        if (!o.help && !o.version)
            result.error = CliArgs::tr("no command given");
        return result;
    }
    if (words.first() == u"help") {
        o.help = true;
        words.removeFirst();
        if (words.isEmpty())
            return result;
    }
    qsizetype consumed = 1;
    QString name = words.first();
    if (name == u"accounts") {
        if (words.size() < 2) {
            if (!o.help)
                result.error = CliArgs::tr("accounts needs export or import");
            return result;
        }
        name += u' ' + words.at(1);
        consumed = 2;
    }
    for (const CommandInfo &c : commandCatalogue())
        if (c.name == name)
            o.command = &c;
    if (!o.command) {
        result.error = CliArgs::tr("unknown command \"%1\"").arg(name);
        return result;
    }
    o.args = words.mid(consumed);
    if (o.help)
        return result;
    const int n = int(o.args.size());
    if (n < o.command->minArgs || (o.command->maxArgs >= 0 && n > o.command->maxArgs)) {
        result.error = CliArgs::tr("usage: tulvaa-cli %1").arg(commandUsage(*o.command));
        return result;
    }
    if (o.command->needsYes && !o.yes && o.command->id != CommandId::AccountsImport) {
        result.error
            = CliArgs::tr("%1 changes the server for good: add --yes to confirm").arg(o.command->name);
        return result;
    }
    return result;
}

bool parseServerAddress(const QString &text, QString *host, QString *port)
{
    QString h = text;
    QString p;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return false;
        h = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return false;
            p = rest.mid(1);
        }
    } else if (text.count(u':') == 1) {
        const qsizetype colon = text.indexOf(u':');
        h = text.left(colon);
        p = text.mid(colon + 1);
    }
    if (h.isEmpty() || h.contains(u' '))
        return false;
    if (text.contains(u':') && !text.startsWith(u'[') && text.count(u':') == 1 && p.isEmpty())
        return false;
    if (!p.isEmpty() && !parsePortNumber(p, port))
        return false;
    *host = h;
    return true;
}

bool parsePortNumber(const QString &text, QString *port)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    const int n = text.toInt();
    if (n < 1 || n > 65535)
        return false;
    *port = QString::number(n);
    return true;
}

bool isPrintableDatabaseName(const QString &name)
{
    return !name.isEmpty()
        && std::none_of(name.cbegin(), name.cend(), [](QChar c) { return isControlCharacter(c.unicode()); });
}

bool parseMfnArguments(const QStringList &args, QList<qint32> *mfns, QString *bad)
{
    mfns->clear();
    for (const QString &a : args) {
        bool digits = !a.isEmpty() && a.size() <= 10;
        for (QChar c : a)
            digits = digits && c >= u'0' && c <= u'9';
        const qint64 v = digits ? a.toLongLong() : 0;
        if (!digits || v < 1 || v > 2147483647) {
            *bad = a;
            return false;
        }
        mfns->append(qint32(v));
    }
    return true;
}
