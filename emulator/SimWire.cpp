#include "SimWire.h"

using namespace Qt::Literals::StringLiterals;

namespace SimWire {

namespace {

constexpr qsizetype kMaxLengthLine = 20;
constexpr qsizetype kMaxHttpHead = 64 * 1024;

QByteArray chopCr(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line.toByteArray();
}

bool allDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

QByteArray Request::line(int number) const
{
    return number >= 1 && number <= header.size() ? header.at(number - 1) : QByteArray();
}

bool parseRequestText(QByteArrayView text, Request *request)
{
    request->header.clear();
    request->args.clear();
    qsizetype pos = 0;
    while (request->header.size() < 9) {
        const qsizetype lf = text.indexOf('\n', pos);
        if (lf < 0) {
            // Keep a partial last line so that the client id and sequence can still be echoed.
            if (pos < text.size())
                request->header.append(chopCr(text.sliced(pos)));
            request->headerComplete = false;
            return false;
        }
        request->header.append(chopCr(text.sliced(pos, lf - pos)));
        pos = lf + 1;
    }
    request->headerComplete = true;
    QByteArrayView rest = text.sliced(pos);
    if (rest.isEmpty())
        return true;
    qsizetype start = 0;
    while (start <= rest.size()) {
        const qsizetype lf = rest.indexOf('\n', start);
        if (lf < 0) {
            if (start < rest.size())
                request->args.append(chopCr(rest.sliced(start)));
            break;
        }
        request->args.append(chopCr(rest.sliced(start, lf - start)));
        start = lf + 1;
    }
    return true;
}

RequestReader::RequestReader(qsizetype maxRequest)
    : m_max(maxRequest)
{
}

RequestReader::State RequestReader::fail(const QString &why)
{
    m_error = why;
    m_state = State::Failed;
    m_buffer.clear();
    return m_state;
}

RequestReader::State RequestReader::feed(QByteArrayView bytes)
{
    if (m_state == State::Failed)
        return m_state;
    if (m_state == State::Complete) {
        // Only a cancel message is followed by more: an empty line and its flag.
        if (m_request.cancel && m_request.cancelFlag.isEmpty() && m_extra.size() < 64) {
            m_extra.append(bytes);
            takeCancelFlag();
        }
        return m_state;
    }
    if (m_buffer.size() + bytes.size() > m_max + kMaxHttpHead)
        return fail(u"request larger than %1 bytes"_s.arg(m_max));
    m_buffer.append(bytes);
    return parse();
}

RequestReader::State RequestReader::parse()
{
    if (m_mode == 0) {
        static constexpr QByteArrayView post("POST ");
        const qsizetype n = qMin(m_buffer.size(), post.size());
        if (QByteArrayView(m_buffer).first(n) == post.first(n)) {
            if (n < post.size())
                return State::NeedMore;
            m_mode = 2;
        } else {
            m_mode = 1;
        }
    }
    return m_mode == 2 ? parseHttp() : parseDirect();
}

RequestReader::State RequestReader::parseDirect()
{
    const qsizetype lf = m_buffer.indexOf('\n');
    if (lf < 0) {
        if (m_buffer.size() > kMaxLengthLine)
            return fail(u"no length line"_s);
        if (!m_buffer.isEmpty() && !allDigits(chopCr(m_buffer)))
            return fail(u"the length line is not a number"_s);
        return State::NeedMore;
    }
    const QByteArray lengthText = chopCr(QByteArrayView(m_buffer).first(lf));
    if (!allDigits(lengthText) || lengthText.size() > 12)
        return fail(u"the length line is not a number"_s);
    const qint64 length = lengthText.toLongLong();
    if (length <= 0)
        return fail(u"empty request"_s);
    if (length > m_max)
        return fail(u"announced length %1 exceeds the limit of %2 bytes"_s.arg(length).arg(m_max));
    if (m_buffer.size() - lf - 1 < length)
        return State::NeedMore;
    m_extra = m_buffer.mid(lf + 1 + length);
    const QByteArray body = m_buffer.mid(lf + 1, length);
    m_buffer.clear();
    return finish(body);
}

RequestReader::State RequestReader::parseHttp()
{
    const qsizetype end = m_buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (m_buffer.size() > kMaxHttpHead)
            return fail(u"HTTP header too long"_s);
        return State::NeedMore;
    }
    m_request.http = true;
    qint64 length = -1;
    const QByteArrayList headLines = QByteArrayView(m_buffer).first(end).toByteArray().split('\n');
    for (const QByteArray &raw : headLines) {
        const QByteArray line = chopCr(raw);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().toLower() == "content-length") {
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (!allDigits(value) || value.size() > 12)
                return fail(u"bad Content-length"_s);
            length = value.toLongLong();
        }
    }
    const qsizetype bodyStart = end + 4;
    QByteArray body;
    if (length >= 0) {
        if (length > m_max)
            return fail(u"announced length %1 exceeds the limit of %2 bytes"_s.arg(length).arg(m_max));
        if (m_buffer.size() - bodyStart < length)
            return State::NeedMore;
        body = m_buffer.mid(bodyStart, length);
    } else {
        if (!m_buffer.endsWith(kEndMarker))
            return State::NeedMore;
        body = m_buffer.mid(bodyStart);
    }
    m_buffer.clear();
    if (body.endsWith("\r\n"_ba + kEndMarker))
        body.chop(kMarkerLength + 2);
    else if (body.endsWith(kEndMarker))
        body.chop(kMarkerLength);
    return finish(body);
}

