#include "Wamain.h"

#include "Application.h"
#include "Autoask.h"
#include "Dialogs.h"
#include "FormUtil.h"
#include "Forms.h"
#include "Globals.h"
#include "GridFeatures.h"
#include "Help.h"
#include "JournalForm.h"
#include "Messages.h"
#include "StringGrid.h"
#include "TTimer.h"
#include "Translate.h"
#include "connect.h"
#include "database/Jobs.h"
#include "database/Opendb.h"
#include "exchange/Waitunit.h"
#include "server/ServerMonitor.h"
#include "server/clients.h"
#include "server/main.h"
#include "server/process.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QSpinBox>
#include <QStatusTipEvent>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

// Hint of a control as the status bar shows it: its own, else the first parent's; the part after
// "|" when the hint has a short and a long form.
QString longHintOf(const QWidget *w)
{
    for (; w; w = w->parentWidget()) {
        const QString hint = w->toolTip();
        if (!hint.isEmpty()) {
            const qsizetype bar = hint.indexOf(u'|');
            return bar >= 0 ? hint.mid(bar + 1) : hint;
        }
        if (w->isWindow())
            break;
    }
    return {};
}

QString formatHoursMinutes(qint64 msecs)
{
    const qint64 minutes = (msecs / 60000) % (24 * 60);
    return QTime(int(minutes / 60), int(minutes % 60)).toString(u"hh:mm"_s);
}

QFont arialPixels(int pixels, bool bold = false)
{
    QFont f(u"Arial"_s);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

} // namespace

TToyShape::TToyShape(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TToyShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::red);
    p.drawEllipse(rect());
}

