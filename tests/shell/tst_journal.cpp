// The request journal window: opened with Ctrl+J from the main window, live, errors marked and
// filtered, exported without a password.
#include "ShellFixture.h"
#include "exchange/OpResult.h"
#include "exchange/RequestJournal.h"
#include "shell/GridFeatures.h"
#include "shell/GridText.h"
#include "shell/JournalForm.h"
#include "shell/StringGrid.h"

#include <QBrush>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

JournalEntry entry(const char *command, const QString &argument, int result = OpResult::Accepted,
    const QString &returnCode = u"0"_s)
{
    JournalEntry e;
    e.started = QDateTime::currentDateTime();
    e.command = command;
    e.argument = argument;
    e.result = result;
    e.returnCode = returnCode;
    e.answerSize = 120;
    e.durationMs = 3;
    return e;
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void opensWithCtrlJAndFollowsRequests();
    void errorsStandOutAndFilter();
    void exportHoldsNoPassword();
    void engineOperationsArrive();

private:
    ShellFixture f;
};

void TestJournal::opensWithCtrlJAndFollowsRequests()
{
    QVERIFY(requestJournal());
    QCOMPARE(WAMainForm->JournalItem->text(), u"Журнал запросов"_s);
    // It stands in the service menu and the profile does not switch it off.
    QCOMPARE(WAMainForm->ServiceItem->menu()->actions().contains(WAMainForm->JournalItem), true);
    QVERIFY(WAMainForm->JournalItem->isVisible());
    WAMainForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(WAMainForm));
    WAMainForm->activateWindow();
    QTRY_VERIFY(WAMainForm->isActiveWindow());
    QTest::keyClick(WAMainForm->windowHandle(), Qt::Key_J, Qt::ControlModifier);
    QTRY_VERIFY(journalForm() && journalForm()->isVisible());
    TJournalForm *form = journalForm();
    QCOMPARE(form->windowTitle(), u"Журнал запросов"_s);
    QCOMPARE(form->JournalGrid->cell(0, 0), u"Время"_s);

    // Requests arrive while it is open.
    requestJournal()->add(entry("0", u"IBIS"_s));
    requestJournal()->add(entry("+3", {}));
    QTRY_COMPARE(form->JournalGrid->rowCount(), 3);
    QCOMPARE(form->JournalGrid->cell(RequestJournal::Name, 2), u"GetProcessList"_s);
    QCOMPARE(form->CountLabel->text(), u"Запросов: 2"_s);

    // Esc closes it; Ctrl+J from the journal's own grid does not stop the main window's shortcut.
    QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!form->isVisible());
}

void TestJournal::errorsStandOutAndFilter()
{
    RequestJournal *journal = requestJournal();
    journal->add(entry("0", u"IBIS"_s));
    journal->add(entry("+3", {}, OpResult::Busy, {}));
    journal->add(entry("0", u"NOSUCH"_s, OpResult::Accepted, u"-140"_s));
    JournalEntry cancelled = entry("Y", u"IBIS"_s, OpResult::Failed, {});
    cancelled.cancelled = true;
    journal->add(cancelled);
    journal->add(entry("N", {}));

    TJournalForm *form = journalForm(); // opening shows what is waiting for the next batch
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    const QAbstractItemModel *shown = form->JournalGrid->filterModel();
    QCOMPARE(shown->rowCount(), 5);
    QVERIFY(!shown->index(0, 0).data(Qt::ForegroundRole).isValid());
    QCOMPARE(shown->index(2, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(160, 0, 0));

    // "только ошибки", clicked as the administrator does.
    QCheckBox *box = form->ErrorsOnlyCheck;
    QTest::mouseClick(
        form->windowHandle(), Qt::LeftButton, {}, box->mapTo(form, QPoint(8, box->height() / 2)));
    QTRY_VERIFY(box->isChecked());
    QCOMPARE(shown->rowCount(), 3);
    QCOMPARE(form->CountLabel->text(), u"Показано 3 из 5"_s);
    QCOMPARE(form->JournalGrid->cell(RequestJournal::Code,
                 form->JournalGrid->filterModel()->mapToSource(shown->index(2, 0)).row() + 1),
        u"Y"_s);
    // A new failure shows at once; a success does not.
    journal->add(entry("+1", {}, OpResult::Failed, {}));
    journal->add(entry("+1", {}));
    journal->flush();
    QCOMPARE(shown->rowCount(), 4);
    // The find line works here too, together with the error filter.
    form->JournalGrid->setFilterText(u"nosuch"_s);
    QCOMPARE(shown->rowCount(), 1);
    form->JournalGrid->closeFilter();
    box->click();
    QCOMPARE(shown->rowCount(), 7);
}

void TestJournal::exportHoldsNoPassword()
{
    RequestJournal *journal = requestJournal();
    journal->add(entry("A", u"ADMIN\nadmin-secret"_s, OpResult::Accepted, u"0"_s));
    journal->add(entry("+7", u"READER\r\nreader-secret\r\n\r\n*****\r\n"_s));
    TJournalForm *form = journalForm();
    form->show();
    const QString path = f.dir->filePath(u"journal.csv"_s);
    Dialogs::queueSaveFile(path, Dialogs::Encoding::Utf8Bom);
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {},
        form->ExportButton->mapTo(form, form->ExportButton->rect().center()));
    QTRY_VERIFY(QFile::exists(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.contains("ADMIN, *****"));
    QVERIFY(!bytes.contains("secret"));
    QVERIFY(!bytes.contains("READER"));
    // Nothing but that file was written: the journal keeps to memory.
    QCOMPARE(QDir(f.dir->path()).entryList({ u"*.log"_s, u"*journal*"_s }, QDir::Files),
        QStringList{ u"journal.csv"_s });
}

void TestJournal::engineOperationsArrive()
{
    // A login and a process list through the real engine; then a server that never answers,
    // given up by the administrator's cancel presses.
    f.answerLogin({ u"[MAIN]"_s });
    QStringList answer;
    QCOMPARE(WaitForm->RegisterClient(u"ADMIN"_s, u"topsecret"_s, u"A"_s, answer), OpResult::Accepted);
    f.answer({ u"-3"_s });
    QCOMPARE(WaitForm->GetProcessList(answer), OpResult::Accepted);
    RequestJournal *journal = requestJournal();
    journal->flush();
    QCOMPARE(journal->size(), 2);
    QCOMPARE(journal->index(0, RequestJournal::Code).data().toString(), u"A"_s);
    QCOMPARE(journal->index(0, RequestJournal::Argument).data().toString(), u"ADMIN, *****"_s);
    QCOMPARE(journal->index(0, RequestJournal::ReturnCode).data().toString(), u"0"_s);
    QVERIFY(journal->index(0, RequestJournal::AnswerSize).data().toString().toInt() > 0);
    QCOMPARE(journal->index(1, RequestJournal::Name).data().toString(), u"GetProcessList"_s);
    QCOMPARE(journal->index(1, RequestJournal::ReturnCode).data().toString(), u"-3"_s);
    QVERIFY(journal->isErrorRow(1));
    QVERIFY(!GridText::csv(*journal, GridText::Encoding::Utf8Bom).contains("topsecret"));
}

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
