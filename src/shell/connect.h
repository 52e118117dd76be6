#pragma once

#include <QDialog>
#include <QHash>

class QLabel;
class QLineEdit;
class QPushButton;

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

    // What the profile decided for a main-menu item at login (true for an item it does not
    // control, and before any login). Commands that the program disables for a while (a locked
    // database) come back only within this.
    bool profileAllows(const QString &itemName) const;

    void done(int result) override;
    void reject() override;

private:
    void applyProfile();
    void refuse(int returnCode);

    QHash<QString, bool> m_profileAllows;
};
