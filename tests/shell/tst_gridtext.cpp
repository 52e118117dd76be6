// Text that leaves a grid (copy, CSV), the row filter, and the request journal: core only.
#include "exchange/OpResult.h"
#include "exchange/RequestJournal.h"
#include "shell/GridText.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A table with titles, as the grids hand it to the core.
std::unique_ptr<QStandardItemModel> table(const QStringList &titles, const QList<QStringList> &rows)
{
    auto model = std::make_unique<QStandardItemModel>(int(rows.size()), int(titles.size()));
    model->setHorizontalHeaderLabels(titles);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < titles.size(); ++c)
            model->setItem(r, c, new QStandardItem(rows.at(r).value(c)));
    return model;
}

JournalEntry entry(const char *command, const QString &argument, int result = OpResult::Accepted,
    const QString &returnCode = u"0"_s)
{
    JournalEntry e;
    e.started = QDateTime(QDate(2026, 12, 8), QTime(12, 0, 1, 250));
    e.command = command;
    e.argument = argument;
    e.result = result;
    e.returnCode = returnCode;
    e.answerSize = 42;
    e.durationMs = 7;
    return e;
}

} // namespace

class TestGridText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void csvBytes();
    void csvWindows1251();
    void csvFailedDevice();
    void csvFormulasNeutralised_data();
    void csvFormulasNeutralised();
    void tabSeparatedText();
    void filterIgnoresCaseWithCyrillic_data();
    void filterIgnoresCaseWithCyrillic();
    void filterModelFollowsItsSource();
    void journalKeepsTheNewest();
    void journalShowsInBatches();
    void journalNeverHoldsAPassword();
    void journalErrors();
};

void TestGridText::csvBytes()
{
    const auto model = table({ u"№"_s, u"Имя"_s, u"Примечание"_s },
        { { u"1"_s, u"ИВАНОВ"_s, u"a,b"_s }, { u"2"_s, u"say \"hi\""_s, u"two\r\nlines"_s },
            { u"3"_s, QString(), u" lead"_s } });
    const QByteArray bytes = GridText::csv(*model, GridText::Encoding::Utf8Bom);
    const QByteArray expected
        = "\xEF\xBB\xBF"
          "\xE2\x84\x96,\xD0\x98\xD0\xBC\xD1\x8F,\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x87"
          "\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB5\r\n"
          "1,\xD0\x98\xD0\x92\xD0\x90\xD0\x9D\xD0\x9E\xD0\x92,\"a,b\"\r\n"
          "2,\"say \"\"hi\"\"\",\"two\r\nlines\"\r\n"
          "3,, lead\r\n";
    QCOMPARE(bytes, expected);

    // A grid whose hook masks a column exports the mask, the title row included as shown.
    const QByteArray masked = GridText::csv(*model, GridText::Encoding::Utf8Bom,
        [](int col, int row, const QString &shown) { return col == 2 && row >= 0 ? u"*****"_s : shown; });
    QVERIFY(!masked.contains("lines"));
    QCOMPARE(masked.count("*****"), 3);
}

void TestGridText::csvWindows1251()
{
    const auto model
        = table({ u"MFN"_s, u"Отметка"_s }, { { u"5"_s, u"удалена ё"_s }, { u"6"_s, u"€ ✓"_s } });
    const QByteArray bytes = GridText::csv(*model, GridText::Encoding::Windows1251);
    // No byte-order mark; Cyrillic as single bytes; the euro exists in 1251, the check mark not.
    QCOMPARE(bytes,
        QByteArray("MFN,\xCE\xF2\xEC\xE5\xF2\xEA\xE0\r\n"
                   "5,\xF3\xE4\xE0\xEB\xE5\xED\xE0 \xB8\r\n"
                   "6,\x88 ?\r\n"));
}

void TestGridText::csvFailedDevice()
{
    const auto model = table({ u"a"_s }, { { u"1"_s } });
    QBuffer closed; // never opened: every write fails
    QString error;
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): device not open");
    QVERIFY(!GridText::writeCsv(closed, *model, GridText::Encoding::Utf8Bom, {}, &error));
    QVERIFY(!error.isEmpty());
}

