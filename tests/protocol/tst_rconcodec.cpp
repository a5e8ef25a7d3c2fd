// The datagrams the client builds and how it reads the server's, byte for byte.
#include "rcon/protocol/rconcodec.h"
#include "rcon/protocol/website.h"

#include <QTest>

using RconCodec::ReplyKind;

namespace {

QString wire(const char *bytes, int size) {
    return QString::fromLatin1(bytes, size);
}

QString mark() {
    return wire("\xFF\xFF\xFF\xFF", 4);
}

QString nul(int count = 1) {
    return QString(count, QChar::Null);
}

} // namespace

class TestRconCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void challengeRequestIsEighteenBytes() {
        const QByteArray bytes = RconCodec::challengeRequest().toLatin1();
        QCOMPARE(bytes, QByteArray("\xFF\xFF\xFF\xFF"
                                   "challenge rcon"));
        QCOMPARE(bytes.size(), 18);
        QCOMPARE(RconCodec::mark(), mark());
    }

    void commandDatagram_data() {
        QTest::addColumn<QString>("challenge");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        QTest::newRow("status with a ten-digit challenge")
            << "1234567890"
            << "secret"
            << "status" << mark() + "rcon 1234567890 secret status";
        QTest::newRow("no challenge yet: two spaces in a row")
            << ""
            << "secret"
            << "status" << mark() + "rcon  secret status";
        QTest::newRow("command with spaces goes unquoted")
            << "7"
            << "secret"
            << "say hello  world" << mark() + "rcon 7 secret say hello  world";
        QTest::newRow("password with a space is quoted")
            << "7"
            << "my pass"
            << "status" << mark() + "rcon 7 \"my pass\" status";
        QTest::newRow("password with only a space is quoted")
            << "7"
            << " "
            << "users" << mark() + "rcon 7 \" \" users";
        QTest::newRow("password already in quotes stays as it is")
            << "7"
            << "\"my pass\""
            << "status" << mark() + "rcon 7 \"my pass\" status";
        // The server reads a quote inside an unquoted word as part of the word.
        QTest::newRow("password with a quote but no space stays as it is")
            << "7"
            << "pa\"ss"
            << "status" << mark() + "rcon 7 pa\"ss status";
        // Unquoted, the server would read "it", then "'", "s", ":", "a", ",", "b".
        QTest::newRow("password with ' : , is quoted")
            << "7"
            << "it's:a,b"
            << "status" << mark() + "rcon 7 \"it's:a,b\" status";
        QTest::newRow("password with brackets and braces is quoted")
            << "7"
            << "x(1){2}"
            << "status" << mark() + "rcon 7 \"x(1){2}\" status";
        // Any byte up to 0x20 is a blank to the server.
        QTest::newRow("password with a tab is quoted")
            << "7"
            << "pass\tword"
            << "status" << mark() + "rcon 7 \"pass\tword\" status";
        // Unquoted, "//" would make the rest of the line a comment: no password at all.
        QTest::newRow("password starting with // is quoted")
            << "7"
            << "//secret"
            << "status" << mark() + "rcon 7 \"//secret\" status";
        QTest::newRow("already quoted password with ' stays as it is")
            << "7"
            << "\"it's\""
            << "status" << mark() + "rcon 7 \"it's\" status";
        QTest::newRow("password with bytes above 0x7F")
            << "7" << QString::fromLatin1("p\xE4ss") << "status"
            << mark() + QString::fromLatin1("rcon 7 p\xE4ss status");
    }
    void commandDatagram() {
        QFETCH(QString, challenge);
        QFETCH(QString, password);
        QFETCH(QString, command);
        QFETCH(QString, expected);
        const QString datagram = RconCodec::commandDatagram(challenge, password, command);
        QCOMPARE(datagram, expected);
        QVERIFY(!datagram.endsWith(QLatin1Char('\n')));
        QVERIFY(!datagram.endsWith(QChar::Null));
    }

    // A password the server can never read whole is refused before anything is sent.
    void passwordTheServerCannotRead_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("readable");
        QTest::newRow("plain") << "secret" << true;
        QTest::newRow("blank and ' , : go in quotes") << "it's: a,b" << true;
        QTest::newRow("a quote inside an unquoted word") << "pa\"ss" << true;
        QTest::newRow("already in quotes") << "\"my pass\"" << true;
        // In quotes the server reads "a", unquoted "a\"b": never "a\"b c".
        QTest::newRow("a quote and a blank") << "a\"b c" << false;
        // Unquoted the server reads "x\"y", then ":" and "z"; in quotes "x".
        QTest::newRow("a quote and a colon") << "x\"y:z" << false;
        // A leading quote opens a quoted word: the server reads "abc".
        QTest::newRow("a leading quote") << "\"abc" << false;
        QTest::newRow("quotes inside quotes") << "\"a\"b\"" << false;
        QTest::newRow("nothing inside the quotes") << "\"\"" << false;
    }
    void passwordTheServerCannotRead() {
        QFETCH(QString, password);
        QFETCH(bool, readable);
        const QString problem = RconCodec::passwordProblem(password);
        QCOMPARE(problem.isEmpty(), readable);
        if (!readable) {
            QVERIFY(problem.contains(QStringLiteral("double quote")));
            QVERIFY(problem.contains(QStringLiteral("Nothing was sent.")));
        }
    }

    void adminModTextAlwaysGetsThePrefix() {
        QCOMPARE(RconCodec::adminDatagram("42", "secret", "kick bob"),
                 mark() + "rcon 42 secret admin_command admin_kick bob");
        QCOMPARE(RconCodec::adminDatagram("42", "secret", "admin_kick bob"),
                 mark() + "rcon 42 secret admin_command admin_admin_kick bob");
        QCOMPARE(RconCodec::adminDatagram("42", "two words", "say hi"),
                 mark() + "rcon 42 \"two words\" admin_command admin_say hi");
    }

    void broadcastNamesTheProductAndWebsite() {
        const QString website = QString::fromLatin1(talvero::WebsiteAddress);
        QCOMPARE(RconCodec::broadcastDatagram("42", "secret"),
                 mark() + "rcon 42 secret admin_command admin_tsay yellow \"Talvero - " + website +
                     "\"");
        QCOMPARE(RconCodec::broadcastDatagram("", "my pass"),
                 mark() + "rcon  \"my pass\" admin_command admin_tsay yellow \"Talvero - " +
                     website + "\"");
    }

    // Every challenge reply confirms the connection, whatever the number of digits.
    void challengeReply_data() {
        QTest::addColumn<QString>("digits");
        QTest::newRow("ten digits, 31 bytes") << "4294967295";
        QTest::newRow("nine digits, 30 bytes") << "123456789";
        QTest::newRow("one digit, 22 bytes") << "5";
    }
    void challengeReply() {
        QFETCH(QString, digits);
        const QString reply = mark() + "challenge rcon " + digits + "\n" + nul();
        QCOMPARE(reply.size(), 21 + digits.size());
        QString challenge = QStringLiteral("old");
        QVERIFY(RconCodec::parseChallengeReply(reply, challenge));
        QCOMPARE(challenge, digits);
        QCOMPARE(RconCodec::classifyReply(reply), ReplyKind::ConnectConfirmation);
    }

    void lookalikesAreNotChallengeReplies_data() {
        QTest::addColumn<QString>("datagram");
        QTest::newRow("other letter case") << mark() + "Challenge rcon 1234567890\n" + nul();
        QTest::newRow("no mark") << QStringLiteral("challenge rcon 1234567890\n") + nul() + "xxxx";
        QTest::newRow("31 bytes of console output")
            << mark() + "l" + "abcdefghijklmnopqrstuvwx" + nul(2);
        QTest::newRow("shorter than the mark and word") << mark() + "chall";
    }
    void lookalikesAreNotChallengeReplies() {
        QFETCH(QString, datagram);
        QString challenge = QStringLiteral("kept");
        QVERIFY(!RconCodec::parseChallengeReply(datagram, challenge));
        QCOMPARE(challenge, QStringLiteral("kept"));
        QVERIFY(RconCodec::classifyReply(datagram) != ReplyKind::ConnectConfirmation);
    }

    void thirtyOneBytesOfOutputIsOrdinary() {
        const QString output = mark() + "l" + "abcdefghijklmnopqrstuvwx" + nul(2);
        QCOMPARE(output.size(), 31);
        QCOMPARE(RconCodec::classifyReply(output), ReplyKind::Ordinary);
    }

    void malformedChallengeReplies() {
        QString challenge = QStringLiteral("kept");
        QVERIFY(RconCodec::parseChallengeReply(mark() + "challenge rcon", challenge));
        QCOMPARE(challenge, QStringLiteral("kept"));
        QVERIFY(RconCodec::parseChallengeReply(mark() + "challenge rcon 7", challenge));
        QCOMPARE(challenge, QStringLiteral("kept"));
        QVERIFY(RconCodec::parseChallengeReply(mark() + "challenge rcon \n" + nul(), challenge));
        QCOMPARE(challenge, QString());
    }

    void emptyAcknowledgementIsSevenBytes() {
        const QString ack = mark() + "l" + nul(2);
        QCOMPARE(RconCodec::classifyReply(ack), ReplyKind::EmptyAcknowledgement);
        QCOMPARE(RconCodec::cleanReply(ack), QString());
        QCOMPARE(RconCodec::classifyReply(mark() + "lok" + nul(2)), ReplyKind::Ordinary);
    }

    void banNoticeIsRecognisedByItsText() {
        const QString ban = mark() + "lYou have been banned from this server.\n" + nul();
        QCOMPARE(ban.size(), 45);
        QCOMPARE(RconCodec::classifyReply(ban), ReplyKind::BanNotice);

        const QString output = mark() + "l" + QString(38, QLatin1Char('x')) + nul(2);
        QCOMPARE(output.size(), 45);
        QCOMPARE(RconCodec::classifyReply(output), ReplyKind::Ordinary);

        const QString noMark = "12345You have been banned from this server.\n" + nul();
        QCOMPARE(noMark.size(), 45);
        QCOMPARE(RconCodec::classifyReply(noMark), ReplyKind::Ordinary);
    }

    void cleanReply_data() {
        QTest::addColumn<QString>("datagram");
        QTest::addColumn<QString>("shown");
        QTest::newRow("hello") << mark() + "lhello"
                               << "hello";
        QTest::newRow("console output with its NULs")
            << mark() + "l\"hostname\" is \"My Server\"\n" + nul(2)
            << "\"hostname\" is \"My Server\"\n";
        QTest::newRow("mark in the middle") << mark() + "lone" + mark() + "two"
                                            << "onetwo";
        QTest::newRow("NUL inside the text") << mark() + "la" + nul() + "b"
                                             << "ab";
        QTest::newRow("CR LF becomes one break") << mark() + "la\r\nb\r\n"
                                                 << "a\nb\n";
        QTest::newRow("lone CR becomes a break") << mark() + "la\rb"
                                                 << "a\nb";
        QTest::newRow("CR NUL LF is one break") << mark() + "la\r" + nul() + "\nb"
                                                << "a\nb";
        QTest::newRow("only the mark") << mark() << "";
        QTest::newRow("mark and letter") << mark() + "l"
                                         << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("no mark: first character dropped") << "xhello"
                                                          << "hello";
        QTest::newRow("No challenge") << mark() + "9No challenge for your address.\n" + nul()
                                      << "No challenge for your address.\n";
        QTest::newRow("high bytes survive")
            << mark() + wire("l\xE9\xFE\x80", 4) << wire("\xE9\xFE\x80", 3);
    }
    void cleanReply() {
        QFETCH(QString, datagram);
        QFETCH(QString, shown);
        QCOMPARE(RconCodec::cleanReply(datagram), shown);
    }
};

QTEST_MAIN(TestRconCodec)
#include "tst_rconcodec.moc"
