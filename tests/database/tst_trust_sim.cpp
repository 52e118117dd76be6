// What the administrator is told matches what the server holds, against the emulator: a command
// whose answer is lost is read back before anything is said, in the windows and in tulvaa-cli,
// and no text that would cut the server's later answers is ever sent to be stored.
#include "SimSession.h"
#include "TestSupport.h"
#include "database/LockList.h"
#include "database/Newdb.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"
#include "exchange/Waitunit.h"
#include "server/ProcessList.h"
#include "server/clients.h"
#include "server/clients_edit.h"
#include "server/main.h"
#include "server/process.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/StringGrid.h"
#include "shell/TTimer.h"
#include "shell/Wamain.h"
#include "shell/connect.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList texts()
{
    QStringList out;
    for (const Dialogs::Asked &a : Dialogs::asked())
        out.append(a.text);
    return out;
}

// A second workstation of the same administrator: registered, and with a long job when asked.
struct OtherClient
{
    TulvaExchange engine;
    QString jobNumber;

    bool start(quint16 port, bool withJob)
    {
        QStringList answer;
        engine.SetServerAddress(u"127.0.0.1"_s, QString::number(port), u"A"_s);
        if (engine.RegisterClient(u"ADMIN"_s, u"admin"_s, u"A"_s, answer) != OpResult::Accepted
            || !returnCodeOk(answer))
            return false;
        if (!withJob)
            return true;
        if (engine.ReorganizeInvertedFile(u"IBIS"_s, answer) != OpResult::Accepted || !returnCodeOk(answer))
            return false;
        if (engine.GetProcessList(answer) != OpResult::Accepted)
            return false;
        for (const QStringList &row : parseProcessList(answer).rows) {
            if (row.value(ProcessColumn::ClientId) == engine.clientId())
                jobNumber = row.value(ProcessColumn::Number);
        }
        return !jobNumber.isEmpty();
    }
};

struct CliResult
{
    int exit = -1;
    QString out;
    QString err;
};

CliResult runCli(quint16 port, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TULVA_PASSWORD"_s, u"admin"_s);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TULVA_CLI_EXE),
        QStringList{ u"--server"_s, u"127.0.0.1:%1"_s.arg(port), u"--user"_s, u"ADMIN"_s } + args);
    p.closeWriteChannel();
    CliResult r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestTrustSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void lostAnswerInTheWindows_data() { lostAnswerRows(); }
    void lostAnswerInTheWindows();
    void lostAnswerInTheCli_data() { lostAnswerRows(); }
    void lostAnswerInTheCli();
    void binaryMarkerRefusedInTheWindows_data();
    void binaryMarkerRefusedInTheWindows();
    void binaryMarkerRefusedInTheCli();

private:
    // Each row: the emulator's fault (the server acts, then its answer is lost), how long its
    // jobs run, the command line, and what is to be said (a pattern).
    static void lostAnswerRows();
    quint16 startEmulator(const QString &fault, int jobSeconds);
    // Every window, logged in as ADMIN; the program's dialogs answered from the members below.
    void logIn(quint16 port);

    SimSession m_session;
    QString m_newName;
    QString m_description;
    ClientList::Account m_account;
};

void TestTrustSim::cleanup()
{
    m_session.tearDown();
}

