#pragma once

#include <QDialog>

class QFrame;
class QPushButton;
class TStringGrid;

// Database selection: the server's list of databases, and the open step that makes the selected
// one current and fills the statistics.
class TOpenDbForm : public QDialog
{
    Q_OBJECT
public:
    explicit TOpenDbForm(QWidget *parent = nullptr);

    enum class ListRead { AtStartup, AfterChange };

    void FormCreate();
    // Reads the database list file and writes it into DBStringGrid.
    void ReloadDatabaseList(ListRead when);
    // Selects the profile's current database (CurDbn), if the list has it.
    void SelectStartupDatabase();
    // The OK action: the selected row becomes the current database; statistics and lists are
    // read again from the server.
    // Returns the request's result; on OpResult::Busy nothing has changed.
    int OpenSelectedDatabase();
    void OKBitBtnClick();
    void CancelBitBtnClick();
    void DBStringGridDblClick();

    // First data row whose name equals the text ignoring letter case, or -1.
    int rowOfDatabase(const QString &name) const;

    TStringGrid *DBStringGrid;
    QFrame *BottomPanel;
    QPushButton *OKBitBtn;
    QPushButton *CancelBitBtn;

    void reject() override;
};
