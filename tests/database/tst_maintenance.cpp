// The maintenance commands of the main window against a scripted server: questions, messages,
// the requests sent, the watch of long jobs, the result log; the three record lists.
#include "../server/ProcessAnswers.h"
#include "../shell/ShellFixture.h"
#include "database/Maintenance.h"
#include "database/MfnListModel.h"
#include "database/Mfnlist.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "database/protocol.h"
#include "server/process.h"
#include "shell/Messages.h"
#include "shell/StringGrid.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QPlainTextEdit>
#include <QSignalSpy>
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

struct Shown
{
    QString caption;
    QString text;
    QList<QStringList> rows; // of the record list
};

} // namespace

class TestMaintenance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { f.tearDown(); }

    void clearAsksFirst();
    void clearAcceptedTellsAndReopens();
    void actualizeChecksFirst();
    void actualizeSendsAndReopens();
    void longJobNotStarted_data();
    void longJobNotStarted();
    void finishedJobShowsItsOwnLog();
    void finishedMasterJobIsAFailure();
    void watchedJobEndsWithItsProtocol();
    void protocolTextShowsAnyBytes();

    void deletedList();
    void deletedListWithOneListOnly();
    void unactualizedNotes();
    void lockedListAndEmptyMessages();
    void listAndLogWindowsCloseByKeyAndButton();
    void modelOverLargeLists();
    void gridReadsThroughAModel();

private:
    // Modal windows: the watch runs for real, the others are recorded.
    void recordModals();
    QList<Shown> m_shown;
    ShellFixture f;
    QString id() const { return WaitForm->clientId(); }
};

void TestMaintenance::init()
{
    f.setUp();
    m_shown.clear();
    OpenDbForm->DBStringGrid->setCell(0, 1, u"IBIS"_s);
    CurrentDbName = u"IBIS"_s;
    // The open step that follows a command: an empty, unlocked database.
    f.server->setDefaultScript({ ScriptedServer::reply({ "0", "", "", "", "", "1", "0" }) });
    LoadInvForm->Timer1->setInterval(5);
    recordModals();
}

void TestMaintenance::recordModals()
{
    Dialogs::setModalHandler([this](QDialog *dialog) {
        if (dialog == LoadInvForm)
            return dialog->exec();
        Shown s{ dialog->windowTitle(), {}, {} };
        if (dialog == FormProtocol)
            s.text = FormProtocol->MemoProtocol->toPlainText();
        if (dialog == MFNListForm) {
            TStringGrid *g = MFNListForm->MFNStringGrid;
            for (int r = 0; r < g->rowCount(); ++r)
                s.rows << QStringList{ g->cell(0, r), g->cell(1, r) };
        }
        m_shown << s;
        return int(QDialog::Rejected);
    });
}

void TestMaintenance::clearAsksFirst()
{
    Dialogs::queueAnswer(QMessageBox::No);
    WAMainForm->ClearDBItem->trigger();
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, Msg(454) + u" IBIS"_s);
    QCOMPARE(Dialogs::asked().first().caption, Msg(138));
    QCOMPARE(Dialogs::asked().first().defaultButton, QMessageBox::No);
    QCOMPARE(f.server->connectionCount(), 0);

    // Refused by the server: nothing more is shown and nothing re-read.
    f.server->setDefaultScript({ ScriptedServer::reply({ "-5" }) });
    Dialogs::queueAnswer(QMessageBox::Yes);
    WAMainForm->ClearDBItemClick();
    QCOMPARE(f.server->connectionCount(), 1);
    QCOMPARE(Dialogs::asked().size(), 2);
}

void TestMaintenance::clearAcceptedTellsAndReopens()
{
    f.answer({ u"0"_s });
    Dialogs::queueAnswer(QMessageBox::Yes);
    WAMainForm->ClearDBItemClick();
    QCOMPARE(f.server->request(0).command, "S");
    QCOMPARE(argumentsOf(f.server->request(0)), QList<QByteArray>{ "IBIS" });
    QCOMPARE(Dialogs::asked().size(), 2);
    QCOMPARE(Dialogs::asked().at(1).text, u"IBIS - "_s + Msg(456));
    QCOMPARE(f.server->request(1).command, "0");
}

