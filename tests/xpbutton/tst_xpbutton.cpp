// The push button as users and windows drive it: pointer, keyboard, focus, enabling, styles.
#include "rcon/kit/fonts.h"
#include "rcon/xpbutton/xpbutton.h"
#include "rcon/xpbutton/xpbuttonpictures.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QAccessible>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

const QPoint OnCaption(36, 11);
const QPoint OnMargin(2, 10);

// A window holding a text field and two buttons, shown and active, with the click sound
// going to a fake desktop.
struct Scene {
    struct Clicked {
        short button;
        short shift;
        float x;
        float y;
        XpButton::State stateWhenRaised;
        qsizetype soundsWhenRaised;
    };

    ProgramFolder folder;
    FakePlatform platform;
    QWidget window;
    QLineEdit *field = new QLineEdit(&window);
    XpButton *button = new XpButton(&window);
    XpButton *other = new XpButton(&window);
    QList<Clicked> clicks;

    Scene() {
        window.resize(240, 80);
        field->setGeometry(10, 10, 120, 22);
        button->move(10, 45);
        other->move(100, 45);
        button->setClickSound(&platform, soundPath());
        button->ButtonStyle(2);
        other->ButtonStyle(2);
        QObject::connect(
            button, &XpButton::Click, button, [this](short b, short shift, float x, float y) {
                clicks.append({b, shift, x, y, button->state(), platform.sounds.size()});
            });
    }

    QString soundPath() const { return folder.filePath(QStringLiteral("85858.wav")); }

    bool showActive() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    QImage picture(XpButton::State state) const {
        return XpButtonPictures::forStyle(2)->picture(state);
    }
};

} // namespace

class TestXpButton : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void newButtonHasCaptionButNoPicture();
    void leftClickShowsPressedThenNormalThenSoundsThenClicks();
    void rightAndMiddleClicksKeepThePicture();
    void clickReportsModifierKeysAndPosition();
    void marginAroundCaptionIgnoresThePointer();
    void draggingOffTheCaptionCancelsTheClick();
    void hoverFollowsPointerWithoutTakingFocus();
    void keyboardFocusShowsHoverUntilLost();
    void focusLossLetsGoOfAPressedButton();
    void enterAndSpaceClickTheFocusedButton();
    void heldEnterClicksOnce();
    void altAndUnderlinedLetterClickWithoutMovingFocus();
    void sameLetterOnTwoButtonsMovesFocusInstead();
    void disabledButtonIsGreyAndDeaf();
    void reenabledButtonShowsNormalPictureUnderPointer();
    void buttonStyleSwapsPictureSetsAndIgnoresOthers();
    void styleChosenWhileDisabledShowsDisabledPicture();
    void resizingAlwaysReturnsToFixedSize();
    void aLongCaptionWidensTheButtonWholly();
    void windowsReachPropertiesLateBound();
    void assistiveTechnologySeesANamedPushButton();
};

void TestXpButton::init() {
    talvero::registerApplicationFonts();
}

void TestXpButton::newButtonHasCaptionButNoPicture() {
    ProgramFolder folder;
    FakePlatform platform;
    XpButton button;
    button.setClickSound(&platform, folder.filePath(QStringLiteral("85858.wav")));
    QCOMPARE(button.Caption(), QStringLiteral("button"));
    QVERIFY(button.currentPicture().isNull());
    QCOMPARE(button.size(), QSize(73, 21));
    QCOMPARE(button.state(), XpButton::State::Normal);
    auto *label = button.findChild<QLabel *>();
    QVERIFY(label);
    QCOMPARE(label->geometry(), QRect(5, 3, 63, 17));
    QCOMPARE(label->font().family(), talvero::tahoma(8.25).family());
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));

    // Still a working button without a picture.
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicked(&button, &XpButton::Click);
    QTest::mouseClick(&button, Qt::LeftButton, {}, OnCaption);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(platform.sounds, QStringList{folder.filePath(QStringLiteral("85858.wav"))});
}

