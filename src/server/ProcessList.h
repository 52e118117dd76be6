#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class AnswerLines;

// The server's process list (command +3) and the rules the process watch relies on.

// Columns of the process grid that the program reads; the others are for display.
namespace ProcessColumn {
inline constexpr int Number = 0; // process number, the key of the stop request
inline constexpr int ClientId = 3; // client id of the client that started it
inline constexpr int Name = 6; // process name, e.g. "TULVA_RELOAD_DICT"
inline constexpr int State = 9; // "Активный" for a running process
inline constexpr int Count = 10;
} // namespace ProcessColumn

// The data rows of a process list answer, as the grid shows them from row 1.
struct ProcessTable
{
    int colCount = 1; // M + 1 as announced, kept within what the answer can fill
    QList<QStringList> rows; // each colCount cells; the last one may be filled only in part
};

// Cuts an answer ("0", N, M, then M + 1 cells per process) into rows. Counts that are not
// numbers count as 0. Rows and columns are bounded by the lines present, never by the counts
// alone, so an absurd count costs nothing; missing lines end the filling silently.
ProcessTable parseProcessList(const QStringList &answer);
ProcessTable parseProcessList(const AnswerLines &answer);

// One-character command code of the stop request for a process name, or empty for a name the
// table lacks. Case-sensitive, whole text.
QString ProcessCommandCode(const QString &name);

// The process names of that table, in its order.
QStringList processNames();

// Position of a process name in the process name table (whole text, case-sensitive), or -1.
int processNameIndex(const QString &name);

// The state text of a running process.
QString activeProcessState();

// True when a row (its client id, name and state cells) is a running process of this client under
// that name. Only the Latin letters a–z are folded, Cyrillic letters compare as they are.
bool isOwnActiveProcess(const QString &clientIdCell, const QString &nameCell, const QString &stateCell,
    const QString &clientId, const QString &name);

// First grid row from 2 (row 1 is the server itself) that is an own active process, or -1.
int findOwnActiveProcess(int rowCount, const std::function<QString(int col, int row)> &cell,
    const QString &clientId, const QString &name);

// The row that shows the process whose number and client id are given, from row 2; -1 when gone.
int rowOfProcess(int rowCount, const std::function<QString(int col, int row)> &cell, const QString &number,
    const QString &clientId);
