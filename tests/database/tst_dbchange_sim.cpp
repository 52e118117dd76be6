// Creating, deleting and unlocking against the server emulator with its sample data, as an
// administrator does it from the menus.
#include "SimSession.h"
#include "TestSupport.h"
#include "database/LockList.h"
#include "database/Mfn.h"
#include "database/Newdb.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "exchange/Waitunit.h"
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
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

void openListedDatabase(const QString &name)
{
    openDatabase(name);
    QCOMPARE(CurrentDbName, name);
}

// Every request the engine finishes from now on, as "command argument".
QStringList *recordRequests()
{
    auto *seen = new QStringList;
    QObject::connect(
        WaitForm->engine(), &TulvaExchange::operationFinished, WaitForm, [seen](const ExchangeRecord &r) {
            seen->append(QString::fromLatin1(r.command) + u' ' + r.argument);
        });
    return seen;
}

QStringList texts()
{
    QStringList out;
    for (const Dialogs::Asked &a : Dialogs::asked())
        out.append(a.text);
    return out;
}

} // namespace

class TestDbChangeSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void createAndDelete();
    void reservedNameRefused();
    void unlockDatabaseAndRecords();
    void deletionLeavesNothingNamingTheDatabase_data();
    void deletionLeavesNothingNamingTheDatabase();
    void clearActsOnTheDatabaseAskedAbout();

private:
    // Answers the program's dialogs: the login, the new-database dialog with these entries, the
    // MFN entry, the picker (everything marked); the process watch runs for real.
    void answerDialogs();

    SimSession m_session;
    QString m_newName;
    QString m_typedMfn;
    QStringList m_watched;
    int m_newDbShowings = 0;
};

void TestDbChangeSim::init()
{
    const quint16 port = m_session.startEmulator({ u"--job-seconds"_s, u"1"_s });
    QVERIFY2(port != 0, m_session.sim->errors().constData());
    QVERIFY(m_session.createForms(port));
    m_watched.clear();
    m_newDbShowings = 0;
    answerDialogs();
    WAMainForm->TimerStartTimer();
    WAMainForm->AutoaskTimer->setEnabled(false);
    QCOMPARE(CurrentDbName, u"IBIS"_s);
    // Ticks of 100 ms: the same counting, five times sooner.
    LoadInvForm->Timer1->setInterval(100);
}

void TestDbChangeSim::cleanup()
{
    m_session.tearDown();
}

void TestDbChangeSim::answerDialogs()
{
    Dialogs::setModalHandler([this](QDialog *dialog) {
        dialog->show();
        if (dialog == FormConnect) {
            FormConnect->MaskEditPassword->setText(u"admin"_s);
            FormConnect->ButtonExecute->click();
        } else if (dialog == NewDBForm) {
            // A refused name comes back for correcting: the second showing is cancelled.
            if (++m_newDbShowings > 1) {
                NewDBForm->CancelBitBtn->click();
                return dialog->result();
            }
            NewDBForm->NameEdit->setText(m_newName);
            NewDBForm->FullNameEdit->setText(u"Тестовая база"_s);
            NewDBForm->OKBitBtn->click();
        } else if (dialog == LoadInvForm) {
            dialog->hide();
            const int result = dialog->exec();
            m_watched << dialog->windowTitle();
            return result;
        } else if (dialog == MFNForm) {
            MFNForm->MFNEdit->setText(m_typedMfn);
            MFNForm->OKBitBtn->click();
        } else if (dialog == LockedListForm) {
            LockedListForm->SelectAllBitBtn->click();
            LockedListForm->RunBitBtn->click();
        } else {
            dialog->reject();
        }
        return dialog->result();
    });
}

void TestDbChangeSim::createAndDelete()
{
    const int listed = OpenDbForm->DBStringGrid->rowCount();
    m_newName = u"TESTDB"_s;
    WAMainForm->NewDBItem->trigger();
    QCOMPARE(texts(), QStringList());
    QCOMPARE(m_watched, QStringList{ u"Создание новой базы данных"_s });
    QCOMPARE(OpenDbForm->DBStringGrid->rowCount(), listed + 1);
    QVERIFY(OpenDbForm->rowOfDatabase(u"TESTDB"_s) > 0);
    QCOMPARE(CurrentDbName, u"TESTDB"_s);
    QCOMPARE(statistic(1), u"TESTDB"_s);
    QCOMPARE(statistic(2), u"Тестовая база"_s);
    QCOMPARE(statistic(5), u"0"_s);

    // The name is taken now, in any letter case.
    m_newName = u"testdb"_s;
    m_newDbShowings = 0;
    WAMainForm->NewDBItem->trigger();
    QCOMPARE(texts(), QStringList{ u"Имя базы данных уже используется!"_s });

    Dialogs::reset();
    answerDialogs();
    Dialogs::queueAnswer(QMessageBox::Yes);
    WAMainForm->DeleteDBItem->trigger();
    QCOMPARE(texts(), QStringList{ Msg(889) + u" TESTDB"_s });
    QCOMPARE(m_watched.last(), u"Удаление базы данных"_s);
    QCOMPARE(OpenDbForm->rowOfDatabase(u"TESTDB"_s), -1);
    QCOMPARE(OpenDbForm->DBStringGrid->rowCount(), listed);
    QCOMPARE(CurrentDbName, OpenDbForm->DBStringGrid->cell(0, 1));
    QCOMPARE(CurrentDbName, u"IBIS"_s);
}

