#include "DatabaseInfo.h"

#include "exchange/OpResult.h"
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

bool parseMfnList(QStringView line, QList<qint32> *out, QString *badPiece)
{
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        // One piece runs to the next break (0x1F = CR, 0x1E = LF, or the real ones).
        const qsizetype start = i;
        while (i < n) {
            const char16_t u = line[i].unicode();
            if (u == 0x1F || u == 0x1E || u == u'\r' || u == u'\n')
                break;
            ++i;
        }
        const QStringView piece = line.sliced(start, i - start);
        bool ok = !piece.isEmpty();
        qint64 value = 0;
        qsizetype k = 0;
        bool negative = false;
        if (ok && (piece[0] == u'-' || piece[0] == u'+')) {
            negative = piece[0] == u'-';
            k = 1;
            ok = piece.size() > 1;
        }
        for (; ok && k < piece.size(); ++k) {
            const char16_t u = piece[k].unicode();
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
                *badPiece = piece.toString();
            return false;
        }
        out->append(static_cast<qint32>(value));
        if (i >= n)
            break;
        // A CR LF pair (encoded or not) is one break; a final break makes no empty piece.
        const char16_t b = line[i].unicode();
        ++i;
        if ((b == 0x1F || b == u'\r') && i < n && (line[i].unicode() == 0x1E || line[i] == u'\n'))
            ++i;
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

DatabaseInfoReading readDatabaseInfo(int operationResult, const QStringList &answer)
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
        if (!parseMfnList(answer.at(i + 1), lists[i], &bad)) {
            reading.error = {DatabaseInfoError::BadMfn, bad};
            return reading;
        }
    }
    state.maxMfn = maxMfnFromLine(answer.at(5));
    state.locked = lockFlagFromLine(answer.at(6));
    reading.state = std::move(state);
    return reading;
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
