#pragma once

#include <QString>
#include <QStringList>

// What a server operation returns.
namespace OpResult {
inline constexpr int Accepted = 1; // an answer arrived and passed the checks
inline constexpr int Failed = 2; // the exchange failed
inline constexpr int Busy = 7; // refused: another exchange is running
} // namespace OpResult

// What the program says when a command is refused because a request is still running.
inline const QString BusyCommandText
    = QStringLiteral("Предыдущий запрос к серверу ещё выполняется. Повторите команду позже.");

// True when the answer's first line is the server's "0" (done).
inline bool returnCodeOk(const QStringList &answer)
{
    return !answer.isEmpty() && answer.first() == QLatin1StringView("0");
}

class AnswerLines;
// The same test on an answer kept as received bytes (reads only the first line).
bool returnCodeOk(const AnswerLines &answer);
