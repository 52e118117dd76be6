#include "TestSupport.h"

#include "database/Jobs.h"
#include "database/LockList.h"
#include "database/Mfn.h"
#include "database/Mfnlist.h"
#include "database/Newdb.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "database/protocol.h"
#include "server/ServerMonitor.h"
#include "server/clients.h"
#include "server/clients_edit.h"
#include "server/clients_menu.h"
#include "server/main.h"
#include "server/process.h"
#include "shell/Dialogs.h"
#include "shell/Globals.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// A face no system has: whoever got it was re-fonted.
const QString kTestFace = u"TulvaTestFace"_s;

std::unique_ptr<QDialog> createWindow(const QString &name)
{
    if (name == u"NewDBForm")
        return std::make_unique<TNewDBForm>();
    if (name == u"MFNForm")
        return std::make_unique<TMFNForm>();
    if (name == u"LockedListForm")
        return std::make_unique<TLockedListForm>();
    if (name == u"LoadInvForm")
        return std::make_unique<TLoadInvForm>();
    if (name == u"MFNListForm")
        return std::make_unique<TMFNListForm>();
    if (name == u"FormProtocol")
        return std::make_unique<TFormProtocol>();
    if (name == u"FormProcess")
        return std::make_unique<TFormProcess>();
    if (name == u"FormCLient")
        return std::make_unique<TFormCLient>();
    if (name == u"FormClientsEdit")
        return std::make_unique<TFormClientsEdit>();
    if (name == u"OpenDbMenu")
        return std::make_unique<TOpenDbMenu>();
    if (name == u"FormRegClients")
        return std::make_unique<TFormRegClients>();
    return nullptr;
}

// Every text of the window that still reads "@" and a digit: properties, actions, grid titles.
QStringList leftoverReferences(QWidget *window)
{
    static const QRegularExpression reference(u"^&?@\\d"_s);
    QStringList found;
    auto check = [&](const QString &where, const QString &text) {
        if (reference.match(text).hasMatch())
            found.append(where + u" = "_s + text);
    };
    QList<QWidget *> widgets{ window };
    widgets += window->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        const QMetaObject *meta = w->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            if (p.metaType().id() == QMetaType::QString)
                check(w->objectName() + u'.' + QLatin1StringView(p.name()), p.read(w).toString());
        }
        if (auto *grid = qobject_cast<TStringGrid *>(w)) {
            for (int c = 0; c < grid->colCount(); ++c)
                check(grid->objectName() + u" title "_s + QString::number(c), grid->cell(c, 0));
        }
    }
    for (QAction *a : window->findChildren<QAction *>())
        check(a->objectName(), a->text());
    return found;
}

