// The account table, the client list text, the name rules, the account sort, the INI menu file
// and the registered-clients answer: the texts the accounts windows and the command line share.
#include "exchange/AnswerLines.h"
#include "exchange/TextCodec.h"
#include "server/ClientList.h"

#include <QLocale>
#include <QTest>

#include <numeric>

using namespace Qt::Literals::StringLiterals;
using namespace ClientList;

namespace {

const IniNames kDefaults{ u"tulvac.ini"_s, u"tulvar.ini"_s, u"tulvab.ini"_s, u"tulvap.ini"_s, u"tulvak.ini"_s,
    u"tulvaa.ini"_s };

QStringList accountLines(
    int number, const QString &name, const QString &password, const IniNames &ini = kDefaults)
{
    QStringList lines{ QString::number(number), name, password };
    for (const QString &i : ini)
        lines.append(i);
    return lines;
}

Account account(const QString &name, const QString &password, const IniNames &ini = kDefaults)
{
    return { name, password, ini };
}

QStringList column(const QList<QStringList> &rows, int c)
{
    QStringList out;
    for (const QStringList &row : rows)
        out.append(row.value(c));
    return out;
}

} // namespace

class TestClientList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void accountTable();
    void damagedAccountTable_data();
    void damagedAccountTable();
    void iniLineListsOnlyOwnFiles();
    void clientListText();
    void duplicates();
    void clientListTextReadBack();
    void nameRules_data();
    void nameRules();
    void passwordNeverInTheMessage();
    void duplicateNameCheck();
    void sortKeepsPasswordsAndCurrent();
    void sortIgnoresCaseInTheLocale_data();
    void sortIgnoresCaseInTheLocale();
    void sortOrderIsTheFoldedTextsOrder();
    void clientListBytesAsSent();
    void iniMenu_data();
    void iniMenu();
    void registeredClients();
    void damagedRegisteredClients();
};

void TestClientList::accountTable()
{
    QStringList answer{ u"0"_s, u"2"_s, u"8"_s };
    answer += accountLines(1, u"ADMIN"_s, u"admin"_s);
    answer += accountLines(2, u"Каталогизатор"_s, u"12345"_s, { u"katalog.ini"_s, {}, {}, {}, {}, {} });
    answer += u"extra line after the table"_s;
    QString error;
    const auto table = parseAccountTable(answer, &error);
    QVERIFY2(table, qPrintable(error));
    QCOMPARE(table->columnCount, 9);
    QCOMPARE(table->rows.size(), 2);
    QCOMPARE(table->passwords, (QStringList{ u"admin"_s, u"12345"_s }));
    // The rows never carry a password.
    QCOMPARE(column(table->rows, PasswordColumn), (QStringList{ HiddenPassword, HiddenPassword }));
    QCOMPARE(table->rows.at(1).at(NameColumn), u"Каталогизатор"_s);
    QCOMPARE(table->rows.at(1).at(FirstIniColumn), u"katalog.ini"_s);
    QCOMPARE(table->rows.at(1).at(FirstIniColumn + 1), QString());

    // The answer as the engine keeps it, bytes read line by line, gives the same table.
    AnswerLines kept;
    QByteArray bytes;
    for (const QString &line : std::as_const(answer))
        bytes += TextCodec::toBytes(line) + "\r\n";
    QList<QByteArrayView> views;
    qsizetype at = 0;
    for (const QString &line : std::as_const(answer)) {
        const qsizetype length = TextCodec::toBytes(line).size();
        views.append(QByteArrayView(bytes.constData() + at, length));
        at += length + 2;
    }
    kept.assign(std::move(bytes), views);
    const auto same = parseAccountTable(kept, &error);
    QVERIFY(same);
    QCOMPARE(same->rows, table->rows);
    QCOMPARE(same->passwords, table->passwords);

    const QList<Account> accounts = accountsFromRows(table->rows, table->passwords);
    QCOMPARE(accounts.at(1).password, u"12345"_s);
    QCOMPARE(accounts.at(1).ini[0], u"katalog.ini"_s);

    // No accounts at all is a sound (empty) table.
    const auto empty = parseAccountTable({ u"0"_s, u"0"_s, u"8"_s }, &error);
    QVERIFY(empty);
    QVERIFY(empty->rows.isEmpty());
}

