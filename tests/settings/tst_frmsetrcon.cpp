// The Properties dialog: what it shows for the settings file it finds, what its boxes and
// buttons store, and when it offers a restart.
#include "rcon/kit/fonts.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/widgets.h"
#include "tests/support/windowservices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
const QString NotFound = QStringLiteral("[NOT FOUND]");

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(36, 10));
}
} // namespace

class TestFrmSetRcon : public QObject {
    Q_OBJECT

    struct Fixture {
        explicit Fixture(const QByteArray &ini, bool withFile = true)
            : services(withFile ? ProgramFolder::Settings::Default : ProgramFolder::Settings::None)
            , dialog(std::make_unique<FrmSetRcon>(services.files, services.settings,
                                                  services.connection, services.platform,
                                                  services.controls, services.buttons))
            , restart(dialog.get(), &FrmSetRcon::restartRequested)
            , exit(dialog.get(), &FrmSetRcon::exitRequested)
            , passwords(dialog.get(), &FrmSetRcon::passwordManagerRequested) {
            if (withFile)
                services.folder.writeFile(QStringLiteral("talvero.ini"), ini);
        }
        // Loads and shows the dialog, as the program does when it is asked for.
        FrmSetRcon *open() {
            if (!dialog->load())
                return nullptr;
            dialog->show();
            return dialog.get();
        }
        QLineEdit *field(const char *name) const { return child<QLineEdit>(dialog.get(), name); }
        QComboBox *list(const char *name) const { return child<QComboBox>(dialog.get(), name); }
        QCheckBox *box(const char *name) const { return child<QCheckBox>(dialog.get(), name); }
        XpButton *button(const char *name) const { return child<XpButton>(dialog.get(), name); }
        QString ini(const char *section, const char *key) {
            return IniAccess::direct().GetFromINI(QString::fromLatin1(section),
                                                  QString::fromLatin1(key),
                                                  services.files.settingsFile());
        }
        WindowServices services;
        std::unique_ptr<FrmSetRcon> dialog;
        QSignalSpy restart;
        QSignalSpy exit;
        QSignalSpy passwords;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void emptyValuesEverywhere() {
        Fixture f("[AutoIP]\nIP=\nPort=\n[AutoRcon]\nRcon=\nTime=\nRcon2=\nTime2=\n");
        FrmSetRcon *d = f.open();
        QVERIFY(d);
        QCOMPARE(f.field("txtIP")->text(), QString());
        QCOMPARE(f.field("txtPort")->text(), QString());
        QCOMPARE(f.field("txtcommand")->text(), QString());
        QCOMPARE(f.list("CTime")->currentIndex(), -1);
        QCOMPARE(f.list("CTime2")->currentIndex(), -1);
        QVERIFY(f.field("txtcommand")->isEnabled());
        QVERIFY(!f.list("CTime")->isEnabled());
        QVERIFY(!f.field("txtcommand2")->isEnabled());
        QVERIFY(!f.list("CTime2")->isEnabled());
        QVERIFY(!f.button("CmdApp")->isEnabled());
        QVERIFY(!d->settingsChanged());
        QVERIFY(f.services.platform.boxes.isEmpty());
    }

    void secondCommandWithoutFirstIsDropped() {
        Fixture f("[AutoRcon]\nRcon=\nTime=\nRcon2=status\nTime2=60000\n");
        QVERIFY(f.open());
        QCOMPARE(f.field("txtcommand2")->text(), QString());
        QVERIFY(!f.field("txtcommand2")->isEnabled());
        QVERIFY(!f.list("CTime2")->isEnabled());
        QCOMPARE(f.ini("AutoRcon", "Rcon2"), QString());
        QCOMPARE(f.ini("AutoRcon", "Time2"), QString());
    }

    void absentAddressShowsDefaultPort_absentSecondCommandShowsNotFound() {
        Fixture f("[AutoRcon]\nRcon=status\nTime=900000\n");
        QVERIFY(f.open());
        QCOMPARE(f.field("txtIP")->text(), QString());
        QCOMPARE(f.field("txtPort")->text(), QStringLiteral("27015"));
        QCOMPARE(f.field("txtcommand2")->text(), NotFound);
        QCOMPARE(f.list("CTime")->currentText(), QStringLiteral("15 Minutes"));
    }

    void storedIntervalNotInTableShowsNoCaption() {
        Fixture f("[AutoRcon]\nRcon=status\nTime=12345\nRcon2=users\nTime2=5400000\n");
        QVERIFY(f.open());
        QComboBox *time = f.list("CTime");
        QCOMPARE(time->currentIndex(), -1);
        QCOMPARE(f.list("CTime2")->currentText(), QStringLiteral("90 Minutes"));
        QVERIFY(time->isEnabled());
        // The second command opens once the first has an interval.
        QVERIFY(!f.field("txtcommand2")->isEnabled());
        time->setCurrentIndex(0);
        QVERIFY(f.field("txtcommand2")->isEnabled());
    }

