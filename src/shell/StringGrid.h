#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <functional>
#include <memory>

#include "GridFilterLine.h"
class GridFilterModel;
class QAction;
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
//
// The view looks through a filter (Ctrl+F) at the grid's rows; row(), setRow(), cell() and the
// signals always speak of the grid's own rows, so an action on the current row acts on the row
// the administrator sees. Every grid copies (Ctrl+C) and exports ("Экспорт в файл…").
class TStringGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TStringGrid(QWidget *parent = nullptr);
    ~TStringGrid() override;

    StringGridModel *gridModel() const { return m_model; }
    // Shows a model of its own instead of the grid's cells (a list of millions of rows): its rows
    // are the data rows, its horizontal header the titles. Null goes back to the grid's cells.
    // The grid does not own the model. Cells of such a grid are read, never written.
    void useModel(QAbstractItemModel *model);
    QAbstractItemModel *sourceModel() const { return m_source; }
    // The model given to useModel, or null while the grid shows its own cells.
    QAbstractItemModel *customModel() const { return m_source == m_model ? nullptr : m_source; }
    // What the view shows: the source through the filter.
    GridFilterModel *filterModel() const { return m_filter; }

    int rowCount() const; // with a model of its own too, at least the title row and one row
    void setRowCount(int rows); // at least the title row and one row
    int colCount() const;
    void setColCount(int cols);
    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString &text) { m_model->setCell(col, row, text); }
    void setFixedCols(int cols) { m_model->setFixedCols(cols); }

    // The current row and column. Row 1 when nothing is current, but 0 when the filter hides
    // every row or a reload cleared the selection: then no row is the administrator's choice.
    int row() const;
    // A row that the filter hides is shown by closing the filter first.
    void setRow(int row);
    int col() const;
    void setCol(int col);

    // --- features every grid has ------------------------------------------------------------
    // What leaves the grid (copy, export, filter) for a cell: by default what it shows.
    using CellTextHook = std::function<QString(int col, int row, const QString &shown)>;
    void setCellTextHook(CellTextHook hook);
    // Ctrl+C: the selected cells as tab-separated text (whole rows under whole-row selection).
    QString selectionText() const;
    void copySelection();
    // "Экспорт в файл…": the title row and the rows shown, as CSV through the file dialog seam.
    // A long list is written in slices between events (see busy()).
    void exportToFile();

    // Work on very many rows (an export, a search) runs in slices between events, with a
    // progress line under the grid once it takes more than half a second; Esc stops it. True
    // while such work runs.
    bool busy() const { return m_work != nullptr; }
    void cancelWork();
    GridProgressLine *progressLine() const { return m_progressLine; }
    // Lists of more rows than this are worked on in slices (for tests).
    static void setSlicedFrom(int rows);
    static int slicedFrom();
    QAction *exportAction() const { return m_exportAction; }
    QAction *copyAction() const { return m_copyAction; }

    // Ctrl+F opens the find line above the grid (off unless a window asks for it).
    void setFilterEnabled(bool on);
    bool filterEnabled() const { return m_filterEnabled; }
    void openFilter();
    void setFilterText(const QString &text);
    QString filterText() const;
    void closeFilter(); // clears the text and hides the line
    GridFilterLine *filterLine() const { return m_filterLine; }

    // After a reload (beginUpdate … endUpdate) the current row stays on the item with the same
    // key (the texts of these columns) and keeps its place on the screen; an item that has gone
    // clears the selection. Without key columns the current row keeps its number.
    void setKeyColumns(const QList<int> &cols) { m_keyColumns = cols; }
    QList<int> keyColumns() const { return m_keyColumns; }

    // A width the administrator has kept for the column (rememberColWidths) wins over the one given.
    void setColWidth(int col, int width);
    // Column widths the administrator sets by hand are kept between runs under this key, in the
    // user's settings; the widths the window sets stay the default of a first run.
    void rememberColWidths(const QString &key);
    int colWidth(int col) const;
    void setDefaultRowHeight(int height);
    void setRowSelect(bool wholeRows);
    void setColSizing(bool byUser);
    void setRowSizing(bool byUser);
    // The grid's background colour (cells without a colour of their own).
    void setGridColor(const QColor &color);

    // Suspend repainting while many cells change.
    void beginUpdate();
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
    // Sliced work has ended (done, failed or stopped).
    void workFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;

private:
    struct Place
    {
        QString key;
        bool hadCurrent = false;
        int row = 0; // grid row
        int col = 0;
        int offset = -1; // the current row's distance from the top row of the view, -1 when off screen
        int vertical = 0;
        int horizontal = 0;
    };
    Place currentPlace() const;
    void restorePlace(const Place &place);
    QString rowKey(int sourceRow) const;
    int viewRowOf(int gridRow) const; // -1 when hidden
    void setViewCurrent(int viewRow, int col);
    void connectSelection();
    void onFilterChanged();
    std::function<QString(int, int, const QString &)> exportHook() const;
    void placeFilterLine();
    void ensurePopupItems(QMenu *menu);
    void applyFilterText(const QString &text, std::vector<int> *found);
    void searchInSlices(const QString &text);
    struct Work;
    // Starts sliced work: `step` does a slice and returns true when all is done; `finish` gets
    // whether it was stopped.
    void startWork(const QString &caption, std::function<bool()> step, std::function<int()> percent,
        std::function<void(bool stopped)> finish);
    void workTick();
    void endWork(bool stopped);
    void placeProgressLine();

    StringGridModel *m_model;
    QAbstractItemModel *m_source;
    GridFilterModel *m_filter;
    QMenu *m_popup = nullptr;
    QMenu *m_ownPopup = nullptr;
    QAction *m_copyAction;
    QAction *m_exportAction;
    DrawCellHandler m_drawCell;
    CellTextHook m_textHook;
    bool m_filterEnabled = false;
    QPointer<GridFilterLine> m_filterLine;
    QPointer<GridProgressLine> m_progressLine;
    std::unique_ptr<Work> m_work;
    QString m_searching; // the text a sliced search is looking for; empty when none runs
    QList<int> m_keyColumns;
    QObject *m_widthKeeper = nullptr;
    int m_updating = 0;
    Place m_savedPlace;
    bool m_restoring = false;
    bool m_cleared = false; // a reload found the selected item gone
    bool m_currentRemoved = false;
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
