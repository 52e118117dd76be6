#pragma once

#include <functional>

// Asks the program to end, as a posted request: the current handler finishes first, then the
// main window closes (its close handlers run) and the message loop ends.
void ApplicationTerminate();
bool ApplicationTerminating();

// For tests: called instead of ending the program; an empty handler restores the default.
void setApplicationTerminateHandler(std::function<void()> handler);
void resetApplicationTerminating();
