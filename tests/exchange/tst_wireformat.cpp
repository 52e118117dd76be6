#include "exchange/TextCodec.h"
#include "exchange/WireFormat.h"

#include <QStringDecoder>
#include <QStringEncoder>

using namespace Qt::Literals::StringLiterals;

#include <QTest>

// The bytes of the protocol, without sockets or windows.
class TestWireFormat : public QObject
{
    Q_OBJECT

private slots:
    void requestHeaderAndDirectFraming();
    void httpFraming();
    void httpFramingChoice_data();
    void httpFramingChoice();
    void retriedRequest_data();
    void retriedRequest();
    void cancelMessage_data();
    void cancelMessage();
    void splitLines_data();
    void splitLines();
    void splitLinesStaysLinear();
    void answerChecks_data();
    void answerChecks();
    void answerScannedInParts_data() { answerChecks_data(); }
    void answerScannedInParts();
    void gatewayAnswer();
    void decodeLineBreaks_data();
    void decodeLineBreaks();
    void numbers_data();
    void numbers();
    void codePageAsTheConverter_data();
    void codePageAsTheConverter();
};

namespace {

Wire::Identity identity()
{
    Wire::Identity id;
    id.workstation = "A";
    id.clientId = "123";
    id.sequence = "1";
    id.password = "pw";
    id.userName = "U";
    return id;
}

QByteArrayList toList(const QList<QByteArrayView> &views)
{
    QByteArrayList out;
    for (const QByteArrayView v : views)
        out.append(v.toByteArray());
    return out;
}

// Header of an answer to client 123, request 1, with the given line 4 and separator.
QByteArray answerHeader(const QByteArray &line4, const QByteArray &sep = "\r\n")
{
    QByteArray out = "0" + sep + "123" + sep + "1" + sep + line4 + sep;
    for (int i = 0; i < 6; ++i)
        out += sep;
    return out;
}

} // namespace

void TestWireFormat::requestHeaderAndDirectFraming()
{
    const QByteArray header = Wire::requestHeader(identity(), "N");
    QCOMPARE(header, QByteArray("A\nN\n123\n1\npw\nU\n\n\n\n"));
    // No arguments: three LF in a row after the user name line, all counted in L.
    QCOMPARE(Wire::frameDirect("N", header), QByteArray("20\nN\nA\nN\n123\n1\npw\nU\n\n\n\n"));

    Wire::Identity cyr = identity();
    cyr.userName = "\xC8\xC2\xC0\xCD\xCE\xC2"; // ИВАНОВ in Windows-1251: the length counts bytes
    const QByteArray text = Wire::requestHeader(cyr, "B") + cyr.userName;
    QCOMPARE(Wire::frameDirect("B", text), QByteArray::number(2 + text.size()) + "\nB\n" + text);
}

void TestWireFormat::httpFraming()
{
    const QByteArray header = Wire::requestHeader(identity(), "N");
    const QByteArray framed = Wire::frameHttp(Wire::kDefaultGatewayPath, "srv", "80", "N", header);
    QCOMPARE(framed,
        QByteArray("POST /cgi-bin/wwwtulva.exe HTTP/1.1\r\n"
                   "User-Agent: ZEMRO/Tulva64\r\n"
                   "Host: srv:80\r\n"
                   "Accept: *.*\r\n"
                   "Content-length: 39\r\n"
                   "\r\n"
                   "N\nA\nN\n123\n1\npw\nU\n\n\n\n\r\nTULVA_END_REQUEST"));
}

void TestWireFormat::httpFramingChoice_data()
{
    QTest::addColumn<QByteArray>("port");
    QTest::addColumn<bool>("gateway");
    QTest::addColumn<bool>("http");
    QTest::newRow("80") << QByteArray("80") << false << true;
    QTest::newRow("6666") << QByteArray("6666") << false << false;
    QTest::newRow("8080") << QByteArray("8080") << false << false;
    QTest::newRow("blank 80") << QByteArray(" 80") << false << false;
    QTest::newRow("080") << QByteArray("080") << false << false;
    QTest::newRow("gateway") << QByteArray("6666") << true << true;
}

