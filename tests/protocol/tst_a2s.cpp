// Server query answers read from their bytes, and split answers joined.
#include "rcon/protocol/a2s.h"
#include "rcon/protocol/a2ssplitjoiner.h"

#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

QByteArray hex(const char *digits) {
    return QByteArray::fromHex(digits);
}

// A string as the server sends it, with its ending NUL.
QByteArray z(const QByteArray &text) {
    return text + '\0';
}

// An 'I' answer as a Counter-Strike server sends it, with every extra-data field: game port
// 27015, Steam id, spectator port 27020 and name, keywords, game id.
QByteArray fullInfoAnswer() {
    return hex("FFFFFFFF49") + hex("30") + z("Talvero Arena #1 \xE2\x98\x85") + z("de_dust2") +
           z("cstrike") + z("Counter-Strike") + hex("0A00") + hex("0C2002") + "dl" + hex("0101") +
           z("1.1.2.7/Stdio") + hex("F1") + hex("8769") + hex("0102030405060708") + hex("8C69") +
           z("SourceTV") + z("secure,dust") + hex("0A00000000000000");
}

// The same server in the engine's older 'm' answer, with its mod block.
QByteArray oldInfoAnswer() {
    return hex("FFFFFFFF6D") + z("192.0.2.10:27015") + z("Talvero Arena #1") + z("de_dust2") +
           z("cstrike") + z("Counter-Strike") + hex("0C202F") + "dw" + hex("00") + hex("01") +
           z("http://www.counter-strike.net") + z("") + hex("00") + hex("01000000") +
           hex("C0F9F70A") + hex("0101") + hex("01") + hex("02");
}

QByteArray playersAnswer() {
    return hex("FFFFFFFF44") + hex("03") + hex("00") + z("Zo\xC3\xAB") + hex("0C000000") +
           hex("0000C843")                                                // 400.0 seconds
           + hex("01") + z("J\xF6rg") + hex("FFFFFFFF") + hex("00002041") // 10.0
           + hex("02") + z("[BOT] Harry") + hex("04000000") + hex("00000000");
}

QByteArray rulesAnswer() {
    return hex("FFFFFFFF45") + hex("0300") + z("mp_timelimit") + z("25") + z("sv_gravity") +
           z("800") + z("sv_contact") + z("admin@example.net");
}

QByteArray challengeAnswer() {
    return hex("FFFFFFFF41") + hex("2FFABF29");
}

// Reads a copy of exactly these bytes from a buffer of exactly their length, so that a read
// past the end lands outside it (and the address sanitizer sees it).
template <typename Read> auto readExactly(const QByteArray &bytes, Read read) {
    const std::unique_ptr<char[]> exact(new char[size_t(qMax<qsizetype>(1, bytes.size()))]);
    std::copy(bytes.cbegin(), bytes.cend(), exact.get());
    return read(QByteArrayView(exact.get(), bytes.size()));
}

// Parts of one answer in the engine's split format.
QList<QByteArray> split(const QByteArray &payload, quint32 id, int count) {
    QList<QByteArray> parts;
    const qsizetype size = (payload.size() + count - 1) / count;
    for (int i = 0; i < count; ++i) {
        QByteArray part = hex("FEFFFFFF");
        part.append(char(id & 0xFF)).append(char(id >> 8 & 0xFF));
        part.append(char(id >> 16 & 0xFF)).append(char(id >> 24 & 0xFF));
        part.append(char(i << 4 | count));
        parts.append(part + payload.mid(i * size, size));
    }
    return parts;
}

const QHostAddress Server(QStringLiteral("192.0.2.10"));

} // namespace

