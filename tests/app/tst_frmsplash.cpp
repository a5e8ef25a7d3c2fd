// The start through the splash: the two fades tick by tick, the first start holding the fade,
// the start in the tray, the translucency routine, and exit while fading. The fade timers are
// stepped one tick at a time; nothing waits for them.
#include "rcon/app/frmrcon.h"
#include "rcon/app/frmsplash.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/kit/fadetimer.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/trayicon.h"
#include "rcon/kit/windowsystem.h"
#include "rcon/passwords/frmfirst.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/programfiles.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

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
                program->files().passwordFile().setAccessPassword(QStringLiteral("guard"));
        }
        void start() {
            program->startWithSplash();
            splash = program->windows().loadedSplash();
            main = program->windows().frmRcon();
            log = program->windows().frmLog();
            if (splash) {
                T = timer(splash, "T");
                T2 = timer(splash, "T2");
                holdTimers(splash);
            }
        }
        // The splash's fades: T fades it out, T2 fades the main windows in.
        static FadeTimer *timer(const FrmSplash *splash, const char *name) {
            return child<FadeTimer>(splash, name);
        }
        // From here on only the test's ticks move the fade.
        static void holdTimers(const FrmSplash *splash) {
            timer(splash, "T")->setInterval(Hour);
            timer(splash, "T2")->setInterval(Hour);
        }
        void tick(FadeTimer *timer, int times = 1) const {
            for (int i = 0; i < times; ++i)
                timer->fire();
        }
        ProgramFolder folder;
        FakePlatform platform;
        std::unique_ptr<Program> program;
        QPointer<FrmSplash> splash;
        FadeTimer *T = nullptr;
        FadeTimer *T2 = nullptr;
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
        QCOMPARE(f.splash->fadeLevel(), 255);
        QVERIFY(f.T->isEnabled());
        QVERIFY(!f.T2->isEnabled());
        // The main window is loaded (its start-up defaults are in) but not shown yet.
        QVERIFY(f.main && f.log);
        QVERIFY(!f.main->isVisible());
        QVERIFY(!f.log->isVisible());
        QCOMPARE(alpha(f.main), 0);
        QCOMPARE(alpha(f.log), 0);

        for (int level = 251; level >= 3; level -= 4) {
            f.tick(f.T);
            QCOMPARE(alpha(f.splash), level);
        }
        f.tick(f.T); // computes -1: nothing changes
        QCOMPARE(f.splash->fadeLevel(), -1);
        QCOMPARE(alpha(f.splash), 3);
        QVERIFY(!f.main->isVisible());
        f.tick(f.T);
        QVERIFY(f.main->isVisible());
        QVERIFY(f.log->isVisible());
        QCOMPARE(alpha(f.main), 0);
        // Transparent, yet on the screen (and plainly visible where nothing composites).
        QVERIFY(QTest::qWaitForWindowExposed(f.main));
        QVERIFY(QTest::qWaitForWindowExposed(f.log));
        QVERIFY(!f.T->isEnabled());
        QVERIFY(f.T2->isEnabled());
        f.tick(f.T); // disabled: no tick
        QCOMPARE(f.splash->fadeLevel(), 0);

        for (int level = 4; level <= 252; level += 4) {
            f.tick(f.T2);
            QCOMPARE(alpha(f.main), level);
            QCOMPARE(alpha(f.log), level);
        }
        f.tick(f.T2); // computes 256: nothing changes
        QCOMPARE(alpha(f.main), 252);
        QCOMPARE(alpha(f.splash), 3);
        QVERIFY(f.program->windows().loadedSplash());
        f.tick(f.T2);
        QCOMPARE(f.program->windows().loadedSplash(), nullptr);
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
            FrmSplash *splash = f.program->windows().loadedSplash();
            QVERIFY(splash && splash->isVisible());
            Fixture::holdTimers(splash);
            FadeTimer *fadeOut = Fixture::timer(splash, "T");
            QVERIFY(!fadeOut->isEnabled());
            fadeOut->fire();
            QCOMPARE(splash->fadeLevel(), 255);
            QCOMPARE(alpha(splash), 255);
            QTest::keyClicks(child<QLineEdit>(dialog, "TxtPass"), QStringLiteral("guard"));
            QTest::mouseClick(child<XpButton>(dialog, "CmdOk"), Qt::LeftButton, {}, QPoint(36, 10));
        });
        f.start();
        QVERIFY(asked);
        QVERIFY(f.splash);
        QVERIFY(f.T->isEnabled());
        f.tick(f.T);
        QCOMPARE(alpha(f.splash), 251);
        QCOMPARE(f.program->files().passwordFile().accessPassword(), QStringLiteral("guard"));
    }

    void startInTheTrayHidesBothWindowsOnTheFirstFadeInTick() {
        Fixture f;
        f.program->settings().saveOption(SettingsStore::SendToTrayOnBoot, true);
        // On a real display the notification area may still be starting.
        if (QGuiApplication::platformName() == QStringLiteral("xcb"))
            QTRY_VERIFY_WITH_TIMEOUT(TrayIcon::isAvailable(), 10000);
        f.start();
        f.tick(f.T, 65);
        QVERIFY(f.main->isVisible());
        f.tick(f.T2);
        if (TrayIcon::isAvailable()) {
            QVERIFY(!f.main->isVisible());
            QVERIFY(!f.log->isVisible());
            QVERIFY(f.main->findChild<TrayIcon *>()->isVisible());
        } else {
            // No notification area: minimised, never hidden beyond reach.
            QVERIFY(f.main->isMinimized());
            QVERIFY(f.log->isMinimized());
        }
        f.tick(f.T2, 64);
        QCOMPARE(f.program->windows().loadedSplash(), nullptr);
        f.main->restoreFromTray();
        QVERIFY(f.main->isVisible());
        QVERIFY(f.log->isVisible());
        QCOMPARE(alpha(f.main), 252);
        QCOMPARE(alpha(f.log), 252);
    }

    void translucencyOnlyForAlphaInRange() {
        QWidget window;
        window.show();
        QCOMPARE(talvero::WindowSystem::setTranslucency(&window, 128), 0);
        QCOMPARE(talvero::WindowSystem::setTranslucency(&window, -1), 1);
        QCOMPARE(talvero::WindowSystem::setTranslucency(&window, 256), 1);
        QCOMPARE(alpha(&window), 128);
        QCOMPARE(talvero::WindowSystem::setTranslucency(&window, 0), 0);
        QCOMPARE(alpha(&window), 0);
        QVERIFY(window.isVisible());
        QCOMPARE(talvero::WindowSystem::setTranslucency(&window, 255), 0);
        QCOMPARE(alpha(&window), 255);
        QCOMPARE(talvero::WindowSystem::setTranslucency(nullptr, 10), 2);
    }

    void exitWhileFadingEndsAtOnce() {
        Fixture f;
        f.start();
        f.tick(f.T, 65);
        f.tick(f.T2, 10);
        QCOMPARE(alpha(f.main), 40);
        QTest::mouseClick(child<XpButton>(f.main, "CmdClose"), Qt::LeftButton, {}, QPoint(36, 10));
        QCOMPARE(f.platform.exitCodes, QList<int>{0});
        QCOMPARE(f.platform.sounds.last(), f.folder.filePath(QStringLiteral("1284.wav")));
        QCOMPARE(f.program->windows().loadedSplash(), nullptr);
        QVERIFY(!f.splash->isVisible());
        QVERIFY(!f.main->isVisible());
        QVERIFY(!f.log->isVisible());
        // A tick still due changes nothing any more.
        f.T2->fire();
        QVERIFY(!f.T2->isEnabled());
        QVERIFY(!f.T->isEnabled());
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
        QCOMPARE(program.windows().loadedSplash(), nullptr);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestFrmSplash)
#include "tst_frmsplash.moc"
