#pragma once

#include <QPixmap>
#include <QWidget>

class FadeTimer;
class Program;

// The splash window of the start: it plays the welcome sound, stays opaque while the start-up
// reads the access password (and waits for the first-run dialog when none has been chosen),
// then fades out in 65 ticks of `T` while the main window and the output window, shown at
// alpha 0, fade in over 65 ticks of `T2` (or go to the tray at the first of them). It unloads
// itself when the fade is done.
class FrmSplash final : public QWidget {
    Q_OBJECT
public:
    explicit FrmSplash(Program &program);
    ~FrmSplash() override;

    // The load handler: the tray option, the welcome sound, the splash shown, the access
    // password read, the first-run dialog when needed; then the fade begins.
    void load();

    FadeTimer *T = nullptr;  // fades the splash out
    FadeTimer *T2 = nullptr; // fades the main windows in
    // The alpha of the fade in progress.
    qint16 FadeLevel = 0;
    // The option SendToTrayOnBoot as read at load: 1 starts in the tray.
    qint32 TrayOnStart = 0;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void T_Timer();
    void T2_Timer();
    // Ends the fade when the program is ending meanwhile; true when it did.
    bool stopIfEnding();

    Program &m_program;
    QPixmap m_picture;
};
