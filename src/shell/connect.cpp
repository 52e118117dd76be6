#include "connect.h"

#include "Application.h"
#include "Dialogs.h"
#include "FormUtil.h"
#include "Forms.h"
#include "Globals.h"
#include "Labelf.h"
#include "Messages.h"
#include "ServerEdit.h"
#include "TextRules.h"
#include "Translate.h"
#include "Wamain.h"
#include "exchange/SshTunnel.h"
#include "exchange/Waitunit.h"
#include "exchange/WireFormat.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

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

namespace {

// A port that is a number but no port number (1..65535) is not silently replaced: the
// dialog says which port the connection will use, before the password is sent there.
QString portNotice(const QString &portText)
{
    bool isNumber = false;
    const qint64 value = QStringView(portText).toLongLong(&isNumber, 10);
    if (!isNumber || (value >= 1 && value <= 65535))
        return {};
    const int used = Wire::portNumber(portText.toLatin1());
    return u"Порт %1 вне 1..65535: используется порт %2"_s.arg(portText).arg(used);
}

} // namespace

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
    setFormPosition(this, FormPosition::MainFormCenter);

    LabelServer = new QLabel(u"Сервер:"_s, this);
    LabelServer->setObjectName(u"LabelServer"_s);
    ComboServer = new QComboBox(this);
    ComboServer->setObjectName(u"ComboServer"_s);
    LabelServer->setBuddy(ComboServer);
    auto toolButton = [this](const QString &name, const QString &text, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(tip);
        return b;
    };
    ButtonServerAdd = toolButton(u"ButtonServerAdd"_s, u"+"_s, u"Добавить сервер в список"_s);
    ButtonServerEdit = toolButton(u"ButtonServerEdit"_s, u"✎"_s, u"Изменить сервер"_s);
    ButtonServerDelete = toolButton(u"ButtonServerDelete"_s, u"−"_s, u"Удалить сервер из списка"_s);

    Label1 = new QLabel(u"@985"_s, this);
    Label1->setObjectName(u"Label1"_s);
    EditName = new QLineEdit(this);
    EditName->setObjectName(u"EditName"_s);
    Label2 = new QLabel(u"@986"_s, this);
    Label2->setObjectName(u"Label2"_s);
    MaskEditPassword = new QLineEdit(this);
    MaskEditPassword->setObjectName(u"MaskEditPassword"_s);
    setControlKind(MaskEditPassword, u"TMaskEdit"_s);
    MaskEditPassword->setEchoMode(QLineEdit::Password);
    MaskEditPassword->setStyleSheet(u"lineedit-password-character: 42;"_s);

    ButtonExecute = makeButton(this, u"ButtonExecute"_s, u"@47"_s);
    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@92"_s);
    LabelPort = new QLabel(this);
    LabelPort->setObjectName(u"LabelPort"_s);
    LabelPort->setStyleSheet(u"color: #a00000;"_s);
    LabelPort->hide();
    placeControls(CaptionWidth);
    // Enter belongs to the edits (next field, then log in): the buttons are no default buttons.

    connect(ButtonExecute, &QPushButton::clicked, this, &TFormConnect::ButtonExecuteClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormConnect::ButtonCancelClick);
    connect(EditName, &QLineEdit::returnPressed, this, [this] { MaskEditPassword->setFocus(); });
    connect(MaskEditPassword, &QLineEdit::returnPressed, this, &TFormConnect::ButtonExecuteClick);
    connect(ComboServer, &QComboBox::currentIndexChanged, this, &TFormConnect::ComboServerChange);
    connect(ButtonServerAdd, &QToolButton::clicked, this, &TFormConnect::ButtonServerAddClick);
    connect(ButtonServerEdit, &QToolButton::clicked, this, &TFormConnect::ButtonServerEditClick);
    connect(ButtonServerDelete, &QToolButton::clicked, this, &TFormConnect::ButtonServerDeleteClick);

    onEveryShowing(this, [this] { FormShow(); });
    FormCreate();
}

