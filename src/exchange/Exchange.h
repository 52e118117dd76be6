#pragma once

#include "exchange/AnswerLines.h"
#include "exchange/OpResult.h"
#include "exchange/WireFormat.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QEventLoop;
class QTcpSocket;
class QTimer;

// What the engine needs from the window that shows a wait. Without a window the engine works
// all the same: nothing is shown, every question is answered No.
class ExchangeWindow
{
public:
    virtual ~ExchangeWindow() = default;
    // An exchange starts. background: the engine's own keep-alive, which serves no window
    // the user is looking at. The window disables the requesting window here.
    virtual void waitBegins(bool background) = 0;
    // Every tick of the wait (100 ms), counted from 1; the window shows itself after the show
    // delay and moves its picture and progress bar.
    virtual void waitTick(int tick) = 0;
    // The exchange has ended (answer, failure or third press): hide, give the requesting
    // window back.
    virtual void waitEnds() = 0;
    // Yes/No question with the caption "Внимание!"; true on Yes.
    virtual bool askYesNo(const QString &text) = 0;
    // No to the retry question: the program is to end.
    virtual void terminateProgram() = 0;
    virtual bool programTerminating() const = 0;
};

// The way to the server when it is not a plain TCP connection (an SSH tunnel). The engine asks for
// it before each connection it makes, the cancel message's included.
class ExchangeRoute
{
public:
    virtual ~ExchangeRoute() = default;
    using Ready = std::function<void(const QString &host, quint16 port)>;
    using Failed = std::function<void(const QString &reason)>;
    // Opens the way unless it is open, then calls one of the two, at once or later from the event
    // loop.
    virtual void open(const Ready &ready, const Failed &failed) = 0;
    // Where the open way begins; false while it is not open.
    virtual bool current(QString *host, quint16 *port) const = 0;
};

// One finished (or refused) operation, for the request journal. Never holds a password.
struct ExchangeRecord
{
    QDateTime started; // UTC
    QByteArray command; // command code, e.g. "0", "+3"
    QString argument; // first argument line; for A only the user name
    int result = OpResult::Failed; // OpResult::Accepted / Failed / Busy
    QString returnCode; // first answer line, if any
    qsizetype answerBytes = 0; // bytes of the answer as received
    qint64 durationMs = 0;
    int silentRetries = 0;
    bool cancelled = false; // given up by the third press or by closing
};

// The exchange engine: one request/answer exchange at a time on the calling thread, waiting in
// a local event loop so that timers, sockets and other windows keep working. Needs only
// QCoreApplication. Every operation returns OpResult::Accepted, Failed or Busy and leaves the
// answer lines, header removed, in the list it was given.
class TulvaExchange : public QObject
{
    Q_OBJECT
public:
    explicit TulvaExchange(QObject *parent = nullptr);
    ~TulvaExchange() override;

    void setWindow(ExchangeWindow *window) { m_window = window; }
    ExchangeWindow *window() const { return m_window; }

    QString clientId() const;
    // Non-zero once any request has been sent in this run.
    quint16 sendSockPort() const { return m_sendPort; }
    // Busy while an exchange runs, else the last operation's result.
    int busyMarker() const { return m_busyMarker; }
    bool isBusy() const { return m_inOperation; }
    void setWaitNoModal(bool on) { m_waitNoModal = on; }
    bool waitNoModal() const { return m_waitNoModal; }

    void SetServerAddress(const QString &host, const QString &port, const QString &workstation);
    // Connections go this way instead of straight to the server host and port; null: straight.
    void setRoute(ExchangeRoute *route) { m_route = route; }
    ExchangeRoute *route() const { return m_route; }

