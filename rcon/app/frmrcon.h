#pragma once

#include <QWidget>

#include <array>

class ConsoleComforts;
class LogFileWriter;
class LongTimer;
class Program;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class TrayIcon;
class XpButton;
struct RconReply;

// The main window: the server's address, port and password, the console and AdminMod command
// lines, the connect, disconnect, properties, exit and send-to-tray buttons, the three
// long-interval timers of the automatic mode and the tray icon. It has no menu bar: its three
// menus are shown as pop-ups (from the output window and the tray icon). It drives the
// program's main session (Program::mainSession): connects it, sends through it, shows what it
// hears in the output window and resets it; its password field and the session's password are
// one.
class FrmRcon final : public QWidget {
    Q_OBJECT
public:
    explicit FrmRcon(Program &program);
    ~FrmRcon() override;

    // The window's load sequence: options, translucency, start-up defaults, button styles.
    void load();

    // Connecting and disconnecting.
    void connectEntry(); // the Connect button, "Connect . ." and the tray's "Connect"
    void ConnectToServer();
    void ResetConnection();
    // Fills the endpoint fields and the automatic commands from the stored defaults.
    void LoadStartupDefaults();

    // Sends a console command, unless the console line is empty; empties the line.
    void SendRconCommand(const QString &command);

    // The tray.
    void sendToTray();
    void restoreFromTray();
    // The output pane's menu: the options before connecting, the server commands after.
    void showConsoleMenu(const QPoint &globalPos);
    // The program ends: what is kept is written now, the tray icon goes.
    void leaveTheDesktop();

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
    QAction *MnuConnect = nullptr;
    QAction *MnuProperties = nullptr;
    QAction *MnuPassManager = nullptr;
    QAction *MnuTrayConnect = nullptr;
    QAction *MnuTrayDConnect = nullptr;
    QAction *MnuTrayMain = nullptr;
    QAction *MnuTrayAbout = nullptr;
    QAction *MnuTrayExit = nullptr;

    // The server port as converted from the port field at the last connect.
    qint32 ServerPort = 0;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFields();
    void buildMenus();
    void buildTimers();
    void onReply(const RconReply &reply);
    void wskError();
    void logWriteError(const LogFileWriter &log);
    void connectionError();
    void sendConsoleCommand();
    void sendAdminCommand();
    void sendCanned(const QString &command);
    void showProperties();
    void visitWebsite();
    void startAbout();
    void runAutomaticCommand(const QString &command);
    void broadcast();

    Program &m_program;
    // The automatic commands and their intervals, from the start-up defaults.
    QString m_autoCommand1;
    QString m_autoCommand2;
    qint32 m_autoInterval1 = 0;
    qint32 m_autoInterval2 = 0;
    // The output window was hidden because this window was minimised.
    bool m_outputHiddenWithMe = false;
};
