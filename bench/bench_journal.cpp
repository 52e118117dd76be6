// Journal benchmark: the median round trip of a small command (server version, command 1) against
// the emulator, with the request journal off and on (fed by the engine's report of each finished
// operation, its window open and following), in alternating rounds so that the machine's load
// falls on both alike; and the cost of one entry in a full journal of 10 000.
#include "BenchSupport.h"
#include "exchange/Exchange.h"
#include "exchange/OpResult.h"
#include "exchange/RequestJournal.h"
#include "exchange/Waitunit.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/GridFeatures.h"
#include "shell/JournalForm.h"
#include "shell/Labelf.h"
#include "shell/Program.h"
#include "shell/Wamain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

// One small request through the engine.
double roundTrip()
{
    QStringList answer;
    QElapsedTimer t;
    t.start();
    WaitForm->GetServerVersion(answer);
    // The batch timer and the window's repaints run inside the engine's wait of a later request,
    // so they are counted there.
    return double(t.nsecsElapsed()) / 1e3;
}

} // namespace

int main(int argc, char **argv)
{
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    constexpr int perRound = 50;

    QTemporaryDir stateDir;
    QProcess sim;
    const quint16 port = Bench::startEmulator(sim, stateDir.filePath(u"state"_s));
    if (port == 0) {
        std::printf("the emulator did not start: %s\n", sim.readAllStandardError().constData());
        return 1;
    }
    const Bench::Workstation workstation(port);
    RequestJournal *journal = requestJournal();
    journalForm()->show();

    std::vector<double> off, on;
    TulvaExchange *engine = WaitForm->engine();
    Bench::StallMeter meter;
    meter.start();
    for (int round = 0; round < rounds; ++round) {
        // Off: the engine's report goes nowhere. On: the journal takes it, its window open.
        QObject::disconnect(engine, &TulvaExchange::operationFinished, journal, &RequestJournal::addRecord);
        for (int i = 0; i < perRound; ++i)
            off.push_back(roundTrip());
        QObject::connect(engine, &TulvaExchange::operationFinished, journal, &RequestJournal::addRecord);
        for (int i = 0; i < perRound; ++i)
            on.push_back(roundTrip());
    }
    const double stall = meter.stop();
    const double a = Bench::median(off), b = Bench::median(on);
    std::printf("small-command round trip (command 1, %d requests each, alternating rounds of %d)\n",
        int(off.size()), perRound);
    std::printf(
        "    journal off %8.1f us\n    journal on  %8.1f us   (%+.1f %%)\n", a, b, (b - a) / a * 100.0);
    std::printf("    longest event-loop stall over the round trips: %.1f ms\n", stall);
    std::printf("    journal holds %d entries (capacity %d)\n", journal->size() + journal->pendingCount(),
        journal->capacity());

    // Adding to a full journal with its window open: the oldest entry goes, the newest comes.
    std::vector<double> add;
    JournalEntry e;
    e.started = QDateTime::currentDateTime();
    e.command = "N";
    e.result = OpResult::Accepted;
    while (journal->size() + journal->pendingCount() < journal->capacity())
        journal->add(e);
    journal->flush();
    for (int i = 0; i < 2000; ++i) {
        QElapsedTimer t;
        t.start();
        journal->add(e);
        journal->flush();
        add.push_back(double(t.nsecsElapsed()) / 1e3);
    }
    std::printf("one entry shown at once in a full journal with its window open: %.1f us (median)\n",
        Bench::median(add));

    DestroyForms();
    sim.kill();
    sim.waitForFinished(5000);
    return 0;
}