void TestXpButton::leftClickShowsPressedThenNormalThenSoundsThenClicks() {
    Scene scene;
    QVERIFY(scene.showActive());
    QTest::mousePress(scene.button, Qt::LeftButton, {}, OnCaption);
    QCOMPARE(scene.button->state(), XpButton::State::Pressed);
    QCOMPARE(scene.button->currentPicture().toImage(), scene.picture(XpButton::State::Pressed));
    QVERIFY(scene.platform.sounds.isEmpty());
    QVERIFY(scene.clicks.isEmpty());

    QTest::mouseRelease(scene.button, Qt::LeftButton, {}, OnCaption);
    QCOMPARE(scene.clicks.size(), 1);
    const Scene::Clicked &click = scene.clicks.first();
    QCOMPARE(click.button, short(1));
    QCOMPARE(click.stateWhenRaised, XpButton::State::Normal);
    QCOMPARE(click.soundsWhenRaised, 1);
    QCOMPARE(scene.platform.sounds, QStringList{scene.soundPath()});
    // The pointer still rests on the caption, so the button settles on its hover picture.
    QCOMPARE(scene.button->state(), XpButton::State::Hover);
    QVERIFY(scene.platform.exitCodes.isEmpty());
}

void TestXpButton::rightAndMiddleClicksKeepThePicture() {
    Scene scene;
    QVERIFY(scene.showActive());
    scene.field->setFocus();
    QTest::mouseMove(scene.button, OnCaption);
    QTRY_COMPARE(scene.button->state(), XpButton::State::Hover);

    QTest::mousePress(scene.button, Qt::RightButton, {}, OnCaption);
    QCOMPARE(scene.button->state(), XpButton::State::Hover);
    QTest::mouseRelease(scene.button, Qt::RightButton, {}, OnCaption);
    QCOMPARE(scene.button->state(), XpButton::State::Hover);
    QTest::mouseClick(scene.button, Qt::MiddleButton, {}, OnCaption);

    QCOMPARE(scene.clicks.size(), 2);
    QCOMPARE(scene.clicks[0].button, short(2));
    QCOMPARE(scene.clicks[0].stateWhenRaised, XpButton::State::Hover);
    QCOMPARE(scene.clicks[1].button, short(4));
    QCOMPARE(scene.platform.sounds.size(), 2);
}

void TestXpButton::clickReportsModifierKeysAndPosition() {
    Scene scene;
    QVERIFY(scene.showActive());
    const QPoint at(20, 8);
    QTest::mouseClick(scene.button, Qt::LeftButton, Qt::ShiftModifier, at);
    QTest::mouseClick(scene.button, Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier, at);
    QTest::mouseClick(scene.button, Qt::RightButton,
                      Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier, at);
    QCOMPARE(scene.clicks.size(), 3);
    QCOMPARE(scene.clicks[0].shift, short(1));
    QCOMPARE(scene.clicks[1].shift, short(6));
    QCOMPARE(scene.clicks[2].shift, short(7));
    // Relative to the caption, which starts 5 pixels in and 3 down.
    QCOMPARE(scene.clicks[0].x, 15.0f);
    QCOMPARE(scene.clicks[0].y, 5.0f);
}

void TestXpButton::marginAroundCaptionIgnoresThePointer() {
    Scene scene;
    QVERIFY(scene.showActive());
    scene.field->setFocus();
    QTest::mouseMove(scene.button, OnMargin);
    QTest::mousePress(scene.button, Qt::LeftButton, {}, OnMargin);
    QVERIFY(scene.button->state() != XpButton::State::Pressed);
    QTest::mouseRelease(scene.button, Qt::LeftButton, {}, OnMargin);
    QTest::mouseClick(scene.button, Qt::RightButton, {}, QPoint(70, 1));
    QVERIFY(scene.clicks.isEmpty());
    QVERIFY(scene.platform.sounds.isEmpty());
}

