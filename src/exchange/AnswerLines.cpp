#include "AnswerLines.h"

#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"

#include <cstring>
#include <functional>
#include <limits>

void AnswerLines::assign(QByteArray &&buffer, const QList<QByteArrayView> &lines)
{
    clear();
    const char *base = buffer.constData();
    const char *end = base + buffer.size();
    bool inside = true;
    for (const QByteArrayView line : lines) {
        if (!line.isEmpty()
            && (std::less<>()(line.data(), base) || std::greater<>()(line.data() + line.size(), end))) {
            inside = false;
            break;
        }
    }
    if (buffer.size() >= qsizetype(std::numeric_limits<quint32>::max())) {
        // Beyond what the index can address: kept as texts (never seen from a real server).
        QStringList texts;
        for (const QByteArrayView line : lines)
            texts.append(TextCodec::toText(line));
        assign(texts);
        return;
    }
    m_index.reserve(lines.size());
    if (inside) {
        for (const QByteArrayView line : lines)
            m_index.append({ quint32(line.isEmpty() ? 0 : line.data() - base), quint32(line.size()) });
        m_bytes = std::move(buffer);
        m_inReceived = true;
        return;
    }
    // Fixed texts or a decoded copy: one compact buffer of their own.
    qsizetype total = 0;
    for (const QByteArrayView line : lines)
        total += line.size();
    m_bytes.reserve(total);
    for (const QByteArrayView line : lines) {
        m_index.append({ quint32(m_bytes.size()), quint32(line.size()) });
        m_bytes.append(line.data(), line.size());
    }
}

void AnswerLines::assignSplit(QByteArray &&buffer, const QList<QByteArrayView> &lines)
{
    const char *const base = buffer.constData();
    const qsizetype n = lines.size();
    // A few long lines: an index entry each costs nothing and spares walking megabytes.
    if (n <= kFullIndexUpTo) {
        assign(std::move(buffer), lines);
        return;
    }
    bool walkable = n > 0 && buffer.size() < qsizetype(std::numeric_limits<quint32>::max());
    const char *const regionEnd = walkable ? lines.last().data() + lines.last().size() : nullptr;
    walkable = walkable && lines.first().data() && !std::less<>()(lines.first().data(), base)
        && !std::greater<>()(regionEnd, base + buffer.size());
    // Each line must be followed by a break and the next line right after it.
    for (qsizetype i = 0; walkable && i + 1 < n; ++i) {
        const char *e = lines.at(i).data() + lines.at(i).size();
        if (!lines.at(i).data() || e >= regionEnd || (*e != '\r' && *e != '\n')) {
            walkable = false;
            break;
        }
        const qsizetype step = (*e == '\r' && e + 1 < regionEnd && e[1] == '\n') ? 2 : 1;
        walkable = lines.at(i + 1).data() == e + step;
    }
    if (!walkable) {
        assign(std::move(buffer), lines);
        return;
    }
    clear();
    m_walk = true;
    m_count = n;
    m_end = quint32(regionEnd - base);
    m_marks.reserve((n + kMarkEvery - 1) / kMarkEvery);
    for (qsizetype i = 0; i < n; i += kMarkEvery)
        m_marks.append(quint32(lines.at(i).data() - base));
    m_bytes = std::move(buffer);
    m_inReceived = true;
}

quint32 AnswerLines::lineEnd(quint32 start) const
{
    const char *const p = m_bytes.constData() + start;
    const size_t left = m_end - start;
    const void *lf = std::memchr(p, '\n', left);
    const size_t upTo = lf ? size_t(static_cast<const char *>(lf) - p) : left;
    const void *cr = std::memchr(p, '\r', upTo);
    return start + quint32(cr ? static_cast<const char *>(cr) - p : qsizetype(upTo));
}

quint32 AnswerLines::nextStart(quint32 end) const
{
    const char *const e = m_bytes.constData() + end;
    return end + ((*e == '\r' && end + 1 < m_end && e[1] == '\n') ? 2 : 1);
}

void AnswerLines::indexAll()
{
    QList<Span> index;
    index.reserve(m_count);
    quint32 start = m_marks.isEmpty() ? 0 : m_marks.first();
    for (qsizetype i = 0; i < m_count; ++i) {
        const quint32 end = lineEnd(start);
        index.append({ start, end - start });
        if (i + 1 < m_count)
            start = nextStart(end);
    }
    m_index = std::move(index);
    m_walk = false;
    m_marks = QList<quint32>();
    m_cursorLine = -1;
}

void AnswerLines::assign(const QStringList &lines)
{
    clear();
    m_text = true;
    m_list = lines;
    m_listBuilt = true;
}

