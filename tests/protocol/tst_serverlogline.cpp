// A server's log lines read from their datagrams: the password of every rcon line taken out
// however it was written, each event sorted, the time read, text shown as it came.
#include "rcon/protocol/serverlogline.h"
#include "tests/support/goldsrcserver.h"

#include <QTest>

namespace {

QByteArray datagramOf(const QByteArray &event) {
    return GoldSrcServer::logDatagram(
        GoldSrcServer::logLine(QDateTime(QDate(2026, 12, 8), QTime(9, 29, 7)), event));
}

ServerLogLine lineOf(const QByteArray &event) {
    const std::optional<ServerLogLine> line = ServerLogLine::fromDatagram(datagramOf(event));
    return line.value_or(ServerLogLine());
}

GoldSrcServer::Player player(const QByteArray &name, int id) {
    GoldSrcServer::Player one;
    one.name = name;
    one.userId = id;
    one.uniqueId = "STEAM_0:1:" + QByteArray::number(1000 + id);
    one.address = "192.0.2.7:27005";
    return one;
}

} // namespace

class TestServerLogLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void passwordNeverShown_data() {
        QTest::addColumn<QByteArray>("event");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArrayList>("secrets");

        QTest::newRow("quoted, with a blank")
            << QByteArray("Rcon: \"rcon 1096488632 \"pass word\" sv_gravity 750\" from "
                          "\"127.0.0.1:34028\"")
            << "Rcon: \"sv_gravity 750\" from \"127.0.0.1:34028\""
            << QByteArrayList{"pass", "word", "1096488632"};
        QTest::newRow("unquoted")
            << QByteArray("Rcon: \"rcon 77 secret say hello\" from \"127.0.0.1:34028\"")
            << "Rcon: \"say hello\" from \"127.0.0.1:34028\"" << QByteArrayList{"secret"};
        QTest::newRow("refused, odd characters inside the quotes")
            << QByteArray("Bad Rcon: \"rcon 77 \"p@ss;w 'rd\xE9 (x)\" status\" from "
                          "\"10.0.0.5:27005\"")
            << "Bad Rcon: \"status\" from \"10.0.0.5:27005\""
            << QByteArrayList{"p@ss", "rd\xE9", "(x)"};
        QTest::newRow("a command with quotes of its own")
            << QByteArray("Rcon: \"rcon 77 \"pass word\" say \"hello there\"\" from "
                          "\"127.0.0.1:2\"")
            << "Rcon: \"say \"hello there\"\" from \"127.0.0.1:2\""
            << QByteArrayList{"pass", "word"};
        // The engine has no escapes: the quoted run ends at the backslash's quote, and what
        // follows cannot be told apart from the command.
        QTest::newRow("an escaped quote in a quoted password")
            << QByteArray("Bad Rcon: \"rcon 77 \"p\\\"ss word\" status\" from \"10.0.0.5:1\"")
            << "Bad Rcon: \"rcon 77\" from \"10.0.0.5:1\"" << QByteArrayList{"ss", "word"};
        QTest::newRow("a quote and a blank inside the quotes")
            << QByteArray("Bad Rcon: \"rcon 77 \"a\" b\" status\" from \"10.0.0.5:1\"")
            << "Bad Rcon: \"rcon 77\" from \"10.0.0.5:1\"" << QByteArrayList{"b\""};
        // The server reads "pass" (a tab is a blank) and refuses it; the user typed all of it.
        QTest::newRow("unquoted, with a tab")
            << QByteArray("Bad Rcon: \"rcon 77 pass\tword status\" from \"10.0.0.5:1\"")
            << "Bad Rcon: \"status\" from \"10.0.0.5:1\"" << QByteArrayList{"pass", "word"};
        // The server reads "it", then "'", "s", ":", "a", ",", "b", "status".
        QTest::newRow("unquoted, with ' : ,")
            << QByteArray("Bad Rcon: \"rcon 77 it's:a,b status\" from \"10.0.0.5:1\"")
            << "Bad Rcon: \"status\" from \"10.0.0.5:1\"" << QByteArrayList{"it's", "a,b"};
        // The server reads "x", then "(", "1", ")", "status".
        QTest::newRow("unquoted, with brackets")
            << QByteArray("Bad Rcon: \"rcon 77 x(1) status\" from \"10.0.0.5:1\"")
            << "Bad Rcon: \"status\" from \"10.0.0.5:1\"" << QByteArrayList{"x(1)", "(1)"};
        // The server reads "pa\"ss" whole: a quote inside an unquoted word is part of it.
        QTest::newRow("unquoted, with a quote inside")
            << QByteArray("Rcon: \"rcon 77 pa\"ss status\" from \"10.0.0.5:1\"")
            << "Rcon: \"status\" from \"10.0.0.5:1\"" << QByteArrayList{"pa\"ss", "ss"};
        // "//" makes the rest of the line a comment: the server reads no password at all.
        QTest::newRow("unquoted, starting a comment")
            << QByteArray("Bad Rcon: \"rcon 77 //secret status\" from \"10.0.0.5:1\"")
            << "Bad Rcon: \"status\" from \"10.0.0.5:1\"" << QByteArrayList{"secret"};
        QTest::newRow("quoted, with ' : ,")
            << QByteArray("Rcon: \"rcon 77 \"it's:a,b\" status\" from \"10.0.0.5:1\"")
            << "Rcon: \"status\" from \"10.0.0.5:1\"" << QByteArrayList{"it's", "a,b"};
        QTest::newRow("cut short inside the password")
            << QByteArray("Rcon: \"rcon 1096488632 \"pass wo") << "Rcon: \"rcon 1096488632"
            << QByteArrayList{"pass", "wo"};
        QTest::newRow("cut short after an unquoted password")
            << QByteArray("Rcon: \"rcon 1096488632 secret") << "Rcon: \"rcon 1096488632"
            << QByteArrayList{"secret"};
        QTest::newRow("cut short in the command")
            << QByteArray("Rcon: \"rcon 1096488632 secret sv_grav") << "Rcon: \"rcon 1096488632"
            << QByteArrayList{"secret"};
        QTest::newRow("a new rcon password")
            << QByteArray("Rcon: \"rcon 77 \"pass word\" rcon_password \"new one\"\" from "
                          "\"127.0.0.1:3\"")
            << "Rcon: \"rcon_password ***\" from \"127.0.0.1:3\""
            << QByteArrayList{"pass word", "new one"};
        // The command's words: "sv_password" (its quoted word ends at the closing quote),
        // "newpass1": the server sets sv_password to newpass1.
        QTest::newRow("a new password right after a quoted name")
            << QByteArray("Rcon: \"rcon 1096488632 \"pass word\" \"sv_password\"newpass1\" from "
                          "\"1.2.3.4:5\"")
            << "Rcon: \"\"sv_password\" ***\" from \"1.2.3.4:5\""
            << QByteArrayList{"pass word", "newpass1"};
        // The command's words: "sv_password", ":", "x9".
        QTest::newRow("a new password after a colon")
            << QByteArray("Rcon: \"rcon 77 secret amx_cvar sv_password:x9\" from \"1.2.3.4:5\"")
            << "Rcon: \"amx_cvar sv_password ***\" from \"1.2.3.4:5\""
            << QByteArrayList{"secret", "x9"};
        // The command's words: "admin_command", "admin_rcon", then one quoted word that AdminMod
        // runs as a command of its own, "sv_password new one".
        QTest::newRow("a new password inside a quoted command")
            << QByteArray("Rcon: \"rcon 77 secret admin_command admin_rcon \"sv_password new "
                          "one\"\" from \"1.2.3.4:5\"")
            << "Rcon: \"admin_command admin_rcon \"sv_password ***\"\" from \"1.2.3.4:5\""
            << QByteArrayList{"secret", "new", "one"};
        QTest::newRow("a password set after a semicolon")
            << QByteArray("Rcon: \"rcon 77 secret echo hi;sv_password letmein\" from \"1.2.3.4:5\"")
            << "Rcon: \"echo hi;sv_password ***\" from \"1.2.3.4:5\""
            << QByteArrayList{"secret", "letmein"};
        QTest::newRow("a password variable's new value")
            << GoldSrcServer::cvarEvent("sv_password", "letmein")
            << "Server cvar \"sv_password\" = \"***\"" << QByteArrayList{"letmein"};
        QTest::newRow("no rcon form at all")
            << QByteArray("Rcon: secret stuff") << "Rcon:" << QByteArrayList{"secret"};
    }

    void passwordNeverShown() {
        QFETCH(QByteArray, event);
        QFETCH(QString, shown);
        QFETCH(QByteArrayList, secrets);
        const ServerLogLine line = lineOf(event);
        QCOMPARE(line.event(), shown);
        QCOMPARE(line.category(), ServerLogLine::Category::Admin);
        for (const QByteArray &secret : std::as_const(secrets)) {
            const QString text = QString::fromLatin1(secret);
            QVERIFY2(!line.logText().contains(text), secret.constData());
            QVERIFY2(!line.viewText().contains(text), secret.constData());
        }
        // Cut short without its line ending, as a datagram cut short would come.
        const std::optional<ServerLogLine> bare =
            ServerLogLine::fromDatagram(datagramOf(event).chopped(2));
        QVERIFY(bare);
        QCOMPARE(bare->event(), shown);
    }

    void eventsSorted_data() {
        using Category = ServerLogLine::Category;
        const GoldSrcServer::Player bob = player("bob", 5);
        // A name shaped like the end of a tag does not fool the reading.
        const GoldSrcServer::Player tricky = player("x<1><a><b>\" killed ", 6);
        QTest::addColumn<QByteArray>("event");
        QTest::addColumn<Category>("category");
        QTest::newRow("say") << GoldSrcServer::sayEvent(bob, "CT", "gg") << Category::Chat;
        QTest::newRow("say_team") << GoldSrcServer::sayEvent(bob, "CT", "rush b", true)
                                  << Category::Chat;
        QTest::newRow("tricky name says")
            << GoldSrcServer::sayEvent(tricky, "TERRORIST", "hi") << Category::Chat;
        QTest::newRow("kill") << GoldSrcServer::killEvent(bob, "CT", tricky, "TERRORIST", "awp")
                              << Category::Kill;
        QTest::newRow("connected") << GoldSrcServer::connectedEvent(bob) << Category::Connection;
        QTest::newRow("entered") << GoldSrcServer::enteredEvent(bob) << Category::Connection;
        QTest::newRow("left") << GoldSrcServer::disconnectedEvent(bob, "CT")
                              << Category::Connection;
        QTest::newRow("bomb") << GoldSrcServer::playerTriggeredEvent(bob, "CT", "Defused_The_Bomb")
                              << Category::Round;
        QTest::newRow("world") << GoldSrcServer::worldTriggeredEvent("Round_Start")
                               << Category::Round;
        QTest::newRow("team") << GoldSrcServer::teamTriggeredEvent("CT", "Target_Saved", 2, 1)
                              << Category::Round;
        QTest::newRow("server say") << QByteArray("Server say \"hi\"") << Category::Admin;
        QTest::newRow("cvar") << GoldSrcServer::cvarEvent("sv_gravity", "750") << Category::Admin;
        QTest::newRow("joined team")
            << GoldSrcServer::joinedTeamEvent(bob, "CT") << Category::Other;
        QTest::newRow("log file") << QByteArray("Log file started (file \"logs/L1208000.log\")")
                                  << Category::Other;
    }

    void eventsSorted() {
        QFETCH(QByteArray, event);
        QFETCH(ServerLogLine::Category, category);
        const ServerLogLine line = lineOf(event);
        QCOMPARE(line.category(), category);
        QCOMPARE(line.event(), QString::fromUtf8(event));
    }

    void lineReadAsItCame() {
        const ServerLogLine said = lineOf("Server say \"hi\"");
        QVERIFY(said.hasTime());
        QCOMPARE(said.date(), QDate(2026, 12, 8));
        QCOMPARE(said.time(), QTime(9, 29, 7));
        QCOMPARE(said.viewText(), QStringLiteral("09:29:07  Server say \"hi\""));
        QCOMPARE(said.logText(), QStringLiteral("L 12/08/2026 - 09:29:07: Server say \"hi\""));

        // UTF-8 where the bytes are UTF-8, Latin-1 otherwise; a stray control character
        // cannot break the row.
        QCOMPARE(lineOf("\"Zo\xC3\xAB<7><STEAM_0:1:7><CT>\" say \"caf\xC3\xA9\"").event(),
                 QStringLiteral("\"Zoë<7><STEAM_0:1:7><CT>\" say \"café\""));
        QCOMPARE(lineOf("\"Zo\xEB<7><STEAM_0:1:7><CT>\" say \"caf\xE9\"").event(),
                 QStringLiteral("\"Zoë<7><STEAM_0:1:7><CT>\" say \"café\""));
        QCOMPARE(lineOf(QByteArray("a\nb\0c", 5)).event(), QStringLiteral("a\uFFFDb\uFFFDc"));

        // Most rcon tools end their command with a line feed, which the server logs inside the
        // quotes; it ends the quoted command or message and is not shown.
        const ServerLogLine rcon =
            lineOf("Rcon: \"rcon 77 secret say hello\r\n\" from \"1.2.3.4:5\"");
        QCOMPARE(rcon.event(), QStringLiteral("Rcon: \"say hello\" from \"1.2.3.4:5\""));
        QCOMPARE(rcon.logText(),
                 QStringLiteral("L 12/08/2026 - 09:29:07: Rcon: \"say hello\" from \"1.2.3.4:5\""));
        QCOMPARE(lineOf("Server say \"hello\n\"").viewText(),
                 QStringLiteral("09:29:07  Server say \"hello\""));
        QCOMPARE(lineOf("\"bob<5><STEAM_0:1:5><CT>\" say \"gg\n\"").event(),
                 QStringLiteral("\"bob<5><STEAM_0:1:5><CT>\" say \"gg\""));
        QCOMPARE(lineOf("Server say \"a\nb\t\"").event(),
                 QStringLiteral("Server say \"a\uFFFDb \""));

        // Cut inside its time stamp: shown whole, without a time.
        const std::optional<ServerLogLine> cut =
            ServerLogLine::fromDatagram("\xFF\xFF\xFF\xFFlog L 12/08/2026 - 09:2");
        QVERIFY(cut);
        QVERIFY(!cut->hasTime());
        QCOMPARE(cut->event(), QStringLiteral("L 12/08/2026 - 09:2"));
        QCOMPARE(cut->viewText(), cut->event());
        QCOMPARE(cut->category(), ServerLogLine::Category::Other);

        // Only the log stream's datagrams are lines.
        QVERIFY(!ServerLogLine::fromDatagram(GoldSrcServer::consoleReply("log on\n")));
        QVERIFY(!ServerLogLine::fromDatagram("log L 12/08/2026 - 09:29:07: Server say \"x\""));
        QVERIFY(!ServerLogLine::fromDatagram(QByteArray()));
    }
};

QTEST_MAIN(TestServerLogLine)
#include "tst_serverlogline.moc"
