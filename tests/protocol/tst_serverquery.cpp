// Many servers asked over one socket, against the test game server on 127.0.0.1.
#include "rcon/protocol/serverquery.h"
#include "tests/support/goldsrcserver.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

#include <memory>
#include <vector>

namespace {

using Request = ServerQuery::Request;
using Outcome = ServerQuery::Outcome;

// Everything the engine reported, in order.
struct Reports {
    explicit Reports(ServerQuery &query) {
        QObject::connect(&query, &ServerQuery::infoReceived,
                         [this](const QString &key, const A2s::ServerInfo &info, int ping) {
                             infos[key].append(info);
                             pings.append(ping);
                         });
        QObject::connect(&query, &ServerQuery::playersReceived,
                         [this](const QString &key, const QList<A2s::Player> &list, int) {
                             players[key] = list;
                         });
        QObject::connect(
            &query, &ServerQuery::rulesReceived,
            [this](const QString &key, const QList<A2s::Rule> &list, int) { rules[key] = list; });
        QObject::connect(&query, &ServerQuery::finished,
                         [this](const QString &key, Request request, Outcome outcome) {
                             finished.append({key, request, outcome});
                         });
    }
    struct Finished {
        QString key;
        Request request;
        Outcome outcome;
        bool operator==(const Finished &) const = default;
    };
    QHash<QString, QList<A2s::ServerInfo>> infos;
    QHash<QString, QList<A2s::Player>> players;
    QHash<QString, QList<A2s::Rule>> rules;
    QList<int> pings;
    QList<Finished> finished;
};

// A server that answers only what the test sends, from its own port.
class ScriptedServer final {
public:
    ScriptedServer() {
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams())
                received.append(m_socket.receiveDatagram());
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    void answer(const QByteArray &bytes) {
        m_socket.writeDatagram(bytes, received.last().senderAddress(),
                               quint16(received.last().senderPort()));
    }
    QList<QNetworkDatagram> received;

private:
    QUdpSocket m_socket;
};

QByteArray infoFor(const GoldSrcServer &server) {
    return A2sResponder::infoAnswer(server.queryState());
}

} // namespace

