#include "clients_menu.h"

#include "shell/FormUtil.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"

#include <QPushButton>
#include <QStyle>

using namespace Qt::Literals::StringLiterals;

TOpenDbMenu::TOpenDbMenu(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"OpenDbMenu"_s);
    setWindowTitle(u"Выбор ini-файла"_s);
    setProperty("helpContext", 2100);
    setFixedSize(426, 273);
    setFormPosition(this, FormPosition::ScreenCenter);

    DBStringGrid = new TStringGrid(this);
    DBStringGrid->setObjectName(u"DBStringGrid"_s);
    DBStringGrid->setColCount(2);
    DBStringGrid->setRowCount(2);
    DBStringGrid->setColWidth(0, 108);
    DBStringGrid->setColWidth(1, 332);
    DBStringGrid->setRowSelect(true);
    DBStringGrid->setGeometry(8, 8, 410, 220);

    OKBitBtn = makeButton(this, u"OKBitBtn"_s, u"Выбрать"_s, true);
    OKBitBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    OKBitBtn->setDefault(true);
    OKBitBtn->setGeometry(122, 238, 85, 27);

    CancelBitBtn = makeButton(this, u"CancelBitBtn"_s, u"Отменить"_s, true);
    CancelBitBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    CancelBitBtn->setAutoDefault(false);
    CancelBitBtn->setGeometry(219, 238, 85, 27);

    connect(OKBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);
    // A double click on a row chooses it, as the OK button does.
    connect(DBStringGrid, &TStringGrid::cellDoubleClicked, OKBitBtn, &QPushButton::click);

    FormCreate();
}

void TOpenDbMenu::FormCreate()
{
    // Fixed captions: neither the message catalogue nor the font settings apply here.
    writeTitles();
}

void TOpenDbMenu::writeTitles()
{
    DBStringGrid->setCell(0, 0, u"Имя ini-файла"_s);
    DBStringGrid->setCell(1, 0, u"Описание ini-файла"_s);
}
