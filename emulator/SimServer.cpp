#include "SimServer.h"

#include "exchange/TextCodec.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kCancelFlagWaitMs = 300;
constexpr int kWriteTimeoutMs = 60000;
constexpr qsizetype kMaxControlLine = 64 * 1024;

QByteArray bumped(const QByteArray &number)
{
    bool ok = false;
    const qint64 n = number.toLongLong(&ok);
    return ok ? QByteArray::number(n + 1) : number + "x";
}

} // namespace

struct SimServer::Connection
{
    enum class Phase { Reading, CancelWait, Held, Answered };

    explicit Connection(qsizetype maxRequest)
        : reader(maxRequest)
    {
    }

    SimWire::RequestReader reader;
    Phase phase = Phase::Reading;
    SimPeer peer;
    AppliedFaults faults;
    int processNumber = 0;
    QDateTime since;
    QTimer idle;
    QTimer hold;
};

SimServer::SimServer(const SimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
}

SimServer::~SimServer()
{
    stop();
}

void SimServer::log(const QString &line) const
{
    if (!m_options.logRequests)
        return;
    const QString stamp = QDateTime::currentDateTime().toString(u"hh:mm:ss.zzz"_s);
    std::fprintf(stderr, "%s %s\n", qUtf8Printable(stamp), qUtf8Printable(line));
    std::fflush(stderr);
}

bool SimServer::start(QString *error)
{
    if (!TextCodec::available()) {
        *error = u"this Qt cannot convert Windows-1251 text"_s;
        return false;
    }
    if (!m_options.sampleDir.isEmpty()) {
        bool seeded = false;
        if (!SimState::seedFromSample(m_options.stateDir, m_options.sampleDir, &seeded, error))
            return false;
        if (seeded)
            log(u"state %1 seeded from %2"_s.arg(m_options.stateDir, m_options.sampleDir));
    }
    m_state = std::make_unique<SimState>(m_options.stateDir);
    if (!m_state->load(error))
        return false;
    for (const auto &[name, count] : std::as_const(m_options.generate)) {
        if (!m_state->generateDatabase(name, count, error))
            return false;
        log(u"database %1 generated with %2 numbers in each list"_s.arg(name).arg(count));
    }
    for (const QString &ruleText : std::as_const(m_options.faults)) {
        if (!m_faults.add(ruleText, error))
            return false;
    }

    m_engine = std::make_unique<SimEngine>(m_state.get());
    m_engine->setMaxClients(m_options.maxClients);
    m_engine->setJobMilliseconds(m_options.jobMs);
    m_engine->setClientTimeoutSeconds(m_options.clientTimeoutSeconds);
    m_engine->heldRequests = [this] { return heldRequests(); };
    m_engine->stopHeld = [this](int number) { return abortHeld(number); };

    m_server = new QTcpServer(this);
    m_server->setMaxPendingConnections(qMax(30, m_options.maxConnections));
    if (!m_server->listen(m_options.listen, quint16(m_options.port))) {
        *error = u"cannot listen on %1:%2: %3"_s.arg(m_options.listen.toString())
                     .arg(m_options.port)
                     .arg(m_server->errorString());
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, &SimServer::acceptClients);
    m_engine->setServerEndpoint(m_options.listen.toString(), m_server->serverPort());

    if (m_options.controlPort >= 0) {
        m_controlServer = new QTcpServer(this);
        if (!m_controlServer->listen(m_options.listen, quint16(m_options.controlPort))) {
            *error = u"cannot listen for control on %1:%2: %3"_s.arg(m_options.listen.toString())
                         .arg(m_options.controlPort)
                         .arg(m_controlServer->errorString());
            return false;
        }
        connect(m_controlServer, &QTcpServer::newConnection, this, &SimServer::acceptControl);
    }
    m_engine->startJobs();
    return true;
}

void SimServer::stop()
{
    if (m_server)
        m_server->close();
    if (m_controlServer)
        m_controlServer->close();
    const QList<QTcpSocket *> sockets = m_connections.keys();
    for (QTcpSocket *s : sockets)
        closeConnection(s, true);
    if (m_engine)
        m_engine->flushVolatile();
}

