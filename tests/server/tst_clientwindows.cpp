// The client accounts window, the client profile dialog, the INI chooser and the registered
// clients window against a scripted server, and one administrator's round against the emulator.
#include "../shell/ShellFixture.h"
#include "EmulatorProcess.h"
#include "server/ClientList.h"
#include "server/clients.h"
#include "server/clients_edit.h"
#include "server/clients_menu.h"
#include "server/main.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"
#include "shell/TTimer.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kEnd = u"*****"_s;

// Answer of the client list: the accounts as (name, password, cataloguer INI).
QStringList accountAnswer(const QList<std::array<QString, 3>> &accounts)
{
    QStringList lines{ u"0"_s, QString::number(accounts.size()), u"8"_s };
    int n = 1;
    for (const auto &a : accounts) {
        lines << QString::number(n++) << a[0] << a[1] << a[2] << u"tulvar.ini"_s << u"tulvab.ini"_s
              << u"tulvap.ini"_s << u"tulvak.ini"_s << u"tulvaa.ini"_s;
    }
    return lines;
}

TStringGrid *grid()
{
    return FormCLient->StringGridCLients;
}

QStringList names()
{
    QStringList out;
    for (int r = 1; r <= FormCLient->clientCount(); ++r)
        out.append(grid()->cell(1, r));
    return out;
}

int rowOf(const QString &name)
{
    return int(names().indexOf(name)) + 1;
}

// A click as the window system delivers it, so that modal blocking applies.
void clickWidget(QWidget *w, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint(-1, -1))
{
    if (at == QPoint(-1, -1))
        at = w->rect().center();
    QTest::mouseClick(w->window()->windowHandle(), button, {}, w->mapTo(w->window(), at));
}

// The arguments of a request: the lines after the ten header lines.
QStringList requestArguments(const ScriptedServer::Request &request)
{
    QStringList out;
    for (const QByteArray &line : request.lines.mid(9))
        out.append(TextCodec::toText(line));
    return out;
}

} // namespace

class TestClientWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { f.tearDown(); }

    void menuItemShowsAccountsWithPasswordsHidden();
    void damagedTableKeepsTheList();
    void addThroughTheModalDialog();
    void editedPasswordSurvivesSortByTitleClick();
    void deleteAsks();
    void saveSendsTheClientListText();
    void failedSaveKeepsTheEdits();
    void closingWithUnsavedEditsAsks();
    void menuItemAsksBeforeRereadingOverEdits();
    void leavingTheProgramAsksAboutUnsavedEdits();
    void automaticRefreshRespectsUnsavedEdits();
    void profileDialogChecks();
    void profileDialogKeysAndBoxes();
    void iniChooserAndFileDialog();
    void registeredClients();
    void registeredClientsRemoval();
    void passwordsStayOutOfTheLogFiles();
    void administratorRoundAgainstTheEmulator();
    void closingDropsTheListAndItsPasswords_data();
    void closingDropsTheListAndItsPasswords();
    void onlyWhatBreaksTheListBlocksASave_data();
    void onlyWhatBreaksTheListBlocksASave();

private:
    void loadAccounts(const QList<std::array<QString, 3>> &accounts);
    // Runs the profile dialog without a person: `fill` changes it, then OK is pressed.
    void answerProfileDialog(std::function<void(TFormClientsEdit *)> fill);
    ShellFixture f;
};

void TestClientWindows::init()
{
    f.setUp();
    CatalIniName = u"tulvac.ini"_s;
    ReadIniName = u"tulvar.ini"_s;
    BooklIniName = u"tulvab.ini"_s;
    ComplIniName = u"tulvap.ini"_s;
    BookProvdIniName = u"tulvak.ini"_s;
    AdminIniName = u"tulvaa.ini"_s;
    ClientSortColumn = 1;
}

void TestClientWindows::loadAccounts(const QList<std::array<QString, 3>> &accounts)
{
    f.answer(accountAnswer(accounts));
    WAMainForm->ServerClientListItem->trigger();
    QVERIFY(FormCLient->isVisible());
}

void TestClientWindows::answerProfileDialog(std::function<void(TFormClientsEdit *)> fill)
{
    Dialogs::setModalHandler([fill](QDialog *dialog) {
        auto *edit = qobject_cast<TFormClientsEdit *>(dialog);
        if (!edit)
            return int(QDialog::Rejected);
        edit->setResult(QDialog::Rejected);
        fill(edit);
        edit->ButtonOK->click();
        return edit->result();
    });
}

