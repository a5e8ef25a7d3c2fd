// Exit chosen while something else is open (a message box, the Properties dialog, a menu), with
// the real desktop's message boxes and exit: the process's event loop must end, nothing may be
// deleted under a running dialog, and the windows go afterwards in their order.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/qtplatform.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

class TestExit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void exitWithSomethingOpenEndsCleanly_data() {
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("exit");
        QTest::newRow("message box, tray Exit") << "box"
                                                << "tray";
        QTest::newRow("message box, window closed") << "box"
                                                    << "close";
        QTest::newRow("Properties dialog, tray Exit") << "properties"
                                                      << "tray";
        QTest::newRow("menu, Exit button") << "menu"
                                           << "button";
    }

    void exitWithSomethingOpenEndsCleanly() {
        QFETCH(QString, open);
        QFETCH(QString, exit);
        ProgramFolder folder;
        folder.writeFile(QStringLiteral("talvero.ini"), "[AutoRcon]\nRcon=\n");
        QtPlatform platform;
        auto program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
        // With logging on, the connect entry still uses its window after the message box.
        program->settings().saveOption(QStringLiteral("LogText2File"), true);
        program->start();
        FrmRcon *main = program->windows().frmRcon();
        QVERIFY(main);
        QStringList unloaded;
        for (QObject *window :
             {static_cast<QObject *>(program->windows().frmLog()), static_cast<QObject *>(main),
              static_cast<QObject *>(program->windows().frmSetRcon())}) {
            connect(window, &QObject::destroyed, this,
                    [&unloaded, name = window->objectName()] { unloaded.append(name); });
        }

        const std::function<void()> chooseExit = [&] {
            if (exit == QLatin1String("tray"))
                child<QAction>(main, "MnuTrayExit")->trigger();
            else if (exit == QLatin1String("close"))
                main->close();
            else
                QTest::mouseClick(child<XpButton>(main, "CmdClose"), Qt::LeftButton, {},
                                  QPoint(36, 10));
        };
        bool aliveAfterwards = false;
        QTimer::singleShot(0, this, [&] {
            const QPointer<FrmRcon> alive(main);
            // Runs inside whatever opens next (a modal window's own event loop).
            QTimer::singleShot(0, this, chooseExit);
            if (open == QLatin1String("box")) {
                child<QLineEdit>(main, "txtIP")
                    ->clear(); // "Please enter the IP Adress, Port and Rcon Password"
                QTest::mouseClick(child<XpButton>(main, "cmdconnect"), Qt::LeftButton, {},
                                  QPoint(36, 10));
            } else if (open == QLatin1String("properties")) {
                QTest::mouseClick(child<XpButton>(main, "CmdSettings"), Qt::LeftButton, {},
                                  QPoint(36, 10));
            } else {
                child<QMenu>(main, "MnuOptions")->popup(main->mapToGlobal(QPoint(10, 10)));
            }
            aliveAfterwards = !alive.isNull();
        });
        // The process's event loop, which the exit ends.
        QCOMPARE(QApplication::exec(), 0);

        QVERIFY(program->isEnding());
        QVERIFY(aliveAfterwards);
        QVERIFY(!main->isVisible());
        QVERIFY(!child<QMenu>(main, "MnuOptions")->isVisible());
        QCOMPARE(program->windows().frmRcon(), nullptr);
        program.reset();
        QCOMPARE(unloaded, (QStringList{QStringLiteral("FrmLog"), QStringLiteral("frmRcon"),
                                        QStringLiteral("FrmSetRcon")}));
    }
};

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
