#pragma once

#include "exchange/WireFormat.h"

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QEventLoop;
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

// The exchange engine and its waiting window. One instance, WaitForm, carries every server
// operation; each returns 1 (answer accepted), 2 (failed) or 7 (refused: another exchange runs)
// and leaves the answer lines, header removed, in the list it was given.
class TWaitForm : public QDialog
{
    Q_OBJECT
public:
    explicit TWaitForm(QWidget *parent = nullptr);
    ~TWaitForm() override;

    // Identity and state read by other windows.
    QString clientId() const;
    // True while the waiting window is shown to the user.
    bool isWaitVisible() const;
    // Non-zero once any request has been sent in this run.
    quint16 sendSockPort() const;
    // The busy marker: 7 while an exchange runs, else the last operation's result.
    int busyMarker() const;
    // Non-modal waiting (the WaitNoModal setting).
    void setWaitNoModal(bool on);

    void SetServerAddress(const QString &host, const QString &port, const QString &workstation);

    // Server commands.
    int RegisterClient(const QString &userName, const QString &password, const QString &workstation,
        QStringList &answer); // A
    int UnregisterClient(const QString &userName, QStringList &answer); // B
    int NoOperation(QStringList &answer); // N
    int GetDatabaseInfo(const QString &dbName, QStringList &answer); // 0
    int ReadResource(int pathCode, const QString &dbName, const QString &fileName,
        QStringList &answer); // L
    int ActualizeDatabase(const QString &dbName, int mfn, QStringList &answer); // F
    int CreateDatabase(const QString &name, const QString &description, bool flag,
        QStringList &answer); // T
    int DeleteDatabase(const QString &dbName, QStringList &answer); // W
    int ClearDatabase(const QString &dbName, QStringList &answer); // S
    int ReorganizeInvertedFile(const QString &dbName, QStringList &answer); // Y
    int ReorganizeMasterFile(const QString &dbName, QStringList &answer); // X
    int LoadInvertedFile(const QString &dbName, QStringList &answer); // Z
    int UnlockRecords(const QString &dbName, const QList<qint32> &mfns, QStringList &answer); // Q
    int UnlockDatabase(const QString &dbName, QStringList &answer); // U
    int RestartServer(QStringList &answer); // +8
    int GetRegisteredClients(QStringList &answer); // +1
    int GetClientList(QStringList &answer); // +9
    int SaveClientList(const QStringList &lines, QStringList &answer); // +7
    int GetProcessList(QStringList &answer); // +3
    int DeleteRegisteredClient(const QString &clientId, QStringList &answer); // +6
    int StopProcess(const QString &clientId, const QString &commandCode, const QString &processNumber,
        QStringList &answer); // +4
    int GetServerVersion(QStringList &answer); // 1

    // Resource reads through the cache (key: path code, database and file name, upper-cased).
    int ReadResourceCached(int pathCode, const QString &dbName, const QString &fileName, QStringList &answer);
    void ClearResourceCache();

    // --- the engine ------------------------------------------------------------------------

    // Makes the nine header lines of a new request and remembers its command code.
    QByteArray BuildRequestHeader(QByteArrayView command);
    // Runs the request text built in the engine, with silent retries and the retry question.
    int ExecuteRequest(QStringList &answer);
    // One exchange through the waiting window; returns the exchange state.
    int ExchangeWithWindow();
    void StartSend();

    // Event handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    void TimerWaitTimer();
    void TimerNoOperationTimer();
    void TerminatorButtonClick();
    void Send_SockConnect();
    void Send_SockRead();
    void Send_SockDisconnect();
    void Sock_StopProcessConnect();

    // Components.
    TWaitPicture *GIFImage1 = nullptr;
    QPushButton *BitBtnWait = nullptr;
    QFrame *Panel1 = nullptr;
    QProgressBar *ProgressBarWait = nullptr;
    QTimer *TimerWait = nullptr;
    QTimer *TimerNoOperation = nullptr;
    QTcpSocket *Send_Sock = nullptr;
    QTcpSocket *Sock_StopProcess = nullptr;
    QTcpSocket *ClientSocket = nullptr;
    QWidget *WebBrowserWait = nullptr;

    // Retry limit and retries left of the running operation.
    int RetryLimit = 5;
    int RetriesLeft = 5;

