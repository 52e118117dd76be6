#pragma once

#include "exchange/AnswerLines.h"
#include "exchange/OpResult.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// One entry of the server's database list file.
struct DatabaseListEntry
{
    QString name;
    QString description;
};

// Name/description pairs of the list file, in file order: the walk stops at a line "*****"
// (name or description line alike) and at a last line without a partner.
QList<DatabaseListEntry> databaseListEntries(const QStringList &lines);

// One MFN list line of the database information: the line breaks travel as 0x1F/0x1E, every
// piece between breaks is a decimal MFN. An empty line is an empty list. On a piece that is not
// a 32-bit decimal integer, *out keeps the MFNs before it and *badPiece holds the piece.
bool parseMfnList(QStringView line, QList<qint32> *out, QString *badPiece);
bool parseMfnList(QByteArrayView line, QList<qint32> *out, QString *badPiece);

// Max MFN (line 5 minus one; a line that is not a number counts as 1) and lock flag (line 6,
// low 8 bits; not a number counts as 0).
qint32 maxMfnFromLine(const QString &line);
quint8 lockFlagFromLine(const QString &line);

// The state of a database as one answer of the database information describes it.
struct DatabaseState
{
    QList<qint32> deletedMfns1;
    QList<qint32> deletedMfns2;
    QList<qint32> unactualizedMfns;
    QList<qint32> lockedMfns;
    qint32 maxMfn = 0;
    quint8 locked = 0;
};

// Why an answer of the database information gives no state.
struct DatabaseInfoError
{
    enum Kind {
        Failed, // the exchange failed or was cancelled
        Busy, // refused: another request was still running
        Refused, // the return code is negative or not a number
        Short, // fewer than seven lines
        BadMfn, // a piece of an MFN list is not a number
    };
    Kind kind = Failed;
    QString detail; // the return code, the line count or the bad piece
};

// The result of one request for the database information: the state, or why there is none.
struct DatabaseInfoReading
{
    std::optional<DatabaseState> state;
    DatabaseInfoError error;
};

// Parses the four MFN lists of the database information while the answer arrives, so that the
// open step has only the tail left when the last byte is in. readDatabaseInfo takes a list from
// here only when the accepted answer holds the very line it was parsed from; anything else (a
// bad piece, a rejected or retried answer) is parsed again from the answer or thrown away.
class MfnListStream : public AnswerStream
{
public:
    void restart() override;
    void lineGrows(qsizetype line, qsizetype offset, QByteArrayView bytes, bool complete) override;
    // The list of answer line `bodyLine` (1 to 4, after the answer header) if it was parsed whole
    // from `length` bytes at `offset` of the received bytes; moved out.
    bool take(int bodyLine, qsizetype offset, qsizetype length, QList<qint32> *out);

private:
    struct List
    {
        QList<qint32> mfns;
        qsizetype offset = -1;
        qsizetype parsed = 0; // bytes of the line taken so far
        qsizetype length = -1; // set once the line is complete
        bool failed = false;
    };
    std::array<List, 4> m_lists;
};

// Reads the answer of the database information as the operation left it (operation result and
// answer lines). Nothing is taken from an answer that is not whole and successful, so the caller
// can keep the previous state untouched until it has a new one.
DatabaseInfoReading readDatabaseInfo(int operationResult, const QStringList &answer);
// The same on the answer as received: the MFN lists are parsed straight from the bytes.
DatabaseInfoReading readDatabaseInfo(int operationResult, const AnswerLines &answer);
// The same with the lists that the stream parsed while the answer arrived.
DatabaseInfoReading readDatabaseInfo(int operationResult, const AnswerLines &answer, MfnListStream *stream);

// Reason of a failed reading, in a few words for the status bar and the boxes.
QString databaseInfoErrorReason(const DatabaseInfoError &error);
// Status bar line after a failed open (another database was asked for) or a failed refresh of
// the current one.
QString databaseOpenFailedStatus(const QString &asked, bool refresh, const DatabaseInfoError &error);
// Box text after a failed open or refresh made by the administrator's command; `current` is the
// database that stays current (empty when none is).
QString databaseOpenFailedMessage(
    const QString &asked, const QString &current, const DatabaseInfoError &error);

// Said when a command of the current database is chosen while none is current.
QString noCurrentDatabaseText();

// Main-menu items that a locked database does not allow: each follows the database that is open
// now, within what the profile allows.
inline constexpr const char *LockDependentItems[] = { "ClearDBItem", "ServerRestartItem", "ActualItem" };
inline bool lockDependentItemEnabled(bool profileAllows, quint8 databaseLocked)
{
    return profileAllows && databaseLocked == 0;
}
