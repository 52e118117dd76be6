// The main window's commands that create, delete and unlock databases and unlock records.
#include "ChangeCheck.h"
#include "DatabaseInfo.h"
#include "DbNames.h"
#include "Jobs.h"
#include "LockList.h"
#include "Mfn.h"
#include "Newdb.h"
#include "Opendb.h"
#include "exchange/OpResult.h"
#include "exchange/Waitunit.h"
#include "loadinv.h"
#include "server/process.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"
#include "shell/Wamain.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kAttention = u"Внимание!"_s;

// A command picked while another request waits for its answer (a refresh, say) would act on
// state that is being read again: it is not started at all.
bool serverBusy()
{
    if (WaitForm->busyMarker() != OpResult::Busy)
        return false;
    Dialogs::busyMessage();
    return true;
}

// What the server's state says after an answer that was lost.
void tellFinding(const ChangeCheck::Finding &finding)
{
    Dialogs::message(Dialogs::Icon::Warning, kAttention, finding.text);
}

// Commands of the current database say so when there is none (after a deletion, say).
bool haveCurrentDatabase(const QString &dbName)
{
    if (!dbName.isEmpty())
        return true;
    Dialogs::message(Dialogs::Icon::Warning, kAttention, noCurrentDatabaseText());
    return false;
}

// The record commands need locked records; the list may be stale, so an empty one is asked for
// again before the administrator is told there are none.
bool haveLockedRecords()
{
    if (LockedMfns.isEmpty())
        OpenDbForm->RefreshCurrentDatabase(TOpenDbForm::OpenBy::Command);
    if (!LockedMfns.isEmpty())
        return true;
    Dialogs::message(Dialogs::Icon::Information, Msg(138), Msg(844));
    return false;
}

// Sends the unlock of records and, when an answer came, reads the database's state again.
void unlockRecords(const QString &dbName, const QList<qint32> &mfns)
{
    const ChangeCheck::Attempts attempts(*WaitForm->engine());
    const auto result = WaitForm->UnlockRecords(dbName, mfns, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    const bool uncertain = attempts.uncertain(result, returnCodeOk(AnswerList));
    if (uncertain)
        tellFinding(ChangeCheck::recordsUnlocked(*WaitForm->engine(), dbName, mfns));
    if (result == OpResult::Accepted || uncertain)
        OpenDbForm->RefreshCurrentDatabase(TOpenDbForm::OpenBy::Command);
}

// Follows this client's process of that name in the process watch window until it ends (or the
// administrator stops watching); a process already gone is not waited for. The start answer's
// lines (still in AnswerList) are the job's log.
void watchOwnProcess(const QString &processName, quint8 watchKind, const QString &database)
{
    const QStringList log = AnswerList.mid(1);
    FormProcess->LoadProcessList();
    const int row = FormProcess->FindOwnActiveProcess(processName);
    if (row > 0) {
        FormProcess->StringGridProcess->setRow(row);
        LoadInvForm->WatchKind = watchKind;
        LoadInvForm->WatchDatabase = database;
        Dialogs::execModal(LoadInvForm);
        attachWatchedJobLog(log);
    } else {
        recordEndedJob(JobKind(watchKind), database, log);
    }
    QCoreApplication::processEvents();
}

// The deletion runs on the server: follow it, then read the list again; nothing may go on
// naming the deleted database.
void afterDeletion(const QString &dbName)
{
    watchOwnProcess(u"TULVA_DB_DELETE"_s, TLoadInvForm::DbDelete, dbName);
    OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AfterChange);
    OpenDbForm->OpenFirstDatabaseAfterDeletion(dbName);
}

QStringList listedDatabaseNames()
{
    QStringList names;
    const TStringGrid *grid = OpenDbForm->DBStringGrid;
    for (int row = 1; row < grid->rowCount(); ++row)
        names.append(grid->cell(0, row));
    return names;
}

} // namespace

void TWAMainForm::NewDBItemClick()
{
    if (serverBusy())
        return;
    QString name;
    for (;;) {
        if (Dialogs::execModal(NewDBForm) != QDialog::Accepted)
            return;
        name = NewDBForm->NameEdit->text();
        // The dialog closes only with a valid name; nothing else ever reaches the server.
        if (!isValidDatabaseName(name))
            return;
        if (isReservedDbName(name)) {
            Dialogs::message(
                Dialogs::Icon::None, kAttention, u"Нельзя использовать резервное имя базы данных!"_s);
        } else if (isDatabaseListed(name, listedDatabaseNames())) {
            Dialogs::message(Dialogs::Icon::None, kAttention, u"Имя базы данных уже используется!"_s);
        } else {
            break;
        }
        // What was typed stays, for the administrator to correct the name or cancel.
        NewDBForm->keepEntriesOnNextShowing();
    }

    const ChangeCheck::Attempts attempts(*WaitForm->engine());
    const auto result = WaitForm->CreateDatabase(name, oneLineDescription(NewDBForm->FullNameEdit->text()),
        NewDBForm->CheckBox->isChecked(), AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    bool started = result == OpResult::Accepted && returnCodeOk(AnswerList);
    QString lost;
    if (!started && attempts.uncertain(result, returnCodeOk(AnswerList))) {
        const ChangeCheck::Finding finding
            = ChangeCheck::databaseCreated(*WaitForm->engine(), TOpenDbForm::listFileName(), name);
        started = finding.outcome == ChangeCheck::Outcome::Done
            || finding.outcome == ChangeCheck::Outcome::Running;
        if (started)
            tellFinding(finding);
        else
            lost = u"\n"_s + finding.text;
    }
    if (started) {
        watchOwnProcess(u"TULVA_DB_NEW"_s, TLoadInvForm::DbNew, name);
        OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AfterChange);
        const int row = OpenDbForm->rowOfDatabase(name);
        if (row > 0) {
            OpenDbForm->DBStringGrid->setRow(row);
            OpenDbForm->OpenSelectedDatabase();
            return;
        }
    }
    Dialogs::message(
        Dialogs::Icon::Warning, kAttention, u"Ошибка при запуске процесса создания новой БД."_s + lost);
}

