#pragma once

#include <QByteArray>

class QWidget;

namespace talvero {

// Which of the desktop's window systems the program runs on, and what it can do there.
//
// The program keeps its two windows side by side where the user left them, and fades them in.
// A Wayland client can do neither: the compositor alone places its windows, and Qt's Wayland
// plugin cannot change a window's opacity (it warns at every attempt). On a Wayland desktop
// that also offers an X server for older programs (XWayland, DISPLAY set), the program runs
// through that X server unless the user chose a platform with QT_QPA_PLATFORM.
class WindowSystem final {
public:
    // Chooses before the application object is made. restoreEnvironment() takes the choice
    // back out of the environment once Qt has read it, so that programs started from here
    // (the browser, a restart) choose for themselves.
    static void preferX11WhereOffered();
    // Called once the application object is made.
    static void restoreEnvironment();
    // False where changing a window's opacity is not supported (a Wayland client).
    static bool canFadeWindows();
    // The window's opacity as an alpha from 0 (clear) to 255 (opaque): 0 when it was applied,
    // 1 when the alpha is out of range, 2 on failure (no window, or a window system that
    // cannot fade windows: there they stay opaque).
    static int setTranslucency(QWidget *window, int alpha);
    // Lets the window system move the window with the pointer; false where it cannot.
    static bool beginWindowDrag(QWidget *window);

private:
    static bool s_chosen;
};

} // namespace talvero
