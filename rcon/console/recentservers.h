#pragma once

#include <QList>
#include <QString>

// The servers last connected to with a confirmed challenge, newest first: address and port,
// never a password. Up to MaxKept are kept across runs in a file of the user's own.
class RecentServers final {
public:
    static constexpr int MaxKept = 20;

    struct Server {
        QString host;
        int port = 0;
        bool operator==(const Server &) const = default;
    };

    // file: where the list is kept across runs; empty keeps it for the session only.
    explicit RecentServers(QString file = {});

    // A server that confirmed a connection goes to the top (once).
    void add(const QString &host, int port);
    const QList<Server> &servers() const { return m_servers; }

    // "host:port", with an IPv6 address in brackets.
    static QString display(const Server &server);

private:
    QString m_file;
    QList<Server> m_servers;
};
