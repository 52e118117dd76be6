#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QLabel>
#include <QMainWindow>

class QAction;
class QFrame;
class QMenu;
class QProgressBar;
class QTimer;
class TStringGrid;
class TTimer;

// The red dot of the status bar that crosses its panel, growing and shrinking.
class TToyShape : public QWidget
{
    Q_OBJECT
public:
    explicit TToyShape(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The main window: the menus that lead to every command, the statistics of the current
// database and the status bar.
class TWAMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TWAMainForm(QWidget *parent = nullptr);
    ~TWAMainForm() override;

    // Menu item by its component name (the profile's menu keys name them).
    QAction *menuItem(const QString &name) const;
    // The hint text currently shown in the status bar.
    QString hintText() const;
    // A line about the last open or refresh of the database that failed (empty: none). The status
    // bar shows it whenever no hint is shown.
    void showOpenStatus(const QString &text);
    // Who is logged in where ("ADMIN@main:6666"), shown in the title after the caption.
    void setSessionTitle(const QString &text);

    // Handlers.
    void FormCreate();
    void TimerStartTimer();
    void ToyTimerTimer();
    void AutoaskTimerTimer();
    void RestatItemClick();
    void AutoaskingItemClick();
    void Version1Click();
    void ServerRestartItemClick();
    void HelpItemClick();
    void ExitItemClick();
    void OpenDBItemClick();
    // Shows the journal of this run's requests.
    void JournalItemClick();
    // The server monitor and the jobs of this run.
    void MonitorItemClick();
    void JobsItemClick();
    // What the title says about a job while it runs (empty: no job); see composeTitle.
    void setJobProgress(const QString &progress);
    // Creating, deleting and unlocking (database/DbCommands.cpp).
    void NewDBItemClick();
    void DeleteDBItemClick();
    void UnlockDBItemClick();
    void UnlockrecordItemClick();
    void UnLockListItemClick();
    // Maintenance of the current database and its record lists (database/Maintenance.cpp).
    void ClearDBItemClick();
    void ActualIfItemClick();
    void LoadIfItemClick();
    void ReorgIfItemClick();
    void ReorgMfItemClick();
    void DeletedListItemClick();
    void UnactualListItemClick();
    void LockedListItemClick();
    // The server's processes (server/process.cpp).
    void ServerProcessListItemClick();
    void ServerClientListItemClick(); // in server/clients.cpp
    void ServerCurrentClientListItemClick(); // in server/main.cpp
    // Close query: always allows closing, after unregistering the client when a request went out.
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    void StatisticGridDrawCell(QPainter *painter, int col, int row, const QRect &rect);

    // Components.
    TStringGrid *StatisticGrid;
    QFrame *StatusPanel;
    QLabel *HintPanel;
    QFrame *IndicatorPanel;
    QProgressBar *IndicatorGauge;
    QFrame *ToyPanel;
    TToyShape *ToyShape;
    QLabel *TimeLabel;
    QLabel *TimeStartLabel;
    QTimer *ToyTimer;
    QTimer *TimerStart;
    TTimer *AutoaskTimer;

    QAction *DataBaseItem;
    QAction *OpenDBItem;
    QAction *NewDBItem;
    QAction *ClearDBItem;
    QAction *DeleteDBItem;
    QAction *ImportDBItem;
    QAction *ExportDBItem;
    QAction *CopyDBItem;
    QAction *UnlockItem;
    QAction *UnlockDBItem;
    QAction *UnlockrecordItem;
    QAction *UnLockListItem;
    QAction *RestatItem;
    QAction *ExitItem;
    QAction *ServerItem;
    QAction *Version1;
    QAction *ServerRestartItem;
    QAction *ServerClientListItem;
    QAction *ServerCurrentClientListItem;
    QAction *ServerProcessListItem;
    QAction *N16;
    QAction *ActualItem;
    QAction *ActualIfItem;
    QAction *LoadIfItem;
    QAction *ReorgIfItem;
    QAction *ReorgMfItem;
    QAction *ServiceItem;
    QAction *DeletedListItem;
    QAction *UnactualListItem;
    QAction *LockedListItem;
    QAction *RunBatchItem;
    QAction *JournalItem;
    QAction *MonitorItem;
    QAction *JobsItem;
    QAction *OptionItem;
    QAction *AutoaskingItem;
    QAction *HelpItem;

    // Statistics rows.
    static constexpr int StatisticRows = 25;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMenu *addTopMenu(const char *name, const QString &caption, int helpContext);
    QAction *addItem(QMenu *menu, const char *name, const QString &caption, int helpContext = 0);
    void setHintText(const QString &text);
    // The one place the title is made: a running job's progress, the caption, then every part
    // that is set, " — " apart.
    void composeTitle();
    void fitClockPanel();

    QHash<QString, QAction *> m_items;
    QElapsedTimer m_running;
    QString m_hint;
    QString m_openStatus;
    QString m_caption; // the translated caption of the window
    QString m_sessionTitle;
    QString m_jobProgress;
    int m_toyStep = 1;
    bool m_closed = false;
    bool m_closeAfterExchange = false;
};
