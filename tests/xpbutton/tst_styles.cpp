// The caption page of the window designer, working on a selection of buttons.
#include "rcon/kit/fonts.h"
#include "rcon/xpbutton/styles.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {
QLineEdit *captionField(const Styles &page) {
    return child<QLineEdit>(&page, "txtCaption");
}
} // namespace

class TestStyles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void pageShowsItsFrameAndPrompt();
    void selectingANewButtonShowsItsDefaultCaption();
    void typingMarksThePageChanged();
    void applyChangesOnlyTheFirstOfThreeButtons();
    void nothingSelectedAppliesNothing();
    void firstButtonDeletedAfterSelectionAppliesNothing();
    void designerWriterReceivesTheCaption();
};

void TestStyles::init() {
    talvero::registerApplicationFonts();
}

void TestStyles::pageShowsItsFrameAndPrompt() {
    ProgramFolder folder;
    Styles page;
    QCOMPARE(page.windowTitle(), QStringLiteral("Styles"));
    auto *frame = page.findChild<QGroupBox *>();
    QVERIFY(frame);
    QCOMPARE(frame->title(), QStringLiteral("Caption"));
    auto *prompt = frame->findChild<QLabel *>();
    QVERIFY(prompt);
    QCOMPARE(prompt->text(), QStringLiteral("Enter the buttons Caption"));
    QCOMPARE(prompt->font().family(), talvero::tahoma(8.25).family());
    // The caption's field lies in the frame.
    QCOMPARE(frame->findChild<QLineEdit *>(QStringLiteral("txtCaption")), captionField(page));
}

void TestStyles::selectingANewButtonShowsItsDefaultCaption() {
    ProgramFolder folder;
    XpButton fresh;
    XpButton named;
    named.setCaption(QStringLiteral("&Send"));
    Styles page;
    page.setSelection({&fresh});
    QCOMPARE(captionField(page)->text(), QStringLiteral("button"));
    QVERIFY(!page.isChanged());
    page.setSelection({&named, &fresh});
    QCOMPARE(captionField(page)->text(), QStringLiteral("&Send"));
    QVERIFY(!page.isChanged());
}

void TestStyles::typingMarksThePageChanged() {
    ProgramFolder folder;
    XpButton button;
    Styles page;
    page.setSelection({&button});
    QSignalSpy changed(&page, &Styles::changedStateChanged);
    QTest::keyClicks(captionField(page), QStringLiteral("x"));
    QVERIFY(page.isChanged());
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().first().toBool(), true);
    // Nothing reaches the button until the page is applied.
    QCOMPARE(button.Caption(), QStringLiteral("button"));
    page.apply();
    QVERIFY(!page.isChanged());
    QCOMPARE(changed.size(), 2);
    QCOMPARE(button.Caption(), QStringLiteral("buttonx"));
}

void TestStyles::applyChangesOnlyTheFirstOfThreeButtons() {
    ProgramFolder folder;
    XpButton first;
    XpButton second;
    XpButton third;
    second.setCaption(QStringLiteral("&Close"));
    Styles page;
    page.setSelection({&first, &second, &third});
    captionField(page)->selectAll();
    QTest::keyClicks(captionField(page), QStringLiteral("&Connect"));
    page.apply();
    QCOMPARE(first.Caption(), QStringLiteral("&Connect"));
    QCOMPARE(second.Caption(), QStringLiteral("&Close"));
    QCOMPARE(third.Caption(), QStringLiteral("button"));
}

void TestStyles::nothingSelectedAppliesNothing() {
    ProgramFolder folder;
    Styles page;
    page.setSelection({});
    QVERIFY(captionField(page)->text().isEmpty());
    QVERIFY(!captionField(page)->isEnabled());
    page.apply();
    QVERIFY(!page.isChanged());
}

void TestStyles::firstButtonDeletedAfterSelectionAppliesNothing() {
    ProgramFolder folder;
    auto *first = new XpButton;
    XpButton second;
    Styles page;
    page.setSelection({first, &second});
    delete first;
    captionField(page)->setText(QStringLiteral("&Apply"));
    page.apply();
    QCOMPARE(second.Caption(), QStringLiteral("button"));
}

void TestStyles::designerWriterReceivesTheCaption() {
    ProgramFolder folder;
    XpButton button;
    Styles page;
    QList<QPair<QObject *, QString>> written;
    page.setCaptionWriter([&written](QObject *target, const QString &caption) {
        written.append({target, caption});
    });
    page.setSelection({&button});
    captionField(page)->setText(QStringLiteral("Dis&connect"));
    page.apply();
    QCOMPARE(written.size(), 1);
    QCOMPARE(written[0].first, &button);
    QCOMPARE(written[0].second, QStringLiteral("Dis&connect"));
    QCOMPARE(button.Caption(), QStringLiteral("button"));
}

QTEST_MAIN(TestStyles)
#include "tst_styles.moc"
