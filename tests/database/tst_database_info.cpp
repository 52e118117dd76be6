// The database list file, the MFN lists of the database information, and how an answer of the
// database information turns into a state or a reason.
#include "database/DatabaseInfo.h"
#include "exchange/OpResult.h"
#include "exchange/WireFormat.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

using Entries = QList<QPair<QString, QString>>;

class TestDatabaseInfo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listFile_data();
    void listFile();
    void mfnList_data();
    void mfnList();
    void mfnListInParts_data() { mfnList_data(); }
    void mfnListInParts();
    void numbers();
    void reading_data();
    void reading();
    void readingWholeState();
    void failureTexts();
};

void TestDatabaseInfo::listFile_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Entries>("expected");
    const QString end = u"*****"_s;
    QTest::newRow("terminator and a line after it")
        << QStringList{ u"IBIS"_s, u"Каталог"_s, u"RDR"_s, u"Читатели"_s, end, u"EXTRA"_s }
        << Entries{ { u"IBIS"_s, u"Каталог"_s }, { u"RDR"_s, u"Читатели"_s } };
    QTest::newRow("no terminator") << QStringList{ u"A"_s, u"a"_s, u"B"_s, u"b"_s }
                                   << Entries{ { u"A"_s, u"a"_s }, { u"B"_s, u"b"_s } };
    QTest::newRow("odd line count") << QStringList{ u"A"_s, u"a"_s, u"B"_s } << Entries{ { u"A"_s, u"a"_s } };
    // The pair is written before the walk reaches its description line and stops there.
    QTest::newRow("terminator as description") << QStringList{ u"A"_s, u"a"_s, u"B"_s, end, u"C"_s, u"c"_s }
                                               << Entries{ { u"A"_s, u"a"_s }, { u"B"_s, end } };
    QTest::newRow("third pair starts with terminator") << QStringList{ u"A"_s, u"a"_s, u"B"_s, u"b"_s, end,
        u"c"_s } << Entries{ { u"A"_s, u"a"_s }, { u"B"_s, u"b"_s } };
    QTest::newRow("terminator compared exactly") << QStringList{ u"A"_s, u" *****"_s, u"***** "_s,
        u"b"_s } << Entries{ { u"A"_s, u" *****"_s }, { u"***** "_s, u"b"_s } };
    QTest::newRow("empty") << QStringList{} << Entries{};
    QTest::newRow("terminator first") << QStringList{ end, u"a"_s } << Entries{};
}

void TestDatabaseInfo::listFile()
{
    QFETCH(QStringList, lines);
    QFETCH(Entries, expected);
    Entries got;
    for (const DatabaseListEntry &e : databaseListEntries(lines))
        got.append({ e.name, e.description });
    QCOMPARE(got, expected);
}

void TestDatabaseInfo::mfnList_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<qint32>>("mfns");
    QTest::addColumn<QString>("bad");
    const QString crlf = u"\x1F\x1E"_s;
    QTest::newRow("empty line") << QString() << true << QList<qint32>{} << QString();
    QTest::newRow("one") << u"17"_s << true << QList<qint32>{ 17 } << QString();
    QTest::newRow("encoded CR LF") << u"1"_s + crlf + u"2"_s + crlf + u"3"_s << true
                                   << QList<qint32>{ 1, 2, 3 } << QString();
    QTest::newRow("encoded LF and CR alone") << u"1\x1E"
                                                u"2\x1F"
                                                u"3"_s
                                             << true << QList<qint32>{ 1, 2, 3 } << QString();
    QTest::newRow("final break") << u"5"_s + crlf << true << QList<qint32>{ 5 } << QString();
    QTest::newRow("duplicates kept") << u"5"_s + crlf + u"5"_s << true << QList<qint32>{ 5, 5 } << QString();
    QTest::newRow("empty piece") << u"1"_s + crlf + crlf + u"2"_s << false << QList<qint32>{ 1 } << QString();
    QTest::newRow("not a number") << u"1"_s + crlf + u"x7"_s + crlf + u"3"_s << false << QList<qint32>{ 1 }
                                  << u"x7"_s;
    QTest::newRow("beyond 32 bits") << u"2147483648"_s << false << QList<qint32>{} << u"2147483648"_s;
    QTest::newRow("largest") << u"2147483647"_s << true << QList<qint32>{ 2147483647 } << QString();
    QTest::newRow("blank inside") << u"1 "_s << false << QList<qint32>{} << u"1 "_s;
}

void TestDatabaseInfo::mfnList()
{
    QFETCH(QString, line);
    QFETCH(bool, ok);
    QFETCH(QList<qint32>, mfns);
    QFETCH(QString, bad);
    QList<qint32> got{ -1 };
    got.clear();
    QString badPiece;
    QCOMPARE(parseMfnList(line, &got, &badPiece), ok);
    QCOMPARE(got, mfns);
    QCOMPARE(badPiece, bad);
}

