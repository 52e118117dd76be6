#include "ScriptedServer.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>

// Lives in the server's thread; everything that the test thread reads is under the mutex.
class ScriptedServer::Worker : public QObject
{
public:
    struct Connection
    {
        QPointer<QTcpSocket> socket;
        int index = 0;
        Script script;
        int step = 0;
        bool started = false;
        bool finished = false;
    };

    QTcpServer *server = nullptr;
    mutable QMutex mutex;
    QList<Script> queued;
    Script defaultScript{ ScriptedServer::close() };
    QList<QByteArray> received;
    QList<std::shared_ptr<Connection>> connections;
    quint16 port = 0;

    bool listen()
    {
        server = new QTcpServer(this);
        if (!server->listen(QHostAddress::LocalHost, 0))
            return false;
        port = server->serverPort();
        connect(server, &QTcpServer::newConnection, this, [this] { accept(); });
        return true;
    }

    void stop()
    {
        for (const auto &c : std::as_const(connections)) {
            if (c->socket)
                c->socket->abort();
        }
        connections.clear();
        if (server)
            server->close();
    }

    void accept()
    {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            auto c = std::make_shared<Connection>();
            c->socket = socket;
            {
                QMutexLocker lock(&mutex);
                c->index = int(received.size());
                received.append(QByteArray());
                c->script = queued.isEmpty() ? defaultScript : queued.takeFirst();
            }
            connections.append(c);
            connect(socket, &QTcpSocket::readyRead, this, [this, c] { readFrom(c); });
            connect(socket, &QTcpSocket::disconnected, this, [this, c] {
                readFrom(c);
                // A client that gave up before its request was complete ends the script.
                c->finished = true;
                if (c->socket)
                    c->socket->deleteLater();
            });
            readFrom(c);
        }
    }

    void readFrom(const std::shared_ptr<Connection> &c)
    {
        if (!c->socket || !c->socket->isOpen())
            return;
        const QByteArray bytes = c->socket->readAll();
        QByteArray all;
        {
            QMutexLocker lock(&mutex);
            received[c->index] += bytes;
            all = received[c->index];
        }
        if (!c->started && ScriptedServer::completeSize(all) >= 0) {
            c->started = true;
            run(c);
        }
    }

    void run(const std::shared_ptr<Connection> &c)
    {
        while (!c->finished && c->socket && c->step < c->script.size()) {
            const Step &s = c->script.at(c->step++);
            switch (s.kind) {
            case Step::Send:
                c->socket->write(s.bytes);
                break;
            case Step::Reply: {
                QByteArray raw;
                {
                    QMutexLocker lock(&mutex);
                    raw = received.value(c->index);
                }
                c->socket->write(s.make(ScriptedServer::parse(raw)));
                break;
            }
            case Step::Delay:
                QTimer::singleShot(s.ms, this, [this, c] { run(c); });
                return;
            case Step::Close:
                c->finished = true;
                c->socket->disconnectFromHost();
                return;
            case Step::Abort:
                c->finished = true;
                c->socket->abort();
                return;
            case Step::Hang:
                return;
            case Step::Flood: {
                QTcpSocket *socket = c->socket;
                auto sent = std::make_shared<qint64>(0);
                const auto more = [socket, sent, bytes = s.bytes, upTo = s.upTo] {
                    while (socket->state() == QAbstractSocket::ConnectedState
                        && socket->bytesToWrite() < 4 * bytes.size() && *sent < upTo) {
                        socket->write(bytes);
                        *sent += bytes.size();
                    }
                    if (*sent >= upTo && socket->state() == QAbstractSocket::ConnectedState)
                        socket->disconnectFromHost();
                };
                connect(socket, &QTcpSocket::bytesWritten, socket, more);
                more();
                return;
            }
            }
        }
        // A script that ends without saying otherwise closes, as the real server does.
        if (!c->finished && c->socket && c->step >= c->script.size()) {
            c->finished = true;
            c->socket->disconnectFromHost();
        }
    }
};

ScriptedServer::Step ScriptedServer::send(const QByteArray &bytes)
{
    Step s;
    s.kind = Step::Send;
    s.bytes = bytes;
    return s;
}

ScriptedServer::Step ScriptedServer::replyWith(std::function<QByteArray(const Request &)> make)
{
    Step s;
    s.kind = Step::Reply;
    s.make = std::move(make);
    return s;
}

ScriptedServer::Step ScriptedServer::reply(const QList<QByteArray> &body, qint64 lengthDelta)
{
    return replyWith([body, lengthDelta](
                         const Request &r) { return answer(r.clientId(), r.sequence(), body, lengthDelta); });
}

ScriptedServer::Step ScriptedServer::delay(int ms)
{
    Step s;
    s.kind = Step::Delay;
    s.ms = ms;
    return s;
}

ScriptedServer::Step ScriptedServer::close()
{
    Step s;
    s.kind = Step::Close;
    return s;
}

