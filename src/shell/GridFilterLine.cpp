#include "GridFilterLine.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

GridFilterLine::GridFilterLine(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(u"GridFilterLine"_s);
    setFrameShape(QFrame::NoFrame);
    m_label = new QLabel(u"Найти:"_s, this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(u"GridFilterEdit"_s);
    m_edit->setClearButtonEnabled(true);
    m_edit->setToolTip(u"Показать строки, в которых есть этот текст (Esc — показать все)"_s);
    m_label->setBuddy(m_edit);
    m_counts = new QLabel(this);
    m_counts->setObjectName(u"GridFilterCounts"_s);
    m_close = new QToolButton(this);
    m_close->setObjectName(u"GridFilterClose"_s);
    m_close->setText(u"✕"_s);
    m_close->setAutoRaise(true);
    m_close->setToolTip(u"Закрыть (Esc)"_s);
    m_close->setFocusPolicy(Qt::NoFocus);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(6);
    layout->addWidget(m_label);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_counts);
    layout->addWidget(m_close);

    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, &GridFilterLine::textChanged);
    connect(m_close, &QToolButton::clicked, this, &GridFilterLine::closeRequested);
}

QString GridFilterLine::text() const
{
    return m_edit->text();
}

void GridFilterLine::setCounts(int shown, int total)
{
    m_counts->setText(
        m_edit->text().isEmpty() ? QString() : QString::number(shown) + u" из "_s + QString::number(total));
}

bool GridFilterLine::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit) {
        // Esc belongs to the line while it has the focus, not to the window's close button.
        if (event->type() == QEvent::ShortcutOverride
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            Q_EMIT closeRequested();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

GridProgressLine::GridProgressLine(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(u"GridProgressLine"_s);
    setFrameShape(QFrame::NoFrame);
    m_label = new QLabel(this);
    m_label->setObjectName(u"GridProgressCaption"_s);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(u"GridProgressBar"_s);
    m_bar->setRange(0, 100);
    m_bar->setTextVisible(true);
    auto *hint = new QLabel(u"Esc — прервать"_s, this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(6);
    layout->addWidget(m_label);
    layout->addWidget(m_bar, 1);
    layout->addWidget(hint);
}

void GridProgressLine::setCaption(const QString &caption)
{
    m_label->setText(caption);
}

QString GridProgressLine::caption() const
{
    return m_label->text();
}

void GridProgressLine::setPercent(int percent)
{
    m_bar->setValue(percent);
}

int GridProgressLine::percent() const
{
    return m_bar->value();
}
