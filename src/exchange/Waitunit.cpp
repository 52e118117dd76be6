#include "Waitunit.h"

#include "exchange/TextCodec.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Translate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFrame>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>
#include <QtMath>

#include <functional>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kWaiting = 7;
constexpr int kAccepted = 1;
constexpr int kFailed = 2;

constexpr int kShownWidth = 270;
constexpr int kShownHeight = 130;

// Fixed answer texts of failed exchanges.
constexpr QByteArrayView kHeaderMismatchText{ "-2222" };
constexpr QByteArrayView kDataErrorText{ "-1112" };

// The wait pointer for the whole exchange, restored on every way out.
class BusyPointer
{
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

QByteArray bytes(const QString &text)
{
    return TextCodec::toBytes(text);
}

} // namespace

// --- TWaitPicture ------------------------------------------------------------------------------

TWaitPicture::TWaitPicture(QWidget *parent)
    : QWidget(parent)
    , m_frameTimer(new QTimer(this))
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    m_frameTimer->setInterval(90);
    connect(m_frameTimer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % 8;
        update();
    });
}

void TWaitPicture::setAnimate(bool on)
{
    if (on)
        m_frameTimer->start();
    else
        m_frameTimer->stop();
}

bool TWaitPicture::animate() const
{
    return m_frameTimer->isActive();
}

void TWaitPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::white);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const qreal radius = qMin(width(), height()) / 2.0 - 6;
    for (int i = 0; i < 8; ++i) {
        const qreal angle = i * M_PI / 4;
        const QPointF at(centre.x() + radius * qCos(angle), centre.y() + radius * qSin(angle));
        const int age = (m_frame - i + 8) % 8;
        QColor c(30, 80, 170);
        c.setAlpha(255 - age * 28);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(at, 3.5, 3.5);
    }
}

// --- TWaitForm: window ---------------------------------------------------------------------------

// The engine window has no Qt parent on purpose: disabling the requesting window (often the main
// window) would otherwise disable this window and its cancel button with it. It still lives
// exactly as long as the window it was created for.
TWaitForm::TWaitForm(QWidget *parent)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    if (parent)
        connect(parent, &QObject::destroyed, this, [this] { delete this; });

    setObjectName(u"WaitForm"_s);
    setProperty("helpContext", 7900);
    setWindowTitle(u"Ожидание ответа от сервера"_s);
    QFont f(u"Arial"_s);
    f.setPixelSize(15);
    setFont(f);

    GIFImage1 = new TWaitPicture(this);
    GIFImage1->setObjectName(u"GIFImage1"_s);
    GIFImage1->setGeometry(-1, 0, 65, 41);

    BitBtnWait = new QPushButton(u"Прервать"_s, this);
    BitBtnWait->setObjectName(u"BitBtnWait"_s);
    BitBtnWait->setGeometry(86, 67, 90, 29);
    BitBtnWait->setAutoDefault(false);
    setControlKind(BitBtnWait, u"TBitBtn"_s);
    connect(BitBtnWait, &QPushButton::clicked, this, &TWaitForm::TerminatorButtonClick);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(25, 42, 220, 17);
    setControlKind(Panel1, u"TPanel"_s);
    ProgressBarWait = new QProgressBar(Panel1);
    ProgressBarWait->setObjectName(u"ProgressBarWait"_s);
    ProgressBarWait->setRange(0, 100);
    ProgressBarWait->setTextVisible(false);
    ProgressBarWait->setGeometry(0, 0, 220, 17);

    TimerWait = new QTimer(this);
    TimerWait->setObjectName(u"TimerWait"_s);
    TimerWait->setInterval(100);
    connect(TimerWait, &QTimer::timeout, this, &TWaitForm::TimerWaitTimer);

    TimerNoOperation = new QTimer(this);
    TimerNoOperation->setObjectName(u"TimerNoOperation"_s);
    TimerNoOperation->setInterval(60000);
    connect(TimerNoOperation, &QTimer::timeout, this, &TWaitForm::TimerNoOperationTimer);

    Send_Sock = new QTcpSocket(this);
    Send_Sock->setObjectName(u"Send_Sock"_s);
    connect(Send_Sock, &QTcpSocket::connected, this, &TWaitForm::Send_SockConnect);
    connect(Send_Sock, &QTcpSocket::readyRead, this, &TWaitForm::Send_SockRead);
    connect(Send_Sock, &QTcpSocket::disconnected, this, &TWaitForm::Send_SockDisconnect);
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
    connect(Sock_StopProcess, &QTcpSocket::connected, this, &TWaitForm::Sock_StopProcessConnect);

    ClientSocket = new QTcpSocket(this);
    ClientSocket->setObjectName(u"ClientSocket"_s);

    WebBrowserWait = new QWidget(this);
    WebBrowserWait->setObjectName(u"WebBrowserWait"_s);
    WebBrowserWait->setGeometry(0, 0, 10, 10);
    WebBrowserWait->setProperty("url", u"about:blank"_s);
    WebBrowserWait->hide();

    FormCreate();
}

