#include "Opendb.h"

#include "DatabaseInfo.h"
#include "exchange/Waitunit.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"
#include "shell/Wamain.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

TOpenDbForm::TOpenDbForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"OpenDbForm"_s);
    setWindowTitle(u"@481"_s);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setProperty("helpContext", 2100);
    setFixedSize(427, 274);
    setFormPosition(this, FormPosition::ScreenCenter);

    DBStringGrid = new TStringGrid(this);
    DBStringGrid->setObjectName(u"DBStringGrid"_s);
    DBStringGrid->setColCount(2);
    DBStringGrid->setRowCount(2);
    DBStringGrid->setDefaultRowHeight(20);
    DBStringGrid->setColWidth(0, 85);
    DBStringGrid->setColWidth(1, 332);
    DBStringGrid->setRowSelect(true);
    DBStringGrid->setColSizing(true);

    OKBitBtn = makeButton(this, u"OKBitBtn"_s, u"@482"_s, true);
    OKBitBtn->setDefault(true);
    CancelBitBtn = makeButton(this, u"CancelBitBtn"_s, u"@312"_s, true);
    BottomPanel = makeBottomPanel(this, u"BottomPanel"_s, {OKBitBtn, nullptr, CancelBitBtn});
    stackVertically(this, {DBStringGrid, BottomPanel}, DBStringGrid);

    connect(OKBitBtn, &QPushButton::clicked, this, &TOpenDbForm::OKBitBtnClick);
    connect(CancelBitBtn, &QPushButton::clicked, this, &TOpenDbForm::CancelBitBtnClick);
    connect(DBStringGrid, &TStringGrid::cellDoubleClicked, this, &TOpenDbForm::DBStringGridDblClick);

    FormCreate();
}

void TOpenDbForm::FormCreate()
{
    TranslateAndRefont(this);
    DBStringGrid->setCell(0, 0, Msg(181));
    DBStringGrid->setCell(1, 0, Msg(461));
    DBStringGrid->setRow(1);
}

void TOpenDbForm::ReloadDatabaseList(ListRead when)
{
    const QString file = ProfileIni.readString(ProfileSection, u"DBNNAMECAT"_s, u"dbnam1.mnu"_s);
    if (when == ListRead::AfterChange) {
        WaitForm->ClearResourceCache();
        WaitForm->ReadResourceCached(1, QString(), file, AnswerList);
        DBStringGrid->setRowCount(2);
    } else {
        WaitForm->ReadResourceCached(1, QString(), file, AnswerList);
        // Later reads of the list must reach the server again.
        WaitForm->ClearResourceCache();
    }
    const QList<DatabaseListEntry> entries = databaseListEntries(AnswerList);
    DBStringGrid->beginUpdate();
    for (qsizetype k = 0; k < entries.size(); ++k) {
        const int row = int(k) + 1;
        if (row >= DBStringGrid->rowCount())
            DBStringGrid->setRowCount(DBStringGrid->rowCount() + 1);
        DBStringGrid->setCell(0, row, entries.at(k).name);
        DBStringGrid->setCell(1, row, entries.at(k).description);
    }
    DBStringGrid->endUpdate();
}

int TOpenDbForm::rowOfDatabase(const QString &name) const
{
    for (int row = 1; row < DBStringGrid->rowCount(); ++row) {
        if (DBStringGrid->cell(0, row).compare(name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

void TOpenDbForm::SelectStartupDatabase()
{
    const QString current = ProfileIni.readString(ProfileSection, u"CurDbn"_s, QString());
    if (current.isEmpty())
        return;
    const int row = rowOfDatabase(current);
    if (row > 0)
        DBStringGrid->setRow(row);
}

int TOpenDbForm::OpenSelectedDatabase()
{
    const int row = DBStringGrid->row();
    if (row <= 0)
        return OpResult::Failed;
    // The figures go under the name and description they were asked for, whatever is picked
    // while the request runs; a refused request changes nothing.
    const QString dbName = DBStringGrid->cell(0, row);
    const QString description = DBStringGrid->cell(1, row);
    const auto result = WaitForm->GetDatabaseInfo(dbName, AnswerList);
    if (result == OpResult::Busy)
        return result;
    CurrentDbName = dbName;
    DeletedMfns1.clear();
    DeletedMfns2.clear();
    LockedMfns.clear();
    UnactualizedMfns.clear();

    if (result == OpResult::Accepted && databaseInfoAccepted(AnswerList)) {
        QList<qint32> *lists[] = {&DeletedMfns1, &DeletedMfns2, &UnactualizedMfns, &LockedMfns};
        for (int i = 0; i < 4; ++i) {
            QString bad;
            if (!parseMfnList(AnswerList.bytesAt(i + 1), lists[i], &bad)) {
                Dialogs::message(Dialogs::Icon::Error, Msg(138),
                                 u"\""_s + bad + u"\" — недопустимый номер записи (MFN) в ответе сервера о базе данных "_s
                                     + CurrentDbName + u"."_s);
                return result;
            }
        }
        MaxMfn = maxMfnFromLine(AnswerList.at(5));
        DatabaseLocked = lockFlagFromLine(AnswerList.at(6));

        TStringGrid *grid = WAMainForm->StatisticGrid;
        grid->setCell(1, 1, CurrentDbName);
        grid->setCell(1, 2, description);
        grid->setCell(1, 3, QString::number(MaxMfn));
        grid->setCell(1, 4, DatabaseLocked != 0 ? u"Да"_s : u"Нет"_s);
        grid->setCell(1, 5, QString::number(LockedMfns.size()));
        grid->setCell(1, 6, QString::number(DeletedMfns1.size()));
        grid->setCell(1, 7, QString::number(DeletedMfns2.size()));
        grid->setCell(1, 8, QString::number(UnactualizedMfns.size()));
    }
    // A locked database allows none of these; enabling is left to the profile alone.
    if (DatabaseLocked != 0) {
        for (QAction *item : {WAMainForm->ClearDBItem, WAMainForm->ServerRestartItem, WAMainForm->ActualItem}) {
            if (item->isEnabled())
                item->setEnabled(false);
        }
    }
    return result;
}

void TOpenDbForm::OKBitBtnClick()
{
    if (OpenSelectedDatabase() == OpResult::Busy) {
        Dialogs::busyMessage(); // the choice stays open for another try
        return;
    }
    accept();
}

void TOpenDbForm::DBStringGridDblClick()
{
    OKBitBtnClick();
}

void TOpenDbForm::CancelBitBtnClick()
{
    const int row = rowOfDatabase(CurrentDbName);
    if (row > 0)
        DBStringGrid->setRow(row);
    QDialog::reject();
}

void TOpenDbForm::reject()
{
    CancelBitBtnClick();
}