// Types text key by key; QTest::keyClicks knows only ASCII.
void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        Dialogs::setTestMode(true);
    }

    void init()
    {
        resetProgramState();
        MessageList = numberedMessages(1369);
        FontName = kTestFace;
        Dialogs::reset();
    }

    void cleanup() { Dialogs::reset(); }

    void definitions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("fixedCaptions");
        QTest::newRow("new database") << u"NewDBForm"_s << u"msg 483"_s << false;
        QTest::newRow("MFN entry") << u"MFNForm"_s << u"msg 425"_s << false;
        QTest::newRow("locked picker") << u"LockedListForm"_s << u"msg 398 - msg 926"_s << false;
        QTest::newRow("process watch") << u"LoadInvForm"_s << QString() << false;
        QTest::newRow("MFN list") << u"MFNListForm"_s << QString() << false;
        QTest::newRow("result log") << u"FormProtocol"_s << QString() << false;
        QTest::newRow("processes") << u"FormProcess"_s << u"msg 1358"_s << false;
        QTest::newRow("client accounts") << u"FormCLient"_s << u"msg 1356"_s << false;
        QTest::newRow("registered clients") << u"FormRegClients"_s << u"msg 1357"_s << false;
        QTest::newRow("client profile") << u"FormClientsEdit"_s << u"Профиль клиента"_s << true;
        QTest::newRow("INI chooser") << u"OpenDbMenu"_s << u"Выбор ini-файла"_s << true;
    }

    void definitions()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(bool, fixedCaptions);

        const std::unique_ptr<QDialog> window = createWindow(name);
        QVERIFY(window);
        QCOMPARE(window->objectName(), name);
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(leftoverReferences(window.get()), QStringList());

        int refonted = 0;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (w->font().families().contains(kTestFace))
                ++refonted;
            // Bitmap buttons and panels must be marked, or the font pass takes them for plain ones.
            if (qobject_cast<QPushButton *>(w) && w->objectName().endsWith(u"BitBtn"))
                QCOMPARE(controlKind(w), u"TBitBtn"_s);
            if (qobject_cast<QFrame *>(w) && w->objectName().startsWith(u"Panel"))
                QCOMPARE(controlKind(w), u"TPanel"_s);
        }
        if (fixedCaptions)
            QCOMPARE(refonted, 0);
        else
            QVERIFY(refonted > 0);
    }

    void gridColumns_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<QString>("lastTitle");
        QTest::newRow("processes") << u"FormProcess"_s << u"StringGridProcess"_s
                                   << QList<int>{ 20, 80, 50, 100, 90, 100, 140, 100, 80, 80 }
                                   << u"Состояние"_s;
        QTest::newRow("client accounts")
            << u"FormCLient"_s << u"StringGridCLients"_s
            << QList<int>{ 20, 100, 100, 150, 150, 150, 150, 180, 150 } << u"Ini АРМа Администратор"_s;
        QTest::newRow("registered clients")
            << u"FormRegClients"_s << u"StringGridClient"_s
            << QList<int>{ 20, 80, 50, 40, 90, 60, 90, 90, 100, 85 } << u"Номер команды"_s;
        QTest::newRow("INI chooser") << u"OpenDbMenu"_s << u"DBStringGrid"_s << QList<int>{ 108, 332 }
                                     << u"Описание ini-файла"_s;
        QTest::newRow("MFN list") << u"MFNListForm"_s << u"MFNStringGrid"_s << QList<int>{ 64, 263 }
                                  << QString();
        QTest::newRow("locked picker")
            << u"LockedListForm"_s << u"MfnStringGrid"_s << QList<int>{ 16, 20, 278 } << u"MFN"_s;
    }

    void gridColumns()
    {
        QFETCH(QString, name);
        QFETCH(QString, grid);
        QFETCH(QList<int>, widths);
        QFETCH(QString, lastTitle);

        const std::unique_ptr<QDialog> window = createWindow(name);
        auto *g = window->findChild<TStringGrid *>(grid);
        QVERIFY(g);
        QCOMPARE(g->colCount(), widths.size());
        QCOMPARE(g->rowCount(), 2);
        QList<int> actual;
        for (int c = 0; c < g->colCount(); ++c)
            actual.append(g->colWidth(c));
        QCOMPARE(actual, widths);
        QCOMPARE(g->cell(g->colCount() - 1, 0), lastTitle);
    }

    void processPlaceholderRow()
    {
        TFormProcess window;
        QCOMPARE(window.StringGridProcess->cell(2, 1), u"Сервер ТУЛВА"_s);
        QCOMPARE(window.StringGridProcess->cell(8, 1), QString::number(QCoreApplication::applicationPid()));
        QCOMPARE(window.StringGridProcess->cell(9, 1), u"Активный"_s);
        QCOMPARE(window.StringGridProcess->popupMenu(), window.PopupMenuProcess);
        QCOMPARE(window.Refresh->text(), u"msg 1362"_s);
    }

    void newDbOkButton_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("refused");
        QTest::newRow("empty") << QString() << false << false;
        QTest::newRow("_TMP") << u"_TMP"_s << true << false;
        QTest::newRow("a1") << u"a1"_s << true << false;
        QTest::newRow("reserved passes the dialog") << u"rdr"_s << true << false;
        QTest::newRow("1ABC") << u"1ABC"_s << false << true;
        QTest::newRow("AB-C") << u"AB-C"_s << false << true;
        QTest::newRow("Cyrillic") << u"БАЗА"_s << false << true;
    }

    void newDbOkButton()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QFETCH(bool, refused);

        TNewDBForm dialog;
        dialog.NameEdit->setText(name);
        dialog.OKBitBtn->click();
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(Dialogs::asked().size(), refused ? 1 : 0);
        if (refused) {
            QCOMPARE(Dialogs::asked().first().text, u"Not valid DB name"_s);
            QCOMPARE(Dialogs::asked().first().caption, u"msg 138"_s);
            QCOMPARE(Dialogs::asked().first().icon, Dialogs::Icon::Error);
        }
    }

    void newDbNameLength()
    {
        TNewDBForm dialog;
        QTest::keyClicks(dialog.NameEdit, u"ABCDEFGHI"_s);
        QCOMPARE(dialog.NameEdit->text(), u"ABCDEFGH"_s);
        dialog.FullNameEdit->setText(u"x"_s);
        dialog.CheckBox->setChecked(false);
        dialog.show();
        QCOMPARE(dialog.NameEdit->text(), QString());
        QCOMPARE(dialog.FullNameEdit->text(), QString());
        QVERIFY(dialog.CheckBox->isChecked());
    }

    void mfnEditKeys_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("digits") << u"0123456789"_s << u"0123456789"_s;
        QTest::newRow("letters between") << u"1a2Z3"_s << u"123"_s;
        QTest::newRow("signs and blanks") << u"-1 +2."_s << u"12"_s;
        QTest::newRow("Cyrillic") << u"4ж5"_s << u"45"_s;
    }

    void mfnEditKeys()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        TMFNForm dialog;
        typeText(dialog.MFNEdit, typed);
        QCOMPARE(dialog.MFNEdit->text(), kept);
        QTest::keyClick(dialog.MFNEdit, Qt::Key_Backspace);
        QCOMPARE(dialog.MFNEdit->text(), kept.chopped(1));
    }

    void mfnOkNeedsText()
    {
        TMFNForm dialog;
        dialog.OKBitBtn->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        dialog.MFNEdit->setText(u"7"_s);
        dialog.OKBitBtn->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.okGlyph().isNull());
    }

    void profileCheckBoxes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("defaultName");
        QTest::newRow("C") << 0 << u"tulvac.ini"_s;
        QTest::newRow("R") << 1 << u"tulvar.ini"_s;
        QTest::newRow("B") << 2 << u"tulvab.ini"_s;
        QTest::newRow("P") << 3 << u"tulvap.ini"_s;
        QTest::newRow("O") << 4 << u"tulvak.ini"_s;
        QTest::newRow("A") << 5 << u"tulvaa.ini"_s;
    }

    void profileCheckBoxes()
    {
        QFETCH(int, index);
        QFETCH(QString, defaultName);
        CatalIniName = u"tulvac.ini"_s;
        ReadIniName = u"tulvar.ini"_s;
        BooklIniName = u"tulvab.ini"_s;
        ComplIniName = u"tulvap.ini"_s;
        BookProvdIniName = u"tulvak.ini"_s;
        AdminIniName = u"tulvaa.ini"_s;

        TFormClientsEdit dialog;
        QCheckBox *box = dialog.checkBoxes()[index];
        QLineEdit *edit = dialog.edits()[index];
        QVERIFY(box->isChecked());
        QCOMPARE(box->focusPolicy(), Qt::ClickFocus);

        edit->setText(u"own.ini"_s);
        box->click();
        QVERIFY(!edit->isEnabled());
        QVERIFY(!dialog.editButtons()[index]->isEnabled());
        QVERIFY(dialog.openButtons()[index]->isEnabled());
        QCOMPARE(edit->text(), u"own.ini"_s);

        box->click();
        QVERIFY(edit->isEnabled());
        QVERIFY(dialog.editButtons()[index]->isEnabled());
        QCOMPARE(edit->text(), u"own.ini"_s);

        // Changed by code, as the accounts list does when preparing the dialog.
        box->setChecked(false);
        edit->clear();
        box->setChecked(true);
        QCOMPARE(edit->text(), defaultName);
        // Only this row's controls follow the box.
        for (int other = 0; other < TFormClientsEdit::WorkstationCount; ++other) {
            if (other != index)
                QVERIFY(dialog.edits()[other]->text().isEmpty());
        }
        QCOMPARE(dialog.OpenDialog.qtFilter(), u"Ini-файлы (*.ini);;Все файлы (*.*)"_s);
    }

    void profileKeyCycling_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("disabled");
        QTest::addColumn<int>("expected");
        QTest::newRow("down C to R") << 0 << int(Qt::Key_Down) << -1 << 1;
        QTest::newRow("down A to C") << 5 << int(Qt::Key_Down) << -1 << 0;
        QTest::newRow("up C to A") << 0 << int(Qt::Key_Up) << -1 << 5;
        QTest::newRow("up O to P") << 4 << int(Qt::Key_Up) << -1 << 3;
        QTest::newRow("down to disabled R stays") << 0 << int(Qt::Key_Down) << 1 << 0;
        QTest::newRow("up to disabled A stays") << 0 << int(Qt::Key_Up) << 5 << 0;
    }

    void profileKeyCycling()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, disabled);
        QFETCH(int, expected);

        TFormClientsEdit dialog;
        if (disabled >= 0)
            dialog.checkBoxes()[disabled]->setChecked(false);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.EditName);
        dialog.edits()[from]->setFocus();
        QTest::keyClick(dialog.edits()[from], Qt::Key(key));
        QCOMPARE(QApplication::focusWidget(), dialog.edits()[expected]);
    }

    void mfnListTitleRow()
    {
        TMFNListForm window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QHeaderView *header = window.MFNStringGrid->horizontalHeader();
        const QImage image = header->grab(QRect(0, 0, header->sectionSize(0), header->height())).toImage();
        QCOMPARE(image.pixelColor(image.width() - 3, image.height() - 2), QColor(128, 128, 128));
        bool white = false;
        for (int x = 0; x < image.width() && !white; ++x) {
            for (int y = 0; y < image.height() && !white; ++y)
                white = image.pixelColor(x, y) == QColor(Qt::white);
        }
        QVERIFY(white);
    }

    void databaseNameTitleFits()
    {
        // The database selection's name column is as wide as its title; both columns still fill
        // the dialog.
        const QString title = u"Имя базы данных"_s;
        MessageList[181] = title;
        TOpenDbForm open;
        TStringGrid *grid = open.DBStringGrid;
        QVERIFY(grid->colWidth(0) >= grid->fontMetrics().horizontalAdvance(title));
        QCOMPARE(grid->colWidth(0) + grid->colWidth(1), 85 + 332);
    }

    void clientSortMarker()
    {
        ClientSortColumn = 4;
        TFormCLient window;
        QCOMPARE(ClientSortColumn, 1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QHeaderView *header = window.StringGridCLients->horizontalHeader();
        QTRY_VERIFY(window.PanelImage->isVisible());
        // Inside the title of column 1, at its right end.
        const int left
            = header->mapTo(window.StringGridCLients, QPoint(header->sectionViewportPosition(1), 0)).x();
        const QRect marker = window.PanelImage->geometry();
        QVERIFY(marker.left() > left + header->sectionSize(1) / 2);
        QVERIFY(marker.right() < left + header->sectionSize(1));

        window.StringGridCLients->horizontalScrollBar()->setValue(3);
        QVERIFY(!window.PanelImage->isVisible());
        window.StringGridCLients->horizontalScrollBar()->setValue(0);
        QVERIFY(window.PanelImage->isVisible());
    }

    void largeWindowsFitTheScreen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("server monitor") << u"ServerMonitorForm"_s;
        QTest::newRow("jobs") << u"JobsForm"_s;
    }

    void largeWindowsFitTheScreen()
    {
        // Opened on a screen smaller than their first size (800 × 600 here; 1024 × 768 at 125 %
        // on a desktop), the windows shrink to it: the buttons and the close box stay reachable.
        QFETCH(QString, name);
        QWidget *window = nullptr;
        if (name == u"ServerMonitorForm")
            window = serverMonitorForm();
        else
            window = jobsForm();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QRect available = window->screen()->availableGeometry();
        QVERIFY2(available.contains(window->frameGeometry()),
            qPrintable(u"%1x%2 at %3,%4"_s.arg(window->frameGeometry().width())
                           .arg(window->frameGeometry().height())
                           .arg(window->frameGeometry().x())
                           .arg(window->frameGeometry().y())));
        window->hide();
        destroyServerMonitorForm();
        TearDownJobs();
    }

    void requestCounterPanel()
    {
        TFormRegClients window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.PanelNumRequests->isVisible());
        window.NumRequests->trigger();
        QVERIFY(window.NumRequests->isChecked());
        QVERIFY(window.PanelNumRequests->isVisible());
        window.NumRequestsClick();
        QVERIFY(!window.PanelNumRequests->isVisible());
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
