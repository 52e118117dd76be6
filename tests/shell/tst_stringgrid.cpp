// The string grid that the windows address by (column, row) with row 0 as titles.
#include "TestSupport.h"
#include "shell/Dialogs.h"
#include "shell/GridFilterLine.h"
#include "shell/GridText.h"
#include "shell/StringGrid.h"

#include <QAbstractItemModelTester>
#include <QBoxLayout>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>

#include <memory>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/resource.h>
#endif

using namespace Qt::Literals::StringLiterals;

class TestStringGrid : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cellsRowsAndTitles();
    void currentRowFollowsResizes();
    void bulkUpdates();
    void cleanup();
    void copiesSelectedCellsAsTabs();
    void findLineNarrowsRowsAndEscClearsIt();
    void actionsUnderFilterActOnTheRowShown();
    void reloadKeepsTheChosenItemAndItsPlace();
    void reloadUnderFilter();
    void exportWritesCsvThroughTheDialogSeam();
    void popupEndsWithExport();
    void customModelGetsTheSameFeatures();
    void exportFailureLeavesTheOldFile_data();
    void exportFailureLeavesTheOldFile();
    void escStopsWorkInSlices_data();
    void escStopsWorkInSlices();
};

namespace {

// A window as the program builds them: the grid over a bottom button that Esc presses.
struct GridWindow
{
    QDialog window;
    TStringGrid *grid;
    QPushButton *cancel;

    GridWindow()
    {
        grid = new TStringGrid(&window);
        cancel = new QPushButton(u"Выход"_s, &window);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(grid, 1);
        layout->addWidget(cancel);
        QObject::connect(cancel, &QPushButton::clicked, &window, &QDialog::reject);
        window.resize(500, 300);
    }

    void show()
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        grid->setFocus();
        QTRY_VERIFY(grid->hasFocus());
    }

    QWindow *handle() { return window.windowHandle(); }
};

// The process grid's shape: number, client id, name, state.
void fillProcesses(TStringGrid *grid, const QList<QStringList> &rows)
{
    grid->beginUpdate();
    grid->setColCount(4);
    grid->setRowCount(int(rows.size()) + 1);
    const QStringList titles{ u"№"_s, u"Идентификатор"_s, u"Выполняемая команда"_s, u"Состояние"_s };
    for (int c = 0; c < 4; ++c)
        grid->setCell(c, 0, titles.at(c));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 4; ++c)
            grid->setCell(c, r + 1, rows.at(r).value(c));
    grid->endUpdate();
}

const QList<QStringList> processes{
    { u"*"_s, u"*****"_s, u"Сервер ТУЛВА"_s, u"Активный"_s },
    { u"7"_s, u"111"_s, u"TULVA_RELOAD_DICT"_s, u"Активный"_s },
    { u"8"_s, u"222"_s, u"TULVA_DB_NEW"_s, u"Ожидание"_s },
    { u"9"_s, u"333"_s, u"TULVA_CREATE_DICT"_s, u"АКТИВНЫЙ"_s },
};

// A list of many rows as the record-list windows keep them: numbers computed, not stored.
class NumberList : public QAbstractTableModel
{
public:
    explicit NumberList(int rows)
        : m_rows(rows)
    {
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return index.column() == 0 ? QString::number(index.row() + 1) : u"удалена"_s;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return section == 0 ? u"MFN"_s : u"Отметка"_s;
    }

private:
    int m_rows;
};

#ifdef Q_OS_UNIX
// A full disk as the test makes it: files of this process cannot grow beyond the limit.
struct FileSizeLimit
{
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        signal(SIGXFSZ, SIG_IGN); // a write beyond the limit then fails instead of ending the test
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
};
#endif

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

QPoint rowCentre(TStringGrid *grid, int viewRow, int col = 1)
{
    const QRect rect = grid->visualRect(grid->filterModel()->index(viewRow, col));
    return grid->viewport()->mapTo(grid->window(), rect.center());
}

} // namespace

