#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimer>

struct ExchangeRecord;

// One finished request as the journal keeps it.
struct JournalEntry
{
    QDateTime started;
    QByteArray command; // "A", "+3", …
    QString argument; // the database or the main argument (for A the user name only)
    int result = 0; // OpResult
    QString returnCode; // the answer's first line, empty when there was none
    qint64 answerSize = 0; // bytes
    qint64 durationMs = 0;
    int retries = 0; // silent retries
    bool cancelled = false;
};

// The requests of this run, newest last, for the "Журнал запросов" window. Only memory: the
// journal writes nothing unless the administrator exports it. It never holds a password.
class RequestJournal : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        Time,
        Code,
        Name,
        Argument,
        Result,
        ReturnCode,
        AnswerSize,
        Duration,
        Retries,
        Cancelled,
        ColumnCount
    };

    static constexpr int DefaultCapacity = 10000;
    // data() of this role is true on the rows of failed requests; the window colours them.
    static constexpr int ErrorRole = Qt::UserRole + 1;

    explicit RequestJournal(QObject *parent = nullptr);

    // Keeps the newest `capacity` entries.
    void setCapacity(int capacity);
    int capacity() const { return m_capacity; }

    // Entries arrive at once but are shown in batches: a view then repaints a few times a second
    // however fast the requests go, and the exchange does not wait for it.
    void add(JournalEntry entry);
    // What the exchange engine reports after every operation, refused ones included.
    void addRecord(const ExchangeRecord &record);
    // Shows the entries added since the last batch now.
    void flush();
    int pendingCount() const { return static_cast<int>(m_pending.size()); }
    // 0 shows every entry as it comes.
    void setBatchInterval(int ms) { m_batch.setInterval(ms); }
    void clear();
    const JournalEntry &entry(int row) const { return m_entries.at(row); }
    int size() const { return static_cast<int>(m_entries.size()); }

    // A request that did not do what was asked: failed, busy, cancelled or a negative return code.
    static bool isError(const JournalEntry &entry);
    bool isErrorRow(int row) const { return row >= 0 && row < size() && isError(m_entries.at(row)); }

    // The operation's name for a command code ("GetProcessList" for "+3"); empty when unknown.
    static QString commandName(QByteArrayView code);
    // What the journal keeps of a request's argument: its first line, and never a password.
    static QString safeArgument(QByteArrayView command, const QString &argument);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<JournalEntry> m_entries;
    QList<JournalEntry> m_pending;
    QTimer m_batch;
    int m_capacity = DefaultCapacity;
};
