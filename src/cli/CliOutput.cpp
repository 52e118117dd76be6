#include "CliOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace {

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

QByteArray formatText(const Report &report)
{
    QStringList lines = report.messages;
    qsizetype width = 0;
    for (const Field &f : report.fields)
        width = qMax(width, f.title.size());
    for (const Field &f : report.fields)
        lines.append(f.title.leftJustified(width + 2) + f.text);
    if (!report.table.columns.isEmpty()) {
        if (!report.fields.isEmpty())
            lines.append(QString());
        lines += alignedTable(report.table.columns, report.table.rows);
    }
    lines += report.log;
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

QString tsvEscape(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += u"\\\\"_s;
            break;
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
            out += c;
        }
    }
    return out;
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

QByteArray jsonError(const QString &text, const QString &returnCode, int exitStatus)
{
    QJsonObject o{ { u"error"_s, text }, { u"exit_status"_s, exitStatus } };
    if (!returnCode.isEmpty())
        o.insert(u"return_code"_s, returnCode);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}