void TestStringGrid::cellsRowsAndTitles()
{
    TStringGrid grid;
    QAbstractItemModelTester tester(grid.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(grid.rowCount(), 2);
    grid.setColCount(3);
    grid.setCell(0, 0, u"№"_s);
    grid.setCell(2, 1, u"Активный"_s);
    QCOMPARE(grid.gridModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), u"№"_s);
    QCOMPARE(grid.gridModel()->index(0, 2).data().toString(), u"Активный"_s);
    // Outside the grid: nothing is written and nothing is read.
    grid.setCell(3, 1, u"x"_s);
    grid.setCell(0, 2, u"x"_s);
    QCOMPARE(grid.cell(3, 1), QString());
    QCOMPARE(grid.cell(0, -1), QString());
    // A grid never has fewer than its title row and one row.
    grid.setRowCount(0);
    QCOMPARE(grid.rowCount(), 2);
    QCOMPARE(grid.cell(0, 0), u"№"_s);
    grid.setRowCount(5);
    QCOMPARE(grid.gridModel()->rowCount(), 4);
    QCOMPARE(grid.cell(1, 4), QString());
    grid.setColCount(1);
    QCOMPARE(grid.cell(2, 1), QString());
}

void TestStringGrid::currentRowFollowsResizes()
{
    TStringGrid grid;
    grid.setColCount(2);
    grid.setRowCount(10);
    QCOMPARE(grid.row(), 1);
    grid.setRow(7);
    QCOMPARE(grid.row(), 7);
    grid.setRow(0); // the title row cannot be current
    QCOMPARE(grid.row(), 7);
    grid.setRow(10);
    QCOMPARE(grid.row(), 7);
    grid.setRowCount(4);
    QCOMPARE(grid.row(), 3);
    grid.setRowCount(2);
    QCOMPARE(grid.row(), 1);
}

