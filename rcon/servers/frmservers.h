#pragma once

#include "rcon/servers/savedservers.h"

#include <QLatin1String>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

class ButtonFactory;
class DesktopNotifier;
class SendToServersView;
class PasswordKeyring;
class Platform;
class ProgramFiles;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTableWidget;
class ServerDialog;
class ServerFilterModel;
class ServerMonitor;
class XpButton;

// The Servers window: the user's saved servers, each row live (name, address, map, players,
// ping, join password, VAC, game, last answer) through the server queries; the selected
// server's players and rules below; adding, editing and removing servers, their rcon passwords
// in the desktop keyring; one double-click (or Enter) to connect the main window to a server;
// one command line to many servers ("Send to selected...", Ctrl+Enter); and, while "Tell me
// when a server stops answering" is on, a desktop notification when a server stops answering
// or answers again, also while the window is hidden.
//
// How the application uses it:
//  - Create it once, with the services below, and keep it for the run: closing the window
//    hides it, and watching goes on while it is hidden or the program sits in the tray.
//  - open() shows it in front with the keyboard and refreshes it ("Servers...", Ctrl+K).
//  - connectRequested(host, port, password): the user chose a server to connect to. Put host
//    and port into the main window's address and port fields and, when a password is given,
//    into its password field (with none, the field stays as it is); bring the main window
//    forward and connect through its own connect, resetting first when it is connected
//    elsewhere.
//  - currentServer, given to the constructor, answers "Add the current server": the address
//    and port in the main window's fields now, or nothing when they hold none.
//
// Its size and place, columns, splitter, group choice and watching are kept in the options
// file, group "Servers", beside the list itself (SavedServers).
class FrmServers final : public QWidget {
    Q_OBJECT
public:
    using CurrentServer = std::function<std::optional<std::pair<QString, quint16>>()>;

    FrmServers(Platform &platform, const ButtonFactory &buttons, const ProgramFiles &files,
               CurrentServer currentServer, QWidget *parent = nullptr);
    ~FrmServers() override;

    // Shows the window (restored when minimised) in front with the keyboard, and refreshes it.
    void open();
    // Asks every server now (F5).
    void refresh();

    // The list kept live (what the rows show, the interval, watching).
    ServerMonitor &monitor() const { return *m_monitor; }
    // The window of "Send to selected..."; made at its first use.
    SendToServersView *sendWindow() const;
    // How long a server query and a command wait for their answer; for tests.
    void setAnswerTimeout(int ms);

Q_SIGNALS:
    void connectRequested(const QString &host, quint16 port,
                          const std::optional<QString> &password);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildWidgets();
    void buildActions();
    void restoreOptions();
    void saveOptions() const;

    QList<int> selectedIndexes() const; // in the list, in list order
    int currentIndex() const;
    void selectServer(const QString &key);
    void updateGroups();
    void updateActions();
    void updateDetails();
    void showMessage(const QString &text);
    void notifyChange(const QStringList &names, const QString &what);

    void addServers(const QString &prefilled = {});
    void addCurrentServer();
    void editServer();
    void removeServers();
    void importRecentServers();
    void sendToSelected();
    void connectTo(int index);
    void submitAdd(ServerDialog *dialog);
    void submitEdit(ServerDialog *dialog, int index, const std::optional<QString> &keptPassword);
    // Keeps the password for every key, then runs then; where the keyring will not keep it, the
    // dialog says why instead.
    void keepPasswords(ServerDialog *dialog, const QStringList &keys, const QString &password,
                       const std::function<void()> &then);
    void writePasswords(const QStringList &keys, const QString &password,
                        std::function<void(const QString &problem)> done);

    Platform &m_platform;
    const ButtonFactory &m_buttons;
    QString m_optionsFile;
    QString m_recentServersFile;
    CurrentServer m_currentServer;
    ServerMonitor *m_monitor;
    ServerFilterModel *m_shown;
    PasswordKeyring *m_keyring;
    DesktopNotifier *m_notifier;
    QPointer<SendToServersView> m_sendWindow;
    int m_answerTimeoutMs = 0;
    bool m_opened = false;
    // The refresh under way was asked for, and the status line waits for how it went.
    bool m_refreshAsked = false;

    QLineEdit *m_filter = nullptr;
    QComboBox *m_group = nullptr;
    QCheckBox *m_watch = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_detailsTitle = nullptr;
    QTableWidget *m_players = nullptr;
    QLineEdit *m_rulesFilter = nullptr;
    QTableWidget *m_rules = nullptr;
    QWidget *m_split = nullptr;
    XpButton *m_add = nullptr;
    XpButton *m_addCurrent = nullptr;
    XpButton *m_edit = nullptr;
    XpButton *m_remove = nullptr;
    XpButton *m_import = nullptr;
    XpButton *m_send = nullptr;
    XpButton *m_refresh = nullptr;
    XpButton *m_connect = nullptr;
    QLabel *m_status = nullptr;
    QAction *m_sendAction = nullptr;
};
