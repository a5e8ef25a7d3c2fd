#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A D-Bus session bus of the test's own (dbus-daemon --session), so that the desktop services a
// test starts (a compositor, a keyring, a notification server) and the programs it runs meet
// there, never on the user's bus.
class SessionBus final {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus &) = delete;
    SessionBus &operator=(const SessionBus &) = delete;

    // What the bus may start when a name it does not know is asked for.
    enum class Activation {
        Installed, // the services installed on this machine, as the desktop's own bus
        None,      // nothing: only what the test starts itself is there
    };

    // Starts the bus and waits for its address; false when it could not start.
    bool start(Activation activation = Activation::Installed);
    // DBUS_SESSION_BUS_ADDRESS for the programs that are to use it.
    const QString &address() const { return m_address; }
    // The environment given with the bus in it.
    QProcessEnvironment with(QProcessEnvironment environment) const;

private:
    QTemporaryDir m_configDir;
    QProcess m_daemon;
    QString m_address;
};
