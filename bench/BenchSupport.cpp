#include "BenchSupport.h"

#include "exchange/Waitunit.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Labelf.h"
#include "shell/Program.h"
#include "shell/Wamain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace Qt::Literals::StringLiterals;

namespace Bench {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double least(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double most(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

void useOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void result(const char *name, double value)
{
    std::printf("result %s %.3f\n", name, value);
    std::fflush(stdout);
}

namespace {

qint64 threadCpuNs()
{
#ifdef CLOCK_THREAD_CPUTIME_ID
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
#else
    return 0;
#endif
}

} // namespace

void StallMeter::start()
{
    m_longest = 0;
    m_longestCpu = 0;
    m_clock.start();
    m_last = 0;
    m_lastCpu = threadCpuNs();
    m_timer.setInterval(2);
    m_timer.disconnect();
    connect(&m_timer, &QTimer::timeout, this, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        m_longest = std::max(m_longest, now - m_last);
        m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
        m_last = now;
        m_lastCpu = cpu;
    });
    m_timer.start();
}

double StallMeter::stop()
{
    m_timer.stop();
    m_timer.disconnect();
    m_longest = std::max(m_longest, m_clock.nsecsElapsed() - m_last);
    m_longestCpu = std::max(m_longestCpu, threadCpuNs() - m_lastCpu);
    return double(m_longest) / 1e6;
}

void StallMeter::runUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start();
    if (!done())
        loop.exec();
}

quint16 startEmulator(QProcess &sim, const QString &state, const QStringList &extra)
{
    sim.setProgram(QStringLiteral(TULVA_SIM_EXE));
    sim.setArguments(QStringList{ u"--port"_s, u"0"_s, u"--quiet"_s, u"--state"_s, state } + extra);
    sim.start();
    if (!sim.waitForStarted(5000))
        return 0;
    static const QRegularExpression listening(u"^listening 127\\.0\\.0\\.1:(\\d+)$"_s);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 120000) {
        if (!sim.canReadLine() && !sim.waitForReadyRead(500))
            continue;
        const auto m = listening.match(QString::fromUtf8(sim.readLine()).trimmed());
        if (m.hasMatch())
            return quint16(m.captured(1).toUInt());
    }
    return 0;
}

Workstation::Workstation(quint16 port)
{
    QDir::setCurrent(m_work.path());
    QFile::copy(QStringLiteral(TULVA_SOURCE_DIR "/data/TULVAMSG.TXT"), m_work.filePath(u"TULVAMSG.TXT"_s));
    Dialogs::setTestMode(true);
    LabelForm = new TLabelForm;
    CreateForms();
    WAMainForm->TimerStart->stop();
    if (port != 0)
        WaitForm->SetServerAddress(u"127.0.0.1"_s, QString::number(port), u"A"_s);
}

} // namespace Bench
