#include "CliMonitor.h"

#include "CliOutput.h"
#include "CliRunner.h"
#include "exchange/OpResult.h"
#include "server/ClientList.h"
#include "server/ProcessList.h"

#include <QSaveFile>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

MetricFamily gauge(const QString &name, const QString &help)
{
    return { name, help, u"gauge"_s, {} };
}

MetricSample sample(double value, const QList<std::pair<QString, QString>> &labels = {})
{
    return { labels, value };
}

std::optional<qint64> wholeNumber(const QString &text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

// The collector reads the file while this run writes it: a temporary file in the same folder is
// renamed over it once it is complete, so a half-written file is never read.
bool replaceFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

std::optional<ThresholdRange> thresholdOf(const QString &text)
{
    QString unused;
    return text.isEmpty() ? std::nullopt : parseThresholdRange(text, &unused);
}

QString figureName(CheckFigure figure)
{
    switch (figure) {
    case CheckFigure::Locked:
        return u"locked"_s;
    case CheckFigure::Unactualized:
        return u"unactualized"_s;
    case CheckFigure::Processes:
        return u"processes"_s;
    case CheckFigure::ResponseTime:
        break;
    }
    return u"response-time"_s;
}

} // namespace

// The help lines are not translated: Prometheus gathers a metric from many hosts, and its help is
// one text whatever locale cron ran in.
QList<MetricFamily> metricFamilies(const MonitorFigures &f, bool success)
{
    QList<MetricFamily> out;
    MetricFamily ok = gauge(u"tulva_exchange_success"_s,
        u"1 when every request of this run of tulvaa-cli was answered and accepted, else 0."_s);
    ok.samples.append(sample(success ? 1 : 0));
    out.append(ok);
    MetricFamily duration = gauge(u"tulva_exchange_duration_seconds"_s,
        u"Seconds from the registration at the server to the last answer of this run."_s);
    duration.samples.append(sample(f.seconds));
    out.append(duration);

    MetricFamily info = gauge(u"tulva_server_info"_s, u"The server's version and caption."_s);
    if (f.version)
        info.samples.append(
            sample(1, { { u"version"_s, *f.version }, { u"caption"_s, f.caption.value_or(QString()) } }));
    out.append(info);
    MetricFamily maxClients
        = gauge(u"tulva_server_max_clients"_s, u"Clients the server lets register at once."_s);
    if (f.maxClients)
        maxClients.samples.append(sample(double(*f.maxClients)));
    out.append(maxClients);
    MetricFamily clients = gauge(u"tulva_registered_clients"_s,
        u"Clients registered at the server, the registration of this run left out."_s);
    if (f.registeredClients)
        clients.samples.append(sample(double(*f.registeredClients)));
    out.append(clients);
    MetricFamily requests
        = { u"tulva_requests_total"_s, u"Requests the server has counted."_s, u"counter"_s, {} };
    if (f.requestCounter)
        requests.samples.append(sample(double(*f.requestCounter)));
    out.append(requests);

    MetricFamily processes = gauge(
        u"tulva_processes_running"_s, u"Server processes in the state \"Активный\", by process name."_s);
    if (f.runningProcesses)
        for (auto it = f.runningProcesses->cbegin(); it != f.runningProcesses->cend(); ++it)
            processes.samples.append(sample(double(it.value()), { { u"name"_s, it.key() } }));
    out.append(processes);

    struct PerDatabase
    {
        const char16_t *name;
        const char16_t *help;
        double (*value)(const MonitorFigures::Database &);
    };
    static const PerDatabase perDatabase[] = {
        { u"tulva_database_max_mfn", u"The highest MFN of the database.",
            [](const MonitorFigures::Database &d) { return double(d.maxMfn); } },
        { u"tulva_database_locked", u"1 when the database is locked, else 0.",
            [](const MonitorFigures::Database &d) { return d.locked ? 1.0 : 0.0; } },
        { u"tulva_database_locked_records", u"Locked records of the database.",
            [](const MonitorFigures::Database &d) { return double(d.lockedRecords); } },
        { u"tulva_database_logically_deleted_records", u"Logically deleted records of the database.",
            [](const MonitorFigures::Database &d) { return double(d.logicallyDeleted); } },
        { u"tulva_database_physically_deleted_records", u"Physically deleted records of the database.",
            [](const MonitorFigures::Database &d) { return double(d.physicallyDeleted); } },
        { u"tulva_database_unactualized_records",
            u"Records of the database whose dictionary entries are not yet actualized.",
            [](const MonitorFigures::Database &d) { return double(d.unactualized); } },
    };
    for (const PerDatabase &p : perDatabase) {
        MetricFamily family = gauge(QString::fromUtf16(p.name), QString::fromUtf16(p.help));
        for (const MonitorFigures::Database &d : f.databases)
            family.samples.append(sample(p.value(d), { { u"database"_s, d.name } }));
        out.append(family);
    }
    return out;
}

