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
class RconSocket;
class TrayIcon;
class XpButton;

// The main window: the server's address, port and password, the console and AdminMod command
// lines, the connect, disconnect, properties, exit and send-to-tray buttons, the UDP socket,
// the three long-interval timers of the automatic mode and the tray icon. It has no menu bar:
// its three menus are shown as pop-ups (from the output window and the tray icon).
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

    // What the window does with one datagram from the server.
    void handleDatagram(const QString &datagram);

    // The tray.
    void sendToTray();
    void restoreFromTray();

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
    RconSocket *wsk = nullptr;
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
    QAction *MnuConnect = nullptr;
    QAction *MnuProperties = nullptr;
    QAction *MnuPassManager = nullptr;
    QAction *MnuTrayConnect = nullptr;
    QAction *MnuTrayDConnect = nullptr;
    QAction *MnuTrayMain = nullptr;
    QAction *MnuTrayAbout = nullptr;
    QAction *MnuTrayExit = nullptr;

    // The last datagram read from the socket (or its replacement text) and the last reply
    // text handed to the output pane.
    QString ReceivedText;
    QString ReplyText;
    qint32 ServerPort = 0;

Q_SIGNALS:
    // The connection has been reset (disconnect, failure or ban).
    void connectionReset();
    // The server confirmed a connection (its challenge arrived).
    void connectionConfirmed();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFields();
    void buildMenus();
    void buildTimers();
    void wskDataArrival();
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
    // Counts resets, so a connect can tell that one happened while it let events run.
    quint64 m_resets = 0;
    // The output window was hidden because this window was minimised.
    bool m_outputHiddenWithMe = false;
};
