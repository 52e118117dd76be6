#pragma once

#include "SimState.h"
#include "SimWire.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

// Return codes of the emulated server besides "0".
namespace SimCode {
inline constexpr int UnknownCommand = -1;
inline constexpr int BadRequest = -2; // header incomplete or an argument missing
inline constexpr int WrongLogin = -3333; // wrong name or password
inline constexpr int WorkstationDenied = -3336;
inline constexpr int TooManyClients = -3338;
inline constexpr int UnknownDatabase = -4001;
inline constexpr int DatabaseLocked = -4002; // also: deletion while records are locked
inline constexpr int DatabaseExists = -4003;
inline constexpr int BadDatabaseName = -4004;
inline constexpr int NoSuchProcess = -4005;
inline constexpr int NoSuchClient = -4006;
inline constexpr int BadClientList = -4007;
inline constexpr int DatabaseBusy = -4008; // a long job already works on it
inline constexpr int SaveFailed = -4009; // the state could not be written
inline constexpr int NothingToCancel = -4010;
} // namespace SimCode

struct SimPeer
{
    QString ip;
    quint16 port = 0;
};

// A request that the server holds unanswered (a delay or hang fault); it shows in the process
// list like a job and can be stopped.
struct HeldRequest
{
    int number = 0;
    QString ip;
    QString userName;
    QString clientId;
    QString workstation;
    QString command;
    QString commandNumber;
    QDateTime since;
};

// The commands of the server: state changes and answer bodies (the lines after the answer
// header). Networking and faults are the server's.
class SimEngine : public QObject
{
    Q_OBJECT

public:
    explicit SimEngine(SimState *state, QObject *parent = nullptr);
    ~SimEngine() override;

    void setMaxClients(int n) { m_maxClients = n; }
    int maxClients() const { return m_maxClients; }
    void setJobMilliseconds(qint64 ms) { m_jobMs = ms; }
    qint64 jobMilliseconds() const { return m_jobMs; }
    void setClientTimeoutSeconds(int s) { m_clientTimeout = s; }
    void setServerEndpoint(const QString &ip, quint16 port);

    // Schedules the jobs that the loaded state still holds (finishing the overdue ones).
    void startJobs();
    void finishAllJobs();

    QByteArrayList handle(const SimWire::Request &request, const SimPeer &peer);
    // Every request served counts, whatever its command.
    void countRequest();
    int allocateProcessNumber();
    // Writes the counters and confirmation times that are saved lazily.
    void flushVolatile();

    std::function<QList<HeldRequest>()> heldRequests;
    std::function<bool(int number)> stopHeld;

    static QString processNameFor(const QString &command);

private:
    QByteArrayList code(int value) const { return { QByteArray::number(value) }; }
    void touchRegistration(const SimWire::Request &request);
    void markVolatile();
    void dropStaleRegistrations();

    QByteArrayList registerClient(const SimWire::Request &r, const SimPeer &peer);
    QByteArrayList unregisterClient(const SimWire::Request &r);
    QByteArrayList databaseInfo(const QStringList &args);
    QByteArrayList readResource(const QStringList &args);
    QByteArrayList actualize(const QStringList &args);
    QByteArrayList clearDatabase(const QStringList &args);
    QByteArrayList unlockDatabase(const QStringList &args);
    QByteArrayList unlockRecords(const QStringList &args);
    QByteArrayList startJob(const SimWire::Request &r, const SimPeer &peer, const QStringList &args);
    QByteArrayList registeredClients();
    QByteArrayList clientList();
    QByteArrayList saveClientList(const QStringList &args);
    QByteArrayList processList();
    QByteArrayList deleteRegistration(const QStringList &args);
    QByteArrayList stopProcess(const QStringList &args);
    QByteArrayList version();

    Job *findJob(int number);
    // The database the first argument names; null with the answer to give when there is none.
    Database *argumentDatabase(const QStringList &args, QByteArrayList *refusal);
    bool databaseBusy(const QString &name) const;
    void scheduleJob(const Job &job);
    // Ends a job: applies what it is about (unless stopped) and writes its result log.
    QStringList finishJob(int number, bool stopped);
    QStringList jobStartLines(const Job &job) const;
    void writeLog(const Job &job, const QStringList &lines);

    SimState *m_state;
    int m_maxClients = 10;
    qint64 m_jobMs = 3000;
    int m_clientTimeout = 0;
    QString m_serverIp = QStringLiteral("127.0.0.1");
    quint16 m_serverPort = 6666;
    QDateTime m_startTime = QDateTime::currentDateTime();
    QHash<int, QTimer *> m_jobTimers;
    QTimer m_volatileTimer;
};
