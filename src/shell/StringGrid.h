#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QList>
#include <QStringList>
#include <QTableView>

#include <functional>

class QMenu;

// Cells of a string grid: row 0 holds the titles, rows 1.. the data, as the windows address them.
class StringGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit StringGridModel(QObject *parent = nullptr);

    int gridRowCount() const { return static_cast<int>(m_cells.size()); }
    int gridColCount() const { return m_colCount; }
    void setGridRowCount(int rows);
    void setGridColCount(int cols);
    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString &text);
    void setFixedCols(int cols);
    int fixedCols() const { return m_fixedCols; }

    // While suspended, changes raise no per-cell signals; the view is reset once at the end.
    void suspend();
    void resume();

    // Rows 1.. at once, for lists of many thousand rows: a shallow copy out, one reset in. Rows
    // set are padded or cut to the column count.
    QList<QStringList> dataRows() const { return m_cells.mid(1); }
    void setDataRows(QList<QStringList> rows);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QList<QStringList> m_cells; // m_cells[row][col]
    int m_colCount = 1;
    int m_fixedCols = 0;
    int m_suspended = 0;
};

// The Delphi string grid on a Qt view: the title row is the horizontal header, so it stays in
// place while the rows scroll, and addressing stays cell(col, row) with row 0 the titles.
class TStringGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TStringGrid(QWidget *parent = nullptr);

    StringGridModel *gridModel() const { return m_model; }

    // Shows a model of the caller's instead of the grid's own cells (null: back to them). Model
    // row r is grid row r + 1 and the model's horizontal header is row 0; cell(), rowCount(),
    // colCount(), row() and setRow() read through it, while the grid's own setters (setCell,
    // setRowCount, setColCount) leave it alone: its owner fills it. A million rows then cost
    // what the model keeps, not a million strings.
    void useModel(QAbstractTableModel *model);
    QAbstractTableModel *customModel() const { return m_custom; }

    // Like the grid's own cells, at least the title row and one (then empty) row.
    int rowCount() const { return m_custom ? qMax(2, m_custom->rowCount() + 1) : m_model->gridRowCount(); }
    void setRowCount(int rows); // at least the title row and one row
    int colCount() const { return m_custom ? m_custom->columnCount() : m_model->gridColCount(); }
    void setColCount(int cols);
    QString cell(int col, int row) const { return m_custom ? customCell(col, row) : m_model->cell(col, row); }
    void setCell(int col, int row, const QString &text) { m_model->setCell(col, row, text); }
    void setFixedCols(int cols) { m_model->setFixedCols(cols); }

    // The current row and column (row 1 when nothing is current).
    int row() const;
    void setRow(int row);
    int col() const;
    void setCol(int col);

    void setColWidth(int col, int width);
    int colWidth(int col) const;
    void setDefaultRowHeight(int height);
    void setRowSelect(bool wholeRows);
    void setColSizing(bool byUser);
    void setRowSizing(bool byUser);
    // The grid's background colour (cells without a colour of their own).
    void setGridColor(const QColor &color);

    // Suspend repainting while many cells change.
    void beginUpdate() { m_model->suspend(); }
    void endUpdate();

    QMenu *popupMenu() const { return m_popup; }
    void setPopupMenu(QMenu *menu);

    // Drawn after the grid's own drawing of each cell, the title row included.
    using DrawCellHandler = std::function<void(QPainter *painter, int col, int row, const QRect &rect)>;
    void setDrawCellHandler(DrawCellHandler handler) { m_drawCell = std::move(handler); }
    const DrawCellHandler &drawCellHandler() const { return m_drawCell; }

    // Grid cell under a point of the viewport; false outside the cells. Row 0 is never returned
    // here (the titles are outside the viewport).
    bool cellAt(const QPoint &viewportPos, int *col, int *row) const;

Q_SIGNALS:
    void cellDoubleClicked(int col, int row);
    void currentCellChanged(int col, int row);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QString customCell(int col, int row) const;
    void followCurrent();

    StringGridModel *m_model;
    QAbstractTableModel *m_custom = nullptr;
    QMenu *m_popup = nullptr;
    DrawCellHandler m_drawCell;
};

// Title row of a TStringGrid, drawn through the grid's cell handler as row 0.
class StringGridHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit StringGridHeader(TStringGrid *grid);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    TStringGrid *m_grid;
};