void TestStringGrid::bulkUpdates()
{
    TStringGrid grid;
    QAbstractItemModelTester tester(grid.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.setColCount(2);
    grid.setRowCount(3);
    grid.setRow(2);
    grid.beginUpdate();
    grid.setRowCount(100001);
    for (int r = 1; r < grid.rowCount(); ++r)
        grid.setCell(0, r, QString::number(r));
    grid.endUpdate();
    QCOMPARE(grid.gridModel()->rowCount(), 100000);
    QCOMPARE(grid.cell(0, 100000), u"100000"_s);
    QCOMPARE(grid.row(), 2);
}

void TestStringGrid::cleanup()
{
    Dialogs::reset();
    Dialogs::setTestMode(false);
}

void TestStringGrid::copiesSelectedCellsAsTabs()
{
    GridWindow w;
    fillProcesses(w.grid, processes);
    w.show();
    QClipboard *clipboard = QGuiApplication::clipboard();

    // A cell range: the rectangle of the marked cells, unmarked ones empty.
    const QAbstractItemModel *view = w.grid->filterModel();
    w.grid->selectionModel()->select(view->index(1, 1), QItemSelectionModel::ClearAndSelect);
    w.grid->selectionModel()->select(view->index(2, 2), QItemSelectionModel::Select);
    QTest::keyClick(w.handle(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), u"111\t\n\tTULVA_DB_NEW\n"_s);

    // Whole-row selection copies whole rows, in the grid's order, whatever order they were marked in.
    w.grid->setRowSelect(true);
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, rowCentre(w.grid, 3));
    QTest::mouseClick(w.handle(), Qt::LeftButton, Qt::ControlModifier, rowCentre(w.grid, 1));
    QTest::keyClick(w.handle(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(
        clipboard->text(), u"7\t111\tTULVA_RELOAD_DICT\tАктивный\n9\t333\tTULVA_CREATE_DICT\tАКТИВНЫЙ\n"_s);

    // The grid's hook decides what a cell gives away (the accounts grid's passwords).
    w.grid->setCellTextHook(
        [](int col, int row, const QString &shown) { return col == 1 && row > 0 ? u"*****"_s : shown; });
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, rowCentre(w.grid, 2));
    QTest::keyClick(w.handle(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), u"8\t*****\tTULVA_DB_NEW\tОжидание\n"_s);
}

void TestStringGrid::findLineNarrowsRowsAndEscClearsIt()
{
    GridWindow w;
    w.grid->setRowSelect(true);
    fillProcesses(w.grid, processes);
    w.show();

    // Without the feature, Ctrl+F does nothing.
    QTest::keyClick(w.handle(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!w.grid->filterLine());

    w.grid->setFilterEnabled(true);
    QTest::keyClick(w.handle(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w.grid->filterLine());
    QTRY_VERIFY(w.grid->filterLine()->edit()->hasFocus());
    // The line stands above the grid, in the window's own column.
    QVERIFY(w.grid->filterLine()->geometry().bottom() < w.grid->geometry().top());

    typeText(w.handle(), u"активн"_s);
    QCOMPARE(w.grid->filterText(), u"активн"_s);
    QCOMPARE(w.grid->filterModel()->rowCount(), 3); // "Активный" twice and "АКТИВНЫЙ"
    QCOMPARE(w.grid->rowCount(), 5); // the grid's own rows are all still there
    QCOMPARE(w.grid->cell(2, 3), u"TULVA_DB_NEW"_s);
    QVERIFY(w.grid->filterLine()->findChild<QLabel *>(u"GridFilterCounts"_s)->text().contains(u"3 из 4"_s));

    // Esc clears and closes the line; the window stays open.
    QTest::keyClick(w.handle(), Qt::Key_Escape);
    QVERIFY(w.window.isVisible());
    QVERIFY(w.grid->filterLine()->isHidden());
    QCOMPARE(w.grid->filterText(), QString());
    QCOMPARE(w.grid->filterModel()->rowCount(), 4);
    QTRY_VERIFY(w.grid->hasFocus());
}

void TestStringGrid::actionsUnderFilterActOnTheRowShown()
{
    GridWindow w;
    w.grid->setRowSelect(true);
    w.grid->setFilterEnabled(true);
    fillProcesses(w.grid, processes);
    w.show();
    w.grid->setRow(2);

    w.grid->openFilter();
    typeText(w.handle(), u"dict"_s);
    QCOMPARE(w.grid->filterModel()->rowCount(), 2);
    // Row 2 matches and stays the chosen row.
    QCOMPARE(w.grid->row(), 2);
    // The administrator clicks the second row shown: it is the grid's row 4.
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, rowCentre(w.grid, 1));
    QCOMPARE(w.grid->row(), 4);
    QCOMPARE(w.grid->cell(0, w.grid->row()), u"9"_s);
    int col = -1, row = -1;
    QVERIFY(w.grid->cellAt(w.grid->viewport()->mapFrom(w.grid->window(), rowCentre(w.grid, 1)), &col, &row));
    QCOMPARE(row, 4);

    // Narrowing further until the chosen row goes: no row is chosen, not its neighbour.
    w.grid->setFilterText(u"reload"_s);
    QCOMPARE(w.grid->filterModel()->rowCount(), 1);
    QCOMPARE(w.grid->row(), 0);
    QVERIFY(w.grid->selectionModel()->selectedIndexes().isEmpty());
    w.grid->setFilterText(u"нет такого"_s);
    QCOMPARE(w.grid->row(), 0);

    // The program choosing a row that the filter hides shows it by closing the filter.
    w.grid->setFilterText(u"reload"_s);
    w.grid->setRow(3);
    QCOMPARE(w.grid->filterText(), QString());
    QVERIFY(w.grid->filterLine()->isHidden());
    QCOMPARE(w.grid->row(), 3);

    // A double click reports the grid's own row.
    w.grid->setFilterText(u"333"_s);
    QSignalSpy clicks(w.grid, &TStringGrid::cellDoubleClicked);
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, rowCentre(w.grid, 0));
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks.first().at(1).toInt(), 4);
}

