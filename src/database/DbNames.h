#pragma once

#include <QString>
#include <QStringView>

#include <array>

// Databases the whole system depends on: they can neither be created anew nor deleted from this
// workstation. Upper case, compared as stored.
inline constexpr std::array<QStringView, 30> ReservedDbNames{ u"ZELT", u"CMPL", u"RDR", u"RQST", u"HELP",
    u"BLANK", u"TEZ", u"ATHRC", u"ATHRS", u"ATHRU", u"ATHRA", u"ATHRT", u"ATHRB", u"ATHRG", u"REGI", u"POST",
    u"MESH", u"PODB", u"WORK", u"RSUDC", u"RSBBK", u"KZD", u"VUZ", u"IRI", u"PAY", u"MORPH", u"HLPINI",
    u"URUB", u"DEPOSIT", u"IMAGE" };

// One to eight characters: a Latin letter or "_" first, then Latin letters, digits or "_".
bool isValidDatabaseName(QStringView name);

// A name as typed for a new database: reserved when its upper-cased form (Latin letters only)
// is in the table.
bool isReservedNewDbName(QStringView name);
// An existing database's name: reserved only when it is in the table exactly as written.
bool isReservedDbName(QStringView name);
