#include "rcon/protocol/rconsession.h"

#include "rcon/protocol/rconcodec.h"
#include "rcon/protocol/rconsocket.h"

#include <utility>

RconReply RconReply::fromDatagram(const QString &datagram, QString *challenge) {
    RconReply reply;
    reply.datagram = datagram;
    if (challenge)
        RconCodec::parseChallengeReply(datagram, *challenge);
    switch (RconCodec::classifyReply(datagram)) {
    case RconCodec::ReplyKind::ConnectConfirmation:
        reply.kind = Kind::Challenge;
        break;
    case RconCodec::ReplyKind::EmptyAcknowledgement:
        reply.kind = Kind::Empty;
        break;
    case RconCodec::ReplyKind::BanNotice:
        reply.kind = Kind::Banned;
        break;
    case RconCodec::ReplyKind::Ordinary:
        if (RconCodec::isPasswordRefusal(datagram))
            reply.kind = Kind::Refused;
        break;
    }
    reply.text = RconCodec::cleanReply(datagram);
    if (reply.kind == Kind::Output &&
        reply.text.startsWith(QLatin1String("No challenge for your address")))
        reply.kind = Kind::NoChallenge;
    return reply;
}

QString RconReply::consoleText(const QString &host) const {
    switch (kind) {
    case Kind::Challenge:
        return QStringLiteral("Connected to ") + host + QLatin1Char('\n');
    case Kind::Empty:
        return QStringLiteral("The command as been received by the server . . .\n");
    case Kind::Output:
    case Kind::Refused:
    case Kind::Banned:
    case Kind::NoChallenge:
        break;
    }
    return text;
}

RconSession::RconSession(QObject *parent)
    : QObject(parent)
    , m_socket(new RconSocket(this)) {
    connect(m_socket, &RconSocket::datagramArrived, this,
            [this] { deliver(m_socket->takeDatagram()); });
    connect(m_socket, &RconSocket::burstDelivered, this, &RconSession::burstDelivered);
    connect(m_socket, &RconSocket::failed, this, &RconSession::socketError);
}

RconSession::~RconSession() {
    m_socket->close();
}

bool RconSession::open(const QString &host, int port) {
    m_host = host;
    m_port = port;
    if (!m_socket->setServerHost(host) || !m_socket->setServerPort(port) ||
        !m_socket->bind(m_socket->localPort())) {
        close();
        return false;
    }
    if (!std::exchange(m_open, true))
        emit openChanged(true);
    return true;
}

void RconSession::close() {
    m_socket->close();
    if (std::exchange(m_open, false))
        emit openChanged(false);
}

quint16 RconSession::localPort() const {
    return m_socket->localPort();
}

bool RconSession::isResolving() const {
    return m_socket->isLookingUp();
}

void RconSession::setPassword(const QString &password) {
    if (password == m_password)
        return;
    m_password = password;
    emit passwordChanged(password);
}

bool RconSession::requestChallenge() {
    return send(RconCodec::challengeRequest());
}

bool RconSession::sendCommand(const QString &command) {
    return send(RconCodec::commandDatagram(m_challenge, m_password, command));
}

bool RconSession::sendAdminCommand(const QString &adminText) {
    return send(RconCodec::adminDatagram(m_challenge, m_password, adminText));
}

bool RconSession::sendBroadcast() {
    return send(RconCodec::broadcastDatagram(m_challenge, m_password));
}

bool RconSession::send(const QString &datagram) {
    return m_open && m_socket->send(datagram);
}

void RconSession::receive(const QString &datagram) {
    deliver(datagram);
    emit burstDelivered();
}

void RconSession::deliver(const QString &datagram) {
    emit replyReceived(RconReply::fromDatagram(datagram, &m_challenge));
}
