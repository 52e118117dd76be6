// The grid features in the server windows: stopping a process and removing a registration act
// on the row the administrator sees, under a filter and across reloads; the accounts grid never
// gives a password away.
#include "../shell/ShellFixture.h"
#include "ProcessAnswers.h"
#include "server/clients.h"
#include "server/main.h"
#include "server/process.h"
#include "shell/GridFilterLine.h"
#include "shell/GridText.h"
#include "shell/StringGrid.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QList<QByteArray> argumentsOf(const ScriptedServer::Request &r)
{
    QList<QByteArray> args = r.lines.mid(9);
    while (!args.isEmpty() && args.last().isEmpty())
        args.removeLast();
    return args;
}

// Types text as the window system delivers it, Cyrillic included.
void typeText(QWindow *window, const QString &text)
{
    for (const QChar ch : text) {
        const int key = ch.toUpper().unicode();
        qt_handleKeyEvent(window, QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        qt_handleKeyEvent(window, QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
        QCoreApplication::processEvents();
    }
}

// Clicks the shown row of a grid as the administrator does.
void clickShownRow(TStringGrid *grid, int viewRow)
{
    const QRect rect = grid->visualRect(grid->filterModel()->index(viewRow, 1));
    QTest::mouseClick(grid->window()->windowHandle(), Qt::LeftButton, {},
        grid->viewport()->mapTo(grid->window(), rect.center()));
}

void showAndFocus(QWidget *window, TStringGrid *grid)
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->activateWindow();
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());
}

// Registered clients (+1): "0", counter, N, 9, ten cells per row; row 1 the server.
QStringList registeredAnswer(const QList<QPair<QString, QString>> &clients) // (name, id)
{
    QStringList out{ u"0"_s, u"77"_s, QString::number(clients.size() + 1), u"9"_s };
    out << u"*"_s << u"10.0.0.1"_s << u"6666"_s << u"Сервер"_s << u"*****"_s << u"*****"_s << u"t"_s << u"t"_s
        << u"*****"_s << u"*****"_s;
    int n = 1;
    for (const auto &c : clients)
        out << QString::number(n++) << u"10.0.0.2"_s << u"5000"_s << c.first << c.second << u"A"_s << u"t"_s
            << u"t"_s << u"N"_s << u"1"_s;
    return out;
}

} // namespace

class TestGridWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void stopUnderFilterActsOnTheRowShown();
    void stopAfterReloadActsOnTheSameProcess();
    void removalUnderFilterActsOnTheRowShown();
    void accountsGridCopiesNoPassword();
    void accountsRefreshKeepsTheAccount();

private:
    ShellFixture f;
};

