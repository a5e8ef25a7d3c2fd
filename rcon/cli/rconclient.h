#pragma once

#include "rcon/protocol/rconrequests.h"

#include <QObject>
#include <QString>

#include <optional>

// talvero-rcon's connection to one server: its commands go over one RconRequests queue, one at
// a time, each answer gathered whole (an empty acknowledgement and a status table's closing
// line at once, anything else after the quiet time). Once a command has failed nothing more
// is sent: a refused password counts toward the server's ban.
//
// Two ways to use it: send() queues commands and the answers come by signal, so that many
// servers' commands can be under way in one event loop; run() sends one command and waits for
// its answer in an event loop of its own, for the prompt and the batch read line by line.
class RconClient final : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        bool answered = false;
        QString text; // the answer, one character per byte
        RconRequests::Failure failure = RconRequests::Failure::NoAnswer;
        QString message; // the server's or the system's words about the failure
    };

    RconClient(const RconRequests::Endpoint &endpoint, int answerTimeoutMs, int quietMs,
               QObject *parent = nullptr);

    // Queues the command. Its answer comes by answered(), in the order sent; the first failure
    // comes once by failed() and ends the queue: no later command is sent or answered.
    void send(const QString &command);

    // Sends the command and runs the event loop until its answer is whole or the requests fail.
    Outcome run(const QString &command);

    // A failure's exit status and the sentence that explains it, naming the server.
    static int exitStatus(RconRequests::Failure failure);
    QString describe(const Outcome &outcome) const;
    // The same sentence for a line that names the server before it ("cs1: refused the
    // password ...").
    QString reason(const Outcome &outcome) const;

Q_SIGNALS:
    void answered(const QString &command, const QString &text);
    void failed(const RconClient::Outcome &outcome);

private:
    QString sentence(const Outcome &outcome, bool namingServer) const;

    RconRequests::Endpoint m_endpoint;
    int m_answerTimeoutMs;
    RconRequests m_requests;
    // The failure that stopped the requests, also one that came between two commands (a late
    // ban notice); every later command gets it instead of being sent.
    std::optional<Outcome> m_failure;
};
