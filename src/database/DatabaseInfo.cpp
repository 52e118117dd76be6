#include "DatabaseInfo.h"

#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"
#include "exchange/WireFormat.h"
#include "shell/TextRules.h"

#include <bit>
#include <cstring>
#include <limits>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

using namespace Qt::Literals::StringLiterals;

QList<DatabaseListEntry> databaseListEntries(const QStringList &lines)
{
    QList<DatabaseListEntry> entries;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i + 1 >= lines.size())
            break;
        if (lines.at(i) == u"*****")
            break;
        if (i % 2 == 0)
            entries.append({ lines.at(i), lines.at(i + 1) });
    }
    return entries;
}

namespace {

char16_t unitAt(QStringView text, qsizetype i)
{
    return text[i].unicode();
}

char16_t unitAt(QByteArrayView bytes, qsizetype i)
{
    return char16_t(uchar(bytes[i]));
}

QString pieceText(QStringView piece)
{
    return piece.toString();
}

QString pieceText(QByteArrayView piece)
{
    return TextCodec::toText(piece);
}

template <typename View> bool parseMfnPieces(View line, QList<qint32> *out, QString *badPiece)
{
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        // One piece runs to the next break (0x1F = CR, 0x1E = LF, or the real ones).
        const qsizetype start = i;
        while (i < n) {
            const char16_t u = unitAt(line, i);
            if (u == 0x1F || u == 0x1E || u == u'\r' || u == u'\n')
                break;
            ++i;
        }
        const View piece = line.sliced(start, i - start);
        bool ok = !piece.isEmpty();
        qint64 value = 0;
        qsizetype k = 0;
        bool negative = false;
        if (ok && (unitAt(piece, 0) == u'-' || unitAt(piece, 0) == u'+')) {
            negative = unitAt(piece, 0) == u'-';
            k = 1;
            ok = piece.size() > 1;
        }
        for (; ok && k < piece.size(); ++k) {
            const char16_t u = unitAt(piece, k);
            if (u < u'0' || u > u'9' || value > std::numeric_limits<qint32>::max()) {
                ok = false;
                break;
            }
            value = value * 10 + (u - u'0');
        }
        if (negative)
            value = -value;
        if (!ok || value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min()) {
            if (badPiece)
                *badPiece = pieceText(piece);
            return false;
        }
        out->append(static_cast<qint32>(value));
        if (i >= n)
            break;
        // A CR LF pair (encoded or not) is one break; a final break makes no empty piece.
        const char16_t b = unitAt(line, i);
        ++i;
        if ((b == 0x1F || b == u'\r') && i < n && (unitAt(line, i) == 0x1E || unitAt(line, i) == u'\n'))
            ++i;
    }
    return true;
}

QStringView mfnLine(const QStringList &answer, qsizetype i)
{
    return answer.at(i);
}

QByteArrayView mfnLine(const AnswerLines &answer, qsizetype i)
{
    return answer.bytesAt(i);
}

qsizetype receivedOffset(const QStringList &, qsizetype)
{
    return -1;
}

qsizetype receivedOffset(const AnswerLines &answer, qsizetype i)
{
    return answer.receivedOffset(i);
}

} // namespace

bool parseMfnList(QStringView line, QList<qint32> *out, QString *badPiece)
{
    return parseMfnPieces(line, out, badPiece);
}

namespace {

// Pieces of a byte line: one more than its LF bytes (real or encoded), which is exact for the
// usual CR LF pairs; a list of lone CRs grows as it goes. SSE2 where there is one, 16 bytes a step.
qsizetype estimatedPieces(QByteArrayView line)
{
    const char *p = line.data();
    const char *const end = p + line.size();
    qsizetype count = 1;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i encodedLf = _mm_set1_epi8(0x1E);
    while (end - p >= 16) {
        // Byte counters stay below 256 for 255 steps; then they are summed up.
        __m128i counters = _mm_setzero_si128();
        for (int step = 0; step < 255 && end - p >= 16; ++step, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, encodedLf));
            counters = _mm_sub_epi8(counters, hit);
        }
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
    }
