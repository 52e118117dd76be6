#pragma once

#include "ServerBook.h"

#include <QDialog>
#include <QHash>
#include <QList>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class SshTunnel;
class TFormServerEdit;

// Profile key and main-menu item of one row of the menu access table.
struct MenuAccessRow
{
    const char *key;
    const char *item;
};
// The rows in the order the profile is read.
extern const MenuAccessRow MenuAccessTable[28];
// A menu key's value enables its item unless its low 8 bits are 0.
bool menuItemEnabled(int value);

// The login dialog: registers the workstation at the server and takes the user's profile.
class TFormConnect : public QDialog
{
    Q_OBJECT
public:
    explicit TFormConnect(QWidget *parent = nullptr);
    ~TFormConnect() override;

    void FormCreate();
    void FormShow();
    void ButtonExecuteClick();
    void ButtonCancelClick();
    void FormClose();

    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *EditName;
    QLineEdit *MaskEditPassword;
    QPushButton *ButtonExecute;
    QPushButton *ButtonCancel;
    QLabel *LabelPort; // shown when ServerPort is a number that is no port

    // The saved servers, the Ctulvaa.ini entry first.
    QLabel *LabelServer;
    QComboBox *ComboServer;
    QToolButton *ButtonServerAdd;
    QToolButton *ButtonServerEdit;
    QToolButton *ButtonServerDelete;
    void ComboServerChange(int index);
    void ButtonServerAddClick();
    void ButtonServerEditClick();
    void ButtonServerDeleteClick();

    // The server chosen in the list.
    ServerEntry selectedServer() const;
    // Ends the SSH tunnel of the session, if it has one: after the unregistration at closing.
    void endTunnel();
    SshTunnel *tunnel() const { return m_tunnel.get(); }
    TFormServerEdit *serverEditor();

    // What the profile decided for a main-menu item at login (true for an item it does not
    // control, and before any login). Commands that the program disables for a while (a locked
    // database) come back only within this.
    bool profileAllows(const QString &itemName) const;

    void done(int result) override;
    void reject() override;

private:
    // Width of the captions' column as laid out for Arial; a wider caption widens the dialog.
    static constexpr int CaptionWidth = 110;
    void placeControls(int captionWidth);
    void fitCaptions();
    void applyProfile();
    void refuse(int returnCode);
    // Reads the book and lists its servers after the Ctulvaa.ini entry; `select` names the one
    // to choose (empty: the Ctulvaa.ini entry).
    void loadServers(const QString &select);
    // Requests go to this server, through its tunnel if it has one.
    void routeTo(const ServerEntry &entry);
    void editServer(const ServerEntry &entry);

    QHash<QString, bool> m_profileAllows;
    ServerBook m_book;
    QList<ServerEntry> m_servers; // as listed
    std::unique_ptr<SshTunnel> m_tunnel;
    TFormServerEdit *m_editor = nullptr;
};
