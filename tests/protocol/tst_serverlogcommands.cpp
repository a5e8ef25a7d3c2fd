// The server log's commands: where the server is to send its log, and what an admin says to the
// players. Nothing typed may add words or a second command to what the server's console runs.
#include "rcon/protocol/serverlogcommands.h"

#include <QTest>

class TestServerLogCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void logAddressTakesADottedIpv4AndAPort_data() {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("taken");
        QTest::newRow("address") << "203.0.113.5" << 27500 << true;
        QTest::newRow("port 0") << "203.0.113.5" << 0 << false;
        QTest::newRow("a name") << "example.net" << 27500 << false;
        QTest::newRow("IPv6") << "::1" << 27500 << false;
        QTest::newRow("short form") << "127.1" << 27500 << false;
        QTest::newRow("out of range") << "203.0.113.256" << 27500 << false;
        QTest::newRow("a second command") << "203.0.113.5;quit" << 27500 << false;
        QTest::newRow("a second word") << "203.0.113.5 27015" << 27500 << false;
        QTest::newRow("a line break") << "203.0.113.5\n" << 27500 << false;
    }
    void logAddressTakesADottedIpv4AndAPort() {
        QFETCH(QString, ip);
        QFETCH(int, port);
        QFETCH(bool, taken);
        const auto add = ServerLogCommands::addAddress(ip, quint16(port));
        const auto remove = ServerLogCommands::removeAddress(ip, quint16(port));
        QCOMPARE(add.has_value(), taken);
        QCOMPARE(remove.has_value(), taken);
        if (taken) {
            QCOMPARE(*add, QStringLiteral("logaddress_add %1 %2").arg(ip).arg(port));
            QCOMPARE(*remove, QStringLiteral("logaddress_del %1 %2").arg(ip).arg(port));
        }
    }

    void sayRefusesWhatWouldEndTheCommand_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");
        const QString separator = QStringLiteral("may not hold ; or \"");
        const QString control = QStringLiteral("line break or other control characters");
        QTest::newRow("a second command") << "hi; rcon_password x" << separator;
        QTest::newRow("a quote") << "hi\" ; quit" << separator;
        QTest::newRow("a line break") << "hi\nquit" << control;
        QTest::newRow("a carriage return") << "hi\rquit" << control;
        QTest::newRow("DEL") << "hi\x7F" << control;
        QTest::newRow("plain") << "gg, next map de_dust2!" << QString();
    }
    void sayRefusesWhatWouldEndTheCommand() {
        QFETCH(QString, text);
        QFETCH(QString, problem);
        const QString reason = ServerLogCommands::sayProblem(text);
        const auto command = ServerLogCommands::say(text);
        if (problem.isEmpty()) {
            QCOMPARE(reason, QString());
            QCOMPARE(command.value_or(QString()), QStringLiteral("say ") + text);
        } else {
            QVERIFY2(reason.startsWith(QStringLiteral("Not sent:")) && reason.contains(problem),
                     qPrintable(reason));
            QVERIFY(!command.has_value());
        }
    }

    // Players' clients read chat as UTF-8; the wire carries one character per byte.
    void sayCarriesUtf8ByteForByte() {
        QCOMPARE(ServerLogCommands::say(QStringLiteral("Zo\u00eb \u2605")).value_or(QString()),
                 QStringLiteral("say Zo\u00c3\u00ab \u00e2\u0098\u0085"));
        QVERIFY(!ServerLogCommands::say(QString()).has_value());
    }
};

QTEST_MAIN(TestServerLogCommands)
#include "tst_serverlogcommands.moc"
