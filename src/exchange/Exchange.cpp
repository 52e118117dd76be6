#include "Exchange.h"

#include "exchange/TextCodec.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <stdexcept>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kWaiting = OpResult::Busy;
constexpr int kAccepted = OpResult::Accepted;
constexpr int kFailed = OpResult::Failed;

// Unbuffered: the answer is read from the system straight into the receive buffer.
constexpr QIODevice::OpenMode kSendMode = QIODevice::ReadWrite | QIODevice::Unbuffered;

// Fixed answer texts of failed exchanges.
constexpr QByteArrayView kHeaderMismatchText{ "-2222" };
constexpr QByteArrayView kDataErrorText{ "-1112" };

QByteArray bytes(const QString &text)
{
    return TextCodec::toBytes(text);
}

} // namespace

TulvaExchange::TulvaExchange(QObject *parent)
    : QObject(parent)
{
    TimerWait = new QTimer(this);
    TimerWait->setObjectName(u"TimerWait"_s);
    TimerWait->setInterval(100);
    connect(TimerWait, &QTimer::timeout, this, &TulvaExchange::TimerWaitTimer);

    TimerNoOperation = new QTimer(this);
    TimerNoOperation->setObjectName(u"TimerNoOperation"_s);
    TimerNoOperation->setInterval(60000);
    connect(TimerNoOperation, &QTimer::timeout, this, &TulvaExchange::TimerNoOperationTimer);

    Send_Sock = new QTcpSocket(this);
    Send_Sock->setObjectName(u"Send_Sock"_s);
    connect(Send_Sock, &QTcpSocket::connected, this, &TulvaExchange::Send_SockConnect);
    connect(Send_Sock, &QTcpSocket::readyRead, this, &TulvaExchange::Send_SockRead);
    connect(Send_Sock, &QTcpSocket::disconnected, this, &TulvaExchange::Send_SockDisconnect);
    connect(Send_Sock, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (m_state != kWaiting || m_blockingTransport)
            return;
        // The server closing the connection is the normal end of an answer.
        if (error == QAbstractSocket::RemoteHostClosedError)
            return;
        if (!m_sendConnected)
            connectionBroken();
        else
            socketFailed();
    });

    Sock_StopProcess = new QTcpSocket(this);
    Sock_StopProcess->setObjectName(u"Sock_StopProcess"_s);
    connect(Sock_StopProcess, &QTcpSocket::connected, this, &TulvaExchange::Sock_StopProcessConnect);

    ClientSocket = new QTcpSocket(this);
    ClientSocket->setObjectName(u"ClientSocket"_s);

    m_id.sequence = QByteArrayLiteral("0");
    m_id.clientId = QByteArray::number(QRandomGenerator::securelySeeded().bounded(1000000));
    m_gatewayPath = Wire::kDefaultGatewayPath.toByteArray();
    m_logFolder = u"D:\\TEMP\\"_s;
    m_received.reserve(Wire::kReadChunk);
    m_binary.reserve(Wire::kReadChunk);
}

TulvaExchange::~TulvaExchange()
{
    // A wait still running (the window went away under it) must not touch freed state.
    if (m_waitLoop)
        m_waitLoop->quit();
    m_window = nullptr;
}

QString TulvaExchange::clientId() const
{
    return QString::fromLatin1(m_id.clientId);
}

void TulvaExchange::setWaitTickInterval(int ms)
{
    TimerWait->setInterval(ms);
}

void TulvaExchange::setLogging(bool on, const QString &folder)
{
    m_logging = on;
    m_logFolder = folder;
}

void TulvaExchange::setMaxAnswerSize(qint64 bytes)
{
    m_maxAnswerSize = bytes > 0 ? bytes : kDefaultMaxAnswerSize;
}

qint64 TulvaExchange::answerSizeFromText(QStringView text)
{
    bool ok = false;
    qint64 value = 0;
    if (text.startsWith(u"0x", Qt::CaseInsensitive))
        value = text.sliced(2).toLongLong(&ok, 16);
    else if (!text.isEmpty() && text.front().isDigit())
        value = text.toLongLong(&ok, 10);
    return ok && value > 0 ? value : 0;
}

void TulvaExchange::SetServerAddress(const QString &host, const QString &port, const QString &workstation)
{
    m_serverHost = host;
    m_serverPort = port;
    m_id.workstation = bytes(workstation);
}

void TulvaExchange::setClosing(bool on)
{
    m_closing = on;
    if (on && m_serverHost.isEmpty())
        m_serverHost = m_hostBeforeRefusal;
}

bool TulvaExchange::ask(const QString &text)
{
    return m_window ? m_window->askYesNo(text) : false;
}

// --- the engine ----------------------------------------------------------------------------------

