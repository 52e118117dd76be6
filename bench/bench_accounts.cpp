// Client accounts benchmark: 100 000 accounts read from the emulator into the accounts window
// (request, exchange, table checks, grid and passwords), sorted by name in the window, and the
// client list text built from the grid; the same steps on the plain core functions alongside.
// Prints the median of several rounds for each (targets: load <= 250 ms, sort <= 60 ms, text
// <= 30 ms) and the longest event-loop stall.
#include "BenchSupport.h"
#include "exchange/TextCodec.h"
#include "exchange/Waitunit.h"
#include "server/ClientList.h"
#include "server/clients.h"
#include "server/clients_edit.h"
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
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kRounds = 5;
const int kAccounts = qEnvironmentVariableIntValue("BENCH_ACCOUNTS") > 0
    ? qEnvironmentVariableIntValue("BENCH_ACCOUNTS")
    : 100000;

// The machine may be shared: besides the wall clock, the processor time this process spent
// on the step, which other processes' load does not inflate as much.
std::vector<double> g_cpu;

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double timeMs(const std::function<void()> &step)
{
    QElapsedTimer t;
    const double cpu = cpuMs();
    t.start();
    step();
    g_cpu.push_back(cpuMs() - cpu);
    return double(t.nsecsElapsed()) / 1e6;
}

// Wall-clock and processor-time medians of one step.
struct Figure
{
    std::vector<double> wall;
    std::vector<double> cpu;
    void add(double wallMs)
    {
        wall.push_back(wallMs);
        cpu.push_back(g_cpu.back());
    }
    void add(double wallMs, double divisor)
    {
        wall.push_back(wallMs);
        cpu.push_back(g_cpu.back() / divisor);
    }
};

void print(const char *what, const Figure &f, const char *target = "")
{
    std::printf(
        "%-60s %8.1f ms wall %8.1f ms cpu %s\n", what, Bench::median(f.wall), Bench::median(f.cpu), target);
}

// Names in random order, Latin and Cyrillic, mixed letter case.
QString randomName(QRandomGenerator &random, int i)
{
    static const QString letters = u"abcdefghijklmnopqrstuvwxyzабвгдежзиклмнопрстуфхцчшщэюя"_s;
    QString name;
    const int length = 6 + int(random.bounded(8));
    for (int k = 0; k < length; ++k) {
        QChar c = letters.at(random.bounded(int(letters.size())));
        name += random.bounded(2) ? c.toUpper() : c;
    }
    return name + QString::number(i);
}

QByteArray clientsFile(int count)
{
    QRandomGenerator random(20240501);
    QStringList lines;
    lines.reserve(count * 3 + 1);
    for (int i = 0; i < count; ++i) {
        lines << randomName(random, i) << u"pw"_s + QString::number(random.bounded(1000000))
              << (i % 3 ? QString() : u"C=own%1.ini; R=; "_s.arg(i % 50));
    }
    lines << u"*****"_s;
    QByteArray out;
    for (const QString &line : std::as_const(lines))
        out += TextCodec::toBytes(line) + "\r\n";
    return out;
}

QString loadAverage()
{
    QFile f(u"/proc/loadavg"_s);
    if (!f.open(QIODevice::ReadOnly))
        return u"unknown"_s;
    return QString::fromLatin1(f.readAll()).section(u' ', 0, 2);
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    Dialogs::setTestMode(true);

    QTemporaryDir state;
    QFile clients(QDir(state.path()).filePath(u"clients.txt"_s));
    if (!clients.open(QIODevice::WriteOnly) || clients.write(clientsFile(kAccounts)) < 0)
        return 1;
    clients.close();
    QProcess sim;
    const quint16 port = Bench::startEmulator(sim, state.path());
    if (port == 0) {
        std::fprintf(stderr, "the emulator did not start\n");
        return 1;
    }

    // No login here: the accounts are read straight away.
    const Bench::Workstation workstation(port);

    double stallWindow = 0;
    Figure load, sortWindow, text, check, exchange, parse, sortCore, sortRussian, textCore;
    Bench::StallMeter meter;
    meter.start();
    for (int round = 0; round < kRounds; ++round) {
        load.add(timeMs([] { FormCLient->LoadClientAccounts(); }));
        if (FormCLient->clientCount() != kAccounts) {
            std::fprintf(stderr, "loaded %d accounts\n", FormCLient->clientCount());
            return 1;
        }
        // Sort by an INI column first, so that the sort by name has work to do.
        FormCLient->SortClientGrid(3);
        sortWindow.add(timeMs([] { FormCLient->SortClientGrid(1); }));
        text.add(timeMs([] {
            if (!FormCLient->clientListBytes().endsWith("*****\r\n"))
                std::abort();
        }));
        check.add(timeMs([] {
            const QList<ClientList::Account> accounts = ClientList::accountsFromRows(
                FormCLient->StringGridCLients->gridModel()->dataRows(), ClientPasswords);
            for (const ClientList::Account &a : accounts) {
                if (!ClientList::accountProblem(a).isEmpty())
                    std::abort();
            }
        }));
        exchange.add(timeMs([] { WaitForm->GetClientList(AnswerList); }));
        if (round == 0)
            stallWindow = meter.stop();

        // The same answer, for the core-only figures.
        const QStringList answer = AnswerList;
        std::optional<ClientList::AccountTable> table;
        parse.add(timeMs([&] { table = ClientList::parseAccountTable(answer, nullptr); }));
        sortCore.add(timeMs([&] {
            qsizetype current = 0;
            ClientList::sortAccountRows(table->rows, table->passwords, 1, &current);
        }));
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        sortRussian.add(timeMs([&] {
            qsizetype current = 0;
            ClientList::sortAccountRows(table->rows, table->passwords, 3, &current);
            ClientList::sortAccountRows(table->rows, table->passwords, 1, &current);
        }) / 2,
            2);
        QLocale::setDefault(QLocale::c());
        textCore.add(timeMs([&] {
            ClientList::clientListBytes(table->rows, table->passwords, TFormClientsEdit::defaultIniNames());
        }));
    }

    std::printf(
        "accounts: %d, rounds: %d, locale: %s (medians)\n", kAccounts, kRounds, qPrintable(QLocale().name()));
    print("window load (GetClientList from the emulator, checks, grid)", load, "(target <= 250)");
    print("window sort by name (grid, passwords, current row)", sortWindow, "(target <= 60)");
    print("client list text from the grid, as sent", text, "(target <= 30)");
    print("checks of every account before a save", check);
    print("exchange alone (GetClientList, answer split and decoded)", exchange);
    print("core: parse the account table", parse);
    print("core: sort the rows by name", sortCore);
    print("core: sort by name, Russian collation (ICU)", sortRussian);
    print("core: build the client list text", textCore);
    std::printf("longest event-loop stall over the window's steps (first round): %.1f ms\n", stallWindow);
    std::printf("load average while measuring: %s\n", qPrintable(loadAverage()));
    Bench::result("accounts_load_ms", Bench::median(load.wall));
    Bench::result("accounts_sort_ms", Bench::median(sortWindow.wall));
    Bench::result("accounts_text_ms", Bench::median(text.wall));

    DestroyForms();
    sim.kill();
    sim.waitForFinished(5000);
    return 0;
}
