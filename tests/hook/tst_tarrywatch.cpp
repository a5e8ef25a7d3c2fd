// The Dawdle.Tarrywatch control as the main program sees it: created by class name from the
// control library in the program folder and used only late-bound, through its properties,
// methods, signals and its inner timer "tmrCount".
#include "rcon/kit/controlhost.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaClassInfo>
#include <QPointer>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <functional>

namespace {
// Receives the control's Timer event, which is reachable only late-bound.
class TimerHandler final : public QObject {
    Q_OBJECT
public:
    explicit TimerHandler(std::function<void()> action)
        : m_action(std::move(action)) {}
public Q_SLOTS:
    void onTimer() { m_action(); }

private:
    std::function<void()> m_action;
};

// One control made the way the main program makes its three.
struct Hosted {
    ProgramFolder folder;
    FakePlatform platform;
    ControlHost host{folder.path(), platform};
    QWidget form;
    QPointer<QWidget> control;

    Hosted() {
        control = host.create(QStringLiteral("Dawdle.Tarrywatch"), &form);
        if (!control)
            qFatal("The control library did not create Dawdle.Tarrywatch: %s",
                   qPrintable(platform.boxes.value(0).text));
    }

    QObject *tmrCount() const { return control->findChild<QObject *>(QStringLiteral("tmrCount")); }
    int innerInterval() const { return tmrCount()->property("interval").toInt(); }
    bool innerActive() const { return tmrCount()->property("active").toBool(); }
    void fire() const { QVERIFY(QMetaObject::invokeMethod(tmrCount(), "fire")); }
    void set(const char *name, const QVariant &value) const {
        QVERIFY(control->setProperty(name, value));
    }
    void readProperties(const QVariantMap &bag, bool userMode) const {
        QVERIFY(QMetaObject::invokeMethod(control, "ReadProperties", Q_ARG(QVariantMap, bag),
                                          Q_ARG(bool, userMode)));
    }
    QVariantMap writeProperties() const {
        QVariantMap bag;
        [&] {
            QVERIFY(QMetaObject::invokeMethod(control, "WriteProperties",
                                              Q_RETURN_ARG(QVariantMap, bag)));
        }();
        return bag;
    }
    QString classInfo(const char *name) const {
        const QMetaObject *meta = control->metaObject();
        const int index = meta->indexOfClassInfo(name);
        return index < 0 ? QString() : QString::fromLatin1(meta->classInfo(index).value());
    }
};
} // namespace

class TestTarrywatch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newControlIsIdleAndDescribesItself();
    void enabledIsItsOwnAndNotTheWidgetFlag();
    void twoMinutesPassThroughTheInnerTimer();
    void ninetyMinutesPassInMicroseconds();
    void extremeIntervalsAreAcceptedAsWritten();
    void realTimerRaisesTimerAgainAndAgain();
    void hostStopsTheControlFromItsTimerHandler();
    void controlDeletedInsideItsTimerHandler();
    void propertyBagStartsOnlyInRunModeWhenEnabled_data();
    void propertyBagStartsOnlyInRunModeWhenEnabled();
    void propertyBagRoundTripsAndToleratesDamage();
    void changesAreNotified();
    void controlKeepsItsSizeAndShowsAClock();
};

void TestTarrywatch::newControlIsIdleAndDescribesItself() {
    Hosted hosted;
    QVERIFY(hosted.control);
    QVERIFY(hosted.platform.boxes.isEmpty());
    QCOMPARE(hosted.control->property("Interval").toInt(), 0);
    QCOMPARE(hosted.control->property("Enabled").toBool(), false);
    QVERIFY(hosted.tmrCount());
    QCOMPARE(hosted.innerInterval(), 0);
    QVERIFY(!hosted.innerActive());
    QSignalSpy timer(hosted.control, SIGNAL(Timer()));
    hosted.fire();
    hosted.set("Enabled", true);
    hosted.fire();
    QCOMPARE(timer.count(), 0);

    QCOMPARE(hosted.classInfo("ProgId"), QStringLiteral("Dawdle.Tarrywatch"));
    QCOMPARE(hosted.classInfo("DispId.Enabled"), QStringLiteral("-514"));
    QVERIFY(!hosted.classInfo("DispId.Interval").isEmpty());
    QCOMPARE(hosted.classInfo("Category.Interval"), QStringLiteral("Behavior"));
    QCOMPARE(hosted.classInfo("Description.Interval"),
             QStringLiteral(
                 "Returns/sets the length, in millisecond, between calls to the TimeUp event."));
    QCOMPARE(hosted.classInfo("Description.Enabled"),
             QStringLiteral("Returns/sets whether the timer is running."));
    QCOMPARE(hosted.classInfo("Description.Timer"),
             QStringLiteral("Occurs when the period of time specified by Interval has expired."));
    QCOMPARE(
        hosted.classInfo("Description"),
        QStringLiteral("A replacement timer control, which can run for longer periods of time."));
}

