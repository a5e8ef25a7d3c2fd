#include "rcon/shell/fonts.h"
#include "rcon/shell/program.h"
#include "rcon/shell/qtplatform.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvero"));
    QApplication::setOrganizationName(QStringLiteral("Talvero"));
    QApplication::setQuitOnLastWindowClosed(false);
    talvero::registerApplicationFonts();

    // The per-user options live in the user's configuration folder, under application "Talvero".
    const QString optionsFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/Talvero/Talvero.conf");

    QtPlatform platform;
    Program program(QCoreApplication::applicationDirPath(), optionsFile, platform);
    program.start();
    return QApplication::exec();
}
