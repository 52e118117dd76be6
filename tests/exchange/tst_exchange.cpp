#include "EngineFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(ScriptedServer::Script)

// The exchange engine against a real loopback server: retries, questions, cancelling, the
// keep-alive, the waiting window and the blocking transport.
class TestExchange : public QObject
{
    Q_OBJECT

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void rejectedAnswersRetrySilentlyThenAsk_data();
    void rejectedAnswersRetrySilentlyThenAsk();
    void brokenConnectionAsks_data();
    void brokenConnectionAsks();
    void cancelPresses_data();
    void cancelPresses();
    void cancelWorksWhenRequesterIsParent();
    void shortAnswers_data();
    void shortAnswers();
    void keepAliveRefusedDuringExchange();
    void keepAliveWhenIdle();
    void fastAnswerKeepsWindowHidden();
    void slowAnswerShowsWindowOverRequester();
    void binaryPartThroughEngine();
    void largeAnswerArrivesWhole();
    void answerSizeLimit_data();
    void answerSizeLimit();
    void modalWait();
    void blockingTransport_data();
    void blockingTransport();
    void logFilesKeepPasswordOut();
    void emptyHostFailsWithoutQuestion();

private:
    EngineFixture f;
};

namespace {

const QString kDataErrorQuestion
    = u"Произошла ошибка при получении данных от сервера (-1112). Следует повторить обращение к серверу"_s;
const QString kBrokenQuestion = u"Связь с сервером ТУЛВА64 прервана. Следует повторить обращение к серверу"_s;

enum class Bad { Length, Header };

QByteArray withNewlines(const QByteArray &crlfText)
{
    QByteArray out = crlfText;
    out.replace("\r\n", "\n");
    return out;
}

} // namespace

void TestExchange::rejectedAnswersRetrySilentlyThenAsk_data()
{
    QTest::addColumn<int>("bad");
    QTest::addColumn<QStringList>("finalList");
    QTest::newRow("length mismatch") << int(Bad::Length) << QStringList{};
    QTest::newRow("header mismatch") << int(Bad::Header) << QStringList{ u"-2222"_s };
}

void TestExchange::rejectedAnswersRetrySilentlyThenAsk()
{
    QFETCH(int, bad);
    QFETCH(QStringList, finalList);
    if (Bad(bad) == Bad::Length) {
        f.server->setDefaultScript({ ScriptedServer::reply({ "0" }, 1) });
    } else {
        f.server->setDefaultScript({ ScriptedServer::replyWith([](const ScriptedServer::Request &r) {
            return ScriptedServer::answer(r.clientId(), r.sequence() + "9", { "0" });
        }) });
    }
    Dialogs::queueAnswer(QMessageBox::Yes);
    Dialogs::queueAnswer(QMessageBox::No);

    QStringList answer{ u"old"_s };
    QCOMPARE(f.form->GetProcessList(answer), 2);

    // Six attempts, the question, six more after Yes, the question again, No.
    QCOMPARE(f.server->connectionCount(), 12);
    QCOMPARE(Dialogs::asked().size(), 2);
    for (const Dialogs::Asked &a : Dialogs::asked()) {
        QCOMPARE(a.text, kDataErrorQuestion);
        QCOMPARE(a.caption, u"Внимание!"_s);
        QCOMPARE(a.icon, Dialogs::Icon::Question);
        QCOMPARE(a.buttons, QMessageBox::Yes | QMessageBox::No);
    }
    for (int i = 0; i < 12; ++i) {
        const ScriptedServer::Request r = f.server->request(i);
        QCOMPARE(r.sequence(), QByteArray::number(i + 1));
        QCOMPARE(r.headerLine(9), i == 0 ? QByteArray() : QByteArray("1"));
    }
    // A retry is the previous text with lines 4 and 9 rewritten and CR LF line ends.
    const QByteArray first = f.header("+3", "1");
    QCOMPARE(f.server->received(0), Wire::frameDirect("+3", first));
    QCOMPARE(f.server->received(1),
        Wire::frameDirect(
            "+3", "A\r\n+3\r\n" + f.form->clientId().toLatin1() + "\r\n2\r\n\r\n\r\n\r\n\r\n1\r\n"));

    QCOMPARE(answer, finalList);
    QCOMPARE(f.form->serverHost(), QString());
    QCOMPARE(f.terminateCalls, 1);
    QCOMPARE(f.form->busyMarker(), 2);
}

