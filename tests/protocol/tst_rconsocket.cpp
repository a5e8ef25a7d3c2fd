// The socket to the game server, against a scripted server on 127.0.0.1.
#include "rcon/protocol/rconsocket.h"
#include "tests/support/fakegameserver.h"
#include "tests/support/goldsrcserver.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

namespace {

// What the program would see: each dataArrival with the datagram getData gave in its handler.
class Arrivals final {
public:
    explicit Arrivals(RconSocket &socket)
        : m_socket(socket) {
        QObject::connect(&socket, &RconSocket::datagramArrived, [this](int bytes) {
            sizes.append(bytes);
            data.append(m_socket.takeDatagram().toLatin1());
            if (onArrival)
                onArrival();
        });
    }
    QList<int> sizes;
    QList<QByteArray> data;
    std::function<void()> onArrival;

private:
    RconSocket &m_socket;
};

bool aimAt(RconSocket &socket, const QString &host, quint16 port) {
    return socket.setServerHost(host) && socket.setServerPort(port) && socket.bind();
}

QByteArray allByteValues() {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

// A port on 127.0.0.1 that nobody listens on: the system answers it "unreachable".
quint16 deadPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    const quint16 port = probe.localPort();
    probe.close();
    return port;
}

} // namespace

class TestRconSocket : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyByteValueSurvivesBothWays() {
        FakeGameServer server;
        QVERIFY(server.isListening());
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.localPort() != 0);

        QVERIFY(socket.send(QString::fromLatin1(allByteValues())));
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received(0), allByteValues());
        QCOMPARE(server.datagrams().first().senderPort, socket.localPort());

        QByteArray reversed = allByteValues();
        std::reverse(reversed.begin(), reversed.end());
        QVERIFY(server.sendToLastSender(reversed));
        QTRY_COMPARE(arrivals.data.size(), 1);
        QCOMPARE(arrivals.data.first(), reversed);
        QCOMPARE(arrivals.sizes.first(), 256);
    }

    void largestDatagramGoesWholeBothWays() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QByteArray big(RconSocket::MaxDatagramSize, 'x');
        big[0] = '\xFF';
        big[big.size() - 1] = '\0';
        QVERIFY(socket.send(QString::fromLatin1(big)));
        QVERIFY(!socket.send(QString(RconSocket::MaxDatagramSize + 1, QLatin1Char('y'))));
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received(0), big);
        QVERIFY(server.sendToLastSender(big));
        QTRY_COMPARE(arrivals.data.size(), 1);
        QCOMPARE(arrivals.data.first(), big);
        QCOMPARE(server.datagrams().size(), 1);
    }

    void charactersOutsideLatin1GoOutAsQuestionMarks() {
        FakeGameServer server;
        RconSocket socket;
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send(QString::fromUtf8("a\xE2\x82\xAC"
                                              "b\xF0\x9F\x98\x80"
                                              "c\xC3\xA9")));
        QVERIFY(server.waitForDatagrams(1));
        QCOMPARE(server.received(0), QByteArray("a?b?c\xE9"));
    }

    void eachDatagramIsAnnouncedOnceInOrder() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("hello"));
        QVERIFY(server.waitForDatagrams(1));
        const QByteArray ack = GoldSrcServer::emptyAcknowledgement();
        QVERIFY(server.sendToLastSender("first"));
        QVERIFY(server.sendToLastSender(ack));
        QVERIFY(server.sendToLastSender("third one"));
        QTRY_COMPARE(arrivals.data.size(), 3);
        QCOMPARE(arrivals.data, (QList<QByteArray>{"first", ack, "third one"}));
        QCOMPARE(arrivals.sizes, (QList<int>{5, 7, 9}));
        QCOMPARE(socket.takeDatagram(), QString());
    }

    void datagramFromAnotherPortIsIgnored() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("hello"));
        QVERIFY(server.waitForDatagrams(1));
        QVERIFY(server.sendFromForeign(GoldSrcServer::banNotice()));
        QVERIFY(server.sendToLastSender("from the server"));
        QTRY_COMPARE(arrivals.data.size(), 1);
        QCOMPARE(arrivals.data.first(), QByteArray("from the server"));
    }

    void splitReplyIsJoined_data() {
        QTest::addColumn<bool>("reversed");
        QTest::newRow("parts in order") << false;
        QTest::newRow("parts out of order") << true;
    }
    void splitReplyIsJoined() {
        QFETCH(bool, reversed);
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("rcon"));
        QVERIFY(server.waitForDatagrams(1));

        QByteArray text;
        for (int i = 0; i < 300; ++i)
            text += "cvar_" + QByteArray::number(i) + " : " + QByteArray::number(i * 3) + "\n";
        const QByteArray whole = GoldSrcServer::consoleReply(text);
        QList<QByteArray> parts = GoldSrcServer::splitPacket(whole, 77);
        QVERIFY(parts.size() > 2);
        if (reversed)
            std::reverse(parts.begin(), parts.end());
        for (const QByteArray &part : std::as_const(parts))
            QVERIFY(server.sendToLastSender(part));
        QVERIFY(server.sendToLastSender("after"));
        QTRY_COMPARE(arrivals.data.size(), 2);
        QCOMPARE(arrivals.data.first(), whole);
        QCOMPARE(arrivals.sizes.first(), int(whole.size()));
        QCOMPARE(arrivals.data.last(), QByteArray("after"));
        QCOMPARE(socket.incompleteSplitCount(), 0);
    }

    void interleavedAndRepeatedPartsStillJoin() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("rcon"));
        QVERIFY(server.waitForDatagrams(1));
        const QByteArray one = GoldSrcServer::consoleReply(QByteArray(300, 'a'));
        const QByteArray two = GoldSrcServer::consoleReply(QByteArray(300, 'b'));
        const QList<QByteArray> a = GoldSrcServer::splitPacket(one, 1, 120);
        const QList<QByteArray> b = GoldSrcServer::splitPacket(two, 2, 120);
        QCOMPARE(a.size(), 3);
        for (const QByteArray &part : {a[0], b[2], a[0], b[0], a[2], b[1], a[1]})
            QVERIFY(server.sendToLastSender(part));
        QTRY_COMPARE(arrivals.data.size(), 2);
        QCOMPARE(arrivals.data, (QList<QByteArray>{two, one}));
    }

    void nineInterleavedSplitRepliesAllArrive() {
        // All first parts before any second part: no set may push out one that can still
        // complete.
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("rcon"));
        QVERIFY(server.waitForDatagrams(1));
        QList<QByteArray> wholes;
        QList<QList<QByteArray>> sets;
        for (int i = 0; i < 9; ++i) {
            wholes.append(GoldSrcServer::consoleReply(QByteArray(200, char('a' + i))));
            sets.append(GoldSrcServer::splitPacket(wholes.last(), quint32(100 + i), 120));
            QCOMPARE(sets.last().size(), 2);
        }
        for (int part = 0; part < 2; ++part) {
            for (const QList<QByteArray> &set : std::as_const(sets))
                QVERIFY(server.sendToLastSender(set[part]));
        }
        QTRY_COMPARE(arrivals.data.size(), 9);
        QCOMPARE(arrivals.data, wholes);
        QCOMPARE(socket.incompleteSplitCount(), 0);
    }

    void floodIsDeliveredInSlices() {
        // Everything is pending before the socket reads: one readiness notice must not announce
        // it all before the event loop runs again.
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("rcon"));
        QVERIFY(server.waitForDatagrams(1));
        int turns = 0;
        QTimer turn;
        turn.setInterval(0);
        QObject::connect(&turn, &QTimer::timeout, [&] { ++turns; });
        QMap<int, int> perTurn;
        arrivals.onArrival = [&] { ++perTurn[turns]; };
        const int count = 2 * RconSocket::MaxDatagramsPerSlice + 8;
        for (int i = 0; i < count; ++i)
            QVERIFY(server.sendToLastSender("line " + QByteArray::number(i)));
        turn.start();
        QTRY_COMPARE(arrivals.data.size(), count);
        QCOMPARE(arrivals.data.last(), "line " + QByteArray::number(count - 1));
        // A turn of the loop may see the end of one slice and the start of the next, never
        // more.
        for (const int delivered : std::as_const(perTurn))
            QVERIFY2(delivered <= 2 * RconSocket::MaxDatagramsPerSlice,
                     qPrintable(QString::number(delivered)));
    }

    void incompleteSplitReplyIsDropped() {
        FakeGameServer server;
        RconSocket socket;
        socket.setReassemblyTimeout(50);
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("rcon"));
        QVERIFY(server.waitForDatagrams(1));
        const QList<QByteArray> parts =
            GoldSrcServer::splitPacket(GoldSrcServer::consoleReply(QByteArray(200, 'z')), 9, 120);
        QCOMPARE(parts.size(), 2);
        QVERIFY(server.sendToLastSender(parts[0]));
        QTRY_COMPARE(socket.incompleteSplitCount(), 1);
        QTRY_COMPARE(socket.incompleteSplitCount(), 0);
        // The late part finds nothing to complete.
        QVERIFY(server.sendToLastSender(parts[1]));
        QVERIFY(server.sendToLastSender("after"));
        QTRY_COMPARE(arrivals.data.size(), 1);
        QCOMPARE(arrivals.data.first(), QByteArray("after"));
        QCOMPARE(socket.incompleteSplitCount(), 1);
    }

    void brokenSplitPartsAreDropped() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("rcon"));
        QVERIFY(server.waitForDatagrams(1));
        QVERIFY(server.sendToLastSender(QByteArray("\xFE\xFF\xFF\xFF\x01\x00", 6)));
        QVERIFY(server.sendToLastSender(QByteArray("\xFE\xFF\xFF\xFF\x01\x00\x00\x00\x22xy", 11)));
        QVERIFY(server.sendToLastSender(QByteArray("\xFE\xFF\xFF\xFF\x01\x00\x00\x00\x10xy", 11)));
        QVERIFY(
            server.sendToLastSender(QByteArray("\xFE\xFF\xFF\xFF\x05\x00\x00\x00\x01whole", 14)));
        QTRY_COMPARE(arrivals.data.size(), 1);
        QCOMPARE(arrivals.data.first(), QByteArray("whole"));
        QCOMPARE(socket.incompleteSplitCount(), 0);
    }

    void hostNameIsLookedUpWhileSendsWait() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QSignalSpy errors(&socket, &RconSocket::failed);
        QVERIFY(aimAt(socket, "localhost", server.port()));
        QVERIFY(socket.send("one"));
        QVERIFY(socket.send("two"));
        QVERIFY(socket.send("three"));
        QVERIFY(server.waitForDatagrams(3));
        QCOMPARE(server.received(0), QByteArray("one"));
        QCOMPARE(server.received(1), QByteArray("two"));
        QCOMPARE(server.received(2), QByteArray("three"));
        QVERIFY(server.sendToLastSender("answer"));
        QTRY_COMPARE(arrivals.data.size(), 1);
        QCOMPARE(arrivals.data.first(), QByteArray("answer"));
        QCOMPARE(errors.size(), 0);
    }

    void unknownHostRaisesError() {
        RconSocket socket;
        QSignalSpy errors(&socket, &RconSocket::failed);
        QVERIFY(aimAt(socket, "no-such-server.invalid", 27015));
        QVERIFY(socket.send("waits for the lookup"));
        QVERIFY(errors.wait(30000));
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().at(0).value<RconSocket::Failure>(),
                 RconSocket::Failure::HostNotFound);
        QVERIFY(!errors.first().at(1).toString().isEmpty());
        QVERIFY(!socket.send("after the failure"));
    }

    void unreachablePortRaisesError() {
        RconSocket socket;
        QSignalSpy errors(&socket, &RconSocket::failed);
        QVERIFY(aimAt(socket, "127.0.0.1", deadPort()));
        QVERIFY(socket.send(QString::fromLatin1(GoldSrcServer::mark() + "challenge rcon")));
        QVERIFY(errors.wait());
        QCOMPARE(errors.first().at(0).value<RconSocket::Failure>(),
                 RconSocket::Failure::ConnectionRefused);
        QVERIFY(!errors.first().at(1).toString().isEmpty());
    }

    // The server's port answered "unreachable" once, then the server came up again.
    void serverBackAfterUnreachableIsHeard() {
        const quint16 port = deadPort();
        RconSocket socket;
        Arrivals arrivals(socket);
        QSignalSpy errors(&socket, &RconSocket::failed);
        QVERIFY(aimAt(socket, "127.0.0.1", port));
        QVERIFY(socket.send("anyone there?"));
        QVERIFY(errors.wait());
        QUdpSocket server;
        QVERIFY(server.bind(QHostAddress::LocalHost, port));
        QVERIFY(socket.send("hello again"));
        QTRY_VERIFY(server.hasPendingDatagrams());
        const QNetworkDatagram request = server.receiveDatagram();
        QCOMPARE(request.data(), QByteArray("hello again"));
        server.writeDatagram("back", request.senderAddress(), quint16(request.senderPort()));
        QTRY_COMPARE(arrivals.data.size(), 1);
        QCOMPARE(arrivals.data.first(), QByteArray("back"));
    }

    void eachConnectAttemptReportsItsOwnError() {
        RconSocket socket;
        QSignalSpy errors(&socket, &RconSocket::failed);
        QVERIFY(aimAt(socket, "127.0.0.1", deadPort()));
        socket.send("one");
        QVERIFY(errors.wait());
        // Closing, as the program does on an error, drops what was still on its way.
        socket.send("two");
        socket.close();
        QVERIFY(aimAt(socket, "127.0.0.1", deadPort()));
        QVERIFY(socket.send("three"));
        QVERIFY(errors.wait());
        QCOMPARE(errors.size(), 2);
    }

    void rebindingStartsCleanOnANewSocket() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("first"));
        QVERIFY(server.waitForDatagrams(1));
        QVERIFY(socket.bind());
        QVERIFY(socket.isBound());
        QVERIFY(socket.send("second"));
        QVERIFY(server.waitForDatagrams(2));
        QCOMPARE(server.datagrams().at(1).senderPort, socket.localPort());
        QVERIFY(server.sendToLastSender("reply"));
        QTRY_COMPARE(arrivals.data.size(), 1);

        const quint16 chosen = deadPort();
        QVERIFY(socket.bind(chosen));
        QCOMPARE(socket.localPort(), chosen);
        QVERIFY(socket.send("third"));
        QVERIFY(server.waitForDatagrams(3));
        QCOMPARE(server.datagrams().at(2).senderPort, chosen);
    }

    void repeatedConnectOnABoundSocketKeepsWorking() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("again"));
        QVERIFY(server.waitForDatagrams(1));
        QVERIFY(server.sendToLastSender("reply"));
        QTRY_COMPARE(arrivals.data.size(), 1);
    }

    void bindToAPortInUseIsRefused() {
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress::AnyIPv4, 0));
        RconSocket socket;
        QVERIFY(socket.setServerHost("127.0.0.1"));
        QVERIFY(socket.setServerPort(27015));
        QVERIFY(!socket.bind(other.localPort()));
        QVERIFY(!socket.isBound());
        QCOMPARE(socket.localPort(), quint16(0));
        QVERIFY(!socket.send("nowhere"));
    }

    void badSettingsAreRefused() {
        RconSocket socket;
        QVERIFY(!socket.setServerPort(0));
        QVERIFY(!socket.setServerPort(65536));
        QVERIFY(!socket.setServerPort(-1));
        QVERIFY(socket.setServerPort(65535));
        QVERIFY(!socket.setServerHost(""));
        QVERIFY(!socket.setServerHost("   "));
        QVERIFY(!socket.setServerHost("two words"));
        QVERIFY(socket.setServerHost(" 127.0.0.1 "));
        QVERIFY(!socket.send("not bound yet"));
    }

    void closeIsHarmlessOnASocketNeverBound() {
        RconSocket socket;
        socket.close();
        socket.close();
        QVERIFY(!socket.isBound());
        QCOMPARE(socket.localPort(), quint16(0));
        QCOMPARE(socket.takeDatagram(), QString());
        QVERIFY(!socket.send("closed"));
    }

    void closingInAHandlerDropsTheRestOfTheBatch() {
        FakeGameServer server;
        RconSocket socket;
        Arrivals arrivals(socket);
        arrivals.onArrival = [&] {
            if (arrivals.data.size() == 1)
                socket.close();
        };
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("hello"));
        QVERIFY(server.waitForDatagrams(1));
        QVERIFY(server.sendToLastSender(GoldSrcServer::banNotice()));
        QVERIFY(server.sendToLastSender("stale one"));
        QVERIFY(server.sendToLastSender("stale two"));
        QTRY_COMPARE(arrivals.data.size(), 1);
        QVERIFY(!socket.isBound());

        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send("again"));
        QVERIFY(server.waitForDatagrams(2));
        QVERIFY(server.sendToLastSender("fresh"));
        QTRY_COMPARE(arrivals.data.size(), 2);
        QCOMPARE(arrivals.data, (QList<QByteArray>{GoldSrcServer::banNotice(), "fresh"}));
    }

    void talksToTheGoldSrcServer() {
        GoldSrcServer server;
        server.setPassword("secret");
        QVERIFY(server.listen());
        RconSocket socket;
        Arrivals arrivals(socket);
        QVERIFY(aimAt(socket, "127.0.0.1", server.port()));
        QVERIFY(socket.send(QString::fromLatin1(GoldSrcServer::mark() + "challenge rcon")));
        QTRY_COMPARE(arrivals.data.size(), 1);
        const QByteArray reply = arrivals.data.first();
        QVERIFY(reply.startsWith(GoldSrcServer::mark() + "challenge rcon "));
        const QByteArray challenge = reply.mid(19).chopped(2);
        QVERIFY(socket.send(
            QString::fromLatin1(GoldSrcServer::mark() + "rcon " + challenge + " secret cvarlist")));
        QTRY_VERIFY(!arrivals.data.isEmpty() && arrivals.data.last().contains("Total CVars"));
        for (qsizetype i = 1; i < arrivals.data.size(); ++i)
            QVERIFY(arrivals.data.at(i).startsWith(GoldSrcServer::mark() + 'l'));
        QVERIFY(arrivals.data.size() > 2);
    }
};

QTEST_MAIN(TestRconSocket)
#include "tst_rconsocket.moc"
