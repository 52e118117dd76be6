#include "loadinv.h"

#include "database/ChangeCheck.h"
#include "database/Jobs.h"
#include "database/Opendb.h"
#include "exchange/OpResult.h"
#include "exchange/Waitunit.h"
#include "server/process.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"
#include "shell/Wamain.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

TLoadInvForm::TLoadInvForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"LoadInvForm"_s);
    setProperty("helpContext", 7600);
    setFixedSize(325, 153);
    setFormPosition(this, FormPosition::ScreenCenter);

    Label0 = new QLabel(this);
    Label0->setObjectName(u"Label0"_s);
    Label0->setGeometry(12, 12, 148, 16);

    Label1 = new QLabel(this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label1->setGeometry(165, 12, 148, 16);

    ElapsedLabel = new QLabel(this);
    ElapsedLabel->setObjectName(u"ElapsedLabel"_s);
    ElapsedLabel->setAlignment(Qt::AlignCenter);
    ElapsedLabel->setGeometry(12, 66, 301, 18);

    LoadProgressBar = new QProgressBar(this);
    LoadProgressBar->setObjectName(u"LoadProgressBar"_s);
    LoadProgressBar->setRange(0, 100);
    LoadProgressBar->setValue(0);
    LoadProgressBar->setTextVisible(false);
    LoadProgressBar->setGeometry(12, 40, 301, 20);

    Button1 = makeButton(this, u"Button1"_s, u"@136"_s);
    Button1->setGeometry(105, 92, 115, 27);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TLoadInvForm::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &TLoadInvForm::Button1Click);
    onEveryShowing(this, [this] { FormShow(); });

    FormCreate();
}

void TLoadInvForm::FormCreate()
{
    TranslateAndRefont(this);
    // The translated caption ("Остановить процесс") is wider than the button of the definition.
    const int width = qMax(115, Button1->sizeHint().width() + 16);
    Button1->setGeometry((325 - width) / 2, 92, width, 27);
    Timer1->stop();
}

bool TLoadInvForm::kindOf(int watchKind, Kind *kind)
{
    switch (watchKind) {
    case CreateDict:
        *kind = { u"Создание словаря заново"_s, u"TULVA_CREATE_DICT"_s, 10 };
        return true;
    case ReloadDict:
        *kind = { u"Реорганизация файла словаря"_s, u"TULVA_RELOAD_DICT"_s, 5 };
        return true;
    case ReloadMaster:
        *kind = { u"Реорганизация файла документов"_s, u"TULVA_RELOAD_MASTER"_s, 5 };
        return true;
    case DbNew:
        *kind = { u"Создание новой базы данных"_s, u"TULVA_DB_NEW"_s, 3 };
        return true;
    case DbDelete:
        *kind = { u"Удаление базы данных"_s, u"TULVA_DB_DELETE"_s, 3 };
        return true;
    default:
        return false;
    }
}

void TLoadInvForm::FormShow()
{
    Label0->clear();
    Label1->clear();
    Timer1->start();
    LoadProgressBar->setValue(0);
    WatchResult = 0;
    m_elapsed.start();
    m_endedByItself = false;
    m_job = jobList()->begin(JobKind(WatchKind), WatchDatabase, QDateTime::currentDateTime());
    m_stopDone = false;
    // A job the server takes no stop for (a deletion) offers no button that would only freeze the
    // watch: it is followed to its end, or left with the close box.
    Kind kind;
    const bool stoppable = kindOf(WatchKind, &kind) && !ProcessCommandCode(kind.processName).isEmpty();
    Button1->setEnabled(stoppable);
    Button1->setToolTip(stoppable ? QString() : kind.caption + u" остановить нельзя"_s);
    showElapsed();
}

void TLoadInvForm::showElapsed()
{
    const QString elapsed = JobList::durationText(m_elapsed.elapsed());
    ElapsedLabel->setText(u"Прошло "_s + elapsed);
    // A minimized program shows in the task bar how long its job runs.
    if (WAMainForm) {
        QString job = JobList::jobTitle(JobKind(WatchKind));
        if (!WatchDatabase.isEmpty())
            job += u' ' + WatchDatabase;
        WAMainForm->setJobProgress(u"["_s + elapsed + u"] "_s + job);
    }
}

