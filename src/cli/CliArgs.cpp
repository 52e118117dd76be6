#include "CliArgs.h"

#include "exchange/Exchange.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

const QList<CommandInfo> &commandCatalogue()
{
    static const QList<CommandInfo> catalogue{
        { CommandId::Version, u"version"_s, QString(), 0, 0, false, { u"ServerItem"_s },
            u"Show the server's version and its number of clients."_s,
            u"Sends the version request (command 1) and prints the caption, the version, the registered\n"
            "clients and the most clients allowed."_s },
        { CommandId::Databases, u"databases"_s, QString(), 0, 0, false,
            { u"DataBaseItem"_s, u"OpenDBItem"_s }, u"List the server's databases with their descriptions."_s,
            u"Reads the server's database list (the file named by DBNNAMECAT of the profile)."_s },
        { CommandId::Stats, u"stats"_s, u"DB"_s, 1, 1, false, { u"DataBaseItem"_s, u"OpenDBItem"_s },
            u"Show the statistics of database DB."_s,
            u"Prints the rows of the workstation's statistics grid: name, description, max MFN, lock\n"
            "flag and the numbers of locked, deleted and unactualized records."_s },
        { CommandId::Processes, u"processes"_s, QString(), 0, 0, false,
            { u"ServerItem"_s, u"ServerProcessListItem"_s }, u"List the server's processes."_s,
            u"Prints the server's process list (command +3); row 1 is the server itself."_s },
        { CommandId::Stop, u"stop"_s, u"NUMBER"_s, 1, 1, false,
            { u"ServerItem"_s, u"ServerProcessListItem"_s }, u"Stop process NUMBER of the process list."_s,
            u"Finds the process by its number (column \"№\") and sends the stop request with its client id,\n"
            "the command code of its process name and its number. The server itself cannot be stopped."_s },
        { CommandId::Clients, u"clients"_s, QString(), 0, 0, false,
            { u"ServerItem"_s, u"ServerCurrentClientListItem"_s },
            u"List the clients registered at the server now."_s,
            u"Prints the server's request counter and the registered clients (command +1)."_s },
        { CommandId::Unregister, u"unregister"_s, u"ID"_s, 1, 1, false,
            { u"ServerItem"_s, u"ServerCurrentClientListItem"_s }, u"Remove the registration of client ID."_s,
            u"Sends command +6 with the client id (column \"Идентификатор\" of `clients`)."_s },
        { CommandId::Clear, u"clear"_s, u"DB"_s, 1, 1, true, { u"DataBaseItem"_s, u"ClearDBItem"_s },
            u"Delete every record of database DB (needs --yes)."_s,
            u"Sends the clear request (command S). Destructive: needs --yes."_s },
        { CommandId::Actualize, u"actualize"_s, u"DB"_s, 1, 1, false, { u"ActualItem"_s, u"ActualIfItem"_s },
            u"Actualize the unactualized records of database DB."_s,
            u"Does nothing when DB has no unactualized records; refuses a locked database."_s },
        { CommandId::Unlock, u"unlock"_s, u"DB"_s, 1, 1, false,
            { u"DataBaseItem"_s, u"UnLockItem"_s, u"UnLockDBItem"_s }, u"Unlock database DB."_s,
            u"Does nothing when DB is not locked; reads the lock flag again afterwards."_s },
        { CommandId::UnlockRecords, u"unlock-records"_s, u"DB MFN..."_s, 2, -1, false,
            { u"DataBaseItem"_s, u"UnLockItem"_s, u"UnLockRecordItem"_s },
            u"Unlock the records MFN... of database DB."_s,
            u"Sends the MFNs in the order given (command Q)."_s },
        { CommandId::LoadDictionary, u"load-dictionary"_s, u"DB"_s, 1, 1, false,
            { u"ActualItem"_s, u"LoadIfItem"_s },
            u"Build the dictionary of DB anew; wait, print the job's log."_s,
            u"Starts the server job TULVA_CREATE_DICT, waits until it leaves the process list, then\n"
            "prints the job's result log."_s },
        { CommandId::ReorganizeDictionary, u"reorganize-dictionary"_s, u"DB"_s, 1, 1, false,
            { u"ActualItem"_s, u"ReorgIfItem"_s }, u"Reorganize the dictionary of DB; wait, print the log."_s,
            u"Starts the server job TULVA_RELOAD_DICT, waits until it leaves the process list, then\n"
            "prints the job's result log."_s },
        { CommandId::ReorganizeMaster, u"reorganize-master"_s, u"DB"_s, 1, 1, false,
            { u"ActualItem"_s, u"ReorgMfItem"_s },
            u"Reorganize the master file of DB; wait, print the log."_s,
            u"Starts the server job TULVA_RELOAD_MASTER, waits until it leaves the process list, then\n"
            "prints the job's result log."_s },
        { CommandId::CreateDb, u"create-db"_s, u"NAME DESCRIPTION"_s, 2, 2, false,
            { u"DataBaseItem"_s, u"NewDBItem"_s }, u"Create database NAME; wait, print the log."_s,
            u"NAME: 1 to 8 characters, a Latin letter or \"_\" first, then Latin letters, digits or \"_\";\n"
            "reserved names and names already listed are refused. The database is created with a search\n"
            "dictionary unless --no-dictionary is given."_s },
        { CommandId::DeleteDb, u"delete-db"_s, u"NAME"_s, 1, 1, true,
            { u"DataBaseItem"_s, u"DeleteDBItem"_s },
            u"Delete database NAME (needs --yes); wait, print the log."_s,
            u"Refuses reserved databases, a locked database and one with locked records. Destructive:\n"
            "needs --yes."_s },
        { CommandId::AccountsExport, u"accounts export"_s, u"FILE"_s, 1, 1, false,
            { u"ServerItem"_s, u"ServerClientListItem"_s }, u"Write the server's client accounts to FILE."_s,
            u"Writes the client list text (name, password, workstation INI line per account, then\n"
            "\"*****\"; Windows-1251, CR LF) readable only by its owner. FILE \"-\" is standard output.\n"
            "An existing FILE is replaced only once the whole list is written; a directory is refused."_s },
        { CommandId::AccountsImport, u"accounts import"_s, u"FILE"_s, 1, 1, true,
            { u"ServerItem"_s, u"ServerClientListItem"_s },
            u"Replace the server's client accounts with FILE (needs --yes)."_s,
            u"Reads a client list text as written by `accounts export`, prints what would change (accounts\n"
            "added, removed, changed; passwords are never shown) and writes it to the server only with\n"
            "--yes. A file of any other shape (lines missing, another encoding, a byte order mark, zero\n"
            "bytes) is refused with its first bad line before the server is asked."_s },
        { CommandId::Restart, u"restart"_s, QString(), 0, 0, true,
            { u"ServerItem"_s, u"ServerRestartItem"_s }, u"Restart the server (needs --yes)."_s,
            u"Sends the restart request (command +8). Needs --yes."_s },
        { CommandId::Servers, u"servers"_s, QString(), 0, 0, false, {},
            u"List the saved servers that --server NAME accepts."_s,
            u"Prints the servers saved in the workstation's login dialog (name, address, SSH tunnel) from\n"
            "the user's configuration folder; reaches no server."_s },
        { CommandId::Metrics, u"metrics"_s, u"[DB...]"_s, 0, -1, false,
            { u"DataBaseItem"_s, u"OpenDBItem"_s, u"ServerItem"_s, u"ServerProcessListItem"_s,
                u"ServerCurrentClientListItem"_s },
            u"Print the server's figures for Prometheus (--output FILE)."_s,
            u"Reads the version, the registered clients, the processes and the statistics of every listed\n"
            "database (or of DB...) and prints them in the Prometheus text exposition format, for the node\n"
            "exporter's textfile collector. --output FILE replaces FILE atomically (a temporary file in\n"
            "its folder, renamed over it); a run that fails still writes it, with tulva_exchange_success 0.\n"
            "Metrics: tulva_exchange_success, tulva_exchange_duration_seconds, tulva_server_info (labels\n"
            "version and caption), tulva_server_max_clients, tulva_registered_clients (this run's own\n"
            "registration left out), tulva_requests_total, tulva_processes_running (label name: every\n"
            "process name the workstation knows, and any other running one); per database (label\n"
            "database): tulva_database_max_mfn, tulva_database_locked, tulva_database_locked_records,\n"
            "tulva_database_logically_deleted_records, tulva_database_physically_deleted_records and\n"
            "tulva_database_unactualized_records."_s },
        { CommandId::Check, u"check"_s, u"FIGURE [DB...]"_s, 1, -1, false,
            { u"DataBaseItem"_s, u"OpenDBItem"_s, u"ServerItem"_s, u"ServerProcessListItem"_s },
            u"Monitoring plugin: test FIGURE against --warning/--critical."_s,
            u"FIGURE: locked|unactualized|processes|response-time\n"
            "A plugin for Nagios-style monitoring systems: prints one status line with performance data\n"
            "after \"|\" and exits 0 OK, 1 WARNING, 2 CRITICAL or 3 UNKNOWN. locked and unactualized are\n"
            "the numbers of locked and of unactualized records of each listed database (or of DB...);\n"
            "processes is the number of running server processes; response-time is the seconds from the\n"
            "registration to the answer of the version request (every check reports that time as \"time\").\n"
            "--warning and --critical take a range [@]START:END: the figure alerts outside START..END,\n"
            "or inside it with \"@\"; START 0 and its colon may be left out, \"~\" is minus infinity,\n"
            "a missing END has no limit. So 10 alerts below 0 or above 10, 10: below 10, ~:10 above\n"
            "10, 10:20 outside 10..20, @10:20 inside it. Critical is tested first. An unreachable\n"
            "server is CRITICAL; wrong usage, or a refusal by the server, is UNKNOWN."_s },
    };
    return catalogue;
}