void TestWireFormat::httpFramingChoice()
{
    QFETCH(QByteArray, port);
    QFETCH(bool, gateway);
    QFETCH(bool, http);
    QCOMPARE(Wire::usesHttpFraming(port, gateway), http);
}

void TestWireFormat::retriedRequest_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("sequence");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no arguments") << QByteArray("A\nN\n123\n1\npw\nU\n\n\n\n") << QByteArray("2")
                                  << QByteArray("A\r\nN\r\n123\r\n2\r\npw\r\nU\r\n\r\n\r\n1\r\n");
    QTest::newRow("arguments gain a final CR LF")
        << QByteArray("A\nF\n123\n7\npw\nU\n\n\n\nIBIS\n0") << QByteArray("8")
        << QByteArray("A\r\nF\r\n123\r\n8\r\npw\r\nU\r\n\r\n\r\n1\r\nIBIS\r\n0\r\n");
    QTest::newRow("retried twice, CR LF arguments")
        << QByteArray("A\r\n+7\r\n123\r\n2\r\npw\r\nU\r\n\r\n\r\n1\r\nl1\r\n*****\r\n") << QByteArray("10")
        << QByteArray("A\r\n+7\r\n123\r\n10\r\npw\r\nU\r\n\r\n\r\n1\r\nl1\r\n*****\r\n");
}

void TestWireFormat::retriedRequest()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, sequence);
    QFETCH(QByteArray, expected);
    QCOMPARE(Wire::retriedRequest(request, sequence), expected);
}

void TestWireFormat::cancelMessage_data()
{
    QTest::addColumn<bool>("laterPress");
    QTest::addColumn<QByteArray>("expected");
    // L counts "L\n" and the nine header lines (20 bytes), not the empty line and the flag.
    QTest::newRow("first press") << false << QByteArray("20\nL\nA\n4\n123\n1\npw\nU\n\n\n\n\n0");
    QTest::newRow("later press") << true << QByteArray("20\nL\nA\n4\n123\n1\npw\nU\n\n\n\n\n1");
}

void TestWireFormat::cancelMessage()
{
    QFETCH(bool, laterPress);
    QFETCH(QByteArray, expected);
    QCOMPARE(Wire::cancelMessage(identity(), "L", laterPress), expected);
}

void TestWireFormat::splitLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("one line") << QByteArray("a") << QByteArrayList{ "a" };
    QTest::newRow("final LF") << QByteArray("a\n") << QByteArrayList{ "a" };
    QTest::newRow("final CR LF") << QByteArray("a\r\n") << QByteArrayList{ "a" };
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QByteArrayList{ "a", "b" };
    QTest::newRow("CR then CR LF") << QByteArray("a\r\r\nb") << QByteArrayList{ "a", "", "b" };
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << QByteArrayList{ "a", "", "b" };
    QTest::newRow("empty lines") << QByteArray("\n\r\n\r") << QByteArrayList{ "", "", "" };
    QTest::newRow("zero byte ends the text") << QByteArray("a\nb\0c\nd", 7) << QByteArrayList{ "a", "b" };
    QTest::newRow("zero byte first") << QByteArray("\0a\n", 3) << QByteArrayList{};
    // Longer lines, read 16 bytes a step: breaks and the zero byte at and across step edges.
    const QByteArray a15(15, 'a'), b16(16, 'b'), c33(33, 'c');
    QTest::newRow("long lines") << a15 + "\r\n" + b16 + "\n" + c33 + "\r" + a15
                                << QByteArrayList{ a15, b16, c33, a15 };
    QTest::newRow("CR LF across a step edge") << a15 + "\r\n" + c33 + "\r\n\r\n"
                                              << QByteArrayList{ a15, c33, "" };
    QTest::newRow("zero byte after a long break")
        << b16 + "\r\n" + QByteArray("\0", 1) + c33 << QByteArrayList{ b16 };
    QTest::newRow("zero byte in a long line")
        << c33 + QByteArray("\0", 1) + "\n" + a15 << QByteArrayList{ c33 };
    QTest::newRow("zero byte between CR and LF")
        << b16 + QByteArray("\r\0\n", 3) + a15 << QByteArrayList{ b16 };
    QTest::newRow("Cyrillic") << QByteArray("\xCF\xF0\xE8\r\n\xE2\xE5\xF2")
                              << QByteArrayList{ "\xCF\xF0\xE8", "\xE2\xE5\xF2" };
}

