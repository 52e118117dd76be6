#pragma once

#include <QDialog>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class TStringGrid;

// Clients registered at the server right now, and the server's request counter.
class TFormRegClients : public QDialog
{
    Q_OBJECT
public:
    explicit TFormRegClients(QWidget *parent = nullptr);

    void FormCreate();
    // What a click on NumRequests does: flip the check mark and with it the counter panel.
    void NumRequestsClick();

    QFrame *PanelNumRequests;
    QLabel *Label1;
    QLabel *Labelrequests;
    TStringGrid *StringGridClient;
    QMenu *PopupMenuClients;
    QAction *clientrefresh;
    QAction *N7;
    QAction *clientdel;
    QAction *N1;
    QAction *NumRequests;
    QFrame *Panel1;
    QPushButton *ButtonCancel;
};
