// The output window, given only the options: the pane keeps its caret at the end, a right click
// asks for the main window's menus, finding and copying, and the borderless window can be
// dragged by its background and labels.
#include "rcon/console/findbar.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/windowsystem.h"
#include "rcon/settings/settingsstore.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSizeGrip>
#include <QTest>

#include <functional>

namespace {
// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget *widget, int &paints)
        : m_paints(paints) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }

private:
    int &m_paints;
};
} // namespace

class TestFrmLog : public QObject {
    Q_OBJECT

    // The window as the program shows it: on the screen, opaque.
    struct Fixture {
        Fixture() {
            log->show();
            talvero::WindowSystem::setTranslucency(log, 255);
            pane = child<OutputPane>(log, "TxtGet");
        }
        template <typename T> T *get(const char *name) const { return child<T>(log, name); }
        ProgramFolder folder;
        SettingsStore settings{folder.optionsFile()};
        FrmLog window{settings};
        FrmLog *log = &window;
        OutputPane *pane = nullptr;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void borderlessWindowOfFixedSize() {
        Fixture f;
        QVERIFY(f.log->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(f.log->size(), QSize(468, 270));
        QCOMPARE(f.get<QLabel>("LHost")->text(), QStringLiteral("Not Connected"));
        QCOMPARE(f.get<QLabel>("Label")->text(), QStringLiteral("Talvero -"));
    }

    void caretReturnsToTheEnd() {
        Fixture f;
        OutputPane *pane = f.pane;
        pane->appendText(QStringLiteral("first line\r\nsecond line\r\n"));
        const int end = pane->document()->characterCount() - 1;
        QCOMPARE(pane->textCursor().position(), end);

        QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(pane->textCursor().position(), end);
        QVERIFY(!pane->textCursor().hasSelection());

        pane->setFocus();
        QTest::keyClick(pane, Qt::Key_Up);
        QTest::keyClick(pane, Qt::Key_Home);
        QTest::keyClick(pane, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(pane->textCursor().position(), end);
        QVERIFY(!pane->textCursor().hasSelection());

        // Even a selection made by the program itself does not stay.
        QTextCursor cursor = pane->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(3, QTextCursor::KeepAnchor);
        pane->setTextCursor(cursor);
        QCOMPARE(pane->textCursor().position(), end);
        QVERIFY(!pane->textCursor().hasSelection());

        pane->appendText(QStringLiteral("third"));
        QVERIFY(pane->toPlainText().endsWith(QStringLiteral("second line\nthird")));
        QCOMPARE(pane->text(), QStringLiteral("first line\nsecond line\nthird"));
    }

    void typingIntoThePaneChangesNothing() {
        Fixture f;
        OutputPane *pane = f.pane;
        pane->appendText(QStringLiteral("reply"));
        pane->setFocus();
        QTest::keyClicks(pane, QStringLiteral("typed"));
        QCOMPARE(pane->toPlainText(), QStringLiteral("reply"));
    }

    // The menus are the main window's: the pane asks for them where the pointer is, or beside the
    // caret when asked from the keyboard.
    void rightClickAsksForTheMenus() {
        Fixture f;
        QSignalSpy asked(f.log, &FrmLog::menuRequested);
        QTest::mouseClick(f.pane->viewport(), Qt::RightButton, {}, QPoint(10, 10));
        QTRY_COMPARE(asked.size(), 1);
        QCOMPARE(asked.last().at(0).toPoint(), f.pane->viewport()->mapToGlobal(QPoint(10, 10)));
        // A left click asks for nothing.
        QTest::mouseClick(f.pane->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        // The menu key, and Shift+F10.
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(f.pane->viewport(), &key);
        QTRY_COMPARE(asked.size(), 2);
        QTest::keyClick(f.pane, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_COMPARE(asked.size(), 3);
        QVERIFY(f.log->rect().contains(f.log->mapFromGlobal(asked.last().at(0).toPoint())));
    }

    void outputWindowResizesAndThePaneFollows() {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(f.log));
        QCOMPARE(f.log->size(), QSize(468, 270));
        const QSize pane = f.pane->size();
        f.log->resize(700, 420);
        QTRY_COMPARE(f.pane->size(), pane + QSize(700 - 468, 420 - 270));
        // The grip sits in the lower right corner.
        QCOMPARE(f.get<QSizeGrip>("Grip")->geometry().bottomRight(), f.log->rect().bottomRight());
        // From the keyboard, never below the designed size.
        f.log->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.log));
        QTest::keyClick(f.pane, Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(f.log->width(), 700 + FrmLog::SizeStep);
        f.log->resize(470, 272);
        QTest::keyClick(f.pane, Qt::Key_Up, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(f.log->size(), QSize(470, 270));
    }

    void screenReaderReadsTheConnectionStatus() {
        Fixture f;
        QAccessibleInterface *status =
            QAccessible::queryAccessibleInterface(f.get<QLabel>("LHost"));
        QVERIFY(status);
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("Not Connected"));
        f.get<QLabel>("LHost")->setText(QStringLiteral("Connected to 127.0.0.1\r\n"));
        QVERIFY(
            status->text(QAccessible::Name).startsWith(QStringLiteral("Connected to 127.0.0.1")));
    }

    // A button a screen reader can only call "button" is no use to its user: every button of
    // the window has a name, the find bar's (and its field's clear button) included.
    void everyButtonHasAName() {
        Fixture f;
        auto *bar = f.get<FindBar>("FindBar");
        bar->openBar();
        QTest::keyClicks(child<QLineEdit>(bar, "txtFind"), QStringLiteral("text"));
        const QStringList names = accessibleButtonNames(f.log);
        QVERIFY2(!names.contains(QString()), qPrintable(names.join(QStringLiteral(", "))));
        QVERIFY(names.contains(QStringLiteral("Close the find bar")));
        QVERIFY(names.contains(QStringLiteral("Clear the find text")));
    }

    void copyKeysPutTheOutputOnTheClipboard() {
        Fixture f;
        OutputPane *pane = f.pane;
        pane->appendText(QStringLiteral("first reply\nwith two lines"));
        pane->appendText(QStringLiteral("\r\n"));
        pane->appendText(QStringLiteral("player \"Bob\" STEAM_0:1:42\n"));
        pane->appendText(QStringLiteral("\r\n"));
        pane->setFocus();
        QTest::keyClick(pane, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("first reply\nwith two lines\nplayer \"Bob\" STEAM_0:1:42\n\n"));
        QTest::keyClick(pane, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("player \"Bob\" STEAM_0:1:42"));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(pane, Qt::Key_Insert, Qt::ControlModifier);
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(QStringLiteral("first reply")));

        // Ctrl+L empties the pane.
        QTest::keyClick(pane, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(pane->text(), QString());
        QCOMPARE(pane->toPlainText(), QString());
    }

    void findHighlightsStepsAndCopiesTheLine() {
        Fixture f;
        OutputPane *pane = f.pane;
        for (int i = 0; i < 60; ++i)
            pane->appendText(QStringLiteral("# %1 \"player%1\" STEAM_0:0:%1 %2\r\n")
                                 .arg(i)
                                 .arg(i % 20 == 7 ? QStringLiteral("needle") : QString()));
        const int end = pane->document()->characterCount() - 1;
        f.log->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.log));
        pane->setFocus();
        QTest::keyClick(pane, Qt::Key_F, Qt::ControlModifier);
        FindBar *bar = f.get<FindBar>("FindBar");
        auto *find = child<QLineEdit>(bar, "txtFind");
        auto *count = child<QLabel>(bar, "LCount");
        QVERIFY(bar->isVisible());
        QVERIFY(find->hasFocus());
        QTest::keyClicks(find, QStringLiteral("NEEDLE"));
        // All three are highlighted; the newest is the current one and is scrolled to.
        QCOMPARE(count->text(), QStringLiteral("3 of 3"));
        QCOMPARE(pane->extraSelections().size(), 3);
        QCOMPARE(pane->textCursor().position(), end);
        QVERIFY(!pane->textCursor().hasSelection());

        QTest::keyClick(find, Qt::Key_Return);
        QCOMPARE(count->text(), QStringLiteral("1 of 3"));
        const int top = pane->verticalScrollBar()->value();
        QVERIFY(top < pane->verticalScrollBar()->maximum());
        QTest::keyClick(find, Qt::Key_F3);
        QCOMPARE(count->text(), QStringLiteral("2 of 3"));
        QTest::keyClick(find, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(find, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(count->text(), QStringLiteral("3 of 3"));
        QTest::keyClick(find, Qt::Key_Return);
        QTest::keyClick(find, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("# 7 \"player7\" STEAM_0:0:7 needle"));
        QCOMPARE(pane->textCursor().position(), end);
        QVERIFY(!pane->textCursor().hasSelection());

        // Neither a reply arriving meanwhile nor an arrow key pulls the view away.
        pane->appendText(QStringLiteral("late needle"));
        QTest::keyClick(pane, Qt::Key_Left);
        QCOMPARE(pane->verticalScrollBar()->value(), top);
        QTest::keyClick(pane, Qt::Key_Down);
        QCOMPARE(pane->verticalScrollBar()->value(), top + 1);
        QCOMPARE(pane->textCursor().position(), pane->document()->characterCount() - 1);
        QTRY_COMPARE(count->text(), QStringLiteral("1 of 4"));

        // Escape closes the bar; the pane follows the newest line again.
        QTest::keyClick(find, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(pane->extraSelections().isEmpty());
        QCOMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
        QVERIFY(pane->toolTip().contains(QStringLiteral("Ctrl+Shift+C")));
    }

    // Replies that arrive while the windows sit in the notification area are there, newest
    // line in view, when the window comes back.
    void hiddenPaneFollowsWhenShownAgain() {
        Fixture f;
        OutputPane *pane = f.pane;
        f.log->hide();
        for (int i = 0; i < 200; ++i)
            pane->appendText(QStringLiteral("line %1\r\n").arg(i));
        f.log->show();
        QVERIFY(pane->verticalScrollBar()->maximum() > 0);
        QTRY_COMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
    }

    // A flood of replies paints the window about once a frame, not once a reply, and the last
    // reply of the flood is painted without anything else happening.
    void floodIsPaintedOnceAFrameAndTheLastReplyShows() {
        Fixture f;
        OutputPane *pane = f.pane;
        QVERIFY(QTest::qWaitForWindowExposed(f.log));
        int paints = 0;
        PaintCounter counter(pane->viewport(), paints);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 300; ++i) {
            pane->appendText(QStringLiteral("reply %1\r\n").arg(i));
            QCoreApplication::processEvents();
        }
        const qint64 elapsed = clock.elapsed();
        const int duringFlood = paints;
        // 60 frames a second at most (with one at once and one for a partial frame); without
        // pacing every turn of the loop above painted.
        QVERIFY2(duringFlood <= elapsed / 16 + 2,
                 qPrintable(QStringLiteral("%1 paints in %2 ms").arg(duringFlood).arg(elapsed)));
        QTRY_VERIFY(paints > duringFlood);
    }

    void dragByBackgroundAndLabels() {
        Fixture f;
        for (QWidget *handle :
             {static_cast<QWidget *>(f.log), static_cast<QWidget *>(f.get<QLabel>("LHost")),
              static_cast<QWidget *>(f.get<QLabel>("Label"))}) {
            const QPoint before = f.log->pos();
            const QPoint grab = handle == f.log ? QPoint(3, 3) : QPoint(2, 2);
            QTest::mousePress(handle, Qt::LeftButton, {}, grab);
            QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(40, 25)),
                             QPointF(handle->mapToGlobal(grab + QPoint(40, 25))), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(handle, &move);
            QTest::mouseRelease(handle, Qt::LeftButton, {}, grab + QPoint(40, 25));
            QCOMPARE(f.log->pos(), before + QPoint(40, 25));
        }
    }
};

QTEST_MAIN(TestFrmLog)
#include "tst_frmlog.moc"
