#include "rcon/console/mainconnection.h"

#include "rcon/console/logfilewriter.h"
#include "rcon/protocol/rconsession.h"

#include <utility>

MainConnection::MainConnection(QObject *parent)
    : QObject(parent)
    , m_session(new RconSession(this)) {}

MainConnection::~MainConnection() = default;

bool MainConnection::isConnected() const {
    return m_session->isOpen();
}

RconRequests::Endpoint MainConnection::endpoint() const {
    return {m_session->host(), m_session->port(), m_session->password()};
}

LogFileWriter &MainConnection::log() {
    if (!m_log)
        m_log = std::make_unique<LogFileWriter>();
    return *m_log;
}

void MainConnection::setLogOptionLocked(bool locked) {
    if (std::exchange(m_logOptionLocked, locked) != locked)
        emit logOptionLockChanged(locked);
}
