#include "DatabaseInfo.h"

#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"
#include "shell/TextRules.h"

#include <limits>

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
            entries.append({lines.at(i), lines.at(i + 1)});
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

template<typename View>
bool parseMfnPieces(View line, QList<qint32> *out, QString *badPiece)
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

} // namespace

bool parseMfnList(QStringView line, QList<qint32> *out, QString *badPiece)
{
    return parseMfnPieces(line, out, badPiece);
}

bool parseMfnList(QByteArrayView line, QList<qint32> *out, QString *badPiece)
{
    // Straight from the received bytes: the digits and breaks are single bytes in Windows-1251.
    // The plain loop takes the usual pieces; anything unusual from there on goes through the
    // general walk, which names the bad piece.
    const char *p = line.data();
    const char *const end = p + line.size();
    out->reserve(out->size() + line.size() / 8 + 1);
    while (p < end) {
        const char *const start = p;
        const bool negative = *p == '-';
        if (negative || *p == '+')
            ++p;
        const char *const digits = p;
        qint64 value = 0;
        while (p < end && uchar(*p - '0') < 10 && p - digits < 10) {
            value = value * 10 + (*p - '0');
            ++p;
        }
        const bool atBreak = p == end || *p == 0x1F || *p == 0x1E || *p == '\r' || *p == '\n';
        if (p == digits || !atBreak || value > std::numeric_limits<qint32>::max())
            return parseMfnPieces(line.sliced(start - line.data()), out, badPiece);
        out->append(static_cast<qint32>(negative ? -value : value));
        if (p >= end)
            break;
        const char b = *p++;
        if ((b == 0x1F || b == '\r') && p < end && (*p == 0x1E || *p == '\n'))
            ++p;
    }
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

template<typename Answer>
DatabaseInfoReading readDatabaseInfoFrom(int operationResult, const Answer &answer)
{
    DatabaseInfoReading reading;
    if (operationResult == OpResult::Busy) {
        reading.error = {DatabaseInfoError::Busy, {}};
        return reading;
    }
    if (operationResult != OpResult::Accepted) {
        reading.error = {DatabaseInfoError::Failed, {}};
        return reading;
    }
    if (answer.isEmpty() || toIntDef(answer.at(0), -1) < 0) {
        reading.error = {DatabaseInfoError::Refused, answer.value(0)};
        return reading;
    }
    if (answer.size() < 7) {
        reading.error = {DatabaseInfoError::Short, QString::number(answer.size())};
        return reading;
    }
    DatabaseState state;
    QList<qint32> *lists[] = {&state.deletedMfns1, &state.deletedMfns2, &state.unactualizedMfns, &state.lockedMfns};
    for (int i = 0; i < 4; ++i) {
        QString bad;
        if (!parseMfnList(mfnLine(answer, i + 1), lists[i], &bad)) {
            reading.error = {DatabaseInfoError::BadMfn, bad};
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
    return readDatabaseInfoFrom(operationResult, answer);
}

DatabaseInfoReading readDatabaseInfo(int operationResult, const AnswerLines &answer)
{
    return readDatabaseInfoFrom(operationResult, answer);
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
    return (refresh ? u"Статистика "_s + asked + u" не обновлена: "_s : u"База "_s + asked + u" не открыта: "_s)
        + databaseInfoErrorReason(error);
}

QString databaseOpenFailedMessage(const QString &asked, const QString &current, const DatabaseInfoError &error)
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
