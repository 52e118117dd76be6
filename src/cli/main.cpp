#include "CliArgs.h"
#include "CliManual.h"
#include "CliMonitor.h"
#include "CliRunner.h"
#include "exchange/TextCodec.h"
#include "shell/CoreDumps.h"
#include "shell/Globals.h"
#include "shell/Messages.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char *argv[])
{
    disableCoreDumps();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tulvaa-cli"_s);

    const QStringList arguments = app.arguments().mid(1);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (parsed.options.help) {
        const QString help = parsed.options.helpAll ? completeHelp()
            : parsed.options.command                ? commandHelp(*parsed.options.command)
                                                    : generalHelp();
        QString reason;
        if (!writeStandardOutput(help.toLocal8Bit(), &reason)) {
            std::fprintf(stderr, "tulvaa-cli: cannot write to standard output: %s\n", qUtf8Printable(reason));
            return Exit::WriteFailed;
        }
        return Exit::Done;
    }
    if (parsed.options.version && parsed.error.isEmpty()) {
        std::fputs("tulvaa-cli " TULVA_VERSION "\n", stdout);
        return Exit::Done;
    }
    const QString usage = parsed.error.isEmpty() ? CliMonitor::usageError(parsed.options) : parsed.error;
    if (!usage.isEmpty()) {
        // A monitoring system reads the first line of standard output, also after wrong usage.
        if (CliMonitor::isCheckCommandLine(arguments)) {
            std::fputs(CliMonitor::usageErrorLine(usage).toUtf8().constData(), stdout);
            return Exit::Usage;
        }
        std::fprintf(stderr, "tulvaa-cli: %s\nTry tulvaa-cli --help.\n", qUtf8Printable(usage));
        return Exit::Usage;
    }
    if (!TextCodec::available()) {
        std::fputs("tulvaa-cli: this Qt cannot convert Windows-1251 text\n", stderr);
        return Exit::Failed;
    }
    // The workstation's own texts, built in, so that the tool runs from any directory.
    QString error;
    if (!Messages::loadFile(u":/tulvaa-cli/TULVAMSG.TXT"_s, &MessageList, &error)) {
        std::fprintf(stderr, "tulvaa-cli: %s\n", qUtf8Printable(error));
        return Exit::Failed;
    }
    CliRunner runner(parsed.options);
    return runner.run();
}