void TestStringGrid::reloadKeepsTheChosenItemAndItsPlace()
{
    GridWindow w;
    w.grid->setRowSelect(true);
    w.grid->setKeyColumns({ 0, 1 });
    QList<QStringList> rows;
    for (int i = 0; i < 200; ++i)
        rows.append({ QString::number(100 + i), u"42"_s, u"TULVA_READ"_s, u"Активный"_s });
    fillProcesses(w.grid, rows);
    w.show();

    w.grid->setRow(120);
    w.grid->scrollTo(w.grid->currentIndex(), QAbstractItemView::PositionAtCenter);
    const int offset = w.grid->rowViewportPosition(w.grid->currentIndex().row());
    const int horizontal = w.grid->horizontalScrollBar()->value();

    // Three processes ended above it, one started below: the item moves up three rows.
    rows.removeAt(10);
    rows.removeAt(20);
    rows.removeAt(30);
    rows.append({ u"999"_s, u"42"_s, u"TULVA_GBL"_s, u"Активный"_s });
    fillProcesses(w.grid, rows);
    QCOMPARE(w.grid->row(), 117);
    QCOMPARE(w.grid->cell(0, w.grid->row()), u"219"_s);
    QCOMPARE(w.grid->rowViewportPosition(w.grid->currentIndex().row()), offset);
    QCOMPARE(w.grid->horizontalScrollBar()->value(), horizontal);

    // The same number from another client is another process: the chosen one has gone.
    const int vertical = w.grid->verticalScrollBar()->value();
    rows[116][1] = u"43"_s;
    fillProcesses(w.grid, rows);
    QCOMPARE(w.grid->row(), 0);
    QVERIFY(w.grid->selectionModel()->selectedIndexes().isEmpty());
    QCOMPARE(w.grid->verticalScrollBar()->value(), vertical);

    // Without key columns the row number is kept, as before.
    w.grid->setKeyColumns({});
    w.grid->setRow(5);
    fillProcesses(w.grid, rows.mid(1));
    QCOMPARE(w.grid->row(), 5);
    w.grid->setRow(150);
    fillProcesses(w.grid, rows.mid(0, 20));
    QCOMPARE(w.grid->row(), 1);
}

void TestStringGrid::reloadUnderFilter()
{
    GridWindow w;
    w.grid->setRowSelect(true);
    w.grid->setFilterEnabled(true);
    w.grid->setKeyColumns({ 0, 1 });
    fillProcesses(w.grid, processes);
    w.show();
    w.grid->setFilterText(u"dict"_s);
    w.grid->setRow(4);

    // A new process above it: the chosen one keeps its identity, and the filter holds.
    QList<QStringList> rows = processes;
    rows.insert(1, { u"6"_s, u"555"_s, u"TULVA_CREATE_DICT"_s, u"Активный"_s });
    fillProcesses(w.grid, rows);
    QCOMPARE(w.grid->filterText(), u"dict"_s);
    QCOMPARE(w.grid->filterModel()->rowCount(), 3);
    QCOMPARE(w.grid->row(), 5);
    QCOMPARE(w.grid->cell(1, w.grid->row()), u"333"_s);

    // The chosen process changed its name so that the filter no longer shows it: nothing is chosen.
    rows[4][2] = u"TULVA_STAT"_s;
    fillProcesses(w.grid, rows);
    QCOMPARE(w.grid->row(), 0);
}

void TestStringGrid::exportWritesCsvThroughTheDialogSeam()
{
    ScopedWorkDir dir;
    Dialogs::setTestMode(true);
    GridWindow w;
    w.window.setWindowTitle(u"Процессы: сервер"_s);
    fillProcesses(w.grid, processes);
    w.grid->setCell(2, 3, u"a,\"b\""_s);

    const QString path = dir.filePath(u"out.csv"_s);
    Dialogs::queueSaveFile(path, Dialogs::Encoding::Windows1251);
    w.grid->exportAction()->trigger();
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, u"Процессы_ сервер.csv"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray expected = GridText::encode(u"№,Идентификатор,Выполняемая команда,Состояние\r\n"
                                                 "*,*****,Сервер ТУЛВА,Активный\r\n"
                                                 "7,111,TULVA_RELOAD_DICT,Активный\r\n"
                                                 "8,222,\"a,\"\"b\"\"\",Ожидание\r\n"
                                                 "9,333,TULVA_CREATE_DICT,АКТИВНЫЙ\r\n"_s,
        GridText::Encoding::Windows1251);
    QCOMPARE(file.readAll(), expected);
    file.close();

    // Under a filter the rows shown are exported, with the title row.
    w.grid->setFilterEnabled(true);
    w.grid->setFilterText(u"dict"_s);
    Dialogs::queueSaveFile(path, Dialogs::Encoding::Utf8Bom);
    w.grid->exportToFile();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
        QByteArray("\xEF\xBB\xBF")
            + u"№,Идентификатор,Выполняемая команда,Состояние\r\n"
              "7,111,TULVA_RELOAD_DICT,Активный\r\n"
              "9,333,TULVA_CREATE_DICT,АКТИВНЫЙ\r\n"_s.toUtf8());
    file.close();

    // Cancelled: nothing written, nothing said. A folder that does not exist: a clear message.
    QVERIFY(QFile::remove(path));
    w.grid->exportToFile();
    QVERIFY(!QFile::exists(path));
    Dialogs::queueSaveFile(dir.filePath(u"no/such/dir/out.csv"_s), Dialogs::Encoding::Utf8Bom);
    w.grid->exportToFile();
    QCOMPARE(Dialogs::asked().last().caption, u"Внимание!"_s);
    QVERIFY(Dialogs::asked().last().text.startsWith(u"Не удалось записать файл "_s));
}

