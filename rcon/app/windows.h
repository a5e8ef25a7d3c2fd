#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class FrmFirst;
class FrmLog;
class FrmPass;
class FrmPassEnter;
class FrmPlayers;
class FrmRcon;
class FrmServerLog;
class FrmServers;
class FrmSetRcon;
class FrmSplash;
class Program;
class QWidget;

// The program's windows and which opens which. Each window is created and loaded on its first
// reference, given the services it needs, and gone once unloaded; what a window asks for (another
// window, the end of the program, a restart) is decided here and nowhere else. The windows know
// nothing of each other.
class Windows final : public QObject {
    Q_OBJECT
public:
    explicit Windows(Program &program);
    ~Windows() override;

    FrmRcon *frmRcon();
    FrmLog *frmLog();
    FrmSetRcon *frmSetRcon();
    bool isFrmSetRconLoaded() const;
    // The splash and the password dialogs; each is unloaded when it has done its part (the
    // splash at the end of its fade, a dialog when it closes), and the next reference loads it
    // afresh.
    FrmSplash *frmSplash();
    FrmSplash *loadedSplash() const;
    FrmFirst *frmFirst();
    FrmPassEnter *frmPassEnter();
    FrmPass *frmPass();
    // The Players and Server Log windows; gone once closed.
    FrmPlayers *frmPlayers();
    FrmServerLog *frmServerLog();
    // The Servers window, made once and kept for the run (it watches the servers while hidden).
    FrmServers *frmServers();
    void unload(QWidget *window);

    // Shows the output window and the main window side by side, at the translucency they have.
    void showMainWindows();
    void setMainWindowsTranslucency(int alpha);

    // What the windows ask for.
    // The Properties dialog, modally.
    void showProperties();
    // The access prompt modally over the main window (unless the user asked not to be asked
    // again), then the Password Manager once the password was typed; when that is left through
    // Properties, the Properties dialog follows.
    void openPasswordManager();
    // The first-run dialog, modally: true when it stored an access password, false when its
    // window was closed otherwise, which ends the program.
    bool choosePassword();
    // The Players and Server Log windows on the main connection; nothing while disconnected.
    void showPlayers();
    void showServerLog();
    // The Servers window, in front.
    void showServers();
    // The Servers window is made at the start when the user asked it to watch the servers, so
    // the watching goes on from the start, with the window hidden.
    void watchServersIfAsked();

    // The program ends: what the windows keep is written, they leave the screen, and they are
    // taken in the order they go.
    void leave();
    // Deletes the windows taken, and any still there.
    void unloadAll();

private:
    void takeWindows();
    void saveMainPlaces();
    static void placeSideBySide(QWidget *main, QWidget *output);

    Program &m_program;
    QPointer<FrmRcon> m_frmRcon;
    QPointer<FrmLog> m_frmLog;
    QPointer<FrmSetRcon> m_frmSetRcon;
    QPointer<FrmSplash> m_frmSplash;
    QPointer<FrmFirst> m_frmFirst;
    QPointer<FrmPassEnter> m_frmPassEnter;
    QPointer<FrmPass> m_frmPass;
    QPointer<FrmPlayers> m_frmPlayers;
    QPointer<FrmServerLog> m_frmServerLog;
    QPointer<FrmServers> m_frmServers;
    // Windows unloaded at an exit, in the order they go; deleted with the program object.
    QList<QPointer<QWidget>> m_leaving;
    // The windows have been placed on the screen; their places are worth keeping.
    bool m_placed = false;
};
