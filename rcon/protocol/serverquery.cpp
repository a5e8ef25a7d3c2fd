#include "rcon/protocol/serverquery.h"

#include <QHostInfo>
#include <QPointer>
#include <QUdpSocket>
#include <QVariant>

#include <limits>

namespace {

// Room for the largest datagram either address family carries.
constexpr qint64 DatagramRoom = 65536;
// How long one turn of the event loop may spend on answers.
constexpr qint64 SliceMs = 8;
// Challenge rounds one question may take; a server that keeps handing out new challenges is
// not answering.
constexpr int MaxChallengeRounds = 3;
constexpr qint64 NoDeadline = -1;
// Questions that may be on their way at once however small the receive buffer.
constexpr int MinRoom = 16;

// An IPv4 address the dual-stack socket reports in its IPv6 form, back in its IPv4 form, so it
// matches the address the server was asked at.
QHostAddress plain(const QHostAddress &address) {
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        bool isV4 = false;
        const quint32 v4 = address.toIPv4Address(&isV4);
        if (isV4)
            return QHostAddress(v4);
    }
    return address;
}

// The host as typed, without blanks around it or brackets around an IPv6 address.
QString hostName(const QString &typed) {
    const QString name = typed.trimmed();
    if (name.size() > 2 && name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        return name.mid(1, name.size() - 2);
    return name;
}

} // namespace

struct ServerQuery::Server {
    enum class Phase {
        Idle,
        Resolving, // the host name is being looked up
        Queued,    // the question waits for its turn to go out
        Awaiting,  // the question went out; its answer is awaited
    };

    QString key;
    QString host;
    quint16 port = 0;
    bool isName = false;  // host is a name to look up, not an address
    QHostAddress address; // null until known
    int lookupId = -1;

    Phase phase = Phase::Idle;
    Request current = Request::Info;
    QList<Request> waiting;
    bool sent = false; // the current question went out at least once
    int timeouts = 0;
    int challengeRounds = 0;
    bool gotOld = false; // an 'm' answer was reported for the current question
    bool inSendQueue = false;
    int held = 0; // room held in the receive buffer for the answer
    quint64 sendSerial = 0;
    qint64 sentAtNs = 0;
    qint64 deadlineMs = NoDeadline;

    std::optional<A2s::Challenge> challenge;
    bool infoWantsChallenge = false; // the server asked for a challenge with info questions
    bool forgotten = false;

    Endpoint endpoint() const { return {address, port}; }
    // An answer to the current question may come: it went out, and has not ended.
    bool listening() const { return phase == Phase::Awaiting || (phase == Phase::Queued && sent); }
};

ServerQuery::ServerQuery(QObject *parent)
    : QObject(parent) {
    m_clock.start();
    m_sendTimer.setInterval(0);
    connect(&m_sendTimer, &QTimer::timeout, this, &ServerQuery::sendBurst);
    m_holdTimer.setSingleShot(true);
    connect(&m_holdTimer, &QTimer::timeout, this, &ServerQuery::sendBurst);
    m_readMore.setSingleShot(true);
    m_readMore.setInterval(0);
    connect(&m_readMore, &QTimer::timeout, this, &ServerQuery::onReadyRead);
    m_deadlineTimer.setSingleShot(true);
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_deadlineTimer, &QTimer::timeout, this, &ServerQuery::onDeadline);
}

ServerQuery::~ServerQuery() {
    for (const ServerPtr &server : std::as_const(m_servers)) {
        if (server->lookupId != -1)
            QHostInfo::abortHostLookup(server->lookupId);
    }
}

QString ServerQuery::serverKey(const QString &host, quint16 port) {
    const QString name = hostName(host);
    const QString shown =
        name.contains(QLatin1Char(':')) ? QLatin1Char('[') + name + QLatin1Char(']') : name;
    return shown + QLatin1Char(':') + QString::number(port);
}

