#include "CliServers.h"

#include "CliArgs.h"
#include "shell/ServerBook.h"

using namespace Qt::Literals::StringLiterals;

ServerChoice chooseServer(const QString &argument, const QString &defaultPort, ServerBook &book)
{
    ServerChoice choice;
    if (!book.load())
        choice.warning = book.error();
    if (const ServerEntry *saved = book.find(argument)) {
        choice.host = saved->host;
        choice.port = saved->port;
        if (saved->hasTunnel())
            choice.tunnel = tunnelSpecOf(*saved);
        return choice;
    }
    choice.port = defaultPort;
    // A mistyped saved name would otherwise read as a server that does not answer.
    if (!book.servers().isEmpty() && !argument.contains(u':'))
        choice.note
            = u"no saved server is named \"%1\" (tulvaa-cli servers lists them); it was taken as a host name"_s
                  .arg(argument);
    if (!parseServerAddress(argument, &choice.host, &choice.port))
        choice.error = u"--server needs the name of a saved server (tulvaa-cli servers), HOST or HOST:PORT, "
                       "got \"%1\""_s.arg(argument);
    return choice;
}

bool savedServersReport(ServerBook &book, Report *report, QString *error)
{
    if (!book.load()) {
        *error = book.error();
        return false;
    }
    report->table.key = u"servers"_s;
    report->table.columns = { { u"name"_s, u"NAME"_s }, { u"host"_s, u"HOST"_s }, { u"port"_s, u"PORT"_s },
        { u"ssh_host"_s, u"SSH"_s }, { u"ssh_port"_s, u"SSH PORT"_s }, { u"ssh_identity"_s, u"KEY FILE"_s },
        { u"last"_s, u"LAST"_s } };
    for (const ServerEntry &e : book.servers())
        report->table.rows.append({ e.name, e.host, e.port, e.sshHost, e.sshPort, e.sshIdentity,
            sameServerName(e.name, book.lastServer()) ? u"*"_s : QString() });
    return true;
}