void TestWireFormat::splitLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(toList(Wire::splitLines(text)), lines);
}

void TestWireFormat::splitLinesStaysLinear()
{
    // Lone CRs with one LF far away (and the reverse) made a naive splitter rescan the rest of
    // the text for every line; these would not finish then.
    QByteArray crs = QByteArray(4'000'000, '\r');
    crs.append("\nend");
    QCOMPARE(Wire::splitLines(crs).size(), 4'000'001);
    QByteArray lfs = QByteArray(4'000'000, '\n');
    lfs.prepend('\r');
    QCOMPARE(Wire::splitLines(lfs).size(), 4'000'000);
}

void TestWireFormat::answerChecks_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QByteArrayList>("body");
    QTest::addColumn<int>("binarySize");

    const int ok = int(Wire::Verdict::Accepted);
    const int length = int(Wire::Verdict::LengthMismatch);
    const int header = int(Wire::Verdict::HeaderMismatch);
    const int shortAnswer = int(Wire::Verdict::TooShort);

    // Header with line 4 emptied: 3 + 5 + 3 + 2 + 6 * 2 = 25 bytes; "X" CR LF makes 28.
    QTest::newRow("exact size") << answerHeader("28") + "X\r\n" << ok << QByteArrayList{ "X" } << 0;
    QTest::newRow("one short") << answerHeader("29") + "X\r\n" << length << QByteArrayList{} << 0;
    QTest::newRow("one over") << answerHeader("27") + "X\r\n" << length << QByteArrayList{} << 0;
    QTest::newRow("no final break counts as one")
        << answerHeader("28") + "X" << ok << QByteArrayList{ "X" } << 0;
    QTest::newRow("LF only") << answerHeader("28", "\n") + "X\n" << ok << QByteArrayList{ "X" } << 0;
    QTest::newRow("lone CR") << answerHeader("28", "\r") + "X\r" << ok << QByteArrayList{ "X" } << 0;
    QTest::newRow("zero byte ends the text")
        << answerHeader("28") + QByteArray("X\r\n\0Y\r\n", 7) << ok << QByteArrayList{ "X" } << 0;
    QTest::newRow("empty line 4: no length check") << answerHeader("") + "X\r\nY\r\n"
                                                   << ok << QByteArrayList{ "X", "Y" } << 0;
    QTest::newRow("line 4 not a number") << answerHeader("2x8") + "X\r\n" << length << QByteArrayList{} << 0;
    QTest::newRow("ten lines, nothing after") << answerHeader("25") << ok << QByteArrayList{} << 0;
    QTest::newRow("Cyrillic counts bytes") << answerHeader("33") + "\xCF\xF0\xE8\xE2\xE5\xF2\r\n"
                                           << ok << QByteArrayList{ "\xCF\xF0\xE8\xE2\xE5\xF2" } << 0;

    // Line 4 = 100 with 20 bytes after the marker: the text must be 100 - 20 - 17 = 63 bytes.
    const QByteArray binary("\x01\0\r\n"
                            "0123456789abcdef",
        20);
    QTest::newRow("binary part, B + 17")
        << answerHeader("100") + QByteArray(36, 'B') + "\r\n" + "TULVA_BINARY_DATA" + binary << ok
        << QByteArrayList{ QByteArray(36, 'B') } << 20;
    QTest::newRow("binary part, text one byte short")
        << answerHeader("100") + QByteArray(35, 'B') + "\r\n" + "TULVA_BINARY_DATA" + binary << length
        << QByteArrayList{} << 20;
    QTest::newRow("marker with nothing after it")
        << answerHeader("28") + "X\r\nTULVA_BINARY_DATA" << ok << QByteArrayList{ "X" } << 0;
    // Near misses before the marker: the search must not skip the real one.
    QTest::newRow("marker after its own beginnings")
        << answerHeader("100") + "TULVA_BINARY_DAT" + QByteArray(13, 'B') + "TTULVA_TULVA_BINARY_DATA"
            + binary
        << ok << QByteArrayList{ "TULVA_BINARY_DAT" + QByteArray(13, 'B') + "TTULVA_" } << 20;
    QTest::newRow("marker cut short at the end")
        << answerHeader("28") + "X\r\nTULVA_BINARY_DAT" << length << QByteArrayList{} << 0;
    QTest::newRow("marker after a zero byte is not looked at")
        << answerHeader("28") + QByteArray("X\r\n\0TULVA_BINARY_DATA12345", 26) << ok << QByteArrayList{ "X" }
        << 0;

    QTest::newRow("wrong sequence") << QByteArray("0\r\n123\r\n2\r\n\r\nX\r\n") << header << QByteArrayList{}
                                    << 0;
    QTest::newRow("wrong client id") << QByteArray("0\r\n124\r\n1\r\n\r\nX\r\n") << header << QByteArrayList{}
                                     << 0;
    QTest::newRow("id with a blank") << QByteArray("0\r\n123 \r\n1\r\n\r\n") << header << QByteArrayList{}
                                     << 0;
    QTest::newRow("three lines") << QByteArray("0\r\n123\r\n1\r\n") << shortAnswer << QByteArrayList{} << 0;
    QTest::newRow("nothing") << QByteArray() << shortAnswer << QByteArrayList{} << 0;
    QTest::newRow("CR LF and lone CR mixed")
        << answerHeader("36") + "X\rY\r\n\rZ" << ok << QByteArrayList{ "X", "Y", "", "Z" } << 0;
    QTest::newRow("marker right after a CR")
        << answerHeader("28") + "X\rTULVA_BINARY_DATA" << ok << QByteArrayList{ "X" } << 0;
    QTest::newRow("HTTP answer outside gateway mode")
        << "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n" + answerHeader("28") + "X\r\n"
        << header << QByteArrayList{} << 0;
}

