#include "StringGrid.h"

#include "Dialogs.h"
#include "GridFilterLine.h"
#include "GridText.h"
#include "UserSettings.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>

#include <chrono>
#include <future>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

// Lists of more rows than this are worked on in slices between events.
int g_slicedFrom = 20000;
// One slice: as many batches of rows as fit in this time, then the events run.
constexpr int kSliceMs = 8;
constexpr int kBatchRows = 1024;
// Work that takes longer shows its progress line.
constexpr int kProgressAfterMs = 500;

// Runs the grid's cell handler after the normal drawing of a data cell.
class StringGridDelegate : public QStyledItemDelegate
{
public:
    explicit StringGridDelegate(TStringGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (const auto &handler = m_grid->drawCellHandler()) {
            painter->save();
            const QModelIndex source = m_grid->filterModel()->mapToSource(index);
            handler(painter, index.column(), source.row() + 1, option.rect);
            painter->restore();
        }
    }

    // A cell whose text its column cuts off shows the whole text as a tooltip; elsewhere the
    // grid's own hint stays.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override
    {
        if (event->type() == QEvent::ToolTip && index.isValid()) {
            QStyleOptionViewItem opt = option;
            initStyleOption(&opt, index);
            if (textCutOff(opt)) {
                const QString full = index.data(Qt::DisplayRole).toString();
                QToolTip::showText(event->globalPos(), full, view->viewport(), option.rect);
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    static bool textCutOff(const QStyleOptionViewItem &opt)
    {
        if (opt.text.isEmpty())
            return false;
        // The cell shows a line break as a mark on one line.
        if (opt.text.contains(QChar::LineSeparator) || opt.text.contains(u'\n'))
            return true;
        const QWidget *widget = opt.widget;
        const QStyle *style = widget ? widget->style() : QApplication::style();
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        return opt.fontMetrics.horizontalAdvance(opt.text) > textRect.width() - 2 * margin;
    }

    TStringGrid *m_grid;
};

// Keeps the widths of the columns the administrator resizes by hand (a drag or a double click
// on a title's edge); a width the program sets is never taken for the administrator's.
class ColumnWidthKeeper : public QObject
{
public:
    ColumnWidthKeeper(TStringGrid *grid, const QString &key)
        : QObject(grid)
        , m_key(key)
        , m_widths(savedColumnWidths(key))
    {
        QHeaderView *header = grid->horizontalHeader();
        header->viewport()->installEventFilter(this);
        connect(header, &QHeaderView::sectionResized, this, [this](int col, int, int width) {
            if (!m_byHand || col < 0)
                return;
            if (col >= m_widths.size())
                m_widths.resize(col + 1, -1);
            m_widths[col] = width;
            m_changed = true;
        });
    }

    // The kept width of a column, or -1.
    int width(int col) const { return m_widths.value(col, -1); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            m_byHand = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            m_byHand = false;
            if (m_changed) {
                m_changed = false;
                saveColumnWidths(m_key, m_widths);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString m_key;
    QList<int> m_widths;
    bool m_byHand = false;
    bool m_changed = false;
};

} // namespace

StringGridModel::StringGridModel(QObject *parent)
    : QAbstractTableModel(parent)
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
        Q_EMIT dataChanged(i, i, { Qt::DisplayRole });
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

TStringGrid::TStringGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new StringGridModel(this))
    , m_source(m_model)
    , m_filter(new GridFilterModel(this))
{
    m_filter->setSourceModel(m_model);
    setHorizontalHeader(new StringGridHeader(this));
    setModel(m_filter);
    setItemDelegate(new StringGridDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Several rows can be marked for copying; actions still act on the current row alone.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setDefaultRowHeight(24);
    setCurrentIndex(m_filter->index(0, 0));

    m_copyAction = new QAction(u"Копировать"_s, this);
    m_copyAction->setObjectName(u"GridCopy"_s);
    m_copyAction->setShortcut(QKeySequence::Copy);
    m_copyAction->setShortcutVisibleInContextMenu(true);
    connect(m_copyAction, &QAction::triggered, this, &TStringGrid::copySelection);
    m_exportAction = new QAction(u"Экспорт в файл…"_s, this);
    m_exportAction->setObjectName(u"GridExport"_s);
    connect(m_exportAction, &QAction::triggered, this, &TStringGrid::exportToFile);

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) {
        Q_EMIT cellDoubleClicked(i.column(), m_filter->mapToSource(i).row() + 1);
    });
    connectSelection();
    connect(m_filter, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_restoring && !currentIndex().isValid())
            setCurrentIndex(m_filter->index(0, 0));
    });
    // A current row that leaves the view (the filter or a removal hides it) must not hand its
    // place to a neighbour that nobody chose: the selection is cleared instead.
    connect(m_filter, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        [this](const QModelIndex &, int first, int last) {
            const QModelIndex c = currentIndex();
            m_currentRemoved = c.isValid() && c.row() >= first && c.row() <= last;
        });
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_currentRemoved)
            return;
        m_currentRemoved = false;
        selectionModel()->clear();
        m_cleared = true;
    });
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, &TStringGrid::onFilterChanged);
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &TStringGrid::onFilterChanged);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &TStringGrid::onFilterChanged);
}

