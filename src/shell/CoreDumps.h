#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

// Both programs hold passwords in memory, and a core dump would write them to disk: dumps are
// turned off where the system allows it, before anything is read. Elsewhere nothing is done.
inline void disableCoreDumps()
{
#ifdef Q_OS_UNIX
    const rlimit none{ 0, 0 };
    setrlimit(RLIMIT_CORE, &none);
#endif
#ifdef Q_OS_LINUX
    // Also keeps other processes of the same user from reading the memory through /proc.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}