void TestWireFormat::answerChecks()
{
    QFETCH(QByteArray, received);
    QFETCH(int, verdict);
    QFETCH(QByteArrayList, body);
    QFETCH(int, binarySize);

    const Wire::Answer a = Wire::processAnswer(received, { "123", "1", false });
    QCOMPARE(int(a.verdict), verdict);
    QCOMPARE(int(a.binary.size()), binarySize);
    if (a.verdict == Wire::Verdict::Accepted) {
        QCOMPARE(toList(a.lines.mid(Wire::kAnswerHeaderLines)), body);
        QVERIFY(a.lines.at(3).isEmpty());
    }
}

void TestWireFormat::answerScannedInParts()
{
    // Whatever pieces the bytes arrive in, the scanner finds what the whole answer gives.
    QFETCH(QByteArray, received);
    const Wire::AnswerCheck check{ "123", "1", false };
    const Wire::Answer whole = Wire::processAnswer(received, check);
    for (qsizetype step = 1; step <= received.size() + 1; step = step < 24 ? step + 1 : step * 2) {
        Wire::AnswerScanner scanner;
        QByteArray arrived;
        for (qsizetype at = 0; at < received.size(); at += step) {
            arrived += received.mid(at, step);
            scanner.advance(arrived);
            for (const Wire::AnswerScanner::Line &line : scanner.lines()) {
                const QByteArrayView bytes = QByteArrayView(arrived).sliced(line.offset, line.length);
                QVERIFY(!bytes.contains('\r') && !bytes.contains('\n'));
            }
        }
        arrived.detach();
        scanner.finish(arrived);
        const Wire::Answer a = Wire::processScanned(arrived, scanner, check);
        QCOMPARE(int(a.verdict), int(whole.verdict));
        QCOMPARE(a.text.size(), whole.text.size());
        QCOMPARE(a.binary.toByteArray(), whole.binary.toByteArray());
        QCOMPARE(toList(a.lines), toList(whole.lines));
        for (qsizetype i = 0; i < a.lines.size(); ++i) {
            if (a.lines.at(i).isEmpty())
                continue;
            QCOMPARE(
                a.lines.at(i).data() - arrived.constData(), whole.lines.at(i).data() - received.constData());
        }
    }
}

