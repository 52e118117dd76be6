#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>

namespace {

constexpr const char *kEncoding = "windows-1251";

bool isAscii(QByteArrayView bytes)
{
    // Eight bytes at a time: answers run to tens of megabytes.
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    quint64 any = 0;
    for (; n >= 8; p += 8, n -= 8) {
        quint64 word;
        std::memcpy(&word, p, sizeof word);
        any |= word;
    }
    for (; n > 0; ++p, --n)
        any |= quint64(static_cast<unsigned char>(*p));
    return (any & 0x8080808080808080ULL) == 0;
}

QStringDecoder &decoder()
{
    thread_local QStringDecoder d(kEncoding, QStringConverter::Flag::Stateless);
    return d;
}

QStringEncoder &encoder()
{
    thread_local QStringEncoder e(kEncoding, QStringConverter::Flag::Stateless);
    return e;
}

} // namespace

namespace TextCodec {

bool available()
{
    return decoder().isValid() && encoder().isValid();
}

QString toText(QByteArrayView bytes)
{
    // Most answers are digits and Latin names; skip the converter for them.
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return decoder().decode(bytes);
}

QByteArray toBytes(QStringView text)
{
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toLatin1();
    return encoder().encode(text);
}

QStringList toText(const QByteArrayList &lines)
{
    QStringList out;
    out.reserve(lines.size());
    for (const QByteArray &line : lines)
        out.append(toText(line));
    return out;
}

QByteArrayList toBytes(const QStringList &lines)
{
    QByteArrayList out;
    out.reserve(lines.size());
    for (const QString &line : lines)
        out.append(toBytes(line));
    return out;
}

} // namespace TextCodec
