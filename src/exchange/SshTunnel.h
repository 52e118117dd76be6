#pragma once

#include "exchange/Exchange.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <utility>

// Where a tunnel goes: through an SSH gateway to the server as the gateway sees it.
struct SshTunnelSettings
{
    QString sshHost; // "user@gateway" or "gateway"
    QString sshPort; // empty: ssh's own default
    QString identityFile; // empty: the agent and ssh's default keys
    QString targetHost;
    quint16 targetPort = 6666;
    friend bool operator==(const SshTunnelSettings &, const SshTunnelSettings &) = default;
};

// Who may ask for a key's passphrase: nobody (ssh runs in batch mode), ssh on the program's
// terminal, or the desktop's askpass program.
enum class SshAsk { Never, Terminal, Askpass };
// Terminal when the program offers its terminal, else Askpass when SSH_ASKPASS names a program
// and there is a display for it, else Never.
SshAsk sshAskMode(bool terminal);

// The ssh command line of a tunnel from 127.0.0.1:localPort. Keys only (never a password); once
// the forward listens, ssh prints kTunnelOpenMarker on its standard output.
QStringList sshTunnelArguments(const SshTunnelSettings &sshSettings, quint16 localPort, SshAsk ask);
inline constexpr char kTunnelOpenMarker[] = "tulvaa-tunnel-open";

// A local forward to the server through the system's ssh (OpenSSH client), started on the
// first request and again on the first request after it ended. Needs only QCoreApplication.
class SshTunnel : public QObject, public ExchangeRoute
{
    Q_OBJECT
public:
    explicit SshTunnel(const SshTunnelSettings &sshSettings, QObject *parent = nullptr);
    ~SshTunnel() override;

    const SshTunnelSettings &sshSettings() const { return m_sshSettings; }
    void setAsk(SshAsk ask) { m_ask = ask; }
    // Longest wait for the forward; 0: 30 s, or 3 min when ssh may ask for a passphrase.
    void setOpenTimeout(int ms) { m_openTimeoutMs = ms; }
    // $TULVA_SSH, else "ssh" from the PATH.
    static QString program();

    void open(const Ready &ready, const Failed &failed) override;
    bool current(QString *host, quint16 *port) const override;

    bool isOpen() const { return m_state == State::Open; }
    quint16 localPort() const { return m_state == State::Open ? m_localPort : 0; }
    qint64 processId() const { return m_process ? m_process->processId() : 0; }
    // Why the last opening failed or the open tunnel ended, in ssh's words where it gave any.
    QString lastError() const { return m_lastError; }

    // Ends ssh; a request waiting for the tunnel fails.
    void close();

Q_SIGNALS:
    void opened();
    void openFailed(const QString &reason);
    // The open tunnel ended by itself (ssh died or lost the gateway).
    void ended(const QString &reason);

private:
    enum class State { Closed, Opening, Open };
    void start();
    void takeOutput();
    void takeErrors();
    void processEnded();
    void failOpening(const QString &reason);
    QString sshReason(const QString &fallback) const;
    void stopProcess();

    SshTunnelSettings m_sshSettings;
    SshAsk m_ask = SshAsk::Never;
    int m_openTimeoutMs = 0;
    State m_state = State::Closed;
    QProcess *m_process = nullptr;
    QTimer m_openTimer;
    quint16 m_localPort = 0;
    int m_portAttempts = 0;
    QByteArray m_output;
    QByteArray m_errors;
    QString m_lastError;
    QList<std::pair<Ready, Failed>> m_waiting;
};
