#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <vector>

// What the benchmark programs share: the emulator, the workstation's windows, the median.
namespace Bench {

double median(std::vector<double> values);
// Smallest and largest value.
double least(const std::vector<double> &values);
double most(const std::vector<double> &values);

// Without a platform named, the benchmarks run offscreen: no display is needed. Call before the
// application object is made.
void useOffscreenPlatform();

// One line that scripts/bench reads: "result NAME VALUE".
void result(const char *name, double value);

// The longest time the event loop did not run while the meter ran: the longest freeze of the
// window. A 2 ms timer ticks; the longest gap between ticks is the stall.
class StallMeter : public QObject
{
public:
    void start();
    // The longest stall in ms.
    double stop();
    // The processor time this thread spent in the longest such gap, in ms: on a machine shared
    // with other work the wall-clock stall also counts the time the thread waited for a core.
    double longestBusy() const { return double(m_longestCpu) / 1e6; }
    // Runs the event loop until done() holds (checked on every tick).
    void runUntil(const std::function<bool()> &done);

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestCpu = 0;
};

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
