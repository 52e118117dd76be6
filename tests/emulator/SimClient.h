#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

// Raw bytes for the emulator tests: requests built by hand and answers checked by the
// workstation's rules, written here again so that the tests do not lean on the emulator's code.
namespace SimClient {

struct Identity
{
    QByteArray workstation = "A";
    QByteArray clientId = "123456";
    QByteArray sequence = "1";
    QByteArray password = "admin";
    QByteArray user = "ADMIN";
    bool retried = false; // CR LF after every line and "1" in header line 9
};

QByteArray requestText(const QByteArray &command, const QByteArrayList &args, const Identity &id = {});
QByteArray direct(const QByteArray &command, const QByteArrayList &args, const Identity &id = {});
QByteArray http(
    const QByteArray &command, const QByteArrayList &args, const Identity &id = {}, quint16 port = 80);
QByteArray cancel(const QByteArray &outstandingCommand, const Identity &id, const QByteArray &flag);

// Connects, writes, and reads until the server closes (or the time runs out: only a server that
// never closes waits that long, so it is generous for a loaded machine). Spins the event loop, so an
// emulator in the same thread keeps working.
struct Exchange
{
    QByteArray data;
    bool closedByServer = false;
    bool connected = false;
};
Exchange exchange(quint16 port, const QByteArray &bytes, int timeoutMs = 30000);

struct Answer
{
    bool accepted = false;
    QString error;
    QByteArrayList header; // the ten header lines
    QByteArrayList body; // the lines after them
    QByteArray binary;
};
// Binary part, split at CR LF / LF / lone CR, header echo check, length check, header removal.
Answer check(const QByteArray &bytes, const Identity &id = {});

// One request, checked; the body lines as text.
QStringList call(quint16 port, const QByteArray &command, const QStringList &args, const Identity &id = {});

QByteArray decodeLineBreaks(QByteArray line);
QStringList cp1251(const QByteArrayList &lines);
QByteArrayList cp1251(const QStringList &lines);

} // namespace SimClient