quint16 SimServer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

quint16 SimServer::controlPort() const
{
    return m_controlServer ? m_controlServer->serverPort() : 0;
}

void SimServer::acceptClients()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_connections.size() >= m_options.maxConnections) {
            log(u"too many connections, refusing %1"_s.arg(socket->peerAddress().toString()));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *c = new Connection(qsizetype(m_options.maxRequest));
        c->peer.ip = socket->peerAddress().toString();
        if (c->peer.ip.startsWith(u"::ffff:"_s))
            c->peer.ip = c->peer.ip.mid(7);
        c->peer.port = socket->peerPort();
        m_connections.insert(socket, c);
        c->idle.setSingleShot(true);
        connect(&c->idle, &QTimer::timeout, this, [this, socket] {
            log(u"%1 idle, closed"_s.arg(socket->peerAddress().toString()));
            closeConnection(socket, true);
        });
        c->idle.start(m_options.idleTimeoutMs);
        c->hold.setSingleShot(true);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { closeConnection(socket, false); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError e) {
            if (e != QAbstractSocket::RemoteHostClosedError)
                closeConnection(socket, true);
        });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void SimServer::onReadyRead(QTcpSocket *socket)
{
    Connection *c = m_connections.value(socket);
    if (!c)
        return;
    const QByteArray data = socket->readAll();
    if (c->phase == Connection::Phase::CancelWait) {
        c->reader.feed(data);
        if (!c->reader.request().cancelFlag.isEmpty()) {
            c->hold.stop();
            handleCancel(socket);
        }
        return;
    }
    if (c->phase != Connection::Phase::Reading)
        return; // whatever follows a complete request is ignored
    switch (c->reader.feed(data)) {
    case SimWire::RequestReader::State::NeedMore:
        return;
    case SimWire::RequestReader::State::Failed:
        log(u"%1:%2 bad request (%3), closed"_s.arg(c->peer.ip).arg(c->peer.port).arg(c->reader.error()));
        closeConnection(socket, true);
        return;
    case SimWire::RequestReader::State::Complete:
        break;
    }
    c->idle.stop();
    if (c->reader.request().cancel) {
        if (c->reader.request().cancelFlag.isEmpty()) {
            // The flag comes after the counted bytes; give it a moment, it is not required.
            c->phase = Connection::Phase::CancelWait;
            c->hold.callOnTimeout(this, [this, socket] { handleCancel(socket); });
            c->hold.start(kCancelFlagWaitMs);
        } else {
            handleCancel(socket);
        }
        return;
    }
    dispatch(socket);
}

void SimServer::dispatch(QTcpSocket *socket)
{
    Connection *c = m_connections.value(socket);
    const SimWire::Request &r = c->reader.request();
    c->faults = m_faults.take(r.command());
    if (c->faults.hang || c->faults.delayMs > 0) {
        c->phase = Connection::Phase::Held;
        c->processNumber = m_engine->allocateProcessNumber();
        c->since = QDateTime::currentDateTime();
        if (c->faults.hang) {
            log(u"%1:%2 %3 id=%4 seq=%5 held without answer (process %6)"_s.arg(c->peer.ip)
                    .arg(c->peer.port)
                    .arg(TextCodec::toText(r.command()), TextCodec::toText(r.clientId()),
                        TextCodec::toText(r.sequence()))
                    .arg(c->processNumber));
            return;
        }
        c->hold.setTimerType(Qt::PreciseTimer); // drills measure it
        c->hold.callOnTimeout(this, [this, socket] { answer(socket); });
        c->hold.start(int(qMin<qint64>(c->faults.delayMs, std::numeric_limits<int>::max())));
        return;
    }
    answer(socket);
}

