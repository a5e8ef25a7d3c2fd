#include "rcon/protocol/logreceiver.h"

#include <QElapsedTimer>
#include <QHostInfo>
#include <QPointer>
#include <QUdpSocket>

#include <cstring>
#include <optional>

namespace {

// Room for the largest datagram.
constexpr qint64 ReceiveBufferSize = 65536;
// How long one turn of the event loop may spend reading the log.
constexpr qint64 SliceMs = 8;
// The system's buffer for datagrams not yet read: a busy server's lines while the window paints
// or the user drags it. The system may grant less.
constexpr int SystemBufferBytes = 1024 * 1024;

} // namespace

LogReceiver::LogReceiver(QObject *parent)
    : QObject(parent)
    , m_udp(new QUdpSocket(this)) {
    // What one readiness notice leaves unread is read in the next turn of the event loop, after
    // input and painting have had theirs.
    m_readMore.setSingleShot(true);
    m_readMore.setInterval(0);
    connect(&m_readMore, &QTimer::timeout, this, &LogReceiver::onReadyRead);
    connect(m_udp, &QUdpSocket::readyRead, this, &LogReceiver::onReadyRead);
}

LogReceiver::~LogReceiver() {
    stopFindingServer();
    m_udp->disconnect(this);
}

bool LogReceiver::findServer(const QString &host) {
    stopFindingServer();
    QHostAddress literal;
    if (literal.setAddress(host)) {
        m_server = literal;
        return true;
    }
    m_lookupId = QHostInfo::lookupHost(host, this, &LogReceiver::onLookedUp);
    return false;
}

void LogReceiver::stopFindingServer() {
    if (m_lookupId == -1)
        return;
    QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
}

void LogReceiver::onLookedUp(const QHostInfo &info) {
    if (info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;
    const QList<QHostAddress> addresses = info.addresses();
    for (const QHostAddress &address : addresses) {
        // A server sends its log to IPv4 addresses only.
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            m_server = address;
            emit serverFound(address);
            return;
        }
    }
    emit serverNotFound(info.errorString());
}

bool LogReceiver::bind(quint16 port) {
    close();
    if (!m_udp->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress))
        return false;
    m_udp->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, SystemBufferBytes);
    m_bound = true;
    return true;
}

void LogReceiver::close() {
    m_bound = false;
    m_readMore.stop();
    m_udp->abort();
}

quint16 LogReceiver::localPort() const {
    return m_bound ? m_udp->localPort() : 0;
}

QString LogReceiver::errorString() const {
    return m_udp->errorString();
}

QHostAddress LogReceiver::localAddressToward(const QHostAddress &server, quint16 port) {
    // Connecting a datagram socket only picks the route; nothing is sent.
    QUdpSocket probe;
    probe.connectToHost(server, port);
    if (probe.state() != QAbstractSocket::ConnectedState)
        return {};
    return probe.localAddress();
}

void LogReceiver::onReadyRead() {
    if (m_buffer.size() != ReceiveBufferSize)
        m_buffer.resize(ReceiveBufferSize);
    const qint64 ignoredBefore = m_ignored;
    QList<ServerLogLine> lines;
    QElapsedTimer slice;
    slice.start();
    // The first read is made whatever the notice: the socket announces nothing more until
    // something has been read.
    for (int reads = 0; m_bound && reads < MaxDatagramsPerSlice && slice.elapsed() < SliceMs &&
                        (reads == 0 || m_udp->hasPendingDatagrams());
         ++reads) {
        QHostAddress sender;
        const qint64 size = m_udp->readDatagram(m_buffer.data(), ReceiveBufferSize, &sender);
        if (size < 0)
            break;
        std::optional<ServerLogLine> line;
        if (!m_server.isNull() && sender.isEqual(m_server, QHostAddress::TolerantConversion))
            line = ServerLogLine::fromDatagram(QByteArrayView(m_buffer.constData(), size));
        // The datagram may have held a password in clear: its bytes go at once.
        std::memset(m_buffer.data(), 0, size_t(size));
        if (line)
            lines.append(std::move(*line));
        else
            ++m_ignored;
    }
    if (m_bound && m_udp->hasPendingDatagrams())
        m_readMore.start();

    // A handler may close the receiver or delete it.
    const QPointer<LogReceiver> self(this);
    if (m_ignored != ignoredBefore)
        emit ignoredCountChanged(m_ignored);
    if (self && !lines.isEmpty())
        emit linesReceived(lines);
}
