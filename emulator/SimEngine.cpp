#include "SimEngine.h"

#include <cstring>

#include "exchange/TextCodec.h"

#include <QCoreApplication>

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kActive = u"Активный"_s;
const QString kServerName = u"Сервер ТУЛВА"_s;

QString shownTime(const QDateTime &t)
{
    return t.toString(u"dd.MM.yyyy hh:mm:ss"_s);
}

QByteArray b(const QString &text)
{
    return TextCodec::toBytes(text);
}

QByteArray crlfText(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines)
        out += b(line) + "\r\n";
    return out;
}

struct JobKind
{
    const char *command;
    const char *processName;
    const char16_t *title;
};

constexpr JobKind kJobKinds[] = {
    { "T", "TULVA_DB_NEW", u"Создание новой базы данных" },
    { "W", "TULVA_DB_DELETE", u"Удаление базы данных" },
    { "Z", "TULVA_CREATE_DICT", u"Создание словаря заново" },
    { "Y", "TULVA_RELOAD_DICT", u"Реорганизация файла словаря" },
    { "X", "TULVA_RELOAD_MASTER", u"Реорганизация файла документов" },
};

const JobKind *jobKindByCommand(const QString &command)
{
    for (const JobKind &k : kJobKinds) {
        if (command == QLatin1StringView(k.command))
            return &k;
    }
    return nullptr;
}

const JobKind *jobKindByProcess(const QString &name)
{
    for (const JobKind &k : kJobKinds) {
        if (name == QLatin1StringView(k.processName))
            return &k;
    }
    return nullptr;
}

bool isDecimal(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (!c.isDigit() || c.unicode() > 0x7F)
            return false;
    }
    return true;
}

} // namespace

SimEngine::SimEngine(SimState *state, QObject *parent)
    : QObject(parent)
    , m_state(state)
{
    m_volatileTimer.setSingleShot(true);
    m_volatileTimer.setInterval(1000);
    connect(&m_volatileTimer, &QTimer::timeout, this, &SimEngine::flushVolatile);
}

SimEngine::~SimEngine()
{
    if (m_volatileTimer.isActive())
        flushVolatile();
}

void SimEngine::setServerEndpoint(const QString &ip, quint16 port)
{
    m_serverIp = ip;
    m_serverPort = port;
}

QString SimEngine::processNameFor(const QString &command)
{
    static const std::pair<const char *, const char *> table[] = {
        { "A", "TULVA_REG" },
        { "B", "TULVA_UNREG" },
        { "C", "TULVA_READ" },
        { "D", "TULVA_UPDATE" },
        { "5", "TULVA_GBL" },
        { "7", "TULVA_PRINT" },
        { "2", "TULVA_STAT" },
        { "E", "TULVA_RUNLOCK" },
        { "F", "TULVA_RECIFUPDATE" },
        { "G", "TULVA_SVR_FORMAT" },
        { "H", "TULVA_TRM_READ" },
        { "P", "TULVA_PREV_TRM" },
        { "I", "TULVA_POSTING" },
        { "K", "TULVA_SEARCH" },
        { "L", "TULVA_CONTEXT" },
        { "N", "TULVA_NOOP" },
        { "M", "TULVA_BACKUP" },
        { "O", "TULVA_MAXMFN" },
        { "Z", "TULVA_CREATE_DICT" },
        { "Y", "TULVA_RELOAD_DICT" },
        { "X", "TULVA_RELOAD_MASTER" },
        { "Q", "TULVA_DB_UNLOCK_MFN" },
        { "U", "TULVA_DB_UNLOCK" },
        { "S", "TULVA_DB_EMPTY" },
        { "T", "TULVA_DB_NEW" },
        { "W", "TULVA_DB_DELETE" },
        { "8", "TULVA_UPDATE_INI" },
        { "0", "TULVA_GET_DELETED_LIST" },
        { "1", "TULVA_VERSION" },
    };
    if (command.startsWith(u'+'))
        return u"TULVA_ADMINISTRATOR_COMMANDS"_s;
    for (const auto &[code, name] : table) {
        if (command == QLatin1StringView(code))
            return QString::fromLatin1(name);
    }
    return u"TULVA_"_s + command;
}

