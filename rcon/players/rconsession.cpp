#include "rcon/players/rconsession.h"

#include "rcon/console/rconcodec.h"
#include "rcon/console/rconsocket.h"
#include "rcon/players/statusparser.h"

#include <utility>

RconSession::RconSession(EndpointSource endpoint, QObject *parent)
    : QObject(parent)
    , m_endpoint(std::move(endpoint))
    , m_socket(new RconSocket(this)) {
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(DefaultAnswerTimeoutMs);
    m_pauseTimer.setSingleShot(true);
    m_pauseTimer.setInterval(DefaultPauseMs);
    connect(&m_answerTimer, &QTimer::timeout, this, &RconSession::onAnswerTimeout);
    connect(&m_pauseTimer, &QTimer::timeout, this, &RconSession::finish);
    connect(m_socket, &RconSocket::dataArrival, this, &RconSession::onDataArrival);
    connect(m_socket, &RconSocket::error, this,
            [this](int, const QString &description) { fail(Failure::SocketError, description); });
}

RconSession::~RconSession() {
    m_socket->close();
}

void RconSession::send(const QString &command, Ending ending) {
    m_queue.append(Pending{command, ending});
    // Started from the event loop, so a failure is never signalled inside the caller's send.
    if (!m_busy)
        QMetaObject::invokeMethod(this, &RconSession::next, Qt::QueuedConnection);
}

void RconSession::stop() {
    m_queue.clear();
    m_busy = false;
    m_awaitingChallenge = false;
    m_text.clear();
    m_answerTimer.stop();
    m_pauseTimer.stop();
    m_socket->close();
    m_host.clear();
    m_port = 0;
}

bool RconSession::isPending(const QString &command) const {
    if (m_busy && m_current.command == command)
        return true;
    for (const Pending &pending : m_queue) {
        if (pending.command == command)
            return true;
    }
    return false;
}

void RconSession::next() {
    if (m_busy || m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    m_busy = true;
    m_heard = false;
    m_challengeRenewed = false;
    m_text.clear();

    const Endpoint endpoint = m_endpoint();
    if (!m_socket->isBound() || endpoint.host != m_host || endpoint.port != m_port) {
        if (!openSocket(endpoint)) {
            fail(Failure::SocketError,
                 QStringLiteral("The server's address or port cannot be used."));
            return;
        }
    }
    m_answerTimer.start();
    if (m_challenge.isEmpty())
        requestChallenge();
    else
        sendCommand();
}

bool RconSession::openSocket(const Endpoint &endpoint) {
    m_socket->close();
    m_challenge.clear();
    m_host = endpoint.host;
    m_port = endpoint.port;
    return m_socket->setRemoteHost(endpoint.host) && m_socket->setRemotePort(endpoint.port) &&
           m_socket->bind(0);
}

void RconSession::requestChallenge() {
    m_awaitingChallenge = true;
    m_socket->sendData(RconCodec::BuildChallengeRequest());
}

void RconSession::sendCommand() {
    // The password as the main window's field holds it now, as the main connection sends it.
    const QString password = m_endpoint().password;
    m_socket->sendData(RconCodec::BuildCommandDatagram(m_challenge, password, m_current.command));
}

void RconSession::onDataArrival() {
    const QString datagram = m_socket->getData();
    if (RconCodec::ClassifyReply(datagram) == RconCodec::ReplyKind::BanNotice)
        return fail(Failure::Banned, RconCodec::CleanReply(datagram).trimmed());
    if (RconCodec::ParseChallengeReply(datagram, m_challenge)) {
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

    const QString text = RconCodec::CleanReply(datagram);
    if (!m_heard) {
        // The server forgets challenges when it restarts: ask once for a new one.
        if (text.startsWith(QLatin1String("No challenge for your address"))) {
            if (m_challengeRenewed)
                return fail(Failure::NoChallenge, text.trimmed());
            m_challengeRenewed = true;
            m_challenge.clear();
            m_answerTimer.start();
            return requestChallenge();
        }
        if (RconCodec::IsPasswordRefusal(datagram))
            return fail(Failure::Refused, text.trimmed());
    }
    m_heard = true;
    m_answerTimer.stop();
    m_text += text;
    switch (m_current.ending) {
    case Ending::FirstReply:
        return finish();
    case Ending::StatusEnd:
        if (StatusParser::isComplete(m_text))
            return finish();
        m_pauseTimer.start();
        return;
    case Ending::Pause:
        m_pauseTimer.start();
        return;
    }
}

void RconSession::onAnswerTimeout() {
    if (m_busy)
        fail(Failure::NoAnswer, QStringLiteral("The server did not answer."));
}

void RconSession::finish() {
    if (!m_busy)
        return;
    const QString command = m_current.command;
    const QString text = std::exchange(m_text, {});
    m_busy = false;
    m_answerTimer.stop();
    m_pauseTimer.stop();
    if (!m_queue.isEmpty())
        QMetaObject::invokeMethod(this, &RconSession::next, Qt::QueuedConnection);
    emit answered(command, text);
}

void RconSession::fail(Failure failure, const QString &message) {
    const QString command = m_current.command;
    stop();
    emit failed(command, failure, message);
}
