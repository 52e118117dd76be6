#include "MonitorHistory.h"

#include "database/DatabaseInfo.h"
#include "exchange/OpResult.h"
#include "server/ClientList.h"
#include "server/ProcessList.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <map>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kOtherProcesses = u"прочие"_s;
const QString kDeletion = u"TULVA_DB_DELETE"_s;

QString timeText(qint64 at)
{
    return QDateTime::fromMSecsSinceEpoch(at).toString(u"yyyy-MM-dd hh:mm:ss"_s);
}

template <typename T> QString numberOrEmpty(const std::optional<T> &value)
{
    return value ? QString::number(*value) : QString();
}

} // namespace

bool readRegisteredClients(const QStringList &answer, MonitorReading *reading)
{
    const std::optional<ClientList::RegisteredClients> clients = ClientList::parseRegisteredClients(answer);
    if (!clients)
        return false;
    // Row 1 is the server itself.
    reading->clients = int(qMax<qsizetype>(0, clients->rows.size() - 1));
    bool ok = false;
    const qint64 counter = clients->requestCounter.trimmed().toLongLong(&ok, 10);
    if (ok && counter >= 0)
        reading->requestCounter = counter;
    else
        reading->requestCounter.reset();
    return true;
}

bool readProcesses(const QStringList &answer, MonitorReading *reading)
{
    if (!returnCodeOk(answer))
        return false;
    const ProcessTable table = parseProcessList(answer);
    std::map<std::pair<int, QString>, int> counts;
    // Row 1 is the server itself, not a process anybody started.
    for (qsizetype r = 1; r < table.rows.size(); ++r) {
        const QString kind = monitorProcessKind(table.rows.at(r).value(ProcessColumn::Name));
        ++counts[{ monitorProcessKindOrder(kind), kind }];
    }
    QList<MonitorProcessCount> processes;
    for (const auto &[key, count] : counts)
        processes.append({ key.second, count });
    reading->processes = std::move(processes);
    return true;
}

bool readDatabase(
    const QString &name, int operationResult, const AnswerLines &answer, MonitorReading *reading)
{
    const DatabaseInfoReading info = readDatabaseInfo(operationResult, answer);
    if (!info.state)
        return false;
    const DatabaseState &s = *info.state;
    reading->database = MonitorDatabase{ name, s.maxMfn, qint32(s.lockedMfns.size()),
        qint32(s.deletedMfns1.size()), qint32(s.deletedMfns2.size()), qint32(s.unactualizedMfns.size()) };
    return true;
}

QString monitorProcessKind(const QString &processName)
{
    if (!ProcessCommandCode(processName).isEmpty() || processName == kDeletion)
        return processName;
    return kOtherProcesses;
}

int monitorProcessKindOrder(const QString &kind)
{
    const int index = processNameIndex(kind);
    if (index >= 0)
        return index;
    return kind == kDeletion ? 1000 : 1001;
}

QList<qsizetype> drawnPoints(const QList<MonitorSegment> &aligned, int maxPoints)
{
    const qsizetype n = aligned.isEmpty() ? 0 : aligned.first().size();
    QList<qsizetype> all(n);
    std::iota(all.begin(), all.end(), qsizetype(0));
    if (n <= qMax(2, maxPoints))
        return all;
    const auto changes = [&](qsizetype i, qsizetype j) {
        for (const MonitorSegment &s : aligned) {
            if (s.at(i).y() != s.at(j).y())
                return true;
        }
        return false;
    };
    QList<qsizetype> corners;
    for (qsizetype i = 0; i < n; ++i) {
        if (i == 0 || i == n - 1 || changes(i, i - 1) || changes(i, i + 1))
            corners.append(i);
    }
    if (corners.size() <= maxPoints)
        return corners;
    const auto total = [&](qsizetype i) {
        double sum = 0;
        for (const MonitorSegment &s : aligned)
            sum += s.at(i).y();
        return sum;
    };
    const qsizetype buckets = qMax(1, maxPoints / 2 - 1);
    const qsizetype width = (n + buckets - 1) / buckets;
    QList<qsizetype> kept{ 0 };
    for (qsizetype from = 0; from < n; from += width) {
        const qsizetype to = qMin(n, from + width);
        qsizetype low = from;
        qsizetype high = from;
        for (qsizetype i = from; i < to; ++i) {
            if (total(i) < total(low))
                low = i;
            if (total(i) > total(high))
                high = i;
        }
        for (const qsizetype i : { qMin(low, high), qMax(low, high) }) {
            if (i != kept.last())
                kept.append(i);
        }
    }
    if (kept.last() != n - 1)
        kept.append(n - 1);
    return kept;
}

