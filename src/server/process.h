#pragma once

#include "server/ProcessList.h"

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

    // Reads the server's process list into the grid; on a failed, refused or refused-by-server
    // answer the grid stays as it was. The current row stays on the same process (number and
    // client id) across reloads; when that process is gone nothing is current. Returns the
    // operation's result (callers may ignore it).
    int LoadProcessList();
    // Grid row of the first running process of this client under that name, or -1.
    int FindOwnActiveProcess(const QString &name) const;
    void ProcStopClick();
    // The refresh of the popup (F5) and of the timers: LoadProcessList, silent.
    void RefreshClick();
    void PopupMenuProcessPopup();
    void ButtonCancelClick();

    TStringGrid *StringGridProcess;
    QMenu *PopupMenuProcess;
    QAction *ProcStop;
    QAction *Refresh;
    QFrame *Panel1;
    QPushButton *ButtonCancel;

private:
    QStringList m_titles;
};
