// tulvaa-cli speaks Russian under a Russian locale and English otherwise: its own texts follow
// the locale, the server's and the engine's stay as they are, and what scripts read (JSON and TSV
// keys, the plugin's status words) never changes. The translation is complete and matches the
// sources.
#include "EmulatorProcess.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

using namespace Qt::Literals::StringLiterals;

class TestCliLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void messages_data();
    void messages();
    void machineOutput_data();
    void machineOutput();
    void translationFinished();
    void translationMatchesSources();

private:
    struct Run
    {
        int exit = -1;
        QString out;
        QString err;
    };
    QString expand(QString text) const;
    // tulvaa-cli with ARGS (expanded) under the locale settings VARIABLE=value, the others unset.
    Run run(const QStringList &locale, const QStringList &args) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EmulatorProcess> m_sim;
    quint16 m_closedPort = 0;
};

void TestCliLanguage::initTestCase()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_sim = std::make_unique<EmulatorProcess>(
        QStringList{ u"--state"_s, m_dir->filePath(u"state"_s), u"--seed-from-sample"_s });
    QVERIFY(m_sim->port() > 0);
    m_closedPort = closedLoopbackPort();
    QVERIFY(m_closedPort > 0);
    QVERIFY(QDir(m_dir->path()).mkpath(u"config/tulvaa"_s));
    writeBytes(m_dir->filePath(u"config/tulvaa/servers.ini"_s), "[main]\nHost=127.0.0.1\nPort=6666\n");
    writeBytes(m_dir->filePath(u"admin-only.txt"_s), "ADMIN\r\nchanged\r\n\r\n*****\r\n");
    writeBytes(m_dir->filePath(u"utf16.txt"_s),
        QByteArray("\xFF\xFE"
                   "A\0",
            4));
}

void TestCliLanguage::cleanupTestCase()
{
    m_sim.reset();
    m_dir.reset();
}

QString TestCliLanguage::expand(QString text) const
{
    return text.replace(u"%SERVER%"_s, u"127.0.0.1:%1"_s.arg(m_sim->port()))
        .replace(u"%CLOSED%"_s, QString::number(m_closedPort))
        .replace(u"%DIR%"_s, m_dir->path());
}

