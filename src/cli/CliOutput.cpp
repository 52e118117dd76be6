#include "CliOutput.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// The translation context of this file's texts.
class CliOutput
{
    Q_DECLARE_TR_FUNCTIONS(CliOutput)
};

QString cell(const QStringList &row, qsizetype i)
{
    return i < row.size() ? row.at(i) : QString();
}

QByteArray joinLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines) {
        out += line.toUtf8();
        out += '\n';
    }
    return out;
}

QStringList escapedLines(const QStringList &lines)
{
    QStringList out;
    out.reserve(lines.size());
    for (const QString &line : lines)
        out.append(escapeControls(line));
    return out;
}

// Every text is escaped before it is measured or joined: what the server sent can neither
// break a line nor reach the terminal as a control sequence.
QByteArray formatText(const Report &report)
{
    QStringList lines = escapedLines(report.messages);
    qsizetype width = 0;
    for (const Field &f : report.fields)
        width = qMax(width, escapeControls(f.title).size());
    for (const Field &f : report.fields)
        lines.append(escapeControls(f.title).leftJustified(width + 2) + escapeControls(f.text));
    if (!report.table.columns.isEmpty()) {
        if (!report.fields.isEmpty())
            lines.append(QString());
        QList<Column> columns = report.table.columns;
        for (Column &c : columns)
            c.title = escapeControls(c.title);
        QList<QStringList> rows;
        rows.reserve(report.table.rows.size());
        for (const QStringList &row : report.table.rows)
            rows.append(escapedLines(row));
        lines += alignedTable(columns, rows);
    }
    lines += escapedLines(report.log);
    return joinLines(lines);
}

QByteArray formatTsv(const Report &report)
{
    QStringList lines;
    for (const QString &m : report.messages)
        lines.append(u"message\t"_s + tsvEscape(m));
    for (const Field &f : report.fields)
        lines.append(f.key + u'\t' + tsvEscape(f.text));
    if (!report.table.columns.isEmpty()) {
        QStringList header;
        for (const Column &c : report.table.columns)
            header.append(c.key);
        lines.append(header.join(u'\t'));
        for (const QStringList &row : report.table.rows) {
            QStringList cells;
            for (qsizetype i = 0; i < report.table.columns.size(); ++i)
                cells.append(tsvEscape(cell(row, i)));
            lines.append(cells.join(u'\t'));
        }
    }
    for (const QString &l : report.log)
        lines.append(tsvEscape(l));
    return joinLines(lines);
}

QByteArray formatJson(const Report &report)
{
    QJsonObject o;
    if (!report.messages.isEmpty())
        o.insert(u"messages"_s, QJsonArray::fromStringList(report.messages));
    for (const Field &f : report.fields)
        o.insert(f.key, f.json.isUndefined() || f.json.isNull() ? QJsonValue(f.text) : f.json);
    if (!report.table.columns.isEmpty()) {
        QJsonArray rows;
        for (const QStringList &row : report.table.rows) {
            QJsonObject r;
            for (qsizetype i = 0; i < report.table.columns.size(); ++i)
                r.insert(report.table.columns.at(i).key, cell(row, i));
            rows.append(r);
        }
        o.insert(report.table.key.isEmpty() ? u"rows"_s : report.table.key, rows);
    }
    if (!report.logKey.isEmpty())
        o.insert(report.logKey, QJsonArray::fromStringList(report.log));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

} // namespace

QStringList alignedTable(const QList<Column> &columns, const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (const Column &c : columns)
        widths.append(c.title.size());
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < widths.size(); ++i)
            widths[i] = qMax(widths.at(i), cell(row, i).size());
    auto line = [&](auto text) {
        QString out;
        for (qsizetype i = 0; i < widths.size(); ++i) {
            const QString t = text(i);
            out += i + 1 < widths.size() ? t.leftJustified(widths.at(i) + 2) : t;
        }
        while (out.endsWith(u' '))
            out.chop(1);
        return out;
    };
    QStringList lines;
    lines.append(line([&](qsizetype i) { return columns.at(i).title; }));
    for (const QStringList &row : rows)
        lines.append(line([&](qsizetype i) { return cell(row, i); }));
    return lines;
}

bool isControlCharacter(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x200E || c == 0x200F
        || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

namespace {

void appendEscaped(QString &out, QChar c)
{
    switch (c.unicode()) {
    case u'\t':
        out += u"\\t"_s;
        break;
    case u'\n':
        out += u"\\n"_s;
        break;
    case u'\r':
        out += u"\\r"_s;
        break;
    default:
        if (c.unicode() < 0x100)
            out += u"\\x"_s + QString::number(c.unicode(), 16).rightJustified(2, u'0');
        else
            out += u"\\u"_s + QString::number(c.unicode(), 16).rightJustified(4, u'0');
    }
}

template <typename Escape> QString escaped(const QString &text, Escape needsEscape)
{
    if (std::none_of(text.cbegin(), text.cend(), needsEscape))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        if (c == u'\\' && needsEscape(c))
            out += u"\\\\"_s;
        else if (needsEscape(c))
            appendEscaped(out, c);
        else
            out += c;
    }
    return out;
}

} // namespace

QString escapeControls(const QString &text)
{
    return escaped(text, [](QChar c) { return isControlCharacter(c.unicode()); });
}

QString tsvEscape(const QString &text)
{
    return escaped(text, [](QChar c) { return c == u'\\' || isControlCharacter(c.unicode()); });
}

QByteArray formatReport(const Report &report, OutputFormat format)
{
    switch (format) {
    case OutputFormat::Tsv:
        return formatTsv(report);
    case OutputFormat::Json:
        return formatJson(report);
    case OutputFormat::Text:
        break;
    }
    return formatText(report);
}

bool writeStandardOutput(const QByteArray &bytes, QString *reason)
{
    errno = 0;
    const bool written
        = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    // The bytes may still sit in the stream's buffer; only the flush tells whether they got out.
    if (std::fflush(stdout) == 0 && written && !std::ferror(stdout))
        return true;
    const int error = errno;
    if (reason)
        *reason = error != 0 ? qt_error_string(error) : CliOutput::tr("write error");
    return false;
}

QByteArray jsonError(const QString &text, const QString &returnCode, int exitStatus)
{
    QJsonObject o{ { u"error"_s, text }, { u"exit_status"_s, exitStatus } };
    if (!returnCode.isEmpty())
        o.insert(u"return_code"_s, returnCode);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}