void TestGridText::csvFormulasNeutralised_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("field");
    QTest::newRow("formula") << u"=HYPERLINK(\"x\")"_s << u"\"'=HYPERLINK(\"\"x\"\")\""_s;
    QTest::newRow("plus") << u"+cmd|' /C calc'!A0"_s << u"'+cmd|' /C calc'!A0"_s;
    QTest::newRow("minus") << u"-2+3"_s << u"'-2+3"_s;
    QTest::newRow("at") << u"@SUM(A1)"_s << u"'@SUM(A1)"_s;
    QTest::newRow("tab") << u"\tx"_s << u"'\tx"_s;
    QTest::newRow("carriage return") << u"\rx"_s << u"\"'\rx\""_s;
    QTest::newRow("minus alone") << u"-"_s << u"'-"_s;
    QTest::newRow("return code stays a number") << u"-1112"_s << u"-1112"_s;
    QTest::newRow("signed fraction stays a number") << u"+3.5"_s << u"+3.5"_s;
    QTest::newRow("fraction with a comma stays a number") << u"-1,5"_s << u"\"-1,5\""_s;
    QTest::newRow("sign inside") << u"a=b"_s << u"a=b"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestGridText::csvFormulasNeutralised()
{
    QFETCH(QString, cell);
    QFETCH(QString, field);
    QCOMPARE(GridText::csvField(cell), field);
    const auto model = table({ u"=title"_s }, { { cell } });
    QCOMPARE(GridText::csv(*model, GridText::Encoding::Utf8Bom),
        "\xEF\xBB\xBF'=title\r\n" + field.toUtf8() + "\r\n");
}

void TestGridText::tabSeparatedText()
{
    QCOMPARE(GridText::tabSeparated(
                 { { u"1"_s, u"Сервер ТУЛВА"_s, QString() }, { u"2"_s, u"a\tb"_s, u"x\r\ny"_s } }),
        u"1\tСервер ТУЛВА\t\n2\ta b\tx  y\n"_s);
    QCOMPARE(GridText::tabSeparated({}), QString());
}

void TestGridText::filterIgnoresCaseWithCyrillic_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QStringList>("rows"); // the first cells of the rows that stay
    QTest::newRow("empty keeps all") << QString() << QStringList{ u"1"_s, u"2"_s, u"3"_s };
    QTest::newRow("cyrillic other case") << u"активн"_s << QStringList{ u"1"_s, u"3"_s };
    QTest::newRow("cyrillic upper") << u"ОЖИДАНИЕ"_s << QStringList{ u"2"_s };
    QTest::newRow("yo") << u"ЁЛКА"_s << QStringList{ u"3"_s };
    QTest::newRow("latin") << u"tulva_reload"_s << QStringList{ u"1"_s };
    QTest::newRow("any column") << u"2"_s << QStringList{ u"2"_s };
    QTest::newRow("nothing") << u"нет такого"_s << QStringList{};
}

void TestGridText::filterIgnoresCaseWithCyrillic()
{
    QFETCH(QString, needle);
    QFETCH(QStringList, rows);
    const auto model = table({ u"№"_s, u"Команда"_s, u"Состояние"_s },
        { { u"1"_s, u"TULVA_RELOAD_DICT"_s, u"Активный"_s }, { u"2"_s, u"TULVA_DB_NEW"_s, u"Ожидание"_s },
            { u"3"_s, u"ёлка"_s, u"АКТИВНЫЙ"_s } });
    GridFilterModel filter;
    QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
    filter.setSourceModel(model.get());
    filter.setFilterText(needle);
    QStringList kept;
    for (int r = 0; r < filter.rowCount(); ++r)
        kept.append(filter.index(r, 0).data().toString());
    QCOMPARE(kept, rows);
}

