#include "Program.h"

#include "Application.h"
#include "Autoask.h"
#include "Dialogs.h"
#include "Forms.h"
#include "GridFeatures.h"
#include "Labelf.h"
#include "Translate.h"
#include "Wamain.h"
#include "connect.h"
#include "database/Jobs.h"
#include "database/LockList.h"
#include "database/Mfn.h"
#include "database/Mfnlist.h"
#include "database/Newdb.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "database/protocol.h"
#include "exchange/TextCodec.h"
#include "exchange/Waitunit.h"
#include "server/ServerMonitor.h"
#include "server/clients.h"
#include "server/clients_edit.h"
#include "server/clients_menu.h"
#include "server/main.h"
#include "server/process.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

void CreateForms()
{
    // The windows have no Qt parent: disabling the window that sends a request (the engine does)
    // would otherwise disable every window under it.
    WAMainForm = new TWAMainForm;
    FormConnect = new TFormConnect;
    OpenDbForm = new TOpenDbForm;
    FormCLient = new TFormCLient;
    FormProcess = new TFormProcess;
    FormRegClients = new TFormRegClients;
    MFNListForm = new TMFNListForm;
    AutoaskForm = new TAutoaskForm;
    MFNForm = new TMFNForm;
    LockedListForm = new TLockedListForm;
    LoadInvForm = new TLoadInvForm;
    NewDBForm = new TNewDBForm;
    FormProtocol = new TFormProtocol;
    OpenDbMenu = new TOpenDbMenu;
    FormClientsEdit = new TFormClientsEdit;
    WaitForm = new TWaitForm;
    WaitForm->setHomeWindow(WAMainForm);
    TWaitForm::setProgramHooks({ [](const QString &text) {
                                    return Dialogs::askYesNo(Dialogs::Icon::Question, u"Внимание!"_s, text);
                                },
        ApplicationTerminate, ApplicationTerminating });
    TranslateAndRefont(WaitForm);
    SetUpGridFeatures();
}

int ConnectToServer(const QString &host, const QString &port, const QString &workstation, AnswerOut answer,
    const QString &password, const QString &userName)
{
    return ConnectToServer(
        WaitForm ? WaitForm->engine() : nullptr, host, port, workstation, answer, password, userName);
}

namespace {
template <typename T> void destroy(T *&form)
{
    delete form;
    form = nullptr;
}
} // namespace

void DestroyForms()
{
    destroyServerMonitorForm();
    TearDownJobs();
    TearDownGridFeatures();
    destroy(WaitForm);
    destroy(FormClientsEdit);
    destroy(OpenDbMenu);
    destroy(FormProtocol);
    destroy(NewDBForm);
    destroy(LoadInvForm);
    destroy(LockedListForm);
    destroy(MFNForm);
    destroy(AutoaskForm);
    destroy(MFNListForm);
    destroy(FormRegClients);
    destroy(FormProcess);
    destroy(FormCLient);
    destroy(OpenDbForm);
    destroy(FormConnect);
    destroy(WAMainForm);
    destroy(LabelForm);
}

bool InstallQtTranslations()
{
    static QTranslator *installed = nullptr;
    if (installed)
        return true;
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), u"qtbase"_s, u"_"_s,
            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

int RunProgram()
{
    if (!TextCodec::available()) {
        Dialogs::message(Dialogs::Icon::Error, u"Внимание!"_s,
            u"Эта сборка Qt не умеет преобразовывать текст в кодировке Windows-1251."_s);
        return 2;
    }

    LabelForm = new TLabelForm;
    if (!LabelForm->settingsError().isEmpty()) {
        // Defaults instead of the settings the administrator wrote would log in elsewhere.
        Dialogs::message(Dialogs::Icon::Error, u"Внимание!"_s,
            u"Не удалось прочитать файл настроек\n"_s + LabelForm->settingsError());
        delete LabelForm;
        LabelForm = nullptr;
        return 1;
    }
    if (!LabelForm->messagesLoaded()) {
        // Every caption and many messages come from the file: without it nothing can be shown.
        Dialogs::message(Dialogs::Icon::Error, u"Внимание!"_s,
            u"Не удалось прочитать файл сообщений\n"_s + LabelForm->messageError());
        delete LabelForm;
        LabelForm = nullptr;
        return 1;
    }
    LabelForm->show();
    LabelForm->repaint();

    CreateForms();
    WAMainForm->show();
    LabelForm->raise();
    return QApplication::exec();
}
