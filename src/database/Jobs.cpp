#include "Jobs.h"

#include "database/Maintenance.h"
#include "database/loadinv.h"
#include "shell/DesktopNotice.h"
#include "shell/FormUtil.h"
#include "shell/Forms.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"
#include "shell/Wamain.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>

using namespace Qt::Literals::StringLiterals;

namespace {
JobList *g_jobs = nullptr;
TJobsForm *g_jobsForm = nullptr;
DesktopNotifier *g_notifier = nullptr;
std::function<bool()> g_activeTest;
} // namespace

TJobsForm::TJobsForm(JobList *jobs, QWidget *parent)
    : QDialog(parent)
    , m_jobs(jobs)
{
    setObjectName(u"JobsForm"_s);
    setProperty("helpContext", 4700);
    setWindowTitle(u"Задания"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(520, 300);
    resize(840, 480);
    setFormPosition(this, FormPosition::MainFormCenter);

    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setObjectName(u"Splitter"_s);
    JobsGrid = new TStringGrid(Splitter);
    JobsGrid->setObjectName(u"JobsGrid"_s);
    JobsGrid->setRowSelect(true);
    JobsGrid->setColSizing(true);
    JobsGrid->setDefaultRowHeight(20);
    JobsGrid->useModel(jobs);
    MemoLog = new QPlainTextEdit(Splitter);
    MemoLog->setObjectName(u"MemoLog"_s);
    MemoLog->setReadOnly(true);
    MemoLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Splitter->addWidget(JobsGrid);
    Splitter->addWidget(MemoLog);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 2);

    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@90"_s);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { nullptr, ButtonCancel });
    stackVertically(this, { Splitter, Panel1 }, Splitter);

    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(JobsGrid, &TStringGrid::currentCellChanged, this, [this](int, int row) { showLogOf(row); });
    // A new job is chosen while nothing else is; the chosen job's log follows its changes.
    connect(jobs, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first) {
        if (!JobsGrid->currentIndex().isValid() || m_jobs->size() == 1) {
            JobsGrid->setRow(first + 1);
            showLogOf(JobsGrid->row());
        }
    });
    connect(jobs, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &topLeft) {
        if (JobsGrid->currentIndex().isValid() && JobsGrid->row() == topLeft.row() + 1)
            showLogOf(JobsGrid->row());
    });

    TranslateAndRefont(this);
    fitColumns();
    showNewestJob();
    // Opened again, the list shows the newest job, not the one chosen at an earlier opening.
    onEveryShowing(this, [this] { showNewestJob(); });
}

void TJobsForm::showNewestJob()
{
    if (m_jobs->size() > 0)
        JobsGrid->setRow(m_jobs->size());
    showLogOf(JobsGrid->row());
}

void TJobsForm::fitColumns()
{
    // Each column as wide as its title and its longest text in the font the settings give, so
    // that a face wider than Arial cuts nothing.
    static const int widths[] = { 190, 90, 130, 130, 90, 170 };
    QStringList jobs;
    for (JobKind kind : { JobKind::CreateDict, JobKind::ReloadDict, JobKind::ReloadMaster, JobKind::DbNew,
             JobKind::DbDelete })
        jobs.append(JobList::jobTitle(kind));
    QStringList outcomes;
    for (JobOutcome outcome :
        { JobOutcome::Running, JobOutcome::Finished, JobOutcome::Stopped, JobOutcome::Unwatched })
        outcomes.append(JobList::outcomeText(outcome));
    const QString time = u"00.00.0000 00:00:00"_s;
    const QList<QStringList> texts{ jobs, { u"WWWWWWWW"_s }, { time }, { time }, { u"00:00:00"_s },
        outcomes };
    const QFontMetrics title(JobsGrid->horizontalHeader()->font());
    const QFontMetrics cell(JobsGrid->font());
    for (int c = 0; c < JobList::ColumnCount; ++c) {
        int width = qMax(widths[c],
            title.horizontalAdvance(m_jobs->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) + 16);
        for (const QString &text : texts.at(c))
            width = qMax(width, cell.horizontalAdvance(text) + 12);
        JobsGrid->setColWidth(c, width);
    }
}

void TJobsForm::showLogOf(int row)
{
    const int job = row - 1;
    MemoLog->setPlainText(m_jobs->contains(job) ? protocolText(m_jobs->entry(job).log) : QString());
}

JobList *jobList()
{
    if (!g_jobs)
        g_jobs = new JobList;
    return g_jobs;
}

TJobsForm *jobsForm()
{
    if (!g_jobsForm)
        g_jobsForm = new TJobsForm(jobList());
    return g_jobsForm;
}

DesktopNotifier *desktopNotifier()
{
    if (!g_notifier)
        g_notifier = new DesktopNotifier;
    return g_notifier;
}

void TearDownJobs()
{
    delete g_jobsForm;
    g_jobsForm = nullptr;
    delete g_jobs;
    g_jobs = nullptr;
    delete g_notifier;
    g_notifier = nullptr;
    g_activeTest = nullptr;
}

bool programIsActive()
{
    return g_activeTest ? g_activeTest() : QApplication::activeWindow() != nullptr;
}

void setProgramActiveTest(std::function<bool()> test)
{
    g_activeTest = std::move(test);
}

void jobEnded(int job)
{
    JobList *jobs = jobList();
    if (!jobs->contains(job) || programIsActive())
        return;
    const JobEntry &e = jobs->entry(job);
    const QString body = u"Длительность "_s + JobList::durationText(e.start.msecsTo(e.end))
        + u". Протокол — в окне «Задания» меню «Сервис»."_s;
    desktopNotifier()->notify(JobList::summary(e), body, WAMainForm);
}

void recordEndedJob(JobKind kind, const QString &database, const QStringList &log)
{
    JobList *jobs = jobList();
    const QDateTime now = QDateTime::currentDateTime();
    const int job = jobs->begin(kind, database, now);
    jobs->setLog(job, log);
    jobs->finish(job, JobOutcome::Finished, now);
}

void attachWatchedJobLog(const QStringList &log)
{
    if (LoadInvForm)
        jobList()->setLog(LoadInvForm->lastJob(), log);
}
