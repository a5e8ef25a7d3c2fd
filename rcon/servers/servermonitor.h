#pragma once

#include "rcon/protocol/a2s.h"
#include "rcon/protocol/serverquery.h"
#include "rcon/servers/savedservers.h"

#include <QDateTime>
#include <QHash>
#include <QLatin1String>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

class ServerListModel;

// The saved servers kept live: every server asked what it is over one socket (ServerQuery),
// every refresh interval while the list is shown or watched, and at once when asked to or when
// the server is added; the rows of its model hold the answers. One server's players and rules
// are asked for with each refresh (the details of the selected row).
//
// Watching: while it is on, the servers are asked also when nothing shows the list. A server
// that misses MissesBeforeNotice refreshes in a row is reported once by stoppedAnswering(),
// and once by answersAgain() when it answers after that; each refresh reports its changes
// together, so a refresh in which many servers go silent is one report.
//
// The list changes through this object, which saves it at once: a change the file does not
// take is not made. The interval ("RefreshSeconds", 5 to 600, 15 when absent) and the watching
// ("Watch", "1" or "0") are read from and written to the options file, group "Servers".
class ServerMonitor final : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultRefreshSeconds = 15;
    static constexpr int MinRefreshSeconds = 5;
    static constexpr int MaxRefreshSeconds = 600;
    static constexpr int MissesBeforeNotice = 3;
    static constexpr QLatin1String RefreshSecondsKey{"RefreshSeconds"};
    static constexpr QLatin1String WatchKey{"Watch"};

    explicit ServerMonitor(QString optionsFile, QObject *parent = nullptr);
    ~ServerMonitor() override;

    const SavedServers &servers() const { return m_list; }
    ServerListModel *model() const { return m_model; }
    ServerQuery &query() { return m_query; }

    // Adds one server per line (see SavedServers::add), saves the list and asks the new ones at
    // once. Nothing is added when one cannot be, or the list cannot be saved (*error says why).
    std::optional<QList<SavedServer>> add(const QString &lines, const QString &label,
                                          const QString &group, QString *error = nullptr);
    bool replace(int index, const SavedServer &server, QString *error = nullptr);
    bool remove(int index, QString *error = nullptr);

    // The list is on the screen: refreshed every interval.
    void setShown(bool shown);
    bool isShown() const { return m_shown; }
    // Refreshed every interval also when nothing shows it, and changes reported.
    void setWatching(bool on);
    bool isWatching() const { return m_watching; }
    int refreshIntervalMs() const { return m_timer.interval(); }
    // The interval from the options file is 5 s at the least; tests take a shorter one.
    void setRefreshIntervalMs(int ms);

    // Asks every server and the details' server now. While a refresh is under way (its silent
    // servers are still awaited) only the servers already done are asked again.
    void refresh();
    // A refresh is under way.
    bool isRefreshing() const { return !m_round.isEmpty(); }

    // The server whose players and rules are asked for with each refresh, and once at once;
    // an empty key asks for none.
    void setDetailsServer(const QString &key);
    const QString &detailsServer() const { return m_detailsKey; }
    const QList<A2s::Player> &players() const { return m_players; }
    const QList<A2s::Rule> &rules() const { return m_rules; }
    // The last question for the details got no answer.
    bool detailsSilent() const { return m_detailsSilent; }

Q_SIGNALS:
    void detailsChanged();
    // Every server of a refresh has answered or been given up on.
    void refreshFinished();
    // The names, as the list shows them, of the servers that changed in one refresh.
    void stoppedAnswering(const QStringList &names);
    void answersAgain(const QStringList &names);

private:
    struct Watch {
        int misses = 0;
        bool reported = false; // stoppedAnswering was said and answersAgain not yet
    };

    bool commit(const SavedServers &before, QString *error);
    void listChanged();
    void ask(const QString &key);
    void askDetails();
    void onInfo(const QString &key, const A2s::ServerInfo &info, int pingMs);
    void onFinished(const QString &key, ServerQuery::Request request, ServerQuery::Outcome outcome);
    void endRound();
    void updateTimer();

    QString m_optionsFile;
    SavedServers m_list;
    ServerListModel *m_model;
    ServerQuery m_query;
    QTimer m_timer;
    QTimer m_saveNames; // the names servers answered with, saved together
    bool m_shown = false;
    bool m_watching = false;

    QSet<QString> m_round;
    QHash<QString, bool> m_roundAnswers; // key: answered
    QHash<QString, Watch> m_watch;

    QString m_detailsKey;
    QList<A2s::Player> m_players;
    QList<A2s::Rule> m_rules;
    bool m_detailsSilent = false;
};
