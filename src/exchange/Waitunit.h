#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

// The exchange engine and its waiting window. One instance, WaitForm, carries every server
// operation; each returns 1 (answer accepted), 2 (failed) or 7 (refused: another exchange runs)
// and leaves the answer lines, header removed, in the list it was given.
class TWaitForm : public QDialog
{
    Q_OBJECT
public:
    explicit TWaitForm(QWidget *parent = nullptr);
    ~TWaitForm() override;

    // Identity and state read by other windows.
    QString clientId() const;
    // True while the waiting window is shown to the user.
    bool isWaitVisible() const;
    // Non-zero once any request has been sent in this run.
    quint16 sendSockPort() const;
    // The busy marker: 7 while an exchange runs, else the last operation's result.
    int busyMarker() const;
    // Non-modal waiting (the WaitNoModal setting).
    void setWaitNoModal(bool on);

    void SetServerAddress(const QString &host, const QString &port, const QString &workstation);

    // Server commands.
    int RegisterClient(const QString &userName, const QString &password, const QString &workstation,
                       QStringList &answer);                                         // A
    int UnregisterClient(const QString &userName, QStringList &answer);              // B
    int NoOperation(QStringList &answer);                                            // N
    int GetDatabaseInfo(const QString &dbName, QStringList &answer);                 // 0
    int ReadResource(int pathCode, const QString &dbName, const QString &fileName,
                     QStringList &answer);                                           // L
    int ActualizeDatabase(const QString &dbName, int mfn, QStringList &answer);      // F
    int CreateDatabase(const QString &name, const QString &description, bool flag,
                       QStringList &answer);                                         // T
    int DeleteDatabase(const QString &dbName, QStringList &answer);                  // W
    int ClearDatabase(const QString &dbName, QStringList &answer);                   // S
    int ReorganizeInvertedFile(const QString &dbName, QStringList &answer);          // Y
    int ReorganizeMasterFile(const QString &dbName, QStringList &answer);            // X
    int LoadInvertedFile(const QString &dbName, QStringList &answer);                // Z
    int UnlockRecords(const QString &dbName, const QList<qint32> &mfns, QStringList &answer); // Q
    int UnlockDatabase(const QString &dbName, QStringList &answer);                  // U
    int RestartServer(QStringList &answer);                                          // +8
    int GetRegisteredClients(QStringList &answer);                                   // +1
    int GetClientList(QStringList &answer);                                          // +9
    int SaveClientList(const QStringList &lines, QStringList &answer);               // +7
    int GetProcessList(QStringList &answer);                                         // +3
    int DeleteRegisteredClient(const QString &clientId, QStringList &answer);        // +6
    int StopProcess(const QString &clientId, const QString &commandCode, const QString &processNumber,
                    QStringList &answer);                                            // +4
    int GetServerVersion(QStringList &answer);                                       // 1

    // Resource reads through the cache (key: path code, database and file name, upper-cased).
    int ReadResourceCached(int pathCode, const QString &dbName, const QString &fileName, QStringList &answer);
    void ClearResourceCache();
};

// Hands host, port and workstation code to the engine, then registers the client (command A).
// On a first answer line "0" the line after it is removed, so the profile follows directly.
int ConnectToServer(const QString &host, const QString &port, const QString &workstation,
                    QStringList &answer, const QString &password, const QString &userName);
