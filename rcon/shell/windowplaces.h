#pragma once

#include <QString>

class QWidget;

// Where the user left the two windows (the main window's place, the output window's place and
// size), kept per user in the options file under a group of its own and put back at the next
// start. A place that no screen shows any more (a monitor unplugged, a smaller resolution) is
// moved back onto a screen.
class WindowPlaces final {
public:
    static constexpr char Group[] = "Windows";

    explicit WindowPlaces(QString optionsFile);

    void save(const QWidget *main, const QWidget *output) const;
    // False (and nothing moved) when no places are stored.
    bool restore(QWidget *main, QWidget *output) const;

    // Moves the window, whole, onto the screen that shows its middle, else the primary screen.
    static void keepOnScreen(QWidget *window);

private:
    QString m_optionsFile;
};