QString ServerQuery::ask(const QString &host, quint16 port, Request request) {
    const QString name = hostName(host);
    if (name.isEmpty() || port == 0)
        return {};
    const QString key = serverKey(name, port);
    ServerPtr server = m_servers.value(key);
    if (!server) {
        server = std::make_shared<Server>();
        server->key = key;
        server->host = name;
        server->port = port;
        m_servers.insert(key, server);
        QHostAddress literal;
        if (literal.setAddress(name))
            setAddress(server, literal);
        else
            server->isName = true;
    }
    const bool underWay = server->phase != Server::Phase::Idle && server->current == request;
    if (underWay || server->waiting.contains(request))
        return key;
    server->waiting.append(request);
    advance(server);
    return key;
}

void ServerQuery::forget(const QString &key) {
    const ServerPtr server = m_servers.take(key);
    if (!server)
        return;
    server->forgotten = true;
    server->inSendQueue = false;
    release(*server);
    server->deadlineMs = NoDeadline;
    if (server->lookupId != -1) {
        QHostInfo::abortHostLookup(server->lookupId);
        server->lookupId = -1;
    }
    if (!server->address.isNull()) {
        m_byEndpoint.remove(server->endpoint(), server);
        dropSplits(server->endpoint());
    }
}

void ServerQuery::forgetAll() {
    const QList<QString> keys = m_servers.keys();
    for (const QString &key : keys)
        forget(key);
}

bool ServerQuery::isBusy(const QString &key) const {
    const ServerPtr server = m_servers.value(key);
    return server && (server->phase != Server::Phase::Idle || !server->waiting.isEmpty());
}

int ServerQuery::busyCount() const {
    int busy = 0;
    for (auto it = m_servers.cbegin(); it != m_servers.cend(); ++it)
        busy += isBusy(it.key()) ? 1 : 0;
    return busy;
}

quint16 ServerQuery::localPort() const {
    return m_socket ? m_socket->localPort() : 0;
}

bool ServerQuery::openSocket() {
    if (m_socket)
        return true;
    auto *socket = new QUdpSocket(this);
    // Both address families where the system has them, IPv4 alone where not.
    if (!socket->bind(QHostAddress::Any, 0) && !socket->bind(QHostAddress::AnyIPv4, 0)) {
        delete socket;
        return false;
    }
    // Answers to a burst of questions arrive together; the system keeps them until they are
    // read, as far as this buffer holds them, and drops the rest unseen.
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                            QVariant(m_receiveBufferBytes));
    const int granted =
        socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    m_room = qMax(MinRoom, granted / DatagramCost);
    m_socket = socket;
    m_buffer.resize(DatagramRoom);
    connect(m_socket, &QUdpSocket::readyRead, this, &ServerQuery::onReadyRead);
    return true;
}

void ServerQuery::advance(const ServerPtr &server) {
    if (server->phase != Server::Phase::Idle || server->waiting.isEmpty())
        return;
    server->current = server->waiting.takeFirst();
    server->sent = false;
    server->timeouts = 0;
    server->challengeRounds = 0;
    server->gotOld = false;
    if (server->address.isNull())
        startLookup(server);
    else
        queueSend(server);
}

void ServerQuery::startLookup(const ServerPtr &server) {
    server->phase = Server::Phase::Resolving;
    // As long as a question may take in all.
    server->deadlineMs = m_clock.elapsed() + qint64(m_answerTimeoutMs) * (Retries + 1);
    armDeadline(server->deadlineMs);
    const QString key = server->key;
    server->lookupId = QHostInfo::lookupHost(
        server->host, this, [this, key](const QHostInfo &info) { onLookedUp(key, info); });
}

void ServerQuery::onLookedUp(const QString &key, const QHostInfo &info) {
    const ServerPtr server = m_servers.value(key);
    if (!server || server->lookupId != info.lookupId())
        return;
    server->lookupId = -1;
    // Game servers speak IPv4; an IPv6 address is taken only when there is no other.
    QHostAddress chosen;
    const QList<QHostAddress> addresses = info.addresses();
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            chosen = address;
            break;
        }
        if (chosen.isNull() && address.protocol() == QAbstractSocket::IPv6Protocol)
            chosen = address;
    }
    if (info.error() != QHostInfo::NoError || chosen.isNull())
        return failAll(server, Outcome::HostNotFound);
    setAddress(server, chosen);
    queueSend(server);
}

