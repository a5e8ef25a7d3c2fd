#pragma once

#include "rcon/protocol/rconrequests.h"

#include <QObject>
#include <QString>

#include <optional>

// talvero-rcon's connection to one server: its commands go over one RconRequests queue, one at
// a time, each answer gathered whole (an empty acknowledgement and a status table's closing
// line at once, anything else after the quiet time). Once a command has failed nothing more
// is sent: a refused password counts toward the server's ban.
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

    // Sends the command and runs the event loop until its answer is whole or the requests fail.
    Outcome run(const QString &command);

    // A failure's exit status and the sentence that explains it.
    static int exitStatus(RconRequests::Failure failure);
    QString describe(const Outcome &outcome) const;

private:
    RconRequests::Endpoint m_endpoint;
    int m_answerTimeoutMs;
    RconRequests m_requests;
    // The failure that stopped the requests, also one that came between two commands (a late
    // ban notice); every later command gets it instead of being sent.
    std::optional<Outcome> m_failure;
};
