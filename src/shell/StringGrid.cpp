#include "StringGrid.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Runs the grid's cell handler after the normal drawing of a data cell.
class StringGridDelegate : public QStyledItemDelegate
{
public:
    explicit StringGridDelegate(TStringGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (const auto &handler = m_grid->drawCellHandler()) {
            painter->save();
            handler(painter, index.column(), index.row() + 1, option.rect);
            painter->restore();
        }
    }

private:
    TStringGrid *m_grid;
};

} // namespace

StringGridModel::StringGridModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_cells.resize(2, QStringList(m_colCount));
}

void StringGridModel::setGridRowCount(int rows)
{
    rows = qMax(rows, 2);
    const int old = gridRowCount();
    if (rows == old)
        return;
    if (m_suspended) {
        m_cells.resize(rows, QStringList(m_colCount));
        return;
    }
    if (rows > old) {
        beginInsertRows({}, old - 1, rows - 2);
        m_cells.resize(rows, QStringList(m_colCount));
        endInsertRows();
    } else {
        beginRemoveRows({}, rows - 1, old - 2);
        m_cells.resize(rows);
        endRemoveRows();
    }
}

void StringGridModel::setGridColCount(int cols)
{
    cols = qMax(cols, 1);
    if (cols == m_colCount)
        return;
    if (!m_suspended)
        beginResetModel();
    m_colCount = cols;
    for (QStringList &row : m_cells)
        row.resize(cols);
    if (!m_suspended)
        endResetModel();
}

QString StringGridModel::cell(int col, int row) const
{
    if (row < 0 || row >= gridRowCount() || col < 0 || col >= m_colCount)
        return {};
    return m_cells.at(row).at(col);
}

void StringGridModel::setCell(int col, int row, const QString &text)
{
    if (row < 0 || row >= gridRowCount() || col < 0 || col >= m_colCount)
        return;
    QString &target = m_cells[row][col];
    if (target == text)
        return;
    target = text;
    if (m_suspended)
        return;
    if (row == 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
    } else {
        const QModelIndex i = index(row - 1, col);
        Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
    }
}

void StringGridModel::setFixedCols(int cols)
{
    m_fixedCols = cols;
}

void StringGridModel::suspend()
{
    if (m_suspended++ == 0)
        beginResetModel();
}

void StringGridModel::resume()
{
    if (m_suspended > 0 && --m_suspended == 0)
        endResetModel();
}

void StringGridModel::setDataRows(QList<QStringList> rows)
{
    if (!m_suspended)
        beginResetModel();
    for (QStringList &row : rows) {
        if (row.size() != m_colCount)
            row.resize(m_colCount);
    }
    if (rows.isEmpty())
        rows.append(QStringList(m_colCount));
    rows.prepend(m_cells.value(0, QStringList(m_colCount)));
    m_cells = std::move(rows);
    if (!m_suspended)
        endResetModel();
}

int StringGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : gridRowCount() - 1;
}

int StringGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_colCount;
}

QVariant StringGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return m_cells.at(index.row() + 1).at(index.column());
    if (role == Qt::BackgroundRole && index.column() < m_fixedCols)
        return QApplication::palette().button();
    return {};
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_colCount)
        return m_cells.at(0).at(section);
    return {};
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

TStringGrid::TStringGrid(QWidget *parent) : QTableView(parent), m_model(new StringGridModel(this))
{
    setHorizontalHeader(new StringGridHeader(this));
    setModel(m_model);
    setItemDelegate(new StringGridDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setDefaultRowHeight(24);
    setCurrentIndex(m_model->index(0, 0));

    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &i) { Q_EMIT cellDoubleClicked(i.column(), i.row() + 1); });
    followCurrent();
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_custom && !currentIndex().isValid())
            setCurrentIndex(m_model->index(0, 0));
    });
}

void TStringGrid::followCurrent()
{
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &i) {
        if (i.isValid())
            Q_EMIT currentCellChanged(i.column(), i.row() + 1);
    });
}

