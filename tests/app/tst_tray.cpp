// Send to tray and back on a real X display with a notification area (run under Xvfb with
// trayer): the windows hide, the icon appears, and restoring brings them back.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/trayicon.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

class TestTray : public QObject {
    Q_OBJECT

    struct Fixture {
        Fixture() {
            program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
            program->start();
            main = program->windows().frmRcon();
            log = program->windows().frmLog();
            tray = main->findChild<TrayIcon *>();
            icon = tray->findChild<QSystemTrayIcon *>();
        }
        ProgramFolder folder;
        FakePlatform platform;
        std::unique_ptr<Program> program;
        FrmRcon *main = nullptr;
        FrmLog *log = nullptr;
        TrayIcon *tray = nullptr;
        QSystemTrayIcon *icon = nullptr;
    };

private Q_SLOTS:
    void initTestCase() {
        talvero::registerApplicationFonts();
        // The notification area may still be starting.
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    }

    void sendToTrayAndRestoreFromTheIcon() {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(f.main));
        QTest::mouseClick(child<XpButton>(f.main, "CmdTray"), Qt::LeftButton, {}, QPoint(36, 10));
        QTRY_VERIFY(!f.main->isVisible());
        QVERIFY(!f.log->isVisible());
        QVERIFY(f.tray->isVisible());
        QVERIFY(f.tray->toolTip().startsWith(QStringLiteral("Talvero - ")));
        QVERIFY(!f.tray->icon().isNull());

        // A right click on the icon asks for its menu.
        Q_EMIT f.icon->activated(QSystemTrayIcon::Context);
        QTRY_VERIFY(child<QMenu>(f.main, "MnuTray")->isVisible());
        child<QMenu>(f.main, "MnuTray")->close();

        // A double click restores.
        Q_EMIT f.icon->activated(QSystemTrayIcon::DoubleClick);
        QTRY_VERIFY(f.main->isVisible());
        QVERIFY(f.log->isVisible());
        QVERIFY(!f.tray->isVisible());
    }

    void restoringTwiceLeavesBothShown() {
        Fixture f;
        f.main->sendToTray();
        QTRY_VERIFY(!f.main->isVisible());
        child<QAction>(f.main, "MnuTrayMain")->trigger();
        Q_EMIT f.icon->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(f.main->isVisible());
        QVERIFY(f.log->isVisible());
        QVERIFY(!f.tray->isVisible());
    }

    void outputWindowIsMinimisedAndRestoredWithTheMainWindow() {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(f.main));
        QVERIFY(QTest::qWaitForWindowExposed(f.log));
        f.main->showMinimized();
        QTRY_VERIFY(f.main->isMinimized());
        QTRY_VERIFY(!f.log->isVisible());
        f.main->showNormal();
        QTRY_VERIFY(!f.main->isMinimized());
        QTRY_VERIFY(f.log->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(f.log));
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
