// Feeds arbitrary answer bodies through the account table parser, the client list text built
// from what it accepts, the account sort and the registered-clients parser, and checks what must
// always hold: no more rows than the lines carry, passwords in step with the rows and never in
// them, a text of three lines per account that ends with "*****".
#include "exchange/AnswerLines.h"
#include "exchange/TextCodec.h"
#include "exchange/WireFormat.h"
#include "server/ClientList.h"

#include <cstdint>
#include <cstdlib>

using namespace ClientList;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList answer;
    for (const QByteArrayView line : Wire::splitLines(bytes))
        answer.append(TextCodec::toText(line));

    QString error;
    std::optional<AccountTable> table = parseAccountTable(answer, &error);
    // The answer kept as bytes reads the same.
    {
        AnswerLines kept;
        kept.assign(bytes.toByteArray(), Wire::splitLines(bytes));
        QString keptError;
        const std::optional<AccountTable> same = parseAccountTable(kept, &keptError);
        check(same.has_value() == table.has_value() && keptError == error);
        if (same)
            check(same->rows == table->rows && same->passwords == table->passwords);
    }
    if (!table)
        check(!error.isEmpty());
    if (table) {
        check(table->columnCount >= ColumnCount && table->columnCount <= MaxColumnCount);
        check(table->rows.size() * table->columnCount <= answer.size());
        check(table->passwords.size() == table->rows.size());
        for (const QStringList &row : std::as_const(table->rows)) {
            check(row.size() == table->columnCount);
            check(row.at(PasswordColumn) == HiddenPassword);
        }
        const IniNames defaults{ QStringLiteral("tulvac.ini"), QStringLiteral("tulvar.ini"),
            QStringLiteral("tulvab.ini"), QStringLiteral("tulvap.ini"), QStringLiteral("tulvak.ini"),
            QStringLiteral("tulvaa.ini") };
        QList<QStringList> rows = table->rows;
        QList<int> marked;
        const QByteArray text = clientListBytes(rows, table->passwords, defaults, &marked);
        check(text.endsWith(ListEnd.toLatin1() + "\r\n"));
        for (const int i : std::as_const(marked))
            check(rows.at(i).at(NameColumn).endsWith(DuplicateMark));

        qsizetype current = rows.isEmpty() ? -1 : rows.size() / 2;
        const QString followed = current >= 0 ? table->passwords.at(current) : QString();
        QStringList passwords = table->passwords;
        sortAccountRows(rows, passwords, NameColumn, &current);
        check(passwords.size() == rows.size());
        if (current >= 0)
            check(passwords.at(current) == followed);
        for (const QStringList &row : std::as_const(rows))
            (void)accountProblem({ row.at(NameColumn), QString(), {} });
    }

    if (const auto clients = parseRegisteredClients(answer)) {
        check(clients->columnCount >= 1 && clients->columnCount <= MaxColumnCount);
        check(clients->rows.size() <= answer.size());
        for (const QStringList &row : clients->rows)
            check(row.size() == clients->columnCount);
    }
    return 0;
}
