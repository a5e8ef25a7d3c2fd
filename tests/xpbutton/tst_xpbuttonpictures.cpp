// The twelve pictures against the colour table of the three styles.
#include "rcon/xpbutton/xpbutton.h"
#include "rcon/xpbutton/xpbuttonpictures.h"

#include <QTest>

using State = XpButton::State;

namespace {

QColor at(short style, State state, int x, int y) {
    return XpButtonPictures::forStyle(style)->picture(state).pixelColor(x, y);
}

// Middle column: top border, first face rows, centre, last face rows, bottom border.
constexpr int Mid = 36;

} // namespace

class TestXpButtonPictures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyPictureIsTheButtonSizeWithRoundedCorners();
    void bordersFollowTheTable_data();
    void bordersFollowTheTable();
    void facesFollowTheTable_data();
    void facesFollowTheTable();
    void hoverRimsFollowTheTable();
    void onlyTheThreeStylesExistAndAreDrawnOnce();
};

void TestXpButtonPictures::everyPictureIsTheButtonSizeWithRoundedCorners() {
    for (short style = 0; style <= 2; ++style) {
        for (State state : {State::Normal, State::Hover, State::Pressed, State::Disabled}) {
            const QImage &picture = XpButtonPictures::forStyle(style)->picture(state);
            QCOMPARE(picture.size(), QSize(73, 21));
            // The window shows through the outermost corner pixels.
            for (const QPoint &corner :
                 {QPoint(0, 0), QPoint(72, 0), QPoint(0, 20), QPoint(72, 20)})
                QCOMPARE(picture.pixelColor(corner).alpha(), 0);
            // Everything inside the border is solid.
            for (int y = 1; y < 20; ++y)
                for (int x = 1; x < 72; ++x)
                    QCOMPARE(picture.pixelColor(x, y).alpha(), 255);
        }
    }
}

void TestXpButtonPictures::bordersFollowTheTable_data() {
    QTest::addColumn<short>("style");
    QTest::addColumn<QColor>("border");
    QTest::addColumn<QColor>("disabledBorder");
    QTest::newRow("blue") << short(0) << QColor(0, 60, 116) << QColor(201, 199, 186);
    QTest::newRow("olive") << short(1) << QColor(55, 98, 6) << QColor(202, 196, 184);
    QTest::newRow("silver") << short(2) << QColor(0, 60, 116) << QColor(201, 199, 186);
}

void TestXpButtonPictures::bordersFollowTheTable() {
    QFETCH(short, style);
    QFETCH(QColor, border);
    QFETCH(QColor, disabledBorder);
    for (State state : {State::Normal, State::Hover, State::Pressed}) {
        QCOMPARE(at(style, state, Mid, 0), border);
        QCOMPARE(at(style, state, Mid, 20), border);
        QCOMPARE(at(style, state, 0, 10), border);
        QCOMPARE(at(style, state, 72, 10), border);
    }
    QCOMPARE(at(style, State::Disabled, Mid, 0), disabledBorder);
    QCOMPARE(at(style, State::Disabled, 72, 10), disabledBorder);
}

void TestXpButtonPictures::facesFollowTheTable_data() {
    QTest::addColumn<short>("style");
    QTest::addColumn<QColor>("faceTop");
    QTest::addColumn<QColor>("faceCentre");
    QTest::addColumn<QColor>("faceBottom");
    QTest::addColumn<QColor>("pressedTop");
    QTest::addColumn<QColor>("pressedBelowTop");
    QTest::addColumn<QColor>("pressedBottom");
    QTest::addColumn<QColor>("disabledFace");
    const QColor white(255, 255, 255);
    // Blue: near-white face under a white top line; flat pressed face.
    QTest::newRow("blue") << short(0) << white << QColor(245, 245, 241) << QColor()
                          << QColor(226, 225, 217) << QColor(226, 225, 217) << QColor(226, 225, 217)
                          << QColor(245, 244, 234);
    QTest::newRow("olive") << short(1) << QColor() << QColor(249, 246, 229) << QColor()
                           << QColor(236, 227, 206) << QColor(236, 227, 206)
                           << QColor(236, 227, 206) << QColor(246, 242, 233);
    // Silver: white shading to lavender; pressed: white line, then dark shading to white.
    QTest::newRow("silver") << short(2) << white << QColor() << QColor(198, 197, 215) << white
                            << QColor(172, 171, 189) << white << QColor(245, 244, 234);
}

