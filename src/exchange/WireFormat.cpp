#include "WireFormat.h"

#include <bit>
#include <cstring>
#include <limits>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace Wire {

namespace {

// The first of the bytes a, b or c from `from` on (end when none): one pass for what would
// otherwise take a memchr each. SSE2 where there is one, 16 bytes a step.
const char *findAnyOf(const char *from, const char *end, char a, char b, char c, char d)
{
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c), vd = _mm_set1_epi8(d);
    for (; end - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, va), _mm_cmpeq_epi8(bytes, vb)),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, vc), _mm_cmpeq_epi8(bytes, vd)));
        if (const int mask = _mm_movemask_epi8(hit))
            return from + std::countr_zero(unsigned(mask));
    }
#endif
    for (; from < end; ++from) {
        if (*from == a || *from == b || *from == c || *from == d)
            return from;
    }
    return end;
}

const char *findAnyOf(const char *from, const char *end, char a, char b, char c)
{
    return findAnyOf(from, end, a, b, c, c);
}

// Text end and binary marker in one pass: the marker counts only before the first zero byte.
// Returns the marker's place or -1; *zero gets the first zero byte's place (the size when none)
// when no marker was found before it.
qsizetype findMarkerBeforeZero(QByteArrayView data, QByteArrayView marker, qsizetype *zero)
{
    const char *const begin = data.data();
    const char *const end = begin + data.size();
    for (const char *p = begin; p < end;) {
        p = findAnyOf(p, end, '\0', marker.front(), '\0');
        if (p == end)
            break;
        if (*p == '\0') {
            *zero = p - begin;
            return -1;
        }
        if (end - p >= marker.size() && std::memcmp(p, marker.data(), size_t(marker.size())) == 0)
            return p - begin;
        ++p;
    }
    *zero = data.size();
    return -1;
}

void appendLine(QByteArray &out, QByteArrayView line)
{
    out.append(line);
    out.append('\n');
}

} // namespace

