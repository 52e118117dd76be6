#include "Dialogs.h"

#include "exchange/OpResult.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

struct State
{
    bool testMode = false;
    QList<QMessageBox::StandardButton> answers;
    QList<Dialogs::Asked> asked;
    std::function<QMessageBox::StandardButton(const Dialogs::Asked &)> boxHandler;
    std::function<int(QDialog *)> modalHandler;
    QList<QPair<QString, Dialogs::Encoding>> saveFiles;
    QString lastSaveDir;
    std::function<QString(const Dialogs::FileAsked &)> fileHandler;
};

State &state()
{
    static State s;
    return s;
}

QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Error:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

namespace Dialogs {

QMessageBox::StandardButton show(Icon icon, const QString &caption, const QString &text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    State &s = state();
    const Asked asked{ icon, caption, text, buttons, defaultButton };
    s.asked.append(asked);
    if (s.boxHandler)
        return s.boxHandler(asked);
    if (s.testMode) {
        if (!s.answers.isEmpty())
            return s.answers.takeFirst();
        return defaultButton != QMessageBox::NoButton ? defaultButton : QMessageBox::Ok;
    }

    QMessageBox box(toQt(icon), caption, text, buttons, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    // Escape leaves things as they are: Cancel when the box offers it, else No.
    if (buttons.testFlag(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons.testFlag(QMessageBox::No))
        box.setEscapeButton(QMessageBox::No);
    // Russian whether or not Qt's own translations could be loaded.
    const std::pair<QMessageBox::StandardButton, QString> russian[] = {
        { QMessageBox::Yes, QStringLiteral("Да") },
        { QMessageBox::No, QStringLiteral("Нет") },
        { QMessageBox::Ok, QStringLiteral("OK") },
        { QMessageBox::Cancel, QStringLiteral("Отмена") },
    };
    for (const auto &[standard, text] : russian) {
        if (QAbstractButton *button = box.button(standard))
            button->setText(text);
    }
    const int result = box.exec();
    return static_cast<QMessageBox::StandardButton>(result);
}

void message(Icon icon, const QString &caption, const QString &text)
{
    show(icon, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool askYesNo(Icon icon, const QString &caption, const QString &text)
{
    return show(icon, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void busyMessage()
{
    message(Icon::Warning, QStringLiteral("Внимание!"), BusyCommandText);
}

int execModal(QDialog *dialog)
{
    State &s = state();
    if (s.modalHandler)
        return s.modalHandler(dialog);
    return dialog->exec();
}

QString saveFileName(const QString &caption, const QString &suggestedName, Encoding *encoding)
{
    State &s = state();
    s.asked.append(Asked{
        Icon::None, caption, suggestedName, QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Save });
    if (!s.saveFiles.isEmpty()) {
        const auto answer = s.saveFiles.takeFirst();
        *encoding = answer.second;
        return answer.first;
    }
    if (s.testMode)
        return {};

    const QString utf8 = u"CSV, UTF-8 (*.csv)"_s;
    const QString cp1251 = u"CSV, Windows-1251 (*.csv)"_s;
    QString chosen = *encoding == Encoding::Windows1251 ? cp1251 : utf8;
    const QString dir = s.lastSaveDir.isEmpty() ? QDir::homePath() : s.lastSaveDir;
    QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), caption,
        QDir(dir).filePath(suggestedName), utf8 + u";;"_s + cp1251 + u";;"_s + u"Все файлы (*)"_s, &chosen);
    if (path.isEmpty())
        return {};
    *encoding = chosen == cp1251 ? Encoding::Windows1251 : Encoding::Utf8Bom;
    s.lastSaveDir = QFileInfo(path).absolutePath();
    return path;
}

QString saveImageFileName(const QString &caption, const QString &suggestedName)
{
    State &s = state();
    s.asked.append(Asked{
        Icon::None, caption, suggestedName, QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Save });
    if (!s.saveFiles.isEmpty())
        return s.saveFiles.takeFirst().first;
    if (s.testMode)
        return {};
    const QString dir = s.lastSaveDir.isEmpty() ? QDir::homePath() : s.lastSaveDir;
    QFileDialog dialog(
        QApplication::activeWindow(), caption, QDir(dir).filePath(suggestedName), u"Рисунок PNG (*.png)"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(u"png"_s);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().first();
    s.lastSaveDir = QFileInfo(path).absolutePath();
    return path;
}

void queueSaveFile(const QString &path, Encoding encoding)
{
    state().saveFiles.append({ path, encoding });
}

QString openFileName(const FileAsked &request)
{
    State &s = state();
    if (s.fileHandler)
        return s.fileHandler(request);
    if (s.testMode)
        return {};
    QFileDialog dialog(QApplication::activeWindow(), request.caption, request.directory, request.filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

void setTestMode(bool on)
{
    state().testMode = on;
}

bool testMode()
{
    return state().testMode;
}

void queueAnswer(QMessageBox::StandardButton answer)
{
    state().answers.append(answer);
}

void setBoxHandler(std::function<QMessageBox::StandardButton(const Asked &)> handler)
{
    state().boxHandler = std::move(handler);
}

void setModalHandler(std::function<int(QDialog *)> handler)
{
    state().modalHandler = std::move(handler);
}

void setFileHandler(std::function<QString(const FileAsked &)> handler)
{
    state().fileHandler = std::move(handler);
}

const QList<Asked> &asked()
{
    return state().asked;
}

void reset()
{
    State &s = state();
    s.answers.clear();
    s.asked.clear();
    s.boxHandler = nullptr;
    s.modalHandler = nullptr;
    s.saveFiles.clear();
    s.fileHandler = nullptr;
}

} // namespace Dialogs
