#include "GridText.h"

#include "exchange/TextCodec.h"

#include <QAbstractItemModel>
#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <limits>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace GridText {

QString cellText(const QAbstractItemModel &model, int column, int row, const CellText &hook)
{
    const QString shown = row < 0 ? model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()
                                  : model.data(model.index(row, column), Qt::DisplayRole).toString();
    return hook ? hook(column, row, shown) : shown;
}

namespace {

// A decimal number with an optional sign and fraction: a spreadsheet reads it as a number, never
// as a formula.
bool plainNumber(QStringView text)
{
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    const qsizetype digits = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    if (i == digits)
        return false;
    if (i < text.size() && (text[i] == u'.' || text[i] == u',')) {
        const qsizetype fraction = ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        if (i == fraction)
            return false;
    }
    return i == text.size();
}

bool formulaStart(QStringView text)
{
    if (text.isEmpty())
        return false;
    const char16_t c = text.front().unicode();
    return (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r')
        && !plainNumber(text);
}

} // namespace

void appendCsvField(QString &out, QStringView text)
{
    const bool neutralise = formulaStart(text);
    bool quote = false;
    for (const QChar c : text) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') {
            quote = true;
            break;
        }
    }
    if (quote)
        out += u'"';
    if (neutralise)
        out += u'\'';
    if (!quote) {
        out += text;
        return;
    }
    for (const QChar c : text) {
        if (c == u'"')
            out += u'"';
        out += c;
    }
    out += u'"';
}

QString csvField(QStringView text)
{
    QString out;
    appendCsvField(out, text);
    return out;
}

QByteArray encode(QStringView text, Encoding encoding)
{
    if (encoding == Encoding::Utf8Bom)
        return text.toUtf8();
    // The converter marks a missing character with SUB; a reader of the file expects "?".
    QByteArray bytes = TextCodec::toBytes(text);
    bytes.replace('\x1A', '?');
    return bytes;
}

CsvWriter::CsvWriter(QIODevice &out, const QAbstractItemModel &model, Encoding encoding, CellText hook)
    : m_out(out)
    , m_model(model)
    , m_encoding(encoding)
    , m_hook(std::move(hook))
    , m_columns(model.columnCount())
    , m_rows(model.rowCount())
{
}

bool CsvWriter::put(const QByteArray &bytes, QString *error)
{
    if (m_out.write(bytes) == bytes.size())
        return true;
    if (error)
        *error = m_out.errorString();
    return false;
}

bool CsvWriter::write(int rows, QString *error)
{
    if (m_done)
        return true;
    constexpr qsizetype chunk = 1 << 20;
    if (m_next < 0) {
        if (m_encoding == Encoding::Utf8Bom && !put(QByteArrayLiteral("\xEF\xBB\xBF"), error))
            return false;
        m_text.reserve(chunk + 4096);
    }
    const int stop = int(qMin<qint64>(qint64(m_next) + rows, m_rows));
    for (; m_next < stop; ++m_next) {
        for (int c = 0; c < m_columns; ++c) {
            if (c > 0)
                m_text += u',';
            appendCsvField(m_text, cellText(m_model, c, m_next, m_hook));
        }
        m_text += u"\r\n"_s;
        if (m_text.size() >= chunk) {
            if (!put(encode(m_text, m_encoding), error))
                return false;
            m_text.clear();
        }
    }
    if (m_next >= m_rows) {
        m_done = true;
        if (!put(encode(m_text, m_encoding), error))
            return false;
        m_text = QString();
    }
    return true;
}

bool writeCsv(
    QIODevice &out, const QAbstractItemModel &model, Encoding encoding, const CellText &hook, QString *error)
{
    CsvWriter writer(out, model, encoding, hook);
    while (!writer.done()) {
        if (!writer.write(1 << 16, error))
            return false;
    }
    return true;
}

QByteArray csv(const QAbstractItemModel &model, Encoding encoding, const CellText &hook)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeCsv(buffer, model, encoding, hook);
    return bytes;
}

