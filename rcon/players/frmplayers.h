#pragma once

#include "rcon/protocol/rconrequests.h"

#include <QList>
#include <QTimer>
#include <QWidget>

class PlayerTableModel;
class ButtonFactory;
class MainConnection;
class Platform;
class SettingsStore;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
class XpButton;
struct PlayerRow;

// The Players window: who is on the server, from its status reply, with kick, ban and map
// change on the selected player. It talks to the server over a session of its own (with the
// main window's address, port and password), so its requests and their replies stay out of
// the output window and the log. While it is open and the main window is connected it asks
// for status every 10 seconds; a refused password, a ban notice or a socket error stops that
// until the user refreshes by hand.
class FrmPlayers final : public QWidget {
    Q_OBJECT
public:
    static constexpr int RefreshIntervalMs = 10000;
    // Ban lengths offered, in minutes; 0 bans for ever.
    static constexpr int BanMinutes[] = {5, 60, 1440, 0};

    // connection: the main connection, whose server, port and password the window's own requests
    // use and whose end stops them.
    FrmPlayers(MainConnection &connection, const SettingsStore &settings, Platform &platform,
               const ButtonFactory &buttons);
    ~FrmPlayers() override;

    // Shows the window and, while the main window is connected, refreshes it.
    void open();
    // Asks for status now (Refresh, F5), and refreshes every 10 seconds from then on.
    void refresh();
    // The main window disconnected: the session and the refreshing stop.
    void mainDisconnected();
    // Shows a status reply: host, map and players above, the table below, the selected player
    // kept. A reply that cannot be read leaves the last good table and says so; false then.
    bool applyStatus(const QString &text);

    bool isRefreshing() const { return m_refreshTimer.isActive(); }
    // The selected player; null when none is.
    const PlayerRow *selectedPlayer() const;
    // Selects the player with this user id; false when there is none.
    bool selectUser(int userId);
    RconRequests *session() const { return m_session; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *LblHost = nullptr;
    QLabel *LblMap = nullptr;
    QLabel *LblPlayers = nullptr;
    QLabel *LblStatus = nullptr;
    QTableView *TblPlayers = nullptr;
    QComboBox *CboMap = nullptr;
    XpButton *CmdRefresh = nullptr;
    XpButton *CmdKick = nullptr;
    XpButton *CmdBan = nullptr;
    XpButton *CmdBanAddress = nullptr;
    XpButton *CmdChangeMap = nullptr;
    QMenu *MnuPlayer = nullptr;     // the table's context menu
    QMenu *MnuBan = nullptr;        // the ban lengths
    QMenu *MnuBanAddress = nullptr; // the same for the address
    QAction *ActRefresh = nullptr;
    QAction *ActKick = nullptr;
    QAction *ActCopyName = nullptr;
    QAction *ActCopyUniqueId = nullptr;
    QAction *ActCopyAddress = nullptr;
    QList<QAction *> ActBan;        // in the order of BanMinutes
    QList<QAction *> ActBanAddress; // in the order of BanMinutes

    enum class Message { Refresh, Action, Problem };

    void buildWidgets(const ButtonFactory &buttons);
    void buildActions();
    void requestStatus();
    void requestMaps();
    void onAnswered(const QString &command, const QString &text);
    void onFailed(const QString &command, RconRequests::Failure failure, const QString &message);
    void showMessage(const QString &text, Message kind);
    void updateActions();
    bool confirm(const QString &question);
    void runAction(const QStringList &commands);
    void kickSelected();
    void banSelected(int minutes);
    void banAddressSelected(int minutes);
    void changeMap();
    void copy(const QString &text);
    void popUnder(QMenu *menu, QWidget *button);
    void saveGeometryToOptions() const;

    MainConnection &m_connection;
    const SettingsStore &m_settings;
    Platform &m_platform;
    RconRequests *m_session;
    PlayerTableModel *m_model;
    QSortFilterProxyModel *m_sorted;
    QTimer m_refreshTimer;
    // An action's answer stays in the status line over the refresh that follows it.
    bool m_keepMessage = false;
    bool m_opened = false;
};
