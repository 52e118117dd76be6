#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// What a command prints on standard output, and the three ways of printing it.
enum class OutputFormat { Text, Tsv, Json };

// One named value: a title for people, a key for scripts.
struct Field
{
    QString key;
    QString title;
    QString text;
    QJsonValue json = QJsonValue::Undefined; // undefined or null: the text
};

struct Column
{
    QString key;
    QString title;
};

struct Table
{
    QString key; // name of the array in JSON
    QList<Column> columns;
    QList<QStringList> rows; // a row may be shorter than the columns
};

struct Report
{
    QStringList messages; // sentences for people
    QList<Field> fields;
    Table table;
    QString logKey; // name of the log array in JSON; empty: no log
    QStringList log;
};

QByteArray formatReport(const Report &report, OutputFormat format);

// Columns padded to their widest cell, two blanks apart; the last column is not padded.
QStringList alignedTable(const QList<Column> &columns, const QList<QStringList> &rows);

// Characters that must not reach a terminal as they are: the C0 and C1 controls, DEL, the
// Unicode line and paragraph separators and the marks that reorder text direction.
bool isControlCharacter(char16_t c);

// Control characters as \t \n \r, \xHH or \uHHHH; everything else as it is. Text written for a
// person shows what the server sent without letting it steer the terminal.
QString escapeControls(const QString &text);

// Backslash as \\ and control characters as escapeControls shows them, so one record stays one
// line and a script can read every character back.
QString tsvEscape(const QString &text);

// Writes the bytes to standard output and flushes them; false, with the system's reason, when
// they did not all get out (a full disk, a closed pipe).
bool writeStandardOutput(const QByteArray &bytes, QString *reason);

// The report of a failed command in JSON, for scripts that read standard output only.
QByteArray jsonError(const QString &text, const QString &returnCode, int exitStatus);
