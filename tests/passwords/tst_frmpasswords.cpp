// The password dialogs on the real password file: the first start's "Choose a Password", the
// prompt in front of the Password Manager, and the Password Manager's actions.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/passwords/frmfirst.h"
#include "rcon/passwords/frmpass.h"
#include "rcon/passwords/frmpassenter.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <sys/stat.h>

namespace {
const QString NotFound = QStringLiteral("[NOT FOUND]");
const QString NoPassword = QStringLiteral("No Password");

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(36, 10));
}

// Types "Se\u00e7re", the access password but its last letter, one character at a time.
void typeStart(QLineEdit *field) {
    QTest::keyClicks(field, QStringLiteral("Se"));
    field->insert(QStringLiteral("\u00e7"));
    QTest::keyClicks(field, QStringLiteral("re"));
}

int modeOf(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
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

// Every message the program hands to the terminal.
QStringList g_messages;
void keepMessage(QtMsgType, const QMessageLogContext &, const QString &text) {
    g_messages.append(text);
}
} // namespace

class TestFrmPasswords : public QObject {
    Q_OBJECT

    struct Fixture {
        Fixture() {
            program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
        }
        PasswordFile file() { return program->passwordFile(); }
        QString read(const QString &key) { return file().read(key); }
        // A password file as the first start leaves it, with the slots given.
        void fill(const QString &access, const QStringList &values, const QString &useThis) {
            QVERIFY(file().WriteNewINI());
            file().write(PasswordFile::userpass, access);
            for (qsizetype i = 0; i < values.size(); ++i)
                file().write(PasswordFile::pass[i], values[i]);
            file().write(PasswordFile::UseThis, useThis);
        }
        ProgramFolder folder;
        FakePlatform platform;
        std::unique_ptr<Program> program;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }
    void init() { g_missedDialogs = 0; }
    void cleanup() { QCOMPARE(g_missedDialogs, 0); }

    void firstStartAsksForTheAccessPassword() {
        Fixture f;
        QVERIFY(!QFile::exists(f.folder.filePath(QStringLiteral("password"))));
        whenModal<FrmFirst>(QStringLiteral("FrmFirst"), [](FrmFirst *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Choose a Password"));
            QCOMPARE(d->parentWidget(), nullptr);
            QCOMPARE(d->TxtPass->echoMode(), QLineEdit::Password);
            QVERIFY(!d->CmdOk->isEnabled());
            // Escape is no way out, and Enter does nothing while Continue is disabled.
            QTest::keyClick(d->TxtPass, Qt::Key_Escape);
            QTest::keyClick(d->TxtPass, Qt::Key_Return);
            QVERIFY(d->isVisible());
            QTest::keyClicks(d->TxtPass, QStringLiteral("g"));
            QVERIFY(d->CmdOk->isEnabled());
            QTest::keyClick(d->TxtPass, Qt::Key_Backspace);
            QVERIFY(!d->CmdOk->isEnabled());
            QTest::keyClicks(d->TxtPass, QStringLiteral("gu"));
            d->TxtPass->insert(QStringLiteral("\u00e4"));
            QTest::keyClicks(d->TxtPass, QStringLiteral("rd"));
            QTest::keyClick(d->TxtPass, Qt::Key_Return);
        });
        QVERIFY(f.program->askFirstPasswordIfNone());
        QCOMPARE(f.read(PasswordFile::userpass), QStringLiteral("gu\u00e4rd"));
        for (const QLatin1String key : PasswordFile::pass)
            QCOMPARE(f.read(key), NoPassword);
        QCOMPARE(f.read(PasswordFile::usethis), NoPassword);
        QVERIFY(f.platform.exitCodes.isEmpty());
        // Nothing to keep from before: no backup.
        QVERIFY(!QFile::exists(f.folder.filePath(QStringLiteral("password.bak"))));

        // Chosen once, never asked again.
        QVERIFY(f.program->askFirstPasswordIfNone());
        QCOMPARE(f.read(PasswordFile::userpass), QStringLiteral("gu\u00e4rd"));
    }

