#pragma once

#include "rcon/servers/savedservers.h"

#include <QList>
#include <QObject>
#include <QString>

class PasswordKeyring;
class RconRequests;

// One command line sent to many servers, each over a session of its own with the rcon password
// kept for it in the desktop keyring, and each server's outcome gathered: its answer, or why
// there is none. Nothing it sends or hears reaches the output window or the log.
//
// A server without a kept password (or with one no server can read) is skipped, with why;
// nothing is asked twice: a refused password counts toward a ban, and a server that does not
// answer within the answer time is "no answer". At most MaxAtOnce servers are asked at a time.
class MultiServerCommand final : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Waiting, Answered, Refused, Banned, NoAnswer, Skipped };
    Q_ENUM(Outcome)

    struct Target {
        QString name; // as the list shows it
        ServerAddress address;
    };
    struct Result {
        Target target;
        Outcome outcome = Outcome::Waiting;
        // Answered: the server's answer as text (UTF-8 when its bytes are, else Latin-1; empty
        // for a command without output); otherwise why there is none.
        QString text;
    };

    static constexpr int MaxAtOnce = 16;

    explicit MultiServerCommand(PasswordKeyring &keyring, QObject *parent = nullptr);
    ~MultiServerCommand() override;

    // Why this command line cannot be sent, or nothing when it can: it is empty or holds a
    // line break (the server's console would run what follows as a command of its own).
    static QString commandProblem(const QString &command);

    // Sends the command to the servers; false (nothing sent) when the command cannot be sent,
    // there are no servers or a command is still under way. The results start out Waiting.
    bool start(const QString &command, const QList<Target> &targets);
    bool isRunning() const { return m_running; }
    const QString &command() const { return m_command; }
    const QList<Result> &results() const { return m_results; }
    // How long each server may take for the challenge and its answer (RconRequests' default
    // when not set).
    void setAnswerTimeout(int ms) { m_answerTimeoutMs = ms; }

    // "answered", "refused", "banned", "no answer", "skipped" ("waiting" before the outcome).
    static QString outcomeText(Outcome outcome);

Q_SIGNALS:
    void resultChanged(int index);
    void finished();

private:
    void next();
    void ask(int index, const QString &password);
    void settle(int index, Outcome outcome, const QString &text);

    PasswordKeyring &m_keyring;
    QString m_command;
    QList<Result> m_results;
    int m_nextIndex = 0;
    int m_underWay = 0;
    int m_left = 0;
    bool m_running = false;
    int m_answerTimeoutMs = 0;
    quint64 m_run = 0; // results of an earlier run that come late are dropped
};