namespace {

const QString kOptionsHelp
    = u"Options:\n"
      "  --server NAME|HOST[:PORT]  a saved server (see `servers`, its SSH tunnel included) or an\n"
      "                        address (default: ServerIP and ServerPort of the settings file)\n"
      "  --user NAME           user name (default: USERNAME, else CLIENTNAME of the settings file)\n"
      "  --config FILE         settings file (default: Ctulvaa.ini of the current directory)\n"
      "  --format FORMAT       text|tsv|json (default text)\n"
      "  --timeout SECONDS     longest wait for one answer of the server (default 120; 0: no limit)\n"
      "  --job-timeout SECONDS  longest wait for a job to end (default 0: no limit); when it passes,\n"
      "                        the job is left running on the server and the exit status is 5\n"
      "  --max-answer BYTES    largest answer taken from the server (default: MaxAnswerSize of the\n"
      "                        settings file, else 1 GiB); a larger one is given up as a failure\n"
      "  --yes                 confirm a destructive command (clear, delete-db, accounts import, restart)\n"
      "  --quiet               no progress on standard error\n"
      "  --no-dictionary       create-db: create the database without a search dictionary\n"
      "  --output FILE         metrics: replace FILE atomically instead of writing to standard output\n"
      "  -w, --warning RANGE   check: the range of the figure that gives WARNING\n"
      "  -c, --critical RANGE  check: the range of the figure that gives CRITICAL\n"
      "  -h, --help            this help; COMMAND --help: the help of one command\n"
      "  --help-all            the help of every command\n"
      "  --version             the version of tulvaa-cli\n"_s;

const QString kFooter
    = u"The password is read from the environment variable TULVA_PASSWORD, or asked for without\n"
      "echo when standard input is a terminal; it is never taken from the command line.\n"
      "Ctrl+C during a wait for the server sends the cancel message; while a job is waited for, it\n"
      "stops the job (a deletion cannot be stopped). Either way the tool unregisters and exits.\n\n"
      "Exit status: 0 done, 1 refused by the server (its return code on standard error), 2 connection\n"
      "or exchange failure, 3 wrong usage (nothing changed), 4 the output could not be written (an\n"
      "existing export file is left as it was), 5 the job still runs on the server after --job-timeout,\n"
      "130 interrupted by Ctrl+C.\n"_s;

// Thirty days: longer than any job, short enough to be a number of seconds that is not a typo.
constexpr int kMaxJobTimeout = 30 * 86400;

bool takesValue(const QString &name)
{
    return name == u"server" || name == u"user" || name == u"config" || name == u"format"
        || name == u"timeout" || name == u"job-timeout" || name == u"max-answer" || name == u"output"
        || name == u"warning" || name == u"critical";
}

} // namespace

