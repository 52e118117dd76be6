#include "TTimer.h"

TTimer::TTimer(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &TTimer::timeout);
}

void TTimer::setEnabled(bool on)
{
    m_enabled = on;
    apply();
}

void TTimer::setInterval(int ms)
{
    m_interval = qMax(0, ms);
    apply();
}

void TTimer::apply()
{
    if (m_enabled && m_interval > 0) {
        if (!m_timer.isActive() || m_timer.interval() != m_interval)
            m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}
