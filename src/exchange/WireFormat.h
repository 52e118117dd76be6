#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringView>

// The bytes on the wire: request header and framing, retried requests, the cancel message and the
// checks applied to an answer. Everything here works on Windows-1251 bytes; nothing needs a window.
namespace Wire {

inline constexpr QByteArrayView kBinaryMarker{ "TULVA_BINARY_DATA" };
inline constexpr QByteArrayView kEndMarker{ "TULVA_END_REQUEST" };
inline constexpr QByteArrayView kStartMarker{ "TULVA_START_REQUEST" };
inline constexpr QByteArrayView kHttpStatusLine{ "HTTP/1.0" };
inline constexpr QByteArrayView kDefaultGatewayPath{ "/cgi-bin/wwwtulva.exe" };
// The length of the marker that closes the binary part; the server counts it in line 4.
inline constexpr qsizetype kMarkerLength = 17;
// Reads and buffer steps of the receiving side.
inline constexpr qsizetype kReadChunk = 32000;
inline constexpr int kDefaultPort = 6666;

// The identity that goes into every request header.
struct Identity
{
    QByteArray workstation;
    QByteArray clientId;
    QByteArray sequence = QByteArrayLiteral("0");
    QByteArray password;
    QByteArray userName;
};

// True when the text holds the binary marker. The server keeps such a text as it is given, but
// every answer that carries it back is cut at the marker: a stored text must never hold it.
bool holdsBinaryMarker(QStringView text);

// Decimal integer with an optional sign; ok is false for anything else (blanks, overflow).
qint64 toInteger(QByteArrayView text, bool *ok = nullptr);
// The sequence number after the given one (a text that is not a number counts as 0).
QByteArray nextSequence(QByteArrayView sequence);
// Server port as a number; 6666 when the text is not a port number.
int portNumber(QByteArrayView portText);

// The nine header lines, each ended by LF; line 9 is empty (a first attempt).
QByteArray requestHeader(const Identity &id, QByteArrayView command);

// Direct framing: the length of everything after the first LF, LF, the command code, LF, the text.
QByteArray frameDirect(QByteArrayView command, QByteArrayView requestText);
// HTTP POST envelope; the body is the command code, LF, the text, CR LF and the end marker.
QByteArray frameHttp(QByteArrayView gatewayPath, QByteArrayView host, QByteArrayView portText,
    QByteArrayView command, QByteArrayView requestText);
// Port "80" (exactly) and gateway mode go through the HTTP envelope.
bool usesHttpFraming(QByteArrayView portText, bool gatewayMode);

// The previous request text with line 4 replaced by the new sequence number, line 9 by "1",
// and CR LF after every line, the last one included.
QByteArray retriedRequest(QByteArrayView requestText, QByteArrayView sequence);

// The cancel message for the outstanding request. The length line counts the command code line
// and the nine header lines only; the empty line and the flag follow uncounted.
QByteArray cancelMessage(const Identity &id, QByteArrayView command, bool laterPress);

// Bytes 0x1F and 0x1E back to CR and LF, in place, up to the first zero byte.
void DecodeLineBreaks(QByteArray &bytes);
void decodeLineBreaks(char *data, qsizetype size);

// True when the marker is strictly shorter than the data and ends it.
bool endsWithMarker(QByteArrayView data, QByteArrayView marker);

// Splits at CR LF, LF or a lone CR; a final line break makes no empty last line; a zero byte
// ends the text. The views point into text. Linear in the size of text whatever its shape.
void splitLines(QByteArrayView text, QList<QByteArrayView> &lines);
QList<QByteArrayView> splitLines(QByteArrayView text);

// Length of the lines joined with CR LF after every line, computed without joining them.
qsizetype joinedLength(const QList<QByteArrayView> &lines);

enum class Verdict {
    Accepted, // header echoes id and sequence, length matches (or is not given)
    HeaderMismatch, // line 2 or 3 differs from the client id or sequence number
    LengthMismatch, // line 4 differs from the length of the joined text
    TooShort, // fewer than four lines: no header to check
};

struct AnswerCheck
{
    QByteArrayView clientId;
    QByteArrayView sequence;
    bool gatewayMode = false;
};

struct Answer
{
    Verdict verdict = Verdict::TooShort;
    QByteArrayView text; // text part: before the binary marker, up to a zero byte, gateway cut
    QByteArrayView binary; // binary part (gateway mode: without the closing marker)
    // Lines after the gateway removals; on acceptance line 4 is empty, as the length check
    // leaves it. The answer header is still in front (see bodyLines).
    QList<QByteArrayView> lines;
    qint64 expectedLength = 0; // from line 4, after the binary correction
    qsizetype actualLength = 0;
};

// Answer processing steps 1 to 6.
Answer processAnswer(QByteArrayView received, const AnswerCheck &check);

// Finds the text end and the lines of an answer while its bytes arrive (direct framing), so that
// when the last byte is in only the tail is left to look at. Positions are offsets into the
// received bytes, which may move between calls. What it finds equals processAnswer's steps 1
// and 3 on the whole answer.
class AnswerScanner
{
public:
    // 8 bytes a line: five million short lines cost 40 MB here, not 80. Answers of 4 GiB and
    // more are not scanned (the caller processes them whole).
    struct Line
    {
        quint32 offset = 0;
        quint32 length = 0;
    };
    static constexpr qsizetype kMostBytes = qsizetype(0xFFFFFFFFu);

    void reset() { *this = AnswerScanner(); }
    // The first data.size() bytes of the answer have arrived.
    void advance(QByteArrayView data) { scan(data, false); }
    // No more bytes come.
    void finish(QByteArrayView data) { scan(data, true); }

    // Lines whose line break is in (all lines once finished).
    const QList<Line> &lines() const { return m_lines; }
    // The line still open: its start (-1 while the byte after a CR is awaited) and how far its
    // bytes are known to be text.
    qsizetype openLineStart() const { return m_afterCr ? -1 : m_lineStart; }
    qsizetype textKnownUpTo() const { return m_textEnded ? m_textEnd : m_pos; }
    bool finished() const { return m_finished; }
    // After finish: where the text ends and where the binary marker stands (-1: none).
    qsizetype textEnd() const { return m_textEnd; }
    qsizetype markerAt() const { return m_markerAt; }

private:
    void scan(QByteArrayView data, bool last);

    QList<Line> m_lines;
    qsizetype m_pos = 0; // bytes before it are text whose line breaks are found
    bool m_textEnded = false;
    qsizetype m_textEnd = 0;
    qsizetype m_markerAt = -1;
    qsizetype m_lineStart = 0;
    bool m_afterCr = false; // a line ended with CR; an LF right after it belongs to that break
    bool m_finished = false;
};

// Steps 1 to 6 on an answer that the scanner has seen whole (direct framing only).
Answer processScanned(QByteArrayView received, const AnswerScanner &scanner, const AnswerCheck &check);

// Number of lines of the answer header.
inline constexpr qsizetype kAnswerHeaderLines = 10;

} // namespace Wire
