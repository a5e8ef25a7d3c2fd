#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class RconSocket;

// A remote-console session of its own beside the main connection: its own UDP socket, its own
// challenge, one command at a time. It speaks as the main connection does (the same datagrams,
// the password quoted when it holds a blank, split replies joined) but nothing it sends or
// hears reaches the output window or the log.
//
// The server's address, port and password are asked for at every command, so the session
// follows the main window's fields. A refused password, a ban notice, a socket error or a
// server that does not answer stops the session: the queue is dropped and nothing is retried
// until the next send, so the session never walks the address into a ban on its own.
class RconSession final : public QObject {
    Q_OBJECT
public:
    struct Endpoint {
        QString host;
        int port = 0;
        QString password;
    };
    using EndpointSource = std::function<Endpoint()>;

    // When the answer to a command is whole.
    enum class Ending {
        FirstReply, // its first reply (most commands fit one)
        StatusEnd,  // the status table's closing line, or a pause after the last reply
        Pause,      // a pause after the last reply (long listings come in several replies)
    };
    enum class Failure { Refused, Banned, NoChallenge, NoAnswer, SocketError };
    Q_ENUM(Failure)

    static constexpr int DefaultAnswerTimeoutMs = 5000;
    static constexpr int DefaultPauseMs = 300;

    explicit RconSession(EndpointSource endpoint, QObject *parent = nullptr);
    ~RconSession() override;

    // Queues a command; commands go out one after another, each once the answer to the one
    // before it is whole.
    void send(const QString &command, Ending ending = Ending::FirstReply);
    // Closes the socket and drops the queue; nothing is signalled for what was dropped.
    void stop();
    // The command is waiting or being answered.
    bool isPending(const QString &command) const;
    bool isIdle() const { return !m_busy && m_queue.isEmpty(); }

    void setAnswerTimeout(int ms) { m_answerTimer.setInterval(ms); }
    void setPause(int ms) { m_pauseTimer.setInterval(ms); }

Q_SIGNALS:
    // The whole answer, the server's text as it came (one character per byte), markers, the
    // reply-type letters and NULs removed; empty for a command without output.
    void answered(const QString &command, const QString &text);
    // The session has stopped; message is the server's own words where it gave any.
    void failed(const QString &command, RconSession::Failure failure, const QString &message);

private:
    struct Pending {
        QString command;
        Ending ending = Ending::FirstReply;
    };

    void next();
    bool openSocket(const Endpoint &endpoint);
    void requestChallenge();
    void sendCommand();
    void onDataArrival();
    void onAnswerTimeout();
    void finish();
    void fail(Failure failure, const QString &message);

    EndpointSource m_endpoint;
    RconSocket *m_socket;
    QTimer m_answerTimer;
    QTimer m_pauseTimer;

    QString m_host; // what the socket is aimed at
    int m_port = 0;
    QString m_challenge;

    QList<Pending> m_queue;
    Pending m_current;
    bool m_busy = false;
    bool m_awaitingChallenge = false;
    bool m_challengeRenewed = false; // once per command, after "No challenge"
    bool m_heard = false;
    QString m_text;
};
