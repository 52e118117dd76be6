// Caption translation of window definitions and the font pass.
#include "TestSupport.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestTranslate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void propertiesAndListEntries();
    void menus();
    void fontsByKind();
};

void TestTranslate::propertiesAndListEntries()
{
    const QStringList messages = numberedMessages(10);
    QWidget window;
    window.setWindowTitle(u"@1"_s);
    auto *label = new QLabel(u"@2"_s, &window);
    label->setToolTip(u"@3"_s);
    auto *edit = new QLineEdit(&window);
    edit->setPlaceholderText(u"@4"_s);
    edit->setText(u"@9x"_s);
    auto *combo = new QComboBox(&window);
    combo->addItems({ u"@5"_s, u"@10"_s, u"plain"_s });
    auto *list = new QListWidget(&window);
    list->addItems({ u"@6"_s, u"@0"_s });
    auto *memo = new QPlainTextEdit(&window);
    memo->setPlainText(u"@7\n@ 7\nline"_s);
    auto *tabs = new QTabWidget(&window);
    auto *page = new QWidget;
    auto *deep = new QPushButton(u"@8"_s, page);
    tabs->addTab(page, u"@9"_s);
    // Popup menus of ordinary controls are not part of the pass.
    auto *popup = new QMenu(label);
    QAction *notVisited = popup->addAction(u"@1"_s);

    TranslateComponent(&window, messages);

    QCOMPARE(window.windowTitle(), u"msg 1"_s);
    QCOMPARE(label->text(), u"msg 2"_s);
    QCOMPARE(label->toolTip(), u"msg 3"_s);
    QCOMPARE(edit->placeholderText(), u"msg 4"_s);
    QCOMPARE(edit->text(), u"@9x"_s);
    QCOMPARE(combo->itemText(0), u"msg 5"_s);
    QCOMPARE(combo->itemText(1), u"@10"_s);
    QCOMPARE(combo->itemText(2), u"plain"_s);
    QCOMPARE(list->item(0)->text(), u"msg 6"_s);
    QCOMPARE(list->item(1)->text(), u"@0"_s);
    QCOMPARE(memo->toPlainText(), u"msg 7\n@ 7\nline"_s);
    QCOMPARE(tabs->tabText(0), u"msg 9"_s);
    QCOMPARE(deep->text(), u"msg 8"_s);
    QCOMPARE(notVisited->text(), u"@1"_s);

    // The replacement is done once: a message that itself is a reference stays as it is.
    QStringList nested = messages;
    nested[2] = u"@3"_s;
    QLabel again(u"@2"_s);
    TranslateComponent(&again, nested);
    QCOMPARE(again.text(), u"@3"_s);
}

void TestTranslate::menus()
{
    const QStringList messages = numberedMessages(400);
    QMainWindow window;
    QMenu *database = window.menuBar()->addMenu(u"&@389"_s);
    QAction *open = database->addAction(u"@393"_s);
    QMenu *sub = database->addMenu(u"@398"_s);
    QAction *deep = sub->addAction(u"@0"_s);
    QAction *version = database->addAction(u"&Version"_s);
    QAction *bad = database->addAction(u"@abc"_s);
    QAction *far = database->addAction(u"@1368"_s);
    QAction *top = window.menuBar()->addAction(u"@58"_s);

    // A grid's popup menu is translated with the grid.
    auto *grid = new TStringGrid(&window);
    window.setCentralWidget(grid);
    auto *gridPopup = new QMenu(grid);
    QAction *refresh = gridPopup->addAction(u"@362"_s);
    grid->setPopupMenu(gridPopup);

    TranslateComponent(&window, messages);

    QCOMPARE(database->menuAction()->text(), u"msg 389"_s);
    QCOMPARE(database->title(), u"msg 389"_s);
    QCOMPARE(open->text(), u"msg 393"_s);
    QCOMPARE(sub->title(), u"msg 398"_s);
    QCOMPARE(deep->text(), u"msg 0"_s);
    QCOMPARE(version->text(), u"&Version"_s);
    QCOMPARE(bad->text(), u"@abc"_s);
    QCOMPARE(far->text(), u"@1368"_s);
    QCOMPARE(top->text(), u"msg 58"_s);
    QCOMPARE(refresh->text(), u"msg 362"_s);
}

void TestTranslate::fontsByKind()
{
    QWidget window;
    QFont base(u"Courier"_s);
    base.setPixelSize(15);
    window.setFont(base);
    auto *label = new QLabel(u"x"_s, &window);
    QFont labelFont(u"Courier"_s);
    labelFont.setPixelSize(21);
    labelFont.setBold(true);
    label->setFont(labelFont);
    auto *bitBtn = new QPushButton(u"b"_s, &window);
    setControlKind(bitBtn, u"TBitBtn"_s);
    auto *symbols = new QPushButton(u"ü"_s, &window);
    setControlKind(symbols, u"TBitBtn"_s);
    symbols->setFont(QFont(u"Wingdings"_s));
    auto *plain = new QPushButton(u"p"_s, &window);
    plain->setFont(QFont(u"Courier"_s));
    auto *check = new QCheckBox(u"c"_s, &window);
    check->setFont(QFont(u"Courier"_s));
    auto *spin = new QSpinBox(&window);
    spin->setFont(QFont(u"Courier"_s));
    auto *panel = new QFrame(&window);
    setControlKind(panel, u"TPanel"_s);
    auto *edit = new QLineEdit(panel);
    auto *grid = new TStringGrid(&window);

    ApplyFontSettings(&window, u"Liberation Sans"_s, 204);

    QCOMPARE(window.font().family(), u"Courier"_s);
    QCOMPARE(label->font().family(), u"Liberation Sans"_s);
    QCOMPARE(label->font().pixelSize(), 21);
    QVERIFY(label->font().bold());
    QCOMPARE(bitBtn->font().family(), u"Liberation Sans"_s);
    QCOMPARE(symbols->font().family(), u"Wingdings"_s);
    QCOMPARE(plain->font().family(), u"Courier"_s);
    QCOMPARE(check->font().family(), u"Courier"_s);
    QCOMPARE(spin->font().family(), u"Courier"_s);
    // The edit inside the spin box is part of it, not a control of its own.
    QCOMPARE(spin->findChild<QLineEdit *>()->font().family(), u"Courier"_s);
    QCOMPARE(panel->font().family(), u"Liberation Sans"_s);
    QCOMPARE(edit->font().family(), u"Liberation Sans"_s);
    QCOMPARE(grid->font().family(), u"Liberation Sans"_s);
}

QTEST_MAIN(TestTranslate)
#include "tst_translate.moc"
