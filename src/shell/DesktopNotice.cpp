#include "DesktopNotice.h"

#include <QApplication>
#include <QWidget>

#ifdef TULVA_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

using namespace Qt::Literals::StringLiterals;

struct DesktopNotifier::Bus
{
#ifdef TULVA_HAVE_DBUS
    QDBusConnection connection = QDBusConnection::sessionBus();
#endif
};

DesktopNotifier::DesktopNotifier(QObject *parent)
    : QObject(parent)
    , m_bus(new Bus)
{
}

DesktopNotifier::~DesktopNotifier()
{
    delete m_bus;
}

#ifdef TULVA_HAVE_DBUS
void DesktopNotifier::setBus(const QDBusConnection &bus)
{
    m_bus->connection = bus;
}
#endif

void DesktopNotifier::alert(QWidget *window)
{
    if (window)
        QApplication::alert(window);
    Q_EMIT alerted();
}

void DesktopNotifier::notify(const QString &summary, const QString &body, QWidget *window)
{
#ifdef TULVA_HAVE_DBUS
    if (m_bus->connection.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s,
            u"/org/freedesktop/Notifications"_s, u"org.freedesktop.Notifications"_s, u"Notify"_s);
        const QVariantMap hints{ { u"desktop-entry"_s, u"tulvaa"_s },
            { u"urgency"_s, QVariant::fromValue(uchar(1)) } };
        call << u"АРМ Администратор ТУЛВА64"_s << uint(0) << u"tulvaa"_s << summary << body << QStringList()
             << hints << int(-1);
        // Asked without waiting: the program goes on while the service answers (or does not).
        auto *watcher = new QDBusPendingCallWatcher(m_bus->connection.asyncCall(call, m_timeoutMs), this);
        const QPointer<QWidget> target(window);
        connect(
            watcher, &QDBusPendingCallWatcher::finished, this, [this, target](QDBusPendingCallWatcher *w) {
                const QDBusPendingReply<uint> reply = *w;
                w->deleteLater();
                if (reply.isError())
                    alert(target);
                else
                    Q_EMIT shown(reply.value());
            });
        return;
    }
#else
    Q_UNUSED(summary);
    Q_UNUSED(body);
#endif
    alert(window);
}
