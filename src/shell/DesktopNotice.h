#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;
#ifdef TULVA_HAVE_DBUS
class QDBusConnection;
#endif

// A notice on the desktop that outlives the moment (a long job has ended while the administrator
// works elsewhere): the freedesktop notification service on the session bus; where no service
// answers, the window manager's attention hint on the program's window.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject *parent = nullptr);
    ~DesktopNotifier() override;

#ifdef TULVA_HAVE_DBUS
    // The bus to send on; by default the session bus of the environment.
    void setBus(const QDBusConnection &bus);
#endif
    // How long a service may take to answer before the attention hint stands in.
    void setReplyTimeout(int ms)
    {
        m_timeoutMs = ms;
    }

    void notify(const QString &summary, const QString &body, QWidget *window);

Q_SIGNALS:
    // The service took the notice (its id).
    void shown(uint id);
    // No service answered: the window asked for attention instead.
    void alerted();

private:
    void alert(QWidget *window);

    struct Bus;
    Bus *m_bus = nullptr;
    int m_timeoutMs = 5000;
};
