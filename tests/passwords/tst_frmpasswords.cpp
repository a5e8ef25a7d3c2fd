// The password dialogs on the real password file: the first start's "Choose a Password", the
// prompt in front of the Password Manager, and the Password Manager's actions. Each dialog is
// given only the password file, the options and the button factory.
#include "rcon/kit/fonts.h"
#include "rcon/passwords/frmfirst.h"
#include "rcon/passwords/frmpass.h"
#include "rcon/passwords/frmpassenter.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/widgets.h"
#include "tests/support/windowservices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

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
} // namespace

class TestFrmPasswords : public QObject {
    Q_OBJECT

    struct Fixture {
        QString read(const QString &key) const { return services.passwordFile().read(key); }
        // A password file as the first start leaves it, with the slots given.
        void fill(const QString &access, const QStringList &values, const QString &useThis) {
            const PasswordFile file = services.passwordFile();
            QVERIFY(file.WriteNewINI());
            file.setAccessPassword(access);
            for (int i = 0; i < values.size(); ++i)
                file.setSlot(i, values[i]);
            file.setStartupChoice(useThis);
        }
        // The first-run dialog as the start opens it; Continue after typing the text.
        bool chooseFirstPassword(const QString &text) const {
            FrmFirst dialog(services.passwordFile(), services.buttons);
            dialog.load();
            dialog.show();
            QTest::keyClicks(child<QLineEdit>(&dialog, "TxtPass"), text);
            click(child<XpButton>(&dialog, "CmdOk"));
            return !dialog.isVisible() && dialog.result() == QDialog::Accepted;
        }
        WindowServices services;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void firstStartAsksForTheAccessPassword() {
        Fixture f;
        QVERIFY(!QFile::exists(f.services.files.dataFile(QStringLiteral("password"))));
        QVERIFY(FrmFirst::noPasswordChosen(f.services.passwordFile().accessPassword()));
        FrmFirst d(f.services.passwordFile(), f.services.buttons);
        d.load();
        d.show();
        QSignalSpy finished(&d, &QDialog::finished);
        auto *field = child<QLineEdit>(&d, "TxtPass");
        auto *ok = child<XpButton>(&d, "CmdOk");
        QCOMPARE(d.windowTitle(), QStringLiteral("Choose a Password"));
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QVERIFY(!ok->isEnabled());
        // Escape is no way out, and Enter does nothing while Continue is disabled.
        QTest::keyClick(field, Qt::Key_Escape);
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(d.isVisible());
        QCOMPARE(finished.size(), 0);
        QTest::keyClicks(field, QStringLiteral("g"));
        QVERIFY(ok->isEnabled());
        QTest::keyClick(field, Qt::Key_Backspace);
        QVERIFY(!ok->isEnabled());
        QTest::keyClicks(field, QStringLiteral("gu"));
        field->insert(QStringLiteral("\u00e4"));
        QTest::keyClicks(field, QStringLiteral("rd"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(d.result(), int(QDialog::Accepted));

        QCOMPARE(f.read(PasswordFile::userpass), QStringLiteral("gu\u00e4rd"));
        for (const QLatin1String key : PasswordFile::pass)
            QCOMPARE(f.read(key), NoPassword);
        QCOMPARE(f.read(PasswordFile::usethis), NoPassword);
        // Nothing to keep from before: no backup.
        QVERIFY(!QFile::exists(f.services.files.dataFile(QStringLiteral("password.bak"))));
        // Chosen once, never asked again.
        QVERIFY(!FrmFirst::noPasswordChosen(f.services.passwordFile().accessPassword()));
    }

    void closingTheFirstStartDialogLeavesNoPassword() {
        Fixture f;
        FrmFirst d(f.services.passwordFile(), f.services.buttons);
        d.load();
        d.show();
        QTest::keyClicks(child<QLineEdit>(&d, "TxtPass"), QStringLiteral("half"));
        d.close();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(FrmFirst::noPasswordChosen(f.services.passwordFile().accessPassword()));
        // Left scrambled, and without the half-typed password.
        const QByteArray onDisk = f.services.folder.readFile(QStringLiteral("password"));
        QVERIFY(!onDisk.isEmpty());
        QVERIFY(!onDisk.startsWith('['));
        QVERIFY(!onDisk.contains("half"));
    }

    // What a first-start dialog replaces is kept as "password.bak", readable or not.
    void firstFillKeepsTheOldFileAsBackup() {
        Fixture f;
        f.fill(QString(), {QStringLiteral("lost-1"), QStringLiteral("lost-2")}, NoPassword);
        const ProgramFolder &folder = f.services.folder;
        const QByteArray withSlots = folder.readFile(QStringLiteral("password"));
        const QString backup = folder.filePath(QStringLiteral("password.bak"));
        folder.writeFile(QStringLiteral("password.bak"), "an older backup");

        QVERIFY(f.chooseFirstPassword(QStringLiteral("new")));
        QCOMPARE(folder.readFile(QStringLiteral("password.bak")), withSlots);
        QCOMPARE(modeOf(backup), 0600);
        QCOMPARE(f.read(PasswordFile::pass[0]), NoPassword);
        QCOMPARE(f.read(PasswordFile::userpass), QStringLiteral("new"));
        // The backup still reads as the password file it was.
        QCOMPARE(PasswordFile(backup, IniAccess::direct()).read(PasswordFile::pass[1]),
                 QStringLiteral("lost-2"));

        // A file too long to unscramble is moved aside too, and the first start is over.
        const QByteArray damaged(40000, 'x');
        folder.writeFile(QStringLiteral("password"), damaged);
        QCOMPARE(f.read(PasswordFile::userpass), NotFound);
        QVERIFY(FrmFirst::noPasswordChosen(f.services.passwordFile().accessPassword()));
        QVERIFY(f.chooseFirstPassword(QStringLiteral("again")));
        QCOMPARE(folder.readFile(QStringLiteral("password.bak")), damaged);
        QCOMPARE(f.read(PasswordFile::userpass), QStringLiteral("again"));
    }

    // The prompt lets the manager open at the keystroke that completes the password, and only
    // then; its box decides whether it is asked for again.
    void promptAcceptsOnlyTheExactPassword() {
        Fixture f;
        const QString secret = QStringLiteral("Se\u00e7ret");
        f.fill(secret, {}, NoPassword);
        QVERIFY(FrmPassEnter::isWanted(f.services.settings));
        FrmPassEnter prompt(f.services.passwordFile(), f.services.settings, f.services.buttons,
                            nullptr);
        prompt.load();
        prompt.show();
        QSignalSpy accepted(&prompt, &QDialog::accepted);
        QCOMPARE(prompt.windowTitle(), QStringLiteral("Password Protected"));
        auto *field = child<QLineEdit>(&prompt, "TxtPass");
        auto *notAgain = child<QCheckBox>(&prompt, "chkLoadTipsAtStartup");
        QVERIFY(!notAgain->isChecked());
        typeStart(field);
        // Pasted at once: a text that only begins with the password, and one in other case.
        field->selectAll();
        field->insert(secret + QStringLiteral("x"));
        field->selectAll();
        field->insert(QStringLiteral("se\u00e7ret"));
        QVERIFY(prompt.isVisible());
        field->clear();
        typeStart(field);
        notAgain->setChecked(true);
        QVERIFY(prompt.isVisible());
        QCOMPARE(accepted.size(), 0);
        QTest::keyClicks(field, QStringLiteral("t"));
        QCOMPARE(accepted.size(), 1);
        QVERIFY(!prompt.isVisible());
        QCOMPARE(f.services.settings.readText(SettingsStore::ShowPassDlg), QStringLiteral("1"));
        QVERIFY(!FrmPassEnter::isWanted(f.services.settings));

        // A wrong text gets no answer; Close gives up.
        FrmPassEnter again(f.services.passwordFile(), f.services.settings, f.services.buttons,
                           nullptr);
        again.load();
        again.show();
        QTest::keyClicks(child<QLineEdit>(&again, "TxtPass"), QStringLiteral("wrong"));
        QVERIFY(again.isVisible());
        click(child<XpButton>(&again, "CmdClose"));
        QCOMPARE(again.result(), int(QDialog::Rejected));
    }

    void managerAppliesToSlotsAndStartupChoice() {
        Fixture f;
        f.fill(QStringLiteral("guard"),
               {QStringLiteral("one"), QStringLiteral("dup"), QStringLiteral("three"),
                QStringLiteral("dup"), QStringLiteral("five")},
               QStringLiteral("three"));
        FrmPass d(f.services.passwordFile(), f.services.buttons, nullptr);
        QSignalSpy applied(&d, &FrmPass::startupChoiceApplied);
        d.load();
        d.show();
        auto *slotList = child<QComboBox>(&d, "CPass");
        auto *choice = child<QComboBox>(&d, "CUse");
        auto *current = child<QLabel>(&d, "lPass");
        auto *value = child<QLineEdit>(&d, "TPass");
        auto *change = child<XpButton>(&d, "CmdChange");
        QCOMPARE(d.windowTitle(), QStringLiteral("Rcon Password Manager"));
        QCOMPARE(slotList->count(), 5);
        QCOMPARE(choice->count(), 5);
        QCOMPARE(slotList->currentText(), QStringLiteral("one"));
        QCOMPARE(choice->currentText(), QStringLiteral("three"));
        QCOMPARE(current->text(), QStringLiteral("three"));
        QCOMPARE(value->text(), QString());
        QCOMPARE(value->echoMode(), QLineEdit::Normal);

        // Choosing "dup" (the fourth entry) changes slot 2, the lowest that holds it.
        slotList->setFocus();
        slotList->setCurrentIndex(3);
        Q_EMIT slotList->activated(3);
        QCOMPARE(value->text(), QStringLiteral("dup"));
        value->setText(QStringLiteral("new two"));
        click(change);
        QCOMPARE(f.read(PasswordFile::pass[1]), QStringLiteral("new two"));
        QCOMPARE(f.read(PasswordFile::pass[3]), QStringLiteral("dup"));
        QCOMPARE(d.slotValues(), QStringList({QStringLiteral("one"), QStringLiteral("new two"),
                                              QStringLiteral("three"), QStringLiteral("dup"),
                                              QStringLiteral("five")}));
        QCOMPARE(value->text(), QString());
        // A typed text that no slot holds changes nothing.
        slotList->setEditText(QStringLiteral("nobody"));
        value->setText(QStringLiteral("x"));
        const QByteArray before = f.services.folder.readFile(QStringLiteral("password"));
        click(change);
        QCOMPARE(f.services.folder.readFile(QStringLiteral("password")), before);
        click(child<XpButton>(&d, "CmdHelp"));
        QVERIFY(d.isVisible());

        // Clear All leaves the start-up choice as it was.
        click(child<XpButton>(&d, "CmdClearAll"));
        for (const QLatin1String key : PasswordFile::pass)
            QCOMPARE(f.read(key), NoPassword);
        QCOMPARE(f.read(PasswordFile::usethis), QStringLiteral("three"));
        QCOMPARE(current->text(), QStringLiteral("three"));

        // The start-up choice is handed on as stored.
        choice->setCurrentIndex(0);
        click(child<XpButton>(&d, "CmdApply"));
        QCOMPARE(f.read(PasswordFile::usethis), NoPassword);
        QCOMPARE(applied.size(), 1);
        QCOMPARE(applied.last().at(0).toString(), NoPassword);
        choice->setEditText(QString());
        click(child<XpButton>(&d, "CmdApply"));
        QCOMPARE(f.read(PasswordFile::usethis), QString());
        QCOMPARE(current->text(), QString());
        QCOMPARE(applied.size(), 2);
        QCOMPARE(applied.last().at(0).toString(), QString());

        // Properties leaves the manager and says where to.
        QVERIFY(!d.leftForProperties());
        click(child<XpButton>(&d, "CmdProp"));
        QVERIFY(!d.isVisible());
        QVERIFY(d.leftForProperties());
    }
};

QTEST_MAIN(TestFrmPasswords)
#include "tst_frmpasswords.moc"