void AnswerLines::clear()
{
    m_bytes = QByteArray();
    m_index = QList<Span>();
    m_list = QStringList();
    m_encoded = QByteArrayList();
    m_walk = false;
    m_count = 0;
    m_end = 0;
    m_marks = QList<quint32>();
    m_cursorLine = -1;
    m_text = false;
    m_listBuilt = false;
    m_inReceived = false;
}

QString AnswerLines::at(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < size());
    if (m_text || m_listBuilt)
        return m_list.at(i);
    return TextCodec::toText(bytesAt(i));
}

QByteArrayView AnswerLines::bytesAt(qsizetype i) const
{
    if (i < 0 || i >= size())
        return {};
    if (m_text) {
        // A list made from texts (by hand, in tests): its bytes are made once when asked for.
        if (m_encoded.size() != m_list.size())
            m_encoded = TextCodec::toBytes(m_list);
        return m_encoded.at(i);
    }
    if (m_walk) {
        const qsizetype mark = i / kMarkEvery * kMarkEvery;
        quint32 start, end;
        if (m_cursorLine == i) {
            start = m_cursorStart;
            end = m_cursorEnd;
        } else {
            qsizetype k = mark;
            start = m_marks.at(i / kMarkEvery);
            if (m_cursorLine >= mark && m_cursorLine < i) {
                k = m_cursorLine + 1;
                start = nextStart(m_cursorEnd);
            }
            end = lineEnd(start);
            for (; k < i; ++k) {
                start = nextStart(end);
                end = lineEnd(start);
            }
            m_cursorLine = i;
            m_cursorStart = start;
            m_cursorEnd = end;
        }
        return QByteArrayView(m_bytes.constData() + start, end - start);
    }
    const Span s = m_index.at(i);
    return QByteArrayView(m_bytes.constData() + s.offset, s.length);
}

qsizetype AnswerLines::receivedOffset(qsizetype i) const
{
    if (!m_inReceived || i < 0 || i >= size())
        return -1;
    const QByteArrayView line = bytesAt(i);
    return line.isEmpty() ? -1 : line.data() - m_bytes.constData();
}

QStringList AnswerLines::mid(qsizetype pos, qsizetype length) const
{
    QStringList out;
    const qsizetype n = size();
    if (pos < 0) {
        if (length >= 0)
            length += pos;
        pos = 0;
    }
    if (pos >= n)
        return out;
    const qsizetype stop = (length < 0 || pos + length > n) ? n : pos + length;
    out.reserve(stop - pos);
    for (qsizetype i = pos; i < stop; ++i)
        out.append(at(i));
    return out;
}

bool AnswerLines::contains(const QString &text) const
{
    return indexOf(text) >= 0;
}

qsizetype AnswerLines::indexOf(const QString &text, qsizetype from) const
{
    for (qsizetype i = qMax<qsizetype>(from, 0); i < size(); ++i) {
        if (at(i) == text)
            return i;
    }
    return -1;
}

void AnswerLines::removeAt(qsizetype i)
{
    if (i < 0 || i >= size())
        return;
    if (m_text) {
        m_list.removeAt(i);
        m_encoded.clear();
        return;
    }
    if (m_walk)
        indexAll();
    m_index.removeAt(i);
    if (m_listBuilt)
        m_list.removeAt(i);
}

const QStringList &AnswerLines::toStringList() const
{
    if (!m_text && !m_listBuilt) {
        m_list.reserve(size());
        for (qsizetype i = 0; i < size(); ++i)
            m_list.append(TextCodec::toText(bytesAt(i)));
        m_listBuilt = true;
    }
    return m_list;
}

bool AnswerLines::operator==(const QStringList &other) const
{
    if (size() != other.size())
        return false;
    for (qsizetype i = 0; i < size(); ++i) {
        if (at(i) != other.at(i))
            return false;
    }
    return true;
}

void AnswerOut::take(QByteArray &&buffer, const QList<QByteArrayView> &lines)
{
    if (m_lines) {
        m_lines->assignSplit(std::move(buffer), lines);
        return;
    }
    m_list->clear();
    m_list->reserve(lines.size());
    for (const QByteArrayView line : lines)
        m_list->append(TextCodec::toText(line));
}

void AnswerOut::set(const QStringList &lines)
{
    if (m_lines)
        *m_lines = lines;
    else
        *m_list = lines;
}

void AnswerOut::clear()
{
    if (m_lines)
        m_lines->clear();
    else
        m_list->clear();
}

void AnswerOut::removeAt(qsizetype i)
{
    if (m_lines)
        m_lines->removeAt(i);
    else
        m_list->removeAt(i);
}

bool returnCodeOk(const AnswerLines &answer)
{
    return !answer.isEmpty() && answer.bytesAt(0) == QByteArrayView("0");
}
