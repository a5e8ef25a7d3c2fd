#include "rcon/servers/multiservercommand.h"

#include "rcon/protocol/rconcodec.h"
#include "rcon/protocol/rconrequests.h"
#include "rcon/protocol/statusparser.h"
#include "rcon/servers/passwordkeyring.h"

MultiServerCommand::MultiServerCommand(PasswordKeyring &keyring, QObject *parent)
    : QObject(parent)
    , m_keyring(keyring) {}

MultiServerCommand::~MultiServerCommand() = default;

QString MultiServerCommand::commandProblem(const QString &command) {
    if (command.trimmed().isEmpty())
        return QStringLiteral("Type the command to send.");
    if (command.contains(QLatin1Char('\n')) || command.contains(QLatin1Char('\r')))
        return QStringLiteral("The command must be one line.");
    return {};
}

QString MultiServerCommand::outcomeText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Waiting:
        return QStringLiteral("waiting");
    case Outcome::Answered:
        return QStringLiteral("answered");
    case Outcome::Refused:
        return QStringLiteral("refused");
    case Outcome::Banned:
        return QStringLiteral("banned");
    case Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case Outcome::Skipped:
        return QStringLiteral("skipped");
    }
    return {};
}

bool MultiServerCommand::start(const QString &command, const QList<Target> &targets) {
    if (m_running || targets.isEmpty() || !commandProblem(command).isEmpty())
        return false;
    ++m_run;
    m_command = command.trimmed();
    m_results.clear();
    for (const Target &target : targets)
        m_results.append(Result{target, Outcome::Waiting, {}});
    m_nextIndex = 0;
    m_underWay = 0;
    m_left = int(m_results.size());
    m_running = true;
    next();
    return true;
}

void MultiServerCommand::next() {
    while (m_running && m_underWay < MaxAtOnce && m_nextIndex < m_results.size()) {
        const int index = m_nextIndex++;
        ++m_underWay;
        const quint64 run = m_run;
        m_keyring.read(m_results.at(index).target.address.keyringKey(),
                       [this, index, run](const PasswordKeyring::Result &kept) {
                           if (run != m_run)
                               return;
                           switch (kept.status) {
                           case PasswordKeyring::Status::Done:
                               ask(index, kept.password);
                               return;
                           case PasswordKeyring::Status::NotFound:
                               settle(index, Outcome::Skipped,
                                      QStringLiteral("No rcon password is kept for this server."));
                               return;
                           case PasswordKeyring::Status::NoKeyring:
                           case PasswordKeyring::Status::Failed:
                               settle(index, Outcome::Skipped, kept.message);
                               return;
                           }
                       });
    }
}

void MultiServerCommand::ask(int index, const QString &password) {
    // A password the server would read otherwise than meant is never sent toward a ban.
    const QString problem = RconCodec::passwordProblem(password);
    if (!problem.isEmpty())
        return settle(index, Outcome::Skipped, problem);
    const ServerAddress address = m_results.at(index).target.address;
    auto *requests = new RconRequests(
        [address, password] {
            return RconRequests::Endpoint{address.host, address.port, password};
        },
        this);
    if (m_answerTimeoutMs > 0)
        requests->setAnswerTimeout(m_answerTimeoutMs);
    connect(requests, &RconRequests::answered, this,
            [this, index, requests](const QString &, const QString &text) {
                settle(index, Outcome::Answered, StatusParser::displayText(text).trimmed());
                requests->stop();
                requests->deleteLater();
            });
    connect(requests, &RconRequests::failed, this,
            [this, index, requests](const QString &, RconRequests::Failure failure,
                                    const QString &message) {
                const Outcome outcome = failure == RconRequests::Failure::Refused ? Outcome::Refused
                                        : failure == RconRequests::Failure::Banned
                                            ? Outcome::Banned
                                            : Outcome::NoAnswer;
                settle(index, outcome, StatusParser::displayText(message).trimmed());
                requests->stop();
                requests->deleteLater();
            });
    requests->send(m_command, RconRequests::Ending::Auto);
}

void MultiServerCommand::settle(int index, Outcome outcome, const QString &text) {
    Result &result = m_results[index];
    if (result.outcome != Outcome::Waiting)
        return;
    result.outcome = outcome;
    result.text = text;
    --m_underWay;
    --m_left;
    Q_EMIT resultChanged(index);
    if (m_left == 0) {
        m_running = false;
        Q_EMIT finished();
        return;
    }
    next();
}
