// talvero-rcon run as a script runs it: a process with its standard input not a terminal and
// the password in its environment, against game servers on 127.0.0.1 in this process.
#include "rcon/protocol/rconcodec.h"
#include "rcon/servers/passwordkeyring.h"
#include "rcon/servers/savedservers.h"
#include "tests/support/fakegameserver.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/sessionbus.h"
#include "tests/support/testkeyring.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
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

// A configuration folder without saved servers, so the user's own never reach a test.
const QTemporaryDir noSavedServers;

QProcessEnvironment environment(const QString &password,
                                const QString &configDir = noSavedServers.path()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TALVERO_RCON_PASSWORD"));
    if (!password.isNull())
        env.insert(QStringLiteral("TALVERO_RCON_PASSWORD"), password);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    return env;
}

// Runs talvero-rcon to its end. The event loop turns meanwhile, so the servers in this process
// answer.
Run rcon(const QStringList &arguments, const QByteArray &input = {},
         const QString &password = QStringLiteral("secret"),
         const QProcessEnvironment &env = QProcessEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env.isEmpty() ? environment(password) : env);
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

QString address(quint16 port) {
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

// -H for each server.
QStringList hosts(const QList<quint16> &ports) {
    QStringList arguments;
    for (const quint16 port : ports)
        arguments << QStringLiteral("-H") << address(port);
    return arguments;
}

// The lines that begin with "prefix: ", without it.
QList<QByteArray> linesOf(const QByteArray &out, quint16 port) {
    const QByteArray prefix = address(port).toLatin1() + ": ";
    QList<QByteArray> lines;
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith(prefix))
            lines.append(line.mid(prefix.size()));
    }
    return lines;
}

