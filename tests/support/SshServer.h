#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Whether the process still runs (false where that cannot be told).
bool processAlive(qint64 pid);

// A private OpenSSH server on a free loopback port for the tunnel tests: its own host key, one
// authorized key for the test's user, and ssh wrappers (for TULVA_SSH) that know exactly that
// host key and use no agent.
class SshServer
{
public:
    SshServer() = default;
    ~SshServer();
    SshServer(const SshServer &) = delete;
    SshServer &operator=(const SshServer &) = delete;

    // False with the reason when sshd, ssh or ssh-keygen is missing or sshd did not come up.
    bool start(QString *whyNot);
    void stop();

    quint16 port() const { return m_port; }
    // "user@127.0.0.1" for the test's own user.
    QString gateway() const;
    // The key sshd accepts, and one it does not know.
    QString identity() const { return m_dir.filePath(QStringLiteral("id")); }
    QString wrongIdentity() const { return m_dir.filePath(QStringLiteral("wrong")); }
    // ssh that trusts this server's host key only; ssh that has never seen it.
    QString sshProgram() const { return m_dir.filePath(QStringLiteral("ssh-known")); }
    QString sshProgramUnknownHost() const { return m_dir.filePath(QStringLiteral("ssh-unknown")); }

    static QString sshdPath();

private:
    bool keygen(const QString &name, QString *whyNot);
    bool writeWrapper(const QString &name, const QString &knownHosts, QString *whyNot);

    QTemporaryDir m_dir;
    QProcess m_sshd;
    quint16 m_port = 0;
    QString m_user;
};
