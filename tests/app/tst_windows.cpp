// Which window opens which, decided by the application: the Password Manager behind its prompt
// from the main window and from the Properties dialog, the Properties dialog from the main
// window and from the manager, the first start's dialog closed, a restart and the end asked for
// by the windows, the Server Log told to stop when the program ends, and the Servers window,
// which fills in and connects the main window. The windows run as the
// program runs them, modal ones in their own event loops.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/passwords/frmfirst.h"
#include "rcon/passwords/frmpass.h"
#include "rcon/passwords/frmpassenter.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/serverlog/frmserverlog.h"
#include "rcon/servers/frmservers.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/programfiles.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {
const QString NoPassword = QStringLiteral("No Password");

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(36, 10));
}

// Runs work on the modal dialog of that name as soon as it is up, from inside its own event
// loop. A dialog that never comes up, or another one in its place, is closed and counted.
int g_missedDialogs = 0;
template <class Dialog> void whenModal(const QString &name, std::function<void(Dialog *)> work) {
    auto *poll = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        const bool found = dialog && dialog->objectName() == name && dialog->isVisible();
        if (!found && clock->elapsed() < 10000)
            return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        if (found) {
            const QPointer<Dialog> guard(dialog);
            work(dialog);
            // A failed check leaves the dialog open: close it, so the test ends.
            if (QTest::currentTestFailed() && guard && guard->isVisible())
                guard->reject();
            return;
        }
        ++g_missedDialogs;
        if (auto *other = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            other->reject();
    });
    poll->start(5);
}

// Every message the program hands to the terminal; a fatal one still ends the test run.
QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;
void keepMessage(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    g_messages.append(text);
    if (type == QtFatalMsg && g_previousHandler)
        g_previousHandler(type, context, text);
}
} // namespace

class TestWindows : public QObject {
    Q_OBJECT

    struct Fixture {
        Fixture() {
            folder.writeFile(QStringLiteral("talvero.ini"), "[AutoRcon]\nRcon=\n");
            program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
        }
        PasswordFile passwords() const { return program->files().passwordFile(); }
        // A password file as the first start leaves it, with the first slot given.
        void fill(const QString &access, const QString &slot, const QString &useThis) const {
            QVERIFY(passwords().WriteNewINI());
            passwords().setAccessPassword(access);
            passwords().setSlot(0, slot);
            passwords().setStartupChoice(useThis);
        }
        FrmRcon *start() {
            program->start();
            return program->windows().frmRcon();
        }
        ProgramFolder folder;
        FakePlatform platform;
        std::unique_ptr<Program> program;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }
    void init() { g_missedDialogs = 0; }
    void cleanup() { QCOMPARE(g_missedDialogs, 0); }

