#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

// Every message box, question and modal dialog of the program goes through here, so that a test
// can answer them without a person and check what was asked.
namespace Dialogs {

enum class Icon { None, Information, Warning, Error, Question };

// Shows a message box modal to the whole application and returns the button pressed.
QMessageBox::StandardButton show(Icon icon, const QString &caption, const QString &text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// OK box.
void message(Icon icon, const QString &caption, const QString &text);
// Yes/No question with No as the default; true on Yes.
bool askYesNo(Icon icon, const QString &caption, const QString &text);

// A user's command refused because another request is still running (never a server error).
void busyMessage();

// Runs a dialog modally (QDialog::exec) and returns its result.
int execModal(QDialog *dialog);

// Text encoding of a file the program writes for the administrator.
enum class Encoding { Utf8Bom, Windows1251 };
// Save-file dialog for a CSV file; the file type chooses the encoding. Empty when cancelled.
QString saveFileName(const QString &caption, const QString &suggestedName, Encoding *encoding);
// Save-file dialog for a PNG picture. Empty when cancelled.
QString saveImageFileName(const QString &caption, const QString &suggestedName);
// A local file-open dialog: its title, start directory, proposed file name and filter in the
// form "description (patterns);;...". Returns the chosen path, empty when cancelled.
struct FileAsked
{
    QString caption;
    QString directory;
    QString fileName;
    QString filter;
    QString defaultSuffix;
};
QString openFileName(const FileAsked &request);

// --- for tests -------------------------------------------------------------------------------

struct Asked
{
    Icon icon;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

// In test mode no box is shown: each box takes the next queued answer, or its default button
// (OK when it has none) when the queue is empty.
void setTestMode(bool on);
bool testMode();
void queueAnswer(QMessageBox::StandardButton answer);
// Called for a box instead of the queue when set; returns the answer.
void setBoxHandler(std::function<QMessageBox::StandardButton(const Asked &)> handler);
// The next save-file dialog (CSV or picture) answers this path and encoding; without one it is cancelled in
// test mode. Asked records it with the caption and the suggested name as its text.
void queueSaveFile(const QString &path, Encoding encoding);
// Called instead of QDialog::exec for modal dialogs while set; returns the dialog's result.
void setModalHandler(std::function<int(QDialog *)> handler);
// Called instead of the file dialog while set; returns the path. In test mode without a
// handler the file dialog counts as cancelled.
void setFileHandler(std::function<QString(const FileAsked &)> handler);
const QList<Asked> &asked();
// Forgets what was asked, the queued answers and the handlers.
void reset();

} // namespace Dialogs
