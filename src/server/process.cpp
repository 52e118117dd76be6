#include "process.h"

#include "shell/FormUtil.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"

#include <QAction>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QDateTime>
#include <QFrame>
#include <QMenu>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

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
    Panel1 = makeBottomPanel(this, u"Panel1"_s, {nullptr, ButtonCancel});
    stackVertically(this, {StringGridProcess, Panel1}, StringGridProcess);

    // The window is modeless: closing hides it and the grid keeps its content.
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TFormProcess::FormCreate()
{
    TranslateAndRefont(this);

    static const QStringList titles{ u"№"_s, u"IP адрес"_s, u"Имя"_s, u"Идентификатор"_s, u"АРМ"_s,
        u"Время запуска"_s, u"Выполняемая команда"_s, u"Номер команды"_s, u"ID процесса"_s, u"Состояние"_s };
    static const int widths[] = { 20, 80, 50, 100, 90, 100, 140, 100, 80, 80 };
    StringGridProcess->setColCount(10);
    StringGridProcess->setRowCount(2);
    for (int c = 0; c < 10; ++c) {
        StringGridProcess->setCell(c, 0, titles.at(c));
        StringGridProcess->setColWidth(c, widths[c]);
    }

    // Row 1 is the server itself; until the first list arrives it shows this workstation.
    const QStringList placeholder{ u"*"_s, u"Local IP address"_s, u"Сервер ТУЛВА"_s, u"*****"_s, u"*****"_s,
        QDateTime::currentDateTime().toString(u"dd.MM.yyyy hh:mm:ss"_s), u"*****"_s, u"*****"_s,
        QString::number(QCoreApplication::applicationPid()), u"Активный"_s };
    for (int c = 0; c < 10; ++c)
        StringGridProcess->setCell(c, 1, placeholder.at(c));
}