RequestReader::State RequestReader::finish(QByteArrayView body)
{
    const qsizetype lf = body.indexOf('\n');
    if (lf < 0) {
        m_request.frameCode = chopCr(body);
        m_request.headerComplete = false;
    } else {
        m_request.frameCode = chopCr(body.first(lf));
        parseRequestText(body.sliced(lf + 1), &m_request);
    }
    m_request.cancel = m_request.header.size() >= 2 && m_request.header.at(1) == "4";
    if (m_request.cancel)
        takeCancelFlag();
    m_state = State::Complete;
    return m_state;
}

void RequestReader::takeCancelFlag()
{
    qsizetype i = 0;
    while (i < m_extra.size() && (m_extra.at(i) == '\n' || m_extra.at(i) == '\r'))
        ++i;
    if (i == 0 || i >= m_extra.size())
        return;
    qsizetype j = i;
    while (j < m_extra.size() && m_extra.at(j) != '\n' && m_extra.at(j) != '\r')
        ++j;
    m_request.cancelFlag = m_extra.mid(i, j - i);
}

QByteArray encodeLineBreaks(QByteArray text)
{
    for (char &c : text) {
        if (c == '\r')
            c = '\x1F';
        else if (c == '\n')
            c = '\x1E';
        else if (c == '\0')
            c = ' ';
    }
    return text;
}

namespace {

QByteArrayList headerLines(const AnswerHeader &header, const QByteArray &lengthLine)
{
    QByteArrayList lines{ header.command, header.clientId, header.sequence, lengthLine };
    for (int i = 0; i < 6; ++i)
        lines.append(i < header.freeLines.size() ? header.freeLines.at(i) : QByteArray());
    return lines;
}

} // namespace

qint64 answerLength(const AnswerHeader &header, const QByteArrayList &body, const AnswerOptions &options)
{
    qint64 length = 0;
    for (const QByteArray &line : headerLines(header, {}))
        length += line.size() + 2;
    for (const QByteArray &line : body)
        length += line.size() + 2;
    // The client takes the marker off the count only when a binary part follows it.
    if (options.withBinary && !options.binary.isEmpty())
        length += options.binary.size() + kMarkerLength;
    return length;
}

QByteArray buildAnswer(const AnswerHeader &header, const QByteArrayList &body, const AnswerOptions &options)
{
    const qint64 length = answerLength(header, body, options) + options.lengthDelta;
    const QByteArrayList head = headerLines(header, QByteArray::number(length));
    qsizetype total = 0;
    for (const QByteArray &line : head)
        total += line.size() + 2;
    for (const QByteArray &line : body)
        total += line.size() + 2;
    QByteArray out;
    out.reserve(total + (options.withBinary ? options.binary.size() + kMarkerLength : 0));
    for (const QByteArray &line : head) {
        out += line;
        out += "\r\n";
    }
    for (const QByteArray &line : body) {
        out += line;
        out += "\r\n";
    }
    if (options.withBinary) {
        out += kBinaryMarker;
        out += options.binary;
    }
    return out;
}

QByteArrayList splitLines(QByteArrayView text)
{
    QByteArrayList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const char c = text.at(i);
        if (c == '\r' || c == '\n') {
            lines.append(text.sliced(start, i - start).toByteArray());
            if (c == '\r' && i + 1 < n && text.at(i + 1) == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < n)
        lines.append(text.sliced(start).toByteArray());
    return lines;
}

} // namespace SimWire
