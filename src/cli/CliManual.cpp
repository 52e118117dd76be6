#include "CliManual.h"

#include "CliArgs.h"

using namespace Qt::Literals::StringLiterals;

QString completeHelp()
{
    // Each command as a tagged paragraph: the usage, two blanks, then the text, its further lines
    // indented to the same column (the layout help2man turns into an indented paragraph).
    QString details;
    for (const CommandInfo &c : commandCatalogue()) {
        const QString usage = commandUsage(c);
        const qsizetype column = qMax<qsizetype>(30, usage.size() + 4);
        const QString indent(column, u' ');
        if (!details.isEmpty())
            details += u'\n';
        details += (u"  "_s + usage).leftJustified(column) + commandSummary(c) + u'\n';
        for (const QString &line : commandText(c).split(u'\n'))
            details += line.isEmpty() ? u"\n"_s : indent + line + u'\n';
    }

    // The details take the place of the one-line list of the general help, so that the manual
    // page has one list of commands; the list is found by the lines of its first and last command.
    const QString general = generalHelp();
    const QList<CommandInfo> &catalogue = commandCatalogue();
    const qsizetype from
        = catalogue.isEmpty() ? -1 : general.indexOf(u"\n  "_s + commandUsage(catalogue.first()));
    const qsizetype lastLine
        = catalogue.isEmpty() ? -1 : general.indexOf(u"\n  "_s + commandUsage(catalogue.last()));
    const qsizetype to = lastLine < 0 ? -1 : general.indexOf(u'\n', lastLine + 1);
    if (from < 0 || to < 0)
        return general + u'\n' + details;
    return general.left(from + 1) + details + general.mid(to + 1);
}
