// The main window's commands that create, delete and unlock databases and unlock records.
#include "DbNames.h"
#include "LockList.h"
#include "Mfn.h"
#include "Newdb.h"
#include "Opendb.h"
#include "exchange/OpResult.h"
#include "exchange/Waitunit.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"
#include "shell/Wamain.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kAttention = u"Внимание!"_s;

void tellBusy()
{
    Dialogs::message(Dialogs::Icon::Warning, kAttention,
        u"Предыдущий запрос к серверу ещё выполняется. Повторите команду позже."_s);
}

// A command picked while another request waits for its answer (a refresh, say) would act on
// state that is being read again: it is not started at all.
bool serverBusy()
{
    if (WaitForm->busyMarker() != OpResult::Busy)
        return false;
    tellBusy();
    return true;
}

// The record commands need locked records; the list may be stale, so an empty one is asked for
// again before the administrator is told there are none.
bool haveLockedRecords()
{
    if (LockedMfns.isEmpty())
        OpenDbForm->OpenSelectedDatabase();
    if (!LockedMfns.isEmpty())
        return true;
    Dialogs::message(Dialogs::Icon::Information, Msg(138), Msg(844));
    return false;
}

// Sends the unlock of records and, when an answer came, reads the database's state again.
void unlockRecords(const QString &dbName, const QList<qint32> &mfns)
{
    const auto result = WaitForm->UnlockRecords(dbName, mfns, AnswerList);
    if (result == OpResult::Busy) {
        tellBusy();
        return;
    }
    if (result == OpResult::Accepted)
        OpenDbForm->OpenSelectedDatabase();
}

} // namespace

void TWAMainForm::UnlockDBItemClick()
{
    if (serverBusy())
        return;
    // The name the administrator acted on, whatever a refresh does meanwhile.
    const QString dbName = CurrentDbName;
    if (DatabaseLocked == 0) {
        Dialogs::message(Dialogs::Icon::Warning, Msg(138), dbName + u" - "_s + Msg(421));
        return;
    }
    const auto result = WaitForm->UnlockDatabase(dbName, AnswerList);
    if (result == OpResult::Busy) {
        tellBusy();
        return;
    }
    if (result == OpResult::Accepted && returnCodeOk(AnswerList)) {
        Dialogs::message(
            Dialogs::Icon::None, kAttention, u"База данных "_s + dbName + u" разблокирована успешно"_s);
        DatabaseLocked = 0;
    }
    // The server has the last word on the lock.
    OpenDbForm->OpenSelectedDatabase();
    if (DatabaseLocked != 0)
        Dialogs::message(
            Dialogs::Icon::None, kAttention, u"Базу данных "_s + dbName + u" разблокировать не удалось"_s);
}

void TWAMainForm::UnlockrecordItemClick()
{
    if (serverBusy())
        return;
    const QString dbName = CurrentDbName;
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
    OpenDbForm->OpenSelectedDatabase();
    unlockRecords(dbName, { mfn });
}

void TWAMainForm::UnLockListItemClick()
{
    if (serverBusy())
        return;
    const QString dbName = CurrentDbName;
    if (!haveLockedRecords())
        return;
    if (Dialogs::execModal(LockedListForm) != QDialog::Accepted || UnlockSelection.isEmpty())
        return;
    unlockRecords(dbName, UnlockSelection);
}
