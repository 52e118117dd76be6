// Open step benchmark: opening a database whose four record lists hold 1 000 000 MFNs each,
// through the workstation's open step (request, exchange with the engine, answer checks, the
// lists parsed, statistics written), against a plain blocking socket fetch of the same answer
// from the same emulator in the same run. Prints the medians, the ratios (targets: open step
// <= 1.2, exchange alone <= 1.1), the spread of the rounds and the longest event-loop stall.
#include "BenchSupport.h"
#include "database/Opendb.h"
#include "exchange/Waitunit.h"
#include "exchange/WireFormat.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Labelf.h"
#include "shell/Program.h"
#include "shell/StringGrid.h"
#include "shell/Wamain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kRounds = 7;
constexpr int kCount = 1000000;

QByteArray rawFetch(quint16 port, const QByteArray &message)
{
    QTcpSocket s;
    s.connectToHost(u"127.0.0.1"_s, port);
    if (!s.waitForConnected(5000))
        return {};
    s.write(message);
    QByteArray got;
    got.reserve(64 << 20);
    while (s.waitForReadyRead(10000) || s.bytesAvailable())
        got += s.readAll();
    return got;
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    QTemporaryDir stateDir;
    QProcess sim;
    const quint16 port = Bench::startEmulator(
        sim, stateDir.filePath(u"state"_s), { u"--generate"_s, u"HUGE:"_s + QString::number(kCount) });
    if (port == 0) {
        std::printf("the emulator did not start: %s\n", sim.readAllStandardError().constData());
        return 1;
    }

    // The workstation's windows in a working directory of their own.
    const Bench::Workstation workstation(port);
    OpenDbForm->DBStringGrid->setCell(0, 1, u"HUGE"_s);
    OpenDbForm->DBStringGrid->setRow(1);

    // The same request bytes the engine sends, for the plain client.
    Wire::Identity id;
    id.workstation = "A";
    id.clientId = "424242";
    id.sequence = "0";
    const QByteArray header = Wire::requestHeader(id, "0");
    const QByteArray message = Wire::frameDirect("0", header + "HUGE");

    std::vector<double> openStep, exchangeOnly, raw, stalls, busy;
    qsizetype answerBytes = 0;
    Bench::StallMeter meter;
    for (int round = 0; round <= kRounds; ++round) {
        QElapsedTimer t;
        meter.start();
        t.start();
        OpenDbForm->OpenSelectedDatabase();
        const double open = t.nsecsElapsed() / 1e6;
        const double stall = meter.stop();
        if (DeletedMfns1.size() != kCount || LockedMfns.size() != kCount) {
            std::printf("open step failed: %lld and %lld MFNs\n", qint64(DeletedMfns1.size()),
                qint64(LockedMfns.size()));
            return 1;
        }

        AnswerLines answer;
        t.restart();
        WaitForm->GetDatabaseInfo(u"HUGE"_s, answer);
        const double exchange = t.nsecsElapsed() / 1e6;

        t.restart();
        const QByteArray got = rawFetch(port, message);
        const double fetch = t.nsecsElapsed() / 1e6;
        if (got.size() < 1000000) {
            std::printf("raw fetch failed (%lld bytes)\n", qint64(got.size()));
            return 1;
        }
        answerBytes = got.size();
        // The first round warms the emulator's cache of encoded lists.
        if (round == 0)
            continue;
        openStep.push_back(open);
        exchangeOnly.push_back(exchange);
        raw.push_back(fetch);
        stalls.push_back(stall);
        busy.push_back(meter.longestBusy());
    }

    const double mOpen = Bench::median(openStep), mExchange = Bench::median(exchangeOnly),
                 mRaw = Bench::median(raw);
    std::vector<double> ratios;
    for (size_t i = 0; i < openStep.size(); ++i)
        ratios.push_back(openStep[i] / raw[i]);
    std::sort(ratios.begin(), ratios.end());
    std::printf("Open step, database with 4 x %d MFNs (answer %.1f MB), median of %d:\n", kCount,
        answerBytes / 1048576.0, kRounds);
    std::printf("  open step (exchange, checks, lists, statistics)  %8.1f ms\n", mOpen);
    std::printf("  of which the engine's exchange alone             %8.1f ms\n", mExchange);
    std::printf("  plain blocking socket fetch of the same answer   %8.1f ms\n", mRaw);
    std::printf("  ratio open step / raw fetch                      %8.2f   (target <= 1.2)\n", mOpen / mRaw);
    std::printf(
        "  ratio exchange alone / raw fetch                 %8.2f   (target <= 1.1)\n", mExchange / mRaw);
    std::printf(
        "  spread of the per-round ratios                   %5.2f .. %.2f\n", ratios.front(), ratios.back());
    std::printf("  open step min .. max %.1f .. %.1f ms, raw fetch min .. max %.1f .. %.1f ms\n",
        *std::min_element(openStep.begin(), openStep.end()),
        *std::max_element(openStep.begin(), openStep.end()), *std::min_element(raw.begin(), raw.end()),
        *std::max_element(raw.begin(), raw.end()));
    std::printf(
        "  longest event-loop stall during the open step    %8.1f ms (of it processor time %.1f ms)\n",
        Bench::most(stalls), Bench::most(busy));
    std::printf("  statistics: max MFN %s, locked %s, deleted %s + %s, unactualized %s\n",
        qPrintable(WAMainForm->StatisticGrid->cell(1, 3)), qPrintable(WAMainForm->StatisticGrid->cell(1, 5)),
        qPrintable(WAMainForm->StatisticGrid->cell(1, 6)), qPrintable(WAMainForm->StatisticGrid->cell(1, 7)),
        qPrintable(WAMainForm->StatisticGrid->cell(1, 8)));
    Bench::result("opendb_ratio", mOpen / mRaw);
    Bench::result("exchange_ratio", mExchange / mRaw);
    std::fflush(stdout);

    DestroyForms();
    sim.kill();
    sim.waitForFinished(5000);
    return 0;
}
