#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// Watch over a long server process until it ends or is stopped.
class TLoadInvForm : public QDialog
{
    Q_OBJECT
public:
    explicit TLoadInvForm(QWidget *parent = nullptr);

    void FormCreate();
    void FormShow();
    void Timer1Timer();
    void Button1Click();
    void FormClose();

    // Caption, process name and reload period of a kind; false for a kind that does not exist.
    struct Kind
    {
        QString caption;
        QString processName;
        int reloadPeriod;
    };
    static bool kindOf(int watchKind, Kind *kind);

    QLabel *Label0;
    QLabel *Label1;
    QLabel *ElapsedLabel; // how long the watch has run
    QProgressBar *LoadProgressBar;
    QPushButton *Button1;
    QTimer *Timer1;

    // Step of LoadProgressBar per tick.
    static constexpr int LoadProgressStep = 10;

    quint8 WatchKind = 0; // which process is watched; set by the caller before every showing
    QString WatchDatabase; // the database the job works on; set with WatchKind
    qint32 WatchResult = 0; // 0 while watching and when the process ended; -999 after Button1
    qint32 TickCounter = 0; // counts ticks over every showing of the run

    enum : quint8 { CreateDict = 0, ReloadDict = 1, ReloadMaster = 2, DbNew = 3, DbDelete = 4 };
    static constexpr qint32 StoppedByUser = -999;

    // The job of the last showing in the list of jobs (-1 before the first).
    int lastJob() const { return m_job; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void done(int result) override;

private:
    void showElapsed();

    bool m_inTick = false;
    QElapsedTimer m_elapsed;
    int m_job = -1;
    bool m_endedByItself = false;
    bool m_stopDone = false;
};
