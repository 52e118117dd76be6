#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class AnswerLines;

// Figures of the current database at one reading of the server monitor.
struct MonitorDatabase
{
    QString name;
    qint32 maxMfn = 0;
    qint32 locked = 0; // locked records
    qint32 deletedLogically = 0;
    qint32 deletedPhysically = 0;
    qint32 unactualized = 0;
};

// Running processes of one kind.
struct MonitorProcessCount
{
    QString kind;
    int count = 0;
};

// What one tick of the monitor learnt from the server. A part the tick could not read (refused
// while another request ran, answered with an error code) is missing.
struct MonitorReading
{
    qint64 at = 0; // ms since the epoch
    std::optional<int> clients; // registered clients, the server's own row not counted
    std::optional<qint64> requestCounter;
    std::optional<QList<MonitorProcessCount>> processes; // kinds in legend order
    std::optional<MonitorDatabase> database;

    bool isEmpty() const { return !clients && !requestCounter && !processes && !database; }
};

// Fill a reading from the answers as the operations left them; false (reading untouched) unless
// the answer is a whole, successful one.
bool readRegisteredClients(const QStringList &answer, MonitorReading *reading);
bool readProcesses(const QStringList &answer, MonitorReading *reading);
bool readDatabase(
    const QString &name, int operationResult, const AnswerLines &answer, MonitorReading *reading);

// The kind a process counts under: its name when the process name table has it (or it is a
// deletion, which the program watches too), else "прочие"; and the legend order of kinds.
QString monitorProcessKind(const QString &processName);
int monitorProcessKindOrder(const QString &kind);

// A series as the charts draw it: runs of points (x in ms since the epoch) with a gap between
// runs, where the server did not answer or where the figures cannot be joined.
using MonitorSegment = QList<QPointF>;
using MonitorSeries = QList<MonitorSegment>;

// The points of series with the same times that are worth drawing: the first and the last, the
// corners where a value changes, and, where that is still more than maxPoints, the lowest and
// the highest total of each stretch. A chart a few hundred pixels wide gains nothing from more.
QList<qsizetype> drawnPoints(const QList<MonitorSegment> &aligned, int maxPoints);
MonitorSegment pickPoints(const MonitorSegment &segment, const QList<qsizetype> &indices);

// One kind of process stacked on the kinds before it.
struct MonitorBand
{
    QString kind;
    MonitorSeries lower;
    MonitorSeries upper;
};

// The monitor's readings of the last hour (by default), in memory only, and the series drawn
// from them. A tick whose server did not answer is a silence: the lines break there, and the
// window says since when the server is silent until it answers again.
class MonitorHistory
{
public:
    enum class Figure {
        Clients,
        Processes,
        RequestsPerMinute,
        MaxMfn,
        Locked,
        DeletedLogically,
        DeletedPhysically,
        Unactualized
    };

    static constexpr qint64 DefaultSpanMs = 60 * 60 * 1000;
    // However the clock behaves, no more readings than an hour of the shortest interval (2 s).
    static constexpr int DefaultMaxReadings = 1800 + 60;

    void setSpan(qint64 ms, int maxReadings);
    qint64 spanMs() const { return m_spanMs; }

    // A reading that came in. An empty one (every part refused as busy) is dropped.
    void addReading(const MonitorReading &reading);
    // The server did not answer at this time.
    void addSilence(qint64 at);
    // The readings stop by choice (the monitor paused or closed): the lines break here and no
    // rate spans the stop, but nothing is said against the server.
    void addPause(qint64 at);
    void clear();

    // Since when the server is silent (the first silent tick of the present silence).
    std::optional<qint64> silentSince() const;
    // Stretches without an answer: from the first silent tick to the next answer, or to the last
    // silent tick while the silence lasts.
    QList<std::pair<qint64, qint64>> silentSpans() const;
    // The last reading with an answer, if any.
    const MonitorReading *lastReading() const;
    // The reading (answered) nearest to a time, if any.
    const MonitorReading *readingNear(qint64 at) const;

    // Readings and silences kept (pauses not counted).
    int size() const;
    qint64 firstTime() const;
    qint64 lastTime() const;

    MonitorSeries series(Figure figure) const;
    // Processes by kind, stacked in legend order.
    QList<MonitorBand> processBands() const;
    // The kinds seen in the kept readings, in legend order.
    QStringList processKinds() const;
    // Name of the database the newest database figures describe.
    QString databaseName() const;

    // The rate of the server's request counter between two readings; none when the counter went
    // back (the server started again) or no time passed.
    static std::optional<double> requestsPerMinute(
        qint64 fromAt, qint64 fromCounter, qint64 toAt, qint64 toCounter);

    // The readings as a table for the CSV export: time, then the figures (empty where unknown),
    // one column per process kind seen.
    QStringList tableTitles() const;
    QList<QStringList> tableRows() const;

private:
    struct Entry
    {
        bool answered = false;
        bool paused = false; // a stop by choice, not a silence
        MonitorReading reading;
    };
    void trim();
    static std::optional<double> figureOf(const MonitorReading &r, Figure figure);

    QList<Entry> m_entries; // oldest first
    qint64 m_spanMs = DefaultSpanMs;
    int m_maxReadings = DefaultMaxReadings;
};

// A snapshot of table rows with titles, for writing through the grids' CSV writer.
class MonitorTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    MonitorTableModel(QStringList titles, QList<QStringList> rows, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList m_titles;
    QList<QStringList> m_rows;
};
