// The INI rules shared by the local settings file and the profile, and the message catalogue.
#include "TestSupport.h"
#include "exchange/TextCodec.h"
#include "shell/Globals.h"
#include "shell/IniDocument.h"
#include "shell/Messages.h"
#include "shell/TextRules.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void iniReading_data();
    void iniReading();
    void iniIntegers_data();
    void iniIntegers();
    void iniFileAndProfileText();
    void translateText_data();
    void translateText();
    void menuCaption_data();
    void menuCaption();
    void messageFileLines();
    void missingMessageFile();
    void lookupOutsideTheFile();
    void upperCase_data();
    void upperCase();
};

void TestSettings::iniReading_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString d = u"<default>"_s;
    QTest::newRow("plain") << QStringList{ u"[Main]"_s, u"ServerIP=10.0.0.1"_s } << u"Main"_s << u"ServerIP"_s
                           << u"10.0.0.1"_s;
    QTest::newRow("section MAIN read as Main")
        << QStringList{ u"[MAIN]"_s, u"ServerIP=1"_s } << u"Main"_s << u"ServerIP"_s << u"1"_s;
    QTest::newRow("section Main read as MAIN")
        << QStringList{ u"[Main]"_s, u"CurDbn=IBIS"_s } << u"MAIN"_s << u"CurDbn"_s << u"IBIS"_s;
    QTest::newRow("key case") << QStringList{ u"[Main]"_s, u"serverip=2"_s } << u"Main"_s << u"ServerIP"_s
                              << u"2"_s;
    QTest::newRow("first key wins") << QStringList{ u"[Main]"_s, u"A=1"_s, u"A=2"_s } << u"Main"_s << u"A"_s
                                    << u"1"_s;
    QTest::newRow("first section wins")
        << QStringList{ u"[Main]"_s, u"B=1"_s, u"[MAIN]"_s, u"A=2"_s } << u"Main"_s << u"A"_s << d;
    QTest::newRow("other section between")
        << QStringList{ u"[Other]"_s, u"A=0"_s, u"[Main]"_s, u"A=3"_s } << u"Main"_s << u"A"_s << u"3"_s;
    QTest::newRow("key of other section")
        << QStringList{ u"[Main]"_s, u"[Other]"_s, u"A=1"_s } << u"Main"_s << u"A"_s << d;
    QTest::newRow("blank before =") << QStringList{ u"[Main]"_s, u"ServerIP =1.2.3.4"_s } << u"Main"_s
                                    << u"ServerIP"_s << d;
    QTest::newRow("blank after = kept")
        << QStringList{ u"[Main]"_s, u"FontName= Arial "_s } << u"Main"_s << u"FontName"_s << u" Arial "_s;
    QTest::newRow("value with =") << QStringList{ u"[Main]"_s, u"K=a=b"_s } << u"Main"_s << u"K"_s
                                  << u"a=b"_s;
    QTest::newRow("empty value") << QStringList{ u"[Main]"_s, u"K="_s } << u"Main"_s << u"K"_s << QString();
    QTest::newRow("indented header opens nothing")
        << QStringList{ u"  [Main]"_s, u"A=1"_s } << u"Main"_s << u"A"_s << d;
    QTest::newRow("indented key is another key")
        << QStringList{ u"[Main]"_s, u"  A=1"_s } << u"Main"_s << u"A"_s << d;
    QTest::newRow("comment") << QStringList{ u"[Main]"_s, u";A=1"_s, u"A=2"_s } << u"Main"_s << u"A"_s
                             << u"2"_s;
    QTest::newRow("lines before any section")
        << QStringList{ u"A=1"_s, u"[Main]"_s } << u"Main"_s << u"A"_s << d;
    QTest::newRow("return code line before the profile")
        << QStringList{ u"0"_s, u"[MAIN]"_s, u"CurDbn=X"_s } << u"MAIN"_s << u"CurDbn"_s << u"X"_s;
    QTest::newRow("cyrillic value") << QStringList{ u"[Main]"_s, u"USERNAME=Администратор"_s } << u"Main"_s
                                    << u"USERNAME"_s << u"Администратор"_s;
}

void TestSettings::iniReading()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    IniDocument ini;
    ini.setLines(lines);
    QCOMPARE(ini.readString(section, key, u"<default>"_s), expected);
}

void TestSettings::iniIntegers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << u"204"_s << 204;
    QTest::newRow("hex") << u"0xCC"_s << 204;
    QTest::newRow("hex upper X") << u"0XcC"_s << 204;
    QTest::newRow("negative") << u"-3"_s << -3;
    QTest::newRow("not a number") << u"abc"_s << 77;
    QTest::newRow("trailing blank") << u"12 "_s << 77;
    QTest::newRow("hex without digits") << u"0x"_s << 77;
    QTest::newRow("hex with junk") << u"0x1G"_s << 77;
    QTest::newRow("too large") << u"99999999999"_s << 77;
    QTest::newRow("empty") << QString() << 77;
}

void TestSettings::iniIntegers()
{
    QFETCH(QString, value);
    QFETCH(int, expected);
    IniDocument ini;
    ini.setLines({ u"[Main]"_s, u"N="_s + value });
    QCOMPARE(ini.readInteger(u"Main"_s, u"N"_s, 77), expected);
    QCOMPARE(ini.readBool(u"Main"_s, u"N"_s, true), expected != 0);
}

