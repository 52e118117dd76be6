#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThread;

// A loopback TCP server for tests. It records the raw bytes of every connection and answers
// each connection from a script: bytes to send, an answer built from the request, a delay, a
// close, or never answering. Connections take the queued scripts in order; once they are used
// up, the default script serves.
//
// By default the server runs in the thread that creates it (the engine's own waiting loop then
// drives it). A server for a client that blocks its thread runs in a thread of its own.
class ScriptedServer : public QObject
{
    Q_OBJECT
public:
    // A request as the server sees it: framing removed, lines split at LF or CR LF.
    struct Request
    {
        QByteArray raw;
        QByteArray command; // from the framing (length line or HTTP body)
        QList<QByteArray> lines; // the request text: line 0 = workstation, 1 = command, ...
        QByteArray clientId() const { return lines.value(2); }
        QByteArray sequence() const { return lines.value(3); }
        QByteArray headerLine(int number) const { return lines.value(number - 1); }
    };

    struct Step
    {
        enum Kind { Send, Reply, Delay, Close, Abort, Hang, Flood };
        Kind kind = Send;
        QByteArray bytes;
        int ms = 0;
        qint64 upTo = 0;
        std::function<QByteArray(const Request &)> make;
    };
    using Script = QList<Step>;

    static Step send(const QByteArray &bytes);
    // An answer built from the request when it has arrived.
    static Step replyWith(std::function<QByteArray(const Request &)> make);
    // A valid answer: the ten header lines echo the client id and sequence number, line 4
    // holds the length; lengthDelta spoils it on purpose.
    static Step reply(const QList<QByteArray> &body, qint64 lengthDelta = 0);
    static Step delay(int ms);
    static Step close();
    static Step abort();
    // Keep the connection open and never answer.
    static Step hang();
    // Sends the bytes again and again, as fast as the client takes them, until it goes away or
    // upTo bytes have gone out (then the server closes): a server that streams without end.
    static Step flood(const QByteArray &bytes, qint64 upTo);

    // The answer bytes the server side of the protocol produces.
    static QByteArray answer(const QByteArray &clientId, const QByteArray &sequence,
        const QList<QByteArray> &body, qint64 lengthDelta = 0);
    static Request parse(const QByteArray &raw);
    // Total size of a complete framed request at the start of raw, or -1 while incomplete.
    static qsizetype completeSize(const QByteArray &raw);

    explicit ScriptedServer(bool ownThread = false, QObject *parent = nullptr);
    ~ScriptedServer() override;

    bool listen();
    quint16 port() const;
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString portText() const { return QString::number(port()); }

    void addScript(const Script &script);
    void setDefaultScript(const Script &script);

    int connectionCount() const;
    QByteArray received(int connection) const;
    Request request(int connection) const { return parse(received(connection)); }
    QList<QByteArray> receivedAll() const;
    // Waits, running events, until this many connections came in.
    bool waitForConnections(int count, int timeoutMs = 5000) const;

private:
    class Worker;
    std::unique_ptr<QThread> m_thread;
    Worker *m_worker = nullptr;
};