void TestDbChangeSim::reservedNameRefused()
{
    const int listed = OpenDbForm->DBStringGrid->rowCount();
    m_newName = u"rdr"_s;
    WAMainForm->NewDBItem->trigger();
    QCOMPARE(texts(), QStringList{ u"Нельзя использовать резервное имя базы данных!"_s });
    QCOMPARE(m_newDbShowings, 2);
    QVERIFY(m_watched.isEmpty());

    // RDR itself cannot be deleted; nothing is asked.
    openListedDatabase(u"RDR"_s);
    Dialogs::reset();
    answerDialogs();
    WAMainForm->DeleteDBItem->trigger();
    QCOMPARE(texts(), QStringList{ u"RDR - "_s + Msg(890) });
    QCOMPARE(OpenDbForm->DBStringGrid->rowCount(), listed);
}

void TestDbChangeSim::unlockDatabaseAndRecords()
{
    openListedDatabase(u"ARCHIV"_s);
    QCOMPARE(statistic(4), u"Да"_s);
    WAMainForm->UnlockDBItem->trigger();
    QCOMPARE(texts(), QStringList{ u"База данных ARCHIV разблокирована успешно"_s });
    QCOMPARE(statistic(4), u"Нет"_s);
    QCOMPARE(DatabaseLocked, quint8(0));

    openListedDatabase(u"RDR"_s);
    QCOMPARE(statistic(5), u"3"_s);
    QCOMPARE(LockedMfns, (QList<qint32>{ 17, 205, 1999 }));
    m_typedMfn = u"205"_s;
    WAMainForm->UnlockrecordItem->trigger();
    QCOMPARE(statistic(5), u"2"_s);
    QCOMPARE(LockedMfns, (QList<qint32>{ 17, 1999 }));

    WAMainForm->UnLockListItem->trigger();
    QCOMPARE(UnlockSelection, (QList<qint32>{ 17, 1999 }));
    QCOMPARE(statistic(5), u"0"_s);
    QVERIFY(LockedMfns.isEmpty());

    // Nothing left: the server is asked once more, then the administrator is told.
    WAMainForm->UnlockrecordItem->trigger();
    QCOMPARE(texts().last(), Msg(844));
}

void TestDbChangeSim::deletionLeavesNothingNamingTheDatabase_data()
{
    // The database list as the server holds it before NEWBOOKS is deleted; GHOST is listed but
    // does not open.
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("current");
    QTest::newRow("the first listed fails, the next opens") << QStringList{ u"GHOST"_s, u"Нет такой"_s,
        u"IBIS"_s, u"Каталог"_s, u"NEWBOOKS"_s, u"Новые"_s, u"*****"_s }
                                                            << u"IBIS"_s;
    QTest::newRow("none opens") << QStringList{ u"GHOST"_s, u"Нет такой"_s, u"NEWBOOKS"_s, u"Новые"_s,
        u"*****"_s } << QString();
}

void TestDbChangeSim::deletionLeavesNothingNamingTheDatabase()
{
    QFETCH(QStringList, list);
    QFETCH(QString, current);
    writeCp1251File(m_session.state->filePath(u"state/resources/1/dbnam1.mnu"_s), list);
    OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AfterChange);
    openListedDatabase(u"NEWBOOKS"_s);
    Dialogs::reset();
    answerDialogs();
    std::unique_ptr<QStringList> requests(recordRequests());
    Dialogs::queueAnswer(QMessageBox::Yes);
    WAMainForm->DeleteDBItem->trigger();
    QCOMPARE(m_watched.last(), u"Удаление базы данных"_s);
    QCOMPARE(CurrentDbName, current);
    QCOMPARE(statistic(1), current);
    if (current.isEmpty()) {
        for (int row = 2; row <= 8; ++row)
            QCOMPARE(statistic(row), QString());
        QVERIFY(DeletedMfns1.isEmpty() && UnactualizedMfns.isEmpty() && LockedMfns.isEmpty());
    }
    // The box says which database is current now, and why GHOST is not.
    QVERIFY2(texts().last().contains(u"GHOST"_s), qPrintable(texts().last()));
    QVERIFY(texts().last().contains(current.isEmpty() ? u"Текущей базы данных нет"_s : current));
    // Refreshes, by hand and by the timer, never ask for the deleted database again.
    WAMainForm->RestatItem->trigger();
    WAMainForm->AutoaskTimerTimer();
    QVERIFY(requests->contains(u"W NEWBOOKS"_s));
    QVERIFY2(!requests->contains(u"0 NEWBOOKS"_s), qPrintable(requests->join(u", "_s)));
    QCOMPARE(CurrentDbName, current);
}

void TestDbChangeSim::clearActsOnTheDatabaseAskedAbout()
{
    openListedDatabase(u"PERIO"_s);
    const QString maxMfn = statistic(3);
    Dialogs::reset();
    std::unique_ptr<QStringList> requests(recordRequests());
    // While the question waits, a refresh lands and another database becomes current.
    Dialogs::setBoxHandler([](const Dialogs::Asked &asked) {
        if (asked.buttons & QMessageBox::Yes) {
            OpenDbForm->OpenDatabase(u"RDR"_s, QString(), TOpenDbForm::OpenBy::Timer);
            return QMessageBox::Yes;
        }
        return QMessageBox::Ok;
    });
    WAMainForm->ClearDBItem->trigger();
    QCOMPARE(texts().first(), Msg(454) + u" PERIO"_s);
    QVERIFY2(requests->contains(u"S PERIO"_s), qPrintable(requests->join(u", "_s)));
    QVERIFY(!requests->contains(u"S RDR"_s));
    QCOMPARE(texts().at(1), u"PERIO - "_s + Msg(456));
    // RDR keeps its records.
    openListedDatabase(u"RDR"_s);
    QCOMPARE(statistic(5), u"3"_s);
    QVERIFY(maxMfn != u"0"_s);
}

QTEST_MAIN(TestDbChangeSim)
#include "tst_dbchange_sim.moc"
