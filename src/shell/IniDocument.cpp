#include "IniDocument.h"

#include "Messages.h"
#include "TextRules.h"
#include "exchange/TextCodec.h"

#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList splitLines(const QString &text)
{
    static const QRegularExpression breaks(u"\r\n|\r|\n"_s);
    QStringList lines = text.split(breaks);
    // A final line break does not make an empty last line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool isSectionHeader(const QString &line)
{
    return line.size() >= 2 && line.front() == u'[' && line.back() == u']';
}

} // namespace

void IniDocument::setLines(const QStringList &lines)
{
    m_lines.clear();
    for (const QString &line : lines) {
        if (line.contains(u'\r') || line.contains(u'\n'))
            m_lines.append(splitLines(line));
        else
            m_lines.append(line);
    }
}

void IniDocument::setText(const QString &text)
{
    m_lines = splitLines(text);
}

bool IniDocument::loadFile(const QString &path, QString *error)
{
    m_lines.clear();
    QByteArray bytes;
    QString reason;
    bool missing = false;
    if (!readFileUpTo(path, MaxFileSize, &bytes, &reason, &missing)) {
        if (error)
            *error = missing ? QString() : reason;
        return false;
    }
    if (error)
        error->clear();
    setText(TextCodec::toText(bytes));
    return true;
}

void IniDocument::clear()
{
    m_lines.clear();
}

bool IniDocument::findValue(const QString &section, const QString &key, QString *value) const
{
    bool inSection = false;
    for (const QString &line : m_lines) {
        if (line.isEmpty() || line.front() == u';')
            continue;
        if (isSectionHeader(line)) {
            if (inSection)
                return false; // only the first section of that name is searched
            const QStringView name = QStringView(line).mid(1, line.size() - 2);
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0) {
            *value = line.mid(eq + 1);
            return true;
        }
    }
    return false;
}

QString IniDocument::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    QString value;
    return findValue(section, key, &value) ? value : defaultValue;
}

int IniDocument::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    QString text;
    int value = 0;
    if (findValue(section, key, &text) && ::parseInteger(text, &value))
        return value;
    return defaultValue;
}

bool IniDocument::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}
