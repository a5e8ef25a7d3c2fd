// about: opens the Talvero website in the user's browser and ends. It shows no window.
#include "about/aboutlauncher.h"
#include "rcon/kit/qtplatform.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    // Without a display there is no browser to hand the address to; rather than let the GUI
    // library abort, start headless and let the open fail silently.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QtPlatform platform;
    return launchWebsite(platform);
}