TWAMainForm::TWAMainForm(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(u"WAMainForm"_s);
    setWindowTitle(u"@388"_s);
    resize(593, 311);
    setFormPosition(this, FormPosition::ScreenCenter);

    // Menus, in the order of the menu bar.
    QMenu *database = addTopMenu("DataBaseItem", u"@389"_s, 2000);
    DataBaseItem = database->menuAction();
    OpenDBItem = addItem(database, "OpenDBItem", u"@393"_s, 2100);
    NewDBItem = addItem(database, "NewDBItem", u"@394"_s, 2200);
    ClearDBItem = addItem(database, "ClearDBItem", u"@395"_s, 2300);
    DeleteDBItem = addItem(database, "DeleteDBItem", u"@273"_s, 2400);
    database->addSeparator();
    ImportDBItem = addItem(database, "ImportDBItem", u"@244"_s, 2500);
    ExportDBItem = addItem(database, "ExportDBItem", u"@238"_s, 2600);
    CopyDBItem = addItem(database, "CopyDBItem", u"@397"_s, 2700);
    for (QAction *hidden : { ImportDBItem, ExportDBItem, CopyDBItem }) {
        hidden->setVisible(false);
        hidden->setEnabled(false);
    }
    database->addSeparator();
    QMenu *unlock = database->addMenu(u"@398"_s);
    UnlockItem = unlock->menuAction();
    UnlockItem->setObjectName(u"UnlockItem"_s);
    UnlockItem->setProperty("helpContext", 2800);
    m_items.insert(UnlockItem->objectName(), UnlockItem);
    UnlockDBItem = addItem(unlock, "UnlockDBItem", u"@399"_s);
    UnlockrecordItem = addItem(unlock, "UnlockrecordItem", u"@400"_s);
    UnLockListItem = addItem(unlock, "UnLockListItem", u"@926"_s);
    database->addSeparator();
    RestatItem = addItem(database, "RestatItem", u"@401"_s, 2900);
    database->addSeparator();
    ExitItem = addItem(database, "ExitItem", u"@90"_s);

    QMenu *server = addTopMenu("ServerItem", u"@1354"_s, 7000);
    ServerItem = server->menuAction();
    Version1 = addItem(server, "Version1", u"Version"_s, 7100);
    ServerRestartItem = addItem(server, "ServerRestartItem", u"@1355"_s, 7200);
    server->addSeparator();
    ServerClientListItem = addItem(server, "ServerClientListItem", u"@1356"_s, 7300);
    ServerCurrentClientListItem = addItem(server, "ServerCurrentClientListItem", u"@1357"_s, 7400);
    ServerProcessListItem = addItem(server, "ServerProcessListItem", u"@1358"_s, 7500);
    N16 = addItem(server, "N16", u"@1359"_s);
    N16->setVisible(false);

    QMenu *actual = addTopMenu("ActualItem", u"@390"_s, 3000);
    ActualItem = actual->menuAction();
    ActualIfItem = addItem(actual, "ActualIfItem", u"@402"_s, 3100);
    LoadIfItem = addItem(actual, "LoadIfItem", u"@403"_s, 3200);
    ReorgIfItem = addItem(actual, "ReorgIfItem", u"@408"_s, 3300);
    actual->addSeparator();
    ReorgMfItem = addItem(actual, "ReorgMfItem", u"@409"_s, 3400);

    QMenu *service = addTopMenu("ServiceItem", u"@391"_s, 4000);
    ServiceItem = service->menuAction();
    DeletedListItem = addItem(service, "DeletedListItem", u"@412"_s, 4300);
    UnactualListItem = addItem(service, "UnactualListItem", u"@413"_s, 4400);
    LockedListItem = addItem(service, "LockedListItem", u"@843"_s, 4500);
    RunBatchItem = addItem(service, "RunBatchItem", u"@927"_s);
    RunBatchItem->setVisible(false);
    RunBatchItem->setEnabled(false);
    service->addSeparator();
    // Not a profile item: the journal is the administrator's own, always at hand.
    JournalItem = service->addAction(u"Журнал запросов"_s);
    JournalItem->setObjectName(u"JournalItem"_s);
    JournalItem->setShortcut(Qt::CTRL | Qt::Key_J);
    JournalItem->setShortcutContext(Qt::ApplicationShortcut);
    addAction(JournalItem);
    MonitorItem = service->addAction(u"Монитор сервера"_s);
    MonitorItem->setObjectName(u"MonitorItem"_s);
    MonitorItem->setProperty("helpContext", 4600);
    JobsItem = service->addAction(u"Задания"_s);
    JobsItem->setObjectName(u"JobsItem"_s);
    JobsItem->setProperty("helpContext", 4700);

    QMenu *options = addTopMenu("OptionItem", u"@392"_s, 5000);
    OptionItem = options->menuAction();
    AutoaskingItem = addItem(options, "AutoaskingItem", u"@418"_s, 5100);

    HelpItem = menuBar()->addAction(u"@58"_s);
    HelpItem->setObjectName(u"HelpItem"_s);
    HelpItem->setProperty("helpContext", 6000);
    m_items.insert(HelpItem->objectName(), HelpItem);

    connect(OpenDBItem, &QAction::triggered, this, &TWAMainForm::OpenDBItemClick);
    connect(JournalItem, &QAction::triggered, this, &TWAMainForm::JournalItemClick);
    connect(MonitorItem, &QAction::triggered, this, &TWAMainForm::MonitorItemClick);
    connect(JobsItem, &QAction::triggered, this, &TWAMainForm::JobsItemClick);
    connect(NewDBItem, &QAction::triggered, this, &TWAMainForm::NewDBItemClick);
    connect(DeleteDBItem, &QAction::triggered, this, &TWAMainForm::DeleteDBItemClick);
    connect(UnlockDBItem, &QAction::triggered, this, &TWAMainForm::UnlockDBItemClick);
    connect(UnlockrecordItem, &QAction::triggered, this, &TWAMainForm::UnlockrecordItemClick);
    connect(UnLockListItem, &QAction::triggered, this, &TWAMainForm::UnLockListItemClick);
    connect(RestatItem, &QAction::triggered, this, &TWAMainForm::RestatItemClick);
    connect(ExitItem, &QAction::triggered, this, &TWAMainForm::ExitItemClick);
    connect(Version1, &QAction::triggered, this, &TWAMainForm::Version1Click);
    connect(ServerRestartItem, &QAction::triggered, this, &TWAMainForm::ServerRestartItemClick);
    connect(AutoaskingItem, &QAction::triggered, this, &TWAMainForm::AutoaskingItemClick);
    connect(HelpItem, &QAction::triggered, this, &TWAMainForm::HelpItemClick);
    connect(ClearDBItem, &QAction::triggered, this, &TWAMainForm::ClearDBItemClick);
    connect(ActualIfItem, &QAction::triggered, this, &TWAMainForm::ActualIfItemClick);
    connect(LoadIfItem, &QAction::triggered, this, &TWAMainForm::LoadIfItemClick);
    connect(ReorgIfItem, &QAction::triggered, this, &TWAMainForm::ReorgIfItemClick);
    connect(ReorgMfItem, &QAction::triggered, this, &TWAMainForm::ReorgMfItemClick);
    connect(DeletedListItem, &QAction::triggered, this, &TWAMainForm::DeletedListItemClick);
    connect(UnactualListItem, &QAction::triggered, this, &TWAMainForm::UnactualListItemClick);
    connect(LockedListItem, &QAction::triggered, this, &TWAMainForm::LockedListItemClick);
    connect(ServerProcessListItem, &QAction::triggered, this, &TWAMainForm::ServerProcessListItemClick);
    connect(ServerClientListItem, &QAction::triggered, this, &TWAMainForm::ServerClientListItemClick);
    connect(ServerCurrentClientListItem, &QAction::triggered, this,
        &TWAMainForm::ServerCurrentClientListItemClick);

    // Statistics grid above the status bar.
    auto *central = new QWidget(this);
    central->setObjectName(u"CentralPanel"_s);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    StatisticGrid = new TStringGrid(central);
    StatisticGrid->setObjectName(u"StatisticGrid"_s);
    StatisticGrid->setColCount(2);
    StatisticGrid->setRowCount(StatisticRows);
    StatisticGrid->setColWidth(0, 310);
    StatisticGrid->setColWidth(1, 254);
    StatisticGrid->setDefaultRowHeight(18);
    StatisticGrid->setRowSizing(true);
    StatisticGrid->setColSizing(true);
    StatisticGrid->setGridColor(QColor(235, 234, 214));
    StatisticGrid->setFont(arialPixels(13));
    StatisticGrid->setProperty("helpContext", 1100);
    // A read-only panel of values: no highlighted cell.
    StatisticGrid->setSelectionMode(QAbstractItemView::NoSelection);
    StatisticGrid->clearSelection();
    StatisticGrid->setDrawCellHandler(
        [this](QPainter *p, int c, int r, const QRect &rect) { StatisticGridDrawCell(p, c, r, rect); });
    column->addWidget(StatisticGrid, 1);

    StatusPanel = makePanel(central, u"StatusPanel"_s);
    StatusPanel->setFixedHeight(18);
    StatusPanel->setFont(arialPixels(12));
    auto *status = new QHBoxLayout(StatusPanel);
    status->setContentsMargins(0, 0, 0, 0);
    status->setSpacing(0);

    HintPanel = new QLabel(StatusPanel);
    HintPanel->setObjectName(u"HintPanel"_s);
    setControlKind(HintPanel, u"TPanel"_s);
    HintPanel->setFixedWidth(368);
    HintPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    HintPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    HintPanel->setFont(arialPixels(11));
    HintPanel->setIndent(3);
    status->addWidget(HintPanel);

    IndicatorPanel = makePanel(StatusPanel, u"IndicatorPanel"_s);
    auto *indicator = new QHBoxLayout(IndicatorPanel);
    indicator->setContentsMargins(2, 2, 2, 2);
    IndicatorGauge = new QProgressBar(IndicatorPanel);
    IndicatorGauge->setObjectName(u"IndicatorGauge"_s);
    IndicatorGauge->setRange(0, 100);
    IndicatorGauge->setValue(0);
    IndicatorGauge->setTextVisible(false);
    IndicatorGauge->setStyleSheet(
        u"QProgressBar { background: palette(button); border: 1px solid palette(mid); }"
        " QProgressBar::chunk { background: blue; }"_s);
    indicator->addWidget(IndicatorGauge);
    status->addWidget(IndicatorPanel, 1);

    ToyPanel = makePanel(StatusPanel, u"ToyPanel"_s);
    ToyPanel->setFixedSize(68, 18);
    ToyPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ToyShape = new TToyShape(ToyPanel);
    ToyShape->setObjectName(u"ToyShape"_s);
    ToyShape->setGeometry(2, 9, 1, 1);
    TimeLabel = new QLabel(ToyPanel);
    TimeLabel->setObjectName(u"TimeLabel"_s);
    TimeLabel->setFont(arialPixels(11));
    TimeLabel->setAttribute(Qt::WA_TranslucentBackground);
    TimeLabel->move(2, 2);
    TimeLabel->resize(36, 14);
    TimeStartLabel = new QLabel(ToyPanel);
    TimeStartLabel->setObjectName(u"TimeStartLabel"_s);
    TimeStartLabel->setFont(arialPixels(11));
    TimeStartLabel->setAttribute(Qt::WA_TranslucentBackground);
    TimeStartLabel->move(39, 2);
    TimeStartLabel->resize(29, 14);
    status->addWidget(ToyPanel);
    column->addWidget(StatusPanel);
    setCentralWidget(central);
    // The grid is the window's one control: it has the focus (and its help context) from the start.
    central->setFocusProxy(StatisticGrid);
    StatisticGrid->setFocus();

    ToyTimer = new QTimer(this);
    ToyTimer->setObjectName(u"ToyTimer"_s);
    ToyTimer->setInterval(100);
    connect(ToyTimer, &QTimer::timeout, this, &TWAMainForm::ToyTimerTimer);
    TimerStart = new QTimer(this);
    TimerStart->setObjectName(u"TimerStart"_s);
    TimerStart->setInterval(1000);
    connect(TimerStart, &QTimer::timeout, this, &TWAMainForm::TimerStartTimer);
    AutoaskTimer = new TTimer(this);
    AutoaskTimer->setObjectName(u"AutoaskTimer"_s);
    connect(AutoaskTimer, &TTimer::timeout, this, &TWAMainForm::AutoaskTimerTimer);

    FormCreate();
    ToyTimer->start();
    TimerStart->start();
}

