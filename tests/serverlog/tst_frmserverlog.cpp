// The Server Log window against the test server, given only the main connection, the options,
// the desktop and the button factory: the log sent here while the window is open and stopped
// when it closes, the main connection ends or the window is left; lines live, sorted and
// filtered; the rcon password never shown, copied or saved; the say line, which never lets a
// second command through; datagrams from elsewhere ignored and counted.
#include "rcon/kit/fonts.h"
#include "rcon/serverlog/frmserverlog.h"
#include "rcon/serverlog/serverlogmodel.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/widgets.h"
#include "tests/support/windowservices.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
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
        server.setPassword(password);
        server.listen();
    }
    ~Fixture() { delete log; }

    bool connectMain() { return services.connectTo(server.port(), QString::fromLatin1(password)); }

    // The window, made on first use and again once it was closed.
    FrmServerLog *window() {
        if (!log)
            log = new FrmServerLog(services.connection, services.settings, services.platform,
                                   services.buttons);
        return log;
    }
    // Opens the window; waits until the server sends its log to it.
    FrmServerLog *openLog() {
        window()->open();
        if (!QTest::qWaitForWindowActive(log) ||
            !QTest::qWaitFor([this] { return server.logAddresses() == registration(); }))
            return nullptr;
        return log;
    }

    QStringList registration() const {
        return {QStringLiteral("127.0.0.1:%1").arg(log->receivingPort())};
    }
    QString status() const { return child<QLabel>(log, "LblStatus")->text(); }
    QLineEdit *field(const char *name) const { return child<QLineEdit>(log, name); }
    QListView *list() const { return child<QListView>(log, "LstLog"); }
    QString optionsFile() const { return services.settings.optionsFile(); }
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
        const QRect rect = list()->visualRect(log->model()->index(row));
        return rect.top() >= 0 && rect.bottom() < list()->viewport()->height();
    }
    int topRow() const { return list()->indexAt(QPoint(1, 1)).row(); }

    QByteArray password;
    WindowServices services;
    GoldSrcServer server;
    QPointer<FrmServerLog> log;
};

} // namespace

class TestFrmServerLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void linesComeLiveAndTheWindowStopsTheLogWhenClosed() {
        Fixture f;
        // Nothing is asked of the server while disconnected.
        f.window()->open();
        QCOMPARE(f.status(), QStringLiteral("Not connected."));
        QVERIFY(!f.log->isRegistered());

        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());
        QCOMPARE(f.log->windowTitle(), QStringLiteral("Server Log"));
        QTRY_COMPARE(f.status(), QStringLiteral("logaddress_add:  ") + f.registration().first());

        const QList<QByteArray> events = f.server.writeChatter(60);
        QTRY_COMPARE(f.rows(), 60);
        QCOMPARE(f.log->model()->lineAt(59).event(), QString::fromUtf8(events.last()));
        QVERIFY(f.rowInView(59));

        // Scrolled up, the view stays on the lines read while new ones come.
        QTest::keyClick(f.list(), Qt::Key_Home);
        QCOMPARE(f.topRow(), 0);
        f.server.writeChatter(20);
        QTRY_COMPARE(f.rows(), 80);
        QCOMPARE(f.topRow(), 0);
        QVERIFY(!f.rowInView(79));
        // Back at the end, it follows again.
        QTest::keyClick(f.list(), Qt::Key_End);
        f.server.writeChatter(20);
        QTRY_COMPARE(f.rows(), 100);
        QTRY_VERIFY(f.rowInView(99));

        f.log->resize(701, 433);
        f.log->close();
        QTRY_VERIFY(!f.log);
        QTRY_VERIFY(f.server.logAddresses().isEmpty());
        QVERIFY(QSettings(f.optionsFile(), QSettings::IniFormat)
                    .contains(QStringLiteral("ServerLog/Geometry")));
        QVERIFY(f.openLog());
        QCOMPARE(f.log->size(), QSize(701, 433));
    }

    // A server with its logging off sends nothing: after a while the window says what to do.
    void quietLogRemindsOfLogOn() {
        Fixture f;
        QVERIFY(f.connectMain());
        f.window()->setQuietHintDelay(200);
        QVERIFY(f.openLog());
        QTRY_VERIFY(f.status().contains(QStringLiteral("\"log on\"")));
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
        f.field("TxtPort")->setText(QString::number(port));
        QTest::keyClick(f.field("TxtPort"), Qt::Key_Return);
        QCOMPARE(f.log->receivingPort(), port);
        QTRY_COMPARE(f.server.logAddresses(),
                     QStringList{QStringLiteral("127.0.0.1:%1").arg(port)});

        // The address a router would forward from, typed by hand.
        f.field("TxtAddress")->setText(QStringLiteral("127.0.0.3"));
        QTest::keyClick(f.field("TxtAddress"), Qt::Key_Return);
        QTRY_COMPARE(f.server.logAddresses(),
                     QStringList{QStringLiteral("127.0.0.3:%1").arg(port)});
        f.server.writeLog("Server say \"moved\"");
        QVERIFY(f.waitForRow(QStringLiteral("Server say \"moved\"")) >= 0);
        QSettings options(f.optionsFile(), QSettings::IniFormat);
        QCOMPARE(options.value(QStringLiteral("ServerLog/Port")).toInt(), int(port));
        QCOMPARE(options.value(QStringLiteral("ServerLog/Address")).toString(),
                 QStringLiteral("127.0.0.3"));
    }

    void disconnectAndLeavingStopTheLog() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());

        f.services.disconnect();
        QTRY_VERIFY(f.server.logAddresses().isEmpty());
        QCOMPARE(f.status(), QStringLiteral("Not connected."));
        QVERIFY(!f.log->isRegistered());

        // Connected again, the open window has the log sent to it again.
        QVERIFY(f.connectMain());
        QTRY_COMPARE(f.server.logAddresses(), f.registration());

        // The process may end right after the window is left: the server has been told before
        // leave returns, with nothing left waiting for the event loop.
        f.log->leave();
        QVERIFY(!f.log->isRegistered());
        delete f.log;
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

        auto *chatBox = child<QCheckBox>(f.log, "ChkChat");
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
        QCOMPARE(QSettings(f.optionsFile(), QSettings::IniFormat)
                     .value(QStringLiteral("ServerLog/Hidden"))
                     .toStringList(),
                 QStringList());
    }

    void scrollsSidewaysOnlyForALineWiderThanTheView() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());
        QScrollBar *sideways = f.list()->horizontalScrollBar();
        f.server.writeChatter(30);
        QTRY_COMPARE(f.rows(), 30);
        QTRY_VERIFY(f.rowInView(29));
        QVERIFY(!sideways->isVisible());

        f.server.writeLog("Server say \"" + QByteArray(200, 'w') + '"');
        QTRY_COMPARE(f.rows(), 31);
        QTRY_VERIFY(sideways->isVisible());
        // The long line hidden with the Admin lines, the short ones fit again.
        child<QCheckBox>(f.log, "ChkAdmin")->click();
        QTRY_VERIFY(!sideways->isVisible());
        child<QCheckBox>(f.log, "ChkAdmin")->click();
        QTRY_VERIFY(sideways->isVisible());
    }

    void passwordAppearsNowhere() {
        Fixture f("pass word");
        QVERIFY(f.connectMain());
        QVERIFY(f.openLog());

        QTest::keyClicks(f.field("TxtSay"), QStringLiteral("hello all"));
        QTest::keyClick(f.field("TxtSay"), Qt::Key_Return);
        QVERIFY(f.waitForRow(QStringLiteral("Server say \"hello all\"")) >= 0);
        const int rcon = f.waitForRow(QStringLiteral("Rcon: \"say hello all\" from \"127.0.0.1:"));
        QVERIFY(rcon >= 0);
        QCOMPARE(f.log->model()->lineAt(rcon).category(), ServerLogLine::Category::Admin);
        QVERIFY(f.field("TxtSay")->text().isEmpty());

        const QString view =
            f.shown().join(QLatin1Char('\n')) + f.shown(Qt::ToolTipRole).join(QLatin1Char('\n'));
        QVERIFY(!view.contains(QStringLiteral("pass")));
        QVERIFY(!view.contains(QStringLiteral("word")));

        f.list()->setFocus();
        QTest::keyClick(f.list(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(f.list(), Qt::Key_C, Qt::ControlModifier);
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.contains(QStringLiteral("Server say \"hello all\"")));
        QVERIFY(copied.contains(QStringLiteral("Rcon: \"say hello all\"")));
        QVERIFY(!copied.contains(QStringLiteral("pass")));
        QVERIFY(!copied.contains(QStringLiteral("word")));

        const QString path = f.services.folder.filePath(QStringLiteral("saved-log.txt"));
        f.log->setSaveFileChooser([&](QWidget *, const QString &) { return path; });
        click(child<XpButton>(f.log, "CmdSave"));
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

        QTest::keyClicks(f.field("TxtSay"), QStringLiteral("hi; rcon_password x"));
        QTest::keyClick(f.field("TxtSay"), Qt::Key_Return);
        QVERIFY(f.status().startsWith(QStringLiteral("Not sent:")));
        QCOMPARE(f.field("TxtSay")->text(), QStringLiteral("hi; rcon_password x"));

        // What is sent after the refusal arrives; nothing of the refused line went before it.
        f.field("TxtSay")->setText(QStringLiteral("fine"));
        click(child<XpButton>(f.log, "CmdSay"));
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
        QTRY_COMPARE(child<QLabel>(f.log, "LblIgnored")->text(),
                     QStringLiteral("2 datagrams ignored"));
    }
};

QTEST_MAIN(TestFrmServerLog)
#include "tst_frmserverlog.moc"
