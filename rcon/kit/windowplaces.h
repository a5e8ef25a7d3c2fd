#pragma once

#include <QString>

class QPoint;
class QWidget;

// Where the user left the two windows (the main window's place, the output window's place and
// size), kept per user in the options file under a group of its own and put back at the next
// start. A place that no screen shows any more (a monitor unplugged, a smaller resolution) is
// moved back onto a screen.
//
// A place is the top left corner of the window's client area, as the window system reports the
// window, not of its frame: before a window is first shown nobody knows how thick the frame
// its window manager draws will be, so a frame position kept at exit could not be put back
// exactly at the next start (the window would creep by the title bar's height at every start).
class WindowPlaces final {
public:
    static constexpr char Group[] = "Windows";

    explicit WindowPlaces(QString optionsFile);

    void save(const QWidget *main, const QWidget *output) const;
    // False (and nothing moved) when no places are stored.
    bool restore(QWidget *main, QWidget *output) const;

    // Puts the window's client area at the place given, whether or not it has been shown yet.
    static void placeClientAt(QWidget *window, const QPoint &place);
    // Moves the window, whole, onto the screen that shows its middle, else the primary screen.
    static void keepOnScreen(QWidget *window);
    // Shows a window of its own (restored when it was minimised) in front, with the keyboard.
    static void bringForward(QWidget *window);

private:
    QString m_optionsFile;
};
