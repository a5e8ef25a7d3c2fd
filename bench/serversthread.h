#pragma once

// Many test game servers on 127.0.0.1, each on a port of its own, all answering on one thread
// of their own, as game servers answer from machines of their own.

#include "tests/support/goldsrcserver.h"

#include <QObject>
#include <QThread>

#include <memory>
#include <vector>

namespace bench {

class ServersThread final {
public:
    // The servers are named "Talvero test server 1" to count.
    explicit ServersThread(int count)
        : m_count(count) {
        m_thread.start();
        // The servers are made in the context's thread, and live there.
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                for (int i = 0; i < m_count; ++i) {
                    auto server = std::make_unique<GoldSrcServer>();
                    if (!server->listen())
                        return;
                    server->setHostname("Talvero test server " + QByteArray::number(i + 1));
                    m_ports.push_back(server->port());
                    m_servers.push_back(std::move(server));
                }
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServersThread() {
        QMetaObject::invokeMethod(
            &m_context, [this] { m_servers.clear(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    ServersThread(const ServersThread &) = delete;
    ServersThread &operator=(const ServersThread &) = delete;

    bool isListening() const { return int(m_ports.size()) == m_count; }
    const std::vector<quint16> &ports() const { return m_ports; }
    void setChallengeRequired(bool required) {
        QMetaObject::invokeMethod(
            &m_context,
            [this, required] {
                for (const auto &server : m_servers)
                    server->queries().setChallengeRequired(required);
            },
            Qt::BlockingQueuedConnection);
    }

private:
    int m_count;
    QThread m_thread;
    QObject m_context;
    std::vector<std::unique_ptr<GoldSrcServer>> m_servers;
    std::vector<quint16> m_ports;
};

} // namespace bench
