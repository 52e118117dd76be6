#include "SshTunnel.h"

#include <QHostAddress>
#include <QProcessEnvironment>
#include <QTcpServer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kOpenTimeoutMs = 30000;
constexpr int kAskingOpenTimeoutMs = 180000;
// ssh's complaints kept for the reason; its talk beyond that is dropped.
constexpr qsizetype kMaxErrorBytes = 64 * 1024;
// A free port can be taken by another program before ssh binds it: try another one.
constexpr int kPortAttempts = 3;

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString hostInForward(const QString &host)
{
    return host.contains(u':') ? u'[' + host + u']' : host;
}

} // namespace

SshAsk sshAskMode(bool terminal)
{
    if (terminal)
        return SshAsk::Terminal;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const bool display = !env.value(u"DISPLAY"_s).isEmpty() || !env.value(u"WAYLAND_DISPLAY"_s).isEmpty();
    if (!env.value(u"SSH_ASKPASS"_s).isEmpty()
        && (display || env.value(u"SSH_ASKPASS_REQUIRE"_s) == u"force"))
        return SshAsk::Askpass;
    return SshAsk::Never;
}

QStringList sshTunnelArguments(const SshTunnelSettings &sshSettings, quint16 localPort, SshAsk ask)
{
    QStringList args{ u"-N"_s, u"-L"_s,
        u"127.0.0.1:%1:%2:%3"_s.arg(localPort)
            .arg(hostInForward(sshSettings.targetHost))
            .arg(sshSettings.targetPort),
        u"-o"_s, u"ExitOnForwardFailure=yes"_s };
    if (ask == SshAsk::Never)
        args << u"-o"_s << u"BatchMode=yes"_s;
    args << u"-o"_s << u"PasswordAuthentication=no"_s << u"-o"_s
         << u"KbdInteractiveAuthentication=no"_s
         // A connection of our own, never a shared master that outlives the program.
         << u"-o"_s << u"ControlMaster=no"_s << u"-o"_s
         << u"ControlPath=none"_s
         // A gateway that stops answering ends the tunnel, so the next request opens a new one.
         << u"-o"_s << u"ServerAliveInterval=15"_s << u"-o"_s << u"ServerAliveCountMax=3"_s << u"-o"_s
         << u"ConnectTimeout=15"_s
         // ssh runs the local command after it has set the forward up: the sign that it listens.
         << u"-o"_s << u"PermitLocalCommand=yes"_s << u"-o"_s
         << u"LocalCommand=echo "_s + QLatin1StringView(kTunnelOpenMarker);
    if (!sshSettings.sshPort.isEmpty())
        args << u"-p"_s << sshSettings.sshPort;
    if (!sshSettings.identityFile.isEmpty())
        args << u"-i"_s << sshSettings.identityFile;
    args << u"--"_s << sshSettings.sshHost;
    return args;
}

SshTunnel::SshTunnel(const SshTunnelSettings &sshSettings, QObject *parent)
    : QObject(parent)
    , m_sshSettings(sshSettings)
{
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, [this] {
        const int seconds = m_openTimer.interval() / 1000;
        failOpening(sshReason(u"ssh не открыл туннель за %1 с."_s.arg(seconds)));
    });
}

SshTunnel::~SshTunnel()
{
    // A request still waiting for the tunnel hears that it will not open.
    close();
}

QString SshTunnel::program()
{
    const QString configured = qEnvironmentVariable("TULVA_SSH");
    return configured.isEmpty() ? u"ssh"_s : configured;
}

void SshTunnel::open(const Ready &ready, const Failed &failed)
{
    if (m_state == State::Open) {
        // An ssh that has died since is noticed here, without waiting for the event loop.
        if (m_process && m_process->state() == QProcess::Running)
            m_process->waitForFinished(0);
        if (m_state == State::Open) {
            ready(u"127.0.0.1"_s, m_localPort);
            return;
        }
    }
    m_waiting.append({ ready, failed });
    if (m_state == State::Closed) {
        m_portAttempts = 0;
        start();
    }
}

bool SshTunnel::current(QString *host, quint16 *port) const
{
    if (m_state != State::Open)
        return false;
    *host = u"127.0.0.1"_s;
    *port = m_localPort;
    return true;
}

