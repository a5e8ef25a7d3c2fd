// The output window: the pane keeps its caret at the end, a right click opens the main
// window's menus, and the borderless window can be dragged by its background and labels.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/console/findbar.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/protocol/rconsession.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
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

    struct Fixture {
        Fixture() {
            program = std::make_unique<Program>(folder.path(), folder.optionsFile(), platform);
            program->start();
            log = program->frmLog();
        }
        ProgramFolder folder;
        FakePlatform platform;
        std::unique_ptr<Program> program;
        FrmLog *log = nullptr;
    };

private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void borderlessWindowOfFixedSize() {
        Fixture f;
        QVERIFY(f.log->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(f.log->size(), QSize(468, 270));
        QCOMPARE(f.log->LHost->text(), QStringLiteral("Not Connected"));
        QCOMPARE(f.log->Label->text(), QStringLiteral("Talvero -"));
    }

    void caretReturnsToTheEnd() {
        Fixture f;
        OutputPane *pane = f.log->TxtGet;
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
        OutputPane *pane = f.log->TxtGet;
        pane->appendText(QStringLiteral("reply"));
        pane->setFocus();
        QTest::keyClicks(pane, QStringLiteral("typed"));
        QCOMPARE(pane->toPlainText(), QStringLiteral("reply"));
    }

    void rightClickOpensOptionsThenCommands() {
        Fixture f;
        FrmRcon *main = f.program->frmRcon();
        QTest::mouseClick(f.log->TxtGet->viewport(), Qt::RightButton, {}, QPoint(10, 10));
        QTRY_VERIFY(main->MnuOptions->isVisible());
        QVERIFY(!main->MnuCommands->isVisible());
        main->MnuOptions->close();

        QVERIFY(f.program->mainSession().open(QStringLiteral("127.0.0.1"), 27015));
        QTest::mouseClick(f.log->TxtGet->viewport(), Qt::RightButton, {}, QPoint(10, 10));
        QTRY_VERIFY(main->MnuCommands->isVisible());
        main->MnuCommands->close();

        // The menu key opens the same menu from the keyboard.
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(f.log->TxtGet->viewport(), &key);
        QTRY_VERIFY(main->MnuCommands->isVisible());
        main->MnuCommands->close();
        // And so does Shift+F10.
        QTest::keyClick(f.log->TxtGet, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(main->MnuCommands->isVisible());
        main->MnuCommands->close();
    }

    void outputWindowResizesAndThePaneFollows() {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(f.log));
        QCOMPARE(f.log->size(), QSize(468, 270));
        const QSize pane = f.log->TxtGet->size();
        f.log->resize(700, 420);
        QTRY_COMPARE(f.log->TxtGet->size(), pane + QSize(700 - 468, 420 - 270));
        // The grip sits in the lower right corner.
        QCOMPARE(f.log->Grip->geometry().bottomRight(), f.log->rect().bottomRight());
        // From the keyboard, never below the designed size.
        f.log->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.log));
        QTest::keyClick(f.log->TxtGet, Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(f.log->width(), 700 + FrmLog::SizeStep);
        f.log->resize(470, 272);
        QTest::keyClick(f.log->TxtGet, Qt::Key_Up, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(f.log->size(), QSize(470, 270));
    }

    void screenReaderReadsTheConnectionStatus() {
        Fixture f;
        QAccessibleInterface *status = QAccessible::queryAccessibleInterface(f.log->LHost);
        QVERIFY(status);
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("Not Connected"));
        f.log->LHost->setText(QStringLiteral("Connected to 127.0.0.1\r\n"));
        QVERIFY(
            status->text(QAccessible::Name).startsWith(QStringLiteral("Connected to 127.0.0.1")));
    }

    // A button a screen reader can only call "button" is no use to its user: every button of
    // the two windows has a name, the find bar's (and its field's clear button) included.
    void everyButtonHasAName() {
        Fixture f;
        f.log->findBar->openBar();
        QTest::keyClicks(f.log->findBar->txtFind, QStringLiteral("text"));
        QStringList nameless;
        QStringList names;
        std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *item) {
            if (!item)
                return;
            if (item->role() == QAccessible::Button || item->role() == QAccessible::PushButton) {
                const QString name = item->text(QAccessible::Name);
                names.append(name);
                if (name.trimmed().isEmpty())
                    nameless.append(QString::fromLatin1(item->object()->metaObject()->className()));
            }
            for (int child = 0; child < item->childCount(); ++child)
                walk(item->child(child));
        };
        walk(QAccessible::queryAccessibleInterface(f.log));
        walk(QAccessible::queryAccessibleInterface(f.program->frmRcon()));
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));
        QVERIFY(names.contains(QStringLiteral("Close the find bar")));
        QVERIFY(names.contains(QStringLiteral("Clear the find text")));
        QVERIFY(names.contains(QStringLiteral("Send console command")));
    }

    void copyKeysPutTheOutputOnTheClipboard() {
        Fixture f;
        OutputPane *pane = f.log->TxtGet;
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
        OutputPane *pane = f.log->TxtGet;
        for (int i = 0; i < 60; ++i)
            pane->appendText(QStringLiteral("# %1 \"player%1\" STEAM_0:0:%1 %2\r\n")
                                 .arg(i)
                                 .arg(i % 20 == 7 ? QStringLiteral("needle") : QString()));
        const int end = pane->document()->characterCount() - 1;
        f.log->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.log));
        pane->setFocus();
        QTest::keyClick(pane, Qt::Key_F, Qt::ControlModifier);
        FindBar *bar = f.log->findBar;
        QVERIFY(bar->isVisible());
        QVERIFY(bar->txtFind->hasFocus());
        QTest::keyClicks(bar->txtFind, QStringLiteral("NEEDLE"));
        // All three are highlighted; the newest is the current one and is scrolled to.
        QCOMPARE(bar->LCount->text(), QStringLiteral("3 of 3"));
        QCOMPARE(pane->extraSelections().size(), 3);
        QCOMPARE(pane->textCursor().position(), end);
        QVERIFY(!pane->textCursor().hasSelection());

        QTest::keyClick(bar->txtFind, Qt::Key_Return);
        QCOMPARE(bar->LCount->text(), QStringLiteral("1 of 3"));
        const int top = pane->verticalScrollBar()->value();
        QVERIFY(top < pane->verticalScrollBar()->maximum());
        QTest::keyClick(bar->txtFind, Qt::Key_F3);
        QCOMPARE(bar->LCount->text(), QStringLiteral("2 of 3"));
        QTest::keyClick(bar->txtFind, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(bar->txtFind, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(bar->LCount->text(), QStringLiteral("3 of 3"));
        QTest::keyClick(bar->txtFind, Qt::Key_Return);
        QTest::keyClick(bar->txtFind, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
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
        QTRY_COMPARE(bar->LCount->text(), QStringLiteral("1 of 4"));

        // Escape closes the bar; the pane follows the newest line again.
        QTest::keyClick(bar->txtFind, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(pane->extraSelections().isEmpty());
        QCOMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
        QVERIFY(pane->toolTip().contains(QStringLiteral("Ctrl+Shift+C")));
    }

    // Replies that arrive while the windows sit in the notification area are there, newest
    // line in view, when the window comes back.
    void hiddenPaneFollowsWhenShownAgain() {
        Fixture f;
        OutputPane *pane = f.log->TxtGet;
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
        OutputPane *pane = f.log->TxtGet;
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
        for (QWidget *handle : {static_cast<QWidget *>(f.log), static_cast<QWidget *>(f.log->LHost),
                                static_cast<QWidget *>(f.log->Label)}) {
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