void TWAMainForm::DeleteDBItemClick()
{
    if (serverBusy())
        return;
    // The database named in the question is the one deleted, whatever a refresh does meanwhile.
    const QString dbName = CurrentDbName;
    if (!haveCurrentDatabase(dbName))
        return;
    if (isReservedDbName(dbName)) {
        Dialogs::message(Dialogs::Icon::Warning, Msg(140), dbName + u" - "_s + Msg(890));
        return;
    }
    if (StatisticGrid->cell(1, 4) == Msg(42)) {
        Dialogs::message(Dialogs::Icon::Warning, Msg(138), Msg(429));
        return;
    }
    if (StatisticGrid->cell(1, 5) != u"0") {
        Dialogs::message(Dialogs::Icon::Warning, Msg(138), Msg(430));
        return;
    }
    if (!Dialogs::askYesNo(Dialogs::Icon::Warning, Msg(138), Msg(889) + u" "_s + dbName))
        return;

    const ChangeCheck::Attempts attempts(*WaitForm->engine());
    const auto result = WaitForm->DeleteDatabase(dbName, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    if (result != OpResult::Accepted || !returnCodeOk(AnswerList)) {
        QString lost;
        if (attempts.uncertain(result, returnCodeOk(AnswerList))) {
            const ChangeCheck::Finding finding
                = ChangeCheck::databaseDeleted(*WaitForm->engine(), TOpenDbForm::listFileName(), dbName);
            if (finding.outcome == ChangeCheck::Outcome::Done
                || finding.outcome == ChangeCheck::Outcome::Running) {
                tellFinding(finding);
                afterDeletion(dbName);
                return;
            }
            lost = u"\n"_s + finding.text;
        }
        Dialogs::message(
            Dialogs::Icon::Warning, kAttention, u"Ошибка при запуске процесса удаления БД."_s + lost);
        return;
    }
    afterDeletion(dbName);
}

void TWAMainForm::UnlockDBItemClick()
{
    if (serverBusy())
        return;
    // The name the administrator acted on, whatever a refresh does meanwhile.
    const QString dbName = CurrentDbName;
    if (!haveCurrentDatabase(dbName))
        return;
    if (DatabaseLocked == 0) {
        Dialogs::message(Dialogs::Icon::Warning, Msg(138), dbName + u" - "_s + Msg(421));
        return;
    }
    const ChangeCheck::Attempts attempts(*WaitForm->engine());
    const auto result = WaitForm->UnlockDatabase(dbName, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    if (result == OpResult::Accepted && returnCodeOk(AnswerList)) {
        Dialogs::message(
            Dialogs::Icon::None, kAttention, u"База данных "_s + dbName + u" разблокирована успешно"_s);
        DatabaseLocked = 0;
    } else if (attempts.uncertain(result, returnCodeOk(AnswerList))) {
        const ChangeCheck::Finding finding = ChangeCheck::databaseUnlocked(*WaitForm->engine(), dbName);
        // A lock still there is said below, after the statistics have been read again.
        if (finding.outcome != ChangeCheck::Outcome::NotDone)
            tellFinding(finding);
    }
    // The server has the last word on the lock.
    OpenDbForm->RefreshCurrentDatabase(TOpenDbForm::OpenBy::Command);
    if (DatabaseLocked != 0)
        Dialogs::message(
            Dialogs::Icon::None, kAttention, u"Базу данных "_s + dbName + u" разблокировать не удалось"_s);
}

void TWAMainForm::UnlockrecordItemClick()
{
    if (serverBusy())
        return;
    const QString dbName = CurrentDbName;
    if (!haveCurrentDatabase(dbName))
        return;
    if (!haveLockedRecords())
        return;
    MFNForm->setWindowTitle(Msg(425));
    if (Dialogs::execModal(MFNForm) != QDialog::Accepted || MFNForm->MFNEdit->text().isEmpty())
        return;
    const qint32 mfn = MFNForm->typedMfn();
    if (mfn < 0) {
        // The dialog does not close with such a number; this guards any other way out of it.
        Dialogs::message(
            Dialogs::Icon::Warning, kAttention, TMFNForm::mfnOutOfRangeText(MFNForm->MFNEdit->text()));
        return;
    }
    OpenDbForm->RefreshCurrentDatabase(TOpenDbForm::OpenBy::Command);
    unlockRecords(dbName, { mfn });
}

void TWAMainForm::UnLockListItemClick()
{
    if (serverBusy())
        return;
    const QString dbName = CurrentDbName;
    if (!haveCurrentDatabase(dbName))
        return;
    if (!haveLockedRecords())
        return;
    if (Dialogs::execModal(LockedListForm) != QDialog::Accepted || UnlockSelection.isEmpty())
        return;
    unlockRecords(dbName, UnlockSelection);
}
