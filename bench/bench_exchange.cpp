// Exchange benchmark. Prints
//  (a) the median round trip of a small command through the whole engine and of the same bytes
//      through a plain blocking socket, and their ratio;
//  (b) answer processing throughput for 1, 10 and 50 MB answers;
//  (c) the peak memory of a 50 MB answer taken through the engine (Linux: VmHWM).
// The server is this program started again with --serve, so its memory is not counted.
#include "BenchSupport.h"
#include "exchange/AnswerLines.h"
#include "exchange/TextCodec.h"
#include "exchange/Waitunit.h"
#include "exchange/WireFormat.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype kLineLength = 98; // with CR LF, 100 bytes a line

QByteArray bodyOfSize(qsizetype bytes, bool singleLine)
{
    QByteArray body;
    body.reserve(bytes + 128);
    qsizetype n = 0;
    while (body.size() + kLineLength + 2 <= bytes) {
        QByteArray line = QByteArray::number(n++).rightJustified(kLineLength, 'x');
        body += line;
        body += singleLine ? "\x1F\x1E" : "\r\n";
    }
    if (singleLine)
        body += "\r\n";
    return body;
}

// A valid answer for the given id and sequence with the body (already CR LF terminated).
QByteArray answerFor(const QByteArray &id, const QByteArray &seq, const QByteArray &body)
{
    QByteArray header = "0\r\n" + id + "\r\n" + seq + "\r\n";
    const qsizetype emptyLine4AndRest = 2 + 6 * 2;
    const qsizetype total = header.size() + emptyLine4AndRest + body.size();
    header += QByteArray::number(total) + "\r\n";
    for (int i = 0; i < 6; ++i)
        header += "\r\n";
    return header + body;
}

// --- server process ------------------------------------------------------------------------------

int serve()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    std::printf("%u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    QHash<QByteArray, QByteArray> bodies;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *s = server.nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QTcpSocket::readyRead, s, [s, &bodies] {
                QByteArray &buf = *reinterpret_cast<QByteArray *>(s->property("buf").value<void *>());
                buf += s->readAll();
                const qsizetype lf = buf.indexOf('\n');
                if (lf < 0 || buf.size() < lf + 1 + buf.left(lf).toLongLong())
                    return;
                const QList<QByteArray> lines = buf.mid(lf + 1).split('\n');
                // lines: 0 command, 1 workstation, 2 command, 3 id, 4 seq, ..., 10 argument
                const QByteArray id = lines.value(3).trimmed();
                const QByteArray seq = lines.value(4).trimmed();
                const QByteArray arg = lines.value(10).trimmed();
                QByteArray body = "0\r\nIBIS\r\n12345\r\n";
                // "SIZE:n" asks for n bytes of 100-byte lines, "SIZE1:n" for one encoded line.
                const qsizetype at = arg.indexOf("SIZE");
                if (at >= 0) {
                    QByteArray sizeArg = arg.mid(at);
                    if (const qsizetype dot = sizeArg.indexOf('.'); dot >= 0)
                        sizeArg.truncate(dot);
                    auto it = bodies.find(sizeArg);
                    if (it == bodies.end()) {
                        const bool single = sizeArg.startsWith("SIZE1:");
                        it = bodies.insert(
                            sizeArg, bodyOfSize(sizeArg.mid(sizeArg.indexOf(':') + 1).toLongLong(), single));
                    }
                    body = *it;
                }
                s->write(answerFor(id, seq, body));
                s->disconnectFromHost();
                delete &buf;
                s->setProperty("buf", QVariant::fromValue<void *>(new QByteArray));
            });
            s->setProperty("buf", QVariant::fromValue<void *>(new QByteArray));
        }
    });
    return QCoreApplication::exec();
}

// --- measurements --------------------------------------------------------------------------------

qint64 statusKb(const char *key)
{
#ifdef Q_OS_LINUX
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray all = f.readAll();
    const qsizetype at = all.indexOf(key);
    if (at < 0)
        return -1;
    return all.mid(at + qstrlen(key), all.indexOf('\n', at) - at - qstrlen(key))
        .trimmed()
        .split(' ')
        .value(0)
        .toLongLong();
#else
    Q_UNUSED(key);
    return -1;
#endif
}

bool resetPeak()
{
#ifdef Q_OS_LINUX
    QFile f(u"/proc/self/clear_refs"_s);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write("5") == 1;
#else
    return false;
#endif
}

QByteArray rawRoundTrip(quint16 port, const QByteArray &message)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(5000))
        return {};
    s.write(message);
    QByteArray got;
    while (s.waitForReadyRead(5000) || s.bytesAvailable())
        got += s.readAll();
    return got;
}