    // --- settings and state for tests and tools ---------------------------------------------
    bool waitNoModal() const { return m_waitNoModal; }
    void setShowDelay(int seconds) { m_showDelay = seconds; }
    int showDelay() const { return m_showDelay; }
    // Interval of TimerWait (100 ms); tests shorten it instead of sleeping.
    void setWaitTickInterval(int ms);
    void setGatewayMode(bool on) { m_gatewayMode = on; }
    void setBlockingTransport(bool on) { m_blockingTransport = on; }
    // Longest wait of each step of the blocking transport.
    void setBlockingTimeout(int ms) { m_blockingTimeoutMs = ms; }
    // Request and answer log files (off). The folder is used as a plain prefix.
    void setLogging(bool on, const QString &folder);
    // Called on every TimerWait tick, after the tick's work.
    void setTickHook(std::function<void(int tick)> hook) { m_tickHook = std::move(hook); }

    int exchangeState() const { return m_state; }
    bool retryFlag() const { return m_retryFlag; }
    int tickCount() const { return m_tickCount; }
    int pressCounter() const { return m_pressCounter; }
    int timesShown() const { return m_timesShown; }
    QString serverHost() const { return m_serverHost; }
    QString serverPort() const { return m_serverPort; }
    QByteArray sequenceNumber() const { return m_id.sequence; }
    QByteArray currentCommand() const { return m_currentCommand; }
    QByteArray requestText() const { return m_requestText; }
    QByteArray binaryPart() const { return m_binary; }
    qsizetype receiveCapacity() const { return m_received.capacity(); }
    QStringList resourceCacheKeys() const { return m_resourceCache.keys(); }

    // Esc presses the cancel button; it never just closes the window.
    void reject() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    int runOperation(QByteArrayView command, const QByteArray &arguments, QStringList &answer,
        bool testBusy = true, void (TWaitForm::*reshape)() = nullptr);
    void reshapeResource();
    int executeRequestBytes();
    void answerToList(QStringList &answer) const;
    void setState(int state);
    void closeWaitWindow();
    void waitNonModal();
    void waitModal();
    int blockingExchange();
    void takeBytes(QTcpSocket *socket);
    void connectionBroken();
    void socketFailed();
    void finishAnswer(bool blocking);
    void releaseBuffers();
    void stopWaitVisuals();
    void writeLog(const char *kind, QByteArrayView text) const;

    // Engine state.
    QPointer<QWidget> m_savedActiveWindow;
    QPointer<QWidget> m_savedFocus;
    bool m_waitNoModal = true;
    bool m_gatewayMode = false;
    QByteArray m_gatewayPath;
    bool m_logging = false;
    QString m_logFolder;
    QByteArray m_received; // receive buffer
    QByteArray m_binary; // binary part of the last answer
    int m_pressCounter = 1;
    bool m_blockingTransport = false;
    int m_blockingTimeoutMs = 30000;
    int m_state = 1;
    bool m_retryFlag = false;
    int m_dataError = 0;
    QByteArray m_requestText;
    QByteArray m_wireMessage;
    QByteArray m_cancelMessage;
    QStringList m_scratchList;
    QMap<QString, QStringList> m_resourceCache;
    QString m_serverHost;
    QString m_serverPort;
    Wire::Identity m_id;
    QByteArray m_currentCommand;
    int m_showDelay = 3;
    int m_tickCount = 0;
    int m_busyMarker = 0;
    quint16 m_sendPort = 0;
    int m_timesShown = 0;
    bool m_modalWaitRunning = false;
    bool m_modalStarted = false;
    bool m_inOperation = false;
    bool m_sendConnected = false;
    QEventLoop *m_waitLoop = nullptr;
    std::function<void(int)> m_tickHook;

    // The answer of the last exchange as byte lines: views into m_received, or fixed texts.
    QList<QByteArrayView> m_answerLines;
    QByteArray m_resourceCopy;
};

// Hands host, port and workstation code to the engine, then registers the client (command A).
// On a first answer line "0" the line after it is removed, so the profile follows directly.
int ConnectToServer(const QString &host, const QString &port, const QString &workstation, QStringList &answer,
    const QString &password, const QString &userName);