TWAMainForm::~TWAMainForm()
{
    qApp->removeEventFilter(this);
    FormDestroy();
}

QMenu *TWAMainForm::addTopMenu(const char *name, const QString &caption, int helpContext)
{
    QMenu *menu = menuBar()->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name) + u"Menu"_s);
    QAction *item = menu->menuAction();
    item->setObjectName(QString::fromLatin1(name));
    if (helpContext)
        item->setProperty("helpContext", helpContext);
    m_items.insert(item->objectName(), item);
    return menu;
}

QAction *TWAMainForm::addItem(QMenu *menu, const char *name, const QString &caption, int helpContext)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    if (helpContext)
        item->setProperty("helpContext", helpContext);
    m_items.insert(item->objectName(), item);
    return item;
}

QAction *TWAMainForm::menuItem(const QString &name) const
{
    return m_items.value(name);
}

QString TWAMainForm::hintText() const
{
    return HintPanel->text();
}

void TWAMainForm::setHintText(const QString &text)
{
    m_hint = text;
    const QString shown = text.isEmpty() ? m_openStatus : text;
    if (HintPanel->text() != shown)
        HintPanel->setText(shown);
}

void TWAMainForm::showOpenStatus(const QString &text)
{
    m_openStatus = text;
    setHintText(m_hint);
}