void TestMaintenance::actualizeChecksFirst()
{
    WAMainForm->ActualIfItem->trigger();
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, Msg(428));

    UnactualizedMfns = { 5 };
    WAMainForm->StatisticGrid->setCell(1, 4, Msg(42));
    WAMainForm->ActualIfItemClick();
    QCOMPARE(Dialogs::asked().size(), 2);
    QCOMPARE(Dialogs::asked().at(1).text, Msg(429));
    QCOMPARE(f.server->connectionCount(), 0);
}

void TestMaintenance::actualizeSendsAndReopens()
{
    UnactualizedMfns = { 5 };
    WAMainForm->StatisticGrid->setCell(1, 4, u"Нет"_s);
    WAMainForm->ActualIfItemClick();
    QCOMPARE(f.server->request(0).command, "F");
    QCOMPARE(argumentsOf(f.server->request(0)), (QList<QByteArray>{ "IBIS", "0" }));
    QCOMPARE(f.server->request(1).command, "0");
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestMaintenance::longJobNotStarted_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("text");
    QTest::newRow("load") << 0 << QByteArray("Z") << u"Ошибка при запуске процесса создания словаря."_s;
    QTest::newRow("reorganize dictionary")
        << 1 << QByteArray("Y") << u"Ошибка при запуске процесса реорганизации словаря."_s;
    QTest::newRow("reorganize master")
        << 2 << QByteArray("X") << u"Ошибка при запуске процесса реорганизации файла документов."_s;
}

void TestMaintenance::longJobNotStarted()
{
    QFETCH(int, which);
    QFETCH(QByteArray, command);
    QFETCH(QString, text);
    f.answer({ u"-3"_s });
    QAction *items[] = { WAMainForm->LoadIfItem, WAMainForm->ReorgIfItem, WAMainForm->ReorgMfItem };
    items[which]->trigger();
    QCOMPARE(f.server->request(0).command, command);
    QCOMPARE(f.server->connectionCount(), 1);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, text);
    QCOMPARE(Dialogs::asked().first().caption, u"Внимание!"_s);
}

void TestMaintenance::finishedJobShowsItsOwnLog()
{
    f.answer({ u"0"_s, u"Начало"_s, u"Словарь загружен"_s });
    f.answer(processAnswer({ { u"2"_s, u"99"_s, u"TULVA_CREATE_DICT"_s } }));
    WAMainForm->LoadIfItemClick();
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.first().caption, u"Протокол поцесса - "_s + Msg(403));
    QCOMPARE(m_shown.first().text, u"Начало\nСловарь загружен"_s);
    // Neither the protocol file nor the statistics are read in this case.
    QCOMPARE(f.server->connectionCount(), 2);
}

void TestMaintenance::finishedMasterJobIsAFailure()
{
    f.answer({ u"0"_s, u"log"_s });
    f.answer(processAnswer({}));
    WAMainForm->ReorgMfItemClick();
    QVERIFY(m_shown.isEmpty());
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, u"Ошибка при запуске процесса реорганизации файла документов."_s);
}

void TestMaintenance::watchedJobEndsWithItsProtocol()
{
    f.answer({ u"0"_s, u"started"_s });
    f.answer(processAnswer(
        { { u"2"_s, u"99"_s, u"TULVA_RELOAD_DICT"_s }, { u"3"_s, id(), u"TULVA_RELOAD_DICT"_s } }));
    // First reload on tick 5 still lists it; the one on tick 10 no longer.
    f.answer(processAnswer({ { u"3"_s, id(), u"TULVA_RELOAD_DICT"_s } }));
    f.answer(processAnswer({}));
    f.server->addScript(
        { ScriptedServer::reply({ ShellFixture::resourceLine({ u"Протокол"_s, u"Готово"_s }) }) });
    WAMainForm->ReorgIfItem->trigger();
    QCOMPARE(LoadInvForm->windowTitle(), u"Реорганизация файла словаря"_s);
    QCOMPARE(LoadInvForm->result(), int(QDialog::Accepted));
    QCOMPARE(LoadInvForm->TickCounter, 10);
    QCOMPARE(f.server->request(4).command, "L");
    QCOMPARE(argumentsOf(f.server->request(4)), QList<QByteArray>{ "0.." + id().toLatin1() + ".ibf" });
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.first().caption, u"Протокол поцесса - "_s + Msg(408));
    QVERIFY2(m_shown.first().text.startsWith(u"Протокол\nГотово"_s), qPrintable(m_shown.first().text));
    // Reorganizing the dictionary ends without re-reading the statistics.
    QCOMPARE(f.server->connectionCount(), 5);
}