    void closingTheFirstStartDialogEndsTheProgram() {
        Fixture f;
        whenModal<FrmFirst>(QStringLiteral("FrmFirst"), [](FrmFirst *d) {
            QTest::keyClicks(d->TxtPass, QStringLiteral("half"));
            d->close();
        });
        QVERIFY(!f.program->askFirstPasswordIfNone());
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QVERIFY(f.program->isEnding());
        // Left scrambled, and without the half-typed password.
        const QByteArray onDisk = f.folder.readFile(QStringLiteral("password"));
        QVERIFY(!onDisk.isEmpty());
        QVERIFY(!onDisk.startsWith('['));
        QVERIFY(!onDisk.contains("half"));
    }

    // What a first-start dialog replaces is kept as "password.bak", readable or not.
    void firstFillKeepsTheOldFileAsBackup() {
        Fixture f;
        f.fill(QString(), {QStringLiteral("lost-1"), QStringLiteral("lost-2")}, NoPassword);
        const QByteArray withSlots = f.folder.readFile(QStringLiteral("password"));
        const QString backup = f.folder.filePath(QStringLiteral("password.bak"));
        f.folder.writeFile(QStringLiteral("password.bak"), "an older backup");

        whenModal<FrmFirst>(QStringLiteral("FrmFirst"), [](FrmFirst *d) {
            QTest::keyClicks(d->TxtPass, QStringLiteral("new"));
            click(d->CmdOk);
        });
        QVERIFY(f.program->askFirstPasswordIfNone());
        QCOMPARE(f.folder.readFile(QStringLiteral("password.bak")), withSlots);
        QCOMPARE(modeOf(backup), 0600);
        QCOMPARE(f.read(PasswordFile::pass[0]), NoPassword);
        QCOMPARE(f.read(PasswordFile::userpass), QStringLiteral("new"));
        // The backup still reads as the password file it was.
        QCOMPARE(PasswordFile(backup, IniAccess::direct()).read(PasswordFile::pass[1]),
                 QStringLiteral("lost-2"));

        // A file too long to unscramble is moved aside too, and the first start is over.
        const QByteArray damaged(40000, 'x');
        f.folder.writeFile(QStringLiteral("password"), damaged);
        QCOMPARE(f.read(PasswordFile::userpass), NotFound);
        whenModal<FrmFirst>(QStringLiteral("FrmFirst"), [](FrmFirst *d) {
            QTest::keyClicks(d->TxtPass, QStringLiteral("again"));
            click(d->CmdOk);
        });
        QVERIFY(f.program->askFirstPasswordIfNone());
        QCOMPARE(f.folder.readFile(QStringLiteral("password.bak")), damaged);
        QCOMPARE(f.read(PasswordFile::userpass), QStringLiteral("again"));
        QVERIFY(f.program->askFirstPasswordIfNone());
    }