void TWAMainForm::FormCreate()
{
    TranslateAndRefont(this);
    fitClockPanel();
    m_caption = windowTitle();
    m_sessionTitle.clear();
    setApplicationHelpFile(
        currentDirFile(LocalIni.readString(LocalIniSection, u"HLPFILE"_s, u"tulvaa.hlp"_s)));
    AnswerList.clear();
    clearMfnLists();

    StatisticGrid->setCell(0, 0, Msg(460));
    StatisticGrid->setCell(1, 0, Msg(112));
    static const int titles[] = { 181, 461, 462, 463, 842, 465, 466, 467 };
    for (int i = 0; i < 8; ++i)
        StatisticGrid->setCell(0, i + 1, Msg(titles[i]));
    // The rows after the titled ones never hold a value: the scroll bar and the wheel serve only
    // the rows that do.
    for (int row = 1 + int(std::size(titles)); row < StatisticRows; ++row)
        StatisticGrid->setRowHidden(row - 1, true);

    // The application's hint text goes to the status bar; the help key works in every window.
    qApp->installEventFilter(this);

    StartTime = QTime::currentTime().msecsSinceStartOfDay() / 86400000.0;
    m_running.start();
}

void TWAMainForm::fitClockPanel()
{
    // The clock and the time running in the face the settings give: a face wider than Arial cut
    // them to "00:0" in the panel's fixed width.
    const int text = TimeLabel->fontMetrics().horizontalAdvance(u"00:00"_s) + 2;
    TimeLabel->resize(qMax(36, text), 14);
    TimeStartLabel->move(TimeLabel->x() + TimeLabel->width() + 1, 2);
    TimeStartLabel->resize(qMax(29, TimeStartLabel->fontMetrics().horizontalAdvance(u"00:00"_s) + 2), 14);
    ToyPanel->setFixedSize(qMax(68, TimeStartLabel->x() + TimeStartLabel->width()), 18);
}

void TWAMainForm::setSessionTitle(const QString &text)
{
    m_sessionTitle = text;
    composeTitle();
}

void TWAMainForm::composeTitle()
{
    // A running job comes first: a minimized program shows it in the task bar.
    QStringList parts;
    if (!m_jobProgress.isEmpty())
        parts.append(m_jobProgress);
    parts.append(m_caption);
    if (!m_sessionTitle.isEmpty())
        parts.append(m_sessionTitle);
    setWindowTitle(parts.join(u" — "_s));
}