void benchProcessing()
{
    for (const qsizetype mb : { 1, 10, 50 }) {
        const QByteArray answer = answerFor("123", "1", bodyOfSize(mb * 1024 * 1024, false));
        std::vector<double> core, full;
        qsizetype lines = 0;
        for (int i = 0; i < (mb == 50 ? 5 : 15); ++i) {
            QElapsedTimer t;
            t.start();
            Wire::Answer a = Wire::processAnswer(answer, { "123", "1", false });
            if (a.verdict != Wire::Verdict::Accepted)
                std::printf("  unexpected verdict\n");
            a.lines.remove(0, Wire::kAnswerHeaderLines);
            core.push_back(double(t.nsecsElapsed()));
            QStringList list;
            list.reserve(a.lines.size());
            for (const QByteArrayView l : std::as_const(a.lines))
                list.append(TextCodec::toText(l));
            full.push_back(double(t.nsecsElapsed()));
            lines = list.size();
        }
        const double mbytes = double(answer.size()) / (1024.0 * 1024.0);
        std::printf("  %3lld MB (%lld lines): %8.0f MB/s processing, %8.0f MB/s with conversion\n",
            (long long)mb, (long long)lines, mbytes / (Bench::median(core) / 1e9),
            mbytes / (Bench::median(full) / 1e9));
    }
}