    // Server commands.
    int RegisterClient(const QString &userName, const QString &password, const QString &workstation,
        AnswerOut answer); // A
    int UnregisterClient(const QString &userName, AnswerOut answer); // B
    int NoOperation(AnswerOut answer); // N
    // The stream, when given, sees the answer's lines while they arrive.
    int GetDatabaseInfo(const QString &dbName, AnswerOut answer, AnswerStream *stream = nullptr); // 0
    int ReadResource(int pathCode, const QString &dbName, const QString &fileName,
        AnswerOut answer); // L
    int ActualizeDatabase(const QString &dbName, int mfn, AnswerOut answer); // F
    int CreateDatabase(const QString &name, const QString &description, bool flag,
        AnswerOut answer); // T
    int DeleteDatabase(const QString &dbName, AnswerOut answer); // W
    int ClearDatabase(const QString &dbName, AnswerOut answer); // S
    int ReorganizeInvertedFile(const QString &dbName, AnswerOut answer); // Y
    int ReorganizeMasterFile(const QString &dbName, AnswerOut answer); // X
    int LoadInvertedFile(const QString &dbName, AnswerOut answer); // Z
    int UnlockRecords(const QString &dbName, const QList<qint32> &mfns, AnswerOut answer); // Q
    int UnlockDatabase(const QString &dbName, AnswerOut answer); // U
    int RestartServer(AnswerOut answer); // +8
    int GetRegisteredClients(AnswerOut answer); // +1
    int GetClientList(AnswerOut answer); // +9
    int SaveClientList(const QStringList &lines, AnswerOut answer); // +7
    // The same with the text as it goes on the wire (Windows-1251, CR LF after every line).
    int SaveClientList(const QByteArray &text, AnswerOut answer);
    int GetProcessList(AnswerOut answer); // +3
    int DeleteRegisteredClient(const QString &clientId, AnswerOut answer); // +6
    int StopProcess(const QString &clientId, const QString &commandCode, const QString &processNumber,
        AnswerOut answer); // +4
    int GetServerVersion(AnswerOut answer); // 1

    // Resource reads through the cache (key: path code, database and file name, upper-cased).
    int ReadResourceCached(int pathCode, const QString &dbName, const QString &fileName, AnswerOut answer);
    void ClearResourceCache();
    // Overwrites and drops the text of the last request, which may hold passwords (a saved
    // client list); nothing is dropped while an exchange runs.
    void forgetLastRequest();

    // The cancel button (and Esc): the first two presses send the cancel message, the third
    // also gives the exchange up and leads to the retry question.
    void TerminatorButtonClick();
    // Gives the running exchange up at once, as a third press would, but without the question:
    // the operation returns Failed. For closing the program.
    void abandonExchange();
    // While set, a failed exchange never asks the retry question (closing the program), and a
    // wait ends by itself after closingWaitLimit ms.
    // The unregistration at closing still reaches a server that the retry question gave up on.
    void setClosing(bool on);
    bool closing() const { return m_closing; }
    void setClosingWaitLimit(int ms) { m_closingWaitLimitMs = ms; }
    // While set, a failed exchange asks nothing and the operation is simply Failed: for readings
    // that a timer takes again at its next tick anyway (the server monitor).
    void setNeverAsk(bool on) { m_neverAsk = on; }
    bool neverAsk() const { return m_neverAsk; }

    // Makes the nine header lines of a new request and remembers its command code.
    QByteArray BuildRequestHeader(QByteArrayView command);
    // Runs the request text built in the engine, with silent retries and the retry question.
    int ExecuteRequest(AnswerOut answer);

    // Components.
    QTimer *TimerWait = nullptr;
    QTimer *TimerNoOperation = nullptr;
    QTcpSocket *Send_Sock = nullptr;
    QTcpSocket *Sock_StopProcess = nullptr;
    QTcpSocket *ClientSocket = nullptr;

    int RetryLimit = 5;
    int RetriesLeft = 5;

    // --- settings and state for tests and tools ---------------------------------------------
    void setShowDelay(int seconds) { m_showDelay = seconds; }
    int showDelay() const { return m_showDelay; }
    void setWaitTickInterval(int ms);
    void setGatewayMode(bool on) { m_gatewayMode = on; }
    void setBlockingTransport(bool on) { m_blockingTransport = on; }
    void setBlockingTimeout(int ms) { m_blockingTimeoutMs = ms; }
    void setLogging(bool on, const QString &folder);
    // The largest answer taken, in bytes (default 1 GiB); a larger one is given up as a cut
    // answer is, and the retry question says why. 0 or less restores the default.
    void setMaxAnswerSize(qint64 bytes);
    qint64 maxAnswerSize() const { return m_maxAnswerSize; }
    static constexpr qint64 kDefaultMaxAnswerSize = qint64(1) << 30;
    // The limit as the settings write it (decimal, or hexadecimal after "0x"); 0 when the text
    // is not a positive number.
    static qint64 answerSizeFromText(QStringView text);
    // Called on every TimerWait tick, after the window's tick.
    void setTickHook(std::function<void(int tick)> hook) { m_tickHook = std::move(hook); }