void SimEngine::countRequest()
{
    ++m_state->requestCounter;
    markVolatile();
}

int SimEngine::allocateProcessNumber()
{
    const int n = qMax(2, m_state->nextProcessNumber);
    m_state->nextProcessNumber = n + 1;
    markVolatile();
    return n;
}

void SimEngine::markVolatile()
{
    if (!m_volatileTimer.isActive())
        m_volatileTimer.start();
}

void SimEngine::flushVolatile()
{
    m_volatileTimer.stop();
    m_state->saveServer();
    m_state->saveRegistrations();
}

void SimEngine::touchRegistration(const SimWire::Request &request)
{
    const QString id = TextCodec::toText(request.clientId());
    for (Registration &r : m_state->registrations) {
        if (r.clientId == id) {
            r.command = TextCodec::toText(request.command());
            r.commandNumber = TextCodec::toText(request.sequence());
            r.lastSeen = QDateTime::currentDateTime();
            if (request.command() == "N")
                r.confirmed = r.lastSeen;
            markVolatile();
            return;
        }
    }
}

void SimEngine::dropStaleRegistrations()
{
    if (m_clientTimeout <= 0)
        return;
    const QDateTime limit = QDateTime::currentDateTime().addSecs(-m_clientTimeout);
    const qsizetype removed = m_state->registrations.removeIf(
        [&](const Registration &r) { return !r.lastSeen.isValid() || r.lastSeen < limit; });
    if (removed > 0)
        m_state->saveRegistrations();
}

QByteArrayList SimEngine::handle(const SimWire::Request &request, const SimPeer &peer)
{
    if (!request.headerComplete)
        return code(SimCode::BadRequest);
    const QByteArray command = request.command();
    const QStringList args = TextCodec::toText(request.args);
    touchRegistration(request);

    if (command == "A")
        return registerClient(request, peer);
    if (command == "B")
        return unregisterClient(request);
    if (command == "N")
        return code(0);
    if (command == "0")
        return databaseInfo(args);
    if (command == "L")
        return readResource(args);
    if (command == "F")
        return actualize(args);
    if (command == "S")
        return clearDatabase(args);
    if (command == "U")
        return unlockDatabase(args);
    if (command == "Q")
        return unlockRecords(args);
    if (command == "T" || command == "W" || command == "Z" || command == "Y" || command == "X")
        return startJob(request, peer, args);
    if (command == "+8")
        return code(0);
    if (command == "+1")
        return registeredClients();
    if (command == "+9")
        return clientList();
    if (command == "+7")
        return saveClientList(args);
    if (command == "+3")
        return processList();
    if (command == "+6")
        return deleteRegistration(args);
    if (command == "+4")
        return stopProcess(args);
    if (command == "1")
        return version();
    return code(SimCode::UnknownCommand);
}

