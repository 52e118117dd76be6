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

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Bench {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
