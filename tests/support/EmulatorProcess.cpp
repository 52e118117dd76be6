#include "EmulatorProcess.h"

#include <QElapsedTimer>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

QString EmulatorProcess::program()
{
    return QStringLiteral(TULVA_SIM_EXE);
}

QString EmulatorProcess::sampleDir()
{
    return QStringLiteral(TULVA_SOURCE_DIR "/emulator/sample");
}

EmulatorProcess::EmulatorProcess(const QStringList &args)
{
    m_process.setProgram(program());
    m_process.setArguments(QStringList{ u"--port"_s, u"0"_s, u"--quiet"_s } + args);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return;
    static const QRegularExpression listening(u"^listening 127\\.0\\.0\\.1:(\\d+)$"_s);
    static const QRegularExpression control(u"^control 127\\.0\\.0\\.1:(\\d+)$"_s);
    const bool wantControl = args.contains(u"--control-port"_s);
    // Returns as soon as the lines are there; the bound only matters for a start that hangs, and a
    // sanitizer build on a loaded machine may take a good while to come up.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 60000 && (m_port == 0 || (wantControl && m_controlPort == 0))) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(200)) {
            if (m_process.state() != QProcess::Running)
                return;
            continue;
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        const auto m = listening.match(line);
        if (m.hasMatch())
            m_port = quint16(m.captured(1).toUInt());
        const auto c = control.match(line);
        if (c.hasMatch())
            m_controlPort = quint16(c.captured(1).toUInt());
    }
}

EmulatorProcess::~EmulatorProcess()
{
    kill();
}

void EmulatorProcess::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
