// The main window against a fake game server on 127.0.0.1: connecting, the challenge, the
// commands as bytes on the wire, the replies in the output window, the server's notices, socket
// errors, resets, the automatic commands and the log file.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/console/mainconnection.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/trayicon.h"
#include "rcon/players/frmplayers.h"
#include "rcon/protocol/rconcodec.h"
#include "rcon/protocol/rconsession.h"
#include "rcon/protocol/website.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakegameserver.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {
const QByteArray Mark("\xFF\xFF\xFF\xFF");

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(36, 10));
}

QByteArray reply(const QByteArray &text) {
    return Mark + 'l' + text + QByteArray(2, '\0');
}

} // namespace

class TestFrmRcon : public QObject {
    Q_OBJECT

    struct Fixture {
        explicit Fixture(const QByteArray &ini =
                             "[AutoIP]\nIP=\nPort=\n[AutoRcon]\nRcon=\nTime=\nRcon2=\nTime2=\n") {
            folder.writeFile(QStringLiteral("talvero.ini"), ini);
        }
        void start() {
            program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
            program->start();
            main = program->windows().frmRcon();
            output = program->windows().frmLog();
            pane = child<OutputPane>(output, "TxtGet");
        }
        QLineEdit *field(const char *name) const { return child<QLineEdit>(main, name); }
        XpButton *button(const char *name) const { return child<XpButton>(main, name); }
        QAction *action(const char *name) const { return child<QAction>(main, name); }
        QMenu *menu(const char *name) const { return child<QMenu>(main, name); }
        QString status() const { return child<QLabel>(output, "LHost")->text(); }
        // The long-interval timer controls, by name.
        bool timerEnabled(const char *name) const {
            return child<QWidget>(main, name)->property("Enabled").toBool();
        }
        int timerInterval(const char *name) const {
            return child<QWidget>(main, name)->property("Interval").toInt();
        }
        // Makes the current period of a long-interval timer control elapse now.
        void elapse(const char *name) const {
            auto *inner = child<QObject>(child<QWidget>(main, name), "tmrCount");
            QVERIFY(QMetaObject::invokeMethod(inner, "fire"));
        }
        // The log box of the Properties dialog, as it is loaded now.
        bool logBoxEnabled() const {
            return child<QCheckBox>(program->windows().frmSetRcon(), "CLog")->isEnabled();
        }
        void fill(const QString &password = QStringLiteral("secret")) {
            field("txtIP")->setText(QStringLiteral("127.0.0.1"));
            field("txtPort")->setText(QString::number(server.port()));
            field("txtPassword")->setText(password);
        }
        // Connects and waits for the server's challenge to arrive.
        bool connectAndConfirm(const QString &password = QStringLiteral("secret")) {
            fill(password);
            const int before = server.datagrams().size();
            click(button("cmdconnect"));
            if (!server.waitForDatagrams(before + 1))
                return false;
            return QTest::qWaitFor(
                [this] { return status().startsWith(QStringLiteral("Connected to")); });
        }
        // Sends raw bytes from the server and waits for the pane to change.
        bool serverSays(const QByteArray &bytes) {
            const QString before = pane->text();
            server.sendToLastSender(bytes);
            return QTest::qWaitFor([&] { return pane->text() != before; });
        }
        QByteArray lastSent() const { return server.datagrams().last().bytes; }

