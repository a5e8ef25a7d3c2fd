// The Properties dialog: what it shows for the settings file it finds, what its boxes and
// buttons store, and when it offers a restart.
#include "rcon/app/program.h"
#include "rcon/kit/fonts.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

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
            : folder(withFile ? ProgramFolder::Settings::Default : ProgramFolder::Settings::None) {
            if (withFile)
                folder.writeFile(QStringLiteral("talvero.ini"), ini);
            program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
        }
        FrmSetRcon *dialog() {
            FrmSetRcon *d = program->frmSetRcon();
            if (d)
                d->show();
            return d;
        }
        QString ini(const char *section, const char *key) {
            return IniAccess::direct().GetFromINI(QString::fromLatin1(section),
                                                  QString::fromLatin1(key),
                                                  folder.filePath(QStringLiteral("talvero.ini")));
        }
        ProgramFolder folder;
        FakePlatform platform;
        std::unique_ptr<Program> program;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void emptyValuesEverywhere() {
        Fixture f("[AutoIP]\nIP=\nPort=\n[AutoRcon]\nRcon=\nTime=\nRcon2=\nTime2=\n");
        FrmSetRcon *d = f.dialog();
        QVERIFY(d);
        QCOMPARE(d->txtIP->text(), QString());
        QCOMPARE(d->txtPort->text(), QString());
        QCOMPARE(d->txtcommand->text(), QString());
        QCOMPARE(d->CTime->currentIndex(), -1);
        QCOMPARE(d->CTime2->currentIndex(), -1);
        QVERIFY(d->txtcommand->isEnabled());
        QVERIFY(!d->CTime->isEnabled());
        QVERIFY(!d->txtcommand2->isEnabled());
        QVERIFY(!d->CTime2->isEnabled());
        QVERIFY(!d->CmdApp->isEnabled());
        QVERIFY(!d->SettingsChanged);
        QVERIFY(f.platform.boxes.isEmpty());
    }

    void secondCommandWithoutFirstIsDropped() {
        Fixture f("[AutoRcon]\nRcon=\nTime=\nRcon2=status\nTime2=60000\n");
        FrmSetRcon *d = f.dialog();
        QCOMPARE(d->txtcommand2->text(), QString());
        QVERIFY(!d->txtcommand2->isEnabled());
        QVERIFY(!d->CTime2->isEnabled());
        QCOMPARE(f.ini("AutoRcon", "Rcon2"), QString());
        QCOMPARE(f.ini("AutoRcon", "Time2"), QString());
    }

    void absentAddressShowsDefaultPort_absentSecondCommandShowsNotFound() {
        Fixture f("[AutoRcon]\nRcon=status\nTime=900000\n");
        FrmSetRcon *d = f.dialog();
        QCOMPARE(d->txtIP->text(), QString());
        QCOMPARE(d->txtPort->text(), QStringLiteral("27015"));
        QCOMPARE(d->txtcommand2->text(), NotFound);
        QCOMPARE(d->CTime->currentText(), QStringLiteral("15 Minutes"));
    }

    void storedIntervalNotInTableShowsNoCaption() {
        Fixture f("[AutoRcon]\nRcon=status\nTime=12345\nRcon2=users\nTime2=5400000\n");
        FrmSetRcon *d = f.dialog();
        QCOMPARE(d->CTime->currentIndex(), -1);
        QCOMPARE(d->CTime2->currentText(), QStringLiteral("90 Minutes"));
        QVERIFY(d->CTime->isEnabled());
        // The second command opens once the first has an interval.
        QVERIFY(!d->txtcommand2->isEnabled());
        d->CTime->setCurrentIndex(0);
        QVERIFY(d->txtcommand2->isEnabled());
    }

    void missingOrDamagedSettingsFileEndsTheProgram_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("withFile");
        QTest::newRow("no file") << QByteArray() << false;
        QTest::newRow("no AutoRcon section") << QByteArray("[AutoIP]\nIP=1.2.3.4\n") << true;
        QTest::newRow("no Rcon key") << QByteArray("[AutoRcon]\nTime=60000\n") << true;
    }
    void missingOrDamagedSettingsFileEndsTheProgram() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, withFile);
        Fixture f(ini, withFile);
        QCOMPARE(f.program->frmSetRcon(), nullptr);
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes[0].icon, Platform::Icon::Critical);
        QCOMPARE(f.platform.boxes[0].text,
                 QStringLiteral("Error can't load settings file, Please reinstall Talvero"));
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
    }

    void typingFirstCommandOffersOneMinuteEveryTime() {
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.dialog();
        QTest::keyClicks(d->txtcommand, QStringLiteral("st"));
        QCOMPARE(d->CTime->currentText(), QStringLiteral("1 Minute"));
        QVERIFY(d->CmdApp->isEnabled());
        QVERIFY(d->txtcommand2->isEnabled());
        d->CTime->setCurrentIndex(4);
        QTest::keyClicks(d->txtcommand, QStringLiteral("a"));
        QCOMPARE(d->CTime->currentText(), QStringLiteral("1 Minute"));

        // Emptying the first command closes and empties the second.
        QTest::keyClicks(d->txtcommand2, QStringLiteral("users"));
        QCOMPARE(d->CTime2->currentText(), QStringLiteral("1 Minute"));
        d->txtcommand->clear();
        QCOMPARE(d->txtcommand2->text(), QString());
        QVERIFY(!d->txtcommand2->isEnabled());
        QVERIFY(!d->CTime->isEnabled());
        QCOMPARE(d->CTime->currentIndex(), -1);
        QCOMPARE(d->CTime2->currentIndex(), -1);
        QVERIFY(!d->CmdApp->isEnabled());
    }

    void applyCommandsStoresCaptionsAsMilliseconds() {
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.dialog();
        QTest::keyClicks(d->txtcommand, QStringLiteral("status"));
        d->CTime->setCurrentIndex(3);
        QTest::keyClicks(d->txtcommand2, QStringLiteral("users"));
        click(d->CmdApp);
        QCOMPARE(f.ini("autorcon", "rcon"), QStringLiteral("status"));
        QCOMPARE(f.ini("autorcon", "time"), QStringLiteral("900000"));
        QCOMPARE(f.ini("autorcon", "rcon2"), QStringLiteral("users"));
        QCOMPARE(f.ini("autorcon", "time2"), QStringLiteral("60000"));
        QVERIFY(d->SettingsChanged);
        QVERIFY(!d->CmdApp->isEnabled());
    }

    void applyWithoutIntervalStoresEmptyTime() {
        Fixture f("[AutoRcon]\nRcon=status\nTime=nonsense\n");
        FrmSetRcon *d = f.dialog();
        QCOMPARE(d->CTime->currentIndex(), -1);
        d->CmdApp->setEnabled(true);
        click(d->CmdApp);
        QCOMPARE(f.ini("AutoRcon", "Time"), QString());
    }

    void clearButtonsWriteEmptyValuesAndKeepKeys() {
        Fixture f("[AutoIP]\nIP=10.0.0.1\nPort=27016\n[AutoRcon]\nRcon=status\nTime=60000\n"
                  "Rcon2=users\nTime2=120000\n");
        FrmSetRcon *d = f.dialog();
        click(d->CmdClear);
        QCOMPARE(f.ini("autoip", "ip"), QString());
        QCOMPARE(f.ini("autoip", "port"), QString());
        QCOMPARE(d->txtPort->text(), QStringLiteral("27015"));
        QCOMPARE(f.ini("autorcon", "rcon"), QStringLiteral("status"));

        click(d->CmdClearAll);
        for (const char *key : {"Rcon", "Time", "Rcon2", "Time2"})
            QCOMPARE(f.ini("AutoRcon", key), QString());
        QCOMPARE(d->txtcommand->text(), QString());
        QVERIFY(!d->txtcommand2->isEnabled());
        QVERIFY(d->SettingsChanged);
    }

    void addressApplyStoresAsTyped() {
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.dialog();
        QTest::keyClicks(d->txtIP, QStringLiteral("192.168.100.200x"));
        QCOMPARE(d->txtIP->text(), QStringLiteral("192.168.100.200")); // at most 15 characters
        d->txtPort->clear();
        QTest::keyClicks(d->txtPort, QStringLiteral("270159"));
        QCOMPARE(d->txtPort->text(), QStringLiteral("27015"));
        click(d->Cmd1);
        QCOMPARE(f.ini("AutoIP", "IP"), QStringLiteral("192.168.100.200"));
        QCOMPARE(f.ini("AutoIP", "Port"), QStringLiteral("27015"));
    }

    void closeAsksRestartOnlyAfterApplyOrClear() {
        {
            Fixture f("[AutoRcon]\nRcon=\n");
            FrmSetRcon *d = f.dialog();
            d->CSendToTray->click();
            d->CLog->click();
            click(d->CmdClose);
            QVERIFY(f.platform.boxes.isEmpty());
            QVERIFY(!f.program->isFrmSetRconLoaded());
        }
        {
            Fixture f("[AutoRcon]\nRcon=\n");
            FrmSetRcon *d = f.dialog();
            click(d->CmdClearAll);
            f.platform.queueAnswer(Platform::Answer::No);
            click(d->CmdClose);
            QCOMPARE(f.platform.boxes.size(), 1);
            QCOMPARE(f.platform.boxes[0].buttons, Platform::Buttons::YesNo);
            QCOMPARE(f.platform.boxes[0].text,
                     QStringLiteral("You need to restart Talvero before the changes will take "
                                    "effect\r\nShould Talvero restart now? (Recommended)"));
            QVERIFY(!f.program->isFrmSetRconLoaded());
            QVERIFY(f.platform.startedPrograms.isEmpty());
        }
        {
            Fixture f("[AutoRcon]\nRcon=\n");
            FrmSetRcon *d = f.dialog();
            click(d->Cmd1);
            f.platform.queueAnswer(Platform::Answer::Yes);
            click(d->CmdClose);
            QCOMPARE(f.platform.startedPrograms,
                     QStringList{f.folder.filePath(QStringLiteral("rcon"))});
            QCOMPARE(f.platform.exitCodes, QList<int>{0});
            // A restart is no goodbye: the exit sound stays silent.
            QVERIFY(!f.platform.sounds.contains(f.folder.filePath(QStringLiteral("1284.wav"))));
        }
    }

    void passwordsAfterApplyAsksAndOnNoJustCloses() {
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.dialog();
        click(d->Cmd1);
        f.platform.queueAnswer(Platform::Answer::No);
        click(d->CmdPasswords);
        QCOMPARE(f.platform.boxes.size(), 1);
        QVERIFY(!f.program->isFrmSetRconLoaded());
        QVERIFY(f.platform.startedPrograms.isEmpty());
    }

    void optionBoxesStoreAtTheClick() {
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.dialog();
        SettingsStore &settings = f.program->settings();
        d->CSendToTray->click();
        QCOMPARE(settings.readText(QStringLiteral("SendToTrayOnBoot")), QStringLiteral("1"));
        d->CLog->click();
        QCOMPARE(settings.readText(QStringLiteral("LogText2File")), QStringLiteral("1"));
        QVERIFY(f.program->logToFile());
        d->CLog->click();
        QCOMPARE(settings.readText(QStringLiteral("LogText2File")), QStringLiteral("0"));
        QVERIFY(!f.program->logToFile());

        settings.saveOption(QStringLiteral("ShowPassDlg"), QStringLiteral("1"));
        d->ChkAskPM->click();
        QCOMPARE(settings.readText(QStringLiteral("ShowPassDlg")), QStringLiteral("0"));
        settings.saveOption(QStringLiteral("ShowPassDlg"), QStringLiteral("1"));
        d->ChkAskPM->click();
        QCOMPARE(settings.readText(QStringLiteral("ShowPassDlg")), QStringLiteral("0"));
        QVERIFY(!d->SettingsChanged);
    }

    void optionsShownFromTheStore() {
        Fixture f("[AutoRcon]\nRcon=\n");
        f.program->settings().saveOption(QStringLiteral("SendToTrayOnBoot"), QStringLiteral("1"));
        f.program->settings().saveOption(QStringLiteral("LogText2File"), QStringLiteral("x"));
        FrmSetRcon *d = f.dialog();
        QVERIFY(d->CSendToTray->isChecked());
        QVERIFY(!d->CLog->isChecked());
    }

    void reopenedDialogStartsUnchanged() {
        Fixture f("[AutoRcon]\nRcon=\n");
        FrmSetRcon *d = f.dialog();
        click(d->CmdClear);
        d->close();
        QVERIFY(!f.program->isFrmSetRconLoaded());
        FrmSetRcon *again = f.dialog();
        QVERIFY(again);
        QVERIFY(!again->SettingsChanged);
    }
};

QTEST_MAIN(TestFrmSetRcon)
#include "tst_frmsetrcon.moc"
