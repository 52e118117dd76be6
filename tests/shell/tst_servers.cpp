// The login dialog's list of saved servers: chosen, added, changed and removed with the mouse and
// keys; a missing or damaged book; the main window's title; the workstation through an SSH tunnel.
#include "ShellFixture.h"
#include "SimSession.h"
#include "SshServer.h"
#include "exchange/SshTunnel.h"
#include "shell/ServerEdit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// A click as the window system delivers it, so that modal blocking applies.
void clickWidget(QWidget *w)
{
    QTest::mouseClick(
        w->window()->windowHandle(), Qt::LeftButton, {}, w->mapTo(w->window(), w->rect().center()));
}

void typeText(QWindow *window, const QString &text)
{
    for (const QChar ch : text)
        QTest::keyClick(window, ch.toLatin1());
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestServers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void chooseAndAddWithMouseAndKeys();
    void lastServerOfferedThenChangedAndRemoved();
    void missingOrDamagedBook_data();
    void missingOrDamagedBook();
    void workstationThroughTunnel();
    void tunnelThatCannotOpenIsTold();

private:
    QString bookPath() const { return m_config->filePath(u"tulvaa/servers.ini"_s); }
    void writeBook(const QByteArray &text);
    bool startSsh();

    std::unique_ptr<QTemporaryDir> m_config;
    ShellFixture f;
    bool m_shell = false;
    SimSession m_sim;
    std::unique_ptr<SshServer> m_sshd;
};

void TestServers::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
    m_shell = false;
}

void TestServers::cleanup()
{
    if (m_shell)
        f.tearDown();
    else if (m_sim.dir)
        m_sim.tearDown();
    m_sshd.reset();
    qunsetenv("TULVA_SSH");
}

void TestServers::writeBook(const QByteArray &text)
{
    QDir().mkpath(QFileInfo(bookPath()).absolutePath());
    writeBytes(bookPath(), text);
}

bool TestServers::startSsh()
{
    m_sshd = std::make_unique<SshServer>();
    QString whyNot;
    if (!m_sshd->start(&whyNot)) {
        qWarning("no private sshd: %s", qPrintable(whyNot));
        return false;
    }
    qputenv("TULVA_SSH", m_sshd->sshProgram().toLocal8Bit());
    return true;
}

void TestServers::chooseAndAddWithMouseAndKeys()
{
    ScriptedServer branch;
    QVERIFY(branch.listen());
    writeBook("[first]\nHost=localhost\nPort=" + branch.portText().toLatin1() + "\n");
    f.setUp({ u"USERNAME=admin"_s });
    m_shell = true;
    f.answerLogin({ u"[MAIN]"_s });
    branch.addScript({ ScriptedServer::reply(ShellFixture::lines({ u"0"_s, u"x"_s, u"[MAIN]"_s })) });
    TFormServerEdit *editor = FormConnect->serverEditor();

    bool chosen = false;
    bool added = false;
    bool loggedIn = false;
    whenActive(editor, [&] {
        QCOMPARE(editor->windowTitle(), u"Новый сервер"_s);
        QWindow *w = editor->windowHandle();
        typeText(w, u"second"_s);
        QTest::keyClick(w, Qt::Key_Tab);
        typeText(w, u"localhost"_s);
        QTest::keyClick(w, Qt::Key_Tab);
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        typeText(w, branch.portText());
        clickWidget(editor->ButtonOk);
        added = true;
    });
    whenActive(FormConnect, [&] {
        // The Ctulvaa.ini entry comes first and is chosen; the list opens and "first" is taken.
        QCOMPARE(FormConnect->ComboServer->count(), 2);
        QCOMPARE(FormConnect->ComboServer->currentIndex(), 0);
        QCOMPARE(FormConnect->windowTitle(), u"127.0.0.1"_s);
        clickWidget(FormConnect->ComboServer);
        QWidget *popup = FormConnect->ComboServer->view()->window();
        QTRY_VERIFY(popup->isVisible());
        QTest::keyClick(popup->windowHandle(), Qt::Key_Down);
        QTest::keyClick(popup->windowHandle(), Qt::Key_Return);
        QTRY_VERIFY(!popup->isVisible());
        QCOMPARE(FormConnect->windowTitle(), u"localhost"_s);
        QCOMPARE(ServerPortText, branch.portText());
        chosen = true;

        clickWidget(FormConnect->ButtonServerAdd);
        QVERIFY(added);
        QCOMPARE(FormConnect->ComboServer->count(), 3);
        QCOMPARE(FormConnect->ComboServer->currentText(), u"second — localhost:"_s + branch.portText());

        clickWidget(FormConnect->MaskEditPassword);
        typeText(FormConnect->windowHandle(), u"Sekret-42"_s);
        QTest::keyClick(FormConnect->windowHandle(), Qt::Key_Return);
        loggedIn = true;
    });
    QCOMPARE(Dialogs::execModal(FormConnect), int(QDialog::Accepted));
    QVERIFY(chosen && added && loggedIn);

    // The login went to the saved server; the title names user and server.
    QCOMPARE(branch.connectionCount(), 1);
    QCOMPARE(f.server->connectionCount(), 0);
    QCOMPARE(WAMainForm->windowTitle(), u"msg 388 — ADMIN@second:"_s + branch.portText());
    const QByteArray book = fileBytes(bookPath());
    QVERIFY(book.contains("[second]\nHost=localhost\nPort=" + branch.portText().toLatin1()));
    QVERIFY(book.contains("LastServer=second"));
    QVERIFY(!book.contains("Sekret"));
    QVERIFY(!QFile::exists(f.dir->filePath(u"servers.ini"_s)));
}

