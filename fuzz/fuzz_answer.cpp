// Feeds arbitrary received bytes through the answer processing, the line splitter, the
// line-break decoding and the retried-request rewrite, and checks what must always hold.
#include "database/DatabaseInfo.h"
#include "exchange/AnswerLines.h"
#include "exchange/TextCodec.h"
#include "exchange/WireFormat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool inside(QByteArrayView part, QByteArrayView whole)
{
    if (part.isEmpty())
        return true;
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte picks the mode and the header values to expect.
    if (size == 0)
        return 0;
    const bool gateway = data[0] & 1;
    const QByteArray received(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    for (const QByteArrayView id : { QByteArrayView("123"), QByteArrayView("") }) {
        const Wire::Answer a = Wire::processAnswer(received, { id, "1", gateway });
        check(inside(a.text, received));
        check(inside(a.binary, received));
        check(!a.text.contains('\0'));
        for (const QByteArrayView line : a.lines) {
            check(inside(line, received));
            check(!line.contains('\r') && !line.contains('\n') && !line.contains('\0'));
        }
        if (a.verdict == Wire::Verdict::Accepted) {
            check(a.lines.size() >= 4);
            check(a.lines.at(1) == id && a.lines.at(2) == QByteArrayView("1"));
            check(a.lines.at(3).isEmpty());
        }
        if (a.verdict == Wire::Verdict::TooShort)
            check(a.lines.size() < 4);
    }

    // Scanned as it arrives, in pieces the input picks, the answer reads as the whole of it.
    {
        const Wire::AnswerCheck plain{ "123", "1", false };
        const Wire::Answer whole = Wire::processAnswer(received, plain);
        Wire::AnswerScanner scanner;
        QByteArray arrived;
        const qsizetype step = 1 + data[0] / 2;
        for (qsizetype at = 0; at < received.size(); at += step) {
            arrived += received.mid(at, step);
            scanner.advance(arrived);
        }
        arrived.detach();
        scanner.finish(arrived);
        const Wire::Answer scanned = Wire::processScanned(arrived, scanner, plain);
        check(scanned.verdict == whole.verdict && scanned.text.size() == whole.text.size());
        check(scanned.binary == whole.binary && scanned.lines.size() == whole.lines.size());
        for (qsizetype i = 0; i < whole.lines.size(); ++i)
            check(scanned.lines.at(i) == whole.lines.at(i));

        // MFN lists parsed in the same pieces agree with the whole line.
        MfnListStream stream;
        stream.restart();
        for (qsizetype at = step; at < received.size(); at += step)
            stream.lineGrows(Wire::kAnswerHeaderLines + 1, 0, QByteArrayView(received).first(at), false);
        stream.lineGrows(Wire::kAnswerHeaderLines + 1, 0, received, true);
        QList<qint32> parts, inOne;
        const bool partsOk = stream.take(1, 0, received.size(), &parts);
        const bool wholeOk = parseMfnList(QByteArrayView(received), &inOne, nullptr);
        check(partsOk == wholeOk);
        if (partsOk) {
            check(parts.size() == inOne.size());
            for (qsizetype i = 0; i < parts.size(); ++i)
                check(parts.at(i) == inOne.at(i));
        }
    }

    // Splitting and joining agree on the length.
    const QList<QByteArrayView> lines = Wire::splitLines(received);
    qsizetype joined = 0;
    for (const QByteArrayView line : lines)
        joined += line.size() + 2;
    check(joined == Wire::joinedLength(lines));

    QByteArray decoded = received;
    Wire::DecodeLineBreaks(decoded);
    check(decoded.size() == received.size());

    const QByteArray retried = Wire::retriedRequest(received, "7");
    const QList<QByteArrayView> again = Wire::splitLines(retried);
    check(again.size() >= 9);
    check(again.at(3) == QByteArrayView("7") && again.at(8) == QByteArrayView("1"));
    check(retried.endsWith("\r\n"));

    // The answer kept as bytes reads exactly as the decoded lines.
    {
        QByteArray buffer = received;
        const QList<QByteArrayView> inBuffer = Wire::splitLines(buffer);
        AnswerLines kept;
        kept.assign(std::move(buffer), inBuffer);
        check(kept.size() == lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            check(kept.bytesAt(i) == lines.at(i));
            check(kept.at(i) == TextCodec::toText(lines.at(i)));
        }
    }

    // MFN lists: the parser on bytes agrees with the parser on text.
    {
        QList<qint32> fromBytes, fromText;
        QString badBytes, badText;
        const bool okBytes = parseMfnList(QByteArrayView(received), &fromBytes, &badBytes);
        const bool okText = parseMfnList(QStringView(TextCodec::toText(received)), &fromText, &badText);
        check(okBytes == okText && badBytes == badText && fromBytes.size() == fromText.size());
        // Element by element: QList's own comparison hands memcmp a null pointer for an empty list.
        for (qsizetype i = 0; i < fromBytes.size(); ++i)
            check(fromBytes.at(i) == fromText.at(i));
    }

    (void)Wire::toInteger(received);
    (void)Wire::portNumber(received);
    (void)Wire::nextSequence(received);
    return 0;
}
