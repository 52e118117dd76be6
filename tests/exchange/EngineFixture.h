#pragma once

#include "ScriptedServer.h"
#include "exchange/Waitunit.h"
#include "exchange/WireFormat.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"

#include <QTimer>

#include <functional>
#include <memory>

// One engine talking to one scripted loopback server; questions are answered from a queue.
struct EngineFixture
{
    std::unique_ptr<ScriptedServer> server;
    TWaitForm *form = nullptr;
    int terminateCalls = 0;

    void setUp(bool serverThread = false)
    {
        server = std::make_unique<ScriptedServer>(serverThread);
        if (!server->listen())
            qFatal("cannot listen on loopback");
        form = new TWaitForm;
        WaitForm = form;
        form->SetServerAddress(server->host(), server->portText(), QStringLiteral("A"));
        Dialogs::setTestMode(true);
        terminateCalls = 0;
        setApplicationTerminateHandler([this] { ++terminateCalls; });
        TWaitForm::setProgramHooks({ [](const QString &text) {
                                        return Dialogs::askYesNo(
                                            Dialogs::Icon::Question, QStringLiteral("Внимание!"), text);
                                    },
            ApplicationTerminate, ApplicationTerminating });
    }

    void tearDown()
    {
        delete form;
        form = nullptr;
        WaitForm = nullptr;
        server.reset();
        Dialogs::reset();
        setApplicationTerminateHandler(nullptr);
        resetApplicationTerminating();
    }

    // The request text a header with these values starts with (line 9 empty).
    QByteArray header(const QByteArray &command, const QByteArray &sequence, const QByteArray &password = {},
        const QByteArray &user = {}) const
    {
        return "A\n" + command + '\n' + form->clientId().toLatin1() + '\n' + sequence + '\n' + password + '\n'
            + user + "\n\n\n\n";
    }
};

// Runs action once, from the event loop, as soon as condition holds (checked every 5 ms).
inline void when(std::function<bool()> condition, std::function<void()> action)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, condition, action] {
        if (!condition())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}
