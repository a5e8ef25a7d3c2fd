// Where the two windows are, as the X server has them, on a real display with a window
// manager: plain starts and exits of the real program leave them where they were, a window the
// user moved comes back where it was left, and what the program believes (and tells assistive
// technology) of its windows' places is where they really are.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/programfiles.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/runnablefolder.h"
#include "tests/support/widgets.h"
#include "tests/support/xwindows.h"

#include <QAccessible>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

namespace {
const QString MainTitle = QStringLiteral("Talvero");
const QString OutputTitle = QStringLiteral("Talvero - Output");

struct Places {
    XWindows::Window main;
    XWindows::Window output;
};

bool near(const QPoint &a, const QPoint &b) {
    return (a - b).manhattanLength() <= 3;
}
} // namespace

class TestWindowPlaces : public QObject {
    Q_OBJECT

    XWindows m_x;

    // The two windows of the running program, once the splash has gone and they alone are up
    // (the splash has the main window's title).
    std::optional<Places> windowsUp(qint64 pid) {
        const QList<XWindows::Window> windows = m_x.windowsOf(pid);
        std::optional<XWindows::Window> main = m_x.find(pid, MainTitle);
        std::optional<XWindows::Window> output = m_x.find(pid, OutputTitle);
        if (windows.size() != 2 || !main || !output)
            return std::nullopt;
        return Places{*main, *output};
    }

    // The place of a widget's top left corner as the X server has it.
    QPoint xPlaceOf(const QWidget *widget) {
        const std::optional<QPoint> origin = m_x.clientOrigin(quint32(widget->window()->winId()));
        return origin ? *origin + widget->mapTo(widget->window(), QPoint(0, 0)) : QPoint(-1, -1);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_x.isConnected(), "needs an X display: run under scripts/with-display");
        talvero::registerApplicationFonts();
    }

    void startsAndExitsLeaveTheWindowsWhereTheyWere() {
        PrivateHome home;
        RunnableFolder folder;
        QList<Places> seen;
        const QPoint movedTo(40, 560);
        for (int run = 0; run < 4; ++run) {
            QProcess program;
            program.setProgram(folder.program());
            program.setWorkingDirectory(folder.folder.path());
            program.start();
            QVERIFY(program.waitForStarted());
            std::optional<Places> places;
            QTRY_VERIFY_WITH_TIMEOUT((places = windowsUp(program.processId())).has_value(), 30000);
            seen.append(*places);
            // In the third run the user drags the output window away.
            if (run == 2) {
                m_x.moveFrame(places->output.id, movedTo);
                QTRY_VERIFY(near(m_x.clientOrigin(places->output.id).value_or(QPoint()), movedTo));
            }
            m_x.close(places->main.id);
            QVERIFY(program.waitForFinished(30000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        }
        for (int run = 1; run < 3; ++run) {
            QVERIFY2(near(seen[run].main.client.topLeft(), seen[0].main.client.topLeft()),
                     qPrintable(QStringLiteral("main window at %1,%2 in run %3, at %4,%5 first")
                                    .arg(seen[run].main.client.x())
                                    .arg(seen[run].main.client.y())
                                    .arg(run + 1)
                                    .arg(seen[0].main.client.x())
                                    .arg(seen[0].main.client.y())));
            QVERIFY(near(seen[run].output.client.topLeft(), seen[0].output.client.topLeft()));
        }
        // Beside the main window, not thrown into a corner.
        QVERIFY(seen[0].output.client.left() > seen[0].main.client.right());
        QVERIFY(seen[0].output.client.top() < seen[0].main.client.bottom());
        // Moved by the user: back where it was left; the main window where it was.
        QVERIFY(near(seen[3].output.client.topLeft(), movedTo));
        QVERIFY(near(seen[3].main.client.topLeft(), seen[0].main.client.topLeft()));
    }

    void theProgramKnowsWhereItsWindowsAre() {
        ProgramFolder folder;
        FakePlatform platform;
        Program program(folder.path(), folder.optionsFile(), platform);
        program.files().passwordFile().setAccessPassword(QStringLiteral("guard"));
        program.startWithSplash();
        FrmRcon *main = program.windows().frmRcon();
        FrmLog *output = program.windows().frmLog();
        auto *pane = child<OutputPane>(output, "TxtGet");
        auto *address = child<QLineEdit>(main, "txtIP");
        QAccessible::setActive(true);
        // Every showing is a new chance for the window manager's framing to mislead: shown,
        // hidden and shown again a few times.
        for (int showing = 0; showing < 4; ++showing) {
            // Mapped, framed and placed by the window manager.
            const qint64 self = QCoreApplication::applicationPid();
            QTRY_VERIFY_WITH_TIMEOUT(m_x.find(self, MainTitle) && m_x.find(self, OutputTitle),
                                     10000);
            const auto agrees = [&](const QWidget *widget) {
                return widget->mapToGlobal(QPoint(0, 0)) == xPlaceOf(widget);
            };
            QVERIFY(QTest::qWaitFor([&] { return agrees(pane) && agrees(address); }));
            QCOMPARE(pane->mapToGlobal(QPoint(0, 0)), xPlaceOf(pane));
            QCOMPARE(address->mapToGlobal(QPoint(0, 0)), xPlaceOf(address));
            // What a screen reader or magnifier is told.
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(pane);
            QVERIFY(accessible);
            QCOMPARE(accessible->rect().topLeft(), xPlaceOf(pane));
            output->hide();
            main->hide();
            QTRY_VERIFY(m_x.windowsOf(self).isEmpty());
            program.windows().showMainWindows();
        }
    }
};

QTEST_MAIN(TestWindowPlaces)
#include "tst_windowplaces.moc"
