#pragma once

#include <QDialog>

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class TStringGrid;

// The server's processes. The grid is also the data that the process watch reads while the
// window is hidden.
class TFormProcess : public QDialog
{
    Q_OBJECT
public:
    explicit TFormProcess(QWidget *parent = nullptr);

    void FormCreate();

    TStringGrid *StringGridProcess;
    QMenu *PopupMenuProcess;
    QAction *ProcStop;
    QAction *Refresh;
    QFrame *Panel1;
    QPushButton *ButtonCancel;
};
