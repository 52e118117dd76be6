#pragma once

#include <QDialog>

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

    void done(int result) override;
    void reject() override;

private:
    void applyProfile();
    void refuse(int returnCode);
};
