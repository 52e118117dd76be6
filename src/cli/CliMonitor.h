#pragma once

#include "CliArgs.h"
#include "formats/Exposition.h"
#include "formats/PluginOutput.h"

#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

class CliRunner;

// The figures that one run of `metrics` or `check` read; a part that could not be read stays
// empty.
struct MonitorFigures
{
    struct Database
    {
        QString name;
        qint32 maxMfn = 0;
        bool locked = false;
        qint64 lockedRecords = 0;
        qint64 logicallyDeleted = 0;
        qint64 physicallyDeleted = 0;
        qint64 unactualized = 0;
    };

    std::optional<QString> caption; // of the version answer
    std::optional<QString> version;
    std::optional<qint64> maxClients;
    std::optional<qint64> registeredClients; // this run's own registration left out
    std::optional<qint64> requestCounter;
    // Running processes by process name; every name of the process name table is present.
    std::optional<QMap<QString, qint64>> runningProcesses;
    QList<Database> databases;
    double seconds = 0; // from the registration to the last answer
};

// The metric families of one run. `success`: every request was answered and accepted.
QList<MetricFamily> metricFamilies(const MonitorFigures &figures, bool success);

// The figures a check tests.
enum class CheckFigure { Locked, Unactualized, Processes, ResponseTime };
std::optional<CheckFigure> checkFigure(const QString &name);

struct CheckResult
{
    PluginStatus status = PluginStatus::Unknown;
    QString text;
    QList<PerfData> perfData;
};

// The verdict on figures that were read without a failure.
CheckResult checkResult(CheckFigure figure, const MonitorFigures &figures,
    const std::optional<ThresholdRange> &warning, const std::optional<ThresholdRange> &critical);

// The monitoring commands on the runner's session: they read what they need and print their own
// output (the exposition; the plugin's status line), whatever became of the exchange.
class CliMonitor
{
    Q_DECLARE_TR_FUNCTIONS(CliMonitor)

public:
    static inline const QString ServiceName = QStringLiteral("TULVA");

    // Options that belong to the other command, a bad figure or threshold; empty when usable.
    static QString usageError(const CliOptions &options);
    // The command line asks for `check`, whose usage errors are plugin output as well.
    static bool isCheckCommandLine(const QStringList &arguments);
    // The UNKNOWN status line for a usage error of `check`.
    static QString usageErrorLine(const QString &error);

    // The command itself: returns the exit status.
    static int run(CliRunner &runner);
    // Prints the output of the two commands and settles the exit status; false for any other
    // command. For `metrics` the runner still reports a failure on standard error.
    static bool printOutput(CliRunner &runner);

private:
    static void readVersion(CliRunner &r, MonitorFigures &figures);
    static void readClients(CliRunner &r, MonitorFigures &figures);
    static void readProcesses(CliRunner &r, MonitorFigures &figures);
    static void readDatabases(CliRunner &r, const QStringList &asked, MonitorFigures &figures);
};