TWaitForm::~TWaitForm()
{
    FormDestroy();
    if (WaitForm == this)
        WaitForm = nullptr;
}

void TWaitForm::FormCreate()
{
    resize(1, 1);
    m_tickCount = 0;
    m_requestText.clear();
    m_answerLines.clear();
    m_scratchList.clear();
    m_resourceCache.clear();
    m_id.sequence = QByteArrayLiteral("0");
    m_id.clientId = QByteArray::number(QRandomGenerator::securelySeeded().bounded(1000000));
    m_waitNoModal = true;
    m_gatewayMode = false;
    m_gatewayPath = Wire::kDefaultGatewayPath.toByteArray();
    m_logFolder = u"D:\\TEMP\\"_s;
    m_logging = false;
    m_received.reserve(Wire::kReadChunk);
    m_binary.reserve(Wire::kReadChunk);
    m_showDelay = 3;
    m_blockingTransport = false;
    m_dataError = 0;
    RetryLimit = 5;
    RetriesLeft = RetryLimit;
}

void TWaitForm::FormDestroy()
{
    m_scratchList.clear();
    m_resourceCache.clear();
    m_answerLines.clear();
    m_received = QByteArray();
    m_binary = QByteArray();
}

void TWaitForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_modalWaitRunning && !m_modalStarted) {
        m_modalStarted = true;
        FormShow();
    }
}

void TWaitForm::FormShow()
{
    // Only the modal wait starts its exchange from here.
    if (!m_modalWaitRunning)
        return;
    resize(1, 1);
    StartSend();
    m_tickCount = 0;
    ProgressBarWait->setValue(0);
    TimerWait->start();
    GIFImage1->setAnimate(true);
}

void TWaitForm::FormClose()
{
    if (!m_modalWaitRunning)
        return;
    resize(1, 1);
    m_tickCount = 0;
    TimerWait->stop();
    GIFImage1->setAnimate(false);
    if (Send_Sock->state() != QAbstractSocket::UnconnectedState)
        Send_Sock->abort();
}

void TWaitForm::done(int result)
{
    if (m_modalWaitRunning)
        FormClose();
    QDialog::done(result);
}

void TWaitForm::reject()
{
    TerminatorButtonClick();
}

void TWaitForm::closeEvent(QCloseEvent *event)
{
    // The window goes away when the exchange ends, not on request.
    if (m_state == kWaiting)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

// --- read from outside ---------------------------------------------------------------------------

QString TWaitForm::clientId() const
{
    return QString::fromLatin1(m_id.clientId);
}

bool TWaitForm::isWaitVisible() const
{
    return isVisible();
}

quint16 TWaitForm::sendSockPort() const
{
    return m_sendPort;
}

int TWaitForm::busyMarker() const
{
    return m_busyMarker;
}

void TWaitForm::setWaitNoModal(bool on)
{
    m_waitNoModal = on;
}

void TWaitForm::setWaitTickInterval(int ms)
{
    TimerWait->setInterval(ms);
}

void TWaitForm::setLogging(bool on, const QString &folder)
{
    m_logging = on;
    m_logFolder = folder;
}

void TWaitForm::SetServerAddress(const QString &host, const QString &port, const QString &workstation)
{
    m_serverHost = host;
    m_serverPort = port;
    m_id.workstation = bytes(workstation);
}

// --- the engine ----------------------------------------------------------------------------------

QByteArray TWaitForm::BuildRequestHeader(QByteArrayView command)
{
    m_id.sequence = Wire::nextSequence(m_id.sequence);
    m_currentCommand = command.toByteArray();
    QByteArray header = Wire::requestHeader(m_id, command);
    m_pressCounter = 1;
    return header;
}

void TWaitForm::setState(int state)
{
    m_state = state;
    if (state == kWaiting)
        return;
    if (m_waitLoop)
        m_waitLoop->quit();
    if (m_modalWaitRunning) {
        // Queued: the state may change while exec() is still showing the window, before its
        // event loop runs, and a close then would leave that loop waiting for nothing.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_modalWaitRunning && m_state != kWaiting && isVisible())
                    done(m_state);
            },
            Qt::QueuedConnection);
    }
}

