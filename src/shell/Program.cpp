#include "Program.h"

#include "Dialogs.h"
#include "Forms.h"
#include "Labelf.h"
#include "Translate.h"
#include "Wamain.h"
#include "connect.h"
#include "Autoask.h"
#include "database/LockList.h"
#include "database/Mfn.h"
#include "database/Mfnlist.h"
#include "database/Newdb.h"
#include "database/Opendb.h"
#include "database/loadinv.h"
#include "database/protocol.h"
#include "exchange/TextCodec.h"
#include "exchange/Waitunit.h"
#include "server/clients.h"
#include "server/clients_edit.h"
#include "server/clients_menu.h"
#include "server/main.h"
#include "server/process.h"

#include <QApplication>

using namespace Qt::Literals::StringLiterals;

void CreateForms()
{
    WAMainForm = new TWAMainForm;
    FormConnect = new TFormConnect(WAMainForm);
    OpenDbForm = new TOpenDbForm(WAMainForm);
    FormCLient = new TFormCLient(WAMainForm);
    FormProcess = new TFormProcess(WAMainForm);
    FormRegClients = new TFormRegClients(WAMainForm);
    MFNListForm = new TMFNListForm(WAMainForm);
    AutoaskForm = new TAutoaskForm(WAMainForm);
    MFNForm = new TMFNForm(WAMainForm);
    LockedListForm = new TLockedListForm(WAMainForm);
    LoadInvForm = new TLoadInvForm(WAMainForm);
    NewDBForm = new TNewDBForm(WAMainForm);
    FormProtocol = new TFormProtocol(WAMainForm);
    OpenDbMenu = new TOpenDbMenu(WAMainForm);
    FormClientsEdit = new TFormClientsEdit(WAMainForm);
    WaitForm = new TWaitForm(WAMainForm);
    TranslateAndRefont(WaitForm);
}

void DestroyForms()
{
    // The other windows are children of the main window.
    delete WAMainForm;
    WAMainForm = nullptr;
    FormConnect = nullptr;
    OpenDbForm = nullptr;
    FormCLient = nullptr;
    FormProcess = nullptr;
    FormRegClients = nullptr;
    MFNListForm = nullptr;
    AutoaskForm = nullptr;
    MFNForm = nullptr;
    LockedListForm = nullptr;
    LoadInvForm = nullptr;
    NewDBForm = nullptr;
    FormProtocol = nullptr;
    OpenDbMenu = nullptr;
    FormClientsEdit = nullptr;
    WaitForm = nullptr;
    delete LabelForm;
    LabelForm = nullptr;
}

int RunProgram()
{
    if (!TextCodec::available()) {
        Dialogs::message(Dialogs::Icon::Error, u"Внимание!"_s,
                         u"Эта сборка Qt не умеет преобразовывать текст в кодировке Windows-1251."_s);
        return 2;
    }

    LabelForm = new TLabelForm;
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