void TestXpButtonPictures::facesFollowTheTable() {
    QFETCH(short, style);
    QFETCH(QColor, faceTop);
    QFETCH(QColor, faceCentre);
    QFETCH(QColor, faceBottom);
    QFETCH(QColor, pressedTop);
    QFETCH(QColor, pressedBelowTop);
    QFETCH(QColor, pressedBottom);
    QFETCH(QColor, disabledFace);
    if (faceTop.isValid())
        QCOMPARE(at(style, State::Normal, Mid, 1), faceTop);
    if (faceCentre.isValid())
        QCOMPARE(at(style, State::Normal, Mid, 10), faceCentre);
    if (faceBottom.isValid())
        QCOMPARE(at(style, State::Normal, Mid, 19), faceBottom);
    // The hover picture keeps the normal face inside its rim.
    QCOMPARE(at(style, State::Hover, Mid, 10), at(style, State::Normal, Mid, 10));
    QCOMPARE(at(style, State::Pressed, Mid, 1), pressedTop);
    QCOMPARE(at(style, State::Pressed, Mid, 2), pressedBelowTop);
    QCOMPARE(at(style, State::Pressed, Mid, 19), pressedBottom);
    QCOMPARE(at(style, State::Pressed, 1, 10), at(style, State::Pressed, 71, 10));
    for (const QPoint &p : {QPoint(Mid, 1), QPoint(Mid, 10), QPoint(Mid, 19), QPoint(1, 10)})
        QCOMPARE(at(style, State::Disabled, p.x(), p.y()), disabledFace);
    // Silver darkens steadily from its white top to its lavender bottom.
    if (style == 2) {
        for (int y = 2; y <= 19; ++y)
            QVERIFY(at(style, State::Normal, Mid, y).lightness() <=
                    at(style, State::Normal, Mid, y - 1).lightness());
    }
}

void TestXpButtonPictures::hoverRimsFollowTheTable() {
    // Blue: two light rows at the top, two orange rows at the bottom.
    QCOMPARE(at(0, State::Hover, Mid, 1), QColor(255, 240, 207));
    QCOMPARE(at(0, State::Hover, Mid, 2), QColor(253, 216, 137));
    QCOMPARE(at(0, State::Hover, Mid, 18), QColor(248, 179, 48));
    QCOMPARE(at(0, State::Hover, Mid, 19), QColor(229, 151, 0));
    QCOMPARE(at(0, State::Hover, Mid, 3), at(0, State::Normal, Mid, 3));
    // Olive and silver shade their rims from the top colour to the bottom one.
    QCOMPARE(at(1, State::Hover, Mid, 1), QColor(252, 197, 149));
    QCOMPARE(at(1, State::Hover, Mid, 19), QColor(207, 114, 37));
    QCOMPARE(at(2, State::Hover, Mid, 1), QColor(255, 240, 207));
    QCOMPARE(at(2, State::Hover, Mid, 19), QColor(229, 151, 0));
    // The rim runs down both sides, two pixels wide, and the face starts inside it.
    for (short style = 0; style <= 2; ++style) {
        const QColor top = at(style, State::Hover, Mid, 1);
        const QColor bottom = at(style, State::Hover, Mid, 19);
        for (int x : {1, 2, 70, 71}) {
            const QColor side = at(style, State::Hover, x, 10);
            QVERIFY2(side.red() <= top.red() && side.red() >= bottom.red(),
                     qPrintable(QStringLiteral("style %1 x %2").arg(style).arg(x)));
            QVERIFY(side != at(style, State::Normal, x, 10));
        }
        QCOMPARE(at(style, State::Hover, 3, 10), at(style, State::Normal, 3, 10));
    }
}

void TestXpButtonPictures::onlyTheThreeStylesExistAndAreDrawnOnce() {
    for (short style : {short(-1), short(3), short(4), short(32767)})
        QCOMPARE(XpButtonPictures::forStyle(style), nullptr);
    for (short style = 0; style <= 2; ++style) {
        const XpButtonPictures *first = XpButtonPictures::forStyle(style);
        QVERIFY(first);
        QCOMPARE(XpButtonPictures::forStyle(style), first);
        QCOMPARE(first->picture(State::Hover).cacheKey(),
                 XpButtonPictures::forStyle(style)->picture(State::Hover).cacheKey());
    }
}

QTEST_MAIN(TestXpButtonPictures)
#include "tst_xpbuttonpictures.moc"
