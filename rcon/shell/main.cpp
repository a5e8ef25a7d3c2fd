#include "rcon/shell/fonts.h"
#include "rcon/shell/program.h"
#include "rcon/shell/qtplatform.h"
#include "rcon/shell/userfiles.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvero"));
    QApplication::setOrganizationName(QStringLiteral("Talvero"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Ties the windows to the installed menu entry (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("net.talvero.Talvero"));
    talvero::registerApplicationFonts();

    // The per-user options live in the user's configuration folder, under application "Talvero".
    const QString optionsFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/Talvero/Talvero.conf");

    QtPlatform platform;
    const QString programDir = QCoreApplication::applicationDirPath();
    Program program(programDir, talvero::UserFiles::prepare(programDir), optionsFile, platform);
    // A first start asks for the access password of the Password Manager before anything else.
    if (program.askFirstPasswordIfNone())
        program.start();
    return QApplication::exec();
}
