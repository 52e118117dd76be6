#pragma once

#include "CliOutput.h"
#include "server/ClientList.h"
#include "server/ProcessList.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The server's lists as printable tables, and the few rules of the command-line tool that the
// workstation has no need of. Parsing is the core library's (ProcessList, ClientList).

Table processTable(const ProcessTable &processes);
Table registeredClientsTable(const ClientList::RegisteredClients &clients);

// Index into the process rows (row 0 is the server itself and never matches) of the first
// active process of this client under that name, or -1.
qsizetype findOwnActiveProcess(const QList<QStringList> &rows, const QString &clientId, const QString &name);

// A long server job and how the workstation watches it.
struct JobKind
{
    QString processName;
    QString caption; // the watch window's caption
    int reloadTicks; // process list reloaded every N ticks of 500 ms
};
JobKind jobKind(int watchKind);

struct AccountChange
{
    QChar kind; // '+' added, '-' removed, '~' changed
    QString name;
    QString what; // for a change: "password", "C: a -> b", … (a password is never shown)
};
// Accounts are matched by name with the Latin letters upper-cased, as the server compares them;
// accounts of the same name are paired in their order.
QList<AccountChange> accountChanges(
    const QList<ClientList::Account> &current, const QList<ClientList::Account> &wanted);