void TWaitForm::closeWaitWindow()
{
    if (m_modalWaitRunning)
        setState(m_state); // queues the close of the modal window
    else
        hide();
}

void TWaitForm::stopWaitVisuals()
{
    TimerWait->stop();
    GIFImage1->setAnimate(false);
    ProgressBarWait->setValue(0);
}

int TWaitForm::runOperation(QByteArrayView command, const QByteArray &arguments, QStringList &answer,
    bool testBusy, void (TWaitForm::*reshape)())
{
    if (testBusy && m_busyMarker == kWaiting)
        return kWaiting;
    // Even an operation that skips the busy test must not start inside a running exchange: it
    // would take over the outstanding connection and buffers.
    if (m_inOperation)
        return kWaiting;
    m_inOperation = true;
    m_busyMarker = kWaiting;
    RetriesLeft = RetryLimit;
    int result = kFailed;
    try {
        m_requestText = BuildRequestHeader(command);
        m_requestText += arguments;
        result = executeRequestBytes();
        if (reshape)
            (this->*reshape)();
        answerToList(answer);
    } catch (...) {
        result = kFailed;
    }
    releaseBuffers();
    m_inOperation = false;
    m_busyMarker = result;
    return result;
}

int TWaitForm::ExecuteRequest(QStringList &answer)
{
    int result = kFailed;
    try {
        result = executeRequestBytes();
        answerToList(answer);
    } catch (...) {
        result = kFailed;
    }
    releaseBuffers();
    return result;
}

int TWaitForm::executeRequestBytes()
{
    for (;;) {
        m_retryFlag = false;
        const int state = m_blockingTransport ? blockingExchange() : ExchangeWithWindow();
        if (state != kFailed)
            return state;
        if (!m_retryFlag)
            return kFailed;

        QString message;
        if (m_dataError) {
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
            const bool again = Dialogs::askYesNo(Dialogs::Icon::Question, u"Внимание!"_s,
                message + u" Следует повторить обращение к серверу"_s);
            if (!again) {
                m_serverHost.clear();
                ApplicationTerminate();
                return kFailed;
            }
        }
        m_id.sequence = Wire::nextSequence(m_id.sequence);
        m_requestText = Wire::retriedRequest(m_requestText, m_id.sequence);
    }
}

void TWaitForm::answerToList(QStringList &answer) const
{
    answer.clear();
    answer.reserve(m_answerLines.size());
    for (const QByteArrayView line : m_answerLines)
        answer.append(TextCodec::toText(line));
}

void TWaitForm::releaseBuffers()
{
    m_answerLines.clear();
    m_resourceCopy = QByteArray();
    // A large answer must not keep its memory for the rest of the run.
    if (m_received.capacity() > 4 * Wire::kReadChunk)
        m_received = QByteArray();
    m_received.resize(0);
    m_received.reserve(Wire::kReadChunk);
}