QString tabSeparated(const QList<QStringList> &rows)
{
    QString out;
    for (const QStringList &row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += u'\t';
            QString cell = row.at(c);
            for (QChar &ch : cell) {
                if (ch == u'\t' || ch == u'\r' || ch == u'\n')
                    ch = u' ';
            }
            out += cell;
        }
        out += u'\n';
    }
    return out;
}

bool rowContains(const QAbstractItemModel &model, int row, const QString &needle, const CellText &hook)
{
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c) {
        if (cellText(model, c, row, hook).contains(needle, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace GridText

GridFilterModel::GridFilterModel(QObject *parent)
    : QAbstractProxyModel(parent)
{
}

void GridFilterModel::setSourceModel(QAbstractItemModel *source)
{
    beginResetModel();
    for (const QMetaObject::Connection &c : std::as_const(m_sourceWatch))
        disconnect(c);
    m_sourceWatch.clear();
    QAbstractProxyModel::setSourceModel(source);
    if (source) {
        using M = QAbstractItemModel;
        m_sourceWatch = {
            connect(source, &M::modelAboutToBeReset, this, [this] { beginResetModel(); }),
            connect(source, &M::modelReset, this,
                [this] {
                    m_rows = m_narrowed ? allMatching() : std::vector<int>();
                    endResetModel();
                }),
            connect(source, &M::layoutAboutToBeChanged, this, [this] { sourceAboutToChangeLayout(); }),
            connect(source, &M::layoutChanged, this, [this] { sourceLayoutChanged(); }),
            connect(source, &M::rowsAboutToBeMoved, this, [this] { sourceAboutToChangeLayout(); }),
            connect(source, &M::rowsMoved, this, [this] { sourceLayoutChanged(); }),
            connect(source, &M::columnsAboutToBeMoved, this, [this] { sourceAboutToChangeLayout(); }),
            connect(source, &M::columnsMoved, this, [this] { sourceLayoutChanged(); }),
            connect(source, &M::rowsAboutToBeInserted, this, &GridFilterModel::sourceRowsAboutToBeInserted),
            connect(source, &M::rowsInserted, this, &GridFilterModel::sourceRowsInserted),
            connect(source, &M::rowsAboutToBeRemoved, this, &GridFilterModel::sourceRowsAboutToBeRemoved),
            connect(source, &M::rowsRemoved, this, &GridFilterModel::sourceRowsRemoved),
            connect(source, &M::dataChanged, this, &GridFilterModel::sourceDataChanged),
            connect(source, &M::columnsAboutToBeInserted, this,
                [this](const QModelIndex &parent, int first, int last) {
                    if (!parent.isValid())
                        beginInsertColumns({}, first, last);
                }),
            connect(source, &M::columnsInserted, this,
                [this](const QModelIndex &parent) {
                    if (!parent.isValid())
                        endInsertColumns();
                }),
            connect(source, &M::columnsAboutToBeRemoved, this,
                [this](const QModelIndex &parent, int first, int last) {
                    if (!parent.isValid())
                        beginRemoveColumns({}, first, last);
                }),
            connect(source, &M::columnsRemoved, this,
                [this](const QModelIndex &parent) {
                    if (!parent.isValid())
                        endRemoveColumns();
                }),
            connect(source, &M::headerDataChanged, this,
                [this](Qt::Orientation orientation, int first, int last) {
                    // Row titles pass only while the rows are the source's own.
                    if (orientation == Qt::Horizontal || !m_narrowed)
                        Q_EMIT headerDataChanged(orientation, first, last);
                }),
            connect(source, &QObject::destroyed, this, [this] { m_rows.clear(); }),
        };
    }
    m_rows = m_narrowed && source ? allMatching() : std::vector<int>();
    endResetModel();
}

void GridFilterModel::setFilterText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    relayout(isFiltering() ? allMatching() : std::vector<int>());
}

void GridFilterModel::setFilterResult(const QString &text, std::vector<int> rows)
{
    m_text = text;
    if (m_rowTest)
        rows.erase(
            std::remove_if(rows.begin(), rows.end(), [this](int r) { return !m_rowTest(r); }), rows.end());
    relayout(isFiltering() ? std::move(rows) : std::vector<int>());
}

void GridFilterModel::setRowTest(RowTest test)
{
    m_rowTest = std::move(test);
    relayout(isFiltering() ? allMatching() : std::vector<int>());
}

bool GridFilterModel::rowMatches(int sourceRow, const QString &text) const
{
    return text.isEmpty() || GridText::rowContains(*sourceModel(), sourceRow, text, m_hook);
}

bool GridFilterModel::accepts(int sourceRow) const
{
    return (!m_rowTest || m_rowTest(sourceRow)) && rowMatches(sourceRow, m_text);
}

std::vector<int> GridFilterModel::allMatching() const
{
    std::vector<int> rows;
    if (!sourceModel())
        return rows;
    const int count = sourceModel()->rowCount();
    for (int r = 0; r < count; ++r) {
        if (accepts(r))
            rows.push_back(r);
    }
    return rows;
}

void GridFilterModel::relayout(std::vector<int> rows)
{
    // Rows are hidden or shown, the columns stay: the hint spares the title row the work.
    const auto hint = QAbstractItemModel::VerticalSortHint;
    Q_EMIT layoutAboutToBeChanged({}, hint);
    const QModelIndexList before = persistentIndexList();
    QList<int> sourceRows;
    sourceRows.reserve(before.size());
    for (const QModelIndex &i : before)
        sourceRows.append(mapToSource(i).row());
    m_narrowed = isFiltering();
    m_rows = std::move(rows);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype k = 0; k < before.size(); ++k) {
        const int shown = sourceRows[k] < 0 ? -1 : viewRow(sourceRows[k]);
        after.append(shown < 0 ? QModelIndex() : createIndex(shown, before[k].column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, hint);
}

int GridFilterModel::firstViewRowFrom(int sourceRow) const
{
    return int(std::lower_bound(m_rows.begin(), m_rows.end(), sourceRow) - m_rows.begin());
}

int GridFilterModel::viewRow(int sourceRow) const
{
    if (!m_narrowed)
        return sourceModel() && sourceRow >= 0 && sourceRow < sourceModel()->rowCount() ? sourceRow : -1;
    const int at = firstViewRowFrom(sourceRow);
    return size_t(at) < m_rows.size() && m_rows[size_t(at)] == sourceRow ? at : -1;
}

QModelIndex GridFilterModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex GridFilterModel::parent(const QModelIndex &) const
{
    return {};
}

int GridFilterModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !sourceModel())
        return 0;
    return m_narrowed ? int(m_rows.size()) : sourceModel()->rowCount();
}

int GridFilterModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

bool GridFilterModel::hasChildren(const QModelIndex &parent) const
{
    return !parent.isValid() && rowCount() > 0 && columnCount() > 0;
}

QModelIndex GridFilterModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel() || proxyIndex.model() != this)
        return {};
    const int row = proxyIndex.row();
    if (!m_narrowed)
        return sourceModel()->index(row, proxyIndex.column());
    return size_t(row) < m_rows.size() ? sourceModel()->index(m_rows[size_t(row)], proxyIndex.column())
                                       : QModelIndex();
}

