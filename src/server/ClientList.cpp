#include "ClientList.h"

#include "database/DbNames.h"
#include "exchange/AnswerLines.h"
#include "exchange/OpResult.h"
#include "exchange/TextCodec.h"
#include "exchange/WireFormat.h"
#include "shell/TextRules.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace ClientList {

namespace {

// A whole decimal number (sign allowed); false for anything else, overflow included.
bool decimal(const QString &text, qint64 *value)
{
    bool ok = false;
    *value = QStringView(text).trimmed().toLongLong(&ok, 10);
    return ok;
}

// The wire carries Windows-1251: a character outside it would arrive as another one.
bool fitsCodePage(const QString &text)
{
    // Which characters the code page holds, decoded once from its upper half.
    static const std::vector<bool> inCodePage = [] {
        std::vector<bool> table(0x10000, false);
        for (char16_t u = 0; u < 0x80; ++u)
            table[u] = true;
        QByteArray bytes;
        for (int b = 0x80; b <= 0xFF; ++b)
            bytes.append(char(b));
        for (const QChar c : TextCodec::toText(bytes)) {
            if (c != QChar::ReplacementCharacter)
                table[c.unicode()] = true;
        }
        return table;
    }();
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return inCodePage[c.unicode()]; });
}

// What plainValue needs to know of a character below U+0450: bit 0 refuses it (a line break, a
// zero, a character the fast pass leaves to the full checks), bit 1 refuses it in an INI name,
// bit 2 marks the first character of the binary marker.
constexpr std::array<unsigned char, 0x450> kCharClass = [] {
    std::array<unsigned char, 0x450> classes{};
    for (auto &c : classes)
        c = 1;
    for (int c = 0; c < 0x80; ++c)
        classes[size_t(c)] = 0;
    for (int c = 0x0410; c < 0x0450; ++c)
        classes[size_t(c)] = 0;
    classes[0] = classes[u'\r'] = classes[u'\n'] = 1;
    classes[u';'] = classes[u'='] = 2;
    classes[uchar(Wire::kBinaryMarker[0])] = 4;
    return classes;
}();

// True when the text surely holds none of what lineProblem (and, with `ini`, the INI name's
// separators) refuses: Latin and Russian letters, digits and signs, in one pass without a
// converter or a copy; anything else goes to the full checks.
bool plainValue(QStringView text, bool ini)
{
    unsigned seen = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        seen |= c < kCharClass.size() ? kCharClass[c] : 1u;
    }
    if (seen & (ini ? 3u : 1u))
        return false;
    return !(seen & 4u) || !Wire::holdsBinaryMarker(text);
}

// What would break one line of the client list text; `what` begins the sentence ("Имя клиента").
// A line break splits the line and a zero byte ends the text; the binary marker cuts every
// answer that carries the list back; a character outside the code page arrives as another one.
// Anything else the server keeps and the text carries, tabs and blanks included.
QString lineProblem(const QString &text, const QString &what)
{
    if (plainValue(text, false))
        return {};
    if (text.contains(u'\r') || text.contains(u'\n'))
        return what + u" содержит перевод строки."_s;
    if (text.contains(QChar(0)))
        return what + u" содержит нулевой символ."_s;
    if (Wire::holdsBinaryMarker(text))
        return binaryMarkerProblem(what);
    if (!fitsCodePage(text))
        return what + u" содержит символы, которых нет в кодировке Windows-1251."_s;
    return {};
}

} // namespace

namespace {

bool sameLine(const QStringList &answer, qsizetype i, const QString &text)
{
    return answer.at(i) == text;
}

bool sameLine(const AnswerLines &answer, qsizetype i, const QString &text)
{
    // Compared as bytes where the text is plain Latin, else after decoding.
    const QByteArrayView bytes = answer.bytesAt(i);
    if (bytes.size() != text.size())
        return false;
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        const uchar b = uchar(bytes[k]);
        if (b >= 0x80)
            return answer.at(i) == text;
        if (text.at(k).unicode() != b)
            return false;
    }
    return true;
}