void ServerQuery::setAddress(const ServerPtr &server, const QHostAddress &address) {
    if (!server->address.isNull())
        m_byEndpoint.remove(server->endpoint(), server);
    server->address = plain(address);
    if (!server->address.isNull())
        m_byEndpoint.insert(server->endpoint(), server);
}

void ServerQuery::queueSend(const ServerPtr &server) {
    server->phase = Server::Phase::Queued;
    server->deadlineMs = NoDeadline;
    if (!server->inSendQueue) {
        server->inSendQueue = true;
        m_sendQueue.append(server->key);
    }
    if (!m_sendTimer.isActive())
        m_sendTimer.start();
}

void ServerQuery::sendBurst() {
    const QPointer<ServerQuery> self(this);
    const bool open = openSocket();
    const qint64 now = m_clock.elapsed();
    releaseExpiredHolds(now);
    int sent = 0;
    bool waitForRoom = false;
    while (!m_sendQueue.isEmpty() && (sent < SendBurst || !open)) {
        const ServerPtr server = m_servers.value(m_sendQueue.first());
        if (!server || !server->inSendQueue) {
            m_sendQueue.removeFirst();
            continue;
        }
        const int weight = server->current == Request::Rules ? RulesWeight : 1;
        if (open && m_heldRoom > 0 && m_heldRoom + weight > m_room) {
            waitForRoom = true;
            break;
        }
        m_sendQueue.removeFirst();
        server->inSendQueue = false;
        ++sent;
        if (!open || !send(server, weight)) {
            failAll(server, Outcome::SendFailed);
            if (!self)
                return;
        }
    }
    if (m_sendQueue.isEmpty() || waitForRoom)
        m_sendTimer.stop();
    // Room comes back with answers (release), or when the oldest hold runs out.
    if (waitForRoom && !m_holds.isEmpty())
        m_holdTimer.start(int(qMax<qint64>(0, m_holds.first().untilMs - now)));
}

bool ServerQuery::send(const ServerPtr &server, int weight) {
    QByteArray datagram;
    switch (server->current) {
    case Request::Info:
        datagram = A2s::infoRequest(server->infoWantsChallenge ? server->challenge : std::nullopt);
        break;
    case Request::Players:
        datagram = A2s::playersRequest(server->challenge.value_or(A2s::NoChallenge));
        break;
    case Request::Rules:
        datagram = A2s::rulesRequest(server->challenge.value_or(A2s::NoChallenge));
        break;
    }
    if (m_socket->writeDatagram(datagram, server->address, server->port) != datagram.size())
        return false;
    const qint64 now = m_clock.elapsed();
    server->phase = Server::Phase::Awaiting;
    server->sent = true;
    server->sentAtNs = m_clock.nsecsElapsed();
    server->deadlineMs = now + m_answerTimeoutMs;
    armDeadline(server->deadlineMs);
    server->held = weight;
    m_heldRoom += weight;
    m_holds.append(Hold{server, ++server->sendSerial, now + HoldMs});
    return true;
}

void ServerQuery::release(Server &server) {
    if (server.held == 0)
        return;
    m_heldRoom -= server.held;
    server.held = 0;
    if (!m_sendQueue.isEmpty() && !m_sendTimer.isActive())
        m_sendTimer.start();
}

void ServerQuery::releaseExpiredHolds(qint64 nowMs) {
    while (!m_holds.isEmpty() && m_holds.first().untilMs <= nowMs) {
        const Hold hold = m_holds.takeFirst();
        if (hold.server->sendSerial == hold.serial)
            release(*hold.server);
    }
}

void ServerQuery::onReadyRead() {
    if (!m_socket)
        return;
    const QPointer<ServerQuery> self(this);
    QElapsedTimer slice;
    slice.start();
    int read = 0;
    while (read < MaxDatagramsPerSlice && slice.elapsed() < SliceMs &&
           m_socket->hasPendingDatagrams()) {
        QHostAddress from;
        quint16 port = 0;
        const qint64 size = m_socket->readDatagram(m_buffer.data(), DatagramRoom, &from, &port);
        if (size < 0)
            break;
        ++read;
        // A copy: a receiver of the signals may reach the event loop and this buffer again.
        const QByteArray bytes(m_buffer.constData(), size);
        takeDatagram(bytes, plain(from), port);
        if (!self)
            return;
    }
    m_drops.incompleteSplits += m_joiner.expire(m_clock.elapsed(), m_answerTimeoutMs);
    if (m_socket->hasPendingDatagrams())
        m_readMore.start();
}

