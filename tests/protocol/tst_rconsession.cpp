// The remote-console session and the requests made over it, without any window, against the
// GoldSrc-like test server on 127.0.0.1: the datagrams sorted as the server meant them, answers
// gathered whole one command at a time, and the ways a session ends.
#include "rcon/protocol/rconrequests.h"
#include "rcon/protocol/rconsession.h"
#include "rcon/protocol/statusparser.h"
#include "tests/support/fakegameserver.h"
#include "tests/support/goldsrcserver.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <algorithm>
#include <memory>

namespace {
using Kind = RconReply::Kind;
using Failure = RconRequests::Failure;

quint16 deadPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// The replies a session hands on, in order.
struct Replies {
    explicit Replies(RconSession &session) {
        QObject::connect(&session, &RconSession::replyReceived,
                         [this](const RconReply &reply) { list.append(reply); });
    }
    bool waitFor(int count) {
        return QTest::qWaitFor([&] { return list.size() >= count; });
    }
    QList<RconReply> list;
};

// What requests answered and why they stopped.
struct Outcome {
    explicit Outcome(RconRequests &requests) {
        QObject::connect(&requests, &RconRequests::answered,
                         [this](const QString &command, const QString &text) {
                             answers.append({command, text});
                         });
        QObject::connect(&requests, &RconRequests::failed,
                         [this](const QString &command, Failure why, const QString &message) {
                             failures.append({command, why});
                             lastMessage = message;
                         });
    }
    QList<std::pair<QString, QString>> answers;
    QList<std::pair<QString, Failure>> failures;
    QString lastMessage;
};
} // namespace

class TestRconSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void repliesAreSortedAsTheServerMeantThem() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        server.setFixedChallenge(1096488632);
        server.setBanPolicy(3, 30000);
        RconSession session;
        Replies replies(session);
        QSignalSpy opened(&session, &RconSession::openChanged);
        QVERIFY(session.open(QStringLiteral("127.0.0.1"), server.port()));
        QCOMPARE(opened.size(), 1);
        session.setPassword(QStringLiteral("secret"));
        QVERIFY(session.requestChallenge());
        QVERIFY(replies.waitFor(1));
        QCOMPARE(replies.list[0].kind, Kind::Challenge);
        QCOMPARE(session.challenge(), QStringLiteral("1096488632"));

        QVERIFY(session.sendCommand(QStringLiteral("hostname")));
        QVERIFY(session.sendCommand(QStringLiteral("sv_gravity 750")));
        // A long listing comes split; the session hands it on joined.
        QVERIFY(session.sendCommand(QStringLiteral("cvarlist")));
        QVERIFY(replies.waitFor(4));
        QCOMPARE(replies.list[1].kind, Kind::Output);
        QVERIFY(replies.list[1].text.contains(QStringLiteral("Talvero Test Server")));
        QCOMPARE(replies.list[2].kind, Kind::Empty);
        QCOMPARE(replies.list[2].text, QString());
        QTRY_VERIFY(std::any_of(replies.list.cbegin(), replies.list.cend(), [](const RconReply &r) {
            return r.text.contains(QStringLiteral("Total CVars"));
        }));

        // The server restarted: it no longer knows the challenge.
        server.forgetChallenges();
        const int before = int(replies.list.size());
        session.sendCommand(QStringLiteral("users"));
        QVERIFY(replies.waitFor(before + 1));
        QCOMPARE(replies.list.last().kind, Kind::NoChallenge);

        // A wrong password, until the server bans the address.
        session.requestChallenge();
        QVERIFY(replies.waitFor(before + 2));
        session.setPassword(QStringLiteral("wrong"));
        for (int i = 0; i < 4; ++i)
            session.sendCommand(QStringLiteral("status"));
        QVERIFY(replies.waitFor(before + 6));
        QCOMPARE(replies.list[before + 2].kind, Kind::Refused);
        QCOMPARE(replies.list.last().kind, Kind::Banned);

        // The challenge outlives the closed session; a closed session sends nothing.
        session.close();
        QCOMPARE(opened.size(), 2);
        QVERIFY(!session.isOpen());
        QVERIFY(!session.challenge().isEmpty());
        QVERIFY(!session.sendCommand(QStringLiteral("status")));
        QVERIFY(!session.open(QString(), server.port()));
        QVERIFY(!session.open(QStringLiteral("127.0.0.1"), 70000));
    }

    void requestsAreAnsweredWholeOneAtATime() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        int asked = 0;
        RconRequests requests([&] {
            ++asked;
            return RconRequests::Endpoint{QStringLiteral("127.0.0.1"), server.port(),
                                          QStringLiteral("secret")};
        });
        requests.setQuietTime(100);
        Outcome outcome(requests);
        requests.send(QStringLiteral("status"), RconRequests::Ending::StatusEnd);
        requests.send(QStringLiteral("cvarlist"), RconRequests::Ending::Quiet);
        requests.send(QStringLiteral("sv_gravity 750"), RconRequests::Ending::Auto);
        requests.send(QStringLiteral("hostname"), RconRequests::Ending::Auto);
        QVERIFY(requests.isPending(QStringLiteral("cvarlist")));
        QTRY_COMPARE(outcome.answers.size(), 4);
        QVERIFY(outcome.failures.isEmpty());
        QCOMPARE(outcome.answers[0].first, QStringLiteral("status"));
        ServerStatus status;
        QVERIFY(StatusParser::parse(outcome.answers[0].second, status));
        QCOMPARE(status.players.size(), server.players().size());
        QCOMPARE(outcome.answers[1].first, QStringLiteral("cvarlist"));
        QVERIFY(outcome.answers[1].second.startsWith(QStringLiteral("CVar List")));
        QVERIFY(outcome.answers[1].second.contains(QStringLiteral("Total CVars")));
        QCOMPARE(outcome.answers[2].second, QString());
        QVERIFY(outcome.answers[3].second.contains(QStringLiteral("Talvero Test Server")));
        // The password is asked for at every command.
        QVERIFY(asked >= 4);
        QVERIFY(requests.isIdle());

        // A server that restarted is asked once for a new challenge.
        server.forgetChallenges();
        requests.send(QStringLiteral("users"));
        QTRY_COMPARE(outcome.answers.size(), 5);
        QCOMPARE(server.executedCommands().last(), QStringLiteral("users"));

        // A command no datagram can carry fails at once, not when the answer time is over.
        requests.setAnswerTimeout(60000);
        requests.send(QString(70000, QLatin1Char('x')));
        QTRY_COMPARE(outcome.failures.size(), 1);
        QCOMPARE(outcome.failures[0].second, Failure::SocketError);
    }

    void requestsStopAtTheFirstFailure() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        QString password = QStringLiteral("wrong");
        quint16 port = server.port();
        QString host = QStringLiteral("127.0.0.1");
        RconRequests requests([&] { return RconRequests::Endpoint{host, port, password}; });
        requests.setAnswerTimeout(400);
        Outcome outcome(requests);

        // Refused: the queue goes with it, so no further try counts toward a ban.
        requests.send(QStringLiteral("status"));
        requests.send(QStringLiteral("users"));
        QTRY_COMPARE(outcome.failures.size(), 1);
        QCOMPARE(outcome.failures[0].second, Failure::Refused);
        QCOMPARE(outcome.lastMessage, QStringLiteral("Bad rcon_password."));
        QVERIFY(requests.isIdle());

        server.ban(QHostAddress::LocalHost);
        password = QStringLiteral("secret");
        requests.send(QStringLiteral("status"));
        QTRY_COMPARE(outcome.failures.size(), 2);
        QCOMPARE(outcome.failures[1].second, Failure::Banned);

        port = deadPort();
        requests.send(QStringLiteral("status"));
        QTRY_COMPARE(outcome.failures.size(), 3);
        QCOMPARE(outcome.failures[2].second, Failure::Unreachable);

        // Silence (a server that drops rcon) is told apart from a refusal.
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
        port = silent.localPort();
        requests.send(QStringLiteral("status"));
        QTRY_COMPARE(outcome.failures.size(), 4);
        QCOMPARE(outcome.failures[3].second, Failure::NoAnswer);

        host = QStringLiteral("no-such-server.invalid");
        requests.send(QStringLiteral("status"));
        QTRY_COMPARE_WITH_TIMEOUT(outcome.failures.size(), 5, 30000);
        QCOMPARE(outcome.failures[4].second, Failure::UnknownHost);
        QVERIFY(outcome.answers.isEmpty());
    }

    // A command sent now goes out at once, outside the queue, with the challenge the session
    // holds: also once the requests have stopped and closed their session, and even when they
    // go right after (the process may end). Never without a challenge: nothing sent before one
    // reaches the server's console.
    void sendNowGoesOutWithTheHeldChallenge() {
        const QByteArray mark("\xFF\xFF\xFF\xFF");
        FakeGameServer server;
        server.setReplies("users", {mark + "lno users\n" + QByteArray(2, '\0')});
        auto requests = std::make_unique<RconRequests>([&] {
            return RconRequests::Endpoint{QStringLiteral("127.0.0.1"), server.port(),
                                          QStringLiteral("secret")};
        });
        Outcome outcome(*requests);
        QVERIFY(!requests->sendNow(QStringLiteral("echo too early")));
        requests->send(QStringLiteral("users"));
        QTRY_COMPARE(outcome.answers.size(), 1);
        requests->stop();

        const int before = int(server.datagrams().size());
        QVERIFY(requests->sendNow(QStringLiteral("logaddress_del 127.0.0.1 27999")));
        requests.reset();
        QVERIFY(server.waitForDatagrams(before + 1));
        QCOMPARE(server.datagrams().last().bytes,
                 mark + "rcon 1234567890 secret logaddress_del 127.0.0.1 27999");
        // One challenge round in all, and nothing of the command sent too early.
        const QList<FakeGameServer::Datagram> &all = server.datagrams();
        const auto challengeRequests = std::count_if(all.begin(), all.end(), [&](const auto &d) {
            return d.bytes == mark + "challenge rcon";
        });
        QCOMPARE(int(challengeRequests), 1);
        QVERIFY(std::none_of(all.begin(), all.end(),
                             [](const auto &d) { return d.bytes.contains("too early"); }));
    }
};

QTEST_MAIN(TestRconSession)
#include "tst_rconsession.moc"