void TestCliLanguage::messages_data()
{
    QTest::addColumn<QStringList>("locale"); // VARIABLE=value; the others of the locale unset
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QStringList>("out"); // each is in standard output
    QTest::addColumn<QStringList>("err"); // each is in standard error

    const QStringList ru{ u"LANG=ru_RU.UTF-8"_s };
    const QStringList c{ u"LANG=C"_s };
    const QString ruUsage = u"Использование: tulvaa-cli [ПАРАМЕТРЫ] КОМАНДА [АРГУМЕНТЫ]\n"_s;
    const QString enUsage = u"Usage: tulvaa-cli [OPTIONS] COMMAND [ARGUMENTS]\n"_s;
    const QStringList help{ u"--help"_s };

    // Which locale speaks which language.
    QTest::newRow("LANG=ru_RU") << ru << help << 0
                                << QStringList{ ruUsage, u"\nКоманды:\n"_s, u"\nПараметры:\n"_s }
                                << QStringList();
    QTest::newRow("LANG=C") << c << help << 0 << QStringList{ enUsage, u"\nCommands:\n"_s, u"\nOptions:\n"_s }
                            << QStringList();
    QTest::newRow("no locale") << QStringList() << help << 0 << QStringList{ enUsage } << QStringList();
    QTest::newRow("LANG=en_US") << QStringList{ u"LANG=en_US.UTF-8"_s } << help << 0 << QStringList{ enUsage }
                                << QStringList();
    QTest::newRow("LANG=ru_UA") << QStringList{ u"LANG=ru_UA.UTF-8"_s } << help << 0 << QStringList{ ruUsage }
                                << QStringList();
    QTest::newRow("LC_MESSAGES over LANG") << QStringList{ u"LANG=C"_s, u"LC_MESSAGES=ru_RU.UTF-8"_s } << help
                                           << 0 << QStringList{ ruUsage } << QStringList();
    QTest::newRow("LC_ALL over LANG") << QStringList{ u"LANG=ru_RU.UTF-8"_s, u"LC_ALL=C.UTF-8"_s } << help
                                      << 0 << QStringList{ enUsage } << QStringList();

    // Wrong usage, on standard error; for the plugin, on standard output with its status word.
    QTest::newRow("unknown command, ru")
        << ru << QStringList{ u"frobnicate"_s } << 3 << QStringList()
        << QStringList{ u"tulvaa-cli: неизвестная команда «frobnicate»\nСправка: tulvaa-cli --help.\n"_s };
    QTest::newRow("unknown command, C")
        << c << QStringList{ u"frobnicate"_s } << 3 << QStringList()
        << QStringList{ u"tulvaa-cli: unknown command \"frobnicate\"\nTry tulvaa-cli --help.\n"_s };
    QTest::newRow("bad threshold, ru") << ru << QStringList{ u"check"_s, u"locked"_s, u"-w"_s, u"5:1"_s } << 3
                                       << QStringList{ u"TULVA UNKNOWN - --warning: «5:1» — не диапазон "
                                                       u"порогов (начало больше конца; примеры: "
                                                       "10, 10:, ~:10, 10:20, @10:20)\n"_s }
                                       << QStringList();

    // A file refused before the server is asked.
    const QStringList import{ u"--server"_s, u"127.0.0.1:%CLOSED%"_s, u"accounts"_s, u"import"_s,
        u"%DIR%/utf16.txt"_s };
    QTest::newRow("import file, ru")
        << ru << import << 3 << QStringList()
        << QStringList{
               u"%DIR%/utf16.txt, строка 1: файл в кодировке UTF-16; нужен текст в кодировке Windows-1251.\n"_s
           };
    QTest::newRow("import file, C")
        << c << import << 3 << QStringList()
        << QStringList{
               u"%DIR%/utf16.txt, line 1: the file is UTF-16 text; the list must be Windows-1251 text.\n"_s
           };

    // Scripts read the same keys in every language; people read the titles.
    QTest::newRow("JSON keys, ru") << ru
                                   << QStringList{ u"--format"_s, u"json"_s, u"--server"_s,
                                          u"127.0.0.1:%CLOSED%"_s, u"unlock-records"_s, u"IBIS"_s, u"x"_s }
                                   << 3
                                   << QStringList{ u"\"error\": \"«x» — не MFN (нужно целое число от 1)\""_s,
                                          u"\"exit_status\": 3"_s }
                                   << QStringList();
    QTest::newRow("TSV keys, ru")
        << ru << QStringList{ u"--format"_s, u"tsv"_s, u"servers"_s } << 0
        << QStringList{ u"name\thost\tport\tssh_host\tssh_port\tssh_identity\tlast\n"_s } << QStringList();
    QTest::newRow("table titles, ru")
        << ru << QStringList{ u"servers"_s } << 0
        << QStringList{ u"Имя   Адрес      Порт  SSH  Порт SSH  Файл ключа  Последний\n"_s } << QStringList();
    QTest::newRow("table titles, C")
        << c << QStringList{ u"servers"_s } << 0
        << QStringList{ u"NAME  HOST       PORT  SSH  SSH PORT  KEY FILE  LAST\n"_s } << QStringList();

    // What an import would change: our title and words around the server's names.
    const QStringList changes{ u"--server"_s, u"%SERVER%"_s, u"--user"_s, u"ADMIN"_s, u"accounts"_s,
        u"import"_s, u"%DIR%/admin-only.txt"_s };
    QTest::newRow("import changes, ru")
        << ru << changes << 3 << QStringList{ u"±  Имя\n"_s, u"\n~  ADMIN "_s, u" пароль\n"_s }
        << QStringList{ u"добавьте --yes"_s };
    QTest::newRow("import changes, C")
        << c << changes << 3 << QStringList{ u"±  NAME\n"_s, u"\n~  ADMIN "_s, u" password\n"_s }
        << QStringList{ u"add --yes"_s };

    // Against the server: the plugin's text follows the locale, its status word and performance
    // data do not; the server's own texts are Russian in both.
    const QStringList login{ u"--server"_s, u"%SERVER%"_s, u"--user"_s, u"ADMIN"_s };
    QTest::newRow("plugin, ru") << ru
                                << login + QStringList{ u"check"_s, u"response-time"_s, u"-w"_s, u"10"_s }
                                << 0
                                << QStringList{ u"TULVA OK - ответ за "_s, u", версия "_s, u" | time="_s }
                                << QStringList();
    QTest::newRow("plugin, C") << c << login + QStringList{ u"check"_s, u"response-time"_s, u"-w"_s, u"10"_s }
                               << 0
                               << QStringList{ u"TULVA OK - answer in "_s, u", version "_s, u" | time="_s }
                               << QStringList();
    QTest::newRow("server's refusal, C")
        << c << login + QStringList{ u"stats"_s, u"NOSUCH"_s } << 1 << QStringList()
        << QStringList{ u"tulvaa-cli: the server's database list has no database NOSUCH\n"_s };
    QTest::newRow("server's refusal, ru")
        << ru << login + QStringList{ u"stats"_s, u"NOSUCH"_s } << 1 << QStringList()
        << QStringList{ u"tulvaa-cli: в списке баз данных сервера нет базы данных NOSUCH\n"_s };
    // The engine's text of a connection failure is the message file's, Russian in every locale.
    const QStringList unreachable{ u"--server"_s, u"127.0.0.1:%CLOSED%"_s, u"--user"_s, u"ADMIN"_s,
        u"version"_s };
    const QStringList refused{ u"tulvaa-cli: Сервер недоступен. (127.0.0.1:%CLOSED%)"_s };
    QTest::newRow("unreachable server, ru") << ru << unreachable << 2 << QStringList() << refused;
    QTest::newRow("unreachable server, C") << c << unreachable << 2 << QStringList() << refused;
}