void TestMaintenance::protocolTextShowsAnyBytes()
{
    const QString longLine(100000, u'ж');
    QCOMPARE(protocolText({ u"a"_s + QChar(0) + u"b"_s, longLine, QString() }),
        u"a\u2400b\n"_s + longLine + u"\n"_s);
    QCOMPARE(protocolText({}), QString());
    showProtocol(u"caption"_s, protocolText({ u"Ошибка"_s + QChar(0) }));
    QCOMPARE(m_shown.last().text, u"Ошибка\u2400"_s);
    QCOMPARE(m_shown.last().caption, u"caption"_s);
}

void TestMaintenance::deletedList()
{
    DeletedMfns1 = { 30 };
    DeletedMfns2 = { 10, 20 };
    WAMainForm->DeletedListItem->trigger();
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.first().caption, Msg(469) + u" - IBIS"_s);
    QCOMPARE(m_shown.first().rows,
        (QList<QStringList>{
            { u"MFN"_s, Msg(478) }, { u"10"_s, Msg(479) }, { u"20"_s, Msg(479) }, { u"30"_s, Msg(480) } }));
    QVERIFY(Dialogs::asked().isEmpty());
}

void TestMaintenance::deletedListWithOneListOnly()
{
    DeletedMfns1 = { 7 };
    WAMainForm->DeletedListItemClick();
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown.first().rows.size(), 2);
    QCOMPARE(m_shown.first().rows.at(1), (QStringList{ u"7"_s, Msg(480) }));
}

void TestMaintenance::unactualizedNotes()
{
    UnactualizedMfns = { 9, 3, 5 };
    DeletedMfns1 = { 5, 1, 9 }; // not in order: looked up all the same
    WAMainForm->UnactualListItemClick();
    QCOMPARE(m_shown.first().caption, Msg(473) + u" - IBIS"_s);
    QCOMPARE(m_shown.first().rows,
        (QList<QStringList>{
            { u"MFN"_s, Msg(470) }, { u"9"_s, Msg(471) }, { u"3"_s, Msg(472) }, { u"5"_s, Msg(471) } }));
}

void TestMaintenance::lockedListAndEmptyMessages()
{
    WAMainForm->DeletedListItemClick();
    WAMainForm->UnactualListItemClick();
    WAMainForm->LockedListItemClick();
    QVERIFY(m_shown.isEmpty());
    QCOMPARE(Dialogs::asked().size(), 3);
    QCOMPARE(Dialogs::asked().at(0).text, Msg(442));
    QCOMPARE(Dialogs::asked().at(1).text, Msg(443));
    QCOMPARE(Dialogs::asked().at(2).text, Msg(844));
    QCOMPARE(Dialogs::asked().at(2).caption, Msg(138));

    // The header of column 1 is rewritten by every command.
    DeletedMfns2 = { 4 };
    WAMainForm->DeletedListItemClick();
    LockedMfns = { 12, 11 };
    WAMainForm->LockedListItem->trigger();
    QCOMPARE(m_shown.last().caption, Msg(843) + u" - IBIS"_s);
    QCOMPARE(m_shown.last().rows,
        (QList<QStringList>{ { u"MFN"_s, QString() }, { u"12"_s, QString() }, { u"11"_s, QString() } }));
}