void TestClientList::damagedAccountTable_data()
{
    QTest::addColumn<QStringList>("answer");
    const QStringList one = accountLines(1, u"ADMIN"_s, u"admin"_s);
    QTest::newRow("empty") << QStringList{};
    QTest::newRow("server error") << QStringList{ u"-3"_s };
    QTest::newRow("no counts") << QStringList{ u"0"_s, u"1"_s };
    QTest::newRow("count not a number") << (QStringList{ u"0"_s, u"один"_s, u"8"_s } + one);
    QTest::newRow("columns not a number") << (QStringList{ u"0"_s, u"1"_s, u"x"_s } + one);
    QTest::newRow("hexadecimal count") << (QStringList{ u"0"_s, u"0x1"_s, u"8"_s } + one);
    QTest::newRow("negative count") << (QStringList{ u"0"_s, u"-1"_s, u"8"_s } + one);
    QTest::newRow("count beyond 64 bits")
        << (QStringList{ u"0"_s, u"99999999999999999999999"_s, u"8"_s } + one);
    QTest::newRow("absurd count") << (QStringList{ u"0"_s, u"2147483647"_s, u"8"_s } + one);
    QTest::newRow("huge count") << (QStringList{ u"0"_s, u"9223372036854775807"_s, u"8"_s } + one);
    QTest::newRow("absurd columns") << (QStringList{ u"0"_s, u"1"_s, u"1000000000"_s } + one);
    QTest::newRow("too few columns") << QStringList{ u"0"_s, u"1"_s, u"2"_s, u"1"_s, u"A"_s, u"a"_s };
    QTest::newRow("one line short") << (QStringList{ u"0"_s, u"2"_s, u"8"_s } + one + one.mid(0, 8));
}

void TestClientList::damagedAccountTable()
{
    // A list that is not what it says is refused whole: saving part of it would delete the rest.
    QFETCH(QStringList, answer);
    QString error;
    QVERIFY(!parseAccountTable(answer, &error));
    QVERIFY(!error.isEmpty());
}

void TestClientList::iniLineListsOnlyOwnFiles()
{
    QCOMPARE(iniLine(kDefaults, kDefaults), QString());
    IniNames own = kDefaults;
    own[0] = u"abc.ini"_s;
    own[1].clear();
    QCOMPARE(iniLine(own, kDefaults), u"C=abc.ini; R=; "_s);
    // The comparison with the defaults is exact.
    own = kDefaults;
    own[5] = u"TULVAA.INI"_s;
    own[3] = u"my.ini"_s;
    QCOMPARE(iniLine(own, kDefaults), u"M=my.ini; A=TULVAA.INI; "_s);
}

void TestClientList::clientListText()
{
    QList<Account> one{ account(u"ADMIN"_s, u"admin"_s) };
    QCOMPARE(
        buildClientListText(one, kDefaults), (QStringList{ u"ADMIN"_s, u"admin"_s, QString(), ListEnd }));

    QList<Account> none;
    QCOMPARE(buildClientListText(none, kDefaults), QStringList{ ListEnd });

    IniNames reader = kDefaults;
    reader[1].clear();
    QList<Account> two{ account(u"A"_s, u"1"_s), account(u"Б"_s, u"2"_s, reader) };
    QCOMPARE(buildClientListText(two, kDefaults),
        (QStringList{ u"A"_s, u"1"_s, QString(), u"Б"_s, u"2"_s, u"R=; "_s, ListEnd }));
}

void TestClientList::duplicates()
{
    QList<Account> accounts{ account(u"ADMIN"_s, u"admin"_s), account(u"admin"_s, u"ADMIN"_s),
        account(u"ADMIN"_s, u"other"_s), account(u"AB"_s, u"C"_s), account(u"A"_s, u"BC"_s),
        account(u"иван"_s, u"пароль"_s), account(u"ИВАН"_s, u"ПАРОЛЬ"_s) };
    QList<int> marked;
    const QStringList text = buildClientListText(accounts, kDefaults, &marked);
    // Same name and password in another letter case: marked; same name, other password: not;
    // name and password that only join to the same letters: not.
    QCOMPARE(marked, (QList<int>{ 1, 6 }));
    QCOMPARE(accounts.at(1).name, u"admin_DUBLICATE"_s);
    QCOMPARE(accounts.at(6).name, u"ИВАН_DUBLICATE"_s);
    QCOMPARE(text.at(3), u"admin_DUBLICATE"_s);
    QCOMPARE(text.at(6), u"ADMIN"_s);
    QCOMPARE(text.at(12), u"A"_s);
    QCOMPARE(text.last(), ListEnd);
    QCOMPARE(text.size(), 7 * 3 + 1);
}

