#include "AccountFile.h"

#include "exchange/TextCodec.h"

#include <QCoreApplication>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace AccountFile {

namespace {

// The translation context of the reasons.
class Texts
{
    Q_DECLARE_TR_FUNCTIONS(AccountFile)
};

// True when the bytes hold non-ASCII characters and are all well-formed UTF-8. Russian text in
// Windows-1251 practically never is (a capital letter would have to be followed by one of the
// few characters from 0x80 to 0xBF every time), so such a file was saved in the wrong encoding.
bool isUtf8Text(QByteArrayView bytes)
{
    bool nonAscii = false;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = uchar(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        int follow = 0;
        char32_t min = 0;
        char32_t c = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            follow = 1;
            min = 0x80;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            follow = 2;
            min = 0x800;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            follow = 3;
            min = 0x10000;
            c = b & 0x07;
        } else {
            return false;
        }
        if (i + follow >= bytes.size())
            return false;
        for (int k = 1; k <= follow; ++k) {
            const auto f = uchar(bytes[i + k]);
            if ((f & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (f & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += follow + 1;
    }
    return nonAscii;
}

bool hasNonAscii(QByteArrayView line)
{
    return std::any_of(line.begin(), line.end(), [](char b) { return uchar(b) >= 0x80; });
}

} // namespace

std::optional<IniEntries> parseIniLine(const QString &line)
{
    IniEntries entries;
    int next = 0; // the first workstation an entry may still name
    qsizetype pos = 0;
    while (pos < line.size()) {
        const auto at = std::find(ClientList::WorkstationLetters.cbegin() + next,
            ClientList::WorkstationLetters.cend(), line.at(pos).unicode());
        if (at == ClientList::WorkstationLetters.cend() || pos + 1 >= line.size() || line.at(pos + 1) != u'=')
            return std::nullopt;
        const qsizetype end = line.indexOf(u';', pos + 2);
        if (end < 0 || end + 1 >= line.size() || line.at(end + 1) != u' ')
            return std::nullopt;
        const QString value = line.mid(pos + 2, end - pos - 2);
        if (value.contains(u'='))
            return std::nullopt;
        const int k = int(at - ClientList::WorkstationLetters.cbegin());
        entries[k] = value;
        next = k + 1;
        pos = end + 2;
    }
    return entries;
}

std::optional<QList<Entry>> parse(QByteArrayView bytes, Problem *problem)
{
    const auto fail = [problem](qsizetype line, const QString &reason) -> std::optional<QList<Entry>> {
        if (problem)
            *problem = { line, reason };
        return std::nullopt;
    };
    if (bytes.size() > MaxSize)
        return fail(1,
            Texts::tr("the file is larger than %1 MiB: it is no client list.").arg(MaxSize / (1024 * 1024)));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return fail(1,
            Texts::tr("the file starts with a UTF-8 byte order mark; the list must be Windows-1251 text "
                      "without one."));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return fail(1, Texts::tr("the file is UTF-16 text; the list must be Windows-1251 text."));

    // Lines end with LF, CR LF as written; a CR anywhere else stays in its line and is refused
    // there as a control character. A last line without its line break counts.
    QList<QByteArrayView> lines;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        else if (end > start && bytes[end - 1] == '\r')
            --end;
        lines.append(bytes.sliced(start, end - start));
        start = next;
    }
    const bool utf8 = isUtf8Text(bytes);

    const qsizetype n = lines.size();
    // What is wrong with line i as bytes, before it is read as text.
    const auto bytesProblem = [&](qsizetype i) -> QString {
        if (lines.at(i).contains('\0'))
            return Texts::tr("the line holds a zero byte.");
        if (utf8 && hasNonAscii(lines.at(i)))
            return Texts::tr("the line is UTF-8 text; the list must be Windows-1251 text.");
        return {};
    };

    QList<Entry> entries;
    for (qsizetype i = 0;; i += 3) {
        if (i >= n)
            return fail(n + 1, Texts::tr("the list does not end with the line \"*****\"."));
        if (const QString p = bytesProblem(i); !p.isEmpty())
            return fail(i + 1, p);
        const QString name = TextCodec::toText(lines.at(i));
        if (name == ClientList::ListEnd) {
            if (entries.isEmpty())
                return fail(i + 1, Texts::tr("the list holds no client."));
            if (i + 1 < n)
                return fail(i + 2, Texts::tr("nothing may follow the line \"*****\" that ends the list."));
            return entries;
        }
        if (const QString p = ClientList::nameProblem(name); !p.isEmpty())
            return fail(i + 1, p);
        if (i + 2 >= n)
            return fail(n + 1,
                Texts::tr("the list breaks off inside a client: each client has three lines, the name, the "
                          "password and the line of INI files."));
        for (qsizetype k = i + 1; k <= i + 2; ++k)
            if (const QString p = bytesProblem(k); !p.isEmpty())
                return fail(k + 1, p);
        Entry e;
        e.name = name;
        e.password = TextCodec::toText(lines.at(i + 1));
        const QString iniLine = TextCodec::toText(lines.at(i + 2));
        if (const QString p = ClientList::passwordProblem(e.password); !p.isEmpty())
            return fail(i + 2, p);
        const std::optional<IniEntries> ini = parseIniLine(iniLine);
        if (!ini)
            return fail(i + 3,
                Texts::tr(
                    "this is no line of INI files: it is empty or holds entries \"C=name; \" in the order "
                    "C, R, B, M, K, A."));
        e.ini = *ini;
        ClientList::Account account{ e.name, e.password, {} };
        for (int k = 0; k < ClientList::WorkstationCount; ++k) {
            account.ini[k] = e.ini[k].value_or(QString());
            if (const QString p = ClientList::iniNameProblem(account.ini[k]); !p.isEmpty())
                return fail(i + 3, p);
        }
        if (const QString p = ClientList::accountProblem(account); !p.isEmpty())
            return fail(i + 1, p);
        entries.append(std::move(e));
    }
}

QList<ClientList::Account> accounts(const QList<Entry> &entries, const ClientList::IniNames &defaults)
{
    QList<ClientList::Account> out;
    out.reserve(entries.size());
    for (const Entry &e : entries) {
        ClientList::Account a{ e.name, e.password, {} };
        for (int k = 0; k < ClientList::WorkstationCount; ++k)
            a.ini[k] = e.ini[k].value_or(defaults[k]);
        out.append(std::move(a));
    }
    return out;
}

} // namespace AccountFile
