// Long jobs against the server emulator, as an administrator runs them: the watch window
// follows the job until it ends or is stopped, and the result log shows the server's log.
#include "SimSession.h"
#include "TestSupport.h"
#include "database/Mfnlist.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "database/protocol.h"
#include "exchange/Waitunit.h"
#include "server/process.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Labelf.h"
#include "shell/Messages.h"
#include "shell/Program.h"
#include "shell/StringGrid.h"
#include "shell/TTimer.h"
#include "shell/Wamain.h"
#include "shell/connect.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::Literals::StringLiterals;

class TestMaintenanceSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void reorganizeDictionaryIsWatchedToItsEnd();
    void stopButtonEndsTheJob();
    void recordListsOfTheCurrentDatabase();

private:
    void start(const QString &jobSeconds);
    void recordModals(std::function<void()> duringWatch = {});

    SimSession m_session;
    QStringList m_captions;
    QString m_protocol;
    int m_listRows = 0;
};

void TestMaintenanceSim::start(const QString &jobSeconds)
{
    const quint16 port = m_session.startEmulator({ u"--job-seconds"_s, jobSeconds });
    QVERIFY2(port != 0, m_session.sim->errors().constData());
    QVERIFY(m_session.createForms(port));
    m_session.logIn();
    WAMainForm->AutoaskTimer->setEnabled(false);
    QCOMPARE(CurrentDbName, u"IBIS"_s);
    // Ticks of 100 ms: the same counting, five times sooner.
    LoadInvForm->Timer1->setInterval(100);
}

void TestMaintenanceSim::recordModals(std::function<void()> duringWatch)
{
    Dialogs::setModalHandler([this, duringWatch](QDialog *dialog) {
        m_captions << dialog->windowTitle();
        if (dialog == LoadInvForm) {
            if (duringWatch)
                QTimer::singleShot(0, dialog, duringWatch);
            const int result = dialog->exec();
            m_captions.last() = dialog->windowTitle();
            return result;
        }
        if (dialog == FormProtocol)
            m_protocol = FormProtocol->MemoProtocol->toPlainText();
        if (dialog == MFNListForm)
            m_listRows = MFNListForm->MFNStringGrid->rowCount();
        return int(QDialog::Rejected);
    });
}

void TestMaintenanceSim::cleanup()
{
    m_session.tearDown();
}

void TestMaintenanceSim::reorganizeDictionaryIsWatchedToItsEnd()
{
    start(u"2"_s);
    recordModals();
    const int ticksBefore = LoadInvForm->TickCounter;
    WAMainForm->ReorgIfItem->trigger();
    QCOMPARE(m_captions.value(0), u"Реорганизация файла словаря"_s);
    QCOMPARE(LoadInvForm->result(), int(QDialog::Accepted));
    // Two seconds of 100 ms ticks, the list re-read on every fifth.
    QVERIFY2(
        LoadInvForm->TickCounter - ticksBefore >= 15, qPrintable(QString::number(LoadInvForm->TickCounter)));
    QCOMPARE(m_captions.value(1), u"Протокол поцесса - "_s + WAMainForm->ReorgIfItem->text());
    QVERIFY2(m_protocol.contains(u"Результат: процесс завершён успешно"_s), qPrintable(m_protocol));
    QCOMPARE(FormProcess->FindOwnActiveProcess(u"TULVA_RELOAD_DICT"_s), -1);
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestMaintenanceSim::stopButtonEndsTheJob()
{
    start(u"60"_s);
    bool clicked = false;
    recordModals([&clicked] {
        QPushButton *b = LoadInvForm->Button1;
        QTest::mouseClick(
            b->window()->windowHandle(), Qt::LeftButton, {}, b->mapTo(b->window(), b->rect().center()));
        clicked = true;
    });
    WAMainForm->ReorgMfItem->trigger();
    QTRY_VERIFY(clicked);
    QCOMPARE(LoadInvForm->WatchResult, TLoadInvForm::StoppedByUser);
    QCOMPARE(LoadInvForm->result(), int(QDialog::Rejected));
    QVERIFY2(m_protocol.contains(u"Результат: процесс прерван"_s), qPrintable(m_protocol));

    // The process window lists the server alone now.
    WAMainForm->ServerProcessListItem->trigger();
    QVERIFY(FormProcess->isVisible());
    QCOMPARE(FormProcess->StringGridProcess->rowCount(), 2);
    QCOMPARE(FormProcess->FindOwnActiveProcess(u"TULVA_RELOAD_MASTER"_s), -1);
}

void TestMaintenanceSim::recordListsOfTheCurrentDatabase()
{
    start(u"1"_s);
    recordModals();
    WAMainForm->DeletedListItem->trigger();
    QCOMPARE(m_listRows, 1 + DeletedMfns1.size() + DeletedMfns2.size());
    WAMainForm->UnactualListItem->trigger();
    QCOMPARE(m_listRows, 1 + UnactualizedMfns.size());
    QVERIFY(m_listRows > 1);
    QCOMPARE(MFNListForm->MFNStringGrid->cell(0, 1), QString::number(UnactualizedMfns.first()));
    const QString note = MFNListForm->MFNStringGrid->cell(1, 1);
    QCOMPARE(note, DeletedMfns1.contains(UnactualizedMfns.first()) ? Msg(471) : Msg(472));
}

QTEST_MAIN(TestMaintenanceSim)
#include "tst_maintenance_sim.moc"
