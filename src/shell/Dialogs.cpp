#include "Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>

namespace {

struct State
{
    bool testMode = false;
    QList<QMessageBox::StandardButton> answers;
    QList<Dialogs::Asked> asked;
    std::function<QMessageBox::StandardButton(const Dialogs::Asked &)> boxHandler;
    std::function<int(QDialog *)> modalHandler;
};

State &state()
{
    static State s;
    return s;
}

QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information: return QMessageBox::Information;
    case Dialogs::Icon::Warning: return QMessageBox::Warning;
    case Dialogs::Icon::Error: return QMessageBox::Critical;
    case Dialogs::Icon::Question: return QMessageBox::Question;
    case Dialogs::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

namespace Dialogs {

QMessageBox::StandardButton show(Icon icon, const QString &caption, const QString &text,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton)
{
    State &s = state();
    const Asked asked{icon, caption, text, buttons, defaultButton};
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
    if (buttons.testFlag(QMessageBox::No))
        box.setEscapeButton(QMessageBox::No);
    // Russian whether or not Qt's own translations could be loaded.
    const std::pair<QMessageBox::StandardButton, QString> russian[] = {
        {QMessageBox::Yes, QStringLiteral("Да")},
        {QMessageBox::No, QStringLiteral("Нет")},
        {QMessageBox::Ok, QStringLiteral("OK")},
        {QMessageBox::Cancel, QStringLiteral("Отмена")},
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
    return show(icon, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void busyMessage()
{
    message(Icon::Warning, QStringLiteral("Внимание!"),
        QStringLiteral("Предыдущий запрос к серверу ещё выполняется. Повторите команду позже."));
}

int execModal(QDialog *dialog)
{
    State &s = state();
    if (s.modalHandler)
        return s.modalHandler(dialog);
    return dialog->exec();
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
}

} // namespace Dialogs
