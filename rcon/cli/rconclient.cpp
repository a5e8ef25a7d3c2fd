#include "rcon/cli/rconclient.h"

#include "rcon/cli/exitstatus.h"

#include <QCoreApplication>
#include <QEventLoop>

RconClient::RconClient(const RconRequests::Endpoint &endpoint, int answerTimeoutMs, int quietMs,
                       QObject *parent)
    : QObject(parent)
    , m_endpoint(endpoint)
    , m_answerTimeoutMs(answerTimeoutMs)
    , m_requests([this] { return m_endpoint; }) {
    m_requests.setAnswerTimeout(answerTimeoutMs);
    m_requests.setQuietTime(quietMs);
    connect(&m_requests, &RconRequests::answered, this, &RconClient::answered);
    connect(&m_requests, &RconRequests::failed, this,
            [this](const QString &, RconRequests::Failure failure, const QString &message) {
                if (m_failure)
                    return;
                m_failure = Outcome{false, {}, failure, message};
                emit failed(*m_failure);
            });
}

void RconClient::send(const QString &command) {
    // After a failure the queue is gone and failed() has been told already.
    if (!m_failure)
        m_requests.send(command, RconRequests::Ending::Auto);
}

RconClient::Outcome RconClient::run(const QString &command) {
    // Datagrams that came after the last answer was taken as whole (while the next line was
    // being typed) belong to no command: they are read and dropped before the next one goes.
    QCoreApplication::processEvents();
    if (m_failure)
        return *m_failure;

    std::optional<Outcome> outcome;
    QEventLoop loop;
    const QMetaObject::Connection answeredNow =
        connect(this, &RconClient::answered, &loop, [&](const QString &, const QString &text) {
            outcome = Outcome{true, text, {}, {}};
            loop.quit();
        });
    const QMetaObject::Connection failedNow =
        connect(this, &RconClient::failed, &loop, [&](const Outcome &failure) {
            outcome = failure;
            loop.quit();
        });
    send(command);
    // The requests always end in one of the two: the answer timer covers the silent server.
    while (!outcome)
        loop.exec();
    disconnect(answeredNow);
    disconnect(failedNow);
    return *outcome;
}

int RconClient::exitStatus(RconRequests::Failure failure) {
    using Failure = RconRequests::Failure;
    switch (failure) {
    case Failure::Refused:
        return ExitStatus::Refused;
    case Failure::Banned:
        return ExitStatus::Banned;
    case Failure::UnknownHost:
        return ExitStatus::UnknownHost;
    case Failure::NoChallenge:
    case Failure::NoAnswer:
    case Failure::Unreachable:
    case Failure::SocketError:
        break;
    }
    return ExitStatus::NoAnswer;
}

QString RconClient::describe(const Outcome &outcome) const {
    return sentence(outcome, true);
}

QString RconClient::reason(const Outcome &outcome) const {
    return sentence(outcome, false);
}

QString RconClient::sentence(const Outcome &outcome, bool namingServer) const {
    using Failure = RconRequests::Failure;
    const QString server = namingServer
                               ? QStringLiteral("%1:%2 ").arg(m_endpoint.host).arg(m_endpoint.port)
                               : QString();
    const QString words = outcome.message.isEmpty()
                              ? QString()
                              : QStringLiteral(" (%1)").arg(outcome.message.trimmed());
    switch (outcome.failure) {
    case Failure::Refused:
        return QStringLiteral("%1refused the password%2").arg(server, words);
    case Failure::Banned:
        return QStringLiteral("%1has banned this address%2").arg(server, words);
    case Failure::NoChallenge:
        return QStringLiteral("%1keeps forgetting its challenge%2").arg(server, words);
    case Failure::NoAnswer:
        return QStringLiteral("no answer %1within %2 s")
            .arg(namingServer ? QStringLiteral("from ") + server : QString(),
                 QString::number(m_answerTimeoutMs / 1000.0));
    case Failure::Unreachable:
        return QStringLiteral("%1cannot be reached%2").arg(server, words);
    case Failure::UnknownHost:
        return QStringLiteral("cannot find the server %1%2").arg(m_endpoint.host, words);
    case Failure::SocketError:
        return namingServer ? QStringLiteral("%1:%2: %3")
                                  .arg(m_endpoint.host)
                                  .arg(m_endpoint.port)
                                  .arg(outcome.message)
                            : outcome.message;
    }
    return server.trimmed();
}