void SimServer::answer(QTcpSocket *socket)
{
    Connection *c = m_connections.value(socket);
    if (!c)
        return;
    c->phase = Connection::Phase::Answered;
    const SimWire::Request &r = c->reader.request();
    const AppliedFaults &f = c->faults;

    // The counter includes the request being answered, so "+1" counts itself.
    m_engine->countRequest();
    QByteArrayList body;
    if (f.errorCode)
        body = { *f.errorCode };
    else
        body = m_engine->handle(r, c->peer);

    SimWire::AnswerHeader header;
    header.command = r.headerComplete || r.header.size() >= 2 ? r.command() : r.frameCode;
    header.clientId = f.badClientId ? bumped(r.clientId()) : r.clientId();
    header.sequence = f.badSequence ? bumped(r.sequence()) : r.sequence();
    header.freeLines = { "tulva-sim", QByteArray::number(m_state->requestCounter) };
    SimWire::AnswerOptions options;
    options.lengthDelta = f.lengthDelta;
    if (f.binaryBytes >= 0) {
        options.withBinary = true;
        options.binary.resize(qsizetype(f.binaryBytes));
        for (qsizetype i = 0; i < options.binary.size(); ++i)
            options.binary[i] = char((i * 37 + 11) & 0xFF);
    }
    QByteArray bytes = SimWire::buildAnswer(header, body, options);
    if (f.cutAfter >= 0 && f.cutAfter < bytes.size())
        bytes.truncate(qsizetype(f.cutAfter));

    // The first body line is the return code for nearly every command; a resource read starts
    // with the file itself, so only its size is logged.
    const QString outcome = r.command() == "L" ? u"%1 bytes of text"_s.arg(body.value(0).size())
                                               : TextCodec::toText(body.value(0).left(40));
    log(u"%1:%2 %3 id=%4 seq=%5%6 -> %7 (%8 bytes)%9"_s.arg(c->peer.ip)
            .arg(c->peer.port)
            .arg(TextCodec::toText(r.command()), TextCodec::toText(r.clientId()),
                TextCodec::toText(r.sequence()), r.retried() ? u" retry"_s : QString(), outcome)
            .arg(bytes.size())
            .arg(f.any() ? u" [fault]"_s : QString()));

    socket->write(bytes);
    c->idle.start(kWriteTimeoutMs);
    socket->disconnectFromHost();
}

void SimServer::handleCancel(QTcpSocket *socket)
{
    Connection *c = m_connections.value(socket);
    if (!c || c->phase == Connection::Phase::Answered)
        return;
    c->phase = Connection::Phase::Answered;
    const SimWire::Request &r = c->reader.request();
    QList<QTcpSocket *> sameSequence;
    QList<QTcpSocket *> sameClient;
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
        const Connection *other = it.value();
        if (other->phase != Connection::Phase::Held || other->reader.request().clientId() != r.clientId())
            continue;
        sameClient.append(it.key());
        if (other->reader.request().sequence() == r.sequence())
            sameSequence.append(it.key());
    }
    const QList<QTcpSocket *> victims = sameSequence.isEmpty() ? sameClient : sameSequence;
    log(u"%1:%2 cancel id=%3 seq=%4 flag=%5: %6 request(s) aborted"_s.arg(c->peer.ip)
            .arg(c->peer.port)
            .arg(TextCodec::toText(r.clientId()), TextCodec::toText(r.sequence()),
                TextCodec::toText(r.cancelFlag))
            .arg(victims.size()));
    for (QTcpSocket *s : victims)
        closeConnection(s, true);

    SimWire::AnswerHeader header{ r.command(), r.clientId(), r.sequence(), { "tulva-sim" } };
    const QByteArrayList body{ victims.isEmpty() ? QByteArray::number(SimCode::NothingToCancel) : "0" };
    socket->write(SimWire::buildAnswer(header, body));
    c->idle.start(kWriteTimeoutMs);
    socket->disconnectFromHost();
}

bool SimServer::abortHeld(int number)
{
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
        if (it.value()->phase == Connection::Phase::Held && it.value()->processNumber == number) {
            log(u"held request %1 stopped"_s.arg(number));
            closeConnection(it.key(), true);
            return true;
        }
    }
    return false;
}