void TestClientList::clientListTextReadBack()
{
    IniNames own = kDefaults;
    own[0] = u"katalog.ini"_s;
    own[2].clear();
    QList<Account> accounts{ account(u"ADMIN"_s, u"admin"_s), account(u"Каталогизатор"_s, u"12345"_s, own) };
    const QStringList text = buildClientListText(accounts, kDefaults);
    QString error;
    const auto back = parseClientListText(text, kDefaults, &error);
    QVERIFY2(back, qPrintable(error));
    QCOMPARE(back->size(), 2);
    QCOMPARE(back->at(1).name, u"Каталогизатор"_s);
    QCOMPARE(back->at(1).password, u"12345"_s);
    QVERIFY(back->at(1).ini == own);
    QVERIFY(back->at(0).ini == kDefaults);

    QVERIFY(!parseClientListText(text.mid(0, text.size() - 1), kDefaults, &error));
    QVERIFY(!parseClientListText(text.mid(0, 4) + QStringList{ ListEnd }, kDefaults, &error));
    QVERIFY(!parseClientListText({ u"A"_s, u"a"_s }, kDefaults, &error));
}

void TestClientList::nameRules_data()
{
    // The same text as a name, a password and a workstation INI name: only what would break the
    // list text is refused.
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("nameOk");
    QTest::addColumn<bool>("passwordOk");
    QTest::addColumn<bool>("iniOk");
    QTest::newRow("latin") << u"ADMIN"_s << true << true << true;
    QTest::newRow("cyrillic") << u"Каталогизатор"_s << true << true << true;
    QTest::newRow("semicolon") << u"a;b"_s << true << true << false;
    QTest::newRow("equals") << u"a=b"_s << true << true << false;
    QTest::newRow("CR") << u"a\rb"_s << false << false << false;
    QTest::newRow("LF") << u"a\nb"_s << false << false << false;
    QTest::newRow("zero") << QString(u"a\0b"_s) << false << false << false;
    QTest::newRow("tab") << u"a\tb"_s << true << true << true;
    QTest::newRow("line separator") << QString(QChar(0x2028)) << false << false << false;
    QTest::newRow("list end") << u"*****"_s << false << false << true;
    QTest::newRow("outside Windows-1251") << u"名字"_s << false << false << false;
    QTest::newRow("empty") << QString() << false << true << true;
    QTest::newRow("binary marker") << u"x TULVA_BINARY_DATA y"_s << false << false << false;
    QTest::newRow("marker in other case") << u"tulva_binary_data"_s << true << true << true;
}

void TestClientList::nameRules()
{
    QFETCH(QString, name);
    QFETCH(bool, nameOk);
    QFETCH(bool, passwordOk);
    QFETCH(bool, iniOk);
    QCOMPARE(nameProblem(name).isEmpty(), nameOk);
    QCOMPARE(passwordProblem(name).isEmpty(), passwordOk);
    QCOMPARE(accountProblem(account(u"A"_s, name)).isEmpty(), passwordOk);
    QCOMPARE(iniNameProblem(name).isEmpty(), iniOk);
    IniNames ini = kDefaults;
    ini[4] = name;
    QCOMPARE(accountProblem(account(u"A"_s, u"a"_s, ini)).isEmpty(), iniOk);
    QCOMPARE(accountProblem(account(name, u"a"_s)).isEmpty(), nameOk);
}

void TestClientList::passwordNeverInTheMessage()
{
    const QString secret = u"тайна\n42"_s;
    const QString problem = passwordProblem(secret);
    QVERIFY(!problem.isEmpty());
    QVERIFY(!problem.contains(u"тайна"_s));
    QVERIFY(!accountProblem(account(u"A"_s, secret)).contains(u"тайна"_s));
}

void TestClientList::duplicateNameCheck()
{
    const QStringList names{ u"ADMIN"_s, u"Иван"_s, u"reader"_s };
    QCOMPARE(findDuplicateName(names, u"admin"_s, -1), 0);
    // Editing an account may keep its own name.
    QCOMPARE(findDuplicateName(names, u"Admin"_s, 0), -1);
    QCOMPARE(findDuplicateName(names, u"READER"_s, 0), 2);
    // Only Latin letters are compared without case, as the server compares names.
    QCOMPARE(findDuplicateName(names, u"ИВАН"_s, -1), -1);
    QCOMPARE(findDuplicateName(names, u"Иван"_s, -1), 1);
    QCOMPARE(findDuplicateName({}, u"A"_s, -1), -1);
}

