#include "main.h"

#include "ClientList.h"
#include "database/ChangeCheck.h"
#include "exchange/OpResult.h"
#include "exchange/Waitunit.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"
#include "shell/Wamain.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

TFormRegClients::TFormRegClients(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FormRegClients"_s);
    setProperty("helpContext", 7400);
    // The caption of the menu item that opens the window.
    setWindowTitle(u"@1357"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(520, 230);
    resize(522, 234);
    setFormPosition(this, FormPosition::ScreenCenter);

    PanelNumRequests = makePanel(this, u"PanelNumRequests"_s);
    PanelNumRequests->setFixedHeight(25);
    Label1 = new QLabel(u"@1365"_s, PanelNumRequests);
    Label1->setObjectName(u"Label1"_s);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Labelrequests = new QLabel(u"0"_s, PanelNumRequests);
    Labelrequests->setObjectName(u"Labelrequests"_s);
    Labelrequests->setToolTip(u"Число запросов"_s);
    Labelrequests->setAlignment(Qt::AlignCenter);
    Labelrequests->setMinimumWidth(97);
    QFont bold = Labelrequests->font();
    bold.setBold(true);
    Labelrequests->setFont(bold);
    QPalette colours = Labelrequests->palette();
    colours.setColor(QPalette::WindowText, QColor(0, 0, 255));
    colours.setColor(QPalette::Window, QColor(0, 255, 0));
    Labelrequests->setPalette(colours);
    Labelrequests->setAutoFillBackground(true);
    auto *counter = new QHBoxLayout(PanelNumRequests);
    counter->setContentsMargins(4, 2, 4, 2);
    counter->addWidget(Label1, 1);
    counter->addWidget(Labelrequests);
    PanelNumRequests->hide();

    StringGridClient = new TStringGrid(this);
    StringGridClient->setObjectName(u"StringGridClient"_s);
    StringGridClient->setToolTip(u"Дополнительные функции под правой кнопкой мыши"_s);
    StringGridClient->setRowSelect(true);
    StringGridClient->setColSizing(true);

    PopupMenuClients = new QMenu(this);
    PopupMenuClients->setObjectName(u"PopupMenuClients"_s);
    clientrefresh = PopupMenuClients->addAction(u"@1362"_s);
    clientrefresh->setObjectName(u"clientrefresh"_s);
    clientrefresh->setShortcut(Qt::Key_F5);
    N7 = PopupMenuClients->addSeparator();
    N7->setObjectName(u"N7"_s);
    clientdel = PopupMenuClients->addAction(u"@1364"_s);
    clientdel->setObjectName(u"clientdel"_s);
    N1 = PopupMenuClients->addSeparator();
    N1->setObjectName(u"N1"_s);
    NumRequests = PopupMenuClients->addAction(u"@1366"_s);
    NumRequests->setObjectName(u"NumRequests"_s);
    NumRequests->setCheckable(true);
    // A shortcut works only on an action of a visible widget; the popup is hidden most of the time.
    addAction(clientrefresh);
    StringGridClient->setPopupMenu(PopupMenuClients);

    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@90"_s);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { nullptr, ButtonCancel });
    stackVertically(this, { PanelNumRequests, StringGridClient, Panel1 }, StringGridClient);

    // A click on the item flips its check mark; the panel is shown exactly while it is checked.
    connect(NumRequests, &QAction::toggled, PanelNumRequests, &QWidget::setVisible);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(clientrefresh, &QAction::triggered, this, [this] { LoadRegisteredClients(RequestedBy::User); });
    connect(clientdel, &QAction::triggered, this, &TFormRegClients::clientdelClick);
    connect(PopupMenuClients, &QMenu::aboutToShow, this, &TFormRegClients::PopupMenuClientsPopup);
    // The title row has no popup menu.
    StringGridClient->horizontalHeader()->setContextMenuPolicy(Qt::PreventContextMenu);

    FormCreate();
}

void TFormRegClients::FormCreate()
{
    TranslateAndRefont(this);

    writeTitles();
}

void TFormRegClients::writeTitles()
{
    static const QStringList titles{ u"№"_s, u"IP адрес"_s, u"Порт"_s, u"Имя"_s, u"Идентификатор"_s, u"АРМ"_s,
        u"Регистрация"_s, u"Подтверждение"_s, u"Текущая команда"_s, u"Номер команды"_s };
    static const int widths[] = { 20, 80, 50, 40, 90, 60, 90, 90, 100, 85 };
    if (StringGridClient->colCount() != 10) {
        StringGridClient->setColCount(10);
        for (int c = 0; c < 10; ++c)
            StringGridClient->setColWidth(c, widths[c]);
    }
    for (int c = 0; c < 10; ++c)
        StringGridClient->setCell(c, 0, titles.at(c));
}

void TFormRegClients::NumRequestsClick()
{
    NumRequests->toggle();
}

void TFormRegClients::LoadRegisteredClients(RequestedBy by)
{
    const auto result = WaitForm->GetRegisteredClients(AnswerList);
    if (result == OpResult::Busy) {
        if (by == RequestedBy::User)
            Dialogs::busyMessage();
        return;
    }
    if (result != OpResult::Accepted)
        return;
    const std::optional<ClientList::RegisteredClients> clients
        = ClientList::parseRegisteredClients(AnswerList);
    if (!clients)
        return;
    const int current = StringGridClient->row();
    const QString currentId = StringGridClient->cell(4, current);
    Labelrequests->setText(clients->requestCounter);
    StringGridClient->beginUpdate();
    StringGridClient->setRowCount(2);
    for (int c = 0; c < StringGridClient->colCount(); ++c)
        StringGridClient->setCell(c, 1, QString());
    StringGridClient->setRowCount(int(clients->rows.size()) + 1);
    StringGridClient->endUpdate();
    // The grid keeps at least its ten titled columns; a wider answer adds untitled ones.
    StringGridClient->setColCount(qMax(10, clients->columnCount));
    StringGridClient->beginUpdate();
    int follow = 0;
    for (int r = 0; r < clients->rows.size(); ++r) {
        const QStringList &row = clients->rows.at(r);
        for (int c = 0; c < row.size(); ++c)
            StringGridClient->setCell(c, r + 1, row.at(c));
        if (follow == 0 && !currentId.isEmpty() && row.value(4) == currentId)
            follow = r + 1;
    }
    StringGridClient->endUpdate();
    // A refresh keeps the administrator on the same registration where it is still listed.
    if (follow > 0)
        StringGridClient->setRow(follow);
}

bool TFormRegClients::removable(int row) const
{
    if (row < 2 || row >= StringGridClient->rowCount())
        return false;
    const QString id = StringGridClient->cell(4, row);
    return !id.isEmpty() && !(WaitForm && id == WaitForm->clientId());
}

void TFormRegClients::PopupMenuClientsPopup()
{
    clientdel->setEnabled(removable(StringGridClient->row()));
}

void TFormRegClients::clientdelClick()
{
    const int row = StringGridClient->row();
    if (!removable(row))
        return;
    const QString clientId = StringGridClient->cell(4, row);
    const ChangeCheck::Attempts attempts(*WaitForm->engine());
    const auto result = WaitForm->DeleteRegisteredClient(clientId, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    if (result == OpResult::Accepted && returnCodeOk(AnswerList)) {
        LoadRegisteredClients(RequestedBy::User);
    } else if (attempts.uncertain(result, returnCodeOk(AnswerList))) {
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
            ChangeCheck::registrationRemoved(*WaitForm->engine(), clientId).text);
        LoadRegisteredClients(RequestedBy::User);
    }
}

void TWAMainForm::ServerCurrentClientListItemClick()
{
    FormRegClients->LoadRegisteredClients(TFormRegClients::RequestedBy::User);
    FormRegClients->show();
    FormRegClients->raise();
    FormRegClients->activateWindow();
}
