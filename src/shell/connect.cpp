#include "connect.h"

#include "Application.h"
#include "Dialogs.h"
#include "FormUtil.h"
#include "Forms.h"
#include "Globals.h"
#include "Labelf.h"
#include "Messages.h"
#include "TextRules.h"
#include "Translate.h"
#include "Wamain.h"
#include "exchange/Waitunit.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

const MenuAccessRow MenuAccessTable[28] = {
    { "DataBaseItem", "DataBaseItem" },
    { "OpenDBItem", "OpenDBItem" },
    { "NewDBItem", "NewDBItem" },
    { "ClearDBItem", "ClearDBItem" },
    { "DeleteDBItem", "DeleteDBItem" },
    { "UnLockItem", "UnlockItem" },
    { "UnLockDBItem", "UnlockDBItem" },
    { "UnLockRecordItem", "UnlockrecordItem" },
    { "UnLockListItem", "UnLockListItem" },
    { "RestatItem", "RestatItem" },
    { "ExitItem", "ExitItem" },
    { "ActualItem", "ActualItem" },
    { "ActualIfItem", "ActualIfItem" },
    { "LoadIfItem", "LoadIfItem" },
    { "ReorgIfItem", "ReorgIfItem" },
    { "ReorgMfItem", "ReorgMfItem" },
    { "ServiceItem", "ServiceItem" },
    { "DeletedListItem", "DeletedListItem" },
    { "UnactualListItem", "UnactualListItem" },
    { "LockedListItem", "LockedListItem" },
    { "OptionItem", "OptionItem" },
    { "AutoaskingItem", "AutoaskingItem" },
    { "HelpItem", "HelpItem" },
    { "ServerItem", "ServerItem" },
    { "ServerRestartItem", "ServerRestartItem" },
    { "ServerClientListItem", "ServerClientListItem" },
    { "ServerCurrentClientListItem", "ServerCurrentClientListItem" },
    { "ServerProcessListItem", "ServerProcessListItem" },
};

bool menuItemEnabled(int value)
{
    return (value & 0xFF) != 0;
}

