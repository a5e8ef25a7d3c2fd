#pragma once

#include <QObject>
#include <QString>

#include <memory>

class ButtonFactory;
class ControlHost;
class MainConnection;
class Platform;
class ProgramFiles;
class SettingsStore;
class SingleInstance;
class Windows;

// The running program: where its files lie, the desktop it talks to, the services its windows
// are given (the settings, the main connection, the control host, the button factory), its
// windows, and its start and end. Main creates one; there are no hidden globals, so a test can
// build a whole fresh program in a temporary folder. No window sees this object: each is given
// the few services it needs, and asks the application for anything else.
class Program final : public QObject {
    Q_OBJECT
public:
    // programDir: the folder of the running executable, which holds the program's files and, in
    // this form, also those it writes. optionsFile: where the per-user options are kept.
    Program(QString programDir, QString optionsFile, Platform &platform, QObject *parent = nullptr);
    // dataDir: where the files the program writes ("talvero.ini", "password", "rcon_log.txt")
    // are kept when that is not the program folder (an installed, read-only program).
    Program(QString programDir, QString dataDir, QString optionsFile, Platform &platform,
            QObject *parent = nullptr);
    ~Program() override;

    ProgramFiles &files() const { return *m_files; }
    Platform &platform() const { return m_platform; }
    SettingsStore &settings() const { return *m_settings; }
    MainConnection &mainConnection() const { return *m_connection; }
    ControlHost &controls() const { return *m_controls; }
    const ButtonFactory &buttons() const { return *m_buttons; }
    Windows &windows() const { return *m_windows; }

    // The program's start: the splash with its sound (and the first-run dialog when no access
    // password has been chosen yet), then the main window loaded hidden; the splash's fade
    // then shows the main window and the output window.
    void startWithSplash();
    // Starts without the splash: checks the settings file (which may end the program), loads
    // the main window and shows it with the output window at once, fully opaque. The first-run
    // dialog is not asked for here.
    void start();
    // The single-instance claim of this run, given up before a restart starts the next run.
    void setInstanceClaim(SingleInstance *claim) { m_instanceClaim = claim; }
    // Asks for the access password with the first-run dialog when none has been chosen yet;
    // false when the program is ending (the dialog was closed, or the settings file is bad).
    bool askFirstPasswordIfNone();
    // Checks the settings file as the start needs it; with a damaged or missing file it says so
    // and ends the program, and gives false.
    bool checkSettingsFile();

    // Both take the windows off the screen at once and end the process; the windows are
    // unloaded when the program object goes.
    void ExitProgram();
    void RestartProgram();
    bool isEnding() const { return m_ending; }

private:
    void leaveTheDesktop();

    std::unique_ptr<ProgramFiles> m_files;
    Platform &m_platform;
    std::unique_ptr<ControlHost> m_controls;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<ButtonFactory> m_buttons;
    MainConnection *m_connection;
    std::unique_ptr<Windows> m_windows;
    SingleInstance *m_instanceClaim = nullptr;
    bool m_ending = false;
};
