#pragma once

#include "tests/support/a2sresponder.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>

class QUdpSocket;

// A game server's remote console as a GoldSrc engine answers it, on 127.0.0.1: a challenge
// per client address, console output with its trailing NULs, the seven-byte answer of a
// command without output, "Bad rcon_password." and the ban after repeated failures, "No
// challenge" for an unknown challenge, the split format for long output, and a password
// matched after the engine's own tokenizing (so one with a blank or any of { } ( ) ' , :
// matches only when quoted).
// It knows a handful of commands: status, users, hostname, sv_gravity, log, kick, echo, maps,
// cvarlist, banid, addip, writeid, writeip, changelevel, say, logaddress_add, logaddress_del and
// AdminMod's admin_command. Its players can be set; status lists them in the engine's own layout.
// Its log goes, line by line, to the addresses logaddress_add registered, one datagram each,
// sent from the server's own socket; every rcon command is logged as it came, challenge and
// password in clear, as the engine logs it. It answers the server queries (A2sResponder) from
// its name, map, players, sv_password and VAC flag.
class GoldSrcServer final : public QObject {
    Q_OBJECT
public:
    // Every datagram the server sends is at most this long.
    static constexpr int MaxDatagram = 1400;
    // The output the engine collects before sending it on as one console reply.
    static constexpr int RedirectSize = 4000;
    // The most log addresses the server keeps.
    static constexpr int MaxLogAddresses = 32;

    // One client as status lists it. A bot has no address; an HLTV proxy shows its
    // spectators instead of frags.
    struct Player {
        enum class Kind { Human, Bot, Hltv };
        QByteArray name; // the bytes the client chose
        int userId = 0;
        QByteArray uniqueId; // "STEAM_0:1:2345", "BOT", "HLTV", "STEAM_ID_LAN", ...
        Kind kind = Kind::Human;
        int frags = 0;
        int seconds = 0; // connected for
        int ping = 0;
        int loss = 0;
        QByteArray address; // "ip:port"; empty prints none
    };

    struct RconRequest {
        QByteArray challenge;
        QByteArray password;
        QByteArray command;
    };

    explicit GoldSrcServer(QObject *parent = nullptr);
    ~GoldSrcServer() override;

    bool listen(quint16 port = 0);
    quint16 port() const;

    void setPassword(const QByteArray &password) { m_password = password; }
    // failures wrong passwords within windowMs ban the address.
    void setBanPolicy(int failures, int windowMs);
    // Every challenge handed out from now on is this number (0: random ones).
    void setFixedChallenge(quint32 challenge) { m_fixedChallenge = challenge; }
    // The challenges handed out so far turn stale, as after a server restart.
    void forgetChallenges() { m_challenges.clear(); }
    void unban() {
        m_banned.clear();
        m_failures.clear();
    }
    bool isBanned(const QHostAddress &address) const;
    // Bans an address as repeated failures do.
    void ban(const QHostAddress &address) { m_banned.insert(address.toString()); }

    // The players status lists, in slot order. The default set has the four the kick menu
    // names, "bob", names with blanks, quotes and UTF-8, a bot and an HLTV proxy.
    static QList<Player> defaultPlayers();
    // n players with plain names and addresses, user ids from 1.
    static QList<Player> crowd(int n);
    // The server holds at least 32.
    void setPlayers(const QList<Player> &players) {
        m_players = players;
        m_maxPlayers = qMax<int>(32, int(players.size()));
    }
    const QList<Player> &players() const { return m_players; }
    const QByteArray &map() const { return m_map; }
    void setHostname(const QByteArray &hostname) { m_hostname = hostname; }
    // sv_password, the password players need to join (not the rcon password).
    void setJoinPassword(const QByteArray &password) { m_joinPassword = password; }
    void setVacSecure(bool secure) { m_vacSecure = secure; }
    // How it answers the server queries.
    A2sResponder &queries() { return m_queries; }
    A2sResponder::State queryState() const;
    // Unique ids and addresses banned by banid and addip, with the minutes given (0: for ever),
    // and whether writeid and writeip have stored them.
    const QHash<QByteArray, int> &bannedIds() const { return m_bannedIds; }
    const QHash<QByteArray, int> &bannedAddresses() const { return m_bannedAddresses; }
    bool idsWritten() const { return m_idsWritten; }
    // What status prints now.
    QByteArray statusText() const;
    bool addressesWritten() const { return m_addressesWritten; }
    // Commands run for clients that passed the challenge and password, in order.
    const QStringList &executedCommands() const { return m_executed; }

    // The log's receivers as "ip:port", in the order they were registered.
    QStringList logAddresses() const;
    // Registers a receiver as logaddress_add does; false when it is there already or the
    // list is full.
    bool addLogAddress(const QHostAddress &address, quint16 port);
    // Writes one log line, "L date - time: " and the event, to every registered address.
    void writeLog(const QByteArray &event);
    // Sends these bytes as they are to every registered address.
    void sendToLogAddresses(const QByteArray &datagram);
    // Writes the next n lines of a game going on among the players (rounds, chat, kills, a
    // newcomer connecting and leaving, bomb objectives, a cvar now and then) and returns their
    // events. The game is the same for the same players: it starts with
    // World triggered "Round_Start" and the first newcomer is
    // "newbie<11><STEAM_0:0:42><>" when the highest user id is 10.
    QList<QByteArray> writeChatter(int n);

