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

QString csvField(QStringView text)
{
    bool quote = false;
    for (const QChar c : text) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') {
            quote = true;
            break;
        }
    }
    if (!quote)
        return text.toString();
    QString out;
    out.reserve(text.size() + 8);
    out += u'"';
    for (const QChar c : text) {
        if (c == u'"')
            out += u'"';
        out += c;
    }
    out += u'"';
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

namespace {

void appendLine(QString &out, const QAbstractItemModel &model, int row, int columns, const CellText &hook)
{
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            out += u',';
        out += csvField(cellText(model, c, row, hook));
    }
    out += u"\r\n"_s;
}

} // namespace

bool writeCsv(
    QIODevice &out, const QAbstractItemModel &model, Encoding encoding, const CellText &hook, QString *error)
{
    const auto put = [&](const QByteArray &bytes) {
        if (out.write(bytes) == bytes.size())
            return true;
        if (error)
            *error = out.errorString();
        return false;
    };
    if (encoding == Encoding::Utf8Bom && !put(QByteArrayLiteral("\xEF\xBB\xBF")))
        return false;

    const int columns = model.columnCount();
    const int rows = model.rowCount();
    constexpr qsizetype chunk = 1 << 20;
    QString text;
    text.reserve(chunk + 4096);
    for (int r = -1; r < rows; ++r) {
        appendLine(text, model, r, columns, hook);
        if (text.size() >= chunk) {
            if (!put(encode(text, encoding)))
                return false;
            text.clear();
        }
    }
    return put(encode(text, encoding));
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

void GridFilterModel::setFilterText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    // One new layout instead of a removal or insertion per range of rows: the views then cost
    // one pass over a million rows, not one pass per range.
    invalidate();
}

void GridFilterModel::setRowTest(RowTest test)
{
    m_rowTest = std::move(test);
    invalidate();
}

bool GridFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (sourceParent.isValid())
        return false;
    if (m_rowTest && !m_rowTest(sourceRow))
        return false;
    return m_text.isEmpty() || GridText::rowContains(*sourceModel(), sourceRow, m_text, m_hook);
}
