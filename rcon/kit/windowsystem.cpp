#include "rcon/kit/windowsystem.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGlobal>

namespace talvero {

namespace {
constexpr char PlatformVariable[] = "QT_QPA_PLATFORM";
} // namespace

bool WindowSystem::s_chosen = false;

void WindowSystem::preferX11WhereOffered() {
    if (!qEnvironmentVariableIsEmpty(PlatformVariable) || qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    // An X server named by DISPLAY that cannot be reached leaves the desktop's own choice.
    qputenv(PlatformVariable, "xcb;wayland");
    s_chosen = true;
}

void WindowSystem::restoreEnvironment() {
    if (s_chosen)
        qunsetenv(PlatformVariable);
    s_chosen = false;
}

bool WindowSystem::canFadeWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

int WindowSystem::setTranslucency(QWidget *window, int alpha) {
    if (alpha < 0 || alpha > 255)
        return 1;
    if (!window || !canFadeWindows())
        return 2;
    window->setWindowOpacity(alpha / 255.0);
    return 0;
}

bool WindowSystem::beginWindowDrag(QWidget *window) {
    QWindow *handle = window ? window->windowHandle() : nullptr;
    return handle && handle->startSystemMove();
}

} // namespace talvero
