// The main window against a fake game server on 127.0.0.1: connecting, the challenge, the
// commands as bytes on the wire, the replies in the output window, the server's notices, socket
// errors, resets, the automatic commands and the log file.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/longtimer.h"
#include "rcon/kit/trayicon.h"
#include "rcon/protocol/rconcodec.h"
#include "rcon/protocol/rconsession.h"
#include "rcon/protocol/website.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakegameserver.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
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

namespace {
const QByteArray Mark("\xFF\xFF\xFF\xFF");

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(36, 10));
}

QByteArray reply(const QByteArray &text) {
    return Mark + 'l' + text + QByteArray(2, '\0');
}

// Makes the current period of a long-interval timer control elapse now.
void elapse(LongTimer *timer) {
    QObject *inner = timer->control()->findChild<QObject *>(QStringLiteral("tmrCount"));
    QVERIFY(inner);
    QVERIFY(QMetaObject::invokeMethod(inner, "fire"));
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
            main = program->frmRcon();
            pane = program->frmLog()->TxtGet;
        }
        void fill(const QString &password = QStringLiteral("secret")) {
            main->txtIP->setText(QStringLiteral("127.0.0.1"));
            main->txtPort->setText(QString::number(server.port()));
            main->txtPassword->setText(password);
        }
        // Connects and waits for the server's challenge to arrive.
        bool connectAndConfirm(const QString &password = QStringLiteral("secret")) {
            fill(password);
            const int before = server.datagrams().size();
            click(main->cmdconnect);
            if (!server.waitForDatagrams(before + 1))
                return false;
            return QTest::qWaitFor([this] {
                return program->frmLog()->LHost->text().startsWith(QStringLiteral("Connected to"));
            });
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
        QCOMPARE(f.program->frmLog()->windowType(), Qt::Tool);
        QVERIFY(!f.program->isConnected());
        QVERIFY(f.main->cmdconnect->isEnabled());
        QVERIFY(!f.main->cmddisconnect->isEnabled());
        QVERIFY(!f.main->Fra[2]->isEnabled());
        QVERIFY(!f.main->CmdSend->isEnabled());
        QCOMPARE(f.main->txtPort->text(), QStringLiteral("27015"));
        QVERIFY(!f.main->MnuTrayDConnect->isEnabled());
        QCOMPARE(f.main->windowOpacity(), 1.0);
    }

    void connectSendsChallengeAndConfirms() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        QCOMPARE(f.server.received(0), Mark + "challenge rcon");
        QVERIFY(f.program->isConnected());
        QVERIFY(!f.main->cmdconnect->isEnabled());
        QVERIFY(f.main->cmddisconnect->isEnabled());
        QVERIFY(f.main->Fra[2]->isEnabled());
        QVERIFY(!f.main->txtIP->isEnabled());
        QVERIFY(!f.main->txtPort->isEnabled());
        QVERIFY(f.main->txtPassword->isEnabled());
        QCOMPARE(f.program->mainSession().challenge(), QStringLiteral("1234567890"));
        QCOMPARE(f.program->frmLog()->LHost->text(), QStringLiteral("Connected to 127.0.0.1\r\n"));
        QCOMPARE(f.pane->text(), QStringLiteral("Connected to 127.0.0.1\n\n"));
        QVERIFY(!f.program->frmSetRcon()->CLog->isEnabled());
        QVERIFY(f.main->Rcon->isEnabled());
        QCOMPARE(f.main->Rcon->interval(), 120000);
        QVERIFY(!f.main->TimerX1->isEnabled());
    }

    void shortChallengeStillConfirms() {
        Fixture f;
        f.server.setChallenge("123456789");
        f.start();
        QVERIFY(f.connectAndConfirm());
        QCOMPARE(f.program->mainSession().challenge(), QStringLiteral("123456789"));
    }

    void commandsGoOutAsExactBytes() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());

        QTest::keyClicks(f.main->txtSend, QStringLiteral("status"));
        QVERIFY(f.main->CmdSend->isEnabled());
        QTest::keyClick(f.main->txtSend, Qt::Key_Return);
        QVERIFY(f.server.waitForDatagrams(2));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");
        QCOMPARE(f.main->txtSend->text(), QString());
        QVERIFY(!f.main->CmdSend->isEnabled());

        QTest::keyClicks(f.main->txtSend, QStringLiteral("sv_gravity 800"));
        click(f.main->CmdSend);
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret sv_gravity 800");

        f.main->txtSend->setText(QStringLiteral("keep"));
        QTest::keyClicks(f.main->TxtSendAdmin, QStringLiteral("kick bob"));
        QTest::keyClick(f.main->TxtSendAdmin, Qt::Key_Enter);
        QVERIFY(f.server.waitForDatagrams(4));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret admin_command admin_kick bob");
        QCOMPARE(f.main->TxtSendAdmin->text(), QString());
        QCOMPARE(f.main->txtSend->text(), QStringLiteral("keep"));

        // The password is read at every send, and one with a space goes in quotes.
        f.main->txtPassword->setText(QStringLiteral("two words"));
        f.main->txtSend->setText(QStringLiteral("users"));
        click(f.main->CmdSend);
        QVERIFY(f.server.waitForDatagrams(5));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 \"two words\" users");

        // Enter in an empty line sends nothing.
        QTest::keyClick(f.main->txtSend, Qt::Key_Return);
        QTest::keyClick(f.main->TxtSendAdmin, Qt::Key_Return);
        f.main->txtSend->setText(QStringLiteral("echo last"));
        click(f.main->CmdSend);
        QVERIFY(f.server.waitForDatagrams(6));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 \"two words\" echo last");
    }

    void cannedCommandsSendTheirCommand() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        const std::pair<QAction *, QByteArray> canned[] = {
            {f.main->MnuHostName, "hostname"}, {f.main->MnuUsers, "users"},
            {f.main->mnuStatus, "status"},     {f.main->MnuGravity, "sv_gravity"},
            {f.main->MnuP1, "kick player"},    {f.main->MnuP2, "kick player(1)"},
            {f.main->MnuP3, "kick player(2)"}, {f.main->MnuP4, "kick player(3)"},
            {f.main->MnuLogStatus, "log"},     {f.main->MnuLogOn, "log on"},
            {f.main->MnuLogOff, "log off"},
        };
        int count = 1;
        for (const auto &[action, command] : canned) {
            f.main->txtSend->setText(QStringLiteral("typed text"));
            action->trigger();
            QVERIFY(f.server.waitForDatagrams(++count));
            QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret " + command);
            QCOMPARE(f.main->txtSend->text(), QString());
        }
        QCOMPARE(f.main->MnuP3->text(), QStringLiteral("Player(2)"));
        QCOMPARE(f.main->MnuP4->text(), QStringLiteral("Player(3)"));
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
        QVERIFY(f.program->isConnected());
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
        FrmLog *output = f.program->frmLog();
        output->move(300, 60);
        output->resize(500, 300);
        f.program.reset();
        f.start();
        output = f.program->frmLog();
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
        QCOMPARE(f.program->frmLog()->pos(), QPoint(300, 60));
    }

    void refusedPasswordDisconnectsWithItsOwnMessage() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        // Output that merely holds the words is output.
        QVERIFY(f.serverSays(reply("echo Bad rcon_password.\nmore\n")));
        QVERIFY(f.program->isConnected());
        QVERIFY(f.platform.boxes.isEmpty());

        f.server.sendToLastSender(reply("Bad rcon_password.\n"));
        QTRY_VERIFY(!f.program->isConnected());
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes.first().icon, Platform::Icon::Information);
        QVERIFY(f.platform.boxes.first().text.startsWith(
            QStringLiteral("The server refused the rcon password.")));
        QCOMPARE(f.program->frmLog()->LHost->text(), QStringLiteral("Not Connected"));
        QVERIFY(f.main->cmdconnect->isEnabled());
    }

    void keyboardGoesWhereTheUserExpects() {
        Fixture f;
        f.start();
        QTRY_COMPARE(QApplication::focusWidget(), f.main->txtIP);
        f.fill();
        // Alt with a letter nothing claims types nothing.
        QTest::keyClick(f.main->txtIP, Qt::Key_C, Qt::AltModifier);
        QCOMPARE(f.main->txtIP->text(), QStringLiteral("127.0.0.1"));

        // Enter in the password field connects; the command line then has the focus.
        QTest::keyClick(f.main->txtPassword, Qt::Key_Return);
        QVERIFY(f.server.waitForDatagrams(1));
        QTRY_VERIFY(f.program->frmLog()->LHost->text().startsWith(QStringLiteral("Connected")));
        QCOMPARE(QApplication::focusWidget(), f.main->txtSend);

        // The console line sends when Enter comes up, the AdminMod line when it goes down.
        QTest::keyClicks(f.main->txtSend, QStringLiteral("status"));
        QTest::keyPress(f.main->txtSend, Qt::Key_Return);
        QCOMPARE(f.main->txtSend->text(), QStringLiteral("status"));
        QTest::keyRelease(f.main->txtSend, Qt::Key_Return);
        QCOMPARE(f.main->txtSend->text(), QString());
        QVERIFY(f.server.waitForDatagrams(2));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");

        QTest::keyClicks(f.main->TxtSendAdmin, QStringLiteral("say hi"));
        QTest::keyPress(f.main->TxtSendAdmin, Qt::Key_Return);
        QCOMPARE(f.main->TxtSendAdmin->text(), QString());
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret admin_command admin_say hi");
        QTest::keyRelease(f.main->TxtSendAdmin, Qt::Key_Return);
    }

    void failedLogWriteNamesTheLogFile() {
        Fixture f;
        f.start();
        f.program->settings().saveOption(QStringLiteral("LogText2File"), true);
        // A folder where the log file should be: it cannot be opened for writing.
        QVERIFY(QDir(f.folder.path()).mkdir(QStringLiteral("rcon_log.txt")));
        f.fill();
        click(f.main->cmdconnect);
        QTRY_COMPARE(f.platform.boxes.size(), 1);
        const FakePlatform::Box box = f.platform.boxes.first();
        QCOMPARE(box.icon, Platform::Icon::Critical);
        QVERIFY(box.text.contains(f.folder.filePath(QStringLiteral("rcon_log.txt"))));
        QVERIFY(!box.text.contains(QStringLiteral("server may be currently down")));
        QVERIFY(!f.program->isConnected());
        QVERIFY(f.main->cmdconnect->isEnabled());
    }

    void logBoxStaysDisabledForTheWholeConnection() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        // The Properties dialog closed and loaded again during the connection.
        f.program->frmSetRconUnloaded();
        QVERIFY(!f.program->frmSetRcon()->CLog->isEnabled());
        click(f.main->cmddisconnect);
        QVERIFY(f.program->frmSetRcon()->CLog->isEnabled());
    }

    void banNoticeDisconnects() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        f.server.sendToLastSender(Mark + "lYou have been banned from this server.\n" +
                                  QByteArray(1, '\0'));
        QTRY_VERIFY(!f.program->isConnected());
        QCOMPARE(f.pane->text(), QString());
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Information);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral("You have been banned from this server. \r\nYou may need to "
                                "contact the Admin to fix this problem."));
        QVERIFY(f.main->cmdconnect->isEnabled());
        QVERIFY(f.program->frmSetRcon()->CLog->isEnabled());
    }

    void splitReplyIsJoined() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        const QByteArray whole = reply(QByteArray("first half, ") + QByteArray("second half\n"));
        auto part = [](int index, const QByteArray &bytes) {
            return QByteArray("\xFE\xFF\xFF\xFF", 4) + QByteArray("\x07\x00\x00\x00", 4) +
                   char((index << 4) | 2) + bytes;
        };
        f.server.sendToLastSender(part(1, whole.mid(20)));
        f.server.sendToLastSender(part(0, whole.left(20)));
        QTRY_VERIFY(f.pane->text().endsWith(QStringLiteral("first half, second half\n\n")));
    }

    void foreignDatagramIsIgnored() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        const QString before = f.pane->text();
        f.server.sendFromForeign(Mark + "challenge rcon 9999999999\n" + QByteArray(1, '\0'));
        f.server.sendFromForeign(reply("spoofed"));
        QVERIFY(f.serverSays(reply("genuine")));
        QCOMPARE(f.pane->text(), before + QStringLiteral("genuine\n"));
        QCOMPARE(f.program->mainSession().challenge(), QStringLiteral("1234567890"));
    }

    void unreachableServerResetsWithMessage() {
        Fixture f;
        f.start();
        f.fill();
        f.server.close();
        click(f.main->cmdconnect);
        QTRY_VERIFY(!f.platform.boxes.isEmpty());
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Critical);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral("Please check your Server IP, Port and Password then try again"));
        QTRY_VERIFY(!f.program->isConnected());
        QVERIFY(f.main->cmdconnect->isEnabled());
        QCOMPARE(f.main->txtIP->text(), QString());
    }

    void emptyFieldsAreRefused() {
        Fixture f;
        f.start();
        f.main->txtIP->setText(QStringLiteral("127.0.0.1"));
        click(f.main->cmdconnect);
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Information);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral("Please enter the IP Adress, Port and Rcon Password"));
        QCOMPARE(f.main->txtIP->text(), QStringLiteral("127.0.0.1"));
        QVERIFY(!f.program->isConnected());
        QVERIFY(f.server.datagrams().isEmpty());
        QVERIFY(!f.program->frmSetRcon()->CLog->isEnabled());
    }

    // In quotes the server would read "a", bare "a\"b": every try would be refused and count
    // toward a ban, so nothing is sent.
    void passwordTheServerCannotReadIsNotSent() {
        Fixture f;
        f.start();
        f.fill(QStringLiteral("a\"b c"));
        click(f.main->cmdconnect);
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Information);
        QCOMPARE(f.platform.boxes[0].text, RconCodec::passwordProblem(QStringLiteral("a\"b c")));
        QVERIFY(f.platform.boxes[0].text.contains(QStringLiteral("double quote")));
        QVERIFY(!f.program->isConnected());
        QVERIFY(f.main->cmdconnect->isEnabled());
        QCOMPARE(f.main->txtPassword->text(), QStringLiteral("a\"b c"));
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
        f.main->txtPort->setText(port);
        click(f.main->cmdconnect);
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Critical);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral(
                     "Connection Error: Please check your IP or Port address then try again."));
        // The reset came first: the stored defaults are back.
        QCOMPARE(f.main->txtIP->text(), QStringLiteral("10.1.1.1"));
        QCOMPARE(f.main->txtPort->text(), QStringLiteral("27020"));
        QCOMPARE(f.main->txtPassword->text(), QString());
        QVERIFY(!f.program->isConnected());
    }

    void fractionalPortRoundsHalfToEven() {
        Fixture f;
        f.start();
        f.fill();
        f.main->txtPort->setText(QString::number(f.server.port()) + QStringLiteral(".4"));
        click(f.main->cmdconnect);
        QVERIFY(f.server.waitForDatagrams(1));
        QCOMPARE(f.main->ServerPort, int(f.server.port()));
        click(f.main->cmddisconnect);

        f.fill();
        f.main->txtPort->setText(QStringLiteral("27015.5"));
        click(f.main->cmdconnect);
        QCOMPARE(f.main->ServerPort, 27016);
        click(f.main->cmddisconnect);
        f.fill();
        f.main->txtPort->setText(QStringLiteral("27016.5"));
        click(f.main->cmdconnect);
        QCOMPARE(f.main->ServerPort, 27016);
    }

    // Nothing runs inside a connect: a socket error waiting in the event loop is handled once
    // the connect is whole, and resets it.
    void socketErrorRightAfterConnectingResets() {
        Fixture f;
        f.start();
        f.fill();
        QTimer::singleShot(0, f.main, [&f] {
            Q_EMIT f.program->mainSession().socketError(RconSocket::Failure::ConnectionRefused,
                                                        QStringLiteral("refused"));
        });
        click(f.main->cmdconnect);
        QVERIFY(f.program->isConnected());
        QVERIFY(f.main->cmddisconnect->isEnabled());
        QTRY_VERIFY(!f.program->isConnected());
        QVERIFY(f.main->cmdconnect->isEnabled());
        QVERIFY(!f.main->cmddisconnect->isEnabled());
        QVERIFY(!f.main->Rcon->isEnabled());
        QCOMPARE(f.platform.boxes.size(), 1);
    }

    void disconnectRestoresTheDefaults() {
        Fixture f("[AutoIP]\nIP=127.0.0.1\nPort=27099\n[AutoRcon]\nRcon=\n");
        f.start();
        QCOMPARE(f.main->txtIP->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(f.main->txtPort->text(), QStringLiteral("27099"));
        QVERIFY(f.connectAndConfirm());
        f.main->TxtSendAdmin->setText(QStringLiteral("half typed"));
        click(f.main->cmddisconnect);
        QVERIFY(!f.program->isConnected());
        QCOMPARE(f.pane->text(), QString());
        QCOMPARE(f.main->TxtSendAdmin->text(), QString());
        QCOMPARE(f.main->txtIP->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(f.main->txtPort->text(), QStringLiteral("27099"));
        QCOMPARE(f.main->txtPassword->text(), QString());
        QCOMPARE(f.program->frmLog()->LHost->text(), QStringLiteral("Not Connected"));
        QVERIFY(!f.main->Rcon->isEnabled());
        QCOMPARE(f.main->Rcon->interval(), 0);
        QVERIFY(f.program->frmSetRcon()->CLog->isEnabled());

        // The old challenge is used until the new one arrives.
        f.server.setChallenge(QByteArray());
        f.fill();
        click(f.main->cmdconnect);
        f.main->txtSend->setText(QStringLiteral("status"));
        click(f.main->CmdSend);
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");
    }

    void automaticCommandsAndBroadcastFollowTheirTimers() {
        Fixture f(
            "[AutoIP]\nIP=\n[AutoRcon]\nRcon=status\nTime=60000\nRcon2=users\nTime2=120000\n");
        f.start();
        QCOMPARE(f.pane->text(), QStringLiteral("Running in Automatic Command Mode . .\n \n"));
        QCOMPARE(f.main->TimerX1->interval(), 60000);
        QCOMPARE(f.main->TimerX2->interval(), 120000);

        // While disconnected the timers' events are ignored.
        elapse(f.main->TimerX1);
        QVERIFY(f.server.datagrams().isEmpty());

        QVERIFY(f.connectAndConfirm());
        QVERIFY(f.main->TimerX1->isEnabled());
        QVERIFY(f.main->TimerX2->isEnabled());
        // What the user is typing stays as it is.
        f.main->txtSend->setText(QStringLiteral("half typed"));
        f.main->txtSend->setCursorPosition(4);
        elapse(f.main->TimerX1);
        QVERIFY(f.server.waitForDatagrams(2));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");
        QCOMPARE(f.main->txtSend->text(), QStringLiteral("half typed"));
        QCOMPARE(f.main->txtSend->cursorPosition(), 4);
        f.main->txtSend->clear();
        elapse(f.main->TimerX2); // 65535 ms
        elapse(f.main->TimerX2); // the remaining 54465 ms
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret users");

        elapse(f.main->Rcon);
        elapse(f.main->Rcon);
        QVERIFY(f.server.waitForDatagrams(4));
        QCOMPARE(f.lastSent(), Mark +
                                   "rcon 1234567890 secret admin_command admin_tsay yellow "
                                   "\"Talvero - " +
                                   QByteArray(talvero::WebsiteAddress) + "\"");

        // The next cycle repeats.
        elapse(f.main->TimerX1);
        QVERIFY(f.server.waitForDatagrams(5));
        QCOMPARE(f.lastSent(), Mark + "rcon 1234567890 secret status");

        click(f.main->cmddisconnect);
        QVERIFY(!f.main->Rcon->isEnabled());
        elapse(f.main->Rcon);
        QCOMPARE(f.server.datagrams().size(), 5);
    }

    void trayConnectOnALiveConnectionAsksAgain() {
        Fixture f;
        f.start();
        QVERIFY(f.connectAndConfirm());
        f.server.setChallenge("2222222222");
        f.main->MnuTrayConnect->trigger();
        QVERIFY(f.server.waitForDatagrams(2));
        QCOMPARE(f.lastSent(), Mark + "challenge rcon");
        QTRY_COMPARE(f.program->mainSession().challenge(), QStringLiteral("2222222222"));
        QVERIFY(f.program->isConnected());
        QVERIFY(f.platform.boxes.isEmpty());
        f.main->txtSend->setText(QStringLiteral("status"));
        QCOMPARE(f.main->txtSend->isEnabled(), true);
        f.main->CmdSend->click();
        QVERIFY(f.server.waitForDatagrams(3));
        QCOMPARE(f.lastSent(), Mark + "rcon 2222222222 secret status");
    }

    void absentKeysNeverBecomeCommandsOrPasswords() {
        Fixture f("[AutoIP]\nIP=127.0.0.1\n[AutoRcon]\nRcon=status\nTime=60000\nTime2=60000\n");
        f.start();
        QCOMPARE(f.main->txtPort->text(), QStringLiteral("27015"));
        QCOMPARE(f.main->txtPassword->text(), QString());
        QVERIFY(f.connectAndConfirm());
        QVERIFY(!f.main->TimerX2->isEnabled());
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
                click(f.main->cmddisconnect);
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
            f.program->ConsoleLog().open(f.folder.filePath(QStringLiteral("rcon_log.txt")));
            f.program->setLogToFile(true);
            QByteArray expectedLog;
            constexpr int Replies = 300;
            for (int i = 0; i < Replies; ++i) {
                const QByteArray line = "reply " + QByteArray::number(i);
                f.program->mainSession().receive(QString::fromLatin1(reply(line + '\n')));
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
        click(f.main->CmdTray);
        QTRY_VERIFY(f.main->isMinimized());
        QVERIFY(f.program->frmLog()->isMinimized());
        QVERIFY(f.main->isVisible());
        QVERIFY(!f.main->Tray->isVisible());
        f.main->MnuTrayMain->trigger();
        QTRY_VERIFY(!f.main->isMinimized());
        QVERIFY(!f.program->frmLog()->isMinimized());
    }

    void exitAndAbout() {
        Fixture f;
        f.start();
        f.main->MnuTrayAbout->trigger();
        QCOMPARE(f.platform.startedPrograms,
                 QStringList{f.folder.filePath(QStringLiteral("about"))});
        f.main->MnuVisitSite->trigger();
        QCOMPARE(f.platform.openedUrls.size(), 1);
        for (QAction *silent : {f.main->MnuConents, f.main->MnuAbout, f.main->MnuAdminModCommands})
            silent->trigger();
        QCOMPARE(f.platform.openedUrls.size(), 1);
        QCOMPARE(f.platform.startedPrograms.size(), 1);

        click(f.main->CmdClose);
        QVERIFY(f.platform.sounds.contains(f.folder.filePath(QStringLiteral("1284.wav"))));
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QTRY_COMPARE(f.program->isEnding(), true);
    }
};

QTEST_MAIN(TestFrmRcon)
#include "tst_frmrcon.moc"