QModelIndex GridFilterModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.model() != sourceModel() || sourceIndex.parent().isValid())
        return {};
    const int row = viewRow(sourceIndex.row());
    return row < 0 ? QModelIndex() : createIndex(row, sourceIndex.column());
}

QVariant GridFilterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!sourceModel())
        return {};
    // The titles are the source's whatever rows are shown, none included.
    if (orientation == Qt::Horizontal)
        return sourceModel()->headerData(section, orientation, role);
    const QModelIndex source = mapToSource(index(section, 0));
    return source.isValid() ? sourceModel()->headerData(source.row(), orientation, role) : QVariant();
}

void GridFilterModel::sourceAboutToChangeLayout()
{
    Q_EMIT layoutAboutToBeChanged();
    m_layoutProxy = persistentIndexList();
    m_layoutSource.clear();
    m_layoutSource.reserve(m_layoutProxy.size());
    for (const QModelIndex &i : std::as_const(m_layoutProxy))
        m_layoutSource.append(QPersistentModelIndex(mapToSource(i)));
}

void GridFilterModel::sourceLayoutChanged()
{
    if (m_narrowed)
        m_rows = allMatching();
    QModelIndexList after;
    after.reserve(m_layoutSource.size());
    for (const QPersistentModelIndex &i : std::as_const(m_layoutSource))
        after.append(mapFromSource(i));
    changePersistentIndexList(m_layoutProxy, after);
    m_layoutProxy.clear();
    m_layoutSource.clear();
    Q_EMIT layoutChanged();
}