    // The prompt opens the manager at the keystroke that completes the password, from the main
    // window's menu and from the Properties dialog; the password never reaches the terminal, the
    // output pane, the log or any other file.
    void promptOpensTheManagerOnlyForTheExactPassword() {
        Fixture f;
        const QString secret = QStringLiteral("Se\u00e7ret");
        f.fill(secret, {QStringLiteral("srv-pass")}, QStringLiteral("srv-pass"));
        f.program->settings().saveOption(SettingsStore::LogText2File, true);
        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
        f.program->start();
        FrmRcon *main = f.program->frmRcon();

        bool managerShown = false;
        whenModal<FrmPassEnter>(QStringLiteral("FrmPassEnter"), [&](FrmPassEnter *prompt) {
            QCOMPARE(prompt->windowTitle(), QStringLiteral("Password Protected"));
            QCOMPARE(prompt->parentWidget(), main);
            QVERIFY(!prompt->chkLoadTipsAtStartup->isChecked());
            typeStart(prompt->TxtPass);
            // Pasted at once: a text that only begins with the password.
            prompt->TxtPass->selectAll();
            prompt->TxtPass->insert(secret + QStringLiteral("x"));
            prompt->TxtPass->selectAll();
            prompt->TxtPass->insert(QStringLiteral("se\u00e7ret"));
            QVERIFY(prompt->isVisible());
            prompt->TxtPass->clear();
            typeStart(prompt->TxtPass);
            prompt->chkLoadTipsAtStartup->setChecked(true);
            QVERIFY(prompt->isVisible());
            QTest::keyClicks(prompt->TxtPass, QStringLiteral("t"));
            QVERIFY(!prompt->isVisible());
            whenModal<FrmPass>(QStringLiteral("FrmPass"), [&](FrmPass *manager) {
                QCOMPARE(manager->windowTitle(), QStringLiteral("Rcon Password Manager"));
                QCOMPARE(manager->parentWidget(), main);
                managerShown = true;
                QTest::keyClick(manager, Qt::Key_Escape);
            });
        });
        main->MnuPassManager->trigger();
        QVERIFY(managerShown);
        QCOMPARE(f.program->settings().readText(SettingsStore::ShowPassDlg), QStringLiteral("1"));

        // Not asked again: the entry goes straight to the manager.
        managerShown = false;
        whenModal<FrmPass>(QStringLiteral("FrmPass"), [&](FrmPass *manager) {
            managerShown = true;
            click(manager->CmdClose);
        });
        main->MnuPassManager->trigger();
        QVERIFY(managerShown);

        // The Properties dialog's "Ask for password" asks again; its "Passwords" button closes
        // the dialog and shows the prompt, whose Close gives the main window back.
        FrmSetRcon *properties = f.program->frmSetRcon();
        properties->show();
        properties->ChkAskPM->click();
        QCOMPARE(f.program->settings().readText(SettingsStore::ShowPassDlg), QStringLiteral("0"));
        bool promptShown = false;
        whenModal<FrmPassEnter>(QStringLiteral("FrmPassEnter"), [&](FrmPassEnter *prompt) {
            promptShown = true;
            QVERIFY(!f.program->frmSetRcon()->isVisible());
            QTest::keyClicks(prompt->TxtPass, QStringLiteral("wrong"));
            click(prompt->CmdClose);
        });
        click(properties->CmdPasswords);
        QTRY_VERIFY(promptShown);
        QTRY_VERIFY(main->isEnabled() && !QApplication::activeModalWidget());

        qInstallMessageHandler(previous);
        for (const QString &message : std::as_const(g_messages))
            QVERIFY2(!message.contains(secret) && !message.contains(QStringLiteral("srv-pass")),
                     qPrintable(message));
        QVERIFY(!f.program->frmLog()->TxtGet->text().contains(QStringLiteral("Se")));
        QDirIterator files(f.folder.path(), QDir::Files | QDir::Hidden,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (path.endsWith(QStringLiteral("/password")))
                continue;
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY2(!bytes.contains(secret.toLatin1()) && !bytes.contains("srv-pass"),
                     qPrintable(path));
        }
    }

