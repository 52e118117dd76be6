#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QFileDevice;

// The message catalogue: message N is line N of the message file, counted from 0.
namespace Messages {

// Larger message files are refused: the real one has a few thousand short lines, and a name
// such as /dev/zero must not be read without end.
inline constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

// Reads the Windows-1251 message file into lines (CR, LF and CR LF all end a line). On failure
// (a missing, unreadable or too large file) the list is left empty and *error names the file
// and the reason.
bool loadFile(const QString &path, QStringList *lines, QString *error);

// Text of a property or list entry after translation: "@N" becomes line N when N is a whole
// decimal number with 0 < N < lines; anything else is returned unchanged.
QString translateText(const QString &text, const QStringList &messages);

// Menu caption rule: the first "&" is dropped before the test, "@0" is allowed, and a caption
// that is not a valid reference is returned unchanged (with its "&").
QString translateMenuCaption(const QString &caption, const QStringList &messages);

} // namespace Messages

// Message N of MessageList. A number the file does not hold gives "@N", so a short message file
// shows the reference instead of failing.
QString Msg(int n);

// Reads a whole file of at most `limit` bytes (devices and pipes included, which tell no size).
// On failure *error names the path and the reason; *missing (when given) tells a file that
// does not exist from one that could not be read.
bool readFileUpTo(
    const QString &path, qint64 limit, QByteArray *bytes, QString *error, bool *missing = nullptr);

// Why a file operation failed, in Russian (the system's own texts are English): a few words
// that follow the file's path in a message.
QString fileErrorText(const QFileDevice &file);
