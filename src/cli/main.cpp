#include "CliArgs.h"
#include "CliLanguage.h"
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

namespace {

// The translation context of the few texts of start-up.
class CliMain
{
    Q_DECLARE_TR_FUNCTIONS(CliMain)
};

void printError(const QString &text)
{
    std::fputs((u"tulvaa-cli: "_s + text + u'\n').toLocal8Bit().constData(), stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    disableCoreDumps();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tulvaa-cli"_s);
    // A missing translation is no reason to refuse the work: the texts are then English.
    installCliTranslations();

    const QStringList arguments = app.arguments().mid(1);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (parsed.options.help) {
        const QString help = parsed.options.helpAll ? completeHelp()
            : parsed.options.command                ? commandHelp(*parsed.options.command)
                                                    : generalHelp();
        QString reason;
        if (!writeStandardOutput(help.toLocal8Bit(), &reason)) {
            printError(CliMain::tr("cannot write to standard output: %1").arg(reason));
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
        printError(usage + u'\n' + CliMain::tr("Try tulvaa-cli --help."));
        return Exit::Usage;
    }
    if (!TextCodec::available()) {
        printError(CliMain::tr("this Qt cannot convert Windows-1251 text"));
        return Exit::Failed;
    }
    // The workstation's own texts, built in, so that the tool runs from any directory.
    QString error;
    if (!Messages::loadFile(u":/tulvaa-cli/TULVAMSG.TXT"_s, &MessageList, &error)) {
        printError(error);
        return Exit::Failed;
    }
    CliRunner runner(parsed.options);
    return runner.run();
}