QByteArray TulvaExchange::BuildRequestHeader(QByteArrayView command)
{
    m_id.sequence = Wire::nextSequence(m_id.sequence);
    m_currentCommand = command.toByteArray();
    QByteArray header = Wire::requestHeader(m_id, command);
    m_pressCounter = 1;
    return header;
}

void TulvaExchange::setState(int state)
{
    m_state = state;
    if (state != kWaiting && m_waitLoop)
        m_waitLoop->quit();
}

void TulvaExchange::stopWaitTimer()
{
    TimerWait->stop();
}

int TulvaExchange::runOperation(QByteArrayView command, const QByteArray &arguments, AnswerOut answer,
    bool testBusy, void (TulvaExchange::*reshape)(), bool background, AnswerStream *stream)
{
    ExchangeRecord record;
    record.started = QDateTime::currentDateTimeUtc();
    record.command = command.toByteArray();
    {
        // Only the first argument line: for A that is the user name, never the password.
        const qsizetype end = arguments.indexOf('\n');
        record.argument
            = TextCodec::toText(end < 0 ? QByteArrayView(arguments) : QByteArrayView(arguments).first(end));
    }
    if ((testBusy && m_busyMarker == kWaiting) || m_inOperation) {
        // Even an operation that skips the busy test must not start inside a running exchange:
        // it would take over the outstanding connection and buffers.
        record.result = kWaiting;
        Q_EMIT operationFinished(record);
        return kWaiting;
    }
    QElapsedTimer clock;
    clock.start();
    m_inOperation = true;
    m_busyMarker = kWaiting;
    m_silentRetries = 0;
    m_cancelled = false;
    m_abandoned = false;
    m_answerBytes = 0;
    m_stream = stream;
    RetriesLeft = RetryLimit;
    int result = kFailed;
    try {
        m_requestText = BuildRequestHeader(command);
        m_requestText.reserve(m_requestText.size() + arguments.size());
        m_requestText += arguments;
        result = executeRequestBytes(background);
        if (reshape)
            (this->*reshape)();
        answerToList(answer);
    } catch (...) {
        result = kFailed;
    }
    m_stream = nullptr;
    releaseBuffers();
    m_inOperation = false;
    m_busyMarker = result;

    record.result = result;
    if (answer.size() > 0)
        record.returnCode = answer.first();
    record.answerBytes = m_answerBytes;
    record.durationMs = clock.elapsed();
    record.silentRetries = m_silentRetries;
    record.cancelled = m_cancelled;
    Q_EMIT operationFinished(record);
    Q_EMIT idle();
    return result;
}

int TulvaExchange::ExecuteRequest(AnswerOut answer)
{
    int result = kFailed;
    try {
        result = executeRequestBytes(false);
        answerToList(answer);
    } catch (...) {
        result = kFailed;
    }
    releaseBuffers();
    return result;
}

int TulvaExchange::executeRequestBytes(bool background)
{
    for (;;) {
        m_retryFlag = false;
        const int state = m_blockingTransport ? blockingExchange() : exchangeWithWindow(background);
        if (state != kFailed)
            return state;
        if (!m_retryFlag || m_abandoned)
            return kFailed;

        QString message;
        if (m_oversized) {
            // Another attempt would only bring the same flood: the administrator decides at once.
            m_oversized = false;
            m_dataError = 0;
            RetriesLeft = RetryLimit;
            message = u"Ответ сервера больше допустимого размера ("_s + QString::number(m_maxAnswerSize)
                + u" байт, MaxAnswerSize), его прием прерван."_s;
        } else if (m_dataError) {
            m_dataError = 0;
            if (RetriesLeft > 0) {
                --RetriesLeft;
            } else {
                message = u"Произошла ошибка при получении данных от сервера ("_s + QString::number(-1112)
                    + u")."_s;
                RetriesLeft = RetryLimit;
            }
        } else {
            message = u"Связь с сервером ТУЛВА64 прервана."_s;
        }
        if (!message.isEmpty()) {
            // Closing the program asks nothing: the administrator has already decided. Nor does
            // a reading that its timer takes again anyway.
            if (m_closing || m_neverAsk)
                return kFailed;
            if (!ask(message + u" Следует повторить обращение к серверу"_s)) {
                if (!m_serverHost.isEmpty())
                    m_hostBeforeRefusal = m_serverHost;
                m_serverHost.clear();
                if (m_window)
                    m_window->terminateProgram();
                return kFailed;
            }
        }
        if (message.isEmpty())
            ++m_silentRetries;
        m_id.sequence = Wire::nextSequence(m_id.sequence);
        m_requestText = Wire::retriedRequest(m_requestText, m_id.sequence);
    }
}

