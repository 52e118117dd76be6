#pragma once

#include <QObject>
#include <QTimer>

// A timer with the semantics of the window definitions: it runs only while enabled with a
// positive interval (a QTimer with interval 0 would fire on every pass of the event loop).
class TTimer : public QObject
{
    Q_OBJECT
public:
    explicit TTimer(QObject *parent = nullptr);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool on);
    int interval() const { return m_interval; }
    void setInterval(int ms);
    bool isRunning() const { return m_timer.isActive(); }

Q_SIGNALS:
    void timeout();

private:
    void apply();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval = 0;
};
