#include "FormUtil.h"

#include "Forms.h"
#include "Translate.h"
#include "Wamain.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

namespace {

// Runs a handler on every showing of a window, but not when it comes back from the task bar.
class ShowHook : public QObject
{
public:
    ShowHook(QWidget *window, std::function<void()> handler)
        : QObject(window)
        , m_window(window)
        , m_handler(std::move(handler))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show && !event->spontaneous())
            m_handler();
        return false;
    }

private:
    QWidget *m_window;
    std::function<void()> m_handler;
};

void centre(QWidget *window, FormPosition position)
{
    QRect area;
    if (position == FormPosition::MainFormCenter) {
        QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : WAMainForm;
        if (owner && owner != window && owner->isVisible())
            area = owner->frameGeometry();
    }
    if (area.isNull()) {
        QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        area = screen->availableGeometry();
    }
    // Before the first showing the frame is not known yet; the client size is near enough.
    const QSize size = window->frameGeometry().size().expandedTo(window->size());
    window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace

void onEveryShowing(QWidget *window, std::function<void()> handler)
{
    window->installEventFilter(new ShowHook(window, std::move(handler)));
}

void setFormPosition(QWidget *window, FormPosition position)
{
    onEveryShowing(window, [window, position] { centre(window, position); });
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption, bool bitmap)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    if (bitmap)
        setControlKind(button, u"TBitBtn"_s);
    button->setAutoDefault(false);
    button->setMinimumSize(85, 27);
    return button;
}

QFrame *makeBottomPanel(QWidget *parent, const QString &name, const QList<QWidget *> &items)
{
    QFrame *panel = makePanel(parent, name);
    panel->setFixedHeight(41);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 7, 8, 7);
    for (QWidget *item : items) {
        if (item)
            row->addWidget(item);
        else
            row->addStretch();
    }
    return panel;
}

void stackVertically(QWidget *window, const QList<QWidget *> &widgets, QWidget *fill)
{
    auto *column = new QVBoxLayout(window);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (QWidget *w : widgets)
        column->addWidget(w, w == fill ? 1 : 0);
}

QFrame *makePanel(QWidget *parent, const QString &name)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::NoFrame);
    setControlKind(panel, u"TPanel"_s);
    return panel;
}
