// The waiting window as a person uses it: real mouse and keyboard input (through the window
// system interface, so Qt's modal blocking applies) while the requesting window is a modal
// dialog, a message box is open, or no window of the program is active.
#include "EngineFixture.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

using namespace Qt::Literals::StringLiterals;

class TestWaitWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        f.setUp();
        f.form->setShowDelay(0);
        f.form->setWaitTickInterval(5);
        f.server->setDefaultScript({ ScriptedServer::hang() });
    }
    void cleanup() { f.tearDown(); }

    void cancelByRealInput_data();
    void cancelByRealInput();
    void closeBoxOfDisabledWindowIsRefused();
    void backgroundRequestDisablesItsOwnWindow();
    void disabledSubmenuStaysDisabled();

private:
    EngineFixture f;
};

namespace {

const QString kBrokenQuestion = u"Связь с сервером ТУЛВА64 прервана. Следует повторить обращение к серверу"_s;

enum class Origin { ModalDialog, MessageBoxKeepAlive, PlainWindow, NoActiveWindow };
enum class Input { Mouse, Escape };

void pressCancel(TWaitForm *form, Input input)
{
    if (input == Input::Mouse) {
        QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {},
            form->BitBtnWait->mapTo(form, form->BitBtnWait->rect().center()));
    } else {
        QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
    }
}

} // namespace

Q_DECLARE_METATYPE(Origin)
Q_DECLARE_METATYPE(Input)

void TestWaitWindow::cancelByRealInput_data()
{
    QTest::addColumn<Origin>("origin");
    QTest::addColumn<Input>("input");
    QTest::addColumn<bool>("noModal");
    QTest::newRow("modal dialog, mouse") << Origin::ModalDialog << Input::Mouse << true;
    QTest::newRow("modal dialog, Esc") << Origin::ModalDialog << Input::Escape << true;
    QTest::newRow("modal dialog, mouse, WaitNoModal=0") << Origin::ModalDialog << Input::Mouse << false;
    QTest::newRow("message box open, keep-alive, mouse")
        << Origin::MessageBoxKeepAlive << Input::Mouse << true;
    QTest::newRow("message box open, keep-alive, Esc")
        << Origin::MessageBoxKeepAlive << Input::Escape << true;
    QTest::newRow("main window, Esc") << Origin::PlainWindow << Input::Escape << true;
    QTest::newRow("main window, Esc, WaitNoModal=0") << Origin::PlainWindow << Input::Escape << false;
    QTest::newRow("no active window, mouse") << Origin::NoActiveWindow << Input::Mouse << true;
}

void TestWaitWindow::cancelByRealInput()
{
    QFETCH(Origin, origin);
    QFETCH(Input, input);
    QFETCH(bool, noModal);
    f.form->setWaitNoModal(noModal);

    QWidget main;
    main.resize(500, 400);
    f.form->setHomeWindow(&main);
    if (origin != Origin::NoActiveWindow) {
        main.show();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
    }

    // Presses the cancel button by real input whenever the window is up, at most three times;
    // if input cannot reach it, gives up after a while and presses it directly so that the
    // test ends (and fails).
    int realPresses = 0;
    int polls = 0;
    bool inputBlocked = false;
    // On every tick the window is up, no other modal window stands above it and takes the input.
    int ticksBehindAModal = 0;
    f.form->setTickHook([&](int) {
        const QWidget *modal = QApplication::activeModalWidget();
        if (f.form->isVisible() && modal && modal != f.form)
            ++ticksBehindAModal;
    });
    QTimer presser;
    presser.setInterval(20);
    connect(&presser, &QTimer::timeout, this, [&] {
        if (!f.form->isVisible() || f.form->exchangeState() != OpResult::Busy)
            return;
        ++polls;
        if (polls > 100) {
            inputBlocked = true;
            f.form->engine()->abandonExchange();
            return;
        }
        const int before = f.form->pressCounter();
        const int cancelsBefore = f.server->connectionCount();
        pressCancel(f.form, input);
        if (f.form->pressCounter() != before || f.form->exchangeState() != OpResult::Busy
            || f.server->connectionCount() != cancelsBefore)
            ++realPresses;
    });
    presser.start();

    int result = 0;
    bool done = false;
    QStringList answer;
    auto request = [&] {
        if (origin == Origin::MessageBoxKeepAlive)
            f.form->TimerNoOperationTimer();
        else
            result = f.form->GetProcessList(answer);
    };

    if (origin == Origin::ModalDialog) {
        QDialog dialog;
        dialog.resize(300, 200);
        QTimer::singleShot(50, &dialog, [&] {
            request();
            dialog.accept();
            done = true;
        });
        dialog.exec();
    } else if (origin == Origin::MessageBoxKeepAlive) {
        QMessageBox box(QMessageBox::Information, u"Внимание!"_s, u"Сообщение"_s, QMessageBox::Ok);
        QTimer::singleShot(50, &box, [&] {
            request();
            result = f.form->busyMarker();
            box.accept();
            done = true;
        });
        box.exec();
    } else {
        request();
        done = true;
    }
    presser.stop();

    QTRY_VERIFY(done);
    QVERIFY2(!inputBlocked, "the waiting window did not take the input");
    QCOMPARE(ticksBehindAModal, 0);
    QCOMPARE(realPresses, 3);
    QCOMPARE(result, OpResult::Failed);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, kBrokenQuestion);
    QCOMPARE(f.terminateCalls, 1);
    QVERIFY(!f.form->isVisible());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(main.isEnabled());
}

