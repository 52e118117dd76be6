// The login dialog against a scripted server: what is sent, the profile, every refusal.
#include "ShellFixture.h"

#include <QAction>
#include <QLabel>
#include <QTest>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

class TestLogin : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { f.setUp({ u"USERNAME=админ"_s }); }
    void cleanup() { f.tearDown(); }

    void sendsUpperCasedNameAndPasswordAsTyped();
    void profileSetsNamesAndMenus();
    void menuKeys_data();
    void menuKeys();
    void refusals_data();
    void refusals();
    void serverUnreachable();
    void enterKeys();
    void portOutOfRangeIsSaid_data();
    void portOutOfRangeIsSaid();
    void answerSizeLimitFromSettings();
    void captionsFitAWiderFont();

private:
    ShellFixture f;
};

void TestLogin::sendsUpperCasedNameAndPasswordAsTyped()
{
    f.answerLogin({ u"[MAIN]"_s });
    f.typeAndLogIn(u"админ ivanov"_s, u"ПаРоль x"_s);
    QCOMPARE(FormConnect->result(), int(QDialog::Accepted));
    QCOMPARE(f.server->connectionCount(), 1);
    const ScriptedServer::Request request = f.server->request(0);
    QCOMPARE(request.command, "A"_ba);
    QCOMPARE(request.headerLine(1), "A"_ba);
    QCOMPARE(request.headerLine(5), TextCodec::toBytes(u"ПаРоль x"_s));
    QCOMPARE(request.headerLine(6), TextCodec::toBytes(u"АДМИН IVANOV"_s));
    QCOMPARE(request.lines.mid(9),
        (QList<QByteArray>{ TextCodec::toBytes(u"АДМИН IVANOV"_s), TextCodec::toBytes(u"ПаРоль x"_s) }));
    QCOMPARE(UserName, u"АДМИН IVANOV"_s);
    QCOMPARE(UserPassword, u"ПаРоль x"_s);
    QCOMPARE(request.sequence(), "1"_ba);
}

void TestLogin::profileSetsNamesAndMenus()
{
    f.answerLogin({ u"[MAIN]"_s, u"ADMIN_INI=adm.ini"_s, u"READ_INI=r.ini"_s, u"CurDbn=ibis"_s, u"[Main]"_s,
        u"ADMIN_INI=ignored.ini"_s });
    f.typeAndLogIn(u"admin"_s, u"x"_s);
    QCOMPARE(FormConnect->result(), int(QDialog::Accepted));
    // The line the server puts between the return code and the profile is gone.
    QCOMPARE(ProfileIni.lines().value(1), u"[MAIN]"_s);
    QCOMPARE(ProfileIni.readString(u"MAIN"_s, u"CurDbn"_s, QString()), u"ibis"_s);
    QCOMPARE(AdminIniName, u"adm.ini"_s);
    QCOMPARE(ReadIniName, u"r.ini"_s);
    QCOMPARE(CatalIniName, u"tulvac.ini"_s);
    QCOMPARE(ComplIniName, u"tulvap.ini"_s);
    QCOMPARE(BooklIniName, u"tulvab.ini"_s);
    QCOMPARE(BookProvdIniName, u"tulvak.ini"_s);
    for (const MenuAccessRow &row : MenuAccessTable)
        QVERIFY2(WAMainForm->menuItem(QString::fromLatin1(row.item))->isEnabled(), row.item);
}

void TestLogin::menuKeys_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("0 disables") << u"DeleteDBItem=0"_s << u"DeleteDBItem"_s << false;
    QTest::newRow("256 has low bits 0") << u"DeleteDBItem=256"_s << u"DeleteDBItem"_s << false;
    QTest::newRow("0x100 likewise") << u"RestatItem=0x100"_s << u"RestatItem"_s << false;
    QTest::newRow("257 enables") << u"DeleteDBItem=257"_s << u"DeleteDBItem"_s << true;
    QTest::newRow("not a number is the default") << u"DeleteDBItem=no"_s << u"DeleteDBItem"_s << true;
    QTest::newRow("key case differs from item") << u"UnLockRecordItem=0"_s << u"UnlockrecordItem"_s << false;
    QTest::newRow("key in any case") << u"serverprocesslistitem=0"_s << u"ServerProcessListItem"_s << false;
    QTest::newRow("whole database menu") << u"DataBaseItem=0"_s << u"DataBaseItem"_s << false;
    QTest::newRow("blank before = is no key") << u"HelpItem =0"_s << u"HelpItem"_s << true;
}

void TestLogin::menuKeys()
{
    QFETCH(QString, line);
    QFETCH(QString, item);
    QFETCH(bool, enabled);
    f.answerLogin({ u"[MAIN]"_s, line });
    f.typeAndLogIn(u"admin"_s, u"x"_s);
    QCOMPARE(WAMainForm->menuItem(item)->isEnabled(), enabled);
    // The version command is not the profile's to decide.
    QVERIFY(WAMainForm->Version1->isEnabled());
}

void TestLogin::refusals_data()
{
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stillOpen");
    QTest::addColumn<bool>("fieldsEmptied");
    QTest::addColumn<bool>("unregisters");
    QTest::newRow("-3338 too many clients")
        << QStringList{ u"-3338"_s } << u"msg 1237"_s << false << false << false;
    QTest::newRow("-3336 not this workstation")
        << QStringList{ u"-3336"_s } << u"msg 1013"_s << false << false << false;
    QTest::newRow("-3333 wrong password")
        << QStringList{ u"-3333"_s } << u"msg 944"_s << true << true << false;
    QTest::newRow("another code") << QStringList{ u"-1"_s, u"x"_s } << u"msg 1238"_s << true << true << true;
    QTest::newRow("empty answer") << QStringList{} << u"Неверный пароль или имя пользователя."_s << false
                                  << false << false;
    QTest::newRow("not a number") << QStringList{ u"OK"_s } << u"\"OK\""_s << true << false << false;
}