void TestDatabaseInfo::mfnListInParts()
{
    // The lists parsed while an answer arrives, in pieces of every size, are the lists of the
    // whole line; a line with a bad piece gives none, and the answer's own reading names it.
    QFETCH(QString, line);
    QFETCH(bool, ok);
    QFETCH(QList<qint32>, mfns);
    const QByteArray bytes = line.toLatin1();
    const qsizetype offset = 500;
    for (qsizetype step = 1; step <= bytes.size() + 1; ++step) {
        MfnListStream stream;
        stream.restart();
        for (qsizetype at = step; at < bytes.size(); at += step)
            stream.lineGrows(Wire::kAnswerHeaderLines + 3, offset, bytes.first(at), false);
        stream.lineGrows(Wire::kAnswerHeaderLines + 3, offset, bytes, true);
        QList<qint32> got;
        QVERIFY(!stream.take(3, offset + 1, bytes.size(), &got));
        QVERIFY(!stream.take(2, offset, bytes.size(), &got));
        QCOMPARE(stream.take(3, offset, bytes.size(), &got), ok);
        if (ok)
            QCOMPARE(got, mfns);
    }
}

void TestDatabaseInfo::numbers()
{
    QCOMPARE(maxMfnFromLine(u"101"_s), 100);
    QCOMPARE(maxMfnFromLine(u"abc"_s), 0);
    QCOMPARE(lockFlagFromLine(u"1"_s), quint8(1));
    QCOMPARE(lockFlagFromLine(u"256"_s), quint8(0));
    QCOMPARE(lockFlagFromLine(u"abc"_s), quint8(0));
}

void TestDatabaseInfo::reading_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("detail");
    const QStringList whole{ u"0"_s, u"1"_s, {}, {}, {}, u"5"_s, u"0"_s };
    QTest::newRow("busy") << OpResult::Busy << whole << int(DatabaseInfoError::Busy) << QString();
    QTest::newRow("failed") << OpResult::Failed << whole << int(DatabaseInfoError::Failed) << QString();
    QTest::newRow("negative code") << OpResult::Accepted << QStringList{ u"-140"_s }
                                   << int(DatabaseInfoError::Refused) << u"-140"_s;
    QStringList notANumber = whole;
    notANumber[0] = u"x"_s;
    QTest::newRow("code not a number")
        << OpResult::Accepted << notANumber << int(DatabaseInfoError::Refused) << u"x"_s;
    QTest::newRow("empty answer") << OpResult::Accepted << QStringList{} << int(DatabaseInfoError::Refused)
                                  << QString();
    QTest::newRow("six lines") << OpResult::Accepted << whole.mid(0, 6) << int(DatabaseInfoError::Short)
                               << u"6"_s;
    QStringList bad = whole;
    bad[4] = u"3\x1F\x1E"_s + u"4z"_s;
    QTest::newRow("bad MFN in the last list")
        << OpResult::Accepted << bad << int(DatabaseInfoError::BadMfn) << u"4z"_s;
}

void TestDatabaseInfo::reading()
{
    QFETCH(int, result);
    QFETCH(QStringList, answer);
    QFETCH(int, kind);
    QFETCH(QString, detail);
    const DatabaseInfoReading reading = readDatabaseInfo(result, answer);
    QVERIFY(!reading.state.has_value());
    QCOMPARE(int(reading.error.kind), kind);
    QCOMPARE(reading.error.detail, detail);
}

void TestDatabaseInfo::readingWholeState()
{
    const QString crlf = u"\x1F\x1E"_s;
    const QStringList answer{ u"3"_s, u"1"_s + crlf + u"2"_s, u"7"_s, {}, u"9"_s + crlf + u"9"_s, u"101"_s,
        u"257"_s, u"extra"_s };
    const DatabaseInfoReading reading = readDatabaseInfo(OpResult::Accepted, answer);
    QVERIFY(reading.state.has_value());
    const DatabaseState &s = *reading.state;
    QCOMPARE(s.deletedMfns1, (QList<qint32>{ 1, 2 }));
    QCOMPARE(s.deletedMfns2, (QList<qint32>{ 7 }));
    QVERIFY(s.unactualizedMfns.isEmpty());
    QCOMPARE(s.lockedMfns, (QList<qint32>{ 9, 9 }));
    QCOMPARE(s.maxMfn, 100);
    QCOMPARE(s.locked, quint8(1));
}

void TestDatabaseInfo::failureTexts()
{
    const DatabaseInfoError refused{ DatabaseInfoError::Refused, u"-140"_s };
    QCOMPARE(databaseOpenFailedStatus(u"PERIO"_s, false, refused),
        u"База PERIO не открыта: сервер вернул код -140"_s);
    QCOMPARE(databaseOpenFailedStatus(u"IBIS"_s, true, { DatabaseInfoError::Failed, {} }),
        u"Статистика IBIS не обновлена: нет ответа сервера"_s);
    QCOMPARE(databaseOpenFailedMessage(u"PERIO"_s, u"IBIS"_s, { DatabaseInfoError::Short, u"3"_s }),
        u"База данных PERIO не открыта: неполный ответ сервера (строк: 3 из 7).\n"
        u"Текущей остаётся база данных IBIS."_s);
    QCOMPARE(databaseOpenFailedMessage(u"PERIO"_s, QString(), refused),
        u"База данных PERIO не открыта: сервер вернул код -140."_s);
    QVERIFY(databaseOpenFailedMessage(u"IBIS"_s, u"ibis"_s, refused)
                .startsWith(u"Статистика базы данных IBIS не обновлена"_s));
    // What the server sent is shown, but never a whole megabyte of it.
    const QString reason = databaseInfoErrorReason({ DatabaseInfoError::BadMfn, QString(100000, u'x') });
    QVERIFY(reason.contains(u"«xxx"_s));
    QVERIFY(reason.size() < 100);
}

QTEST_GUILESS_MAIN(TestDatabaseInfo)
#include "tst_database_info.moc"
