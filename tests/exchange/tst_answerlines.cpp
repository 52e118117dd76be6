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
    void splitLinesReadAlikeInAnyOrder_data();
    void splitLinesReadAlikeInAnyOrder();
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
    a.assignSplit(QByteArray("unrelated"), { QByteArrayView(elsewhere) });
    QCOMPARE(a.first(), u"-2222"_s);
    // Lines of the buffer that do not follow one another are kept as they are.
    QByteArray gaps("one\r\ntwo\r\nthree");
    const QByteArrayView view(gaps);
    a.assignSplit(std::move(gaps), { view.sliced(0, 3), view.sliced(10, 5) });
    QVERIFY(a == (QStringList{ u"one"_s, u"three"_s }));
}

void TestAnswerLines::splitLinesReadAlikeInAnyOrder_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("skip"); // lines dropped in front, as the answer header is

    QByteArray mixed;
    for (int i = 0; i < 300; ++i) {
        mixed += i % 7 == 0 ? QByteArray() : QByteArray::number(i * 37) + QByteArray(i % 5, 'x');
        mixed += i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r";
    }
    QTest::newRow("300 lines, every break, empty ones") << mixed << 10;
    QTest::newRow("empty last line") << QByteArray("a\r\nb\r\n\r\n") << 0;
    QTest::newRow("no final break") << QByteArray("a\r\n\n\rlast") << 1;
    QTest::newRow("CR LF as LF CR") << QByteArray("a\n\rb\n\r") << 0;
    QTest::newRow("one line") << QByteArray("only") << 0;
    QTest::newRow("binary after the text") << QByteArray("x\r\ny\rTULVA_BINARY_DATA\n\r\n") << 0;
}

void TestAnswerLines::splitLinesReadAlikeInAnyOrder()
{
    QFETCH(QByteArray, text);
    QFETCH(int, skip);
    QByteArray buffer = text;
    const qsizetype marker = buffer.indexOf("TULVA_BINARY_DATA");
    QList<QByteArrayView> lines
        = Wire::splitLines(QByteArrayView(buffer).first(marker < 0 ? buffer.size() : marker));
    lines.remove(0, qMin<qsizetype>(skip, lines.size()));
    QList<QByteArray> expected;
    for (const QByteArrayView line : std::as_const(lines))
        expected.append(line.toByteArray());

    AnswerLines a;
    a.assignSplit(std::move(buffer), lines);
    QCOMPARE(a.size(), expected.size());
    QVERIFY(a.byteSize() == text.size()); // the buffer itself, no copy
    // In order, backwards, and jumping about: the same lines.
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(a.bytesAt(i), expected.at(i));
    for (qsizetype i = expected.size() - 1; i >= 0; --i)
        QCOMPARE(a.at(i), TextCodec::toText(expected.at(i)));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const qsizetype j = (i * 97) % expected.size();
        QCOMPARE(a.bytesAt(j), expected.at(j));
    }
    QVERIFY(a.bytesAt(expected.size()).isEmpty());
    QCOMPARE(a.toStringList().size(), expected.size());
    // Removing a line turns it into a plain index; the rest reads on alike.
    if (expected.size() > 1) {
        AnswerLines b = a;
        b.removeAt(1);
        expected.removeAt(1);
        QCOMPARE(b.size(), expected.size());
        for (qsizetype i = expected.size() - 1; i >= 0; --i)
            QCOMPARE(b.bytesAt(i), expected.at(i));
    }
}

void TestAnswerLines::mfnListsFromBytesMatchTheTextParser_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("encoded breaks") << QByteArray("1\x1F\x1E"
                                                  "22\x1F\x1E"
                                                  "333\x1F\x1E");
    QTest::newRow("real breaks") << QByteArray("5\r\n6\n7\r8");
    QTest::newRow("signs") << QByteArray("+4\x1F\x1E-5");
    QTest::newRow("largest") << QByteArray("2147483647\x1F\x1E-2147483648");
    QTest::newRow("too large") << QByteArray("1\x1F\x1E"
                                             "2147483648");
    QTest::newRow("letters") << QByteArray("1\x1F\x1E"
                                           "12a\x1F\x1E"
                                           "3");
    QTest::newRow("empty piece") << QByteArray("1\x1F\x1E\x1F\x1E"
                                               "2");
    QTest::newRow("lone sign") << QByteArray("7\x1F\x1E-");
    QTest::newRow("long digits") << QByteArray("000000000000012");
    QTest::newRow("cyrillic") << TextCodec::toBytes(u"1\x1F\x1EЖ"_s);
    // Long lines: most pieces are read eight bytes at a time, so every width, every neighbour
    // of the digits and a fault at each position must give the same result as the text parser.
    QByteArray widths;
    for (int round = 0; round < 3; ++round) {
        for (int digits = 1; digits <= 10; ++digits)
            widths += QByteArray(digits, char('1' + digits % 9)) + (round == 1 ? "\r\n" : "\x1F\x1E");
    }
    widths += "99999999\n0000001\r42";
    QTest::newRow("every width") << widths;
    QTest::newRow("lone breaks, more pieces than LFs") << QByteArray("12345\r23456\r34567\r45678\r5\n6\r7");
    QTest::newRow("lone encoded breaks") << QByteArray("1234567\x1F"
                                                       "2345678\x1E"
                                                       "3456789\x1E\x1F"
                                                       "4\x1F\x1E"
                                                       "5");
    QTest::newRow("final break") << QByteArray("1234567\x1F\x1E"
                                               "7654321\x1F\x1E");
    const QByteArray tail("\x1F\x1E"
                          "12\x1F\x1E"
                          "123\x1F\x1E"
                          "1234\x1F\x1E"
                          "12345678\x1F\x1E"
                          "7");
    for (const char odd : { '/', ':', '\0', ' ', '\xB9', '\x1D', '-' }) {
        for (int at = 0; at < 8; ++at) {
            QByteArray piece("1234567");
            piece.insert(at, odd);
            QTest::addRow("byte %d at %d", int(uchar(odd)), at) << QByteArray("1\x1F\x1E" + piece + tail);
        }
    }
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
