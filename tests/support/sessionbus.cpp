#include "tests/support/sessionbus.h"

#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace {
// A session bus as the desktop's, without the folders of services it would start on demand.
const char NoActivationConfig[] = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
} // namespace

SessionBus::SessionBus() = default;

SessionBus::~SessionBus() {
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

bool SessionBus::start(Activation activation) {
    QStringList arguments{QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")};
    if (activation == Activation::None) {
        QFile config(m_configDir.filePath(QStringLiteral("session.conf")));
        if (!m_configDir.isValid() || !config.open(QIODevice::WriteOnly) ||
            config.write(NoActivationConfig) != qint64(sizeof NoActivationConfig - 1))
            return false;
        config.close();
        arguments[0] = QStringLiteral("--config-file=") + config.fileName();
    }
    // The bus goes with the test, also when the test dies without cleaning up.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(QStringLiteral("dbus-daemon"), arguments);
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
