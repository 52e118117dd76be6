#include "Messages.h"

#include "Globals.h"
#include "exchange/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

using namespace Qt::Literals::StringLiterals;

Q_LOGGING_CATEGORY(lcMessages, "tulva.messages")

namespace {

// Whole decimal number: digits only, no sign, no blanks.
bool parseMessageNumber(QStringView digits, qsizetype *n)
{
    if (digits.isEmpty() || digits.size() > 9)
        return false;
    qsizetype value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    *n = value;
    return true;
}

} // namespace

namespace Messages {

bool loadFile(const QString &path, QStringList *lines, QString *error)
{
    lines->clear();
    QByteArray bytes;
    if (!readFileUpTo(path, MaxFileSize, &bytes, error))
        return false;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines->append(TextCodec::toText(QByteArrayView(bytes).sliced(start, i - start)));
        if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines->append(TextCodec::toText(QByteArrayView(bytes).sliced(start)));
    return true;
}

QString translateText(const QString &text, const QStringList &messages)
{
    if (text.isEmpty() || text.front() != u'@')
        return text;
    qsizetype n = 0;
    if (!parseMessageNumber(QStringView(text).mid(1), &n) || n <= 0 || n >= messages.size())
        return text;
    return messages.at(n);
}

QString translateMenuCaption(const QString &caption, const QStringList &messages)
{
    QString copy = caption;
    const qsizetype amp = copy.indexOf(u'&');
    if (amp >= 0)
        copy.remove(amp, 1);
    if (copy.isEmpty() || copy.front() != u'@')
        return caption;
    qsizetype n = 0;
    if (!parseMessageNumber(QStringView(copy).mid(1), &n) || n >= messages.size())
        return caption;
    return messages.at(n);
}

} // namespace Messages

QString Msg(int n)
{
    if (n >= 0 && n < MessageList.size())
        return MessageList.at(n);
    qCWarning(lcMessages) << "message" << n << "is not in the message file";
    return u"@"_s + QString::number(n);
}

bool readFileUpTo(const QString &path, qint64 limit, QByteArray *bytes, QString *error, bool *missing)
{
    bytes->clear();
    if (missing)
        *missing = false;
    const auto failed = [&](const QString &reason) {
        if (error)
            *error = QDir::toNativeSeparators(path) + u": "_s + reason;
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (missing)
            *missing = !QFileInfo(path).exists();
        return failed(fileErrorText(file));
    }
    // Read in pieces up to one byte more than allowed: that tells a file that is too large,
    // whatever its size claims, without reserving the whole limit first.
    while (bytes->size() <= limit) {
        const QByteArray piece = file.read(qMin<qint64>(1 << 16, limit + 1 - bytes->size()));
        if (piece.isEmpty())
            break;
        bytes->append(piece);
    }
    if (file.error() != QFileDevice::NoError) {
        bytes->clear();
        return failed(fileErrorText(file));
    }
    if (bytes->size() > limit) {
        bytes->clear();
        return failed(u"файл больше %1 МиБ"_s.arg(limit / (1024 * 1024)));
    }
    return true;
}

QString fileErrorText(const QFileDevice &file)
{
    switch (file.error()) {
    case QFileDevice::NoError:
        return {};
    case QFileDevice::OpenError: {
        const QFileInfo info(file.fileName());
        if (!info.exists())
            return u"файл не найден"_s;
        if (info.isDir())
            return u"это папка, а не файл"_s;
        if (!info.isReadable())
            return u"нет прав на чтение файла"_s;
        return u"файл не удалось открыть"_s;
    }
    case QFileDevice::ReadError:
        return u"ошибка чтения файла"_s;
    case QFileDevice::PermissionsError:
        return u"нет прав доступа к файлу"_s;
    case QFileDevice::ResourceError:
        return u"не хватает системных ресурсов"_s;
    case QFileDevice::TimeOutError:
        return u"истекло время ожидания"_s;
    default:
        break;
    }
    return u"ошибка работы с файлом"_s;
}