        ProgramFolder folder;
        FakePlatform platform;
        FakeGameServer server;
        std::unique_ptr<Program> program;
        FrmRcon *main = nullptr;
        FrmLog *output = nullptr;
        OutputPane *pane = nullptr;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void startsDisconnectedWithoutMenuBar() {
        Fixture f;
        f.start();
        QVERIFY(f.main->isVisible());
        QCOMPARE(f.main->windowTitle(), QStringLiteral("Talvero"));
        QVERIFY(f.main->findChildren<QMenuBar *>().isEmpty());
        // Only the window buttons that do something; one entry on the taskbar.
        QVERIFY(!(f.main->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(f.main->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(f.program->windows().frmLog()->windowType(), Qt::Tool);
        QVERIFY(!f.program->mainConnection().isConnected());
        QVERIFY(f.button("cmdconnect")->isEnabled());
        QVERIFY(!f.button("cmddisconnect")->isEnabled());
        QVERIFY(!child<QGroupBox>(f.main, "Fra2")->isEnabled());
        QVERIFY(!f.button("CmdSend")->isEnabled());
        QCOMPARE(f.field("txtPort")->text(), QStringLiteral("27015"));
        QVERIFY(!f.action("MnuTrayDConnect")->isEnabled());
        QCOMPARE(f.main->windowOpacity(), 1.0);
    }

    void connectSendsChallengeAndConfirms() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        QCOMPARE(f.server.received(0), Mark + "challenge rcon");
        QVERIFY(f.program->mainConnection().isConnected());
        QVERIFY(!f.button("cmdconnect")->isEnabled());
        QVERIFY(f.button("cmddisconnect")->isEnabled());
        QVERIFY(child<QGroupBox>(f.main, "Fra2")->isEnabled());
        QVERIFY(!f.field("txtIP")->isEnabled());
        QVERIFY(!f.field("txtPort")->isEnabled());
        QVERIFY(f.field("txtPassword")->isEnabled());
        QCOMPARE(f.program->mainConnection().session().challenge(), QStringLiteral("1234567890"));
        QCOMPARE(f.status(), QStringLiteral("Connected to 127.0.0.1\r\n"));
        QCOMPARE(f.pane->text(), QStringLiteral("Connected to 127.0.0.1\n\n"));
        QVERIFY(!f.logBoxEnabled());
        QVERIFY(f.timerEnabled("Rcon"));
        QCOMPARE(f.timerInterval("Rcon"), 120000);
        QVERIFY(!f.timerEnabled("TimerX1"));
    }

    void shortChallengeStillConfirms() {
        Fixture f;
        f.server.setChallenge("123456789");
        f.start();
        QVERIFY(f.connectAndConfirm());
        QCOMPARE(f.program->mainConnection().session().challenge(), QStringLiteral("123456789"));
    }

    void commandsGoOutAsExactBytes() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());

        QTest::keyClicks(f.field("txtSend"), QStringLiteral("status"));
        QVERIFY(f.button("CmdSend")->isEnabled());
        QTest::keyClick(f.field("txtSend"), Qt::Key_Return);
        QVERIFY(f.server.waitForDatagrams(2));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");
        QCOMPARE(f.field("txtSend")->text(), QString());
        QVERIFY(!f.button("CmdSend")->isEnabled());

        QTest::keyClicks(f.field("txtSend"), QStringLiteral("sv_gravity 800"));
        click(f.button("CmdSend"));
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret sv_gravity 800");

        f.field("txtSend")->setText(QStringLiteral("keep"));
        QTest::keyClicks(f.field("TxtSendAdmin"), QStringLiteral("kick bob"));
        QTest::keyClick(f.field("TxtSendAdmin"), Qt::Key_Enter);
        QVERIFY(f.server.waitForDatagrams(4));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret admin_command admin_kick bob");
        QCOMPARE(f.field("TxtSendAdmin")->text(), QString());
        QCOMPARE(f.field("txtSend")->text(), QStringLiteral("keep"));

        // The password is read at every send, and one with a space goes in quotes.
        f.field("txtPassword")->setText(QStringLiteral("two words"));
        f.field("txtSend")->setText(QStringLiteral("users"));
        click(f.button("CmdSend"));
        QVERIFY(f.server.waitForDatagrams(5));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 \"two words\" users");

