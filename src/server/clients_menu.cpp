#include "clients_menu.h"

#include "ClientList.h"
#include "exchange/OpResult.h"
#include "exchange/Waitunit.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
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

void TOpenDbMenu::LoadIniMenu(const QString &preferred)
{
    DBStringGrid->beginUpdate();
    DBStringGrid->setRowCount(2);
    DBStringGrid->setCell(0, 1, QString());
    DBStringGrid->setCell(1, 1, QString());
    writeTitles();
    DBStringGrid->endUpdate();
    DBStringGrid->setRow(1);

    const QString menuFile = ProfileIni.readString(ProfileSection, u"CLIENT_INI_MNU"_s, u"client_ini.mnu"_s);
    QStringList lines;
    // A failed read has had its retry question in the engine; the list then stays empty.
    if (!WaitForm || WaitForm->ReadResourceCached(0, QString(), menuFile, lines) != OpResult::Accepted)
        return;
    const QList<ClientList::IniMenuEntry> entries = ClientList::parseIniMenu(lines);
    if (entries.isEmpty())
        return;
    int current = 1;
    DBStringGrid->beginUpdate();
    DBStringGrid->setRowCount(int(entries.size()) + 1);
    for (int i = 0; i < entries.size(); ++i) {
        const ClientList::IniMenuEntry &e = entries.at(i);
        DBStringGrid->setCell(0, i + 1, e.fileName);
        DBStringGrid->setCell(1, i + 1, e.description);
        if (current == 1 && !preferred.isEmpty() && e.fileName.compare(preferred, Qt::CaseInsensitive) == 0)
            current = i + 1;
    }
    DBStringGrid->endUpdate();
    DBStringGrid->setRow(current);
}

bool TOpenDbMenu::chooseIniFile(const QString &preferred, QString *chosen)
{
    LoadIniMenu(preferred);
    if (Dialogs::execModal(this) != QDialog::Accepted)
        return false;
    *chosen = DBStringGrid->cell(0, DBStringGrid->row());
    return true;
}