MonitorSegment pickPoints(const MonitorSegment &segment, const QList<qsizetype> &indices)
{
    if (indices.size() == segment.size())
        return segment;
    MonitorSegment out;
    out.reserve(indices.size());
    for (const qsizetype i : indices)
        out.append(segment.at(i));
    return out;
}

// --- MonitorHistory ------------------------------------------------------------------------------

void MonitorHistory::setSpan(qint64 ms, int maxReadings)
{
    m_spanMs = ms;
    m_maxReadings = qMax(2, maxReadings);
    trim();
}

void MonitorHistory::addReading(const MonitorReading &reading)
{
    if (reading.isEmpty())
        return;
    m_entries.append({ true, false, reading });
    trim();
}

void MonitorHistory::addSilence(qint64 at)
{
    MonitorReading r;
    r.at = at;
    m_entries.append({ false, false, r });
    trim();
}

void MonitorHistory::addPause(qint64 at)
{
    if (m_entries.isEmpty() || m_entries.last().paused)
        return;
    MonitorReading r;
    r.at = at;
    m_entries.append({ false, true, r });
    trim();
}

int MonitorHistory::size() const
{
    return int(std::count_if(m_entries.cbegin(), m_entries.cend(), [](const Entry &e) { return !e.paused; }));
}

void MonitorHistory::clear()
{
    m_entries.clear();
}

void MonitorHistory::trim()
{
    if (m_entries.isEmpty())
        return;
    const qint64 oldest = m_entries.last().reading.at - m_spanMs;
    qsizetype drop = 0;
    while (drop < m_entries.size() - 1 && m_entries.at(drop).reading.at < oldest)
        ++drop;
    drop = qMax(drop, m_entries.size() - m_maxReadings);
    if (drop > 0)
        m_entries.remove(0, drop);
}

std::optional<qint64> MonitorHistory::silentSince() const
{
    std::optional<qint64> since;
    for (auto it = m_entries.crbegin(); it != m_entries.crend() && !it->answered && !it->paused; ++it)
        since = it->reading.at;
    return since;
}

QList<std::pair<qint64, qint64>> MonitorHistory::silentSpans() const
{
    QList<std::pair<qint64, qint64>> spans;
    std::optional<qint64> from;
    for (const Entry &e : m_entries) {
        if (!e.answered && !e.paused) {
            if (!from)
                from = e.reading.at;
        } else if (from) {
            spans.append({ *from, e.reading.at });
            from.reset();
        }
    }
    if (from)
        spans.append({ *from, m_entries.last().reading.at });
    return spans;
}

const MonitorReading *MonitorHistory::lastReading() const
{
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it) {
        if (it->answered)
            return &it->reading;
    }
    return nullptr;
}

const MonitorReading *MonitorHistory::readingNear(qint64 at) const
{
    const MonitorReading *best = nullptr;
    qint64 distance = 0;
    for (const Entry &e : m_entries) {
        if (!e.answered)
            continue;
        const qint64 d = qAbs(e.reading.at - at);
        if (!best || d < distance) {
            best = &e.reading;
            distance = d;
        }
    }
    return best;
}

qint64 MonitorHistory::firstTime() const
{
    return m_entries.isEmpty() ? 0 : m_entries.first().reading.at;
}

