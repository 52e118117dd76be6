#include "process.h"

#include "database/ChangeCheck.h"
#include "database/Maintenance.h"
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
#include <QCoreApplication>
#include <QDateTime>
#include <QFrame>
#include <QMenu>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kWidths[ProcessColumn::Count] = { 20, 80, 50, 100, 90, 100, 140, 100, 80, 80 };

} // namespace

TFormProcess::TFormProcess(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FormProcess"_s);
    setProperty("helpContext", 7500);
    // The caption of the menu item that opens the window.
    setWindowTitle(u"@1358"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(520, 230);
    resize(522, 234);
    setFormPosition(this, FormPosition::ScreenCenter);

    StringGridProcess = new TStringGrid(this);
    StringGridProcess->setObjectName(u"StringGridProcess"_s);
    StringGridProcess->setToolTip(u"Дополнительные функции под правой кнопкой мыши"_s);
    StringGridProcess->setRowSelect(true);
    StringGridProcess->setColSizing(true);

    PopupMenuProcess = new QMenu(this);
    PopupMenuProcess->setObjectName(u"PopupMenuProcess"_s);
    ProcStop = PopupMenuProcess->addAction(u"@1368"_s);
    ProcStop->setObjectName(u"ProcStop"_s);
    Refresh = PopupMenuProcess->addAction(u"@1362"_s);
    Refresh->setObjectName(u"Refresh"_s);
    Refresh->setShortcut(Qt::Key_F5);
    // A shortcut works only on an action of a visible widget; the popup is hidden most of the time.
    addAction(Refresh);
    StringGridProcess->setPopupMenu(PopupMenuProcess);

    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@90"_s);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { nullptr, ButtonCancel });
    stackVertically(this, { StringGridProcess, Panel1 }, StringGridProcess);

    // The window is modeless: closing hides it and the grid keeps its content.
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormProcess::ButtonCancelClick);
    connect(ProcStop, &QAction::triggered, this, &TFormProcess::ProcStopClick);
    // F5 and the popup item are the administrator's own command: a refused request is said so.
    connect(Refresh, &QAction::triggered, this, [this] {
        if (LoadProcessList() == OpResult::Busy)
            Dialogs::busyMessage();
    });
    connect(PopupMenuProcess, &QMenu::aboutToShow, this, &TFormProcess::PopupMenuProcessPopup);

    FormCreate();
}

void TFormProcess::FormCreate()
{
    TranslateAndRefont(this);

    m_titles = QStringList{ u"№"_s, u"IP адрес"_s, u"Имя"_s, u"Идентификатор"_s, u"АРМ"_s, u"Время запуска"_s,
        u"Выполняемая команда"_s, u"Номер команды"_s, u"ID процесса"_s, u"Состояние"_s };
    StringGridProcess->setColCount(10);
    StringGridProcess->setRowCount(2);
    for (int c = 0; c < 10; ++c) {
        StringGridProcess->setCell(c, 0, m_titles.at(c));
        StringGridProcess->setColWidth(c, kWidths[c]);
    }

    // Row 1 is the server itself; until the first list arrives it shows this workstation.
    const QStringList placeholder{ u"*"_s, u"Local IP address"_s, u"Сервер ТУЛВА"_s, u"*****"_s, u"*****"_s,
        QDateTime::currentDateTime().toString(u"dd.MM.yyyy hh:mm:ss"_s), u"*****"_s, u"*****"_s,
        QString::number(QCoreApplication::applicationPid()), u"Активный"_s };
    for (int c = 0; c < 10; ++c)
        StringGridProcess->setCell(c, 1, placeholder.at(c));
}

int TFormProcess::LoadProcessList()
{
    const auto result = WaitForm->GetProcessList(AnswerList);
    if (result != OpResult::Accepted || !returnCodeOk(AnswerList))
        return result;
    const ProcessTable table = parseProcessList(AnswerList);

    // The process under the administrator's selection, to find again after the rebuild: rows
    // move as processes come and go, and a stop must hit the process that was chosen.
    const int oldRow = StringGridProcess->row();
    const bool hadCurrent = StringGridProcess->currentIndex().isValid();
    const QString number = StringGridProcess->cell(ProcessColumn::Number, oldRow);
    const QString clientId = StringGridProcess->cell(ProcessColumn::ClientId, oldRow);

    StringGridModel *grid = StringGridProcess->gridModel();
    const bool colsChange = grid->gridColCount() != table.colCount;
    StringGridProcess->beginUpdate();
    grid->setGridRowCount(2);
    grid->setGridRowCount(int(table.rows.size()) + 1);
    grid->setGridColCount(table.colCount);
    // A narrower list drops columns; their titles come back with the next full one.
    for (int c = 0; c < table.colCount && c < m_titles.size(); ++c)
        grid->setCell(c, 0, m_titles.at(c));
    for (int r = 0; r < table.rows.size(); ++r) {
        const QStringList &cells = table.rows.at(r);
        for (int c = 0; c < cells.size(); ++c)
            grid->setCell(c, r + 1, cells.at(c));
    }
    StringGridProcess->endUpdate();
    if (colsChange) {
        for (int c = 0; c < table.colCount && c < ProcessColumn::Count; ++c)
            StringGridProcess->setColWidth(c, kWidths[c]);
    }

    if (!hadCurrent) {
        StringGridProcess->selectionModel()->clear();
        return result;
    }
    if (oldRow <= 1)
        return result; // the server's own row stays current
    const auto cellOf = [this](int col, int row) { return StringGridProcess->cell(col, row); };
    const int newRow = rowOfProcess(StringGridProcess->rowCount(), cellOf, number, clientId);
    if (newRow > 1)
        StringGridProcess->setRow(newRow);
    else
        StringGridProcess->selectionModel()->clear();
    return result;
}

int TFormProcess::FindOwnActiveProcess(const QString &name) const
{
    const auto cellOf = [this](int col, int row) { return StringGridProcess->cell(col, row); };
    return findOwnActiveProcess(StringGridProcess->rowCount(), cellOf, WaitForm->clientId(), name);
}

void TFormProcess::ProcStopClick()
{
    // Row 1 is the server itself and never offered for stopping.
    const int row = StringGridProcess->row();
    if (row <= 1 || !StringGridProcess->currentIndex().isValid())
        return;
    const QString code = ProcessCommandCode(StringGridProcess->cell(ProcessColumn::Name, row));
    const QString clientId = StringGridProcess->cell(ProcessColumn::ClientId, row);
    const QString number = StringGridProcess->cell(ProcessColumn::Number, row);
    const ChangeCheck::Attempts attempts(*WaitForm->engine());
    const auto result = WaitForm->StopProcess(clientId, code, number, AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    if (result == OpResult::Accepted && returnCodeOk(AnswerList)) {
        LoadProcessList();
    } else if (attempts.uncertain(result, returnCodeOk(AnswerList))) {
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s,
            ChangeCheck::processStopped(*WaitForm->engine(), number, clientId).text);
        LoadProcessList();
    }
}

void TFormProcess::RefreshClick()
{
    LoadProcessList();
}

void TFormProcess::PopupMenuProcessPopup()
{
    ProcStop->setEnabled(StringGridProcess->currentIndex().isValid() && StringGridProcess->row() > 1);
}

void TFormProcess::ButtonCancelClick()
{
    // Modeless: closing hides the window and the grid keeps its content.
    reject();
}

void TWAMainForm::ServerProcessListItemClick()
{
    if (FormProcess->LoadProcessList() == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    FormProcess->show();
    FormProcess->raise();
    FormProcess->activateWindow();
}
