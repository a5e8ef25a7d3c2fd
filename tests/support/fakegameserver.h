#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

class QUdpSocket;

// A game server for tests that answers from a script: a UDP socket on 127.0.0.1 (port chosen
// by the system) that records every datagram it gets, byte for byte and in order, with the
// sender. It answers "challenge rcon" with the scripted challenge, each scripted command with
// its list of reply datagrams, every datagram with the ban notice when banned, and nothing when
// silent or unscripted. A second, foreign socket sends from another port.
class FakeGameServer final : public QObject {
    Q_OBJECT
public:
    struct Datagram {
        QByteArray bytes;
        QHostAddress sender;
        quint16 senderPort = 0;
    };

    explicit FakeGameServer(QObject *parent = nullptr);
    ~FakeGameServer() override;

    bool isListening() const;
    quint16 port() const;
    quint16 foreignPort() const;

    const QList<Datagram> &datagrams() const { return m_datagrams; }
    // The bytes of the n-th datagram received (empty when there is none).
    QByteArray received(int n) const;
    // Waits until count datagrams in all have arrived; false when the time ran out.
    bool waitForDatagrams(int count, int timeoutMs = 5000);

    // The challenge sent for "challenge rcon", as its decimal digits (1234567890 unless set);
    // empty: no answer.
    void setChallenge(const QByteArray &digits) { m_challenge = digits; }
    // The datagrams sent back, in order, for a command (the text after the password).
    void setReplies(const QByteArray &command, const QList<QByteArray> &replies) {
        m_replies.insert(command, replies);
    }
    void setSilent(bool silent) { m_silent = silent; }
    void setBanned(bool banned) { m_banned = banned; }

    // Raw bytes to the sender of the last datagram, from the server's own port or from the
    // foreign one; or to a port on 127.0.0.1.
    bool sendToLastSender(const QByteArray &bytes);
    bool sendFromForeign(const QByteArray &bytes);
    bool sendTo(quint16 port, const QByteArray &bytes);

    // Closes the server's port, so that the system answers datagrams to it "unreachable".
    void close();

Q_SIGNALS:
    void datagramReceived();

private:
    void onReadyRead();
    void answer(const Datagram &datagram);

    QUdpSocket *m_socket;
    QUdpSocket *m_foreign;
    QList<Datagram> m_datagrams;
    QByteArray m_challenge = "1234567890";
    QHash<QByteArray, QList<QByteArray>> m_replies;
    bool m_silent = false;
    bool m_banned = false;
};