void TulvaExchange::answerToList(AnswerOut answer)
{
    // The lines lie in the receive buffer: the answer takes the buffer itself.
    answer.take(std::move(m_received), m_answerLines);
    m_received = QByteArray();
}

void TulvaExchange::releaseBuffers()
{
    // A large answer must not keep its memory for the rest of the run.
    constexpr qsizetype kLargeLineList = 64 * 1024;
    const bool large
        = m_answerLines.capacity() > kLargeLineList || m_received.capacity() > 4 * Wire::kReadChunk;
    m_answerLines = QList<QByteArrayView>(); // its capacity too: a million-line answer's index
    m_resourceCopy = QByteArray();
    if (m_received.capacity() > 4 * Wire::kReadChunk)
        m_received = QByteArray();
    m_received.resize(0);
    m_received.reserve(Wire::kReadChunk);
#ifdef __GLIBC__
    // What a large answer's line list used is handed back to the system, not kept by malloc
    // for the idle program.
    if (large)
        malloc_trim(0);
#endif
}

int TulvaExchange::exchangeWithWindow(bool background)
{
    m_answerLines.clear();
    m_state = kWaiting;
    if (m_window)
        m_window->waitBegins(background);
    try {
        waitInLoop();
        if (m_state == kAccepted) {
            if (m_answerLines.size() < Wire::kAnswerHeaderLines)
                m_state = kFailed; // no full answer header: nothing to hand over
            else
                m_answerLines.remove(0, Wire::kAnswerHeaderLines);
        }
    } catch (...) {
        m_state = kFailed;
        m_retryFlag = false;
    }
    if (m_window)
        m_window->waitEnds();
    return m_state;
}

void TulvaExchange::waitInLoop()
{
    m_state = kWaiting;
    TimerNoOperation->stop();
    TimerNoOperation->start();
    StartSend();
    m_tickCount = 0;
    TimerWait->start();
    QTimer closingLimit;
    if (m_closing) {
        closingLimit.setSingleShot(true);
        connect(&closingLimit, &QTimer::timeout, this, &TulvaExchange::abandonExchange);
        closingLimit.start(m_closingWaitLimitMs);
    }
    if (m_state == kWaiting) {
        QEventLoop loop;
        m_waitLoop = &loop;
        loop.exec();
        m_waitLoop = nullptr;
    }
    if (m_state == kWaiting) {
        // The loop was ended from outside (the application is quitting).
        Send_Sock->abort();
        m_answerLines.clear();
        m_state = kFailed;
    }
    TimerWait->stop();
}

void TulvaExchange::StartSend()
{
    if (Send_Sock->state() == QAbstractSocket::ConnectedState)
        return;
    // A connection attempt left over from an abandoned exchange would never carry this request.
    if (Send_Sock->state() != QAbstractSocket::UnconnectedState)
        Send_Sock->abort();

    const QByteArray portText = bytes(m_serverPort);
    if (Wire::usesHttpFraming(portText, m_gatewayMode))
        m_wireMessage
            = Wire::frameHttp(m_gatewayPath, bytes(m_serverHost), portText, m_currentCommand, m_requestText);
    else
        m_wireMessage = Wire::frameDirect(m_currentCommand, m_requestText);
    const int port = Wire::portNumber(portText);
    m_sendPort = quint16(port);
    m_sendConnected = false;
    m_state = kWaiting;
    if (m_serverHost.isEmpty()) {
        // Emptied after a refused retry: the program is ending and must not ask again.
        m_answerLines.clear();
        setState(kFailed);
        return;
    }
    connectSendSock(quint16(port));
}

void TulvaExchange::connectSendSock(quint16 port)
{
    if (!m_route) {
        Send_Sock->connectToHost(m_serverHost, port, kSendMode);
        return;
    }
    // The way may open later (a tunnel starting): meanwhile the wait runs as for a slow server,
    // and an answer that comes after this exchange has ended is ignored.
    const quint64 attempt = ++m_routeAttempt;
    QPointer<TulvaExchange> self(this);
    m_route->open(
        [self, attempt](const QString &host, quint16 routePort) {
            if (self && attempt == self->m_routeAttempt && self->m_state == kWaiting)
                self->Send_Sock->connectToHost(host, routePort, kSendMode);
        },
        [self, attempt](const QString &) {
            if (self && attempt == self->m_routeAttempt && self->m_state == kWaiting)
                self->connectionBroken();
        });
}

bool TulvaExchange::routeNow(QString *host, quint16 *port)
{
    // The blocking transport waits for the way as it waits for everything else.
    bool answered = false;
    bool ok = false;
    QEventLoop loop;
    m_route->open(
        [&](const QString &h, quint16 p) {
            *host = h;
            *port = p;
            ok = answered = true;
            loop.quit();
        },
        [&](const QString &) {
            answered = true;
            loop.quit();
        });
    if (!answered)
        loop.exec();
    return ok;
}