void TestTrustSim::lostAnswerRows()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("jobSeconds");
    QTest::addColumn<QStringList>("cli");
    QTest::addColumn<QString>("said");
    const QString lost = u", ответ сервера потерян"_s;
    QTest::newRow("create") << u"T:drop:1"_s << 2 << QStringList{ u"create-db"_s, u"NEWX"_s, u"Новая"_s }
                            << u"NEWX (создана|создаётся на сервере)"_s + lost;
    QTest::newRow("create, the repeated request refused")
        << u"T:badseq:1"_s << 2 << QStringList{ u"create-db"_s, u"NEWX"_s, u"Новая"_s }
        << u"NEWX (создана|создаётся на сервере)"_s + lost;
    QTest::newRow("delete") << u"W:drop:1"_s << 2 << QStringList{ u"--yes"_s, u"delete-db"_s, u"NEWBOOKS"_s }
                            << u"NEWBOOKS (удалена|удаляется на сервере)"_s + lost;
    QTest::newRow("clear") << u"S:drop:1"_s << 2 << QStringList{ u"--yes"_s, u"clear"_s, u"PERIO"_s }
                           << u"PERIO очищена"_s + lost;
    QTest::newRow("unlock") << u"U:drop:1"_s << 2 << QStringList{ u"unlock"_s, u"ARCHIV"_s }
                            << u"ARCHIV разблокирована"_s + lost;
    QTest::newRow("unlock records") << u"Q:drop:1"_s << 2
                                    << QStringList{ u"unlock-records"_s, u"RDR"_s, u"17"_s, u"205"_s,
                                           u"1999"_s }
                                    << u"Записи базы данных RDR разблокированы"_s + lost;
    QTest::newRow("stop a process") << u"+4:drop:1"_s << 600 << QStringList{ u"stop"_s, u"%PROCESS%"_s }
                                    << u"Процесс \\d+ остановлен"_s + lost;
    QTest::newRow("remove a registration")
        << u"+6:drop:1"_s << 2 << QStringList{ u"unregister"_s, u"%CLIENT%"_s }
        << u"Регистрация клиента \\d+ удалена"_s + lost;
    QTest::newRow("save the accounts")
        << u"+7:drop:1"_s << 2 << QStringList{ u"--yes"_s, u"accounts"_s, u"import"_s, u"%FILE%"_s }
        << u"Список клиентов для доступа к серверу сохранен"_s + lost;
}

quint16 TestTrustSim::startEmulator(const QString &fault, int jobSeconds)
{
    QStringList args{ u"--job-seconds"_s, QString::number(jobSeconds) };
    if (!fault.isEmpty())
        args << u"--fault"_s << fault;
    return m_session.startEmulator(args);
}

void TestTrustSim::logIn(quint16 port)
{
    QVERIFY(m_session.createForms(port));
    // The login, the new database, the process watch (it runs) and the locked-record picker.
    Dialogs::setModalHandler([this](QDialog *dialog) {
        dialog->show();
        if (dialog == FormConnect) {
            FormConnect->MaskEditPassword->setText(u"admin"_s);
            FormConnect->ButtonExecute->click();
        } else if (dialog == NewDBForm) {
            NewDBForm->NameEdit->setText(m_newName);
            NewDBForm->FullNameEdit->setText(m_description);
            QTest::mouseClick(NewDBForm->windowHandle(), Qt::LeftButton, {},
                NewDBForm->OKBitBtn->mapTo(NewDBForm, NewDBForm->OKBitBtn->rect().center()));
            // A refused entry keeps the dialog open; the administrator then gives up.
            if (dialog->isVisible())
                dialog->reject();
        } else if (dialog == LoadInvForm) {
            dialog->hide();
            return dialog->exec();
        } else if (dialog == LockedListForm) {
            LockedListForm->SelectAllBitBtn->click();
            LockedListForm->RunBitBtn->click();
        } else if (auto *edit = qobject_cast<TFormClientsEdit *>(dialog)) {
            edit->EditName->setText(m_account.name);
            edit->EditPassword->setText(m_account.password);
            edit->EditC->setText(m_account.ini[0]);
            edit->setResult(QDialog::Rejected);
            edit->ButtonOK->click();
            if (dialog->isVisible())
                dialog->reject();
        } else {
            dialog->reject();
        }
        return dialog->result();
    });
    WAMainForm->TimerStartTimer();
    WAMainForm->AutoaskTimer->setEnabled(false);
    LoadInvForm->Timer1->setInterval(100);
    QCOMPARE(CurrentDbName, u"IBIS"_s);
}