    // The main window's "Password Manager" shows the prompt over it, then the manager; the
    // manager's start-up choice reaches the main window's password field. Asked not to ask
    // again, the entry goes straight to the manager. The Properties dialog, opened from the
    // main window, asks again with its box, and its "Passwords" leads to the prompt once it
    // has closed. The passwords never reach the terminal, the output pane, the log or any
    // other file.
    void passwordManagerBehindItsPrompt() {
        Fixture f;
        const QString secret = QStringLiteral("Se\u00e7ret");
        f.fill(secret, QStringLiteral("srv-pass"), NoPassword);
        f.program->settings().saveOption(SettingsStore::LogText2File, true);
        g_messages.clear();
        g_previousHandler = qInstallMessageHandler(keepMessage);
        FrmRcon *main = f.start();
        auto *password = child<QLineEdit>(main, "txtPassword");
        QVERIFY(password->text().isEmpty());

        bool managerShown = false;
        whenModal<FrmPassEnter>(QStringLiteral("FrmPassEnter"), [&](FrmPassEnter *prompt) {
            QCOMPARE(prompt->parentWidget(), main);
            child<QCheckBox>(prompt, "chkLoadTipsAtStartup")->setChecked(true);
            auto *field = child<QLineEdit>(prompt, "TxtPass");
            QTest::keyClicks(field, QStringLiteral("Se"));
            field->insert(QStringLiteral("\u00e7"));
            QTest::keyClicks(field, QStringLiteral("ret"));
            QVERIFY(!prompt->isVisible());
            whenModal<FrmPass>(QStringLiteral("FrmPass"), [&](FrmPass *manager) {
                QCOMPARE(manager->parentWidget(), main);
                managerShown = true;
                auto *choice = child<QComboBox>(manager, "CUse");
                choice->setCurrentIndex(choice->findText(QStringLiteral("srv-pass")));
                click(child<XpButton>(manager, "CmdApply"));
                QTest::keyClick(manager, Qt::Key_Escape);
            });
        });
        child<QAction>(main, "MnuPassManager")->trigger();
        QVERIFY(managerShown);
        QCOMPARE(password->text(), QStringLiteral("srv-pass"));
        QCOMPARE(f.program->settings().readText(SettingsStore::ShowPassDlg), QStringLiteral("1"));

        // Not asked again: the entry goes straight to the manager.
        managerShown = false;
        whenModal<FrmPass>(QStringLiteral("FrmPass"), [&](FrmPass *manager) {
            managerShown = true;
            click(child<XpButton>(manager, "CmdClose"));
        });
        child<QAction>(main, "MnuPassManager")->trigger();
        QVERIFY(managerShown);

        // From the Properties dialog: "Ask for password" asks again; "Passwords" closes the
        // dialog and shows the prompt, whose Close gives the main window back.
        bool promptShown = false;
        whenModal<FrmSetRcon>(QStringLiteral("FrmSetRcon"), [&](FrmSetRcon *properties) {
            child<QCheckBox>(properties, "ChkAskPM")->click();
            whenModal<FrmPassEnter>(QStringLiteral("FrmPassEnter"), [&](FrmPassEnter *prompt) {
                promptShown = true;
                QVERIFY(!f.program->windows().isFrmSetRconLoaded());
                QTest::keyClicks(child<QLineEdit>(prompt, "TxtPass"), QStringLiteral("wrong"));
                QVERIFY(prompt->isVisible());
                click(child<XpButton>(prompt, "CmdClose"));
            });
            click(child<XpButton>(properties, "CmdPasswords"));
        });
        click(child<XpButton>(main, "CmdSettings"));
        QTRY_VERIFY(promptShown);
        QCOMPARE(f.program->settings().readText(SettingsStore::ShowPassDlg), QStringLiteral("0"));
        QTRY_VERIFY(main->isEnabled() && !QApplication::activeModalWidget());

        qInstallMessageHandler(g_previousHandler);
        for (const QString &message : std::as_const(g_messages))
            QVERIFY2(!message.contains(secret) && !message.contains(QStringLiteral("srv-pass")),
                     qPrintable(message));
        const auto *pane = child<OutputPane>(f.program->windows().frmLog(), "TxtGet");
        QVERIFY(!pane->text().contains(QStringLiteral("Se")));
        QDirIterator files(f.folder.path(), QDir::Files | QDir::Hidden,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (path.endsWith(QStringLiteral("/password")))
                continue;
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY2(!bytes.contains(secret.toUtf8()) && !bytes.contains(secret.toLatin1()) &&
                         !bytes.contains("srv-pass"),
                     qPrintable(path));
        }
    }

