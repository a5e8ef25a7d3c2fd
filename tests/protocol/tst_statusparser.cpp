// The status table as GoldSrc servers write it, and the commands built from its rows.
#include "rcon/protocol/playercommands.h"
#include "rcon/protocol/statusparser.h"

#include <QTest>

namespace {

// A reply as it reaches the parser: one character per byte.
QString bytes(const char *text) {
    return QString::fromLatin1(text);
}

// The engine's own layout: "#%2i %8s %i %s", frags " %3i" or the proxy's " hltv:..", the time,
// " %4i  %3i" ping and loss, the address when there is one.
const char *const EngineStatus =
    "hostname:  Caf\xC3\xA9 \"Best\" Server\n"
    "version :  48/1.1.2.7/Stdio 8684 secure  (10)\n"
    "tcp/ip  :  192.0.2.1:27015\n"
    "map     :  de_inferno at: 0 x, 0 y, 0 z\n"
    "players :  8 active (20 max)\n"
    "\n"
    "#      name userid uniqueid frag time ping loss adr\n"
    "# 1 \"Player\" 12 STEAM_0:1:4242   5 12:34   35    0 192.0.2.10:27005\n"
    "# 2    \"bob\" 3 VALVE_ID_LAN  -2 1:02:03  120   12 192.0.2.11:27005\n"
    "# 3 \"the \"quoted\" one\" 17 STEAM_ID_LAN   0 00:05    8    0 10.0.0.5:27005\n"
    "# 4 \"Zo\xC3\xAB \xE2\x98\x85\" 18 STEAM_0:0:99   1 00:59   20    0 192.0.2.12:27005\n"
    "# 5 \"caf\xE9\" 19 STEAM_0:0:100   1 00:59   20    0 192.0.2.13:27005\n"
    "# 6 \"[BOT] Harry\" 20 BOT   4 30:00    0    0\n"
    "# 7 \"HLTV Proxy\" 21 HLTV hltv:3/32 delay:30  2:00:00    5    0 192.0.2.50:27020\n"
    "# 8 \"x\" 9 STEAM_0:0:1   0 00:01    1    0 6.6.6.6:1\" 22 STEAM_0:0:7   1 00:02    3    "
    "0 192.0.2.14:27005\n"
    "8 users\n";

} // namespace

class TestStatusParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsTheEngineLayout() {
        ServerStatus status;
        QString error;
        QVERIFY2(StatusParser::parse(bytes(EngineStatus), status, &error), qPrintable(error));
        QCOMPARE(status.hostname, QStringLiteral("Café \"Best\" Server"));
        QCOMPARE(status.map, QStringLiteral("de_inferno"));
        QCOMPARE(status.active, 8);
        QCOMPARE(status.maxPlayers, 20);
        QCOMPARE(status.players.size(), 8);

        const PlayerRow &player = status.players.at(0);
        QCOMPARE(player.name, QStringLiteral("Player"));
        QCOMPARE(player.userId, 12);
        QCOMPARE(player.uniqueId, QStringLiteral("STEAM_0:1:4242"));
        QCOMPARE(player.frags, 5);
        QCOMPARE(player.time, QStringLiteral("12:34"));
        QCOMPARE(player.seconds, 12 * 60 + 34);
        QCOMPARE(player.ping, 35);
        QCOMPARE(player.loss, 0);
        QCOMPARE(player.address, QStringLiteral("192.0.2.10:27005"));
        QCOMPARE(player.ip(), QStringLiteral("192.0.2.10"));

        const PlayerRow &bob = status.players.at(1); // padded name, LAN id, hours
        QCOMPARE(bob.name, QStringLiteral("bob"));
        QCOMPARE(bob.uniqueId, QStringLiteral("VALVE_ID_LAN"));
        QCOMPARE(bob.frags, -2);
        QCOMPARE(bob.seconds, 3723);
        QCOMPARE(bob.loss, 12);

        QCOMPARE(status.players.at(2).name, QStringLiteral("the \"quoted\" one"));
        QCOMPARE(status.players.at(2).uniqueId, QStringLiteral("STEAM_ID_LAN"));
        QCOMPARE(status.players.at(3).name, QStringLiteral("Zoë ★")); // valid UTF-8
        QCOMPARE(status.players.at(4).name, QStringLiteral("café"));  // Latin-1

        const PlayerRow &bot = status.players.at(5);
        QCOMPARE(bot.uniqueId, QStringLiteral("BOT"));
        QCOMPARE(bot.frags, 4);
        QVERIFY(bot.address.isEmpty());
        QVERIFY(bot.ip().isEmpty());

        const PlayerRow &proxy = status.players.at(6);
        QVERIFY(proxy.isHltv);
        QCOMPARE(proxy.uniqueId, QStringLiteral("HLTV"));
        QCOMPARE(proxy.seconds, 7200);
        QCOMPARE(proxy.address, QStringLiteral("192.0.2.50:27020"));

