#pragma once

#include <QByteArray>
#include <QList>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>

#include <functional>

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

// One CSV field: quoted (quotes doubled) when it holds a comma, a quote or a line break.
QString csvField(QStringView text);

// Text to the chosen file encoding; a character that Windows-1251 lacks becomes "?".
QByteArray encode(QStringView text, Encoding encoding);

// Writes the title row and every row of the model as CSV lines ending in CR LF, streaming in
// chunks so that a million-row list costs no million-row string. False with a reason when the
// device refuses the bytes.
bool writeCsv(QIODevice &out, const QAbstractItemModel &model, Encoding encoding, const CellText &hook = {},
    QString *error = nullptr);
QByteArray csv(const QAbstractItemModel &model, Encoding encoding, const CellText &hook = {});

// Rows of cells as clipboard text: cells separated by tabs, rows by line feeds. A tab or line
// break inside a cell becomes a blank, so the rows and columns arrive where they were.
QString tabSeparated(const QList<QStringList> &rows);

// True when some cell of the row contains the needle, ignoring letter case (Cyrillic included).
bool rowContains(const QAbstractItemModel &model, int row, const QString &needle, const CellText &hook = {});

} // namespace GridText

// Narrows a grid's rows to those containing a text in any column. It never sorts: the grid's own
// row order is the order its window gave it.
class GridFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit GridFilterModel(QObject *parent = nullptr);

    QString filterText() const { return m_text; }
    void setFilterText(const QString &text);
    bool isFiltering() const { return !m_text.isEmpty() || m_rowTest; }

    // Extra condition a row must meet (the journal's "only errors"); null for none.
    using RowTest = std::function<bool(int sourceRow)>;
    void setRowTest(RowTest test);

    void setCellTextHook(GridText::CellText hook) { m_hook = std::move(hook); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_text;
    RowTest m_rowTest;
    GridText::CellText m_hook;
};
