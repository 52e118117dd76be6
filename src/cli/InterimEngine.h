#pragma once

#include "exchange/WireFormat.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QTcpSocket;

// Stand-in for the core exchange engine while it moves out of the waiting window: one exchange
// at a time over the same wire format, with the same operation names and results.
class InterimEngine : public QObject
{
public:
    InterimEngine();

    QString clientId() const { return QString::fromLatin1(m_id.clientId); }
    void SetServerAddress(const QString &host, const QString &port, const QString &workstation);

    int RegisterClient(const QString &userName, const QString &password, const QString &workstation,
        QStringList &answer);
    int UnregisterClient(const QString &userName, QStringList &answer);
    int GetDatabaseInfo(const QString &dbName, QStringList &answer);
    int ReadResource(int pathCode, const QString &dbName, const QString &fileName, QStringList &answer);
    int ActualizeDatabase(const QString &dbName, int mfn, QStringList &answer);
    int CreateDatabase(const QString &name, const QString &description, bool flag, QStringList &answer);
    int DeleteDatabase(const QString &dbName, QStringList &answer);
    int ClearDatabase(const QString &dbName, QStringList &answer);
    int ReorganizeInvertedFile(const QString &dbName, QStringList &answer);
    int ReorganizeMasterFile(const QString &dbName, QStringList &answer);
    int LoadInvertedFile(const QString &dbName, QStringList &answer);
    int UnlockRecords(const QString &dbName, const QList<qint32> &mfns, QStringList &answer);
    int UnlockDatabase(const QString &dbName, QStringList &answer);
    int RestartServer(QStringList &answer);
    int GetRegisteredClients(QStringList &answer);
    int GetClientList(QStringList &answer);
    int SaveClientList(const QStringList &lines, QStringList &answer);
    int GetProcessList(QStringList &answer);
    int DeleteRegisteredClient(const QString &clientId, QStringList &answer);
    int StopProcess(const QString &clientId, const QString &commandCode, const QString &processNumber,
        QStringList &answer);
    int GetServerVersion(QStringList &answer);
    int ReadResourceCached(int pathCode, const QString &dbName, const QString &fileName, QStringList &answer);
    void ClearResourceCache() { m_cache.clear(); }

    // The cancel button: the cancel message, and on the third press the exchange is given up.
    void TerminatorButtonClick();
    bool exchangeRunning() const { return m_running; }
    void setTickHook(std::function<void(int)> hook) { m_tickHook = std::move(hook); }

private:
    int run(QByteArrayView command, const QByteArray &arguments, QStringList &answer, bool resource = false);

    QString m_host;
    QString m_port;
    Wire::Identity m_id;
    QByteArray m_command;
    QMap<QString, QStringList> m_cache;
    bool m_running = false;
    bool m_abandon = false;
    int m_pressCounter = 1;
    std::function<void(int)> m_tickHook;
};

int ConnectToServer(InterimEngine &engine, const QString &host, const QString &port, const QString &workstation,
    QStringList &answer, const QString &password, const QString &userName);
