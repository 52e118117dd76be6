#pragma once

#include "ClientList.h"

#include <QDialog>
#include <QStringList>

#include <optional>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class TStringGrid;

// Real password of client grid row i+1 at entry i; the grid itself shows only "*****". Held
// only while the accounts window is open.
inline QStringList ClientPasswords;
// Column the client grid is sorted by.
inline int ClientSortColumn = 1;

// The server's client accounts.
class TFormCLient : public QDialog
{
    Q_OBJECT
public:
    explicit TFormCLient(QWidget *parent = nullptr);
    ~TFormCLient() override;

    void FormCreate();
    void FormShow();
    void PlaceSortMarker();
    void ButtonCancelClick();

    // Reads the accounts from the server into the grid and ClientPasswords; true when it did.
    // Anything short of a sound table leaves both as they were.
    bool LoadClientAccounts();
    // Whether the grid holds a list read from the server. Until one is, the window says that
    // the list could not be read and offers nothing to edit or save.
    bool listRead() const { return m_listRead; }
    // How a save ended.
    enum class SaveOutcome { Saved, Refused, Failed, Busy, Invalid };
    // Sends the accounts of the grid as the client list text, and says how that went.
    SaveOutcome StoreClientAccounts();
    // The client list text of the grid's accounts as it goes on the wire, written once into its
    // buffer; the duplicate marks go into the grid.
    QByteArray clientListBytes();
    // Sorts the accounts by a column; passwords go with their rows, the current one stays current.
    void SortClientGrid(int column);

    void RefreshClick();
    void ProcStopClick(); // add
    void CEditClick();
    void N1Click(); // delete
    void SaveClick();
    void ButtonOKClick();

    // What the main menu item does: read the list and show the window. Over unsaved edits it
    // asks first, and keeps them unless the administrator chooses to re-read.
    void showFromMainMenu();

    // Unsaved edits are the enabled save button.
    bool hasUnsavedChanges() const;
    // Number of accounts in the grid (the grid keeps one empty row when there are none).
    int clientCount() const { return int(ClientPasswords.size()); }
    // Before the window (or the program) closes over unsaved edits: save, drop or stay. True
    // when closing may go on.
    bool confirmClose();

    TStringGrid *StringGridCLients;
    QMenu *PopupMenuClient;
    QAction *Refresh;
    QAction *N2;
    QAction *ProcStop;
    QAction *CEdit;
    QAction *N1;
    QAction *N3;
    QAction *Save;
    QFrame *Panel1;
    QLabel *LabelComments;
    QPushButton *ButtonOK;
    QPushButton *ButtonCancel;
    QFrame *PanelImage; // sort marker floating over the title row
    QLabel *Image1;
    QLabel *LabelUnread; // why no list is shown

    void reject() override;
    // However the window closes, nothing of the list stays: the next opening reads it again.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The account rows 1.. of the grid, cells as shown, and writing them back.
    QList<QStringList> accountRows() const;
    void writeAccountRows(QList<QStringList> rows);
    QStringList accountNames() const;
    // Asks before unsaved edits are replaced by the server's list; true to go on.
    bool confirmReread();
    // Runs the profile dialog; the account typed when it ended with OK.
    std::optional<ClientList::Account> runProfileDialog(const QString &mode);
    // Drops the list and every password; the window then shows why there is none.
    void dropList(const QString &why);
    void setListRead(bool read);
    // Names the accounts that hold a value the list text cannot carry back to the server.
    void tellUnsendableAccounts();
    bool m_listRead = false;
    QString m_loadFailure;
};