void TestGridText::filterModelFollowsItsSource()
{
    const auto model = table({ u"a"_s, u"b"_s }, { { u"x"_s, u"один"_s }, { u"y"_s, u"два"_s } });
    GridFilterModel filter;
    QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
    filter.setSourceModel(model.get());
    filter.setFilterText(u"ОДИН"_s);
    QCOMPARE(filter.rowCount(), 1);
    // A changed cell is judged again; a new row too.
    model->item(1, 1)->setText(u"один и два"_s);
    QCOMPARE(filter.rowCount(), 2);
    model->appendRow({ new QStandardItem(u"z"_s), new QStandardItem(u"три"_s) });
    QCOMPARE(filter.rowCount(), 2);
    model->appendRow({ new QStandardItem(u"w"_s), new QStandardItem(u"Один"_s) });
    QCOMPARE(filter.rowCount(), 3);
    // The extra row test narrows further; the text matches what the hook says a cell gives away.
    filter.setRowTest([](int row) { return row != 0; });
    QCOMPARE(filter.rowCount(), 2);
    filter.setRowTest({});
    filter.setCellTextHook([](int col, int, const QString &shown) { return col == 1 ? u"*****"_s : shown; });
    filter.setFilterText(u"*"_s);
    QCOMPARE(filter.rowCount(), 4);
    filter.setFilterText(u"один"_s);
    QCOMPARE(filter.rowCount(), 0);
    // Rows inserted and removed above and among the rows shown leave the others in their order.
    filter.setCellTextHook({});
    filter.setFilterText(u"ОДИН"_s);
    model->insertRow(0, { new QStandardItem(u"v"_s), new QStandardItem(u"один"_s) });
    model->removeRows(1, 2);
    QCOMPARE(filter.rowCount(), 2);
    QCOMPARE(filter.index(1, 0).data().toString(), u"w"_s);
    QCOMPARE(filter.mapToSource(filter.index(1, 0)).row(), 2);
    model->insertRows(0, 2);
    QCOMPARE(filter.rowCount(), 2);
    QCOMPARE(filter.mapToSource(filter.index(1, 0)).row(), 4);
}

