#pragma once

#include <QByteArray>
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
// matched after the engine's own tokenizing (so one with a space matches only when quoted).
// It knows a handful of commands: status, users, hostname, sv_gravity, log, kick, echo, maps,
// cvarlist and AdminMod's admin_command.
class GoldSrcServer final : public QObject {
    Q_OBJECT
public:
    // Every datagram the server sends is at most this long.
    static constexpr int MaxDatagram = 1400;
    // The output the engine collects before sending it on as one console reply.
    static constexpr int RedirectSize = 4000;

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
    // Commands run for clients that passed the challenge and password, in order.
    const QStringList &executedCommands() const { return m_executed; }

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
    // Reads MARK "rcon" challenge password command, splitting as the engine does: at
    // whitespace, a double-quoted run kept whole.
    static bool parseRcon(const QByteArray &datagram, RconRequest &request);

Q_SIGNALS:
    void commandExecuted(const QString &command);

private:
    struct Player {
        QByteArray name;
        int userId;
    };

    void onReadyRead();
    QList<QByteArray> answer(const QByteArray &datagram, const QHostAddress &from);
    bool noteFailure(const QString &address);
    QByteArray run(const QByteArray &command);
    QByteArray runAdmin(const QByteArray &arguments);
    QByteArray kick(const QByteArray &name);
    QByteArray statusText() const;
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
    bool m_logging = false;
    QList<Player> m_players;
};
