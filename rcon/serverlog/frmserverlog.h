#pragma once

#include "rcon/protocol/rconrequests.h"
#include "rcon/protocol/serverlogline.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class LogReceiver;
class ButtonFactory;
class MainConnection;
class Platform;
class SettingsStore;
class QAction;
class QCheckBox;
class QHostAddress;
class QLabel;
class QLineEdit;
class QListView;
class ServerLogModel;
class XpButton;

// The Server Log window: the server's own log, line by line as it happens, sorted into chat,
// kills, connections, rounds, admin and the rest, and a line to say something to the players.
//
// While it is open and the main window is connected, it receives the log on a UDP port of its
// own and has the server send it there (logaddress_add), over a session of its own with the
// main window's address, port and password. Closing it, disconnecting and leaving the program
// tell the server to stop (logaddress_del) first, so no server is left sending its log to a
// port nobody reads.
class FrmServerLog final : public QWidget {
    Q_OBJECT
public:
    // Asks where to save the lines; an empty answer saves nothing. Tests answer it themselves.
    using SaveFileChooser = std::function<QString(QWidget *parent, const QString &suggested)>;

    // connection: the main connection, whose server, port and password the window's own requests
    // use and whose end stops them.
    FrmServerLog(MainConnection &connection, const SettingsStore &settings, Platform &platform,
                 const ButtonFactory &buttons);
    ~FrmServerLog() override;

    // Shows the window and, while the main window is connected, has the server send its log.
    void open();
    // Tells the server at once to stop sending its log here (one datagram, with the challenge
    // and password the window's session holds, so it goes out also when the process ends right
    // after) and stops receiving. The lines stay.
    void leave();

    // The port the log is received on; 0 when none.
    quint16 receivingPort() const;
    // The server has been asked to send its log here and not told to stop since.
    bool isRegistered() const { return m_registered.has_value(); }
    RconRequests *session() const { return m_session; }
    ServerLogModel *model() const { return m_model; }
    void setSaveFileChooser(SaveFileChooser chooser) { m_chooseSaveFile = std::move(chooser); }
    // How long the window waits for a first line after the server took its address before it
    // reminds the user that a server sends its log only while its logging is on.
    static constexpr int QuietHintMs = 15000;
    void setQuietHintDelay(int ms) { m_quietHintMs = ms; }

    // Copy: the selected lines, in the server's log format. Save...: the lines shown.
    void copySelection();
    bool saveShown();
    // The say line's text to the players; refused with a reason in the status line when it
    // holds what the server's console would take for the end of the command.
    void say();

protected:
    void closeEvent(QCloseEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QLineEdit *TxtAddress = nullptr;
    QLineEdit *TxtPort = nullptr;
    QList<QCheckBox *> ChkCategory; // in the order of ServerLogLine::Category
    QListView *LstLog = nullptr;
    XpButton *CmdCopy = nullptr;
    XpButton *CmdSave = nullptr;
    QLineEdit *TxtSay = nullptr;
    XpButton *CmdSay = nullptr;
    QLabel *LblStatus = nullptr;
    QLabel *LblIgnored = nullptr;
    QAction *ActCopy = nullptr;
    QAction *ActSave = nullptr;

    struct Registration {
        QString address;
        quint16 port = 0;
        bool operator==(const Registration &) const = default;
    };

    void buildWidgets(const ButtonFactory &buttons);
    void start();
    void serverNotFound(const QString &reason);
    void serverFound(const QHostAddress &server);
    void registerHere(bool again);
    void onSettingsEdited();
    void onAnswered(const QString &command, const QString &text);
    void onFailed(const QString &command, RconRequests::Failure failure, const QString &message);
    void onLines(const QList<ServerLogLine> &lines);
    void flush();
    void keepPlace(const std::function<void()> &change);
    void showFilter(ServerLogLine::Category category, bool shown);
    void showMessage(const QString &text);
    void showIgnored(qint64 count);
    void saveOptions() const;

    MainConnection &m_connection;
    const SettingsStore &m_settings;
    Platform &m_platform;
    RconRequests *m_session;
    LogReceiver *m_receiver;
    ServerLogModel *m_model;
    SaveFileChooser m_chooseSaveFile;

    std::optional<Registration> m_registered;
    bool m_started = false; // registering, or registered, since the last leave or failure

    // Lines wait here at most a frame, so a flood reaches the view in a few batches a frame.
    QList<ServerLogLine> m_pending;
    QBasicTimer m_flushTimer;
    // No line since the server took the address: the hint that logging may be off.
    QBasicTimer m_quietHint;
    int m_quietHintMs = QuietHintMs;
    QElapsedTimer m_sinceFlush;
    // The newest line is in view unless the user has scrolled away from it.
    bool m_following = true;
    bool m_adjusting = false;
    bool m_opened = false;
};
