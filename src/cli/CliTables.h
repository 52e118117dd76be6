#pragma once

#include "CliOutput.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A table the server sends as counts and cells: N rows of M+1 cells each, row after row,
// starting at a given line. Counts that are not numbers count as 0; an answer that ends early
// ends the last row where the lines end (nothing is made up, nothing is allocated ahead).
QList<QStringList> serverTableRows(const QStringList &answer, qsizetype countLine);

// The process list (+3) and the registered clients (+1) as printable tables.
Table processTable(const QStringList &answer);
Table registeredClientsTable(const QStringList &answer);

// Row index in the process rows (0 = the server itself) of the first active process of this
// client with that name, or -1. Latin letters compare without case, the rest exactly.
qsizetype findOwnActiveProcess(const QList<QStringList> &rows, const QString &clientId, const QString &name);
// The one-character command code of a process name, empty for a name the table lacks.
QString processCommandCode(const QString &processName);

// A long server job and how the workstation watches it.
struct JobKind
{
    QString processName;
    QString caption; // the watch window's caption
    int reloadTicks; // process list reloaded every N ticks of 500 ms
};
JobKind jobKind(int watchKind);

// Client accounts as the client list text carries them.
struct Account
{
    QString name;
    QString password;
    QString iniLine;
};

// Defaults of the six workstation INI names, in the order C, R, B, M, K, A.
struct IniDefaults
{
    QStringList names{QStringLiteral("tulvac.ini"), QStringLiteral("tulvar.ini"), QStringLiteral("tulvab.ini"),
        QStringLiteral("tulvap.ini"), QStringLiteral("tulvak.ini"), QStringLiteral("tulvaa.ini")};
};

// "C=x; R=; " for the workstations whose INI cell differs from its default.
QString workstationIniLine(const QStringList &iniCells, const IniDefaults &defaults);
// Accounts of the +9 answer (cells: number, name, password, C, R, B, M, K, A).
QList<Account> accountsFromAnswer(const QStringList &answer, const IniDefaults &defaults);
// The lines sent with +7 / written to a file: three per account, then "*****".
QStringList clientListLines(const QList<Account> &accounts);
// Parses a client list text. Refuses a text without "*****", an incomplete account, an empty
// name or no account at all, with the reason in *error.
bool parseClientListText(const QByteArray &bytes, QList<Account> *accounts, QString *error);

struct AccountChange
{
    QChar kind; // '+' added, '-' removed, '~' changed
    QString name;
    QString what; // for a change: "password", "workstations: ..." (never a password)
};
QList<AccountChange> accountChanges(const QList<Account> &current, const QList<Account> &wanted);