void TestXpButton::draggingOffTheCaptionCancelsTheClick() {
    Scene scene;
    QVERIFY(scene.showActive());
    QTest::mousePress(scene.button, Qt::LeftButton, {}, OnCaption);
    QCOMPARE(scene.button->state(), XpButton::State::Pressed);
    QMouseEvent dragOff(QEvent::MouseMove, QPointF(OnMargin), scene.button->mapToGlobal(OnMargin),
                        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(scene.button, &dragOff);
    QVERIFY(scene.button->state() != XpButton::State::Pressed);
    QMouseEvent dragBack(QEvent::MouseMove, QPointF(OnCaption),
                         scene.button->mapToGlobal(OnCaption), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(scene.button, &dragBack);
    QCOMPARE(scene.button->state(), XpButton::State::Pressed);
    QApplication::sendEvent(scene.button, &dragOff);
    QTest::mouseRelease(scene.button, Qt::LeftButton, {}, OnMargin);
    QVERIFY(scene.clicks.isEmpty());
    QVERIFY(scene.platform.sounds.isEmpty());
    QVERIFY(scene.button->state() != XpButton::State::Pressed);
}

void TestXpButton::hoverFollowsPointerWithoutTakingFocus() {
    Scene scene;
    QVERIFY(scene.showActive());
    scene.field->setFocus();
    QTRY_VERIFY(scene.field->hasFocus());
    QCOMPARE(scene.button->state(), XpButton::State::Normal);

    QTest::mouseMove(scene.button, OnCaption);
    QTRY_COMPARE(scene.button->state(), XpButton::State::Hover);
    QCOMPARE(scene.button->currentPicture().toImage(), scene.picture(XpButton::State::Hover));
    QVERIFY(scene.field->hasFocus());

    // Onto the next button: the first goes back to normal, the field keeps the focus.
    QTest::mouseMove(scene.other, OnCaption);
    QTRY_COMPARE(scene.other->state(), XpButton::State::Hover);
    QTRY_COMPARE(scene.button->state(), XpButton::State::Normal);
    QVERIFY(scene.field->hasFocus());

    // The margin is not the caption.
    QTest::mouseMove(scene.other, OnMargin);
    QTRY_COMPARE(scene.other->state(), XpButton::State::Normal);
}

void TestXpButton::keyboardFocusShowsHoverUntilLost() {
    Scene scene;
    QVERIFY(scene.showActive());
    scene.field->setFocus();
    QTRY_VERIFY(scene.field->hasFocus());
    QTest::keyClick(scene.field, Qt::Key_Tab);
    QTRY_VERIFY(scene.button->hasFocus());
    QCOMPARE(scene.button->state(), XpButton::State::Hover);

    // The pointer passing over and away leaves a focused button on hover.
    QTest::mouseMove(scene.button, OnCaption);
    QTest::mouseMove(scene.other, OnMargin);
    QTRY_VERIFY(!scene.button->underMouse());
    QCOMPARE(scene.button->state(), XpButton::State::Hover);

    QTest::keyClick(scene.button, Qt::Key_Tab);
    QTRY_VERIFY(scene.other->hasFocus());
    QCOMPARE(scene.button->state(), XpButton::State::Normal);
    QCOMPARE(scene.other->state(), XpButton::State::Hover);
}

void TestXpButton::focusLossLetsGoOfAPressedButton() {
    Scene scene;
    QVERIFY(scene.showActive());
    QTest::mousePress(scene.button, Qt::LeftButton, {}, OnCaption);
    QCOMPARE(scene.button->state(), XpButton::State::Pressed);
    scene.field->setFocus();
    QTRY_VERIFY(scene.field->hasFocus());
    QVERIFY(scene.button->state() != XpButton::State::Pressed);
    QTest::mouseRelease(scene.button, Qt::LeftButton, {}, OnCaption);
    QVERIFY(scene.clicks.isEmpty());
}

void TestXpButton::enterAndSpaceClickTheFocusedButton() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        Scene scene;
        QVERIFY(scene.showActive());
        scene.button->setFocus();
        QTRY_VERIFY(scene.button->hasFocus());
        QTest::keyPress(scene.button, key);
        QCOMPARE(scene.button->state(), XpButton::State::Pressed);
        QVERIFY(scene.clicks.isEmpty());
        QTest::keyRelease(scene.button, key);
        QCOMPARE(scene.clicks.size(), 1);
        QCOMPARE(scene.clicks[0].button, short(1));
        QCOMPARE(scene.clicks[0].stateWhenRaised, XpButton::State::Normal);
        QCOMPARE(scene.clicks[0].soundsWhenRaised, 1);
        QCOMPARE(scene.button->state(), XpButton::State::Hover);
        QVERIFY(scene.platform.exitCodes.isEmpty());
        QVERIFY(scene.window.isVisible());
    }
}

