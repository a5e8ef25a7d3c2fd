#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

class FadeTimer;
class Platform;
class SettingsStore;

// The splash window of the start: it plays the welcome sound, stays opaque while the start-up
// reads the access password (and waits for the first-run dialog when none has been chosen),
// then fades out in 65 ticks of `T` while the main window and the output window, shown at
// alpha 0, fade in over 65 ticks of `T2` (or go to the tray at the first of them). The main
// windows are the program's: the splash says when they are due and how far their fade is.
class FrmSplash final : public QWidget {
    Q_OBJECT
public:
    // welcomeSound: the sound played as it appears. beforeFade: the start-up's slower steps (the
    // access password, the first-run dialog), run with the splash on the screen; false when the
    // program is ending, and the fade never begins.
    FrmSplash(const SettingsStore &settings, Platform &platform, QString welcomeSound,
              std::function<bool()> beforeFade);
    ~FrmSplash() override;

    // The load handler: the tray option, the welcome sound, the splash shown, the steps before
    // the fade; then the fade begins.
    void load();
    // The program is ending: the fade stops where it is.
    void stop();

    // The alpha of the fade in progress.
    qint16 fadeLevel() const { return FadeLevel; }

Q_SIGNALS:
    // The splash has faded out: the main windows are to be shown, still clear.
    void mainWindowsDue();
    // The main windows' alpha for this tick of the fade in.
    void mainWindowsFade(int alpha);
    // The first tick of the fade in, when the program is to start in the tray.
    void trayDue();
    // The fade is over; the splash may go.
    void finished();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void T_Timer();
    void T2_Timer();
    // Ends the fade when the program is ending meanwhile; true when it did.
    bool stopIfEnding();

    const SettingsStore &m_settings;
    Platform &m_platform;
    QString m_welcomeSound;
    std::function<bool()> m_beforeFade;
    QPixmap m_picture;
    FadeTimer *T = nullptr;  // fades the splash out
    FadeTimer *T2 = nullptr; // fades the main windows in
    qint16 FadeLevel = 0;
    // The option SendToTrayOnBoot as read at load: 1 starts in the tray.
    qint32 TrayOnStart = 0;
    bool m_stopped = false;
};
