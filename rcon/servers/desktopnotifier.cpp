#include "rcon/servers/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(QObject *parent)
    : QObject(parent) {}

bool DesktopNotifier::notify(const QString &summary, const QString &body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry lets the desktop show the program's own icon and name with it.
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("net.talvero.Talvero")},
    };
    // The body is markup to some servers: the names come from the servers themselves.
    QString plainBody = body.toHtmlEscaped();
    call << QStringLiteral("Talvero") << quint32(0) << QStringLiteral("net.talvero.Talvero")
         << summary << plainBody << QStringList() << hints << qint32(-1);
    return bus.send(call);
}
