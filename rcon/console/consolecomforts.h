#pragma once

#include <QObject>
#include <QString>

#include <memory>

class CommandCompletion;
class CommandHistory;
class QCompleter;
class QLineEdit;
class QStandardItemModel;
class RecentServers;

// What the main window's fields offer beyond typing: Up and Down step through the commands
// sent from each command line, the console line completes command and variable names, and the
// address field offers the servers last connected to. The window tells it what happened: a
// command sent by the user, a server that confirmed the connection, a reply shown.
//
// The state lies in the given folder (empty: kept for the session only): "history-console",
// "history-adminmod", "learned-names.json" and "recent-servers".
class ConsoleComforts final : public QObject {
    Q_OBJECT
public:
    ConsoleComforts(const QString &stateDir, QLineEdit *ip, QLineEdit *port, QLineEdit *console,
                    QLineEdit *admin, QObject *parent);
    ~ConsoleComforts() override;

    // Commands sent from the lines by the user (the canned and automatic ones are not).
    void consoleCommandSent(const QString &command);
    void adminCommandSent(const QString &command);
    // The server answered the challenge: it goes to the recent servers, and its names are
    // offered from now on.
    void serverConfirmed(const QString &host, int port);
    void replyShown(const QString &reply);

    // Saves now what would otherwise reach the user's files a moment later.
    void flush();
    CommandHistory &consoleHistory() const { return *m_consoleHistory; }
    CommandHistory &adminHistory() const { return *m_adminHistory; }
    CommandCompletion &completion() const { return *m_completion; }
    RecentServers &recentServers() const { return *m_recent; }
    QCompleter *commandCompleter() const { return m_commandCompleter; }
    QCompleter *serverCompleter() const { return m_serverCompleter; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool stepHistory(QLineEdit *line, CommandHistory &history, int key);
    void fillServers();

    QLineEdit *m_ip;
    QLineEdit *m_port;
    QLineEdit *m_console;
    QLineEdit *m_admin;
    std::unique_ptr<CommandHistory> m_consoleHistory;
    std::unique_ptr<CommandHistory> m_adminHistory;
    std::unique_ptr<RecentServers> m_recent;
    CommandCompletion *m_completion;
    QCompleter *m_commandCompleter;
    QCompleter *m_serverCompleter;
    QStandardItemModel *m_serverModel;
    // Enter chose a completion: its release must not send the line as well.
    bool m_swallowEnterRelease = false;
};
