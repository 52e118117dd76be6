#include "Terminal.h"

#include <QtGlobal>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#ifdef __APPLE__
#include <crt_externs.h>
#define environ (*_NSGetEnviron())
#else
extern char **environ;
#endif
#endif

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int)
{
    g_interrupted = 1;
}

#ifndef _WIN32
// The terminal state to put back if the prompt is interrupted.
termios g_savedTerminal;
volatile std::sig_atomic_t g_echoOff = 0;

extern "C" void onInterruptDuringPrompt(int signal)
{
    if (g_echoOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
#endif

} // namespace

namespace Terminal {

void catchInterrupts()
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
#ifdef SIGBREAK
    std::signal(SIGBREAK, onInterrupt);
#endif
}

bool interrupted()
{
    return g_interrupted != 0;
}

bool stdinIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdin)) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

bool stderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

bool takeSecretVariable(const char *name, QString *value)
{
    if (!qEnvironmentVariableIsSet(name))
        return false;
    *value = qEnvironmentVariable(name);
#ifndef _WIN32
    const size_t length = std::strlen(name);
    for (char **entry = environ; entry && *entry; ++entry) {
        char *text = *entry;
        if (std::strncmp(text, name, length) == 0 && text[length] == '=')
            std::memset(text + length + 1, 0, std::strlen(text + length + 1));
    }
#endif
    qunsetenv(name);
    return true;
}

bool readSecretLine(const QString &prompt, QString *line)
{
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
#ifdef _WIN32
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode);
    if (console)
        SetConsoleMode(in, mode & ~DWORD(ENABLE_ECHO_INPUT));
#else
    const bool console = tcgetattr(STDIN_FILENO, &g_savedTerminal) == 0;
    auto oldInt = std::signal(SIGINT, onInterruptDuringPrompt);
    auto oldTerm = std::signal(SIGTERM, onInterruptDuringPrompt);
    if (console) {
        termios quiet = g_savedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        g_echoOff = 1;
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
#endif
    std::string text;
    bool ended = false;
    for (;;) {
        const int c = std::fgetc(stdin);
        if (c == EOF) {
            ended = text.empty();
            break;
        }
        if (c == '\n')
            break;
        text.push_back(char(c));
    }
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
#ifdef _WIN32
    if (console)
        SetConsoleMode(in, mode);
#else
    if (console) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
        g_echoOff = 0;
    }
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
#endif
    std::fputc('\n', stderr);
    *line = QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
    // Wipe the copy of the password that is ours to wipe.
    for (char &ch : text)
        ch = 0;
    return !ended;
}

} // namespace Terminal
