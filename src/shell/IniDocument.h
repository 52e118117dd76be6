#pragma once

#include <QString>
#include <QStringList>

// Read-only INI text with the rules of this system's settings and profiles: nothing is trimmed,
// ";" starts a comment line, section and key names ignore letter case, the first section of a
// name and the first key within it win, integers are decimal or "0x" hexadecimal.
class IniDocument
{
public:
    IniDocument() = default;

    // Replaces the content. Lines are split again at CR, LF and CR LF, so a list holding a whole
    // text in one entry works as well.
    void setLines(const QStringList &lines);
    void setText(const QString &text);
    // Windows-1251 file of at most MaxFileSize bytes. A missing, unreadable or too large file
    // leaves the document empty (every key then takes its default) and returns false; *error
    // then names the path and the reason, and stays empty when the file does not exist.
    bool loadFile(const QString &path, QString *error = nullptr);
    // Settings files are a few lines; anything larger (or a device without end) is refused.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    void clear();

    const QStringList &lines() const { return m_lines; }

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

private:
    // Value of the first line with the key inside the first section of that name.
    bool findValue(const QString &section, const QString &key, QString *value) const;

    QStringList m_lines;
};
