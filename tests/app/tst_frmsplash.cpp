// The start through the splash: the two fades tick by tick, the first start holding the fade,
// the start in the tray, the translucency routine, and exit while fading. The fade timers are
// stepped one tick at a time; nothing waits for them.
#include "rcon/app/frmrcon.h"
#include "rcon/app/frmsplash.h"
#include "rcon/app/program.h"
#include "rcon/console/frmlog.h"
#include "rcon/kit/fadetimer.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/trayicon.h"
#include "rcon/passwords/frmfirst.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace {
constexpr int Hour = 3600 * 1000;

// The headless platform cannot make windows translucent and says so at every step of the fade.
QtMessageHandler g_previousHandler = nullptr;
void dropOpacityWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (!text.contains(QStringLiteral("does not support setting window opacity")))
        g_previousHandler(type, context, text);
}

int alpha(const QWidget *window) {
    return qRound(window->windowOpacity() * 255);
}

// Runs work on the first-run dialog once it is up, from inside its own event loop.
void whenFirstRunDialog(std::function<void(FrmFirst *)> work) {
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto *dialog = qobject_cast<FrmFirst *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        work(dialog);
        if (dialog->isVisible())
            dialog->close(); // a failed check: end the test rather than hang
    });
    poll->start(5);
}
} // namespace

class TestFrmSplash : public QObject {
    Q_OBJECT

    struct Fixture {
        explicit Fixture(bool accessPassword = true) {
            program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
            if (accessPassword)
                program->passwordFile().write(PasswordFile::userpass, QStringLiteral("guard"));
        }
        void start() {
            program->startWithSplash();
            splash = program->loadedSplash();
            main = program->frmRcon();
            log = program->frmLog();
            holdTimers();
        }
        // From here on only the test's ticks move the fade.
        void holdTimers() const {
            if (splash) {
                splash->T->setInterval(Hour);
                splash->T2->setInterval(Hour);
            }
        }
        void tick(FadeTimer *timer, int times = 1) const {
            for (int i = 0; i < times; ++i)
                timer->fire();
        }
        ProgramFolder folder;
        FakePlatform platform;
        std::unique_ptr<Program> program;
        QPointer<FrmSplash> splash;
        FrmRcon *main = nullptr;
        FrmLog *log = nullptr;
    };

private Q_SLOTS:
    void initTestCase() {
        talvero::registerApplicationFonts();
        g_previousHandler = qInstallMessageHandler(dropOpacityWarnings);
    }

    void splashFadesOutThenTheWindowsFadeIn() {
        Fixture f;
        f.start();
        QVERIFY(f.splash);
        QVERIFY(f.splash->isVisible());
        QCOMPARE(alpha(f.splash), 255);
        QCOMPARE(f.platform.sounds.value(0), f.folder.filePath(QStringLiteral("welcome.wav")));
        QCOMPARE(f.splash->FadeLevel, 255);
        QVERIFY(f.splash->T->isEnabled());
        QVERIFY(!f.splash->T2->isEnabled());
        // The main window is loaded (its start-up defaults are in) but not shown yet.
        QVERIFY(f.main && f.log);
        QVERIFY(!f.main->isVisible());
        QVERIFY(!f.log->isVisible());
        QCOMPARE(alpha(f.main), 0);
        QCOMPARE(alpha(f.log), 0);

        for (int level = 251; level >= 3; level -= 4) {
            f.tick(f.splash->T);
            QCOMPARE(alpha(f.splash), level);
        }
        f.tick(f.splash->T); // computes -1: nothing changes
        QCOMPARE(f.splash->FadeLevel, -1);
        QCOMPARE(alpha(f.splash), 3);
        QVERIFY(!f.main->isVisible());
        f.tick(f.splash->T);
        QVERIFY(f.main->isVisible());
        QVERIFY(f.log->isVisible());
        QCOMPARE(alpha(f.main), 0);
        // Transparent, yet on the screen (and plainly visible where nothing composites).
        QVERIFY(QTest::qWaitForWindowExposed(f.main));
        QVERIFY(QTest::qWaitForWindowExposed(f.log));
        QVERIFY(!f.splash->T->isEnabled());
        QVERIFY(f.splash->T2->isEnabled());
        f.tick(f.splash->T); // disabled: no tick
        QCOMPARE(f.splash->FadeLevel, 0);

        for (int level = 4; level <= 252; level += 4) {
            f.tick(f.splash->T2);
            QCOMPARE(alpha(f.main), level);
            QCOMPARE(alpha(f.log), level);
        }
        f.tick(f.splash->T2); // computes 256: nothing changes
        QCOMPARE(alpha(f.main), 252);
        QCOMPARE(alpha(f.splash), 3);
        QVERIFY(f.program->loadedSplash());
        f.tick(f.splash->T2);
        QCOMPARE(f.program->loadedSplash(), nullptr);
        QTRY_VERIFY(!f.splash);
        QCOMPARE(alpha(f.main), 252);
        QVERIFY(f.main->isVisible());
        QVERIFY(f.platform.exitCodes.isEmpty());
    }

