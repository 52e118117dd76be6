#include "MfnListModel.h"

#include <algorithm>
#include <limits>

MfnListModel::MfnListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void MfnListModel::setHeader(int col, const QString &text)
{
    if (col < 0 || col > 1 || m_header[col] == text)
        return;
    m_header[col] = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
}

void MfnListModel::showParts(const QList<Part> &parts)
{
    beginResetModel();
    m_parts = parts;
    m_useMarked = false;
    m_marked.clear();
    m_markedNote.clear();
    qint64 rows = 0;
    for (const Part &p : m_parts)
        rows += p.mfns.size();
    // A view counts rows in int; lists beyond that are not something the server sends.
    m_rows = int(qMin<qint64>(rows, std::numeric_limits<int>::max()));
    endResetModel();
}

void MfnListModel::showMarked(const QList<qint32> &mfns, const QList<qint32> &marked,
    const QString &markedNote, const QString &otherNote)
{
    beginResetModel();
    m_parts = { Part{ mfns, otherNote } };
    m_useMarked = true;
    m_markedNote = markedNote;
    m_marked = marked;
    if (!std::is_sorted(m_marked.cbegin(), m_marked.cend()))
        std::sort(m_marked.begin(), m_marked.end());
    m_rows = int(qMin<qint64>(mfns.size(), std::numeric_limits<int>::max()));
    endResetModel();
}

int MfnListModel::partOf(int row, int *offset) const
{
    int start = 0;
    for (int i = 0; i < m_parts.size(); ++i) {
        const qsizetype size = m_parts.at(i).mfns.size();
        if (row - start < size) {
            *offset = row - start;
            return i;
        }
        start += int(size);
    }
    return -1;
}

qint32 MfnListModel::mfnAt(int row) const
{
    int offset = 0;
    const int part = row >= 0 && row < m_rows ? partOf(row, &offset) : -1;
    return part < 0 ? 0 : m_parts.at(part).mfns.at(offset);
}

QString MfnListModel::noteAt(int row) const
{
    int offset = 0;
    const int part = row >= 0 && row < m_rows ? partOf(row, &offset) : -1;
    if (part < 0)
        return {};
    if (m_useMarked) {
        const qint32 mfn = m_parts.at(part).mfns.at(offset);
        if (std::binary_search(m_marked.cbegin(), m_marked.cend(), mfn))
            return m_markedNote;
    }
    return m_parts.at(part).note;
}

int MfnListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int MfnListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant MfnListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= m_rows)
        return {};
    if (index.column() == 0)
        return QString::number(mfnAt(index.row()));
    return noteAt(index.row());
}

QVariant MfnListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 2)
        return m_header[section];
    return {};
}

bool MfnListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1)
        return false;
    setHeader(section, value.toString());
    return true;
}

Qt::ItemFlags MfnListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
