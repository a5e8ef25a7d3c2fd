// The main window's comforts against the GoldSrc-like test server: command history across a
// restart, names learned from a `cvarlist` for completion, and the recent servers.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/commandcompletion.h"
#include "rcon/console/commandhistory.h"
#include "rcon/console/consolecomforts.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/settings/programfiles.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

class TestConsoleComforts : public QObject {
    Q_OBJECT

    struct Fixture {
        Fixture() {
            folder.writeFile(QStringLiteral("talvero.ini"),
                             "[AutoIP]\nIP=\nPort=\n[AutoRcon]\nRcon=\nTime=\nRcon2=\nTime2=\n");
            server.listen();
        }
        void start() {
            program.reset();
            program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
            program->files().setUserStateDir(stateDir());
            program->start();
            main = program->windows().frmRcon();
            comforts = main->findChild<ConsoleComforts *>();
        }
        QLineEdit *field(const char *name) const { return child<QLineEdit>(main, name); }
        QString stateDir() const { return folder.filePath(QStringLiteral("state")); }
        bool connectTo(quint16 port) {
            field("txtIP")->setText(QStringLiteral("127.0.0.1"));
            field("txtPort")->setText(QString::number(port));
            field("txtPassword")->setText(QStringLiteral("secret"));
            QTest::mouseClick(child<XpButton>(main, "cmdconnect"), Qt::LeftButton, {},
                              QPoint(36, 10));
            const QLabel *status = child<QLabel>(program->windows().frmLog(), "LHost");
            return QTest::qWaitFor(
                [status] { return status->text().startsWith(QStringLiteral("Connected")); });
        }
        // Types a command into a line and sends it with Enter, as the user does.
        bool send(QLineEdit *line, const QString &command) {
            const int before = int(server.executedCommands().size());
            QTest::keyClicks(line, command);
            if (QAbstractItemView *list = comforts->commandCompleter()->popup();
                line == field("txtSend") && list->isVisible())
                QTest::keyClick(list, Qt::Key_Escape);
            QTest::keyClick(line, Qt::Key_Return);
            return QTest::qWaitFor([&] { return server.executedCommands().size() > before; });
        }
        // Up or Down in a line, then its text.
        QString step(QLineEdit *line, Qt::Key key) {
            QTest::keyClick(line, key);
            return line->text();
        }

