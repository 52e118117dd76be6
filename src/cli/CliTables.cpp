#include "CliTables.h"

#include "exchange/TextCodec.h"
#include "exchange/WireFormat.h"
#include "shell/TextRules.h"

#include <QHash>

using namespace Qt::Literals::StringLiterals;

namespace {

qint64 count(const QStringList &answer, qsizetype line)
{
    bool ok = false;
    const qint64 n = answer.value(line).toLongLong(&ok);
    return ok && n > 0 ? n : 0;
}

Table makeTable(const QString &key, const QStringList &keys, const QStringList &titles, QList<QStringList> rows)
{
    Table t;
    t.key = key;
    qsizetype width = keys.size();
    for (const QStringList &r : rows)
        width = qMax(width, r.size());
    for (qsizetype i = 0; i < width; ++i)
        t.columns.append({i < keys.size() ? keys.at(i) : u"column%1"_s.arg(i + 1),
            i < titles.size() ? titles.at(i) : QString::number(i + 1)});
    t.rows = std::move(rows);
    return t;
}

const QStringList kWorkstationLetters{u"C"_s, u"R"_s, u"B"_s, u"M"_s, u"K"_s, u"A"_s};

} // namespace

QList<QStringList> serverTableRows(const QStringList &answer, qsizetype countLine)
{
    const qint64 rows = count(answer, countLine);
    const qint64 cells = count(answer, countLine + 1) + 1;
    QList<QStringList> out;
    qsizetype line = countLine + 2;
    for (qint64 r = 0; r < rows && line < answer.size(); ++r) {
        QStringList row;
        for (qint64 c = 0; c < cells && line < answer.size(); ++c)
            row.append(answer.at(line++));
        out.append(row);
    }
    return out;
}

Table processTable(const QStringList &answer)
{
    return makeTable(u"processes"_s,
        {u"number"_s, u"ip"_s, u"user"_s, u"client_id"_s, u"workstation"_s, u"started"_s, u"command"_s,
            u"command_number"_s, u"process_id"_s, u"state"_s},
        {u"№"_s, u"IP адрес"_s, u"Имя"_s, u"Идентификатор"_s, u"АРМ"_s, u"Время запуска"_s,
            u"Выполняемая команда"_s, u"Номер команды"_s, u"ID процесса"_s, u"Состояние"_s},
        serverTableRows(answer, 1));
}

Table registeredClientsTable(const QStringList &answer)
{
    return makeTable(u"clients"_s,
        {u"number"_s, u"ip"_s, u"port"_s, u"user"_s, u"client_id"_s, u"workstation"_s, u"registered"_s,
            u"confirmed"_s, u"command"_s, u"command_number"_s},
        {u"№"_s, u"IP адрес"_s, u"Порт"_s, u"Имя"_s, u"Идентификатор"_s, u"АРМ"_s, u"Регистрация"_s,
            u"Подтверждение"_s, u"Текущая команда"_s, u"Номер команды"_s},
        serverTableRows(answer, 2));
}

qsizetype findOwnActiveProcess(const QList<QStringList> &rows, const QString &clientId, const QString &name)
{
    const QString id = upperLatin(clientId);
    const QString wanted = upperLatin(name);
    // Row 0 is the server itself and never matches.
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        if (upperLatin(row.value(3)) == id && upperLatin(row.value(6)) == wanted
            && upperLatin(row.value(9)) == upperLatin(u"Активный"_s))
            return r;
    }
    return -1;
}

QString processCommandCode(const QString &processName)
{
    static const QList<std::pair<QString, QString>> table{
        {u"TULVA_REG"_s, u"A"_s}, {u"TULVA_UNREG"_s, u"B"_s}, {u"TULVA_READ"_s, u"C"_s},
        {u"TULVA_UPDATE"_s, u"D"_s}, {u"TULVA_GBL"_s, u"5"_s}, {u"TULVA_PRINT"_s, u"7"_s},
        {u"TULVA_STAT"_s, u"2"_s}, {u"TULVA_RUNLOCK"_s, u"E"_s}, {u"TULVA_RECIFUPDATE"_s, u"F"_s},
        {u"TULVA_SVR_FORMAT"_s, u"G"_s}, {u"TULVA_TRM_READ"_s, u"H"_s}, {u"TULVA_PREV_TRM"_s, u"P"_s},
        {u"TULVA_POSTING"_s, u"I"_s}, {u"TULVA_SEARCH"_s, u"K"_s}, {u"TULVA_CONTEXT"_s, u"L"_s},
        {u"TULVA_NOOP"_s, u"N"_s}, {u"TULVA_BACKUP"_s, u"M"_s}, {u"TULVA_MAXMFN"_s, u"O"_s},
        {u"TULVA_CREATE_DICT"_s, u"Z"_s}, {u"TULVA_RELOAD_DICT"_s, u"Y"_s}, {u"TULVA_RELOAD_MASTER"_s, u"X"_s},
        {u"TULVA_DB_UNLOCK_MFN"_s, u"Q"_s}, {u"TULVA_DB_UNLOCK"_s, u"U"_s}, {u"TULVA_DB_EMPTY"_s, u"S"_s},
        {u"TULVA_DB_NEW"_s, u"T"_s}, {u"TULVA_UPDATE_INI"_s, u"8"_s}, {u"TULVA_GET_DELETED_LIST"_s, u"0"_s},
        {u"TULVA_ADMINISTRATOR_COMMANDS"_s, u"+"_s},
    };
    for (const auto &[name, code] : table)
        if (name == processName)
            return code;
    return QString();
}

