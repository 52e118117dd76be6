#include "SimServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace {

QString bundledSample()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(u"sample"_s);
    if (QFileInfo(beside).isDir())
        return beside;
    // Installed: bin/tulva-sim and share/tulvaa/sample.
    const QString installed
        = QDir(QCoreApplication::applicationDirPath()).filePath(u"../share/tulvaa/sample"_s);
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return QStringLiteral(TULVA_SIM_SAMPLE_DIR);
}

[[noreturn]] void usageError(const QString &text)
{
    std::fprintf(stderr, "tulva-sim: %s\n", qUtf8Printable(text));
    std::exit(2);
}

int intOption(const QCommandLineParser &p, const QString &name, int min, int max)
{
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < min || v > max)
        usageError(u"--%1 needs a whole number from %2 to %3"_s.arg(name).arg(min).arg(max));
    return v;
}

double secondsOption(const QCommandLineParser &p, const QString &name)
{
    bool ok = false;
    const double v = p.value(name).toDouble(&ok);
    if (!ok || v < 0 || v > 86400.0 * 365)
        usageError(u"--%1 needs a number of seconds"_s.arg(name));
    return v;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tulva-sim"_s);
    QCoreApplication::setApplicationVersion(u"2024.1"_s);

    QCommandLineParser p;
    p.setApplicationDescription(
        u"Emulator of the TULVA64 database server for running, testing and benchmarking the "
        "administrator's workstation. Prints \"listening ADDRESS:PORT\" (and \"control ADDRESS:PORT\") on "
        "standard output once it accepts connections; logs requests on standard error."_s);
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        { u"port"_s, u"TCP port to listen on; 0 picks a free one (default 6666)."_s, u"port"_s, u"6666"_s },
        { u"listen"_s, u"Address to listen on (default 127.0.0.1)."_s, u"address"_s, u"127.0.0.1"_s },
        { u"state"_s, u"State directory (default ./tulva-sim-state)."_s, u"dir"_s, u"tulva-sim-state"_s },
        { u"sample"_s, u"Seed an empty or new state directory from this sample directory."_s, u"dir"_s },
        { u"seed-from-sample"_s, u"Seed an empty or new state directory from the bundled sample."_s },
        { u"max-clients"_s, u"Registered clients allowed at once (default 10)."_s, u"n"_s, u"10"_s },
        { u"job-seconds"_s, u"How long a long job stays active (default 3; 0 finishes at once)."_s,
            u"seconds"_s, u"3"_s },
        { u"idle-timeout"_s, u"Seconds a connection may take to send its request (default 15)."_s,
            u"seconds"_s, u"15"_s },
        { u"client-timeout"_s,
            u"Drop registrations not confirmed for this many seconds (default 0 = never)."_s, u"seconds"_s,
            u"0"_s },
        { u"max-request"_s, u"Largest request accepted, in bytes (default 16777216)."_s, u"bytes"_s,
            u"16777216"_s },
        { u"max-connections"_s, u"Connections served at once (default 512)."_s, u"n"_s, u"512"_s },
        { u"fault"_s,
            u"Misbehave: CMD:KIND[=ARG][:COUNT], CMD a command code or *, KIND one of delay=MS, hang, cut=N, drop, badlength[=D], badseq, badid, binary[=N], error=CODE. Repeatable."_s,
            u"rule"_s },
        { u"control-port"_s, u"Open a line-based control port (0 picks a free one)."_s, u"port"_s },
        { u"generate"_s,
            u"Create database NAME whose four record lists hold COUNT numbers each. Repeatable."_s,
            u"name:count"_s },
        { u"quiet"_s, u"Do not log requests."_s },
    });
    p.process(app);

    SimOptions o;
    o.port = intOption(p, u"port"_s, 0, 65535);
    if (!o.listen.setAddress(p.value(u"listen"_s)))
        usageError(u"--listen needs an IP address"_s);
    o.stateDir = p.value(u"state"_s);
    if (p.isSet(u"sample"_s))
        o.sampleDir = p.value(u"sample"_s);
    else if (p.isSet(u"seed-from-sample"_s))
        o.sampleDir = bundledSample();
    o.maxClients = intOption(p, u"max-clients"_s, 0, 1000000);
    o.jobMs = qint64(secondsOption(p, u"job-seconds"_s) * 1000);
    o.idleTimeoutMs = int(qMax(0.05, secondsOption(p, u"idle-timeout"_s)) * 1000);
    o.clientTimeoutSeconds = int(secondsOption(p, u"client-timeout"_s));
    {
        bool ok = false;
        o.maxRequest = p.value(u"max-request"_s).toLongLong(&ok);
        if (!ok || o.maxRequest < 1024 || o.maxRequest > (qint64(1) << 31))
            usageError(u"--max-request needs a number of bytes from 1024 to 2147483648"_s);
    }
    o.maxConnections = intOption(p, u"max-connections"_s, 1, 100000);
    o.faults = p.values(u"fault"_s);
    if (p.isSet(u"control-port"_s))
        o.controlPort = intOption(p, u"control-port"_s, 0, 65535);
    for (const QString &g : p.values(u"generate"_s)) {
        const qsizetype colon = g.lastIndexOf(u':');
        bool ok = false;
        const int count = colon > 0 ? g.mid(colon + 1).toInt(&ok) : 0;
        if (!ok || count < 0)
            usageError(u"--generate needs NAME:COUNT, got \"%1\""_s.arg(g));
        o.generate.append({ g.left(colon), count });
    }
    o.logRequests = !p.isSet(u"quiet"_s);

    SimServer server(o);
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "tulva-sim: %s\n", qUtf8Printable(error));
        return 1;
    }
    QObject::connect(&server, &SimServer::quitRequested, &app, &QCoreApplication::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &server, &SimServer::stop);

    const QString address = o.listen.toString();
    std::printf("listening %s:%u\n", qUtf8Printable(address), unsigned(server.port()));
    if (o.controlPort >= 0)
        std::printf("control %s:%u\n", qUtf8Printable(address), unsigned(server.controlPort()));
    std::fflush(stdout);
    return app.exec();
}
