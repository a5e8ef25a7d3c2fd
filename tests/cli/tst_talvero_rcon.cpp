// talvero-rcon run as a script runs it: a process with its standard input not a terminal and
// the password in its environment, against a game server on 127.0.0.1 in this process.
#include "rcon/protocol/rconcodec.h"
#include "tests/support/fakegameserver.h"
#include "tests/support/goldsrcserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral(TALVERO_RCON_PROGRAM);

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QProcessEnvironment environment(const QString &password) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TALVERO_RCON_PASSWORD"));
    if (!password.isNull())
        env.insert(QStringLiteral("TALVERO_RCON_PASSWORD"), password);
    return env;
}

// Runs talvero-rcon to its end. The event loop turns meanwhile, so the server in this process
// answers.
Run rcon(const QStringList &arguments, const QByteArray &input = {},
         const QString &password = QStringLiteral("secret")) {
    QProcess process;
    process.setProcessEnvironment(environment(password));
    process.start(Program, arguments);
    Run run;
    if (!process.waitForStarted())
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000))
        process.kill();
    process.waitForFinished();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QStringList at(quint16 port, const QStringList &rest) {
    return QStringList{QStringLiteral("-H"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                       QString::number(port)} +
           rest;
}

quint16 deadPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// The test server's cvarlist, as it prints it.
QByteArray cvarList() {
    QByteArray text = "CVar List\n--------------\n";
    text += QByteArray("hostname").leftJustified(31) + ": Talvero Test Server\n";
    text += QByteArray("sv_gravity").leftJustified(31) + ": 750\n";
    for (int i = 1; i <= 500; ++i) {
        text += ("sv_setting_" + QByteArray::number(i)).leftJustified(31) + ": " +
                QByteArray::number(i * 7) + '\n';
    }
    return text + "--------------\n502 Total CVars\nCvarList ? for syntax\n";
}

// A pseudo-terminal for the child's standard input and error, as when an admin types.
class Terminal final {
public:
    Terminal() {
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
            return;
        fcntl(m_master, F_SETFD, FD_CLOEXEC);
        fcntl(m_master, F_SETFL, O_NONBLOCK);
    }
    ~Terminal() {
        ::close(m_master);
        ::close(m_slave);
    }
    bool isOpen() const { return m_master >= 0; }
    // Makes the terminal the child's controlling terminal, its standard input and error.
    void attach(QProcess &process) {
        const int slave = m_slave;
        process.setChildProcessModifier([slave] {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            dup2(slave, STDIN_FILENO);
            dup2(slave, STDERR_FILENO);
        });
    }
    // Waits until the terminal has shown the text; everything shown so far.
    bool waitFor(const QByteArray &text) {
        return QTest::qWaitFor(
            [&] {
                char buffer[512];
                ssize_t got = 0;
                while ((got = ::read(m_master, buffer, sizeof buffer)) > 0)
                    shown.append(buffer, got);
                return shown.contains(text);
            },
            10000);
    }
    void type(const QByteArray &keys) {
        [[maybe_unused]] const ssize_t written = ::write(m_master, keys.constData(), keys.size());
    }
    bool echoes() const {
        struct termios mode = {};
        return tcgetattr(m_slave, &mode) == 0 && (mode.c_lflag & ECHO);
    }
    QByteArray shown;

private:
    int m_master = -1;
    int m_slave = -1;
};

} // namespace