TestCliLanguage::Run TestCliLanguage::run(const QStringList &locale, const QStringList &args) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : { u"LC_ALL"_s, u"LC_MESSAGES"_s, u"LANG"_s, u"LANGUAGE"_s })
        env.remove(name);
    for (const QString &setting : locale)
        env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    env.insert(u"TULVA_PASSWORD"_s, u"admin"_s);
    env.insert(u"XDG_CONFIG_HOME"_s, m_dir->filePath(u"config"_s));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir->path());
    QStringList expanded;
    for (const QString &a : args)
        expanded.append(expand(a));
    p.start(QStringLiteral(TULVA_CLI_EXE), expanded);
    p.closeWriteChannel();
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exit = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TestCliLanguage::messages()
{
    QFETCH(QStringList, locale);
    QFETCH(QStringList, args);
    QFETCH(int, exit);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);

    const Run r = run(locale, args);
    QVERIFY2(r.exit == exit, qPrintable(r.out + r.err));
    for (const QString &text : out)
        QVERIFY2(r.out.contains(expand(text)), qPrintable(r.out));
    for (const QString &text : err)
        QVERIFY2(r.err.contains(expand(text)), qPrintable(r.err));
}

void TestCliLanguage::machineOutput_data()
{
    QTest::addColumn<QStringList>("args");

    const QStringList login{ u"--server"_s, u"%SERVER%"_s, u"--user"_s, u"ADMIN"_s };
    QTest::newRow("JSON version") << login + QStringList{ u"--format"_s, u"json"_s, u"version"_s };
    QTest::newRow("JSON stats") << login + QStringList{ u"--format"_s, u"json"_s, u"stats"_s, u"IBIS"_s };
    QTest::newRow("JSON databases") << login + QStringList{ u"--format"_s, u"json"_s, u"databases"_s };
    QTest::newRow("TSV servers") << QStringList{ u"--format"_s, u"tsv"_s, u"servers"_s };
    QTest::newRow("metrics") << login + QStringList{ u"metrics"_s };
}

void TestCliLanguage::machineOutput()
{
    QFETCH(QStringList, args);

    // What changes from run to run anyway: the exchange's duration and the server's request counter.
    static const QRegularExpression moving(u"^(tulva_exchange_duration_seconds|tulva_requests_total) .*$"_s,
        QRegularExpression::MultilineOption);
    QString outputs[2];
    int i = 0;
    for (const QString &locale : { u"LANG=C"_s, u"LANG=ru_RU.UTF-8"_s }) {
        const Run r = run({ locale }, args);
        QVERIFY2(r.exit == 0 && !r.out.isEmpty(), qPrintable(locale + u": "_s + r.err));
        outputs[i++] = QString(r.out).replace(moving, u"\\1"_s);
    }
    QCOMPARE(outputs[1], outputs[0]);
}

void TestCliLanguage::translationFinished()
{
    QFile file(QStringLiteral(TULVA_CLI_TS));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    static const QRegularExpression placeholder(u"%(\\d+)"_s);
    const auto placeholders = [](const QString &text) {
        QSet<QString> found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();)
            found.insert(it.next().captured(0));
        return found;
    };
    QString context;
    QString source;
    int messages = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            ++messages;
            const QString where = context + u": "_s + source;
            const QStringView type = xml.attributes().value(u"type"_s);
            const QString translation = xml.readElementText();
            QVERIFY2(type.isEmpty(), qPrintable(type.toString() + u" translation of "_s + where));
            QVERIFY2(!translation.isEmpty(), qPrintable(u"no translation of "_s + where));
            QVERIFY2(placeholders(translation) == placeholders(source),
                qPrintable(u"other placeholders in the translation of "_s + where));
            // The help's layout: a text that ends a line or starts with a blank does so translated.
            QVERIFY2(translation.endsWith(u'\n') == source.endsWith(u'\n')
                    && translation.endsWith(u' ') == source.endsWith(u' '),
                qPrintable(u"other ends in the translation of "_s + where));
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(messages > 100);
}

void TestCliLanguage::translationMatchesSources()
{
    // lupdate, run as the target update_translations runs it, would leave the file as it is.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(u"tulvaa-cli_ru.ts"_s);
    QVERIFY(QFile::copy(QStringLiteral(TULVA_CLI_TS), copy));
    QProcess lupdate;
    lupdate.start(QStringLiteral(TULVA_LUPDATE),
        QString::fromUtf8(TULVA_LUPDATE_ARGS).split(u'|') + QStringList{ u"-ts"_s, copy });
    QVERIFY(lupdate.waitForFinished(300000));
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
        lupdate.readAllStandardError().constData());
    QFile original(QStringLiteral(TULVA_CLI_TS));
    QFile updated(copy);
    QVERIFY(original.open(QIODevice::ReadOnly) && updated.open(QIODevice::ReadOnly));
    QVERIFY2(original.readAll() == updated.readAll(),
        "the translation does not match the sources: build the target update_translations, translate "
        "what it marks unfinished and commit the .ts");
}

QTEST_GUILESS_MAIN(TestCliLanguage)
#include "tst_cli_language.moc"
