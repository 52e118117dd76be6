#pragma once

#include <QString>

// The few things of the console that Qt does not offer: Ctrl+C, whether a stream is a terminal,
// and reading a password without echo. Everything platform-specific stays in Terminal.cpp.
namespace Terminal {

// From now on Ctrl+C (and a termination request) only sets a flag, which the program polls.
void catchInterrupts();
bool interrupted();

bool stdinIsTerminal();
bool stderrIsTerminal();

// The value of an environment variable that holds a secret, then the variable gone: its bytes
// in the process's environment are overwritten (where the system keeps them in reach) and it is
// removed, so neither child processes nor a look at the process's environment find it. False
// when the variable is not set.
bool takeSecretVariable(const char *name, QString *value);

// Writes the prompt to standard error and reads one line from standard input without echo.
// False when the input ended or Ctrl+C was pressed (the terminal is restored in every case).
bool readSecretLine(const QString &prompt, QString *line);

} // namespace Terminal
