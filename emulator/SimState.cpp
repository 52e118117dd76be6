#include "SimState.h"

#include "SimWire.h"
#include "exchange/TextCodec.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

const char kCrLf[] = "\r\n";

QByteArray bytesOf(const QString &text)
{
    return TextCodec::toBytes(text);
}

QString textOf(QByteArrayView bytes)
{
    return TextCodec::toText(bytes);
}

QByteArray timeText(const QDateTime &t)
{
    return t.isValid() ? t.toString(Qt::ISODateWithMs).toLatin1() : QByteArray();
}

QDateTime timeOf(const QByteArray &text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
}

bool readFile(const QString &path, QByteArray *bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *bytes = f.readAll();
    return true;
}

QString databaseKey(const QString &name)
{
    return name.toUpper();
}

bool safePart(const QString &part, bool allowEmpty)
{
    if (part.isEmpty())
        return allowEmpty;
    if (part == "."_L1 || part == ".."_L1)
        return false;
    for (QChar c : part) {
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20)
            return false;
    }
    return true;
}

} // namespace

QByteArray KvSection::value(QByteArrayView key, const QByteArray &defaultValue) const
{
    for (const auto &[k, v] : entries) {
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    }
    return defaultValue;
}

void KvSection::set(const QByteArray &key, const QByteArray &value)
{
    entries.append({ key, value });
}