JobKind jobKind(int watchKind)
{
    switch (watchKind) {
    case 0: return {u"TULVA_CREATE_DICT"_s, u"Создание словаря заново"_s, 10};
    case 1: return {u"TULVA_RELOAD_DICT"_s, u"Реорганизация файла словаря"_s, 5};
    case 2: return {u"TULVA_RELOAD_MASTER"_s, u"Реорганизация файла документов"_s, 5};
    case 3: return {u"TULVA_DB_NEW"_s, u"Создание новой базы данных"_s, 3};
    default: return {u"TULVA_DB_DELETE"_s, u"Удаление базы данных"_s, 3};
    }
}

QString workstationIniLine(const QStringList &iniCells, const IniDefaults &defaults)
{
    QString line;
    for (qsizetype i = 0; i < kWorkstationLetters.size(); ++i) {
        const QString cell = iniCells.value(i);
        if (cell != defaults.names.value(i))
            line += kWorkstationLetters.at(i) + u'=' + cell + u"; "_s;
    }
    return line;
}

QList<Account> accountsFromAnswer(const QStringList &answer, const IniDefaults &defaults)
{
    QList<Account> out;
    for (const QStringList &row : serverTableRows(answer, 1)) {
        if (row.size() < 3)
            break; // an account cut before its password is no account
        out.append({row.at(1), row.at(2), workstationIniLine(row.mid(3), defaults)});
    }
    return out;
}

QStringList clientListLines(const QList<Account> &accounts)
{
    QStringList lines;
    for (const Account &a : accounts)
        lines << a.name << a.password << a.iniLine;
    lines.append(u"*****"_s);
    return lines;
}

bool parseClientListText(const QByteArray &bytes, QList<Account> *accounts, QString *error)
{
    accounts->clear();
    QStringList lines;
    // Only CR LF or LF end a line here: a lone CR is not how these files are written.
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(TextCodec::toText(line));
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const qsizetype end = lines.indexOf(u"*****"_s);
    if (end < 0) {
        *error = u"the list does not end with a line \"*****\""_s;
        return false;
    }
    if (end % 3 != 0) {
        *error = u"the account before \"*****\" is incomplete (name, password and INI line each)"_s;
        return false;
    }
    if (end == 0) {
        *error = u"the list holds no account"_s;
        return false;
    }
    for (qsizetype i = 0; i < end; i += 3) {
        if (lines.at(i).isEmpty()) {
            *error = u"account %1 has an empty name"_s.arg(i / 3 + 1);
            accounts->clear();
            return false;
        }
        accounts->append({lines.at(i), lines.at(i + 1), lines.at(i + 2)});
    }
    return true;
}

QList<AccountChange> accountChanges(const QList<Account> &current, const QList<Account> &wanted)
{
    QHash<QString, const Account *> before;
    for (const Account &a : current)
        before.insert(upperCp1251(a.name), &a);
    QHash<QString, const Account *> after;
    for (const Account &a : wanted)
        after.insert(upperCp1251(a.name), &a);
    QList<AccountChange> out;
    for (const Account &a : wanted) {
        const Account *old = before.value(upperCp1251(a.name));
        if (!old) {
            out.append({u'+', a.name, QString()});
            continue;
        }
        QStringList what;
        if (old->password != a.password)
            what.append(u"password"_s);
        if (old->iniLine != a.iniLine)
            what.append(u"workstations \"%1\" -> \"%2\""_s.arg(old->iniLine.trimmed(), a.iniLine.trimmed()));
        if (old->name != a.name)
            what.append(u"name \"%1\" -> \"%2\""_s.arg(old->name, a.name));
        if (!what.isEmpty())
            out.append({u'~', a.name, what.join(u", "_s)});
    }
    for (const Account &a : current)
        if (!after.contains(upperCp1251(a.name)))
            out.append({u'-', a.name, QString()});
    return out;
}
