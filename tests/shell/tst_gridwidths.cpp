// What a newcomer saw in the grids: a cell cut off by its column shows its whole text on the
// pointer, the widths the administrator drags stay for the next run (only those), and the
// statistics grid scrolls no value out of view.
#include "ShellFixture.h"
#include "server/clients.h"
#include "server/main.h"
#include "server/process.h"
#include "shell/StringGrid.h"
#include "shell/UserSettings.h"

#include <QHelpEvent>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

using namespace Qt::Literals::StringLiterals;

class TestGridWidths : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        userSettings()->clear();
        f.setUp();
    }
    void cleanup()
    {
        QToolTip::hideText();
        f.tearDown();
        userSettings()->clear();
    }

    void cutCellShowsItsText_data();
    void cutCellShowsItsText();
    void draggedWidthsStay_data();
    void draggedWidthsStay();
    void statisticsScrollNoValueAway();

private:
    ShellFixture f;
};

void TestGridWidths::cutCellShowsItsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("tip");
    const QString hint = u"Дополнительные функции под правой кнопкой мыши"_s;
    QTest::newRow("cut") << u"Сервер ТУЛВА"_s << 50 << u"Сервер ТУЛВА"_s;
    QTest::newRow("fits") << u"A"_s << 90 << hint;
    QTest::newRow("two lines") << u"a\nb"_s << 200 << u"a\nb"_s;
}

void TestGridWidths::cutCellShowsItsText()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, tip);
    TStringGrid *grid = FormProcess->StringGridProcess;
    FormProcess->show();
    QVERIFY(QTest::qWaitForWindowExposed(FormProcess));
    grid->setCell(2, 1, text);
    grid->setColWidth(2, width);
    const QRect cell = grid->visualRect(grid->model()->index(0, 2));
    QHelpEvent event(QEvent::ToolTip, cell.center(), grid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid->viewport(), &event);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), tip);
}

void TestGridWidths::draggedWidthsStay_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("processes") << u"process"_s;
    QTest::newRow("accounts") << u"accounts"_s;
    QTest::newRow("registered clients") << u"registered"_s;
}

void TestGridWidths::draggedWidthsStay()
{
    QFETCH(QString, window);
    const auto gridOf = [&]() -> TStringGrid * {
        if (window == u"process")
            return FormProcess->StringGridProcess;
        if (window == u"accounts")
            return FormCLient->StringGridCLients;
        return FormRegClients->StringGridClient;
    };
    TStringGrid *grid = gridOf();
    const int first = grid->colWidth(1);
    const int second = grid->colWidth(2);
    QWidget *form = grid->window();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));

    // The right edge of column 1's title dragged 40 px to the right, as with a mouse.
    QHeaderView *header = grid->horizontalHeader();
    const QPoint edge(header->sectionViewportPosition(1) + first - 1, header->height() / 2);
    const QPoint at = header->viewport()->mapTo(form, edge);
    QTest::mousePress(form->windowHandle(), Qt::LeftButton, {}, at);
    QTest::mouseMove(form->windowHandle(), at + QPoint(20, 0));
    QTest::mouseMove(form->windowHandle(), at + QPoint(40, 0));
    QTest::mouseRelease(form->windowHandle(), Qt::LeftButton, {}, at + QPoint(40, 0));
    QCOMPARE(grid->colWidth(1), first + 40);
    // A width the program sets is not the administrator's.
    grid->setColWidth(2, second + 15);

    // The next run: the dragged width wins over the window's own; the others keep theirs.
    f.tearDown();
    f.setUp();
    grid = gridOf();
    QCOMPARE(grid->colWidth(1), first + 40);
    QCOMPARE(grid->colWidth(2), second);
    // Even when the window sets its widths again (a list of another shape).
    grid->setColWidth(1, first);
    QCOMPARE(grid->colWidth(1), first + 40);
}

void TestGridWidths::statisticsScrollNoValueAway()
{
    TStringGrid *grid = WAMainForm->StatisticGrid;
    QCOMPARE(grid->rowCount(), TWAMainForm::StatisticRows);
    WAMainForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(WAMainForm));
    QCOMPARE(grid->verticalScrollBar()->value(), 0);
    QCOMPARE(grid->verticalScrollBar()->maximum(), 0);
    const QPoint inside = grid->viewport()->rect().center();
    for (int i = 0; i < 5; ++i) {
        QWheelEvent wheel(inside, grid->viewport()->mapToGlobal(inside), {}, QPoint(0, -120), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid->viewport(), &wheel);
    }
    // The first row of values is still the top one.
    QCOMPARE(grid->rowAt(0), 0);
    QVERIFY(grid->rowViewportPosition(7) + grid->rowHeight(7) <= grid->viewport()->height());
}

QTEST_MAIN(TestGridWidths)
#include "tst_gridwidths.moc"