    void managerAppliesToSlotsAndStartupChoice() {
        Fixture f;
        f.fill(QStringLiteral("guard"),
               {QStringLiteral("one"), QStringLiteral("dup"), QStringLiteral("three"),
                QStringLiteral("dup"), QStringLiteral("five")},
               QStringLiteral("three"));
        FrmRcon *main = f.program->frmRcon();
        FrmPass *d = f.program->frmPass();
        d->show();
        QCOMPARE(d->CPass->count(), 5);
        QCOMPARE(d->CUse->count(), 5);
        QCOMPARE(d->CPass->currentText(), QStringLiteral("one"));
        QCOMPARE(d->CUse->currentText(), QStringLiteral("three"));
        QCOMPARE(d->lPass->text(), QStringLiteral("three"));
        QCOMPARE(d->TPass->text(), QString());
        QCOMPARE(d->TPass->echoMode(), QLineEdit::Normal);

        // Choosing "dup" (the fourth entry) changes slot 2, the lowest that holds it.
        d->CPass->setFocus();
        d->CPass->setCurrentIndex(3);
        Q_EMIT d->CPass->activated(3);
        QCOMPARE(d->TPass->text(), QStringLiteral("dup"));
        d->TPass->setText(QStringLiteral("new two"));
        click(d->CmdChange);
        QCOMPARE(f.read(PasswordFile::pass[1]), QStringLiteral("new two"));
        QCOMPARE(f.read(PasswordFile::pass[3]), QStringLiteral("dup"));
        QCOMPARE(d->slotValues(), QStringList({QStringLiteral("one"), QStringLiteral("new two"),
                                               QStringLiteral("three"), QStringLiteral("dup"),
                                               QStringLiteral("five")}));
        QCOMPARE(d->TPass->text(), QString());
        // A typed text that no slot holds changes nothing.
        d->CPass->setEditText(QStringLiteral("nobody"));
        d->TPass->setText(QStringLiteral("x"));
        const QByteArray before = f.folder.readFile(QStringLiteral("password"));
        click(d->CmdChange);
        QCOMPARE(f.folder.readFile(QStringLiteral("password")), before);
        click(d->CmdHelp);
        QVERIFY(d->isVisible());

        // Clear All leaves the start-up choice as it was.
        click(d->CmdClearAll);
        for (const QLatin1String key : PasswordFile::pass)
            QCOMPARE(f.read(key), NoPassword);
        QCOMPARE(f.read(PasswordFile::usethis), QStringLiteral("three"));
        QCOMPARE(d->lPass->text(), QStringLiteral("three"));

        // The start-up choice goes to the main window's password box as stored.
        d->CUse->setCurrentIndex(0);
        click(d->CmdApply);
        QCOMPARE(f.read(PasswordFile::usethis), NoPassword);
        QCOMPARE(main->txtPassword->text(), NoPassword);
        d->CUse->setEditText(QString());
        click(d->CmdApply);
        QCOMPARE(f.read(PasswordFile::usethis), QString());
        QCOMPARE(d->lPass->text(), QString());
        QCOMPARE(main->txtPassword->text(), QString());
        d->hide();
        f.program->unload(d);
    }

    // Exit from the tray while the manager is up: the dialog goes, nothing opens after it.
    void exitWhileTheManagerIsOpen() {
        Fixture f;
        f.fill(QStringLiteral("guard"), {}, NoPassword);
        f.program->settings().saveOption(SettingsStore::ShowPassDlg, true);
        f.program->start();
        FrmRcon *main = f.program->frmRcon();
        bool shown = false;
        whenModal<FrmPass>(QStringLiteral("FrmPass"), [&](FrmPass *) {
            shown = true;
            main->MnuTrayExit->trigger();
        });
        main->MnuPassManager->trigger();
        QVERIFY(shown);
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!main->isVisible());
    }

    void managerPropertiesButtonLeadsToTheProperties() {
        Fixture f;
        f.fill(QStringLiteral("guard"), {}, NoPassword);
        f.program->frmRcon();
        bool propertiesShown = false;
        whenModal<FrmPass>(QStringLiteral("FrmPass"),
                           [](FrmPass *manager) { click(manager->CmdProp); });
        whenModal<FrmSetRcon>(QStringLiteral("FrmSetRcon"), [&](FrmSetRcon *properties) {
            propertiesShown = true;
            click(properties->CmdClose);
        });
        FrmPass::showManager(*f.program);
        QVERIFY(propertiesShown);
    }
};

QTEST_MAIN(TestFrmPasswords)
#include "tst_frmpasswords.moc"