void TulvaExchange::TimerWaitTimer()
{
    ++m_tickCount;
    if (m_window)
        m_window->waitTick(m_tickCount);
    if (m_tickHook)
        m_tickHook(m_tickCount);
}

void TulvaExchange::TimerNoOperationTimer()
{
    runOperation("N", QByteArray(), m_scratchList, true, nullptr, true);
}

void TulvaExchange::sendCancelMessage(bool laterPress)
{
    m_cancelMessage = Wire::cancelMessage(m_id, m_currentCommand, laterPress);
    // Every press gets a connection of its own, so each cancel message reaches the server.
    if (Sock_StopProcess->state() != QAbstractSocket::UnconnectedState)
        Sock_StopProcess->abort();
    if (m_serverHost.isEmpty())
        return;
    QString host = m_serverHost;
    quint16 port = quint16(Wire::portNumber(bytes(m_serverPort)));
    // Through a route only while it is open: a request that never went out needs no cancelling.
    if (m_route && !m_route->current(&host, &port))
        return;
    Sock_StopProcess->connectToHost(host, port);
}

void TulvaExchange::TerminatorButtonClick()
{
    if (m_state != kWaiting)
        return;
    sendCancelMessage(m_pressCounter >= 2);
    if (m_pressCounter > 2) {
        m_pressCounter = 1;
        m_answerLines.clear();
        m_retryFlag = true;
        m_cancelled = true;
        stopWaitTimer();
        setState(kFailed);
        Send_Sock->abort();
    } else {
        ++m_pressCounter;
    }
}

void TulvaExchange::abandonExchange()
{
    if (m_state != kWaiting || !m_inOperation)
        return;
    sendCancelMessage(true);
    m_pressCounter = 1;
    m_answerLines.clear();
    m_retryFlag = false;
    m_abandoned = true;
    m_cancelled = true;
    stopWaitTimer();
    setState(kFailed);
    Send_Sock->abort();
}

void TulvaExchange::Sock_StopProcessConnect()
{
    Sock_StopProcess->write(m_cancelMessage);
}

void TulvaExchange::Send_SockConnect()
{
    if (m_state != kWaiting)
        return;
    m_sendConnected = true;
    m_sized = false;
    m_received.resize(0);
    m_binary.resize(0);
    beginReceiving();
    Send_Sock->write(m_wireMessage);
    if (m_logging)
        writeLog("request", m_requestText);
    m_answerLines.clear();
}

void TulvaExchange::beginReceiving()
{
    m_oversized = false;
    // The gateway's envelope comes off only once the answer is whole.
    m_scanning = !m_gatewayMode;
    m_scanner.reset();
    m_streamedLines = 0;
    if (m_stream)
        m_stream->restart();
}

bool TulvaExchange::takeBytes(QTcpSocket *socket)
{
    // As much as the system holds in one read (the buffer has taken the announced size).
    constexpr qint64 kMostPerRead = qint64(4) << 20;
    const bool unbuffered = socket->openMode().testFlag(QIODevice::Unbuffered);
    // The lines and lists are worked on as they come: after a slice of that work the events run
    // again, and the socket calls back for what is left.
    constexpr qint64 kSliceNs = 8'000'000;
    QElapsedTimer slice;
    slice.start();
    for (;;) {
        const qint64 available = socket->bytesAvailable();
        qint64 got = 0;
        qsizetype chunk = 0;
        if (available > 0) {
            chunk = qsizetype(qMin<qint64>(available, kMostPerRead));
            const qsizetype length = m_received.size();
            // Doubling keeps a large answer linear in its size.
            if (length + chunk + 1 > m_received.capacity())
                m_received.reserve(qMax(m_received.capacity() * 2, length + chunk + Wire::kReadChunk));
            m_received.resize(length + chunk);
            got = socket->read(m_received.data() + length, chunk);
            m_received.resize(length + qMax<qint64>(got, 0));
        } else if (unbuffered) {
            // Unbuffered, the server's close shows only as a failed read: one small read is
            // tried even when nothing is announced, without growing the buffer for it.
            char probe[512];
            chunk = sizeof probe;
            got = socket->read(probe, chunk);
            if (got > 0)
                m_received.append(probe, qsizetype(got));
        } else {
            return true;
        }
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (m_received.size() > m_maxAnswerSize) {
            answerTooLarge();
            return true;
        }
        if (!m_sized)
            sizeFromAnnouncedLength();
        scanReceived(false);
        if (got < chunk || (unbuffered && slice.nsecsElapsed() >= kSliceNs))
            return true;
    }
}