// How fast this machine hands out fresh memory (first touch of each page).
double freshMemoryMbPerSecond()
{
    const qsizetype size = 100 * 1024 * 1024;
    QElapsedTimer t;
    t.start();
    QByteArray block(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; i += 4096)
        block.data()[i] = char((i >> 12) | 1);
    const double secs = double(t.nsecsElapsed()) / 1e9;
    return block.at(4096) != 0 ? 100.0 / secs : 0.0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--serve") == 0) {
        QCoreApplication app(argc, argv);
        return serve();
    }
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    Dialogs::setTestMode(true);
    const int iterations = argc > 1 ? QByteArray(argv[1]).toInt() : 300;

    QProcess server;
    server.start(QCoreApplication::applicationFilePath(), { u"--serve"_s });
    if (!server.waitForStarted() || !server.waitForReadyRead(10000)) {
        std::printf("server did not start\n");
        return 1;
    }
    const quint16 port = quint16(server.readLine().trimmed().toUInt());

    auto *form = new TWaitForm;
    WaitForm = form;
    form->SetServerAddress(u"127.0.0.1"_s, QString::number(port), u"A"_s);
    // The program's answer list keeps the received bytes (AnswerList is one of these).
    AnswerLines answer;
    if (form->RegisterClient(u"BENCH"_s, u"pw"_s, u"A"_s, answer) != 1) {
        std::printf("registration failed\n");
        return 1;
    }

    // (a) round trip.
    const QByteArray id = form->clientId().toLatin1();
    std::vector<double> engine, raw;
    Bench::StallMeter meter;
    meter.start();
    for (int i = 0; i < iterations + 20; ++i) {
        QElapsedTimer t;
        t.start();
        const int r = form->GetDatabaseInfo(u"IBIS"_s, answer);
        const double e = double(t.nsecsElapsed());
        if (r != 1 || answer.size() != 3)
            std::printf("engine exchange failed\n");
        const QByteArray message = Wire::frameDirect(
            "0", "A\n0\n" + id + '\n' + QByteArray::number(i) + "\npw\nBENCH\n\n\n\nIBIS");
        t.restart();
        const QByteArray got = rawRoundTrip(port, message);
        const double w = double(t.nsecsElapsed());
        if (got.isEmpty())
            std::printf("raw exchange failed\n");
        if (i >= 20) { // warm-up
            engine.push_back(e);
            raw.push_back(w);
        }
    }
    const double stall = meter.stop();
    const double me = Bench::median(engine) / 1000.0, mr = Bench::median(raw) / 1000.0;
    std::vector<double> ratios;
    for (size_t i = 0; i < engine.size(); ++i)
        ratios.push_back(engine[i] / raw[i]);
    std::printf("(a) small command round trip, median of %d\n", iterations);
    std::printf("  engine %.1f us, plain blocking socket %.1f us, ratio engine/raw %.2f (target <= 1.05)\n",
        me, mr, me / mr);
    std::printf(
        "  engine min .. max %.1f .. %.1f us, plain %.1f .. %.1f us; longest event-loop stall %.1f ms\n",
        Bench::least(engine) / 1000.0, Bench::most(engine) / 1000.0, Bench::least(raw) / 1000.0,
        Bench::most(raw) / 1000.0, stall);
    Bench::result("small_rt_ratio", me / mr);

    // "--round-trip-only": the small command alone (for profiling).
    if (argc > 2 && qstrcmp(argv[2], "--round-trip-only") == 0) {
        delete form;
        server.kill();
        server.waitForFinished();
        return 0;
    }

    std::printf("\nfresh memory on this machine: %.0f MB/s (first touch)\n", freshMemoryMbPerSecond());
    std::printf(
        "\n(b) answer processing (steps 1-7 on bytes; then also the conversion to the QStringList)\n");
    benchProcessing();

    // (c) peak memory of a 50 MB answer taken through the engine.
    std::printf("\n(c) peak memory of a 50 MB answer through the engine\n");
    const qsizetype size = 50 * 1024 * 1024;
    struct Shape
    {
        const char *name;
        QString arg;
        bool resource;
    };
    const Shape shapes[] = {
        { "100-byte lines (command 0)", u"SIZE:"_s + QString::number(size), false },
        { "one encoded line (command L)", u"SIZE1:"_s + QString::number(size), true },
    };
    for (const Shape &shape : shapes) {
        // Warm the server's cache with a plain request, so the engine's heap starts cold.
        const QByteArray warm = shape.resource ? "0." + shape.arg.toLatin1() + ".x" : shape.arg.toLatin1();
        rawRoundTrip(port,
            Wire::frameDirect(shape.resource ? "L" : "0", "A\n0\n" + id + "\n1\npw\nBENCH\n\n\n\n" + warm));
#ifdef __GLIBC__
        malloc_trim(0); // hand back what earlier runs freed, so the peak below is this answer's
#endif
        const qint64 before = statusKb("VmRSS:");
        const bool reset = resetPeak();
        QElapsedTimer t;
        t.start();
        const int r = shape.resource ? form->ReadResource(0, shape.arg, u"x"_s, answer)
                                     : form->GetDatabaseInfo(shape.arg, answer);
        const double secs = double(t.nsecsElapsed()) / 1e9;
        const qint64 peak = statusKb("VmHWM:");
        const qsizetype lines = answer.size();
        answer.clear();
        if (r != 1) {
            std::printf("  %s: exchange failed (%d)\n", shape.name, r);
            continue;
        }
        if (before < 0 || peak < 0 || !reset) {
            std::printf("  %s: %lld lines in %.2f s; peak memory not measurable here\n", shape.name,
                (long long)lines, secs);
            continue;
        }
        const double extraMb = double(peak - before) / 1024.0;
        std::printf("  %s: %lld lines in %.2f s (%.0f MB/s end to end), peak +%.0f MB = %.2f x the answer "
                    "(target <= 1.5)\n",
            shape.name, (long long)lines, secs, 50.0 / secs, extraMb, extraMb / 50.0);
    }

    // (d) what the idle program keeps after a 100 MB answer, which it holds until the next request.
    {
        const QString arg = u"SIZE:"_s + QString::number(qsizetype(100) * 1024 * 1024);
        rawRoundTrip(port, Wire::frameDirect("0", "A\n0\n" + id + "\n1\npw\nBENCH\n\n\n\n" + arg.toLatin1()));
#ifdef __GLIBC__
        malloc_trim(0);
#endif
        const qint64 before = statusKb("VmRSS:");
        const bool reset = resetPeak();
        const int r = form->GetDatabaseInfo(arg, answer);
        const qint64 peak = statusKb("VmHWM:");
        // Idle: the event loop has run, nothing else is asked.
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const qint64 held = statusKb("VmRSS:");
#ifdef __GLIBC__
        malloc_trim(0); // what of it is only free memory that malloc keeps for the next request
#endif
        const qint64 heldTrimmed = statusKb("VmRSS:");
        const double answerMb = double(answer.byteSize()) / 1048576.0;
        std::printf("\n(d) a 100 MB answer (%lld lines), result %d\n", (long long)answer.size(), r);
        if (before >= 0 && held >= 0)
            std::printf("  idle afterwards: +%.0f MB above the baseline, the answer's own bytes %.0f MB "
                        "(target: at most those)%s\n",
                double(held - before) / 1024.0, answerMb,
                reset ? qPrintable(u", peak +%1 MB"_s.arg(double(peak - before) / 1024.0, 0, 'f', 0)) : "");
        if (heldTrimmed >= 0)
            std::printf("  of which in use (free memory handed back): +%.0f MB\n",
                double(heldTrimmed - before) / 1024.0);
        answer.clear();
        QCoreApplication::processEvents();
        const qint64 after = statusKb("VmRSS:");
        if (after >= 0)
            std::printf("  after the next answer replaces it: +%.0f MB\n", double(after - before) / 1024.0);
    }

#ifdef __GLIBC__
    // The same with freed memory kept by malloc: what the code costs apart from this machine's
    // first-touch page faults, which a fresh 100 MB of strings pays for in full.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    std::printf("\n(b, again) with freed memory kept by malloc (warm heap)\n");
    benchProcessing();
#endif

    delete form;
    server.kill();
    server.waitForFinished();
    return 0;
}
