#pragma once

#include <QProcess>
#include <QString>

// A D-Bus session bus of the test's own (dbus-daemon --session), so that the desktop services a
// test starts (a compositor, a keyring, a notification server) and the programs it runs meet
// there, never on the user's bus.
class SessionBus final {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus &) = delete;
    SessionBus &operator=(const SessionBus &) = delete;

    // Starts the bus and waits for its address; false when it could not start.
    bool start();
    // DBUS_SESSION_BUS_ADDRESS for the programs that are to use it.
    const QString &address() const { return m_address; }
    // The environment given with the bus in it.
    QProcessEnvironment with(QProcessEnvironment environment) const;

private:
    QProcess m_daemon;
    QString m_address;
};
