#include "rcon/protocol/rconsocket.h"

#include <QHostInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QUdpSocket>
#include <QtEndian>

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

// A split reply part: FE FF FF FF, the reply's sequence number (little-endian), one byte with
// the part's index in the high nibble and the count of parts in the low nibble, the part.
const QByteArray SplitMarker = QByteArrayLiteral("\xFE\xFF\xFF\xFF");
constexpr int SplitHeaderSize = 9;
// Room for the largest datagram either address family carries.
constexpr qint64 ReceiveBufferSize = 65536;
// A server answers one command at a time, so only a few split replies are ever open at once.
// These bounds lie far above that; they only keep the memory for waiting parts bounded under
// any input. A set is never pushed out by a newer one: it ends complete or by age.
constexpr int MaxSplitSets = 64;
constexpr qsizetype MaxSplitBytes = 4 * 1024 * 1024;
// How long one turn of the event loop may spend announcing datagrams.
constexpr qint64 SliceMs = 8;
// Sends waiting for a host name lookup; more than this means the lookup is stuck.
constexpr int MaxWaitingSends = 64;

QByteArray toWire(const QString &text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x100) {
            bytes.append(char(c));
            continue;
        }
        // One character outside Latin-1 is one "?", also when it takes two UTF-16 units.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        bytes.append('?');
    }
    return bytes;
}

// Takes (and clears) an error the system has noted on the socket, such as the "port
// unreachable" answer to an earlier datagram. Read before anything else touches the socket:
// peeking at the next datagram would clear it unseen.
int takeSocketError(qintptr descriptor) {
    if (descriptor < 0)
        return 0;
    int err = 0;
    socklen_t length = sizeof err;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_ERROR, &err, &length) != 0)
        return 0;
    return err;
}

QString refusedDescription() {
    return QStringLiteral("The server's port is unreachable (connection refused)");
}

} // namespace

RconSocket::RconSocket(QObject *parent)
    : QObject(parent)
    , m_udp(new QUdpSocket(this)) {
    m_clock.start();
    // What a readiness notice leaves unread is read from the next turn of the event loop, after
    // input and painting have had their turn.
    m_readMore.setSingleShot(true);
    m_readMore.setInterval(0);
    connect(&m_readMore, &QTimer::timeout, this, &RconSocket::onReadyRead);
    m_splitTimer.setSingleShot(true);
    connect(&m_splitTimer, &QTimer::timeout, this, &RconSocket::expireSplits);
    connect(m_udp, &QUdpSocket::readyRead, this, &RconSocket::onReadyRead);
    connect(m_udp, &QAbstractSocket::errorOccurred, this, &RconSocket::onSocketError);
}

RconSocket::~RconSocket() {
    abortLookup();
    m_udp->disconnect(this);
}

bool RconSocket::setServerHost(const QString &host) {
    const QString name = host.trimmed();
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    abortLookup();
    ++m_generation;
    m_errorReported = false;
    m_lookupFailed = false;
    m_waitingSends.clear();
    m_host = name;

    QHostAddress literal;
    const bool isLiteral = literal.setAddress(name);
    const bool sameServer = isLiteral && literal == m_address;
    m_address = isLiteral ? literal : QHostAddress();
    if (!isLiteral)
        m_lookupId = QHostInfo::lookupHost(name, this, &RconSocket::onLookedUp);
    if (m_bound && !sameServer)
        return openSocket(localPort());
    return true;
}

bool RconSocket::setServerPort(int port) {
    if (port < 1 || port > 65535)
        return false;
    if (port == m_port)
        return true;
    ++m_generation;
    m_errorReported = false;
    m_port = quint16(port);
    if (m_bound)
        return openSocket(localPort());
    return true;
}

quint16 RconSocket::localPort() const {
    return m_bound ? m_udp->localPort() : 0;
}

bool RconSocket::bind(quint16 localPort) {
    ++m_generation;
    m_errorReported = false;
    if (m_address.isNull() && !m_host.isEmpty() && m_lookupId == -1) {
        m_lookupFailed = false;
        m_lookupId = QHostInfo::lookupHost(m_host, this, &RconSocket::onLookedUp);
    }
    return openSocket(localPort);
}

bool RconSocket::send(const QString &datagram) {
    if (!m_bound || m_port == 0 || m_host.isEmpty() || m_lookupFailed)
        return false;
    const QByteArray bytes = toWire(datagram);
    if (bytes.isEmpty() || bytes.size() > MaxDatagramSize)
        return false;
    if (!m_connected) {
        if (m_address.isNull()) {
            if (m_waitingSends.size() >= MaxWaitingSends)
                return false;
            m_waitingSends.append(bytes);
            return true;
        }
        connectToServer();
        if (!m_connected)
            return false;
    }
    return writeNow(bytes);
}

QString RconSocket::takeDatagram() {
    if (!m_hasCurrent)
        return {};
    m_hasCurrent = false;
    return QString::fromLatin1(m_current);
}

void RconSocket::close() {
    ++m_generation;
    abortLookup();
    m_waitingSends.clear();
    clearSplits();
    m_ready.clear();
    m_readMore.stop();
    m_bound = false;
    m_connected = false;
    m_udp->abort();
}

