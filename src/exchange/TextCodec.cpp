#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>
#include <vector>

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

// The byte of every character (0: not in the code page, and for U+0000), from the converter
// itself, once.
const unsigned char *codePageBytes()
{
    static const std::vector<unsigned char> table = [] {
        std::vector<unsigned char> bytes(0x10000, 0);
        for (int c = 1; c < 0x80; ++c)
            bytes[size_t(c)] = static_cast<unsigned char>(c);
        QStringDecoder d(kEncoding, QStringConverter::Flag::Stateless);
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char c = char(b);
            const QString text = d.decode(QByteArrayView(&c, 1));
            if (text.size() == 1 && text.front() != QChar::ReplacementCharacter)
                bytes[text.front().unicode()] = static_cast<unsigned char>(b);
        }
        return bytes;
    }();
    return table.data();
}

// The character of every byte, from the converter itself, once; 0 for a byte that the table
// leaves to the converter (one it does not map to a single character of its own).
const char16_t *byteCharacters()
{
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> chars(0x100, 0);
        for (int b = 1; b < 0x80; ++b)
            chars[size_t(b)] = char16_t(b);
        QStringDecoder d(kEncoding, QStringConverter::Flag::Stateless);
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char c = char(b);
            const QString text = d.decode(QByteArrayView(&c, 1));
            if (text.size() == 1 && text.front() != QChar::ReplacementCharacter)
                chars[size_t(b)] = text.front().unicode();
        }
        return chars;
    }();
    return table.data();
}

// Writes the text's bytes at out, one a character, from the table; false when a character is
// outside the code page (or a zero character), for the converter to decide.
bool tableBytes(char *out, QStringView text)
{
    static const unsigned char *const table = codePageBytes();
    const char16_t *const u = text.utf16();
    const qsizetype n = text.size();
    unsigned missing = 0;
    qsizetype i = 0;
    // Four characters at a time while they are ASCII (digits, Latin names, INI file names).
    for (; Q_BYTE_ORDER == Q_LITTLE_ENDIAN && i + 4 <= n; i += 4) {
        quint64 w;
        std::memcpy(&w, u + i, sizeof w);
        if (w & 0xFF80FF80FF80FF80ULL)
            break;
        const quint32 b = quint32(w & 0xFF) | quint32((w >> 8) & 0xFF00) | quint32((w >> 16) & 0xFF0000)
            | quint32((w >> 24) & 0xFF000000);
        missing |= unsigned((b & 0xFF) == 0) | unsigned((b & 0xFF00) == 0) | unsigned((b & 0xFF0000) == 0)
            | unsigned((b & 0xFF000000) == 0);
        std::memcpy(out + i, &b, sizeof b);
    }
    for (; i < n; ++i) {
        const unsigned char b = table[u[i]];
        out[i] = char(b);
        missing |= unsigned(b == 0);
    }
    return missing == 0;
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
    // One character per byte from the table; a byte it lacks sends the whole text to the converter.
    static const char16_t *const table = byteCharacters();
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const auto *in = reinterpret_cast<const unsigned char *>(bytes.data());
    unsigned missing = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out[i] = table[in[i]];
        missing |= unsigned(out[i] == 0);
    }
    if (missing == 0)
        return text;
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
    QByteArray bytes(text.size(), Qt::Uninitialized);
    if (tableBytes(bytes.data(), text))
        return bytes;
    return encoder().encode(text);
}

char *appendBytes(char *out, QStringView text)
{
    if (tableBytes(out, text))
        return out + text.size();
    // Outside the code page (or a zero character): the converter decides, for the whole text.
    const QByteArray bytes = toBytes(text);
    const qsizetype written = qMin(bytes.size(), text.size());
    std::memcpy(out, bytes.constData(), size_t(written));
    return out + written;
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
