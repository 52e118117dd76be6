#include "Application.h"

#include "Forms.h"
#include "Wamain.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
bool g_terminating = false;
std::function<void()> g_handler;
} // namespace

void ApplicationTerminate()
{
    const bool first = !g_terminating;
    g_terminating = true;
    if (g_handler) {
        g_handler();
        return;
    }
    if (!first)
        return;
    QMetaObject::invokeMethod(
        qApp,
        [] {
            if (WAMainForm) {
                WAMainForm->close();
                // Refused while a request ends first: the window closes (and unregisters) after
                // it, and quits then. Quitting now would end the request's wait under it.
                if (WAMainForm->isVisible())
                    return;
            }
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
}

bool ApplicationTerminating()
{
    return g_terminating;
}

void setApplicationTerminateHandler(std::function<void()> handler)
{
    g_handler = std::move(handler);
}

void resetApplicationTerminating()
{
    g_terminating = false;
}
