// The local game server answers as a GoldSrc engine does.
#include "tests/support/goldsrcserver.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

namespace {

// A bare client: sends raw datagrams and collects what comes back.
class Client final {
public:
    explicit Client(quint16 serverPort)
        : m_port(serverPort) {
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams())
                replies.append(m_socket.receiveDatagram().data());
        });
    }
    // Sends and waits for the first reply to it; the reply, or empty when none came.
    QByteArray ask(const QByteArray &text) {
        const qsizetype before = replies.size();
        m_socket.writeDatagram(GoldSrcServer::mark() + text, QHostAddress::LocalHost, m_port);
        if (!QTest::qWaitFor([&] { return replies.size() > before; }, 5000))
            return {};
        return replies.at(before);
    }
    QByteArray challenge() {
        const QByteArray reply = ask("challenge rcon");
        return reply.mid(19).chopped(2);
    }
    QList<QByteArray> replies;

private:
    QUdpSocket m_socket;
    quint16 m_port;
};

} // namespace

class TestGoldSrcServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void challengeReplyHasTheEngineLayout() {
        GoldSrcServer server;
        server.setFixedChallenge(123456789);
        QVERIFY(server.listen());
        Client client(server.port());
        const QByteArray reply = client.ask("challenge rcon");
        QCOMPARE(reply, QByteArray("\xFF\xFF\xFF\xFF"
                                   "challenge rcon 123456789\n\0",
                                   30));
        QCOMPARE(client.challenge(), QByteArray("123456789"));
    }

    void commandsAnswerWithOutputOrTheEmptyAcknowledgement() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        Client client(server.port());
        const QByteArray challenge = client.challenge();
        QCOMPARE(client.ask("rcon " + challenge + " secret hostname"),
                 GoldSrcServer::consoleReply("\"hostname\" is \"Talvero Test Server\"\n"));
        const QByteArray empty = client.ask("rcon " + challenge + " secret sv_gravity 600");
        QCOMPARE(empty, QByteArray("\xFF\xFF\xFF\xFFl\0\0", 7));
        QCOMPARE(client.ask("rcon " + challenge + " secret sv_gravity"),
                 GoldSrcServer::consoleReply("\"sv_gravity\" is \"600\"\n"));
        QCOMPARE(client.ask("rcon " + challenge +
                            " secret admin_command admin_tsay yellow \"hi there\""),
                 GoldSrcServer::consoleReply("[ADMIN] hi there\n"));
        QCOMPARE(server.executedCommands().size(), 4);
    }

    void passwordWithASpaceMatchesOnlyInQuotes() {
        GoldSrcServer server;
        server.setPassword("my pass");
        QVERIFY(server.listen());
        Client client(server.port());
        const QByteArray challenge = client.challenge();
        QCOMPARE(client.ask("rcon " + challenge + " my pass echo hi"),
                 GoldSrcServer::badPasswordReply());
        QCOMPARE(client.ask("rcon " + challenge + " \"my pass\" echo hi"),
                 GoldSrcServer::consoleReply("hi\n"));
    }

    void fiveWrongPasswordsBanTheAddress() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        Client client(server.port());
        const QByteArray challenge = client.challenge();
        for (int i = 0; i < 5; ++i) {
            const QByteArray reply = client.ask("rcon " + challenge + " wrong status");
            QCOMPARE(reply, GoldSrcServer::badPasswordReply());
            QCOMPARE(reply.size(), 26);
        }
        QVERIFY(server.isBanned(QHostAddress::LocalHost));
        const QByteArray banned = client.ask("rcon " + challenge + " secret status");
        QCOMPARE(banned, GoldSrcServer::banNotice());
        QCOMPARE(banned.size(), 45);
        QCOMPARE(client.ask("challenge rcon"), GoldSrcServer::banNotice());
        QVERIFY(server.executedCommands().isEmpty());
    }

    void staleOrMissingChallengeIsRefused() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        Client client(server.port());
        const QByteArray refused("\xFF\xFF\xFF\xFF"
                                 "9No challenge for your address.\n\0",
                                 37);
        QCOMPARE(client.ask("rcon  secret status"), refused);
        const QByteArray challenge = client.challenge();
        server.forgetChallenges();
        QCOMPARE(client.ask("rcon " + challenge + " secret status"), refused);
        QVERIFY(server.executedCommands().isEmpty());
    }

    void longOutputComesInSplitDatagrams() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        Client client(server.port());
        const QByteArray challenge = client.challenge();
        const qsizetype before = client.replies.size();
        client.ask("rcon " + challenge + " secret maps *");
        QTRY_VERIFY(joinedSince(client, before).contains("ka_map40.bsp"));
        const QList<QByteArray> datagrams = client.replies.mid(before);
        QVERIFY(datagrams.size() >= 2);
        QVERIFY(datagrams.first().startsWith("\xFE\xFF\xFF\xFF"));
        for (const QByteArray &datagram : datagrams)
            QVERIFY(datagram.size() <= GoldSrcServer::MaxDatagram);
        const QByteArray joined = joinedSince(client, before);
        QVERIFY(joined.startsWith(GoldSrcServer::mark() + "l-------------\n"));
        QVERIFY(joined.endsWith(QByteArray("\n\0\0", 3)));
    }

private:
    // The bytes of every reply since the given one, split parts without their headers.
    static QByteArray joinedSince(const Client &client, qsizetype first) {
        QByteArray joined;
        for (const QByteArray &datagram : client.replies.mid(first))
            joined += datagram.startsWith("\xFE\xFF\xFF\xFF") ? datagram.mid(9) : datagram;
        return joined;
    }
};

QTEST_MAIN(TestGoldSrcServer)
#include "tst_goldsrcserver.moc"