void TestTarrywatch::enabledIsItsOwnAndNotTheWidgetFlag() {
    Hosted hosted;
    hosted.set("Interval", 60000);
    hosted.set("Enabled", true);
    QVERIFY(hosted.control->isEnabled());
    hosted.control->setEnabled(false);
    QCOMPARE(hosted.control->property("Enabled").toBool(), true);
    hosted.set("Enabled", false);
    hosted.control->setEnabled(true);
    QCOMPARE(hosted.control->property("Enabled").toBool(), false);
}

void TestTarrywatch::twoMinutesPassThroughTheInnerTimer() {
    Hosted hosted;
    QSignalSpy timer(hosted.control, SIGNAL(Timer()));
    hosted.set("Enabled", true);
    hosted.set("Interval", 120000);
    QCOMPARE(hosted.innerInterval(), 65535);
    QVERIFY(hosted.innerActive());

    hosted.fire();
    QCOMPARE(hosted.innerInterval(), 54465);
    QCOMPARE(timer.count(), 0);
    hosted.fire();
    QCOMPARE(timer.count(), 1);
    // The next cycle is under way on the real timer.
    QCOMPARE(hosted.innerInterval(), 65535);
    QVERIFY(hosted.innerActive());

    // Disabled in the middle: the cycle still ends with one Timer, then all is quiet.
    hosted.fire();
    hosted.set("Enabled", false);
    hosted.fire();
    QCOMPARE(timer.count(), 2);
    QVERIFY(!hosted.innerActive());
    hosted.fire();
    QCOMPARE(timer.count(), 2);
}

void TestTarrywatch::ninetyMinutesPassInMicroseconds() {
    Hosted hosted;
    QSignalSpy timer(hosted.control, SIGNAL(Timer()));
    hosted.set("Interval", 5400000);
    hosted.set("Enabled", true);
    qint64 elapsed = 0;
    int periods = 0;
    while (timer.isEmpty() && periods < 100) {
        elapsed += hosted.innerInterval();
        ++periods;
        hosted.fire();
    }
    QCOMPARE(timer.count(), 1);
    QCOMPARE(periods, 83);
    QCOMPARE(elapsed, qint64(5400000));
}

void TestTarrywatch::extremeIntervalsAreAcceptedAsWritten() {
    Hosted hosted;
    QSignalSpy timer(hosted.control, SIGNAL(Timer()));
    hosted.set("Enabled", true);
    for (const qint32 interval : {2147483647, 2147450880, -1, -65535, -2147483647 - 1}) {
        hosted.set("Interval", interval);
        QCOMPARE(hosted.control->property("Interval").toInt(), interval);
        QCOMPARE(hosted.innerActive(), interval > 0);
        hosted.fire();
    }
    QCOMPARE(timer.count(), 0);
    QVERIFY(hosted.platform.boxes.isEmpty());
}

void TestTarrywatch::realTimerRaisesTimerAgainAndAgain() {
    Hosted hosted;
    QSignalSpy timer(hosted.control, SIGNAL(Timer()));
    hosted.set("Enabled", true);
    hosted.set("Interval", 20);
    QVERIFY(timer.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(timer.count() >= 3, 5000);
    hosted.set("Interval", 0);
    QVERIFY(!hosted.innerActive());
}

void TestTarrywatch::hostStopsTheControlFromItsTimerHandler() {
    Hosted hosted;
    QSignalSpy timer(hosted.control, SIGNAL(Timer()));
    // As the main program does when a send inside the event drops the connection.
    TimerHandler handler([&] { hosted.set("Interval", 0); });
    QVERIFY(connect(hosted.control, SIGNAL(Timer()), &handler, SLOT(onTimer())));
    hosted.set("Enabled", true);
    hosted.set("Interval", 60000);
    hosted.fire();
    QCOMPARE(timer.count(), 1);
    QCOMPARE(hosted.innerInterval(), 0);
    QVERIFY(!hosted.innerActive());
    hosted.fire();
    QCOMPARE(timer.count(), 1);
    QCOMPARE(hosted.control->property("Enabled").toBool(), true);
}

void TestTarrywatch::controlDeletedInsideItsTimerHandler() {
    Hosted hosted;
    QSignalSpy timer(hosted.control, SIGNAL(Timer()));
    // A window unloaded from inside the event takes its controls with it.
    TimerHandler handler([&] { delete hosted.control; });
    QVERIFY(connect(hosted.control, SIGNAL(Timer()), &handler, SLOT(onTimer())));
    hosted.set("Enabled", true);
    hosted.set("Interval", 20);
    QTRY_VERIFY_WITH_TIMEOUT(hosted.control.isNull(), 5000);
    QCOMPARE(timer.count(), 1);
}

void TestTarrywatch::propertyBagStartsOnlyInRunModeWhenEnabled_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("userMode");
    QTest::addColumn<bool>("runs");
    QTest::newRow("running program, enabled") << true << true << true;
    QTest::newRow("running program, disabled") << false << true << false;
    QTest::newRow("design time, enabled") << true << false << false;
    QTest::newRow("design time, disabled") << false << false << false;
}

