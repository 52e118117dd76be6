// The saved servers' file: damaged texts named by their first bad line, changes merged with what
// another program wrote, two programs writing at once.
#include "TestSupport.h"
#include "shell/ServerBook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ServerEntry entry(const QString &name, const QString &host = u"10.0.0.1"_s)
{
    ServerEntry e;
    e.name = name;
    e.host = host;
    return e;
}

// Run as a child: adds COUNT servers named PREFIX-N to the book, one change each.
int addServers(const QString &path, const QString &prefix, int count)
{
    ServerBook book(path);
    book.setLockTimeout(60000);
    for (int i = 0; i < count; ++i) {
        if (!book.add(entry(prefix + u'-' + QString::number(i)))) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(book.error()));
            return 1;
        }
    }
    return 0;
}

} // namespace

class TestServerBook : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void readsWhatItWrites();
    void damaged_data();
    void damaged();
    void missingFileIsAnEmptyBook();
    void damagedFileIsNeverWrittenOver();
    void changesMergeWithWhatAnotherProgramWrote();
    void failedWriteKeepsTheFile();
    void twoWritersLoseNothing();

private:
    QString bookPath() const { return m_dir->filePath(u"conf/tulvaa/servers.ini"_s); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestServerBook::readsWhatItWrites()
{
    ServerBook::Content c;
    ServerEntry tunnel = entry(u"Филиал"_s, u"192.168.5.1"_s);
    tunnel.port = u"80"_s;
    tunnel.sshHost = u"admin@gw.example.org"_s;
    tunnel.sshPort = u"2222"_s;
    tunnel.sshIdentity = u"/home/a/.ssh/id ed25519"_s;
    c.servers = { entry(u"main"_s, u"fe80::1"_s), tunnel };
    c.lastServer = u"Филиал"_s;
    const ServerBook::Content back = ServerBook::parse(ServerBook::serialize(c));
    QCOMPARE(back.badLine, 0);
    QCOMPARE(back.servers, c.servers);
    QCOMPARE(back.lastServer, c.lastServer);

    // By hand: BOM, CR LF, comments, blanks around keys and values, keys in any case, no Port.
    const ServerBook::Content hand = ServerBook::parse(
        "\xEF\xBB\xBF; saved\r\n# servers\r\n\r\n  LastServer = test \r\n[test]\r\n  host = t.example.org\r\n"_ba);
    QCOMPARE(hand.badLine, 0);
    QCOMPARE(hand.lastServer, u"test"_s);
    QCOMPARE(hand.servers.size(), 1);
    QCOMPARE(hand.servers.first().host, u"t.example.org"_s);
    QCOMPARE(hand.servers.first().port, u"6666"_s);
}

void TestServerBook::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("problem");
    QTest::newRow("a password") << "[main]\nHost=x\nPassword=secret\n"_ba << 3 << u"пароль"_s;
    QTest::newRow("no host") << "\n[main]\nPort=6666\n"_ba << 2 << u"нет ключа Host"_s;
    QTest::newRow("same name twice") << "[Main]\nHost=x\n[MAIN]\nHost=y\n"_ba << 3 << u"второй раз"_s;
    QTest::newRow("key before any section") << "Host=x\n[a]\nHost=y\n"_ba << 1 << u"LastServer"_s;
    QTest::newRow("open section") << "[main\nHost=x\n"_ba << 1 << u"«]»"_s;
    QTest::newRow("port out of range") << "[main]\nHost=x\nPort=70000\n"_ba << 1 << u"порт сервера"_s;
    QTest::newRow("key repeated") << "[main]\nHost=x\nhost=y\n"_ba << 3 << u"повторён"_s;
    QTest::newRow("neither section nor key") << "[main]\nHost=x\nrubbish\n"_ba << 3 << u"ключ=значение"_s;
    QTest::newRow("unknown key") << "[main]\nHost=x\nColour=red\n"_ba << 3 << u"Colour"_s;
    QTest::newRow("not UTF-8") << "[main]\nHost=\xC0\xE4\n"_ba << 2 << u"UTF-8"_s;
    QTest::newRow("zero byte") << "[main]\nHost=x\0y\n"_ba << 2 << u"нулевой байт"_s;
    QTest::newRow("lone CR") << "[main]\rHost=x\n"_ba << 1 << u"CR"_s;
    QTest::newRow("ssh port without gateway") << "[main]\nHost=x\nSshPort=22\n"_ba << 1 << u"без шлюза"_s;
    QTest::newRow("gateway as an ssh option")
        << "[main]\nHost=x\nSshHost=-oProxyCommand=sh\n"_ba << 1 << u"«-»"_s;
    QTest::newRow("blank in the host") << "[a]\nHost=x\n[b]\nHost=a b\n"_ba << 3 << u"пробел"_s;
    QTest::newRow("colon in a name") << "[a:1]\nHost=x\n"_ba << 1 << u"«:»"_s;
}

void TestServerBook::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, problem);
    const ServerBook::Content c = ServerBook::parse(text);
    QCOMPARE(c.badLine, line);
    QVERIFY2(c.problem.contains(problem), qPrintable(c.problem));
    QVERIFY(c.servers.isEmpty());
}

