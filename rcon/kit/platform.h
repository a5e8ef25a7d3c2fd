#pragma once

#include <QString>
#include <QUrl>

class QWidget;

// What the program asks of the desktop that a test must not really do: message boxes, sounds,
// opening a web address, starting a program and ending the process. The program talks to this
// interface only; QtPlatform is the real one, tests hand in a fake.
class Platform {
public:
    enum class Icon { Information, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Platform() = default;

    // A modal message box titled "Talvero".
    virtual Answer messageBox(QWidget *parent, Icon icon, Buttons buttons, const QString &text) = 0;
    // Starts playing a sound file and returns at once; a missing file or no audio plays nothing.
    virtual void playSound(const QString &path) = 0;
    // Hands the address to the desktop's browser; false when nothing could take it.
    virtual bool openUrl(const QUrl &url) = 0;
    // Starts a program without waiting for it; false when it could not be started.
    virtual bool startProgram(const QString &path) = 0;
    // Ends the process with the code once control is back in the event loop. The caller
    // returns straight after this call and does nothing more.
    virtual void exitProcess(int code) = 0;
};
