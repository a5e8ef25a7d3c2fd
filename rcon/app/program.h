#pragma once

#include "rcon/protocol/rconrequests.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class ControlHost;
class FrmFirst;
class FrmLog;
class FrmPass;
class FrmPassEnter;
class FrmPlayers;
class FrmRcon;
class FrmServerLog;
class FrmSetRcon;
class FrmSplash;
class LogFileWriter;
class PasswordFile;
class Platform;
class QPoint;
class RconSession;
class SettingsStore;
class SingleInstance;
class XpButton;
class QWidget;

// The running program: where its files lie, the desktop it talks to, its program-wide values,
// its windows and the routines they share. Main creates one and hands it to every window; there
// are no hidden globals, so a test can build a whole fresh program in a temporary folder.
class Program final : public QObject {
    Q_OBJECT
public:
    // programDir: the folder of the running executable, which holds the program's files and, in
    // this form, also those it writes. optionsFile: where the per-user on/off options are kept.
    Program(QString programDir, QString optionsFile, Platform &platform, QObject *parent = nullptr);
    // dataDir: where the files the program writes ("talvero.ini", "password", "rcon_log.txt")
    // are kept when that is not the program folder (an installed, read-only program).
    Program(QString programDir, QString dataDir, QString optionsFile, Platform &platform,
            QObject *parent = nullptr);
    ~Program() override;

    const QString &programDir() const { return m_programDir; }
    // A file of the program folder by its fixed name ("welcome.wav", "about", ...).
    QString filePath(const QString &fileName) const;
    const QString &dataDir() const { return m_dataDir; }
    // A file the program writes ("talvero.ini", "password", "rcon_log.txt") by its fixed name.
    QString dataFilePath(const QString &fileName) const;
    const QString &optionsFile() const { return m_optionsFile; }
    Platform &platform() const { return m_platform; }
    ControlHost &controls() const { return *m_controls; }
    // Where the user's own state lies (command history, learned names, recent servers); empty
    // keeps it for the session only. Set before the main window loads.
    void setUserStateDir(const QString &dir) { m_userStateDir = dir; }
    const QString &userStateDir() const { return m_userStateDir; }
    SettingsStore &settings() const { return *m_settings; }

    // Plays one of the program's sounds ("welcome.wav", ...) from the program folder.
    void playSound(const QString &fileName) const;
    // A push button for one of the program's windows, with the program's click sound.
    XpButton *newButton(QWidget *parent, const QString &name, const QString &caption) const;

    // The program's start: the splash with its sound (and the first-run dialog when no access
    // password has been chosen yet), then the main window loaded hidden; the splash's fade
    // then shows the main window and the output window.
    void startWithSplash();
    // Starts without the splash: checks the settings file (which may end the program), loads
    // the main window and shows it with the output window at once, fully opaque. The first-run
    // dialog is not asked for here.
    void start();
    // Shows the output window and the main window side by side, at the translucency they have.
    void showMainWindows();
    // The single-instance claim of this run, given up before a restart starts the next run.
    void setInstanceClaim(SingleInstance *claim) { m_instanceClaim = claim; }
    // Asks for the access password with the first-run dialog when none has been chosen yet;
    // false when the program is ending (the dialog was closed, or the settings file is bad).
    bool askFirstPasswordIfNone();

    // Windows, each created (loaded) on first reference and gone once unloaded.
    FrmRcon *frmRcon();
    FrmLog *frmLog();
    FrmSetRcon *frmSetRcon();
    bool isFrmSetRconLoaded() const;
    // Called by the Properties dialog when it closes: the next reference loads it afresh.
    void frmSetRconUnloaded();
    // The splash and the password dialogs, loaded on first reference like the others; each is
    // unloaded when it has done its part (the splash at the end of its fade, a dialog when it
    // closes), and the next reference loads it afresh.
    FrmSplash *frmSplash();
    FrmSplash *loadedSplash() const;
    FrmFirst *frmFirst();
    FrmPassEnter *frmPassEnter();
    FrmPass *frmPass();
    void unload(QWidget *window);
    // The Players window; gone once closed.
    FrmPlayers *frmPlayers();
    // Opens the Players window on the main window's connection; nothing while disconnected.
    void showPlayers();
    // The Server Log window; gone once closed.
    FrmServerLog *frmServerLog();
    // Opens the Server Log window on the main window's connection; nothing while disconnected.
    void showServerLog();

    // Checks the settings file as the start needs it; with a damaged or missing file it says so
    // and ends the program, and gives false.
    bool checkSettingsFile();
    // The scrambled password file.
    PasswordFile passwordFile();
    // The reply log writer, created on first use and kept for the rest of the run.
    LogFileWriter &ConsoleLog();

    // The main connection: the session the main window connects, sends and disconnects, and the
    // other windows follow (its server, its password, whether it is set up).
    RconSession &mainSession() const { return *m_mainSession; }
    // The main connection is set up (from a connect to the next reset).
    bool isConnected() const;
    // The main connection's server and its password as they are now, for the windows that ask
    // that server things over requests of their own.
    RconRequests::Endpoint mainEndpoint() const;
    // Replies are handed to the log writer.
    bool logToFile() const { return m_logToFile; }
    void setLogToFile(bool on) { m_logToFile = on; }
    // The log option may not change while a connection lasts: locked from the connect to the
    // reset that ends it.
    bool isLogOptionLocked() const { return m_logOptionLocked; }
    void setLogOptionLocked(bool locked);

    // Routines shared by the windows.
    void AppendOutput(const QString &text);
    // A right click (or the menu key) in the output pane: the main window's menus.
    void showConsoleMenu(const QPoint &globalPos);
    // Lets the window system move the window with the pointer; false where it cannot.
    static bool BeginWindowDrag(QWidget *window);
    // 0 when the alpha (0 to 255) was applied, 1 when it is out of range, 2 on failure.
    static int SetTranslucency(QWidget *window, int alpha);
    // Both take the windows off the screen at once and end the process; the windows are
    // unloaded (output window, main window, Properties dialog) when the program object goes.
    void ExitProgram();
    void RestartProgram();
    bool isEnding() const { return m_ending; }

Q_SIGNALS:
    void logOptionLockChanged(bool locked);

private:
    void unloadAll();
    void takeWindows();
    void leaveTheDesktop();
    static void placeSideBySide(QWidget *main, QWidget *output);

    QString m_programDir;
    QString m_dataDir;
    QString m_optionsFile;
    QString m_userStateDir;
    Platform &m_platform;
    std::unique_ptr<ControlHost> m_controls;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<LogFileWriter> m_consoleLog;
    RconSession *m_mainSession;
    bool m_logToFile = false;
    bool m_logOptionLocked = false;
    QPointer<FrmRcon> m_frmRcon;
    QPointer<FrmLog> m_frmLog;
    QPointer<FrmSetRcon> m_frmSetRcon;
    QPointer<FrmSplash> m_frmSplash;
    QPointer<FrmFirst> m_frmFirst;
    QPointer<FrmPassEnter> m_frmPassEnter;
    QPointer<FrmPass> m_frmPass;
    QPointer<FrmPlayers> m_frmPlayers;
    QPointer<FrmServerLog> m_frmServerLog;
    // Windows unloaded at an exit, in the order they go; deleted with the program object.
    QList<QPointer<QWidget>> m_leaving;
    SingleInstance *m_instanceClaim = nullptr;
    bool m_ending = false;
    // The windows have been placed on the screen; their places are worth keeping.
    bool m_placed = false;
};
