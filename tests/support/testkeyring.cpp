#include "tests/support/testkeyring.h"

#include "tests/support/sessionbus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

namespace {
const QString SecretService = QStringLiteral("org.freedesktop.secrets");
const QByteArray UnlockPassword = "talvero-test-keyring";

bool serviceOnBus() {
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(SecretService).value();
}
} // namespace

TestKeyring::TestKeyring(const SessionBus &bus)
    : m_bus(bus) {}

TestKeyring::~TestKeyring() {
    stop();
}

bool TestKeyring::start() {
    const QDir home(m_home.path());
    for (const char *dir : {"data", "config", "cache", "run"})
        home.mkpath(QLatin1String(dir));
    QFile::setPermissions(home.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = m_bus.with(QProcessEnvironment::systemEnvironment());
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Also when the test dies without cleaning up.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(QStringLiteral("gnome-keyring-daemon"),
                   {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                    QStringLiteral("--components=secrets")});
    if (!m_daemon.waitForStarted())
        return false;
    // The password that creates and unlocks the login keyring, up to the end of the input.
    m_daemon.write(UnlockPassword);
    m_daemon.closeWriteChannel();
    return QTest::qWaitFor(
               [this] { return serviceOnBus() || m_daemon.state() != QProcess::Running; }, 10000) &&
           serviceOnBus();
}

bool TestKeyring::stop() {
    if (m_daemon.state() == QProcess::NotRunning)
        return true;
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
    return QTest::qWaitFor([] { return !serviceOnBus(); }, 5000);
}

std::optional<QString> TestKeyring::lookup(const QString &key) const {
    QProcess tool;
    tool.setProcessEnvironment(m_bus.with(QProcessEnvironment::systemEnvironment()));
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("lookup"), QStringLiteral("server"), QStringLiteral("Talvero"),
                QStringLiteral("user"), key});
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput());
}