        // A name made to look like the rest of a row ends at the row's last quote.
        const PlayerRow &forged = status.players.at(7);
        QCOMPARE(forged.name, QStringLiteral("x\" 9 STEAM_0:0:1   0 00:01    1    0 6.6.6.6:1"));
        QCOMPARE(forged.userId, 22);
        QCOMPARE(forged.address, QStringLiteral("192.0.2.14:27005"));
    }

    void readsAnEmptyServerAndANameWithALineBreak() {
        ServerStatus status;
        QVERIFY(StatusParser::parse(bytes("hostname:  empty\nmap     :  cs_office at: 0 x, 0 y, "
                                          "0 z\nplayers :  0 active (12 max)\n\n#      name "
                                          "userid uniqueid frag time ping loss adr\n0 users\n"),
                                    status));
        QCOMPARE(status.hostname, QStringLiteral("empty"));
        QCOMPARE(status.map, QStringLiteral("cs_office"));
        QCOMPARE(status.maxPlayers, 12);
        QVERIFY(status.players.isEmpty());

        QVERIFY(StatusParser::parse(
            bytes("hostname:  h\nplayers :  1 active (2 max)\n#      name userid uniqueid frag "
                  "time ping loss adr\n# 1 \"two\nlines\" 5 STEAM_0:0:1   0 00:01    1    0 "
                  "192.0.2.1:27005\n1 users\n"),
            status));
        QCOMPARE(status.players.size(), 1);
        QCOMPARE(status.players.first().name, QStringLiteral("two\nlines"));
        QCOMPARE(status.players.first().userId, 5);
    }

    void refusesATruncatedOrGarbledReply() {
        ServerStatus status;
        status.hostname = QStringLiteral("last good");
        QString error;
        const QString whole = bytes(EngineStatus);
        QVERIFY(StatusParser::isComplete(whole));
        for (const qsizetype cut : {qsizetype(40), whole.indexOf(QStringLiteral("# 4")) + 20,
                                    whole.indexOf(QStringLiteral("8 users"))}) {
            const QString truncated = whole.left(cut);
            QVERIFY(!StatusParser::isComplete(truncated));
            QVERIFY(!StatusParser::parse(truncated, status, &error));
            QCOMPARE(status.hostname, QStringLiteral("last good"));
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(error, QStringLiteral("The status reply was cut short."));

        QString garbled = whole;
        garbled.replace(QStringLiteral(" 12 STEAM_0:1:4242"), QStringLiteral(" twelve STEAM"));
        QVERIFY(!StatusParser::parse(garbled, status, &error));
        QCOMPARE(error, QStringLiteral("A row of the status reply could not be read."));
        QVERIFY(!StatusParser::parse(bytes("Unknown command: status\n"), status, &error));
        QCOMPARE(status.hostname, QStringLiteral("last good"));
    }

    void commandsTakeOnlyCheckedIdsAddressesAndMaps() {
        QCOMPARE(PlayerCommands::kick(7), QStringLiteral("kick #7"));
        QCOMPARE(PlayerCommands::banId(60, 7), QStringLiteral("banid 60 #7 kick"));
        QCOMPARE(PlayerCommands::banId(0, 7), QStringLiteral("banid 0 #7 kick"));
        QCOMPARE(PlayerCommands::addIp(1440, QStringLiteral("192.0.2.10:27005")),
                 QStringLiteral("addip 1440 192.0.2.10"));
        QCOMPARE(PlayerCommands::addIp(0, QStringLiteral("10.0.0.1")),
                 QStringLiteral("addip 0 10.0.0.1"));
        QCOMPARE(PlayerCommands::changeLevel(QStringLiteral("de_dust2")),
                 QStringLiteral("changelevel de_dust2"));

        QVERIFY(!PlayerCommands::kick(0));
        QVERIFY(!PlayerCommands::banId(-1, 7));
        for (const char *address : {"", "loopback", "192.0.2.10;quit", "256.0.0.1:27005",
                                    "1.2.3.4:99999", "1.2.3.4 ", "1.2.3.4:27005\"", "::1"})
            QVERIFY2(!PlayerCommands::addIp(5, QString::fromLatin1(address)), address);
        for (const char *map : {"", "de_dust2;quit", "de dust", "\"de\"", "maps/../x:y"})
            QVERIFY2(!PlayerCommands::changeLevel(QString::fromLatin1(map)), map);

        QCOMPARE(PlayerCommands::mapsFromListing(
                     QStringLiteral("-------------\nde_dust2.bsp\ncs_office.BSP\nbad;one.bsp\n"
                                    "de_dust2.bsp\nreadme.txt\n")),
                 QStringList({QStringLiteral("cs_office"), QStringLiteral("de_dust2")}));
    }
};

QTEST_APPLESS_MAIN(TestStatusParser)
#include "tst_statusparser.moc"
