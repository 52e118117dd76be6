#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

// Databases the whole system depends on: they can neither be created anew nor deleted from this
// workstation. Upper case as stored.
inline constexpr std::array<QStringView, 30> ReservedDbNames{ u"ZELT", u"CMPL", u"RDR", u"RQST", u"HELP",
    u"BLANK", u"TEZ", u"ATHRC", u"ATHRS", u"ATHRU", u"ATHRA", u"ATHRT", u"ATHRB", u"ATHRG", u"REGI", u"POST",
    u"MESH", u"PODB", u"WORK", u"RSUDC", u"RSBBK", u"KZD", u"VUZ", u"IRI", u"PAY", u"MORPH", u"HLPINI",
    u"URUB", u"DEPOSIT", u"IMAGE" };

// Longest database name.
inline constexpr int MaxDbNameLength = 8;

// One to eight characters: a Latin letter or "_" first, then Latin letters, digits or "_".
bool isValidDatabaseName(QStringView name);

// Reserved whatever the letter case: a database listed as "Rdr" is the reserved "RDR" (the server
// does not tell them apart), so it may neither be created nor deleted.
bool isReservedDbName(QStringView name);

// True when the name is already in the list, ignoring the case of Latin letters.
bool isDatabaseListed(QStringView name, const QStringList &listed);

// The description as one request line: a line break inside it would shift the creation flag
// onto another line, so control characters become blanks.
QString oneLineDescription(const QString &text);

// The sentence that refuses a text holding the binary marker; `what` begins it ("Описание").
QString binaryMarkerProblem(const QString &what);

// Why the description of a new database cannot be sent, or empty. The server stores it and hands
// it back in the database list; the marker in it would cut every later reading of that list.
QString descriptionProblem(const QString &text);
