#include "LockList.h"

#include "LockRules.h"
#include "Mfn.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// Two check marks, one behind the other: "mark every row".
QPixmap selectAllPixmap(bool enabled)
{
    const QPixmap tick = TMFNForm::checkMarkPixmap(enabled);
    QPixmap pixmap(20, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setOpacity(0.55);
    painter.drawPixmap(0, 0, tick);
    painter.setOpacity(1.0);
    painter.drawPixmap(4, 0, tick);
    return pixmap;
}

// The picker's table with the look of a string grid's fixed columns.
class LockedListViewModel : public LockedMfnsModel
{
public:
    using LockedMfnsModel::LockedMfnsModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::BackgroundRole && index.isValid() && index.column() < MfnColumn)
            return QApplication::palette().button();
        return LockedMfnsModel::data(index, role);
    }
};

} // namespace

TLockedListForm::TLockedListForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"LockedListForm"_s);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(323, 375);
    setFormPosition(this, FormPosition::ScreenCenter);

    m_model = new LockedListViewModel(this);
    MfnStringGrid = new TStringGrid(this);
    MfnStringGrid->setObjectName(u"MfnStringGrid"_s);
    MfnStringGrid->setToolTip(u"@224"_s);
    MfnStringGrid->setProperty("helpContext", 3201);
    MfnStringGrid->useModel(m_model);
    MfnStringGrid->setDefaultRowHeight(16);
    // The list can be long: the vertical bar comes when needed, next to the horizontal one.
    MfnStringGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MfnStringGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MfnStringGrid->setDrawCellHandler([this](QPainter *painter, int col, int row, const QRect &rect) {
        MfnStringGridDrawCell(painter, col, row, rect);
    });
    MfnStringGrid->viewport()->installEventFilter(this);
    MfnStringGrid->installEventFilter(this);
    setColumnWidths(2);

    RunBitBtn = makeButton(this, u"RunBitBtn"_s, u"@47"_s, true);
    SelectAllBitBtn = makeButton(this, u"SelectAllBitBtn"_s, u"@322"_s, true);
    QIcon selectAll;
    selectAll.addPixmap(selectAllPixmap(true), QIcon::Normal);
    selectAll.addPixmap(selectAllPixmap(false), QIcon::Disabled);
    SelectAllBitBtn->setIcon(selectAll);
    CancelBitBtn = makeButton(this, u"CancelBitBtn"_s, u"@92"_s, true);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { RunBitBtn, SelectAllBitBtn, CancelBitBtn });
    stackVertically(this, { MfnStringGrid, Panel1 }, MfnStringGrid);

    connect(RunBitBtn, &QPushButton::clicked, this, &TLockedListForm::RunBitBtnClick);
    connect(SelectAllBitBtn, &QPushButton::clicked, this, &TLockedListForm::SelectAllBitBtnClick);
    connect(CancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    onEveryShowing(this, [this] { FormShow(); });
    FormCreate();
}

void TLockedListForm::FormCreate()
{
    TranslateAndRefont(this);
    // The captions of the main window's menu items UnlockItem and UnLockListItem.
    setWindowTitle(Msg(398) + u" - "_s + Msg(926));
}

void TLockedListForm::setColumnWidths(int gridRowCount)
{
    // The number column is only as wide as the digits of the row count need.
    MfnStringGrid->setColWidth(LockedMfnsModel::NumberColumn, lockedNumberColumnWidth(gridRowCount));
    MfnStringGrid->setColWidth(LockedMfnsModel::MarkColumn, 20);
    MfnStringGrid->setColWidth(LockedMfnsModel::MfnColumn, 278);
}

void TLockedListForm::FormShow()
{
    // Marks never survive from an earlier showing.
    m_model->setMfns(LockedMfns);
    setColumnWidths(MfnStringGrid->rowCount());
    MfnStringGrid->setRow(1);
    MfnStringGrid->setFocus();
}

void TLockedListForm::MfnStringGridDrawCell(QPainter *painter, int col, int row, const QRect &rect)
{
    if (col != LockedMfnsModel::MarkColumn || (row != 0 && !m_model->isMarked(row - 1)))
        return;
    const QPixmap glyph = MFNForm ? MFNForm->okGlyph() : TMFNForm::checkMarkPixmap();
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    // The glyph is see-through: the "+" drawn beneath it must not show.
    if (row != 0)
        painter->fillRect(inner, MfnStringGrid->palette().button());
    painter->drawPixmap(inner, glyph);
}

void TLockedListForm::MfnStringGridMouseDown(const QPoint &pos)
{
    int col = 0;
    int row = 0;
    if (!MfnStringGrid->cellAt(pos, &col, &row) || row < 1 || MfnStringGrid->cell(0, row).isEmpty())
        return;
    if (col == LockedMfnsModel::NumberColumn || col == LockedMfnsModel::MarkColumn)
        MfnStringGrid->setRow(row);
    if (col == LockedMfnsModel::MarkColumn)
        m_model->toggleMark(row - 1);
}

void TLockedListForm::MfnStringGridDblClick()
{
    m_model->toggleMark(MfnStringGrid->row() - 1);
}

void TLockedListForm::SelectAllBitBtnClick()
{
    m_model->markAll();
}

void TLockedListForm::RunBitBtnClick()
{
    UnlockSelection = m_model->markedMfns();
    accept();
}

bool TLockedListForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == MfnStringGrid->viewport()) {
        // Qt delivers the second press of a double click as the double click itself.
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton) {
                if (event->type() == QEvent::MouseButtonPress)
                    MfnStringGridMouseDown(mouse->position().toPoint());
                else
                    MfnStringGridDblClick();
            }
        }
    } else if (watched == MfnStringGrid && event->type() == QEvent::KeyPress) {
        // The keyboard's way to mark: Space on the current row.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            m_model->toggleMark(MfnStringGrid->row() - 1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
