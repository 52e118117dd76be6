#include "AnswerLines.h"

#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"

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
    m_text = false;
    m_listBuilt = false;
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
    const Span s = m_index.at(i);
    return QByteArrayView(m_bytes.constData() + s.offset, s.length);
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
    m_index.removeAt(i);
    if (m_listBuilt)
        m_list.removeAt(i);
}

const QStringList &AnswerLines::toStringList() const
{
    if (!m_text && !m_listBuilt) {
        m_list.reserve(m_index.size());
        for (qsizetype i = 0; i < m_index.size(); ++i)
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
        m_lines->assign(std::move(buffer), lines);
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
