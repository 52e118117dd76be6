#include "DbNames.h"

#include "shell/TextRules.h"

#include <algorithm>

namespace {

bool isLatinLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

bool isValidDatabaseName(QStringView name)
{
    if (name.isEmpty() || name.size() > 8)
        return false;
    if (!isLatinLetter(name.front()) && name.front() != u'_')
        return false;
    return std::all_of(name.begin() + 1, name.end(),
        [](QChar c) { return isLatinLetter(c) || (c >= u'0' && c <= u'9') || c == u'_'; });
}

bool isReservedDbName(QStringView name)
{
    return std::find(ReservedDbNames.begin(), ReservedDbNames.end(), name) != ReservedDbNames.end();
}

bool isReservedNewDbName(QStringView name)
{
    return isReservedDbName(upperLatin(name.toString()));
}
