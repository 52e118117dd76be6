// The process list parser, the command code table and the rule that finds this client's job.
#include "server/ProcessList.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// An answer announcing n processes of m + 1 cells, followed by the given cells.
QStringList answer(const QString &n, const QString &m, const QStringList &cells)
{
    return QStringList{ u"0"_s, n, m } + cells;
}

QStringList cells(int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QString::number(i);
    return out;
}

// A grid of rows (row 0 = titles, row 1 = server) for the search functions.
struct Grid
{
    QList<QStringList> rows;
    void add(const QString &number, const QString &clientId, const QString &name, const QString &state)
    {
        QStringList row(ProcessColumn::Count);
        row[ProcessColumn::Number] = number;
        row[ProcessColumn::ClientId] = clientId;
        row[ProcessColumn::Name] = name;
        row[ProcessColumn::State] = state;
        rows << row;
    }
    std::function<QString(int, int)> cell() const
    {
        return [this](int col, int row) { return rows.value(row).value(col); };
    }
    int find(const QString &clientId, const QString &name) const
    {
        return findOwnActiveProcess(int(rows.size()), cell(), clientId, name);
    }
};

Grid serverOnly()
{
    Grid g;
    g.rows << QStringList(ProcessColumn::Count, u"title"_s);
    g.add(u"*"_s, u"*****"_s, u"*****"_s, u"Активный"_s);
    return g;
}

} // namespace

class TestProcessList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void parseKeepsCellOrder();
    void commandCodes_data();
    void commandCodes();
    void findOwnActiveProcess_data();
    void findOwnActiveProcess();
    void findIgnoresServerRowAndTakesFirstMatch();
    void rowOfProcessFollowsNumberAndClient();
};

void TestProcessList::parse_data()
{
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("lastRowFilled");

    QTest::newRow("two full rows") << answer(u"2"_s, u"9"_s, cells(20)) << 2 << 10 << 10;
    QTest::newRow("3 announced, lines for 2 and a bit") << answer(u"3"_s, u"9"_s, cells(24)) << 3 << 10 << 4;
    QTest::newRow("fewer announced than sent") << answer(u"1"_s, u"9"_s, cells(30)) << 1 << 10 << 10;
    QTest::newRow("counts not numbers") << answer(u"x"_s, u"nine"_s, cells(20)) << 0 << 1 << 0;
    QTest::newRow("only the return code") << QStringList{ u"0"_s } << 0 << 1 << 0;
    QTest::newRow("no cells") << answer(u"5"_s, u"9"_s, {}) << 0 << 10 << 0;
    QTest::newRow("absurd N") << answer(u"2000000000"_s, u"9"_s, cells(25)) << 3 << 10 << 5;
    QTest::newRow("N beyond 32 bits") << answer(u"99999999999999"_s, u"9"_s, cells(10)) << 1 << 10 << 10;
    QTest::newRow("M = 0: one cell per row") << answer(u"2000000000"_s, u"0"_s, cells(7)) << 7 << 1 << 1;
    QTest::newRow("negative N") << answer(u"-5"_s, u"9"_s, cells(20)) << 0 << 10 << 0;
    QTest::newRow("negative M") << answer(u"2"_s, u"-7"_s, cells(4)) << 2 << 1 << 1;
    QTest::newRow("absurd M, few cells") << answer(u"1"_s, u"2000000000"_s, cells(4)) << 1 << 10 << 4;
    QTest::newRow("absurd M, many cells") << answer(u"1"_s, u"2000000000"_s, cells(40)) << 1 << 40 << 40;
}

void TestProcessList::parse()
{
    QFETCH(QStringList, answer);
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(int, lastRowFilled);

    const ProcessTable t = parseProcessList(answer);
    QCOMPARE(t.rows.size(), rows);
    QCOMPARE(t.colCount, cols);
    for (const QStringList &row : t.rows)
        QCOMPARE(row.size(), cols);
    if (rows > 0) {
        const QStringList &last = t.rows.last();
        int filled = 0;
        while (filled < last.size() && !last.at(filled).isEmpty())
            ++filled;
        QCOMPARE(filled, lastRowFilled);
    }
}

void TestProcessList::parseKeepsCellOrder()
{
    const ProcessTable t = parseProcessList(
        answer(u"2"_s, u"2"_s, { u"1"_s, u"a"_s, u"Активный"_s, u"2"_s, u"b"_s, u"Завершён"_s }));
    QCOMPARE(
        t.rows, (QList<QStringList>{ { u"1"_s, u"a"_s, u"Активный"_s }, { u"2"_s, u"b"_s, u"Завершён"_s } }));
}