void TestStringGrid::popupEndsWithExport()
{
    GridWindow w;
    fillProcesses(w.grid, processes);
    QMenu popup;
    QAction *stop = popup.addAction(u"Остановить"_s);
    w.grid->setPopupMenu(&popup);
    w.show();
    bool seen = false;
    QTimer::singleShot(0, &popup, [&] {
        QTRY_VERIFY(popup.isVisible());
        const QList<QAction *> items = popup.actions();
        QCOMPARE(items.first(), stop);
        QCOMPARE(items.last(), w.grid->exportAction());
        QCOMPARE(items.last()->text(), u"Экспорт в файл…"_s);
        popup.close();
        seen = true;
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, w.grid->viewport()->rect().center(),
        w.grid->viewport()->mapToGlobal(w.grid->viewport()->rect().center()));
    QCoreApplication::sendEvent(w.grid->viewport(), &event);
    QTRY_VERIFY(seen);
}

void TestStringGrid::customModelGetsTheSameFeatures()
{
    ScopedWorkDir dir;
    Dialogs::setTestMode(true);
    QStandardItemModel list(0, 2);
    list.setHorizontalHeaderLabels({ u"MFN"_s, u"Отметка"_s });
    for (int i = 1; i <= 5; ++i)
        list.appendRow({ new QStandardItem(QString::number(i)),
            new QStandardItem(i % 2 ? u"удалена"_s : u"ЛОГИЧЕСКИ УДАЛЕНА"_s) });
    GridWindow w;
    w.grid->setRowSelect(true);
    w.grid->setFilterEnabled(true);
    w.grid->useModel(&list);
    QAbstractItemModelTester tester(
        w.grid->filterModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    w.show();
    QCOMPARE(w.grid->rowCount(), 6);
    QCOMPARE(w.grid->colCount(), 2);
    QCOMPARE(w.grid->cell(0, 0), u"MFN"_s);
    QCOMPARE(w.grid->cell(1, 2), u"ЛОГИЧЕСКИ УДАЛЕНА"_s);

    w.grid->setFilterText(u"логически"_s);
    QCOMPARE(w.grid->filterModel()->rowCount(), 2);
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, rowCentre(w.grid, 1));
    QCOMPARE(w.grid->row(), 4);
    QTest::keyClick(w.handle(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"4\tЛОГИЧЕСКИ УДАЛЕНА\n"_s);

    const QString path = dir.filePath(u"list.csv"_s);
    Dialogs::queueSaveFile(path, Dialogs::Encoding::Utf8Bom);
    w.grid->exportToFile();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(
        file.readAll(), u"\uFEFFMFN,Отметка\r\n2,ЛОГИЧЕСКИ УДАЛЕНА\r\n4,ЛОГИЧЕСКИ УДАЛЕНА\r\n"_s.toUtf8());

    // Back to the grid's own cells.
    w.grid->useModel(nullptr);
    QCOMPARE(w.grid->sourceModel(), w.grid->gridModel());
}

void TestStringGrid::exportFailureLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("target"); // empty: a file in the test's folder, on a "full disk"
    QTest::addColumn<int>("slicedFrom");
    QTest::newRow("full device") << u"/dev/full"_s << 100000;
    QTest::newRow("disk full while writing") << QString() << 100000;
    QTest::newRow("disk full while writing in slices") << QString() << 10;
}

void TestStringGrid::exportFailureLeavesTheOldFile()
{
    // A write, flush or commit that fails says which file and why, and the good file written
    // before stays as it was.
    QFETCH(QString, target);
    QFETCH(int, slicedFrom);
    ScopedWorkDir dir;
    Dialogs::setTestMode(true);
    TStringGrid::setSlicedFrom(slicedFrom);
    NumberList list(5000);
    GridWindow w;
    w.grid->useModel(&list);
    w.show();
    const bool device = !target.isEmpty();
    if (device && !QFile::exists(target))
        QSKIP("no full device on this system");
    const QString path = device ? target : dir.filePath(u"list.csv"_s);
    if (!device) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        QCOMPARE(old.write("old good list\r\n"), qint64(15));
    }
    {
#ifdef Q_OS_UNIX
        std::unique_ptr<FileSizeLimit> limit;
        if (!device)
            limit = std::make_unique<FileSizeLimit>(8192);
#else
        if (!device)
            QSKIP("no file size limit to stand in for a full disk here");
#endif
        Dialogs::queueSaveFile(path, Dialogs::Encoding::Utf8Bom);
        w.grid->exportAction()->trigger();
        QTRY_VERIFY(!w.grid->busy());
    }
    QVERIFY(!Dialogs::asked().isEmpty());
    const QString said = Dialogs::asked().last().text;
    QVERIFY2(said.startsWith(u"Не удалось записать файл "_s + path + u"\n"_s), qPrintable(said));
    QVERIFY2(said.section(u'\n', 1, 1).size() > 3, qPrintable(said)); // the system's reason
    if (!device) {
        QVERIFY(said.endsWith(u"\nПрежний файл не изменен."_s));
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), "old good list\r\n"_ba);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{ u"list.csv"_s });
    }
    TStringGrid::setSlicedFrom(20000);
}

