#include "Waitunit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <QtMath>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kShownWidth = 270;
constexpr int kShownHeight = 130;

WaitProgramHooks &programHooks()
{
    static WaitProgramHooks hooks;
    return hooks;
}

} // namespace

// --- TWaitPicture ------------------------------------------------------------------------------

TWaitPicture::TWaitPicture(QWidget *parent)
    : QWidget(parent)
    , m_frameTimer(new QTimer(this))
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    m_frameTimer->setInterval(90);
    connect(m_frameTimer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % 8;
        update();
    });
}

void TWaitPicture::setAnimate(bool on)
{
    if (on)
        m_frameTimer->start();
    else
        m_frameTimer->stop();
}

bool TWaitPicture::animate() const
{
    return m_frameTimer->isActive();
}

void TWaitPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::white);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const qreal radius = qMin(width(), height()) / 2.0 - 6;
    for (int i = 0; i < 8; ++i) {
        const qreal angle = i * M_PI / 4;
        const QPointF at(centre.x() + radius * qCos(angle), centre.y() + radius * qSin(angle));
        const int age = (m_frame - i + 8) % 8;
        QColor c(30, 80, 170);
        c.setAlpha(255 - age * 28);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(at, 3.5, 3.5);
    }
}

// --- TWaitForm ----------------------------------------------------------------------------------

// The window has no Qt parent on purpose: disabling the requesting window (often the main window)
// would otherwise disable this window and its cancel button with it. It still lives exactly as
// long as the window it was created for.
TWaitForm::TWaitForm(QWidget *parent)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
    , m_engine(new TulvaExchange(this))
{
    if (parent)
        connect(parent, &QObject::destroyed, this, [this] { delete this; });
    m_engine->setWindow(this);

    setObjectName(u"WaitForm"_s);
    setProperty("helpContext", 7900);
    setWindowTitle(u"Ожидание ответа от сервера"_s);
    QFont f(u"Arial"_s);
    f.setPixelSize(15);
    setFont(f);

    GIFImage1 = new TWaitPicture(this);
    GIFImage1->setObjectName(u"GIFImage1"_s);
    GIFImage1->setGeometry(-1, 0, 65, 41);

    BitBtnWait = new QPushButton(u"Прервать"_s, this);
    BitBtnWait->setObjectName(u"BitBtnWait"_s);
    BitBtnWait->setGeometry(86, 67, 90, 29);
    BitBtnWait->setAutoDefault(false);
    BitBtnWait->setProperty("delphiKind", u"TBitBtn"_s);
    connect(BitBtnWait, &QPushButton::clicked, m_engine, &TulvaExchange::TerminatorButtonClick);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(25, 42, 220, 17);
    Panel1->setProperty("delphiKind", u"TPanel"_s);
    ProgressBarWait = new QProgressBar(Panel1);
    ProgressBarWait->setObjectName(u"ProgressBarWait"_s);
    ProgressBarWait->setRange(0, 100);
    ProgressBarWait->setTextVisible(false);
    ProgressBarWait->setGeometry(0, 0, 220, 17);

    WebBrowserWait = new QWidget(this);
    WebBrowserWait->setObjectName(u"WebBrowserWait"_s);
    WebBrowserWait->setGeometry(0, 0, 10, 10);
    WebBrowserWait->setProperty("url", u"about:blank"_s);
    WebBrowserWait->hide();

    TimerWait = m_engine->TimerWait;
    TimerNoOperation = m_engine->TimerNoOperation;
    Send_Sock = m_engine->Send_Sock;
    Sock_StopProcess = m_engine->Sock_StopProcess;
    ClientSocket = m_engine->ClientSocket;

    resize(1, 1);
}

TWaitForm::~TWaitForm()
{
    m_engine->setWindow(nullptr);
    if (m_requester)
        m_requester->removeEventFilter(this);
}

void TWaitForm::setProgramHooks(WaitProgramHooks hooks)
{
    programHooks() = std::move(hooks);
}

QWidget *TWaitForm::serveWindow(QWidget *window)
{
    QWidget *previous = m_served;
    m_served = window;
    return previous;
}

void TWaitForm::reject()
{
    m_engine->TerminatorButtonClick();
}

