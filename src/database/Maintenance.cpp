#include "Maintenance.h"

#include "database/ChangeCheck.h"
#include "database/DatabaseInfo.h"
#include "database/Jobs.h"
#include "database/MfnListModel.h"
#include "database/Mfnlist.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "database/protocol.h"
#include "exchange/OpResult.h"
#include "exchange/Waitunit.h"
#include "server/process.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"
#include "shell/Wamain.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>

using namespace Qt::Literals::StringLiterals;

namespace {

QString processCaptionPrefix()
{
    return u"Протокол поцесса - "_s;
}

// The menu caption as shown, without its accelerator marks.
QString captionOf(const QAction *item)
{
    QString text = item->text();
    text.remove(u'&');
    return text;
}

void warn(const QString &text)
{
    Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, text);
}

// A long job of the current database: start it, find its process, watch it, show its log.
struct LongJob
{
    int (TWaitForm::*start)(const QString &dbName, AnswerOut answer);
    QString processName;
    quint8 watchKind;
    QString startFailure;
    const QAction *item;
    bool logWhenGone; // load and inverted-file reorganization show the answer's own log lines
    bool reopenAfter; // load refreshes the statistics afterwards
};

void runLongJob(const LongJob &job)
{
    const auto result = (WaitForm->*job.start)(CurrentDbName, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    if (result != OpResult::Accepted || !returnCodeOk(AnswerList)) {
        warn(job.startFailure);
        return;
    }
    const QStringList immediateLog = AnswerList.mid(1);

    FormProcess->LoadProcessList();
    const int row = FormProcess->FindOwnActiveProcess(job.processName);
    if (row <= 0) {
        if (job.logWhenGone) {
            recordEndedJob(JobKind(job.watchKind), CurrentDbName, immediateLog);
            showProtocol(processCaptionPrefix() + captionOf(job.item), protocolText(immediateLog));
        } else
            warn(job.startFailure);
        return;
    }
    FormProcess->StringGridProcess->setRow(row);
    LoadInvForm->WatchKind = job.watchKind;
    LoadInvForm->WatchDatabase = CurrentDbName;
    Dialogs::execModal(LoadInvForm);

    showProcessProtocol(captionOf(job.item));
    if (job.reopenAfter)
        OpenDbForm->OpenSelectedDatabase();
}

// Shows a record list in the list window, or the empty message.
void showMfnList(
    bool empty, int emptyMessage, int titleMessage, const std::function<void(MfnListModel *)> &fill)
{
    if (empty) {
        Dialogs::message(Dialogs::Icon::Warning, Msg(138), Msg(emptyMessage));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    fill(MFNListForm->listModel());
    MFNListForm->MFNStringGrid->setRow(1);
    QApplication::restoreOverrideCursor();
    MFNListForm->setWindowTitle(Msg(titleMessage) + u" - "_s + CurrentDbName);
    Dialogs::execModal(MFNListForm);
}

} // namespace

QString protocolText(const QStringList &lines)
{
    QString text = lines.join(u'\n');
    text.replace(QChar(0), QChar(0x2400));
    return text;
}

void showProtocol(const QString &caption, const QString &text)
{
    FormProtocol->MemoProtocol->setPlainText(text);
    FormProtocol->setWindowTitle(caption);
    Dialogs::execModal(FormProtocol);
}

void showProcessProtocol(const QString &processCaption)
{
    WaitForm->ClearResourceCache();
    // A failed read leaves what the read left: the log window then shows that (empty).
    const auto result
        = WaitForm->ReadResourceCached(0, QString(), WaitForm->clientId() + u".ibf"_s, AnswerList);
    const QStringList lines = result == OpResult::Accepted ? QStringList(AnswerList) : QStringList();
    attachWatchedJobLog(lines);
    showProtocol(processCaptionPrefix() + processCaption, protocolText(lines));
}

void TWAMainForm::ClearDBItemClick()
{
    // The database named in the question is the one cleared, whatever a refresh does meanwhile.
    const QString dbName = CurrentDbName;
    if (dbName.isEmpty()) {
        warn(noCurrentDatabaseText());
        return;
    }
    if (!Dialogs::askYesNo(Dialogs::Icon::Warning, Msg(138), Msg(454) + u" "_s + dbName))
        return;
    const ChangeCheck::Attempts attempts(*WaitForm->engine());
    const auto result = WaitForm->ClearDatabase(dbName, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    if (result == OpResult::Accepted && returnCodeOk(AnswerList))
        Dialogs::message(Dialogs::Icon::Warning, Msg(138), dbName + u" - "_s + Msg(456));
    else if (attempts.uncertain(result, returnCodeOk(AnswerList)))
        warn(ChangeCheck::databaseCleared(*WaitForm->engine(), dbName).text);
    else
        return;
    OpenDbForm->OpenSelectedDatabase();
}

void TWAMainForm::ActualIfItemClick()
{
    if (UnactualizedMfns.isEmpty()) {
        Dialogs::message(Dialogs::Icon::Warning, Msg(138), Msg(428));
        return;
    }
    if (StatisticGrid->cell(1, 4) == Msg(42)) {
        Dialogs::message(Dialogs::Icon::Warning, Msg(138), Msg(429));
        return;
    }
    const auto result = WaitForm->ActualizeDatabase(CurrentDbName, 0, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    OpenDbForm->OpenSelectedDatabase();
}

void TWAMainForm::LoadIfItemClick()
{
    runLongJob({ &TWaitForm::LoadInvertedFile, u"TULVA_CREATE_DICT"_s, TLoadInvForm::CreateDict,
        u"Ошибка при запуске процесса создания словаря."_s, LoadIfItem, true, true });
}

void TWAMainForm::ReorgIfItemClick()
{
    runLongJob({ &TWaitForm::ReorganizeInvertedFile, u"TULVA_RELOAD_DICT"_s, TLoadInvForm::ReloadDict,
        u"Ошибка при запуске процесса реорганизации словаря."_s, ReorgIfItem, true, false });
}

void TWAMainForm::ReorgMfItemClick()
{
    runLongJob({ &TWaitForm::ReorganizeMasterFile, u"TULVA_RELOAD_MASTER"_s, TLoadInvForm::ReloadMaster,
        u"Ошибка при запуске процесса реорганизации файла документов."_s, ReorgMfItem, false, false });
}

void TWAMainForm::DeletedListItemClick()
{
    showMfnList(DeletedMfns1.isEmpty() && DeletedMfns2.isEmpty(), 442, 469, [](MfnListModel *model) {
        model->setHeader(1, Msg(478));
        model->showParts({ { DeletedMfns2, Msg(479) }, { DeletedMfns1, Msg(480) } });
    });
}

void TWAMainForm::UnactualListItemClick()
{
    showMfnList(UnactualizedMfns.isEmpty(), 443, 473, [](MfnListModel *model) {
        model->setHeader(1, Msg(470));
        model->showMarked(UnactualizedMfns, DeletedMfns1, Msg(471), Msg(472));
    });
}

void TWAMainForm::LockedListItemClick()
{
    showMfnList(LockedMfns.isEmpty(), 844, 843, [](MfnListModel *model) {
        model->setHeader(1, QString());
        model->showParts({ { LockedMfns, QString() } });
    });
}
