#include "shell/CoreDumps.h"
#include "shell/Program.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace {

// --help and --version are answered without a display, so they work on a server console and
// when the manual page is made.
bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : { "-h", "--help", "-?", "--help-all", "-v", "--version" })
            if (std::strcmp(argv[i], option) == 0)
                return true;
    }
    return false;
}

int printHelpOrVersion(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tulvaa"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TULVA_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"The administrator's workstation of the TULVA64 library database server: log in to a server and\n"
        "maintain its databases (statistics, create, clear, delete, unlock, actualize, load and\n"
        "reorganize the dictionary, reorganize the master file, record lists), follow its long jobs and\n"
        "read their logs, and administer the server (version, restart, client accounts and their\n"
        "profiles, registered clients, running processes).\n\n"
        "The program reads Ctulvaa.ini (the server's address and port, the user name, the names of\n"
        "the message and help files), the message file TULVAMSG.TXT and the help file tulvaa.hlp from\n"
        "the current directory; the desktop entry starts it in the data directory, where Ctulvaa.ini\n"
        "is a link to /etc/tulvaa/Ctulvaa.ini. It writes nothing there."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    // Exits after printing.
    parser.process(app);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (asksForHelpOrVersion(argc, argv))
        return printHelpOrVersion(argc, argv);
    disableCoreDumps();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tulvaa"));
    // Without them only Qt's own texts stay English; the program's are Russian regardless.
    InstallQtTranslations();
    return RunProgram();
}
