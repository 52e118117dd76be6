#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Misbehaviour on demand, per command code or for every command ("*"). A rule is written
// CMD:KIND[=ARG][:COUNT]; COUNT limits it to the next COUNT requests of that command.
//   delay=MS      wait MS milliseconds before handling and answering
//   hang          never answer (until a cancel message, a stop request or the client leaves)
//   cut=N         send only the first N bytes of the answer, then close
//   drop          close without answering (cut=0)
//   badlength[=D] line 4 of the answer off by D (default 1)
//   badseq        echo a wrong sequence number
//   badid         echo a wrong client id
//   binary[=N]    append the binary marker and N bytes (default 64), counted in line 4
//   error=CODE    answer only the return code CODE, without doing the command
struct FaultRule
{
    enum class Kind { Delay, Hang, Cut, BadLength, BadSeq, BadId, Binary, Error };
    QByteArray command;
    Kind kind = Kind::Delay;
    qint64 arg = 0;
    int remaining = -1; // -1: until cleared

    QString describe() const;
    static std::optional<FaultRule> parse(const QString &ruleText, QString *error);
};

// What the rules that matched one request ask for.
struct AppliedFaults
{
    qint64 delayMs = 0;
    bool hang = false;
    qint64 cutAfter = -1;
    qint64 lengthDelta = 0;
    bool badSequence = false;
    bool badClientId = false;
    qint64 binaryBytes = -1;
    std::optional<QByteArray> errorCode;

    bool any() const
    {
        return delayMs > 0 || hang || cutAfter >= 0 || lengthDelta != 0 || badSequence || badClientId
            || binaryBytes >= 0 || errorCode.has_value();
    }
};

class FaultTable
{
public:
    bool add(const QString &ruleText, QString *error);
    void add(const FaultRule &rule) { m_rules.append(rule); }
    // Removes the rules of one command, or all when the command is empty.
    void clear(const QByteArray &command = {});
    // The rules matching this command, counting them down.
    AppliedFaults take(const QByteArray &command);
    QStringList describe() const;
    bool isEmpty() const { return m_rules.isEmpty(); }

private:
    QList<FaultRule> m_rules;
};
