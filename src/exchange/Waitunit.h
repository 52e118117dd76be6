#pragma once

#include "exchange/Exchange.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QFrame;
class QProgressBar;
class QPushButton;
class QTcpSocket;
class QTimer;

// The small animation of the waiting window: dots running round a circle, drawn in code.
class TWaitPicture : public QWidget
{
    Q_OBJECT
public:
    explicit TWaitPicture(QWidget *parent = nullptr);
    void setAnimate(bool on);
    bool animate() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer *m_frameTimer;
    int m_frame = 0;
};

// What the waiting window needs from the program around it; set once at start.
struct WaitProgramHooks
{
    std::function<bool(const QString &text)> askYesNo; // question icon, caption "Внимание!"
    std::function<void()> terminate; // ask the program to end
    std::function<bool()> terminating;
};

// The waiting window of the exchange engine. One instance, WaitForm, carries every server
// operation: the calls below hand the work to the engine (TulvaExchange, engine()) and this
// window shows the wait, disables the window the request serves and takes the cancel presses.
class TWaitForm : public QDialog, public ExchangeWindow
{
    Q_OBJECT
public:
    explicit TWaitForm(QWidget *parent = nullptr);
    ~TWaitForm() override;

    TulvaExchange *engine() const { return m_engine; }
    static void setProgramHooks(WaitProgramHooks hooks);

    // The window that stands for the program when a request serves no visible window (the
    // keep-alive, the program in the background): the main window.
    void setHomeWindow(QWidget *window) { m_homeWindow = window; }
    // The window the next requests serve, whatever window is active (a timer's work); null
    // returns to the active window. Returns the previous one.
    QWidget *serveWindow(QWidget *window);
    // The window disabled for the running exchange, if any.
    QWidget *requestingWindow() const { return m_disabledHere ? m_requester.data() : nullptr; }

    // Identity and state read by other windows.
    QString clientId() const { return m_engine->clientId(); }
    bool isWaitVisible() const { return isVisible(); }
    quint16 sendSockPort() const { return m_engine->sendSockPort(); }
    int busyMarker() const { return m_engine->busyMarker(); }
    bool isBusy() const { return m_engine->isBusy(); }
    void setWaitNoModal(bool on) { m_engine->setWaitNoModal(on); }
    bool waitNoModal() const { return m_engine->waitNoModal(); }

    void SetServerAddress(const QString &host, const QString &port, const QString &workstation)
    {
        m_engine->SetServerAddress(host, port, workstation);
    }

    // Server commands.
    int RegisterClient(
        const QString &userName, const QString &password, const QString &workstation, AnswerOut answer)
    {
        return m_engine->RegisterClient(userName, password, workstation, answer);
    }
    int UnregisterClient(const QString &userName, AnswerOut answer)
    {
        return m_engine->UnregisterClient(userName, answer);
    }
    int NoOperation(AnswerOut answer) { return m_engine->NoOperation(answer); }
    int GetDatabaseInfo(const QString &dbName, AnswerOut answer, AnswerStream *stream = nullptr)
    {
        return m_engine->GetDatabaseInfo(dbName, answer, stream);
    }
    int ReadResource(int pathCode, const QString &dbName, const QString &fileName, AnswerOut answer)
    {
        return m_engine->ReadResource(pathCode, dbName, fileName, answer);
    }
    int ActualizeDatabase(const QString &dbName, int mfn, AnswerOut answer)
    {
        return m_engine->ActualizeDatabase(dbName, mfn, answer);
    }
    int CreateDatabase(const QString &name, const QString &description, bool flag, AnswerOut answer)
    {
        return m_engine->CreateDatabase(name, description, flag, answer);
    }
    int DeleteDatabase(const QString &dbName, AnswerOut answer)
    {
        return m_engine->DeleteDatabase(dbName, answer);
    }
    int ClearDatabase(const QString &dbName, AnswerOut answer)
    {
        return m_engine->ClearDatabase(dbName, answer);
    }
    int ReorganizeInvertedFile(const QString &dbName, AnswerOut answer)
    {
        return m_engine->ReorganizeInvertedFile(dbName, answer);
    }
    int ReorganizeMasterFile(const QString &dbName, AnswerOut answer)
    {
        return m_engine->ReorganizeMasterFile(dbName, answer);
    }
    int LoadInvertedFile(const QString &dbName, AnswerOut answer)
    {
        return m_engine->LoadInvertedFile(dbName, answer);
    }
    int UnlockRecords(const QString &dbName, const QList<qint32> &mfns, AnswerOut answer)
    {
        return m_engine->UnlockRecords(dbName, mfns, answer);
    }
    int UnlockDatabase(const QString &dbName, AnswerOut answer)
    {
        return m_engine->UnlockDatabase(dbName, answer);
    }
    int RestartServer(AnswerOut answer) { return m_engine->RestartServer(answer); }
    int GetRegisteredClients(AnswerOut answer) { return m_engine->GetRegisteredClients(answer); }
    int GetClientList(AnswerOut answer) { return m_engine->GetClientList(answer); }
    int SaveClientList(const QStringList &lines, AnswerOut answer)
    {
        return m_engine->SaveClientList(lines, answer);
    }
    int SaveClientList(const QByteArray &text, AnswerOut answer)
    {
        return m_engine->SaveClientList(text, answer);
    }
    int GetProcessList(AnswerOut answer) { return m_engine->GetProcessList(answer); }
    int DeleteRegisteredClient(const QString &clientId, AnswerOut answer)
    {
        return m_engine->DeleteRegisteredClient(clientId, answer);
    }
    int StopProcess(
        const QString &clientId, const QString &commandCode, const QString &processNumber, AnswerOut answer)
    {
        return m_engine->StopProcess(clientId, commandCode, processNumber, answer);
    }
    int GetServerVersion(AnswerOut answer) { return m_engine->GetServerVersion(answer); }
    int ReadResourceCached(int pathCode, const QString &dbName, const QString &fileName, AnswerOut answer)
    {
        return m_engine->ReadResourceCached(pathCode, dbName, fileName, answer);
    }
    void ClearResourceCache() { m_engine->ClearResourceCache(); }

