#pragma once

#include "rcon/protocol/rconsocket.h"

#include <QObject>
#include <QString>

// One datagram from the server, sorted.
struct RconReply {
    enum class Kind {
        Challenge,   // the answer to the challenge request: the connection is confirmed
        Empty,       // a command that produced no output (MARK, the type letter, two NULs)
        Output,      // console output, and anything not recognised
        Refused,     // "Bad rcon_password.": the password was refused
        Banned,      // the notice that this address is banned
        NoChallenge, // the server does not know the challenge sent (it has restarted)
    };
    Kind kind = Kind::Output;
    // The datagram as it came, one character per byte.
    QString datagram;
    // Its text: markers, the reply-type letter and NULs removed, line breaks as LF, one
    // character per byte still (see RconCodec::displayText for reading it).
    QString text;

    // Sorts a datagram; a challenge reply also gives its challenge.
    static RconReply fromDatagram(const QString &datagram, QString *challenge = nullptr);

    // What a console shows for it, one character per byte: the text, except for the challenge
    // reply ("Connected to <host>") and a command without output, which the console confirms in
    // words of its own.
    QString consoleText(const QString &host) const;
};

// A session with a game server's remote console: its own UDP socket aimed at the server, the
// challenge the server handed out, and the password sent with every command. It sends console
// and AdminMod commands as the server expects them and hands each datagram from the server on,
// sorted, in the order they came; what a caller makes of them (a window showing every reply, a
// queue waiting for each command's answer) is the caller's business. No widget, no event loop
// of its own: datagrams arrive through the caller's event loop, and nothing here spins it.
//
// The challenge is kept when the session closes and is used until the server gives a new one.
class RconSession final : public QObject {
    Q_OBJECT
public:
    explicit RconSession(QObject *parent = nullptr);
    ~RconSession() override;

    // Aims the session at a server (a host name or an address, as typed) and binds its socket to
    // a free local port; also when it is open already. False, with the session closed, when the
    // host or port cannot be used or the socket cannot be bound. A host name is looked up in the
    // background: a name that cannot be found is reported by
    // socketError(RconSocket::Failure::HostNotFound).
    bool open(const QString &host, int port);
    void close();
    bool isOpen() const { return m_open; }
    // Where the session was last aimed.
    const QString &host() const { return m_host; }
    int port() const { return m_port; }
    // The local port the socket was bound to; 0 when closed.
    quint16 localPort() const;
    // The server's host name is still being looked up (sends wait for it).
    bool isResolving() const;

    // The password every command from now on carries.
    void setPassword(const QString &password);
    const QString &password() const { return m_password; }

    const QString &challenge() const { return m_challenge; }
    void forgetChallenge() { m_challenge.clear(); }

    // Each is one datagram; false when it could not be sent (the session is closed, the address
    // is unusable, the datagram too long).
    bool requestChallenge();
    bool sendCommand(const QString &command);
    bool sendAdminCommand(const QString &adminText);
    bool sendBroadcast();

    // Takes one datagram from the server as if it had come alone: the challenge is noted, the
    // reply handed on, and the burst is over.
    void receive(const QString &datagram);

Q_SIGNALS:
    void replyReceived(const RconReply &reply);
    // The datagrams read in one turn of the event loop have all been handed on.
    void burstDelivered();
    // Something went wrong after a call had returned (an unknown host, a port that answered
    // "unreachable"); reported once for each opening.
    void socketError(RconSocket::Failure failure, const QString &description);
    void passwordChanged(const QString &password);
    // The session was opened or closed.
    void openChanged(bool open);

private:
    bool send(const QString &datagram);
    void deliver(const QString &datagram);

    RconSocket *m_socket;
    QString m_host;
    int m_port = 0;
    QString m_password;
    QString m_challenge;
    bool m_open = false;
};
