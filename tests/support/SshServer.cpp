#include "SshServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return permissions == QFileDevice::Permissions() || f.setPermissions(permissions);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

SshServer::~SshServer()
{
    stop();
}

QString SshServer::sshdPath()
{
    // sshd must be started by its absolute path; Debian keeps it outside a user's PATH.
    for (const QString &p : { u"/usr/sbin/sshd"_s, u"/usr/local/sbin/sshd"_s })
        if (QFileInfo(p).isExecutable())
            return p;
    return QStandardPaths::findExecutable(u"sshd"_s);
}

QString SshServer::gateway() const
{
    return m_user + u"@127.0.0.1"_s;
}

bool SshServer::keygen(const QString &name, QString *whyNot)
{
    QProcess p;
    p.start(u"ssh-keygen"_s,
        { u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, QString(), u"-C"_s, name, u"-f"_s, m_dir.filePath(name) });
    if (!p.waitForFinished(20000) || p.exitCode() != 0) {
        *whyNot = u"ssh-keygen failed: "_s + QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

bool SshServer::writeWrapper(const QString &name, const QString &knownHosts, QString *whyNot)
{
    const QString config = m_dir.filePath(name + u".config"_s);
    const QByteArray text = "Host *\n"
                            "    UserKnownHostsFile "
        + knownHosts.toLocal8Bit()
        + "\n"
          "    GlobalKnownHostsFile /dev/null\n"
          "    StrictHostKeyChecking yes\n"
          "    IdentityAgent none\n"
          "    IdentitiesOnly yes\n";
    const QByteArray script = "#!/bin/sh\nexec ssh -F '" + config.toLocal8Bit() + "' \"$@\"\n";
    if (!writeFile(config, text)
        || !writeFile(m_dir.filePath(name), script,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        *whyNot = u"cannot write the ssh wrapper"_s;
        return false;
    }
    return true;
}

bool SshServer::start(QString *whyNot)
{
#ifndef Q_OS_UNIX
    *whyNot = u"the tunnel tests need a Unix sshd"_s;
    return false;
#else
    const QString sshd = sshdPath();
    if (sshd.isEmpty() || QStandardPaths::findExecutable(u"ssh"_s).isEmpty()
        || QStandardPaths::findExecutable(u"ssh-keygen"_s).isEmpty()) {
        *whyNot = u"sshd, ssh or ssh-keygen is not installed (Debian: openssh-server, openssh-client)"_s;
        return false;
    }
    if (!m_dir.isValid() || !keygen(u"hostkey"_s, whyNot) || !keygen(u"id"_s, whyNot)
        || !keygen(u"wrong"_s, whyNot))
        return false;
    if (const passwd *pw = getpwuid(getuid()))
        m_user = QString::fromLocal8Bit(pw->pw_name);
    if (m_user.isEmpty()) {
        *whyNot = u"the test's user has no name"_s;
        return false;
    }
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            *whyNot = u"no free loopback port"_s;
            return false;
        }
        m_port = probe.serverPort();
    }
    // Privilege separation needs its empty directory when sshd runs as root (CI does).
    if (getuid() == 0)
        QDir().mkpath(u"/run/sshd"_s);

    const QByteArray dir = m_dir.path().toLocal8Bit();
    const QByteArray config = "ListenAddress 127.0.0.1:" + QByteArray::number(m_port) + "\nHostKey " + dir
        + "/hostkey\nAuthorizedKeysFile " + dir + "/authorized_keys\nPidFile " + dir
        + "/sshd.pid\n"
          "StrictModes no\nUsePAM no\nPasswordAuthentication no\nKbdInteractiveAuthentication no\n"
          "PermitRootLogin prohibit-password\nAllowUsers "
        + m_user.toLocal8Bit() + "\nAllowTcpForwarding yes\nPermitTTY no\nX11Forwarding no\n";
    if (!writeFile(m_dir.filePath(u"sshd_config"_s), config)
        || !writeFile(m_dir.filePath(u"authorized_keys"_s), readFile(m_dir.filePath(u"id.pub"_s)))) {
        *whyNot = u"cannot write the sshd configuration"_s;
        return false;
    }
    // The client knows this server's host key under its loopback address and port.
    const QList<QByteArray> hostKey = readFile(m_dir.filePath(u"hostkey.pub"_s)).split(' ');
    const QByteArray known = "[127.0.0.1]:" + QByteArray::number(m_port) + ' ' + hostKey.value(0) + ' '
        + hostKey.value(1).trimmed() + '\n';
    if (!writeFile(m_dir.filePath(u"known_hosts"_s), known)
        || !writeFile(m_dir.filePath(u"empty_hosts"_s), {}))
        return false;
    if (!writeWrapper(u"ssh-known"_s, m_dir.filePath(u"known_hosts"_s), whyNot)
        || !writeWrapper(u"ssh-unknown"_s, m_dir.filePath(u"empty_hosts"_s), whyNot))
        return false;

    m_sshd.setProgram(sshd);
    m_sshd.setArguments({ u"-D"_s, u"-e"_s, u"-f"_s, m_dir.filePath(u"sshd_config"_s) });
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
    m_sshd.start();
    if (!m_sshd.waitForStarted(5000)) {
        *whyNot = u"sshd did not start: "_s + m_sshd.errorString();
        return false;
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        if (m_sshd.state() != QProcess::Running) {
            *whyNot = u"sshd ended: "_s + QString::fromLocal8Bit(m_sshd.readAll());
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(500))
            return true;
        QThread::msleep(50);
    }
    *whyNot = u"sshd does not listen: "_s + QString::fromLocal8Bit(m_sshd.readAll());
    return false;
#endif
}

void SshServer::stop()
{
    if (m_sshd.state() != QProcess::NotRunning) {
        m_sshd.terminate();
        if (!m_sshd.waitForFinished(5000)) {
            m_sshd.kill();
            m_sshd.waitForFinished(2000);
        }
    }
}

bool processAlive(qint64 pid)
{
#ifdef Q_OS_LINUX
    return pid > 0 && QFileInfo::exists(u"/proc/%1"_s.arg(pid));
#else
    Q_UNUSED(pid);
    return false;
#endif
}