void TestServers::lastServerOfferedThenChangedAndRemoved()
{
    writeBook("LastServer=FIRST\n[first]\nHost=localhost\n[other]\nHost=10.9.9.9\n");
    f.setUp();
    m_shell = true;
    FormConnect->show();
    QCOMPARE(FormConnect->ComboServer->currentIndex(), 1);
    QCOMPARE(FormConnect->windowTitle(), u"localhost"_s);
    QCOMPARE(ServerPortText, u"6666"_s);
    QVERIFY(FormConnect->ButtonServerDelete->isEnabled());

    // Another program adds a server meanwhile; the change keeps it.
    ServerBook other(bookPath());
    ServerEntry added;
    added.name = u"added elsewhere"_s;
    added.host = u"10.1.1.1"_s;
    QVERIFY(other.add(added));

    TFormServerEdit *editor = FormConnect->serverEditor();
    bool edited = false;
    whenActive(editor, [&] {
        QCOMPARE(editor->EditHost->text(), u"localhost"_s);
        // A name the list holds already: refused on saving, and the name is where the typing goes.
        editor->EditName->setText(u"OTHER"_s);
        editor->EditHost->setFocus();
        QTest::keyClick(editor->windowHandle(), Qt::Key_Return);
        QCOMPARE(Dialogs::asked().last().text, u"Сервер с именем «OTHER» уже есть в списке."_s);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(editor->EditName));
        QCOMPARE(editor->EditName->selectedText(), u"OTHER"_s);
        editor->EditName->setText(u"first"_s);
        editor->EditPort->setText(u"99999"_s);
        clickWidget(editor->ButtonOk);
        // Refused by the check, the dialog stays with what was typed, the port field focused.
        QVERIFY(Dialogs::asked().last().text.contains(u"Порт сервера"_s));
        QVERIFY(editor->isVisible());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(editor->EditPort));
        editor->EditPort->setText(u"7000"_s);
        editor->EditSshHost->setText(u"admin@gw.example.org"_s);
        clickWidget(editor->ButtonOk);
        edited = true;
    });
    clickWidget(FormConnect->ButtonServerEdit);
    QVERIFY(edited);
    QCOMPARE(FormConnect->ComboServer->count(), 4);
    QCOMPARE(
        FormConnect->ComboServer->currentText(), u"first — localhost:7000 через SSH admin@gw.example.org"_s);
    QCOMPARE(ServerPortText, u"7000"_s);

    Dialogs::queueAnswer(QMessageBox::Yes);
    clickWidget(FormConnect->ButtonServerDelete);
    QCOMPARE(Dialogs::asked().last().text, u"Удалить сервер «first» из списка?"_s);
    QCOMPARE(FormConnect->ComboServer->count(), 3);
    QCOMPARE(FormConnect->ComboServer->currentIndex(), 0);
    QCOMPARE(FormConnect->windowTitle(), u"127.0.0.1"_s);
    QVERIFY(!FormConnect->ButtonServerDelete->isEnabled());
    QVERIFY(other.load());
    QCOMPARE(other.servers().size(), 2);
    QVERIFY(!other.find(u"first"_s));
}

void TestServers::missingOrDamagedBook_data()
{
    QTest::addColumn<QByteArray>("book");
    QTest::addColumn<QString>("told");
    QTest::newRow("missing") << QByteArray() << QString();
    QTest::newRow("damaged") << "[main]\nHost=10.0.0.1\n[test\nHost=x\n"_ba << u"строка 3"_s;
    QTest::newRow("a password in it") << "[main]\nHost=10.0.0.1\nPassword=x\n"_ba << u"строка 3"_s;
}

