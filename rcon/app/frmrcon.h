#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <optional>
#include <utility>

class ButtonFactory;
class ConsoleComforts;
class ConsoleOutput;
class ControlHost;
class LogFileWriter;
class LongTimer;
class MainConnection;
class Platform;
class ProgramFiles;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class SettingsStore;
class TrayIcon;
class XpButton;
struct RconReply;

// The main window: the server's address, port and password, the console and AdminMod command
// lines, the connect, disconnect, properties, exit and send-to-tray buttons, the three
// long-interval timers of the automatic mode and the tray icon. It has no menu bar: its three
// menus are shown as pop-ups (from the output window and the tray icon). It drives the main
// connection: connects it, sends through it, shows what it hears in the output window and
// resets it; its password field and the session's password are one. Other windows, the
// program's end and its restart are the program's business: the window asks for them.
class FrmRcon final : public QWidget {
    Q_OBJECT
public:
    FrmRcon(const ProgramFiles &files, const SettingsStore &settings, MainConnection &connection,
            Platform &platform, ControlHost &controls, const ButtonFactory &buttons);
    ~FrmRcon() override;

    // The output window, which belongs to this one: replies go there, and it is hidden, shown
    // and minimised with this window. Set before load.
    void setOutput(ConsoleOutput *output);

    // The window's load sequence: options, translucency, start-up defaults, button styles.
    void load();

    // Connecting and disconnecting.
    void connectEntry(); // the Connect button, "Connect . ." and the tray's "Connect"
    void ConnectToServer();
    void ResetConnection();
    // Fills the endpoint fields and the automatic commands from the stored defaults.
    void LoadStartupDefaults();
    // Puts a server into the address, port and (when one is given) password fields and
    // connects to it, ending a connection to another server first.
    void connectTo(const QString &host, quint16 port, const std::optional<QString> &password);

    // Sends a console command, unless the console line is empty; empties the line.
    void SendRconCommand(const QString &command);

    // The tray.
    void sendToTray();
    void restoreFromTray();
    // The output pane's menu: the options before connecting, the server commands after.
    void showConsoleMenu(const QPoint &globalPos);
    // The program ends: what is kept is written now, the tray icon goes.
    void leaveTheDesktop();

    // The address and port the fields hold now, read as Connect reads them; none when either
    // holds no server (for a window that keeps servers).
    std::optional<std::pair<QString, quint16>> typedServer() const;

    // The server port as converted from the port field at the last connect.
    qint32 serverPort() const { return ServerPort; }

Q_SIGNALS:
    void exitRequested();
    void propertiesRequested();
    void passwordManagerRequested();
    void playersRequested();
    void serverLogRequested();
    void serversRequested();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFields(const ButtonFactory &buttons);
    void buildMenus();
    void buildTimers(ControlHost &controls);
    ConsoleOutput *output() const;
    void onReply(const RconReply &reply);
    void wskError();
    void logWriteError(const LogFileWriter &log);
    void connectionError();
    // Resets the connection now and tells the user why once the session's handlers are done.
    void endConnection(int icon, const QString &message);
    void sendConsoleCommand();
    void sendAdminCommand();
    void sendCanned(const QString &command);
    void visitWebsite();
    void startAbout();
    void runAutomaticCommand(const QString &command);
    void broadcast();

    const ProgramFiles &m_files;
    const SettingsStore &m_settings;
    MainConnection &m_connection;
    Platform &m_platform;
    ConsoleOutput *m_output = nullptr;
    QPointer<QWidget> m_outputWindow;

    QLineEdit *txtIP = nullptr;
    QLineEdit *txtPort = nullptr;
    QLineEdit *txtPassword = nullptr;
    QLineEdit *txtSend = nullptr;
    QLineEdit *TxtSendAdmin = nullptr;
    // The two frames, numbered 1 ("Game Server") and 2 ("AdminMod / Rcon ") as the window
    // numbers them; element 0 is unused.
    std::array<QGroupBox *, 3> Fra{};
    XpButton *CmdSend = nullptr;
    XpButton *CmdSendAdmin = nullptr;
    XpButton *cmdconnect = nullptr;
    XpButton *cmddisconnect = nullptr;
    XpButton *CmdSettings = nullptr;
    XpButton *CmdClose = nullptr;
    XpButton *CmdTray = nullptr;
    LongTimer *Rcon = nullptr;
    LongTimer *TimerX1 = nullptr;
    LongTimer *TimerX2 = nullptr;
    TrayIcon *Tray = nullptr;
    // History, completion and recent servers in the fields.
    ConsoleComforts *comforts = nullptr;

    QMenu *MnuCommands = nullptr;
    QMenu *MnuOptions = nullptr;
    QMenu *MnuTray = nullptr;
    QAction *MnuAdminModCommands = nullptr;
    QAction *MnuHostName = nullptr;
    QAction *MnuUsers = nullptr;
    QAction *mnuStatus = nullptr;
    QAction *MnuGravity = nullptr;
    QAction *MnuP1 = nullptr;
    QAction *MnuP2 = nullptr;
    QAction *MnuP3 = nullptr;
    QAction *MnuP4 = nullptr;
    QAction *MnuLogStatus = nullptr;
    QAction *MnuLogOn = nullptr;
    QAction *MnuLogOff = nullptr;
    QAction *MnuConents = nullptr;
    QAction *MnuVisitSite = nullptr;
    QAction *MnuAbout = nullptr;
    QAction *MnuPlayers = nullptr; // "Players...", after the specified entries
    // "Server Log...", after "Players..."
    QAction *MnuServerLog = nullptr;
    // "Servers...": after "Server Log...", at the end of the Options menu and after the tray's
    // "Connect"; one entry in the three menus.
    QAction *MnuServers = nullptr;
    QAction *MnuConnect = nullptr;
    QAction *MnuProperties = nullptr;
    QAction *MnuPassManager = nullptr;
    QAction *MnuTrayConnect = nullptr;
    QAction *MnuTrayDConnect = nullptr;
    QAction *MnuTrayMain = nullptr;
    QAction *MnuTrayAbout = nullptr;
    QAction *MnuTrayExit = nullptr;

    qint32 ServerPort = 0;
    // The automatic commands and their intervals, from the start-up defaults.
    QString m_autoCommand1;
    QString m_autoCommand2;
    qint32 m_autoInterval1 = 0;
    qint32 m_autoInterval2 = 0;
    // The output window was hidden because this window was minimised.
    bool m_outputHiddenWithMe = false;
};