    void managerPropertiesButtonLeadsToTheProperties() {
        Fixture f;
        f.fill(QStringLiteral("guard"), NoPassword, NoPassword);
        f.program->settings().saveOption(SettingsStore::ShowPassDlg, true);
        f.start();
        bool propertiesShown = false;
        whenModal<FrmPass>(QStringLiteral("FrmPass"),
                           [](FrmPass *manager) { click(child<XpButton>(manager, "CmdProp")); });
        whenModal<FrmSetRcon>(QStringLiteral("FrmSetRcon"), [&](FrmSetRcon *properties) {
            propertiesShown = true;
            click(child<XpButton>(properties, "CmdClose"));
        });
        f.program->windows().openPasswordManager();
        QVERIFY(propertiesShown);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Exit from the tray while the manager is up: the dialog goes, nothing opens after it.
    void exitWhileTheManagerIsOpen() {
        Fixture f;
        f.fill(QStringLiteral("guard"), NoPassword, NoPassword);
        f.program->settings().saveOption(SettingsStore::ShowPassDlg, true);
        FrmRcon *main = f.start();
        bool shown = false;
        whenModal<FrmPass>(QStringLiteral("FrmPass"), [&](FrmPass *) {
            shown = true;
            child<QAction>(main, "MnuTrayExit")->trigger();
        });
        child<QAction>(main, "MnuPassManager")->trigger();
        QVERIFY(shown);
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!main->isVisible());
    }

    // There is no way past the first start's dialog but Continue: closing it ends the program.
    void closingTheFirstStartDialogEndsTheProgram() {
        Fixture f;
        whenModal<FrmFirst>(QStringLiteral("FrmFirst"), [](FrmFirst *dialog) {
            QTest::keyClicks(child<QLineEdit>(dialog, "TxtPass"), QStringLiteral("half"));
            dialog->close();
        });
        QVERIFY(!f.program->askFirstPasswordIfNone());
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QVERIFY(f.program->isEnding());
        QVERIFY(FrmFirst::noPasswordChosen(f.passwords().accessPassword()));
    }

    // A change of the start-up defaults offers a restart; the restart starts the program anew
    // without the goodbye sound. Closed without a restart, the dialog is loaded afresh next time.
    void propertiesOfferARestart() {
        {
            Fixture f;
            FrmRcon *main = f.start();
            whenModal<FrmSetRcon>(QStringLiteral("FrmSetRcon"), [&](FrmSetRcon *properties) {
                click(child<XpButton>(properties, "CmdClear"));
                f.platform.queueAnswer(Platform::Answer::No);
                click(child<XpButton>(properties, "CmdClose"));
            });
            click(child<XpButton>(main, "CmdSettings"));
            QCOMPARE(f.platform.boxes.size(), 1);
            QVERIFY(!f.program->windows().isFrmSetRconLoaded());
            FrmSetRcon *again = f.program->windows().frmSetRcon();
            QVERIFY(again);
            QVERIFY(!again->settingsChanged());
            QVERIFY(f.platform.startedPrograms.isEmpty());
        }
        Fixture f;
        FrmRcon *main = f.start();
        whenModal<FrmSetRcon>(QStringLiteral("FrmSetRcon"), [&](FrmSetRcon *properties) {
            click(child<XpButton>(properties, "Cmd1"));
            f.platform.queueAnswer(Platform::Answer::Yes);
            click(child<XpButton>(properties, "CmdClose"));
        });
        click(child<XpButton>(main, "CmdSettings"));
        QCOMPARE(f.platform.startedPrograms,
                 QStringList{f.folder.filePath(QStringLiteral("rcon"))});
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QVERIFY(!f.platform.sounds.contains(f.folder.filePath(QStringLiteral("1284.wav"))));
        QVERIFY(!main->isVisible());
    }