void TestExchange::brokenConnectionAsks_data()
{
    QTest::addColumn<int>("yesAnswers");
    QTest::newRow("No at once") << 0;
    QTest::newRow("Yes, then No") << 2;
}

void TestExchange::brokenConnectionAsks()
{
    QFETCH(int, yesAnswers);
    // A port that was just free: nothing listens there.
    quint16 closedPort = 0;
    {
        ScriptedServer gone;
        QVERIFY(gone.listen());
        closedPort = gone.port();
    }
    f.form->SetServerAddress(u"127.0.0.1"_s, QString::number(closedPort), u"A"_s);
    for (int i = 0; i < yesAnswers; ++i)
        Dialogs::queueAnswer(QMessageBox::Yes);
    Dialogs::queueAnswer(QMessageBox::No);

    QStringList answer{ u"old"_s };
    QCOMPARE(f.form->GetServerVersion(answer), 2);
    QCOMPARE(Dialogs::asked().size(), yesAnswers + 1);
    for (const Dialogs::Asked &a : Dialogs::asked()) {
        QCOMPARE(a.text, kBrokenQuestion);
        QCOMPARE(a.icon, Dialogs::Icon::Question);
    }
    QVERIFY(answer.isEmpty());
    QCOMPARE(f.form->sequenceNumber(), QByteArray::number(1 + yesAnswers));
    QCOMPARE(f.form->serverHost(), QString());
    QCOMPARE(f.terminateCalls, 1);
    QVERIFY(!QApplication::overrideCursor());
}

void TestExchange::cancelPresses_data()
{
    QTest::addColumn<bool>("modal");
    QTest::newRow("non-modal") << false;
    QTest::newRow("modal") << true;
}

void TestExchange::cancelPresses()
{
    QFETCH(bool, modal);
    f.form->setWaitNoModal(!modal);
    // The login goes through; the resource read then never gets an answer.
    f.server->addScript({ ScriptedServer::reply({ "0" }) });
    f.server->addScript({ ScriptedServer::hang() });
    f.server->setDefaultScript({ ScriptedServer::hang() });
    QStringList answer;
    QCOMPARE(f.form->RegisterClient(u"ADMIN"_s, u"secret"_s, u"A"_s, answer), 1);

    const QByteArray id = f.form->clientId().toLatin1();
    const QByteArray counted = "L\nA\n4\n" + id + "\n2\nsecret\nADMIN\n\n\n\n";
    const QByteArray cancel0 = QByteArray::number(counted.size()) + '\n' + counted + "\n0";
    const QByteArray cancel1 = QByteArray::number(counted.size()) + '\n' + counted + "\n1";

    int stateAfterFirst = 0;
    int stateAfterSecond = 0;
    bool thirdPressed = false;
    ScriptedServer *server = f.server.get();
    TWaitForm *form = f.form;
    when(
        [=] {
            return server->connectionCount() >= 2 && ScriptedServer::completeSize(server->received(1)) > 0;
        },
        [&, server, form] {
            form->BitBtnWait->click();
            stateAfterFirst = form->exchangeState();
            when([=] { return server->received(2) == cancel0; },
                [&, server, form] {
                    QTest::keyClick(form, Qt::Key_Escape); // Esc presses the same button
                    stateAfterSecond = form->exchangeState();
                    when([=] { return server->received(3) == cancel1; },
                        [&, form] {
                            form->BitBtnWait->click();
                            thirdPressed = true;
                        });
                });
        });

    answer = QStringList{ u"old"_s };
    QCOMPARE(f.form->ReadResource(0, u"IBIS"_s, u"1.ibf"_s, answer), 2);
    QVERIFY(thirdPressed);
    QCOMPARE(stateAfterFirst, 7);
    QCOMPARE(stateAfterSecond, 7);
    QCOMPARE(f.server->received(2), cancel0);
    QCOMPARE(f.server->received(3), cancel1);
    QTRY_COMPARE(f.server->received(4), cancel1); // the third press still sends, then gives up
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text, kBrokenQuestion);
    QCOMPARE(f.form->serverHost(), QString());
    QCOMPARE(f.terminateCalls, 1);
    QVERIFY(!f.form->isVisible());
    QVERIFY(!QApplication::overrideCursor());
}