bool TWAMainForm::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        if (auto *w = qobject_cast<QWidget *>(watched))
            setHintText(longHintOf(w));
        break;
    case QEvent::StatusTip:
        setHintText(static_cast<QStatusTipEvent *>(event)->tip());
        break;
    case QEvent::KeyPress:
        // Only the widget delivery counts: the same key passes through its window handle first.
        if (watched->isWidgetType() && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1
            && static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
            ShowHelpContext(currentHelpContext(watched));
            return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TWAMainForm::StatisticGridDrawCell(QPainter *painter, int col, int row, const QRect &rect)
{
    if (row == 0) {
        painter->fillRect(rect, QColor(128, 128, 128));
        QFont bold = StatisticGrid->font();
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(Qt::white);
        painter->drawText(
            rect.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, StatisticGrid->cell(col, row));
    } else if (row == 1 && col == 1) {
        // The current database name, drawn over the plain text in red bold.
        painter->fillRect(rect.adjusted(0, 0, -1, -1), StatisticGrid->palette().base());
        QFont bold = StatisticGrid->font();
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(Qt::red);
        painter->drawText(
            rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, StatisticGrid->cell(col, row));
    }
}

void TWAMainForm::TimerStartTimer()
{
    TimerStart->stop();
    // Closed before the login: nothing is asked and nothing is sent.
    if (m_closed)
        return;
    const int result = Dialogs::execModal(FormConnect);
    if (result != QDialog::Accepted || m_closed) {
        ApplicationTerminate();
        return;
    }
    OpenDbForm->ReloadDatabaseList(TOpenDbForm::ListRead::AtStartup);
    OpenDbForm->SelectStartupDatabase();
    OpenDbForm->OpenSelectedDatabase();
    if (AutoaskingItem->isEnabled())
        AutoaskTimer->setEnabled(true);
}

void TWAMainForm::ToyTimerTimer()
{
    const QString now = QTime::currentTime().toString(u"hh:mm"_s);
    if (TimeLabel->text() != now)
        TimeLabel->setText(now);
    // Elapsed time from a monotonic clock: time-of-day arithmetic would go negative at midnight.
    const QString elapsed = formatHoursMinutes(m_running.elapsed());
    if (TimeStartLabel->text() != elapsed)
        TimeStartLabel->setText(elapsed);

    QRect shape = ToyShape->geometry();
    shape.moveLeft(shape.left() + 1);
    if (shape.left() > ToyPanel->width())
        shape.moveLeft(2);
    shape.setWidth(shape.width() + m_toyStep);
    shape.setHeight(shape.height() + m_toyStep);
    if (shape.height() > ToyPanel->height() - 10)
        m_toyStep = -1;
    else if (shape.height() < 2)
        m_toyStep = 1;
    shape.moveTop((ToyPanel->height() - shape.height()) / 2);
    ToyShape->setGeometry(shape);
}

void TWAMainForm::AutoaskTimerTimer()
{
    // A request under way: say nothing and try at the next tick.
    if (WaitForm && (WaitForm->isWaitVisible() || WaitForm->isBusy()))
        return;
    AutoaskTimer->setEnabled(false);
    {
        // The refresh serves this window, not whatever dialog happens to be active.
        WaitServing serving(WaitForm, this);
        OpenDbForm->RefreshCurrentDatabase(TOpenDbForm::OpenBy::Timer);
    }
    if (!m_closed)
        AutoaskTimer->setEnabled(true);
    if (!m_closed && FormProcess && FormProcess->isVisible()) {
        WaitServing serving(WaitForm, FormProcess);
        FormProcess->RefreshClick();
    }
    // The registered clients, unless account edits wait to be saved.
    if (!m_closed && FormCLient && !FormCLient->hasUnsavedChanges()) {
        WaitServing serving(WaitForm, FormRegClients);
        FormRegClients->LoadRegisteredClients(TFormRegClients::RequestedBy::Timer);
    }
}

void TWAMainForm::RestatItemClick()
{
    OpenDbForm->RefreshCurrentDatabase(TOpenDbForm::OpenBy::Command);
}

void TWAMainForm::OpenDBItemClick()
{
    Dialogs::execModal(OpenDbForm);
}

void TWAMainForm::JournalItemClick()
{
    if (TJournalForm *journal = journalForm()) {
        journal->show();
        journal->raise();
        journal->activateWindow();
    }
}

void TWAMainForm::MonitorItemClick()
{
    TServerMonitorForm *monitor = serverMonitorForm();
    monitor->show();
    monitor->raise();
    monitor->activateWindow();
}

void TWAMainForm::JobsItemClick()
{
    TJobsForm *jobs = jobsForm();
    jobs->show();
    jobs->raise();
    jobs->activateWindow();
}

void TWAMainForm::setJobProgress(const QString &progress)
{
    if (progress == m_jobProgress)
        return;
    m_jobProgress = progress;
    composeTitle();
}

void TWAMainForm::AutoaskingItemClick()
{
    AutoaskForm->AutoaskSpinEdit->setValue(AutoaskTimer->interval() / 1000);
    if (Dialogs::execModal(AutoaskForm) == QDialog::Accepted)
        AutoaskTimer->setInterval(AutoaskForm->AutoaskSpinEdit->value() * 1000);
}

void TWAMainForm::Version1Click()
{
    const auto result = WaitForm->GetServerVersion(AnswerList);
    if (result == OpResult::Busy) {
        Dialogs::busyMessage();
        return;
    }
    // Given up with "Прервать": the server has said nothing about the command, so claiming it
    // does not support it would be wrong.
    if (result == OpResult::Failed && WaitForm->pressCounter() > 1)
        return;
    if (result != OpResult::Accepted || AnswerList.size() < 5) {
        Dialogs::message(Dialogs::Icon::None, u"Attention!"_s, u"The command not supported on server!"_s);
        return;
    }
    Dialogs::message(Dialogs::Icon::None, AnswerList.at(1),
        u"Version="_s + AnswerList.at(2) + u"    Clients Number="_s + AnswerList.at(3)
            + u"    Max Clients Number="_s + AnswerList.at(4));
}

void TWAMainForm::ServerRestartItemClick()
{
    const auto result = WaitForm->RestartServer(AnswerList);
    if (result == OpResult::Busy)
        Dialogs::busyMessage();
    else if (result == OpResult::Accepted && returnCodeOk(AnswerList))
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, u"Сервер перестартован успешно."_s);
}

