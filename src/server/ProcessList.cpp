#include "ProcessList.h"

#include "exchange/AnswerLines.h"

#include "shell/TextRules.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// A decimal count; anything else counts as 0.
template <typename Lines> qint64 countOf(const Lines &answer, qsizetype line)
{
    if (line >= answer.size())
        return 0;
    bool ok = false;
    const qint64 n = answer.at(line).toLongLong(&ok, 10);
    return ok ? n : 0;
}

struct CodeRow
{
    const char16_t *name;
    const char16_t *code;
};

// Matched in this order.
constexpr CodeRow kCodes[] = {
    { u"TULVA_REG", u"A" },
    { u"TULVA_UNREG", u"B" },
    { u"TULVA_READ", u"C" },
    { u"TULVA_UPDATE", u"D" },
    { u"TULVA_GBL", u"5" },
    { u"TULVA_PRINT", u"7" },
    { u"TULVA_STAT", u"2" },
    { u"TULVA_RUNLOCK", u"E" },
    { u"TULVA_RECIFUPDATE", u"F" },
    { u"TULVA_SVR_FORMAT", u"G" },
    { u"TULVA_TRM_READ", u"H" },
    { u"TULVA_PREV_TRM", u"P" },
    { u"TULVA_POSTING", u"I" },
    { u"TULVA_SEARCH", u"K" },
    { u"TULVA_CONTEXT", u"L" },
    { u"TULVA_NOOP", u"N" },
    { u"TULVA_BACKUP", u"M" },
    { u"TULVA_MAXMFN", u"O" },
    { u"TULVA_CREATE_DICT", u"Z" },
    { u"TULVA_RELOAD_DICT", u"Y" },
    { u"TULVA_RELOAD_MASTER", u"X" },
    { u"TULVA_DB_UNLOCK_MFN", u"Q" },
    { u"TULVA_DB_UNLOCK", u"U" },
    { u"TULVA_DB_EMPTY", u"S" },
    { u"TULVA_DB_NEW", u"T" },
    { u"TULVA_UPDATE_INI", u"8" },
    { u"TULVA_GET_DELETED_LIST", u"0" },
    // The whole family of administrator commands, whose codes begin with "+".
    { u"TULVA_ADMINISTRATOR_COMMANDS", u"+" },
};

} // namespace

namespace {

// Reads each line it keeps once, so an answer kept as received bytes is decoded only where rows
// are filled.
template <typename Lines> ProcessTable parseTable(const Lines &answer)
{
    ProcessTable table;
    const qsizetype cells = qMax<qsizetype>(0, answer.size() - 3);
    const qint64 announcedRows = countOf(answer, 1);
    const qint64 announcedCols = countOf(answer, 2) + 1;
    // At least the grid's own ten columns may stay; more only as far as cells exist to fill them.
    const qint64 colLimit = qMax<qint64>(ProcessColumn::Count, cells);
    const qsizetype cols = qsizetype(std::clamp<qint64>(announcedCols, 1, colLimit));
    const qsizetype rowsWithCells = (cells + cols - 1) / cols;
    const qsizetype rows = qsizetype(std::clamp<qint64>(announcedRows, 0, rowsWithCells));

    table.colCount = int(cols);
    table.rows.reserve(rows);
    qsizetype line = 3;
    for (qsizetype r = 0; r < rows; ++r) {
        QStringList row(cols);
        const qsizetype take = qMin(cols, answer.size() - line);
        for (qsizetype c = 0; c < take; ++c)
            row[c] = answer.at(line + c);
        line += take;
        table.rows.append(std::move(row));
    }
    return table;
}

} // namespace

ProcessTable parseProcessList(const QStringList &answer)
{
    return parseTable(answer);
}

ProcessTable parseProcessList(const AnswerLines &answer)
{
    return parseTable(answer);
}

QString ProcessCommandCode(const QString &name)
{
    for (const CodeRow &row : kCodes) {
        if (name == QStringView(row.name))
            return QString::fromUtf16(row.code);
    }
    return {};
}

QStringList processNames()
{
    QStringList names;
    for (const CodeRow &row : kCodes)
        names.append(QString::fromUtf16(row.name));
    return names;
}

int processNameIndex(const QString &name)
{
    for (int i = 0; i < int(std::size(kCodes)); ++i) {
        if (name == QStringView(kCodes[i].name))
            return i;
    }
    return -1;
}

QString activeProcessState()
{
    return u"Активный"_s;
}

bool isOwnActiveProcess(const QString &clientIdCell, const QString &nameCell, const QString &stateCell,
    const QString &clientId, const QString &name)
{
    return upperLatin(clientIdCell) == upperLatin(clientId) && upperLatin(nameCell) == upperLatin(name)
        && upperLatin(stateCell) == upperLatin(activeProcessState());
}

int findOwnActiveProcess(int rowCount, const std::function<QString(int col, int row)> &cell,
    const QString &clientId, const QString &name)
{
    for (int row = 2; row < rowCount; ++row) {
        if (isOwnActiveProcess(cell(ProcessColumn::ClientId, row), cell(ProcessColumn::Name, row),
                cell(ProcessColumn::State, row), clientId, name))
            return row;
    }
    return -1;
}

int rowOfProcess(int rowCount, const std::function<QString(int col, int row)> &cell, const QString &number,
    const QString &clientId)
{
    for (int row = 2; row < rowCount; ++row) {
        if (cell(ProcessColumn::Number, row) == number && cell(ProcessColumn::ClientId, row) == clientId)
            return row;
    }
    return -1;
}
