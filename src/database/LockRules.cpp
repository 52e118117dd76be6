#include "LockRules.h"

#include <limits>

using namespace Qt::Literals::StringLiterals;

bool parseTypedMfn(QStringView text, qint32 *mfn)
{
    if (text.isEmpty())
        return false;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<qint32>::max())
            return false;
    }
    *mfn = qint32(value);
    return true;
}

int lockedNumberColumnWidth(int gridRowCount)
{
    return (int(QString::number(gridRowCount).size()) + 1) * 8;
}

LockedMfnsModel::LockedMfnsModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void LockedMfnsModel::setMfns(const QList<qint32> &mfns)
{
    beginResetModel();
    m_mfns = mfns;
    m_marks.assign(size_t(m_mfns.size()), false);
    m_markedCount = 0;
    endResetModel();
}

bool LockedMfnsModel::isMarked(int row) const
{
    return row >= 0 && size_t(row) < m_marks.size() && m_marks[size_t(row)];
}

void LockedMfnsModel::toggleMark(int row)
{
    if (row < 0 || size_t(row) >= m_marks.size())
        return;
    const bool marked = !m_marks[size_t(row)];
    m_marks[size_t(row)] = marked;
    m_markedCount += marked ? 1 : -1;
    const QModelIndex cell = index(row, MarkColumn);
    Q_EMIT dataChanged(cell, cell, { Qt::DisplayRole });
}

void LockedMfnsModel::markAll()
{
    if (m_marks.empty())
        return;
    m_marks.assign(m_marks.size(), true);
    m_markedCount = int(m_marks.size());
    Q_EMIT dataChanged(index(0, MarkColumn), index(rowCount() - 1, MarkColumn), { Qt::DisplayRole });
}

QList<qint32> LockedMfnsModel::markedMfns() const
{
    QList<qint32> out;
    out.reserve(m_markedCount);
    for (size_t i = 0; i < m_marks.size(); ++i) {
        if (m_marks[i])
            out.append(m_mfns.at(qsizetype(i)));
    }
    return out;
}

int LockedMfnsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_mfns.size());
}

int LockedMfnsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LockedMfnsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount
        || role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case NumberColumn:
        return QString::number(index.row() + 1);
    case MarkColumn:
        return isMarked(index.row()) ? u"+"_s : QString();
    default:
        return QString::number(m_mfns.at(index.row()));
    }
}

QVariant LockedMfnsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NumberColumn:
        return u"№"_s;
    case MarkColumn:
        return QString();
    case MfnColumn:
        return u"MFN"_s;
    default:
        return {};
    }
}

Qt::ItemFlags LockedMfnsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