// Number texts "1", "2", … kept from list to list and shared by the rows: a row numbered as the
// table numbers it then costs no text of its own, and renumbering after a sort makes none.
const QStringList &rowNumbers(qsizetype count)
{
    thread_local QStringList numbers;
    numbers.reserve(count);
    while (numbers.size() < count)
        numbers.append(QString::number(numbers.size() + 1));
    return numbers;
}

// The answer's lines are read one by one, each once: an answer kept as bytes is then decoded
// line by line into the rows, without a whole decoded copy first.
template <typename Lines> std::optional<AccountTable> parseTable(const Lines &answer, QString *error)
{
    const auto fail = [error](const QString &why) -> std::optional<AccountTable> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!returnCodeOk(answer))
        return fail(u"сервер вернул код %1."_s.arg(answer.value(0)));
    if (answer.size() < 3)
        return fail(u"в ответе нет числа клиентов или числа столбцов."_s);
    qint64 count = 0;
    qint64 lastColumn = 0;
    if (!decimal(answer.at(1), &count) || count < 0)
        return fail(u"число клиентов «%1» — не число."_s.arg(answer.at(1).left(40)));
    if (!decimal(answer.at(2), &lastColumn))
        return fail(u"число столбцов «%1» — не число."_s.arg(answer.at(2).left(40)));
    const qint64 columns = lastColumn + 1;
    if (columns < ColumnCount || columns > MaxColumnCount)
        return fail(u"в таблице %1 столбцов, а нужно не меньше %2."_s.arg(columns).arg(ColumnCount));
    const qint64 available = answer.size() - 3;
    // count < 2^63 / 256 is not guaranteed by the text, so compare by division.
    if (count > available / columns)
        return fail(u"объявлено клиентов: %1, а строк пришло на %2."_s.arg(count).arg(available / columns));

    AccountTable table;
    table.columnCount = int(columns);
    table.rows.reserve(count);
    table.passwords.reserve(count);
    // A cell equal to the one above it shares that text: the INI columns repeat a few names a
    // hundred thousand times, which then cost one text each, not one per account.
    QStringList above(columns);
    const QStringList &numbers = rowNumbers(count);
    for (qint64 r = 0; r < count; ++r) {
        QStringList row;
        row.reserve(columns);
        const qsizetype first = 3 + r * columns;
        for (qsizetype c = 0; c < columns; ++c) {
            if (c == NumberColumn && sameLine(answer, first, numbers.at(r))) {
                row.append(numbers.at(r));
            } else if (c == PasswordColumn) {
                table.passwords.append(answer.at(first + c));
                row.append(HiddenPassword);
            } else if (c >= FirstIniColumn && sameLine(answer, first + c, above.at(c))) {
                row.append(above.at(c));
            } else {
                row.append(answer.at(first + c));
                if (c >= FirstIniColumn)
                    above[c] = row.last();
            }
        }
        table.rows.append(std::move(row));
    }
    return table;
}

} // namespace

std::optional<AccountTable> parseAccountTable(const QStringList &answer, QString *error)
{
    return parseTable(answer, error);
}

std::optional<AccountTable> parseAccountTable(const AnswerLines &answer, QString *error)
{
    return parseTable(answer, error);
}

QList<Account> accountsFromRows(const QList<QStringList> &rows, const QStringList &passwords)
{
    QList<Account> accounts;
    accounts.reserve(rows.size());
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        Account a;
        a.name = row.value(NameColumn);
        a.password = passwords.value(r);
        for (int k = 0; k < WorkstationCount; ++k)
            a.ini[k] = row.value(FirstIniColumn + k);
        accounts.append(std::move(a));
    }
    return accounts;
}

QString iniLine(const IniNames &ini, const IniNames &defaults)
{
    // Sized first: a list of a hundred thousand accounts builds one line each.
    qsizetype length = 0;
    for (int k = 0; k < WorkstationCount; ++k) {
        if (ini[k] != defaults[k])
            length += ini[k].size() + 4;
    }
    QString line;
    if (length == 0)
        return line;
    line.reserve(length);
    for (int k = 0; k < WorkstationCount; ++k) {
        if (ini[k] == defaults[k])
            continue;
        line.append(QChar(WorkstationLetters[k])).append(u'=').append(ini[k]).append(QLatin1StringView("; "));
    }
    return line;
}

