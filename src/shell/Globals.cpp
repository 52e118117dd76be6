#include "Globals.h"

#include <QDir>

QString currentDirFile(const QString &name)
{
    return QDir::current().filePath(name);
}

void clearMfnLists()
{
    DeletedMfns1.clear();
    DeletedMfns2.clear();
    UnactualizedMfns.clear();
    LockedMfns.clear();
    UnlockSelection.clear();
}

void resetProgramState()
{
    LocalIni.clear();
    ProfileIni.clear();
    MessageFileName.clear();
    MessageList.clear();
    FontName.clear();
    FontCharset = 204;
    ServerAddress.clear();
    ServerPortText.clear();
    UserName.clear();
    UserPassword.clear();
    AdminIniName.clear();
    CatalIniName.clear();
    ComplIniName.clear();
    ReadIniName.clear();
    BooklIniName.clear();
    BookProvdIniName.clear();
    CurrentDbName.clear();
    AnswerList.clear();
    clearMfnLists();
    MaxMfn = 0;
    DatabaseLocked = 0;
    StartTime = 0.0;
}
