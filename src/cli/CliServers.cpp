#include "CliServers.h"

#include "CliArgs.h"
#include "shell/ServerBook.h"

#include <QCoreApplication>

using namespace Qt::Literals::StringLiterals;

namespace {

// The translation context of this file's texts.
class CliServers
{
    Q_DECLARE_TR_FUNCTIONS(CliServers)
};

} // namespace

ServerChoice chooseServer(const QString &argument, const QString &defaultPort, ServerBook &book)
{
    ServerChoice choice;
    if (!book.load())
        choice.warning = book.error();
    if (const ServerEntry *saved = book.find(argument)) {
        choice.host = saved->host;
        choice.port = saved->port;
        if (saved->hasTunnel())
            choice.tunnel = tunnelSettingsOf(*saved);
        return choice;
    }
    choice.port = defaultPort;
    // A mistyped saved name would otherwise read as a server that does not answer.
    if (!book.servers().isEmpty() && !argument.contains(u':'))
        choice.note = CliServers::tr("no saved server is named \"%1\" (tulvaa-cli servers lists them); it "
                                     "was taken as a host name")
                          .arg(argument);
    if (!parseServerAddress(argument, &choice.host, &choice.port))
        choice.error
            = CliServers::tr("--server needs the name of a saved server (tulvaa-cli servers), HOST or "
                             "HOST:PORT, got \"%1\"")
                  .arg(argument);
    return choice;
}

bool savedServersReport(ServerBook &book, Report *report, QString *error)
{
    if (!book.load()) {
        *error = book.error();
        return false;
    }
    report->table.key = u"servers"_s;
    // The keys are for scripts (TSV, JSON); the titles for people.
    report->table.columns = { { u"name"_s, CliServers::tr("NAME") }, { u"host"_s, CliServers::tr("HOST") },
        { u"port"_s, CliServers::tr("PORT") }, { u"ssh_host"_s, CliServers::tr("SSH") },
        { u"ssh_port"_s, CliServers::tr("SSH PORT") }, { u"ssh_identity"_s, CliServers::tr("KEY FILE") },
        { u"last"_s, CliServers::tr("LAST") } };
    for (const ServerEntry &e : book.servers())
        report->table.rows.append({ e.name, e.host, e.port, e.sshHost, e.sshPort, e.sshIdentity,
            sameServerName(e.name, book.lastServer()) ? u"*"_s : QString() });
    return true;
}
