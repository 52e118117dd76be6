// Feeds arbitrary INI menu files through the chooser's parser, as the server hands them out (one
// line with its line breaks encoded), and checks what must always hold: no more entries than
// pairs of lines, names that end in ".ini" with no other point, no list end among them.
#include "exchange/TextCodec.h"
#include "exchange/WireFormat.h"
#include "server/ClientList.h"

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
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    Wire::DecodeLineBreaks(bytes);
    QStringList lines;
    for (const QByteArrayView line : Wire::splitLines(bytes))
        lines.append(TextCodec::toText(line));

    const QList<ClientList::IniMenuEntry> entries = ClientList::parseIniMenu(lines);
    check(entries.size() <= lines.size() / 2);
    for (const ClientList::IniMenuEntry &e : entries) {
        check(e.fileName.endsWith(QStringLiteral(".ini")));
        check(e.fileName.indexOf(u'.') == e.fileName.size() - 4);
        check(e.description != ClientList::ListEnd);
    }
    return 0;
}
