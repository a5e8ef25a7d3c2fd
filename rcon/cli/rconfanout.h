#pragma once

#include "rcon/cli/rconclient.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

// The same commands to many servers at once: each server's commands in order over a session of
// its own (RconClient), at most `parallel` servers under way at a time, the next one starting as
// soon as one is done. A failure stops that server alone; the others go on. Everything is
// reported by signal from the event loop, never inside start().
class RconFanout final : public QObject {
    Q_OBJECT
public:
    struct Server {
        QString name; // what its output lines and its failure are prefixed with
        RconRequests::Endpoint endpoint;
    };

    RconFanout(const QList<Server> &servers, int parallel, int answerTimeoutMs, int quietMs,
               QObject *parent = nullptr);
    ~RconFanout() override;

    // Sends the commands to every server that has not failed yet; finished() once each of them
    // has answered them all or failed. A round may start only once the one before has finished
    // (the prompt sends each line as a round of its own).
    void start(const QList<QString> &commands);
    // Ends the round at once: sessions closed, nothing more signalled for it.
    void abort();

    const Server &server(int index) const { return m_servers.at(index); }
    // Servers that have not failed.
    int liveCount() const;
    // 0 while every server has answered every command; else the highest exit status of the
    // servers' failures.
    int worstStatus() const { return m_worstStatus; }

Q_SIGNALS:
    // One whole answer, for one server's command.
    void answered(int server, const QString &command, const QString &text);
    // The server failed and gets nothing more; reason is the sentence to print after its name.
    void failed(int server, const QString &reason);
    void finished();

private:
    struct Running {
        RconClient *client = nullptr;
        qsizetype remaining = 0;
    };

    void startMore();
    void done(int index);

    QList<Server> m_servers;
    QList<bool> m_failed;
    int m_parallel;
    int m_answerTimeoutMs;
    int m_quietMs;
    QList<QString> m_commands;
    QList<int> m_waiting;
    QHash<int, Running> m_running;
    bool m_roundOpen = false;
    int m_worstStatus = 0;
};