void TestProcessList::commandCodes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");
    QTest::newRow("first") << u"TULVA_REG"_s << u"A"_s;
    QTest::newRow("reload dict") << u"TULVA_RELOAD_DICT"_s << u"Y"_s;
    QTest::newRow("create dict") << u"TULVA_CREATE_DICT"_s << u"Z"_s;
    QTest::newRow("reload master") << u"TULVA_RELOAD_MASTER"_s << u"X"_s;
    QTest::newRow("unlock mfn is not unlock") << u"TULVA_DB_UNLOCK_MFN"_s << u"Q"_s;
    QTest::newRow("unlock") << u"TULVA_DB_UNLOCK"_s << u"U"_s;
    QTest::newRow("new database") << u"TULVA_DB_NEW"_s << u"T"_s;
    QTest::newRow("digit code") << u"TULVA_GET_DELETED_LIST"_s << u"0"_s;
    QTest::newRow("administrator family") << u"TULVA_ADMINISTRATOR_COMMANDS"_s << u"+"_s;
    QTest::newRow("lower case") << u"tulva_reload_dict"_s << QString();
    QTest::newRow("deletion has none") << u"TULVA_DB_DELETE"_s << QString();
    QTest::newRow("prefix only") << u"TULVA_RELOAD"_s << QString();
    QTest::newRow("trailing blank") << u"TULVA_REG "_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestProcessList::commandCodes()
{
    QFETCH(QString, name);
    QFETCH(QString, code);
    QCOMPARE(ProcessCommandCode(name), code);
}

void TestProcessList::findOwnActiveProcess_data()
{
    QTest::addColumn<QString>("clientId");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("sought");
    QTest::addColumn<bool>("found");

    const QString job = u"TULVA_RELOAD_DICT"_s;
    QTest::newRow("own running job") << u"123456"_s << job << u"Активный"_s << job << true;
    QTest::newRow("another client") << u"654321"_s << job << u"Активный"_s << job << false;
    QTest::newRow("not running") << u"123456"_s << job << u"Завершён"_s << job << false;
    QTest::newRow("other job") << u"123456"_s << u"TULVA_CREATE_DICT"_s << u"Активный"_s << job << false;
    QTest::newRow("Latin case folds")
        << u"123456"_s << job << u"Активный"_s << u"tulva_Reload_dict"_s << true;
    QTest::newRow("Cyrillic case does not") << u"123456"_s << job << u"АКТИВНЫЙ"_s << job << false;
    QTest::newRow("id with blank") << u"123456 "_s << job << u"Активный"_s << job << false;
}

void TestProcessList::findOwnActiveProcess()
{
    QFETCH(QString, clientId);
    QFETCH(QString, name);
    QFETCH(QString, state);
    QFETCH(QString, sought);
    QFETCH(bool, found);

    Grid g = serverOnly();
    g.add(u"5"_s, clientId, name, state);
    QCOMPARE(g.find(u"123456"_s, sought), found ? 2 : -1);
}

void TestProcessList::findIgnoresServerRowAndTakesFirstMatch()
{
    Grid g = serverOnly();
    // Row 1 is never matched, even when it looks like the job.
    g.rows[1][ProcessColumn::ClientId] = u"7"_s;
    g.rows[1][ProcessColumn::Name] = u"TULVA_DB_NEW"_s;
    QCOMPARE(g.find(u"7"_s, u"TULVA_DB_NEW"_s), -1);
    QCOMPARE(g.find(u"*****"_s, u"*****"_s), -1);
    g.add(u"2"_s, u"8"_s, u"TULVA_DB_NEW"_s, u"Активный"_s);
    g.add(u"3"_s, u"7"_s, u"TULVA_DB_NEW"_s, u"Активный"_s);
    g.add(u"4"_s, u"7"_s, u"TULVA_DB_NEW"_s, u"Активный"_s);
    QCOMPARE(g.find(u"7"_s, u"TULVA_DB_NEW"_s), 3);
}

void TestProcessList::rowOfProcessFollowsNumberAndClient()
{
    Grid g = serverOnly();
    g.add(u"3"_s, u"7"_s, u"TULVA_DB_NEW"_s, u"Активный"_s);
    g.add(u"3"_s, u"8"_s, u"TULVA_READ"_s, u"Активный"_s);
    g.add(u"4"_s, u"7"_s, u"TULVA_READ"_s, u"Активный"_s);
    QCOMPARE(rowOfProcess(int(g.rows.size()), g.cell(), u"3"_s, u"8"_s), 3);
    QCOMPARE(rowOfProcess(int(g.rows.size()), g.cell(), u"4"_s, u"7"_s), 4);
    QCOMPARE(rowOfProcess(int(g.rows.size()), g.cell(), u"4"_s, u"8"_s), -1);
    QCOMPARE(rowOfProcess(int(g.rows.size()), g.cell(), u"*"_s, u"*****"_s), -1);
}

QTEST_APPLESS_MAIN(TestProcessList)
#include "tst_processlist.moc"