void ServerQuery::takeDatagram(QByteArrayView bytes, const QHostAddress &from, quint16 port) {
    const Endpoint endpoint(from, port);
    const QList<ServerPtr> listeners = listeningAt(endpoint);
    if (listeners.isEmpty()) {
        ++m_drops.strangers;
        return;
    }
    QByteArray joined;
    QByteArrayView answer = bytes;
    if (A2sSplitJoiner::isSplitPart(bytes)) {
        switch (m_joiner.add(from, port, bytes, m_clock.elapsed())) {
        case A2sSplitJoiner::Outcome::Joined:
            joined = m_joiner.joined();
            answer = joined;
            break;
        case A2sSplitJoiner::Outcome::Waiting:
            return;
        case A2sSplitJoiner::Outcome::Invalid:
            ++m_drops.malformed;
            return;
        case A2sSplitJoiner::Outcome::NoRoom:
            ++m_drops.incompleteSplits;
            return;
        }
    }
    const std::optional<char> type = A2s::answerType(answer);
    if (!type) {
        ++m_drops.malformed;
        return;
    }
    const QPointer<ServerQuery> self(this);
    for (const ServerPtr &server : listeners) {
        deliver(server, *type, answer);
        if (!self)
            return;
    }
}

template <typename List>
void ServerQuery::deliverList(const ServerPtr &server, Request request,
                              const std::optional<List> &list,
                              void (ServerQuery::*received)(const QString &, const List &, int)) {
    if (!list) {
        ++m_drops.malformed;
        return;
    }
    if (server->current != request) {
        ++m_drops.unexpected;
        return;
    }
    const QPointer<ServerQuery> self(this);
    emit(this->*received)(server->key, *list, pingMs(*server));
    if (self && !server->forgotten && server->listening())
        finish(server, Outcome::Answered);
}

void ServerQuery::deliver(const ServerPtr &server, char type, QByteArrayView answer) {
    // An earlier receiver may have forgotten or re-asked this server.
    if (server->forgotten || !server->listening())
        return;
    // The server answered: its room in the receive buffer is free again.
    release(*server);
    const qint64 now = m_clock.elapsed();
    switch (type) {
    case char(A2s::AnswerType::NewChallenge): {
        const std::optional<A2s::Challenge> challenge = A2s::readChallenge(answer);
        if (!challenge) {
            ++m_drops.malformed;
            return;
        }
        if (server->challengeRounds >= MaxChallengeRounds) {
            ++m_drops.unexpected;
            return;
        }
        ++server->challengeRounds;
        server->challenge = challenge;
        if (server->current == Request::Info)
            server->infoWantsChallenge = true;
        // The follow-up wait for an 'I' gives way to the challenge round.
        return queueSend(server);
    }
    case char(A2s::AnswerType::Info):
    case char(A2s::AnswerType::OldInfo): {
        const std::optional<A2s::ServerInfo> info = A2s::readInfo(answer);
        if (!info) {
            ++m_drops.malformed;
            return;
        }
        if (server->current != Request::Info) {
            ++m_drops.unexpected;
            return;
        }
        const bool old = info->format == A2s::ServerInfo::Format::Old;
        if (old) {
            server->gotOld = true;
            if (server->phase == Server::Phase::Awaiting) {
                server->deadlineMs = qMin(server->deadlineMs, now + m_followUpMs);
                armDeadline(server->deadlineMs);
            }
        }
        const QPointer<ServerQuery> self(this);
        emit infoReceived(server->key, *info, pingMs(*server));
        if (self && !old && !server->forgotten && server->listening())
            finish(server, Outcome::Answered);
        return;
    }
    case char(A2s::AnswerType::Players):
        return deliverList(server, Request::Players, A2s::readPlayers(answer),
                           &ServerQuery::playersReceived);
    case char(A2s::AnswerType::Rules):
        return deliverList(server, Request::Rules, A2s::readRules(answer),
                           &ServerQuery::rulesReceived);
    default:
        ++m_drops.unexpected;
        return;
    }
}

