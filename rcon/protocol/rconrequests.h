#pragma once

#include "rcon/protocol/rconsession.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Commands asked of a server one at a time over a session of its own, each answer gathered
// whole before the next command goes: what a window beside the main connection (the Players
// window, the server log) and the command-line client need. Nothing it sends or hears reaches
// the output window or the log.
//
// The server's address, port and password are asked for at every command, so the requests
// follow whoever owns them (the main connection, the command line). A refused password, a ban
// notice, a socket error or a server that does not answer stops them: the queue is dropped and
// nothing is retried until the next send, so they never walk the address into a ban on their
// own.
class RconRequests final : public QObject {
    Q_OBJECT
public:
    struct Endpoint {
        QString host;
        int port = 0;
        QString password;
    };
    using EndpointSource = std::function<Endpoint()>;

    // When the answer to a command is whole. The server marks no end: a long answer comes as
    // several datagrams, sent at once one after another.
    enum class Ending {
        FirstReply, // its first datagram (most commands fit one)
        StatusEnd,  // the status table's closing line, or a quiet time after the last datagram
        Quiet,      // a quiet time after the last datagram (long listings)
        // An empty acknowledgement at once, the closing line of a status table at once,
        // anything else after a quiet time: for commands whose answer is not known in advance.
        Auto,
    };
    enum class Failure {
        Refused,     // the password was refused
        Banned,      // the ban notice
        NoChallenge, // the server kept forgetting the challenge
        NoAnswer,    // nothing came within the answer time
        Unreachable, // the server's port answered "unreachable"
        UnknownHost, // the host name could not be found (in the answer time)
        SocketError, // anything else the socket reported
    };
    Q_ENUM(Failure)

    static constexpr int DefaultAnswerTimeoutMs = 5000;
    static constexpr int DefaultQuietMs = 300;

    explicit RconRequests(EndpointSource endpoint, QObject *parent = nullptr);
    ~RconRequests() override;

    // Queues a command; commands go out one after another, each once the answer to the one
    // before it is whole.
    void send(const QString &command, Ending ending = Ending::FirstReply);
    // Sends the command at once, outside the queue and without waiting for its answer (the
    // process may end as soon as this returns), with the challenge the session holds, opening
    // it again where it was closed. False when it could not go; also when the session never had
    // a challenge, so nothing it sent before reached the server's console either.
    bool sendNow(const QString &command);
    // Closes the session and drops the queue; nothing is signalled for what was dropped.
    void stop();
    // The command is waiting or being answered.
    bool isPending(const QString &command) const;
    bool isIdle() const { return !m_busy && m_queue.isEmpty(); }

    // How long a command (or the challenge before it) may wait for its first datagram.
    void setAnswerTimeout(int ms) { m_answerTimer.setInterval(ms); }
    // How long the server must be quiet after a datagram for an answer to count as whole.
    void setQuietTime(int ms) { m_quietTimer.setInterval(ms); }

Q_SIGNALS:
    // The whole answer, the server's text as it came (one character per byte), markers, the
    // reply-type letters and NULs removed; empty for a command without output.
    void answered(const QString &command, const QString &text);
    // The requests have stopped; message is the server's own words where it gave any.
    void failed(const QString &command, RconRequests::Failure failure, const QString &message);

private:
    struct Pending {
        QString command;
        Ending ending = Ending::FirstReply;
    };

    void next();
    void requestChallenge();
    void sendCommand();
    void onReply(const RconReply &reply);
    void onSocketError(RconSocket::Failure failure, const QString &description);
    void onAnswerTimeout();
    void finish();
    void fail(Failure failure, const QString &message);

    EndpointSource m_endpoint;
    RconSession *m_session;
    QTimer m_answerTimer;
    QTimer m_quietTimer;

    QList<Pending> m_queue;
    Pending m_current;
    bool m_busy = false;
    bool m_awaitingChallenge = false;
    bool m_challengeRenewed = false; // once per command, after "No challenge"
    bool m_heard = false;
    QString m_text;
};
