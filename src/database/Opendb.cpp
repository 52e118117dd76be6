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

QString TOpenDbForm::listFileName()
{
    return ProfileIni.readString(ProfileSection, u"DBNNAMECAT"_s, u"dbnam1.mnu"_s);
}

void TOpenDbForm::ReloadDatabaseList(ListRead when)
{
    const QString file = listFileName();
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
    // A row without a name (the list could not be read) names no database to ask for.
    if (row <= 0 || DBStringGrid->cell(0, row).isEmpty())
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
        m_lastFailure = reading.error.kind;
        m_lastFailureText = name + u" ("_s + databaseInfoErrorReason(reading.error) + u")"_s;
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
    followLockFlag();
    WAMainForm->showOpenStatus(QString());
}

void TOpenDbForm::followLockFlag()
{
    for (const char *itemName : LockDependentItems) {
        const QString itemKey = QString::fromLatin1(itemName);
        const bool allowed = !FormConnect || FormConnect->profileAllows(itemKey);
        if (QAction *item = WAMainForm->menuItem(itemKey))
            item->setEnabled(lockDependentItemEnabled(allowed, DatabaseLocked));
    }
}

void TOpenDbForm::clearCurrentDatabase()
{
    // An answer still on its way describes a database that is no longer current.
    ++m_statesApplied;
    CurrentDbName.clear();
    DeletedMfns1.clear();
    DeletedMfns2.clear();
    UnactualizedMfns.clear();
    LockedMfns.clear();
    MaxMfn = 0;
    DatabaseLocked = 0;
    TStringGrid *grid = WAMainForm->StatisticGrid;
    for (int row = 1; row <= 8; ++row)
        grid->setCell(1, row, QString());
    followLockFlag();
}

void TOpenDbForm::OpenFirstDatabaseAfterDeletion(const QString &deleted)
{
    const auto isDeleted
        = [&deleted](const QString &name) { return name.compare(deleted, Qt::CaseInsensitive) == 0; };
    // A list that could not be read again keeps its first row, which may name the deleted one.
    if (isDeleted(DBStringGrid->cell(0, 1))) {
        DBStringGrid->setCell(0, 1, QString());
        DBStringGrid->setCell(1, 1, QString());
    }
    QStringList failed;
    for (int row = 1; row < DBStringGrid->rowCount(); ++row) {
        const QString name = DBStringGrid->cell(0, row);
        if (name.isEmpty() || isDeleted(name))
            continue;
        DBStringGrid->setRow(row);
        // The failures are told together below, not one box each.
        if (OpenDatabase(name, DBStringGrid->cell(1, row), OpenBy::Timer)) {
            if (!failed.isEmpty())
                Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
                    u"База данных "_s + deleted + u" удалена. Не открылись: "_s + failed.join(u", "_s)
                        + u".\nТекущей стала база данных "_s + CurrentDbName + u"."_s);
            return;
        }
        failed.append(m_lastFailureText);
        // Without an answer from the server no other database would open either.
        if (m_lastFailure == DatabaseInfoError::Failed || m_lastFailure == DatabaseInfoError::Busy)
            break;
    }
    clearCurrentDatabase();
    DBStringGrid->setRow(1);
    const QString none = u"Текущей базы данных нет"_s;
    WAMainForm->showOpenStatus(
        none + (failed.isEmpty() ? QString() : u": не открылись "_s + failed.join(u", "_s)));
    Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
        u"База данных "_s + deleted + u" удалена. "_s
            + (failed.isEmpty()
                    ? u"В списке баз данных не осталось другой базы данных."_s
                    : u"Ни одна база данных из списка не открылась: "_s + failed.join(u", "_s) + u"."_s)
            + u"\n"_s + none + u"."_s);
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
