#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The server queries as a GoldSrc game server answers them on its game port: A2S_INFO with an
// 'I' answer, the older 'm' answer, or 'm' then 'I'; A2S_PLAYER and A2S_RULES always through a
// challenge ('A' with four bytes, then 'D' and 'E'); A2S_INFO through it too when the server
// insists. An answer longer than one datagram goes out in the engine's split format, its parts
// in order, reversed or shuffled. The game server hands in what it is at each question.
class A2sResponder final {
public:
    enum class InfoFormat { Current, Old, OldThenCurrent };
    enum class SplitOrder { InOrder, Reversed, Shuffled };
    using Rule = std::pair<QByteArray, QByteArray>;

    // What the game server is at the moment of a question.
    struct State {
        struct Player {
            QByteArray name; // the bytes the client chose
            int frags = 0;
            int seconds = 0;
            bool bot = false;
        };
        QByteArray hostname;
        QByteArray map;
        quint16 port = 0;
        int maxPlayers = 0;
        QList<Player> players;
        QByteArray joinPassword; // sv_password
        QByteArray gravity;
        bool vac = true;
    };

    static constexpr int Protocol = 48;
    static constexpr int AppId = 10;
    static constexpr int MaxDatagram = 1400;

    // A question of the server queries: FF FF FF FF and 'T', 'U' or 'V'.
    static bool isQuery(const QByteArray &datagram);
    // The datagrams that answer a question from this address, in the order they go out.
    QList<QByteArray> answer(const QByteArray &datagram, const QHostAddress &from,
                             const State &state);

    void setChallengeRequired(bool required) { m_challengeRequired = required; }
    void setInfoFormat(InfoFormat format) { m_infoFormat = format; }
    void setSplitOrder(SplitOrder order) { m_splitOrder = order; }
    // The rules answered instead of the server's own (its settings and a few dozen more, enough
    // to need several datagrams).
    void setRules(const QList<Rule> &rules) { m_rules = rules; }
    void setSilent(bool silent) { m_silent = silent; }

    // Questions received (also while silent), and 'A' answers sent.
    int questions() const { return m_questions; }
    int challengesSent() const { return m_challengesSent; }

    static QList<Rule> defaultRules(const State &state);
    static QByteArray infoAnswer(const State &state);
    static QByteArray oldInfoAnswer(const State &state);
    static QByteArray playersAnswer(const State &state);
    static QByteArray rulesAnswer(const QList<Rule> &rules);

private:
    QList<QByteArray> datagrams(const QByteArray &payload);

    bool m_challengeRequired = false;
    InfoFormat m_infoFormat = InfoFormat::Current;
    SplitOrder m_splitOrder = SplitOrder::Shuffled;
    std::optional<QList<Rule>> m_rules;
    bool m_silent = false;
    QHash<QString, quint32> m_challenges;
    quint32 m_splitId = 1;
    int m_questions = 0;
    int m_challengesSent = 0;
};