TFormConnect::~TFormConnect()
{
    endTunnel();
}

void TFormConnect::FormCreate()
{
    ProfileIni.clear();
    m_profileAllows.clear();
    TranslateAndRefont(this);
    fitCaptions();
}

void TFormConnect::placeControls(int captionWidth)
{
    // The row of saved servers stands above the name and password; everything right of the
    // captions moves with their column.
    const int d = captionWidth - CaptionWidth;
    setFixedSize(417 + d, 180);
    LabelServer->setGeometry(16, 18, captionWidth, 21);
    ComboServer->setGeometry(130 + d, 16, 197, 23);
    ButtonServerAdd->setGeometry(331 + d, 16, 24, 23);
    ButtonServerEdit->setGeometry(355 + d, 16, 24, 23);
    ButtonServerDelete->setGeometry(379 + d, 16, 24, 23);
    Label1->setGeometry(16, 54, captionWidth, 21);
    EditName->setGeometry(130 + d, 52, 197, 23);
    Label2->setGeometry(16, 90, captionWidth, 21);
    MaskEditPassword->setGeometry(130 + d, 88, 197, 23);
    ButtonExecute->setGeometry(100 + d / 2, 136, 100, 28);
    ButtonCancel->setGeometry(216 + d / 2, 136, 100, 28);
    LabelPort->setGeometry(16, 114, 385 + d, 18);
}

void TFormConnect::fitCaptions()
{
    // A face wider than Arial (FontName) or a larger font would cut "Имя пользователя:".
    int captions = CaptionWidth;
    for (const QLabel *label : { LabelServer, Label1, Label2 })
        captions = qMax(captions, label->sizeHint().width());
    placeControls(captions);
}

void TFormConnect::FormShow()
{
    fitCaptions();
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
    // The server last logged in to is offered again; a damaged book leaves the Ctulvaa.ini entry.
    m_book.load();
    loadServers(m_book.lastServer());
    if (m_book.damaged()) {
        const QString text = m_book.error() + u"\nВ списке только сервер из Ctulvaa.ini."_s;
        QTimer::singleShot(
            0, this, [text] { Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, text); });
    }
}

void TFormConnect::loadServers(const QString &select)
{
    m_servers = { localSettingsServer(LocalIni) };
    m_servers += m_book.servers();
    int index = 0;
    {
        const QSignalBlocker quiet(ComboServer);
        ComboServer->clear();
        for (qsizetype i = 0; i < m_servers.size(); ++i) {
            ComboServer->addItem(serverDisplayText(m_servers.at(i)));
            if (i > 0 && !select.isEmpty() && sameServerName(m_servers.at(i).name, select))
                index = int(i);
        }
        ComboServer->setCurrentIndex(index);
        // The list shows whole lines even where the box cuts them.
        ComboServer->view()->setMinimumWidth(ComboServer->view()->sizeHintForColumn(0) + 24);
    }
    ButtonServerAdd->setEnabled(!m_book.damaged());
    ButtonServerAdd->setToolTip(m_book.damaged() ? m_book.error() : u"Добавить сервер в список"_s);
    ComboServerChange(index);
}

void TFormConnect::ComboServerChange(int index)
{
    const ServerEntry server = m_servers.value(index, localSettingsServer(LocalIni));
    ServerAddress = server.host;
    ServerPortText = server.port;
    setWindowTitle(ServerAddress);
    LabelPort->setText(portNotice(ServerPortText));
    LabelPort->setVisible(!LabelPort->text().isEmpty());
    ComboServer->setToolTip(serverDisplayText(server));
    const bool saved = index > 0 && !m_book.damaged();
    ButtonServerEdit->setEnabled(saved);
    ButtonServerDelete->setEnabled(saved);
}

ServerEntry TFormConnect::selectedServer() const
{
    return m_servers.value(ComboServer->currentIndex(), localSettingsServer(LocalIni));
}

