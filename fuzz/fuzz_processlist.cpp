// Feeds arbitrary lines through the process list parser, as a hostile server could send them,
// and checks that the table is bounded by the lines present and shaped as the grid expects.
#include "server/ProcessList.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Lines split at LF, bytes taken as Latin-1 (the parser only reads numbers and copies cells).
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList answer = text.split(u'\n');
    if (!answer.isEmpty())
        answer[0] = QStringLiteral("0");

    const ProcessTable table = parseProcessList(answer);
    const qsizetype cells = qMax<qsizetype>(0, answer.size() - 3);
    check(table.colCount >= 1);
    check(table.colCount <= qMax<qsizetype>(ProcessColumn::Count, cells));
    check(table.rows.size() <= cells);
    qsizetype line = 3;
    for (const QStringList &row : table.rows) {
        check(row.size() == table.colCount);
        for (const QString &cell : row) {
            if (line < answer.size())
                check(cell == answer.at(line));
            else
                check(cell.isEmpty());
            ++line;
        }
    }

    // The searches never report the title or the server row, and stay inside the table.
    const int rowCount = int(table.rows.size()) + 1;
    const auto cell = [&table](int col, int row) { return table.rows.value(row - 1).value(col); };
    const QString name = answer.value(3);
    const int own = findOwnActiveProcess(rowCount, cell, answer.value(4), name);
    check(own == -1 || (own >= 2 && own < rowCount));
    const int same = rowOfProcess(rowCount, cell, answer.value(5), answer.value(6));
    check(same == -1 || (same >= 2 && same < rowCount));
    (void)ProcessCommandCode(name);
    return 0;
}