void TestLogin::refusals()
{
    QFETCH(QStringList, answer);
    QFETCH(QString, text);
    QFETCH(bool, stillOpen);
    QFETCH(bool, fieldsEmptied);
    QFETCH(bool, unregisters);
    f.answer(answer);
    f.answer({ u"0"_s });
    f.typeAndLogIn(u"Ivanov"_s, u"secret"_s);

    QVERIFY(!Dialogs::asked().isEmpty());
    QVERIFY2(Dialogs::asked().first().text.contains(text), qPrintable(Dialogs::asked().first().text));
    QCOMPARE(FormConnect->isVisible(), stillOpen);
    if (!stillOpen)
        QCOMPARE(FormConnect->result(), int(QDialog::Rejected));
    QCOMPARE(FormConnect->EditName->text().isEmpty(), fieldsEmptied);
    QCOMPARE(FormConnect->MaskEditPassword->text().isEmpty(), fieldsEmptied);
    if (fieldsEmptied)
        QCOMPARE(FormConnect->focusWidget(), static_cast<QWidget *>(FormConnect->EditName));
    QCOMPARE(f.server->connectionCount(), unregisters ? 2 : 1);
    if (unregisters) {
        // The name as typed, not upper-cased.
        const ScriptedServer::Request request = f.server->request(1);
        QCOMPARE(request.command, "B"_ba);
        QCOMPARE(request.lines.value(9), "Ivanov"_ba);
    }
    // No refusal is a successful login.
    QVERIFY(ProfileIni.lines().isEmpty());
}

void TestLogin::serverUnreachable()
{
    // Nothing listens on the port: the engine asks whether to retry; No ends the program.
    const quint16 port = f.server->port();
    f.server.reset();
    QCOMPARE(ServerPortText, QString());
    FormConnect->show();
    QCOMPARE(ServerPortText, QString::number(port));
    FormConnect->MaskEditPassword->setText(u"x"_s);
    Dialogs::queueAnswer(QMessageBox::No);
    FormConnect->ButtonExecute->click();
    QCOMPARE(Dialogs::asked().size(), 2);
    QVERIFY(Dialogs::asked().at(0).text.startsWith(u"Связь с сервером ТУЛВА64 прервана."_s));
    QCOMPARE(Dialogs::asked().at(1).text, u"Сервер недоступен."_s);
    QCOMPARE(FormConnect->result(), int(QDialog::Rejected));
    QVERIFY(f.terminations >= 1);
}

void TestLogin::enterKeys()
{
    f.answerLogin({ u"[MAIN]"_s });
    FormConnect->show();
    QCOMPARE(FormConnect->EditName->text(), u"админ"_s);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormConnect->MaskEditPassword));
    FormConnect->EditName->setFocus();
    QTest::keyClick(FormConnect->EditName, Qt::Key_Return);
    QCOMPARE(f.server->connectionCount(), 0);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormConnect->MaskEditPassword));
    QTest::keyClicks(FormConnect->MaskEditPassword, u"pw"_s);
    QTest::keyClick(FormConnect->MaskEditPassword, Qt::Key_Return);
    QCOMPARE(f.server->connectionCount(), 1);
    QCOMPARE(FormConnect->result(), int(QDialog::Accepted));
}

void TestLogin::portOutOfRangeIsSaid_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("notice"); // empty: nothing is said
    QTest::newRow("a port") << u"6666"_s << QString();
    QTest::newRow("not a number: 6666, as always") << u"abc"_s << QString();
    QTest::newRow("too large") << u"70000"_s << u"Порт 70000 вне 1..65535: используется порт 6666"_s;
    QTest::newRow("negative") << u"-5"_s << u"Порт -5 вне 1..65535: используется порт 6666"_s;
    QTest::newRow("zero") << u"0"_s << u"Порт 0 вне 1..65535: используется порт 0"_s;
}

void TestLogin::portOutOfRangeIsSaid()
{
    QFETCH(QString, port);
    QFETCH(QString, notice);
    LocalIni.setLines({ u"[Main]"_s, u"ServerPort="_s + port });
    FormConnect->show();
    QVERIFY(QTest::qWaitForWindowExposed(FormConnect));
    QCOMPARE(FormConnect->LabelPort->isVisible(), !notice.isEmpty());
    QCOMPARE(FormConnect->LabelPort->text(), notice);
    // The whole text fits the dialog.
    QVERIFY(FormConnect->LabelPort->sizeHint().width() <= FormConnect->LabelPort->width());
}

void TestLogin::answerSizeLimitFromSettings()
{
    f.tearDown();
    f.setUp({ u"MaxAnswerSize=0x200000"_s });
    FormConnect->FormShow();
    QCOMPARE(WaitForm->engine()->maxAnswerSize(), qint64(2) << 20);
}

void TestLogin::captionsFitAWiderFont()
{
    // The captions as the message file gives them, in a face and size wider than Arial's.
    FormConnect->Label1->setText(u"Имя пользователя:"_s);
    for (QLabel *label : { FormConnect->LabelServer, FormConnect->Label1, FormConnect->Label2 }) {
        QFont font = label->font();
        font.setPointSize(16);
        label->setFont(font);
    }
    FormConnect->show();
    QVERIFY(QTest::qWaitForWindowExposed(FormConnect));
    for (const QLabel *label : { FormConnect->LabelServer, FormConnect->Label1, FormConnect->Label2 }) {
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        QVERIFY(label->geometry().right() < FormConnect->EditName->x());
    }
    QVERIFY(FormConnect->ButtonServerDelete->geometry().right() < FormConnect->width());
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
