#pragma once

#include "rcon/protocol/a2s.h"
#include "rcon/protocol/a2ssplitjoiner.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QHostInfo;
class QUdpSocket;

// Asks many game servers at once what they are, who is on them and their rules, over one UDP
// socket, and reports each server's answers by signal under the server's key. Asking never
// signals inside ask(): everything is reported later, from the event loop.
//
// A server is named by its host as typed (an IP address or a host name, looked up in the
// background) and its game port; its key is serverKey(host, port). Per server one question is
// under way at a time; further ones wait in order, and one asked again while it waits or is
// under way is asked once. Each question ends with exactly one finished() signal:
//  - Answered: infoReceived, playersReceived or rulesReceived came before it;
//  - Silent: no answer within the answer time, asked again once, again nothing;
//  - HostNotFound: the name did not become an address (in twice the answer time);
//  - SendFailed: the socket could not send to that address.
// HostNotFound and SendFailed end the server's waiting questions too, each with its own
// finished(); the next ask() tries again.
// The challenge round is done inside: an 'A' answer's challenge is sent back with the same
// question and kept for that server's next questions. Ping is the time from the datagram that
// got the answer (after any challenge round) to the answer, on a monotonic clock.
//
// Servers of this engine may send the old 'm' answer to an info question, sometimes followed by
// an 'I'. The 'm' is reported at once; the question then stays open for the follow-up time, and
// an 'I' coming within it is reported as a second infoReceived that ends it. A caller shows the
// latest info it was given; both describe the same server.
//
// An answer is taken only from the address and port of a server with a question under way, and
// only when it answers that question. Anything else is dropped and counted (dropCounts), and a
// server's shown values are never touched by it. forget() removes a server: a late answer from
// it is then dropped as a stranger's.
//
// Hundreds of servers can be asked at once without losing answers to a full receive buffer:
// the socket asks the system for a large one, questions go out in bounded bursts, one burst per
// turn of the event loop, and no more go out while the answers on their way could fill what the
// system granted; answers are read in bounded slices so the event loop keeps turning.
class ServerQuery final : public QObject {
    Q_OBJECT
public:
    enum class Request { Info, Players, Rules };
    Q_ENUM(Request)
    enum class Outcome { Answered, Silent, HostNotFound, SendFailed };
    Q_ENUM(Outcome)

    struct DropCounts {
        quint64 malformed = 0;        // not readable: cut short, bad counts, strings without end
        quint64 unexpected = 0;       // readable, but not an answer to the question under way
        quint64 strangers = 0;        // from an address and port with no question under way
        quint64 incompleteSplits = 0; // split answers that never completed or found no room
        bool operator==(const DropCounts &) const = default;
    };

    static constexpr int DefaultAnswerTimeoutMs = 2000;
    static constexpr int DefaultFollowUpMs = 300;
    // A question is asked again this many times before its server counts as silent.
    static constexpr int Retries = 1;
    // Questions sent in one turn of the event loop at the most.
    static constexpr int SendBurst = 32;
    // Answers on their way are kept below what the receive buffer holds: each question sent
    // holds room for its answer (a rules answer, usually several datagrams, RulesWeight times
    // as much) until the answer comes, the question ends or HoldMs pass, whichever is first.
    static constexpr int RulesWeight = 4;
    static constexpr int HoldMs = 250;
    // The room one datagram takes in the system's receive buffer, at the most.
    static constexpr int DatagramCost = 2560;
    // Datagrams read in one turn of the event loop at the most.
    static constexpr int MaxDatagramsPerSlice = 256;
    // Asked of the system for the socket; it grants at most its own limit (Linux:
    // net.core.rmem_max, 208 KB unless raised).
    static constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;

    explicit ServerQuery(QObject *parent = nullptr);
    ~ServerQuery() override;

    // "host:port", an IPv6 address in brackets.
    static QString serverKey(const QString &host, quint16 port);

