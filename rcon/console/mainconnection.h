#pragma once

#include "rcon/protocol/rconrequests.h"

#include <QObject>

#include <memory>

class LogFileWriter;
class RconSession;

// The main connection: the session the main window connects, sends through and resets, and the
// other windows follow (its server, its password, whether it is set up), with the reply log it
// writes to. It outlives the windows, which may come and go.
class MainConnection final : public QObject {
    Q_OBJECT
public:
    explicit MainConnection(QObject *parent = nullptr);
    ~MainConnection() override;

    RconSession &session() const { return *m_session; }
    // Set up, from a connect to the reset that ends it.
    bool isConnected() const;
    // The server and its password as they are now, for the windows that ask that server
    // things over requests of their own.
    RconRequests::Endpoint endpoint() const;

    // The reply log, created on first use and kept for the rest of the run.
    LogFileWriter &log();
    // Replies are handed to the log.
    bool logsReplies() const { return m_logsReplies; }
    void setLogsReplies(bool on) { m_logsReplies = on; }
    // The log option may not change while a connection lasts: locked from the connect to the
    // reset that ends it.
    bool isLogOptionLocked() const { return m_logOptionLocked; }
    void setLogOptionLocked(bool locked);

Q_SIGNALS:
    void logOptionLockChanged(bool locked);

private:
    RconSession *m_session;
    std::unique_ptr<LogFileWriter> m_log;
    bool m_logsReplies = false;
    bool m_logOptionLocked = false;
};