    // The "Прервать" button and Esc.
    void TerminatorButtonClick() { m_engine->TerminatorButtonClick(); }
    void TimerNoOperationTimer() { m_engine->TimerNoOperationTimer(); }

    // Components.
    TWaitPicture *GIFImage1 = nullptr;
    QPushButton *BitBtnWait = nullptr;
    QFrame *Panel1 = nullptr;
    QProgressBar *ProgressBarWait = nullptr;
    QWidget *WebBrowserWait = nullptr;
    // The engine's timers and sockets, for tests and tools.
    QTimer *TimerWait = nullptr;
    QTimer *TimerNoOperation = nullptr;
    QTcpSocket *Send_Sock = nullptr;
    QTcpSocket *Sock_StopProcess = nullptr;
    QTcpSocket *ClientSocket = nullptr;

    // --- settings and state for tests and tools ---------------------------------------------
    void setShowDelay(int seconds) { m_engine->setShowDelay(seconds); }
    int showDelay() const { return m_engine->showDelay(); }
    void setWaitTickInterval(int ms) { m_engine->setWaitTickInterval(ms); }
    void setGatewayMode(bool on) { m_engine->setGatewayMode(on); }
    void setBlockingTransport(bool on) { m_engine->setBlockingTransport(on); }
    void setBlockingTimeout(int ms) { m_engine->setBlockingTimeout(ms); }
    void setLogging(bool on, const QString &folder) { m_engine->setLogging(on, folder); }
    void setTickHook(std::function<void(int tick)> hook) { m_engine->setTickHook(std::move(hook)); }

    int exchangeState() const { return m_engine->exchangeState(); }
    bool retryFlag() const { return m_engine->retryFlag(); }
    int tickCount() const { return m_engine->tickCount(); }
    int pressCounter() const { return m_engine->pressCounter(); }
    int timesShown() const { return m_timesShown; }
    QString serverHost() const { return m_engine->serverHost(); }
    QString serverPort() const { return m_engine->serverPort(); }
    QByteArray sequenceNumber() const { return m_engine->sequenceNumber(); }
    QByteArray currentCommand() const { return m_engine->currentCommand(); }
    QByteArray requestText() const { return m_engine->requestText(); }
    QByteArray binaryPart() const { return m_engine->binaryPart(); }
    qsizetype receiveCapacity() const { return m_engine->receiveCapacity(); }
    QStringList resourceCacheKeys() const { return m_engine->resourceCacheKeys(); }

    // Esc presses the cancel button; it never just closes the window.
    void reject() override;

    // ExchangeWindow
    void waitBegins(bool background) override;
    void waitTick(int tick) override;
    void waitEnds() override;
    bool askYesNo(const QString &text) override;
    void terminateProgram() override;
    bool programTerminating() const override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showOnTop();

    TulvaExchange *m_engine = nullptr;
    QPointer<QWidget> m_homeWindow;
    QPointer<QWidget> m_served;
    QPointer<QWidget> m_requester;
    QPointer<QWidget> m_savedFocus;
    bool m_disabledHere = false;
    bool m_programWasActive = false;
    QList<std::pair<QPointer<QAction>, bool>> m_menuItems;
    bool m_cursorSet = false;
    int m_timesShown = 0;
};

// The window the requests made while it lives serve (a timer's work for one window).
class WaitServing
{
public:
    WaitServing(TWaitForm *form, QWidget *window)
        : m_form(form)
        , m_previous(form ? form->serveWindow(window) : nullptr)
    {
    }
    ~WaitServing()
    {
        if (m_form)
            m_form->serveWindow(m_previous);
    }
    WaitServing(const WaitServing &) = delete;
    WaitServing &operator=(const WaitServing &) = delete;

private:
    QPointer<TWaitForm> m_form;
    QPointer<QWidget> m_previous;
};

// Registers with the program's engine (WaitForm): host, port and workstation code, then A.
int ConnectToServer(const QString &host, const QString &port, const QString &workstation, AnswerOut answer,
    const QString &password, const QString &userName);