void ServerQuery::onDeadline() {
    m_armedAtMs = NoDeadline;
    const QPointer<ServerQuery> self(this);
    const qint64 now = m_clock.elapsed();
    QList<ServerPtr> due;
    for (const ServerPtr &server : std::as_const(m_servers)) {
        if (server->deadlineMs != NoDeadline && server->deadlineMs <= now)
            due.append(server);
    }
    for (const ServerPtr &server : std::as_const(due)) {
        if (server->forgotten || server->deadlineMs == NoDeadline || server->deadlineMs > now)
            continue;
        server->deadlineMs = NoDeadline;
        if (server->phase == Server::Phase::Resolving) {
            QHostInfo::abortHostLookup(server->lookupId);
            server->lookupId = -1;
            failAll(server, Outcome::HostNotFound);
        } else if (server->phase == Server::Phase::Awaiting) {
            if (server->gotOld)
                finish(server, Outcome::Answered);
            else if (server->timeouts < Retries) {
                ++server->timeouts;
                release(*server);
                queueSend(server);
            } else {
                finish(server, Outcome::Silent);
            }
        }
        if (!self)
            return;
    }
    m_drops.incompleteSplits += m_joiner.expire(now, m_answerTimeoutMs);

    qint64 next = std::numeric_limits<qint64>::max();
    for (const ServerPtr &server : std::as_const(m_servers)) {
        if (server->deadlineMs != NoDeadline)
            next = qMin(next, server->deadlineMs);
    }
    if (next != std::numeric_limits<qint64>::max())
        armDeadline(next);
}

void ServerQuery::armDeadline(qint64 atMs) {
    if (m_deadlineTimer.isActive() && m_armedAtMs != NoDeadline && m_armedAtMs <= atMs)
        return;
    m_armedAtMs = atMs;
    m_deadlineTimer.start(int(qMax<qint64>(0, atMs - m_clock.elapsed())));
}

void ServerQuery::finish(const ServerPtr &server, Outcome outcome) {
    const Request request = server->current;
    release(*server);
    server->phase = Server::Phase::Idle;
    server->deadlineMs = NoDeadline;
    server->inSendQueue = false;
    server->sent = false;
    server->gotOld = false;
    if (!server->address.isNull()) {
        dropSplits(server->endpoint());
        // A name may lead elsewhere by now: looked up again for the next question.
        if (outcome == Outcome::Silent && server->isName) {
            m_byEndpoint.remove(server->endpoint(), server);
            server->address.clear();
        }
    }
    const QPointer<ServerQuery> self(this);
    emit finished(server->key, request, outcome);
    if (self && !server->forgotten)
        advance(server);
}

void ServerQuery::failAll(const ServerPtr &server, Outcome outcome) {
    QList<Request> requests{server->current};
    requests += std::exchange(server->waiting, {});
    release(*server);
    server->phase = Server::Phase::Idle;
    server->deadlineMs = NoDeadline;
    server->inSendQueue = false;
    server->sent = false;
    server->gotOld = false;
    if (!server->address.isNull())
        dropSplits(server->endpoint());
    const QPointer<ServerQuery> self(this);
    for (const Request request : std::as_const(requests)) {
        emit finished(server->key, request, outcome);
        if (!self || server->forgotten)
            return;
    }
}

void ServerQuery::dropSplits(const Endpoint &endpoint) {
    if (!listeningAt(endpoint).isEmpty())
        return;
    m_drops.incompleteSplits += m_joiner.dropSender(endpoint.first, endpoint.second);
}

QList<ServerQuery::ServerPtr> ServerQuery::listeningAt(const Endpoint &endpoint) const {
    QList<ServerPtr> listeners;
    for (auto it = m_byEndpoint.constFind(endpoint);
         it != m_byEndpoint.cend() && it.key() == endpoint; ++it) {
        if (it.value()->listening())
            listeners.append(it.value());
    }
    return listeners;
}

int ServerQuery::pingMs(const Server &server) const {
    return int(qRound64(double(m_clock.nsecsElapsed() - server.sentAtNs) / 1e6));
}