void SshTunnel::start()
{
    stopProcess();
    m_state = State::Opening;
    m_output.clear();
    m_errors.clear();
    ++m_portAttempts;
    m_localPort = freeLoopbackPort();
    if (m_localPort == 0) {
        failOpening(u"нет свободного порта на 127.0.0.1 для туннеля."_s);
        return;
    }

    m_process = new QProcess(this);
    m_process->setProgram(program());
    m_process->setArguments(sshTunnelArguments(m_sshSettings, m_localPort, m_ask));
    m_process->setStandardInputFile(QProcess::nullDevice());
    if (m_ask == SshAsk::Askpass) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The desktop's askpass asks even when the program was started from a terminal.
        if (!env.contains(u"SSH_ASKPASS_REQUIRE"_s))
            env.insert(u"SSH_ASKPASS_REQUIRE"_s, u"prefer"_s);
        m_process->setProcessEnvironment(env);
    }
#ifdef Q_OS_UNIX
    const bool ownGroup = m_ask != SshAsk::Terminal;
    m_process->setChildProcessModifier([ownGroup] {
        // Ctrl+C at the terminal is for the program, which ends the tunnel itself after the
        // unregistration; only an ssh that asks on the terminal must stay in its foreground group.
        if (ownGroup)
            ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        // The tunnel never outlives the program, even one that was killed.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    });
#endif
    connect(m_process, &QProcess::readyReadStandardOutput, this, &SshTunnel::takeOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, &SshTunnel::takeErrors);
    connect(m_process, &QProcess::finished, this, &SshTunnel::processEnded);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failOpening(u"не удалось запустить %1 (клиент OpenSSH): %2."_s.arg(
                program(), m_process ? m_process->errorString() : QString()));
    });

    const int limit = m_openTimeoutMs > 0 ? m_openTimeoutMs
        : m_ask == SshAsk::Never          ? kOpenTimeoutMs
                                          : kAskingOpenTimeoutMs;
    m_openTimer.start(limit);
    m_process->start();
}

void SshTunnel::takeOutput()
{
    if (!m_process)
        return;
    m_output += m_process->readAllStandardOutput();
    if (m_state != State::Opening || !m_output.contains(kTunnelOpenMarker))
        return;
    m_output.clear();
    m_openTimer.stop();
    m_state = State::Open;
    m_lastError.clear();
    const auto waiting = std::exchange(m_waiting, {});
    for (const auto &w : waiting)
        w.first(u"127.0.0.1"_s, m_localPort);
    Q_EMIT opened();
}

void SshTunnel::takeErrors()
{
    if (!m_process)
        return;
    m_errors += m_process->readAllStandardError();
    if (m_errors.size() > kMaxErrorBytes)
        m_errors = m_errors.right(kMaxErrorBytes);
}

QString SshTunnel::sshReason(const QString &fallback) const
{
    QStringList lines;
    for (const QString &line : QString::fromLocal8Bit(m_errors).split(u'\n')) {
        const QString t = line.trimmed();
        if (!t.isEmpty())
            lines.append(t);
    }
    if (lines.isEmpty())
        return fallback;
    // The last lines carry the reason; a long debug trail is cut.
    if (lines.size() > 6)
        lines = lines.mid(lines.size() - 6);
    return lines.join(u'\n');
}

void SshTunnel::processEnded()
{
    if (!m_process)
        return;
    takeErrors();
    takeOutput();
    const int code = m_process->exitCode();
    const bool crashed = m_process->exitStatus() == QProcess::CrashExit;
    const QString fallback
        = crashed ? u"ssh завершился аварийно."_s : u"ssh завершился с кодом %1."_s.arg(code);
    const QString reason = sshReason(fallback);
    if (m_state == State::Opening) {
        // The free port was taken before ssh could bind it: another one.
        if (m_errors.contains("Address already in use") && m_portAttempts < kPortAttempts) {
            m_process->deleteLater();
            m_process = nullptr;
            start();
            return;
        }
        failOpening(reason);
        return;
    }
    if (m_state == State::Open) {
        m_state = State::Closed;
        m_lastError = reason;
        Q_EMIT ended(reason);
    }
}

void SshTunnel::failOpening(const QString &reason)
{
    if (m_state != State::Opening)
        return;
    m_openTimer.stop();
    stopProcess();
    m_state = State::Closed;
    m_lastError = reason;
    const auto waiting = std::exchange(m_waiting, {});
    for (const auto &w : waiting)
        w.second(reason);
    Q_EMIT openFailed(reason);
}

void SshTunnel::stopProcess()
{
    if (!m_process)
        return;
    QProcess *process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        // ssh ends its connection cleanly on SIGTERM; a stuck one is killed.
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
    process->deleteLater();
}

void SshTunnel::close()
{
    m_openTimer.stop();
    stopProcess();
    const bool opening = m_state == State::Opening;
    m_state = State::Closed;
    if (opening) {
        m_lastError = u"туннель закрыт."_s;
        const auto waiting = std::exchange(m_waiting, {});
        for (const auto &w : waiting)
            w.second(m_lastError);
    }
}
