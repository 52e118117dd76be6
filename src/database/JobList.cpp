#include "JobList.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The feminine titles ("реорганизация") take "завершена", the neuter ones ("создание") "завершено".
bool feminine(JobKind kind)
{
    return kind == JobKind::ReloadDict || kind == JobKind::ReloadMaster;
}

QString timeText(const QDateTime &at)
{
    return at.isValid() ? at.toLocalTime().toString(u"dd.MM.yyyy hh:mm:ss"_s) : QString();
}

} // namespace

JobList::JobList(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int JobList::begin(JobKind kind, const QString &database, const QDateTime &start)
{
    const int row = size();
    beginInsertRows({}, row, row);
    JobEntry entry;
    entry.kind = kind;
    entry.database = database;
    entry.start = start;
    m_entries.append(std::move(entry));
    endInsertRows();
    return row;
}

void JobList::finish(int job, JobOutcome outcome, const QDateTime &end)
{
    if (!contains(job))
        return;
    m_entries[job].outcome = outcome;
    m_entries[job].end = end;
    Q_EMIT dataChanged(index(job, End), index(job, Result));
}

void JobList::setLog(int job, const QStringList &log)
{
    if (!contains(job))
        return;
    m_entries[job].log = log;
    Q_EMIT dataChanged(index(job, Job), index(job, Result));
}

QString JobList::jobTitle(JobKind kind)
{
    switch (kind) {
    case JobKind::CreateDict:
        return u"Создание словаря"_s;
    case JobKind::ReloadDict:
        return u"Реорганизация словаря"_s;
    case JobKind::ReloadMaster:
        return u"Реорганизация файла документов"_s;
    case JobKind::DbNew:
        return u"Создание базы данных"_s;
    case JobKind::DbDelete:
        return u"Удаление базы данных"_s;
    }
    return {};
}

QString JobList::outcomeText(JobOutcome outcome)
{
    switch (outcome) {
    case JobOutcome::Running:
        return u"выполняется"_s;
    case JobOutcome::Finished:
        return u"завершено"_s;
    case JobOutcome::Stopped:
        return u"остановлено администратором"_s;
    case JobOutcome::Unwatched:
        return u"наблюдение прекращено"_s;
    }
    return {};
}

QString JobList::summary(const JobEntry &entry)
{
    const bool f = feminine(entry.kind);
    QString how;
    switch (entry.outcome) {
    case JobOutcome::Running:
        how = u"выполняется"_s;
        break;
    case JobOutcome::Finished:
        how = f ? u"завершена"_s : u"завершено"_s;
        break;
    case JobOutcome::Stopped:
        how = f ? u"остановлена"_s : u"остановлено"_s;
        break;
    case JobOutcome::Unwatched:
        how = u"— наблюдение прекращено"_s;
        break;
    }
    QString text = jobTitle(entry.kind);
    if (!entry.database.isEmpty())
        text += u' ' + entry.database;
    return text + u' ' + how;
}

QString JobList::durationText(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    return u"%1:%2:%3"_s.arg(seconds / 3600, 2, 10, QChar(u'0'))
        .arg((seconds / 60) % 60, 2, 10, QChar(u'0'))
        .arg(seconds % 60, 2, 10, QChar(u'0'));
}

int JobList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int JobList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JobList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || !contains(index.row()))
        return {};
    const JobEntry &e = m_entries.at(index.row());
    switch (index.column()) {
    case Job:
        return jobTitle(e.kind);
    case Database:
        return e.database;
    case Start:
        return timeText(e.start);
    case End:
        return timeText(e.end);
    case Duration:
        return e.end.isValid() ? durationText(e.start.msecsTo(e.end)) : QString();
    case Result:
        return outcomeText(e.outcome);
    default:
        return {};
    }
}

QVariant JobList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QStringList titles{ u"Задание"_s, u"База данных"_s, u"Начало"_s, u"Конец"_s,
        u"Длительность"_s, u"Результат"_s };
    return titles.value(section);
}