class TestServerQuery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void infoWithAndWithoutChallenge_data() {
        QTest::addColumn<bool>("challenge");
        QTest::newRow("answered at once") << false;
        QTest::newRow("challenge first") << true;
    }
    void infoWithAndWithoutChallenge() {
        QFETCH(bool, challenge);
        GoldSrcServer server;
        QVERIFY(server.listen());
        server.queries().setChallengeRequired(challenge);
        server.setJoinPassword("letmein");
        ServerQuery query;
        Reports reports(query);

        const QString key = query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Info);
        QCOMPARE(key, QStringLiteral("127.0.0.1:%1").arg(server.port()));
        QVERIFY(query.isBusy(key));
        QTRY_COMPARE(reports.finished.size(), 1);
        QCOMPARE(reports.finished.first(),
                 (Reports::Finished{key, Request::Info, Outcome::Answered}));
        QCOMPARE(reports.infos[key].size(), 1);
        const A2s::ServerInfo info = reports.infos[key].first();
        QCOMPARE(info.format, A2s::ServerInfo::Format::Current);
        QCOMPARE(info.name, QStringLiteral("Talvero Test Server"));
        QCOMPARE(info.map, QStringLiteral("de_dust2"));
        QCOMPARE(info.players, 10);
        QCOMPARE(info.bots, 1);
        QCOMPARE(info.maxPlayers, 32);
        QVERIFY(info.joinPassword);
        QVERIFY(info.vac);
        QCOMPARE(info.gamePort.value_or(0), int(server.port()));
        QVERIFY(reports.pings.first() >= 0 && reports.pings.first() < 2000);
        QCOMPARE(server.queries().challengesSent(), challenge ? 1 : 0);

        // The challenge is kept for the next question.
        server.setHostname("Renamed");
        query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Info);
        QTRY_COMPARE(reports.finished.size(), 2);
        QCOMPARE(reports.infos[key].last().name, QStringLiteral("Renamed"));
        QCOMPARE(server.queries().challengesSent(), challenge ? 1 : 0);
        QCOMPARE(server.queries().questions(), challenge ? 3 : 2);
        QCOMPARE(query.dropCounts(), ServerQuery::DropCounts{});
        QVERIFY(!query.isBusy(key));
    }

    void oldAnswerAloneOrBeforeTheCurrentOne_data() {
        QTest::addColumn<bool>("currentFollows");
        QTest::newRow("m") << false;
        QTest::newRow("m then I") << true;
    }
    void oldAnswerAloneOrBeforeTheCurrentOne() {
        QFETCH(bool, currentFollows);
        GoldSrcServer server;
        QVERIFY(server.listen());
        server.queries().setInfoFormat(currentFollows ? A2sResponder::InfoFormat::OldThenCurrent
                                                      : A2sResponder::InfoFormat::Old);
        ServerQuery query;
        // Long when an 'I' is coming, so only its arrival can end the question in time.
        query.setFollowUpTime(currentFollows ? 60000 : 50);
        Reports reports(query);
        const QString key = query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Info);
        QTRY_COMPARE(reports.finished.size(), 1);
        QCOMPARE(reports.finished.first().outcome, Outcome::Answered);

        const QList<A2s::ServerInfo> infos = reports.infos[key];
        QCOMPARE(infos.size(), currentFollows ? 2 : 1);
        QCOMPARE(infos.first().format, A2s::ServerInfo::Format::Old);
        QCOMPARE(infos.first().address, QStringLiteral("127.0.0.1:%1").arg(server.port()));
        QVERIFY(infos.first().mod);
        QCOMPARE(infos.last().format,
                 currentFollows ? A2s::ServerInfo::Format::Current : A2s::ServerInfo::Format::Old);
        // Both tell the same story.
        for (const A2s::ServerInfo &info : infos) {
            QCOMPARE(info.name, QStringLiteral("Talvero Test Server"));
            QCOMPARE(info.players, 10);
            QCOMPARE(info.bots, 1);
            QCOMPARE(info.serverType, A2s::ServerInfo::ServerType::Dedicated);
        }
        QCOMPARE(query.dropCounts(), ServerQuery::DropCounts{});
    }

    void playersWithTheirNamesAsSent() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        ServerQuery query;
        Reports reports(query);
        const QString key = query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Info);
        // Asked again while under way or waiting: asked once.
        query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Players);
        query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Info);
        query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Players);
        QTRY_COMPARE(reports.finished.size(), 2);
        QCOMPARE(reports.finished.at(0).request, Request::Info);
        QCOMPARE(reports.finished.at(1).request, Request::Players);
        QCOMPARE(reports.finished.at(1).outcome, Outcome::Answered);

        const QList<A2s::Player> players = reports.players[key];
        QCOMPARE(players.size(), server.players().size());
        for (qsizetype i = 0; i < players.size(); ++i) {
            const GoldSrcServer::Player &expected = server.players().at(i);
            QCOMPARE(players.at(i).name, QString::fromUtf8(expected.name));
            QCOMPARE(players.at(i).score, expected.frags);
            QCOMPARE(players.at(i).seconds, double(expected.seconds));
        }
        QVERIFY(players.contains(A2s::Player{QStringLiteral("Zo\u00EB \u2605 UTF-8"), 5, 300}));
        // One info question, and the players question after its challenge round.
        QCOMPARE(server.queries().questions(), 3);
    }

    void rulesOverSeveralDatagramsInAnyOrder_data() {
        QTest::addColumn<A2sResponder::SplitOrder>("order");
        QTest::newRow("reversed") << A2sResponder::SplitOrder::Reversed;
        QTest::newRow("shuffled") << A2sResponder::SplitOrder::Shuffled;
    }
    void rulesOverSeveralDatagramsInAnyOrder() {
        QFETCH(A2sResponder::SplitOrder, order);
        GoldSrcServer server;
        QVERIFY(server.listen());
        QList<A2sResponder::Rule> rules;
        QList<A2s::Rule> expected;
        for (int i = 0; i < 200; ++i) {
            const QByteArray name = "setting_number_" + QByteArray::number(i);
            const QByteArray value = i % 3 ? QByteArray::number(i * 7) : "caf\xC3\xA9\tau lait";
            rules.append({name, value});
            expected.append({QString::fromLatin1(name),
                             i % 3 ? QString::number(i * 7) : QStringLiteral("caf\u00E9 au lait")});
        }
        QVERIFY(A2sResponder::rulesAnswer(rules).size() > 3 * A2sResponder::MaxDatagram);
        server.queries().setRules(rules);
        server.queries().setSplitOrder(order);
        ServerQuery query;
        Reports reports(query);
        const QString key = query.ask(QStringLiteral("localhost"), server.port(), Request::Rules);
        QTRY_COMPARE(reports.finished.size(), 1);
        QCOMPARE(reports.finished.first().outcome, Outcome::Answered);
        QCOMPARE(reports.rules[key], expected);
        QCOMPARE(query.dropCounts(), ServerQuery::DropCounts{});

        // The server's own rules need several datagrams too, and show whether it has a join
        // password.
        server.setJoinPassword("letmein");
        const QList<A2sResponder::Rule> own = A2sResponder::defaultRules(server.queryState());
        QVERIFY(A2sResponder::rulesAnswer(own).size() > A2sResponder::MaxDatagram);
        QVERIFY(own.contains(A2sResponder::Rule("sv_password", "1")));
    }

    void silentServerAfterOneRetry() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        server.queries().setSilent(true);
        ServerQuery query;
        query.setAnswerTimeout(100);
        Reports reports(query);
        const QString key = query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Info);
        query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Rules);
        QTRY_COMPARE(reports.finished.size(), 2);
        QCOMPARE(reports.finished.at(0), (Reports::Finished{key, Request::Info, Outcome::Silent}));
        QCOMPARE(reports.finished.at(1), (Reports::Finished{key, Request::Rules, Outcome::Silent}));
        QCOMPARE(server.queries().questions(), 4);
        QVERIFY(reports.infos.isEmpty() && reports.rules.isEmpty());

        // Back again: the next question is answered.
        server.queries().setSilent(false);
        query.ask(QStringLiteral("127.0.0.1"), server.port(), Request::Info);
        QTRY_COMPARE(reports.finished.size(), 3);
        QCOMPARE(reports.finished.last().outcome, Outcome::Answered);
    }

    void hostThatCannotBeFound() {
        ServerQuery query;
        query.setAnswerTimeout(500);
        Reports reports(query);
        const QString key =
            query.ask(QStringLiteral("no-such-server.invalid"), 27015, Request::Info);
        query.ask(QStringLiteral("no-such-server.invalid"), 27015, Request::Players);
        QTRY_COMPARE(reports.finished.size(), 2);
        QCOMPARE(reports.finished.at(0),
                 (Reports::Finished{key, Request::Info, Outcome::HostNotFound}));
        QCOMPARE(reports.finished.at(1),
                 (Reports::Finished{key, Request::Players, Outcome::HostNotFound}));
        QCOMPARE(query.ask(QString(), 27015, Request::Info), QString());
        QCOMPARE(query.ask(QStringLiteral("127.0.0.1"), 0, Request::Info), QString());
    }

    void whatWasNotAskedForIsDroppedAndCounted() {
        ScriptedServer scripted;
        GoldSrcServer reference;
        ServerQuery query;
        Reports reports(query);
        const QString key = query.ask(QStringLiteral("127.0.0.1"), scripted.port(), Request::Info);
        QTRY_COMPARE(scripted.received.size(), 1);
        QCOMPARE(scripted.received.first().data(), A2s::infoRequest());
        const QByteArray good = infoFor(reference);

        // From another port of the same address: a stranger.
        QUdpSocket stranger;
        stranger.writeDatagram(good, QHostAddress::LocalHost, query.localPort());
        QTRY_COMPARE(query.dropCounts().strangers, 1u);
        // Cut short, a split part claiming 15 parts: not readable.
        scripted.answer(good.chopped(30));
        QByteArray fifteen = GoldSrcServer::splitPacket(good.repeated(2), 5, 200).first();
        fifteen[8] = char(0x0F);
        scripted.answer(fifteen);
        QTRY_COMPARE(query.dropCounts().malformed, 2u);
        // Readable, but the answer to another question.
        scripted.answer(A2sResponder::rulesAnswer({{"sv_gravity", "800"}}));
        QTRY_COMPARE(query.dropCounts().unexpected, 1u);
        QVERIFY(reports.infos.isEmpty() && reports.finished.isEmpty());

        // Half a split answer, then the real one: the half is dropped when the question ends.
        scripted.answer(GoldSrcServer::splitPacket(good.repeated(3), 6, 200).first());
        scripted.answer(good);
        QTRY_COMPARE(reports.finished.size(), 1);
        QCOMPARE(reports.infos[key].size(), 1);
        QCOMPARE(reports.infos[key].first().name, QStringLiteral("Talvero Test Server"));
        QCOMPARE(query.dropCounts().incompleteSplits, 1u);

        // An answer after the question ended, and one after the server was forgotten.
        scripted.answer(good);
        QTRY_COMPARE(query.dropCounts().strangers, 2u);
        query.ask(QStringLiteral("127.0.0.1"), scripted.port(), Request::Info);
        QTRY_COMPARE(scripted.received.size(), 2);
        query.forget(key);
        QVERIFY(!query.isBusy(key));
        scripted.answer(good);
        QTRY_COMPARE(query.dropCounts().strangers, 3u);
        QCOMPARE(reports.infos[key].size(), 1);
        QCOMPARE(reports.finished.size(), 1);
        QCOMPARE(query.dropCounts().malformed, 2u);
        QCOMPARE(query.dropCounts().unexpected, 1u);
    }

    void fiveHundredServersAtOnce() {
        std::vector<std::unique_ptr<GoldSrcServer>> servers;
        for (int i = 0; i < 500; ++i) {
            servers.push_back(std::make_unique<GoldSrcServer>());
            QVERIFY(servers.back()->listen());
            servers.back()->setHostname("server " + QByteArray::number(i));
            servers.back()->queries().setChallengeRequired(i % 2 == 1);
        }
        ServerQuery query;
        // Smaller than any system grants by default: the answers must still all fit.
        query.setReceiveBufferSize(100 * 1024);
        Reports reports(query);
        QStringList keys;
        for (const auto &server : servers) {
            keys.append(query.ask(QStringLiteral("127.0.0.1"), server->port(), Request::Info));
            query.ask(QStringLiteral("127.0.0.1"), server->port(), Request::Rules);
        }
        QCOMPARE(query.busyCount(), 500);
        QTRY_COMPARE_WITH_TIMEOUT(reports.finished.size(), 1000, 20000);
        for (int i = 0; i < 500; ++i) {
            QCOMPARE(reports.infos[keys.at(i)].size(), 1);
            QCOMPARE(reports.infos[keys.at(i)].first().name, QStringLiteral("server %1").arg(i));
            QCOMPARE(reports.rules[keys.at(i)].size(), 113);
            // One challenge round each, and no question asked again for a lost answer.
            QCOMPARE(servers.at(i)->queries().questions(), 3);
        }
        QVERIFY(std::all_of(reports.finished.cbegin(), reports.finished.cend(),
                            [](const auto &f) { return f.outcome == Outcome::Answered; }));
        QCOMPARE(query.dropCounts(), ServerQuery::DropCounts{});
        QCOMPARE(query.busyCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServerQuery)
#include "tst_serverquery.moc"