void TestClientList::sortKeepsPasswordsAndCurrent()
{
    QList<QStringList> rows;
    QStringList passwords;
    const QStringList names{ u"delta"_s, u"Alpha"_s, u"charlie"_s, u"BRAVO"_s, u"alpha"_s };
    for (int i = 0; i < names.size(); ++i) {
        rows.append(accountLines(i + 1, names.at(i), HiddenPassword));
        passwords.append(u"pw-"_s + names.at(i));
    }
    rows[2][FirstIniColumn] = u"b.ini"_s;
    qsizetype current = 2; // charlie
    sortAccountRows(rows, passwords, NameColumn, &current);
    QCOMPARE(column(rows, NameColumn),
        (QStringList{ u"Alpha"_s, u"alpha"_s, u"BRAVO"_s, u"charlie"_s, u"delta"_s }));
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(passwords.at(i), u"pw-"_s + rows.at(i).at(NameColumn));
        QCOMPARE(rows.at(i).at(NumberColumn), QString::number(i + 1));
        QCOMPARE(rows.at(i).at(PasswordColumn), HiddenPassword);
    }
    QCOMPARE(current, 3);
    QCOMPARE(rows.at(3).at(FirstIniColumn), u"b.ini"_s);

    // By an INI column; equal values keep their order.
    sortAccountRows(rows, passwords, FirstIniColumn, &current);
    QCOMPARE(rows.at(0).at(NameColumn), u"charlie"_s);
    QCOMPARE(rows.at(1).at(NameColumn), u"Alpha"_s);
    QCOMPARE(current, 0);
    QCOMPARE(passwords.at(0), u"pw-charlie"_s);

    // A column beyond the rows sorts nothing apart.
    qsizetype none = -1;
    sortAccountRows(rows, passwords, 40, &none);
    QCOMPARE(none, -1);
    QCOMPARE(passwords.size(), rows.size());
}

void TestClientList::sortIgnoresCaseInTheLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("C") << QLocale::c();
    QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
}

void TestClientList::sortIgnoresCaseInTheLocale()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    const QStringList values{ u"Яков"_s, u"борис"_s, u"АННА"_s, u"Борис2"_s, u"анна1"_s };
    QStringList sorted;
    for (const qsizetype i : caseIgnoringOrder(values))
        sorted.append(values.at(i));
    QCOMPARE(sorted.first(), u"АННА"_s);
    QCOMPARE(sorted.at(1), u"анна1"_s);
    QCOMPARE(sorted.at(2), u"борис"_s);
    QCOMPARE(sorted.at(3), u"Борис2"_s);
    QCOMPARE(sorted.last(), u"Яков"_s);
}

void TestClientList::sortOrderIsTheFoldedTextsOrder()
{
    // Without collation rules: the order of the case-folded texts, ties in their first order.
    QLocale::setDefault(QLocale::c());
    const QStringList values{ u"abc"_s, u"ABCD"_s, u"ab"_s, u"Ab"_s, u"straße"_s, u"STRASSE"_s, u"Ärger"_s,
        u"ärger"_s, u"Ωмега"_s, u"ЁЖ"_s, u"ёж"_s, u"Ѐ"_s, u"z\U0001F600"_s, u"Z"_s, QString(), u"a b"_s,
        u"abcdefgh"_s, u"ABCDEFGI"_s, u"abcdefgh"_s };
    QList<qsizetype> expected(values.size());
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(),
        [&](qsizetype a, qsizetype b) { return values.at(a).toCaseFolded() < values.at(b).toCaseFolded(); });
    QCOMPARE(caseIgnoringOrder(values), expected);
}

void TestClientList::clientListBytesAsSent()
{
    // The text written at once into its buffer is the text of the lines, as the wire carries it.
    IniNames own = kDefaults;
    own[0] = u"каталог.ini"_s;
    own[1].clear();
    const QList<Account> accounts{ account(u"ADMIN"_s, u"admin"_s), account(u"admin"_s, u"ADMIN"_s),
        account(u"Иван"_s, u"пароль€"_s, own), account(u"ИВАН"_s, u"ПАРОЛЬ€"_s, own),
        account(u"中文"_s, u"x"_s), account(u"ADMIN_DUBLICATE"_s, u"admin"_s) };
    QList<Account> asAccounts = accounts;
    QList<int> markedLines;
    QByteArray expected;
    for (const QString &line : buildClientListText(asAccounts, kDefaults, &markedLines))
        expected += TextCodec::toBytes(line) + "\r\n";

    QList<QStringList> rows;
    QStringList passwords;
    for (const Account &a : accounts) {
        QStringList row{ QString::number(rows.size() + 1), a.name, HiddenPassword };
        for (const QString &ini : a.ini)
            row.append(ini);
        rows.append(row);
        passwords.append(a.password);
    }
    QList<int> marked;
    QCOMPARE(clientListBytes(rows, passwords, kDefaults, &marked), expected);
    QCOMPARE(marked, markedLines);
    QCOMPARE(rows.at(1).at(NameColumn), u"admin_DUBLICATE"_s);
    QList<QStringList> none;
    QCOMPARE(clientListBytes(none, {}, kDefaults), "*****\r\n"_ba);
}