void TulvaExchange::scanReceived(bool last)
{
    if (m_scanning && m_received.size() >= Wire::AnswerScanner::kMostBytes) {
        // Beyond what the scanner addresses: the answer is processed whole at the end.
        m_scanning = false;
        m_scanner.reset();
        if (m_stream)
            m_stream->restart();
    }
    if (!m_scanning)
        return;
    if (last)
        m_scanner.finish(m_received);
    else
        m_scanner.advance(m_received);
    if (!m_stream)
        return;
    const QByteArrayView received(m_received);
    const QList<Wire::AnswerScanner::Line> &lines = m_scanner.lines();
    for (; m_streamedLines < lines.size(); ++m_streamedLines) {
        const Wire::AnswerScanner::Line &line = lines.at(m_streamedLines);
        m_stream->lineGrows(m_streamedLines, line.offset, received.sliced(line.offset, line.length), true);
    }
    const qsizetype open = m_scanner.openLineStart();
    const qsizetype known = m_scanner.textKnownUpTo();
    if (!last && open >= 0 && known > open)
        m_stream->lineGrows(lines.size(), open, received.sliced(open, known - open), false);
}

void TulvaExchange::answerTooLarge()
{
    m_oversized = true;
    m_answerLines.clear();
    m_retryFlag = true;
    if (m_blockingTransport)
        return;
    stopWaitTimer();
    setState(kFailed);
    Send_Sock->abort();
}

void TulvaExchange::sizeFromAnnouncedLength()
{
    // Line 4 of the answer header announces the length of the text: the buffer takes that size
    // at once instead of growing step by step (capped: a wild number costs nothing up front).
    constexpr qint64 kMostUpFront = qint64(256) << 20;
    qsizetype pos = 0;
    for (int line = 0; line < 4; ++line) {
        pos = m_received.indexOf('\n', pos);
        if (pos < 0)
            return;
        ++pos;
    }
    m_sized = true;
    const QList<QByteArrayView> lines = Wire::splitLines(QByteArrayView(m_received).first(pos));
    bool ok = false;
    const qint64 announced = lines.size() >= 4 ? Wire::toInteger(lines.at(3).trimmed(), &ok) : 0;
    if (!ok || announced <= 0)
        return;
    // A little room beyond: the read that finds the end needs none.
    const qint64 want = qMin<qint64>(announced + pos + 64, qMin(kMostUpFront, m_maxAnswerSize + 64));
    if (want > m_received.capacity())
        m_received.reserve(qsizetype(want));
}

void TulvaExchange::Send_SockRead()
{
    if (m_state != kWaiting)
        return;
    try {
        const bool open = takeBytes(Send_Sock);
        if (m_state != kWaiting)
            return;
        if (!open) {
            Send_SockDisconnect();
            return;
        }
        if (m_gatewayMode && Wire::endsWithMarker(m_received, Wire::kEndMarker)) {
            Send_Sock->disconnectFromHost();
            if (Send_Sock->state() == QAbstractSocket::UnconnectedState)
                Send_SockDisconnect();
        }
    } catch (...) {
        socketFailed();
    }
}

void TulvaExchange::socketFailed()
{
    m_answerLines.clear();
    m_retryFlag = false;
    setState(kFailed);
    Send_Sock->abort();
}

void TulvaExchange::connectionBroken()
{
    m_answerLines.clear();
    m_retryFlag = true;
    setState(kFailed);
    Send_Sock->abort();
}

void TulvaExchange::Send_SockDisconnect()
{
    if (m_state != kWaiting)
        return;
    try {
        if (Send_Sock->state() != QAbstractSocket::UnconnectedState)
            takeBytes(Send_Sock);
        if (m_state != kWaiting)
            return;
        if (Send_Sock->state() != QAbstractSocket::UnconnectedState)
            Send_Sock->abort();
        finishAnswer(false);
    } catch (...) {
        if (Send_Sock->state() != QAbstractSocket::UnconnectedState)
            Send_Sock->abort();
        m_answerLines.clear();
        m_retryFlag = false;
        setState(kFailed);
    }
}