namespace {

// One character folded as QChar::toCaseFolded does, from a table made once.
const char16_t *foldTable()
{
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(0x10000);
        for (size_t u = 0; u < t.size(); ++u)
            t[u] = QChar(char16_t(u)).toCaseFolded().unicode();
        return t;
    }();
    return table.data();
}

inline char16_t folded(char16_t c)
{
    static const char16_t *const table = foldTable();
    return table[c];
}

// Name and password folded for the duplicate test, hashed and compared without building a key
// string: a list of a hundred thousand accounts would otherwise allocate one per account.
size_t foldedHash(const QString &name, const QString &password)
{
    size_t h = 14695981039346656037ULL;
    const auto mix = [&h](char16_t c) {
        h ^= c;
        h *= 1099511628211ULL;
    };
    for (const QChar c : name)
        mix(folded(c.unicode()));
    // The separator keeps ("AB", "C") and ("A", "BC") apart.
    mix(u'\n');
    for (const QChar c : password)
        mix(folded(c.unicode()));
    return h;
}

bool foldedEqual(const QString &x, const QString &y)
{
    if (x.size() != y.size())
        return false;
    for (qsizetype i = 0; i < x.size(); ++i) {
        if (folded(x.at(i).unicode()) != folded(y.at(i).unicode()))
            return false;
    }
    return true;
}

// Marks the accounts that repeat an earlier one, in order, through `mark` (which appends
// DuplicateMark to the name where the accounts are kept); `name` and `password` read them by index.
// `judged` is told of each account once it is judged, in order.
template <typename Name, typename Password, typename Mark, typename Judged = void (*)(qsizetype)>
void markRepeats(
    qsizetype count, Name name, Password password, Mark mark, QList<int> *marked,
    Judged judged = [](qsizetype) {})
{
    // Only a repeated name and password together make a duplicate. The accounts seen so far sit
    // in an open-addressing table of their indexes, found by the hash of their folded texts.
    size_t tableSize = 16;
    while (tableSize < size_t(count) * 2)
        tableSize *= 2;
    std::vector<qsizetype> table(tableSize, -1);
    std::vector<size_t> hashes(static_cast<size_t>(count), 0);
    const auto same = [&](qsizetype a, qsizetype b) {
        return foldedEqual(name(a), name(b)) && foldedEqual(password(a), password(b));
    };
    const auto remember = [&](qsizetype i) {
        size_t at = hashes[size_t(i)] & (tableSize - 1);
        while (table[at] >= 0)
            at = (at + 1) & (tableSize - 1);
        table[at] = i;
    };
    for (qsizetype i = 0; i < count; ++i) {
        const size_t hash = foldedHash(name(i), password(i));
        hashes[size_t(i)] = hash;
        bool repeated = false;
        for (size_t at = hash & (tableSize - 1); !repeated && table[at] >= 0;
             at = (at + 1) & (tableSize - 1)) {
            const qsizetype j = table[at];
            repeated = hashes[size_t(j)] == hash && same(j, i);
        }
        if (repeated) {
            mark(i);
            if (marked)
                marked->append(int(i));
            hashes[size_t(i)] = foldedHash(name(i), password(i));
        }
        remember(i);
        judged(i);
    }
}

} // namespace

QStringList buildClientListText(QList<Account> &accounts, const IniNames &defaults, QList<int> *marked)
{
    markRepeats(
        accounts.size(), [&](qsizetype i) -> const QString & { return accounts.at(i).name; },
        [&](qsizetype i) -> const QString & { return accounts.at(i).password; },
        [&](qsizetype i) { accounts[i].name += DuplicateMark; }, marked);
    QStringList lines;
    lines.reserve(accounts.size() * 3 + 1);
    for (const Account &account : std::as_const(accounts))
        lines << account.name << account.password << iniLine(account.ini, defaults);
    lines.append(ListEnd);
    return lines;
}

