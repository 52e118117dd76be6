#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <vector>

// What the benchmark programs share: the emulator, the workstation's windows, the median.
namespace Bench {

double median(std::vector<double> values);

// Starts tulva-sim on a free loopback port with its state in `state` and the extra arguments;
// the port it took, or 0 when it did not come up (a generated database may take a while).
quint16 startEmulator(QProcess &sim, const QString &state, const QStringList &extra = {});

// Every window of the workstation, created in a fresh working directory that holds the message
// file; boxes are answered by their default buttons. Requests go to the port when it is not 0.
class Workstation
{
public:
    explicit Workstation(quint16 port = 0);

private:
    QTemporaryDir m_work;
};

} // namespace Bench