void TulvaExchange::finishAnswer(bool blocking)
{
    m_answerBytes = m_received.size();
    const Wire::AnswerCheck check{ m_id.clientId, m_id.sequence, m_gatewayMode };
    Wire::Answer a;
    if (m_scanning)
        scanReceived(true);
    if (m_scanning) {
        a = Wire::processScanned(m_received, m_scanner, check);
        // Its lines are views now: the spans go at once (millions of lines cost megabytes).
        m_scanner.reset();
    } else {
        a = Wire::processAnswer(m_received, check);
    }
    m_binary = a.binary.toByteArray();
    if (m_logging)
        writeLog("answer", a.text);

    switch (a.verdict) {
    case Wire::Verdict::Accepted:
        m_answerLines = std::move(a.lines);
        setState(kAccepted);
        break;
    case Wire::Verdict::LengthMismatch:
        m_answerLines.clear();
        if (blocking)
            m_answerLines.append(kDataErrorText);
        m_dataError = 1;
        m_retryFlag = true;
        if (!blocking) {
            Send_Sock->abort();
            stopWaitTimer();
        }
        setState(kFailed);
        break;
    case Wire::Verdict::HeaderMismatch:
        m_answerLines = { blocking ? kDataErrorText : kHeaderMismatchText };
        m_dataError = 1;
        m_retryFlag = true;
        setState(kFailed);
        break;
    case Wire::Verdict::TooShort:
        // What little came stays in the list; the caller reports the failure.
        if (blocking)
            m_answerLines.clear();
        else
            m_answerLines = Wire::splitLines(a.text);
        m_retryFlag = false;
        setState(kFailed);
        break;
    }
}

int TulvaExchange::blockingExchange()
{
    TimerNoOperation->stop();
    TimerNoOperation->start();
    m_answerLines.clear();
    m_received.resize(0);
    m_sized = false;
    m_binary.resize(0);
    beginReceiving();
    m_state = kWaiting;
    const QByteArray portText = bytes(m_serverPort);
    const int port = Wire::portNumber(portText);
    m_sendPort = quint16(port);
    m_wireMessage = Wire::frameDirect(m_currentCommand, m_requestText);
    if (m_serverHost.isEmpty()) {
        m_state = kFailed;
        return m_state;
    }
    try {
        ClientSocket->abort();
        QString host = m_serverHost;
        quint16 routePort = quint16(port);
        if (m_route && !routeNow(&host, &routePort)) {
            m_retryFlag = true;
            m_state = kFailed;
            return m_state;
        }
        ClientSocket->connectToHost(host, routePort);
        if (!ClientSocket->waitForConnected(m_blockingTimeoutMs)) {
            ClientSocket->abort();
            m_retryFlag = true;
            m_state = kFailed;
            return m_state;
        }
        qint64 written = 0;
        while (written < m_wireMessage.size()) {
            const qint64 n
                = ClientSocket->write(m_wireMessage.constData() + written, m_wireMessage.size() - written);
            if (n <= 0)
                throw std::runtime_error("write failed");
            written += n;
        }
        while (ClientSocket->bytesToWrite() > 0) {
            if (!ClientSocket->waitForBytesWritten(m_blockingTimeoutMs))
                throw std::runtime_error("write failed");
        }
        if (m_logging)
            writeLog("request", m_requestText);
        for (;;) {
            if (ClientSocket->bytesAvailable() == 0 && !ClientSocket->waitForReadyRead(m_blockingTimeoutMs)) {
                if (ClientSocket->error() != QAbstractSocket::RemoteHostClosedError
                    && ClientSocket->state() == QAbstractSocket::ConnectedState)
                    throw std::runtime_error("no answer");
                break;
            }
            const qsizetype before = m_received.size();
            takeBytes(ClientSocket);
            if (m_oversized) {
                ClientSocket->abort();
                m_state = kFailed;
                return m_state;
            }
            if (m_gatewayMode && Wire::endsWithMarker(m_received, Wire::kEndMarker))
                break;
            if (m_received.size() == before && ClientSocket->state() != QAbstractSocket::ConnectedState)
                break;
        }
        ClientSocket->abort();
        finishAnswer(true);
        if (m_state == kAccepted) {
            if (m_answerLines.size() < Wire::kAnswerHeaderLines) {
                m_answerLines.clear();
                m_state = kFailed;
            } else {
                m_answerLines.remove(0, Wire::kAnswerHeaderLines);
            }
        }
    } catch (...) {
        ClientSocket->abort();
        m_answerLines.clear();
        m_retryFlag = false;
        m_state = kFailed;
    }
    return m_state;
}

