// The locked-record picker at scale, against the emulator with a database of 1 000 000 locked
// records: from the menu command to the picker shown with its first rows painted; "select all";
// and "run", which sends every MFN in one request — timed, together with the longest stretch in
// which the event loop did not run (what the administrator sees as a frozen window). Medians.
#include "BenchSupport.h"
#include "database/LockList.h"
#include "database/LockRules.h"
#include "database/Opendb.h"
#include "exchange/Waitunit.h"
#include "shell/Dialogs.h"
#include "shell/Forms.h"
#include "shell/Globals.h"
#include "shell/Labelf.h"
#include "shell/Program.h"
#include "shell/StringGrid.h"
#include "shell/Wamain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kCount = 1000000;
constexpr int kRounds = 5;

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void waitForPaint(const PaintCounter &paints)
{
    const int before = paints.paints;
    QElapsedTimer t;
    t.start();
    while (paints.paints == before && t.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    QTemporaryDir stateDir;
    QProcess sim;
    const quint16 port = Bench::startEmulator(sim, stateDir.filePath(u"state"_s),
        { u"--max-request"_s, u"67108864"_s, u"--generate"_s, u"HUGE:"_s + QString::number(kCount) });
    if (port == 0) {
        std::printf("the emulator did not start: %s\n", sim.readAllStandardError().constData());
        return 1;
    }

    const Bench::Workstation workstation(port);
    OpenDbForm->DBStringGrid->setCell(0, 1, u"HUGE"_s);
    OpenDbForm->DBStringGrid->setRow(1);
    OpenDbForm->OpenSelectedDatabase();
    if (LockedMfns.size() != kCount) {
        std::printf("open step failed: %lld locked MFNs\n", qint64(LockedMfns.size()));
        return 1;
    }
    const QList<qint32> locked = LockedMfns;

    PaintCounter paints;
    LockedListForm->MfnStringGrid->viewport()->installEventFilter(&paints);

    // Showing: menu command to the first rows painted; the picker is then cancelled.
    std::vector<double> shown;
    double firstShown = 0;
    QElapsedTimer t;
    Dialogs::setModalHandler([&](QDialog *dialog) {
        dialog->show();
        waitForPaint(paints);
        shown.push_back(t.nsecsElapsed() / 1e6);
        dialog->reject();
        return int(QDialog::Rejected);
    });
    for (int round = 0; round <= kRounds; ++round) {
        t.start();
        WAMainForm->UnLockListItem->trigger();
        if (round == 0) {
            // The first showing also creates the window's native parts.
            firstShown = shown.front();
            shown.clear();
        }
    }

    // Select all and run: the whole command, request and refresh included.
    double selectAll = 0;
    double runToClosed = 0;
    double commandStall = 0;
    double commandBusy = 0;
    double commandTotal = 0;
    Bench::StallMeter meter;
    Dialogs::setModalHandler([&](QDialog *dialog) {
        dialog->show();
        waitForPaint(paints);
        t.start();
        LockedListForm->SelectAllBitBtn->click();
        waitForPaint(paints);
        selectAll = t.nsecsElapsed() / 1e6;
        t.start();
        LockedListForm->RunBitBtn->click();
        runToClosed = t.nsecsElapsed() / 1e6;
        meter.start();
        return dialog->result();
    });
    QElapsedTimer whole;
    whole.start();
    WAMainForm->UnLockListItem->trigger();
    commandStall = meter.stop();
    commandBusy = meter.longestBusy();
    commandTotal = whole.nsecsElapsed() / 1e6;
    if (UnlockSelection.size() != kCount || !LockedMfns.isEmpty()) {
        std::printf("run failed: %lld picked, %lld still locked\n", qint64(UnlockSelection.size()),
            qint64(LockedMfns.size()));
        return 1;
    }

    // The request alone, as often as the showing (the server accepts MFNs that are no longer locked).
    std::vector<double> request, requestStall, requestBusy;
    for (int round = 0; round < kRounds; ++round) {
        QStringList answer;
        meter.start();
        t.start();
        WaitForm->UnlockRecords(u"HUGE"_s, locked, answer);
        request.push_back(t.nsecsElapsed() / 1e6);
        requestStall.push_back(meter.stop());
        requestBusy.push_back(meter.longestBusy());
    }
    // The refresh that follows a run, alone.
    std::vector<double> refresh, refreshStall, refreshBusy;
    for (int round = 0; round < kRounds; ++round) {
        meter.start();
        t.start();
        OpenDbForm->RefreshCurrentDatabase(TOpenDbForm::OpenBy::Command);
        refresh.push_back(t.nsecsElapsed() / 1e6);
        refreshStall.push_back(meter.stop());
        refreshBusy.push_back(meter.longestBusy());
    }

    std::printf("locked records:                         %d\n", kCount);
    std::printf("picker shown the first time, painted:   %8.1f ms\n", firstShown);
    std::printf(
        "picker shown again, first rows painted: %8.1f ms (median of %d)\n", Bench::median(shown), kRounds);
    std::printf("select all, repainted:                  %8.1f ms\n", selectAll);
    std::printf("run: selection taken, picker closed:    %8.1f ms\n", runToClosed);
    std::printf("unlock request of %d MFNs alone:   %8.1f ms (median), longest freeze %.1f ms (%.1f .. %.1f; "
                "of it processor time %.1f ms)\n",
        kCount, Bench::median(request), Bench::median(requestStall), Bench::least(requestStall),
        Bench::most(requestStall), Bench::most(requestBusy));
    std::printf(
        "refresh of the database alone:          %8.1f ms (median), longest freeze %.1f ms (processor "
        "time %.1f ms)\n",
        Bench::median(refresh), Bench::median(refreshStall), Bench::most(refreshBusy));
    std::printf("run to end of command (request+refresh):%8.1f ms, longest freeze %.1f ms (processor time "
                "%.1f ms; target <= 50)\n",
        commandTotal, commandStall, commandBusy);
    Bench::result("stall_unlock_ms", std::max(commandStall, Bench::median(requestStall)));

    DestroyForms();
    sim.kill();
    sim.waitForFinished();
    return 0;
}