TFormServerEdit *TFormConnect::serverEditor()
{
    if (!m_editor)
        m_editor = new TFormServerEdit(this);
    return m_editor;
}

void TFormConnect::editServer(const ServerEntry &original)
{
    TFormServerEdit *editor = serverEditor();
    editor->setEntry(original);
    QString saved;
    editor->setSaver([this, &original, &saved](const ServerEntry &entry) {
        const bool ok = original.name.isEmpty() ? m_book.add(entry) : m_book.replace(original.name, entry);
        if (!ok)
            return m_book.error();
        saved = entry.name;
        return QString();
    });
    const QString before = selectedServer().name;
    const int result = Dialogs::execModal(editor);
    editor->setSaver(nullptr);
    // Whatever happened, the list shows what the file holds now, other programs' changes too.
    loadServers(result == QDialog::Accepted ? saved : before);
}

void TFormConnect::ButtonServerAddClick()
{
    editServer(ServerEntry());
}

void TFormConnect::ButtonServerEditClick()
{
    const ServerEntry server = selectedServer();
    if (!server.isLocalSettings())
        editServer(server);
}

void TFormConnect::ButtonServerDeleteClick()
{
    const ServerEntry server = selectedServer();
    if (server.isLocalSettings()
        || !Dialogs::askYesNo(
            Dialogs::Icon::Question, u"Внимание!"_s, u"Удалить сервер «%1» из списка?"_s.arg(server.name)))
        return;
    if (!m_book.remove(server.name))
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, m_book.error());
    loadServers(QString());
}

void TFormConnect::routeTo(const ServerEntry &server)
{
    TulvaExchange *engine = WaitForm ? WaitForm->engine() : nullptr;
    if (!engine)
        return;
    if (!server.hasTunnel()) {
        endTunnel();
        return;
    }
    const SshTunnelSettings sshSettings = tunnelSettingsOf(server);
    if (m_tunnel && m_tunnel->sshSettings() == sshSettings)
        return;
    endTunnel();
    m_tunnel = std::make_unique<SshTunnel>(sshSettings);
    // A window program has no terminal to offer ssh; the desktop's askpass may ask.
    m_tunnel->setAsk(sshAskMode(false));
    const QString gateway = server.sshHost;
    const QString name = server.name;
    connect(m_tunnel.get(), &SshTunnel::openFailed, this, [gateway, name](const QString &reason) {
        // Closing asks nothing: the unregistration gives up by itself.
        if (WaitForm && WaitForm->engine()->closing())
            return;
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
            u"Не удалось открыть SSH-туннель к серверу «%1» через %2:\n%3"_s.arg(name, gateway, reason));
    });
    engine->setRoute(m_tunnel.get());
}

void TFormConnect::endTunnel()
{
    if (!m_tunnel)
        return;
    if (WaitForm && WaitForm->engine()->route() == m_tunnel.get())
        WaitForm->engine()->setRoute(nullptr);
    m_tunnel.reset();
}

void TFormConnect::ButtonExecuteClick()
{
    UserName = upperCp1251(EditName->text());
    UserPassword = MaskEditPassword->text();
    const ServerEntry server = selectedServer();
    routeTo(server);
    const int result
        = ConnectToServer(ServerAddress, ServerPortText, u"A"_s, AnswerList, UserPassword, UserName);
    if (result != 1) {
        Dialogs::message(Dialogs::Icon::None, u"Внимание!"_s, u"Сервер недоступен."_s);
        done(QDialog::Rejected);
        return;
    }
    if (!AnswerList.isEmpty() && AnswerList.at(0) == u"0") {
        applyProfile();
        // A damaged book was told at the start and stays as it is.
        if (!m_book.damaged() && !m_book.setLastServer(server.name))
            qWarning("%s", qUtf8Printable(m_book.error()));
        if (WAMainForm)
            WAMainForm->setSessionTitle(sessionTitle(UserName, server));
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
