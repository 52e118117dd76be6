#pragma once

#include "MfnSet.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Human-readable key/value files of the state directory: "[Section]" lines, "Key=Value" lines,
// ";" or "#" comment lines. Several sections may carry the same name (one per record).
struct KvSection
{
    QByteArray name;
    QList<std::pair<QByteArray, QByteArray>> entries;

    QByteArray value(QByteArrayView key, const QByteArray &defaultValue = {}) const;
    void set(const QByteArray &key, const QByteArray &value);
};
QList<KvSection> parseKv(QByteArrayView bytes);
QByteArray writeKv(const QList<KvSection> &sections, const QStringList &comment);

struct Database
{
    QString name;
    qint32 maxMfn = 0; // the highest record number; the answer shows one more
    bool locked = false;
    MfnSet deleted1;
    MfnSet deleted2;
    MfnSet unactualized;
    MfnSet lockedRecords;

    // The four encoded list lines of the information answer, built on demand.
    mutable QByteArrayList infoCache;
    void changed() { infoCache.clear(); }
};

// The six workstation INI names in the order of the client list: cataloguer C, reader R,
// circulation B, acquisitions M, book provision K, administrator A. Empty = not allowed.
struct Account
{
    QString name;
    QString password;
    QStringList ini;
};

namespace Workstations {
inline constexpr char kLetters[] = "CRBMKA";
QStringList defaultIniNames();
// Index 0..5 of a workstation letter of the client list or of a request header, -1 if unknown.
int indexOf(QStringView letter);
} // namespace Workstations

namespace ClientList {
// Groups of three lines (name, password, workstation INI line) up to "*****". An INI entry that
// the line lacks takes the default name; an entry with an empty value forbids that workstation.
std::optional<QList<Account>> parse(const QStringList &lines, QString *error);
QString iniLine(const Account &account);
QStringList write(const QList<Account> &accounts);
} // namespace ClientList

struct Registration
{
    QString clientId;
    QString ip;
    quint16 port = 0;
    QString name;
    QString workstation;
    QDateTime registered;
    QDateTime confirmed;
    QDateTime lastSeen; // any request; what the stale-registration time-out looks at
    QString command;
    QString commandNumber;
};

// A long server job: database creation and deletion, dictionary and master file work.
struct Job
{
    int number = 0;
    QString processName;
    QString commandCode;
    QString database;
    QString description; // creation only
    QString flag; // creation only
    QString clientId;
    QString ip;
    QString userName;
    QString workstation;
    QString commandNumber;
    qint64 pid = 0;
    QDateTime started;
    QDateTime ends;
};

// The emulator's whole state, kept in a directory and written file by file with an atomic
// replace (temporary file, flush, rename), so a kill at any moment leaves each file either old
// or new.
class SimState
{
public:
    explicit SimState(const QString &dir);

    QString dir() const { return m_dir; }

    // Copies the sample into the state directory when that is missing or empty.
    static bool seedFromSample(
        const QString &stateDir, const QString &sampleDir, bool *seeded, QString *error);

    bool load(QString *error);

    // Databases, by name ignoring letter case.
    Database *database(const QString &name);
    const QMap<QString, Database> &databases() const { return m_databases; }
    bool saveDatabase(const Database &db);
    bool removeDatabase(const QString &name);
    // A database whose four lists hold COUNT numbers each (disjoint ranges), listed in the
    // database list file when it is not there yet.
    bool generateDatabase(const QString &name, qint32 count, QString *error);

    QList<Account> accounts;
    bool saveAccounts();

    QList<Registration> registrations;
    bool saveRegistrations();

    QList<Job> jobs;
    bool saveJobs();

    qint64 requestCounter = 0;
    int nextProcessNumber = 1;
    bool saveServer();

    // Server resources by path code, database and file name; names compare ignoring case like
    // on the real server's file system. A name with path separators or ".." is refused.
    std::optional<QByteArray> readResource(
        const QString &pathCode, const QString &db, const QString &file) const;
    bool writeResource(
        const QString &pathCode, const QString &db, const QString &file, const QByteArray &bytes);

    static inline const QString kDatabaseListFile = QStringLiteral("dbnam1.mnu");
    QByteArray databaseList() const;
    bool saveDatabaseList(const QByteArray &list);
    static bool listHasDatabase(const QByteArray &list, const QString &name);
    static QByteArray listWithDatabase(
        const QByteArray &list, const QString &name, const QString &description);
    static QByteArray listWithoutDatabase(const QByteArray &list, const QString &name);

    // The rule for a new database name: 1..8 characters, Latin letter or "_" first, then Latin
    // letters, digits or "_".
    static bool validDatabaseName(const QString &name);

    QString lastError() const { return m_lastError; }

private:
    bool writeFile(const QString &relativePath, const QByteArray &bytes);
    QString resourcePath(
        const QString &pathCode, const QString &db, const QString &file, bool forWriting) const;
    bool loadDatabases(QString *error);

    QString m_dir;
    QMap<QString, Database> m_databases;
    QString m_lastError;
};
