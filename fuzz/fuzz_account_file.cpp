// Feeds arbitrary files through the parser of `tulvaa-cli accounts import` and checks what must
// always hold: a refusal names a line of the file (or the one after its end) and a reason; an
// accepted file holds accounts that the client list rules accept, and the text written from
// them is read back to the same accounts.
#include "cli/AccountFile.h"
#include "exchange/TextCodec.h"
#include "server/ClientList.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool same(const AccountFile::Entry &a, const AccountFile::Entry &b)
{
    return a.name == b.name && a.password == b.password && a.ini == b.ini;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    AccountFile::Problem problem;
    const auto entries = AccountFile::parse(bytes, &problem);
    if (!entries) {
        check(problem.line >= 1 && problem.line <= bytes.count('\n') + 2);
        check(!problem.reason.isEmpty());
        return 0;
    }
    check(!entries->isEmpty());
    check(!bytes.contains('\0') && !bytes.startsWith("\xEF\xBB\xBF"));

    // Defaults that no INI name of the file can equal (Windows-1251 has no such character), so
    // every entry the file set is written out again, and only those. A control character would
    // not do: the rules let them through.
    ClientList::IniNames defaults;
    for (QString &d : defaults)
        d = QString(QChar(0x4E00));
    QList<ClientList::Account> accounts = AccountFile::accounts(*entries, defaults);
    for (const ClientList::Account &a : std::as_const(accounts)) {
        ClientList::Account given = a;
        for (QString &ini : given.ini)
            if (ini == defaults[0])
                ini.clear();
        check(ClientList::accountProblem(given).isEmpty());
    }
    QList<int> marked;
    QByteArray text;
    for (const QString &line : ClientList::buildClientListText(accounts, defaults, &marked))
        text += TextCodec::toBytes(line) + "\r\n";
    if (!marked.isEmpty())
        return 0;
    AccountFile::Problem again;
    const auto back = AccountFile::parse(text, &again);
    check(back.has_value() && back->size() == entries->size());
    for (qsizetype i = 0; i < back->size(); ++i)
        check(same(back->at(i), entries->at(i)));
    return 0;
}
