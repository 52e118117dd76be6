// A whole session against the server emulator with its sample data: log in as the sample
// administrator, see the profile's database, open others, refuse a wrong password, log out.
#include "SimSession.h"
#include "TestSupport.h"
#include "database/Opendb.h"
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
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void sampleAdministrator();
    void wrongPasswordThenRight();

private:
    void startProgram(const QString &password);

    SimSession m_session;
};

void TestSession::init()
{
    const quint16 port = m_session.startEmulator();
    QVERIFY2(port != 0, m_session.sim->errors().constData());
    QVERIFY(m_session.createForms(port));
}

void TestSession::cleanup()
{
    m_session.tearDown();
}

void TestSession::startProgram(const QString &password)
{
    Dialogs::setModalHandler([password](QDialog *dialog) {
        dialog->show();
        FormConnect->MaskEditPassword->setText(password);
        FormConnect->ButtonExecute->click();
        if (dialog->isVisible()) {
            // Refused: the second try with the right password.
            FormConnect->EditName->setText(u"Admin"_s);
            FormConnect->MaskEditPassword->setText(u"admin"_s);
            FormConnect->ButtonExecute->click();
        }
        return dialog->result();
    });
    WAMainForm->TimerStartTimer();
}

void TestSession::sampleAdministrator()
{
    startProgram(u"admin"_s);
    QCOMPARE(UserName, u"ADMIN"_s);
    // The profile names "ibis"; the list has "IBIS".
    QCOMPARE(CurrentDbName, u"IBIS"_s);
    QCOMPARE(statistic(1), u"IBIS"_s);
    QCOMPARE(statistic(2), u"Электронный каталог библиотеки"_s);
    QCOMPARE(statistic(3), u"15230"_s);
    QCOMPARE(statistic(4), u"Нет"_s);
    QCOMPARE(statistic(6), u"8"_s);
    QCOMPARE(statistic(7), u"5"_s);
    QCOMPARE(statistic(8), u"11"_s);
    QCOMPARE(OpenDbForm->DBStringGrid->rowCount(), 7);
    QVERIFY(WAMainForm->AutoaskTimer->enabled());
    QVERIFY(m_session.registeredAtServer(WaitForm->clientId()));

    openDatabase(u"RDR"_s);
    QCOMPARE(statistic(5), u"3"_s);
    QVERIFY(WAMainForm->ClearDBItem->isEnabled());
    openDatabase(u"ARCHIV"_s);
    QCOMPARE(statistic(4), Msg(42));
    QVERIFY(!WAMainForm->ClearDBItem->isEnabled());
    QVERIFY(!WAMainForm->ActualItem->isEnabled());
    openDatabase(u"BIGCAT"_s);
    QCOMPARE(statistic(3), u"1000000"_s);
    QVERIFY(statistic(6).toInt() > 10000);
    // An unlocked database allows them again, as the administrator's profile does.
    QVERIFY(WAMainForm->ServerRestartItem->isEnabled());
    QVERIFY(WAMainForm->ClearDBItem->isEnabled());
    QVERIFY(WAMainForm->ActualItem->isEnabled());

    const QString id = WaitForm->clientId();
    WAMainForm->close();
    QVERIFY(!m_session.registeredAtServer(id));
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestSession::wrongPasswordThenRight()
{
    startProgram(u"wrong"_s);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, Msg(944));
    QCOMPARE(FormConnect->result(), int(QDialog::Accepted));
    QCOMPARE(CurrentDbName, u"IBIS"_s);
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