void TestClientWindows::menuItemShowsAccountsWithPasswordsHidden()
{
    QAbstractItemModelTester tester(
        grid()->gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    WAMainForm->AutoaskTimer->setEnabled(true);
    loadAccounts({ { u"Иван"_s, u"secret1"_s, u"tulvac.ini"_s }, { u"ADMIN"_s, u"admin"_s, u"tulvac.ini"_s },
        { u"борис"_s, u"b"_s, u"katalog.ini"_s } });
    QCOMPARE(f.server->request(0).command, "+9"_ba);
    // Shown sorted by name, Cyrillic after Latin, letter case ignored; passwords never shown.
    QCOMPARE(names(), (QStringList{ u"ADMIN"_s, u"борис"_s, u"Иван"_s }));
    QCOMPARE(ClientPasswords, (QStringList{ u"admin"_s, u"b"_s, u"secret1"_s }));
    for (int r = 1; r <= 3; ++r) {
        QCOMPARE(grid()->cell(2, r), u"*****"_s);
        QCOMPARE(grid()->cell(0, r), QString::number(r));
    }
    QCOMPARE(grid()->cell(3, 2), u"katalog.ini"_s);
    QCOMPARE(grid()->cell(2, 0), u"Пароль"_s);
    QVERIFY(!FormCLient->ButtonOK->isEnabled());
    QVERIFY(WAMainForm->AutoaskTimer->enabled());
    QVERIFY(!FormCLient->PanelImage->isHidden());
    // The answer with the passwords does not stay in the shared list.
    QVERIFY(!AnswerList.contains(u"secret1"_s));

    // The note beside the buttons is read whole at the opening size, not cut off.
    QLabel *note = FormCLient->LabelComments;
    note->setText(u"Изменения передаются на сервер только кнопкой «Сохранить»"_s);
    QVERIFY(QTest::qWaitForWindowExposed(FormCLient));
    QTRY_VERIFY(note->minimumSizeHint().width() <= note->width());
    QVERIFY(note->heightForWidth(note->width()) <= note->height());
}

void TestClientWindows::damagedTableKeepsTheList()
{
    loadAccounts({ { u"A"_s, u"a"_s, u"tulvac.ini"_s } });
    // Announces more accounts than it carries.
    QStringList broken = accountAnswer({ { u"B"_s, u"b"_s, u"x.ini"_s } });
    broken[1] = u"5"_s;
    f.answer(broken);
    FormCLient->Refresh->trigger();
    QCOMPARE(names(), QStringList{ u"A"_s });
    QCOMPARE(ClientPasswords, QStringList{ u"a"_s });
    QCOMPARE(Dialogs::asked().size(), 1);
    QVERIFY(Dialogs::asked().first().text.contains(u"испорчен"_s));

    // Counts that are not numbers, and a server error: nothing changes either.
    f.answer({ u"0"_s, u"x"_s, u"8"_s });
    FormCLient->Refresh->trigger();
    f.answer({ u"-4"_s });
    FormCLient->Refresh->trigger();
    QCOMPARE(names(), QStringList{ u"A"_s });
    QCOMPARE(ClientPasswords, QStringList{ u"a"_s });
}

void TestClientWindows::addThroughTheModalDialog()
{
    loadAccounts({ { u"ZED"_s, u"z"_s, u"tulvac.ini"_s }, { u"ADMIN"_s, u"admin"_s, u"tulvac.ini"_s } });
    bool done = false;
    bool nameFocused = false;
    QString caption;
    // The dialog really runs modally; the typing and the OK click come as window-system input.
    whenActive(FormClientsEdit, [&] {
        TFormClientsEdit *edit = FormClientsEdit;
        caption = edit->windowTitle();
        nameFocused = edit->EditName->hasFocus();
        for (const char key : { 'T', 'E', 'S', 'T', 'E', 'R' })
            QTest::keyClick(edit->windowHandle(), key, Qt::NoModifier);
        edit->EditPassword->setFocus();
        QTest::keyClick(edit->windowHandle(), Qt::Key_T);
        QTest::keyClick(edit->windowHandle(), Qt::Key_1);
        edit->EditC->setText(u"katalog.ini"_s);
        clickWidget(edit->CheckBoxR); // clear the reader workstation
        clickWidget(edit->ButtonOK);
        done = true;
    });
    FormCLient->ProcStopClick();
    QTRY_VERIFY(done);
    QVERIFY(nameFocused);
    QCOMPARE(caption, u"Профиль клиента - добавить"_s);
    QCOMPARE(FormClientsEdit->windowTitle(), u"Профиль клиента"_s);
    QCOMPARE(names(), (QStringList{ u"ADMIN"_s, u"TESTER"_s, u"ZED"_s }));
    QCOMPARE(ClientPasswords, (QStringList{ u"admin"_s, u"t1"_s, u"z"_s }));
    QCOMPARE(grid()->row(), 2);
    QCOMPARE(grid()->cell(3, 2), u"katalog.ini"_s);
    QCOMPARE(grid()->cell(4, 2), QString());
    QCOMPARE(grid()->cell(5, 2), u"tulvab.ini"_s);
    QVERIFY(FormCLient->ButtonOK->isEnabled());

    // Escape cancels the dialog and adds nothing.
    done = false;
    whenActive(FormClientsEdit, [&] {
        QTest::keyClick(FormClientsEdit->windowHandle(), Qt::Key_Escape);
        done = !FormClientsEdit->isVisible();
    });
    FormCLient->ProcStopClick();
    QTRY_VERIFY(done);
    QCOMPARE(FormCLient->clientCount(), 3);
}

void TestClientWindows::editedPasswordSurvivesSortByTitleClick()
{
    loadAccounts({ { u"b-user"_s, u"pb"_s, u"z.ini"_s }, { u"a-user"_s, u"pa"_s, u"y.ini"_s },
        { u"c-user"_s, u"pc"_s, u"x.ini"_s } });
    grid()->setRow(rowOf(u"b-user"_s));
    answerProfileDialog([](TFormClientsEdit *edit) {
        QCOMPARE(edit->EditPassword->text(), u"pb"_s);
        QCOMPARE(edit->windowTitle(), u"Профиль клиента - редактировать"_s);
        edit->EditPassword->setText(u"new-b"_s);
    });
    FormCLient->CEditClick();
    QCOMPARE(ClientPasswords.at(rowOf(u"b-user"_s) - 1), u"new-b"_s);
    // Editing does not sort.
    QCOMPARE(names(), (QStringList{ u"a-user"_s, u"b-user"_s, u"c-user"_s }));

    // A click on the cataloguer title sorts by it; the edited client stays current.
    QHeaderView *header = grid()->horizontalHeader();
    const int x = header->sectionViewportPosition(3) + header->sectionSize(3) / 2;
    clickWidget(header->viewport(), Qt::LeftButton, QPoint(x, header->height() / 2));
    QCOMPARE(ClientSortColumn, 3);
    QCOMPARE(names(), (QStringList{ u"c-user"_s, u"a-user"_s, u"b-user"_s }));
    QCOMPARE(ClientPasswords, (QStringList{ u"pc"_s, u"pa"_s, u"new-b"_s }));
    QCOMPARE(grid()->row(), 3);
    answerProfileDialog([](TFormClientsEdit *edit) {
        QCOMPARE(edit->EditName->text(), u"b-user"_s);
        QCOMPARE(edit->EditPassword->text(), u"new-b"_s);
    });
    FormCLient->CEditClick();

    // The password title does not sort.
    const int px = header->sectionViewportPosition(2) + 5;
    clickWidget(header->viewport(), Qt::LeftButton, QPoint(px, header->height() / 2));
    QCOMPARE(ClientSortColumn, 3);
}

void TestClientWindows::deleteAsks()
{
    loadAccounts({ { u"A"_s, u"pa"_s, u"tulvac.ini"_s }, { u"B"_s, u"pb"_s, u"tulvac.ini"_s },
        { u"C"_s, u"pc"_s, u"tulvac.ini"_s } });
    grid()->setRow(2);
    Dialogs::queueAnswer(QMessageBox::No);
    FormCLient->N1->trigger();
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, u"Удалить профиль клиента?"_s);
    QCOMPARE(Dialogs::asked().first().defaultButton, QMessageBox::No);
    QCOMPARE(FormCLient->clientCount(), 3);
    QVERIFY(!FormCLient->ButtonOK->isEnabled());

    Dialogs::queueAnswer(QMessageBox::Yes);
    FormCLient->N1Click();
    QCOMPARE(names(), (QStringList{ u"A"_s, u"C"_s }));
    QCOMPARE(ClientPasswords, (QStringList{ u"pa"_s, u"pc"_s }));
    QCOMPARE(grid()->cell(0, 2), u"2"_s);
    QCOMPARE(grid()->rowCount(), 3);
    QVERIFY(FormCLient->ButtonOK->isEnabled());

    Dialogs::queueAnswer(QMessageBox::Yes);
    FormCLient->N1Click();
    // The last account cannot go: it is said, and nothing is asked.
    Dialogs::reset();
    Dialogs::setTestMode(true);
    FormCLient->N1Click();
    QCOMPARE(names(), QStringList{ u"A"_s });
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestClientWindows::saveSendsTheClientListText()
{
    // Same name and password but for letter case: the server's list may hold such a pair.
    loadAccounts({ { u"ADMIN"_s, u"admin"_s, u"tulvac.ini"_s }, { u"admin"_s, u"Admin"_s, u"own.ini"_s } });
    FormCLient->ButtonOK->setEnabled(true);
    f.answer({ u"0"_s });
    FormCLient->ButtonOK->click();
    QVERIFY(!FormCLient->ButtonOK->isEnabled());
    const ScriptedServer::Request save = f.server->request(1);
    QCOMPARE(save.command, "+7"_ba);
    QCOMPARE(requestArguments(save).mid(0, 7),
        (QStringList{
            u"ADMIN"_s, u"admin"_s, QString(), u"admin_DUBLICATE"_s, u"Admin"_s, u"C=own.ini; "_s, kEnd }));
    QVERIFY(save.raw.endsWith("*****\r\n"));
    QCOMPARE(grid()->cell(1, 2), u"admin_DUBLICATE"_s);
    QCOMPARE(Dialogs::asked().last().text, u"Список клиентов для доступа к серверу сохранен успешно"_s);
}

void TestClientWindows::failedSaveKeepsTheEdits()
{
    loadAccounts({ { u"A"_s, u"pa"_s, u"tulvac.ini"_s }, { u"B"_s, u"pb"_s, u"tulvac.ini"_s } });
    Dialogs::queueAnswer(QMessageBox::Yes);
    FormCLient->N1Click();
    f.answer({ u"-7"_s });
    FormCLient->ButtonOK->click();
    QVERIFY(FormCLient->ButtonOK->isEnabled());
    QVERIFY(Dialogs::asked().last().text.contains(u"-7"_s));
    QVERIFY(Dialogs::asked().last().text.contains(u"не сохранен"_s));
    // The exchange itself failing (the server closes without an answer) is no success either;
    // the list cannot be read again to tell, and that is said.
    f.server->addScript({ ScriptedServer::close() });
    FormCLient->ButtonOK->click();
    QVERIFY(FormCLient->ButtonOK->isEnabled());
    QVERIFY(Dialogs::asked().last().text.contains(u"узнать не удалось"_s));
    QVERIFY(Dialogs::asked().last().text.contains(u"Изменения остаются в окне"_s));
    // No message ever carries a password.
    for (const Dialogs::Asked &a : Dialogs::asked())
        QVERIFY(!a.text.contains(u"pa"_s) && !a.text.contains(u"pb"_s));

    // A row that would break the text is not sent at all.
    grid()->setCell(1, 1, u"*****"_s);
    const int before = f.server->connectionCount();
    FormCLient->ButtonOKClick();
    QCOMPARE(f.server->connectionCount(), before);
    QVERIFY(Dialogs::asked().last().text.contains(u"строке 1"_s));
}

void TestClientWindows::closingWithUnsavedEditsAsks()
{
    loadAccounts({ { u"A"_s, u"pa"_s, u"tulvac.ini"_s }, { u"B"_s, u"pb"_s, u"tulvac.ini"_s } });
    // Nothing changed: closes without a question.
    FormCLient->ButtonCancel->click();
    QVERIFY(!FormCLient->isVisible());
    QVERIFY(Dialogs::asked().isEmpty());

    loadAccounts({ { u"A"_s, u"pa"_s, u"tulvac.ini"_s }, { u"B"_s, u"pb"_s, u"tulvac.ini"_s } });
    Dialogs::queueAnswer(QMessageBox::Yes);
    FormCLient->N1Click();
    const int requests = f.server->connectionCount();

    // The close box asks too; Cancel keeps the window and the edits.
    Dialogs::queueAnswer(QMessageBox::Cancel);
    FormCLient->close();
    QVERIFY(FormCLient->isVisible());
    QCOMPARE(Dialogs::asked().last().text, u"Сохранить изменения?"_s);
    QCOMPARE(Dialogs::asked().last().caption, Msg(138));

    // Escape, as the window system delivers it, asks once; No closes and sends nothing.
    int questions = 0;
    Dialogs::setBoxHandler([&questions](const Dialogs::Asked &) {
        ++questions;
        return QMessageBox::No;
    });
    FormCLient->activateWindow();
    QTest::keyClick(FormCLient->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!FormCLient->isVisible());
    QCOMPARE(questions, 1);
    QCOMPARE(f.server->connectionCount(), requests);
    QVERIFY(!FormCLient->hasUnsavedChanges());
}

void TestClientWindows::menuItemAsksBeforeRereadingOverEdits()
{
    loadAccounts({ { u"A"_s, u"pa"_s, u"tulvac.ini"_s }, { u"B"_s, u"pb"_s, u"tulvac.ini"_s } });
    Dialogs::queueAnswer(QMessageBox::Yes);
    FormCLient->N1Click();
    const int requests = f.server->connectionCount();
    Dialogs::queueAnswer(QMessageBox::No);
    WAMainForm->ServerClientListItem->trigger();
    QCOMPARE(f.server->connectionCount(), requests);
    QCOMPARE(FormCLient->clientCount(), 1);
    QVERIFY(FormCLient->hasUnsavedChanges());
    // Refresh asks as well; Yes re-reads and the list is the server's again.
    Dialogs::queueAnswer(QMessageBox::Yes);
    f.answer(accountAnswer({ { u"A"_s, u"pa"_s, u"tulvac.ini"_s }, { u"B"_s, u"pb"_s, u"tulvac.ini"_s } }));
    FormCLient->RefreshClick();
    QCOMPARE(FormCLient->clientCount(), 2);
    QVERIFY(!FormCLient->hasUnsavedChanges());
}

void TestClientWindows::leavingTheProgramAsksAboutUnsavedEdits()
{
    loadAccounts({ { u"A"_s, u"pa"_s, u"tulvac.ini"_s }, { u"B"_s, u"pb"_s, u"tulvac.ini"_s } });
    Dialogs::queueAnswer(QMessageBox::Yes);
    FormCLient->N1Click();
    const int requests = f.server->connectionCount();
    Dialogs::queueAnswer(QMessageBox::Cancel);
    QVERIFY(!WAMainForm->close());
    QCOMPARE(Dialogs::asked().last().text, u"Сохранить изменения?"_s);
    QCOMPARE(f.server->connectionCount(), requests);
    QVERIFY(FormCLient->hasUnsavedChanges());
    // A save the server refuses keeps the program open with the edits.
    Dialogs::queueAnswer(QMessageBox::Yes);
    f.answer({ u"-1"_s });
    QVERIFY(!WAMainForm->close());
    QVERIFY(FormCLient->hasUnsavedChanges());
}

void TestClientWindows::automaticRefreshRespectsUnsavedEdits()
{
    loadAccounts({ { u"A"_s, u"pa"_s, u"tulvac.ini"_s }, { u"B"_s, u"pb"_s, u"tulvac.ini"_s } });
    Dialogs::queueAnswer(QMessageBox::Yes);
    FormCLient->N1Click();
    const auto commands = [this] {
        QList<QByteArray> out;
        for (int i = 0; i < f.server->connectionCount(); ++i)
            out.append(f.server->request(i).command);
        return out;
    };
    f.server->setDefaultScript({ ScriptedServer::reply({ "-1" }) });
    WAMainForm->AutoaskTimerTimer();
    QVERIFY(!commands().contains("+1"));
    QVERIFY(!commands().mid(1).contains("+9"));
    QCOMPARE(FormCLient->clientCount(), 1);

    FormCLient->ButtonOK->setEnabled(false);
    WAMainForm->AutoaskTimerTimer();
    QVERIFY(commands().contains("+1"));
    // The timer says nothing, whatever the answers.
    QVERIFY(Dialogs::asked().size() == 1);
}

void TestClientWindows::profileDialogChecks()
{
    loadAccounts({ { u"ADMIN"_s, u"admin"_s, u"tulvac.ini"_s }, { u"OTHER"_s, u"o"_s, u"tulvac.ini"_s } });
    TFormClientsEdit *edit = FormClientsEdit;
    const auto tryOk = [edit](const QString &expected) {
        const qsizetype before = Dialogs::asked().size();
        edit->setResult(QDialog::Rejected);
        edit->ButtonOKClick();
        if (expected.isEmpty()) {
            QCOMPARE(edit->result(), int(QDialog::Accepted));
            QCOMPARE(Dialogs::asked().size(), before);
        } else {
            QCOMPARE(edit->result(), int(QDialog::Rejected));
            QCOMPARE(Dialogs::asked().size(), before + 1);
            QVERIFY2(
                Dialogs::asked().last().text.contains(expected), qPrintable(Dialogs::asked().last().text));
            QCOMPARE(Dialogs::asked().last().caption, u"Внимание!"_s);
        }
    };
    edit->prepareToAdd();
    edit->setExistingNames({ u"ADMIN"_s, u"OTHER"_s }, -1);
    tryOk(u"Необходимо ввести имя и пароль!"_s);
    edit->EditName->setText(u"admin"_s);
    edit->EditPassword->setText(u"x"_s);
    tryOk(u"Дублет - необходимо ввести другое имя!"_s);
    edit->EditName->setText(u"bad\nname"_s);
    tryOk(u"Имя клиента"_s);
    edit->EditName->setText(u"*****"_s);
    tryOk(u"*****"_s);
    edit->EditName->setText(u"NEW"_s);
    edit->EditB->setText(u"a;b.ini"_s);
    tryOk(u"«;»"_s);
    for (QCheckBox *box : edit->checkBoxes())
        box->setChecked(false);
    tryOk(u"Необходимо ввести хоть один ini-файл!"_s);
    // Only the book-provision box: a cleared box's bad text no longer counts.
    edit->CheckBoxO->setChecked(true);
    tryOk(QString());
    QCOMPARE(edit->account().ini[4], u"tulvak.ini"_s);
    QCOMPARE(edit->account().ini[2], QString());

    // Editing keeps its own name, in another letter case too.
    edit->prepareToEdit({ u"OTHER"_s, u"o"_s, { u"c.ini"_s, {}, {}, {}, {}, {} } });
    edit->setExistingNames({ u"ADMIN"_s, u"OTHER"_s }, 1);
    QVERIFY(edit->CheckBoxC->isChecked());
    QVERIFY(!edit->CheckBoxR->isChecked());
    QVERIFY(!edit->EditR->isEnabled());
    QCOMPARE(edit->EditR->text(), QString());
    edit->EditName->setText(u"Other"_s);
    tryOk(QString());
}

void TestClientWindows::profileDialogKeysAndBoxes()
{
    TFormClientsEdit *edit = FormClientsEdit;
    edit->prepareToAdd();
    edit->show();
    QVERIFY(QTest::qWaitForWindowExposed(edit));
    // Clearing keeps the text; ticking again with an empty edit brings the default back.
    edit->EditR->setText(u"mine.ini"_s);
    clickWidget(edit->CheckBoxR);
    QVERIFY(!edit->EditR->isEnabled());
    QVERIFY(!edit->EditBtnR->isEnabled());
    QVERIFY(edit->OpenBtnR->isEnabled());
    QCOMPARE(edit->EditR->text(), u"mine.ini"_s);
    clickWidget(edit->CheckBoxR);
    QCOMPARE(edit->EditR->text(), u"mine.ini"_s);
    edit->EditR->clear();
    clickWidget(edit->CheckBoxR);
    clickWidget(edit->CheckBoxR);
    QCOMPARE(edit->EditR->text(), u"tulvar.ini"_s);

    // Down from the administrator goes round to the cataloguer; a disabled edit stops the move.
    edit->activateWindow();
    edit->EditA->setFocus();
    QTest::keyClick(edit->windowHandle(), Qt::Key_Down);
    QTRY_VERIFY(edit->EditC->hasFocus());
    QTest::keyClick(edit->windowHandle(), Qt::Key_Up);
    QTRY_VERIFY(edit->EditA->hasFocus());
    clickWidget(edit->CheckBoxR);
    edit->EditC->setFocus();
    QTest::keyClick(edit->windowHandle(), Qt::Key_Down);
    QVERIFY(edit->EditC->hasFocus());
    edit->hide();
}

void TestClientWindows::iniChooserAndFileDialog()
{
    ProfileIni.setLines({ u"[MAIN]"_s, u"CLIENT_INI_MNU=my_ini.mnu"_s, u"ClientInitialDir=/srv/ini"_s });
    TFormClientsEdit *edit = FormClientsEdit;
    edit->prepareToAdd();
    f.server->addScript({ ScriptedServer::reply({ ShellFixture::resourceLine(
        { u"tulvac.ini"_s, u"Стандартный"_s, u"katalog.cfg"_s, u"Отдел обработки"_s, kEnd, u"x"_s }) }) });
    int shown = 0;
    QStringList rows;
    Dialogs::setModalHandler([&](QDialog *dialog) {
        ++shown;
        auto *menu = qobject_cast<TOpenDbMenu *>(dialog);
        rows.clear();
        for (int r = 1; r < menu->DBStringGrid->rowCount(); ++r)
            rows.append(menu->DBStringGrid->cell(0, r));
        menu->DBStringGrid->setRow(2);
        return int(QDialog::Accepted);
    });
    edit->EditC->setFocus();
    edit->EditBtnC->click();
    QCOMPARE(edit->EditC->text(), u"katalog.ini"_s);
    QCOMPARE(rows, (QStringList{ u"tulvac.ini"_s, u"katalog.ini"_s }));
    QCOMPARE(f.server->request(0).lines.value(9), "0..my_ini.mnu"_ba);
    // The second opening comes from the cache: same rows, no second request, no repeats.
    edit->EditBtnR->click();
    QCOMPARE(shown, 2);
    QCOMPARE(rows, (QStringList{ u"tulvac.ini"_s, u"katalog.ini"_s }));
    QCOMPARE(f.server->connectionCount(), 1);
    QCOMPARE(edit->EditR->text(), u"katalog.ini"_s);

    // The local file dialog: starts at the profile's folder with the edit's name; keeps only the name.
    edit->show();
    Dialogs::FileAsked asked;
    Dialogs::setFileHandler([&asked](const Dialogs::FileAsked &request) {
        asked = request;
        return u"/srv/ini/sub/chosen.ini"_s;
    });
    edit->EditName->setFocus();
    edit->OpenBtnB->click();
    QCOMPARE(edit->EditB->text(), u"chosen.ini"_s);
    // The typing goes on in the edit that received the name, not where it was before.
    QCOMPARE(edit->focusWidget(), edit->EditB);
    edit->EditName->setFocus();
    edit->EditBtnP->click();
    QCOMPARE(edit->focusWidget(), edit->EditP);
    QCOMPARE(asked.directory, u"/srv/ini"_s);
    QCOMPARE(asked.fileName, u"tulvab.ini"_s);
    QCOMPARE(asked.caption, u"Выбор ini-файла"_s);
    Dialogs::setFileHandler([](const Dialogs::FileAsked &) { return QString(); });
    edit->OpenBtnB->click();
    QCOMPARE(edit->EditB->text(), u"chosen.ini"_s);
    edit->hide();
}

void TestClientWindows::registeredClients()
{
    QAbstractItemModelTester tester(FormRegClients->StringGridClient->gridModel(),
        QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QString own = WaitForm->clientId();
    QStringList answer{ u"0"_s, u"321"_s, u"3"_s, u"9"_s };
    answer << u"*"_s << u"10.0.0.1"_s << u"6666"_s << u"Сервер"_s << kEnd << kEnd << u"t"_s << u"t"_s << kEnd
           << kEnd;
    answer << u"1"_s << u"10.0.0.2"_s << u"5000"_s << u"ADMIN"_s << own << u"A"_s << u"t"_s << u"t"_s
           << u"A"_s << u"1"_s;
    answer << u"2"_s << u"10.0.0.3"_s << u"5001"_s << u"OPER"_s << u"4711"_s << u"A"_s << u"t"_s << u"t"_s
           << u"N"_s << u"9"_s;
    f.answer(answer);
    WAMainForm->ServerCurrentClientListItem->trigger();
    TStringGrid *g = FormRegClients->StringGridClient;
    QVERIFY(FormRegClients->isVisible());
    QCOMPARE(g->rowCount(), 4);
    QCOMPARE(g->cell(4, 2), own);
    QCOMPARE(g->cell(1, 0), u"IP адрес"_s);
    QCOMPARE(FormRegClients->Labelrequests->text(), u"321"_s);

    // The counter panel follows the menu item's check mark; the counter updates while hidden.
    QVERIFY(FormRegClients->PanelNumRequests->isHidden());
    FormRegClients->NumRequests->trigger();
    QVERIFY(!FormRegClients->PanelNumRequests->isHidden());
    FormRegClients->NumRequests->trigger();
    QVERIFY(FormRegClients->PanelNumRequests->isHidden());

    // An answer that is not "0" leaves list and counter as they were.
    f.answer({ u"-1"_s, u"999"_s });
    FormRegClients->clientrefresh->trigger();
    QCOMPARE(FormRegClients->Labelrequests->text(), u"321"_s);
    QCOMPARE(g->rowCount(), 4);

    answer[1] = u"400"_s;
    f.answer(answer);
    FormRegClients->LoadRegisteredClients();
    QCOMPARE(FormRegClients->Labelrequests->text(), u"400"_s);
    QVERIFY(Dialogs::asked().isEmpty());
    FormRegClients->hide();
}

void TestClientWindows::registeredClientsRemoval()
{
    const QString own = WaitForm->clientId();
    QStringList answer{ u"0"_s, u"5"_s, u"3"_s, u"9"_s };
    answer << u"*"_s << u"ip"_s << u"1"_s << u"Сервер"_s << u"777"_s << kEnd << u"t"_s << u"t"_s << kEnd
           << kEnd;
    answer << u"2"_s << u"ip"_s << u"2"_s << u"OPER"_s << u"4711"_s << u"A"_s << u"t"_s << u"t"_s << u"N"_s
           << u"9"_s;
    answer << u"1"_s << u"ip"_s << u"3"_s << u"ADMIN"_s << own << u"A"_s << u"t"_s << u"t"_s << u"A"_s
           << u"1"_s;
    f.answer(answer);
    WAMainForm->ServerCurrentClientListItem->trigger();
    TStringGrid *g = FormRegClients->StringGridClient;

    // Row 1 and the own registration are never offered, wherever it stands.
    for (const int row : { 1, 3 }) {
        g->setRow(row);
        FormRegClients->PopupMenuClientsPopup();
        QVERIFY(!FormRegClients->clientdel->isEnabled());
        FormRegClients->clientdelClick();
    }
    QCOMPARE(f.server->connectionCount(), 1);

    // A right press on another row makes it current; removal goes without a question.
    const QRect rect = g->visualRect(g->model()->index(1, 3));
    clickWidget(g->viewport(), Qt::RightButton, rect.center());
    QTRY_COMPARE(g->row(), 2);
    QTRY_VERIFY(FormRegClients->PopupMenuClients->isVisible());
    QVERIFY(FormRegClients->clientdel->isEnabled());
    FormRegClients->PopupMenuClients->hide();
    QStringList after = answer.mid(0, 14);
    after[2] = u"1"_s;
    f.answer({ u"0"_s });
    f.answer(after);
    FormRegClients->clientdel->trigger();
    QCOMPARE(f.server->request(1).command, "+6"_ba);
    QCOMPARE(f.server->request(1).lines.value(9), "4711"_ba);
    QCOMPARE(f.server->request(2).command, "+1"_ba);
    QCOMPARE(g->rowCount(), 2);
    QVERIFY(Dialogs::asked().isEmpty());

    // A refused removal does not re-read.
    f.answer(answer);
    FormRegClients->LoadRegisteredClients();
    g->setRow(2);
    f.answer({ u"-9"_s });
    FormRegClients->clientdelClick();
    QCOMPARE(f.server->connectionCount(), 5);
    QCOMPARE(g->rowCount(), 4);
    FormRegClients->hide();
}

void TestClientWindows::passwordsStayOutOfTheLogFiles()
{
    QTemporaryDir logs;
    WaitForm->setLogging(true, logs.path() + u"/"_s);
    loadAccounts(
        { { u"ADMIN"_s, u"Secret-One"_s, u"tulvac.ini"_s }, { u"OPER"_s, u"Secret-Two"_s, u"own.ini"_s } });
    FormCLient->ButtonOK->setEnabled(true);
    f.answer({ u"0"_s });
    FormCLient->ButtonOKClick();
    WaitForm->setLogging(false, QString());
    const QStringList files = QDir(logs.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 4);
    int readable = 0;
    for (const QString &name : files) {
        QFile file(QDir(logs.path()).filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(!text.contains("Secret"), qPrintable(name));
        // The rest of the list is still there to read.
        readable += text.contains("OPER") && text.contains("own.ini");
    }
    QCOMPARE(readable, 2);
    // Once the window is closed, the engine keeps no copy of the list it sent.
    QVERIFY(WaitForm->requestText().contains("Secret-One"));
    FormCLient->ButtonCancel->click();
    QVERIFY(!WaitForm->requestText().contains("Secret"));
}

// As an administrator: the sample accounts, a new account with its own cataloguer INI file from
// the server's list, saved; the new account can log in; the registered clients show this
// workstation, which cannot be removed, and another registration, which can.
void TestClientWindows::administratorRoundAgainstTheEmulator()
{
    f.tearDown();
    QTemporaryDir state;
    EmulatorProcess sim(
        { u"--state"_s, state.filePath(u"state"_s), u"--sample"_s, EmulatorProcess::sampleDir() });
    QVERIFY2(sim.port() != 0, sim.errors().constData());
    ScopedWorkDir dir;
    QVERIFY(
        QFile::copy(QStringLiteral(TULVA_SOURCE_DIR "/data/TULVAMSG.TXT"), dir.filePath(u"TULVAMSG.TXT"_s)));
    writeCp1251File(
        dir.filePath(LocalIniFileName), { u"[Main]"_s, u"ServerPort="_s + QString::number(sim.port()) });
    resetProgramState();
    Dialogs::reset();
    Dialogs::setTestMode(true);
    LabelForm = new TLabelForm;
    CreateForms();
    WAMainForm->TimerStart->stop();
    Dialogs::setModalHandler([](QDialog *dialog) {
        dialog->show();
        FormConnect->EditName->setText(u"admin"_s);
        FormConnect->MaskEditPassword->setText(u"admin"_s);
        FormConnect->ButtonExecute->click();
        return dialog->result();
    });
    WAMainForm->TimerStartTimer();
    QCOMPARE(UserName, u"ADMIN"_s);

    WAMainForm->ServerClientListItem->trigger();
    QCOMPARE(FormCLient->clientCount(), 5);
    QVERIFY(names().contains(u"ADMIN"_s));
    for (int r = 1; r <= 5; ++r)
        QCOMPARE(grid()->cell(2, r), u"*****"_s);

    // Add TESTER; the cataloguer INI comes from the server's list.
    Dialogs::setModalHandler([](QDialog *dialog) {
        if (auto *menu = qobject_cast<TOpenDbMenu *>(dialog)) {
            for (int r = 1; r < menu->DBStringGrid->rowCount(); ++r) {
                if (menu->DBStringGrid->cell(0, r) == u"katalog.ini"_s)
                    menu->DBStringGrid->setRow(r);
            }
            return int(QDialog::Accepted);
        }
        auto *edit = qobject_cast<TFormClientsEdit *>(dialog);
        edit->EditName->setText(u"TESTER"_s);
        edit->EditPassword->setText(u"tpass"_s);
        edit->EditBtnC->click();
        edit->setResult(QDialog::Rejected);
        edit->ButtonOK->click();
        return edit->result();
    });
    FormCLient->ProcStopClick();
    QCOMPARE(FormCLient->clientCount(), 6);
    const int tester = rowOf(u"TESTER"_s);
    QCOMPARE(grid()->cell(3, tester), u"katalog.ini"_s);
    FormCLient->ButtonOK->click();
    QVERIFY(!FormCLient->hasUnsavedChanges());
    QCOMPARE(Dialogs::asked().last().text, u"Список клиентов для доступа к серверу сохранен успешно"_s);

    // A second workstation logs in as TESTER.
    TWaitForm other;
    other.SetServerAddress(u"127.0.0.1"_s, QString::number(sim.port()), u"A"_s);
    QStringList answer;
    QCOMPARE(other.RegisterClient(u"TESTER"_s, u"tpass"_s, u"A"_s, answer), 1);
    QCOMPARE(answer.value(0), u"0"_s);

    WAMainForm->ServerCurrentClientListItem->trigger();
    TStringGrid *g = FormRegClients->StringGridClient;
    int own = 0;
    int theirs = 0;
    for (int r = 1; r < g->rowCount(); ++r) {
        if (g->cell(4, r) == WaitForm->clientId())
            own = r;
        if (g->cell(4, r) == other.clientId())
            theirs = r;
    }
    QVERIFY(own > 1 && theirs > 1);
    g->setRow(own);
    FormRegClients->PopupMenuClientsPopup();
    QVERIFY(!FormRegClients->clientdel->isEnabled());
    g->setRow(theirs);
    FormRegClients->PopupMenuClientsPopup();
    QVERIFY(FormRegClients->clientdel->isEnabled());
    const int before = g->rowCount();
    FormRegClients->clientdel->trigger();
    QCOMPARE(g->rowCount(), before - 1);
    for (int r = 1; r < g->rowCount(); ++r)
        QVERIFY(g->cell(4, r) != other.clientId());

    DestroyForms();
    Dialogs::reset();
    f.setUp(); // for cleanup()
}

void TestClientWindows::closingDropsTheListAndItsPasswords_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("readFails"); // else the server refuses the read
    QTest::newRow("edits discarded, read fails") << true << true;
    QTest::newRow("edits discarded, read refused") << true << false;
    QTest::newRow("no edits, read refused") << false << false;
}

// Whatever the window held is gone when it closes: discarded edits cannot come back, no password
// stays in memory, and a reopening whose read fails shows no list that a save could send.
void TestClientWindows::closingDropsTheListAndItsPasswords()
{
    QFETCH(bool, edited);
    QFETCH(bool, readFails);
    const QList<std::array<QString, 3>> accounts{ { u"A"_s, u"pa"_s, u"tulvac.ini"_s },
        { u"B"_s, u"pb"_s, u"tulvac.ini"_s } };
    loadAccounts(accounts);
    FormCLient->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FormCLient));
    if (edited) {
        grid()->setRow(rowOf(u"A"_s));
        Dialogs::queueAnswer(QMessageBox::Yes);
        QTest::keyClick(FormCLient->windowHandle(), Qt::Key_Delete);
        QCOMPARE(names(), QStringList{ u"B"_s });
    }
    // The profile dialog, opened with Enter and left with Escape, keeps no password either.
    bool left = false;
    whenActive(FormClientsEdit, [&] {
        QTest::keyClick(FormClientsEdit->windowHandle(), Qt::Key_Escape);
        left = true;
    });
    QTest::keyClick(FormCLient->windowHandle(), Qt::Key_Return);
    QTRY_VERIFY(left);
    QCOMPARE(FormClientsEdit->EditPassword->text(), QString());

    if (edited)
        Dialogs::queueAnswer(QMessageBox::No); // "Сохранить изменения?"
    FormCLient->activateWindow();
    QTRY_VERIFY(FormCLient->isActiveWindow());
    QTest::keyClick(FormCLient->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!FormCLient->isVisible());
    QVERIFY(ClientPasswords.isEmpty());

    const int before = f.server->connectionCount();
    if (readFails)
        f.server->addScript({ ScriptedServer::close() });
    else
        f.answer({ u"-3"_s });
    WAMainForm->ServerClientListItem->trigger();
    QVERIFY(FormCLient->isVisible());
    QCOMPARE(FormCLient->clientCount(), 0);
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->cell(1, 1), QString());
    QVERIFY(!FormCLient->LabelUnread->isHidden());
    QVERIFY2(FormCLient->LabelUnread->text().contains(readFails ? u"нет ответа"_s : u"-3"_s),
        qPrintable(FormCLient->LabelUnread->text()));
    // Nothing to edit, nothing to save.
    QVERIFY(!FormCLient->ButtonOK->isEnabled());
    for (const QAction *item : { FormCLient->ProcStop, FormCLient->CEdit, FormCLient->N1, FormCLient->Save })
        QVERIFY(!item->isEnabled());
    FormCLient->ButtonOKClick();
    FormCLient->ProcStopClick();
    QCOMPARE(f.server->connectionCount(), before + 1);

    // A read that succeeds shows the server's list again.
    f.answer(accountAnswer(accounts));
    FormCLient->Refresh->trigger();
    QCOMPARE(names(), (QStringList{ u"A"_s, u"B"_s }));
    QVERIFY(FormCLient->LabelUnread->isHidden());
    QVERIFY(FormCLient->N1->isEnabled());
}

