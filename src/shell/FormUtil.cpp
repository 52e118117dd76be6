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

QRect availableArea(const QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// A resizable window larger than the screen (a small screen, a large scaling) is made to fit, so
// that its buttons and close box can be reached; the first time, the title bar is guessed.
void fitOnScreen(QWidget *window, const QRect &available)
{
    if (available.isEmpty() || window->minimumSize() == window->maximumSize())
        return;
    QSize frame = window->frameGeometry().size() - window->size();
    if (frame.isEmpty())
        frame = QSize(16, 48);
    const QSize room = (available.size() - frame).expandedTo(window->minimumSize());
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
}

void centre(QWidget *window, FormPosition position)
{
    const QRect available = availableArea(window);
    fitOnScreen(window, available);
    QRect area;
    if (position == FormPosition::MainFormCenter) {
        QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : WAMainForm;
        if (owner && owner != window && owner->isVisible())
            area = owner->frameGeometry();
    }
    if (area.isNull())
        area = available;
    if (area.isNull())
        return;
    // Before the first showing the frame is not known yet; the client size is near enough.
    const QSize size = window->frameGeometry().size().expandedTo(window->size());
    QPoint at = area.center() - QPoint(size.width() / 2, size.height() / 2);
    // Centred over a main window near an edge, a larger window keeps its top left on the screen.
    if (!available.isEmpty()) {
        at.setX(qMax(available.left(), qMin(at.x(), available.right() + 1 - size.width())));
        at.setY(qMax(available.top(), qMin(at.y(), available.bottom() + 1 - size.height())));
    }
    window->move(at);
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