QByteArray clientListBytes(
    QList<QStringList> &rows, const QStringList &passwords, const IniNames &defaults, QList<int> *marked)
{
    static const QString none;
    const auto cell = [&rows](qsizetype i, int c) -> const QString & {
        const QStringList &row = rows.at(i);
        return c < row.size() ? row.at(c) : none;
    };
    const auto name = [&](qsizetype i) -> const QString & { return cell(i, NameColumn); };
    const auto password
        = [&](qsizetype i) -> const QString & { return i < passwords.size() ? passwords.at(i) : none; };
    // One pass over the rows: each account is judged for a repeat and written at once, into a
    // buffer sized in advance for accounts of a usual length (a character is at most one byte) and
    // doubled in the rare case that the accounts are longer. The rows of a long list lie all over
    // the heap; a second pass would wait for each of them again.
    constexpr qsizetype kUsualAccount = 64;
    QByteArray text(rows.size() * kUsualAccount + ListEnd.size() + 2, Qt::Uninitialized);
    qsizetype used = 0;
    const auto room = [&](qsizetype more) {
        if (used + more > text.size())
            text.resize(qMax(text.size() * 2, used + more));
        return text.data() + used;
    };
    markRepeats(
        rows.size(), name, password,
        [&](qsizetype i) {
            QStringList &row = rows[i];
            if (row.size() <= NameColumn)
                row.resize(NameColumn + 1);
            row[NameColumn] += DuplicateMark;
        },
        marked,
        [&](qsizetype i) {
            const QString &n = name(i);
            const QString &w = password(i);
            qsizetype size = n.size() + w.size() + 6;
            unsigned own = 0; // the workstations whose INI name is not the default
            for (int k = 0; k < WorkstationCount; ++k) {
                const QString &value = cell(i, FirstIniColumn + k);
                if (value != defaults[k]) {
                    own |= 1u << k;
                    size += value.size() + 4;
                }
            }
            char *p = room(size);
            const auto endLine = [&p] {
                *p++ = '\r';
                *p++ = '\n';
            };
            p = TextCodec::appendBytes(p, n);
            endLine();
            p = TextCodec::appendBytes(p, w);
            endLine();
            for (int k = 0; k < WorkstationCount; ++k) {
                if (!(own & (1u << k)))
                    continue;
                *p++ = char(WorkstationLetters[k]);
                *p++ = '=';
                p = TextCodec::appendBytes(p, cell(i, FirstIniColumn + k));
                *p++ = ';';
                *p++ = ' ';
            }
            endLine();
            used = p - text.constData();
        });
    char *p = room(ListEnd.size() + 2);
    p = TextCodec::appendBytes(p, ListEnd);
    *p++ = '\r';
    *p++ = '\n';
    text.truncate(p - text.constData());
    return text;
}

std::optional<QList<Account>> parseClientListText(
    const QStringList &lines, const IniNames &defaults, QString *error)
{
    QList<Account> accounts;
    for (qsizetype i = 0;; i += 3) {
        if (i >= lines.size()) {
            if (error)
                *error = u"список не кончается строкой «*****»."_s;
            return std::nullopt;
        }
        if (lines.at(i) == ListEnd)
            break;
        if (i + 2 >= lines.size()) {
            if (error)
                *error = u"список обрывается внутри клиента (строка %1)."_s.arg(i + 1);
            return std::nullopt;
        }
        Account a;
        a.name = lines.at(i);
        a.password = lines.at(i + 1);
        a.ini = defaults;
        for (const QString &part : lines.at(i + 2).split(u';')) {
            const QString entry = part.trimmed();
            const qsizetype eq = entry.indexOf(u'=');
            if (eq != 1)
                continue;
            const char16_t letter = entry.at(0).toUpper().unicode();
            const auto at = std::find(WorkstationLetters.cbegin(), WorkstationLetters.cend(), letter);
            if (at != WorkstationLetters.cend())
                a.ini[at - WorkstationLetters.cbegin()] = entry.mid(eq + 1).trimmed();
        }
        accounts.append(std::move(a));
    }
    return accounts;
}