void TulvaExchange::writeLog(const char *kind, QByteArrayView text) const
{
    QFile file(m_logFolder + QLatin1StringView(kind) + QString::fromLatin1(m_id.sequence) + u".log"_s);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    if (qstrcmp(kind, "request") == 0) {
        // The request carries the password on line 5 (and the registration once more as an
        // argument); it never goes into a file.
        QList<QByteArrayView> lines = Wire::splitLines(text);
        // The client list sent with +7: name, password, workstation line per account.
        const bool clientList = m_currentCommand == "+7";
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i == 4 || (!m_id.password.isEmpty() && lines.at(i) == m_id.password)
                || (clientList && i >= 9 && (i - 9) % 3 == 1))
                lines[i] = QByteArrayView("*****");
        }
        for (const QByteArrayView line : std::as_const(lines)) {
            file.write(line.data(), line.size());
            file.write("\r\n", 2);
        }
        return;
    }
    if (m_currentCommand == "+9") {
        // The account table holds every password in clear, in column 2 of each account.
        QList<QByteArrayView> lines = Wire::splitLines(text);
        const qsizetype body = Wire::kAnswerHeaderLines;
        bool ok = false;
        const qint64 last = Wire::toInteger(lines.value(body + 2), &ok);
        const bool sane = ok && last >= 2 && last < 4096;
        for (qsizetype i = body + 3; i < lines.size(); ++i) {
            if (!sane || (i - body - 3) % (last + 1) == 2)
                lines[i] = QByteArrayView("*****");
        }
        for (const QByteArrayView line : std::as_const(lines)) {
            file.write(line.data(), line.size());
            file.write("\r\n", 2);
        }
        return;
    }
    file.write(text.data(), text.size());
}

// --- operations ----------------------------------------------------------------------------------

int TulvaExchange::RegisterClient(
    const QString &userName, const QString &password, const QString &workstation, AnswerOut answer)
{
    if (m_inOperation)
        return kWaiting;
    m_id.sequence = QByteArrayLiteral("0");
    m_id.workstation = bytes(workstation);
    m_id.password = bytes(password);
    m_id.userName = bytes(userName);
    return runOperation("A", bytes(userName) + '\n' + bytes(password), answer, false);
}

int TulvaExchange::UnregisterClient(const QString &userName, AnswerOut answer)
{
    return runOperation("B", bytes(userName), answer);
}

int TulvaExchange::NoOperation(AnswerOut answer)
{
    return runOperation("N", QByteArray(), answer);
}

int TulvaExchange::GetDatabaseInfo(const QString &dbName, AnswerOut answer, AnswerStream *stream)
{
    return runOperation("0", bytes(dbName), answer, true, nullptr, false, stream);
}

int TulvaExchange::ReadResource(
    int pathCode, const QString &dbName, const QString &fileName, AnswerOut answer)
{
    const QByteArray args = QByteArray::number(pathCode) + '.' + bytes(dbName) + '.' + bytes(fileName);
    return runOperation("L", args, answer, true, &TulvaExchange::reshapeResource);
}

void TulvaExchange::reshapeResource()
{
    // The file comes as one line with its own line breaks encoded; decode it where it lies.
    const QByteArrayView first = m_answerLines.isEmpty() ? QByteArrayView() : m_answerLines.first();
    QByteArrayView decoded;
    const char *base = m_received.constData();
    const bool inBuffer = !first.isEmpty() && std::less_equal<>()(base, first.data())
        && std::less_equal<>()(first.data() + first.size(), base + m_received.size());
    if (inBuffer) {
        const qsizetype offset = first.data() - base;
        char *at = m_received.data() + offset;
        Wire::decodeLineBreaks(at, first.size());
        decoded = QByteArrayView(at, first.size());
    } else {
        m_resourceCopy = first.toByteArray();
        Wire::DecodeLineBreaks(m_resourceCopy);
        decoded = m_resourceCopy;
    }
    m_answerLines = Wire::splitLines(decoded);
}

int TulvaExchange::ActualizeDatabase(const QString &dbName, int mfn, AnswerOut answer)
{
    return runOperation("F", bytes(dbName) + '\n' + QByteArray::number(mfn), answer);
}

int TulvaExchange::CreateDatabase(
    const QString &name, const QString &description, bool flag, AnswerOut answer)
{
    return runOperation("T", bytes(name) + '\n' + bytes(description) + '\n' + (flag ? '1' : '0'), answer);
}

int TulvaExchange::DeleteDatabase(const QString &dbName, AnswerOut answer)
{
    return runOperation("W", bytes(dbName), answer);
}

int TulvaExchange::ClearDatabase(const QString &dbName, AnswerOut answer)
{
    return runOperation("S", bytes(dbName), answer);
}

int TulvaExchange::ReorganizeInvertedFile(const QString &dbName, AnswerOut answer)
{
    return runOperation("Y", bytes(dbName), answer);
}

int TulvaExchange::ReorganizeMasterFile(const QString &dbName, AnswerOut answer)
{
    return runOperation("X", bytes(dbName), answer);
}

int TulvaExchange::LoadInvertedFile(const QString &dbName, AnswerOut answer)
{
    return runOperation("Z", bytes(dbName), answer);
}

