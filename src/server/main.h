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

    // Who asks for the list: a refused request (another one still running) is explained to a
    // person, while the refresh timer simply tries again at its next tick.
    enum class RequestedBy { User, Timer };
    // Reads the registered clients and the request counter; anything but a good answer leaves
    // the window as it was.
    void LoadRegisteredClients(RequestedBy by = RequestedBy::User);
    // Removes the current registration, without a question; never row 1 (the server itself)
    // and never this workstation's own.
    void clientdelClick();
    // The popup offers removal only where clientdelClick would do it.
    void PopupMenuClientsPopup();
    // Whether the registration on a grid row may be removed.
    bool removable(int row) const;
    // Titles and widths of the ten columns.
    void writeTitles();

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