int TWaitForm::ExchangeWithWindow()
{
    QWidget *active = QApplication::activeWindow();
    m_savedActiveWindow = active;
    m_savedFocus = nullptr;
    bool disabledHere = false;
    if (active && active != this && active->isEnabled()) {
        m_savedFocus = active->focusWidget();
        active->setEnabled(false);
        disabledHere = true;
    }
    m_answerLines.clear();
    m_state = kWaiting;
    try {
        if (m_waitNoModal)
            waitNonModal();
        else
            waitModal();
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
    if (disabledHere && m_savedActiveWindow) {
        QWidget *window = m_savedActiveWindow;
        window->setEnabled(true);
        // The waiting window may have taken the activation; give it back, but not when the
        // user has moved to another window meanwhile.
        QWidget *now = QApplication::activeWindow();
        if (now == window || now == nullptr || now == this) {
            if (now != window)
                window->activateWindow();
            if (m_savedFocus && m_savedFocus->window() == window)
                m_savedFocus->setFocus(Qt::OtherFocusReason);
            else
                window->setFocus(Qt::OtherFocusReason);
        }
    }
    return m_state;
}

void TWaitForm::waitNonModal()
{
    m_state = kWaiting;
    TimerNoOperation->stop();
    TimerNoOperation->start();
    resize(1, 1);
    BusyPointer busy;
    StartSend();
    m_tickCount = 0;
    ProgressBarWait->setValue(0);
    TimerWait->start();
    GIFImage1->setAnimate(true);
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
    hide();
    GIFImage1->setAnimate(false);
}

void TWaitForm::waitModal()
{
    m_busyMarker = kWaiting;
    TimerNoOperation->stop();
    TimerNoOperation->start();
    BusyPointer busy;
    m_modalWaitRunning = true;
    m_modalStarted = false;
    exec();
    m_modalWaitRunning = false;
    if (m_state == kWaiting) {
        Send_Sock->abort();
        m_answerLines.clear();
        m_state = kFailed;
    }
    TimerWait->stop();
    GIFImage1->setAnimate(false);
    hide();
}

void TWaitForm::StartSend()
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
    Send_Sock->connectToHost(m_serverHost, quint16(port));
}

void TWaitForm::TimerWaitTimer()
{
    if (m_tickCount < 10 * m_showDelay) {
        ++m_tickCount;
        if (m_tickHook)
            m_tickHook(m_tickCount);
        return;
    }
    if (width() <= 1) {
        resize(kShownWidth, kShownHeight);
        if (m_savedActiveWindow) {
            const QRect g = m_savedActiveWindow->frameGeometry();
            move(g.left() + g.width() / 2 - kShownWidth / 2, g.top() + g.height() / 2 - kShownHeight / 2);
        }
        ++m_timesShown;
        if (m_waitNoModal) {
            setCursor(Qt::WaitCursor);
            show();
            raise();
            activateWindow();
        }
    }
    int left = GIFImage1->x() + 3;
    if (left > width() - 7)
        left = 7 - GIFImage1->width();
    GIFImage1->move(left, GIFImage1->y());
    ++m_tickCount;
    const int next = ProgressBarWait->value() + 3;
    ProgressBarWait->setValue(next > ProgressBarWait->maximum() ? ProgressBarWait->minimum() : next);
    if (m_tickHook)
        m_tickHook(m_tickCount);
}

void TWaitForm::TimerNoOperationTimer()
{
    NoOperation(m_scratchList);
}

void TWaitForm::TerminatorButtonClick()
{
    if (m_state != kWaiting)
        return;
    m_cancelMessage = Wire::cancelMessage(m_id, m_currentCommand, m_pressCounter >= 2);
    // Every press gets a connection of its own, so each cancel message reaches the server.
    if (Sock_StopProcess->state() != QAbstractSocket::UnconnectedState)
        Sock_StopProcess->abort();
    if (!m_serverHost.isEmpty())
        Sock_StopProcess->connectToHost(m_serverHost, quint16(Wire::portNumber(bytes(m_serverPort))));

    if (m_pressCounter > 2) {
        m_pressCounter = 1;
        m_answerLines.clear();
        m_retryFlag = true;
        setState(kFailed);
        Send_Sock->abort();
        stopWaitVisuals();
        closeWaitWindow();
    } else {
        ++m_pressCounter;
    }
}

void TWaitForm::Sock_StopProcessConnect()
{
    Sock_StopProcess->write(m_cancelMessage);
}

void TWaitForm::Send_SockConnect()
{
    if (m_state != kWaiting)
        return;
    m_sendConnected = true;
    m_received.resize(0);
    m_binary.resize(0);
    Send_Sock->write(m_wireMessage);
    if (m_logging)
        writeLog("request", m_requestText);
    m_answerLines.clear();
}