    // Asks one server; returns its key. An empty host or port 0 asks nothing and returns "".
    QString ask(const QString &host, quint16 port, Request request);
    // Drops the server, its questions (nothing more is signalled for them) and what was kept for
    // it (address, challenge).
    void forget(const QString &key);
    void forgetAll();

    // The server has a question under way or waiting.
    bool isBusy(const QString &key) const;
    // Servers with a question under way or waiting.
    int busyCount() const;

    // How long a question waits for its answer before it is asked again; and how long an info
    // question stays open after an 'm' answer for an 'I'. For tests; the defaults are above.
    void setAnswerTimeout(int ms) { m_answerTimeoutMs = qMax(1, ms); }
    void setFollowUpTime(int ms) { m_followUpMs = qMax(0, ms); }
    // The receive buffer to ask for, before the first question; for tests of a small one.
    void setReceiveBufferSize(int bytes) { m_receiveBufferBytes = bytes; }

    DropCounts dropCounts() const { return m_drops; }
    // The local port of the socket; 0 until the first question went out.
    quint16 localPort() const;

Q_SIGNALS:
    void infoReceived(const QString &key, const A2s::ServerInfo &info, int pingMs);
    void playersReceived(const QString &key, const QList<A2s::Player> &players, int pingMs);
    void rulesReceived(const QString &key, const QList<A2s::Rule> &rules, int pingMs);
    void finished(const QString &key, ServerQuery::Request request, ServerQuery::Outcome outcome);

private:
    using Endpoint = std::pair<QHostAddress, quint16>;
    struct Server;
    using ServerPtr = std::shared_ptr<Server>;

    bool openSocket();
    void advance(const ServerPtr &server);
    void startLookup(const ServerPtr &server);
    void onLookedUp(const QString &key, const QHostInfo &info);
    void setAddress(const ServerPtr &server, const QHostAddress &address);
    void queueSend(const ServerPtr &server);
    void sendBurst();
    bool send(const ServerPtr &server, int weight);
    void release(Server &server);
    void releaseExpiredHolds(qint64 nowMs);
    void onReadyRead();
    void takeDatagram(QByteArrayView bytes, const QHostAddress &from, quint16 port);
    void deliver(const ServerPtr &server, char type, QByteArrayView answer);
    // A players or rules answer read (or not) for the question under way.
    template <typename List>
    void deliverList(const ServerPtr &server, Request request, const std::optional<List> &list,
                     void (ServerQuery::*received)(const QString &, const List &, int));
    void onDeadline();
    void armDeadline(qint64 atMs);
    void finish(const ServerPtr &server, Outcome outcome);
    void failAll(const ServerPtr &server, Outcome outcome);
    void dropSplits(const Endpoint &endpoint);
    QList<ServerPtr> listeningAt(const Endpoint &endpoint) const;
    int pingMs(const Server &server) const;

    QUdpSocket *m_socket = nullptr;
    bool m_socketFailed = false;
    QByteArray m_buffer;
    QTimer m_sendTimer;
    QTimer m_holdTimer; // sends wait for room: the oldest hold runs out
    QTimer m_readMore;
    QTimer m_deadlineTimer;
    qint64 m_armedAtMs = -1;
    QElapsedTimer m_clock;

    QHash<QString, ServerPtr> m_servers;
    QMultiHash<Endpoint, ServerPtr> m_byEndpoint;
    QList<QString> m_sendQueue;
    struct Hold {
        ServerPtr server;
        quint64 serial = 0;
        qint64 untilMs = 0;
    };
    QList<Hold> m_holds; // in the order the questions went out
    int m_heldRoom = 0;
    int m_room = 0; // in datagrams
    A2sSplitJoiner m_joiner;
    DropCounts m_drops;

    int m_answerTimeoutMs = DefaultAnswerTimeoutMs;
    int m_followUpMs = DefaultFollowUpMs;
    int m_receiveBufferBytes = ReceiveBufferBytes;
};