void TestServers::missingOrDamagedBook()
{
    QFETCH(QByteArray, book);
    QFETCH(QString, told);
    if (!book.isEmpty())
        writeBook(book);
    f.setUp({ u"USERNAME=admin"_s });
    m_shell = true;
    f.answerLogin({ u"[MAIN]"_s });
    FormConnect->show();
    QCOMPARE(FormConnect->ComboServer->count(), 1);
    QCOMPARE(FormConnect->ComboServer->currentText(), u"Ctulvaa.ini — 127.0.0.1:"_s + f.server->portText());
    if (told.isEmpty()) {
        QVERIFY(FormConnect->ButtonServerAdd->isEnabled());
    } else {
        QTRY_COMPARE(Dialogs::asked().size(), 1);
        QVERIFY2(Dialogs::asked().first().text.contains(told), qPrintable(Dialogs::asked().first().text));
        QVERIFY(Dialogs::asked().first().text.contains(QDir::toNativeSeparators(bookPath())));
        QVERIFY(!FormConnect->ButtonServerAdd->isEnabled());
    }
    // The program starts with the Ctulvaa.ini entry all the same, and leaves the book as it was.
    FormConnect->MaskEditPassword->setText(u"x"_s);
    FormConnect->ButtonExecute->click();
    QCOMPARE(FormConnect->result(), int(QDialog::Accepted));
    QCOMPARE(f.server->connectionCount(), 1);
    QCOMPARE(fileBytes(bookPath()), book);
}

void TestServers::workstationThroughTunnel()
{
    if (!startSsh())
        QSKIP("no private sshd for the tunnel test");
    const quint16 port = m_sim.startEmulator();
    QVERIFY(port != 0);
    writeBook("LastServer=sim\n[sim]\nHost=127.0.0.1\nPort=" + QByteArray::number(port)
        + "\nSshHost=" + m_sshd->gateway().toLocal8Bit() + "\nSshPort=" + QByteArray::number(m_sshd->port())
        + "\nSshIdentity=" + m_sshd->identity().toLocal8Bit() + "\n");
    QVERIFY(m_sim.createForms(port));
    m_sim.logIn();
    QVERIFY2(!CurrentDbName.isEmpty(),
        qPrintable(Dialogs::asked().isEmpty() ? QString() : Dialogs::asked().last().text));
    QCOMPARE(
        WAMainForm->windowTitle(), u"ТУЛВА64 — АРМ Администратор — ADMIN@sim:"_s + QString::number(port));
    SshTunnel *tunnel = FormConnect->tunnel();
    QVERIFY(tunnel && tunnel->isOpen());
    QVERIFY(m_sim.registeredAtServer(WaitForm->clientId()));

    // Closing unregisters through the tunnel, then ends it.
    const qint64 ssh = tunnel->processId();
    QVERIFY(processAlive(ssh));
    WAMainForm->close();
    QVERIFY(!m_sim.registeredAtServer(WaitForm->clientId()));
    QVERIFY(!FormConnect->tunnel());
    QVERIFY(!processAlive(ssh));
}

void TestServers::tunnelThatCannotOpenIsTold()
{
    if (!startSsh())
        QSKIP("no private sshd for the tunnel test");
    const quint16 port = m_sim.startEmulator();
    QVERIFY(port != 0);
    writeBook("LastServer=sim\n[sim]\nHost=127.0.0.1\nPort=" + QByteArray::number(port)
        + "\nSshHost=" + m_sshd->gateway().toLocal8Bit() + "\nSshPort=" + QByteArray::number(m_sshd->port())
        + "\nSshIdentity=" + m_sshd->wrongIdentity().toLocal8Bit() + "\n");
    int terminated = 0;
    QVERIFY(m_sim.createForms(port, [&] { ++terminated; }));
    m_sim.logIn();
    // ssh's reason, then the engine's own question (No ends the program), then the login's box.
    const QList<Dialogs::Asked> &asked = Dialogs::asked();
    QCOMPARE(asked.size(), 3);
    QVERIFY2(asked.at(0).text.contains(u"Permission denied (publickey)"_s), qPrintable(asked.at(0).text));
    QVERIFY(asked.at(0).text.contains(u"«sim»"_s));
    QVERIFY(asked.at(1).text.startsWith(u"Связь с сервером ТУЛВА64 прервана."_s));
    QCOMPARE(asked.at(2).text, u"Сервер недоступен."_s);
    QVERIFY(terminated > 0);
}

QTEST_MAIN(TestServers)
#include "tst_servers.moc"
