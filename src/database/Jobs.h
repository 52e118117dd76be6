#pragma once

#include "database/JobList.h"

#include <QDialog>

#include <functional>

class DesktopNotifier;
class QFrame;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class TStringGrid;

// "Задания": the long jobs of this run, and the result log of the one chosen.
class TJobsForm : public QDialog
{
    Q_OBJECT
public:
    explicit TJobsForm(JobList *jobs, QWidget *parent = nullptr);

    TStringGrid *JobsGrid;
    QPlainTextEdit *MemoLog;
    QSplitter *Splitter;
    QFrame *Panel1;
    QPushButton *ButtonCancel;

private:
    void showLogOf(int row);
    void fitColumns();
    void showNewestJob();

    JobList *m_jobs;
};

// The jobs of this run, their window and the desktop notices; made on first use.
JobList *jobList();
TJobsForm *jobsForm();
DesktopNotifier *desktopNotifier();
void TearDownJobs();

// Whether the program is the one the administrator works in; a test may say otherwise.
bool programIsActive();
void setProgramActiveTest(std::function<bool()> test);

// A watched job has ended: when the administrator is elsewhere, a desktop notice says which job
// on which database ended and how.
void jobEnded(int job);
// A job that had ended before its watch could begin, with the log the server answered.
void recordEndedJob(JobKind kind, const QString &database, const QStringList &log);
// The result log of the job the watch window followed last.
void attachWatchedJobLog(const QStringList &log);
