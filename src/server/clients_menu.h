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
    // Rebuilds the list from the server's INI menu file (through the resource cache). The first
    // row whose file name equals `preferred` (letter case ignored) becomes current, else row 1.
    void LoadIniMenu(const QString &preferred = QString());
    // Shows the chooser modally, its list read anew; true and the chosen file name (column 0 of
    // the current row) when it ends with OK.
    bool chooseIniFile(const QString &preferred, QString *chosen);

    TStringGrid *DBStringGrid;
    QPushButton *OKBitBtn;
    QPushButton *CancelBitBtn;
};
