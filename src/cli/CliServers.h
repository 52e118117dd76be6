#pragma once

#include "CliOutput.h"
#include "exchange/SshTunnel.h"

#include <QString>

#include <optional>

class ServerBook;

// Where --server points: a saved server by its name (with its tunnel), else HOST[:PORT]. A saved
// name wins over a host of the same name.
struct ServerChoice
{
    QString host;
    QString port;
    std::optional<SshTunnelSettings> tunnel;
    QString warning; // the book could not be read; only HOST[:PORT] was possible
    QString error; // neither a saved name nor an address
    QString note; // told when the server cannot be reached: a bare name the book does not have
};
ServerChoice chooseServer(const QString &argument, const QString &defaultPort, ServerBook &book);

// `tulvaa-cli servers`: the saved servers as a table; false with *error when the book is damaged
// or cannot be read.
bool savedServersReport(ServerBook &book, Report *report, QString *error);
