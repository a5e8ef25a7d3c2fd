#pragma once

#include "rcon/cli/servertargets.h"
#include "rcon/protocol/a2s.h"
#include "rcon/protocol/serverquery.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

// The server queries for talvero-rcon --query: each server asked what it is (and, when wanted,
// who is on it and its rules) over one ServerQuery, without a password, and each server's
// result reported once every question it was asked has ended, in the order the servers were
// given. A server that stays silent to one question is asked nothing more.
class ServerSurvey final : public QObject {
    Q_OBJECT
public:
    struct Result {
        std::optional<A2s::ServerInfo> info; // the latest info answer
        int pingMs = 0;
        std::optional<QList<A2s::Player>> players;
        std::optional<QList<A2s::Rule>> rules;
        // The first question that went unanswered, and how it ended.
        std::optional<std::pair<ServerQuery::Request, ServerQuery::Outcome>> failure;
    };

    // answerTimeoutMs is how long one question waits before it is asked again, once; 0 keeps
    // the query engine's own time.
    ServerSurvey(const QList<ServerTarget> &servers, bool players, bool rules, int answerTimeoutMs,
                 QObject *parent = nullptr);

    void start();

    const ServerTarget &server(int index) const { return m_servers.at(index); }
    // The exit status a result gives: 0 when every question was answered, 6 when the name
    // cannot be found, 3 otherwise.
    static int exitStatus(const Result &result);
    // Why the result is not whole, to print after the server's name.
    QString reason(int index, const Result &result) const;

Q_SIGNALS:
    // In the order the servers were given.
    void serverDone(int index, const ServerSurvey::Result &result);
    void finished();

private:
    void onFinished(const QString &key, ServerQuery::Request request, ServerQuery::Outcome outcome);
    void reportReady();

    ServerQuery m_query;
    QList<ServerTarget> m_servers;
    QList<ServerQuery::Request> m_requests;
    QHash<QString, int> m_indexByKey;
    QList<Result> m_results;
    QList<int> m_openQuestions;
    int m_nextReport = 0;
    int m_answerTimeoutMs = 0;
};
