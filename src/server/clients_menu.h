#pragma once

#include <QDialog>

class QPushButton;
class TStringGrid;

// Choice of one workstation INI file from the list the server offers. Fixed Russian captions,
// outside the message catalogue and the font settings.
class TOpenDbMenu : public QDialog
{
    Q_OBJECT
public:
    explicit TOpenDbMenu(QWidget *parent = nullptr);

    void FormCreate();
    // Titles of the two columns, written at creation and on every opening.
    void writeTitles();

    TStringGrid *DBStringGrid;
    QPushButton *OKBitBtn;
    QPushButton *CancelBitBtn;
};
