#pragma once

#include "CliOutput.h"

#include <QList>
#include <QString>
#include <QStringList>

// Exit statuses of tulvaa-cli.
namespace Exit {
inline constexpr int Done = 0;
inline constexpr int Refused = 1; // the server (or the state it reports) refused the command
inline constexpr int Failed = 2; // connection or exchange failure
inline constexpr int Usage = 3; // wrong usage; nothing was changed
inline constexpr int WriteFailed = 4; // the export file or standard output could not be written
inline constexpr int JobStillRunning = 5; // --job-timeout passed; the job goes on on the server
inline constexpr int Interrupted = 130; // Ctrl+C
} // namespace Exit

enum class CommandId {
    Version,
    Databases,
    Stats,
    Processes,
    Stop,
    Clients,
    Unregister,
    Clear,
    Actualize,
    Unlock,
    UnlockRecords,
    LoadDictionary,
    ReorganizeDictionary,
    ReorganizeMaster,
    CreateDb,
    DeleteDb,
    AccountsExport,
    AccountsImport,
    Restart,
    Servers, // the saved servers; needs no server
    Metrics,
    Check,
};

struct CommandInfo
{
    CommandId id;
    QString name; // "accounts export" for the two-word commands
    QString operands; // as shown in the usage line
    int minArgs;
    int maxArgs; // -1: no limit
    bool needsYes;
    // Profile keys of the main-menu items the command stands for; each must be enabled.
    QStringList menuKeys;
    // Source texts of the translation context "CliArgs"; commandSummary() and commandText() give
    // them in the user's language.
    const char *summary;
    const char *help;
};

const QList<CommandInfo> &commandCatalogue();

struct CliOptions
{
    QString server; // a saved server's name or HOST[:PORT], as given
    QString user;
    QString config; // settings file; empty: Ctulvaa.ini of the current directory
    OutputFormat format = OutputFormat::Text;
    bool yes = false;
    bool help = false;
    bool helpAll = false; // the help of every command
    bool version = false;
    bool quiet = false; // no progress on standard error
    bool noDictionary = false; // create-db: the creation flag 0
    int timeoutSeconds = 120; // longest wait for one answer; 0: no limit
    int jobTimeoutSeconds = 0; // longest watch of a job; 0: no limit
    qint64 maxAnswerBytes = 0; // largest answer taken; 0: MaxAnswerSize of the settings file
    QString output; // metrics: the file to replace; empty: standard output
    QString warning; // check: threshold ranges as given
    QString critical;
    const CommandInfo *command = nullptr;
    QStringList args;
};

struct ParsedCommandLine
{
    CliOptions options;
    QString error; // empty when the line is usable
};

// Arguments without the program name. Options may stand before or after the command; "--" ends
// them. A command line asking for help is usable even when the command's operands are missing.
ParsedCommandLine parseCommandLine(const QStringList &arguments);

QString generalHelp();
QString commandHelp(const CommandInfo &command);
// "stats DB": the command with its operands, as the usage lines show it.
QString commandUsage(const CommandInfo &command);
QString commandSummary(const CommandInfo &command);
QString commandText(const CommandInfo &command);

// "host", "host:port" or "[v6 address]:port". An empty port keeps *port unchanged.
bool parseServerAddress(const QString &text, QString *host, QString *port);

// A port as the settings or --server give it: decimal digits only, 1 to 65535 (leading zeros
// allowed). *port gets the plain number.
bool parsePortNumber(const QString &text, QString *port);

// Database names as typed: one line of printable characters. Anything else would put a second
// line into the request, so it is refused before the server is asked.
bool isPrintableDatabaseName(const QString &name);

// MFNs: whole decimal numbers from 1 to 2147483647.
bool parseMfnArguments(const QStringList &args, QList<qint32> *mfns, QString *bad);