void TStringGrid::useModel(QAbstractTableModel *shown)
{
    if (shown == m_model)
        shown = nullptr;
    if (shown == m_custom)
        return;
    if (m_custom)
        disconnect(m_custom, nullptr, this, nullptr);
    m_custom = shown;
    QItemSelectionModel *old = selectionModel();
    setModel(m_custom ? static_cast<QAbstractItemModel *>(m_custom) : m_model);
    if (old)
        old->deleteLater();
    followCurrent();
    if (m_custom) {
        connect(m_custom, &QAbstractItemModel::modelReset, this, [this] {
            if (!currentIndex().isValid())
                setCurrentIndex(m_custom->index(0, 0));
        });
    }
    setCurrentIndex(model()->index(0, 0));
}

QString TStringGrid::customCell(int col, int row) const
{
    if (row == 0)
        return m_custom->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
    return m_custom->index(row - 1, col).data(Qt::DisplayRole).toString();
}

void TStringGrid::setRowCount(int rows)
{
    const int current = row();
    m_model->setGridRowCount(rows);
    if (!currentIndex().isValid() || current >= rowCount())
        setRow(qMin(current, rowCount() - 1));
}

void TStringGrid::setColCount(int cols)
{
    const int r = row();
    m_model->setGridColCount(cols);
    if (!currentIndex().isValid())
        setRow(r);
}

int TStringGrid::row() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 1;
}

void TStringGrid::setRow(int row)
{
    if (row < 1 || row >= rowCount())
        return;
    const int c = qMax(0, col());
    const QModelIndex i = model()->index(row - 1, c);
    setCurrentIndex(i);
    scrollTo(i);
}

int TStringGrid::col() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : 0;
}

void TStringGrid::setCol(int col)
{
    if (col < 0 || col >= colCount())
        return;
    setCurrentIndex(model()->index(row() - 1, col));
}

void TStringGrid::setColWidth(int col, int width)
{
    // The style's minimum would widen narrow number columns.
    if (width < horizontalHeader()->minimumSectionSize())
        horizontalHeader()->setMinimumSectionSize(qMax(1, width));
    setColumnWidth(col, width);
}

int TStringGrid::colWidth(int col) const
{
    return columnWidth(col);
}

void TStringGrid::setDefaultRowHeight(int height)
{
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setFixedHeight(height + 1);
}

void TStringGrid::setRowSelect(bool wholeRows)
{
    setSelectionBehavior(wholeRows ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void TStringGrid::setColSizing(bool byUser)
{
    horizontalHeader()->setSectionResizeMode(byUser ? QHeaderView::Interactive : QHeaderView::Fixed);
}

void TStringGrid::setRowSizing(bool byUser)
{
    verticalHeader()->setSectionResizeMode(byUser ? QHeaderView::Interactive : QHeaderView::Fixed);
}

void TStringGrid::setGridColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
}

void TStringGrid::endUpdate()
{
    const int r = row();
    m_model->resume();
    if (r < rowCount())
        setRow(r);
}

void TStringGrid::setPopupMenu(QMenu *menu)
{
    m_popup = menu;
}

bool TStringGrid::cellAt(const QPoint &viewportPos, int *col, int *row) const
{
    const QModelIndex i = indexAt(viewportPos);
    if (!i.isValid())
        return false;
    *col = i.column();
    *row = i.row() + 1;
    return true;
}

void TStringGrid::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_popup) {
        QTableView::contextMenuEvent(event);
        return;
    }
    m_popup->popup(event->globalPos());
    event->accept();
}

StringGridHeader::StringGridHeader(TStringGrid *grid) : QHeaderView(Qt::Horizontal, grid), m_grid(grid)
{
}

void StringGridHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (const auto &handler = m_grid->drawCellHandler()) {
        painter->save();
        handler(painter, logicalIndex, 0, rect);
        painter->restore();
    }
}