void TestExchange::cancelWorksWhenRequesterIsParent()
{
    // The program creates the engine with the main window as parent; disabling that window
    // for the exchange must not disable the cancel button.
    auto *main = new QWidget;
    main->resize(400, 300);
    main->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    QPointer<TWaitForm> form = new TWaitForm(main);
    form->SetServerAddress(f.server->host(), f.server->portText(), u"A"_s);
    form->setWaitTickInterval(1);
    f.server->setDefaultScript({ ScriptedServer::hang() });

    bool mainDisabled = false;
    bool buttonEnabled = false;
    int presses = 0;
    form->setTickHook([&](int) {
        if (!form->isVisible() || presses >= 3)
            return;
        mainDisabled = !main->isEnabled();
        buttonEnabled = form->BitBtnWait->isEnabled();
        ++presses;
        form->BitBtnWait->click();
    });
    QStringList answer;
    QCOMPARE(form->GetProcessList(answer), 2);
    QCOMPARE(presses, 3);
    QVERIFY(mainDisabled);
    QVERIFY(buttonEnabled);
    QVERIFY(main->isEnabled());

    delete main; // the engine goes with the window it was made for
    QVERIFY(form.isNull());
}

void TestExchange::shortAnswers_data()
{
    QTest::addColumn<ScriptedServer::Script>("script");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("list");

    QTest::newRow("exactly ten lines")
        << ScriptedServer::Script{ ScriptedServer::reply({}) } << 1 << QStringList{};
    QTest::newRow("eleven lines") << ScriptedServer::Script{ ScriptedServer::reply({ "0" }) } << 1
                                  << QStringList{ u"0"_s };
    QTest::newRow("nine lines") << ScriptedServer::Script{ ScriptedServer::replyWith(
        [](const ScriptedServer::Request &r) {
            // Header check and length check pass, but the tenth header line is missing.
            QList<QByteArray> lines{ "0", r.clientId(), r.sequence(), "" };
            for (int i = 0; i < 5; ++i)
                lines.append(QByteArray());
            qint64 length = 0;
            for (const QByteArray &l : std::as_const(lines))
                length += l.size() + 2;
            lines[3] = QByteArray::number(length);
            return lines.join("\r\n") + "\r\n";
        }) } << 2 << QStringList();
    QTest::newRow("three lines") << ScriptedServer::Script{ ScriptedServer::send("-1\r\n0\r\n1\r\n"),
        ScriptedServer::close() } << 2
                                 << QStringList{ u"-1"_s, u"0"_s, u"1"_s };
    QTest::newRow("closed without a word")
        << ScriptedServer::Script{ ScriptedServer::close() } << 2 << QStringList{};
    QTest::newRow("reset without a word")
        << ScriptedServer::Script{ ScriptedServer::abort() } << 2 << QStringList{};
}

void TestExchange::shortAnswers()
{
    QFETCH(ScriptedServer::Script, script);
    QFETCH(int, result);
    QFETCH(QStringList, list);
    f.server->setDefaultScript(script);
    QStringList answer{ u"old"_s };
    QCOMPARE(f.form->GetClientList(answer), result);
    QCOMPARE(Dialogs::asked().size(), 0);
    QCOMPARE(f.server->connectionCount(), 1);
    if (result == 1 || !list.isEmpty())
        QCOMPARE(answer, list);
}

void TestExchange::keepAliveRefusedDuringExchange()
{
    f.server->setDefaultScript({ ScriptedServer::delay(300), ScriptedServer::reply({ "0" }) });
    QStringList during{ u"keep"_s };
    int refused = 0;
    int countInside = -1;
    ScriptedServer *server = f.server.get();
    TWaitForm *form = f.form;
    when([=] { return server->connectionCount() >= 1; },
        [&, form, server] {
            refused = form->NoOperation(during);
            form->TimerNoOperationTimer();
            QTest::qWait(50);
            countInside = server->connectionCount();
        });
    QStringList answer;
    QCOMPARE(f.form->GetDatabaseInfo(u"IBIS"_s, answer), 1);
    QCOMPARE(refused, 7);
    QCOMPARE(during, QStringList{ u"keep"_s });
    QCOMPARE(countInside, 1);
    QCOMPARE(f.server->connectionCount(), 1);
    QVERIFY(f.form->TimerNoOperation->isActive());
    QCOMPARE(f.form->TimerNoOperation->interval(), 60000);
}