void TestWireFormat::gatewayAnswer()
{
    const QByteArray binary = "0123456789";
    // Line 4 = 25 (header) + 3 ("X") + 10 (binary) + 17 (marker).
    const QByteArray received = "HTTP/1.0\r\nContent-Type: text/plain\r\nTULVA_START_REQUEST\r\n"
        + answerHeader("55") + "X\r\nTULVA_BINARY_DATA" + binary + "TULVA_END_REQUEST";
    Wire::Answer a = Wire::processAnswer(received, { "123", "1", true });
    QCOMPARE(int(a.verdict), int(Wire::Verdict::Accepted));
    QCOMPARE(a.binary.toByteArray(), binary);
    QCOMPARE(toList(a.lines.mid(Wire::kAnswerHeaderLines)), QByteArrayList{ "X" });

    // Without a binary part the text is cut at the end marker.
    const QByteArray plain
        = "HTTP/1.0\r\nTULVA_START_REQUEST\r\n" + answerHeader("28") + "X\r\nTULVA_END_REQUEST";
    a = Wire::processAnswer(plain, { "123", "1", true });
    QCOMPARE(int(a.verdict), int(Wire::Verdict::Accepted));
    QCOMPARE(toList(a.lines.mid(Wire::kAnswerHeaderLines)), QByteArrayList{ "X" });

    QVERIFY(Wire::endsWithMarker("abcTULVA_END_REQUEST", Wire::kEndMarker));
    QVERIFY(!Wire::endsWithMarker("TULVA_END_REQUEST", Wire::kEndMarker)); // not strictly shorter
    QVERIFY(!Wire::endsWithMarker("TULVA_END_REQUEST\r\n", Wire::kEndMarker));
}

void TestWireFormat::decodeLineBreaks_data()
{
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("both") << QByteArray("a\x1F\x1E"
                                        "b\x1E")
                          << QByteArray("a\r\nb\n");
    QTest::newRow("others untouched") << QByteArray("\xCF\x1D\x1C") << QByteArray("\xCF\x1D\x1C");
    QTest::newRow("stops at zero") << QByteArray("\x1F\0\x1F", 3) << QByteArray("\r\0\x1F", 3);
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestWireFormat::decodeLineBreaks()
{
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    Wire::DecodeLineBreaks(in);
    QCOMPARE(in, out);
}

void TestWireFormat::numbers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<int>("port");
    QTest::newRow("0") << QByteArray("0") << QByteArray("1") << 0;
    QTest::newRow("41") << QByteArray("41") << QByteArray("42") << 41;
    QTest::newRow("empty") << QByteArray() << QByteArray("1") << 6666;
    QTest::newRow("not a number") << QByteArray("x") << QByteArray("1") << 6666;
    QTest::newRow("blank") << QByteArray(" 5") << QByteArray("1") << 6666;
    QTest::newRow("too large for a port") << QByteArray("70000") << QByteArray("70001") << 6666;
    QTest::newRow("negative") << QByteArray("-3") << QByteArray("-2") << 6666;
    QTest::newRow("overflow") << QByteArray("99999999999999999999") << QByteArray("1") << 6666;
}

void TestWireFormat::numbers()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, next);
    QFETCH(int, port);
    QCOMPARE(Wire::nextSequence(text), next);
    QCOMPARE(Wire::portNumber(text), port);
}

void TestWireFormat::codePageAsTheConverter_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray every;
    for (int b = 1; b <= 0xFF; ++b)
        every.append(char(b));
    QTest::newRow("every byte") << every;
    QTest::newRow("with a zero") << QByteArray("\xC0\0\xE0", 3);
    QTest::newRow("undefined byte") << QByteArray("\xC0\x98");
    QTest::newRow("latin") << QByteArray("tulva_reload.ini");
}

// The tables that spare the converter give what the converter gives.
void TestWireFormat::codePageAsTheConverter()
{
    QFETCH(QByteArray, bytes);
    QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    QCOMPARE(TextCodec::toText(bytes), text);
    QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
    for (const QString &t : { text, text + u"Ωж"_s, text + QChar(0) + u"\U0001F600"_s }) {
        const QByteArray expected = encoder.encode(t);
        QCOMPARE(TextCodec::toBytes(t), expected);
        QByteArray written(t.size(), '\xFF');
        written.truncate(TextCodec::appendBytes(written.data(), t) - written.constData());
        QCOMPARE(written, expected.left(t.size()));
    }
}

QTEST_APPLESS_MAIN(TestWireFormat)
#include "tst_wireformat.moc"
