#pragma once

#include <QString>
#include <QStringView>

// Upper case by the rules of the Windows-1251 code page: Latin and Cyrillic letters change,
// characters whose capital lies outside the code page (or is longer) stay as they are.
QString upperCp1251(const QString &text);
// Only the Latin letters a–z are upper-cased (comparisons that leave Cyrillic alone).
QString upperLatin(const QString &text);

// Whole decimal number with an optional sign, or hexadecimal after "0x"; 32-bit range.
bool parseInteger(QStringView text, int *value);
// As above, default when the text is not such a number.
int toIntDef(QStringView text, int defaultValue);