QByteArrayList SimEngine::registerClient(const SimWire::Request &r, const SimPeer &peer)
{
    if (r.args.size() < 2)
        return code(SimCode::BadRequest);
    const QString name = TextCodec::toText(r.args.at(0));
    const QString password = TextCodec::toText(r.args.at(1));
    const Account *account = nullptr;
    for (const Account &a : std::as_const(m_state->accounts)) {
        // The client sends the name upper-cased; Cyrillic letters fold as well.
        if (a.name.compare(name, Qt::CaseInsensitive) == 0 && a.password == password) {
            account = &a;
            break;
        }
    }
    if (!account)
        return code(SimCode::WrongLogin);
    const int station = Workstations::indexOf(TextCodec::toText(r.workstation()));
    const QString iniName = station >= 0 ? account->ini.value(station) : QString();
    if (iniName.isEmpty())
        return code(SimCode::WorkstationDenied);

    dropStaleRegistrations();
    const QString id = TextCodec::toText(r.clientId());
    Registration *existing = nullptr;
    for (Registration &reg : m_state->registrations) {
        if (reg.clientId == id)
            existing = &reg;
    }
    if (!existing && m_state->registrations.size() >= m_maxClients)
        return code(SimCode::TooManyClients);
    if (!existing) {
        m_state->registrations.append(Registration{});
        existing = &m_state->registrations.last();
    }
    const QDateTime now = QDateTime::currentDateTime();
    existing->clientId = id;
    existing->ip = peer.ip;
    existing->port = peer.port;
    existing->name = name;
    existing->workstation = TextCodec::toText(r.workstation());
    existing->registered = now;
    existing->confirmed = now;
    existing->lastSeen = now;
    existing->command = u"A"_s;
    existing->commandNumber = TextCodec::toText(r.sequence());
    if (!m_state->saveRegistrations())
        return code(SimCode::SaveFailed);

    QByteArrayList out{ "0", b(iniName) };
    const QByteArray profile = m_state->readResource(u"0"_s, {}, iniName).value_or(QByteArray());
    out += SimWire::splitLines(profile);
    return out;
}

QByteArrayList SimEngine::unregisterClient(const SimWire::Request &r)
{
    const QString id = TextCodec::toText(r.clientId());
    if (m_state->registrations.removeIf([&](const Registration &reg) { return reg.clientId == id; }) > 0) {
        if (!m_state->saveRegistrations())
            return code(SimCode::SaveFailed);
    }
    return code(0);
}

QByteArrayList SimEngine::databaseInfo(const QStringList &args)
{
    QByteArrayList refusal;
    const Database *db = argumentDatabase(args, &refusal);
    if (!db)
        return refusal;
    if (db->infoCache.size() != 4) {
        db->infoCache = { db->deleted1.toWireLine(), db->deleted2.toWireLine(), db->unactualized.toWireLine(),
            db->lockedRecords.toWireLine() };
    }
    QByteArrayList out{ "0" };
    out += db->infoCache;
    out << QByteArray::number(qint64(db->maxMfn) + 1) << (db->locked ? "1" : "0");
    return out;
}

QByteArrayList SimEngine::readResource(const QStringList &args)
{
    // "code.database.file": the file name may hold dots of its own.
    QByteArray text;
    if (!args.isEmpty()) {
        const QString &resourceArg = args.at(0);
        const qsizetype first = resourceArg.indexOf(u'.');
        const qsizetype second = first < 0 ? -1 : resourceArg.indexOf(u'.', first + 1);
        if (second > 0) {
            text = m_state
                       ->readResource(resourceArg.first(first),
                           resourceArg.mid(first + 1, second - first - 1), resourceArg.mid(second + 1))
                       .value_or(QByteArray());
        }
    }
    return { SimWire::encodeLineBreaks(text) };
}

QByteArrayList SimEngine::actualize(const QStringList &args)
{
    QByteArrayList refusal;
    Database *db = argumentDatabase(args, &refusal);
    if (!db)
        return refusal;
    if (db->locked)
        return code(SimCode::DatabaseLocked);
    const int mfn = args.value(1).toInt();
    Database changed = *db;
    if (mfn <= 0)
        changed.unactualized.clear();
    else
        changed.unactualized.remove({ mfn });
    changed.changed();
    if (!m_state->saveDatabase(changed))
        return code(SimCode::SaveFailed);
    return code(0);
}