void TestStringGrid::escStopsWorkInSlices_data()
{
    QTest::addColumn<bool>("exporting");
    QTest::newRow("export") << true;
    QTest::newRow("search") << false;
}

void TestStringGrid::escStopsWorkInSlices()
{
    // Very many rows are worked on between events; Esc, as the keyboard delivers it, stops the
    // work and nothing else: the window stays open, no file is left, the rows shown stay.
    QFETCH(bool, exporting);
    ScopedWorkDir dir;
    Dialogs::setTestMode(true);
    NumberList list(3'000'000);
    GridWindow w;
    w.grid->setFilterEnabled(true);
    w.grid->useModel(&list);
    w.show();
    const QString path = dir.filePath(u"list.csv"_s);
    if (exporting) {
        Dialogs::queueSaveFile(path, Dialogs::Encoding::Utf8Bom);
        w.grid->exportToFile();
    } else {
        w.grid->openFilter();
        w.grid->setFilterText(u"77"_s);
    }
    QVERIFY(w.grid->busy());
    QCoreApplication::processEvents(); // a slice or two
    QTest::keyClick(w.handle(), Qt::Key_Escape);
    QVERIFY(!w.grid->busy());
    QVERIFY(w.window.isVisible());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{});
    QCOMPARE(w.grid->filterText(), QString());
    QCOMPARE(w.grid->filterModel()->rowCount(), 3'000'000);
    QVERIFY(Dialogs::asked().isEmpty() || !Dialogs::asked().last().text.startsWith(u"Не удалось"_s));
    if (!exporting) {
        // Left to finish, the search shows what it found.
        w.grid->setFilterText(u"2999999"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!w.grid->busy(), 30000);
        QCOMPARE(w.grid->filterModel()->rowCount(), 1);
        QCOMPARE(w.grid->filterModel()->index(0, 0).data().toString(), u"2999999"_s);
    }
}

QTEST_MAIN(TestStringGrid)
#include "tst_stringgrid.moc"