ScriptedServer::Step ScriptedServer::abort()
{
    Step s;
    s.kind = Step::Abort;
    return s;
}

ScriptedServer::Step ScriptedServer::flood(const QByteArray &bytes, qint64 upTo)
{
    Step s;
    s.kind = Step::Flood;
    s.bytes = bytes;
    s.upTo = upTo;
    return s;
}

ScriptedServer::Step ScriptedServer::hang()
{
    Step s;
    s.kind = Step::Hang;
    return s;
}

QByteArray ScriptedServer::answer(
    const QByteArray &clientId, const QByteArray &sequence, const QList<QByteArray> &body, qint64 lengthDelta)
{
    QList<QByteArray> lines{ QByteArrayLiteral("0"), clientId, sequence, QByteArray() };
    for (int i = 0; i < 6; ++i)
        lines.append(QByteArray());
    lines += body;
    // Line 4 counts the whole answer joined with CR LF, itself left empty.
    qint64 length = 0;
    for (const QByteArray &l : std::as_const(lines))
        length += l.size() + 2;
    lines[3] = QByteArray::number(length + lengthDelta);
    QByteArray out;
    for (const QByteArray &l : std::as_const(lines)) {
        out += l;
        out += "\r\n";
    }
    return out;
}

qsizetype ScriptedServer::completeSize(const QByteArray &raw)
{
    if (raw.startsWith("POST ")) {
        const qsizetype headerEnd = raw.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return -1;
        const QByteArray key("Content-length: ");
        const qsizetype at = raw.indexOf(key);
        if (at < 0 || at > headerEnd)
            return headerEnd + 4;
        const qsizetype lineEnd = raw.indexOf("\r\n", at);
        const qsizetype length = raw.mid(at + key.size(), lineEnd - at - key.size()).toLongLong();
        const qsizetype total = headerEnd + 4 + length;
        return raw.size() >= total ? total : -1;
    }
    const qsizetype lf = raw.indexOf('\n');
    if (lf < 0)
        return -1;
    bool ok = false;
    const qsizetype length = raw.left(lf).toLongLong(&ok);
    if (!ok)
        return raw.size(); // not our framing: answer at once
    const qsizetype total = lf + 1 + length;
    return raw.size() >= total ? total : -1;
}

ScriptedServer::Request ScriptedServer::parse(const QByteArray &raw)
{
    Request r;
    r.raw = raw;
    QByteArray body;
    if (raw.startsWith("POST ")) {
        const qsizetype headerEnd = raw.indexOf("\r\n\r\n");
        body = headerEnd < 0 ? QByteArray() : raw.mid(headerEnd + 4);
        const qsizetype lf = body.indexOf('\n');
        r.command = body.left(lf);
        body = lf < 0 ? QByteArray() : body.mid(lf + 1);
    } else {
        const qsizetype lf1 = raw.indexOf('\n');
        const qsizetype lf2 = lf1 < 0 ? -1 : raw.indexOf('\n', lf1 + 1);
        if (lf2 >= 0) {
            r.command = raw.mid(lf1 + 1, lf2 - lf1 - 1);
            body = raw.mid(lf2 + 1);
        }
    }
    qsizetype start = 0;
    while (start < body.size()) {
        qsizetype lf = body.indexOf('\n', start);
        if (lf < 0)
            lf = body.size();
        QByteArray line = body.mid(start, lf - start);
        if (line.endsWith('\r'))
            line.chop(1);
        r.lines.append(line);
        start = lf + 1;
    }
    return r;
}

ScriptedServer::ScriptedServer(bool ownThread, QObject *parent)
    : QObject(parent)
    , m_worker(new Worker)
{
    if (ownThread) {
        m_thread = std::make_unique<QThread>();
        m_worker->moveToThread(m_thread.get());
        m_thread->start();
    }
}

ScriptedServer::~ScriptedServer()
{
    if (m_thread) {
        QMetaObject::invokeMethod(
            m_worker,
            [w = m_worker] {
                w->stop();
                delete w;
            },
            Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
    } else {
        m_worker->stop();
        delete m_worker;
    }
}

bool ScriptedServer::listen()
{
    bool ok = false;
    if (m_thread)
        QMetaObject::invokeMethod(
            m_worker, [&ok, w = m_worker] { ok = w->listen(); }, Qt::BlockingQueuedConnection);
    else
        ok = m_worker->listen();
    return ok;
}

quint16 ScriptedServer::port() const
{
    return m_worker->port;
}

void ScriptedServer::addScript(const Script &script)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->queued.append(script);
}

void ScriptedServer::setDefaultScript(const Script &script)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->defaultScript = script;
}

int ScriptedServer::connectionCount() const
{
    QMutexLocker lock(&m_worker->mutex);
    return int(m_worker->received.size());
}

QByteArray ScriptedServer::received(int connection) const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->received.value(connection);
}

QList<QByteArray> ScriptedServer::receivedAll() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->received;
}

bool ScriptedServer::waitForConnections(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return connectionCount() >= count; }, timeoutMs);
}