void TestXpButton::heldEnterClicksOnce() {
    Scene scene;
    QVERIFY(scene.showActive());
    scene.button->setFocus();
    QTRY_VERIFY(scene.button->hasFocus());
    QKeyEvent first(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(scene.button, &first);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QKeyEvent repeatDown(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(scene.button, &repeatUp);
        QApplication::sendEvent(scene.button, &repeatDown);
    }
    QVERIFY(scene.clicks.isEmpty());
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(scene.button, &up);
    QCOMPARE(scene.clicks.size(), 1);
}

void TestXpButton::altAndUnderlinedLetterClickWithoutMovingFocus() {
    Scene scene;
    scene.button->setCaption(QStringLiteral("&Close"));
    QVERIFY(scene.showActive());
    scene.field->setFocus();
    QTRY_VERIFY(scene.field->hasFocus());
    QTest::keyClicks(scene.field, QStringLiteral("stat"));
    QTest::keyClick(scene.field, Qt::Key_C, Qt::AltModifier);
    QCOMPARE(scene.clicks.size(), 1);
    QCOMPARE(scene.clicks[0].button, short(1));
    QCOMPARE(scene.platform.sounds.size(), 1);
    QVERIFY(scene.field->hasFocus());
    QCOMPARE(scene.field->text(), QStringLiteral("stat"));

    // A plain "c" typed in the field is text, not the shortcut.
    QTest::keyClick(scene.field, Qt::Key_C);
    QCOMPARE(scene.clicks.size(), 1);
    QCOMPARE(scene.field->text(), QStringLiteral("statc"));

    // A new caption brings its own letter.
    scene.button->setCaption(QStringLiteral("E&xit"));
    QTest::keyClick(scene.field, Qt::Key_C, Qt::AltModifier);
    QCOMPARE(scene.clicks.size(), 1);
    QTest::keyClick(scene.field, Qt::Key_X, Qt::AltModifier);
    QCOMPARE(scene.clicks.size(), 2);
}

void TestXpButton::sameLetterOnTwoButtonsMovesFocusInstead() {
    Scene scene;
    scene.button->setCaption(QStringLiteral("&Send"));
    scene.other->setCaption(QStringLiteral("&Settings"));
    QVERIFY(scene.showActive());
    scene.field->setFocus();
    QTRY_VERIFY(scene.field->hasFocus());
    QTest::keyClick(scene.field, Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(scene.button->hasFocus() || scene.other->hasFocus());
    QVERIFY(scene.clicks.isEmpty());
}

void TestXpButton::disabledButtonIsGreyAndDeaf() {
    Scene scene;
    scene.button->setCaption(QStringLiteral("&Close"));
    QVERIFY(scene.showActive());
    scene.button->setFocus();
    QTRY_VERIFY(scene.button->hasFocus());

    scene.button->setEnabledProperty(false);
    QVERIFY(!scene.button->Enabled());
    QVERIFY(!scene.button->isEnabled());
    QCOMPARE(scene.button->state(), XpButton::State::Disabled);
    QCOMPARE(scene.button->currentPicture().toImage(), scene.picture(XpButton::State::Disabled));
    auto *label = scene.button->findChild<QLabel *>();
    QCOMPARE(label->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(0x808080));
    // The caption is painted grey, whatever disabled text colour the style has: its darkest
    // pixel is the caption's grey, where the enabled caption's is near black.
    const auto darkest = [label] {
        const QImage image = label->grab().toImage();
        int least = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                least = std::min(least, qGray(image.pixel(x, y)));
        return least;
    };
    QVERIFY2(qAbs(darkest() - 0x80) <= 0x10, QByteArray::number(darkest()));

    QTest::mouseClick(scene.button, Qt::LeftButton, {}, OnCaption);
    QTest::mouseMove(scene.button, OnCaption);
    QTest::keyClick(scene.button, Qt::Key_Return);
    QTest::keyClick(scene.window.focusWidget() ? scene.window.focusWidget() : &scene.window,
                    Qt::Key_C, Qt::AltModifier);
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(scene.button);
    access->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(scene.clicks.isEmpty());
    QVERIFY(scene.platform.sounds.isEmpty());
    QCOMPARE(scene.button->state(), XpButton::State::Disabled);

    // Plain setEnabled, as a window disabling its buttons does, works the same.
    scene.button->setEnabled(true);
    QCOMPARE(scene.button->state(), XpButton::State::Normal);
    QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::black));
    QVERIFY2(darkest() < 0x40, QByteArray::number(darkest()));
    scene.button->setEnabled(false);
    QCOMPARE(scene.button->state(), XpButton::State::Disabled);

    // A window disabled as a whole greys its buttons too.
    scene.button->setEnabled(true);
    scene.window.setEnabled(false);
    QCOMPARE(scene.button->state(), XpButton::State::Disabled);
    scene.window.setEnabled(true);
    QCOMPARE(scene.button->state(), XpButton::State::Normal);
}