QString generalHelp()
{
    QString out = u"Usage: tulvaa-cli [OPTIONS] COMMAND [ARGUMENTS]\n\n"
                  "Administers a TULVA64 database server from scripts: registers as an administrator's\n"
                  "workstation, runs one command and unregisters.\n\nCommands:\n"_s;
    for (const CommandInfo &c : commandCatalogue()) {
        const QString usage = c.operands.isEmpty() ? c.name : c.name + u' ' + c.operands;
        out += u"  "_s + usage.leftJustified(28) + c.summary + u'\n';
    }
    return out + u'\n' + kOptionsHelp + u'\n' + kFooter;
}

QString commandHelp(const CommandInfo &command)
{
    const QString usage = command.operands.isEmpty() ? command.name : command.name + u' ' + command.operands;
    return u"Usage: tulvaa-cli [OPTIONS] "_s + usage + u"\n\n"_s + command.summary + u'\n' + command.help
        + u"\n\n"_s + kOptionsHelp + u'\n' + kFooter;
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
            result.error = u"unknown option %1"_s.arg(a);
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
            result.error = u"the password is never given on the command line: set TULVA_PASSWORD or type it "
                           "when asked"_s;
            return result;
        }
        if (takesValue(name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    result.error = u"--%1 needs a value"_s.arg(name);
                    return result;
                }
                value = arguments.at(++i);
            }
        } else if (hasValue) {
            result.error = u"--%1 takes no value"_s.arg(name);
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
                result.error = u"--format is text, tsv or json"_s;
                return result;
            }
        } else if (name == u"timeout") {
            bool ok = false;
            o.timeoutSeconds = value.toInt(&ok);
            if (!ok || o.timeoutSeconds < 0 || o.timeoutSeconds > 86400) {
                result.error = u"--timeout needs whole seconds from 0 to 86400"_s;
                return result;
            }
        } else if (name == u"job-timeout") {
            bool ok = false;
            o.jobTimeoutSeconds = value.toInt(&ok);
            if (!ok || o.jobTimeoutSeconds < 0 || o.jobTimeoutSeconds > kMaxJobTimeout) {
                result.error = u"--job-timeout needs whole seconds from 0 to %1"_s.arg(kMaxJobTimeout);
                return result;
            }
        } else if (name == u"max-answer") {
            o.maxAnswerBytes = TulvaExchange::answerSizeFromText(value);
            if (o.maxAnswerBytes <= 0) {
                result.error = u"--max-answer needs a whole number of bytes above 0 (decimal or 0x hex)"_s;
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
            result.error = u"unknown option --%1"_s.arg(name);
            return result;
        }
    }

    if (words.isEmpty()) {
        if (!o.help && !o.version)
            result.error = u"no command given"_s;
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
                result.error = u"accounts needs export or import"_s;
            return result;
        }
        name += u' ' + words.at(1);
        consumed = 2;
    }
    for (const CommandInfo &c : commandCatalogue())
        if (c.name == name)
            o.command = &c;
    if (!o.command) {
        result.error = u"unknown command \"%1\""_s.arg(name);
        return result;
    }
    o.args = words.mid(consumed);
    if (o.help)
        return result;
    const int n = int(o.args.size());
    if (n < o.command->minArgs || (o.command->maxArgs >= 0 && n > o.command->maxArgs)) {
        const QString usage
            = o.command->operands.isEmpty() ? o.command->name : o.command->name + u' ' + o.command->operands;
        result.error = u"usage: tulvaa-cli %1"_s.arg(usage);
        return result;
    }
    if (o.command->needsYes && !o.yes && o.command->id != CommandId::AccountsImport) {
        result.error = u"%1 changes the server for good: add --yes to confirm"_s.arg(o.command->name);
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