std::optional<CheckFigure> checkFigure(const QString &name)
{
    for (CheckFigure f :
        { CheckFigure::Locked, CheckFigure::Unactualized, CheckFigure::Processes, CheckFigure::ResponseTime })
        if (figureName(f) == name)
            return f;
    return std::nullopt;
}

CheckResult checkResult(CheckFigure figure, const MonitorFigures &figures,
    const std::optional<ThresholdRange> &warning, const std::optional<ThresholdRange> &critical)
{
    const QString w = warning ? warning->text : QString();
    const QString c = critical ? critical->text : QString();
    const PerfData time{ u"time"_s, figures.seconds, u"s"_s, QString(), QString(), 0.0, std::nullopt };
    CheckResult result;
    result.status = PluginStatus::Ok;

    if (figure == CheckFigure::ResponseTime) {
        result.status = thresholdStatus(figures.seconds, warning, critical);
        const QString seconds = formatPluginNumber(figures.seconds);
        result.text = figures.version
            ? CliMonitor::tr("answer in %1 s: %2, version %3")
                  .arg(seconds, figures.caption.value_or(QString()), *figures.version)
            : CliMonitor::tr("answer in %1 s").arg(seconds);
        result.perfData.append({ u"time"_s, figures.seconds, u"s"_s, w, c, 0.0, std::nullopt });
        return result;
    }

    if (figure == CheckFigure::Processes) {
        qint64 count = 0;
        QStringList running;
        if (figures.runningProcesses) {
            for (auto it = figures.runningProcesses->cbegin(); it != figures.runningProcesses->cend(); ++it) {
                count += it.value();
                if (it.value() > 0)
                    running.append(it.value() > 1 ? u"%1 × %2"_s.arg(it.value()).arg(it.key()) : it.key());
            }
        }
        result.status = thresholdStatus(double(count), warning, critical);
        result.text = running.isEmpty()
            ? CliMonitor::tr("%1 running processes").arg(count)
            : CliMonitor::tr("%1 running processes: %2").arg(count).arg(running.join(u", "_s));
        result.perfData.append({ u"processes"_s, double(count), QString(), w, c, 0.0, std::nullopt });
        result.perfData.append(time);
        return result;
    }

    // Locked or unactualized records of each database: the alerting ones are named first.
    const bool locked = figure == CheckFigure::Locked;
    QStringList alerting[3];
    for (const MonitorFigures::Database &d : figures.databases) {
        const qint64 n = locked ? d.lockedRecords : d.unactualized;
        const PluginStatus s = thresholdStatus(double(n), warning, critical);
        result.status = std::max(result.status, s);
        const QString entry = u"%1 %2"_s.arg(d.name).arg(n);
        if (s == PluginStatus::Critical)
            alerting[0].append(entry + u' ' + CliMonitor::tr("(critical)"));
        else if (s == PluginStatus::Warning)
            alerting[1].append(entry + u' ' + CliMonitor::tr("(warning)"));
        else
            alerting[2].append(entry);
        result.perfData.append({ (locked ? u"locked_"_s : u"unactualized_"_s) + escapeControls(d.name),
            double(n), QString(), w, c, 0.0, std::nullopt });
    }
    result.perfData.append(time);
    const QStringList all = alerting[0] + alerting[1] + alerting[2];
    const QString list = all.isEmpty() ? CliMonitor::tr("no database") : all.join(u", "_s);
    result.text = locked ? CliMonitor::tr("locked records: %1").arg(list)
                         : CliMonitor::tr("unactualized records: %1").arg(list);
    return result;
}

