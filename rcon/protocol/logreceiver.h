#pragma once

#include "rcon/protocol/serverlogline.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTimer>

class QHostInfo;
class QUdpSocket;

// The UDP socket a server's log stream is sent to (logaddress_add). It hears only the server:
// a datagram from any other address, or one that is not a log line (FF FF FF FF "log "), is
// dropped unread and counted. Each line is read into a ServerLogLine at once (the rcon
// password masked), so no datagram's text is kept.
//
// A flood is read in slices, at most MaxDatagramsPerSlice datagrams and about 8 ms per turn of
// the event loop, and handed on as one batch per slice; the rest waits in the system's buffer
// for the next turn, so the windows keep answering.
class LogReceiver final : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxDatagramsPerSlice = 64;

    explicit LogReceiver(QObject *parent = nullptr);
    ~LogReceiver() override;

    // Binds to this port on every IPv4 address (0: one the system chooses), so a server can
    // reach it through a forwarded port as well; also when bound already. False, unbound, when
    // the port cannot be had; errorString() says why.
    bool bind(quint16 port = 0);
    void close();
    bool isBound() const { return m_bound; }
    quint16 localPort() const;
    QString errorString() const;

    // The server whose log is heard; nothing is heard before it is set.
    void setServerAddress(const QHostAddress &address) { m_server = address; }
    const QHostAddress &serverAddress() const { return m_server; }
    // The server by its host as typed: an address is taken at once (true); a name is looked up
    // for its IPv4 address in the background (false), and serverFound or serverNotFound
    // follows. A new call, or stopFindingServer, drops a lookup still running.
    bool findServer(const QString &host);
    void stopFindingServer();

    // Datagrams dropped because they came from elsewhere or were no log line.
    qint64 ignoredCount() const { return m_ignored; }

    // The local address a datagram to this server leaves from: the address the server is to
    // send its log to, unless a router stands between. Null when there is no route.
    static QHostAddress localAddressToward(const QHostAddress &server, quint16 port);

Q_SIGNALS:
    // The lines read in one slice, oldest first.
    void linesReceived(const QList<ServerLogLine> &lines);
    void ignoredCountChanged(qint64 count);
    // The lookup of findServer is over: the server is heard at this address from now on.
    void serverFound(const QHostAddress &address);
    void serverNotFound(const QString &reason);

private:
    void onReadyRead();
    void onLookedUp(const QHostInfo &info);

    QUdpSocket *m_udp;
    QTimer m_readMore;
    QByteArray m_buffer; // one datagram's room, reused and wiped after every read
    QHostAddress m_server;
    bool m_bound = false;
    qint64 m_ignored = 0;
    int m_lookupId = -1;
};