QList<KvSection> parseKv(QByteArrayView bytes)
{
    QList<KvSection> sections;
    for (const QByteArray &raw : SimWire::splitLines(bytes)) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            sections.append(KvSection{ line.mid(1, line.size() - 2).trimmed(), {} });
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        if (sections.isEmpty())
            sections.append(KvSection{});
        sections.last().set(line.first(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return sections;
}

QByteArray writeKv(const QList<KvSection> &sections, const QStringList &comment)
{
    QByteArray out;
    for (const QString &line : comment)
        out += "; " + bytesOf(line) + kCrLf;
    for (const KvSection &s : sections) {
        if (!out.isEmpty())
            out += kCrLf;
        out += '[' + s.name + ']' + kCrLf;
        for (const auto &[k, v] : s.entries)
            out += k + '=' + v + kCrLf;
    }
    return out;
}

QStringList Workstations::defaultIniNames()
{
    return { u"tulvac.ini"_s, u"tulvar.ini"_s, u"tulvab.ini"_s, u"tulvap.ini"_s, u"tulvak.ini"_s,
        u"tulvaa.ini"_s };
}

int Workstations::indexOf(QStringView letter)
{
    if (letter.size() != 1)
        return -1;
    const char16_t c = letter.at(0).toUpper().unicode();
    for (int i = 0; i < 6; ++i) {
        if (c == char16_t(kLetters[i]))
            return i;
    }
    return -1;
}

std::optional<QList<Account>> ClientList::parse(const QStringList &lines, QString *error)
{
    QList<Account> accounts;
    qsizetype i = 0;
    for (;;) {
        if (i >= lines.size()) {
            if (error)
                *error = u"the list does not end with \"*****\""_s;
            return std::nullopt;
        }
        if (lines.at(i) == "*****"_L1)
            break;
        if (i + 2 >= lines.size()) {
            if (error)
                *error = u"incomplete account at line %1"_s.arg(i + 1);
            return std::nullopt;
        }
        Account a;
        a.name = lines.at(i);
        a.password = lines.at(i + 1);
        a.ini = Workstations::defaultIniNames();
        for (const QString &rawEntry : lines.at(i + 2).split(u';')) {
            const QString entry = rawEntry.trimmed();
            const qsizetype eq = entry.indexOf(u'=');
            if (eq < 0)
                continue;
            const int index = Workstations::indexOf(QStringView(entry).first(eq).trimmed());
            if (index >= 0)
                a.ini[index] = entry.mid(eq + 1).trimmed();
        }
        if (a.name.isEmpty()) {
            if (error)
                *error = u"empty client name at line %1"_s.arg(i + 1);
            return std::nullopt;
        }
        accounts.append(a);
        i += 3;
    }
    return accounts;
}

QString ClientList::iniLine(const Account &account)
{
    QString line;
    for (int k = 0; k < 6; ++k)
        line += QString(QLatin1Char(Workstations::kLetters[k])) + u"="_s + account.ini.value(k) + u"; "_s;
    return line;
}

QStringList ClientList::write(const QList<Account> &accounts)
{
    QStringList lines;
    for (const Account &a : accounts)
        lines << a.name << a.password << iniLine(a);
    lines << u"*****"_s;
    return lines;
}

SimState::SimState(const QString &dir)
    : m_dir(QDir(dir).absolutePath())
{
}

bool SimState::seedFromSample(const QString &stateDir, const QString &sampleDir, bool *seeded, QString *error)
{
    *seeded = false;
    QDir state(stateDir);
    if (state.exists() && !state.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        return true;
    QDir sample(sampleDir);
    if (!sample.exists()) {
        *error = u"sample directory %1 not found"_s.arg(sampleDir);
        return false;
    }
    if (!QDir().mkpath(stateDir)) {
        *error = u"cannot create %1"_s.arg(stateDir);
        return false;
    }
    QDirIterator it(sample.absolutePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString rel = sample.relativeFilePath(from);
        const QString to = state.absoluteFilePath(rel);
        QDir().mkpath(QFileInfo(to).absolutePath());
        if (!QFile::copy(from, to)) {
            *error = u"cannot copy %1 to %2"_s.arg(from, to);
            return false;
        }
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    *seeded = true;
    return true;
}

bool SimState::writeFile(const QString &relativePath, const QByteArray &bytes)
{
    const QString path = QDir(m_dir).absoluteFilePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        m_lastError = u"cannot write %1: %2"_s.arg(path, f.errorString());
        return false;
    }
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        m_lastError = u"cannot write %1: %2"_s.arg(path, f.errorString());
        return false;
    }
    return true;
}

bool SimState::load(QString *error)
{
    QDir root(m_dir);
    if (!root.mkpath(u"databases"_s) || !root.mkpath(u"resources/0"_s) || !root.mkpath(u"resources/1"_s)) {
        *error = u"cannot create the state directory %1"_s.arg(m_dir);
        return false;
    }
    QByteArray bytes;
    if (readFile(root.filePath(u"server.ini"_s), &bytes)) {
        for (const KvSection &s : parseKv(bytes)) {
            requestCounter = s.value("RequestCounter", "0").toLongLong();
            nextProcessNumber = qMax(1, s.value("NextProcessNumber", "1").toInt());
        }
    }
    accounts.clear();
    if (readFile(root.filePath(u"clients.txt"_s), &bytes)) {
        QString why;
        auto parsed = ClientList::parse(TextCodec::toText(SimWire::splitLines(bytes)), &why);
        if (!parsed) {
            *error = u"%1: %2"_s.arg(root.filePath(u"clients.txt"_s), why);
            return false;
        }
        accounts = *parsed;
    }
    registrations.clear();
    if (readFile(root.filePath(u"registrations.txt"_s), &bytes)) {
        for (const KvSection &s : parseKv(bytes)) {
            Registration r;
            r.clientId = textOf(s.value("ClientId"));
            if (r.clientId.isEmpty())
                continue;
            r.ip = textOf(s.value("IP"));
            r.port = quint16(s.value("Port").toUInt());
            r.name = textOf(s.value("Name"));
            r.workstation = textOf(s.value("Workstation"));
            r.registered = timeOf(s.value("Registered"));
            r.confirmed = timeOf(s.value("Confirmed"));
            r.lastSeen = timeOf(s.value("LastSeen"));
            if (!r.lastSeen.isValid())
                r.lastSeen = r.confirmed;
            r.command = textOf(s.value("Command"));
            r.commandNumber = textOf(s.value("CommandNumber"));
            registrations.append(r);
        }
    }
    jobs.clear();
    if (readFile(root.filePath(u"processes.txt"_s), &bytes)) {
        for (const KvSection &s : parseKv(bytes)) {
            Job j;
            j.number = s.value("Number").toInt();
            j.processName = textOf(s.value("Name"));
            if (j.number <= 0 || j.processName.isEmpty())
                continue;
            j.commandCode = textOf(s.value("Code"));
            j.database = textOf(s.value("Database"));
            j.description = textOf(s.value("Description"));
            j.flag = textOf(s.value("Flag"));
            j.clientId = textOf(s.value("ClientId"));
            j.ip = textOf(s.value("IP"));
            j.userName = textOf(s.value("User"));
            j.workstation = textOf(s.value("Workstation"));
            j.commandNumber = textOf(s.value("CommandNumber"));
            j.pid = s.value("Pid").toLongLong();
            j.started = timeOf(s.value("Started"));
            j.ends = timeOf(s.value("Ends"));
            if (!j.ends.isValid())
                j.ends = QDateTime::currentDateTime();
            jobs.append(j);
            nextProcessNumber = qMax(nextProcessNumber, j.number + 1);
        }
    }
    return loadDatabases(error);
}

bool SimState::loadDatabases(QString *error)
{
    m_databases.clear();
    QDir dir(QDir(m_dir).filePath(u"databases"_s));
    const QStringList files = dir.entryList({ u"*.txt"_s }, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        if (!file.endsWith(u".txt"_s))
            continue;
        QByteArray bytes;
        if (!readFile(dir.filePath(file), &bytes)) {
            *error = u"cannot read %1"_s.arg(dir.filePath(file));
            return false;
        }
        const QList<KvSection> sections = parseKv(bytes);
        if (sections.isEmpty())
            continue;
        const KvSection &s = sections.first();
        Database db;
        db.name = textOf(s.value("Name"));
        if (db.name.isEmpty())
            db.name = QFileInfo(file).completeBaseName();
        bool ok = true;
        db.maxMfn = s.value("MaxMfn", "0").toInt(&ok);
        if (!ok || db.maxMfn < 0) {
            *error = u"%1: MaxMfn is not a number"_s.arg(dir.filePath(file));
            return false;
        }
        db.locked = s.value("Locked", "0").toInt() != 0;
        const std::pair<const char *, MfnSet *> lists[]
            = { { "Deleted1", &db.deleted1 }, { "Deleted2", &db.deleted2 },
                  { "Unactualized", &db.unactualized }, { "LockedRecords", &db.lockedRecords } };
        for (const auto &[key, set] : lists) {
            auto parsed = MfnSet::fromText(s.value(key));
            if (!parsed) {
                *error = u"%1: %2 is not a list of record numbers like 1,5,7-9"_s.arg(
                    dir.filePath(file), QLatin1StringView(key));
                return false;
            }
            *set = *parsed;
        }
        m_databases.insert(databaseKey(db.name), db);
    }
    return true;
}

Database *SimState::database(const QString &name)
{
    auto it = m_databases.find(databaseKey(name));
    return it == m_databases.end() ? nullptr : &it.value();
}

bool SimState::saveDatabase(const Database &db)
{
    KvSection s{ "Database", {} };
    s.set("Name", bytesOf(db.name));
    s.set("MaxMfn", QByteArray::number(db.maxMfn));
    s.set("Locked", db.locked ? "1" : "0");
    s.set("Deleted1", db.deleted1.toText());
    s.set("Deleted2", db.deleted2.toText());
    s.set("Unactualized", db.unactualized.toText());
    s.set("LockedRecords", db.lockedRecords.toText());
    const QStringList comment{
        u"Состояние базы данных. MaxMfn - наибольший номер записи; Locked - 1, если база заблокирована;"_s,
        u"списки номеров записей: через запятую, диапазоны через дефис (1,5,7-9)."_s
    };
    if (!writeFile(u"databases/"_s + databaseKey(db.name) + u".txt"_s, writeKv({ s }, comment)))
        return false;
    m_databases.insert(databaseKey(db.name), db);
    return true;
}

bool SimState::removeDatabase(const QString &name)
{
    const QString path = QDir(m_dir).filePath(u"databases/"_s + databaseKey(name) + u".txt"_s);
    if (QFile::exists(path) && !QFile::remove(path)) {
        m_lastError = u"cannot remove %1"_s.arg(path);
        return false;
    }
    m_databases.remove(databaseKey(name));
    return true;
}

bool SimState::generateDatabase(const QString &name, qint32 count, QString *error)
{
    if (!validDatabaseName(name)) {
        *error = u"%1 is not a valid database name"_s.arg(name);
        return false;
    }
    if (count < 0 || count > 500'000'000) {
        *error = u"record count %1 out of range"_s.arg(count);
        return false;
    }
    Database db;
    db.name = name;
    db.maxMfn = qint32(qMin<qint64>(qint64(count) * 4, std::numeric_limits<qint32>::max() - 1));
    MfnSet *lists[] = { &db.deleted1, &db.deleted2, &db.unactualized, &db.lockedRecords };
    for (int k = 0; k < 4; ++k)
        *lists[k] = MfnSet::fromRange(qint32(qint64(k) * count + 1), qint32(qint64(k + 1) * count));
    if (!saveDatabase(db)) {
        *error = m_lastError;
        return false;
    }
    const QByteArray list = databaseList();
    if (!listHasDatabase(list, name)) {
        const QString description = u"Сгенерированная база данных (%1 номеров в каждом списке)"_s.arg(count);
        if (!saveDatabaseList(listWithDatabase(list, name, description))) {
            *error = m_lastError;
            return false;
        }
    }
    return true;
}

bool SimState::saveAccounts()
{
    QByteArray out;
    for (const QString &line : ClientList::write(accounts))
        out += bytesOf(line) + kCrLf;
    return writeFile(u"clients.txt"_s, out);
}

bool SimState::saveRegistrations()
{
    QList<KvSection> sections;
    for (const Registration &r : std::as_const(registrations)) {
        KvSection s{ "Client", {} };
        s.set("ClientId", bytesOf(r.clientId));
        s.set("IP", bytesOf(r.ip));
        s.set("Port", QByteArray::number(r.port));
        s.set("Name", bytesOf(r.name));
        s.set("Workstation", bytesOf(r.workstation));
        s.set("Registered", timeText(r.registered));
        s.set("Confirmed", timeText(r.confirmed));
        s.set("LastSeen", timeText(r.lastSeen));
        s.set("Command", bytesOf(r.command));
        s.set("CommandNumber", bytesOf(r.commandNumber));
        sections.append(s);
    }
    return writeFile(u"registrations.txt"_s, writeKv(sections, { u"Зарегистрированные клиенты сервера."_s }));
}

bool SimState::saveJobs()
{
    QList<KvSection> sections;
    for (const Job &j : std::as_const(jobs)) {
        KvSection s{ "Process", {} };
        s.set("Number", QByteArray::number(j.number));
        s.set("Name", bytesOf(j.processName));
        s.set("Code", bytesOf(j.commandCode));
        s.set("Database", bytesOf(j.database));
        if (!j.description.isEmpty())
            s.set("Description", bytesOf(j.description));
        if (!j.flag.isEmpty())
            s.set("Flag", bytesOf(j.flag));
        s.set("ClientId", bytesOf(j.clientId));
        s.set("IP", bytesOf(j.ip));
        s.set("User", bytesOf(j.userName));
        s.set("Workstation", bytesOf(j.workstation));
        s.set("CommandNumber", bytesOf(j.commandNumber));
        s.set("Pid", QByteArray::number(j.pid));
        s.set("Started", timeText(j.started));
        s.set("Ends", timeText(j.ends));
        sections.append(s);
    }
    return writeFile(
        u"processes.txt"_s, writeKv(sections, { u"Длительные процессы сервера; Ends - время окончания."_s }));
}

bool SimState::saveServer()
{
    KvSection s{ "Server", {} };
    s.set("RequestCounter", QByteArray::number(requestCounter));
    s.set("NextProcessNumber", QByteArray::number(nextProcessNumber));
    return writeFile(u"server.ini"_s, writeKv({ s }, { u"Счётчики сервера."_s }));
}

QString SimState::resourcePath(
    const QString &pathCode, const QString &db, const QString &file, bool forWriting) const
{
    if (pathCode.isEmpty() || !safePart(db, true) || !safePart(file, false))
        return {};
    for (QChar c : pathCode) {
        if (!c.isDigit())
            return {};
    }
    QDir dir(QDir(m_dir).filePath(u"resources/"_s + pathCode));
    auto matchIn = [](const QDir &d, const QString &name, QDir::Filters filter) -> QString {
        if (QFileInfo::exists(d.filePath(name)))
            return name;
        const QStringList entries = d.entryList(filter | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString &e : entries) {
            if (e.compare(name, Qt::CaseInsensitive) == 0)
                return e;
        }
        return {};
    };
    if (!db.isEmpty()) {
        const QString sub = matchIn(dir, db, QDir::Dirs);
        dir.setPath(dir.filePath(sub.isEmpty() ? db.toUpper() : sub));
    }
    const QString name = matchIn(dir, file, QDir::Files);
    if (!name.isEmpty())
        return dir.filePath(name);
    return forWriting ? dir.filePath(file) : QString();
}

std::optional<QByteArray> SimState::readResource(
    const QString &pathCode, const QString &db, const QString &file) const
{
    const QString path = resourcePath(pathCode, db, file, false);
    QByteArray bytes;
    if (path.isEmpty() || !readFile(path, &bytes))
        return std::nullopt;
    return bytes;
}

bool SimState::writeResource(
    const QString &pathCode, const QString &db, const QString &file, const QByteArray &bytes)
{
    const QString path = resourcePath(pathCode, db, file, true);
    if (path.isEmpty()) {
        m_lastError = u"bad resource name %1.%2.%3"_s.arg(pathCode, db, file);
        return false;
    }
    return writeFile(QDir(m_dir).relativeFilePath(path), bytes);
}

QByteArray SimState::databaseList() const
{
    return readResource(u"1"_s, {}, kDatabaseListFile).value_or(QByteArray());
}

bool SimState::saveDatabaseList(const QByteArray &list)
{
    return writeResource(u"1"_s, {}, kDatabaseListFile, list);
}

bool SimState::listHasDatabase(const QByteArray &list, const QString &name)
{
    const QByteArrayList lines = SimWire::splitLines(list);
    for (qsizetype i = 0; i + 1 < lines.size() && lines.at(i) != "*****"; i += 2) {
        if (textOf(lines.at(i)).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray SimState::listWithDatabase(const QByteArray &list, const QString &name, const QString &description)
{
    QByteArrayList lines = SimWire::splitLines(list);
    qsizetype end = 0;
    while (end + 1 < lines.size() && lines.at(end) != "*****")
        end += 2;
    // A dangling name without a description would pair with ours; drop it.
    if (end < lines.size() && lines.at(end) != "*****")
        lines.remove(end);
    lines.insert(end, bytesOf(description));
    lines.insert(end, bytesOf(name));
    if (end + 2 >= lines.size() || lines.at(end + 2) != "*****")
        lines.insert(end + 2, "*****");
    return lines.join(kCrLf) + kCrLf;
}

QByteArray SimState::listWithoutDatabase(const QByteArray &list, const QString &name)
{
    QByteArrayList lines = SimWire::splitLines(list);
    for (qsizetype i = 0; i + 1 < lines.size() && lines.at(i) != "*****";) {
        if (textOf(lines.at(i)).compare(name, Qt::CaseInsensitive) == 0)
            lines.remove(i, 2);
        else
            i += 2;
    }
    return lines.isEmpty() ? QByteArray() : lines.join(kCrLf) + kCrLf;
}

bool SimState::validDatabaseName(const QString &name)
{
    if (name.isEmpty() || name.size() > 8)
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
        const bool digit = c >= u'0' && c <= u'9';
        if (!(letter || (i > 0 && digit)))
            return false;
    }
    return true;
}
