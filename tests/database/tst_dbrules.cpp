// Rules behind creating, deleting and unlocking: database names, the typed MFN, the picker's
// table of locked records.
#include "database/DbNames.h"
#include "database/LockRules.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestDbRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void databaseNames_data();
    void databaseNames();
    void listedNames();
    void descriptionStaysOneLine();
    void typedMfn_data();
    void typedMfn();
    void numberColumnWidth_data();
    void numberColumnWidth();
    void pickerModel();
    void pickerModelMarks();
    void pickerModelMillion();
};

void TestDbRules::databaseNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("reserved");
    QTest::newRow("rdr") << u"rdr"_s << true << true;
    QTest::newRow("Rdr") << u"Rdr"_s << true << true;
    QTest::newRow("RDR") << u"RDR"_s << true << true;
    QTest::newRow("first entry") << u"zelt"_s << true << true;
    QTest::newRow("last entry") << u"Image"_s << true << true;
    QTest::newRow("deposit") << u"deposit"_s << true << true;
    QTest::newRow("RDR2") << u"RDR2"_s << true << false;
    QTest::newRow("part of a reserved name") << u"RD"_s << true << false;
    QTest::newRow("_TMP") << u"_TMP"_s << true << false;
    QTest::newRow("a1") << u"a1"_s << true << false;
    QTest::newRow("underscore only") << u"_"_s << true << false;
    QTest::newRow("eight") << u"ABCDEFGH"_s << true << false;
    QTest::newRow("nine") << u"ABCDEFGHI"_s << false << false;
    QTest::newRow("empty") << QString() << false << false;
    QTest::newRow("digit first") << u"1ABC"_s << false << false;
    QTest::newRow("hyphen") << u"AB-C"_s << false << false;
    QTest::newRow("blank inside") << u"AB C"_s << false << false;
    QTest::newRow("trailing blank") << u"ABC "_s << false << false;
    QTest::newRow("Cyrillic") << u"БАЗА"_s << false << false;
    QTest::newRow("Cyrillic later") << u"Aб"_s << false << false;
    // Looks like RDR, but the first letter is Cyrillic: neither valid nor the reserved one.
    QTest::newRow("Cyrillic look-alike") << u"Рdr"_s << false << false;
    QTest::newRow("dotless i is no Latin i") << u"ırı"_s << false << false;
}

void TestDbRules::databaseNames()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QFETCH(bool, reserved);
    QCOMPARE(isValidDatabaseName(name), valid);
    QCOMPARE(isReservedDbName(name), reserved);
}

void TestDbRules::listedNames()
{
    const QStringList listed{ u"IBIS"_s, u"Rdr"_s, u"archiv"_s };
    QVERIFY(isDatabaseListed(u"ibis", listed));
    QVERIFY(isDatabaseListed(u"RDR", listed));
    QVERIFY(isDatabaseListed(u"Archiv", listed));
    QVERIFY(!isDatabaseListed(u"IBIS2", listed));
    QVERIFY(!isDatabaseListed(u"IBI", listed));
    QVERIFY(!isDatabaseListed(u"IBIS", {}));
}

void TestDbRules::descriptionStaysOneLine()
{
    QCOMPARE(oneLineDescription(u"Каталог 2024"_s), u"Каталог 2024"_s);
    QCOMPARE(oneLineDescription(u"a\nb\r\nc\td"_s), u"a b  c d"_s);
    QCOMPARE(oneLineDescription(u"x\x1F\x1Ey"_s), u"x  y"_s);
    QCOMPARE(oneLineDescription(QString()), QString());
}

void TestDbRules::typedMfn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("mfn");
    QTest::newRow("one") << u"1"_s << true << 1;
    QTest::newRow("zero") << u"0"_s << true << 0;
    QTest::newRow("largest") << u"2147483647"_s << true << 2147483647;
    QTest::newRow("one beyond") << u"2147483648"_s << false << 0;
    QTest::newRow("eleven nines") << u"99999999999"_s << false << 0;
    QTest::newRow("twenty-five digits") << u"1234567890123456789012345"_s << false << 0;
    QTest::newRow("leading zeros") << u"000000000000042"_s << true << 42;
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("sign") << u"-5"_s << false << 0;
    QTest::newRow("blank") << u" 5"_s << false << 0;
    QTest::newRow("Arabic-Indic digit") << u"\u0665"_s << false << 0;
}