TStringGrid::~TStringGrid()
{
    // Work still running goes with the grid: an unfinished file is thrown away.
    if (m_work) {
        qApp->removeEventFilter(this);
        m_work.reset();
    }
}

void TStringGrid::setSlicedFrom(int rows)
{
    g_slicedFrom = rows;
}

int TStringGrid::slicedFrom()
{
    return g_slicedFrom;
}

void TStringGrid::connectSelection()
{
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &i) {
        if (!i.isValid())
            return;
        m_cleared = false;
        Q_EMIT currentCellChanged(i.column(), m_filter->mapToSource(i).row() + 1);
    });
}

void TStringGrid::useModel(QAbstractItemModel *model)
{
    QAbstractItemModel *source = model ? model : m_model;
    if (source == m_source)
        return;
    m_source = source;
    m_filter->setSourceModel(source);
    if (!currentIndex().isValid())
        setCurrentIndex(m_filter->index(0, 0));
}

int TStringGrid::rowCount() const
{
    return m_source == m_model ? m_model->gridRowCount() : qMax(2, m_source->rowCount() + 1);
}

int TStringGrid::colCount() const
{
    return m_source == m_model ? m_model->gridColCount() : m_source->columnCount();
}

QString TStringGrid::cell(int col, int row) const
{
    if (m_source == m_model)
        return m_model->cell(col, row);
    if (row < 0 || row >= rowCount() || col < 0 || col >= colCount())
        return {};
    return GridText::cellText(*m_source, col, row - 1);
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
    if (i.isValid())
        return m_filter->mapToSource(i).row() + 1;
    return (m_cleared || m_filter->isFiltering()) ? 0 : 1;
}

int TStringGrid::viewRowOf(int gridRow) const
{
    if (gridRow < 1 || gridRow >= rowCount())
        return -1;
    const QModelIndex i = m_filter->mapFromSource(m_source->index(gridRow - 1, 0));
    return i.isValid() ? i.row() : -1;
}

void TStringGrid::setViewCurrent(int viewRow, int col)
{
    const QModelIndex i = m_filter->index(viewRow, qBound(0, col, qMax(0, colCount() - 1)));
    setCurrentIndex(i);
}

void TStringGrid::setRow(int row)
{
    if (row < 1 || row >= rowCount())
        return;
    int viewRow = viewRowOf(row);
    if (viewRow < 0 && m_filter->isFiltering()) {
        // The program points at a row that the filter hides: show it rather than act unseen.
        closeFilter();
        viewRow = viewRowOf(row);
    }
    if (viewRow < 0)
        return;
    setViewCurrent(viewRow, qMax(0, col()));
    scrollTo(currentIndex());
}

int TStringGrid::col() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : 0;
}