bool RconSocket::isBound() const {
    return m_bound;
}

void RconSocket::setReassemblyTimeout(int ms) {
    m_reassemblyTimeoutMs = qMax(0, ms);
    armSplitTimer();
}

bool RconSocket::openSocket(quint16 port) {
    beginCall();
    m_udp->abort();
    m_bound = false;
    m_connected = false;
    clearSplits();
    m_ready.clear();
    m_readMore.stop();

    // Before the host is known the socket takes both families; the system falls back to IPv4
    // alone where IPv6 is missing.
    QHostAddress local(QHostAddress::Any);
    if (!m_address.isNull()) {
        local = m_address.protocol() == QAbstractSocket::IPv6Protocol
                    ? QHostAddress(QHostAddress::AnyIPv6)
                    : QHostAddress(QHostAddress::AnyIPv4);
    }
    bool ok = m_udp->bind(local, port, QAbstractSocket::DontShareAddress);
    if (!ok && local == QHostAddress(QHostAddress::Any))
        ok = m_udp->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress);
    endCall();
    if (!ok)
        return false;
    m_bound = true;
    connectToServer();
    return true;
}

void RconSocket::connectToServer() {
    if (!m_bound || m_connected || m_address.isNull() || m_port == 0)
        return;
    beginCall();
    // A connected datagram socket hears only this address and port, and learns of an
    // "unreachable" answer from the server's host.
    m_udp->connectToHost(m_address, m_port);
    endCall();
    if (m_udp->state() != QAbstractSocket::ConnectedState) {
        reportError(Failure::Network, m_udp->errorString());
        return;
    }
    m_connected = true;
    const QList<QByteArray> waiting = std::exchange(m_waitingSends, {});
    for (const QByteArray &bytes : waiting)
        writeNow(bytes);
}

void RconSocket::abortLookup() {
    if (m_lookupId != -1) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
}

void RconSocket::onLookedUp(const QHostInfo &info) {
    if (info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;

    // Game servers speak IPv4; an IPv6 address is taken only when there is no other and the
    // socket can reach it.
    const bool ipv4Only =
        m_bound && m_udp->localAddress().protocol() == QAbstractSocket::IPv4Protocol;
    QHostAddress chosen;
    const QList<QHostAddress> addresses = info.addresses();
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            chosen = address;
            break;
        }
        if (chosen.isNull() && !ipv4Only && address.protocol() == QAbstractSocket::IPv6Protocol)
            chosen = address;
    }
    if (info.error() != QHostInfo::NoError || chosen.isNull()) {
        m_lookupFailed = true;
        m_waitingSends.clear();
        const QString reason = info.error() != QHostInfo::NoError
                                   ? info.errorString()
                                   : QStringLiteral("No usable address");
        reportError(Failure::HostNotFound,
                    QStringLiteral("Host %1 not found: %2").arg(info.hostName(), reason));
        return;
    }
    m_address = chosen;
    connectToServer();
}

void RconSocket::onReadyRead() {
    const int pending = takeSocketError(m_udp->socketDescriptor());
    if (pending == ECONNREFUSED)
        reportError(Failure::ConnectionRefused, refusedDescription());
    else if (pending != 0)
        reportError(Failure::Network, QString::fromLocal8Bit(std::strerror(pending)));

    if (m_buffer.size() != ReceiveBufferSize)
        m_buffer.resize(ReceiveBufferSize);
    // The first read is made even when the notice brought only an error: the socket layer
    // announces nothing more until something has been read. A flood is taken in slices (a
    // bounded count read, a bounded time announcing), so the windows keep answering while it
    // lasts; what is left waits in the system's buffer for the next turn of the event loop.
    bool first = true;
    while (m_bound && m_ready.size() < MaxDatagramsPerSlice &&
           (first || m_udp->hasPendingDatagrams())) {
        first = false;
        QHostAddress sender;
        quint16 senderPort = 0;
        beginCall();
        const qint64 size =
            m_udp->readDatagram(m_buffer.data(), ReceiveBufferSize, &sender, &senderPort);
        if (endCall() == QAbstractSocket::ConnectionRefusedError)
            reportError(Failure::ConnectionRefused, refusedDescription());
        if (size < 0)
            break;
        // Before the host is known nothing can be told to come from the server.
        const bool fromServer = m_connected && senderPort == m_port &&
                                sender.isEqual(m_address, QHostAddress::TolerantConversion);
        // Each datagram keeps only its own bytes, not the room the largest one needs.
        if (fromServer)
            acceptDatagram(QByteArray(m_buffer.constData(), size), m_ready);
    }

    // A handler may close or rebind the socket, or delete it; what was read for the old
    // socket is then dropped.
    const QPointer<RconSocket> self(this);
    const quint64 generation = m_generation;
    QElapsedTimer slice;
    slice.start();
    bool announced = false;
    const auto burstOver = qScopeGuard([&] {
        if (announced && self)
            emit burstDelivered();
    });
    while (!m_ready.isEmpty() && slice.elapsed() < SliceMs) {
        announced = true;
        const QByteArray bytes = m_ready.takeFirst();
        const QByteArray outer = std::exchange(m_current, bytes);
        const bool outerPending = std::exchange(m_hasCurrent, true);
        emit datagramArrived(int(bytes.size()));
        if (!self)
            return;
        m_current = outer;
        m_hasCurrent = outerPending;
        if (generation != m_generation)
            return;
    }
    if (!m_ready.isEmpty() || (m_bound && m_udp->hasPendingDatagrams()))
        m_readMore.start();
}

