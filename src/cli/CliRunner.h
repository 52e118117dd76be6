#pragma once

#include "AccountFile.h"
#include "CliArgs.h"
#include "CliOutput.h"
#include "CliTables.h"
#include "database/ChangeCheck.h"
#include "database/DatabaseInfo.h"
#include "exchange/Exchange.h"
#include "exchange/SshTunnel.h"
#include "shell/IniDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

struct MonitorFigures;

// One run of tulvaa-cli: settings, login (A), the command, logout (B). Returns the exit status;
// the report goes to standard output, errors and progress to standard error.
class CliRunner : private ExchangeWindow
{
    Q_DECLARE_TR_FUNCTIONS(CliRunner)

public:
    explicit CliRunner(const CliOptions &options);
    int run();

private:
    friend class CliMonitor; // metrics and check, on this session

    // The engine's window: nothing to show; Ctrl+C and the time-out give the wait up, and every
    // question is answered No (a script cannot answer), its text kept as the reason.
    void waitBegins(bool background) override;
    void waitTick(int tick) override;
    void waitEnds() override { }
    bool askYesNo(const QString &text) override;
    void terminateProgram() override { m_terminating = true; }
    bool programTerminating() const override { return m_terminating; }

    // What can be checked without the server: database names, the export target, the import
    // file. Runs before the login, so a refused input sends nothing.
    bool checkLocalInput();
    bool checkExportTarget(const QString &path);
    bool readImportFile(const QString &path);
    // Settings, user and password; false with m_exit set when they cannot be had.
    bool prepareConnection();
    bool login();
    void logout();
    bool commandAllowed();
    int dispatch();

    // One server operation with Ctrl+C and the time-out watched; true when an answer came.
    bool call(const std::function<int(AnswerLines &)> &operation);
    // The answer's return code is "0"; else the command is refused with this text.
    bool accepted(const QString &refusal);
    int fail(int exitStatus, const QString &text, const QString &returnCode = QString());
    // After a request that changes the server's state did not end in a clean "0": when the
    // server may have acted all the same, its state read again decides. The change found there
    // ends the command as done, saying the answer was lost; otherwise the failure stands and says
    // what the server shows. Returns the exit status.
    int settle(int result, const ChangeCheck::Attempts &attempts,
        const std::function<ChangeCheck::Finding()> &check);

    QString listFile() const;
    bool readDatabaseList(QList<DatabaseListEntry> *entries);
    // The database named on the command line as the server's list spells it; refused (exit 1)
    // when the list does not hold it, so nothing is sent about a database the server lacks.
    bool listedDatabase(const QString &typed, DatabaseListEntry *entry);
    // Why a database name typed on the command line cannot go into a request (it is shown as
    // `shown` when given); empty when it can.
    static QString databaseNameProblem(const QString &name, const QString &shown = QString());
    // The list's spelling of a typed database name (letter case ignored), or -1.
    static qsizetype findDatabase(const QList<DatabaseListEntry> &entries, const QString &name);

    bool readDatabaseState(const QString &name, DatabaseState *state);
    bool loadProcesses(QList<QStringList> *rows);
    // Sleeps, returning false at once on Ctrl+C.
    bool pause(int ms);
    void progress(const QString &text);

    // Starts a long job, follows it until it ends and puts its log into the report.
    int runJob(int watchKind, const QString &dbName, const std::function<int(AnswerLines &)> &start,
        const QString &startFailure, const QString &logCaption,
        const std::function<ChangeCheck::Finding()> &recheck = {});

    int cmdVersion();
    int cmdDatabases();
    int cmdStats();
    int cmdProcesses();
    int cmdStop();
    int cmdClients();
    int cmdUnregister();
    int cmdClear();
    int cmdActualize();
    int cmdUnlock();
    int cmdUnlockRecords();
    int cmdCreateDb();
    int cmdDeleteDb();
    int cmdAccountsExport();
    int cmdAccountsImport();
    int cmdRestart();
    int cmdServers();

    ClientList::IniNames iniDefaults() const;
    QString logFileName() const;
    // Standard output, checked; a failure is reported and makes the exit status WriteFailed.
    bool writeOutput(const QByteArray &bytes);
    void printReport();

    CliOptions m_options;
    TulvaExchange m_engine;
    // Answers stay as the bytes received, decoded line by line where they are read.
    AnswerLines m_answer;
    IniDocument m_settings;
    IniDocument m_profile;
    QString m_host;
    QString m_port;
    QString m_serverNote; // why --server may not be what was meant
    QString m_userName;
    QString m_password;
    bool m_registered = false;
    DatabaseListEntry m_database; // the listed database of a command that names one
    QList<qint32> m_mfns; // unlock-records
    QList<AccountFile::Entry> m_importEntries;
    std::unique_ptr<SshTunnel> m_tunnel; // when the saved server names an SSH gateway

    // Watching the running exchange.
    bool m_cancelOnInterrupt = true;
    int m_exchangeTimeoutMs = 0;
    bool m_interrupted = false;
    bool m_timedOut = false;
    bool m_progressShown = false;
    bool m_terminating = false;
    QString m_question; // the last question the engine asked

    Report m_report;
    int m_exit = Exit::Done;
    QString m_error;
    QString m_returnCode;

    // metrics and check: what they read, and the time from the registration on.
    std::shared_ptr<MonitorFigures> m_monitor;
    QElapsedTimer m_started;
};