void TWaitForm::takeBytes(QTcpSocket *socket)
{
    for (;;) {
        const qint64 available = socket->bytesAvailable();
        if (available <= 0)
            return;
        const qsizetype chunk = qsizetype(qMin<qint64>(available, Wire::kReadChunk));
        const qsizetype length = m_received.size();
        // Doubling keeps a large answer linear in its size.
        if (length + chunk + 1 > m_received.capacity())
            m_received.reserve(qMax(m_received.capacity() * 2, length + chunk + Wire::kReadChunk));
        m_received.resize(length + chunk);
        const qint64 got = socket->read(m_received.data() + length, chunk);
        m_received.resize(length + qMax<qint64>(got, 0));
        if (got <= 0)
            return;
    }
}

void TWaitForm::Send_SockRead()
{
    if (m_state != kWaiting)
        return;
    try {
        takeBytes(Send_Sock);
        if (m_gatewayMode && Wire::endsWithMarker(m_received, Wire::kEndMarker))
            Send_Sock->disconnectFromHost();
    } catch (...) {
        socketFailed();
    }
}

void TWaitForm::socketFailed()
{
    m_answerLines.clear();
    m_retryFlag = false;
    setState(kFailed);
    Send_Sock->abort();
}

void TWaitForm::connectionBroken()
{
    m_answerLines.clear();
    m_retryFlag = true;
    setState(kFailed);
    Send_Sock->abort();
}

void TWaitForm::Send_SockDisconnect()
{
    if (m_state != kWaiting)
        return;
    try {
        takeBytes(Send_Sock);
        finishAnswer(false);
    } catch (...) {
        if (Send_Sock->state() != QAbstractSocket::UnconnectedState)
            Send_Sock->abort();
        m_answerLines.clear();
        m_retryFlag = false;
        setState(kFailed);
    }
}