void TestExchange::keepAliveWhenIdle()
{
    f.server->setDefaultScript({ ScriptedServer::reply({ "0" }) });
    QStringList answer;
    QCOMPARE(f.form->RegisterClient(u"ADMIN"_s, u"pw"_s, u"A"_s, answer), 1);
    f.form->TimerNoOperation->setInterval(20);
    f.form->TimerNoOperation->start();
    QVERIFY(f.server->waitForConnections(2));
    f.form->TimerNoOperation->stop();
    QCOMPARE(f.server->request(1).command, QByteArray("N"));
    QCOMPARE(f.server->received(1), Wire::frameDirect("N", f.header("N", "2", "pw", "ADMIN")));
}

void TestExchange::fastAnswerKeepsWindowHidden()
{
    f.server->setDefaultScript({ ScriptedServer::reply({ "0", "IBIS" }) });
    bool everVisible = false;
    int lastTick = 0;
    f.form->setTickHook([&](int tick) {
        everVisible = everVisible || f.form->isVisible();
        lastTick = tick;
    });
    QStringList answer;
    QCOMPARE(f.form->GetRegisteredClients(answer), 1);
    QCOMPARE(answer, (QStringList{ u"0"_s, u"IBIS"_s }));
    QVERIFY(!everVisible);
    QVERIFY(lastTick < 30);
    QCOMPARE(f.form->timesShown(), 0);
    QCOMPARE(f.form->ProgressBarWait->value(), 0);
    QVERIFY(!f.form->isVisible());
}

void TestExchange::slowAnswerShowsWindowOverRequester()
{
    QWidget requester;
    requester.setGeometry(100, 120, 600, 400);
    auto *edit = new QLineEdit(&requester);
    auto *other = new QLineEdit(&requester);
    other->move(0, 40);
    requester.show();
    requester.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&requester));
    edit->setFocus();
    QCOMPARE(QApplication::focusWidget(), edit);

    f.form->setWaitTickInterval(2);
    f.server->setDefaultScript({ ScriptedServer::delay(400), ScriptedServer::reply({ "0" }) });
    bool requesterDisabled = false;
    bool busyPointer = false;
    bool shown = false;
    QPoint shownAt;
    QSize shownSize;
    int firstShownTick = 0;
    int progress = 0;
    int pictureMoves = 0;
    int lastPictureX = f.form->GIFImage1->x();
    f.form->setTickHook([&](int tick) {
        requesterDisabled = !requester.isEnabled();
        busyPointer
            = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        if (f.form->isVisible() && !shown) {
            shown = true;
            firstShownTick = tick;
            shownAt = f.form->pos();
            shownSize = f.form->size();
        }
        if (f.form->GIFImage1->x() != lastPictureX)
            ++pictureMoves;
        lastPictureX = f.form->GIFImage1->x();
        progress = qMax(progress, f.form->ProgressBarWait->value());
    });

    QStringList answer;
    QCOMPARE(f.form->RestartServer(answer), 1);
    QVERIFY(requesterDisabled);
    QVERIFY(busyPointer);
    QVERIFY(shown);
    QCOMPARE(firstShownTick, 31); // invisible for the first 30 ticks
    QCOMPARE(shownSize, QSize(270, 130));
    const QRect g = requester.frameGeometry();
    QCOMPARE(shownAt, QPoint(g.left() + g.width() / 2 - 135, g.top() + g.height() / 2 - 65));
    QVERIFY(pictureMoves > 0);
    QVERIFY(progress > 0);
    QCOMPARE(f.form->timesShown(), 1);

    QVERIFY(!f.form->isVisible());
    QVERIFY(requester.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QTRY_COMPARE(QApplication::focusWidget(), edit);
}

