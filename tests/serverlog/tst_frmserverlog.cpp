// The Server Log window against the test server: the log sent here while the window is open
// and stopped when it closes, the main window disconnects or the program ends; lines live,
// sorted and filtered; the rcon password never shown, copied or saved; the say line, which never
// lets a second command through; datagrams from elsewhere ignored and counted.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/console/frmlog.h"
#include "rcon/kit/fonts.h"
#include "rcon/serverlog/frmserverlog.h"
#include "rcon/serverlog/serverlogmodel.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/programfolder.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QUdpSocket>

namespace {

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(36, 10));
}

struct Fixture {
    explicit Fixture(const QByteArray &serverPassword = "secret")
        : password(serverPassword) {
        folder.writeFile(QStringLiteral("talvero.ini"),
                         "[AutoIP]\nIP=\nPort=\n[AutoRcon]\nRcon=\nTime=\nRcon2=\nTime2=\n");
        server.setPassword(password);
        server.listen();
        program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
        program->start();
        main = program->frmRcon();
    }

    bool connectMain() {
        main->txtIP->setText(QStringLiteral("127.0.0.1"));
        main->txtPort->setText(QString::number(server.port()));
        main->txtPassword->setText(QString::fromLatin1(password));
        click(main->cmdconnect);
        return QTest::qWaitFor([this] {
            return program->frmLog()->LHost->text().startsWith(QStringLiteral("Connected to"));
        });
    }

    // Ctrl+G in the main window; waits until the server sends its log to the window.
    FrmServerLog *openLog() {
        main->activateWindow();
        if (!QTest::qWaitForWindowActive(main))
            return nullptr;
        QTest::keyClick(main, Qt::Key_G, Qt::ControlModifier);
        log = program->frmServerLog();
        if (!log || !QTest::qWaitForWindowActive(log) ||
            !QTest::qWaitFor([this] { return server.logAddresses() == registration(); }))
            return nullptr;
        return log;
    }

    QStringList registration() const {
        return {QStringLiteral("127.0.0.1:%1").arg(log->receivingPort())};
    }
    int rows() const { return log->model()->rowCount(); }
    QStringList shown(int role = Qt::DisplayRole) const {
        QStringList lines;
        for (int row = 0; row < rows(); ++row)
            lines.append(log->model()->index(row).data(role).toString());
        return lines;
    }
    // The row with this text in it, once it has come; -1 when it does not.
    int waitForRow(const QString &text) const {
        const auto find = [&] {
            const QStringList lines = shown();
            for (int row = 0; row < lines.size(); ++row) {
                if (lines.at(row).contains(text))
                    return row;
            }
            return -1;
        };
        return QTest::qWaitFor([&] { return find() >= 0; }) ? find() : -1;
    }
    bool rowInView(int row) const {
        const QRect rect = log->LstLog->visualRect(log->model()->index(row));
        return rect.top() >= 0 && rect.bottom() < log->LstLog->viewport()->height();
    }
    int topRow() const { return log->LstLog->indexAt(QPoint(1, 1)).row(); }

    QByteArray password;
    ProgramFolder folder;
    FakePlatform platform;
    GoldSrcServer server;
    std::unique_ptr<Program> program;
    FrmRcon *main = nullptr;
    QPointer<FrmServerLog> log;
};

} // namespace

class TestFrmServerLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void linesComeLiveAndTheWindowStopsTheLogWhenClosed() {
        Fixture f;
        // The entry follows "Players..." at the end of the Commands menu.
        const QList<QAction *> entries = f.main->MnuCommands->actions();
        QCOMPARE(entries.last(), f.main->MnuServerLog);
        QCOMPARE(entries.at(entries.size() - 2), f.main->MnuPlayers);
        QCOMPARE(f.main->MnuServerLog->text(), QStringLiteral("Server Log..."));
        // Nothing opens while disconnected.
        f.main->MnuServerLog->trigger();
        QVERIFY(!f.program->frmServerLog()->isVisible());

        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());
        QCOMPARE(f.log->windowTitle(), QStringLiteral("Server Log"));
        QTRY_COMPARE(f.log->LblStatus->text(),
                     QStringLiteral("logaddress_add:  ") + f.registration().first());

        const QList<QByteArray> events = f.server.writeChatter(60);
        QTRY_COMPARE(f.rows(), 60);
        QCOMPARE(f.log->model()->lineAt(59).event(), QString::fromUtf8(events.last()));
        QVERIFY(f.rowInView(59));

        // Scrolled up, the view stays on the lines read while new ones come.
        QTest::keyClick(f.log->LstLog, Qt::Key_Home);
        QCOMPARE(f.topRow(), 0);
        f.server.writeChatter(20);
        QTRY_COMPARE(f.rows(), 80);
        QCOMPARE(f.topRow(), 0);
        QVERIFY(!f.rowInView(79));
        // Back at the end, it follows again.
        QTest::keyClick(f.log->LstLog, Qt::Key_End);
        f.server.writeChatter(20);
        QTRY_COMPARE(f.rows(), 100);
        QTRY_VERIFY(f.rowInView(99));

        f.log->resize(701, 433);
        f.log->close();
        QTRY_VERIFY(!f.log);
        QTRY_VERIFY(f.server.logAddresses().isEmpty());
        QVERIFY(QSettings(f.folder.optionsFile(), QSettings::IniFormat)
                    .contains(QStringLiteral("ServerLog/Geometry")));
        QVERIFY(f.openLog());
        QCOMPARE(f.log->size(), QSize(701, 433));
    }

    // A server with its logging off sends nothing: after a while the window says what to do.
    void quietLogRemindsOfLogOn() {
        Fixture f;
        QVERIFY(f.connectMain());
        f.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.main));
        f.program->frmServerLog()->setQuietHintDelay(200);
        QVERIFY(f.openLog());
        QTRY_VERIFY(f.log->LblStatus->text().contains(QStringLiteral("\"log on\"")));
    }

    void changingThePortOrAddressMovesTheLog() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());
        quint16 port = 0;
        {
            QUdpSocket probe;
            QVERIFY(probe.bind(QHostAddress::AnyIPv4, 0));
            port = probe.localPort();
        }
        f.log->TxtPort->setText(QString::number(port));
        QTest::keyClick(f.log->TxtPort, Qt::Key_Return);
        QCOMPARE(f.log->receivingPort(), port);
        QTRY_COMPARE(f.server.logAddresses(),
                     QStringList{QStringLiteral("127.0.0.1:%1").arg(port)});

        // The address a router would forward from, typed by hand.
        f.log->TxtAddress->setText(QStringLiteral("127.0.0.3"));
        QTest::keyClick(f.log->TxtAddress, Qt::Key_Return);
        QTRY_COMPARE(f.server.logAddresses(),
                     QStringList{QStringLiteral("127.0.0.3:%1").arg(port)});
        f.server.writeLog("Server say \"moved\"");
        QVERIFY(f.waitForRow(QStringLiteral("Server say \"moved\"")) >= 0);
        QSettings options(f.folder.optionsFile(), QSettings::IniFormat);
        QCOMPARE(options.value(QStringLiteral("ServerLog/Port")).toInt(), int(port));
        QCOMPARE(options.value(QStringLiteral("ServerLog/Address")).toString(),
                 QStringLiteral("127.0.0.3"));
    }

    void disconnectAndExitStopTheLog() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());

        click(f.main->cmddisconnect);
        QTRY_VERIFY(f.server.logAddresses().isEmpty());
        QCOMPARE(f.log->LblStatus->text(), QStringLiteral("Not connected."));
        QVERIFY(!f.log->isRegistered());

        // Connected again, the open window has the log sent to it again.
        QVERIFY(f.connectMain());
        QTRY_COMPARE(f.server.logAddresses(), f.registration());

        // The process ends right after Exit: the server has been told before it returns, with
        // nothing left waiting for the event loop.
        f.program->ExitProgram();
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QVERIFY(!f.log->isRegistered());
        f.program.reset();
        QTRY_VERIFY(f.server.logAddresses().isEmpty());
    }

    void filterAppliesToTheLinesKept() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());
        f.server.writeChatter(40);
        QTRY_COMPARE(f.rows(), 40);
        int chat = 0;
        for (int row = 0; row < f.rows(); ++row) {
            const QModelIndex index = f.log->model()->index(row);
            const bool isChat =
                f.log->model()->lineAt(row).category() == ServerLogLine::Category::Chat;
            chat += isChat;
            // Chat stands out without colour too.
            QCOMPARE(index.data(Qt::FontRole).value<QFont>().bold(), isChat);
        }
        QVERIFY(chat > 0 && chat < 40);

        QCheckBox *chatBox = f.log->findChild<QCheckBox *>(QStringLiteral("ChkChat"));
        QVERIFY(chatBox);
        chatBox->click();
        QCOMPARE(f.rows(), 40 - chat);
        for (int row = 0; row < f.rows(); ++row)
            QVERIFY(f.log->model()->lineAt(row).category() != ServerLogLine::Category::Chat);
        // Lines that come while hidden are kept and shown with the rest.
        int moreChat = 0;
        for (const QByteArray &event : f.server.writeChatter(12))
            moreChat += ServerLogLine::categoryOf(event) == ServerLogLine::Category::Chat;
        QVERIFY(moreChat > 0);
        QTRY_COMPARE(f.log->model()->lineCount(), 52);
        QCOMPARE(f.rows(), 52 - chat - moreChat);
        chatBox->click();
        QCOMPARE(f.rows(), 52);
        QCOMPARE(QSettings(f.folder.optionsFile(), QSettings::IniFormat)
                     .value(QStringLiteral("ServerLog/Hidden"))
                     .toStringList(),
                 QStringList());
    }

    void scrollsSidewaysOnlyForALineWiderThanTheView() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());
        QScrollBar *sideways = f.log->LstLog->horizontalScrollBar();
        f.server.writeChatter(30);
        QTRY_COMPARE(f.rows(), 30);
        QTRY_VERIFY(f.rowInView(29));
        QVERIFY(!sideways->isVisible());

        f.server.writeLog("Server say \"" + QByteArray(200, 'w') + '"');
        QTRY_COMPARE(f.rows(), 31);
        QTRY_VERIFY(sideways->isVisible());
        // The long line hidden with the Admin lines, the short ones fit again.
        f.log->findChild<QCheckBox *>(QStringLiteral("ChkAdmin"))->click();
        QTRY_VERIFY(!sideways->isVisible());
        f.log->findChild<QCheckBox *>(QStringLiteral("ChkAdmin"))->click();
        QTRY_VERIFY(sideways->isVisible());
    }

    void passwordAppearsNowhere() {
        Fixture f("pass word");
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());

        QTest::keyClicks(f.log->TxtSay, QStringLiteral("hello all"));
        QTest::keyClick(f.log->TxtSay, Qt::Key_Return);
        QVERIFY(f.waitForRow(QStringLiteral("Server say \"hello all\"")) >= 0);
        const int rcon = f.waitForRow(QStringLiteral("Rcon: \"say hello all\" from \"127.0.0.1:"));
        QVERIFY(rcon >= 0);
        QCOMPARE(f.log->model()->lineAt(rcon).category(), ServerLogLine::Category::Admin);
        QVERIFY(f.log->TxtSay->text().isEmpty());

        const QString view =
            f.shown().join(QLatin1Char('\n')) + f.shown(Qt::ToolTipRole).join(QLatin1Char('\n'));
        QVERIFY(!view.contains(QStringLiteral("pass")));
        QVERIFY(!view.contains(QStringLiteral("word")));

        f.log->LstLog->setFocus();
        QTest::keyClick(f.log->LstLog, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(f.log->LstLog, Qt::Key_C, Qt::ControlModifier);
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.contains(QStringLiteral("Server say \"hello all\"")));
        QVERIFY(copied.contains(QStringLiteral("Rcon: \"say hello all\"")));
        QVERIFY(!copied.contains(QStringLiteral("pass")));
        QVERIFY(!copied.contains(QStringLiteral("word")));

        const QString path = f.folder.filePath(QStringLiteral("saved-log.txt"));
        f.log->setSaveFileChooser([&](QWidget *, const QString &) { return path; });
        click(f.log->CmdSave);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY(bytes.contains("Rcon: \"say hello all\" from \"127.0.0.1:"));
        QVERIFY(!bytes.contains("pass"));
        QVERIFY(!bytes.contains("word"));
        QCOMPARE(saved.permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
    }

    void sayNeverRunsASecondCommand() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());

        QTest::keyClicks(f.log->TxtSay, QStringLiteral("hi; rcon_password x"));
        QTest::keyClick(f.log->TxtSay, Qt::Key_Return);
        QVERIFY(f.log->LblStatus->text().startsWith(QStringLiteral("Not sent:")));
        QCOMPARE(f.log->TxtSay->text(), QStringLiteral("hi; rcon_password x"));

        // What is sent after the refusal arrives; nothing of the refused line went before it.
        f.log->TxtSay->setText(QStringLiteral("fine"));
        click(f.log->CmdSay);
        QTRY_VERIFY(f.server.executedCommands().contains(QStringLiteral("say fine")));
        for (const QString &command : f.server.executedCommands()) {
            QVERIFY2(!command.contains(QStringLiteral("rcon_password")), qPrintable(command));
            QVERIFY2(!command.contains(QStringLiteral("hi")), qPrintable(command));
        }
    }

    void datagramsFromElsewhereAreIgnoredAndCounted() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());

        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        stranger.writeDatagram(GoldSrcServer::logDatagram("L 12/08/2026 - 09:29:07: Server say "
                                                          "\"forged\""),
                               QHostAddress::LocalHost, f.log->receivingPort());
        f.server.sendToLogAddresses("\xFF\xFF\xFF\xFFlNot a log line\n");
        f.server.writeLog("Server say \"real\"");
        QTRY_COMPARE(f.rows(), 1);
        QCOMPARE(f.log->model()->lineAt(0).event(), QStringLiteral("Server say \"real\""));
        QTRY_COMPARE(f.log->LblIgnored->text(), QStringLiteral("2 datagrams ignored"));
    }
};

QTEST_MAIN(TestFrmServerLog)
#include "tst_frmserverlog.moc"
