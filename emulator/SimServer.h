#pragma once

#include "Faults.h"
#include "SimEngine.h"
#include "SimState.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

class QTcpServer;
class QTcpSocket;
class QTimer;

struct SimOptions
{
    QHostAddress listen = QHostAddress(QHostAddress::LocalHost);
    int port = 6666; // 0: any free port
    int controlPort = -1; // -1: no control port; 0: any free port
    QString stateDir = QStringLiteral("tulva-sim-state");
    QString sampleDir; // seeds an empty state directory when set
    int maxClients = 10;
    qint64 jobMs = 3000;
    int idleTimeoutMs = 15000; // a connection that does not finish its request in time
    int clientTimeoutSeconds = 0; // registrations not confirmed for so long are dropped; 0 = never
    qint64 maxRequest = 16 * 1024 * 1024;
    int maxConnections = 512;
    QStringList faults;
    QList<std::pair<QString, qint32>> generate;
    bool logRequests = true;
};

// The emulated server: one request per connection, answered and closed; many connections at
// once on one event loop; faults on demand; an optional control port for tests and drills.
class SimServer : public QObject
{
    Q_OBJECT

public:
    explicit SimServer(const SimOptions &options, QObject *parent = nullptr);
    ~SimServer() override;

    bool start(QString *error);
    void stop();

    quint16 port() const;
    quint16 controlPort() const;
    SimEngine *engine() { return m_engine.get(); }
    SimState *state() { return m_state.get(); }
    FaultTable &faults() { return m_faults; }
    int openConnections() const { return int(m_connections.size()); }

    // One line of the control protocol; the reply lines (the last is "ok", "end" or starts with
    // "error").
    QStringList control(const QString &line);

signals:
    void quitRequested();

private:
    struct Connection;

    void acceptClients();
    void acceptControl();
    void onReadyRead(QTcpSocket *socket);
    void dispatch(QTcpSocket *socket);
    void answer(QTcpSocket *socket);
    void handleCancel(QTcpSocket *socket);
    bool abortHeld(int number);
    void closeConnection(QTcpSocket *socket, bool abortNow);
    QList<HeldRequest> heldRequests() const;
    void log(const QString &line) const;

    SimOptions m_options;
    std::unique_ptr<SimState> m_state;
    std::unique_ptr<SimEngine> m_engine;
    FaultTable m_faults;
    QTcpServer *m_server = nullptr;
    QTcpServer *m_controlServer = nullptr;
    QHash<QTcpSocket *, Connection *> m_connections;
};