void TestXpButton::reenabledButtonShowsNormalPictureUnderPointer() {
    Scene scene;
    QVERIFY(scene.showActive());
    scene.field->setFocus();
    QTest::mouseMove(scene.button, OnCaption);
    QTRY_COMPARE(scene.button->state(), XpButton::State::Hover);
    scene.button->setProperty("Enabled", false);
    QCOMPARE(scene.button->state(), XpButton::State::Disabled);
    scene.button->setProperty("Enabled", true);
    QCOMPARE(scene.button->state(), XpButton::State::Normal);
    QCOMPARE(scene.button->currentPicture().toImage(), scene.picture(XpButton::State::Normal));
    // The next move over the caption shows the hover picture again.
    QTest::mouseMove(scene.button, OnCaption + QPoint(1, 0));
    QTRY_COMPARE(scene.button->state(), XpButton::State::Hover);
}

void TestXpButton::buttonStyleSwapsPictureSetsAndIgnoresOthers() {
    XpButton button;
    for (short style : {short(0), short(1), short(2)}) {
        button.ButtonStyle(style);
        QCOMPARE(button.currentPicture().toImage(),
                 XpButtonPictures::forStyle(style)->picture(XpButton::State::Normal));
        QCOMPARE(button.size(), QSize(73, 21));
    }
    const QImage silver = button.currentPicture().toImage();
    for (short style : {short(3), short(-1), short(255)}) {
        button.ButtonStyle(style);
        QCOMPARE(button.currentPicture().toImage(), silver);
    }
    // An unknown style on a button that never had one leaves it without a picture.
    XpButton plain;
    plain.ButtonStyle(3);
    QVERIFY(plain.currentPicture().isNull());

    // Each style's pictures differ from the others'.
    QVERIFY(XpButtonPictures::forStyle(0)->picture(XpButton::State::Normal) !=
            XpButtonPictures::forStyle(1)->picture(XpButton::State::Normal));
    QVERIFY(XpButtonPictures::forStyle(1)->picture(XpButton::State::Normal) !=
            XpButtonPictures::forStyle(2)->picture(XpButton::State::Normal));
}

void TestXpButton::styleChosenWhileDisabledShowsDisabledPicture() {
    XpButton button;
    button.setEnabled(false);
    QCOMPARE(button.state(), XpButton::State::Disabled);
    button.ButtonStyle(1);
    QCOMPARE(button.currentPicture().toImage(),
             XpButtonPictures::forStyle(1)->picture(XpButton::State::Disabled));
}