void TestClientWindows::onlyWhatBreaksTheListBlocksASave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("ini");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("empty password") << u"OPER"_s << QString() << u"tulvac.ini"_s << true;
    QTest::newRow("tab in the name") << u"OP\tER"_s << u"p"_s << u"tulvac.ini"_s << true;
    QTest::newRow("'=' in an INI name") << u"OPER"_s << u"p"_s << u"a=b.ini"_s << false;
    QTest::newRow("list end as password") << u"OPER"_s << u"*****"_s << u"tulvac.ini"_s << false;
}

// Values the server keeps go back as they came; a value the list text cannot carry holds up
// only a save, and the account to mend is named when the list is shown and when it is saved.
void TestClientWindows::onlyWhatBreaksTheListBlocksASave()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, ini);
    QFETCH(bool, sendable);
    loadAccounts({ { u"ADMIN"_s, u"admin"_s, u"tulvac.ini"_s }, { name, password, ini } });
    const QString named = u"«"_s + name + u"»"_s;
    if (sendable) {
        QVERIFY(Dialogs::asked().isEmpty());
    } else {
        QCOMPARE(Dialogs::asked().size(), 1);
        QVERIFY2(Dialogs::asked().first().text.contains(named), qPrintable(Dialogs::asked().first().text));
    }
    QVERIFY(QTest::qWaitForWindowExposed(FormCLient));
    FormCLient->ButtonOK->setEnabled(true);
    const int before = f.server->connectionCount();
    f.answer({ u"0"_s });
    clickWidget(FormCLient->ButtonOK);
    if (sendable) {
        QCOMPARE(f.server->connectionCount(), before + 1);
        QCOMPARE(requestArguments(f.server->request(before)).mid(3, 2), (QStringList{ name, password }));
        QCOMPARE(Dialogs::asked().last().text, u"Список клиентов для доступа к серверу сохранен успешно"_s);
    } else {
        QCOMPARE(f.server->connectionCount(), before);
        QVERIFY2(Dialogs::asked().last().text.contains(named), qPrintable(Dialogs::asked().last().text));
        QCOMPARE(grid()->row(), rowOf(name));
        QVERIFY(FormCLient->hasUnsavedChanges());
    }
}

QTEST_MAIN(TestClientWindows)
#include "tst_clientwindows.moc"