    void missingOrDamagedSettingsFileAsksForTheEnd_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("withFile");
        QTest::newRow("no file") << QByteArray() << false;
        QTest::newRow("no AutoRcon section") << QByteArray("[AutoIP]\nIP=1.2.3.4\n") << true;
        QTest::newRow("no Rcon key") << QByteArray("[AutoRcon]\nTime=60000\n") << true;
    }
    void missingOrDamagedSettingsFileAsksForTheEnd() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, withFile);
        Fixture f(ini, withFile);
        QVERIFY(!f.dialog->load());
        const QList<FakePlatform::Box> &boxes = f.services.platform.boxes;
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, Platform::Icon::Critical);
        QCOMPARE(boxes[0].text,
                 QStringLiteral("Error can't load settings file, Please reinstall Talvero"));
        QCOMPARE(f.exit.size(), 1);
    }

    void typingFirstCommandOffersOneMinuteEveryTime() {
        Fixture f("[AutoRcon]\nRcon=\n");
        QVERIFY(f.open());
        QLineEdit *command = f.field("txtcommand");
        QLineEdit *command2 = f.field("txtcommand2");
        QComboBox *time = f.list("CTime");
        QComboBox *time2 = f.list("CTime2");
        QTest::keyClicks(command, QStringLiteral("st"));
        QCOMPARE(time->currentText(), QStringLiteral("1 Minute"));
        QVERIFY(f.button("CmdApp")->isEnabled());
        QVERIFY(command2->isEnabled());
        time->setCurrentIndex(4);
        QTest::keyClicks(command, QStringLiteral("a"));
        QCOMPARE(time->currentText(), QStringLiteral("1 Minute"));

        // Emptying the first command closes and empties the second.
        QTest::keyClicks(command2, QStringLiteral("users"));
        QCOMPARE(time2->currentText(), QStringLiteral("1 Minute"));
        command->clear();
        QCOMPARE(command2->text(), QString());
        QVERIFY(!command2->isEnabled());
        QVERIFY(!time->isEnabled());
        QCOMPARE(time->currentIndex(), -1);
        QCOMPARE(time2->currentIndex(), -1);
        QVERIFY(!f.button("CmdApp")->isEnabled());
    }

    void applyCommandsStoresCaptionsAsMilliseconds() {
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.open();
        QVERIFY(d);
        QTest::keyClicks(f.field("txtcommand"), QStringLiteral("status"));
        f.list("CTime")->setCurrentIndex(3);
        QTest::keyClicks(f.field("txtcommand2"), QStringLiteral("users"));
        click(f.button("CmdApp"));
        QCOMPARE(f.ini("autorcon", "rcon"), QStringLiteral("status"));
        QCOMPARE(f.ini("autorcon", "time"), QStringLiteral("900000"));
        QCOMPARE(f.ini("autorcon", "rcon2"), QStringLiteral("users"));
        QCOMPARE(f.ini("autorcon", "time2"), QStringLiteral("60000"));
        QVERIFY(d->settingsChanged());
        QVERIFY(!f.button("CmdApp")->isEnabled());
    }

    void applyWithoutIntervalStoresEmptyTime() {
        Fixture f("[AutoRcon]\nRcon=status\nTime=nonsense\n");
        QVERIFY(f.open());
        QCOMPARE(f.list("CTime")->currentIndex(), -1);
        f.button("CmdApp")->setEnabled(true);
        click(f.button("CmdApp"));
        QCOMPARE(f.ini("AutoRcon", "Time"), QString());
    }

    void clearButtonsWriteEmptyValuesAndKeepKeys() {
        Fixture f("[AutoIP]\nIP=10.0.0.1\nPort=27016\n[AutoRcon]\nRcon=status\nTime=60000\n"
                  "Rcon2=users\nTime2=120000\n");
        FrmSetRcon *d = f.open();
        QVERIFY(d);
        click(f.button("CmdClear"));
        QCOMPARE(f.ini("autoip", "ip"), QString());
        QCOMPARE(f.ini("autoip", "port"), QString());
        QCOMPARE(f.field("txtPort")->text(), QStringLiteral("27015"));
        QCOMPARE(f.ini("autorcon", "rcon"), QStringLiteral("status"));

        click(f.button("CmdClearAll"));
        for (const char *key : {"Rcon", "Time", "Rcon2", "Time2"})
            QCOMPARE(f.ini("AutoRcon", key), QString());
        QCOMPARE(f.field("txtcommand")->text(), QString());
        QVERIFY(!f.field("txtcommand2")->isEnabled());
        QVERIFY(d->settingsChanged());
    }

    void addressApplyStoresAsTyped() {
        Fixture f("[AutoRcon]\nRcon=\n");
        QVERIFY(f.open());
        QLineEdit *ip = f.field("txtIP");
        QLineEdit *port = f.field("txtPort");
        QTest::keyClicks(ip, QStringLiteral("192.168.100.200x"));
        QCOMPARE(ip->text(), QStringLiteral("192.168.100.200")); // at most 15 characters
        port->clear();
        QTest::keyClicks(port, QStringLiteral("270159"));
        QCOMPARE(port->text(), QStringLiteral("27015"));
        click(f.button("Cmd1"));
        QCOMPARE(f.ini("AutoIP", "IP"), QStringLiteral("192.168.100.200"));
        QCOMPARE(f.ini("AutoIP", "Port"), QStringLiteral("27015"));
    }

    void closeAsksRestartOnlyAfterApplyOrClear() {
        {
            Fixture f("[AutoRcon]\nRcon=\n");
            FrmSetRcon *d = f.open();
            QVERIFY(d);
            f.box("CSendToTray")->click();
            f.box("CLog")->click();
            click(f.button("CmdClose"));
            QVERIFY(f.services.platform.boxes.isEmpty());
            QVERIFY(!d->isVisible());
            QCOMPARE(f.restart.size(), 0);
        }
        {
            Fixture f("[AutoRcon]\nRcon=\n");
            FrmSetRcon *d = f.open();
            QVERIFY(d);
            click(f.button("CmdClearAll"));
            f.services.platform.queueAnswer(Platform::Answer::No);
            click(f.button("CmdClose"));
            const QList<FakePlatform::Box> &boxes = f.services.platform.boxes;
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes[0].buttons, Platform::Buttons::YesNo);
            QCOMPARE(boxes[0].text,
                     QStringLiteral("You need to restart Talvero before the changes will take "
                                    "effect\r\nShould Talvero restart now? (Recommended)"));
            QVERIFY(!d->isVisible());
            QCOMPARE(f.restart.size(), 0);
        }
        {
            Fixture f("[AutoRcon]\nRcon=\n");
            QVERIFY(f.open());
            click(f.button("Cmd1"));
            f.services.platform.queueAnswer(Platform::Answer::Yes);
            click(f.button("CmdClose"));
            QCOMPARE(f.restart.size(), 1);
        }
    }

    // Passwords closes the dialog and asks for the Password Manager; after a change it offers
    // the restart instead, and on No only closes.
    void passwordsAsksForTheManagerUnlessARestartIsDue() {
        {
            Fixture f("[AutoRcon]\nRcon=\n");
            FrmSetRcon *d = f.open();
            QVERIFY(d);
            click(f.button("CmdPasswords"));
            QVERIFY(!d->isVisible());
            QCOMPARE(f.passwords.size(), 1);
            QVERIFY(f.services.platform.boxes.isEmpty());
        }
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.open();
        QVERIFY(d);
        click(f.button("Cmd1"));
        f.services.platform.queueAnswer(Platform::Answer::No);
        click(f.button("CmdPasswords"));
        QCOMPARE(f.services.platform.boxes.size(), 1);
        QVERIFY(!d->isVisible());
        QCOMPARE(f.passwords.size(), 0);
        QCOMPARE(f.restart.size(), 0);
    }

    void optionBoxesStoreAtTheClick() {
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.open();
        QVERIFY(d);
        const SettingsStore &settings = f.services.settings;
        f.box("CSendToTray")->click();
        QCOMPARE(settings.readText(QStringLiteral("SendToTrayOnBoot")), QStringLiteral("1"));
        f.box("CLog")->click();
        QCOMPARE(settings.readText(QStringLiteral("LogText2File")), QStringLiteral("1"));
        QVERIFY(f.services.connection.logsReplies());
        f.box("CLog")->click();
        QCOMPARE(settings.readText(QStringLiteral("LogText2File")), QStringLiteral("0"));
        QVERIFY(!f.services.connection.logsReplies());

        settings.saveOption(QStringLiteral("ShowPassDlg"), QStringLiteral("1"));
        f.box("ChkAskPM")->click();
        QCOMPARE(settings.readText(QStringLiteral("ShowPassDlg")), QStringLiteral("0"));
        settings.saveOption(QStringLiteral("ShowPassDlg"), QStringLiteral("1"));
        f.box("ChkAskPM")->click();
        QCOMPARE(settings.readText(QStringLiteral("ShowPassDlg")), QStringLiteral("0"));
        QVERIFY(!d->settingsChanged());
    }

    void optionsShownFromTheStore() {
        Fixture f("[AutoRcon]\nRcon=\n");
        f.services.settings.saveOption(QStringLiteral("SendToTrayOnBoot"), QStringLiteral("1"));
        f.services.settings.saveOption(QStringLiteral("LogText2File"), QStringLiteral("x"));
        QVERIFY(f.open());
        QVERIFY(f.box("CSendToTray")->isChecked());
        QVERIFY(!f.box("CLog")->isChecked());
    }
};

QTEST_MAIN(TestFrmSetRcon)
#include "tst_frmsetrcon.moc"
