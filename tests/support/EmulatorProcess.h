#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// A running tulva-sim on a free loopback port (it prints the port it took).
class EmulatorProcess
{
public:
    explicit EmulatorProcess(const QStringList &args);
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess &) = delete;
    EmulatorProcess &operator=(const EmulatorProcess &) = delete;

    // 0 when the emulator did not come up.
    quint16 port() const { return m_port; }
    // The port the emulator took for "--control-port 0"; 0 without one.
    quint16 controlPort() const { return m_controlPort; }
    void kill();
    QByteArray errors() { return m_process.readAllStandardError(); }
    QProcess &process() { return m_process; }

    static QString program();
    static QString sampleDir();

private:
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_controlPort = 0;
};
