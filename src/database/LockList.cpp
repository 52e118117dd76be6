#include "LockList.h"

#include "Mfn.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"

#include <QBoxLayout>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
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

} // namespace

TLockedListForm::TLockedListForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"LockedListForm"_s);
    resize(323, 375);
    setFormPosition(this, FormPosition::ScreenCenter);

    MfnStringGrid = new TStringGrid(this);
    MfnStringGrid->setObjectName(u"MfnStringGrid"_s);
    MfnStringGrid->setToolTip(u"@224"_s);
    MfnStringGrid->setProperty("helpContext", 3201);
    MfnStringGrid->setColCount(3);
    MfnStringGrid->setRowCount(2);
    MfnStringGrid->setFixedCols(2);
    MfnStringGrid->setDefaultRowHeight(16);
    // The number column is only as wide as its digits need (16 pixels for one digit).
    MfnStringGrid->setColWidth(0, 16);
    MfnStringGrid->setColWidth(1, 20);
    MfnStringGrid->setColWidth(2, 278);
    // The list can be long: the vertical bar comes when needed, next to the horizontal one.
    MfnStringGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MfnStringGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MfnStringGrid->setDrawCellHandler([this](QPainter *painter, int col, int row, const QRect &rect) {
        MfnStringGridDrawCell(painter, col, row, rect);
    });

    RunBitBtn = makeButton(this, u"RunBitBtn"_s, u"@47"_s, true);
    SelectAllBitBtn = makeButton(this, u"SelectAllBitBtn"_s, u"@322"_s, true);
    QIcon selectAll;
    selectAll.addPixmap(selectAllPixmap(true), QIcon::Normal);
    selectAll.addPixmap(selectAllPixmap(false), QIcon::Disabled);
    SelectAllBitBtn->setIcon(selectAll);
    CancelBitBtn = makeButton(this, u"CancelBitBtn"_s, u"@92"_s, true);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, {RunBitBtn, SelectAllBitBtn, CancelBitBtn});
    stackVertically(this, {MfnStringGrid, Panel1}, MfnStringGrid);

    connect(CancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TLockedListForm::FormCreate()
{
    TranslateAndRefont(this);
    MfnStringGrid->setCell(0, 0, u"№"_s);
    MfnStringGrid->setCell(2, 0, u"MFN"_s);
    // The captions of the main window's menu items UnlockItem and UnLockListItem.
    setWindowTitle(Msg(398) + u" - "_s + Msg(926));
}

void TLockedListForm::MfnStringGridDrawCell(QPainter *painter, int col, int row, const QRect &rect)
{
    if (col != 1 || (row != 0 && MfnStringGrid->cell(1, row) != u"+"))
        return;
    const QPixmap glyph = MFNForm ? MFNForm->okGlyph() : TMFNForm::checkMarkPixmap();
    painter->drawPixmap(rect.adjusted(1, 1, -1, -1), glyph);
}
