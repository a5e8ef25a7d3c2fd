#include "tests/support/fakegameserver.h"

#include "tests/support/goldsrcserver.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

FakeGameServer::FakeGameServer(QObject *parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this))
    , m_foreign(new QUdpSocket(this)) {
    m_socket->bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    m_foreign->bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    connect(m_socket, &QUdpSocket::readyRead, this, &FakeGameServer::onReadyRead);
}

FakeGameServer::~FakeGameServer() = default;

bool FakeGameServer::isListening() const {
    return m_socket->state() == QAbstractSocket::BoundState &&
           m_foreign->state() == QAbstractSocket::BoundState;
}

quint16 FakeGameServer::port() const {
    return m_socket->localPort();
}

quint16 FakeGameServer::foreignPort() const {
    return m_foreign->localPort();
}

QByteArray FakeGameServer::received(int n) const {
    return n >= 0 && n < m_datagrams.size() ? m_datagrams.at(n).bytes : QByteArray();
}

bool FakeGameServer::waitForDatagrams(int count, int timeoutMs) {
    return QTest::qWaitFor([&] { return m_datagrams.size() >= count; }, timeoutMs);
}

bool FakeGameServer::sendToLastSender(const QByteArray &bytes) {
    if (m_datagrams.isEmpty())
        return false;
    const Datagram &last = m_datagrams.constLast();
    return m_socket->writeDatagram(bytes, last.sender, last.senderPort) == bytes.size();
}

bool FakeGameServer::sendFromForeign(const QByteArray &bytes) {
    if (m_datagrams.isEmpty())
        return false;
    const Datagram &last = m_datagrams.constLast();
    return m_foreign->writeDatagram(bytes, last.sender, last.senderPort) == bytes.size();
}

bool FakeGameServer::sendTo(quint16 port, const QByteArray &bytes) {
    return m_socket->writeDatagram(bytes, QHostAddress::LocalHost, port) == bytes.size();
}

void FakeGameServer::close() {
    m_socket->close();
}

void FakeGameServer::onReadyRead() {
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        Datagram d{datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort())};
        m_datagrams.append(d);
        answer(d);
        emit datagramReceived();
    }
}

void FakeGameServer::answer(const Datagram &datagram) {
    if (m_silent)
        return;
    QList<QByteArray> replies;
    GoldSrcServer::RconRequest request;
    if (m_banned) {
        replies = {GoldSrcServer::banNotice()};
    } else if (GoldSrcServer::isChallengeRequest(datagram.bytes)) {
        if (!m_challenge.isEmpty())
            replies = {GoldSrcServer::mark() + "challenge rcon " + m_challenge + "\n" +
                       QByteArray(1, '\0')};
    } else if (GoldSrcServer::parseRcon(datagram.bytes, request)) {
        replies = m_replies.value(request.command);
    }
    for (const QByteArray &reply : replies)
        m_socket->writeDatagram(reply, datagram.sender, datagram.senderPort);
}
