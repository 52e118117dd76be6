#pragma once

#include <QDialog>

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

    QLabel *Label0;
    QLabel *Label1;
    QProgressBar *LoadProgressBar;
    QPushButton *Button1;
    QTimer *Timer1;

    // Step of LoadProgressBar per tick.
    static constexpr int LoadProgressStep = 10;

    quint8 WatchKind = 0; // which process is watched; set by the caller before every showing
    qint32 WatchResult = 0; // 0 while watching and when the process ended; -999 after Button1
    qint32 TickCounter = 0; // counts ticks over every showing of the run
};
