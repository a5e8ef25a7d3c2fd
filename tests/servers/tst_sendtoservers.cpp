// "Send to selected..." through the widgets: one command to five servers over sessions of
// their own, with the passwords kept in a real keyring; the confirmation first; each server's
// outcome (answered, refused, banned, no answer, skipped) as it comes; copied and saved; and
// nothing of it in the main output window or the log, while the main window is connected.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/servers/frmservers.h"
#include "rcon/servers/sendtoserversview.h"
#include "rcon/servers/serverlistmodel.h"
#include "rcon/servers/servermonitor.h"
#include "rcon/settings/programfiles.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/programfolder.h"
#include "tests/support/sessionbus.h"
#include "tests/support/testkeyring.h"
#include "tests/support/widgets.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QUdpSocket>

namespace {

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 10));
}

} // namespace

class TestSendToServers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        talvero::registerApplicationFonts();
        QVERIFY(m_bus.start(SessionBus::Activation::None));
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
        QVERIFY(m_keyring.start());
    }

    void oneCommandToManyServersEachWithItsOutcome() {
        ProgramFolder folder;
        FakePlatform platform;
        folder.writeFile(QStringLiteral("talvero.ini"),
                         "[AutoIP]\nIP=\nPort=\n[AutoRcon]\nRcon=\nTime=\nRcon2=\nTime2=\n");
        // answering, refusing (its kept password is wrong), banning, and none kept for it.
        GoldSrcServer servers[4];
        for (GoldSrcServer &server : servers)
            QVERIFY(server.listen());
        servers[1].setPassword("other");
        servers[2].ban(QHostAddress::LocalHost);
        // A port that takes datagrams and never answers.
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress::LocalHost));
        int challengesToSilent = 0;
        connect(&silent, &QUdpSocket::readyRead, &silent, [&] {
            while (silent.hasPendingDatagrams()) {
                if (silent.receiveDatagram().data().contains("challenge rcon"))
                    ++challengesToSilent;
            }
        });
        auto address = [](quint16 port) { return QStringLiteral("127.0.0.1:%1").arg(port); };

        // The main window connected to the first server, logging on.
        Program program(folder.path(), folder.optionsFile(), platform);
        program.settings().saveOption(SettingsStore::LogText2File, true);
        program.start();
        FrmRcon *main = program.windows().frmRcon();
        FrmLog *output = program.windows().frmLog();
        child<QLineEdit>(main, "txtIP")->setText(QStringLiteral("127.0.0.1"));
        child<QLineEdit>(main, "txtPort")->setText(QString::number(servers[0].port()));
        child<QLineEdit>(main, "txtPassword")->setText(QStringLiteral("secret"));
        QTest::mouseClick(child<XpButton>(main, "cmdconnect"), Qt::LeftButton, {}, QPoint(36, 10));
        QTRY_VERIFY(
            child<QLabel>(output, "LHost")->text().startsWith(QStringLiteral("Connected to")));
        const QString pane = child<OutputPane>(output, "TxtGet")->toPlainText();
        const QByteArray log = folder.readFile(QStringLiteral("rcon_log.txt"));

        ButtonFactory buttons(platform, QString());
        ProgramFiles files(folder.path(), folder.path(), folder.optionsFile());
        FrmServers window(platform, buttons, files, {});
        window.setAnswerTimeout(400);
        window.open();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *table = window.findChild<QTableView *>(QStringLiteral("TblServers"));
        auto add = [&](const QString &lines, const QString &password) {
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(table, Qt::Key_Insert);
            QDialog *dialog = nullptr;
            QTRY_VERIFY((dialog = window.findChild<QDialog *>(QStringLiteral("dlgServer"))));
            dialog->findChild<QPlainTextEdit *>(QStringLiteral("TxtAddresses"))
                ->setPlainText(lines);
            dialog->findChild<QLineEdit *>(QStringLiteral("TxtPassword"))->setText(password);
            click(dialog->findChild<XpButton *>(QStringLiteral("CmdOk")));
            QTRY_VERIFY(!window.findChild<QDialog *>(QStringLiteral("dlgServer")));
        };
        add(address(servers[0].port()) + QLatin1Char('\n') + address(servers[2].port()) +
                QLatin1Char('\n') + address(silent.localPort()),
            QStringLiteral("secret"));
        add(address(servers[1].port()), QStringLiteral("wrong"));
        add(address(servers[3].port()), QString());
        QCOMPARE(window.monitor().model()->rowCount(), 5);

        // Every row, Ctrl+Enter.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        table->setFocus();
        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(table, Qt::Key_Return, Qt::ControlModifier);
        SendToServersView *send = window.sendWindow();
        QVERIFY(send);
        QTRY_VERIFY(send->isVisible());
        auto *command = send->findChild<QLineEdit *>(QStringLiteral("TxtCommand"));
        auto *results = send->findChild<QTableWidget *>(QStringLiteral("TblResults"));
        QTest::keyClicks(command, QStringLiteral("hostname"));

        // Asked first; no sends nothing.
        platform.queueAnswer(Platform::Answer::No);
        QTest::keyClick(command, Qt::Key_Return);
        QCOMPARE(platform.boxes.last().text, QStringLiteral("Send 'hostname' to 5 servers?"));
        QCOMPARE(results->rowCount(), 0);
        QVERIFY(!servers[0].executedCommands().contains(QStringLiteral("hostname")));

        platform.queueAnswer(Platform::Answer::Yes);
        QTest::keyClick(command, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!send->command().isRunning(), 10000);
        QHash<QString, QStringList> rows; // address: outcome, reply
        for (int row = 0; row < results->rowCount(); ++row)
            rows.insert(results->item(row, 1)->text(),
                        {results->item(row, 2)->text(), results->item(row, 3)->text()});
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.value(address(servers[0].port())),
                 (QStringList{QStringLiteral("answered"),
                              QStringLiteral("\"hostname\" is \"Talvero Test Server\"")}));
        QCOMPARE(rows.value(address(servers[1].port())),
                 (QStringList{QStringLiteral("refused"), QStringLiteral("Bad rcon_password.")}));
        QCOMPARE(rows.value(address(servers[2].port())).first(), QStringLiteral("banned"));
        QCOMPARE(rows.value(address(silent.localPort())),
                 (QStringList{QStringLiteral("no answer"),
                              QStringLiteral("The server did not answer.")}));
        QCOMPARE(rows.value(address(servers[3].port())),
                 (QStringList{QStringLiteral("skipped"),
                              QStringLiteral("No rcon password is kept for this server.")}));
        // Nothing is tried again on its own.
        QCOMPARE(challengesToSilent, 1);
        QVERIFY(!servers[1].isBanned(QHostAddress::LocalHost));

        // Copied and saved as the same text.
        QTest::keyClick(results, Qt::Key_C, Qt::ControlModifier);
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.startsWith(QStringLiteral("Command: hostname\n")));
        QVERIFY(copied.contains(QStringLiteral("): refused ===\nBad rcon_password.\n")));
        const QString saved = folder.filePath(QStringLiteral("replies.txt"));
        send->setSaveFileChooser([&](QWidget *, const QString &) { return saved; });
        click(send->findChild<XpButton *>(QStringLiteral("CmdSave")));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), copied);
        QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

        // The main connection's output window and log never saw any of it.
        QCOMPARE(child<OutputPane>(output, "TxtGet")->toPlainText(), pane);
        QCOMPARE(folder.readFile(QStringLiteral("rcon_log.txt")), log);
    }

private:
    SessionBus m_bus;
    TestKeyring m_keyring{m_bus};
};

QTEST_MAIN(TestSendToServers)
#include "tst_sendtoservers.moc"
