#include "Faults.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct KindName
{
    FaultRule::Kind kind;
    const char *name;
    bool takesArg;
    bool needsArg;
    qint64 defaultArg;
};

constexpr KindName kKinds[] = {
    { FaultRule::Kind::Delay, "delay", true, true, 0 },
    { FaultRule::Kind::Hang, "hang", false, false, 0 },
    { FaultRule::Kind::Cut, "cut", true, true, 0 },
    { FaultRule::Kind::Cut, "drop", false, false, 0 },
    { FaultRule::Kind::BadLength, "badlength", true, false, 1 },
    { FaultRule::Kind::BadSeq, "badseq", false, false, 0 },
    { FaultRule::Kind::BadId, "badid", false, false, 0 },
    { FaultRule::Kind::Binary, "binary", true, false, 64 },
    { FaultRule::Kind::Error, "error", true, true, 0 },
};

} // namespace

std::optional<FaultRule> FaultRule::parse(const QString &ruleText, QString *error)
{
    // The command code itself never holds ":".
    const QStringList parts = ruleText.trimmed().split(u':');
    if (parts.size() < 2 || parts.size() > 3 || parts.at(0).isEmpty()) {
        *error = u"fault \"%1\": expected CMD:KIND[=ARG][:COUNT]"_s.arg(ruleText);
        return std::nullopt;
    }
    FaultRule rule;
    rule.command = parts.at(0).toLatin1();
    QString kind = parts.at(1);
    QString arg;
    const qsizetype eq = kind.indexOf(u'=');
    if (eq >= 0) {
        arg = kind.mid(eq + 1);
        kind.truncate(eq);
    }
    const KindName *found = nullptr;
    for (const KindName &k : kKinds) {
        if (kind.compare(QLatin1StringView(k.name), Qt::CaseInsensitive) == 0)
            found = &k;
    }
    if (!found) {
        *error
            = u"fault \"%1\": unknown kind \"%2\" (delay, hang, cut, drop, badlength, badseq, badid, binary, error)"_s
                  .arg(ruleText, kind);
        return std::nullopt;
    }
    rule.kind = found->kind;
    rule.arg = found->defaultArg;
    if (eq >= 0 && !found->takesArg) {
        *error = u"fault \"%1\": %2 takes no value"_s.arg(ruleText, kind);
        return std::nullopt;
    }
    if (eq < 0 && found->needsArg) {
        *error = u"fault \"%1\": %2 needs a value"_s.arg(ruleText, kind);
        return std::nullopt;
    }
    if (eq >= 0) {
        bool ok = false;
        rule.arg = arg.toLongLong(&ok);
        const bool negativeAllowed = rule.kind == Kind::BadLength || rule.kind == Kind::Error;
        if (!ok || (!negativeAllowed && rule.arg < 0)) {
            *error = u"fault \"%1\": \"%2\" is not a valid number"_s.arg(ruleText, arg);
            return std::nullopt;
        }
    }
    if (parts.size() == 3) {
        bool ok = false;
        rule.remaining = parts.at(2).toInt(&ok);
        if (!ok || rule.remaining <= 0) {
            *error = u"fault \"%1\": count \"%2\" must be a positive number"_s.arg(ruleText, parts.at(2));
            return std::nullopt;
        }
    }
    return rule;
}

QString FaultRule::describe() const
{
    QString name;
    bool withArg = true;
    switch (kind) {
    case Kind::Delay:
        name = u"delay"_s;
        break;
    case Kind::Hang:
        name = u"hang"_s;
        withArg = false;
        break;
    case Kind::Cut:
        name = u"cut"_s;
        break;
    case Kind::BadLength:
        name = u"badlength"_s;
        break;
    case Kind::BadSeq:
        name = u"badseq"_s;
        withArg = false;
        break;
    case Kind::BadId:
        name = u"badid"_s;
        withArg = false;
        break;
    case Kind::Binary:
        name = u"binary"_s;
        break;
    case Kind::Error:
        name = u"error"_s;
        break;
    }
    QString text = QString::fromLatin1(command) + u':' + name;
    if (withArg)
        text += u'=' + QString::number(arg);
    if (remaining > 0)
        text += u':' + QString::number(remaining);
    return text;
}

bool FaultTable::add(const QString &ruleText, QString *error)
{
    auto rule = FaultRule::parse(ruleText, error);
    if (!rule)
        return false;
    m_rules.append(*rule);
    return true;
}

void FaultTable::clear(const QByteArray &command)
{
    if (command.isEmpty()) {
        m_rules.clear();
        return;
    }
    m_rules.removeIf([&](const FaultRule &r) { return r.command == command; });
}

AppliedFaults FaultTable::take(const QByteArray &command)
{
    AppliedFaults out;
    for (FaultRule &r : m_rules) {
        if (r.command != command && r.command != "*")
            continue;
        switch (r.kind) {
        case FaultRule::Kind::Delay:
            out.delayMs += r.arg;
            break;
        case FaultRule::Kind::Hang:
            out.hang = true;
            break;
        case FaultRule::Kind::Cut:
            out.cutAfter = out.cutAfter < 0 ? r.arg : qMin(out.cutAfter, r.arg);
            break;
        case FaultRule::Kind::BadLength:
            out.lengthDelta += r.arg;
            break;
        case FaultRule::Kind::BadSeq:
            out.badSequence = true;
            break;
        case FaultRule::Kind::BadId:
            out.badClientId = true;
            break;
        case FaultRule::Kind::Binary:
            out.binaryBytes = r.arg;
            break;
        case FaultRule::Kind::Error:
            out.errorCode = QByteArray::number(r.arg);
            break;
        }
        if (r.remaining > 0)
            --r.remaining;
    }
    m_rules.removeIf([](const FaultRule &r) { return r.remaining == 0; });
    return out;
}

QStringList FaultTable::describe() const
{
    QStringList lines;
    for (const FaultRule &r : m_rules)
        lines.append(r.describe());
    return lines;
}
