#pragma once

#include <QObject>
#include <QString>

// Desktop notifications through the notification server of the desktop's session bus
// (org.freedesktop.Notifications), as every Linux desktop shows them, also while the program
// sits in the notification area. Sending never waits for the server; without a session bus or
// a notification server nothing is shown.
class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    // One notification from "Talvero"; false when there is no session bus to send it on.
    bool notify(const QString &summary, const QString &body = {});
};
