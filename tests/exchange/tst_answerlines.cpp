// Answer lines kept as bytes read exactly as the list of texts they stand for.
#include "database/DatabaseInfo.h"
#include "exchange/AnswerLines.h"
#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"
#include "exchange/WireFormat.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestAnswerLines : public QObject
{
    Q_OBJECT
private slots:
    void readsLikeTheTextList();
    void linesOutsideTheBufferAreCopied();
    void mfnListsFromBytesMatchTheTextParser_data();
    void mfnListsFromBytesMatchTheTextParser();
};

namespace {
AnswerLines fromWire(const QByteArray &text)
{
    QByteArray buffer = text;
    const QList<QByteArrayView> lines = Wire::splitLines(buffer);
    AnswerLines answer;
    answer.assign(std::move(buffer), lines);
    return answer;
}
} // namespace

void TestAnswerLines::readsLikeTheTextList()
{
    const QByteArray wire = TextCodec::toBytes(u"0\r\nБаза\r\n\r\nпоследняя\r\n"_s);
    const AnswerLines a = fromWire(wire);
    const QStringList expected{ u"0"_s, u"База"_s, QString(), u"последняя"_s };
    QCOMPARE(a.size(), 4);
    QVERIFY(a == expected);
    QCOMPARE(a.first(), u"0"_s);
    QCOMPARE(a.last(), u"последняя"_s);
    QCOMPARE(a[1], u"База"_s);
    QCOMPARE(a.value(7, u"x"_s), u"x"_s);
    QCOMPARE(a.mid(1, 2), expected.mid(1, 2));
    QCOMPARE(a.mid(3), expected.mid(3));
    QCOMPARE(a.mid(9), QStringList());
    QVERIFY(a.contains(u"База"_s));
    QCOMPARE(a.indexOf(u"последняя"_s), 3);
    QStringList walked;
    for (const QString &line : a)
        walked.append(line);
    QCOMPARE(walked, expected);
    const QStringList &asList = a; // where a const QStringList & is expected
    QCOMPARE(asList, expected);
    QVERIFY(returnCodeOk(a));
    QCOMPARE(a.bytesAt(1), TextCodec::toBytes(u"База"_s));
    QVERIFY(a.bytesAt(9).isEmpty());

    AnswerLines b = a;
    b.removeAt(1);
    QVERIFY(b == (QStringList{ u"0"_s, QString(), u"последняя"_s }));
    QCOMPARE(a.size(), 4); // copies are independent
    b = QStringList{ u"-1"_s };
    QVERIFY(!returnCodeOk(b));
    QCOMPARE(b.bytesAt(0), QByteArray("-1"));
    b.clear();
    QVERIFY(b.isEmpty());
    QVERIFY(!returnCodeOk(b));
}

void TestAnswerLines::linesOutsideTheBufferAreCopied()
{
    const QByteArray elsewhere("-2222");
    AnswerLines a;
    a.assign(QByteArray("unrelated"), { QByteArrayView(elsewhere) });
    QCOMPARE(a.size(), 1);
    QCOMPARE(a.first(), u"-2222"_s);
}

void TestAnswerLines::mfnListsFromBytesMatchTheTextParser_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("encoded breaks") << QByteArray("1\x1F\x1E" "22\x1F\x1E" "333\x1F\x1E");
    QTest::newRow("real breaks") << QByteArray("5\r\n6\n7\r8");
    QTest::newRow("signs") << QByteArray("+4\x1F\x1E-5");
    QTest::newRow("largest") << QByteArray("2147483647\x1F\x1E-2147483648");
    QTest::newRow("too large") << QByteArray("1\x1F\x1E" "2147483648");
    QTest::newRow("letters") << QByteArray("1\x1F\x1E" "12a\x1F\x1E" "3");
    QTest::newRow("empty piece") << QByteArray("1\x1F\x1E\x1F\x1E" "2");
    QTest::newRow("lone sign") << QByteArray("7\x1F\x1E-");
    QTest::newRow("long digits") << QByteArray("000000000000012");
    QTest::newRow("cyrillic") << TextCodec::toBytes(u"1\x1F\x1EЖ"_s);
}

void TestAnswerLines::mfnListsFromBytesMatchTheTextParser()
{
    QFETCH(QByteArray, line);
    QList<qint32> fromText, fromBytes;
    QString badText, badBytes;
    const bool okText = parseMfnList(QStringView(TextCodec::toText(line)), &fromText, &badText);
    const bool okBytes = parseMfnList(QByteArrayView(line), &fromBytes, &badBytes);
    QCOMPARE(okBytes, okText);
    QCOMPARE(fromBytes, fromText);
    QCOMPARE(badBytes, badText);
}

QTEST_GUILESS_MAIN(TestAnswerLines)
#include "tst_answerlines.moc"
