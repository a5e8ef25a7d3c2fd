// Designing windows with XpButton in Qt Designer: the plugin and its "Edit Caption..." menu.
#include "rcon/kit/fonts.h"
#include "rcon/xpbutton/designer/xpbuttontaskmenu.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/programfolder.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPluginLoader>
#include <QPushButton>
#include <QTest>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

class TestXpButtonDesigner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void designerFindsTheButtonInThePlugin();
    void editCaptionOkSetsTheCaption();
    void editCaptionCancelKeepsTheCaption();
    void applyIsOfferedOnlyAfterAnEdit();
};

namespace {

QDialog *openEditCaption(XpButtonTaskMenu &menu) {
    QAction *edit = menu.preferredEditAction();
    if (!edit || edit->text() != QStringLiteral("Edit Caption...") ||
        !menu.taskActions().contains(edit))
        return nullptr;
    edit->trigger();
    return menu.dialog();
}

} // namespace

void TestXpButtonDesigner::init() {
    talvero::registerApplicationFonts();
}

void TestXpButtonDesigner::designerFindsTheButtonInThePlugin() {
    ProgramFolder folder;
    QPluginLoader loader(QStringLiteral(XPBUTTON_DESIGNER_PLUGIN));
    QObject *instance = loader.instance();
    QVERIFY2(instance, qPrintable(loader.errorString()));
    auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(instance);
    QVERIFY(plugin);
    QCOMPARE(plugin->name(), QStringLiteral("XpButton"));
    QCOMPARE(plugin->includeFile(), QStringLiteral("rcon/xpbutton/xpbutton.h"));
    QVERIFY(!plugin->isContainer());
    QVERIFY(plugin->domXml().contains(QStringLiteral("class=\"XpButton\"")));
    QVERIFY(!plugin->icon().isNull());
    plugin->initialize(nullptr);
    QVERIFY(plugin->isInitialized());

    QWidget form;
    QWidget *made = plugin->createWidget(&form);
    QVERIFY(made);
    QCOMPARE(made->parentWidget(), &form);
    QCOMPARE(QString::fromLatin1(made->metaObject()->className()), QStringLiteral("XpButton"));
    QCOMPARE(made->property("Caption").toString(), QStringLiteral("button"));
    QCOMPARE(made->size(), QSize(73, 21));
    // Styled as the windows style it, so the form looks as it will at run time.
    QCOMPARE(made->grab().toImage().pixelColor(36, 0), QColor(0, 60, 116));
}

void TestXpButtonDesigner::editCaptionOkSetsTheCaption() {
    ProgramFolder folder;
    QWidget form;
    auto *button = new XpButton(&form);
    button->setCaption(QStringLiteral("&Send"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    XpButtonTaskMenu menu(button);
    QDialog *dialog = openEditCaption(menu);
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->isVisible());
    auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("txtCaption"));
    QVERIFY(text);
    QCOMPARE(text->text(), QStringLiteral("&Send"));
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("Send &Admin"));
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QCOMPARE(button->Caption(), QStringLiteral("Send &Admin"));
    QTRY_VERIFY(!menu.dialog());
}

void TestXpButtonDesigner::editCaptionCancelKeepsTheCaption() {
    ProgramFolder folder;
    QWidget form;
    auto *button = new XpButton(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    XpButtonTaskMenu menu(button);
    QDialog *dialog = openEditCaption(menu);
    QVERIFY(dialog);
    auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("txtCaption"));
    QCOMPARE(text->text(), QStringLiteral("button"));
    QTest::keyClicks(text, QStringLiteral("s"));
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    QCOMPARE(button->Caption(), QStringLiteral("button"));
}

void TestXpButtonDesigner::applyIsOfferedOnlyAfterAnEdit() {
    ProgramFolder folder;
    QWidget form;
    auto *button = new XpButton(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    XpButtonTaskMenu menu(button);
    QDialog *dialog = openEditCaption(menu);
    QVERIFY(dialog);
    QPushButton *apply = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply);
    QVERIFY(!apply->isEnabled());
    auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("txtCaption"));
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("&Tray"));
    QVERIFY(apply->isEnabled());
    QTest::mouseClick(apply, Qt::LeftButton);
    QCOMPARE(button->Caption(), QStringLiteral("&Tray"));
    QVERIFY(!apply->isEnabled());
    QVERIFY(dialog->isVisible());
    // Asking again while the dialog is open brings the same dialog forward.
    QCOMPARE(openEditCaption(menu), dialog);
    dialog->reject();
}

QTEST_MAIN(TestXpButtonDesigner)
#include "tst_xpbuttondesigner.moc"
