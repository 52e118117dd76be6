#include "DbNames.h"

#include "exchange/WireFormat.h"
#include "shell/TextRules.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

bool isLatinLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

bool isValidDatabaseName(QStringView name)
{
    if (name.isEmpty() || name.size() > MaxDbNameLength)
        return false;
    if (!isLatinLetter(name.front()) && name.front() != u'_')
        return false;
    return std::all_of(name.begin() + 1, name.end(),
        [](QChar c) { return isLatinLetter(c) || (c >= u'0' && c <= u'9') || c == u'_'; });
}

bool isReservedDbName(QStringView name)
{
    const QString upper = upperLatin(name.toString());
    return std::find(ReservedDbNames.begin(), ReservedDbNames.end(), upper) != ReservedDbNames.end();
}

bool isDatabaseListed(QStringView name, const QStringList &listed)
{
    const QString upper = upperLatin(name.toString());
    return std::any_of(
        listed.begin(), listed.end(), [&upper](const QString &entry) { return upperLatin(entry) == upper; });
}

QString oneLineDescription(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    }
    return out;
}

QString binaryMarkerProblem(const QString &what)
{
    return what
        + u" содержит «TULVA_BINARY_DATA»: на этой метке сервер обрывает свои ответы, и сохранённый "
          "текст уже нельзя будет прочитать. Уберите её."_s;
}

QString descriptionProblem(const QString &text)
{
    return Wire::holdsBinaryMarker(text) ? binaryMarkerProblem(u"Описание базы данных"_s) : QString();
}