void TStringGrid::setCol(int col)
{
    const QModelIndex i = currentIndex();
    if (col < 0 || col >= colCount() || !i.isValid())
        return;
    setCurrentIndex(m_filter->index(i.row(), col));
}
void TStringGrid::setColWidth(int col, int width)
{
    if (const auto *keeper = static_cast<const ColumnWidthKeeper *>(m_widthKeeper);
        keeper && keeper->width(col) > 0)
        width = keeper->width(col);
    // The style's minimum would widen narrow number columns.
    if (width < horizontalHeader()->minimumSectionSize())
        horizontalHeader()->setMinimumSectionSize(qMax(1, width));
    setColumnWidth(col, width);
}

void TStringGrid::rememberColWidths(const QString &key)
{
    delete m_widthKeeper;
    m_widthKeeper = new ColumnWidthKeeper(this, key);
    for (int c = 0; c < colCount(); ++c)
        setColWidth(c, columnWidth(c));
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

void TStringGrid::beginUpdate()
{
    if (m_updating++ == 0)
        m_savedPlace = currentPlace();
    m_model->suspend();
}

void TStringGrid::endUpdate()
{
    m_restoring = true;
    m_model->resume();
    m_restoring = false;
    if (m_updating > 0 && --m_updating == 0)
        restorePlace(m_savedPlace);
}

QString TStringGrid::rowKey(int sourceRow) const
{
    QString key;
    for (const int c : m_keyColumns) {
        key += GridText::cellText(*m_source, c, sourceRow);
        key += QChar(0x1F);
    }
    return key;
}

TStringGrid::Place TStringGrid::currentPlace() const
{
    Place place;
    place.vertical = verticalScrollBar()->value();
    place.horizontal = horizontalScrollBar()->value();
    const QModelIndex i = currentIndex();
    place.hadCurrent = i.isValid();
    if (!i.isValid())
        return place;
    place.row = m_filter->mapToSource(i).row() + 1;
    place.col = i.column();
    if (!m_keyColumns.isEmpty())
        place.key = rowKey(place.row - 1);
    const int top = rowAt(0);
    const int y = rowViewportPosition(i.row());
    if (top >= 0 && y >= 0 && y < viewport()->height())
        place.offset = i.row() - top;
    return place;
}

void TStringGrid::restorePlace(const Place &place)
{
    if (!place.hadCurrent) {
        horizontalScrollBar()->setValue(place.horizontal);
        verticalScrollBar()->setValue(place.vertical);
        return;
    }
    int viewRow = -1;
    if (!m_keyColumns.isEmpty()) {
        const int rows = m_source->rowCount();
        for (int r = 0; r < rows; ++r) {
            if (rowKey(r) == place.key) {
                viewRow = viewRowOf(r + 1);
                break;
            }
        }
    } else {
        // Without a key the row keeps its number; past the end the first row takes over.
        viewRow = place.row < rowCount() ? viewRowOf(place.row) : -1;
        if (viewRow < 0 && m_filter->rowCount() > 0)
            viewRow = 0;
    }

    horizontalScrollBar()->setValue(place.horizontal);
    if (viewRow < 0) {
        // The item is gone (or the filter no longer shows it): nothing stays chosen by accident.
        m_restoring = true;
        selectionModel()->clear();
        m_restoring = false;
        m_cleared = true;
        verticalScrollBar()->setValue(place.vertical);
        return;
    }
    setViewCurrent(viewRow, place.col);
    if (place.offset >= 0) {
        // Keep the row where the eye left it.
        const int top = qMax(0, viewRow - place.offset);
        verticalScrollBar()->setValue(verticalScrollMode() == ScrollPerItem
                ? top
                : rowViewportPosition(top) + verticalScrollBar()->value());
    } else {
        verticalScrollBar()->setValue(place.vertical);
    }
    if (m_keyColumns.isEmpty())
        scrollTo(currentIndex());
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
    *row = m_filter->mapToSource(i).row() + 1;
    return true;
}

void TStringGrid::ensurePopupItems(QMenu *menu)
{
    const QList<QAction *> items = menu->actions();
    if (!items.isEmpty() && items.last() == m_exportAction)
        return;
    menu->removeAction(m_exportAction);
    if (!menu->actions().isEmpty() && !menu->actions().last()->isSeparator())
        menu->addSeparator();
    menu->addAction(m_exportAction);
}

void TStringGrid::contextMenuEvent(QContextMenuEvent *event)
{
    // The popup's commands act on the current row: let it be the only row that looks chosen.
    const QModelIndex current = currentIndex();
    if (current.isValid()
        && selectionModel()->selectedRows().size() + selectionModel()->selectedIndexes().size() > 1
        && selectionBehavior() == SelectRows)
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QMenu *menu = m_popup;
    if (!menu) {
        if (!m_ownPopup) {
            m_ownPopup = new QMenu(this);
            m_ownPopup->setObjectName(u"GridPopup"_s);
            m_ownPopup->addAction(m_copyAction);
        }
        menu = m_ownPopup;
    }
    ensurePopupItems(menu);
    menu->popup(event->globalPos());
    event->accept();
}

bool TStringGrid::event(QEvent *event)
{
    // Copy and find belong to the grid while it has the focus, whatever the window's shortcuts.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy) || (m_filterEnabled && key->matches(QKeySequence::Find))) {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void TStringGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    if (m_filterEnabled && event->matches(QKeySequence::Find)) {
        openFilter();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TStringGrid::setCellTextHook(CellTextHook hook)
{
    m_textHook = std::move(hook);
    if (m_textHook) {
        m_filter->setCellTextHook(
            [this](int col, int row, const QString &shown) { return m_textHook(col, row + 1, shown); });
    } else {
        m_filter->setCellTextHook({});
    }
}

std::function<QString(int, int, const QString &)> TStringGrid::exportHook() const
{
    if (!m_textHook)
        return {};
    // Rows of the view, as the grid's own rows.
    return [this](int col, int viewRow, const QString &shown) {
        const int gridRow = viewRow < 0 ? 0 : m_filter->mapToSource(m_filter->index(viewRow, 0)).row() + 1;
        return m_textHook(col, gridRow, shown);
    };
}

QString TStringGrid::selectionText() const
{
    QModelIndexList picked = selectionModel()->selectedIndexes();
    if (picked.isEmpty() && currentIndex().isValid())
        picked.append(currentIndex());
    if (picked.isEmpty())
        return {};
    QList<int> rows;
    int first = colCount(), last = -1;
    for (const QModelIndex &i : picked) {
        rows.append(i.row());
        first = qMin(first, i.column());
        last = qMax(last, i.column());
    }
    if (selectionBehavior() == SelectRows) {
        first = 0;
        last = colCount() - 1;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const auto hook = exportHook();
    QList<QStringList> table;
    table.reserve(rows.size());
    for (const int r : rows) {
        QStringList line;
        for (int c = first; c <= last; ++c) {
            const QModelIndex i = m_filter->index(r, c);
            const bool wanted = selectionBehavior() == SelectRows || selectionModel()->isSelected(i)
                || (picked.size() == 1 && i == picked.first());
            line.append(wanted ? GridText::cellText(*m_filter, c, r, hook) : QString());
        }
        table.append(line);
    }
    return GridText::tabSeparated(table);
}

void TStringGrid::copySelection()
{
    const QString text = selectionText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

struct TStringGrid::Work
{
    QString caption;
    std::function<bool()> step;
    std::function<int()> percent;
    std::function<void(bool)> finish;
    QElapsedTimer clock;
    QTimer timer;
    QList<QMetaObject::Connection> watch;
};

void TStringGrid::startWork(const QString &caption, std::function<bool()> step, std::function<int()> percent,
    std::function<void(bool stopped)> finish)
{
    cancelWork();
    m_work = std::make_unique<Work>();
    m_work->caption = caption;
    m_work->step = std::move(step);
    m_work->percent = std::move(percent);
    m_work->finish = std::move(finish);
    m_work->timer.setInterval(0);
    connect(&m_work->timer, &QTimer::timeout, this, &TStringGrid::workTick);
    m_work->clock.start();
    // Esc stops the work, wherever the focus is in this window.
    qApp->installEventFilter(this);
    m_work->timer.start();
}

void TStringGrid::workTick()
{
    Work *work = m_work.get();
    if (!work)
        return;
    QElapsedTimer slice;
    slice.start();
    bool finished = false;
    do {
        finished = work->step();
    } while (!finished && slice.elapsed() < kSliceMs);
    if (finished) {
        endWork(false);
        return;
    }
    if (work->clock.elapsed() >= kProgressAfterMs) {
        placeProgressLine();
        m_progressLine->setCaption(work->caption);
        m_progressLine->setPercent(work->percent());
        m_progressLine->show();
    }
}

void TStringGrid::endWork(bool stopped)
{
    std::unique_ptr<Work> work = std::move(m_work);
    if (!work)
        return;
    work->timer.stop();
    for (const QMetaObject::Connection &c : std::as_const(work->watch))
        disconnect(c);
    qApp->removeEventFilter(this);
    if (m_progressLine)
        m_progressLine->hide();
    if (m_filterLine)
        m_filterLine->setEnabled(true);
    work->finish(stopped);
    Q_EMIT workFinished();
}

void TStringGrid::cancelWork()
{
    endWork(true);
}

void TStringGrid::placeProgressLine()
{
    if (m_progressLine)
        return;
    QWidget *parent = parentWidget();
    m_progressLine = new GridProgressLine(parent ? parent : this);
    auto *box = parent ? qobject_cast<QBoxLayout *>(parent->layout()) : nullptr;
    const int at = box ? box->indexOf(this) : -1;
    if (at >= 0) {
        box->insertWidget(at + 1, m_progressLine);
    } else {
        // No column of widgets to join: the line lies over the bottom of the rows.
        m_progressLine->setParent(this);
        m_progressLine->setAutoFillBackground(true);
        const int height = m_progressLine->sizeHint().height();
        m_progressLine->setGeometry(
            viewport()->x(), viewport()->y() + viewport()->height() - height, viewport()->width(), height);
    }
}

bool TStringGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (m_work && watched->isWidgetType()
        && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape
        && static_cast<QWidget *>(watched)->window() == window()) {
        // Esc belongs to the running work: it stops it, and closes nothing else.
        event->accept();
        if (event->type() == QEvent::KeyPress)
            cancelWork();
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

namespace {

// The file an export goes to: a regular file is replaced only once it is written whole (the old
// one stays otherwise); a device or a pipe is written straight.
std::shared_ptr<QFileDevice> exportFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return std::make_shared<QFile>(path);
    return std::make_shared<QSaveFile>(path);
}

// Makes the written file durable and puts it in place (a regular file replaces the old one):
// empty, or the system's reason it failed.
QString commitFile(QFileDevice *file)
{
    if (!file->flush())
        return file->errorString();
    if (auto *save = qobject_cast<QSaveFile *>(file)) {
        if (!save->commit())
            return save->errorString();
        return {};
    }
    file->close();
    return file->error() == QFileDevice::NoError ? QString() : file->errorString();
}

} // namespace

void TStringGrid::exportToFile()
{
    if (m_work) {
        // A search still running: the rows shown now are exported.
        if (m_searching.isEmpty())
            return;
        cancelWork();
    }
    QString suggested = window()->windowTitle().trimmed();
    for (QChar &c : suggested) {
        if (u"\\/:*?\"<>|"_s.contains(c))
            c = u'_';
    }
    if (suggested.isEmpty())
        suggested = u"grid"_s;
    Dialogs::Encoding encoding = Dialogs::Encoding::Utf8Bom;
    const QString path = Dialogs::saveFileName(u"Экспорт в файл"_s, suggested + u".csv"_s, &encoding);
    if (path.isEmpty())
        return;
    const std::shared_ptr<QFileDevice> file = exportFile(path);
    const bool replacing = qobject_cast<QSaveFile *>(file.get()) != nullptr;
    const auto failed = [path, replacing](const QString &why) {
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
            u"Не удалось записать файл "_s + path + u"\n"_s + why
                + (replacing ? u"\nПрежний файл не изменен."_s : QString()));
    };
    if (!file->open(QIODevice::WriteOnly)) {
        failed(file->errorString());
        return;
    }
    const auto enc = encoding == Dialogs::Encoding::Utf8Bom ? GridText::Encoding::Utf8Bom
                                                            : GridText::Encoding::Windows1251;
    const auto writer = std::make_shared<GridText::CsvWriter>(*file, *m_filter, enc, exportHook());
    const auto failure = std::make_shared<QString>();
    // A long list's file is committed away from the event loop: the flush to the disk and the
    // replacing of a large old file can take a busy disk longer than a frame.
    const auto committing = std::make_shared<std::future<QString>>();
    // Every write, the flush and the replacing of the old file are checked; the first failure
    // is the one reported, with the system's reason.
    const auto finish = [file, failure, failed, committing](bool stopped) {
        QString error = *failure;
        if (committing->valid()) {
            // Written whole: the commit under way ends as it ends, whatever stopped the work.
            const QString committed = committing->get();
            if (error.isEmpty())
                error = committed;
        } else {
            if (stopped && error.isEmpty())
                return; // stopped by the administrator: nothing written, nothing to say
            if (error.isEmpty())
                error = commitFile(file.get());
        }
        if (!error.isEmpty()) {
            if (auto *save = qobject_cast<QSaveFile *>(file.get()))
                save->cancelWriting();
            failed(error);
        }
    };
    if (m_filter->rowCount() < g_slicedFrom) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (!writer->write(std::numeric_limits<int>::max(), failure.get()) && failure->isEmpty())
            *failure = file->errorString();
        QApplication::restoreOverrideCursor();
        finish(false);
        return;
    }
    startWork(
        u"Экспорт в файл"_s,
        [writer, failure, file, committing] {
            if (committing->valid())
                return committing->wait_for(std::chrono::milliseconds(2)) == std::future_status::ready;
            if (!writer->write(kBatchRows, failure.get())) {
                if (failure->isEmpty())
                    *failure = file->errorString();
                return true;
            }
            if (!writer->done())
                return false;
            *committing = std::async(std::launch::async, [file] { return commitFile(file.get()); });
            return false;
        },
        [writer] {
            return writer->rowCount() ? int(qint64(writer->rowsWritten()) * 100 / writer->rowCount()) : 0;
        },
        finish);
    // Rows that change under the export would leave a file that is neither the old list nor
    // the new one.
    const auto changed = [this, failure, committing] {
        if (committing->valid())
            return; // every row is in the file already
        if (failure->isEmpty())
            *failure = u"список изменился во время записи"_s;
        cancelWork();
    };
    m_work->watch = { connect(m_filter, &QAbstractItemModel::modelAboutToBeReset, this, changed),
        connect(m_filter, &QAbstractItemModel::rowsAboutToBeInserted, this, changed),
        connect(m_filter, &QAbstractItemModel::rowsAboutToBeRemoved, this, changed),
        connect(m_filter, &QAbstractItemModel::layoutAboutToBeChanged, this, changed),
        connect(m_filter, &QAbstractItemModel::dataChanged, this, changed) };
    if (m_filterLine)
        m_filterLine->setEnabled(false);
}

void TStringGrid::setFilterEnabled(bool on)
{
    m_filterEnabled = on;
    if (!on)
        closeFilter();
}

void TStringGrid::placeFilterLine()
{
    QWidget *parent = parentWidget();
    m_filterLine = new GridFilterLine(parent ? parent : this);
    auto *box = parent ? qobject_cast<QBoxLayout *>(parent->layout()) : nullptr;
    const int at = box ? box->indexOf(this) : -1;
    if (at >= 0) {
        box->insertWidget(at, m_filterLine);
    } else {
        // No column of widgets to join: the line lies over the top of the rows.
        m_filterLine->setParent(this);
        m_filterLine->setAutoFillBackground(true);
        m_filterLine->setGeometry(
            viewport()->x(), viewport()->y(), viewport()->width(), m_filterLine->sizeHint().height());
    }
    // On a list of a million rows each pass takes a noticeable moment: wait for a pause in typing.
    auto *pause = new QTimer(m_filterLine);
    pause->setSingleShot(true);
    pause->setInterval(250);
    connect(pause, &QTimer::timeout, this, [this] { setFilterText(m_filterLine->text()); });
    connect(m_filterLine, &GridFilterLine::textChanged, this, [this, pause](const QString &text) {
        if (m_source->rowCount() > 100000 && !text.isEmpty())
            pause->start();
        else
            setFilterText(text);
    });
    connect(m_filterLine, &GridFilterLine::closeRequested, this, [this] {
        closeFilter();
        setFocus(Qt::ShortcutFocusReason);
    });
}

void TStringGrid::openFilter()
{
    if (!m_filterEnabled)
        return;
    if (!m_filterLine)
        placeFilterLine();
    m_filterLine->show();
    m_filterLine->edit()->setFocus(Qt::ShortcutFocusReason);
    m_filterLine->edit()->selectAll();
}

QString TStringGrid::filterText() const
{
    return m_filter->filterText();
}

void TStringGrid::setFilterText(const QString &text)
{
    if (m_work) {
        if (m_searching.isEmpty())
            return; // the export keeps the rows it writes
        if (text == m_searching)
            return;
        cancelWork(); // the new text replaces the search still running
    }
    if (text == m_filter->filterText())
        return;
    if (!text.isEmpty() && m_source->rowCount() >= g_slicedFrom) {
        searchInSlices(text);
        return;
    }
    applyFilterText(text, nullptr);
}

void TStringGrid::searchInSlices(const QString &text)
{
    struct Search
    {
        std::vector<int> found; // the source rows that contain the text, ascending
        int next = 0;
        int rows = 0;
        bool stale = true;
    };
    const auto search = std::make_shared<Search>();
    const auto step = [this, search, text] {
        if (search->stale) {
            // The rows changed under the search: it starts again on them.
            search->stale = false;
            search->next = 0;
            search->rows = m_source->rowCount();
            search->found.clear();
        }
        const int stop = qMin(search->next + kBatchRows, search->rows);
        for (int r = search->next; r < stop; ++r) {
            if (m_filter->rowMatches(r, text))
                search->found.push_back(r);
        }
        search->next = stop;
        return stop >= search->rows;
    };
    const auto percent
        = [search] { return search->rows ? int(qint64(search->next) * 100 / search->rows) : 0; };
    m_searching = text;
    startWork(u"Поиск «"_s + text + u"»"_s, step, percent, [this, search, text](bool stopped) {
        m_searching.clear();
        if (!stopped && !search->stale)
            applyFilterText(text, &search->found);
    });
    const auto stale = [search] { search->stale = true; };
    m_work->watch = { connect(m_source, &QAbstractItemModel::modelReset, this, stale),
        connect(m_source, &QAbstractItemModel::rowsInserted, this, stale),
        connect(m_source, &QAbstractItemModel::rowsRemoved, this, stale),
        connect(m_source, &QAbstractItemModel::layoutChanged, this, stale),
        connect(m_source, &QAbstractItemModel::dataChanged, this, stale) };
}

void TStringGrid::applyFilterText(const QString &text, std::vector<int> *found)
{
    const Place place = currentPlace();
    if (found)
        m_filter->setFilterResult(text, std::move(*found));
    else
        m_filter->setFilterText(text);
    if (m_filterLine && m_filterLine->text() != text) {
        const QSignalBlocker quiet(m_filterLine);
        m_filterLine->edit()->setText(text);
    }
    // The chosen row stays chosen while the filter shows it; otherwise nothing is chosen.
    if (place.hadCurrent) {
        const int viewRow = viewRowOf(place.row);
        if (viewRow >= 0) {
            setViewCurrent(viewRow, place.col);
            scrollTo(currentIndex());
        } else if (!currentIndex().isValid()
            || m_filter->mapToSource(currentIndex()).row() + 1 != place.row) {
            selectionModel()->clear();
        }
    }
    onFilterChanged();
}

void TStringGrid::closeFilter()
{
    setFilterText(QString());
    if (m_filterLine)
        m_filterLine->hide();
}

void TStringGrid::onFilterChanged()
{
    if (m_filterLine)
        m_filterLine->setCounts(m_filter->rowCount(), m_source->rowCount());
}

StringGridHeader::StringGridHeader(TStringGrid *grid)
    : QHeaderView(Qt::Horizontal, grid)
    , m_grid(grid)
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