class TestTalveroRcon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandsAreAnsweredInOrder() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        const Run run =
            rcon(at(server.port(), {QStringLiteral("hostname"), QStringLiteral("sv_gravity 750"),
                                    QStringLiteral("cvarlist")}));
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        // The empty acknowledgement prints nothing; the long listing comes joined, whole.
        QCOMPARE(run.out, "\"hostname\" is \"Talvero Test Server\"\n" + cvarList());
        QCOMPARE(server.executedCommands(),
                 QStringList({QStringLiteral("hostname"), QStringLiteral("sv_gravity 750"),
                              QStringLiteral("cvarlist")}));
    }

    // The engine splits a bare password at ' : , and blanks: "it's:a,b" would reach it as "it".
    void aPasswordTheServerWouldSplitIsAccepted() {
        GoldSrcServer server;
        server.setPassword("it's:a,b");
        QVERIFY(server.listen());
        const Run run =
            rcon(at(server.port(), {QStringLiteral("hostname")}), {}, QStringLiteral("it's:a,b"));
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("\"hostname\" is \"Talvero Test Server\"\n"));
    }

    void standardInputIsABatch() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        const Run run = rcon(at(server.port(), {}), "echo one  two\n\n   \nsv_gravity\r\nquit\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out,
                 QByteArray("one two\n\"sv_gravity\" is \"800\"\nUnknown command: quit\n"));
    }

    void jsonGivesTheStatusAsNumbers() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        const Run run = rcon({QStringLiteral("--json"), QStringLiteral("--host"),
                              QStringLiteral("127.0.0.1:%1").arg(server.port()),
                              QStringLiteral("  STATUS "), QStringLiteral("sv_gravity 700")});
        QCOMPARE(run.exitCode, 0);
        const QList<QByteArray> lines = run.out.split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[2], QByteArray());
        const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(first.value(QStringLiteral("command")).toString(), QStringLiteral("  STATUS "));
        QCOMPARE(first.value(QStringLiteral("reply")).toString() + QLatin1Char('\n'),
                 RconCodec::displayText(QString::fromLatin1(server.statusText())));
        const QJsonObject status = first.value(QStringLiteral("status")).toObject();
        QCOMPARE(status.value(QStringLiteral("hostname")).toString(),
                 QStringLiteral("Talvero Test Server"));
        QCOMPARE(status.value(QStringLiteral("map")).toString(), QStringLiteral("de_dust2"));
        QCOMPARE(status.value(QStringLiteral("players_active")), QJsonValue(10));
        QCOMPARE(status.value(QStringLiteral("players_max")), QJsonValue(32));
        const QJsonArray players = status.value(QStringLiteral("players")).toArray();
        QCOMPARE(players.size(), server.players().size());
        for (qsizetype i = 0; i < players.size(); ++i) {
            const GoldSrcServer::Player &expected = server.players().at(i);
            const QJsonObject player = players.at(i).toObject();
            QCOMPARE(player.value(QStringLiteral("name")).toString(),
                     QString::fromUtf8(expected.name));
            QCOMPARE(player.value(QStringLiteral("userid")), QJsonValue(expected.userId));
            QCOMPARE(player.value(QStringLiteral("uniqueid")).toString(),
                     QString::fromLatin1(expected.uniqueId));
            QCOMPARE(player.value(QStringLiteral("address")).toString(),
                     QString::fromLatin1(expected.address));
            QVERIFY(player.value(QStringLiteral("ping")).isDouble());
            QVERIFY(player.value(QStringLiteral("loss")).isDouble());
            QVERIFY(player.value(QStringLiteral("time")).isString());
        }
        // Negative frags stay numbers too.
        QCOMPARE(players.at(2).toObject().value(QStringLiteral("frags")), QJsonValue(-1));
        QCOMPARE(QJsonDocument::fromJson(lines[1]).object(),
                 QJsonObject({{QStringLiteral("command"), QStringLiteral("sv_gravity 700")},
                              {QStringLiteral("reply"), QString()}}));
    }

    void aStatusReplyThatIsNoTableIsToldOnStandardError() {
        FakeGameServer server;
        QVERIFY(server.isListening());
        server.setReplies("status", {GoldSrcServer::consoleReply("Unknown command: status\n")});
        const Run run =
            rcon(at(server.port(), {QStringLiteral("--json"), QStringLiteral("status")}));
        QCOMPARE(run.exitCode, 0);
        const QJsonObject object = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(object.value(QStringLiteral("reply")).toString(),
                 QStringLiteral("Unknown command: status"));
        QVERIFY(!object.contains(QStringLiteral("status")));
        QVERIFY(run.err.contains("not a status table"));
    }

    void aReplyThatIsNotUtf8IsReadAsLatin1() {
        FakeGameServer server;
        QVERIFY(server.isListening());
        server.setReplies("echo", {GoldSrcServer::consoleReply("caf\xE9 cr\xE8me \xFF\n")});
        const Run run = rcon(at(server.port(), {QStringLiteral("echo")}));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("caf\u00E9 cr\u00E8me \u00FF\n").toUtf8());
    }

    void aDatagramFromAnotherAddressNeverReachesTheOutput() {
        FakeGameServer server;
        QVERIFY(server.isListening());
        server.setReplies("users", {GoldSrcServer::consoleReply("first part\n")});
        // While the reply is coming, a stranger sends console output; then the rest comes.
        connect(&server, &FakeGameServer::datagramReceived, this, [&server] {
            if (!server.datagrams().constLast().bytes.endsWith("users"))
                return;
            server.sendFromForeign(GoldSrcServer::consoleReply("INJECTED\n"));
            server.sendToLastSender(GoldSrcServer::consoleReply("second part\n"));
        });
        const Run run = rcon(at(server.port(), {QStringLiteral("users")}));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("first part\nsecond part\n"));
    }

    void badUsageSendsNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("complaint");
        const QString secret = QStringLiteral("secret");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--verbose"), QStringLiteral("status")} << secret
            << QByteArray("unknown option --verbose");
        QTest::newRow("no password option")
            << QStringList{QStringLiteral("--password"), secret, QStringLiteral("status")}
            << QString() << QByteArray("no option takes the password");
        QTest::newRow("bad port") << QStringList{QStringLiteral("--port=70000"),
                                                 QStringLiteral("status")}
                                  << secret << QByteArray("bad port");
        QTest::newRow("line break")
            << QStringList{QStringLiteral("status"), QStringLiteral("say hi\nquit")} << secret
            << QByteArray("line break");
        QTest::newRow("no password") << QStringList{QStringLiteral("status")} << QString()
                                     << QByteArray("no password: set TALVERO_RCON_PASSWORD");
        // In quotes the server would read "a", bare "a\"b": never the password itself.
        QTest::newRow("a password the server cannot read")
            << QStringList{QStringLiteral("status")} << QStringLiteral("a\"b c")
            << QByteArray("holds a double quote");
    }
    void badUsageSendsNothing() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, password);
        QFETCH(QByteArray, complaint);
        FakeGameServer server;
        QVERIFY(server.isListening());
        const Run run = rcon(at(server.port(), arguments), {}, password);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith("talvero-rcon: ") && run.err.contains(complaint), run.err);
        QCOMPARE(run.out, QByteArray());
        QCoreApplication::processEvents();
        QVERIFY(server.datagrams().isEmpty());
    }

    void aMissingServerIsBadUsage() {
        const Run run = rcon({QStringLiteral("status")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains("no server given"));
    }

    void noAnswerEndsWithStatus3_data() {
        QTest::addColumn<bool>("portClosed");
        QTest::newRow("silent server") << false;
        QTest::newRow("closed port") << true;
    }
    void noAnswerEndsWithStatus3() {
        QFETCH(bool, portClosed);
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
        const quint16 port = portClosed ? deadPort() : silent.localPort();
        const Run run = rcon(at(
            port, {QStringLiteral("--timeout"), QStringLiteral("0.3"), QStringLiteral("status")}));
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(portClosed ? "cannot be reached" : "no answer"), run.err);
    }

    void aRefusedPasswordStopsAtOnce() {
        FakeGameServer server;
        QVERIFY(server.isListening());
        server.setReplies("status", {GoldSrcServer::badPasswordReply()});
        const Run run = rcon(at(server.port(), {QStringLiteral("status"), QStringLiteral("users")}),
                             {}, QStringLiteral("wrong"));
        QCOMPARE(run.exitCode, 4);
        QVERIFY(run.err.contains("refused the password (Bad rcon_password.)"));
        QCOMPARE(run.out, QByteArray());
        // The challenge and the one refused command: nothing more counts toward a ban.
        QCoreApplication::processEvents();
        QCOMPARE(server.datagrams().size(), 2);
        QVERIFY(server.received(1).endsWith(" wrong status"));
    }

    void aBannedAddressEndsWithStatus5() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        server.ban(QHostAddress::LocalHost);
        const Run run = rcon(at(server.port(), {QStringLiteral("status")}));
        QCOMPARE(run.exitCode, 5);
        QVERIFY(run.err.contains("You have been banned from this server."));
    }

    void anUnknownHostEndsWithStatus6() {
        const Run run = rcon({QStringLiteral("-H"), QStringLiteral("no-such-server.invalid"),
                              QStringLiteral("status")});
        QCOMPARE(run.exitCode, 6);
        QVERIFY(run.err.contains("no-such-server.invalid"));
    }

    void thePasswordFileWinsAndIsWarnedAboutWhenOthersCanRead() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("rcon-password")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("secret\r\nnot the password\n");
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::ReadOther));
        const Run run = rcon(at(server.port(), {QStringLiteral("--password-file"), file.fileName(),
                                                QStringLiteral("hostname")}),
                             {}, QStringLiteral("wrong"));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("\"hostname\" is \"Talvero Test Server\"\n"));
        QVERIFY(run.err.contains("warning: the password file"));
        QVERIFY(run.err.contains("can be read by other users"));
    }

    void atATerminalThePasswordIsAskedWithoutEcho() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        Terminal terminal;
        QVERIFY(terminal.isOpen());
        QProcess process;
        QProcessEnvironment env = environment(QString());
        env.insert(QStringLiteral("TERM"), QStringLiteral("dumb"));
        process.setProcessEnvironment(env);
        terminal.attach(process);
        process.start(Program, at(server.port(), {}));
        QVERIFY(terminal.waitFor("rcon password for 127.0.0.1:"));
        QVERIFY(!terminal.echoes());
        terminal.type("secret\n");
        const QByteArray prompt =
            QByteArray("127.0.0.1:") + QByteArray::number(server.port()) + "> ";
        QVERIFY(terminal.waitFor(prompt));
        QVERIFY(!terminal.shown.contains("secret"));
        terminal.type("sv_gravity\n");
        QByteArray out;
        QTRY_COMPARE_WITH_TIMEOUT(out += process.readAllStandardOutput(),
                                  QByteArray("\"sv_gravity\" is \"800\"\n"), 20000);
        terminal.type("quit\n");
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 20000);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(terminal.echoes());
        QCOMPARE(server.executedCommands(), QStringList{QStringLiteral("sv_gravity")});
    }

    void ctrlCAtThePasswordPromptGivesTheTerminalBack() {
        Terminal terminal;
        QVERIFY(terminal.isOpen());
        QProcess process;
        process.setProcessEnvironment(environment(QString()));
        terminal.attach(process);
        process.start(Program, at(deadPort(), {QStringLiteral("status")}));
        QVERIFY(terminal.waitFor("rcon password for"));
        QVERIFY(!terminal.echoes());
        terminal.type("\x03");
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 20000);
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QVERIFY(terminal.echoes());
    }

    void bashCompletesOptionsAndCommands() {
        const auto complete = [](const QString &words) {
            QProcess bash;
            bash.start(
                QStringLiteral("bash"),
                {QStringLiteral("-c"),
                 QStringLiteral("source '%1'; COMP_WORDS=(%2); COMP_CWORD=$((${#COMP_WORDS[@]}"
                                " - 1)); _talvero_rcon; echo \"${COMPREPLY[*]}\"")
                     .arg(QStringLiteral(TALVERO_RCON_COMPLETION), words)});
            bash.waitForFinished();
            return bash.readAllStandardOutput().trimmed();
        };
        QCOMPARE(complete(QStringLiteral("talvero-rcon --ti")), QByteArray("--timeout"));
        QCOMPARE(complete(QStringLiteral("talvero-rcon -H host chang")), QByteArray("changelevel"));
        QCOMPARE(complete(QStringLiteral("talvero-rcon -p ''")), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestTalveroRcon)
#include "tst_talvero_rcon.moc"
