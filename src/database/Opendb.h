#pragma once

#include <QDialog>

class QFrame;
class QPushButton;
class TStringGrid;
struct DatabaseInfoError;
struct DatabaseState;

// Database selection: the server's list of databases, and the open step that makes the selected
// one current and fills the statistics.
class TOpenDbForm : public QDialog
{
    Q_OBJECT
public:
    explicit TOpenDbForm(QWidget *parent = nullptr);

    enum class ListRead { AtStartup, AfterChange };
    // Who asks for an open: a command tells the administrator in a box why it failed; a timer
    // only in the status bar, and says nothing when the engine is busy (it tries at its next tick).
    enum class OpenBy { Command, Timer };

    void FormCreate();
    // Reads the database list file and writes it into DBStringGrid.
    void ReloadDatabaseList(ListRead when);
    // Selects the profile's current database (CurDbn), if the list has it.
    void SelectStartupDatabase();
    // The OK action: the highlighted row becomes the current database if the server describes it;
    // otherwise the highlight goes back to the current database's row.
    void OpenSelectedDatabase(OpenBy by = OpenBy::Command);
    // Refresh (menu and timer): the current database again, whatever row is highlighted. Before
    // any database has opened, the row chosen at start is tried, unless the dialog is open.
    void RefreshCurrentDatabase(OpenBy by);
    // Asks the server for the named database. Only a whole, successful answer changes anything:
    // then CurrentDbName, the record lists, MaxMfn, DatabaseLocked, the statistics and the
    // lock-dependent menu items all describe it together. Otherwise nothing changes and the
    // administrator is told. True when the database is now current. Taken by value: callers pass
    // CurrentDbName itself, which the call changes.
    bool OpenDatabase(QString name, QString description, OpenBy by);
    void OKBitBtnClick();
    void CancelBitBtnClick();
    void DBStringGridDblClick();

    // After a deletion: the first listed database other than the deleted one that opens becomes
    // current; when none does, no database is current. The screen says which.
    void OpenFirstDatabaseAfterDeletion(const QString &deleted);

    // First data row whose name equals the text ignoring letter case, or -1.
    int rowOfDatabase(const QString &name) const;
    // The server file that lists the databases, as the profile names it.
    static QString listFileName();

    TStringGrid *DBStringGrid;
    QFrame *BottomPanel;
    QPushButton *OKBitBtn;
    QPushButton *CancelBitBtn;

    void reject() override;

private:
    void applyDatabaseState(const QString &name, const QString &description, DatabaseState &&state);
    // No database is current: nothing on the screen names one, and no record list is kept.
    void clearCurrentDatabase();
    void followLockFlag();
    void reportOpenFailure(const QString &name, const DatabaseInfoError &error, OpenBy by);

    // Counts the states applied, so that an answer that was overtaken while it waited is dropped.
    quint64 m_statesApplied = 0;
    // Why the last open that changed nothing failed; its text for the boxes.
    int m_lastFailure = 0;
    QString m_lastFailureText;
};