void GridFilterModel::sourceRowsAboutToBeInserted(const QModelIndex &parent, int first, int last)
{
    if (!parent.isValid() && !m_narrowed)
        beginInsertRows({}, first, last);
}

void GridFilterModel::sourceRowsInserted(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (!m_narrowed) {
        endInsertRows();
        return;
    }
    // The rows after the new ones moved down in the source; of the new ones, those that match join.
    const int count = last - first + 1;
    const int at = firstViewRowFrom(first);
    for (size_t k = size_t(at); k < m_rows.size(); ++k)
        m_rows[k] += count;
    std::vector<int> added;
    for (int r = first; r <= last; ++r) {
        if (accepts(r))
            added.push_back(r);
    }
    if (added.empty())
        return;
    beginInsertRows({}, at, at + int(added.size()) - 1);
    m_rows.insert(m_rows.begin() + at, added.begin(), added.end());
    endInsertRows();
}

void GridFilterModel::sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (!m_narrowed) {
        beginRemoveRows({}, first, last);
        return;
    }
    const int from = firstViewRowFrom(first);
    const int to = firstViewRowFrom(last + 1);
    if (from < to) {
        beginRemoveRows({}, from, to - 1);
        m_rows.erase(m_rows.begin() + from, m_rows.begin() + to);
        endRemoveRows();
    }
}

void GridFilterModel::sourceRowsRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (!m_narrowed) {
        endRemoveRows();
        return;
    }
    const int count = last - first + 1;
    for (size_t k = size_t(firstViewRowFrom(first)); k < m_rows.size(); ++k)
        m_rows[k] -= count;
}

void GridFilterModel::sourceDataChanged(
    const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    if (!topLeft.isValid() || topLeft.parent().isValid())
        return;
    const int top = topLeft.row();
    const int bottom = bottomRight.row();
    if (!m_narrowed) {
        Q_EMIT dataChanged(
            createIndex(top, topLeft.column()), createIndex(bottom, bottomRight.column()), roles);
        return;
    }
    // A changed text is judged again: a row that no longer matches goes, one that now does joins.
    if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) {
        int r = top;
        while (r <= bottom) {
            const int at = firstViewRowFrom(r);
            const bool shown = size_t(at) < m_rows.size() && m_rows[size_t(at)] == r;
            if (shown == accepts(r)) {
                ++r;
                continue;
            }
            int end = r; // the run of neighbours that change the same way
            if (shown) {
                while (end < bottom && size_t(at + end - r + 1) < m_rows.size()
                    && m_rows[size_t(at + end - r + 1)] == end + 1 && !accepts(end + 1))
                    ++end;
                beginRemoveRows({}, at, at + end - r);
                m_rows.erase(m_rows.begin() + at, m_rows.begin() + at + (end - r + 1));
                endRemoveRows();
            } else {
                const int next
                    = size_t(at) < m_rows.size() ? m_rows[size_t(at)] : std::numeric_limits<int>::max();
                while (end < bottom && end + 1 < next && accepts(end + 1))
                    ++end;
                std::vector<int> joining(size_t(end - r + 1));
                std::iota(joining.begin(), joining.end(), r);
                beginInsertRows({}, at, at + end - r);
                m_rows.insert(m_rows.begin() + at, joining.begin(), joining.end());
                endInsertRows();
            }
            r = end + 1;
        }
    }
    const int from = firstViewRowFrom(top);
    const int to = firstViewRowFrom(bottom + 1);
    if (from < to)
        Q_EMIT dataChanged(
            createIndex(from, topLeft.column()), createIndex(to - 1, bottomRight.column()), roles);
}