void TestServerBook::missingFileIsAnEmptyBook()
{
    ServerBook book(bookPath());
    QVERIFY(book.load());
    QVERIFY(!book.damaged());
    QVERIFY(book.servers().isEmpty());
    // Remembering the Ctulvaa.ini entry makes no file.
    QVERIFY(book.setLastServer(QString()));
    QVERIFY(!QFile::exists(bookPath()));
}

void TestServerBook::damagedFileIsNeverWrittenOver()
{
    QDir().mkpath(QFileInfo(bookPath()).absolutePath());
    const QByteArray text = "[main]\nHost=x\n\n[test]\nHost=y\nPort=x\n"_ba;
    writeBytes(bookPath(), text);
    ServerBook book(bookPath());
    QVERIFY(!book.load());
    QVERIFY(book.error().contains(QDir::toNativeSeparators(bookPath())));
    QVERIFY2(book.error().contains(u"строка 4"_s), qPrintable(book.error()));
    QVERIFY(!book.add(entry(u"new"_s)));
    QVERIFY(!book.remove(u"main"_s));
    QVERIFY(!book.setLastServer(u"main"_s));
    QVERIFY(book.error().contains(u"строка 4"_s));
    QCOMPARE(fileBytes(bookPath()), text);
}

void TestServerBook::changesMergeWithWhatAnotherProgramWrote()
{
    ServerBook mine(bookPath());
    ServerBook theirs(bookPath());
    QVERIFY(mine.load());
    QVERIFY(theirs.add(entry(u"theirs"_s)));
    QVERIFY(mine.add(entry(u"mine"_s)));
    QCOMPARE(mine.servers().size(), 2);
    QVERIFY(mine.setLastServer(u"theirs"_s));

    // They rename the server that was last used; they remove one that mine then edits.
    QVERIFY(theirs.replace(u"THEIRS"_s, entry(u"renamed"_s, u"10.0.0.2"_s)));
    QVERIFY(theirs.remove(u"mine"_s));
    QVERIFY(!mine.replace(u"mine"_s, entry(u"mine"_s, u"10.0.0.9"_s)));
    QVERIFY(mine.error().contains(u"другая программа"_s));
    QCOMPARE(mine.lastServer(), u"renamed"_s);
    QVERIFY(!mine.add(entry(u"Renamed"_s)));
    QVERIFY(mine.error().contains(u"уже есть"_s));
    QVERIFY(mine.remove(u"gone long ago"_s));
    QCOMPARE(mine.servers().size(), 1);
    QCOMPARE(mine.servers().first().host, u"10.0.0.2"_s);
    QVERIFY(!mine.add(entry(u"bad"_s, u"-oProxyCommand=x"_s)));
}

void TestServerBook::failedWriteKeepsTheFile()
{
    ServerBook book(bookPath());
    QVERIFY(book.add(entry(u"main"_s)));
    const QByteArray before = fileBytes(bookPath());
    // The folder cannot take the new file: the old one stays as it was.
    const QString folder = QFileInfo(bookPath()).absolutePath();
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const bool refused = !QFile(folder + u"/probe"_s).open(QIODevice::WriteOnly);
    if (refused) {
        QVERIFY(!book.add(entry(u"second"_s)));
        QVERIFY2(book.error().contains(u"Не удалось"_s), qPrintable(book.error()));
        QCOMPARE(book.servers().size(), 1);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(folder + u"/probe"_s);
    QCOMPARE(fileBytes(bookPath()), before);
    // A book whose place is taken by a folder is refused, not half-written.
    ServerBook blocked(m_dir->filePath(u"conf"_s));
    QVERIFY(!blocked.add(entry(u"x"_s)));
    QVERIFY(!blocked.error().isEmpty());
}

void TestServerBook::twoWritersLoseNothing()
{
    constexpr int kEach = 40;
    QProcess a;
    QProcess b;
    const QString self = QCoreApplication::applicationFilePath();
    a.start(self, { u"--add-servers"_s, bookPath(), u"a"_s, QString::number(kEach) });
    b.start(self, { u"--add-servers"_s, bookPath(), u"b"_s, QString::number(kEach) });
    QVERIFY(a.waitForFinished(120000));
    QVERIFY(b.waitForFinished(120000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    ServerBook book(bookPath());
    QVERIFY2(book.load(), qPrintable(book.error()));
    QCOMPARE(book.servers().size(), 2 * kEach);
    for (int i = 0; i < kEach; ++i) {
        QVERIFY(book.find(u"a-"_s + QString::number(i)));
        QVERIFY(book.find(u"b-"_s + QString::number(i)));
    }
}

int main(int argc, char *argv[])
{
    if (argc == 5 && qstrcmp(argv[1], "--add-servers") == 0) {
        QCoreApplication app(argc, argv);
        return addServers(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), atoi(argv[4]));
    }
    QCoreApplication app(argc, argv);
    TestServerBook test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_serverbook.moc"