        ProgramFolder folder;
        FakePlatform platform;
        GoldSrcServer server;
        std::unique_ptr<Program> program;
        FrmRcon *main = nullptr;
        ConsoleComforts *comforts = nullptr;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void historyStepsLikeAShellAndSurvivesARestart() {
        Fixture f;
        f.start();
        QVERIFY(f.connectTo(f.server.port()));
        QVERIFY(f.send(f.field("txtSend"), QStringLiteral("status")));
        QVERIFY(f.send(f.field("txtSend"), QStringLiteral("status")));
        QVERIFY(f.send(f.field("txtSend"), QStringLiteral("echo one")));
        QVERIFY(f.send(f.field("txtSend"), QStringLiteral("sv_password letmein")));
        QVERIFY(f.send(f.field("TxtSendAdmin"), QStringLiteral("say hello")));
        // A canned command is no history.
        child<QAction>(f.main, "mnuStatus")->trigger();

        QTest::keyClicks(f.field("txtSend"), QStringLiteral("half"));
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Up), QStringLiteral("sv_password letmein"));
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Up), QStringLiteral("echo one"));
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Up), QStringLiteral("status"));
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Up), QStringLiteral("status"));
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Down), QStringLiteral("echo one"));
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Down), QStringLiteral("sv_password letmein"));
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Down), QStringLiteral("half"));
        // A recalled command, edited and sent, is added anew.
        f.field("txtSend")->clear();
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Up), QStringLiteral("sv_password letmein"));
        QCOMPARE(f.step(f.field("txtSend"), Qt::Key_Up), QStringLiteral("echo one"));
        QTest::keyClicks(f.field("txtSend"), QStringLiteral(" two"));
        QTest::keyClick(f.field("txtSend"), Qt::Key_Return);
        QTRY_COMPARE(f.server.executedCommands().last(), QStringLiteral("echo one two"));
        QCOMPARE(f.step(f.field("TxtSendAdmin"), Qt::Key_Up), QStringLiteral("say hello"));

        // The file is written a moment after the last command, and at the latest when the
        // program ends.
        QTRY_VERIFY(QFile::exists(f.stateDir() + QStringLiteral("/history-adminmod")));
        f.program.reset();
        const QByteArray stored = f.folder.readFile(QStringLiteral("state/history-console"));
        QVERIFY(!stored.contains("password"));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile(f.stateDir() + QStringLiteral("/history-console")).permissions() & others,
                 QFile::Permissions());

        // After a restart: everything but the password command, newest first.
        f.start();
        QCOMPARE(f.comforts->consoleHistory().commands(),
                 QStringList({QStringLiteral("echo one two"), QStringLiteral("echo one"),
                              QStringLiteral("status")}));
        QCOMPARE(f.comforts->adminHistory().commands(), QStringList({QStringLiteral("say hello")}));
    }

    void cvarlistTeachesNamesForThatServer() {
        Fixture f;
        f.start();
        QVERIFY(f.connectTo(f.server.port()));
        QCompleter *completer = f.comforts->commandCompleter();
        // The shipped names are there before the server said anything.
        QTest::keyClicks(f.field("txtSend"), QStringLiteral("SV_GRAV"));
        QTRY_VERIFY(completer->popup()->isVisible());
        QCOMPARE(completer->currentCompletion(), QStringLiteral("sv_gravity"));
        QTest::keyClick(completer->popup(), Qt::Key_Escape);
        f.field("txtSend")->clear();

        // The listing comes in several replies, lines cut between them.
        QVERIFY(f.send(f.field("txtSend"), QStringLiteral("cvarlist")));
        QTRY_VERIFY(child<OutputPane>(f.program->windows().frmLog(), "TxtGet")
                        ->text()
                        .contains(QStringLiteral("Total CVars")));
        const QString server = QStringLiteral("127.0.0.1:%1").arg(f.server.port());
        QTRY_COMPARE(f.comforts->completion().learnedNames(server).size(), 502);
        // hostname and sv_gravity were known already.
        QTRY_COMPARE(completer->model()->rowCount(),
                     CommandCompletion::shippedNames().size() + 500);

        QTest::keyClicks(f.field("txtSend"), QStringLiteral("sv_setting_49"));
        QTRY_VERIFY(completer->popup()->isVisible());
        QCOMPARE(completer->completionCount(), 11); // 49 and 490 to 499
        // Tab takes the first name; Enter takes the chosen one without sending the line.
        QTest::keyClick(completer->popup(), Qt::Key_Tab);
        QCOMPARE(f.field("txtSend")->text(), QStringLiteral("sv_setting_49"));
        QTest::keyClicks(f.field("txtSend"), QStringLiteral("9"));
        QTRY_VERIFY(completer->popup()->isVisible());
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        const int sent = int(f.server.executedCommands().size());
        QTest::keyPress(completer->popup(), Qt::Key_Return);
        QTest::keyRelease(f.field("txtSend"), Qt::Key_Return);
        QCOMPARE(f.field("txtSend")->text(), QStringLiteral("sv_setting_499"));
        f.field("txtSend")->clear();
        QVERIFY(f.send(f.field("txtSend"), QStringLiteral("echo after")));
        QCOMPARE(f.server.executedCommands().mid(sent),
                 QStringList({QStringLiteral("echo after")}));
        // With the list open and nothing chosen, one Enter sends the line as typed.
        QTest::keyClicks(f.field("txtSend"), QStringLiteral("sv_setting_12"));
        QTRY_VERIFY(completer->popup()->isVisible());
        QTest::keyPress(completer->popup(), Qt::Key_Return);
        QTest::keyRelease(f.field("txtSend"), Qt::Key_Return);
        QCOMPARE(f.field("txtSend")->text(), QString());
        QTRY_COMPARE(f.server.executedCommands().last(), QStringLiteral("sv_setting_12"));

        // Kept for this server across a restart; another server does not get them.
        f.start();
        QVERIFY(f.comforts->completion().learnedNames(server).contains(
            QStringLiteral("sv_setting_123")));
        GoldSrcServer other;
        QVERIFY(other.listen());
        QVERIFY(f.connectTo(other.port()));
        completer = f.comforts->commandCompleter();
        QTest::keyClicks(f.field("txtSend"), QStringLiteral("sv_setting_"));
        QCOMPARE(completer->completionCount(), 0);
    }

    void recentServersAfterTwoConnects() {
        Fixture f;
        GoldSrcServer second;
        QVERIFY(second.listen());
        f.start();
        QVERIFY(f.connectTo(f.server.port()));
        QTest::mouseClick(child<XpButton>(f.main, "cmddisconnect"), Qt::LeftButton, {},
                          QPoint(36, 10));
        QVERIFY(f.connectTo(second.port()));
        QTest::mouseClick(child<XpButton>(f.main, "cmddisconnect"), Qt::LeftButton, {},
                          QPoint(36, 10));
        // A server that never confirms is not recorded.
        f.field("txtIP")->setText(QStringLiteral("127.0.0.1"));
        f.field("txtPort")->setText(QStringLiteral("9"));
        f.field("txtPassword")->setText(QStringLiteral("secret"));
        f.main->ConnectToServer();
        QTest::mouseClick(child<XpButton>(f.main, "cmddisconnect"), Qt::LeftButton, {},
                          QPoint(36, 10));

        f.start();
        QCompleter *completer = f.comforts->serverCompleter();
        const QStringList expected = {QStringLiteral("127.0.0.1:%1").arg(second.port()),
                                      QStringLiteral("127.0.0.1:%1").arg(f.server.port())};
        QAbstractItemModel *model = completer->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 0).data().toString(), expected.at(0));
        QCOMPARE(model->index(1, 0).data().toString(), expected.at(1));
        QVERIFY(!f.folder.readFile(QStringLiteral("state/recent-servers")).contains("secret"));

        // Down in the empty field lists them; choosing one fills address and port.
        f.field("txtIP")->clear();
        f.field("txtIP")->setFocus();
        QTest::keyClick(f.field("txtIP"), Qt::Key_Down);
        QTRY_VERIFY(completer->popup()->isVisible());
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Return);
        QCOMPARE(f.field("txtIP")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(f.field("txtPort")->text(), QString::number(f.server.port()));
    }
};

QTEST_MAIN(TestConsoleComforts)
#include "tst_consolecomforts.moc"