qint64 MonitorHistory::lastTime() const
{
    return m_entries.isEmpty() ? 0 : m_entries.last().reading.at;
}

std::optional<double> MonitorHistory::requestsPerMinute(
    qint64 fromAt, qint64 fromCounter, qint64 toAt, qint64 toCounter)
{
    if (toAt <= fromAt || toCounter < fromCounter)
        return std::nullopt;
    return double(toCounter - fromCounter) * 60000.0 / double(toAt - fromAt);
}

std::optional<double> MonitorHistory::figureOf(const MonitorReading &r, Figure figure)
{
    switch (figure) {
    case Figure::Clients:
        return r.clients ? std::optional<double>(*r.clients) : std::nullopt;
    case Figure::Processes: {
        if (!r.processes)
            return std::nullopt;
        int total = 0;
        for (const MonitorProcessCount &p : *r.processes)
            total += p.count;
        return total;
    }
    case Figure::RequestsPerMinute:
        return std::nullopt; // from two readings, not one
    case Figure::MaxMfn:
        return r.database ? std::optional<double>(r.database->maxMfn) : std::nullopt;
    case Figure::Locked:
        return r.database ? std::optional<double>(r.database->locked) : std::nullopt;
    case Figure::DeletedLogically:
        return r.database ? std::optional<double>(r.database->deletedLogically) : std::nullopt;
    case Figure::DeletedPhysically:
        return r.database ? std::optional<double>(r.database->deletedPhysically) : std::nullopt;
    case Figure::Unactualized:
        return r.database ? std::optional<double>(r.database->unactualized) : std::nullopt;
    }
    return std::nullopt;
}

MonitorSeries MonitorHistory::series(Figure figure) const
{
    MonitorSeries out;
    MonitorSegment run;
    const auto closeRun = [&] {
        if (!run.isEmpty())
            out.append(std::exchange(run, {}));
    };
    std::optional<std::pair<qint64, qint64>> counterBefore;
    QString database;
    const bool databaseFigure = figure >= Figure::MaxMfn;
    for (const Entry &e : m_entries) {
        if (!e.answered) {
            closeRun();
            counterBefore.reset();
            continue;
        }
        const MonitorReading &r = e.reading;
        if (figure == Figure::RequestsPerMinute) {
            if (!r.requestCounter)
                continue;
            if (counterBefore) {
                const auto rate
                    = requestsPerMinute(counterBefore->first, counterBefore->second, r.at, *r.requestCounter);
                if (rate)
                    run.append(QPointF(double(r.at), *rate));
                else
                    closeRun(); // the counter went back: the server counts anew
            }
            counterBefore = std::pair(r.at, *r.requestCounter);
            continue;
        }
        if (databaseFigure && r.database) {
            // Figures of another database do not continue the line of the previous one.
            if (r.database->name.compare(database, Qt::CaseInsensitive) != 0)
                closeRun();
            database = r.database->name;
        }
        if (const auto value = figureOf(r, figure))
            run.append(QPointF(double(r.at), *value));
    }
    closeRun();
    return out;
}

QStringList MonitorHistory::processKinds() const
{
    std::map<std::pair<int, QString>, bool> kinds;
    for (const Entry &e : m_entries) {
        if (!e.answered || !e.reading.processes)
            continue;
        for (const MonitorProcessCount &p : *e.reading.processes)
            kinds[{ monitorProcessKindOrder(p.kind), p.kind }] = true;
    }
    QStringList out;
    for (const auto &[key, seen] : kinds)
        out.append(key.second);
    return out;
}

