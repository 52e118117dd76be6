#pragma once

#include <QAbstractProxyModel>
#include <QByteArray>
#include <QList>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QAbstractItemModel;
class QIODevice;

// Text that leaves a grid: the tab-separated copy, the CSV file, and the row filter. Works on
// any table model whose rows are the grid's data rows and whose horizontal header holds the titles.
namespace GridText {

enum class Encoding { Utf8Bom, Windows1251 };

// What a cell gives away when copied, exported or searched: by default what it shows. `row` is
// the model's row (-1 for the title row).
using CellText = std::function<QString(int column, int row, const QString &shown)>;

QString cellText(const QAbstractItemModel &model, int column, int row, const CellText &hook = {});

// One CSV field: quoted (quotes doubled) when it holds a comma, a quote or a line break. A text
// that a spreadsheet would take for a formula (it begins with "=", "+", "-", "@", a tab or a CR)
// gets an apostrophe in front; a plain number ("-5", "+3.5") stays a number.
QString csvField(QStringView text);
void appendCsvField(QString &out, QStringView text);

// Text to the chosen file encoding; a character that Windows-1251 lacks becomes "?".
QByteArray encode(QStringView text, Encoding encoding);

// Writes the title row and every row of the model as CSV lines ending in CR LF, streaming in
// chunks so that a million-row list costs no million-row string. False with a reason when the
// device refuses the bytes.
bool writeCsv(QIODevice &out, const QAbstractItemModel &model, Encoding encoding, const CellText &hook = {},
    QString *error = nullptr);

// The same a part at a time, so that a long list can be written in slices between events.
class CsvWriter
{
public:
    CsvWriter(QIODevice &out, const QAbstractItemModel &model, Encoding encoding, CellText hook = {});
    // Writes up to `rows` more rows (the title row first); the last call also hands over what
    // is still held. False with the reason when the device refuses the bytes.
    bool write(int rows, QString *error = nullptr);
    bool done() const { return m_done; }
    // Rows written so far and rows in all (the title row not counted).
    int rowsWritten() const { return qMax(0, m_next); }
    int rowCount() const { return m_rows; }

private:
    bool put(const QByteArray &bytes, QString *error);

    QIODevice &m_out;
    const QAbstractItemModel &m_model;
    Encoding m_encoding;
    CellText m_hook;
    int m_columns;
    int m_rows;
    int m_next = -1; // -1: the title row
    bool m_done = false;
    QString m_text;
};
QByteArray csv(const QAbstractItemModel &model, Encoding encoding, const CellText &hook = {});

// Rows of cells as clipboard text: cells separated by tabs, rows by line feeds. A tab or line
// break inside a cell becomes a blank, so the rows and columns arrive where they were.
QString tabSeparated(const QList<QStringList> &rows);

// True when some cell of the row contains the needle, ignoring letter case (Cyrillic included).
bool rowContains(const QAbstractItemModel &model, int row, const QString &needle, const CellText &hook = {});

} // namespace GridText

// Narrows a grid's rows to those containing a text in any column. It never sorts: the grid's own
// row order is the order its window gave it. The rows shown are kept as a list of source rows in
// ascending order (none while nothing narrows them), so that a search done ahead in slices is
// taken over at once, whatever the number of rows.
class GridFilterModel : public QAbstractProxyModel
{
    Q_OBJECT
public:
    explicit GridFilterModel(QObject *parent = nullptr);

    QString filterText() const { return m_text; }
    void setFilterText(const QString &text);
    // The same with the source rows that contain the text already found (ascending), as a
    // slice-by-slice search found them on the rows as they are now.
    void setFilterResult(const QString &text, std::vector<int> rows);
    // Whether source row r contains the text (the search itself, for a slice of rows).
    bool rowMatches(int sourceRow, const QString &text) const;
    bool isFiltering() const { return !m_text.isEmpty() || m_rowTest; }

    // Extra condition a row must meet (the journal's "only errors"); null for none.
    using RowTest = std::function<bool(int sourceRow)>;
    void setRowTest(RowTest test);

    void setCellTextHook(GridText::CellText hook) { m_hook = std::move(hook); }
    void setSourceModel(QAbstractItemModel *source) override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool accepts(int sourceRow) const;
    // Shows `rows` (ascending source rows) instead of what is shown now, in one new layout.
    void relayout(std::vector<int> rows);
    std::vector<int> allMatching() const;
    int viewRow(int sourceRow) const; // -1 when not shown
    int firstViewRowFrom(int sourceRow) const;
    void sourceAboutToChangeLayout();
    void sourceLayoutChanged();
    void sourceRowsAboutToBeInserted(const QModelIndex &parent, int first, int last);
    void sourceRowsInserted(const QModelIndex &parent, int first, int last);
    void sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void sourceRowsRemoved(const QModelIndex &parent, int first, int last);
    void sourceDataChanged(
        const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);

    QString m_text;
    RowTest m_rowTest;
    GridText::CellText m_hook;
    bool m_narrowed = false; // m_rows holds the rows shown; otherwise every source row is shown
    std::vector<int> m_rows;
    QList<QPersistentModelIndex> m_layoutSource; // during a source layout change
    QModelIndexList m_layoutProxy;
    QList<QMetaObject::Connection> m_sourceWatch;
};
