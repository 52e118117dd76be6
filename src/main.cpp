#include "shell/CoreDumps.h"
#include "shell/Program.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    disableCoreDumps();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tulvaa"));
    // Without them only Qt's own texts stay English; the program's are Russian regardless.
    InstallQtTranslations();
    return RunProgram();
}