QList<MonitorBand> MonitorHistory::processBands() const
{
    const QStringList kinds = processKinds();
    QList<MonitorBand> bands;
    for (const QString &kind : kinds)
        bands.append({ kind, {}, {} });
    QList<MonitorSegment> lowerRun(kinds.size());
    QList<MonitorSegment> upperRun(kinds.size());
    const auto closeRuns = [&] {
        for (qsizetype k = 0; k < kinds.size(); ++k) {
            if (upperRun.at(k).isEmpty())
                continue;
            bands[k].lower.append(std::exchange(lowerRun[k], {}));
            bands[k].upper.append(std::exchange(upperRun[k], {}));
        }
    };
    for (const Entry &e : m_entries) {
        if (!e.answered) {
            closeRuns();
            continue;
        }
        if (!e.reading.processes)
            continue;
        const double x = double(e.reading.at);
        int sum = 0;
        for (qsizetype k = 0; k < kinds.size(); ++k) {
            int count = 0;
            for (const MonitorProcessCount &p : *e.reading.processes) {
                if (p.kind == kinds.at(k))
                    count = p.count;
            }
            lowerRun[k].append(QPointF(x, sum));
            sum += count;
            upperRun[k].append(QPointF(x, sum));
        }
    }
    closeRuns();
    return bands;
}

QString MonitorHistory::databaseName() const
{
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it) {
        if (it->answered && it->reading.database)
            return it->reading.database->name;
    }
    return {};
}

QStringList MonitorHistory::tableTitles() const
{
    QStringList titles{ u"Время"_s, u"Ответ сервера"_s, u"Зарегистрированных клиентов"_s, u"Процессов"_s };
    for (const QString &kind : processKinds())
        titles.append(u"Процессов "_s + kind);
    titles << u"Счётчик запросов"_s << u"Запросов в минуту"_s << u"База данных"_s << u"Максимальный MFN"_s
           << u"Заблокированных записей"_s << u"Логически удаленных записей"_s
           << u"Физически удаленных записей"_s << u"Неактуализированных записей"_s;
    return titles;
}

QList<QStringList> MonitorHistory::tableRows() const
{
    const QStringList kinds = processKinds();
    const qsizetype columns = tableTitles().size();
    // The rate belongs to the reading that ends its interval, as in the chart.
    QHash<qint64, double> rates;
    for (const MonitorSegment &segment : series(Figure::RequestsPerMinute)) {
        for (const QPointF &p : segment)
            rates.insert(qint64(p.x()), p.y());
    }
    QList<QStringList> rows;
    rows.reserve(m_entries.size());
    for (const Entry &e : m_entries) {
        if (e.paused)
            continue;
        const MonitorReading &r = e.reading;
        QStringList row{ timeText(r.at), e.answered ? u"да"_s : u"нет"_s };
        if (!e.answered) {
            row.resize(columns);
            rows.append(row);
            continue;
        }
        row << numberOrEmpty(r.clients);
        const auto total = figureOf(r, Figure::Processes);
        row << (total ? QString::number(qint64(*total)) : QString());
        for (const QString &kind : kinds) {
            QString cell;
            if (r.processes) {
                cell = u"0"_s;
                for (const MonitorProcessCount &p : *r.processes) {
                    if (p.kind == kind)
                        cell = QString::number(p.count);
                }
            }
            row << cell;
        }
        row << numberOrEmpty(r.requestCounter);
        const auto rate = rates.constFind(r.at);
        row << (rate != rates.cend() ? QString::number(*rate, 'f', 1) : QString());
        if (r.database) {
            const MonitorDatabase &d = *r.database;
            row << d.name << QString::number(d.maxMfn) << QString::number(d.locked)
                << QString::number(d.deletedLogically) << QString::number(d.deletedPhysically)
                << QString::number(d.unactualized);
        } else {
            row.resize(row.size() + 6);
        }
        rows.append(row);
    }
    return rows;
}

// --- MonitorTableModel ---------------------------------------------------------------------------

MonitorTableModel::MonitorTableModel(QStringList titles, QList<QStringList> rows, QObject *parent)
    : QAbstractTableModel(parent)
    , m_titles(std::move(titles))
    , m_rows(std::move(rows))
{
}

int MonitorTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MonitorTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_titles.size());
}

QVariant MonitorTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return m_rows.at(index.row()).value(index.column());
}

QVariant MonitorTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return m_titles.value(section);
}
