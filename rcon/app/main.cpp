#include "rcon/app/program.h"
#include "rcon/app/singleinstance.h"
#include "rcon/app/userfiles.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/qtplatform.h"
#include "rcon/kit/windowsystem.h"
#include "rcon/settings/programfiles.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

int main(int argc, char *argv[]) {
    talvero::WindowSystem::preferX11WhereOffered();
    QApplication app(argc, argv);
    talvero::WindowSystem::restoreEnvironment();
    QApplication::setApplicationName(QStringLiteral("Talvero"));
    QApplication::setOrganizationName(QStringLiteral("Talvero"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Ties the windows to the installed menu entry (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("net.talvero.Talvero"));

    // One running copy per user: a second start says so and ends before any window or sound.
    QtPlatform platform;
    SingleInstance instance;
    if (!instance.claimOrRefuse(platform))
        return 0;

    talvero::registerApplicationFonts();

    // The per-user options live in the user's configuration folder, under application "Talvero".
    const QString optionsFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/Talvero/Talvero.conf");

    const QString programDir = QCoreApplication::applicationDirPath();
    Program program(programDir, talvero::UserFiles::prepare(programDir), optionsFile, platform);
    // Command history, learned names and recent servers: the user's own data folder, the one
    // an installed copy keeps its settings, passwords and log in.
    program.files().setUserStateDir(talvero::UserFiles::perUserFolder());
    program.setInstanceClaim(&instance);
    program.startWithSplash();
    return QApplication::exec();
}
