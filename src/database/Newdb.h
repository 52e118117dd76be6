#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The new-database dialog: name, description and the server's creation flag.
class TNewDBForm : public QDialog
{
    Q_OBJECT
public:
    explicit TNewDBForm(QWidget *parent = nullptr);

    void FormCreate();
    void FormShow();
    void OKBitBtnClick();

    QLabel *NameLabel;
    QLineEdit *NameEdit;
    QLabel *FullNameLabel;
    QLineEdit *FullNameEdit;
    QCheckBox *CheckBox;
    QPushButton *OKBitBtn;
    QPushButton *CancelBitBtn;

    // The next showing keeps what was typed (the name was refused after the dialog closed).
    void keepEntriesOnNextShowing() { m_keepEntries = true; }

private:
    bool m_keepEntries = false;
};
