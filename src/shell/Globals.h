#pragma once

#include "IniDocument.h"
#include "exchange/AnswerLines.h"

#include <QList>
#include <QString>
#include <QStringList>

// Program-wide state. Every item exists once for the run and is touched only from the
// user-interface thread, so it is reached directly by name.

inline IniDocument LocalIni; // "Ctulvaa.ini" of the working directory
inline IniDocument ProfileIni; // the profile the server sent at login
inline QString MessageFileName;
inline QStringList MessageList;
inline QString FontName;
inline quint8 FontCharset = 204;

// Login identity.
inline QString ServerAddress;
inline QString ServerPortText;
inline QString UserName; // upper-cased
inline QString UserPassword; // as typed; never logged

// Workstation INI names of the profile.
inline QString AdminIniName;
inline QString CatalIniName;
inline QString ComplIniName;
inline QString ReadIniName;
inline QString BooklIniName;
inline QString BookProvdIniName;

inline QString CurrentDbName;

// Every server operation puts its answer lines here; the caller reads them right after the call.
inline AnswerLines AnswerList;

// State of the current database, written only by the open step.
inline QList<qint32> DeletedMfns1;
inline QList<qint32> DeletedMfns2;
inline QList<qint32> UnactualizedMfns;
inline QList<qint32> LockedMfns;
inline QList<qint32> UnlockSelection;
inline qint32 MaxMfn = 0;
inline quint8 DatabaseLocked = 0;

// Empties the five MFN lists.
void clearMfnLists();

// Time of day (fraction of a day) at which the main window was created.
inline double StartTime = 0.0;

// Names of the local settings file and its one section.
inline const QString LocalIniFileName = QStringLiteral("Ctulvaa.ini");
inline const QString LocalIniSection = QStringLiteral("Main");
inline const QString ProfileSection = QStringLiteral("MAIN");

// Path of a file in the current working directory (settings, messages and help live there).
QString currentDirFile(const QString &name);

// Back to the state of a fresh start; used between tests.
void resetProgramState();