void RconSocket::onSocketError(QAbstractSocket::SocketError socketError) {
    // Failures inside a call are that call's to judge.
    if (m_inCall) {
        m_callError = socketError;
        return;
    }
    if (socketError == QAbstractSocket::ConnectionRefusedError)
        reportError(Failure::ConnectionRefused, refusedDescription());
}

void RconSocket::beginCall() {
    m_inCall = true;
    m_callError = QAbstractSocket::UnknownSocketError;
}

QAbstractSocket::SocketError RconSocket::endCall() {
    m_inCall = false;
    return m_callError;
}

void RconSocket::acceptDatagram(const QByteArray &bytes, QList<QByteArray> &ready) {
    if (!bytes.startsWith(SplitMarker)) {
        ready.append(bytes);
        return;
    }
    if (bytes.size() < SplitHeaderSize)
        return;
    const quint32 sequence = qFromLittleEndian<quint32>(bytes.constData() + 4);
    const auto info = uchar(bytes.at(8));
    const int index = info >> 4;
    const int count = info & 0x0F;
    if (count == 0 || index >= count)
        return;

    qsizetype at = 0;
    while (at < m_splits.size() && m_splits.at(at).sequence != sequence)
        ++at;
    // The same number with another count of parts belongs to a newer reply.
    if (at < m_splits.size() && m_splits.at(at).count != count) {
        removeSplit(at);
        at = m_splits.size();
    }
    const qsizetype partSize = bytes.size() - SplitHeaderSize;
    if (at == m_splits.size()) {
        // No room: the part is dropped rather than a set that can still complete.
        if (m_splits.size() >= MaxSplitSets || m_splitBytes + partSize > MaxSplitBytes)
            return;
        SplitSet set;
        set.sequence = sequence;
        set.count = count;
        set.startedMs = m_clock.elapsed();
        set.parts.resize(count);
        m_splits.append(set);
    }

    SplitSet &set = m_splits[at];
    QByteArray &part = set.parts[index];
    if (!part.isNull())
        return; // a repeated part
    if (m_splitBytes + partSize > MaxSplitBytes)
        return;
    part = bytes.mid(SplitHeaderSize);
    if (part.isNull())
        part = QByteArray(""); // an empty part still counts as received
    m_splitBytes += part.size();
    if (++set.received < set.count) {
        armSplitTimer();
        return;
    }
    QByteArray joined;
    for (const QByteArray &piece : std::as_const(set.parts))
        joined += piece;
    removeSplit(at);
    armSplitTimer();
    ready.append(joined);
}

void RconSocket::removeSplit(qsizetype at) {
    for (const QByteArray &piece : std::as_const(m_splits.at(at).parts))
        m_splitBytes -= piece.size();
    m_splits.removeAt(at);
}

void RconSocket::clearSplits() {
    m_splits.clear();
    m_splitBytes = 0;
    m_splitTimer.stop();
}

void RconSocket::expireSplits() {
    const qint64 now = m_clock.elapsed();
    for (qsizetype at = m_splits.size() - 1; at >= 0; --at) {
        if (now - m_splits.at(at).startedMs >= m_reassemblyTimeoutMs)
            removeSplit(at);
    }
    armSplitTimer();
}

void RconSocket::armSplitTimer() {
    if (m_splits.isEmpty()) {
        m_splitTimer.stop();
        return;
    }
    qint64 oldest = m_splits.first().startedMs;
    for (const SplitSet &set : std::as_const(m_splits))
        oldest = qMin(oldest, set.startedMs);
    const qint64 left = oldest + m_reassemblyTimeoutMs - m_clock.elapsed();
    m_splitTimer.start(int(qMax<qint64>(0, left)));
}

void RconSocket::reportError(Failure failure, const QString &description) {
    // One report per connection attempt: the program resets on the first.
    if (m_errorReported)
        return;
    m_errorReported = true;
    // Delivered from the event loop, never inside a call the program is making.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, failure, description] {
            if (generation == m_generation)
                emit failed(failure, description);
        },
        Qt::QueuedConnection);
}

bool RconSocket::writeNow(const QByteArray &bytes) {
    if (takeSocketError(m_udp->socketDescriptor()) == ECONNREFUSED)
        reportError(Failure::ConnectionRefused, refusedDescription());
    beginCall();
    const qint64 written = m_udp->write(bytes);
    if (endCall() == QAbstractSocket::ConnectionRefusedError)
        reportError(Failure::ConnectionRefused, refusedDescription());
    return written == bytes.size();
}
