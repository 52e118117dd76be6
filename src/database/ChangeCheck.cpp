#include "ChangeCheck.h"

#include "DatabaseInfo.h"
#include "exchange/Exchange.h"
#include "exchange/OpResult.h"
#include "exchange/WireFormat.h"
#include "server/ProcessList.h"

#include <algorithm>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace ChangeCheck {

namespace {

const QString kLost = u", ответ сервера потерян."_s;

qint64 sequenceOf(const TulvaExchange &engine)
{
    bool ok = false;
    const qint64 n = Wire::toInteger(engine.sequenceNumber(), &ok);
    return ok ? n : 0;
}

QString failureReason(int result, const QStringList &answer)
{
    if (result == OpResult::Busy)
        return u"выполняется предыдущий запрос к серверу"_s;
    if (result != OpResult::Accepted)
        return u"нет ответа сервера"_s;
    if (answer.isEmpty())
        return u"пустой ответ сервера"_s;
    return u"сервер вернул код "_s + answer.first().left(40);
}

Finding unknown(const QString &question, const QString &why)
{
    return { Outcome::Unknown, question + u", узнать не удалось: "_s + why + u"."_s };
}

std::optional<QList<DatabaseListEntry>> readDatabaseList(
    TulvaExchange &engine, const QString &listFile, QString *why)
{
    QStringList answer;
    // The list as the server has it now, not as it was read before the command.
    engine.ClearResourceCache();
    const int result = engine.ReadResourceCached(1, QString(), listFile, answer);
    if (result != OpResult::Accepted) {
        *why = failureReason(result, answer);
        return std::nullopt;
    }
    return databaseListEntries(answer);
}

bool listed(const QList<DatabaseListEntry> &entries, const QString &name)
{
    return std::any_of(entries.cbegin(), entries.cend(),
        [&name](const DatabaseListEntry &e) { return e.name.compare(name, Qt::CaseInsensitive) == 0; });
}

std::optional<ProcessTable> readProcesses(TulvaExchange &engine, QString *why)
{
    QStringList answer;
    const int result = engine.GetProcessList(answer);
    if (result != OpResult::Accepted || !returnCodeOk(answer)) {
        *why = failureReason(result, answer);
        return std::nullopt;
    }
    return parseProcessList(answer);
}

// Rows of the table as the process grid numbers them: row 1 is the first data row.
std::function<QString(int, int)> cellsOf(const ProcessTable &table)
{
    return [&table](int col, int row) { return table.rows.value(row - 1).value(col); };
}

bool ownProcessRunning(TulvaExchange &engine, const ProcessTable &table, const QString &processName)
{
    return findOwnActiveProcess(int(table.rows.size()) + 1, cellsOf(table), engine.clientId(), processName)
        > 0;
}

std::optional<DatabaseState> readState(TulvaExchange &engine, const QString &name, QString *why)
{
    QStringList answer;
    const int result = engine.GetDatabaseInfo(name, answer);
    DatabaseInfoReading reading = readDatabaseInfo(result, answer);
    if (!reading.state) {
        *why = databaseInfoErrorReason(reading.error);
        return std::nullopt;
    }
    return std::move(reading.state);
}

// A job that changes the database list: the list decides, and while it does not yet show the
// change, this client's running process does.
Finding listJob(TulvaExchange &engine, const QString &listFile, const QString &name, bool wantListed,
    const QString &processName, const QString &doneVerb, const QString &runningVerb, const QString &notVerb)
{
    const QString subject = u"База данных "_s + name;
    QString why;
    const auto entries = readDatabaseList(engine, listFile, &why);
    if (!entries)
        return unknown(doneVerb.left(1).toUpper() + doneVerb.mid(1) + u" ли база данных "_s + name, why);
    if (listed(*entries, name) == wantListed)
        return { Outcome::Done, subject + u" "_s + doneVerb + kLost };
    const auto processes = readProcesses(engine, &why);
    if (!processes)
        return unknown(doneVerb.left(1).toUpper() + doneVerb.mid(1) + u" ли база данных "_s + name, why);
    if (ownProcessRunning(engine, *processes, processName))
        return { Outcome::Running, subject + u" "_s + runningVerb + u" на сервере"_s + kLost };
    return { Outcome::NotDone, u"По данным сервера база данных "_s + name + u" "_s + notVerb + u"."_s };
}

// Name, password and workstation line of each account, in one order whatever the server's.
QList<QStringList> accountLines(
    const QList<ClientList::Account> &accounts, const ClientList::IniNames &defaults)
{
    QList<QStringList> out;
    out.reserve(accounts.size());
    for (const ClientList::Account &a : accounts)
        out.append({ a.name, a.password, ClientList::iniLine(a.ini, defaults) });
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

Attempts::Attempts(const TulvaExchange &engine)
    : m_engine(engine)
    , m_sequenceBefore(sequenceOf(engine))
{
}

int Attempts::count() const
{
    return int(std::clamp<qint64>(sequenceOf(m_engine) - m_sequenceBefore, 0, 1000));
}

bool Attempts::uncertain(int operationResult, bool returnCodeOk) const
{
    if (m_engine.window() && m_engine.window()->programTerminating())
        return false;
    if (operationResult == OpResult::Busy)
        return false;
    if (operationResult != OpResult::Accepted)
        return true;
    return !returnCodeOk && count() > 1;
}

Finding databaseCreated(TulvaExchange &engine, const QString &listFile, const QString &name)
{
    return listJob(
        engine, listFile, name, true, u"TULVA_DB_NEW"_s, u"создана"_s, u"создаётся"_s, u"не создана"_s);
}

Finding databaseDeleted(TulvaExchange &engine, const QString &listFile, const QString &name)
{
    return listJob(
        engine, listFile, name, false, u"TULVA_DB_DELETE"_s, u"удалена"_s, u"удаляется"_s, u"не удалена"_s);
}

Finding databaseCleared(TulvaExchange &engine, const QString &name)
{
    QString why;
    const auto state = readState(engine, name, &why);
    if (!state)
        return unknown(u"Очищена ли база данных "_s + name, why);
    const bool empty = state->maxMfn <= 0 && state->deletedMfns1.isEmpty() && state->deletedMfns2.isEmpty()
        && state->unactualizedMfns.isEmpty() && state->lockedMfns.isEmpty();
    if (empty)
        return { Outcome::Done, u"База данных "_s + name + u" очищена"_s + kLost };
    return { Outcome::NotDone,
        u"По данным сервера база данных "_s + name + u" не очищена: в ней %1 записей."_s.arg(state->maxMfn) };
}

Finding databaseUnlocked(TulvaExchange &engine, const QString &name)
{
    QString why;
    const auto state = readState(engine, name, &why);
    if (!state)
        return unknown(u"Разблокирована ли база данных "_s + name, why);
    if (state->locked == 0)
        return { Outcome::Done, u"База данных "_s + name + u" разблокирована"_s + kLost };
    return { Outcome::NotDone, u"По данным сервера база данных "_s + name + u" осталась заблокированной."_s };
}

Finding recordsUnlocked(TulvaExchange &engine, const QString &name, const QList<qint32> &mfns)
{
    QString why;
    const auto state = readState(engine, name, &why);
    if (!state)
        return unknown(u"Разблокированы ли записи базы данных "_s + name, why);
    QStringList still;
    for (const qint32 mfn : mfns) {
        if (state->lockedMfns.contains(mfn))
            still.append(QString::number(mfn));
    }
    if (still.isEmpty())
        return { Outcome::Done, u"Записи базы данных "_s + name + u" разблокированы"_s + kLost };
    return { Outcome::NotDone,
        u"По данным сервера в базе данных "_s + name + u" остались заблокированными записи: MFN "_s
            + QStringList(still.mid(0, 10)).join(u", "_s) + (still.size() > 10 ? u", …"_s : QString())
            + u"."_s };
}

Finding processStopped(TulvaExchange &engine, const QString &number, const QString &clientId)
{
    QString why;
    const auto processes = readProcesses(engine, &why);
    if (!processes)
        return unknown(u"Остановлен ли процесс "_s + number, why);
    if (rowOfProcess(int(processes->rows.size()) + 1, cellsOf(*processes), number, clientId) < 0)
        return { Outcome::Done, u"Процесс "_s + number + u" остановлен"_s + kLost };
    return { Outcome::NotDone, u"По данным сервера процесс "_s + number + u" не остановлен."_s };
}

Finding registrationRemoved(TulvaExchange &engine, const QString &clientId)
{
    QStringList answer;
    const int result = engine.GetRegisteredClients(answer);
    const auto clients
        = result == OpResult::Accepted ? ClientList::parseRegisteredClients(answer) : std::nullopt;
    if (!clients)
        return unknown(u"Удалена ли регистрация клиента "_s + clientId, failureReason(result, answer));
    const bool still = std::any_of(clients->rows.cbegin(), clients->rows.cend(),
        [&clientId](const QStringList &row) { return row.value(4) == clientId; });
    if (!still)
        return { Outcome::Done, u"Регистрация клиента "_s + clientId + u" удалена"_s + kLost };
    return { Outcome::NotDone,
        u"По данным сервера клиент "_s + clientId + u" остался зарегистрированным."_s };
}

Finding clientListSaved(
    TulvaExchange &engine, const QStringList &sentText, const ClientList::IniNames &defaults)
{
    const QString question = u"Сохранен ли список клиентов"_s;
    QString why;
    const auto sent = ClientList::parseClientListText(sentText, defaults, &why);
    if (!sent)
        return unknown(question, why);
    QStringList answer;
    const int result = engine.GetClientList(answer);
    if (result != OpResult::Accepted || !returnCodeOk(answer))
        return unknown(question, failureReason(result, answer));
    const auto table = ClientList::parseAccountTable(answer, &why);
    // The answer holds every password in clear: not kept a moment longer than needed.
    answer.clear();
    if (!table)
        return unknown(question, u"список клиентов, полученный от сервера, испорчен: "_s + why);
    if (accountLines(ClientList::accountsFromRows(table->rows, table->passwords), defaults)
        == accountLines(*sent, defaults))
        return { Outcome::Done, u"Список клиентов для доступа к серверу сохранен"_s + kLost };
    return { Outcome::NotDone,
        u"По данным сервера список клиентов не совпадает с отправленным: изменения не сохранены."_s };
}

} // namespace ChangeCheck