// Options naming saved servers: a configuration folder of its own with the list in it.
class SavedList final {
public:
    bool add(const QString &addressText, const QString &label, const QString &group) {
        SavedServers servers(file());
        servers.load();
        return servers.add(addressText, label, group).has_value() && servers.save();
    }
    QString configDir() const { return m_dir.path(); }

private:
    QString file() const { return m_dir.filePath(QStringLiteral("Talvero/Talvero.conf")); }
    QTemporaryDir m_dir;
};

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

    // One server holds its first reply back until the others are done: only servers talked to
    // at once get there. --parallel 2 keeps the third waiting until the second is through.
    void severalServersAreAnsweredAtOnceEachInOrder() {
        FakeGameServer held;
        GoldSrcServer first;
        GoldSrcServer second;
        QVERIFY(held.isListening() && first.listen() && second.listen());
        held.setReplies("status", {GoldSrcServer::consoleReply(first.statusText())});
        held.setReplies("echo two", {GoldSrcServer::consoleReply("two\n")});
        bool heldAsked = false;
        bool released = false;
        int firstDoneWhenSecondStarted = -1;
        const auto release = [&] {
            if (!released && heldAsked && first.executedCommands().size() == 3 &&
                second.executedCommands().size() == 3) {
                released = true;
                held.sendToLastSender(GoldSrcServer::consoleReply("one\n"));
            }
        };
        connect(&held, &FakeGameServer::datagramReceived, this, [&] {
            heldAsked = heldAsked || held.datagrams().constLast().bytes.endsWith("echo one");
            release();
        });
        connect(&first, &GoldSrcServer::commandExecuted, this, release);
        connect(&second, &GoldSrcServer::commandExecuted, this, [&] {
            if (firstDoneWhenSecondStarted < 0)
                firstDoneWhenSecondStarted = int(first.executedCommands().size());
            release();
        });

        const Run run = rcon(hosts({held.port(), first.port(), second.port()}) +
                                 QStringList{QStringLiteral("--parallel"), QStringLiteral("2"),
                                             QStringLiteral("--wait"), QStringLiteral("100")},
                             "echo one\nstatus\necho two\n");
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(firstDoneWhenSecondStarted, 3);
        // The held server answers status with the first one's table.
        const QList<std::pair<quint16, const GoldSrcServer *>> tables{
            {held.port(), &first}, {first.port(), &first}, {second.port(), &second}};
        for (const auto &[port, server] : tables) {
            const QList<QByteArray> status =
                RconCodec::displayText(QString::fromLatin1(server->statusText()))
                    .toUtf8()
                    .trimmed()
                    .split('\n');
            QCOMPARE(linesOf(run.out, port),
                     QList<QByteArray>{"one"} + status + QList<QByteArray>{"two"});
            // A reply's lines are never split by another server's.
            const QByteArray prefix = address(port).toLatin1() + ": ";
            QVERIFY(run.out.contains(prefix + status.join("\n" + prefix) + '\n'));
        }
        // Every line is a server's.
        QCOMPARE(run.out.count('\n'), linesOf(run.out, held.port()).size() +
                                          linesOf(run.out, first.port()).size() +
                                          linesOf(run.out, second.port()).size());
    }

    void aFailureStopsThatServerAloneAndTheWorstStatusIsTheExit() {
        GoldSrcServer good;
        FakeGameServer refusing;
        QUdpSocket silent;
        QVERIFY(good.listen() && refusing.isListening() && silent.bind(QHostAddress::LocalHost, 0));
        refusing.setReplies("echo one", {GoldSrcServer::badPasswordReply()});
        const Run run = rcon(hosts({good.port(), refusing.port(), silent.localPort()}) +
                             QStringList{QStringLiteral("--timeout"), QStringLiteral("0.5"),
                                         QStringLiteral("echo one"), QStringLiteral("echo two")});
        QCOMPARE(run.exitCode, 4);
        QCOMPARE(run.out, (address(good.port()) + QStringLiteral(": one\n") + address(good.port()) +
                           QStringLiteral(": two\n"))
                              .toLatin1());
        QVERIFY2(run.err.contains(address(refusing.port()).toLatin1() +
                                  ": refused the password (Bad rcon_password.)\n"),
                 run.err);
        QVERIFY2(
            run.err.contains(address(silent.localPort()).toLatin1() + ": no answer within 0.5 s\n"),
            run.err);
        // The challenge and the one refused command: nothing more counts toward a ban.
        QCoreApplication::processEvents();
        QCOMPARE(refusing.datagrams().size(), 2);
    }

    void jsonLinesNameTheirServer() {
        GoldSrcServer first;
        GoldSrcServer second;
        QVERIFY(first.listen() && second.listen());
        second.setHostname("Second");
        const Run run = rcon(hosts({first.port(), second.port()}) +
                             QStringList{QStringLiteral("--json"), QStringLiteral("status")});
        QCOMPARE(run.exitCode, 0);
        QHash<QString, QString> hostnames;
        for (const QByteArray &line : run.out.trimmed().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            QCOMPARE(object.value(QStringLiteral("command")).toString(), QStringLiteral("status"));
            hostnames.insert(object.value(QStringLiteral("server")).toString(),
                             object.value(QStringLiteral("status"))
                                 .toObject()
                                 .value(QStringLiteral("hostname"))
                                 .toString());
        }
        QCOMPARE(hostnames, (QHash<QString, QString>{
                                {address(first.port()), QStringLiteral("Talvero Test Server")},
                                {address(second.port()), QStringLiteral("Second")}}));
    }

    void atATerminalEachLineGoesToEveryServer() {
        GoldSrcServer first;
        GoldSrcServer second;
        QVERIFY(first.listen() && second.listen());
        Terminal terminal;
        QVERIFY(terminal.isOpen());
        QProcess process;
        QProcessEnvironment env = environment(QStringLiteral("secret"));
        env.insert(QStringLiteral("TERM"), QStringLiteral("dumb"));
        process.setProcessEnvironment(env);
        terminal.attach(process);
        process.start(Program, hosts({first.port(), second.port()}));
        QVERIFY(terminal.waitFor("2 servers> "));
        terminal.type("sv_gravity\n");
        QByteArray out;
        QTRY_COMPARE_WITH_TIMEOUT((out += process.readAllStandardOutput()).count('\n'), 2, 20000);
        QCOMPARE(linesOf(out, first.port()), QList<QByteArray>{"\"sv_gravity\" is \"800\""});
        QCOMPARE(linesOf(out, second.port()), QList<QByteArray>{"\"sv_gravity\" is \"800\""});
        terminal.type("quit\n");
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 20000);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(second.executedCommands(), QStringList{QStringLiteral("sv_gravity")});
    }

    // A group of saved servers: one's password from a real desktop keyring the test starts,
    // the other's the common one; a saved server outside the group hears nothing.
    void savedServersTakeTheirPasswordFromTheKeyring() {
        SessionBus &bus = m_bus;
        QVERIFY(bus.start(SessionBus::Activation::None));
        // Before anything in this process opens the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
        QVERIFY(m_keyring.start());

        GoldSrcServer kept;
        GoldSrcServer common;
        FakeGameServer outside;
        QVERIFY(kept.listen() && common.listen() && outside.isListening());
        kept.setPassword("kept pass");
        SavedList saved;
        QVERIFY(saved.add(address(kept.port()), QStringLiteral("Public"), QStringLiteral("cs")));
        QVERIFY(saved.add(address(common.port()), QStringLiteral("Match"), QStringLiteral("CS")));
        QVERIFY(saved.add(address(outside.port()), QStringLiteral("Test"), QString()));
        PasswordKeyring passwords;
        std::optional<PasswordKeyring::Result> written;
        passwords.write(ServerAddress{QStringLiteral("127.0.0.1"), kept.port()}.keyringKey(),
                        QStringLiteral("kept pass"),
                        [&](const PasswordKeyring::Result &result) { written = result; });
        QTRY_VERIFY_WITH_TIMEOUT(written.has_value(), 20000);
        QCOMPARE(written->status, PasswordKeyring::Status::Done);

        const Run run =
            rcon({QStringLiteral("-g"), QStringLiteral("cs"), QStringLiteral("sv_gravity")}, {}, {},
                 bus.with(environment(QStringLiteral("secret"), saved.configDir())));
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count('\n'), 2);
        QVERIFY(run.out.contains("Public: \"sv_gravity\" is \"800\"\n"));
        QVERIFY(run.out.contains("Match: \"sv_gravity\" is \"800\"\n"));
        QCOMPARE(kept.executedCommands(), QStringList{QStringLiteral("sv_gravity")});
        QVERIFY(outside.datagrams().isEmpty());
    }

    // In the order given, whatever order they answer in; no password needed.
    void queryGivesALinePerServer() {
        GoldSrcServer first;
        GoldSrcServer second;
        QUdpSocket silent;
        QVERIFY(first.listen() && second.listen() && silent.bind(QHostAddress::LocalHost, 0));
        first.setHostname("First");
        second.setHostname("Second");
        second.setPlayers(GoldSrcServer::crowd(3));
        const Run run = rcon(hosts({second.port(), silent.localPort(), first.port()}) +
                                 QStringList{QStringLiteral("--query"), QStringLiteral("--timeout"),
                                             QStringLiteral("0.6")},
                             {}, QString());
        QCOMPARE(run.exitCode, 3);
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QRegularExpression secondLine(
            QStringLiteral("^%1: Second\\tde_dust2\\t3/32\\t\\d+ ms$")
                .arg(QRegularExpression::escape(address(second.port()))));
        const QRegularExpression firstLine(
            QStringLiteral("^%1: First\\tde_dust2\\t10/32 \\(1 bot\\)\\t\\d+ ms$")
                .arg(QRegularExpression::escape(address(first.port()))));
        QVERIFY2(secondLine.match(QString::fromUtf8(lines[0])).hasMatch(), lines[0]);
        QVERIFY2(firstLine.match(QString::fromUtf8(lines[1])).hasMatch(), lines[1]);
        QVERIFY2(run.err.contains(address(silent.localPort()).toLatin1() +
                                  ": no answer to the info query"),
                 run.err);
    }

    void queryJsonHoldsPlayersAndRules() {
        GoldSrcServer server;
        QVERIFY(server.listen());
        server.setJoinPassword("join");
        const Run run =
            rcon(hosts({server.port()}) +
                     QStringList{QStringLiteral("--query"), QStringLiteral("--json"),
                                 QStringLiteral("--players"), QStringLiteral("--rules")},
                 {}, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count('\n'), 1);
        const QJsonObject object = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(object.value(QStringLiteral("server")).toString(), address(server.port()));
        QCOMPARE(object.value(QStringLiteral("name")).toString(),
                 QStringLiteral("Talvero Test Server"));
        QCOMPARE(object.value(QStringLiteral("map")).toString(), QStringLiteral("de_dust2"));
        QCOMPARE(object.value(QStringLiteral("game")).toString(), QStringLiteral("Counter-Strike"));
        QCOMPARE(object.value(QStringLiteral("folder")).toString(), QStringLiteral("cstrike"));
        QCOMPARE(object.value(QStringLiteral("players")), QJsonValue(10));
        QCOMPARE(object.value(QStringLiteral("max_players")), QJsonValue(32));
        QCOMPARE(object.value(QStringLiteral("bots")), QJsonValue(1));
        QCOMPARE(object.value(QStringLiteral("password")), QJsonValue(true));
        QCOMPARE(object.value(QStringLiteral("vac")), QJsonValue(true));
        QCOMPARE(object.value(QStringLiteral("version")).toString(),
                 QStringLiteral("1.1.2.7/Stdio"));
        QVERIFY(object.value(QStringLiteral("ping_ms")).isDouble());
        const QJsonArray players = object.value(QStringLiteral("player_list")).toArray();
        QCOMPARE(players.size(), server.players().size());
        const GoldSrcServer::Player &second = server.players().at(1);
        QCOMPARE(players.at(1).toObject(),
                 QJsonObject({{QStringLiteral("name"), QString::fromUtf8(second.name)},
                              {QStringLiteral("score"), second.frags},
                              {QStringLiteral("time"), second.seconds}}));
        const QJsonObject rules = object.value(QStringLiteral("rules")).toObject();
        QCOMPARE(rules.value(QStringLiteral("sv_gravity")).toString(), QStringLiteral("800"));
        QVERIFY(rules.size() > 20);
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
        QTest::newRow("unknown saved server")
            << QStringList{QStringLiteral("-s"), QStringLiteral("nowhere"),
                           QStringLiteral("status")}
            << secret << QByteArray("no saved server is called \"nowhere\"");
        QTest::newRow("empty group")
            << QStringList{QStringLiteral("-g"), QStringLiteral("match"), QStringLiteral("status")}
            << secret << QByteArray("no saved server in the group \"match\"");
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

    void bashCompletesOptionsCommandsAndSavedServers() {
        SavedList saved;
        QVERIFY(saved.add(QStringLiteral("10.0.0.1"), QStringLiteral("Match server"),
                          QStringLiteral("cs")));
        QVERIFY(saved.add(QStringLiteral("10.0.0.2"), QString(), QStringLiteral("dod")));
        const auto complete = [&saved](const QString &words) {
            QProcess bash;
            bash.setProcessEnvironment(environment(QString(), saved.configDir()));
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
        const QString program = QStringLiteral("'%1'").arg(Program);
        QCOMPARE(complete(program + QStringLiteral(" -s ma")), QByteArray("Match\\ server"));
        QCOMPARE(complete(program + QStringLiteral(" -H x -g ''")), QByteArray("cs dod"));
    }

private:
    // The keyring's bus outlives every test: the keyring library in this process ends the
    // process when its session bus goes away.
    SessionBus m_bus;
    TestKeyring m_keyring{m_bus};
};

QTEST_GUILESS_MAIN(TestTalveroRcon)
#include "tst_talvero_rcon.moc"