int TulvaExchange::UnlockRecords(const QString &dbName, const QList<qint32> &mfns, AnswerOut answer)
{
    // A million MFNs are written straight into one buffer sized for the longest numbers.
    const QByteArray name = bytes(dbName);
    QByteArray args(name.size() + mfns.size() * 12, Qt::Uninitialized);
    char *p = std::copy(name.cbegin(), name.cend(), args.data());
    for (const qint32 mfn : mfns) {
        *p++ = '\n';
        quint32 value = mfn < 0 ? 0u - quint32(mfn) : quint32(mfn);
        if (mfn < 0)
            *p++ = '-';
        char digits[10];
        int n = 0;
        do {
            digits[n++] = char('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (n > 0)
            *p++ = digits[--n];
    }
    args.truncate(p - args.constData());
    return runOperation("Q", args, answer);
}

int TulvaExchange::UnlockDatabase(const QString &dbName, AnswerOut answer)
{
    return runOperation("U", bytes(dbName), answer);
}

int TulvaExchange::RestartServer(AnswerOut answer)
{
    return runOperation("+8", QByteArray(), answer);
}

int TulvaExchange::GetRegisteredClients(AnswerOut answer)
{
    return runOperation("+1", QByteArray(), answer);
}

int TulvaExchange::GetClientList(AnswerOut answer)
{
    return runOperation("+9", QByteArray(), answer);
}

int TulvaExchange::SaveClientList(const QStringList &lines, AnswerOut answer)
{
    QByteArray args;
    for (const QString &line : lines) {
        args += bytes(line);
        args += "\r\n";
    }
    return runOperation("+7", args, answer);
}

int TulvaExchange::SaveClientList(const QByteArray &text, AnswerOut answer)
{
    return runOperation("+7", text, answer);
}

int TulvaExchange::GetProcessList(AnswerOut answer)
{
    return runOperation("+3", QByteArray(), answer);
}

int TulvaExchange::DeleteRegisteredClient(const QString &clientId, AnswerOut answer)
{
    return runOperation("+6", bytes(clientId), answer);
}

int TulvaExchange::StopProcess(
    const QString &clientId, const QString &commandCode, const QString &processNumber, AnswerOut answer)
{
    if (m_busyMarker == kWaiting || m_inOperation) {
        answer.clear();
        return kWaiting;
    }
    return runOperation(
        "+4", bytes(clientId) + '\n' + bytes(commandCode) + '\n' + bytes(processNumber), answer);
}

int TulvaExchange::GetServerVersion(AnswerOut answer)
{
    return runOperation("1", QByteArray(), answer);
}

int TulvaExchange::ReadResourceCached(
    int pathCode, const QString &dbName, const QString &fileName, AnswerOut answer)
{
    const QString key = (QString::number(pathCode) + u'.' + dbName + u'.' + fileName).toUpper();
    QStringList lines;
    int result = kFailed;
    const auto hit = m_resourceCache.constFind(key);
    if (hit != m_resourceCache.constEnd()) {
        lines = *hit;
        result = kAccepted;
    } else {
        for (;;) {
            result = ReadResource(pathCode, dbName, fileName, lines);
            bool negative = false;
            if (result == kFailed && lines.size() == 1) {
                bool ok = false;
                negative = Wire::toInteger(bytes(lines.first()), &ok) < 0 && ok;
            }
            // After a refused retry the program is ending: nothing more to ask.
            if (!negative || (m_window && m_window->programTerminating()) || m_serverHost.isEmpty())
                break;
            const QString code = lines.first();
            lines.clear();
            if (!ask(u"Ошибка при получении ресурса ("_s + code + u"). Повторить?"_s))
                break;
        }
        if (result == kAccepted)
            m_resourceCache.insert(key, lines);
    }
    if (lines.size() == 1 && lines.first().isEmpty())
        lines.clear();
    answer.set(lines);
    return result;
}

void TulvaExchange::ClearResourceCache()
{
    m_resourceCache.clear();
}

void TulvaExchange::forgetLastRequest()
{
    if (m_inOperation)
        return;
    m_requestText.fill('\0');
    m_requestText.clear();
    m_wireMessage.fill('\0');
    m_wireMessage.clear();
}

int ConnectToServer(TulvaExchange *engine, const QString &host, const QString &port,
    const QString &workstation, AnswerOut answer, const QString &password, const QString &userName)
{
    if (!engine)
        return kFailed;
    engine->SetServerAddress(host, port, workstation);
    const int result = engine->RegisterClient(userName, password, workstation, answer);
    if (result == kAccepted && answer.size() > 1) {
        bool ok = false;
        const qint64 code = Wire::toInteger(bytes(answer.first()), &ok);
        // A first line that is not a number stays for the login dialog to report.
        if (ok && code == 0)
            answer.removeAt(1);
    }
    return result;
}