void TestDbRules::typedMfn()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, mfn);
    qint32 value = -7;
    QCOMPARE(parseTypedMfn(text, &value), ok);
    QCOMPARE(value, ok ? mfn : -7);
}

void TestDbRules::numberColumnWidth_data()
{
    QTest::addColumn<int>("locked");
    QTest::addColumn<int>("width");
    QTest::newRow("1") << 1 << 16;
    QTest::newRow("8") << 8 << 16;
    QTest::newRow("9 (ten rows)") << 9 << 24;
    QTest::newRow("98") << 98 << 24;
    QTest::newRow("99") << 99 << 32;
    QTest::newRow("million") << 1000000 << 64;
}

void TestDbRules::numberColumnWidth()
{
    QFETCH(int, locked);
    QFETCH(int, width);
    QCOMPARE(lockedNumberColumnWidth(locked + 1), width);
}

void TestDbRules::pickerModel()
{
    LockedMfnsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), u"№"_s);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
    QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), u"MFN"_s);

    // Duplicates are kept in list order, as the server sent them.
    model.setMfns({ 17, 3, 2000000000, 3 });
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.data(model.index(0, 0), Qt::DisplayRole).toString(), u"1"_s);
    QCOMPARE(model.data(model.index(3, 0), Qt::DisplayRole).toString(), u"4"_s);
    QCOMPARE(model.data(model.index(2, 2), Qt::DisplayRole).toString(), u"2000000000"_s);
    QCOMPARE(model.data(model.index(1, 1), Qt::DisplayRole).toString(), QString());
    QVERIFY(!model.data(model.index(1, 2), Qt::EditRole).isValid());
    QVERIFY(!model.data(model.index(4, 2), Qt::DisplayRole).isValid());
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
}

void TestDbRules::pickerModelMarks()
{
    LockedMfnsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setMfns({ 10, 20, 30, 40 });
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.toggleMark(2);
    model.toggleMark(0);
    QCOMPARE(model.data(model.index(2, 1), Qt::DisplayRole).toString(), u"+"_s);
    QCOMPARE(model.markedCount(), 2);
    QCOMPARE(model.markedMfns(), (QList<qint32>{ 10, 30 }));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(2, 1));

    // A second toggle takes the mark away again; rows outside the list are ignored.
    model.toggleMark(2);
    model.toggleMark(-1);
    model.toggleMark(4);
    QCOMPARE(model.markedMfns(), (QList<qint32>{ 10 }));
    QCOMPARE(model.markedCount(), 1);

    model.markAll();
    QCOMPARE(model.markedMfns(), (QList<qint32>{ 10, 20, 30, 40 }));
    QCOMPARE(model.markedCount(), 4);

    // A new list starts without marks.
    model.setMfns({ 5 });
    QCOMPARE(model.markedCount(), 0);
    QCOMPARE(model.markedMfns(), QList<qint32>());
    model.setMfns({});
    model.markAll();
    QCOMPARE(model.markedMfns(), QList<qint32>());
}

void TestDbRules::pickerModelMillion()
{
    QList<qint32> mfns(1000000);
    for (int i = 0; i < mfns.size(); ++i)
        mfns[i] = 5000000 - i;
    LockedMfnsModel model;
    model.setMfns(mfns);
    QCOMPARE(model.rowCount(), 1000000);
    QCOMPARE(model.data(model.index(999999, 0), Qt::DisplayRole).toString(), u"1000000"_s);
    QCOMPARE(model.data(model.index(999999, 2), Qt::DisplayRole).toString(), u"4000001"_s);
    model.markAll();
    model.toggleMark(1);
    const QList<qint32> picked = model.markedMfns();
    QCOMPARE(picked.size(), 999999);
    QCOMPARE(picked.first(), 5000000);
    QCOMPARE(picked.at(1), 4999998);
    QCOMPARE(picked.last(), 4000001);
}

QTEST_GUILESS_MAIN(TestDbRules)
#include "tst_dbrules.moc"