void TestGridText::journalKeepsTheNewest()
{
    RequestJournal journal;
    journal.setBatchInterval(0);
    QAbstractItemModelTester tester(&journal, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(journal.capacity(), 10000);
    journal.setCapacity(3);
    for (int i = 0; i < 5; ++i)
        journal.add(entry("0", u"IBIS"_s + QString::number(i)));
    QCOMPARE(journal.rowCount(), 3);
    QCOMPARE(journal.index(0, RequestJournal::Argument).data().toString(), u"IBIS2"_s);
    QCOMPARE(journal.index(2, RequestJournal::Argument).data().toString(), u"IBIS4"_s);
    QCOMPARE(journal.index(2, RequestJournal::Time).data().toString(), u"12:00:01.250"_s);
    QCOMPARE(journal.index(2, RequestJournal::Code).data().toString(), u"0"_s);
    QCOMPARE(journal.index(2, RequestJournal::Name).data().toString(), u"GetDatabaseInfo"_s);
    QCOMPARE(journal.index(2, RequestJournal::Result).data().toString(), u"принят"_s);
    QCOMPARE(journal.index(2, RequestJournal::AnswerSize).data().toString(), u"42"_s);
    journal.setCapacity(2);
    QCOMPARE(journal.rowCount(), 2);
    journal.clear();
    QCOMPARE(journal.rowCount(), 0);
    QCOMPARE(RequestJournal::commandName("+3"), u"GetProcessList"_s);
    QCOMPARE(RequestJournal::commandName("?"), QString());
}

void TestGridText::journalShowsInBatches()
{
    RequestJournal journal;
    QAbstractItemModelTester tester(&journal, QAbstractItemModelTester::FailureReportingMode::QtTest);
    journal.setCapacity(4);
    QSignalSpy inserted(&journal, &QAbstractItemModel::rowsInserted);
    journal.add(entry("N", {}));
    journal.add(entry("N", {}));
    QCOMPARE(journal.rowCount(), 0);
    QCOMPARE(journal.pendingCount(), 2);
    QTRY_COMPARE(journal.rowCount(), 2); // the batch timer shows them, in one insertion
    QCOMPARE(inserted.size(), 1);
    // A batch larger than the room left pushes the oldest out, never more than the capacity.
    for (int i = 0; i < 7; ++i)
        journal.add(entry("0", QString::number(i)));
    QCOMPARE(journal.pendingCount(), 4);
    journal.flush();
    QCOMPARE(journal.rowCount(), 4);
    QCOMPARE(journal.index(0, RequestJournal::Argument).data().toString(), u"3"_s);
    QCOMPARE(journal.index(3, RequestJournal::Argument).data().toString(), u"6"_s);
    journal.add(entry("1", {}));
    journal.flush();
    QCOMPARE(journal.index(0, RequestJournal::Argument).data().toString(), u"4"_s);
    QCOMPARE(journal.index(3, RequestJournal::Code).data().toString(), u"1"_s);
}

void TestGridText::journalNeverHoldsAPassword()
{
    RequestJournal journal;
    journal.setBatchInterval(0);
    // However much of the login's body reaches the journal, the password stays out.
    journal.add(entry("A", u"ADMIN\nsecret1"_s));
    journal.add(entry("A", u"ADMIN\rsecret2"_s));
    journal.add(entry("A", u"ADMIN"_s));
    // The client list text carries every account's password from its second line.
    journal.add(entry("+7", u"READER\r\nsecret3\r\nC=a.ini; \r\n*****\r\n"_s));
    journal.add(entry("Q", u"IBIS\n5\n6"_s));
    QCOMPARE(journal.index(0, RequestJournal::Argument).data().toString(), u"ADMIN, *****"_s);
    QCOMPARE(journal.index(2, RequestJournal::Argument).data().toString(), u"ADMIN, *****"_s);
    QCOMPARE(journal.index(3, RequestJournal::Argument).data().toString(), u"*****"_s);
    QCOMPARE(journal.index(4, RequestJournal::Argument).data().toString(), u"IBIS"_s);
    const QByteArray exported = GridText::csv(journal, GridText::Encoding::Utf8Bom);
    for (const char *secret : { "secret", "READER" })
        QVERIFY2(!exported.contains(secret), secret);
    QVERIFY(exported.contains("ADMIN, *****"));
}

void TestGridText::journalErrors()
{
    RequestJournal journal;
    journal.setBatchInterval(0);
    journal.add(entry("+3", {}));
    journal.add(entry("+3", {}, OpResult::Failed, {}));
    journal.add(entry("+3", {}, OpResult::Busy, {}));
    journal.add(entry("0", u"NOSUCH"_s, OpResult::Accepted, u"-140"_s));
    JournalEntry cancelled = entry("Y", u"IBIS"_s, OpResult::Failed, {});
    cancelled.cancelled = true;
    cancelled.retries = 2;
    journal.add(cancelled);
    journal.add(entry("L", u"1..dbnam1.mnu"_s, OpResult::Accepted, u"IBIS"_s)); // no return code line
    QList<bool> errors;
    for (int r = 0; r < journal.size(); ++r)
        errors.append(journal.index(r, 0).data(RequestJournal::ErrorRole).toBool());
    QCOMPARE(errors, (QList<bool>{ false, true, true, true, true, false }));
    QCOMPARE(journal.index(2, RequestJournal::Result).data().toString(), u"занят"_s);
    QCOMPARE(journal.index(4, RequestJournal::Cancelled).data().toString(), u"да"_s);
    QCOMPARE(journal.index(4, RequestJournal::Retries).data().toString(), u"2"_s);
    QCOMPARE(journal.index(0, RequestJournal::Cancelled).data().toString(), QString());
}

QTEST_GUILESS_MAIN(TestGridText)
#include "tst_gridtext.moc"
