#pragma once

#include "exchange/AnswerLines.h"
#include "server/MonitorHistory.h"

#include <QDialog>

class QChart;
class QChartView;
class QFrame;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;
class QWidget;

// "Монитор сервера": the server at a glance. On its own interval the window reads the registered
// clients and the request counter (+1), the processes (+3) and the current database (0), each a
// background request that serves this window, and draws the last hour. It never asks a question
// from its timer: a reading refused while another request runs waits for the next tick, a server
// that does not answer leaves a gap and the window says since when.
class TServerMonitorForm : public QDialog
{
    Q_OBJECT
public:
    explicit TServerMonitorForm(QWidget *parent = nullptr);

    static constexpr int DefaultInterval = 10; // seconds
    static constexpr int MinInterval = 2;
    static constexpr int MaxInterval = 300;

    // Handlers.
    void TickTimerTimer();
    void PauseButtonClick();
    void IntervalSpinChange(int seconds);
    void SavePngButtonClick();
    void ExportCsvButtonClick();

    MonitorHistory &history() { return m_history; }
    // Draws the charts and the state line from the history again.
    void redraw();
    // The text shown when the pointer rests on a chart at this time.
    QString hoverText(QChart *chart, qint64 at, double value) const;

    QFrame *PanelTop;
    QLabel *IntervalLabel;
    QSpinBox *IntervalSpin;
    QPushButton *PauseButton;
    QLabel *StateLabel;
    QWidget *ChartsPanel;
    QChartView *ClientsChart;
    QChartView *ProcessesChart;
    QChartView *RequestsChart;
    QChartView *DatabaseChart;
    QFrame *Panel1;
    QPushButton *SavePngButton;
    QPushButton *ExportCsvButton;
    QPushButton *ButtonCancel;
    QTimer *TickTimer;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showState();
    void drawLines(QChartView *view, const QList<std::pair<QString, MonitorSeries>> &lines,
        const QList<std::pair<QString, MonitorSeries>> &rightLines = {});
    void drawProcesses();
    void drawSilences(QChart *chart, double top);
    void setTimeRange(QChart *chart);

    MonitorHistory m_history;
    AnswerLines m_answer;
    bool m_inTick = false;
};

// The window, made on first use; gone at the end of the run.
TServerMonitorForm *serverMonitorForm();
void destroyServerMonitorForm();