    void firstStartHoldsTheFadeUntilContinue() {
        Fixture f(false);
        bool asked = false;
        whenFirstRunDialog([&](FrmFirst *dialog) {
            asked = true;
            FrmSplash *splash = f.program->loadedSplash();
            QVERIFY(splash && splash->isVisible());
            splash->T->setInterval(Hour);
            splash->T2->setInterval(Hour);
            QVERIFY(!splash->T->isEnabled());
            splash->T->fire();
            QCOMPARE(splash->FadeLevel, 255);
            QCOMPARE(alpha(splash), 255);
            QTest::keyClicks(dialog->TxtPass, QStringLiteral("guard"));
            QTest::mouseClick(dialog->CmdOk, Qt::LeftButton, {}, QPoint(36, 10));
        });
        f.start();
        QVERIFY(asked);
        QVERIFY(f.splash);
        QVERIFY(f.splash->T->isEnabled());
        f.tick(f.splash->T);
        QCOMPARE(alpha(f.splash), 251);
        QCOMPARE(f.program->passwordFile().read(PasswordFile::userpass), QStringLiteral("guard"));
    }

    void startInTheTrayHidesBothWindowsOnTheFirstFadeInTick() {
        Fixture f;
        f.program->settings().saveOption(SettingsStore::SendToTrayOnBoot, true);
        // On a real display the notification area may still be starting.
        if (QGuiApplication::platformName() == QStringLiteral("xcb"))
            QTRY_VERIFY_WITH_TIMEOUT(TrayIcon::isAvailable(), 10000);
        f.start();
        f.tick(f.splash->T, 65);
        QVERIFY(f.main->isVisible());
        f.tick(f.splash->T2);
        if (TrayIcon::isAvailable()) {
            QVERIFY(!f.main->isVisible());
            QVERIFY(!f.log->isVisible());
            QVERIFY(f.main->Tray->isVisible());
        } else {
            // No notification area: minimised, never hidden beyond reach.
            QVERIFY(f.main->isMinimized());
            QVERIFY(f.log->isMinimized());
        }
        f.tick(f.splash->T2, 64);
        QCOMPARE(f.program->loadedSplash(), nullptr);
        f.main->restoreFromTray();
        QVERIFY(f.main->isVisible());
        QVERIFY(f.log->isVisible());
        QCOMPARE(alpha(f.main), 252);
        QCOMPARE(alpha(f.log), 252);
    }

    void translucencyOnlyForAlphaInRange() {
        QWidget window;
        window.show();
        QCOMPARE(Program::SetTranslucency(&window, 128), 0);
        QCOMPARE(Program::SetTranslucency(&window, -1), 1);
        QCOMPARE(Program::SetTranslucency(&window, 256), 1);
        QCOMPARE(alpha(&window), 128);
        QCOMPARE(Program::SetTranslucency(&window, 0), 0);
        QCOMPARE(alpha(&window), 0);
        QVERIFY(window.isVisible());
        QCOMPARE(Program::SetTranslucency(&window, 255), 0);
        QCOMPARE(alpha(&window), 255);
        QCOMPARE(Program::SetTranslucency(nullptr, 10), 2);
    }

    void exitWhileFadingEndsAtOnce() {
        Fixture f;
        f.start();
        f.tick(f.splash->T, 65);
        f.tick(f.splash->T2, 10);
        QCOMPARE(alpha(f.main), 40);
        QTest::mouseClick(f.main->CmdClose, Qt::LeftButton, {}, QPoint(36, 10));
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QCOMPARE(f.platform.sounds.last(), f.folder.filePath(QStringLiteral("1284.wav")));
        QCOMPARE(f.program->loadedSplash(), nullptr);
        QVERIFY(!f.splash->isVisible());
        QVERIFY(!f.main->isVisible());
        QVERIFY(!f.log->isVisible());
        // A tick still due changes nothing any more.
        f.splash->T2->fire();
        QVERIFY(!f.splash->T2->isEnabled());
        QVERIFY(!f.splash->T->isEnabled());
        QCOMPARE(alpha(f.main), 40);
    }

    // A damaged settings file ends the start before the password file is touched.
    void badSettingsFileEndsTheStartWithoutTouchingThePasswords() {
        ProgramFolder folder(ProgramFolder::Settings::None);
        FakePlatform platform;
        Program program(folder.path(), folder.optionsFile(), platform);
        program.startWithSplash();
        QCOMPARE(platform.boxes.size(), 1);
        QCOMPARE(platform.boxes[0].text,
                 QStringLiteral("Error can't load settings file, Please reinstall Talvero"));
        QCOMPARE(platform.exitCodes, QList<int>{0});
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("password"))));
        QCOMPARE(program.loadedSplash(), nullptr);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestFrmSplash)
#include "tst_frmsplash.moc"
