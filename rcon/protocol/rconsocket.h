#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QHostInfo;
class QUdpSocket;

// A UDP socket to one game server. One send is one datagram; each datagram from the server is
// announced by one datagramArrived on the GUI thread, and takeDatagram called in that handler
// returns it whole. Text crosses as Latin-1, one byte per character; a character
// Latin-1 cannot hold goes out as "?".
//
// Only the server's address and port are heard: the socket is connected to the server, so the
// system drops anything else, and the sender is checked again here. The server's split replies
// (FE FF FF FF, sequence, part index and count) are joined before they are announced. A host
// name is looked up in the background; sends made meanwhile wait and go out in order.
// Failures of the calls are their boolean results; what goes wrong later (an unknown host,
// a server port that answers "unreachable") is reported once by failed.
class RconSocket final : public QObject {
    Q_OBJECT
public:
    // What can go wrong once a call has returned.
    enum class Failure {
        Network,           // the network is down or unreachable
        ConnectionRefused, // nothing listens on the server's port
        HostNotFound,      // the server's name cannot be looked up
    };
    Q_ENUM(Failure)

    static constexpr int MaxDatagramSize = 65507;
    static constexpr int DefaultReassemblyTimeoutMs = 5000;
    // Datagrams read for one turn of the event loop at the most; the rest wait for the next.
    static constexpr int MaxDatagramsPerSlice = 64;

    explicit RconSocket(QObject *parent = nullptr);
    ~RconSocket() override;

    bool setServerHost(const QString &host);
    bool setServerPort(int port);
    quint16 localPort() const;
    bool bind(quint16 localPort = 0);
    bool send(const QString &datagram);
    // The datagram being announced, whole; empty outside datagramArrived's handlers.
    QString takeDatagram();
    void close();
    bool isBound() const;
    // The server's host name is being looked up.
    bool isLookingUp() const { return m_lookupId != -1; }

    // How long the parts of a split reply are kept waiting for the rest.
    void setReassemblyTimeout(int ms);
    // Split replies still missing parts.
    int incompleteSplitCount() const { return int(m_splits.size()); }

Q_SIGNALS:
    void datagramArrived(int bytes);
    // The datagrams read in one turn of the event loop have all been announced.
    void burstDelivered();
    void failed(RconSocket::Failure failure, const QString &description);

private:
    struct SplitSet {
        quint32 sequence = 0;
        int count = 0;
        int received = 0;
        qint64 startedMs = 0;
        QList<QByteArray> parts;
    };

    bool openSocket(quint16 port);
    void connectToServer();
    void abortLookup();
    void onLookedUp(const QHostInfo &info);
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError socketError);
    void beginCall();
    QAbstractSocket::SocketError endCall();
    void acceptDatagram(const QByteArray &bytes, QList<QByteArray> &ready);
    void removeSplit(qsizetype at);
    void clearSplits();
    void expireSplits();
    void armSplitTimer();
    void reportError(Failure failure, const QString &description);
    bool writeNow(const QByteArray &bytes);

    QUdpSocket *m_udp;
    QTimer m_splitTimer;
    QTimer m_readMore;
    QByteArray m_buffer; // one datagram's room, reused for every read
    QElapsedTimer m_clock;

    QString m_host;
    QHostAddress m_address; // null until the host is known
    quint16 m_port = 0;
    int m_lookupId = -1;
    bool m_lookupFailed = false;

    bool m_bound = false;
    bool m_connected = false; // the socket is connected to m_address:m_port
    quint64 m_generation = 0; // changes whenever the socket or its server changes
    bool m_errorReported = false;
    bool m_inCall = false;
    QAbstractSocket::SocketError m_callError = QAbstractSocket::UnknownSocketError;

    QList<QByteArray> m_waitingSends; // made before the host name was known
    QList<SplitSet> m_splits;
    qsizetype m_splitBytes = 0; // the bytes of all parts waiting in m_splits
    int m_reassemblyTimeoutMs = DefaultReassemblyTimeoutMs;

    // Datagrams read but not yet announced.
    QList<QByteArray> m_ready;
    // The datagram being announced; takeDatagram hands it out.
    QByteArray m_current;
    bool m_hasCurrent = false;
};