void TestTarrywatch::propertyBagStartsOnlyInRunModeWhenEnabled() {
    QFETCH(bool, enabled);
    QFETCH(bool, userMode);
    QFETCH(bool, runs);
    Hosted hosted;
    QSignalSpy timer(hosted.control, SIGNAL(Timer()));
    hosted.readProperties(
        {{QStringLiteral("Interval"), 120000}, {QStringLiteral("Enabled"), enabled}}, userMode);
    QCOMPARE(hosted.control->property("Interval").toInt(), 120000);
    QCOMPARE(hosted.control->property("Enabled").toBool(), enabled);
    QCOMPARE(hosted.innerActive(), runs);
    hosted.fire();
    hosted.fire();
    QCOMPARE(timer.count(), runs ? 1 : 0);
}

void TestTarrywatch::propertyBagRoundTripsAndToleratesDamage() {
    Hosted hosted;
    QCOMPARE(hosted.writeProperties(), QVariantMap());
    hosted.set("Interval", 5400000);
    hosted.set("Enabled", true);
    const QVariantMap bag = hosted.writeProperties();
    QCOMPARE(bag.value(QStringLiteral("Interval")).toInt(), 5400000);
    QCOMPARE(bag.value(QStringLiteral("Enabled")).toBool(), true);

    Hosted copy;
    copy.readProperties(bag, true);
    QCOMPARE(copy.control->property("Interval").toInt(), 5400000);
    QCOMPARE(copy.control->property("Enabled").toBool(), true);
    QVERIFY(copy.innerActive());

    // Missing names take their defaults; a stored Interval that is no 32-bit number is absent.
    copy.readProperties({}, true);
    QCOMPARE(copy.control->property("Interval").toInt(), 0);
    QCOMPARE(copy.control->property("Enabled").toBool(), false);
    for (const QVariant &damaged : {QVariant(QStringLiteral("soon")), QVariant(qlonglong(1) << 40),
                                    QVariant(QVariantList())}) {
        copy.readProperties(
            {{QStringLiteral("Interval"), damaged}, {QStringLiteral("Enabled"), true}}, true);
        QCOMPARE(copy.control->property("Interval").toInt(), 0);
        QVERIFY(!copy.innerActive());
    }
    // Values as another host may have stored them: text, and the -1 of a true flag.
    copy.readProperties(
        {{QStringLiteral("Interval"), QStringLiteral("60000")}, {QStringLiteral("Enabled"), -1}},
        true);
    QCOMPARE(copy.control->property("Interval").toInt(), 60000);
    QCOMPARE(copy.control->property("Enabled").toBool(), true);
    QCOMPARE(copy.innerInterval(), 60000);
}

void TestTarrywatch::changesAreNotified() {
    Hosted hosted;
    QSignalSpy intervalChanged(hosted.control, SIGNAL(IntervalChanged()));
    QSignalSpy enabledChanged(hosted.control, SIGNAL(EnabledChanged()));
    hosted.set("Interval", 60000);
    hosted.set("Interval", 60000);
    hosted.set("Enabled", true);
    hosted.set("Enabled", true);
    QCOMPARE(intervalChanged.count(), 1);
    QCOMPARE(enabledChanged.count(), 1);
    hosted.readProperties({}, true);
    QCOMPARE(intervalChanged.count(), 2);
    QCOMPARE(enabledChanged.count(), 2);
}

void TestTarrywatch::controlKeepsItsSizeAndShowsAClock() {
    Hosted hosted;
    QWidget *control = hosted.control;
    QCOMPARE(control->size(), QSize(33, 33));
    control->resize(200, 100);
    QCOMPARE(control->size(), QSize(33, 33));
    control->setGeometry(10, 10, 5, 5);
    QCOMPARE(control->size(), QSize(33, 33));

    // In a stretching layout too, with a host that lifts the limits first.
    control->setMinimumSize(0, 0);
    control->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    control->resize(200, 100);
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(control);
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(control->size(), QSize(33, 33));

    auto *picIcon = control->findChild<QLabel *>(QStringLiteral("picIcon"));
    QVERIFY(picIcon);
    const QImage icon = picIcon->pixmap().toImage();
    QCOMPARE(icon.size(), QSize(33, 33));
    QCOMPARE(icon.depth() >= 24, true);
    QSet<QRgb> colours;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            colours.insert(icon.pixel(x, y));
    QVERIFY(colours.size() >= 4);                   // face, rim, hands, background at the least
    QVERIFY(icon.pixel(0, 0) != icon.pixel(16, 6)); // the face differs from the corner
}

QTEST_MAIN(TestTarrywatch)
#include "tst_tarrywatch.moc"