void TestTrustSim::lostAnswerInTheWindows()
{
    QFETCH(QString, fault);
    QFETCH(int, jobSeconds);
    QFETCH(QString, said);
    const quint16 port = startEmulator(fault, jobSeconds);
    QVERIFY2(port != 0, m_session.sim->errors().constData());
    logIn(port);
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    OtherClient other;
    QVERIFY(other.start(port, tag == u"stop a process"));
    const qsizetype before = Dialogs::asked().size();

    if (tag.startsWith(u"create")) {
        m_newName = u"NEWX"_s;
        m_description = u"Новая"_s;
        WAMainForm->NewDBItem->trigger();
        QCOMPARE(CurrentDbName, u"NEWX"_s);
    } else if (tag == u"delete") {
        openDatabase(u"NEWBOOKS"_s);
        Dialogs::queueAnswer(QMessageBox::Yes);
        WAMainForm->DeleteDBItem->trigger();
        QCOMPARE(OpenDbForm->rowOfDatabase(u"NEWBOOKS"_s), -1);
        QCOMPARE(CurrentDbName, u"IBIS"_s);
    } else if (tag == u"clear") {
        openDatabase(u"PERIO"_s);
        Dialogs::queueAnswer(QMessageBox::Yes);
        WAMainForm->ClearDBItem->trigger();
        QCOMPARE(statistic(3), u"0"_s);
    } else if (tag == u"unlock") {
        openDatabase(u"ARCHIV"_s);
        WAMainForm->UnlockDBItem->trigger();
        QCOMPARE(statistic(4), u"Нет"_s);
    } else if (tag == u"unlock records") {
        openDatabase(u"RDR"_s);
        WAMainForm->UnLockListItem->trigger();
        QCOMPARE(statistic(5), u"0"_s);
    } else if (tag == u"stop a process") {
        WAMainForm->ServerProcessListItem->trigger();
        TStringGrid *g = FormProcess->StringGridProcess;
        const int row = rowOfProcess(
            g->rowCount(), [g](int c, int r) { return g->cell(c, r); }, other.jobNumber,
            other.engine.clientId());
        QVERIFY(row > 1);
        g->setRow(row);
        FormProcess->ProcStop->trigger();
    } else if (tag == u"remove a registration") {
        WAMainForm->ServerCurrentClientListItem->trigger();
        TStringGrid *g = FormRegClients->StringGridClient;
        for (int r = 2; r < g->rowCount(); ++r) {
            if (g->cell(4, r) == other.engine.clientId())
                g->setRow(r);
        }
        FormRegClients->clientdel->trigger();
    } else if (tag == u"save the accounts") {
        WAMainForm->ServerClientListItem->trigger();
        TStringGrid *g = FormCLient->StringGridCLients;
        for (int r = 1; r < g->rowCount(); ++r) {
            if (g->cell(1, r) == u"READER"_s)
                g->setRow(r);
        }
        Dialogs::queueAnswer(QMessageBox::Yes);
        FormCLient->N1->trigger();
        FormCLient->ButtonOK->click();
        QVERIFY(!FormCLient->hasUnsavedChanges());
    }
    const QStringList told = texts().mid(before);
    QVERIFY2(!told.filter(QRegularExpression(said)).isEmpty(), qPrintable(told.join(u" | "_s)));
}