void TestGridWindows::stopUnderFilterActsOnTheRowShown()
{
    TStringGrid *grid = FormProcess->StringGridProcess;
    f.answer(processAnswer({ { u"2"_s, u"501"_s, u"TULVA_RELOAD_DICT"_s },
        { u"3"_s, u"502"_s, u"TULVA_READ"_s }, { u"4"_s, u"503"_s, u"TULVA_CREATE_DICT"_s, u"Ожидание"_s },
        { u"5"_s, u"504"_s, u"TULVA_READ"_s } }));
    FormProcess->LoadProcessList();
    showAndFocus(FormProcess, grid);
    grid->setRow(2);

    // Ctrl+F and a Cyrillic word in another letter case: only the waiting process stays.
    QTest::keyClick(FormProcess->windowHandle(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(grid->filterLine() && grid->filterLine()->edit()->hasFocus());
    typeText(FormProcess->windowHandle(), u"ожид"_s);
    QCOMPARE(grid->filterModel()->rowCount(), 1);
    // The row chosen before the filter is hidden now: nothing may be stopped.
    QVERIFY(!(FormProcess->PopupMenuProcessPopup(), FormProcess->ProcStop->isEnabled()));
    FormProcess->ProcStopClick();
    QCOMPARE(f.server->connectionCount(), 1);

    clickShownRow(grid, 0);
    FormProcess->PopupMenuProcessPopup();
    QVERIFY(FormProcess->ProcStop->isEnabled());
    f.answer({ u"0"_s });
    f.answer(processAnswer({ { u"2"_s, u"501"_s, u"TULVA_RELOAD_DICT"_s } }));
    FormProcess->ProcStop->trigger();
    QCOMPARE(f.server->request(1).command, "+4");
    QCOMPARE(argumentsOf(f.server->request(1)), (QList<QByteArray>{ "503", "Z", "4" }));
}

void TestGridWindows::stopAfterReloadActsOnTheSameProcess()
{
    TStringGrid *grid = FormProcess->StringGridProcess;
    f.answer(processAnswer(
        { { u"2"_s, u"501"_s, u"TULVA_RELOAD_DICT"_s }, { u"3"_s, u"502"_s, u"TULVA_READ"_s } }));
    FormProcess->LoadProcessList();
    showAndFocus(FormProcess, grid);
    grid->setFilterText(u"tulva"_s);
    clickShownRow(grid, 1); // process 3
    QCOMPARE(grid->cell(0, grid->row()), u"3"_s);

    // The automatic refresh brings a new process above it and drops the one before.
    f.answer(processAnswer({ { u"7"_s, u"505"_s, u"TULVA_GBL"_s }, { u"8"_s, u"506"_s, u"TULVA_GBL"_s },
        { u"3"_s, u"502"_s, u"TULVA_READ"_s } }));
    FormProcess->RefreshClick();
    QCOMPARE(grid->filterText(), u"tulva"_s);
    QCOMPARE(grid->cell(0, grid->row()), u"3"_s);
    f.answer({ u"0"_s });
    f.answer(processAnswer({}));
    FormProcess->ProcStopClick();
    QCOMPARE(argumentsOf(f.server->request(2)), (QList<QByteArray>{ "502", "C", "3" }));

    // The chosen process has gone: nothing stays chosen, and a stop sends nothing.
    QCOMPARE(f.server->connectionCount(), 4);
    QCOMPARE(grid->row(), 0);
    FormProcess->ProcStopClick();
    QCOMPARE(f.server->connectionCount(), 4);
}

void TestGridWindows::removalUnderFilterActsOnTheRowShown()
{
    TStringGrid *grid = FormRegClients->StringGridClient;
    f.answer(registeredAnswer({ { u"ADMIN"_s, WaitForm->clientId() }, { u"ПЕТРОВ"_s, u"4711"_s },
        { u"ИВАНОВ"_s, u"4712"_s }, { u"ПЕТРОВА"_s, u"4713"_s } }));
    FormRegClients->LoadRegisteredClients();
    showAndFocus(FormRegClients, grid);
    grid->openFilter();
    typeText(FormRegClients->windowHandle(), u"петров"_s);
    QCOMPARE(grid->filterModel()->rowCount(), 2);
    clickShownRow(grid, 1); // ПЕТРОВА, the grid's row 5
    QCOMPARE(grid->row(), 5);
    f.answer({ u"0"_s });
    f.answer(registeredAnswer({ { u"ADMIN"_s, WaitForm->clientId() }, { u"ПЕТРОВ"_s, u"4711"_s } }));
    FormRegClients->clientdel->trigger();
    QCOMPARE(f.server->request(1).command, "+6");
    QCOMPARE(argumentsOf(f.server->request(1)), QList<QByteArray>{ "4713" });
    // The removed registration has gone from the reloaded list: nothing is chosen now.
    QCOMPARE(grid->row(), 0);
    FormRegClients->PopupMenuClientsPopup();
    QVERIFY(!FormRegClients->clientdel->isEnabled());
}

void TestGridWindows::accountsGridCopiesNoPassword()
{
    f.answer({ u"0"_s, u"2"_s, u"8"_s, u"1"_s, u"READER"_s, u"reader-secret"_s, u"c.ini"_s, u"r.ini"_s,
        u"b.ini"_s, u"p.ini"_s, u"k.ini"_s, u"a.ini"_s, u"2"_s, u"ADMIN"_s, u"admin-secret"_s, u"c.ini"_s,
        u"r.ini"_s, u"b.ini"_s, u"p.ini"_s, u"k.ini"_s, u"a.ini"_s });
    FormCLient->LoadClientAccounts();
    TStringGrid *grid = FormCLient->StringGridCLients;
    showAndFocus(FormCLient, grid);
    grid->selectAll();
    QTest::keyClick(FormCLient->windowHandle(), Qt::Key_C, Qt::ControlModifier);
    const QString copied = QGuiApplication::clipboard()->text();
    QVERIFY(copied.contains(u"READER\t*****\t"_s));
    QVERIFY(!copied.contains(u"secret"_s));
    // Nor does the export, nor a search for a password find its row.
    QVERIFY(!GridText::csv(*grid->filterModel(), GridText::Encoding::Utf8Bom).contains("secret"));
    grid->setFilterText(u"secret"_s);
    QCOMPARE(grid->filterModel()->rowCount(), 0);
}

void TestGridWindows::accountsRefreshKeepsTheAccount()
{
    const auto account = [](const QString &n, const QString &name) {
        return QStringList{ n, name, u"pw"_s, u"c.ini"_s, u"r.ini"_s, u"b.ini"_s, u"p.ini"_s, u"k.ini"_s,
            u"a.ini"_s };
    };
    f.answer(
        QStringList{ u"0"_s, u"2"_s, u"8"_s } + account(u"1"_s, u"READER"_s) + account(u"2"_s, u"ADMIN"_s));
    FormCLient->LoadClientAccounts();
    FormCLient->SortClientGrid(1);
    TStringGrid *grid = FormCLient->StringGridCLients;
    grid->setRow(2);
    QCOMPARE(grid->cell(1, grid->row()), u"READER"_s);

    // Another administrator added two accounts; the server lists them first.
    f.answer(QStringList{ u"0"_s, u"4"_s, u"8"_s } + account(u"1"_s, u"ZED"_s) + account(u"2"_s, u"AAA"_s)
        + account(u"3"_s, u"READER"_s) + account(u"4"_s, u"ADMIN"_s));
    FormCLient->RefreshClick();
    QCOMPARE(grid->cell(1, 1), u"AAA"_s); // sorted by name again
    QCOMPARE(grid->cell(1, grid->row()), u"READER"_s);
}

QTEST_MAIN(TestGridWindows)
#include "tst_gridwindows.moc"
