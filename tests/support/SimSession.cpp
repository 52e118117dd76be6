#include "SimSession.h"

#include "exchange/Exchange.h"
#include "exchange/OpResult.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Labelf.h"
#include "shell/Program.h"
#include "shell/Wamain.h"
#include "shell/connect.h"

#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

quint16 SimSession::startEmulator(const QStringList &extra)
{
    state = std::make_unique<QTemporaryDir>();
    sim = std::make_unique<EmulatorProcess>(
        QStringList{ u"--state"_s, state->filePath(u"state"_s), u"--sample"_s, EmulatorProcess::sampleDir() }
        + extra);
    return sim->port();
}

bool SimSession::createForms(quint16 port, std::function<void()> onTerminate, bool runStartTimer)
{
    resetProgramState();
    Dialogs::reset();
    Dialogs::setTestMode(true);
    resetApplicationTerminating();
    setApplicationTerminateHandler(std::move(onTerminate));
    dir = std::make_unique<ScopedWorkDir>();
    if (!QFile::copy(QStringLiteral(TULVA_SOURCE_DIR "/data/TULVAMSG.TXT"), dir->filePath(u"TULVAMSG.TXT"_s)))
        return false;
    writeCp1251File(dir->filePath(LocalIniFileName),
        { u"[Main]"_s, u"ServerPort="_s + QString::number(port), u"USERNAME=admin"_s });
    LabelForm = new TLabelForm;
    CreateForms();
    if (!runStartTimer)
        WAMainForm->TimerStart->stop();
    return true;
}

void SimSession::logIn(const QString &password)
{
    Dialogs::setModalHandler([password](QDialog *dialog) {
        dialog->show();
        FormConnect->MaskEditPassword->setText(password);
        FormConnect->ButtonExecute->click();
        return dialog->result();
    });
    WAMainForm->TimerStartTimer();
}

bool SimSession::registeredAtServer(const QString &clientId) const
{
    TulvaExchange probe;
    probe.SetServerAddress(u"127.0.0.1"_s, QString::number(sim->port()), u"A"_s);
    QStringList answer;
    return probe.GetRegisteredClients(answer) == OpResult::Accepted && answer.contains(clientId);
}

void SimSession::tearDown()
{
    DestroyForms();
    dir.reset();
    sim.reset();
    state.reset();
    Dialogs::reset();
    setApplicationTerminateHandler(nullptr);
    resetApplicationTerminating();
}
