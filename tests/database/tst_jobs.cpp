// Long jobs that call back: a watched reorganization ending while the administrator works in
// another program sends one desktop notice to a stand-in notification service on a private session
// bus, or asks for attention where no service answers; the title and the watch show the time
// running; the "Задания" list keeps the job with its log.
#include "../server/ProcessAnswers.h"
#include "../shell/ShellFixture.h"
#include "database/Jobs.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "shell/DesktopNotice.h"
#include "shell/StringGrid.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// What a desktop shows notices with, as far as the test needs: it records every call.
class NotificationStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString appName;
        QString summary;
        QString body;
    };
    QList<Call> calls;

public Q_SLOTS:
    uint Notify(const QString &appName, uint, const QString &, const QString &summary, const QString &body,
        const QStringList &, const QVariantMap &, int)
    {
        calls.append({ appName, summary, body });
        return uint(calls.size());
    }
};

// A private session bus for the test, started and ended by it.
class PrivateBus
{
public:
    bool start()
    {
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (daemon.isEmpty())
            return false;
        m_process.start(daemon, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
        if (!m_process.waitForStarted(5000))
            return false;
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) { }
        m_address = QString::fromUtf8(m_process.readLine().trimmed());
        return !m_address.isEmpty();
    }
    ~PrivateBus()
    {
        for (const QString &name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QDBusConnection connect(const QString &name)
    {
        m_connections.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_process;
    QString m_address;
    QStringList m_connections;
};

} // namespace

class TestJobs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { f.tearDown(); }

    void reorganizationEndsElsewhere_data();
    void reorganizationEndsElsewhere();
    void summaries_data();
    void summaries();
    void listReopensAtTheNewestJob();
    void columnsFitALargerFont();

private:
    ShellFixture f;
};

void TestJobs::init()
{
    f.setUp();
    OpenDbForm->DBStringGrid->setCell(0, 1, u"IBIS"_s);
    CurrentDbName = u"IBIS"_s;
    LoadInvForm->Timer1->setInterval(5);
    Dialogs::setModalHandler([](QDialog *dialog) { return dialog == LoadInvForm ? dialog->exec() : 0; });
}

void TestJobs::reorganizationEndsElsewhere_data()
{
    QTest::addColumn<QString>("desktop"); // "service", "no service", "no bus"
    QTest::addColumn<bool>("active"); // the program is the administrator's active one
    QTest::addColumn<int>("notices");
    QTest::addColumn<int>("alerts");
    QTest::newRow("notification service") << u"service"_s << false << 1 << 0;
    QTest::newRow("bus without the service") << u"no service"_s << false << 0 << 1;
    QTest::newRow("no session bus") << u"no bus"_s << false << 0 << 1;
    QTest::newRow("administrator watching") << u"service"_s << true << 0 << 0;
}

void TestJobs::reorganizationEndsElsewhere()
{
    QFETCH(QString, desktop);
    QFETCH(bool, active);
    QFETCH(int, notices);
    QFETCH(int, alerts);

    PrivateBus bus;
    NotificationStandIn standIn;
    if (desktop != u"no bus") {
        if (!bus.start())
            QSKIP("dbus-daemon is not installed");
        desktopNotifier()->setBus(bus.connect(u"program"_s));
        if (desktop == u"service") {
            QDBusConnection service = bus.connect(u"stand-in"_s);
            QVERIFY(service.registerService(u"org.freedesktop.Notifications"_s));
            QVERIFY(service.registerObject(
                u"/org/freedesktop/Notifications"_s, &standIn, QDBusConnection::ExportAllSlots));
        }
    } else {
        desktopNotifier()->setBus(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"none"_s));
    }
    QSignalSpy alerted(desktopNotifier(), &DesktopNotifier::alerted);
    setProgramActiveTest([active] { return active; });

