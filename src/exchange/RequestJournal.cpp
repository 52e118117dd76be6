#include "RequestJournal.h"

#include "Exchange.h"
#include "OpResult.h"

using namespace Qt::Literals::StringLiterals;

RequestJournal::RequestJournal(QObject *parent)
    : QAbstractTableModel(parent)
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(250);
    connect(&m_batch, &QTimer::timeout, this, &RequestJournal::flush);
}

void RequestJournal::setCapacity(int capacity)
{
    m_capacity = qMax(1, capacity);
    while (m_pending.size() > m_capacity)
        m_pending.removeFirst();
    const int excess = size() - m_capacity;
    if (excess > 0) {
        beginRemoveRows({}, 0, excess - 1);
        m_entries.remove(0, excess);
        endRemoveRows();
    }
}

void RequestJournal::add(JournalEntry entry)
{
    // Redacted on the way in, so that no view, copy or export can see more.
    entry.argument = safeArgument(entry.command, entry.argument);
    m_pending.append(std::move(entry));
    if (m_pending.size() > m_capacity)
        m_pending.removeFirst();
    if (m_batch.interval() <= 0)
        flush();
    else if (!m_batch.isActive())
        m_batch.start();
}

void RequestJournal::addRecord(const ExchangeRecord &record)
{
    JournalEntry entry;
    entry.started = record.started;
    entry.command = record.command;
    entry.argument = record.argument;
    entry.result = record.result;
    // Only a number is a return code; a resource read's first line is a line of the file.
    bool number = false;
    record.returnCode.toLongLong(&number);
    if (number && record.command != QByteArrayView("L"))
        entry.returnCode = record.returnCode;
    entry.answerSize = record.answerBytes;
    entry.durationMs = record.durationMs;
    entry.retries = record.silentRetries;
    entry.cancelled = record.cancelled;
    add(std::move(entry));
}

void RequestJournal::flush()
{
    m_batch.stop();
    if (m_pending.isEmpty())
        return;
    const int incoming = static_cast<int>(m_pending.size());
    const int excess = qMin(size(), size() + incoming - m_capacity);
    if (excess > 0) {
        beginRemoveRows({}, 0, excess - 1);
        m_entries.remove(0, excess);
        endRemoveRows();
    }
    const int first = size();
    beginInsertRows({}, first, first + incoming - 1);
    m_entries.append(std::move(m_pending));
    endInsertRows();
    m_pending = {};
}

void RequestJournal::clear()
{
    beginResetModel();
    m_entries.clear();
    m_pending.clear();
    endResetModel();
}

bool RequestJournal::isError(const JournalEntry &entry)
{
    if (entry.cancelled || entry.result != OpResult::Accepted)
        return true;
    bool number = false;
    const int code = entry.returnCode.toInt(&number);
    return number && code < 0;
}

QString RequestJournal::commandName(QByteArrayView code)
{
    static const struct
    {
        const char *code;
        const char *name;
    } names[] = {
        { "A", "RegisterClient" },
        { "B", "UnregisterClient" },
        { "N", "NoOperation" },
        { "0", "GetDatabaseInfo" },
        { "L", "ReadResource" },
        { "F", "ActualizeDatabase" },
        { "T", "CreateDatabase" },
        { "W", "DeleteDatabase" },
        { "S", "ClearDatabase" },
        { "Y", "ReorganizeInvertedFile" },
        { "X", "ReorganizeMasterFile" },
        { "Z", "LoadInvertedFile" },
        { "Q", "UnlockRecords" },
        { "U", "UnlockDatabase" },
        { "+8", "RestartServer" },
        { "+1", "GetRegisteredClients" },
        { "+9", "GetClientList" },
        { "+7", "SaveClientList" },
        { "+3", "GetProcessList" },
        { "+6", "DeleteRegisteredClient" },
        { "+4", "StopProcess" },
        { "1", "GetServerVersion" },
    };
    for (const auto &n : names) {
        if (code == QByteArrayView(n.code))
            return QString::fromLatin1(n.name);
    }
    return {};
}

QString RequestJournal::safeArgument(QByteArrayView command, const QString &argument)
{
    // The client list carries every account's password from its second line on.
    if (command == QByteArrayView("+7"))
        return u"*****"_s;
    qsizetype end = argument.size();
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const QChar c = argument.at(i);
        if (c == u'\r' || c == u'\n' || c == QChar(0x1E) || c == QChar(0x1F)) {
            end = i;
            break;
        }
    }
    QString first = argument.left(qMin<qsizetype>(end, 200));
    // The login's second argument is the password: only its place is shown.
    if (command == QByteArrayView("A"))
        first += u", *****"_s;
    return first;
}

int RequestJournal::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int RequestJournal::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

namespace {

QString resultText(int result)
{
    switch (result) {
    case OpResult::Accepted:
        return u"принят"_s;
    case OpResult::Failed:
        return u"ошибка"_s;
    case OpResult::Busy:
        return u"занят"_s;
    default:
        return QString::number(result);
    }
}

} // namespace

QVariant RequestJournal::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= size())
        return {};
    const JournalEntry &e = m_entries.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Time:
            return e.started.toString(u"hh:mm:ss.zzz"_s);
        case Code:
            return QString::fromLatin1(e.command);
        case Name:
            return commandName(e.command);
        case Argument:
            return e.argument;
        case Result:
            return resultText(e.result);
        case ReturnCode:
            return e.returnCode;
        case AnswerSize:
            return QString::number(e.answerSize);
        case Duration:
            return QString::number(e.durationMs);
        case Retries:
            return QString::number(e.retries);
        case Cancelled:
            return e.cancelled ? u"да"_s : QString();
        default:
            return {};
        }
    }
    if (role == ErrorRole)
        return isError(e);
    if (role == Qt::TextAlignmentRole && index.column() >= AnswerSize && index.column() <= Retries)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant RequestJournal::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char16_t *const titles[] = { u"Время", u"Код", u"Команда", u"База / аргумент", u"Результат",
        u"Код возврата", u"Размер ответа", u"Длительность, мс", u"Повторы", u"Отменён" };
    if (section < 0 || section >= ColumnCount)
        return {};
    return QString::fromUtf16(titles[section]);
}