QByteArrayList SimEngine::clearDatabase(const QStringList &args)
{
    QByteArrayList refusal;
    Database *db = argumentDatabase(args, &refusal);
    if (!db)
        return refusal;
    if (db->locked)
        return code(SimCode::DatabaseLocked);
    if (databaseBusy(db->name))
        return code(SimCode::DatabaseBusy);
    Database changed = *db;
    changed.maxMfn = 0;
    changed.deleted1.clear();
    changed.deleted2.clear();
    changed.unactualized.clear();
    changed.lockedRecords.clear();
    changed.changed();
    if (!m_state->saveDatabase(changed))
        return code(SimCode::SaveFailed);
    return code(0);
}

QByteArrayList SimEngine::unlockDatabase(const QStringList &args)
{
    QByteArrayList refusal;
    Database *db = argumentDatabase(args, &refusal);
    if (!db)
        return refusal;
    if (db->locked) {
        Database changed = *db;
        changed.locked = false;
        changed.changed();
        if (!m_state->saveDatabase(changed))
            return code(SimCode::SaveFailed);
    }
    return code(0);
}

QByteArrayList SimEngine::unlockRecords(const QStringList &args)
{
    QByteArrayList refusal;
    Database *db = argumentDatabase(args, &refusal);
    if (!db)
        return refusal;
    QList<qint32> mfns;
    for (qsizetype i = 1; i < args.size(); ++i) {
        bool ok = false;
        const qint32 mfn = args.at(i).trimmed().toInt(&ok);
        if (ok && mfn > 0)
            mfns.append(mfn);
    }
    Database changed = *db;
    changed.lockedRecords.remove(mfns);
    if (changed.lockedRecords == db->lockedRecords)
        return code(0);
    changed.changed();
    if (!m_state->saveDatabase(changed))
        return code(SimCode::SaveFailed);
    return code(0);
}

Database *SimEngine::argumentDatabase(const QStringList &args, QByteArrayList *refusal)
{
    if (args.isEmpty()) {
        *refusal = code(SimCode::BadRequest);
        return nullptr;
    }
    Database *db = m_state->database(args.at(0));
    if (!db)
        *refusal = code(SimCode::UnknownDatabase);
    return db;
}

