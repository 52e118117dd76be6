#include "TextRules.h"

#include "exchange/TextCodec.h"

#include <limits>

namespace {

bool inCp1251(QChar c)
{
    const QByteArray bytes = TextCodec::toBytes(QStringView(&c, 1));
    return bytes.size() == 1 && TextCodec::toText(bytes) == QStringView(&c, 1);
}

} // namespace

QString upperCp1251(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x80) {
            if (c >= u'a' && c <= u'z')
                c = QChar(c.unicode() - 32);
            continue;
        }
        const QString up = QString(c).toUpper();
        if (up.size() == 1 && up.front() != c && inCp1251(up.front()))
            c = up.front();
    }
    return out;
}

QString upperLatin(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    }
    return out;
}

bool parseInteger(QStringView text, int *value)
{
    qint64 n = 0;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        const QStringView digits = text.mid(2);
        if (digits.size() > 8)
            return false;
        for (QChar c : digits) {
            const char16_t u = c.unicode();
            int d = 0;
            if (u >= u'0' && u <= u'9')
                d = u - u'0';
            else if (u >= u'a' && u <= u'f')
                d = u - u'a' + 10;
            else if (u >= u'A' && u <= u'F')
                d = u - u'A' + 10;
            else
                return false;
            n = n * 16 + d;
        }
        *value = static_cast<int>(static_cast<quint32>(n));
        return true;
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i >= text.size())
        return false;
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            return false;
        n = n * 10 + (u - u'0');
        if (n > qint64(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (negative)
        n = -n;
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return false;
    *value = static_cast<int>(n);
    return true;
}

int toIntDef(QStringView text, int defaultValue)
{
    int value = 0;
    return parseInteger(text, &value) ? value : defaultValue;
}