void TWAMainForm::HelpItemClick()
{
    ShowHelpContext(0);
}

void TWAMainForm::ExitItemClick()
{
    close();
}

bool TWAMainForm::FormCloseQuery()
{
    // Account edits that were never saved are not dropped without a question.
    if (!ApplicationTerminating() && FormCLient && !FormCLient->confirmClose())
        return false;
    AutoaskTimer->setEnabled(false);
    TimerStart->stop();
    // Only a client that has talked to the server is registered there. The unregistration asks
    // nothing and gives up by itself: closing never traps the administrator.
    if (WaitForm && WaitForm->sendSockPort() != 0) {
        TulvaExchange *engine = WaitForm->engine();
        engine->TimerNoOperation->stop();
        engine->setClosing(true);
        WaitForm->UnregisterClient(UserName, AnswerList);
        engine->TimerNoOperation->stop();
    }
    // The tunnel carried the unregistration; now it goes.
    if (FormConnect)
        FormConnect->endTunnel();
    return true;
}

void TWAMainForm::FormClose()
{
    AnswerList.clear();
    clearMfnLists();
}

void TWAMainForm::FormDestroy()
{
    LocalIni.clear();
    ProfileIni.clear();
    MessageList.clear();
}

void TWAMainForm::closeEvent(QCloseEvent *event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (WaitForm && WaitForm->isBusy()) {
        // A request is under way: end it first (as a third press would, without the question),
        // then close again, which unregisters.
        event->ignore();
        if (!m_closeAfterExchange) {
            m_closeAfterExchange = true;
            connect(
                WaitForm->engine(), &TulvaExchange::idle, this,
                [this] {
                    QTimer::singleShot(0, this, [this] {
                        if (m_closeAfterExchange && !m_closed)
                            close();
                    });
                },
                Qt::SingleShotConnection);
        }
        WaitForm->engine()->abandonExchange();
        return;
    }
    m_closeAfterExchange = false;
    const bool beforeLogin = TimerStart->isActive();
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    m_closed = true;
    // The client is unregistered now: a modeless window left open (registered clients,
    // processes, journal, help) would keep the program running without a session.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window != this && window->isVisible())
            window->hide();
    }
    if (beforeLogin)
        ApplicationTerminate(); // the splash window alone would keep the program running
    else if (ApplicationTerminating())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    FormClose();
    event->accept();
}
