#pragma once

#include <QDBusConnection>
#include <QString>

// A desktop notification through the session's notification service
// (org.freedesktop.Notifications). The call is sent without waiting for an answer: where no
// service runs, or no session bus at all, nothing is shown and nothing waits.
class DesktopNotifier
{
public:
    explicit DesktopNotifier(const QDBusConnection &bus = QDBusConnection::sessionBus());

    void notify(const QString &summary, const QString &body);

private:
    QDBusConnection m_bus;
};
