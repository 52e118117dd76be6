#pragma once

#include "exchange/AnswerLines.h"

#include <QList>
#include <QString>
#include <QStringList>

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

// True when the answer is complete and successful: at least seven lines and a return code that
// is an integer of 0 or more.
bool databaseInfoAccepted(const QStringList &answer);
bool databaseInfoAccepted(const AnswerLines &answer);
// Max MFN (line 5 minus one; a line that is not a number counts as 1) and lock flag (line 6,
// low 8 bits; not a number counts as 0).
qint32 maxMfnFromLine(const QString &line);
quint8 lockFlagFromLine(const QString &line);
