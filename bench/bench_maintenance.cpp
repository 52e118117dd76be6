// Record lists and the process list at scale: a record list of 2 000 000 MFNs from the menu
// command to the window shown with its first rows painted; the unactualized list of 1 000 000
// against 1 000 000 deleted records (every row's note looked up); a process list of 10 000 rows
// read from a loopback server into the process grid, and parsed alone. Prints medians.
#include "BenchSupport.h"
#include "ScriptedServer.h"
#include "database/Mfnlist.h"
#include "exchange/TextCodec.h"
#include "exchange/Waitunit.h"
#include "server/ProcessList.h"
#include "server/process.h"
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
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kRounds = 5;

// Counts the paint events of the grid, to be sure the rows were painted.
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
PaintCounter *gPaints = nullptr;

// Runs a list command; the window is shown and its grid painted once, then closed.
double timeListCommand(void (TWAMainForm::*command)(), int *rowsShown)
{
    double painted = 0;
    QElapsedTimer t;
    Dialogs::setModalHandler([&](QDialog *dialog) {
        dialog->show();
        // Renders the window as the screen would show it: every visible row painted.
        (void)dialog->grab();
        painted = t.nsecsElapsed() / 1e6;
        *rowsShown = MFNListForm->MFNStringGrid->rowCount() - 1;
        dialog->hide();
        return int(QDialog::Rejected);
    });
    t.start();
    (WAMainForm->*command)();
    return painted;
}

QStringList processListAnswer(int rows)
{
    QStringList out{ u"0"_s, QString::number(rows), u"9"_s };
    out.reserve(3 + rows * 10);
    for (int r = 1; r <= rows; ++r) {
        out << QString::number(r) << u"192.168.0.17"_s << u"ADMIN"_s << QString::number(100000 + r) << u"A"_s
            << u"08.12.2026 12:00:00"_s << u"TULVA_READ"_s << QString::number(r * 7)
            << QString::number(5000 + r) << u"Активный"_s;
    }
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    Bench::StallMeter meter;

    const Bench::Workstation workstation;
    meter.start();
    CurrentDbName = u"HUGE"_s;

    // 2 000 000 deleted records, half of each kind.
    DeletedMfns2.resize(1000000);
    DeletedMfns1.resize(1000000);
    for (int i = 0; i < 1000000; ++i) {
        DeletedMfns2[i] = 2 * i + 1;
        DeletedMfns1[i] = 2 * i + 2;
    }
    std::vector<double> deleted;
    int rows = 0;
    gPaints = new PaintCounter;
    MFNListForm->MFNStringGrid->viewport()->installEventFilter(gPaints);
    double first = 0;
    for (int round = 0; round <= kRounds; ++round) {
        const double ms = timeListCommand(&TWAMainForm::DeletedListItemClick, &rows);
        if (round > 0)
            deleted.push_back(ms);
        else
            first = ms;
    }
    std::printf("deleted-records list, %d MFNs: window shown and painted in %.2f ms the first time, %.2f ms "
                "(median of %d) after; %d grid paints\n",
        rows, first, Bench::median(deleted), kRounds, gPaints->paints);

    // 1 000 000 unactualized against 1 000 000 deleted, the deleted list shuffled (worst case:
    // it has to be sorted for the look-up) and in order.
    UnactualizedMfns.resize(1000000);
    for (int i = 0; i < 1000000; ++i)
        UnactualizedMfns[i] = 3 * i + 1;
    for (const bool shuffled : { true, false }) {
        if (shuffled)
            std::shuffle(DeletedMfns1.begin(), DeletedMfns1.end(), *QRandomGenerator::global());
        else
            std::sort(DeletedMfns1.begin(), DeletedMfns1.end());
        std::vector<double> unactualized;
        for (int round = 0; round <= kRounds; ++round) {
            const double ms = timeListCommand(&TWAMainForm::UnactualListItemClick, &rows);
            if (round > 0)
                unactualized.push_back(ms);
        }
        std::printf("unactualized list, %d MFNs against %lld deleted (%s): shown and painted in %.2f ms\n",
            rows, qlonglong(DeletedMfns1.size()),
            shuffled ? "deleted list shuffled" : "deleted list in order", Bench::median(unactualized));
    }
    // Every note once, to show the look-up is not quadratic.
    {
        QElapsedTimer t;
        t.start();
        TStringGrid *g = MFNListForm->MFNStringGrid;
        qsizetype marked = 0;
        for (int r = 1; r < g->rowCount(); ++r)
            marked += g->cell(1, r).size();
        std::printf("all %d notes of the unactualized list read through the grid: %.1f ms (%lld chars)\n",
            g->rowCount() - 1, t.nsecsElapsed() / 1e6, qlonglong(marked));
    }

    // Process list of 10 000 rows.
    const QStringList answer = processListAnswer(10000);
    QList<QByteArray> body;
    for (const QString &line : answer)
        body << TextCodec::toBytes(line);
    ScriptedServer server;
    server.listen();
    server.setDefaultScript({ ScriptedServer::reply(body) });
    WaitForm->SetServerAddress(server.host(), server.portText(), u"A"_s);
    std::vector<double> load, parse;
    for (int round = 0; round <= kRounds; ++round) {
        QElapsedTimer t;
        t.start();
        FormProcess->LoadProcessList();
        const double ms = t.nsecsElapsed() / 1e6;
        t.restart();
        const ProcessTable table = parseProcessList(answer);
        const double parsed = t.nsecsElapsed() / 1e6;
        if (FormProcess->StringGridProcess->rowCount() != 10001 || table.rows.size() != 10000) {
            std::printf("process list not loaded\n");
            return 1;
        }
        if (round > 0) {
            load.push_back(ms);
            parse.push_back(parsed);
        }
    }
    std::printf(
        "process list, 10000 rows: LoadProcessList (exchange, parse, grid) %.1f ms; parse alone %.1f ms\n",
        Bench::median(load), Bench::median(parse));

    std::printf("longest event-loop stall over all of the above: %.1f ms (of it processor time %.1f ms)\n",
        meter.stop(), meter.longestBusy());
    Dialogs::reset();
    DestroyForms();
    return 0;
}
