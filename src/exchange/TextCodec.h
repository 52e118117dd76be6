#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

// The wire, the message file and the settings files are Windows-1251. Bytes are kept as
// QByteArray up to here and become text only through these functions.
namespace TextCodec {

// False when this Qt cannot convert Windows-1251; the program refuses to start then.
bool available();

QString toText(QByteArrayView bytes);
QByteArray toBytes(QStringView text);

// Writes the text as Windows-1251 bytes at out and returns the end: at most text.size() bytes,
// without a converter call for the characters of the code page.
char *appendBytes(char *out, QStringView text);

QStringList toText(const QByteArrayList &lines);
QByteArrayList toBytes(const QStringList &lines);

} // namespace TextCodec