bool SimEngine::databaseBusy(const QString &name) const
{
    for (const Job &j : m_state->jobs) {
        if (j.database.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

Job *SimEngine::findJob(int number)
{
    for (Job &j : m_state->jobs) {
        if (j.number == number)
            return &j;
    }
    return nullptr;
}

QStringList SimEngine::jobStartLines(const Job &job) const
{
    const JobKind *kind = jobKindByProcess(job.processName);
    QStringList lines;
    lines << u"Процесс %1 запущен (номер %2)"_s.arg(job.processName).arg(job.number);
    if (kind)
        lines << QString::fromUtf16(kind->title);
    lines << u"База данных: %1"_s.arg(job.database);
    lines << u"Время запуска: %1"_s.arg(shownTime(job.started));
    return lines;
}

QByteArrayList SimEngine::startJob(const SimWire::Request &r, const SimPeer &peer, const QStringList &args)
{
    const QString command = TextCodec::toText(r.command());
    const JobKind *kind = jobKindByCommand(command);
    if (args.isEmpty() || !kind)
        return code(SimCode::BadRequest);
    const QString name = args.at(0);
    if (command == "T"_L1) {
        if (!SimState::validDatabaseName(name))
            return code(SimCode::BadDatabaseName);
        if (m_state->database(name) || SimState::listHasDatabase(m_state->databaseList(), name))
            return code(SimCode::DatabaseExists);
        if (databaseBusy(name))
            return code(SimCode::DatabaseBusy);
    } else {
        const Database *db = m_state->database(name);
        if (!db)
            return code(SimCode::UnknownDatabase);
        if (db->locked || (command == "W"_L1 && !db->lockedRecords.isEmpty()))
            return code(SimCode::DatabaseLocked);
        if (databaseBusy(db->name))
            return code(SimCode::DatabaseBusy);
    }
    Job job;
    job.number = allocateProcessNumber();
    job.processName = QString::fromLatin1(kind->processName);
    job.commandCode = command;
    const Database *db = m_state->database(name);
    job.database = db ? db->name : name;
    if (command == "T"_L1) {
        job.description = args.value(1);
        job.flag = args.value(2);
    }
    job.clientId = TextCodec::toText(r.clientId());
    job.ip = peer.ip;
    job.userName = TextCodec::toText(r.userName());
    job.workstation = TextCodec::toText(r.workstation());
    job.commandNumber = TextCodec::toText(r.sequence());
    job.pid = 4000 + job.number;
    job.started = QDateTime::currentDateTime();
    job.ends = job.started.addMSecs(m_jobMs);
    m_state->jobs.append(job);
    if (!m_state->saveJobs() || !m_state->saveServer()) {
        m_state->jobs.removeLast();
        return code(SimCode::SaveFailed);
    }
    QByteArrayList out{ "0" };
    if (m_jobMs <= 0) {
        // Finished before the answer: the answer carries the whole log.
        for (const QString &line : finishJob(job.number, false))
            out.append(b(line));
        return out;
    }
    for (const QString &line : jobStartLines(job))
        out.append(b(line));
    scheduleJob(job);
    return out;
}

void SimEngine::scheduleJob(const Job &job)
{
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    const qint64 left = qMax<qint64>(0, QDateTime::currentDateTime().msecsTo(job.ends));
    timer->setInterval(int(qMin<qint64>(left, std::numeric_limits<int>::max())));
    const int number = job.number;
    connect(timer, &QTimer::timeout, this, [this, number] { finishJob(number, false); });
    m_jobTimers.insert(number, timer);
    timer->start();
}

void SimEngine::startJobs()
{
    const QList<Job> jobs = m_state->jobs;
    for (const Job &j : jobs)
        scheduleJob(j);
}

void SimEngine::finishAllJobs()
{
    const QList<Job> jobs = m_state->jobs;
    for (const Job &j : jobs)
        finishJob(j.number, false);
}

void SimEngine::writeLog(const Job &job, const QStringList &lines)
{
    if (!isDecimal(job.clientId))
        return;
    m_state->writeResource(u"0"_s, {}, job.clientId + u".ibf"_s, crlfText(lines));
}

QStringList SimEngine::finishJob(int number, bool stopped)
{
    if (QTimer *timer = m_jobTimers.take(number))
        timer->deleteLater();
    Job *found = findJob(number);
    if (!found)
        return {};
    const Job job = *found;
    const JobKind *kind = jobKindByProcess(job.processName);
    QStringList log;
    log << u"Протокол процесса %1"_s.arg(job.processName);
    if (kind)
        log << QString::fromUtf16(kind->title);
    log << u"База данных: %1"_s.arg(job.database);
    log << u"Клиент: %1 (идентификатор %2, АРМ %3)"_s.arg(job.userName, job.clientId, job.workstation);
    log << u"Время запуска: %1"_s.arg(shownTime(job.started));
    log << u"Время окончания: %1"_s.arg(shownTime(QDateTime::currentDateTime()));

    bool ok = true;
    if (stopped) {
        log << u"Процесс остановлен по команде администратора; изменения не внесены."_s;
        log << u"Результат: процесс прерван"_s;
    } else {
        Database *db = m_state->database(job.database);
        if (job.commandCode == "T"_L1) {
            if (!db) {
                Database created;
                created.name = job.database;
                ok = m_state->saveDatabase(created);
            }
            const QByteArray list = m_state->databaseList();
            if (ok && !SimState::listHasDatabase(list, job.database))
                ok = m_state->saveDatabaseList(
                    SimState::listWithDatabase(list, job.database, job.description));
            log << u"Описание: %1"_s.arg(job.description);
            log << u"Признак создания: %1"_s.arg(job.flag.isEmpty() ? u"0"_s : job.flag);
            log << u"Записей в базе данных: 0"_s;
            log << (ok ? u"Результат: база данных создана"_s : u"Результат: ошибка записи на сервере"_s);
        } else if (!db && job.commandCode != "W"_L1) {
            log << u"Результат: база данных не найдена"_s;
        } else if (job.commandCode == "W"_L1) {
            const qint32 records = db ? db->maxMfn : 0;
            const QByteArray list = m_state->databaseList();
            if (SimState::listHasDatabase(list, job.database))
                ok = m_state->saveDatabaseList(SimState::listWithoutDatabase(list, job.database));
            if (ok)
                ok = m_state->removeDatabase(job.database);
            log << u"Удалено записей: %1"_s.arg(records);
            log << (ok ? u"Результат: база данных удалена"_s : u"Результат: ошибка записи на сервере"_s);
        } else {
            Database changed = *db;
            const qint64 deleted = changed.deleted1.count() + changed.deleted2.count();
            log << u"Записей в базе данных: %1"_s.arg(changed.maxMfn);
            if (job.commandCode == "X"_L1) {
                log << u"Удалено логически удалённых записей: %1"_s.arg(changed.deleted1.count());
                log << u"Удалено записей второго вида: %1"_s.arg(changed.deleted2.count());
                log << u"Записей после реорганизации: %1"_s.arg(qMax<qint64>(0, changed.maxMfn - deleted));
                changed.deleted1.clear();
                changed.deleted2.clear();
            } else {
                log << u"Обработано записей: %1"_s.arg(qMax<qint64>(0, changed.maxMfn - deleted));
                log << u"Актуализировано записей: %1"_s.arg(changed.unactualized.count());
                changed.unactualized.clear();
            }
            changed.changed();
            ok = m_state->saveDatabase(changed);
            log << (ok ? u"Результат: процесс завершён успешно"_s : u"Результат: ошибка записи на сервере"_s);
        }
    }
    // The job leaves the table only after its effect and log are written, so a restart in
    // between finishes it again (the effects above are idempotent).
    writeLog(job, log);
    if (ok) {
        m_state->jobs.removeIf([number](const Job &j) { return j.number == number; });
        m_state->saveJobs();
    } else {
        // The state could not be written; try again shortly rather than leave a job for ever.
        Job retry = job;
        retry.ends = QDateTime::currentDateTime().addSecs(1);
        scheduleJob(retry);
    }
    return log;
}

QByteArrayList SimEngine::registeredClients()
{
    dropStaleRegistrations();
    QByteArrayList out{ "0", QByteArray::number(m_state->requestCounter),
        QByteArray::number(m_state->registrations.size() + 1), "9" };
    out << "*" << b(m_serverIp) << QByteArray::number(m_serverPort) << b(kServerName) << "*****"
        << "*****" << b(shownTime(m_startTime)) << b(shownTime(QDateTime::currentDateTime())) << "*****"
        << "*****";
    int row = 1;
    for (const Registration &r : std::as_const(m_state->registrations)) {
        out << QByteArray::number(row++) << b(r.ip) << QByteArray::number(r.port) << b(r.name)
            << b(r.clientId) << b(r.workstation) << b(shownTime(r.registered)) << b(shownTime(r.confirmed))
            << b(r.command) << b(r.commandNumber);
    }
    return out;
}

QByteArrayList SimEngine::clientList()
{
    QByteArrayList out{ "0", QByteArray::number(m_state->accounts.size()), "8" };
    out.reserve(out.size() + m_state->accounts.size());
    // The nine lines of an account in one piece (the answer puts the last line break): a list of a
    // hundred thousand accounts is then made of as many pieces, not of nine times as many.
    int row = 1;
    for (const Account &a : std::as_const(m_state->accounts)) {
        qsizetype size = 11 + a.name.size() + a.password.size() + 16;
        for (int k = 0; k < 6; ++k)
            size += a.ini.value(k).size() + 2;
        QByteArray lines(size, Qt::Uninitialized);
        char *p = lines.data();
        const auto put = [&p](QByteArrayView bytes) {
            std::memcpy(p, bytes.data(), size_t(bytes.size()));
            p += bytes.size();
        };
        const auto text = [&p](const QString &value) { p = TextCodec::appendBytes(p, value); };
        put(QByteArray::number(row++));
        for (int k = -2; k < 6; ++k) {
            put("\r\n");
            text(k == -2 ? a.name : k == -1 ? a.password : a.ini.value(k));
        }
        lines.truncate(p - lines.constData());
        out << lines;
    }
    return out;
}

QByteArrayList SimEngine::saveClientList(const QStringList &args)
{
    QString why;
    auto accounts = ClientList::parse(args, &why);
    // An empty list would lock every administrator out of the server.
    if (!accounts || accounts->isEmpty())
        return code(SimCode::BadClientList);
    const QList<Account> previous = m_state->accounts;
    m_state->accounts = *accounts;
    if (!m_state->saveAccounts()) {
        m_state->accounts = previous;
        return code(SimCode::SaveFailed);
    }
    return code(0);
}

QByteArrayList SimEngine::processList()
{
    QList<HeldRequest> held = heldRequests ? heldRequests() : QList<HeldRequest>();
    QByteArrayList out{ "0", QByteArray::number(1 + m_state->jobs.size() + held.size()), "9" };
    out << "*" << b(m_serverIp) << b(kServerName) << "*****"
        << "*****" << b(shownTime(m_startTime)) << "*****"
        << "*****" << QByteArray::number(QCoreApplication::applicationPid()) << b(kActive);
    for (const Job &j : std::as_const(m_state->jobs)) {
        out << QByteArray::number(j.number) << b(j.ip) << b(j.userName) << b(j.clientId) << b(j.workstation)
            << b(shownTime(j.started)) << b(j.processName) << b(j.commandNumber) << QByteArray::number(j.pid)
            << b(kActive);
    }
    for (const HeldRequest &h : std::as_const(held)) {
        out << QByteArray::number(h.number) << b(h.ip) << b(h.userName) << b(h.clientId) << b(h.workstation)
            << b(shownTime(h.since)) << b(processNameFor(h.command)) << b(h.commandNumber)
            << QByteArray::number(4000 + h.number) << b(kActive);
    }
    return out;
}

QByteArrayList SimEngine::deleteRegistration(const QStringList &args)
{
    if (args.isEmpty())
        return code(SimCode::BadRequest);
    const QString id = args.at(0).trimmed();
    if (m_state->registrations.removeIf([&](const Registration &r) { return r.clientId == id; }) == 0)
        return code(SimCode::NoSuchClient);
    if (!m_state->saveRegistrations())
        return code(SimCode::SaveFailed);
    return code(0);
}

QByteArrayList SimEngine::stopProcess(const QStringList &args)
{
    // Client id, command code, process number. The number is the key; the command code may be
    // empty (a deletion has none in the workstation's table).
    if (args.size() < 3)
        return code(SimCode::BadRequest);
    const QString clientId = args.at(0).trimmed();
    bool ok = false;
    const int number = args.at(2).trimmed().toInt(&ok);
    if (!ok || number <= 1)
        return code(SimCode::NoSuchProcess);
    if (const Job *job = findJob(number)) {
        if (!clientId.isEmpty() && job->clientId != clientId)
            return code(SimCode::NoSuchProcess);
        finishJob(number, true);
        return code(0);
    }
    if (stopHeld && stopHeld(number))
        return code(0);
    return code(SimCode::NoSuchProcess);
}

QByteArrayList SimEngine::version()
{
    return { "0", b(u"Сервер ТУЛВА64 (эмулятор tulva-sim)"_s), "2024.1",
        QByteArray::number(m_state->registrations.size()), QByteArray::number(m_maxClients),
        b(u"Запущен: %1"_s.arg(shownTime(m_startTime))) };
}