void TestExchange::binaryPartThroughEngine()
{
    const QByteArray binary("\0\x01\r\n\x1F"
                            "binary-data-15b",
        20);
    f.server->setDefaultScript({ ScriptedServer::replyWith([binary](const ScriptedServer::Request &r) {
        QByteArray a = ScriptedServer::answer(r.clientId(), r.sequence(), { "0", "text" });
        // Line 4 counts the marker and the binary part too.
        QList<QByteArray> lines = a.split('\n');
        const qint64 textLength = lines[3].trimmed().toLongLong();
        lines[3] = QByteArray::number(textLength + 17 + binary.size()) + '\r';
        return lines.join('\n') + "TULVA_BINARY_DATA" + binary;
    }) });
    QStringList answer;
    QCOMPARE(f.form->GetProcessList(answer), 1);
    QCOMPARE(answer, (QStringList{ u"0"_s, u"text"_s }));
    QCOMPARE(f.form->binaryPart(), binary);
}

void TestExchange::largeAnswerArrivesWhole()
{
    // 5 MB written at once, then the server closes: the last bytes still arrive after the
    // close is seen, and the buffer goes back to its small size afterwards.
    QList<QByteArray> body;
    for (int i = 0; i < 50000; ++i)
        body.append(QByteArray::number(i).rightJustified(98, '.'));
    f.server->setDefaultScript({ ScriptedServer::reply(body), ScriptedServer::close() });
    QStringList answer;
    QCOMPARE(f.form->GetClientList(answer), 1);
    QCOMPARE(answer.size(), 50000);
    QCOMPARE(answer.last(), QString::fromLatin1(body.last()));
    QVERIFY(f.form->receiveCapacity() <= 4 * Wire::kReadChunk);
}

void TestExchange::answerSizeLimit_data()
{
    QTest::addColumn<ScriptedServer::Script>("script");
    QTest::addColumn<bool>("blocking");
    QTest::addColumn<qint64>("limit"); // 0: the size of the answer to version "x"
    QTest::addColumn<int>("result");
    const QByteArray lines = QByteArray("0123456789\r\n").repeated(5000);
    const ScriptedServer::Script endless{ ScriptedServer::flood(lines, qint64(256) << 20) };
    QTest::newRow("endless stream") << endless << false << qint64(1) << 2;
    QTest::newRow("endless stream, blocking transport") << endless << true << qint64(1) << 2;
    QTest::newRow("answer exactly at the limit")
        << ScriptedServer::Script{ ScriptedServer::reply({ "0", "x" }) } << false << qint64(0) << 1;
}

void TestExchange::answerSizeLimit()
{
    // An answer beyond the limit is given up at once, as a cut answer is, and the question says
    // why; the server that would send it again is not asked five more times.
    QFETCH(ScriptedServer::Script, script);
    QFETCH(bool, blocking);
    QFETCH(qint64, limit);
    QFETCH(int, result);
    if (blocking) {
        f.tearDown();
        f.setUp(true);
        f.form->setBlockingTransport(true);
    }
    TulvaExchange *engine = f.form->engine();
    QCOMPARE(engine->maxAnswerSize(), TulvaExchange::kDefaultMaxAnswerSize);
    const qint64 exact = ScriptedServer::answer(f.form->clientId().toLatin1(), "1", { "0", "x" }).size();
    engine->setMaxAnswerSize(limit > 0 ? limit << 20 : exact);
    f.server->setDefaultScript(script);
    QStringList answer;
    QCOMPARE(f.form->GetServerVersion(answer), result);
    if (result == 1) {
        QCOMPARE(answer, (QStringList{ u"0"_s, u"x"_s }));
        QVERIFY(Dialogs::asked().isEmpty());
        return;
    }
    QVERIFY(answer.isEmpty());
    QCOMPARE(f.server->connectionCount(), 1);
    QCOMPARE(Dialogs::asked().size(), 1);
    QCOMPARE(Dialogs::asked().first().text,
        u"Ответ сервера больше допустимого размера (1048576 байт, MaxAnswerSize), его прием прерван. "
        u"Следует повторить обращение к серверу"_s);
    QCOMPARE(f.terminateCalls, 1);
    engine->setMaxAnswerSize(0);
    QCOMPARE(engine->maxAnswerSize(), TulvaExchange::kDefaultMaxAnswerSize);
    QCOMPARE(TulvaExchange::answerSizeFromText(u"0x100000"), qint64(1048576));
    QCOMPARE(TulvaExchange::answerSizeFromText(u"2048"), qint64(2048));
    QCOMPARE(TulvaExchange::answerSizeFromText(u"-5"), qint64(0));
    QCOMPARE(TulvaExchange::answerSizeFromText(u" 5"), qint64(0));
}