class TestA2s : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestsAreTheDocumentedBytes() {
        QCOMPARE(A2s::infoRequest(), hex("FFFFFFFF54") + z("Source Engine Query"));
        QCOMPARE(A2s::infoRequest(0x29BFFA2F),
                 hex("FFFFFFFF54") + z("Source Engine Query") + hex("2FFABF29"));
        QCOMPARE(A2s::playersRequest(), hex("FFFFFFFF55FFFFFFFF"));
        QCOMPARE(A2s::rulesRequest(), hex("FFFFFFFF56FFFFFFFF"));
        // The challenge goes back as the bytes it came as.
        const std::optional<A2s::Challenge> challenge = A2s::readChallenge(challengeAnswer());
        QVERIFY(challenge);
        QCOMPARE(A2s::playersRequest(*challenge), hex("FFFFFFFF55") + hex("2FFABF29"));
        QCOMPARE(A2s::rulesRequest(*challenge), hex("FFFFFFFF56") + hex("2FFABF29"));
    }

    void infoWithEveryExtraField() {
        const std::optional<A2s::ServerInfo> info = A2s::readInfo(fullInfoAnswer());
        QVERIFY(info);
        using Info = A2s::ServerInfo;
        QCOMPARE(info->format, Info::Format::Current);
        QCOMPARE(info->protocol, 48);
        QCOMPARE(info->name, QStringLiteral("Talvero Arena #1 \u2605"));
        QCOMPARE(info->map, QStringLiteral("de_dust2"));
        QCOMPARE(info->folder, QStringLiteral("cstrike"));
        QCOMPARE(info->game, QStringLiteral("Counter-Strike"));
        QCOMPARE(info->appId, 10);
        QCOMPARE(info->players, 12);
        QCOMPARE(info->maxPlayers, 32);
        QCOMPARE(info->bots, 2);
        QCOMPARE(info->serverType, Info::ServerType::Dedicated);
        QCOMPARE(info->environment, Info::Environment::Linux);
        QVERIFY(info->joinPassword);
        QVERIFY(info->vac);
        QCOMPARE(info->version, QStringLiteral("1.1.2.7/Stdio"));
        QCOMPARE(info->gamePort.value_or(0), 27015);
        QCOMPARE(info->steamId.value_or(0), 0x0807060504030201ull);
        QVERIFY(info->spectator);
        QCOMPARE(info->spectator->port, 27020);
        QCOMPARE(info->spectator->name, QStringLiteral("SourceTV"));
        QCOMPARE(info->keywords.value_or(QString()), QStringLiteral("secure,dust"));
        QCOMPARE(info->gameId.value_or(0), 10ull);
    }

    void oldInfoWithItsModBlock() {
        const std::optional<A2s::ServerInfo> info = A2s::readInfo(oldInfoAnswer());
        QVERIFY(info);
        using Info = A2s::ServerInfo;
        QCOMPARE(info->format, Info::Format::Old);
        QCOMPARE(info->address, QStringLiteral("192.0.2.10:27015"));
        QCOMPARE(info->name, QStringLiteral("Talvero Arena #1"));
        QCOMPARE(info->players, 12);
        QCOMPARE(info->maxPlayers, 32);
        QCOMPARE(info->protocol, 47);
        QCOMPARE(info->serverType, Info::ServerType::Dedicated);
        QCOMPARE(info->environment, Info::Environment::Windows);
        QVERIFY(!info->joinPassword);
        QVERIFY(info->mod);
        QCOMPARE(info->mod->link, QStringLiteral("http://www.counter-strike.net"));
        QCOMPARE(info->mod->downloadLink, QString());
        QCOMPARE(info->mod->version, 1u);
        QCOMPARE(info->mod->size, 184023488u);
        QVERIFY(info->mod->multiplayerOnly);
        QVERIFY(info->mod->ownDll);
        QVERIFY(info->vac);
        QCOMPARE(info->bots, 2);
        QVERIFY(!info->gamePort);

        // Without a mod the block is absent and VAC and bots follow at once.
        QByteArray plain = oldInfoAnswer();
        const qsizetype mod = plain.indexOf("http:");
        plain = plain.left(mod - 1) + hex("00") + hex("0003");
        const std::optional<A2s::ServerInfo> noMod = A2s::readInfo(plain);
        QVERIFY(noMod);
        QVERIFY(!noMod->mod);
        QVERIFY(!noMod->vac);
        QCOMPARE(noMod->bots, 3);
    }

    void playersAndRules() {
        const auto players = A2s::readPlayers(playersAnswer());
        QVERIFY(players);
        const QList<A2s::Player> expected{{QStringLiteral("Zo\u00EB"), 12, 400.0},
                                          {QStringLiteral("J\u00F6rg"), -1, 10.0},
                                          {QStringLiteral("[BOT] Harry"), 4, 0.0}};
        QCOMPARE(*players, expected);

        const auto rules = A2s::readRules(rulesAnswer());
        QVERIFY(rules);
        QCOMPARE(rules->size(), 3);
        QCOMPARE(rules->at(1), (A2s::Rule{QStringLiteral("sv_gravity"), QStringLiteral("800")}));
        QCOMPARE(rules->at(2).value, QStringLiteral("admin@example.net"));

        const auto nobody = A2s::readPlayers(hex("FFFFFFFF4400"));
        QVERIFY(nobody && nobody->isEmpty());
        const auto noRules = A2s::readRules(hex("FFFFFFFF450000"));
        QVERIFY(noRules && noRules->isEmpty());
    }

    void everyCutLengthIsRejected_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("wholeAt"); // a cut that leaves a whole answer; -1: none
        const QByteArray info = fullInfoAnswer();
        // An 'I' without extra data ends after its version string.
        QTest::newRow("I") << info << int(info.indexOf(z("1.1.2.7/Stdio")) + 14);
        QTest::newRow("m") << oldInfoAnswer() << -1;
        QTest::newRow("D") << playersAnswer() << -1;
        QTest::newRow("E") << rulesAnswer() << -1;
        QTest::newRow("A") << challengeAnswer() << -1;
    }
    void everyCutLengthIsRejected() {
        QFETCH(QByteArray, answer);
        QFETCH(int, wholeAt);
        const std::function<bool(QByteArrayView)> readers[] = {
            [](QByteArrayView b) { return A2s::readInfo(b).has_value(); },
            [](QByteArrayView b) { return A2s::readPlayers(b).has_value(); },
            [](QByteArrayView b) { return A2s::readRules(b).has_value(); },
            [](QByteArrayView b) { return A2s::readChallenge(b).has_value(); },
        };
        int readable = 0;
        for (const auto &read : readers)
            readable += readExactly(answer, read) ? 1 : 0;
        QCOMPARE(readable, 1);

        for (qsizetype cut = 0; cut < answer.size(); ++cut) {
            for (const auto &read : readers) {
                const bool ok = readExactly(answer.left(cut), read);
                QVERIFY2(!ok || cut == wholeAt, qPrintable(QStringLiteral("cut at %1").arg(cut)));
            }
        }
        if (wholeAt >= 0) {
            std::optional<A2s::ServerInfo> expected = A2s::readInfo(answer);
            expected->gamePort.reset();
            expected->steamId.reset();
            expected->spectator.reset();
            expected->keywords.reset();
            expected->gameId.reset();
            QVERIFY(A2s::readInfo(answer.left(wholeAt)) == expected);
        }
    }

    void countsAndStringsBeyondTheDatagramAreRejected() {
        // The count says more than the answer holds.
        QByteArray players = playersAnswer();
        players[5] = char(4);
        QVERIFY(!readExactly(players, [](QByteArrayView b) { return A2s::readPlayers(b); }));
        players[5] = char(0xFF);
        QVERIFY(!readExactly(players, [](QByteArrayView b) { return A2s::readPlayers(b); }));
        QByteArray rules = rulesAnswer();
        rules[5] = char(0xFF);
        rules[6] = char(0xFF);
        QVERIFY(!readExactly(rules, [](QByteArrayView b) { return A2s::readRules(b); }));
        // A string that runs to the end of the datagram without its NUL.
        const QByteArray noEnd = hex("FFFFFFFF4930") + QByteArray(60, 'x');
        QVERIFY(!readExactly(noEnd, [](QByteArrayView b) { return A2s::readInfo(b); }));
        const QByteArray lastRuleOpen = hex("FFFFFFFF450100") + z("sv_gravity") + "800";
        QVERIFY(!readExactly(lastRuleOpen, [](QByteArrayView b) { return A2s::readRules(b); }));
        // An extra-data flag whose field is missing.
        QVERIFY(!A2s::readInfo(fullInfoAnswer().chopped(8)));
        // Not answers at all.
        QVERIFY(!A2s::readInfo(hex("FEFFFFFF49")));
        QVERIFY(!A2s::readInfo(rulesAnswer()));
    }

    void textIsDecodedAndKeptToOneRow() {
        QCOMPARE(A2s::rowText("Zo\xC3\xAB"), QStringLiteral("Zo\u00EB"));
        // Not UTF-8: Latin-1, byte for byte.
        QCOMPARE(A2s::rowText("Zo\xEB \xC3"), QStringLiteral("Zo\u00EB \u00C3"));
        QCOMPARE(A2s::rowText("a\tb\r\nc\x01"
                              "d\x7F"
                              "e\xE2\x80\xAE"
                              "f"),
                 QStringLiteral("a b  c\uFFFDd\uFFFDe\uFFFDf"));
        // Latin-1 C1 controls are hidden too.
        QCOMPARE(A2s::rowText("x\x85y\x9Bz"), QStringLiteral("x y\uFFFDz"));
        const auto rules =
            A2s::readRules(hex("FFFFFFFF450100") + z("sv_motd") + z("line one\nline two\x1B[2J"));
        QVERIFY(rules);
        QCOMPARE(rules->first().value, QStringLiteral("line one line two\uFFFD[2J"));
    }

    void splitPartsJoinInAnyOrder() {
        const QByteArray payload = rulesAnswer().repeated(3);
        QList<QByteArray> parts = split(payload, 7, 3);
        std::sort(parts.begin(), parts.end());
        int orders = 0;
        do {
            A2sSplitJoiner joiner;
            for (int i = 0; i < 3; ++i) {
                const auto outcome = joiner.add(Server, 27015, parts.at(i), 0);
                QCOMPARE(outcome, i < 2 ? A2sSplitJoiner::Outcome::Waiting
                                        : A2sSplitJoiner::Outcome::Joined);
            }
            QCOMPARE(joiner.joined(), payload);
            QCOMPARE(joiner.waitingSets(), 0);
            QCOMPARE(joiner.waitingBytes(), qsizetype(0));
            ++orders;
        } while (std::next_permutation(parts.begin(), parts.end()));
        QCOMPARE(orders, 6);
    }

    void splitPartsThatDoNotBelong() {
        using Outcome = A2sSplitJoiner::Outcome;
        const QByteArray payload = rulesAnswer().repeated(2);
        const QList<QByteArray> parts = split(payload, 9, 2);
        A2sSplitJoiner joiner;

        // A repeat is kept once; a part from another sender or another port is its own set.
        QCOMPARE(joiner.add(Server, 27015, parts.at(0), 0), Outcome::Waiting);
        QCOMPARE(joiner.add(Server, 27015, parts.at(0), 0), Outcome::Waiting);
        QCOMPARE(joiner.add(QHostAddress(QStringLiteral("192.0.2.66")), 27015, parts.at(1), 0),
                 Outcome::Waiting);
        QCOMPARE(joiner.add(Server, 27016, parts.at(1), 0), Outcome::Waiting);
        QCOMPARE(joiner.waitingSets(), 3);
        QCOMPARE(joiner.add(Server, 27015, parts.at(1), 0), Outcome::Joined);
        QCOMPARE(joiner.joined(), payload);

        // Numbers and counts the engine never sends.
        QByteArray fifteen = parts.at(0);
        fifteen[8] = char(0x0F);
        QCOMPARE(joiner.add(Server, 27015, fifteen, 0), Outcome::Invalid);
        QByteArray numberTooHigh = parts.at(0);
        numberTooHigh[8] = char(0x22);
        QCOMPARE(joiner.add(Server, 27015, numberTooHigh, 0), Outcome::Invalid);
        QByteArray noParts = parts.at(0);
        noParts[8] = char(0x00);
        QCOMPARE(joiner.add(Server, 27015, noParts, 0), Outcome::Invalid);
        QCOMPARE(joiner.add(Server, 27015, parts.at(0).left(8), 0), Outcome::Invalid);
        // A part whose count differs from its set's.
        QByteArray otherCount = split(payload, 9, 3).at(1);
        QCOMPARE(joiner.add(Server, 27016, otherCount, 0), Outcome::Invalid);
        // Joined, but not an answer.
        const QList<QByteArray> garbage = split(QByteArray(50, 'x'), 10, 2);
        QCOMPARE(joiner.add(Server, 27015, garbage.at(0), 0), Outcome::Waiting);
        QCOMPARE(joiner.add(Server, 27015, garbage.at(1), 0), Outcome::Invalid);

        // What never completes is dropped by age, or with its sender.
        QCOMPARE(joiner.waitingSets(), 2);
        QCOMPARE(joiner.expire(1999, 2000), 0);
        QCOMPARE(joiner.dropSender(Server, 27016), 1);
        QCOMPARE(joiner.expire(2000, 2000), 1);
        QCOMPARE(joiner.waitingSets(), 0);
        QCOMPARE(joiner.waitingBytes(), qsizetype(0));
    }

    void oneSenderCannotFillTheJoiner() {
        using Outcome = A2sSplitJoiner::Outcome;
        A2sSplitJoiner joiner;
        const QByteArray payload = rulesAnswer().repeated(2);
        for (quint32 id = 0; id < A2sSplitJoiner::MaxSetsPerSender; ++id)
            QCOMPARE(joiner.add(Server, 27015, split(payload, id, 2).at(0), 0), Outcome::Waiting);
        QCOMPARE(joiner.add(Server, 27015, split(payload, 99, 2).at(0), 0), Outcome::NoRoom);
        // The sets already waiting still complete, and others still have room.
        QCOMPARE(joiner.add(Server, 27016, split(payload, 99, 2).at(0), 0), Outcome::Waiting);
        QCOMPARE(joiner.add(Server, 27015, split(payload, 0, 2).at(1), 0), Outcome::Joined);
    }
};

QTEST_GUILESS_MAIN(TestA2s)
#include "tst_a2s.moc"
