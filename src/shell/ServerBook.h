#pragma once

#include "exchange/SshTunnel.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

class IniDocument;

// One server the administrator can log in to. The entry of Ctulvaa.ini has no name; saved
// servers have one. No entry ever holds a password.
struct ServerEntry
{
    QString name; // empty: the Ctulvaa.ini entry
    QString host;
    QString port = QStringLiteral("6666"); // as the engine takes it
    QString sshHost; // "user@gateway" or "gateway"; empty: straight to the server
    QString sshPort; // empty: ssh's own default
    QString sshIdentity; // key file; empty: the agent and ssh's default keys

    bool isLocalSettings() const { return name.isEmpty(); }
    bool hasTunnel() const { return !sshHost.isEmpty(); }
    friend bool operator==(const ServerEntry &, const ServerEntry &) = default;
};

// The entry that ServerIP and ServerPort of the local settings describe.
ServerEntry localSettingsServer(const IniDocument &settings);

// "HOST:PORT" ("[v6]:PORT" when the host holds colons).
QString serverAddressText(const ServerEntry &entry);
// How the login dialog lists the entry: "Ctulvaa.ini — 127.0.0.1:6666",
// "main — tulva.example.org:6666", with " через SSH admin@gw" for a tunnel.
QString serverDisplayText(const ServerEntry &entry);
// Who is logged in where, for the main window's title: "ADMIN@main:6666" (a saved server by its
// name, the Ctulvaa.ini entry by its host).
QString sessionTitle(const QString &userName, const ServerEntry &entry);

// The tunnel of an entry that names an SSH gateway.
SshTunnelSettings tunnelSettingsOf(const ServerEntry &entry);

// What is wrong with an entry the user made, naming the field (and giving it in *field); empty
// when it can be saved.
enum class ServerField { Name, Host, Port, SshHost, SshPort, SshIdentity };
QString checkServerEntry(const ServerEntry &entry, ServerField *field = nullptr);
// Saved names compare without regard to letter case.
bool sameServerName(const QString &a, const QString &b);

// The saved servers: a small UTF-8 INI file in the user's configuration folder, shared by the
// workstation and tulvaa-cli. Every change locks the file, reads it again, applies itself to what
// it found and writes the whole file atomically, so two programs changing the book at once lose
// nothing. A damaged file is never written over.
class ServerBook
{
public:
    explicit ServerBook(const QString &path = defaultPath());

    // <configuration folder>/tulvaa/servers.ini ($XDG_CONFIG_HOME or ~/.config on Linux).
    static QString defaultPath();
    QString path() const { return m_path; }

    struct Content
    {
        QList<ServerEntry> servers;
        QString lastServer; // name of the server last logged in to; empty: Ctulvaa.ini
        int badLine = 0; // 1-based number of the first bad line; 0: the text is good
        QString problem; // what is wrong with that line
    };
    static Content parse(QByteArrayView bytes);
    static QByteArray serialize(const Content &content);

    // Reads the file. A missing file is an empty book; false when the file cannot be read or is
    // damaged, with error() naming the file and the first bad line.
    bool load();
    bool damaged() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    const QList<ServerEntry> &servers() const { return m_content.servers; }
    QString lastServer() const { return m_content.lastServer; }
    // The saved server of this name, or null.
    const ServerEntry *find(const QString &name) const;

    // Changes; each returns false with error() set when it was refused or could not be written,
    // and leaves the book as the file now holds it either way.
    bool add(const ServerEntry &entry);
    bool replace(const QString &name, const ServerEntry &entry);
    bool remove(const QString &name);
    // Remembers the server last logged in to (empty: the Ctulvaa.ini entry).
    bool setLastServer(const QString &name);

    // Longest wait for another program's lock.
    void setLockTimeout(int ms) { m_lockTimeoutMs = ms; }

private:
    // Under the lock: reads the file, lets edit change it (edit returns why it refuses, and
    // clears *write when there is nothing to write), writes it.
    bool change(const std::function<QString(Content &, bool *write)> &edit);
    bool readFile(Content *content, QString *error) const;
    bool writeFile(const Content &content, QString *error) const;

    QString m_path;
    Content m_content;
    QString m_error;
    int m_lockTimeoutMs = 10000;
};