void TWaitForm::finishAnswer(bool blocking)
{
    Wire::Answer a = Wire::processAnswer(m_received, { m_id.clientId, m_id.sequence, m_gatewayMode });
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
        setState(kFailed);
        if (!blocking) {
            Send_Sock->abort();
            stopWaitVisuals();
            closeWaitWindow();
        }
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

int TWaitForm::blockingExchange()
{
    TimerNoOperation->stop();
    TimerNoOperation->start();
    m_answerLines.clear();
    m_received.resize(0);
    m_binary.resize(0);
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
        ClientSocket->connectToHost(m_serverHost, quint16(port));
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

void TWaitForm::writeLog(const char *kind, QByteArrayView text) const
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

int TWaitForm::RegisterClient(
    const QString &userName, const QString &password, const QString &workstation, QStringList &answer)
{
    if (m_inOperation)
        return kWaiting;
    m_id.sequence = QByteArrayLiteral("0");
    m_id.workstation = bytes(workstation);
    m_id.password = bytes(password);
    m_id.userName = bytes(userName);
    return runOperation("A", bytes(userName) + '\n' + bytes(password), answer, false);
}

int TWaitForm::UnregisterClient(const QString &userName, QStringList &answer)
{
    return runOperation("B", bytes(userName), answer);
}

int TWaitForm::NoOperation(QStringList &answer)
{
    return runOperation("N", QByteArray(), answer);
}

int TWaitForm::GetDatabaseInfo(const QString &dbName, QStringList &answer)
{
    return runOperation("0", bytes(dbName), answer);
}

int TWaitForm::ReadResource(int pathCode, const QString &dbName, const QString &fileName, QStringList &answer)
{
    const QByteArray args = QByteArray::number(pathCode) + '.' + bytes(dbName) + '.' + bytes(fileName);
    return runOperation("L", args, answer, true, &TWaitForm::reshapeResource);
}

void TWaitForm::reshapeResource()
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

int TWaitForm::ActualizeDatabase(const QString &dbName, int mfn, QStringList &answer)
{
    return runOperation("F", bytes(dbName) + '\n' + QByteArray::number(mfn), answer);
}

int TWaitForm::CreateDatabase(const QString &name, const QString &description, bool flag, QStringList &answer)
{
    return runOperation("T", bytes(name) + '\n' + bytes(description) + '\n' + (flag ? '1' : '0'), answer);
}

int TWaitForm::DeleteDatabase(const QString &dbName, QStringList &answer)
{
    return runOperation("W", bytes(dbName), answer);
}

int TWaitForm::ClearDatabase(const QString &dbName, QStringList &answer)
{
    return runOperation("S", bytes(dbName), answer);
}

int TWaitForm::ReorganizeInvertedFile(const QString &dbName, QStringList &answer)
{
    return runOperation("Y", bytes(dbName), answer);
}

int TWaitForm::ReorganizeMasterFile(const QString &dbName, QStringList &answer)
{
    return runOperation("X", bytes(dbName), answer);
}

int TWaitForm::LoadInvertedFile(const QString &dbName, QStringList &answer)
{
    return runOperation("Z", bytes(dbName), answer);
}

int TWaitForm::UnlockRecords(const QString &dbName, const QList<qint32> &mfns, QStringList &answer)
{
    QByteArray args = bytes(dbName);
    for (const qint32 mfn : mfns) {
        args += '\n';
        args += QByteArray::number(mfn);
    }
    return runOperation("Q", args, answer);
}

int TWaitForm::UnlockDatabase(const QString &dbName, QStringList &answer)
{
    return runOperation("U", bytes(dbName), answer);
}

int TWaitForm::RestartServer(QStringList &answer)
{
    return runOperation("+8", QByteArray(), answer);
}

int TWaitForm::GetRegisteredClients(QStringList &answer)
{
    return runOperation("+1", QByteArray(), answer);
}

int TWaitForm::GetClientList(QStringList &answer)
{
    return runOperation("+9", QByteArray(), answer);
}

int TWaitForm::SaveClientList(const QStringList &lines, QStringList &answer)
{
    QByteArray args;
    for (const QString &line : lines) {
        args += bytes(line);
        args += "\r\n";
    }
    return runOperation("+7", args, answer);
}

int TWaitForm::GetProcessList(QStringList &answer)
{
    return runOperation("+3", QByteArray(), answer);
}

int TWaitForm::DeleteRegisteredClient(const QString &clientId, QStringList &answer)
{
    return runOperation("+6", bytes(clientId), answer);
}

int TWaitForm::StopProcess(
    const QString &clientId, const QString &commandCode, const QString &processNumber, QStringList &answer)
{
    if (m_busyMarker == kWaiting || m_inOperation) {
        answer.clear();
        return kWaiting;
    }
    return runOperation(
        "+4", bytes(clientId) + '\n' + bytes(commandCode) + '\n' + bytes(processNumber), answer);
}

int TWaitForm::GetServerVersion(QStringList &answer)
{
    return runOperation("1", QByteArray(), answer);
}

int TWaitForm::ReadResourceCached(
    int pathCode, const QString &dbName, const QString &fileName, QStringList &answer)
{
    const QString key = (QString::number(pathCode) + u'.' + dbName + u'.' + fileName).toUpper();
    answer.clear();
    int result = kFailed;
    const auto hit = m_resourceCache.constFind(key);
    if (hit != m_resourceCache.constEnd()) {
        answer = *hit;
        result = kAccepted;
    } else {
        for (;;) {
            result = ReadResource(pathCode, dbName, fileName, answer);
            bool negative = false;
            if (result == kFailed && answer.size() == 1) {
                bool ok = false;
                negative = Wire::toInteger(bytes(answer.first()), &ok) < 0 && ok;
            }
            // After a refused retry the program is ending: nothing more to ask.
            if (!negative || ApplicationTerminating())
                break;
            const QString code = answer.first();
            answer.clear();
            if (!Dialogs::askYesNo(Dialogs::Icon::Question, u"Внимание!"_s,
                    u"Ошибка при получении ресурса ("_s + code + u"). Повторить?"_s))
                break;
        }
        if (result == kAccepted)
            m_resourceCache.insert(key, answer);
    }
    if (answer.size() == 1 && answer.first().isEmpty())
        answer.clear();
    return result;
}

void TWaitForm::ClearResourceCache()
{
    m_resourceCache.clear();
}

int ConnectToServer(const QString &host, const QString &port, const QString &workstation, QStringList &answer,
    const QString &password, const QString &userName)
{
    if (!WaitForm)
        return kFailed;
    WaitForm->SetServerAddress(host, port, workstation);
    const int result = WaitForm->RegisterClient(userName, password, workstation, answer);
    if (result == kAccepted && answer.size() > 1) {
        bool ok = false;
        const qint64 code = Wire::toInteger(bytes(answer.first()), &ok);
        // A first line that is not a number stays for the login dialog to report.
        if (ok && code == 0)
            answer.removeAt(1);
    }
    return result;
}
