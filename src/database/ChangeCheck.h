#pragma once

#include "server/ClientList.h"

#include <QList>
#include <QString>
#include <QStringList>

class TulvaExchange;

// A command that changes the server's state may have been carried out although its answer never
// arrived whole: the connection broke after the server acted, or a repeated request met the
// change that the first one had made and was refused. Then the state is read again, and what it
// shows is what the administrator is told. The workstation's windows and the command-line tool
// both decide through these functions.
namespace ChangeCheck {

// Follows one operation of the engine: every attempt takes a new sequence number.
class Attempts
{
public:
    explicit Attempts(const TulvaExchange &engine);
    // True when the outcome leaves open whether the server acted: the exchange failed (not
    // refused as busy), or the server refused a request that had been sent more than once.
    // False while the program is ending: nothing more is asked of the server then.
    bool uncertain(int operationResult, bool returnCodeOk) const;
    int count() const;

private:
    const TulvaExchange &m_engine;
    qint64 m_sequenceBefore = 0;
};

enum class Outcome {
    Done, // the change is there
    Running, // the server's process that makes the change is still running
    NotDone, // the state shows the change was not made
    Unknown, // the state could not be read either
};

struct Finding
{
    Outcome outcome = Outcome::Unknown;
    QString text; // one or two sentences for the administrator
};

// The database is in the list (file `listFile`, path code 1), or this client's creation
// process is running.
Finding databaseCreated(TulvaExchange &engine, const QString &listFile, const QString &name);
// The database is gone from the list, or this client's deletion process is running.
Finding databaseDeleted(TulvaExchange &engine, const QString &listFile, const QString &name);
// The database has no records and no record lists.
Finding databaseCleared(TulvaExchange &engine, const QString &name);
// The database is not locked.
Finding databaseUnlocked(TulvaExchange &engine, const QString &name);
// None of the records is locked any more.
Finding recordsUnlocked(TulvaExchange &engine, const QString &name, const QList<qint32> &mfns);
// The process of that number and client is gone from the process list.
Finding processStopped(TulvaExchange &engine, const QString &number, const QString &clientId);
// The client id is gone from the registered clients.
Finding registrationRemoved(TulvaExchange &engine, const QString &clientId);
// The server's accounts are the ones of the client list text that was sent.
Finding clientListSaved(
    TulvaExchange &engine, const QStringList &sentText, const ClientList::IniNames &defaults);

} // namespace ChangeCheck
