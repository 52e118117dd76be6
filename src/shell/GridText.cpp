#include "GridText.h"

#include "exchange/TextCodec.h"

#include <QAbstractItemModel>
#include <QBuffer>
#include <QIODevice>

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
    : QSortFilterProxyModel(parent)
{
    // The window's own order stays; sorting would move rows under the administrator's eyes.
    setDynamicSortFilter(true);
}

void GridFilterModel::setSourceModel(QAbstractItemModel *source)
{
    dropResult();
    for (const QMetaObject::Connection &c : std::as_const(m_sourceWatch))
        disconnect(c);
    m_sourceWatch.clear();
    // What was found ahead describes the rows as they were: any change makes the rows be asked
    // again. Connected before the proxy's own handlers, so that these see the change first.
    if (source) {
        const auto drop = [this] { dropResult(); };
        m_sourceWatch = { connect(source, &QAbstractItemModel::modelAboutToBeReset, this, drop),
            connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this, drop),
            connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, drop),
            connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, drop),
            connect(source, &QAbstractItemModel::dataChanged, this, drop) };
    }
    QSortFilterProxyModel::setSourceModel(source);
}

void GridFilterModel::setFilterText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    dropResult();
    // One new layout instead of a removal or insertion per range of rows: the views then cost
    // one pass over a million rows, not one pass per range.
    invalidate();
}

void GridFilterModel::setFilterResult(const QString &text, std::vector<bool> accepted)
{
    m_text = text;
    m_accepted = std::move(accepted);
    invalidate();
}

void GridFilterModel::setRowTest(RowTest test)
{
    m_rowTest = std::move(test);
    invalidate();
}

bool GridFilterModel::rowMatches(int sourceRow, const QString &text) const
{
    return text.isEmpty() || GridText::rowContains(*sourceModel(), sourceRow, text, m_hook);
}

bool GridFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    // Called once for every row of a list of millions whenever the filter changes: the plain
    // cases first.
    if (sourceParent.isValid())
        return false;
    if (!m_rowTest) {
        if (m_text.isEmpty())
            return true;
        if (size_t(sourceRow) < m_accepted.size())
            return m_accepted[size_t(sourceRow)];
    }
    if (m_rowTest && !m_rowTest(sourceRow))
        return false;
    if (!m_accepted.empty() && sourceRow >= 0 && size_t(sourceRow) < m_accepted.size())
        return m_accepted[size_t(sourceRow)];
    return rowMatches(sourceRow, m_text);
}