void TestMaintenance::listAndLogWindowsCloseByKeyAndButton()
{
    // The windows run for real here; keys and clicks arrive as the window system delivers them.
    Dialogs::setModalHandler([](QDialog *dialog) { return dialog->exec(); });
    LockedMfns = { 3 };
    bool escaped = false;
    QTimer::singleShot(0, this, [&] {
        QTest::keyClick(MFNListForm->windowHandle(), Qt::Key_Escape);
        escaped = true;
    });
    WAMainForm->LockedListItemClick();
    QTRY_VERIFY(escaped);
    QVERIFY(!MFNListForm->isVisible());

    bool clicked = false;
    QTimer::singleShot(0, this, [&] {
        QPushButton *b = FormProtocol->ButtonEx;
        QTest::mouseClick(
            b->window()->windowHandle(), Qt::LeftButton, {}, b->mapTo(b->window(), b->rect().center()));
        clicked = true;
    });
    showProtocol(u"log"_s, u"text"_s);
    QTRY_VERIFY(clicked);
    QVERIFY(!FormProtocol->isVisible());
}

void TestMaintenance::modelOverLargeLists()
{
    MfnListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QList<qint32> unactualized(200000);
    QList<qint32> deleted(200000);
    for (int i = 0; i < 200000; ++i) {
        unactualized[i] = 2 * i + 1; // odd MFNs
        deleted[i] = 400000 - 3 * i; // every third, descending
    }
    model.showMarked(unactualized, deleted, u"yes"_s, u"no"_s);
    QCOMPARE(model.rowCount(), 200000);
    for (int row : { 0, 1, 2, 3, 4, 199999 }) {
        const qint32 mfn = unactualized.at(row);
        const bool isDeleted = mfn <= 400000 && (400000 - mfn) % 3 == 0;
        QCOMPARE(model.noteAt(row), isDeleted ? u"yes"_s : u"no"_s);
    }
    QCOMPARE(model.index(5, 0).data().toString(), u"11"_s);
    QCOMPARE(model.index(200000, 0).data(), QVariant());

    model.showParts({ { { 1, 2 }, u"a"_s }, { {}, u"b"_s }, { { 3 }, u"c"_s } });
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.noteAt(2), u"c"_s);
    QCOMPARE(model.mfnAt(2), 3);
    QCOMPARE(model.noteAt(3), QString());
    model.showParts({});
    QCOMPARE(model.rowCount(), 0);
}

void TestMaintenance::gridReadsThroughAModel()
{
    TStringGrid grid;
    MfnListModel model;
    model.setHeader(0, u"MFN"_s);
    model.showParts({ { { 5, 6, 7 }, u"n"_s } });
    grid.useModel(&model);
    QCOMPARE(grid.customModel(), &model);
    QCOMPARE(grid.rowCount(), 4);
    QCOMPARE(grid.colCount(), 2);
    QCOMPARE(grid.cell(0, 0), u"MFN"_s);
    QCOMPARE(grid.cell(0, 3), u"7"_s);
    QCOMPARE(grid.cell(1, 1), u"n"_s);
    QCOMPARE(grid.cell(2, 1), QString());
    QCOMPARE(grid.cell(0, 4), QString());

    QSignalSpy moved(&grid, &TStringGrid::currentCellChanged);
    grid.setRow(3);
    QCOMPARE(grid.row(), 3);
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.first().at(1).toInt(), 3);

    // After a reset the current row starts at the top again.
    model.showParts({ { { 8 }, QString() } });
    QCOMPARE(grid.rowCount(), 2);
    QCOMPARE(grid.row(), 1);

    // An empty model still has the title row and one empty row, like the grid's own cells.
    model.showParts({});
    QCOMPARE(grid.rowCount(), 2);
    QCOMPARE(grid.cell(0, 1), QString());

    // Back to its own cells.
    grid.useModel(nullptr);
    QCOMPARE(grid.customModel(), nullptr);
    grid.setCell(0, 1, u"own"_s);
    QCOMPARE(grid.cell(0, 1), u"own"_s);
}

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