TFormConnect::TFormConnect(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FormConnect"_s);
    setProperty("helpContext", 7800);
    setWindowTitle(u"@987"_s);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(343, 144);
    setFormPosition(this, FormPosition::MainFormCenter);

    Label1 = new QLabel(u"@985"_s, this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setGeometry(16, 18, 110, 21);
    EditName = new QLineEdit(this);
    EditName->setObjectName(u"EditName"_s);
    EditName->setGeometry(130, 16, 197, 23);
    Label2 = new QLabel(u"@986"_s, this);
    Label2->setObjectName(u"Label2"_s);
    Label2->setGeometry(16, 54, 110, 21);
    MaskEditPassword = new QLineEdit(this);
    MaskEditPassword->setObjectName(u"MaskEditPassword"_s);
    setControlKind(MaskEditPassword, u"TMaskEdit"_s);
    MaskEditPassword->setEchoMode(QLineEdit::Password);
    MaskEditPassword->setStyleSheet(u"lineedit-password-character: 42;"_s);
    MaskEditPassword->setGeometry(130, 52, 197, 23);

    ButtonExecute = makeButton(this, u"ButtonExecute"_s, u"@47"_s);
    ButtonExecute->setGeometry(64, 100, 100, 28);
    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@92"_s);
    ButtonCancel->setGeometry(180, 100, 100, 28);
    // Enter belongs to the edits (next field, then log in): the buttons are no default buttons.

    connect(ButtonExecute, &QPushButton::clicked, this, &TFormConnect::ButtonExecuteClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormConnect::ButtonCancelClick);
    connect(EditName, &QLineEdit::returnPressed, this, [this] { MaskEditPassword->setFocus(); });
    connect(MaskEditPassword, &QLineEdit::returnPressed, this, &TFormConnect::ButtonExecuteClick);

    onEveryShowing(this, [this] { FormShow(); });
    FormCreate();
}

void TFormConnect::FormCreate()
{
    ProfileIni.clear();
    m_profileAllows.clear();
    TranslateAndRefont(this);
}

void TFormConnect::FormShow()
{
    EditName->setText(LocalIni.readString(LocalIniSection, u"USERNAME"_s, QString()));
    if (EditName->text().isEmpty())
        EditName->setText(LocalIni.readString(LocalIniSection, u"CLIENTNAME"_s, QString()));
    if (!EditName->text().isEmpty())
        MaskEditPassword->setFocus();
    else
        EditName->setFocus();
    ServerAddress = LocalIni.readString(LocalIniSection, u"ServerIP"_s, u"127.0.0.1"_s);
    ServerPortText = LocalIni.readString(LocalIniSection, u"ServerPort"_s, u"6666"_s);
    WaitForm->setWaitNoModal(LocalIni.readBool(LocalIniSection, u"WaitNoModal"_s, true));
    WaitForm->engine()->setMaxAnswerSize(TulvaExchange::answerSizeFromText(
        LocalIni.readString(LocalIniSection, u"MaxAnswerSize"_s, QString())));
    setWindowTitle(ServerAddress);
}

void TFormConnect::ButtonExecuteClick()
{
    UserName = upperCp1251(EditName->text());
    UserPassword = MaskEditPassword->text();
    const int result
        = ConnectToServer(ServerAddress, ServerPortText, u"A"_s, AnswerList, UserPassword, UserName);
    if (result != 1) {
        Dialogs::message(Dialogs::Icon::None, u"Внимание!"_s, u"Сервер недоступен."_s);
        done(QDialog::Rejected);
        return;
    }
    if (!AnswerList.isEmpty() && AnswerList.at(0) == u"0") {
        applyProfile();
        done(QDialog::Accepted);
        return;
    }
    if (AnswerList.isEmpty()) {
        Dialogs::message(Dialogs::Icon::None, u"Внимание!"_s, u"Неверный пароль или имя пользователя."_s);
        done(QDialog::Rejected);
        return;
    }
    int code = 0;
    if (!parseInteger(AnswerList.at(0), &code)) {
        Dialogs::message(Dialogs::Icon::Error, Msg(138),
            u"Ответ сервера \""_s + AnswerList.at(0) + u"\" не является целым числом."_s);
        return;
    }
    refuse(code);
}

void TFormConnect::applyProfile()
{
    ProfileIni.setLines(AnswerList);
    AdminIniName = ProfileIni.readString(ProfileSection, u"ADMIN_INI"_s, u"tulvaa.ini"_s);
    CatalIniName = ProfileIni.readString(ProfileSection, u"CATAL_INI"_s, u"tulvac.ini"_s);
    ComplIniName = ProfileIni.readString(ProfileSection, u"COMPL_INI"_s, u"tulvap.ini"_s);
    ReadIniName = ProfileIni.readString(ProfileSection, u"READ_INI"_s, u"tulvar.ini"_s);
    BooklIniName = ProfileIni.readString(ProfileSection, u"BOOKL_INI"_s, u"tulvab.ini"_s);
    BookProvdIniName = ProfileIni.readString(ProfileSection, u"BOOKPROVD_INI"_s, u"tulvak.ini"_s);
    m_profileAllows.clear();
    for (const MenuAccessRow &row : MenuAccessTable) {
        const int value = ProfileIni.readInteger(LocalIniSection, QString::fromLatin1(row.key), 1);
        const QString name = QString::fromLatin1(row.item);
        m_profileAllows.insert(name, menuItemEnabled(value));
        if (QAction *item = WAMainForm->menuItem(name))
            item->setEnabled(menuItemEnabled(value));
    }
}

bool TFormConnect::profileAllows(const QString &itemName) const
{
    return m_profileAllows.value(itemName, true);
}

void TFormConnect::refuse(int returnCode)
{
    switch (returnCode) {
    case -3338:
        Dialogs::message(Dialogs::Icon::Error, Msg(138), Msg(1237));
        done(QDialog::Rejected);
        return;
    case -3336:
        Dialogs::message(Dialogs::Icon::Error, Msg(138), Msg(1013));
        done(QDialog::Rejected);
        return;
    case -3333:
        Dialogs::message(Dialogs::Icon::Error, Msg(138), Msg(944));
        break;
    default:
        Dialogs::message(Dialogs::Icon::Error, Msg(138), Msg(1238));
        // The server may hold a half-made registration under the name as typed.
        WaitForm->UnregisterClient(EditName->text(), AnswerList);
        break;
    }
    EditName->clear();
    MaskEditPassword->clear();
    EditName->setFocus();
}

void TFormConnect::ButtonCancelClick()
{
    ApplicationTerminate();
    done(QDialog::Rejected);
}

void TFormConnect::reject()
{
    // Esc and the close box end the program as the cancel button does.
    ButtonCancelClick();
}

void TFormConnect::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TFormConnect::FormClose()
{
    if (LabelForm) {
        LabelForm->deleteLater();
        LabelForm = nullptr;
    }
}