    // A settings file damaged while the program runs: the Properties dialog says so when it is
    // asked for, and the program ends.
    void damagedSettingsFileEndsTheProgramAtProperties() {
        Fixture f;
        FrmRcon *main = f.start();
        f.folder.writeFile(QStringLiteral("talvero.ini"), "[AutoIP]\nIP=1.2.3.4\n");
        click(child<XpButton>(main, "CmdSettings"));
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral("Error can't load settings file, Please reinstall Talvero"));
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QVERIFY(!f.program->windows().isFrmSetRconLoaded());
        QVERIFY(!main->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // The process ends right after Exit: the server has been told to stop sending its log
    // before Exit returns, with nothing left waiting for the event loop.
    // Ctrl+K in the main window opens the Servers window, connected or not. "Add the current
    // server" offers what the main window's fields hold. Choosing a server to connect to puts it
    // into the main window's fields, its kept password too (none kept: the field stays), and
    // connects the main window, leaving the server it was connected to first.
    void serversWindowFillsInAndConnectsTheMainWindow() {
        Fixture f;
        GoldSrcServer first;
        GoldSrcServer second;
        QVERIFY(first.listen());
        QVERIFY(second.listen());
        first.setPassword("one");
        second.setPassword("two");
        FrmRcon *main = f.start();
        auto *host = child<QLineEdit>(main, "txtIP");
        auto *port = child<QLineEdit>(main, "txtPort");
        auto *password = child<QLineEdit>(main, "txtPassword");
        auto *status = child<QLabel>(f.program->windows().frmLog(), "LHost");
        host->setText(QStringLiteral("127.0.0.1"));
        port->setText(QString::number(first.port()));
        password->setText(QStringLiteral("one"));
        click(child<XpButton>(main, "cmdconnect"));
        QTRY_VERIFY(status->text().startsWith(QStringLiteral("Connected to")));

        QTest::keySequence(main, QKeySequence(Qt::CTRL | Qt::Key_K));
        FrmServers *servers = f.program->windows().frmServers();
        QTRY_VERIFY(servers->isVisible());

        click(child<XpButton>(servers, "CmdAddCurrent"));
        QDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = servers->findChild<QDialog *>(QStringLiteral("dlgServer"))));
        QCOMPARE(child<QPlainTextEdit>(dialog, "TxtAddresses")->toPlainText(),
                 QStringLiteral("127.0.0.1:%1").arg(first.port()));
        dialog->reject();

        const int heardBefore = int(first.executedCommands().size());
        emit servers->connectRequested(QStringLiteral("127.0.0.1"), second.port(),
                                       QStringLiteral("two"));
        QCOMPARE(port->text(), QString::number(second.port()));
        QCOMPARE(password->text(), QStringLiteral("two"));
        QTRY_VERIFY(status->text().startsWith(QStringLiteral("Connected to")));
        child<QLineEdit>(main, "txtSend")->setText(QStringLiteral("echo here"));
        QTest::keyClick(child<QLineEdit>(main, "txtSend"), Qt::Key_Return);
        QTRY_COMPARE(second.executedCommands(), QStringList{QStringLiteral("echo here")});
        QCOMPARE(first.executedCommands().size(), heardBefore);

        // No password kept: the one in the field stays.
        emit servers->connectRequested(QStringLiteral("127.0.0.1"), first.port(), std::nullopt);
        QCOMPARE(port->text(), QString::number(first.port()));
        QCOMPARE(password->text(), QStringLiteral("two"));
    }

    void exitTellsTheServerToStopSendingItsLog() {
        Fixture f;
        GoldSrcServer server;
        QVERIFY(server.listen());
        FrmRcon *main = f.start();
        child<QLineEdit>(main, "txtIP")->setText(QStringLiteral("127.0.0.1"));
        child<QLineEdit>(main, "txtPort")->setText(QString::number(server.port()));
        child<QLineEdit>(main, "txtPassword")->setText(QStringLiteral("secret"));
        click(child<XpButton>(main, "cmdconnect"));
        const auto *status = child<QLabel>(f.program->windows().frmLog(), "LHost");
        QTRY_VERIFY(status->text().startsWith(QStringLiteral("Connected to")));
        f.program->windows().showServerLog();
        const QPointer<FrmServerLog> log = f.program->windows().frmServerLog();
        QVERIFY(log);
        QTRY_COMPARE(server.logAddresses().size(), 1);
        QTRY_VERIFY(log->isRegistered());

        f.program->ExitProgram();
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QVERIFY(log && !log->isRegistered());
        f.program.reset();
        QVERIFY(!log);
        QTRY_VERIFY(server.logAddresses().isEmpty());
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
