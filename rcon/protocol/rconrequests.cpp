#include "rcon/protocol/rconrequests.h"

#include "rcon/protocol/statusparser.h"

#include <utility>

RconRequests::RconRequests(EndpointSource endpoint, QObject *parent)
    : QObject(parent)
    , m_endpoint(std::move(endpoint))
    , m_session(new RconSession(this)) {
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(DefaultAnswerTimeoutMs);
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(DefaultQuietMs);
    connect(&m_answerTimer, &QTimer::timeout, this, &RconRequests::onAnswerTimeout);
    connect(&m_quietTimer, &QTimer::timeout, this, &RconRequests::finish);
    connect(m_session, &RconSession::replyReceived, this, &RconRequests::onReply);
    connect(m_session, &RconSession::socketError, this, &RconRequests::onSocketError);
}

RconRequests::~RconRequests() {
    m_session->close();
}

void RconRequests::send(const QString &command, Ending ending) {
    m_queue.append(Pending{command, ending});
    // Started from the event loop, so a failure is never signalled inside the caller's send.
    if (!m_busy)
        QMetaObject::invokeMethod(this, &RconRequests::next, Qt::QueuedConnection);
}

bool RconRequests::sendNow(const QString &command) {
    RconSession &session = *m_session;
    if (session.challenge().isEmpty())
        return false;
    if (!session.isOpen() && !session.open(session.host(), session.port()))
        return false;
    return session.sendCommand(command);
}

void RconRequests::stop() {
    m_queue.clear();
    m_busy = false;
    m_awaitingChallenge = false;
    m_text.clear();
    m_answerTimer.stop();
    m_quietTimer.stop();
    m_session->close();
}

bool RconRequests::isPending(const QString &command) const {
    if (m_busy && m_current.command == command)
        return true;
    for (const Pending &pending : m_queue) {
        if (pending.command == command)
            return true;
    }
    return false;
}

void RconRequests::next() {
    if (m_busy || m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    m_busy = true;
    m_heard = false;
    m_challengeRenewed = false;
    m_text.clear();

    const Endpoint endpoint = m_endpoint();
    if (!m_session->isOpen() || endpoint.host != m_session->host() ||
        endpoint.port != m_session->port()) {
        // A challenge belongs to the server that gave it.
        m_session->forgetChallenge();
        if (!m_session->open(endpoint.host, endpoint.port)) {
            fail(Failure::SocketError,
                 QStringLiteral("The server's address or port cannot be used."));
            return;
        }
    }
    m_answerTimer.start();
    if (m_session->challenge().isEmpty())
        requestChallenge();
    else
        sendCommand();
}

void RconRequests::requestChallenge() {
    m_awaitingChallenge = true;
    if (!m_session->requestChallenge())
        fail(Failure::SocketError, QStringLiteral("The challenge request could not be sent."));
}

void RconRequests::sendCommand() {
    // The password as its owner holds it now (the main window's field may have changed).
    m_session->setPassword(m_endpoint().password);
    // A command the socket cannot send (too long for a datagram) would only wait for nothing.
    if (!m_session->sendCommand(m_current.command))
        fail(Failure::SocketError, QStringLiteral("The command could not be sent."));
}

void RconRequests::onReply(const RconReply &reply) {
    using Kind = RconReply::Kind;
    if (reply.kind == Kind::Banned)
        return fail(Failure::Banned, reply.text.trimmed());
    if (reply.kind == Kind::Challenge) {
        if (m_busy && m_awaitingChallenge) {
            m_awaitingChallenge = false;
            m_answerTimer.start();
            sendCommand();
        }
        return;
    }
    // Late replies to a command that was given up on have no one to go to.
    if (!m_busy || m_awaitingChallenge)
        return;

    if (!m_heard) {
        // The server forgets challenges when it restarts: ask once for a new one.
        if (reply.kind == Kind::NoChallenge) {
            if (m_challengeRenewed)
                return fail(Failure::NoChallenge, reply.text.trimmed());
            m_challengeRenewed = true;
            m_session->forgetChallenge();
            m_answerTimer.start();
            requestChallenge();
            return;
        }
        if (reply.kind == Kind::Refused)
            return fail(Failure::Refused, reply.text.trimmed());
    }
    m_heard = true;
    m_answerTimer.stop();
    m_text += reply.text;
    switch (m_current.ending) {
    case Ending::FirstReply:
        return finish();
    case Ending::Auto:
        if (reply.kind == Kind::Empty && m_text.isEmpty())
            return finish();
        [[fallthrough]];
    case Ending::StatusEnd:
        if (StatusParser::isComplete(m_text))
            return finish();
        m_quietTimer.start();
        return;
    case Ending::Quiet:
        m_quietTimer.start();
        return;
    }
}

void RconRequests::onSocketError(RconSocket::Failure failure, const QString &description) {
    switch (failure) {
    case RconSocket::Failure::ConnectionRefused:
        return fail(Failure::Unreachable, description);
    case RconSocket::Failure::HostNotFound:
        return fail(Failure::UnknownHost, description);
    case RconSocket::Failure::Network:
        return fail(Failure::SocketError, description);
    }
}

void RconRequests::onAnswerTimeout() {
    if (!m_busy)
        return;
    // Nothing could be asked yet: the name did not become an address in time.
    if (m_session->isResolving())
        fail(Failure::UnknownHost, QStringLiteral("The server's name was not found in time."));
    else
        fail(Failure::NoAnswer, QStringLiteral("The server did not answer."));
}

void RconRequests::finish() {
    if (!m_busy)
        return;
    const QString command = m_current.command;
    const QString text = std::exchange(m_text, {});
    m_busy = false;
    m_answerTimer.stop();
    m_quietTimer.stop();
    if (!m_queue.isEmpty())
        QMetaObject::invokeMethod(this, &RconRequests::next, Qt::QueuedConnection);
    emit answered(command, text);
}

void RconRequests::fail(Failure failure, const QString &message) {
    const QString command = m_current.command;
    stop();
    emit failed(command, failure, message);
}