void TLoadInvForm::Timer1Timer()
{
    Kind kind;
    // A tick that comes while this one waits for the server is not counted twice.
    if (!kindOf(WatchKind, &kind) || m_inTick)
        return;
    m_inTick = true;
    setWindowTitle(kind.caption);
    Label0->clear();
    Label1->clear();
    const int range = LoadProgressBar->maximum() - LoadProgressBar->minimum();
    int position = LoadProgressBar->value() + LoadProgressStep;
    if (position > LoadProgressBar->maximum())
        position = LoadProgressBar->minimum() + (position - LoadProgressBar->minimum()) % qMax(1, range);
    LoadProgressBar->setValue(position);
    showElapsed();

    // Runs on for the whole run; wraps instead of overflowing.
    TickCounter = qint32(quint32(TickCounter) + 1u);
    if (TickCounter % kind.reloadPeriod == 0)
        FormProcess->LoadProcessList();
    // Searched on every tick against the grid as last loaded.
    if (isVisible() && Timer1->isActive() && FormProcess->FindOwnActiveProcess(kind.processName) == -1) {
        Timer1->stop();
        WatchResult = 0;
        m_endedByItself = true;
        close();
    }
    m_inTick = false;
}

void TLoadInvForm::Button1Click()
{
    Timer1->stop();
    WatchResult = StoppedByUser;
    Kind kind;
    if (!kindOf(WatchKind, &kind))
        return;
    const int row = FormProcess->FindOwnActiveProcess(kind.processName);
    TStringGrid *grid = FormProcess->StringGridProcess;
    const QString code = ProcessCommandCode(row > 0 ? grid->cell(ProcessColumn::Name, row) : QString());
    // Without a code the server cannot be asked (the process has just ended): the watch goes on,
    // and its next tick sees how things stand.
    if (code.isEmpty()) {
        WatchResult = 0;
        Timer1->start();
        return;
    }
    if (row > 0) {
        const QString clientId = grid->cell(ProcessColumn::ClientId, row);
        const QString number = grid->cell(ProcessColumn::Number, row);
        const ChangeCheck::Attempts attempts(*WaitForm->engine());
        const auto result = WaitForm->StopProcess(clientId, code, number, AnswerList);
        m_stopDone = result == OpResult::Accepted && returnCodeOk(AnswerList);
        if (m_stopDone) {
            FormProcess->RefreshClick();
        } else if (attempts.uncertain(result, returnCodeOk(AnswerList))) {
            const ChangeCheck::Finding finding
                = ChangeCheck::processStopped(*WaitForm->engine(), number, clientId);
            m_stopDone = finding.outcome == ChangeCheck::Outcome::Done;
            Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, finding.text);
            FormProcess->RefreshClick();
        }
    }
    OpenDbForm->OpenSelectedDatabase();
    close();
}

void TLoadInvForm::FormClose()
{
    Timer1->stop();
}

void TLoadInvForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    QDialog::closeEvent(event);
}

void TLoadInvForm::done(int)
{
    // However the window closes (the program, the close box, Esc), the result tells how the
    // watch ended.
    Timer1->stop();
    if (WAMainForm)
        WAMainForm->setJobProgress(QString());
    // Only a stop the server took ends the job; otherwise it may run on unwatched.
    JobOutcome outcome = JobOutcome::Unwatched;
    if (m_endedByItself)
        outcome = JobOutcome::Finished;
    else if (m_stopDone)
        outcome = JobOutcome::Stopped;
    if (jobList()->contains(m_job) && jobList()->entry(m_job).outcome == JobOutcome::Running) {
        jobList()->finish(m_job, outcome, QDateTime::currentDateTime());
        jobEnded(m_job);
    }
    QDialog::done(WatchResult >= 0 ? QDialog::Accepted : QDialog::Rejected);
}