void TestWaitWindow::closeBoxOfDisabledWindowIsRefused()
{
    QDialog dialog;
    dialog.resize(300, 200);
    bool closedDuring = true;
    bool done = false;
    QTimer::singleShot(50, &dialog, [&] {
        f.form->setTickHook([&](int tick) {
            if (tick == 3) {
                // The window manager's close box.
                dialog.windowHandle()->close();
                closedDuring = !dialog.isVisible();
                f.form->engine()->abandonExchange();
            }
        });
        QStringList answer;
        f.form->GetProcessList(answer);
        f.form->setTickHook(nullptr);
        done = true;
        dialog.accept();
    });
    dialog.exec();
    QTRY_VERIFY(done);
    QVERIFY(!closedDuring);
    QVERIFY(dialog.isEnabled());
}

void TestWaitWindow::backgroundRequestDisablesItsOwnWindow()
{
    // The automatic refresh serves the main window: an open dialog stays usable, and what is
    // typed into it during the request arrives.
    QWidget main;
    main.resize(500, 400);
    main.show();
    QDialog dialog;
    auto *edit = new QLineEdit(&dialog);
    auto *button = new QPushButton(u"Выбрать"_s, &dialog);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit);
    layout->addWidget(button);
    int buttonClicks = 0;
    connect(button, &QPushButton::clicked, &dialog, [&] { ++buttonClicks; });
    int clicksMade = 0;
    // The waiting window stays hidden throughout: its delay counts ticks (5 ms here), and once
    // shown over the modal dialog it would rightly take the input typed into the dialog.
    f.form->setShowDelay(1000);
    f.server->setDefaultScript({ ScriptedServer::delay(150), ScriptedServer::reply({ "0" }) });

    int refreshes = 0;
    bool dialogEnabledDuring = true;
    bool mainDisabledDuring = true;
    QTimer refresh;
    refresh.setInterval(30);
    connect(&refresh, &QTimer::timeout, this, [&] {
        if (f.form->isBusy() || refreshes >= 3)
            return;
        ++refreshes;
        WaitServing serving(f.form, &main);
        f.form->setTickHook([&](int) {
            dialogEnabledDuring = dialogEnabledDuring && dialog.isEnabled();
            mainDisabledDuring = mainDisabledDuring && !main.isEnabled();
        });
        QStringList answer;
        f.form->GetDatabaseInfo(u"IBIS"_s, answer);
        f.form->setTickHook(nullptr);
    });
    QString typed;
    QTimer::singleShot(0, &dialog, [&] {
        refresh.start();
        edit->setFocus();
        // Type a letter whenever a refresh is running, until three refreshes have passed.
        auto *typer = new QTimer(&dialog);
        typer->setInterval(10);
        connect(typer, &QTimer::timeout, &dialog, [&, typer] {
            if (f.form->isBusy() && typed.size() < 40) {
                // A click on the button, then a letter back in the edit.
                QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {},
                    button->mapTo(&dialog, button->rect().center()));
                ++clicksMade;
                edit->setFocus();
                QTest::keyClick(dialog.windowHandle(), Qt::Key_A);
                typed += u'a';
            }
            if (refreshes >= 3 && !f.form->isBusy()) {
                typer->stop();
                dialog.accept();
            }
        });
        typer->start();
    });
    dialog.exec();
    refresh.stop();
    QCOMPARE(refreshes, 3);
    QVERIFY(!typed.isEmpty());
    QCOMPARE(edit->text(), typed);
    QVERIFY(clicksMade > 0);
    QCOMPARE(buttonClicks, clicksMade);
    QVERIFY(dialogEnabledDuring);
    QVERIFY(mainDisabledDuring);
    QVERIFY(main.isEnabled());
}

void TestWaitWindow::disabledSubmenuStaysDisabled()
{
    QMainWindow main;
    QMenu *sub = main.menuBar()->addMenu(u"Sub"_s);
    sub->addAction(u"x"_s);
    sub->menuAction()->setEnabled(false);
    main.show();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    f.server->setDefaultScript({ ScriptedServer::reply({ "0" }) });
    QStringList answer;
    QCOMPARE(f.form->GetServerVersion(answer), OpResult::Accepted);
    QVERIFY(main.isEnabled());
    QVERIFY(!sub->menuAction()->isEnabled());
}

QTEST_MAIN(TestWaitWindow)
#include "tst_waitwindow.moc"
