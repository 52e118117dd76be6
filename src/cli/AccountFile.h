#pragma once

#include "server/ClientList.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// The client list file that `accounts export` writes, read back for `accounts import`. Only a
// file of exactly that shape is taken: read one line out of step, a file would turn passwords
// into names and remove accounts on the server.
namespace AccountFile {

// Larger files are no client list (a hundred thousand accounts take a few megabytes).
inline constexpr qint64 MaxSize = 16 * 1024 * 1024;

// Workstation INI names that an INI line sets; a workstation it leaves out is at the default of
// the server's profile, which is known only after the login.
using IniEntries = std::array<std::optional<QString>, ClientList::WorkstationCount>;

struct Entry
{
    QString name;
    QString password;
    IniEntries ini;
};

struct Problem
{
    qsizetype line = 0; // counted from 1
    QString reason; // never quotes the line: in a file out of step it may be a password
};

// The whole file: for each account a name line, a password line and a workstation INI line,
// then the line "*****" and nothing after it. Windows-1251 text, lines ended by CR LF (or LF),
// no byte order mark, no zero byte, every value acceptable to the client list rules. nullopt
// with the first bad line otherwise.
std::optional<QList<Entry>> parse(QByteArrayView bytes, Problem *problem);

// An INI line in the form the accounts grid writes it: "L=name; " for some of the workstations,
// in the order C, R, B, M, K, A, each at most once, names without ";" or "="; or an empty line.
std::optional<IniEntries> parseIniLine(const QString &line);

// The accounts, workstations left out at the given defaults.
QList<ClientList::Account> accounts(const QList<Entry> &entries, const ClientList::IniNames &defaults);

} // namespace AccountFile
