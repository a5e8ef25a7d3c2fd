// The saved list of servers: addresses read as typed, several added at once or none, the list
// kept in the options file beside the other options, and found by name or group.
#include "rcon/servers/savedservers.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestSavedServers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addressesAreReadAsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("key"); // empty: refused
        QTest::addColumn<QString>("error");
        QTest::newRow("host") << "CS.Example.org"
                              << "cs.example.org:27015"
                              << "";
        QTest::newRow("host:port") << " 10.0.0.5:27016 "
                                   << "10.0.0.5:27016"
                                   << "";
        QTest::newRow("[v6]:port") << "[2001:DB8::1]:27020"
                                   << "[2001:db8::1]:27020"
                                   << "";
        QTest::newRow("bare v6") << "::1"
                                 << "[::1]:27015"
                                 << "";
        QTest::newRow("port 0") << "a.org:0"
                                << ""
                                << "The port in \"a.org:0\" is not a number from 1 to 65535.";
        QTest::newRow("port too big") << "a.org:65536"
                                      << ""
                                      << "The port in \"a.org:65536\" is not a number from 1 to "
                                         "65535.";
        QTest::newRow("port not a number") << "a.org:27O15"
                                           << ""
                                           << "The port in";
        QTest::newRow("empty port") << "a.org:"
                                    << ""
                                    << "The port in";
        QTest::newRow("blank in host") << "my server"
                                       << ""
                                       << "is not a server address";
        QTest::newRow("url") << "http://a.org"
                             << ""
                             << "is not a server address";
        QTest::newRow("v6 without bracket close") << "[::1:27015"
                                                  << ""
                                                  << "is not a server";
    }
    void addressesAreReadAsTyped() {
        QFETCH(QString, typed);
        QFETCH(QString, key);
        QFETCH(QString, error);
        QString reason;
        const std::optional<ServerAddress> address = SavedServers::parseAddress(typed, &reason);
        QCOMPARE(address.has_value(), !key.isEmpty());
        if (address) {
            QCOMPARE(address->key(), key);
            QCOMPARE(address->keyringKey(), QStringLiteral("rcon://") + key);
        } else {
            QVERIFY2(reason.contains(error), qPrintable(reason));
        }
    }

    void severalAreAddedAllOrNone() {
        QTemporaryDir dir;
        SavedServers list(dir.filePath(QStringLiteral("Talvero.conf")));
        QVERIFY(list.add(QStringLiteral("a.example.org:27015"), QStringLiteral("Public"),
                         QStringLiteral("Clan")));

        QString error;
        // A bad port on the third line: nothing of the three is added.
        QVERIFY(!list.add(QStringLiteral("10.0.0.1\n\n10.0.0.2:27016\n10.0.0.3:99999\n"), {}, {},
                          &error));
        QCOMPARE(error, QStringLiteral("The port in \"10.0.0.3:99999\" is not a number from 1 "
                                       "to 65535."));
        // The same server as one already listed, written differently.
        QVERIFY(!list.add(QStringLiteral("10.0.0.1\nA.example.org"), {}, {}, &error));
        QCOMPARE(error, QStringLiteral("A.example.org is already in the list."));
        // The same server twice among the new ones.
        QVERIFY(!list.add(QStringLiteral("10.0.0.1\n10.0.0.1:27015"), {}, {}, &error));
        QCOMPARE(list.count(), 1);

        const std::optional<QList<SavedServer>> added =
            list.add(QStringLiteral(" 10.0.0.1\r\n10.0.0.2:27016\n"), {}, QStringLiteral("Match"));
        QVERIFY(added);
        QCOMPARE(added->size(), 2);
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.at(1).address, QStringLiteral("10.0.0.1"));
        QCOMPARE(list.at(2).group, QStringLiteral("Match"));

        // An edit may not take another entry's server; its own may be written differently.
        SavedServer edited = list.at(1);
        edited.address = QStringLiteral("10.0.0.2:27016");
        QVERIFY(!list.replace(1, edited, &error));
        QCOMPARE(error, QStringLiteral("10.0.0.2:27016 is already in the list."));
        edited.address = QStringLiteral("10.0.0.1:27015");
        QVERIFY(list.replace(1, edited));
    }

    void theListIsKeptBesideTheOtherOptionsAndFoundByName() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Talvero.conf"));
        {
            QSettings options(file, QSettings::IniFormat);
            options.setValue(QStringLiteral("Options/ShowPassDlg"), QStringLiteral("1"));
            options.setValue(QStringLiteral("Servers/RefreshSeconds"), 30);
        }
        SavedServers list(file);
        QVERIFY(list.add(QStringLiteral("10.0.0.1\n10.0.0.2"), {}, QStringLiteral("Match")));
        QVERIFY(list.add(QStringLiteral("[::1]:27016"), QStringLiteral("Test box"), {}));
        QVERIFY(list.setLastName(0, QStringLiteral("Clan Match #1")));
        QVERIFY(!list.setLastName(0, QStringLiteral("Clan Match #1")));
        QVERIFY(list.save());
        list.removeAt(1);
        QVERIFY(list.save());

        SavedServers read(file);
        read.load();
        QCOMPARE(read.servers(), list.servers());
        QCOMPARE(read.count(), 2);
        QSettings options(file, QSettings::IniFormat);
        QCOMPARE(options.value(QStringLiteral("Options/ShowPassDlg")).toString(),
                 QStringLiteral("1"));
        QCOMPARE(options.value(QStringLiteral("Servers/RefreshSeconds")).toInt(), 30);
        // Removed entries leave nothing behind.
        QCOMPARE(options.value(QStringLiteral("Servers/List/size")).toInt(), 2);
        QVERIFY(!options.contains(QStringLiteral("Servers/List/3/Address")));

        QCOMPARE(read.named(QStringLiteral("clan match #1")).size(), 1);
        QCOMPARE(read.named(QStringLiteral("TEST BOX")).first().address,
                 QStringLiteral("[::1]:27016"));
        QCOMPARE(read.named(QStringLiteral("10.0.0.1:27015")).first().lastName,
                 QStringLiteral("Clan Match #1"));
        QCOMPARE(read.inGroup(QStringLiteral("match")).size(), 1);
        QCOMPARE(read.groups(), QStringList{QStringLiteral("Match")});
        QCOMPARE(read.at(1).displayName(), QStringLiteral("Test box"));
    }
};

QTEST_GUILESS_MAIN(TestSavedServers)
#include "tst_savedservers.moc"
