// The string grid that the windows address by (column, row) with row 0 as titles.
#include "shell/StringGrid.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestStringGrid : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cellsRowsAndTitles();
    void currentRowFollowsResizes();
    void bulkUpdates();
};

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

QTEST_MAIN(TestStringGrid)
#include "tst_stringgrid.moc"
