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
            if (WAMainForm)
                WAMainForm->close();
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
