// The test server's answers to the server queries, read by an independent client: quakestat
// (Debian's qstat) asks for info, players and rules and prints what it understood.
#include "tests/support/goldsrcserver.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class TestTestServerQueries : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void quakestatReadsEveryAnswer_data() {
        QTest::addColumn<bool>("challenge");
        QTest::addColumn<A2sResponder::InfoFormat>("format");
        QTest::addColumn<QString>("formatRule"); // a rule quakestat makes of that format only
        QTest::newRow("I, challenge first")
            << true << A2sResponder::InfoFormat::Current << QStringLiteral("version=1.1.2.7/Stdio");
        QTest::newRow("m") << false << A2sResponder::InfoFormat::Old
                           << QStringLiteral("mod_url=http://www.counter-strike.net");
        QTest::newRow("m then I") << false << A2sResponder::InfoFormat::OldThenCurrent
                                  << QStringLiteral("mod_size=184000000");
    }
    void quakestatReadsEveryAnswer() {
        QFETCH(bool, challenge);
        QFETCH(A2sResponder::InfoFormat, format);
        QFETCH(QString, formatRule);
        const QString quakestat = QStandardPaths::findExecutable(QStringLiteral("quakestat"));
        QVERIFY2(!quakestat.isEmpty(), "quakestat (Debian package qstat) is not installed");

        GoldSrcServer server;
        QVERIFY(server.listen());
        server.queries().setChallengeRequired(challenge);
        server.queries().setInfoFormat(format);
        server.setJoinPassword("letmein");
        const QString address = QStringLiteral("127.0.0.1:%1").arg(server.port());

        QProcess process;
        process.start(quakestat,
                      {QStringLiteral("-a2s"), address, QStringLiteral("-P"), QStringLiteral("-R"),
                       QStringLiteral("-raw"), QStringLiteral(";")});
        // The server answers from this thread's event loop while quakestat runs.
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 20000);
        QCOMPARE(process.exitCode(), 0);
        const QStringList lines =
            QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
        QVERIFY2(lines.size() >= 12, qPrintable(lines.join(QLatin1Char('\n'))));

        // Type, address, name, map, max players, players, ping, retries.
        const QStringList head = lines.at(0).split(QLatin1Char(';'));
        QCOMPARE(
            head.mid(0, 6),
            (QStringList{QStringLiteral("A2S"), address, QStringLiteral("Talvero Test Server"),
                         QStringLiteral("de_dust2"), QStringLiteral("32"), QStringLiteral("10")}));

        // Every rule the server has, joined from its shuffled parts.
        const QStringList rules = lines.at(1).split(QLatin1Char(';'));
        const QList<A2sResponder::Rule> own = A2sResponder::defaultRules(server.queryState());
        QVERIFY(A2sResponder::rulesAnswer(own).size() > A2sResponder::MaxDatagram);
        for (const A2sResponder::Rule &rule : own)
            QVERIFY2(rules.contains(QString::fromLatin1(rule.first + '=' + rule.second)),
                     rule.first.constData());
        QVERIFY(rules.contains(QStringLiteral("sv_password=1")));
        QVERIFY(rules.contains(formatRule));
        QVERIFY(rules.contains(QStringLiteral("secure=1")));
        QVERIFY(rules.contains(QStringLiteral("bots=1")));

        // Name, score and time of each player.
        for (const GoldSrcServer::Player &player : server.players()) {
            if (player.name.contains('\xC3'))
                continue; // quakestat shows other bytes than the name's UTF-8
            const QString line = QStringLiteral("%1;%2;%3")
                                     .arg(QString::fromLatin1(player.name))
                                     .arg(player.frags)
                                     .arg(player.seconds);
            QVERIFY2(lines.contains(line), qPrintable(line));
        }
    }
};

QTEST_GUILESS_MAIN(TestTestServerQueries)
#include "tst_testserverqueries.moc"
