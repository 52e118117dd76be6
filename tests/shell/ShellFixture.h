#pragma once

#include "ScriptedServer.h"
#include "TestSupport.h"
#include "exchange/TextCodec.h"
#include "exchange/Waitunit.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Labelf.h"
#include "shell/Program.h"
#include "shell/Wamain.h"
#include "shell/connect.h"

#include <QLineEdit>
#include <QPushButton>

#include <QTimer>

#include <memory>

// Every window of the program, started in a temporary working directory and pointed at a
// scripted loopback server; boxes are answered by the test.
struct ShellFixture
{
    std::unique_ptr<ScopedWorkDir> dir;
    std::unique_ptr<ScriptedServer> server;
    int terminations = 0;

    void setUp(const QStringList &extraSettings = {})
    {
        using namespace Qt::Literals::StringLiterals;
        resetProgramState();
        Dialogs::reset();
        Dialogs::setTestMode(true);
        resetApplicationTerminating();
        terminations = 0;
        setApplicationTerminateHandler([this] { ++terminations; });

        dir = std::make_unique<ScopedWorkDir>();
        server = std::make_unique<ScriptedServer>();
        if (!server->listen())
            qFatal("cannot listen on loopback");
        QStringList messages = numberedMessages(1369);
        messages[42] = u"Да"_s;
        writeCp1251File(dir->filePath(u"TULVAMSG.TXT"_s), messages);
        QStringList settings{ u"[Main]"_s, u"ServerIP=127.0.0.1"_s, u"ServerPort="_s + server->portText() };
        settings += extraSettings;
        writeCp1251File(dir->filePath(LocalIniFileName), settings);

        LabelForm = new TLabelForm;
        CreateForms();
        // The tests run the start sequence themselves; requests go where a login would send them.
        WAMainForm->TimerStart->stop();
        WaitForm->SetServerAddress(server->host(), server->portText(), u"A"_s);
    }

    void tearDown()
    {
        DestroyForms();
        server.reset();
        dir.reset();
        Dialogs::reset();
        setApplicationTerminateHandler(nullptr);
        resetApplicationTerminating();
    }

    // Answer lines as the server writes them (Windows-1251).
    static QList<QByteArray> lines(const QStringList &text)
    {
        QList<QByteArray> out;
        for (const QString &line : text)
            out.append(TextCodec::toBytes(line));
        return out;
    }

    // A text file sent as one line with its line breaks encoded.
    static QByteArray resourceLine(const QStringList &text)
    {
        QByteArray out;
        for (const QString &line : text)
            out += TextCodec::toBytes(line) + "\x1F\x1E";
        return out;
    }

    void answer(const QStringList &body) { server->addScript({ ScriptedServer::reply(lines(body)) }); }

    // A successful login whose profile is the given lines.
    void answerLogin(const QStringList &profile)
    {
        using namespace Qt::Literals::StringLiterals;
        answer(QStringList{ u"0"_s, u"tulvaa.ini"_s } + profile);
    }

    // Shows the login dialog as the start sequence does and logs in.
    void typeAndLogIn(const QString &name, const QString &password)
    {
        FormConnect->show();
        FormConnect->EditName->setText(name);
        FormConnect->MaskEditPassword->setText(password);
        FormConnect->ButtonExecute->click();
    }
};
