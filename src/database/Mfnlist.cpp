#include "Mfnlist.h"

#include "database/MfnListModel.h"
#include "shell/FormUtil.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"

#include <QBoxLayout>
#include <QFrame>
#include <QPainter>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

TMFNListForm::TMFNListForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"MFNListForm"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setProperty("helpContext", 4000);
    setMinimumSize(340, 300);
    resize(339, 300);
    setFormPosition(this, FormPosition::ScreenCenter);

    MFNStringGrid = new TStringGrid(this);
    MFNStringGrid->setObjectName(u"MFNStringGrid"_s);
    // Lists run to millions of MFNs: the grid is a view over a model that computes each row.
    m_list = new MfnListModel(this);
    MFNStringGrid->useModel(m_list);
    MFNStringGrid->setDefaultRowHeight(20);
    MFNStringGrid->setColWidth(0, 64);
    MFNStringGrid->setColWidth(1, 263);
    MFNStringGrid->setColSizing(true);
    MFNStringGrid->setGridColor(QColor(192, 192, 192));
    MFNStringGrid->setDrawCellHandler([this](QPainter *painter, int col, int row, const QRect &rect) {
        MFNStringGridDrawCell(painter, col, row, rect);
    });

    ExitBitBtn = makeButton(this, u"ExitBitBtn"_s, u"@90"_s, true);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { nullptr, ExitBitBtn, nullptr });
    stackVertically(this, { MFNStringGrid, Panel1 }, MFNStringGrid);

    connect(ExitBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TMFNListForm::FormCreate()
{
    TranslateAndRefont(this);
    m_list->setHeader(0, u"MFN"_s);
    m_list->setHeader(1, QString());
}

void TMFNListForm::MFNStringGridDrawCell(QPainter *painter, int col, int row, const QRect &rect)
{
    if (row != 0)
        return;
    painter->fillRect(rect, QColor(128, 128, 128));
    QFont font = MFNStringGrid->font();
    font.setBold(true);
    painter->setFont(font);
    painter->setPen(Qt::white);
    painter->drawText(rect.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
        MFNStringGrid->cell(col, 0));
}
