#pragma once

#include "EmulatorProcess.h"
#include "TestSupport.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// The workstation against a running emulator that holds a fresh copy of the sample: every window
// created in a working directory of its own, with the message file and settings pointing at it.
struct SimSession
{
    std::unique_ptr<QTemporaryDir> state;
    std::unique_ptr<EmulatorProcess> sim;
    std::unique_ptr<ScopedWorkDir> dir;

    // Starts the emulator with the sample and the extra arguments; 0 when it did not come up.
    quint16 startEmulator(const QStringList &extra = {});
    // Fresh program state, boxes answered by the test, every window created; the start timer is
    // stopped unless it is to run. Settings: the port and the login name ADMIN. False when the
    // message file could not be put in place.
    bool createForms(
        quint16 port, std::function<void()> onTerminate = [] {}, bool runStartTimer = false);
    // The start sequence, with the password typed into the login dialog and OK pressed.
    void logIn(const QString &password = QStringLiteral("admin"));
    // Whether the emulator lists this client id among its registrations.
    bool registeredAtServer(const QString &clientId) const;
    void tearDown();
};