QList<HeldRequest> SimServer::heldRequests() const
{
    QList<HeldRequest> held;
    for (const Connection *c : m_connections) {
        if (c->phase != Connection::Phase::Held)
            continue;
        const SimWire::Request &r = c->reader.request();
        held.append(HeldRequest{ c->processNumber, c->peer.ip, TextCodec::toText(r.userName()),
            TextCodec::toText(r.clientId()), TextCodec::toText(r.workstation()),
            TextCodec::toText(r.command()), TextCodec::toText(r.sequence()), c->since });
    }
    std::sort(held.begin(), held.end(),
        [](const HeldRequest &a, const HeldRequest &b) { return a.number < b.number; });
    return held;
}

void SimServer::closeConnection(QTcpSocket *socket, bool abortNow)
{
    Connection *c = m_connections.take(socket);
    if (!c)
        return;
    delete c;
    socket->disconnect(this);
    if (abortNow)
        socket->abort();
    socket->deleteLater();
}

void SimServer::acceptControl()
{
    while (QTcpSocket *socket = m_controlServer->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            qsizetype lf;
            while ((lf = buffer->indexOf('\n')) >= 0) {
                const QString line = QString::fromUtf8(buffer->left(lf)).trimmed();
                buffer->remove(0, lf + 1);
                if (line.isEmpty())
                    continue;
                socket->write((control(line).join(u'\n') + u'\n').toUtf8());
            }
            if (buffer->size() > kMaxControlLine) {
                socket->write("error: line too long\n");
                socket->disconnectFromHost();
            }
        });
    }
}

QStringList SimServer::control(const QString &line)
{
    const qsizetype space = line.indexOf(u' ');
    const QString verb = (space < 0 ? line : line.left(space)).toLower();
    const QString arg = space < 0 ? QString() : line.mid(space + 1).trimmed();
    if (verb == "fault"_L1) {
        QString error;
        if (!m_faults.add(arg, &error))
            return { u"error: "_s + error };
        log(u"control: fault %1"_s.arg(arg));
        return { u"ok"_s };
    }
    if (verb == "clear"_L1) {
        m_faults.clear(arg.toLatin1());
        log(u"control: faults cleared %1"_s.arg(arg));
        return { u"ok"_s };
    }
    if (verb == "faults"_L1)
        return m_faults.describe() << u"end"_s;
    if (verb == "jobseconds"_L1) {
        bool ok = false;
        const double seconds = arg.toDouble(&ok);
        if (!ok || seconds < 0)
            return { u"error: jobseconds needs a number of seconds"_s };
        m_engine->setJobMilliseconds(qint64(seconds * 1000));
        return { u"ok"_s };
    }
    if (verb == "maxclients"_L1) {
        bool ok = false;
        const int n = arg.toInt(&ok);
        if (!ok || n < 0)
            return { u"error: maxclients needs a number"_s };
        m_engine->setMaxClients(n);
        return { u"ok"_s };
    }
    if (verb == "finishjobs"_L1) {
        m_engine->finishAllJobs();
        return { u"ok"_s };
    }
    if (verb == "stats"_L1) {
        return { u"requests %1"_s.arg(m_state->requestCounter), u"connections %1"_s.arg(m_connections.size()),
            u"held %1"_s.arg(heldRequests().size()), u"jobs %1"_s.arg(m_state->jobs.size()), u"end"_s };
    }
    if (verb == "quit"_L1) {
        QTimer::singleShot(0, this, &SimServer::quitRequested);
        return { u"ok"_s };
    }
    if (verb == "help"_L1) {
        return { u"fault CMD:KIND[=ARG][:COUNT]"_s, u"clear [CMD]"_s, u"faults"_s, u"jobseconds SECONDS"_s,
            u"maxclients N"_s, u"finishjobs"_s, u"stats"_s, u"quit"_s, u"end"_s };
    }
    return { u"error: unknown control command \"%1\" (try help)"_s.arg(verb) };
}
