#pragma once

#include <QStringList>

// Process list answers (+3) as the server writes them: "0", N, 9, ten cells per row; row 1 is
// the server itself.
struct Proc
{
    QString number;
    QString clientId;
    QString name;
    QString state = QStringLiteral("Активный");
};

inline QStringList processAnswer(const QList<Proc> &procs)
{
    using namespace Qt::Literals::StringLiterals;
    QStringList out{ u"0"_s, QString::number(procs.size() + 1), u"9"_s };
    out << u"*"_s << u"127.0.0.1"_s << u"Сервер ТУЛВА"_s << u"*****"_s << u"*****"_s
        << u"01.01.2026 10:00:00"_s << u"*****"_s << u"*****"_s << u"100"_s << u"Активный"_s;
    for (const Proc &p : procs) {
        out << p.number << u"127.0.0.1"_s << u"ADMIN"_s << p.clientId << u"A"_s << u"01.01.2026 10:01:00"_s
            << p.name << u"12"_s << u"200"_s << p.state;
    }
    return out;
}
