// The local game server answers as a GoldSrc engine does.
#include "tests/support/goldsrcserver.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
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
    QByteArray rcon(const QByteArray &challenge, const QByteArray &command) {
        return ask("rcon " + challenge + " secret " + command);
    }
    quint16 port() const { return m_socket.localPort(); }
    QList<QByteArray> replies;

private:
    QUdpSocket m_socket;
    quint16 m_port;
};

// Where the server's log goes: a plain socket that keeps every datagram with its sender.
class LogReceiver final {
public:
    LogReceiver() {
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] { drain(); });
    }
    quint16 port() const { return m_socket.localPort(); }
    QByteArray address() const { return "127.0.0.1 " + QByteArray::number(port()); }
    // Everything received so far, including what the socket holds but has not announced.
    const QList<QNetworkDatagram> &datagrams() {
        drain();
        return m_datagrams;
    }
    // The events of the log lines received, or the whole datagram where one is malformed.
    QList<QByteArray> events() {
        static const QRegularExpression line(
            QStringLiteral("\\A\xFF\xFF\xFF\xFFlog L \\d\\d/\\d\\d/\\d{4} - "
                           "\\d\\d:\\d\\d:\\d\\d: (.*)\n\\x00\\z"),
            QRegularExpression::DotMatchesEverythingOption);
        QList<QByteArray> result;
        for (const QNetworkDatagram &datagram : datagrams()) {
            const QRegularExpressionMatch match = line.match(QString::fromLatin1(datagram.data()));
            result.append(match.hasMatch() ? match.captured(1).toLatin1() : datagram.data());
        }
        return result;
    }
    bool waitFor(const QByteArray &event) {
        return QTest::qWaitFor([&] { return events().contains(event); }, 5000);
    }

