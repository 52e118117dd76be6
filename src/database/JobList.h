#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The long server jobs the program watches, numbered as the process watch window's kinds.
enum class JobKind : quint8 { CreateDict = 0, ReloadDict = 1, ReloadMaster = 2, DbNew = 3, DbDelete = 4 };

// How a watched job ended, as far as the program can tell.
enum class JobOutcome {
    Running,
    Finished, // the server no longer lists it
    Stopped, // the administrator stopped it
    Unwatched, // the watch was given up (close box) while the server still ran it
};

struct JobEntry
{
    JobKind kind = JobKind::ReloadDict;
    QString database;
    QDateTime start;
    QDateTime end;
    JobOutcome outcome = JobOutcome::Running;
    QStringList log; // the job's result log, as the server wrote it
};

// The jobs of this run and their result logs, in memory only, for the "Задания" window.
class JobList : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Job, Database, Start, End, Duration, Result, ColumnCount };

    explicit JobList(QObject *parent = nullptr);

    // A job has started; returns its number in the list.
    int begin(JobKind kind, const QString &database, const QDateTime &start);
    void finish(int job, JobOutcome outcome, const QDateTime &end);
    void setLog(int job, const QStringList &log);
    const JobEntry &entry(int job) const { return m_entries.at(job); }
    int size() const { return int(m_entries.size()); }
    bool contains(int job) const { return job >= 0 && job < size(); }

    // "Реорганизация словаря" and so on.
    static QString jobTitle(JobKind kind);
    // The outcome as the result column shows it.
    static QString outcomeText(JobOutcome outcome);
    // One line that says which job on which database ended and how:
    // "Реорганизация словаря IBIS завершена".
    static QString summary(const JobEntry &entry);
    // Elapsed time as hours, minutes and seconds ("00:01:05"); hours go past 24.
    static QString durationText(qint64 ms);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<JobEntry> m_entries;
};
