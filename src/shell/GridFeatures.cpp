#include "GridFeatures.h"

#include "Forms.h"
#include "JournalForm.h"
#include "StringGrid.h"
#include "database/Mfnlist.h"
#include "exchange/Exchange.h"
#include "exchange/RequestJournal.h"
#include "exchange/Waitunit.h"
#include "server/clients.h"
#include "server/main.h"
#include "server/process.h"

using namespace Qt::Literals::StringLiterals;

namespace {
RequestJournal *g_journal = nullptr;
TJournalForm *g_journalForm = nullptr;
} // namespace

void SetUpGridFeatures()
{
    if (FormProcess) {
        // A process is the same process while its number and its client stay.
        FormProcess->StringGridProcess->setFilterEnabled(true);
        FormProcess->StringGridProcess->setKeyColumns({ 0, 3 });
        FormProcess->StringGridProcess->rememberColWidths(u"Processes"_s);
    }
    if (FormCLient) {
        TStringGrid *grid = FormCLient->StringGridCLients;
        grid->setFilterEnabled(true);
        grid->setKeyColumns({ 1 });
        grid->rememberColWidths(u"Accounts"_s);
        // The password column shows "*****"; whatever it holds for a moment, nothing else leaves it.
        grid->setCellTextHook(
            [](int col, int row, const QString &shown) { return col == 2 && row > 0 ? u"*****"_s : shown; });
    }
    if (FormRegClients) {
        FormRegClients->StringGridClient->setFilterEnabled(true);
        FormRegClients->StringGridClient->setKeyColumns({ 4 });
        FormRegClients->StringGridClient->rememberColWidths(u"RegisteredClients"_s);
    }
    if (MFNListForm)
        MFNListForm->MFNStringGrid->setFilterEnabled(true);

    if (!g_journal)
        g_journal = new RequestJournal;
    if (WaitForm && WaitForm->engine())
        QObject::connect(
            WaitForm->engine(), &TulvaExchange::operationFinished, g_journal, &RequestJournal::addRecord);
}

void TearDownGridFeatures()
{
    delete g_journalForm;
    g_journalForm = nullptr;
    delete g_journal;
    g_journal = nullptr;
}

RequestJournal *requestJournal()
{
    return g_journal;
}

TJournalForm *journalForm()
{
    if (!g_journalForm && g_journal)
        g_journalForm = new TJournalForm(g_journal);
    return g_journalForm;
}