void TestTrustSim::lostAnswerInTheCli()
{
    QFETCH(QString, fault);
    QFETCH(int, jobSeconds);
    QFETCH(QStringList, cli);
    QFETCH(QString, said);
    // The fault touches only the command under test, not what prepares it.
    const quint16 port = startEmulator(fault, jobSeconds);
    QVERIFY2(port != 0, m_session.sim->errors().constData());
    OtherClient other;
    QVERIFY(other.start(port, cli.first() == u"stop"));
    cli.replaceInStrings(u"%PROCESS%"_s, other.jobNumber);
    cli.replaceInStrings(u"%CLIENT%"_s, other.engine.clientId());
    if (cli.contains(u"%FILE%"_s)) {
        // The server's accounts without READER, as a backup of them would hold them.
        const QString file = m_session.state->filePath(u"accounts.txt"_s);
        QCOMPARE(runCli(port, { u"accounts"_s, u"export"_s, file }).exit, 0);
        QFile backup(file);
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = backup.readAll().split('\n');
        backup.close();
        const qsizetype reader = lines.indexOf("READER\r");
        QVERIFY(reader >= 0);
        lines.remove(reader, 3);
        writeBytes(file, lines.join('\n'));
        cli.replaceInStrings(u"%FILE%"_s, file);
    }
    const CliResult r = runCli(port, cli);
    QVERIFY2(r.exit == 0, qPrintable(u"%1: %2"_s.arg(r.exit).arg(r.err)));
    QVERIFY2(r.out.contains(QRegularExpression(said)), qPrintable(r.out));
}

void TestTrustSim::binaryMarkerRefusedInTheWindows_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("database description") << u"description"_s;
    QTest::newRow("account name") << u"name"_s;
    QTest::newRow("password") << u"password"_s;
    QTest::newRow("INI name") << u"ini"_s;
}

// The emulator keeps what it is given, as the server does: nothing holding the marker may reach it.
void TestTrustSim::binaryMarkerRefusedInTheWindows()
{
    QFETCH(QString, field);
    const QString marked = u"xx TULVA_BINARY_DATA yy"_s;
    const quint16 port = startEmulator(QString(), 1);
    QVERIFY2(port != 0, m_session.sim->errors().constData());
    logIn(port);
    QStringList commands;
    connect(WaitForm->engine(), &TulvaExchange::operationFinished, this,
        [&commands](const ExchangeRecord &r) { commands.append(QString::fromLatin1(r.command)); });
    const qsizetype before = Dialogs::asked().size();
    if (field == u"description") {
        m_newName = u"TESTM"_s;
        m_description = marked;
        WAMainForm->NewDBItem->trigger();
        QVERIFY(!commands.contains(u"T"_s));
    } else {
        WAMainForm->ServerClientListItem->trigger();
        const int accounts = FormCLient->clientCount();
        m_account = { u"TESTER"_s, u"secret"_s, { u"tulvac.ini"_s } };
        if (field == u"name")
            m_account.name = marked;
        else if (field == u"password")
            m_account.password = marked;
        else
            m_account.ini[0] = marked;
        FormCLient->ProcStop->trigger();
        QCOMPARE(FormCLient->clientCount(), accounts);
        QVERIFY(!FormCLient->hasUnsavedChanges());
    }
    const QStringList told = texts().mid(before);
    QVERIFY2(!told.filter(u"TULVA_BINARY_DATA"_s).isEmpty(), qPrintable(told.join(u" | "_s)));
    QVERIFY(!told.filter(u"secret"_s).size());
    // The server's lists still read whole.
    OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AfterChange);
    QVERIFY(OpenDbForm->rowOfDatabase(u"NEWBOOKS"_s) > 0);
    QCOMPARE(OpenDbForm->rowOfDatabase(u"TESTM"_s), -1);
}

void TestTrustSim::binaryMarkerRefusedInTheCli()
{
    const quint16 port = startEmulator(QString(), 0);
    QVERIFY2(port != 0, m_session.sim->errors().constData());
    const CliResult r = runCli(port, { u"create-db"_s, u"TESTM"_s, u"xx TULVA_BINARY_DATA yy"_s });
    QCOMPARE(r.exit, 3);
    QVERIFY2(r.err.contains(u"TULVA_BINARY_DATA"_s), qPrintable(r.err));
    const CliResult list = runCli(port, { u"databases"_s });
    QCOMPARE(list.exit, 0);
    QVERIFY(!list.out.contains(u"TESTM"_s));
}

QTEST_MAIN(TestTrustSim)
#include "tst_trust_sim.moc"