void TestXpButton::resizingAlwaysReturnsToFixedSize() {
    QWidget window;
    auto *button = new XpButton(&window);
    button->ButtonStyle(0);
    auto *inLayout = new XpButton;
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(inLayout);
    window.resize(400, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(inLayout->size(), QSize(73, 21));

    button->resize(200, 60);
    QCOMPARE(button->size(), QSize(73, 21));
    // Even a container that lifts the fixed size first gets it back.
    button->setMinimumSize(0, 0);
    button->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    button->resize(10, 5);
    QCOMPARE(button->size(), QSize(73, 21));
    button->setMinimumSize(0, 0);
    button->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    button->setGeometry(3, 4, 150, 40);
    QCOMPARE(button->geometry(), QRect(3, 4, 73, 21));
}

// A caption longer than the picture is wide gets a wider button, fixed at that width, whose
// face is drawn across it and whose whole caption is shown and clickable.
void TestXpButton::aLongCaptionWidensTheButtonWholly() {
    Scene scene;
    scene.button->setCaption(QStringLiteral("Import &recent servers"));
    scene.button->fitCaption();
    auto *caption = scene.button->findChild<QLabel *>();
    const int text =
        caption->fontMetrics().horizontalAdvance(QStringLiteral("Import recent servers"));
    QVERIFY(scene.button->width() > 73);
    QVERIFY(caption->width() >= text);
    QCOMPARE(scene.button->sizeHint(), scene.button->size());
    scene.button->resize(73, 21);
    QCOMPARE(scene.button->width(), scene.button->buttonWidth());
    QVERIFY(scene.showActive());
    // The face is drawn to the far end (above the caption, row 2), and the border closes it.
    const QImage shown = scene.button->grab().toImage();
    const QImage picture = scene.picture(scene.button->state());
    QCOMPARE(shown.pixelColor(scene.button->width() - 10, 2), picture.pixelColor(36, 2));
    QCOMPARE(shown.pixelColor(scene.button->width() - 1, 10), picture.pixelColor(72, 10));
    QTest::mouseClick(scene.button, Qt::LeftButton, {}, QPoint(scene.button->width() - 12, 10));
    QCOMPARE(scene.clicks.size(), 1);
    // A short caption keeps the picture's width.
    scene.other->setCaption(QStringLiteral("OK"));
    scene.other->fitCaption();
    QCOMPARE(scene.other->width(), 73);
}

void TestXpButton::windowsReachPropertiesLateBound() {
    XpButton button;
    QVERIFY(button.setProperty("Caption", QStringLiteral("&Connect")));
    QCOMPARE(button.Caption(), QStringLiteral("&Connect"));
    QCOMPARE(button.property("Caption").toString(), QStringLiteral("&Connect"));
    QCOMPARE(button.property("Enabled").toBool(), true);
    QVERIFY(QMetaObject::invokeMethod(&button, "ButtonStyle", Q_ARG(short, 1)));
    QCOMPARE(button.currentPicture().toImage(),
             XpButtonPictures::forStyle(1)->picture(XpButton::State::Normal));
    QVERIFY(button.metaObject()->indexOfSignal("Click(short,short,float,float)") >= 0);
}

void TestXpButton::assistiveTechnologySeesANamedPushButton() {
    Scene scene;
    scene.button->setCaption(QStringLiteral("&Close"));
    QVERIFY(scene.showActive());
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(scene.button);
    QVERIFY(access);
    QCOMPARE(access->role(), QAccessible::PushButton);
    QCOMPARE(access->text(QAccessible::Name), QStringLiteral("Close"));
    // Announced once: the caption is the button's name, not a separate text inside it.
    QCOMPARE(access->childCount(), 0);
    QVERIFY(access->state().focusable);
    QVERIFY(!access->state().disabled);

    scene.button->setCaption(QStringLiteral("Save && E&xit"));
    QCOMPARE(access->text(QAccessible::Name), QStringLiteral("Save & Exit"));
    QVERIFY(access->actionInterface());
    const QStringList actions = access->actionInterface()->actionNames();
    QVERIFY(actions.contains(QAccessibleActionInterface::pressAction()));
    QCOMPARE(
        access->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
        QStringList{QKeySequence(Qt::ALT | Qt::Key_X).toString(QKeySequence::NativeText)});

    access->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(scene.clicks.size(), 1);
    QCOMPARE(scene.clicks[0].button, short(1));
    QCOMPARE(scene.platform.sounds.size(), 1);

    scene.button->setEnabled(false);
    QVERIFY(access->state().disabled);
}

QTEST_MAIN(TestXpButton)
#include "tst_xpbutton.moc"
