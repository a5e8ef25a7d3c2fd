#include "rcon/cli/serversurvey.h"

#include "rcon/cli/exitstatus.h"

ServerSurvey::ServerSurvey(const QList<ServerTarget> &servers, bool players, bool rules,
                           int answerTimeoutMs, QObject *parent)
    : QObject(parent)
    , m_servers(servers)
    , m_results(servers.size())
    , m_openQuestions(servers.size(), 0)
    , m_answerTimeoutMs(answerTimeoutMs > 0 ? answerTimeoutMs
                                            : ServerQuery::DefaultAnswerTimeoutMs) {
    m_requests.append(ServerQuery::Request::Info);
    if (players)
        m_requests.append(ServerQuery::Request::Players);
    if (rules)
        m_requests.append(ServerQuery::Request::Rules);
    m_query.setAnswerTimeout(m_answerTimeoutMs);

    connect(&m_query, &ServerQuery::infoReceived, this,
            [this](const QString &key, const A2s::ServerInfo &info, int pingMs) {
                if (const auto index = m_indexByKey.constFind(key); index != m_indexByKey.cend()) {
                    m_results[*index].info = info;
                    m_results[*index].pingMs = pingMs;
                }
            });
    connect(&m_query, &ServerQuery::playersReceived, this,
            [this](const QString &key, const QList<A2s::Player> &list, int) {
                if (const auto index = m_indexByKey.constFind(key); index != m_indexByKey.cend())
                    m_results[*index].players = list;
            });
    connect(&m_query, &ServerQuery::rulesReceived, this,
            [this](const QString &key, const QList<A2s::Rule> &list, int) {
                if (const auto index = m_indexByKey.constFind(key); index != m_indexByKey.cend())
                    m_results[*index].rules = list;
            });
    connect(&m_query, &ServerQuery::finished, this, &ServerSurvey::onFinished);
}

void ServerSurvey::start() {
    for (int i = 0; i < m_servers.size(); ++i) {
        const ServerTarget &server = m_servers.at(i);
        for (const ServerQuery::Request request : std::as_const(m_requests)) {
            const QString key = m_query.ask(server.host, quint16(server.port), request);
            if (key.isEmpty())
                break;
            m_indexByKey.insert(key, i);
            ++m_openQuestions[i];
        }
    }
    // Servers asked nothing (none can be, with a host and a port given) are done at once.
    QMetaObject::invokeMethod(this, &ServerSurvey::reportReady, Qt::QueuedConnection);
}

void ServerSurvey::onFinished(const QString &key, ServerQuery::Request request,
                              ServerQuery::Outcome outcome) {
    const auto found = m_indexByKey.constFind(key);
    if (found == m_indexByKey.cend())
        return;
    const int index = *found;
    Result &result = m_results[index];
    if (outcome != ServerQuery::Outcome::Answered && !result.failure)
        result.failure = std::pair(request, outcome);
    if (outcome == ServerQuery::Outcome::Silent && m_openQuestions.at(index) > 1) {
        // A server silent to one question would only keep the others waiting as long.
        m_openQuestions[index] = 0;
        m_indexByKey.remove(key);
        m_query.forget(key);
    } else {
        --m_openQuestions[index];
    }
    if (m_openQuestions.at(index) == 0)
        reportReady();
}

void ServerSurvey::reportReady() {
    while (m_nextReport < m_servers.size() && m_openQuestions.at(m_nextReport) == 0) {
        const int index = m_nextReport++;
        emit serverDone(index, m_results.at(index));
    }
    if (m_nextReport == m_servers.size()) {
        ++m_nextReport; // once
        emit finished();
    }
}

int ServerSurvey::exitStatus(const Result &result) {
    if (!result.failure)
        return ExitStatus::Success;
    return result.failure->second == ServerQuery::Outcome::HostNotFound ? ExitStatus::UnknownHost
                                                                        : ExitStatus::NoAnswer;
}

QString ServerSurvey::reason(int index, const Result &result) const {
    if (!result.failure)
        return {};
    const auto [request, outcome] = *result.failure;
    const QString question = request == ServerQuery::Request::Info      ? QStringLiteral("info")
                             : request == ServerQuery::Request::Players ? QStringLiteral("players")
                                                                        : QStringLiteral("rules");
    switch (outcome) {
    case ServerQuery::Outcome::Answered:
        break;
    case ServerQuery::Outcome::Silent:
        return QStringLiteral("no answer to the %1 query within %2 s")
            .arg(question,
                 QString::number(m_answerTimeoutMs * (ServerQuery::Retries + 1) / 1000.0));
    case ServerQuery::Outcome::HostNotFound:
        return QStringLiteral("cannot find the server %1").arg(m_servers.at(index).host);
    case ServerQuery::Outcome::SendFailed:
        return QStringLiteral("the %1 query could not be sent").arg(question);
    }
    return {};
}