void TestExchange::modalWait()
{
    f.form->setWaitNoModal(false);
    f.server->setDefaultScript({ ScriptedServer::delay(50), ScriptedServer::reply({ "0", "x" }) });
    QStringList answer;
    QCOMPARE(f.form->GetServerVersion(answer), 1);
    QCOMPARE(answer, (QStringList{ u"0"_s, u"x"_s }));
    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.form->busyMarker(), 1);
    QVERIFY(!QApplication::overrideCursor());
}

void TestExchange::blockingTransport_data()
{
    QTest::addColumn<ScriptedServer::Script>("script");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<int>("questions");
    QTest::newRow("accepted") << ScriptedServer::Script{ ScriptedServer::reply({ "0", "IBIS" }) } << 1
                              << QStringList{ u"0"_s, u"IBIS"_s } << 0;
    QTest::newRow("length mismatch keeps -1112")
        << ScriptedServer::Script{ ScriptedServer::reply({ "0" }, 5) } << 2 << QStringList{ u"-1112"_s } << 1;
    QTest::newRow("header mismatch gives -1112 too") << ScriptedServer::Script{
        ScriptedServer::send(QByteArray("0\r\n1\r\n2\r\n\r\n")), ScriptedServer::close()
    } << 2 << QStringList{ u"-1112"_s } << 1;
    QTest::newRow("short answer, empty list")
        << ScriptedServer::Script{ ScriptedServer::send("-1\r\n"), ScriptedServer::close() } << 2
        << QStringList{} << 0;
}

void TestExchange::blockingTransport()
{
    QFETCH(ScriptedServer::Script, script);
    QFETCH(int, result);
    QFETCH(QStringList, list);
    QFETCH(int, questions);
    // The blocking client holds its thread, so this server needs a thread of its own.
    f.tearDown();
    f.setUp(true);
    f.form->setBlockingTransport(true);
    f.server->setDefaultScript(script);
    QStringList answer{ u"old"_s };
    QCOMPARE(f.form->GetDatabaseInfo(u"IBIS"_s, answer), result);
    QCOMPARE(answer, list);
    QCOMPARE(Dialogs::asked().size(), questions);
    QCOMPARE(f.server->connectionCount(), questions ? 6 : 1);
    QCOMPARE(withNewlines(f.server->received(0)), Wire::frameDirect("0", f.header("0", "1") + "IBIS"));
}

void TestExchange::logFilesKeepPasswordOut()
{
    QTemporaryDir dir;
    f.form->setLogging(true, dir.path() + u'/');
    f.server->setDefaultScript({ ScriptedServer::reply({ "0", "[MAIN]" }) });
    QStringList answer;
    QCOMPARE(f.form->RegisterClient(u"ADMIN"_s, u"Secret-Word"_s, u"A"_s, answer), 1);
    QFile request(dir.filePath(u"request1.log"_s));
    QVERIFY(request.open(QIODevice::ReadOnly));
    const QByteArray logged = request.readAll();
    QVERIFY(logged.contains("ADMIN"));
    QVERIFY(!logged.contains("Secret-Word"));
    QVERIFY(f.server->received(0).contains("Secret-Word")); // the server itself does get it
    QFile answerLog(dir.filePath(u"answer1.log"_s));
    QVERIFY(answerLog.open(QIODevice::ReadOnly));
    QVERIFY(answerLog.readAll().endsWith("0\r\n[MAIN]\r\n"));
}

void TestExchange::emptyHostFailsWithoutQuestion()
{
    // After a refused retry the host is empty: a later request (the unregistration on
    // closing) fails at once and asks nothing.
    f.form->SetServerAddress(QString(), f.server->portText(), u"A"_s);
    QStringList answer;
    QCOMPARE(f.form->UnregisterClient(u"ADMIN"_s, answer), 2);
    QCOMPARE(Dialogs::asked().size(), 0);
    QCOMPARE(f.server->connectionCount(), 0);
}

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