    // Log events in the engine's and Counter-Strike's formats. A team is "CT", "TERRORIST",
    // or empty before the player has joined one.
    static QByteArray playerTag(const Player &player, const QByteArray &team);
    static QByteArray sayEvent(const Player &player, const QByteArray &team, const QByteArray &text,
                               bool toTeam = false);
    static QByteArray killEvent(const Player &killer, const QByteArray &killerTeam,
                                const Player &victim, const QByteArray &victimTeam,
                                const QByteArray &weapon);
    static QByteArray connectedEvent(const Player &player);
    static QByteArray enteredEvent(const Player &player);
    static QByteArray joinedTeamEvent(const Player &player, const QByteArray &team);
    static QByteArray disconnectedEvent(const Player &player, const QByteArray &team);
    static QByteArray playerTriggeredEvent(const Player &player, const QByteArray &team,
                                           const QByteArray &what);
    static QByteArray worldTriggeredEvent(const QByteArray &what);
    static QByteArray teamTriggeredEvent(const QByteArray &team, const QByteArray &what,
                                         int ctScore, int tScore);
    static QByteArray cvarEvent(const QByteArray &name, const QByteArray &value);

    // The protocol's pieces, shared with the fake server of the tests.
    static QByteArray mark();
    static QByteArray challengeReply(quint32 challenge);
    static QByteArray consoleReply(const QByteArray &text);
    static QByteArray emptyAcknowledgement();
    static QByteArray badPasswordReply();
    static QByteArray noChallengeReply();
    static QByteArray banNotice();
    // The parts of one reply in the split format: FE FF FF FF, the sequence number
    // (little-endian), the part's index in the high nibble and the count in the low nibble.
    static QList<QByteArray> splitPacket(const QByteArray &payload, quint32 sequence,
                                         int maxDatagram = MaxDatagram);
    static bool isChallengeRequest(const QByteArray &datagram);
    // Reads MARK "rcon" challenge password command, splitting as the engine's console parser
    // does: at blanks, a double-quoted run kept whole, each of { } ( ) ' , : a word of its own;
    // the command is the rest of the line as it came.
    static bool parseRcon(const QByteArray &datagram, RconRequest &request);
    // "L 12/08/2026 - 09:29:07: " and the event.
    static QByteArray logLine(const QDateTime &when, const QByteArray &event);
    // One log line as the server sends it: MARK, "log ", the line, a line feed and a NUL.
    static QByteArray logDatagram(const QByteArray &line);

Q_SIGNALS:
    void commandExecuted(const QString &command);

private:
    void onReadyRead();
    QList<QByteArray> answer(const QByteArray &datagram, const QHostAddress &from, quint16 port);
    bool noteFailure(const QString &address);
    QByteArray run(const QByteArray &command);
    QByteArray runAdmin(const QByteArray &arguments);
    QByteArray kick(const QByteArray &target);
    qsizetype indexOfUser(int userId) const;
    QByteArray banId(const QList<QByteArray> &args);
    QByteArray addIp(const QList<QByteArray> &args);
    QByteArray changeLevel(const QList<QByteArray> &args);
    QByteArray say(const QByteArray &text);
    QByteArray logAddressAdd(const QList<QByteArray> &args);
    QByteArray logAddressDel(const QList<QByteArray> &args);
    qsizetype indexOfLogAddress(const QHostAddress &address, quint16 port) const;
    QList<QByteArray> chatterRound(int round) const;
    static QList<QByteArray> mapNames();
    QByteArray usersText() const;
    QList<QByteArray> packets(const QByteArray &output);

    QUdpSocket *m_socket;
    QByteArray m_password = "secret";
    quint32 m_fixedChallenge = 0;
    QHash<QString, quint32> m_challenges;
    QHash<QString, QList<qint64>> m_failures;
    QSet<QString> m_banned;
    int m_banFailures = 5;
    int m_banWindowMs = 30000;
    QElapsedTimer m_clock;
    quint32 m_sequence = 1;
    QStringList m_executed;

    QByteArray m_hostname = "Talvero Test Server";
    QByteArray m_gravity = "800";
    QByteArray m_joinPassword;
    bool m_vacSecure = true;
    A2sResponder m_queries;
    bool m_logging = false;
    QByteArray m_map = "de_dust2";
    int m_maxPlayers = 32;
    QList<Player> m_players;
    QHash<QByteArray, int> m_bannedIds;
    QHash<QByteArray, int> m_bannedAddresses;
    bool m_idsWritten = false;
    bool m_addressesWritten = false;

    struct LogAddress {
        QHostAddress address;
        quint16 port = 0;
    };
    QList<LogAddress> m_logAddresses;
    int m_chatterRounds = 0;
    QList<QByteArray> m_chatter; // what is left of the round under way
};