void TestClientList::iniMenu_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("names");
    const QString end = ListEnd;
    QTest::newRow("pairs and the end") << QStringList{ u"tulvaa.ini"_s, u"Администратор"_s, u"katalog.ini"_s,
        u"Каталог"_s, end, u"x.ini"_s, u"x"_s }
                                       << QStringList{ u"tulvaa.ini"_s, u"katalog.ini"_s };
    QTest::newRow("other extension") << QStringList{ u"profile.cfg"_s, u"d"_s, end }
                                     << QStringList{ u"profile.ini"_s };
    QTest::newRow("two points") << QStringList{ u"a.b.ini"_s, u"d"_s } << QStringList{ u"a.ini"_s };
    QTest::newRow("no point") << QStringList{ u"plain"_s, u"d"_s } << QStringList{ u"plain.ini"_s };
    QTest::newRow("end first") << QStringList{ end, u"a.ini"_s, u"d"_s } << QStringList{};
    QTest::newRow("no end, odd last line")
        << QStringList{ u"a.ini"_s, u"d"_s, u"b.ini"_s } << QStringList{ u"a.ini"_s };
    QTest::newRow("end as description")
        << QStringList{ u"a.ini"_s, end, u"b.ini"_s, u"d"_s } << QStringList{};
    QTest::newRow("empty file") << QStringList{} << QStringList{};
    QTest::newRow("empty name line") << QStringList{ QString(), u"d"_s } << QStringList{ u".ini"_s };
}

void TestClientList::iniMenu()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, names);
    const QList<IniMenuEntry> entries = parseIniMenu(lines);
    QStringList got;
    for (const IniMenuEntry &e : entries)
        got.append(e.fileName);
    QCOMPARE(got, names);
    if (!entries.isEmpty())
        QCOMPARE(entries.first().description, lines.at(1));
}

void TestClientList::registeredClients()
{
    QStringList answer{ u"0"_s, u"1234"_s, u"2"_s, u"9"_s };
    for (int c = 0; c < 10; ++c)
        answer.append(u"s%1"_s.arg(c));
    for (int c = 0; c < 10; ++c)
        answer.append(u"c%1"_s.arg(c));
    const auto clients = parseRegisteredClients(answer);
    QVERIFY(clients);
    QCOMPARE(clients->requestCounter, u"1234"_s);
    QCOMPARE(clients->columnCount, 10);
    QCOMPARE(clients->rows.size(), 2);
    QCOMPARE(clients->rows.at(1).at(4), u"c4"_s);

    // An answer that ends early fills what it has; the rest of a begun row stays empty.
    const auto shortAnswer = parseRegisteredClients(answer.mid(0, 4 + 13));
    QVERIFY(shortAnswer);
    QCOMPARE(shortAnswer->rows.size(), 2);
    QCOMPARE(shortAnswer->rows.at(1).size(), 10);
    QCOMPARE(shortAnswer->rows.at(1).at(2), u"c2"_s);
    QCOMPARE(shortAnswer->rows.at(1).at(3), QString());

    // Counts that are not numbers count as 0.
    const auto noCounts = parseRegisteredClients({ u"0"_s, u"7"_s, u"много"_s, u"x"_s, u"a"_s });
    QVERIFY(noCounts);
    QCOMPARE(noCounts->rows.size(), 0);
    QCOMPARE(noCounts->columnCount, 1);
    QCOMPARE(noCounts->requestCounter, u"7"_s);

    // An absurd count allocates only what the lines fill.
    const auto absurd
        = parseRegisteredClients(QStringList{ u"0"_s, u"1"_s, u"2147483647"_s, u"9"_s } + answer.mid(4));
    QVERIFY(absurd);
    QCOMPARE(absurd->rows.size(), 2);
}

void TestClientList::damagedRegisteredClients()
{
    QVERIFY(!parseRegisteredClients({}));
    QVERIFY(!parseRegisteredClients({ u"-1"_s, u"5"_s }));
    QVERIFY(!parseRegisteredClients({ u" 0"_s }));
    QVERIFY(!parseRegisteredClients({ u"0"_s, u"1"_s, u"1"_s, u"2147483647"_s, u"a"_s }));
    const auto onlyCode = parseRegisteredClients({ u"0"_s });
    QVERIFY(onlyCode);
    QCOMPARE(onlyCode->rows.size(), 0);
}

QTEST_APPLESS_MAIN(TestClientList)
#include "tst_clientlist.moc"
