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
#include "shell/connect.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

TOpenDbForm::TOpenDbForm(QWidget *parent)
    : QDialog(parent)
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
    BottomPanel = makeBottomPanel(this, u"BottomPanel"_s, { OKBitBtn, nullptr, CancelBitBtn });
    stackVertically(this, { DBStringGrid, BottomPanel }, DBStringGrid);

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
    // The name column is narrow for its own title: widen it to the title, at the expense of
    // the description column, so that both still fill the dialog.
    const int titleWidth = DBStringGrid->fontMetrics().horizontalAdvance(Msg(181)) + 10;
    if (titleWidth > DBStringGrid->colWidth(0)) {
        const int total = DBStringGrid->colWidth(0) + DBStringGrid->colWidth(1);
        DBStringGrid->setColWidth(0, qMin(titleWidth, total / 2));
        DBStringGrid->setColWidth(1, total - DBStringGrid->colWidth(0));
    }
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

void TOpenDbForm::OpenSelectedDatabase(OpenBy by)
{
    const int row = DBStringGrid->row();
    if (row <= 0)
        return;
    if (OpenDatabase(DBStringGrid->cell(0, row), DBStringGrid->cell(1, row), by))
        return;
    // The highlight shows the current database again, as after a cancel.
    const int current = CurrentDbName.isEmpty() ? -1 : rowOfDatabase(CurrentDbName);
    if (current > 0)
        DBStringGrid->setRow(current);
}

void TOpenDbForm::RefreshCurrentDatabase(OpenBy by)
{
    if (CurrentDbName.isEmpty()) {
        // The open dialog's highlight is only a choice in progress, never something to open.
        if (!isVisible())
            OpenSelectedDatabase(by);
        return;
    }
    const int row = rowOfDatabase(CurrentDbName);
    // A current database that the list no longer holds keeps the description on the screen.
    const QString description = row > 0 ? DBStringGrid->cell(1, row) : WAMainForm->StatisticGrid->cell(1, 2);
    OpenDatabase(CurrentDbName, description, by);
}

bool TOpenDbForm::OpenDatabase(QString name, QString description, OpenBy by)
{
    const quint64 appliedBefore = m_statesApplied;
    // The record lists are parsed while the answer arrives.
    MfnListStream lists;
    const int result = WaitForm->GetDatabaseInfo(name, AnswerList, &lists);
    DatabaseInfoReading reading = readDatabaseInfo(result, AnswerList, &lists);
    if (!reading.state) {
        reportOpenFailure(name, reading.error, by);
        return false;
    }
    // Another open finished while this one waited: its state is newer than this answer.
    if (m_statesApplied != appliedBefore)
        return CurrentDbName == name;
    applyDatabaseState(name, description, std::move(*reading.state));
    return true;
}

void TOpenDbForm::applyDatabaseState(const QString &name, const QString &description, DatabaseState &&state)
{
    ++m_statesApplied;
    CurrentDbName = name;
    DeletedMfns1 = std::move(state.deletedMfns1);
    DeletedMfns2 = std::move(state.deletedMfns2);
    UnactualizedMfns = std::move(state.unactualizedMfns);
    LockedMfns = std::move(state.lockedMfns);
    MaxMfn = state.maxMfn;
    DatabaseLocked = state.locked;

    TStringGrid *grid = WAMainForm->StatisticGrid;
    grid->setCell(1, 1, CurrentDbName);
    grid->setCell(1, 2, description);
    grid->setCell(1, 3, QString::number(MaxMfn));
    grid->setCell(1, 4, DatabaseLocked != 0 ? u"Да"_s : u"Нет"_s);
    grid->setCell(1, 5, QString::number(LockedMfns.size()));
    grid->setCell(1, 6, QString::number(DeletedMfns1.size()));
    grid->setCell(1, 7, QString::number(DeletedMfns2.size()));
    grid->setCell(1, 8, QString::number(UnactualizedMfns.size()));

    for (const char *itemName : LockDependentItems) {
        const QString itemKey = QString::fromLatin1(itemName);
        const bool allowed = !FormConnect || FormConnect->profileAllows(itemKey);
        if (QAction *item = WAMainForm->menuItem(itemKey))
            item->setEnabled(lockDependentItemEnabled(allowed, DatabaseLocked));
    }
    WAMainForm->showOpenStatus(QString());
}

void TOpenDbForm::reportOpenFailure(const QString &name, const DatabaseInfoError &error, OpenBy by)
{
    if (error.kind == DatabaseInfoError::Busy) {
        if (by == OpenBy::Command)
            Dialogs::busyMessage();
        return;
    }
    const bool refresh = !CurrentDbName.isEmpty() && name.compare(CurrentDbName, Qt::CaseInsensitive) == 0;
    WAMainForm->showOpenStatus(databaseOpenFailedStatus(name, refresh, error));
    // A failed exchange has been reported by the exchange already (its retry question).
    if (by == OpenBy::Command && error.kind != DatabaseInfoError::Failed)
        Dialogs::message(
            Dialogs::Icon::Warning, u"Внимание!"_s, databaseOpenFailedMessage(name, CurrentDbName, error));
}

void TOpenDbForm::OKBitBtnClick()
{
    OpenSelectedDatabase();
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
