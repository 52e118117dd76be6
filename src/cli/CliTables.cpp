#include "CliTables.h"

#include "shell/TextRules.h"

#include <QCoreApplication>
#include <QHash>

using namespace Qt::Literals::StringLiterals;

namespace {

// The translation context of this file's texts.
class CliTables
{
    Q_DECLARE_TR_FUNCTIONS(CliTables)
};

Table makeTable(
    const QString &key, const QStringList &keys, const QStringList &titles, QList<QStringList> rows)
{
    Table t;
    t.key = key;
    qsizetype width = keys.size();
    for (const QStringList &r : rows)
        width = qMax(width, r.size());
    for (qsizetype i = 0; i < width; ++i)
        t.columns.append({ i < keys.size() ? keys.at(i) : u"column%1"_s.arg(i + 1),
            i < titles.size() ? titles.at(i) : QString::number(i + 1) });
    t.rows = std::move(rows);
    return t;
}

} // namespace

Table processTable(const ProcessTable &processes)
{
    return makeTable(u"processes"_s,
        { u"number"_s, u"ip"_s, u"user"_s, u"client_id"_s, u"workstation"_s, u"started"_s, u"command"_s,
            u"command_number"_s, u"process_id"_s, u"state"_s },
        { u"№"_s, u"IP адрес"_s, u"Имя"_s, u"Идентификатор"_s, u"АРМ"_s, u"Время запуска"_s,
            u"Выполняемая команда"_s, u"Номер команды"_s, u"ID процесса"_s, u"Состояние"_s },
        processes.rows);
}

Table registeredClientsTable(const ClientList::RegisteredClients &clients)
{
    return makeTable(u"clients"_s,
        { u"number"_s, u"ip"_s, u"port"_s, u"user"_s, u"client_id"_s, u"workstation"_s, u"registered"_s,
            u"confirmed"_s, u"command"_s, u"command_number"_s },
        { u"№"_s, u"IP адрес"_s, u"Порт"_s, u"Имя"_s, u"Идентификатор"_s, u"АРМ"_s, u"Регистрация"_s,
            u"Подтверждение"_s, u"Текущая команда"_s, u"Номер команды"_s },
        clients.rows);
}

qsizetype findOwnActiveProcess(const QList<QStringList> &rows, const QString &clientId, const QString &name)
{
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        if (isOwnActiveProcess(row.value(ProcessColumn::ClientId), row.value(ProcessColumn::Name),
                row.value(ProcessColumn::State), clientId, name))
            return r;
    }
    return -1;
}

JobKind jobKind(int watchKind)
{
    switch (watchKind) {
    case 0:
        return { u"TULVA_CREATE_DICT"_s, u"Создание словаря заново"_s, 10 };
    case 1:
        return { u"TULVA_RELOAD_DICT"_s, u"Реорганизация файла словаря"_s, 5 };
    case 2:
        return { u"TULVA_RELOAD_MASTER"_s, u"Реорганизация файла документов"_s, 5 };
    case 3:
        return { u"TULVA_DB_NEW"_s, u"Создание новой базы данных"_s, 3 };
    default:
        return { u"TULVA_DB_DELETE"_s, u"Удаление базы данных"_s, 3 };
    }
}

QList<AccountChange> accountChanges(
    const QList<ClientList::Account> &current, const QList<ClientList::Account> &wanted)
{
    // Indexes of the current accounts under each name, the next one to pair first.
    QHash<QString, QList<qsizetype>> before;
    for (qsizetype i = 0; i < current.size(); ++i)
        before[upperLatin(current.at(i).name)].append(i);
    QList<bool> paired(current.size(), false);
    QList<AccountChange> out;
    for (const ClientList::Account &a : wanted) {
        QList<qsizetype> &same = before[upperLatin(a.name)];
        if (same.isEmpty()) {
            out.append({ u'+', a.name, QString() });
            continue;
        }
        const qsizetype i = same.takeFirst();
        paired[i] = true;
        const ClientList::Account &old = current.at(i);
        QStringList what;
        if (old.name != a.name)
            what.append(CliTables::tr("name %1 -> %2").arg(old.name, a.name));
        if (old.password != a.password)
            what.append(CliTables::tr("password"));
        for (int w = 0; w < ClientList::WorkstationCount; ++w)
            if (old.ini.at(w) != a.ini.at(w))
                what.append(u"%1: \"%2\" -> \"%3\""_s.arg(QChar(ClientList::WorkstationLetters.at(w)))
                                .arg(old.ini.at(w), a.ini.at(w)));
        if (!what.isEmpty())
            out.append({ u'~', a.name, what.join(u", "_s) });
    }
    for (qsizetype i = 0; i < current.size(); ++i)
        if (!paired.at(i))
            out.append({ u'-', current.at(i).name, QString() });
    return out;
}