QString nameProblem(const QString &name)
{
    // The server takes no account without a name: it would refuse the whole list.
    if (name.isEmpty())
        return u"Имя клиента не может быть пустым."_s;
    if (name == ListEnd)
        return u"Имя «*****» нельзя: этой строкой кончается список клиентов."_s;
    return lineProblem(name, u"Имя клиента"_s);
}

QString passwordProblem(const QString &password)
{
    // An empty password is a password the server keeps. The text of a password is never
    // repeated in a message.
    if (password == ListEnd)
        return u"Пароль «*****» нельзя: этой строкой кончается список клиентов."_s;
    return lineProblem(password, u"Пароль"_s);
}

QString iniNameProblem(const QString &iniName)
{
    if (plainValue(iniName, true))
        return {};
    if (iniName.contains(u';') || iniName.contains(u'='))
        return u"Имя ini-файла «%1» содержит «;» или «=»."_s.arg(iniName);
    return lineProblem(iniName, u"Имя ini-файла"_s);
}

namespace {

template <typename Ini> QString problemOf(const QString &name, const QString &password, Ini ini)
{
    QString problem = nameProblem(name);
    if (problem.isEmpty())
        problem = passwordProblem(password);
    for (int k = 0; problem.isEmpty() && k < WorkstationCount; ++k)
        problem = iniNameProblem(ini(k));
    return problem;
}

} // namespace

QString accountProblem(const Account &account)
{
    return problemOf(
        account.name, account.password, [&](int k) -> const QString & { return account.ini[k]; });
}

QString rowProblem(const QStringList &row, const QString &password)
{
    static const QString none;
    const auto cell = [&row](int c) -> const QString & { return c < row.size() ? row.at(c) : none; };
    return problemOf(
        cell(NameColumn), password, [&](int k) -> const QString & { return cell(FirstIniColumn + k); });
}

qsizetype findDuplicateName(const QStringList &names, const QString &name, qsizetype skip)
{
    const QString wanted = upperLatin(name);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i != skip && names.at(i).size() == wanted.size() && upperLatin(names.at(i)) == wanted)
            return i;
    }
    return -1;
}

QList<qsizetype> caseIgnoringOrder(const QStringList &values)
{
    const QLocale locale;
    QList<qsizetype> order;
    order.reserve(values.size());
    if (locale.language() == QLocale::C) {
        // No collation rules to apply: folded texts in code unit order; the index breaks ties, so
        // equal values keep their order. The folded texts lie in one buffer, each key starting
        // with its first four units packed into a number, which settles most comparisons alone.
        struct Key
        {
            quint64 head;
            quint32 index;
        };
        const qsizetype n = values.size();
        std::vector<quint32> offsets(size_t(n) + 1);
        qsizetype total = 0;
        for (qsizetype i = 0; i < n; ++i)
            total += values.at(i).size();
        std::vector<char16_t> units(static_cast<size_t>(total));
        std::vector<Key> keys(static_cast<size_t>(n));
        const char16_t *const fold = foldTable();
        size_t used = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const QString &value = values.at(i);
            offsets[size_t(i)] = quint32(used);
            const char16_t *in = reinterpret_cast<const char16_t *>(value.constData());
            char16_t *const to = units.data() + used;
            bool plain = true;
            for (qsizetype k = 0; k < value.size(); ++k) {
                const char16_t c = in[k];
                plain = plain && (c < 0x80 || (c >= 0x0400 && c <= 0x045F));
                to[k] = fold[c];
            }
            if (plain) {
                used += size_t(value.size());
            } else {
                // Folding that may change the length: the whole text folded as QString does it.
                const QString whole = value.toCaseFolded();
                if (whole.size() > value.size())
                    units.resize(units.size() + size_t(whole.size() - value.size()));
                std::copy_n(
                    reinterpret_cast<const char16_t *>(whole.constData()), whole.size(), units.data() + used);
                used += size_t(whole.size());
            }
            const char16_t *const key = units.data() + offsets[size_t(i)];
            const size_t length = used - offsets[size_t(i)];
            quint64 head = 0;
            for (size_t k = 0; k < 4; ++k)
                head = (head << 16) | (k < length ? key[k] : 0);
            keys[size_t(i)] = { head, quint32(i) };
        }
        offsets[size_t(n)] = quint32(used);
        const char16_t *const base = units.data();
        const quint32 *const at = offsets.data();
        std::sort(keys.begin(), keys.end(), [base, at](const Key &a, const Key &b) {
            if (a.head != b.head)
                return a.head < b.head;
            const int c
                = std::u16string_view(base + at[a.index], at[a.index + 1] - at[a.index])
                      .compare(std::u16string_view(base + at[b.index], at[b.index + 1] - at[b.index]));
            return c != 0 ? c < 0 : a.index < b.index;
        });
        for (const Key &k : keys)
            order.append(k.index);
        return order;
    }
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // One key per value, then plain key comparisons: far cheaper than collating every pair.
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keyed;
    keyed.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        keyed.emplace_back(collator.sortKey(values.at(i).toCaseFolded()), i);
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        const int c = a.first.compare(b.first);
        return c != 0 ? c < 0 : a.second < b.second;
    });
    for (const auto &k : keyed)
        order.append(k.second);
    return order;
}

