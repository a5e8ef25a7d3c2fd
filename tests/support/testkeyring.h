#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>

class SessionBus;

// A desktop keyring of the test's own: gnome-keyring-daemon's Secret Service on the test's
// session bus, its files in a home folder of its own, its login keyring created and unlocked
// with a test password. The test process must already use that bus
// (DBUS_SESSION_BUS_ADDRESS set before anything touched D-Bus).
class TestKeyring final {
public:
    explicit TestKeyring(const SessionBus &bus);
    ~TestKeyring();
    TestKeyring(const TestKeyring &) = delete;
    TestKeyring &operator=(const TestKeyring &) = delete;

    // Starts the daemon and waits until the Secret Service answers on the bus.
    bool start();
    // Ends the daemon and waits until its name has left the bus.
    bool stop();

    // What secret-tool finds for Talvero under this key; nothing when nothing is kept.
    std::optional<QString> lookup(const QString &key) const;
    // The keyring's home folder, where its files lie.
    QString home() const { return m_home.path(); }

private:
    const SessionBus &m_bus;
    QTemporaryDir m_home;
    QProcess m_daemon;
};
