#include "platform/desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus)
    : m_bus(bus)
{}

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call
            = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                             QStringLiteral("/org/freedesktop/Notifications"),
                                             QStringLiteral("org.freedesktop.Notifications"),
                                             QStringLiteral("Notify"));
    call << QStringLiteral("Orvane FTP") << 0u << QStringLiteral("org.orvane.OrvaneFTP") << summary
         << body << QStringList() << QVariantMap() << -1;
    // The answer (the notification's number, or an error when no service runs) is of no use.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call));
    QObject::connect(watcher,
                     &QDBusPendingCallWatcher::finished,
                     watcher,
                     &QDBusPendingCallWatcher::deleteLater);
}
