#include "rcon/cli/rconfanout.h"

RconFanout::RconFanout(const QList<Server> &servers, int parallel, int answerTimeoutMs, int quietMs,
                       QObject *parent)
    : QObject(parent)
    , m_servers(servers)
    , m_failed(servers.size(), false)
    , m_parallel(qMax(1, parallel))
    , m_answerTimeoutMs(answerTimeoutMs)
    , m_quietMs(quietMs) {}

RconFanout::~RconFanout() {
    abort();
}

int RconFanout::liveCount() const {
    return int(m_failed.count(false));
}

void RconFanout::start(const QList<QString> &commands) {
    Q_ASSERT(!m_roundOpen);
    m_commands = commands;
    m_waiting.clear();
    // Without commands every server is through at once.
    for (int i = 0; i < m_servers.size() && !commands.isEmpty(); ++i) {
        if (!m_failed.at(i))
            m_waiting.append(i);
    }
    m_roundOpen = true;
    // From the event loop, so that nothing is signalled inside the caller's start.
    QMetaObject::invokeMethod(this, &RconFanout::startMore, Qt::QueuedConnection);
}

void RconFanout::abort() {
    m_waiting.clear();
    // Later: abort() may be called from one of a client's own signals.
    for (const Running &running : std::as_const(m_running)) {
        running.client->disconnect(this);
        running.client->deleteLater();
    }
    m_running.clear();
    m_roundOpen = false;
}

void RconFanout::startMore() {
    if (!m_roundOpen)
        return;
    while (m_running.size() < m_parallel && !m_waiting.isEmpty()) {
        const int index = m_waiting.takeFirst();
        auto *client =
            new RconClient(m_servers.at(index).endpoint, m_answerTimeoutMs, m_quietMs, this);
        m_running.insert(index, Running{client, m_commands.size()});
        connect(client, &RconClient::answered, this,
                [this, index](const QString &command, const QString &text) {
                    emit answered(index, command, text);
                    const auto running = m_running.find(index);
                    if (running != m_running.end() && --running->remaining == 0)
                        done(index);
                });
        connect(client, &RconClient::failed, this,
                [this, index, client](const RconClient::Outcome &outcome) {
                    m_failed[index] = true;
                    m_worstStatus = qMax(m_worstStatus, RconClient::exitStatus(outcome.failure));
                    emit failed(index, client->reason(outcome));
                    done(index);
                });
        for (const QString &command : std::as_const(m_commands))
            client->send(command);
    }
    if (m_running.isEmpty() && m_waiting.isEmpty()) {
        m_roundOpen = false;
        emit finished();
    }
}

void RconFanout::done(int index) {
    const Running running = m_running.take(index);
    if (!running.client)
        return;
    // Nothing it hears from now on (a late ban notice) belongs to this round; its session
    // closes once the signal that got here has returned.
    running.client->disconnect(this);
    running.client->deleteLater();
    startMore();
}