    int exchangeState() const { return m_state; }
    bool retryFlag() const { return m_retryFlag; }
    int tickCount() const { return m_tickCount; }
    int pressCounter() const { return m_pressCounter; }
    QString serverHost() const { return m_serverHost; }
    QString serverPort() const { return m_serverPort; }
    QByteArray sequenceNumber() const { return m_id.sequence; }
    QByteArray currentCommand() const { return m_currentCommand; }
    QByteArray requestText() const { return m_requestText; }
    QByteArray binaryPart() const { return m_binary; }
    qsizetype receiveCapacity() const { return m_received.capacity(); }
    QStringList resourceCacheKeys() const { return m_resourceCache.keys(); }

    void TimerWaitTimer();
    void TimerNoOperationTimer();

Q_SIGNALS:
    // After every operation, refused ones included.
    void operationFinished(const ExchangeRecord &record);
    // The engine has become idle (an operation has returned).
    void idle();

private:
    int runOperation(QByteArrayView command, const QByteArray &arguments, AnswerOut answer,
        bool testBusy = true, void (TulvaExchange::*reshape)() = nullptr, bool background = false,
        AnswerStream *stream = nullptr);
    void reshapeResource();
    int executeRequestBytes(bool background);
    int exchangeWithWindow(bool background);
    void waitInLoop();
    void StartSend();
    void connectSendSock(quint16 port);
    bool routeNow(QString *host, quint16 *port);
    void answerToList(AnswerOut answer);
    void setState(int state);
    int blockingExchange();
    // Reads what the socket has into the receive buffer; false once the server has closed the
    // connection (an unbuffered socket tells so only by a failed read).
    bool takeBytes(QTcpSocket *socket);
    void beginReceiving();
    void scanReceived(bool last);
    void answerTooLarge();
    void sizeFromAnnouncedLength();
    void connectionBroken();
    void socketFailed();
    void finishAnswer(bool blocking);
    void releaseBuffers();
    void stopWaitTimer();
    void writeLog(const char *kind, QByteArrayView text) const;
    bool ask(const QString &text);
    void Send_SockConnect();
    void Send_SockRead();
    void Send_SockDisconnect();
    void Sock_StopProcessConnect();
    void sendCancelMessage(bool laterPress);

    ExchangeWindow *m_window = nullptr;
    ExchangeRoute *m_route = nullptr;
    quint64 m_routeAttempt = 0; // an answer of the route for an earlier connection is ignored
    bool m_waitNoModal = true;
    bool m_gatewayMode = false;
    QByteArray m_gatewayPath;
    bool m_logging = false;
    QString m_logFolder;
    QByteArray m_received;
    QByteArray m_binary;
    int m_pressCounter = 1;
    bool m_blockingTransport = false;
    int m_blockingTimeoutMs = 30000;
    int m_state = OpResult::Accepted;
    bool m_retryFlag = false;
    int m_dataError = 0;
    bool m_abandoned = false;
    bool m_closing = false;
    bool m_neverAsk = false;
    int m_closingWaitLimitMs = 5000;
    QByteArray m_requestText;
    QByteArray m_wireMessage;
    QByteArray m_cancelMessage;
    QStringList m_scratchList;
    QMap<QString, QStringList> m_resourceCache;
    QString m_serverHost;
    QString m_hostBeforeRefusal; // emptied by No to the retry question; kept for closing
    QString m_serverPort;
    Wire::Identity m_id;
    QByteArray m_currentCommand;
    int m_showDelay = 3;
    int m_tickCount = 0;
    int m_busyMarker = 0;
    quint16 m_sendPort = 0;
    bool m_inOperation = false;
    bool m_sendConnected = false;
    bool m_sized = false; // the receive buffer has taken the announced length
    QEventLoop *m_waitLoop = nullptr;
    std::function<void(int)> m_tickHook;

    // Journal figures of the running operation.
    int m_silentRetries = 0;
    bool m_cancelled = false;
    qsizetype m_answerBytes = 0;

    QList<QByteArrayView> m_answerLines;
    QByteArray m_resourceCopy;

    // The answer's text end and lines, found while it arrives (direct framing).
    Wire::AnswerScanner m_scanner;
    bool m_scanning = false;
    AnswerStream *m_stream = nullptr;
    qsizetype m_streamedLines = 0; // lines already handed to the stream whole
    qint64 m_maxAnswerSize = kDefaultMaxAnswerSize;
    bool m_oversized = false; // the running attempt's answer passed the limit
};

// Hands host, port and workstation code to the engine, then registers the client (command A).
// On a first answer line "0" the line after it is removed, so the profile follows directly.
int ConnectToServer(TulvaExchange *engine, const QString &host, const QString &port,
    const QString &workstation, AnswerOut answer, const QString &password, const QString &userName);