        // Enter in an empty line sends nothing.
        QTest::keyClick(f.field("txtSend"), Qt::Key_Return);
        QTest::keyClick(f.field("TxtSendAdmin"), Qt::Key_Return);
        f.field("txtSend")->setText(QStringLiteral("echo last"));
        click(f.button("CmdSend"));
        QVERIFY(f.server.waitForDatagrams(6));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 \"two words\" echo last");
    }

    void cannedCommandsSendTheirCommand() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        const std::pair<QAction *, QByteArray> canned[] = {
            {f.action("MnuHostName"), "hostname"}, {f.action("MnuUsers"), "users"},
            {f.action("mnuStatus"), "status"},     {f.action("MnuGravity"), "sv_gravity"},
            {f.action("MnuP1"), "kick player"},    {f.action("MnuP2"), "kick player(1)"},
            {f.action("MnuP3"), "kick player(2)"}, {f.action("MnuP4"), "kick player(3)"},
            {f.action("MnuLogStatus"), "log"},     {f.action("MnuLogOn"), "log on"},
            {f.action("MnuLogOff"), "log off"},
        };
        int count = 1;
        for (const auto &[action, command] : canned) {
            f.field("txtSend")->setText(QStringLiteral("typed text"));
            action->trigger();
            QVERIFY(f.server.waitForDatagrams(++count));
            QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret " + command);
            QCOMPARE(f.field("txtSend")->text(), QString());
        }
        QCOMPARE(f.action("MnuP3")->text(), QStringLiteral("Player(2)"));
        QCOMPARE(f.action("MnuP4")->text(), QStringLiteral("Player(3)"));
    }

    void repliesAreShownWithoutNuls() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        QVERIFY(f.serverSays(reply("hostname: \"My Server\"\n")));
        QVERIFY(f.pane->text().endsWith(QStringLiteral("hostname: \"My Server\"\n\n")));
        QVERIFY(!f.pane->toPlainText().contains(QChar(0)));

        QVERIFY(f.serverSays(Mark + "l" + QByteArray(2, '\0')));
        QVERIFY(f.pane->text().endsWith(
            QStringLiteral("The command as been received by the server . . .\n\n")));

        // A 45-byte reply that is not the ban notice is only output.
        const QByteArray line = reply(QByteArray(38, 'x'));
        QCOMPARE(line.size(), 45);
        QVERIFY(f.serverSays(line));
        QVERIFY(f.program->mainConnection().isConnected());
        QVERIFY(f.pane->text().endsWith(QString(38, QLatin1Char('x')) + QStringLiteral("\n")));

        // A line of 31 bytes of output is no connect confirmation.
        QVERIFY(f.serverSays(reply(QByteArray(24, 'y'))));
        QVERIFY(f.pane->text().endsWith(QString(24, QLatin1Char('y')) + QStringLiteral("\n")));

        // Names in UTF-8 read as such; bytes that are not UTF-8 stay Latin-1.
        QVERIFY(f.serverSays(reply("player \xC3\xA9mile\n")));
        QVERIFY(f.pane->text().endsWith(QStringLiteral("player \u00E9mile\n\n")));
        QVERIFY(f.serverSays(reply("map caf\xE9\n")));
        QVERIFY(f.pane->text().endsWith(QStringLiteral("map caf\u00E9\n\n")));

        // Replies read in one turn reach the screen together, every one of them, in order.
        const qsizetype before = f.pane->text().size();
        for (const char *text : {"burst one\n", "burst two\n", "burst three\n"})
            f.server.sendToLastSender(reply(text));
        const QString burst = QStringLiteral("burst one\n\nburst two\n\nburst three\n\n");
        QTRY_VERIFY(f.pane->text().size() >= before + burst.size());
        QVERIFY(f.pane->text().endsWith(burst));
        QVERIFY(f.pane->toPlainText().endsWith(
            QStringLiteral("burst one\n\nburst two\n\nburst three\n\n")));
    }

    void windowsComeBackWhereTheUserLeftThem() {
        Fixture f;
        f.start();
        f.main->move(40, 50);
        FrmLog *output = f.program->windows().frmLog();
        output->move(300, 60);
        output->resize(500, 300);
        f.program.reset();
        f.start();
        output = f.program->windows().frmLog();
        QCOMPARE(f.main->pos(), QPoint(40, 50));
        QCOMPARE(output->pos(), QPoint(300, 60));
        QCOMPARE(output->size(), QSize(500, 300));

        // A place no screen shows any more is brought back onto one.
        f.program.reset();
        QSettings stored(f.folder.optionsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("Windows/MainPos"), QPoint(9000, -7000));
        stored.sync();
        f.start();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(f.main->frameGeometry()));
        QCOMPARE(f.program->windows().frmLog()->pos(), QPoint(300, 60));
    }

    void refusedPasswordDisconnectsWithItsOwnMessage() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        // Output that merely holds the words is output.
        QVERIFY(f.serverSays(reply("echo Bad rcon_password.\nmore\n")));
        QVERIFY(f.program->mainConnection().isConnected());
        QVERIFY(f.platform.boxes.isEmpty());

        f.server.sendToLastSender(reply("Bad rcon_password.\n"));
        QTRY_COMPARE(f.platform.boxes.size(), 1);
        QVERIFY(!f.program->mainConnection().isConnected());
        QCOMPARE(f.platform.boxes.first().icon, Platform::Icon::Information);
        QVERIFY(f.platform.boxes.first().text.startsWith(
            QStringLiteral("The server refused the rcon password.")));
        QCOMPARE(f.status(), QStringLiteral("Not Connected"));
        QVERIFY(f.button("cmdconnect")->isEnabled());
    }

    void keyboardGoesWhereTheUserExpects() {
        Fixture f;
        f.start();
        QTRY_COMPARE(QApplication::focusWidget(), f.field("txtIP"));
        f.fill();
        // Alt with a letter nothing claims types nothing.
        QTest::keyClick(f.field("txtIP"), Qt::Key_C, Qt::AltModifier);
        QCOMPARE(f.field("txtIP")->text(), QStringLiteral("127.0.0.1"));

        // Enter in the password field connects; the command line then has the focus.
        QTest::keyClick(f.field("txtPassword"), Qt::Key_Return);
        QVERIFY(f.server.waitForDatagrams(1));
        QTRY_VERIFY(f.status().startsWith(QStringLiteral("Connected")));
        QCOMPARE(QApplication::focusWidget(), f.field("txtSend"));

        // The console line sends when Enter comes up, the AdminMod line when it goes down.
        QTest::keyClicks(f.field("txtSend"), QStringLiteral("status"));
        QTest::keyPress(f.field("txtSend"), Qt::Key_Return);
        QCOMPARE(f.field("txtSend")->text(), QStringLiteral("status"));
        QTest::keyRelease(f.field("txtSend"), Qt::Key_Return);
        QCOMPARE(f.field("txtSend")->text(), QString());
        QVERIFY(f.server.waitForDatagrams(2));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");

        QTest::keyClicks(f.field("TxtSendAdmin"), QStringLiteral("say hi"));
        QTest::keyPress(f.field("TxtSendAdmin"), Qt::Key_Return);
        QCOMPARE(f.field("TxtSendAdmin")->text(), QString());
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret admin_command admin_say hi");
        QTest::keyRelease(f.field("TxtSendAdmin"), Qt::Key_Return);
    }

    void failedLogWriteNamesTheLogFile() {
        Fixture f;
        f.start();
        f.program->settings().saveOption(QStringLiteral("LogText2File"), true);
        // A folder where the log file should be: it cannot be opened for writing.
        QVERIFY(QDir(f.folder.path()).mkdir(QStringLiteral("rcon_log.txt")));
        f.fill();
        click(f.button("cmdconnect"));
        QTRY_COMPARE(f.platform.boxes.size(), 1);
        const FakePlatform::Box box = f.platform.boxes.first();
        QCOMPARE(box.icon, Platform::Icon::Critical);
        QVERIFY(box.text.contains(f.folder.filePath(QStringLiteral("rcon_log.txt"))));
        QVERIFY(!box.text.contains(QStringLiteral("server may be currently down")));
        QVERIFY(!f.program->mainConnection().isConnected());
        QVERIFY(f.button("cmdconnect")->isEnabled());
    }

    void logBoxStaysDisabledForTheWholeConnection() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        // The Properties dialog closed and loaded again during the connection.
        FrmSetRcon *first = f.program->windows().frmSetRcon();
        first->show();
        click(child<XpButton>(first, "CmdClose"));
        QVERIFY(!f.program->windows().isFrmSetRconLoaded());
        QVERIFY(f.program->windows().frmSetRcon() != first);
        QVERIFY(!f.logBoxEnabled());
        click(f.button("cmddisconnect"));
        QVERIFY(f.logBoxEnabled());
    }

    // The notice's box comes once the session's handlers have returned, with the connection
    // already reset, and only once.
    void banNoticeResetsThenTellsOnce() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        struct {
            int boxes = -1;
            bool connected = true;
        } inHandler, atBox;
        // Connected after the main window's handler, so it runs right after it, in the signal.
        connect(&f.program->mainConnection().session(), &RconSession::replyReceived, this,
                [&](const RconReply &reply) {
                    if (reply.kind == RconReply::Kind::Banned)
                        inHandler = {int(f.platform.boxes.size()),
                                     f.program->mainConnection().isConnected()};
                });
        f.platform.onBox = [&](const FakePlatform::Box &) {
            atBox = {int(f.platform.boxes.size()), f.program->mainConnection().isConnected()};
            QCOMPARE(f.pane->text(), QString());
            QVERIFY(f.button("cmdconnect")->isEnabled());
            QVERIFY(f.logBoxEnabled());
        };
        f.server.sendToLastSender(Mark + "lYou have been banned from this server.\n" +
                                  QByteArray(1, '\0'));
        QTRY_COMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(inHandler.boxes, 0);
        QVERIFY(!inHandler.connected);
        QCOMPARE(atBox.boxes, 1);
        QVERIFY(!atBox.connected);
        QCoreApplication::processEvents();
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Information);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral("You have been banned from this server. \r\nYou may need to "
                                "contact the Admin to fix this problem."));
    }

    void unreachableServerResetsWithMessage() {
        Fixture f;
        f.start();
        f.fill();
        f.server.close();
        click(f.button("cmdconnect"));
        QTRY_VERIFY(!f.platform.boxes.isEmpty());
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Critical);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral("Please check your Server IP, Port and Password then try again"));
        QTRY_VERIFY(!f.program->mainConnection().isConnected());
        QVERIFY(f.button("cmdconnect")->isEnabled());
        QCOMPARE(f.field("txtIP")->text(), QString());
    }

    void emptyFieldsAreRefused() {
        Fixture f;
        f.start();
        f.field("txtIP")->setText(QStringLiteral("127.0.0.1"));
        click(f.button("cmdconnect"));
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Information);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral("Please enter the IP Adress, Port and Rcon Password"));
        QCOMPARE(f.field("txtIP")->text(), QStringLiteral("127.0.0.1"));
        QVERIFY(!f.program->mainConnection().isConnected());
        QVERIFY(f.server.datagrams().isEmpty());
        QVERIFY(!f.logBoxEnabled());
    }

    // In quotes the server would read "a", bare "a\"b": every try would be refused and count
    // toward a ban, so nothing is sent.
    void passwordTheServerCannotReadIsNotSent() {
        Fixture f;
        f.start();
        f.fill(QStringLiteral("a\"b c"));
        click(f.button("cmdconnect"));
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Information);
        QCOMPARE(f.platform.boxes[0].text, RconCodec::passwordProblem(QStringLiteral("a\"b c")));
        QVERIFY(f.platform.boxes[0].text.contains(QStringLiteral("double quote")));
        QVERIFY(!f.program->mainConnection().isConnected());
        QVERIFY(f.button("cmdconnect")->isEnabled());
        QCOMPARE(f.field("txtPassword")->text(), QStringLiteral("a\"b c"));
        QCoreApplication::processEvents();
        QVERIFY(f.server.datagrams().isEmpty());
    }

    void badPortsTakeTheConnectionErrorBranch_data() {
        QTest::addColumn<QString>("port");
        for (const char *port : {"70000", "letters", "0", "-5", "65535.5"})
            QTest::newRow(port) << QString::fromLatin1(port);
    }
    void badPortsTakeTheConnectionErrorBranch() {
        QFETCH(QString, port);
        Fixture f("[AutoIP]\nIP=10.1.1.1\nPort=27020\n[AutoRcon]\nRcon=\n");
        f.start();
        f.fill();
        f.field("txtPort")->setText(port);
        click(f.button("cmdconnect"));
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Critical);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral(
                     "Connection Error: Please check your IP or Port address then try again."));
        // The reset came first: the stored defaults are back.
        QCOMPARE(f.field("txtIP")->text(), QStringLiteral("10.1.1.1"));
        QCOMPARE(f.field("txtPort")->text(), QStringLiteral("27020"));
        QCOMPARE(f.field("txtPassword")->text(), QString());
        QVERIFY(!f.program->mainConnection().isConnected());
    }

    void fractionalPortRoundsHalfToEven() {
        Fixture f;
        f.start();
        f.fill();
        f.field("txtPort")->setText(QString::number(f.server.port()) + QStringLiteral(".4"));
        click(f.button("cmdconnect"));
        QVERIFY(f.server.waitForDatagrams(1));
        QCOMPARE(f.main->serverPort(), int(f.server.port()));
        click(f.button("cmddisconnect"));

        f.fill();
        f.field("txtPort")->setText(QStringLiteral("27015.5"));
        click(f.button("cmdconnect"));
        QCOMPARE(f.main->serverPort(), 27016);
        click(f.button("cmddisconnect"));
        f.fill();
        f.field("txtPort")->setText(QStringLiteral("27016.5"));
        click(f.button("cmdconnect"));
        QCOMPARE(f.main->serverPort(), 27016);
    }

    // Nothing runs inside a connect: a socket error waiting in the event loop is handled once
    // the connect is whole, and resets it.
    void socketErrorRightAfterConnectingResets() {
        Fixture f;
        f.start();
        f.fill();
        QTimer::singleShot(0, f.main, [&f] {
            Q_EMIT f.program->mainConnection().session().socketError(
                RconSocket::Failure::ConnectionRefused, QStringLiteral("refused"));
        });
        click(f.button("cmdconnect"));
        QVERIFY(f.program->mainConnection().isConnected());
        QVERIFY(f.button("cmddisconnect")->isEnabled());
        QTRY_VERIFY(!f.program->mainConnection().isConnected());
        QVERIFY(f.button("cmdconnect")->isEnabled());
        QVERIFY(!f.button("cmddisconnect")->isEnabled());
        QVERIFY(!f.timerEnabled("Rcon"));
        QTRY_COMPARE(f.platform.boxes.size(), 1);
    }

    void disconnectRestoresTheDefaults() {
        Fixture f("[AutoIP]\nIP=127.0.0.1\nPort=27099\n[AutoRcon]\nRcon=\n");
        f.start();
        QCOMPARE(f.field("txtIP")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(f.field("txtPort")->text(), QStringLiteral("27099"));
        QVERIFY(f.connectAndConfirm());
        f.field("TxtSendAdmin")->setText(QStringLiteral("half typed"));
        click(f.button("cmddisconnect"));
        QVERIFY(!f.program->mainConnection().isConnected());
        QCOMPARE(f.pane->text(), QString());
        QCOMPARE(f.field("TxtSendAdmin")->text(), QString());
        QCOMPARE(f.field("txtIP")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(f.field("txtPort")->text(), QStringLiteral("27099"));
        QCOMPARE(f.field("txtPassword")->text(), QString());
        QCOMPARE(f.status(), QStringLiteral("Not Connected"));
        QVERIFY(!f.timerEnabled("Rcon"));
        QCOMPARE(f.timerInterval("Rcon"), 0);
        QVERIFY(f.logBoxEnabled());

        // The old challenge is used until the new one arrives.
        f.server.setChallenge(QByteArray());
        f.fill();
        click(f.button("cmdconnect"));
        f.field("txtSend")->setText(QStringLiteral("status"));
        click(f.button("CmdSend"));
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");
    }

    void automaticCommandsAndBroadcastFollowTheirTimers() {
        Fixture f(
            "[AutoIP]\nIP=\n[AutoRcon]\nRcon=status\nTime=60000\nRcon2=users\nTime2=120000\n");
        f.start();
        QCOMPARE(f.pane->text(), QStringLiteral("Running in Automatic Command Mode . .\n \n"));
        QCOMPARE(f.timerInterval("TimerX1"), 60000);
        QCOMPARE(f.timerInterval("TimerX2"), 120000);

        // While disconnected the timers' events are ignored.
        f.elapse("TimerX1");
        QVERIFY(f.server.datagrams().isEmpty());

        QVERIFY(f.connectAndConfirm());
        QVERIFY(f.timerEnabled("TimerX1"));
        QVERIFY(f.timerEnabled("TimerX2"));
        // What the user is typing stays as it is.
        f.field("txtSend")->setText(QStringLiteral("half typed"));
        f.field("txtSend")->setCursorPosition(4);
        f.elapse("TimerX1");
        QVERIFY(f.server.waitForDatagrams(2));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");
        QCOMPARE(f.field("txtSend")->text(), QStringLiteral("half typed"));
        QCOMPARE(f.field("txtSend")->cursorPosition(), 4);
        f.field("txtSend")->clear();
        f.elapse("TimerX2"); // 65535 ms
        f.elapse("TimerX2"); // the remaining 54465 ms
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret users");

        f.elapse("Rcon");
        f.elapse("Rcon");
        QVERIFY(f.server.waitForDatagrams(4));
        QCOMPARE(f.lastSent(), Mark +
                                   "rcon 1234567890 secret admin_command admin_tsay yellow "
                                   "\"Talvero - " +
                                   QByteArray(talvero::WebsiteAddress) + "\"");

        // The next cycle repeats.
        f.elapse("TimerX1");
        QVERIFY(f.server.waitForDatagrams(5));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");

        click(f.button("cmddisconnect"));
        QVERIFY(!f.timerEnabled("Rcon"));
        f.elapse("Rcon");
        QCOMPARE(f.server.datagrams().size(), 5);
    }

    void trayConnectOnALiveConnectionAsksAgain() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        f.server.setChallenge("2222222222");
        f.action("MnuTrayConnect")->trigger();
        QVERIFY(f.server.waitForDatagrams(2));
        QCOMPARE(f.lastSent(), Mark + "challenge rcon");
        QTRY_COMPARE(f.program->mainConnection().session().challenge(),
                     QStringLiteral("2222222222"));
        QVERIFY(f.program->mainConnection().isConnected());
        QVERIFY(f.platform.boxes.isEmpty());
        f.field("txtSend")->setText(QStringLiteral("status"));
        QCOMPARE(f.field("txtSend")->isEnabled(), true);
        f.button("CmdSend")->click();
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 2222222222 secret status");
    }

    void absentKeysNeverBecomeCommandsOrPasswords() {
        Fixture f("[AutoIP]\nIP=127.0.0.1\n[AutoRcon]\nRcon=status\nTime=60000\nTime2=60000\n");
        f.start();
        QCOMPARE(f.field("txtPort")->text(), QStringLiteral("27015"));
        QCOMPARE(f.field("txtPassword")->text(), QString());
        QVERIFY(f.connectAndConfirm());
        QVERIFY(!f.timerEnabled("TimerX2"));
    }

    void logKeepsEveryReplyOnceAcrossConnectionsAndRuns() {
        Fixture f;
        f.start();
        f.program->settings().saveOption(QStringLiteral("LogText2File"), true);
        for (int run = 0; run < 2; ++run) {
            if (run == 1) {
                f.program.reset();
                f.start();
            }
            for (int connection = 0; connection < 2; ++connection) {
                QVERIFY(f.connectAndConfirm());
                QVERIFY(f.serverSays(reply(QStringLiteral("run %1 connection %2 a\n")
                                               .arg(run)
                                               .arg(connection)
                                               .toLatin1())));
                QVERIFY(f.serverSays(reply(QStringLiteral("run %1 connection %2 b\n")
                                               .arg(run)
                                               .arg(connection)
                                               .toLatin1())));
                click(f.button("cmddisconnect"));
            }
        }
        // Each connection's block begins with when and to which server.
        QString log = QString::fromUtf8(f.folder.readFile(QStringLiteral("rcon_log.txt")));
        log.replace(
            QRegularExpression(QStringLiteral("^=== \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "
                                              "[+-]\\d{4} 127\\.0\\.0\\.1:%1 ===$")
                                   .arg(f.server.port()),
                               QRegularExpression::MultilineOption),
            QStringLiteral("=== connection ==="));
        QByteArray expected;
        for (int run = 0; run < 2; ++run) {
            for (int connection = 0; connection < 2; ++connection) {
                expected += "=== connection ===\nConnected to 127.0.0.1\n\n";
                expected += QStringLiteral("run %1 connection %2 a\n\n")
                                .arg(run)
                                .arg(connection)
                                .toLatin1();
                // The line break after a connection's last reply goes with the emptied pane.
                expected +=
                    QStringLiteral("run %1 connection %2 b\n").arg(run).arg(connection).toLatin1();
            }
        }
        QCOMPARE(log.toUtf8(), expected);
    }

    // A day connected to a chatty server: the pane keeps its newest lines only (the number is an
    // option; 0 keeps them all), the log still gets every reply once and in order, and what the
    // user copies comes from what the pane holds.
    void longSessionKeepsTheNewestLinesAndLogsEveryReply() {
        for (const int maxLines : {40, 0}) {
            Fixture f;
            QSettings options(f.folder.optionsFile(), QSettings::IniFormat);
            options.setValue(QStringLiteral("Output/MaxLines"), maxLines);
            options.sync();
            f.start();
            QCOMPARE(f.pane->maxLines(), maxLines);
            f.program->mainConnection().log().open(
                f.folder.filePath(QStringLiteral("rcon_log.txt")));
            f.program->mainConnection().setLogsReplies(true);
            QByteArray expectedLog;
            constexpr int Replies = 300;
            for (int i = 0; i < Replies; ++i) {
                const QByteArray line = "reply " + QByteArray::number(i);
                f.program->mainConnection().session().receive(
                    QString::fromLatin1(reply(line + '\n')));
                expectedLog += line + (i + 1 < Replies ? "\n\n" : "\n");
            }
            QCOMPARE(f.folder.readFile(QStringLiteral("rcon_log.txt")), expectedLog);
            QVERIFY(f.pane->text().endsWith(QStringLiteral("reply 298\n\nreply 299\n\n")));
            if (maxLines == 0) {
                QVERIFY(f.pane->text().startsWith(QStringLiteral("reply 0\n")));
                continue;
            }
            // Trimmed a few lines at a time: never fewer than the limit, never much more.
            const int lines = f.pane->document()->blockCount();
            QVERIFY2(lines >= maxLines && lines <= maxLines + maxLines / 16 + 1,
                     qPrintable(QString::number(lines)));
            QVERIFY(!f.pane->text().contains(QStringLiteral("reply 270\n")));
            QApplication::clipboard()->clear();
            QTest::keyClick(f.pane, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("reply 299"));
            QTest::keyClick(f.pane, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QApplication::clipboard()->text(), f.pane->toPlainText());
            QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("reply 2")) ||
                    QApplication::clipboard()->text().startsWith(QStringLiteral("\nreply 2")));
        }
    }

    void sendToTrayWithoutNotificationAreaMinimises() {
        Fixture f;
        f.start();
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("This desktop has a notification area; the tray test covers it.");
        click(f.button("CmdTray"));
        QTRY_VERIFY(f.main->isMinimized());
        QVERIFY(f.program->windows().frmLog()->isMinimized());
        QVERIFY(f.main->isVisible());
        QVERIFY(!f.main->findChild<TrayIcon *>()->isVisible());
        f.action("MnuTrayMain")->trigger();
        QTRY_VERIFY(!f.main->isMinimized());
        QVERIFY(!f.program->windows().frmLog()->isMinimized());
    }

    // The output window's pane asks for the main window's menus: the options before connecting,
    // the server commands after, from the mouse and from the keyboard.
    void rightClickInTheOutputOpensOptionsThenCommands() {
        Fixture f;
        f.start();
        QWidget *viewport = f.pane->viewport();
        QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(10, 10));
        QTRY_VERIFY(f.menu("MnuOptions")->isVisible());
        QVERIFY(!f.menu("MnuCommands")->isVisible());
        f.menu("MnuOptions")->close();

        QVERIFY(f.connectAndConfirm());
        QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(10, 10));
        QTRY_VERIFY(f.menu("MnuCommands")->isVisible());
        f.menu("MnuCommands")->close();
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(viewport, &key);
        QTRY_VERIFY(f.menu("MnuCommands")->isVisible());
        f.menu("MnuCommands")->close();
    }

    // A button a screen reader can only call "button" is no use to its user: every button of
    // the two windows has a name, the two Send buttons each their own.
    void everyButtonHasAName() {
        Fixture f;
        f.start();
        const QStringList names = accessibleButtonNames(f.main) + accessibleButtonNames(f.output);
        QVERIFY2(!names.contains(QString()), qPrintable(names.join(QStringLiteral(", "))));
        QVERIFY(names.contains(QStringLiteral("Send console command")));
        QVERIFY(names.contains(QStringLiteral("Send AdminMod command")));
    }

    // "Players..." and "Server Log..." end the Commands menu and open their windows on the main
    // connection while it is connected, nothing while it is not. What those windows ask the
    // server stays out of the output window and the log.
    void playersAndServerLogOpenOnlyWhileConnected() {
        Fixture f;
        f.server.setReplies("status", {reply("hostname:  Elsewhere\n")});
        f.start();
        f.program->settings().saveOption(SettingsStore::LogText2File, true);
        const QList<QAction *> entries = f.menu("MnuCommands")->actions();
        QCOMPARE(entries.at(entries.size() - 2), f.action("MnuServerLog"));
        QCOMPARE(entries.at(entries.size() - 3), f.action("MnuPlayers"));
        // The Servers window's entry ends the Commands and Options menus and follows the tray's
        // "Connect".
        QCOMPARE(entries.last(), f.action("MnuServers"));
        QCOMPARE(f.menu("MnuOptions")->actions().last(), f.action("MnuServers"));
        const QList<QAction *> tray = f.menu("MnuTray")->actions();
        QCOMPARE(tray.at(tray.indexOf(f.action("MnuTrayConnect")) + 1), f.action("MnuServers"));
        QCOMPARE(f.action("MnuServerLog")->text(), QStringLiteral("Server Log..."));
        const auto shown = [](const QString &name) {
            const QList<QWidget *> windows = QApplication::topLevelWidgets();
            return std::any_of(windows.begin(), windows.end(), [&](const QWidget *window) {
                return window->objectName() == name && window->isVisible();
            });
        };
        const auto press = [&](Qt::Key key) {
            f.main->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(f.main));
            QTest::keyClick(f.main, key, Qt::ControlModifier);
        };
        press(Qt::Key_P);
        press(Qt::Key_G);
        QVERIFY(!shown(QStringLiteral("frmPlayers")));
        QVERIFY(!shown(QStringLiteral("frmServerLog")));

        QVERIFY(f.connectAndConfirm());
        press(Qt::Key_P);
        QVERIFY(shown(QStringLiteral("frmPlayers")));
        FrmPlayers *players = f.program->windows().frmPlayers();
        // Its own session asked for status and has had the answer.
        const auto askedStatus = [&f] {
            const QList<FakeGameServer::Datagram> &all = f.server.datagrams();
            return std::any_of(all.begin(), all.end(), [](const FakeGameServer::Datagram &d) {
                return d.bytes.endsWith(" status");
            });
        };
        QTRY_VERIFY(askedStatus());
        QTRY_VERIFY(!players->session()->isPending(QStringLiteral("status")));
        press(Qt::Key_G);
        QVERIFY(shown(QStringLiteral("frmServerLog")));
        QCOMPARE(f.pane->text(), QStringLiteral("Connected to 127.0.0.1\n\n"));
        QVERIFY(!f.folder.readFile(QStringLiteral("rcon_log.txt")).contains("Elsewhere"));
    }

    void exitAndAbout() {
        Fixture f;
        f.start();
        f.action("MnuTrayAbout")->trigger();
        QCOMPARE(f.platform.startedPrograms,
                 QStringList{f.folder.filePath(QStringLiteral("about"))});
        f.action("MnuVisitSite")->trigger();
        QCOMPARE(f.platform.openedUrls.size(), 1);
        for (QAction *silent :
             {f.action("MnuConents"), f.action("MnuAbout"), f.action("MnuAdminModCommands")})
            silent->trigger();
        QCOMPARE(f.platform.openedUrls.size(), 1);
        QCOMPARE(f.platform.startedPrograms.size(), 1);

        click(f.button("CmdClose"));
        QVERIFY(f.platform.sounds.contains(f.folder.filePath(QStringLiteral("1284.wav"))));
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QTRY_COMPARE(f.program->isEnding(), true);
    }
};

QTEST_MAIN(TestFrmRcon)
#include "tst_frmrcon.moc"
