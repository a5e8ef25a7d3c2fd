#include "tests/support/sessionbus.h"

SessionBus::SessionBus() = default;

SessionBus::~SessionBus() {
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

bool SessionBus::start() {
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted())
        return false;
    while (!m_daemon.canReadLine()) {
        if (!m_daemon.waitForReadyRead(10000))
            return false;
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    return !m_address.isEmpty();
}

QProcessEnvironment SessionBus::with(QProcessEnvironment environment) const {
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    return environment;
}