private:
    void drain() {
        while (m_socket.hasPendingDatagrams())
            m_datagrams.append(m_socket.receiveDatagram());
    }
    QUdpSocket m_socket;
    QList<QNetworkDatagram> m_datagrams;
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

    // The engine compares the datagram's third word, as its console parser reads it, with its
    // password.
    void passwordIsTheThirdWordAsTheEngineReadsIt_data() {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("blank, bare: \"my\"")
            << QByteArray("my pass") << QByteArray("my pass") << false;
        QTest::newRow("blank, quoted")
            << QByteArray("my pass") << QByteArray("\"my pass\"") << true;
        QTest::newRow("tab, bare: \"pass\"")
            << QByteArray("pass\tword") << QByteArray("pass\tword") << false;
        QTest::newRow("' : , bare: \"it\"")
            << QByteArray("it's:a,b") << QByteArray("it's:a,b") << false;
        QTest::newRow("' : , quoted")
            << QByteArray("it's:a,b") << QByteArray("\"it's:a,b\"") << true;
        QTest::newRow("( ) bare: \"x\"") << QByteArray("x(1)") << QByteArray("x(1)") << false;
        QTest::newRow("{ } bare: \"a\"") << QByteArray("a{b}") << QByteArray("a{b}") << false;
        QTest::newRow("a quote inside a bare word is part of it")
            << QByteArray("pa\"ss") << QByteArray("pa\"ss") << true;
        QTest::newRow("// bare: a comment, no password")
            << QByteArray("//secret") << QByteArray("//secret") << false;
        QTest::newRow("// quoted") << QByteArray("//secret") << QByteArray("\"//secret\"") << true;
    }
    void passwordIsTheThirdWordAsTheEngineReadsIt() {
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, sent);
        QFETCH(bool, accepted);
        GoldSrcServer server;
        server.setPassword(password);
        QVERIFY(server.listen());
        Client client(server.port());
        const QByteArray challenge = client.challenge();
        QCOMPARE(client.ask("rcon " + challenge + ' ' + sent + " echo hi"),
                 accepted ? GoldSrcServer::consoleReply("hi\n")
                          : GoldSrcServer::badPasswordReply());
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

    void registeredAddressGetsEachLogLineFromTheServerSocket() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        Client client(server.port());
        LogReceiver log;
        const QByteArray challenge = client.challenge();
        QCOMPARE(client.rcon(challenge, "logaddress_add " + log.address()),
                 GoldSrcServer::consoleReply(
                     "logaddress_add:  127.0.0.1:" + QByteArray::number(log.port()) + "\n"));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        QCOMPARE(client.rcon(challenge, "say \"hello there\""),
                 GoldSrcServer::emptyAcknowledgement());
        QVERIFY(log.waitFor("Server say \"hello there\""));
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);

        // The registration's own request came before there was anywhere to log it.
        QCOMPARE(log.datagrams().size(), 2);
        QVERIFY(log.events().first().startsWith("Rcon: \"rcon " + challenge + " secret say "));
        const QNetworkDatagram said = log.datagrams().last();
        QCOMPARE(said.senderAddress(), QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(said.senderPort(), int(server.port()));
        const QByteArray bytes = said.data();
        QVERIFY(bytes.startsWith("\xFF\xFF\xFF\xFFlog L "));
        QVERIFY(bytes.endsWith(QByteArrayLiteral("Server say \"hello there\"\n\0")));
        const QDateTime stamped = QDateTime::fromString(QString::fromLatin1(bytes.mid(10, 21)),
                                                        QStringLiteral("MM/dd/yyyy - HH:mm:ss"));
        QVERIFY2(stamped >= before.addMSecs(-before.time().msec()) && stamped <= after,
                 bytes.constData() + 4);

        QCOMPARE(GoldSrcServer::logDatagram(GoldSrcServer::logLine(
                     QDateTime(QDate(2026, 12, 8), QTime(9, 29, 7)), "Server say \"hello\"")),
                 QByteArrayLiteral(
                     "\xFF\xFF\xFF\xFFlog L 12/08/2026 - 09:29:07: Server say \"hello\"\n\0"));
    }

    void rconLineCarriesTheRequestAsSent() {
        GoldSrcServer server;
        server.setPassword("pass word");
        server.setFixedChallenge(1096488632);
        QVERIFY(server.listen());
        LogReceiver log;
        QVERIFY(server.addLogAddress(QHostAddress::LocalHost, log.port()));
        Client client(server.port());
        client.challenge();
        const QByteArray from = " from \"127.0.0.1:" + QByteArray::number(client.port()) + '"';
        client.ask("rcon 1096488632 \"pass word\" sv_gravity 750\n");
        client.ask("rcon 1096488632 \"pass word\" sv_gravity 750");
        QCOMPARE(client.ask("rcon 1096488632 pass word say hi"), GoldSrcServer::badPasswordReply());
        client.ask("rcon 1096488632 \"pass word\" say  hi  ");
        client.ask("rcon 1096488632 \"pass word\" say bye\n");
        QVERIFY(log.waitFor("Server say \"bye\n\""));
        QCOMPARE(log.events(),
                 (QList<QByteArray>{
                     "Rcon: \"rcon 1096488632 \"pass word\" sv_gravity 750\n\"" + from,
                     "Server cvar \"sv_gravity\" = \"750\"",
                     // Setting the same value again changes nothing worth logging.
                     "Rcon: \"rcon 1096488632 \"pass word\" sv_gravity 750\"" + from,
                     "Bad Rcon: \"rcon 1096488632 pass word say hi\"" + from,
                     "Rcon: \"rcon 1096488632 \"pass word\" say  hi  \"" + from,
                     "Server say \"hi  \"",
                     "Rcon: \"rcon 1096488632 \"pass word\" say bye\n\"" + from,
                     "Server say \"bye\n\"",
                 }));
    }

    void deletedAddressGetsNoMore() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        Client client(server.port());
        LogReceiver leaving;
        LogReceiver staying;
        const QByteArray challenge = client.challenge();
        QCOMPARE(client.rcon(challenge, "logaddress_del " + leaving.address()),
                 GoldSrcServer::consoleReply("logaddress_del:  No addresses added yet\n"));
        client.rcon(challenge, "logaddress_add " + leaving.address());
        client.rcon(challenge, "logaddress_add " + staying.address());
        QCOMPARE(client.rcon(challenge, "logaddress_del " + leaving.address()),
                 GoldSrcServer::consoleReply(
                     "deleting:  127.0.0.1:" + QByteArray::number(leaving.port()) + "\n"));
        QCOMPARE(client.rcon(challenge, "logaddress_del " + leaving.address()),
                 GoldSrcServer::consoleReply("logaddress_del:  Couldn't find address in list\n"));
        client.rcon(challenge, "say after");
        QVERIFY(staying.waitFor("Server say \"after\""));
        // The deletion's own request was still logged to the address it removed.
        QCOMPARE(leaving.events().size(), 2);
        QVERIFY(leaving.events().first().contains(" secret logaddress_add "));
        QVERIFY(leaving.events().last().contains(" secret logaddress_del "));
        QCOMPARE(server.logAddresses(),
                 QStringList{"127.0.0.1:" + QString::number(staying.port())});
    }

    void addressListAndBadArguments() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        Client client(server.port());
        const QByteArray challenge = client.challenge();
        client.rcon(challenge, "logaddress_add 127.0.0.1 40000");
        client.rcon(challenge, "logaddress_add 127.0.0.2 40001");
        QCOMPARE(client.rcon(challenge, "logaddress_add 127.0.0.1 40000"),
                 GoldSrcServer::consoleReply("logaddress_add:  address already in list\n"));
        QCOMPARE(client.rcon(challenge, "logaddress_add"),
                 GoldSrcServer::consoleReply("logaddress_add:  usage\nlogaddress_add ip port\n"
                                             "current:  127.0.0.1:40000\n"
                                             "current:  127.0.0.2:40001\n"));
        QCOMPARE(client.rcon(challenge, "logaddress_add 127.0.0.1 forty"),
                 GoldSrcServer::consoleReply("logaddress_add:  must specify a valid port\n"));
        QCOMPARE(client.rcon(challenge, "logaddress_del 127.0.0.1 70000"),
                 GoldSrcServer::consoleReply("logaddress_del:  must specify a valid port\n"));
        for (const QByteArray ip : {"localhost", "127.0.1", "::1", "127.0.0.256"}) {
            QCOMPARE(client.rcon(challenge, "logaddress_add " + ip + " 40002"),
                     GoldSrcServer::consoleReply("logaddress_add:  unable to resolve " + ip +
                                                 ":40002\n"));
        }
        for (int port = 50000; server.logAddresses().size() < GoldSrcServer::MaxLogAddresses;)
            QVERIFY(server.addLogAddress(QHostAddress::LocalHost, quint16(port++)));
        QVERIFY(client.rcon(challenge, "logaddress_add 127.0.0.3 40003").contains("too many"));
        QCOMPARE(server.logAddresses().size(), GoldSrcServer::MaxLogAddresses);
        QCOMPARE(server.logAddresses().mid(0, 2),
                 (QStringList{"127.0.0.1:40000", "127.0.0.2:40001"}));
    }

    void chatterPlaysTheSameGameForTheSamePlayers() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        LogReceiver log;
        server.addLogAddress(QHostAddress::LocalHost, log.port());
        const QList<QByteArray> first = server.writeChatter(60);
        QCOMPARE(first.mid(0, 6),
                 (QList<QByteArray>{
                     "World triggered \"Round_Start\"",
                     "\"Player<1><STEAM_0:1:1001><CT>\" say \"gg\"",
                     "\"Player(1)<2><STEAM_0:0:1002><TERRORIST>\" say_team \"rush b\"",
                     "\"newbie<11><STEAM_0:0:42><>\" connected, address \"192.0.2.77:27005\"",
                     "\"newbie<11><STEAM_0:0:42><>\" entered the game",
                     "\"newbie<11><STEAM_0:0:42><>\" joined team \"CT\"",
                 }));
        for (const QByteArray &event :
             {QByteArray("Team \"CT\" triggered \"Target_Saved\" (CT \"1\") (T \"0\")"),
              QByteArray("Team \"TERRORIST\" triggered \"Target_Bombed\" (CT \"2\") (T \"1\")"),
              QByteArray("\"newbie<11><STEAM_0:0:42><CT>\" disconnected"),
              QByteArray("World triggered \"Round_End\"")})
            QVERIFY2(first.contains(event), event.constData());
        QVERIFY(log.waitFor(first.last()));
        QCOMPARE(log.events(), first);

        GoldSrcServer again;
        QList<QByteArray> inParts = again.writeChatter(25);
        inParts += again.writeChatter(35);
        QCOMPARE(inParts, first);

        server.sendToLogAddresses("\xFF\xFF\xFF\xFFlog truncated");
        QTRY_COMPARE(log.events().last(), QByteArray("\xFF\xFF\xFF\xFFlog truncated"));
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