void TestSettings::iniFileAndProfileText()
{
    ScopedWorkDir dir;
    IniDocument ini;
    QVERIFY(!ini.loadFile(dir.filePath(u"missing.ini"_s)));
    QCOMPARE(ini.readString(u"Main"_s, u"ServerIP"_s, u"127.0.0.1"_s), u"127.0.0.1"_s);

    // Windows-1251 on disk, CR, LF and CR LF all end lines.
    writeBytes(dir.filePath(u"x.ini"_s),
        "[Main]\r\nUSERNAME=" + TextCodec::toBytes(u"ИВАНОВ"_s) + "\rServerPort=7000\nFontCharSet=0x1CC");
    QVERIFY(ini.loadFile(dir.filePath(u"x.ini"_s)));
    QCOMPARE(ini.readString(u"main"_s, u"username"_s, QString()), u"ИВАНОВ"_s);
    QCOMPARE(ini.readString(u"Main"_s, u"ServerPort"_s, QString()), u"7000"_s);
    QCOMPARE(ini.readInteger(u"Main"_s, u"FontCharSet"_s, 204) & 0xFF, 204);

    // A profile can come as answer lines or as one text.
    ini.setLines({ u"[MAIN]\r\nDBNNAMECAT=list.mnu\r\n"_s });
    QCOMPARE(ini.readString(u"MAIN"_s, u"DBNNAMECAT"_s, QString()), u"list.mnu"_s);
}

void TestSettings::translateText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("@1 is the second line") << u"@1"_s << u"msg 1"_s;
    QTest::newRow("last line") << u"@4"_s << u"msg 4"_s;
    QTest::newRow("one past the end") << u"@5"_s << u"@5"_s;
    QTest::newRow("zero") << u"@0"_s << u"@0"_s;
    QTest::newRow("trailing letter") << u"@1a"_s << u"@1a"_s;
    QTest::newRow("blank after @") << u"@ 1"_s << u"@ 1"_s;
    QTest::newRow("sign") << u"@-1"_s << u"@-1"_s;
    QTest::newRow("@ alone") << u"@"_s << u"@"_s;
    QTest::newRow("not a reference") << u"Version"_s << u"Version"_s;
    QTest::newRow("ampersand first") << u"&@1"_s << u"&@1"_s;
    QTest::newRow("huge number") << u"@99999999999999"_s << u"@99999999999999"_s;
}

void TestSettings::translateText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Messages::translateText(text, numberedMessages(5)), expected);
}

void TestSettings::menuCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("expected");
    QTest::newRow("&@3") << u"&@3"_s << u"msg 3"_s;
    QTest::newRow("@&3 first & removed") << u"@&3"_s << u"msg 3"_s;
    QTest::newRow("@0 allowed") << u"@0"_s << u"msg 0"_s;
    QTest::newRow("&Version stays") << u"&Version"_s << u"&Version"_s;
    QTest::newRow("not a number") << u"&@abc"_s << u"&@abc"_s;
    QTest::newRow("out of range") << u"@5"_s << u"@5"_s;
    QTest::newRow("two ampersands") << u"&&@1"_s << u"&&@1"_s;
}

void TestSettings::menuCaption()
{
    QFETCH(QString, caption);
    QFETCH(QString, expected);
    QCOMPARE(Messages::translateMenuCaption(caption, numberedMessages(5)), expected);
}

void TestSettings::messageFileLines()
{
    ScopedWorkDir dir;
    const QString path = dir.filePath(u"m.txt"_s);
    writeBytes(path, "zero\r\none\ntwo\rthree\r\n\r\n" + TextCodec::toBytes(u"шесть пробелов  "_s) + "\r\n");
    QStringList lines;
    QString error;
    QVERIFY(Messages::loadFile(path, &lines, &error));
    QCOMPARE(
        lines, (QStringList{ u"zero"_s, u"one"_s, u"two"_s, u"three"_s, QString(), u"шесть пробелов  "_s }));

    writeBytes(path, QByteArray());
    QVERIFY(Messages::loadFile(path, &lines, &error));
    QVERIFY(lines.isEmpty());
    // An empty catalogue leaves references alone.
    QCOMPARE(Messages::translateText(u"@1"_s, lines), u"@1"_s);
}

void TestSettings::missingMessageFile()
{
    ScopedWorkDir dir;
    QStringList lines{ u"stale"_s };
    QString error;
    QVERIFY(!Messages::loadFile(dir.filePath(u"TULVAMSG.TXT"_s), &lines, &error));
    QVERIFY(lines.isEmpty());
    QVERIFY2(error.contains(u"TULVAMSG.TXT"_s) && error.contains(QDir::toNativeSeparators(dir.path())),
        qPrintable(error));
}

void TestSettings::lookupOutsideTheFile()
{
    MessageList = numberedMessages(3);
    QCOMPARE(Msg(2), u"msg 2"_s);
    QCOMPARE(Msg(3), u"@3"_s);
    QCOMPARE(Msg(1368), u"@1368"_s);
    QCOMPARE(Msg(-1), u"@-1"_s);
    MessageList.clear();
}

void TestSettings::upperCase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cp1251");
    QTest::addColumn<QString>("latin");
    QTest::newRow("latin") << u"admin1"_s << u"ADMIN1"_s << u"ADMIN1"_s;
    QTest::newRow("cyrillic") << u"администратор ё"_s << u"АДМИНИСТРАТОР Ё"_s << u"администратор ё"_s;
    QTest::newRow("ukrainian letters of the code page") << u"їєіґў"_s << u"ЇЄІҐЎ"_s << u"їєіґў"_s;
    // The micro sign has a capital outside the code page; it stays.
    QTest::newRow("micro sign") << u"µm"_s << u"µM"_s << u"µM"_s;
}

void TestSettings::upperCase()
{
    QFETCH(QString, text);
    QFETCH(QString, cp1251);
    QFETCH(QString, latin);
    QCOMPARE(upperCp1251(text), cp1251);
    QCOMPARE(upperLatin(text), latin);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