QString CliMonitor::usageError(const CliOptions &options)
{
    if (!options.command)
        return {};
    const bool metrics = options.command->id == CommandId::Metrics;
    const bool check = options.command->id == CommandId::Check;
    if (!options.output.isEmpty() && !metrics)
        return tr("--output is an option of metrics");
    if ((!options.warning.isEmpty() || !options.critical.isEmpty()) && !check)
        return tr("--warning and --critical are options of check");
    if ((metrics || check) && options.format != OutputFormat::Text)
        return tr("%1 prints a format of its own: --format does not apply").arg(options.command->name);
    if (metrics || check) {
        // A line break in a name would add lines to the request.
        for (const QString &name : options.args.mid(check ? 1 : 0))
            if (const QString problem = CliRunner::databaseNameProblem(name, escapeControls(name));
                !problem.isEmpty())
                return problem;
    }
    if (!check)
        return {};
    const std::optional<CheckFigure> figure = checkFigure(options.args.value(0));
    if (!figure)
        return tr("FIGURE is locked, unactualized, processes or response-time, not \"%1\"")
            .arg(options.args.value(0));
    if ((figure == CheckFigure::Processes || figure == CheckFigure::ResponseTime) && options.args.size() > 1)
        return tr("check %1 takes no database").arg(options.args.at(0));
    QString error;
    if (!options.warning.isEmpty() && !parseThresholdRange(options.warning, &error))
        return u"--warning: "_s + error;
    if (!options.critical.isEmpty() && !parseThresholdRange(options.critical, &error))
        return u"--critical: "_s + error;
    return {};
}

bool CliMonitor::isCheckCommandLine(const QStringList &arguments)
{
    // The command is the first word that is neither an option nor the value of one.
    static const QStringList valued{ u"--server"_s, u"--user"_s, u"--config"_s, u"--format"_s, u"--timeout"_s,
        u"--job-timeout"_s, u"--output"_s, u"--warning"_s, u"--critical"_s, u"-w"_s, u"-c"_s };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == u"--")
            return arguments.value(i + 1) == u"check";
        if (a.startsWith(u'-') && a != u"-") {
            if (valued.contains(a))
                ++i;
            continue;
        }
        return a == u"check";
    }
    return false;
}

QString CliMonitor::usageErrorLine(const QString &error)
{
    return pluginStatusLine(ServiceName, PluginStatus::Unknown, error, {});
}

int CliMonitor::run(CliRunner &r)
{
    auto figures = std::make_shared<MonitorFigures>();
    r.m_monitor = figures;
    const CliOptions &o = r.m_options;
    const bool metrics = o.command->id == CommandId::Metrics;
    const std::optional<CheckFigure> figure = metrics ? std::nullopt : checkFigure(o.args.value(0));
    // After a failed exchange the server is not asked again; after a refusal the rest still is.
    const auto goOn = [&] { return r.m_exit != Exit::Failed && r.m_exit != Exit::Interrupted; };

    if (metrics || figure == CheckFigure::ResponseTime)
        readVersion(r, *figures);
    if (metrics && goOn())
        readClients(r, *figures);
    if ((metrics || figure == CheckFigure::Processes) && goOn())
        readProcesses(r, *figures);
    if ((metrics || figure == CheckFigure::Locked || figure == CheckFigure::Unactualized) && goOn())
        readDatabases(r, metrics ? o.args : o.args.mid(1), *figures);
    figures->seconds = double(r.m_started.nsecsElapsed()) / 1e9;
    return r.m_exit;
}

void CliMonitor::readVersion(CliRunner &r, MonitorFigures &figures)
{
    if (!r.call([&](AnswerLines &a) { return r.m_engine.GetServerVersion(a); }))
        return;
    if (r.m_answer.size() < 5) {
        r.fail(Exit::Refused, u"The command not supported on server!"_s, r.m_answer.value(0));
        return;
    }
    figures.caption = r.m_answer.at(1);
    figures.version = r.m_answer.at(2);
    figures.maxClients = wholeNumber(r.m_answer.at(4));
}