void TWaitForm::closeEvent(QCloseEvent *event)
{
    // The window goes away when the exchange ends, not on request.
    if (m_engine->exchangeState() == OpResult::Busy)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

bool TWaitForm::eventFilter(QObject *watched, QEvent *event)
{
    // A window disabled for an exchange closes only through the exchange: its close box would
    // otherwise leave the request running under a window that is gone. The home window (the main
    // window) decides for itself: it ends the exchange first.
    if (event->type() == QEvent::Close && watched == m_requester && m_disabledHere
        && watched != m_homeWindow) {
        event->ignore();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TWaitForm::waitBegins(bool background)
{
    // The window this request serves: a timer's own window, the home window for the keep-alive,
    // else the window the user is in (a modal dialog even while the program is in the background).
    QWidget *requester = m_served;
    if (!requester && !background) {
        requester = QApplication::activeWindow();
        if (requester == this)
            requester = nullptr;
        if (!requester)
            requester = QApplication::activeModalWidget();
        if (requester == this)
            requester = nullptr;
    }
    if (!requester)
        requester = m_homeWindow;
    m_requester = requester;
    m_programWasActive = QApplication::activeWindow() != nullptr && QApplication::activeWindow() != this;
    m_savedFocus = nullptr;
    m_disabledHere = false;
    if (requester && requester->isEnabled()) {
        m_savedFocus = requester->focusWidget();
        // A submenu's item follows its menu's enabled state when the window comes back; what the
        // program had disabled in the menu must stay disabled.
        m_menuItems.clear();
        for (QMenu *menu : requester->findChildren<QMenu *>())
            m_menuItems.append({ menu->menuAction(), menu->menuAction()->isEnabled() });
        requester->setEnabled(false);
        requester->installEventFilter(this);
        m_disabledHere = true;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursorSet = true;
    resize(1, 1);
    ProgressBarWait->setValue(0);
    GIFImage1->setAnimate(true);
    if (!m_engine->waitNoModal()) {
        // The modal variant: the (still tiny) window takes all input for the whole wait.
        setWindowModality(Qt::ApplicationModal);
        show();
    }
}

void TWaitForm::showOnTop()
{
    // Input reaches only the top modal window and its own windows; a request made from a modal
    // dialog (or while a message box is open) would leave this window deaf. So the window is
    // application-modal itself whenever another modal window runs, and never has a Qt parent.
    // Once this window is the top modal one itself, the window beneath it still runs: it stays
    // modal, else it would drop back to being blocked by that window on every other tick.
    QWidget *modal = QApplication::activeModalWidget();
    const bool needModal = !m_engine->waitNoModal() || modal != nullptr;
    if (isVisible() && (windowModality() == Qt::ApplicationModal) == needModal)
        return;
    if (isVisible())
        hide();
    setWindowModality(needModal ? Qt::ApplicationModal : Qt::NonModal);
    create();
    QWidget *over = m_requester ? m_requester->window() : modal;
    if (windowHandle() && over && over->windowHandle())
        windowHandle()->setTransientParent(over->windowHandle());
    setCursor(Qt::WaitCursor);
    show();
    raise();
    activateWindow();
}

void TWaitForm::waitTick(int tick)
{
    if (tick <= 10 * m_engine->showDelay())
        return;
    if (width() <= 1) {
        resize(kShownWidth, kShownHeight);
        if (m_requester) {
            const QRect g = m_requester->frameGeometry();
            move(g.left() + g.width() / 2 - kShownWidth / 2, g.top() + g.height() / 2 - kShownHeight / 2);
        }
        ++m_timesShown;
        showOnTop();
    } else if (isVisible()) {
        // A modal window opened meanwhile (a message box of another window) would block this one.
        showOnTop();
    }
    int left = GIFImage1->x() + 3;
    if (left > width() - 7)
        left = 7 - GIFImage1->width();
    GIFImage1->move(left, GIFImage1->y());
    const int next = ProgressBarWait->value() + 3;
    ProgressBarWait->setValue(next > ProgressBarWait->maximum() ? ProgressBarWait->minimum() : next);
}

void TWaitForm::waitEnds()
{
    GIFImage1->setAnimate(false);
    ProgressBarWait->setValue(0);
    hide();
    setWindowModality(Qt::NonModal);
    resize(1, 1);
    if (m_cursorSet) {
        QApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
    QWidget *window = m_requester;
    if (window)
        window->removeEventFilter(this);
    if (m_disabledHere && window) {
        m_disabledHere = false;
        window->setEnabled(true);
        for (const auto &[item, enabled] : std::as_const(m_menuItems)) {
            if (item && item->isEnabled() != enabled)
                item->setEnabled(enabled);
        }
        m_menuItems.clear();
        // This window may have taken the activation; give it back, but not when the user has
        // moved to another window meanwhile, nor to a program that was in the background (a
        // timer's request must not pull it to the front).
        QWidget *now = QApplication::activeWindow();
        if (now == window || (now == nullptr && m_programWasActive) || now == this) {
            if (now != window)
                window->activateWindow();
            if (m_savedFocus && m_savedFocus->window() == window)
                m_savedFocus->setFocus(Qt::OtherFocusReason);
            else
                window->setFocus(Qt::OtherFocusReason);
        }
    }
    m_disabledHere = false;
    m_requester = nullptr;
}

bool TWaitForm::askYesNo(const QString &text)
{
    if (programHooks().askYesNo)
        return programHooks().askYesNo(text);
    return QMessageBox::question(
               nullptr, u"Внимание!"_s, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void TWaitForm::terminateProgram()
{
    if (programHooks().terminate) {
        programHooks().terminate();
        return;
    }
    QMetaObject::invokeMethod(
        qApp,
        [] {
            QApplication::closeAllWindows();
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
}

bool TWaitForm::programTerminating() const
{
    return programHooks().terminating ? programHooks().terminating() : false;
}