    const QString id = WaitForm->clientId();
    f.answer({ u"0"_s, u"started"_s });
    f.answer(processAnswer({ { u"3"_s, id, u"TULVA_RELOAD_DICT"_s } }));
    f.answer(processAnswer({ { u"3"_s, id, u"TULVA_RELOAD_DICT"_s } }));
    f.answer(processAnswer({}));
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine({ u"Протокол"_s, u"Готово"_s }) }) });
    QString titleWhileRunning;
    QString elapsedShown;
    connect(LoadInvForm->Timer1, &QTimer::timeout, this, [&] {
        // The last tick has ended the watch already and given the title back.
        if (WAMainForm->windowTitle().contains(u'['))
            titleWhileRunning = WAMainForm->windowTitle();
        elapsedShown = LoadInvForm->ElapsedLabel->text();
    });
    WAMainForm->ReorgIfItem->trigger();

    QVERIFY2(titleWhileRunning.startsWith(u"[00:00:0"_s), qPrintable(titleWhileRunning));
    QVERIFY(titleWhileRunning.contains(u"] Реорганизация словаря IBIS — "_s));
    QVERIFY(elapsedShown.startsWith(u"Прошло 00:00:0"_s));
    QVERIFY(!WAMainForm->windowTitle().contains(u'['));

    // One notice naming the job and the database, or the attention hint instead.
    QTRY_COMPARE(standIn.calls.size() + alerted.size(), notices + alerts);
    QTest::qWait(50); // nothing more follows
    QCOMPARE(standIn.calls.size(), notices);
    QCOMPARE(alerted.size(), alerts);
    if (notices) {
        QCOMPARE(standIn.calls.first().summary, u"Реорганизация словаря IBIS завершена"_s);
        QVERIFY(standIn.calls.first().body.startsWith(u"Длительность 00:00:0"_s));
    }

    // The job and its log stay reachable in "Задания".
    JobList *jobs = jobList();
    QCOMPARE(jobs->size(), 1);
    QCOMPARE(jobs->entry(0).outcome, JobOutcome::Finished);
    QCOMPARE(jobs->entry(0).database, u"IBIS"_s);
    QCOMPARE(jobs->entry(0).log.mid(0, 2), (QStringList{ u"Протокол"_s, u"Готово"_s }));
    TJobsForm *form = jobsForm();
    QCOMPARE(form->JobsGrid->cell(JobList::Job, 1), u"Реорганизация словаря"_s);
    QCOMPARE(form->JobsGrid->cell(JobList::Result, 1), u"завершено"_s);
    QVERIFY(form->MemoLog->toPlainText().startsWith(u"Протокол\nГотово"_s));
}

void TestJobs::summaries_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("summary");
    QTest::newRow("load") << int(JobKind::CreateDict) << int(JobOutcome::Finished)
                          << u"Создание словаря IBIS завершено"_s;
    QTest::newRow("master file") << int(JobKind::ReloadMaster) << int(JobOutcome::Stopped)
                                 << u"Реорганизация файла документов IBIS остановлена"_s;
    QTest::newRow("new database") << int(JobKind::DbNew) << int(JobOutcome::Finished)
                                  << u"Создание базы данных IBIS завершено"_s;
    QTest::newRow("deletion unwatched") << int(JobKind::DbDelete) << int(JobOutcome::Unwatched)
                                        << u"Удаление базы данных IBIS — наблюдение прекращено"_s;
}

void TestJobs::summaries()
{
    QFETCH(int, kind);
    QFETCH(int, outcome);
    QFETCH(QString, summary);
    JobEntry e;
    e.kind = JobKind(kind);
    e.outcome = JobOutcome(outcome);
    e.database = u"IBIS"_s;
    QCOMPARE(JobList::summary(e), summary);
}

void TestJobs::listReopensAtTheNewestJob()
{
    JobList *jobs = jobList();
    for (const QString &db : { u"IBIS"_s, u"RDR"_s }) {
        const int job = jobs->begin(JobKind::ReloadDict, db, QDateTime::currentDateTime());
        jobs->setLog(job, { u"Протокол "_s + db });
        jobs->finish(job, JobOutcome::Finished, QDateTime::currentDateTime());
    }
    // Opened from the menu; the administrator reads the first job, then closes with Esc.
    WAMainForm->JobsItem->trigger();
    TJobsForm *form = jobsForm();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QCOMPARE(form->JobsGrid->row(), 2);
    const QRect first = form->JobsGrid->visualRect(form->JobsGrid->model()->index(0, 0));
    QTest::mouseClick(
        form->windowHandle(), Qt::LeftButton, {}, form->JobsGrid->viewport()->mapTo(form, first.center()));
    QCOMPARE(form->MemoLog->toPlainText(), u"Протокол IBIS"_s);
    QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!form->isVisible());

    // Another job ends; opened again, the list shows it.
    const int job = jobs->begin(JobKind::DbNew, u"NEWX"_s, QDateTime::currentDateTime());
    jobs->setLog(job, { u"Протокол NEWX"_s });
    jobs->finish(job, JobOutcome::Finished, QDateTime::currentDateTime());
    WAMainForm->JobsItem->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QCOMPARE(form->JobsGrid->row(), 3);
    QCOMPARE(form->MemoLog->toPlainText(), u"Протокол NEWX"_s);
}

void TestJobs::columnsFitALargerFont()
{
    // A face or size wider than Arial's cut "Длительность" and the times.
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSize(16);
    QApplication::setFont(large);
    TearDownJobs();
    TJobsForm *form = jobsForm();
    QApplication::setFont(before);
    const QFontMetrics title(form->JobsGrid->horizontalHeader()->font());
    const QFontMetrics cell(form->JobsGrid->font());
    for (int c = 0; c < JobList::ColumnCount; ++c) {
        const QString header = jobList()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QVERIFY2(form->JobsGrid->colWidth(c) > title.horizontalAdvance(header), qPrintable(header));
    }
    QVERIFY(form->JobsGrid->colWidth(JobList::Start) > cell.horizontalAdvance(u"10.12.2026 16:48:19"_s));
    QVERIFY(
        form->JobsGrid->colWidth(JobList::Result) > cell.horizontalAdvance(u"остановлено администратором"_s));
}

QTEST_MAIN(TestJobs)
#include "tst_jobs.moc"
