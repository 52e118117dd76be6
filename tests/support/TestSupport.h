#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

class QDialog;

// A temporary directory that is the current working directory while this object lives.
class ScopedWorkDir
{
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir &) = delete;
    ScopedWorkDir &operator=(const ScopedWorkDir &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// A loopback port nobody listens on. It stays bound, without listening, for the rest of the run,
// so that no other program takes it meanwhile.
quint16 closedLoopbackPort();

// Runs `act` once the dialog is on screen and has the focus, as a person would meet it; a dialog
// still open afterwards is closed, so that a failed step cannot hang the test.
void whenActive(QDialog *dialog, std::function<void()> act);

// Writes text as Windows-1251 with CR LF line ends.
void writeCp1251File(const QString &path, const QStringList &lines);
void writeBytes(const QString &path, const QByteArray &bytes);

// Message file lines 0..count-1: line N reads "msg N".
QStringList numberedMessages(int count);

// Column 1 (the value) of a row of the main window's statistics.
QString statistic(int row);
// Highlights the listed database in the selection dialog and runs the open step on it.
void openDatabase(const QString &name);