void sortAccountRows(QList<QStringList> &rows, QStringList &passwords, int column, qsizetype *current)
{
    if (column < 0)
        return;
    QStringList values;
    values.reserve(rows.size());
    for (const QStringList &row : std::as_const(rows))
        values.append(row.value(column));
    const QList<qsizetype> order = caseIgnoringOrder(values);

    // A row whose number stays is not written.
    const QStringList &numbers = rowNumbers(rows.size());
    QList<QStringList> sortedRows;
    QStringList sortedPasswords;
    sortedRows.reserve(rows.size());
    sortedPasswords.reserve(rows.size());
    qsizetype followed = -1;
    for (qsizetype i = 0; i < order.size(); ++i) {
        const qsizetype from = order.at(i);
        if (current && from == *current)
            followed = i;
        sortedRows.append(std::move(rows[from]));
        sortedPasswords.append(passwords.value(from));
        QStringList &row = sortedRows.last();
        if (!row.isEmpty() && row.at(NumberColumn).constData() != numbers.at(i).constData())
            row[NumberColumn] = numbers.at(i);
    }
    rows = std::move(sortedRows);
    passwords = std::move(sortedPasswords);
    if (current)
        *current = followed;
}

QString iniMenuFileName(const QString &nameLine)
{
    const qsizetype point = nameLine.indexOf(u'.');
    return (point >= 0 ? nameLine.left(point) : nameLine) + u".ini"_s;
}

QList<IniMenuEntry> parseIniMenu(const QStringList &lines)
{
    QList<IniMenuEntry> entries;
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
        if (lines.at(i) == ListEnd || lines.at(i + 1) == ListEnd)
            break;
        entries.append({ iniMenuFileName(lines.at(i)), lines.at(i + 1) });
    }
    return entries;
}

std::optional<RegisteredClients> parseRegisteredClients(const QStringList &answer)
{
    if (!returnCodeOk(answer))
        return std::nullopt;
    qint64 count = 0;
    qint64 lastColumn = 0;
    if (!decimal(answer.value(2), &count) || count < 0)
        count = 0;
    if (!decimal(answer.value(3), &lastColumn) || lastColumn < 0)
        lastColumn = 0;
    if (lastColumn + 1 > MaxColumnCount)
        return std::nullopt;
    RegisteredClients clients;
    clients.requestCounter = answer.value(1);
    clients.columnCount = int(lastColumn + 1);
    const qint64 available = qMax<qint64>(0, answer.size() - 4);
    const qint64 rows = qMin(count, (available + lastColumn) / clients.columnCount);
    clients.rows.reserve(rows);
    for (qint64 r = 0; r < rows; ++r) {
        QStringList row = answer.mid(4 + r * clients.columnCount, clients.columnCount);
        row.resize(clients.columnCount);
        clients.rows.append(std::move(row));
    }
    return clients;
}

} // namespace ClientList