qint64 toInteger(QByteArrayView text, bool *ok)
{
    if (ok)
        *ok = false;
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return 0;
    quint64 value = 0;
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return 0;
        const quint64 digit = quint64(c - '0');
        if (value > (limit - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    if (ok)
        *ok = true;
    if (negative)
        return value == quint64(std::numeric_limits<qint64>::max()) + 1 ? std::numeric_limits<qint64>::min()
                                                                        : -qint64(value);
    return qint64(value);
}

QByteArray nextSequence(QByteArrayView sequence)
{
    bool ok = false;
    const qint64 value = toInteger(sequence, &ok);
    if (!ok || value == std::numeric_limits<qint64>::max())
        return QByteArrayLiteral("1");
    return QByteArray::number(value + 1);
}

bool holdsBinaryMarker(QStringView text)
{
    // The marker is ASCII, which Windows-1251 carries unchanged: the text holds it exactly when
    // its bytes on the wire would.
    return text.contains(QLatin1StringView(kBinaryMarker.data(), kBinaryMarker.size()));
}

int portNumber(QByteArrayView portText)
{
    bool ok = false;
    const qint64 value = toInteger(portText, &ok);
    if (!ok || value < 0 || value > 65535)
        return kDefaultPort;
    return int(value);
}

QByteArray requestHeader(const Identity &id, QByteArrayView command)
{
    QByteArray out;
    out.reserve(id.workstation.size() + command.size() + id.clientId.size() + id.sequence.size()
        + id.password.size() + id.userName.size() + 9);
    appendLine(out, id.workstation);
    appendLine(out, command);
    appendLine(out, id.clientId);
    appendLine(out, id.sequence);
    appendLine(out, id.password);
    appendLine(out, id.userName);
    out.append("\n\n\n", 3);
    return out;
}

QByteArray frameDirect(QByteArrayView command, QByteArrayView requestText)
{
    const qsizetype counted = command.size() + 1 + requestText.size();
    QByteArray out = QByteArray::number(counted);
    out.reserve(out.size() + 1 + counted);
    out.append('\n');
    appendLine(out, command);
    out.append(requestText);
    return out;
}

QByteArray frameHttp(QByteArrayView gatewayPath, QByteArrayView host, QByteArrayView portText,
    QByteArrayView command, QByteArrayView requestText)
{
    QByteArray body;
    body.reserve(command.size() + 1 + requestText.size() + 2 + kEndMarker.size());
    appendLine(body, command);
    body.append(requestText);
    body.append("\r\n", 2);
    body.append(kEndMarker);

    QByteArray out;
    out.reserve(body.size() + gatewayPath.size() + host.size() + portText.size() + 128);
    out.append("POST ").append(gatewayPath).append(" HTTP/1.1\r\n");
    out.append("User-Agent: ZEMRO/Tulva64\r\n");
    out.append("Host: ").append(host).append(':').append(portText).append("\r\n");
    out.append("Accept: *.*\r\n");
    out.append("Content-length: ").append(QByteArray::number(body.size())).append("\r\n");
    out.append("\r\n");
    out.append(body);
    return out;
}

bool usesHttpFraming(QByteArrayView portText, bool gatewayMode)
{
    return gatewayMode || portText == QByteArrayView("80");
}

QByteArray retriedRequest(QByteArrayView requestText, QByteArrayView sequence)
{
    QList<QByteArrayView> lines = splitLines(requestText);
    // A request always has its nine header lines; pad defensively so lines 4 and 9 exist.
    while (lines.size() < 9)
        lines.append(QByteArrayView());
    lines[3] = sequence;
    lines[8] = QByteArrayView("1");
    QByteArray out;
    out.reserve(joinedLength(lines));
    for (const QByteArrayView line : std::as_const(lines)) {
        out.append(line);
        out.append("\r\n", 2);
    }
    return out;
}

QByteArray cancelMessage(const Identity &id, QByteArrayView command, bool laterPress)
{
    QByteArray counted;
    appendLine(counted, command);
    counted.append(requestHeader(id, "4"));
    QByteArray out = QByteArray::number(counted.size());
    out.append('\n');
    out.append(counted);
    out.append('\n');
    out.append(laterPress ? '1' : '0');
    return out;
}

void decodeLineBreaks(char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        char &c = data[i];
        if (c == '\0')
            return;
        if (c == '\x1F')
            c = '\r';
        else if (c == '\x1E')
            c = '\n';
    }
}

void DecodeLineBreaks(QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    decodeLineBreaks(bytes.data(), bytes.size());
}

bool endsWithMarker(QByteArrayView data, QByteArrayView marker)
{
    return marker.size() < data.size() && data.endsWith(marker);
}

void splitLines(QByteArrayView text, QList<QByteArrayView> &lines)
{
    lines.clear();
    const char *cur = text.data();
    const char *const end = cur + text.size();
    // One pass finds the next break or the zero byte that ends the text.
    while (cur < end) {
        const char *const brk = findAnyOf(cur, end, '\n', '\r', '\0');
        if (brk < end && *brk == '\0') {
            if (brk > cur)
                lines.append(QByteArrayView(cur, brk - cur));
            break;
        }
        lines.append(QByteArrayView(cur, brk - cur));
        if (brk == end)
            break;
        cur = brk + 1;
        if (*brk == '\r' && cur < end && *cur == '\n')
            ++cur;
    }
}

QList<QByteArrayView> splitLines(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    splitLines(text, lines);
    return lines;
}

qsizetype joinedLength(const QList<QByteArrayView> &lines)
{
    qsizetype total = 0;
    for (const QByteArrayView line : lines)
        total += line.size() + 2;
    return total;
}

namespace {

// Steps 5 and 6 on lines that steps 1 to 4 have made.
void checkLines(Answer &a, const AnswerCheck &check)
{
    if (a.lines.size() < 4) {
        a.verdict = Verdict::TooShort;
        return;
    }

    // 5. Header check.
    if (a.lines.at(2) != check.sequence || a.lines.at(1) != check.clientId) {
        a.verdict = Verdict::HeaderMismatch;
        return;
    }

    // 6. Length check, when line 4 gives a length.
    if (!a.lines.at(3).isEmpty()) {
        qint64 expected = toInteger(a.lines.at(3));
        if (!a.binary.isEmpty())
            expected -= a.binary.size() + kMarkerLength;
        a.lines[3] = QByteArrayView();
        a.expectedLength = expected;
        a.actualLength = joinedLength(a.lines);
        if (a.actualLength != expected) {
            a.verdict = Verdict::LengthMismatch;
            return;
        }
    }
    a.verdict = Verdict::Accepted;
}

QByteArrayView binaryPart(QByteArrayView received, qsizetype marker, bool gatewayMode)
{
    qsizetype binaryLength = received.size() - marker - kBinaryMarker.size();
    if (gatewayMode && binaryLength > 0)
        binaryLength = qMax<qsizetype>(0, binaryLength - kMarkerLength);
    return received.sliced(marker + kBinaryMarker.size(), binaryLength);
}

} // namespace

Answer processAnswer(QByteArrayView received, const AnswerCheck &check)
{
    Answer a;
    // 1. Binary part: the marker is looked for only before the first zero byte.
    qsizetype zero = received.size();
    const qsizetype marker = findMarkerBeforeZero(received, kBinaryMarker, &zero);
    qsizetype textEnd = zero;
    if (marker >= 0) {
        textEnd = marker;
        a.binary = binaryPart(received, marker, check.gatewayMode);
    }
    a.text = received.first(textEnd);

    // 2. Gateway: only what precedes the end marker.
    if (check.gatewayMode) {
        const qsizetype endAt = a.text.indexOf(kEndMarker);
        if (endAt >= 0)
            a.text = a.text.first(endAt);
    }

    // 3. Lines.
    splitLines(a.text, a.lines);

    // 4. Gateway: the HTTP status line and everything up to the start marker go.
    if (check.gatewayMode) {
        if (!a.lines.isEmpty() && a.lines.first() == kHttpStatusLine)
            a.lines.removeFirst();
        const qsizetype start = a.lines.indexOf(kStartMarker);
        if (start >= 0)
            a.lines.remove(0, start + 1);
    }

    checkLines(a, check);
    return a;
}

void AnswerScanner::scan(QByteArrayView data, bool last)
{
    const char *const base = data.data();
    const char *const end = base + data.size();
    const qsizetype markerSize = kBinaryMarker.size();
    // One pass finds the line breaks and where the text ends: the first zero byte, or the marker
    // before it. A marker can only be told once all its bytes are in, so a candidate near the end
    // waits for more.
    while (!m_textEnded) {
        if (m_afterCr) {
            if (base + m_pos < end) {
                if (base[m_pos] == '\n')
                    ++m_pos;
            } else if (!last) {
                break; // the byte after the CR is not known yet
            }
            m_afterCr = false;
            m_lineStart = m_pos;
        }
        const char *const p = findAnyOf(base + m_pos, end, '\n', '\r', '\0', kBinaryMarker.front());
        if (p == end) {
            m_pos = end - base;
            break;
        }
        const qsizetype at = p - base;
        if (*p == '\0') {
            m_textEnded = true;
            m_textEnd = m_pos = at;
        } else if (*p == kBinaryMarker.front()) {
            if (end - p >= markerSize) {
                if (std::memcmp(p, kBinaryMarker.data(), size_t(markerSize)) == 0) {
                    m_textEnded = true;
                    m_textEnd = m_markerAt = m_pos = at;
                } else {
                    m_pos = at + 1;
                }
            } else if (!last) {
                m_pos = at;
                break;
            } else {
                m_pos = at + 1;
            }
        } else {
            m_lines.append({ quint32(m_lineStart), quint32(at - m_lineStart) });
            m_pos = at + 1;
            if (*p == '\r')
                m_afterCr = true;
            else
                m_lineStart = m_pos;
        }
    }
    if (last) {
        if (!m_textEnded) {
            m_textEnded = true;
            m_textEnd = data.size();
        }
        if (m_afterCr) {
            m_afterCr = false;
            m_lineStart = m_textEnd;
        }
        if (m_lineStart < m_textEnd)
            m_lines.append({ quint32(m_lineStart), quint32(m_textEnd - m_lineStart) });
        m_lineStart = m_textEnd;
        m_finished = true;
    }
}

Answer processScanned(QByteArrayView received, const AnswerScanner &scanner, const AnswerCheck &check)
{
    Q_ASSERT(scanner.finished() && !check.gatewayMode);
    Answer a;
    if (scanner.markerAt() >= 0)
        a.binary = binaryPart(received, scanner.markerAt(), false);
    a.text = received.first(scanner.textEnd());
    a.lines.reserve(scanner.lines().size());
    for (const AnswerScanner::Line &line : scanner.lines())
        a.lines.append(QByteArrayView(received.data() + line.offset, line.length));
    checkLines(a, check);
    return a;
}

} // namespace Wire