void CliMonitor::readClients(CliRunner &r, MonitorFigures &figures)
{
    if (!r.call([&](AnswerLines &a) { return r.m_engine.GetRegisteredClients(a); }))
        return;
    if (!r.accepted(CliRunner::tr("the server refused its list of registered clients")))
        return;
    const auto clients = ClientList::parseRegisteredClients(r.m_answer);
    if (!clients) {
        r.fail(Exit::Failed, CliRunner::tr("the server's list of registered clients is damaged"));
        return;
    }
    qint64 others = 0;
    // Row 0 is the server itself.
    for (qsizetype i = 1; i < clients->rows.size(); ++i)
        if (clients->rows.at(i).value(4) != r.m_engine.clientId())
            ++others;
    figures.registeredClients = others;
    figures.requestCounter = wholeNumber(clients->requestCounter);
}

void CliMonitor::readProcesses(CliRunner &r, MonitorFigures &figures)
{
    QList<QStringList> rows;
    if (!r.loadProcesses(&rows))
        return;
    QMap<QString, qint64> running;
    for (const QString &name : processNames())
        running.insert(name, 0);
    // Row 0 is the server itself.
    for (qsizetype i = 1; i < rows.size(); ++i)
        if (rows.at(i).value(ProcessColumn::State) == activeProcessState())
            ++running[rows.at(i).value(ProcessColumn::Name)];
    figures.runningProcesses = running;
}

void CliMonitor::readDatabases(CliRunner &r, const QStringList &asked, MonitorFigures &figures)
{
    QStringList names = asked;
    if (names.isEmpty()) {
        QList<DatabaseListEntry> entries;
        if (!r.readDatabaseList(&entries))
            return;
        for (const DatabaseListEntry &e : entries)
            names.append(e.name);
    }
    for (const QString &name : names) {
        DatabaseState s;
        if (!r.readDatabaseState(name, &s)) {
            if (r.m_exit == Exit::Failed || r.m_exit == Exit::Interrupted)
                return;
            continue;
        }
        figures.databases.append({ name, s.maxMfn, s.locked != 0, s.lockedMfns.size(), s.deletedMfns1.size(),
            s.deletedMfns2.size(), s.unactualizedMfns.size() });
    }
}

bool CliMonitor::printOutput(CliRunner &r)
{
    const CommandInfo *command = r.m_options.command;
    if (!command || (command->id != CommandId::Metrics && command->id != CommandId::Check))
        return false;
    MonitorFigures figures = r.m_monitor ? *r.m_monitor : MonitorFigures();
    if (!r.m_monitor && r.m_started.isValid())
        figures.seconds = double(r.m_started.nsecsElapsed()) / 1e9;

    if (command->id == CommandId::Check) {
        QString line;
        if (r.m_exit == Exit::Done) {
            const CheckResult result = checkResult(*checkFigure(r.m_options.args.value(0)), figures,
                thresholdOf(r.m_options.warning), thresholdOf(r.m_options.critical));
            line = pluginStatusLine(ServiceName, result.status, escapeControls(result.text), result.perfData);
            r.m_exit = int(result.status);
        } else {
            // The server could not be reached or its answers were broken: that is the alarm. Anything
            // else means the figure could not be had.
            const PluginStatus status
                = r.m_exit == Exit::Failed ? PluginStatus::Critical : PluginStatus::Unknown;
            QString text = r.m_error;
            if (!r.m_returnCode.isEmpty())
                text += u' ' + CliRunner::tr("(return code %1)").arg(r.m_returnCode);
            line = pluginStatusLine(ServiceName, status, escapeControls(text), {});
            r.m_exit = int(status);
        }
        // A monitoring system that cannot read the line has no use for another one on stderr.
        QString unused;
        writeStandardOutput(line.toUtf8(), &unused);
        return true;
    }

    // Only a run that measured something writes: after wrong usage or Ctrl+C the file keeps what
    // the last run wrote.
    if (r.m_exit != Exit::Done && r.m_exit != Exit::Refused && r.m_exit != Exit::Failed)
        return false;
    const QByteArray text = exposition(metricFamilies(figures, r.m_exit == Exit::Done));
    QString error;
    if (r.m_options.output.isEmpty()) {
        if (!writeStandardOutput(text, &error))
            r.fail(Exit::WriteFailed, CliRunner::tr("cannot write to standard output: %1").arg(error));
    } else if (!replaceFile(r.m_options.output, text, &error)) {
        r.fail(Exit::WriteFailed, tr("cannot write %1: %2").arg(r.m_options.output, error));
    }
    return false;
}