#endif
    for (; p < end; ++p)
        count += *p == '\n' || *p == 0x1E;
    return count;
}

bool isBreak(char c)
{
    return c == 0x1F || c == 0x1E || c == '\r' || c == '\n';
}

constexpr quint64 kOnes = 0x0101010101010101ULL;

// Bytes that are not digits, as the top bit of each byte of x (the word with '0' taken off).
inline quint64 nonDigits(quint64 x)
{
    return (((x & (kOnes * 0x7F)) + kOnes * 0x76) | x) & (kOnes * 0x80);
}

// The value of the n (1..7) digits at the start of x: moved to the top with zeros in front,
// then combined pairwise.
inline qint32 digitsValue(quint64 x, int n)
{
    quint64 v = x << (8 * (8 - n));
    v = ((v & (kOnes * 0x0F)) * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
    v = ((v & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32;
    return qint32(v);
}

// The digits that start the 8 bytes at p, read as one word: how many (1 to 7; 0 when the word
// starts with no digit or holds eight), their value and the byte after them.
inline int wordDigits(const char *p, qint32 &value, char &after)
{
    if constexpr (std::endian::native != std::endian::little) {
        return 0;
    } else {
        quint64 word;
        std::memcpy(&word, p, 8);
        const quint64 x = word ^ (kOnes * '0');
        const quint64 marks = nonDigits(x);
        if (marks == 0)
            return 0;
        const int n = std::countr_zero(marks) >> 3;
        if (n == 0)
            return 0;
        after = char(word >> (8 * n));
        value = digitsValue(x, n);
        return n;
    }
}

// The usual piece, as the server sends it: up to seven digits and an encoded CR LF. The 9 bytes
// at p must be readable. False for anything else.
inline bool encodedPiece(const char *&p, qint32 &value)
{
    char after = 0;
    const int n = wordDigits(p, value, after);
    if (n == 0 || after != 0x1F || p[n + 1] != 0x1E)
        return false;
    p += n + 2;
    return true;
}

// One piece of up to seven digits followed by any break, read as one 8-byte word. Needs
// 8 readable bytes at p; false for anything else (sign, longer number, no break, not a digit).
bool wordPiece(const char *&p, qint32 &value)
{
    char after = 0;
    const int n = wordDigits(p, value, after);
    if (n == 0 || !isBreak(after))
        return false;
    p += n;
    return true;
}

// One piece with an optional sign and up to ten digits, followed by a break or the end.
bool plainPiece(const char *&p, const char *end, qint32 &value)
{
    const char *q = p;
    const bool negative = *q == '-';
    if (negative || *q == '+')
        ++q;
    const char *const digits = q;
    qint64 v = 0;
    while (q < end && uchar(*q - '0') < 10 && q - digits < 10) {
        v = v * 10 + (*q - '0');
        ++q;
    }
    if (q == digits || (q < end && !isBreak(*q)) || v > std::numeric_limits<qint32>::max())
        return false;
    value = qint32(negative ? -v : v);
    p = q;
    return true;
}

// Straight from the received bytes: the digits and breaks are single bytes in Windows-1251. The
// values go straight into a list sized from a count of the breaks. Anything unusual goes through
// the general walk from that piece on, which names the bad piece. A list parsed in parts as it
// arrives grows as QList grows; a whole line is given exactly its room.
bool parseMfnBytes(QByteArrayView line, QList<qint32> *out, QString *badPiece, bool inParts)
{
    const char *p = line.data();
    const char *const end = p + line.size();
    const qsizetype before = out->size();
    // In parts, a guess from the size (a piece is rarely under eight bytes) spares a counting
    // pass over the bytes; the list grows should the guess fall short.
    const qsizetype pieces = inParts ? line.size() / 8 + 16 : estimatedPieces(line);
    // A whole line is given exactly its room (a plain resize would round the block up); a list
    // parsed in parts grows as resize grows it, in place where the allocator can (a million
    // MFNs are not copied at every step).
    if (!inParts)
        out->reserve(before + pieces);
    out->resize(before + pieces);
    qint32 *dst = out->data() + before;
    qint32 *limit = out->data() + out->size();
    while (p < end) {
        while (end - p >= 9 && dst != limit && encodedPiece(p, *dst))
            ++dst;
        if (p >= end)
            break;
        if (dst == limit) {
            const qsizetype written = dst - out->data();
            out->resize(written + written / 2 + 16);
            dst = out->data() + written;
            limit = out->data() + out->size();
        }
        const char *const start = p;
        qint32 value;
        if (!(end - p >= 8 && wordPiece(p, value)) && !plainPiece(p, end, value)) {
            out->resize(dst - out->data());
            return parseMfnPieces(line.sliced(start - line.data()), out, badPiece);
        }
        *dst++ = value;
        if (p >= end)
            break;
        // A CR LF pair (encoded or not) is one break; a final break makes no empty piece.
        const char b = *p++;
        if ((b == 0x1F || b == '\r') && p < end && (*p == 0x1E || *p == '\n'))
            ++p;
    }
    out->resize(dst - out->data());
    return true;
}

} // namespace

bool parseMfnList(QByteArrayView line, QList<qint32> *out, QString *badPiece)
{
    return parseMfnBytes(line, out, badPiece, false);
}

void MfnListStream::restart()
{
    m_lists = {};
}

void MfnListStream::lineGrows(qsizetype line, qsizetype offset, QByteArrayView bytes, bool complete)
{
    const qsizetype k = line - Wire::kAnswerHeaderLines - 1;
    if (k < 0 || k >= qsizetype(m_lists.size()))
        return;
    List &list = m_lists[size_t(k)];
    if (list.offset < 0)
        list.offset = offset;
    if (list.failed || list.length >= 0 || list.offset != offset || bytes.size() < list.parsed)
        return;
    // Only whole pieces: up to the last LF (encoded), unless the line is complete.
    qsizetype cut = bytes.size();
    if (!complete) {
        while (cut > list.parsed && bytes[cut - 1] != '\x1E')
            --cut;
    }
    if (cut > list.parsed) {
        if (!parseMfnBytes(bytes.sliced(list.parsed, cut - list.parsed), &list.mfns, nullptr, true)) {
            // The answer's own reading names the bad piece, if this answer is the one accepted.
            list.failed = true;
            list.mfns = QList<qint32>();
            return;
        }
        list.parsed = cut;
    }
    if (complete) {
        list.length = bytes.size();
        list.mfns.squeeze();
    }
}

bool MfnListStream::take(int bodyLine, qsizetype offset, qsizetype length, QList<qint32> *out)
{
    if (bodyLine < 1 || bodyLine > int(m_lists.size()))
        return false;
    List &list = m_lists[size_t(bodyLine - 1)];
    if (list.failed || list.length < 0 || offset < 0 || list.offset != offset || list.length != length)
        return false;
    *out = std::move(list.mfns);
    list = List();
    return true;
}

qint32 maxMfnFromLine(const QString &line)
{
    return static_cast<qint32>(static_cast<qint64>(toIntDef(line, 1)) - 1);
}

quint8 lockFlagFromLine(const QString &line)
{
    return static_cast<quint8>(toIntDef(line, 0) & 0xFF);
}

template <typename Answer>
DatabaseInfoReading readDatabaseInfoFrom(int operationResult, const Answer &answer, MfnListStream *stream)
{
    DatabaseInfoReading reading;
    if (operationResult == OpResult::Busy) {
        reading.error = { DatabaseInfoError::Busy, {} };
        return reading;
    }
    if (operationResult != OpResult::Accepted) {
        reading.error = { DatabaseInfoError::Failed, {} };
        return reading;
    }
    if (answer.isEmpty() || toIntDef(answer.at(0), -1) < 0) {
        reading.error = { DatabaseInfoError::Refused, answer.value(0) };
        return reading;
    }
    if (answer.size() < 7) {
        reading.error = { DatabaseInfoError::Short, QString::number(answer.size()) };
        return reading;
    }
    DatabaseState state;
    QList<qint32> *lists[]
        = { &state.deletedMfns1, &state.deletedMfns2, &state.unactualizedMfns, &state.lockedMfns };
    for (int i = 0; i < 4; ++i) {
        QString bad;
        if (stream
            && stream->take(i + 1, receivedOffset(answer, i + 1), mfnLine(answer, i + 1).size(), lists[i]))
            continue;
        if (!parseMfnList(mfnLine(answer, i + 1), lists[i], &bad)) {
            reading.error = { DatabaseInfoError::BadMfn, bad };
            return reading;
        }
    }
    state.maxMfn = maxMfnFromLine(answer.at(5));
    state.locked = lockFlagFromLine(answer.at(6));
    reading.state = std::move(state);
    return reading;
}

DatabaseInfoReading readDatabaseInfo(int operationResult, const QStringList &answer)
{
    return readDatabaseInfoFrom(operationResult, answer, nullptr);
}

DatabaseInfoReading readDatabaseInfo(int operationResult, const AnswerLines &answer)
{
    return readDatabaseInfoFrom(operationResult, answer, nullptr);
}

DatabaseInfoReading readDatabaseInfo(int operationResult, const AnswerLines &answer, MfnListStream *stream)
{
    return readDatabaseInfoFrom(operationResult, answer, stream);
}

QString databaseInfoErrorReason(const DatabaseInfoError &error)
{
    switch (error.kind) {
    case DatabaseInfoError::Failed:
        return u"нет ответа сервера"_s;
    case DatabaseInfoError::Busy:
        return u"выполняется предыдущий запрос к серверу"_s;
    case DatabaseInfoError::Refused:
        if (error.detail.isEmpty())
            return u"сервер не вернул код ответа"_s;
        if (int code = 0; parseInteger(error.detail, &code))
            return u"сервер вернул код "_s + QString::number(code);
        return u"сервер вернул \u00AB"_s + error.detail.left(40) + u"\u00BB вместо кода ответа"_s;
    case DatabaseInfoError::Short:
        return u"неполный ответ сервера (строк: "_s + error.detail + u" из 7)"_s;
    case DatabaseInfoError::BadMfn:
        return u"в ответе сервера недопустимый номер записи \u00AB"_s + error.detail.left(40) + u"\u00BB"_s;
    }
    return {};
}

QString databaseOpenFailedStatus(const QString &asked, bool refresh, const DatabaseInfoError &error)
{
    return (refresh ? u"Статистика "_s + asked + u" не обновлена: "_s
                    : u"База "_s + asked + u" не открыта: "_s)
        + databaseInfoErrorReason(error);
}

QString databaseOpenFailedMessage(
    const QString &asked, const QString &current, const DatabaseInfoError &error)
{
    const QString reason = databaseInfoErrorReason(error) + u"."_s;
    if (!current.isEmpty() && asked.compare(current, Qt::CaseInsensitive) == 0)
        return u"Статистика базы данных "_s + asked + u" не обновлена: "_s + reason
            + u"\nНа экране — данные её последнего успешного чтения."_s;
    QString text = u"База данных "_s + asked + u" не открыта: "_s + reason;
    if (!current.isEmpty())
        text += u"\nТекущей остаётся база данных "_s + current + u"."_s;
    return text;
}

QString noCurrentDatabaseText()
{
    return u"Текущей базы данных нет: откройте базу данных."_s;
}
