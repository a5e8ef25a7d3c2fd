// The long-interval counter, driven on a virtual clock: the host's intervals (two minutes, one
// to ninety minutes), starting and stopping mid-cycle, and the limits of the 32-bit range.
#include "tests/hook/fakeinnertimer.h"

#include <QTest>

#include <functional>
#include <memory>

namespace {
constexpr qint64 Day = 24LL * 60 * 60 * 1000;

// A counter on a fake timer that notes the clock time of every Timer event.
struct Rig {
    FakeInnerTimer timer;
    TarryCounter counter{timer};
    QList<qint64> events;
    std::function<void()> onTimer;

    Rig() {
        timer.drive(&counter);
        QObject::connect(&counter, &TarryCounter::Timer, [this] {
            events.append(timer.now());
            if (onTimer)
                onTimer();
        });
    }
    // The host's way of starting a timer: enable it, then give the interval.
    void run(qint32 ms) {
        counter.setEnabled(true);
        counter.setInterval(ms);
    }
};
} // namespace

class TestTarryCounter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twoMinutesRunAsFullPeriodThenRemainder();
    void oneMinuteIsASinglePeriod();
    void zeroIntervalNeverFires();
    void disablingMidCycleGivesExactlyOneMoreTimer_data();
    void disablingMidCycleGivesExactlyOneMoreTimer();
    void intervalWrittenWhileDisabledFiresOnceThenEnablingRepeats();
    void intervalWrittenWhileEnabledAbandonsTheCycle();
    void reenablingContinuesTheCycleInProgress();
    void exactMultipleEndsOnAFullPeriod_data();
    void exactMultipleEndsOnAFullPeriod();
    void wholeRangeCountsWithoutFailing_data();
    void wholeRangeCountsWithoutFailing();
    void negativeIntervalsStaySilent_data();
    void negativeIntervalsStaySilent();
    void handlerChangingIntervalStartsTheNewCycle();
    void handlerChangingIntervalThenWaitingKeepsItsCycle();
    void handlerDisablingStopsTheCounter();
    void handlerStoppingWithZeroIsFinal();
    void handlerEnablingAStoppedCounterWaitsAFullCycle();
    void handlerSettingIntervalWhileDisabledFiresOnceMore();
    void handlerDeletingTheCounterEndsCleanly();
    void loadStartsOnlyInRunModeWhenEnabled_data();
    void loadStartsOnlyInRunModeWhenEnabled();
};

void TestTarryCounter::twoMinutesRunAsFullPeriodThenRemainder() {
    Rig rig;
    rig.run(120000);
    QCOMPARE(rig.timer.interval(), 65535);
    QVERIFY(rig.timer.isEnabled());

    QVERIFY(rig.timer.elapse());
    QCOMPARE(rig.timer.interval(), 54465);
    QVERIFY(rig.events.isEmpty());

    QVERIFY(rig.timer.elapse());
    QCOMPARE(rig.events, QList<qint64>{120000});
    QCOMPARE(rig.timer.interval(), 65535);

    rig.timer.advance(240000);
    QCOMPARE(rig.events, (QList<qint64>{120000, 240000, 360000}));
    QCOMPARE(rig.timer.periods, (QList<int>{65535, 54465, 65535, 54465, 65535, 54465}));
}

void TestTarryCounter::oneMinuteIsASinglePeriod() {
    Rig rig;
    rig.run(60000);
    QCOMPARE(rig.timer.interval(), 60000);
    rig.timer.advance(180000);
    QCOMPARE(rig.events, (QList<qint64>{60000, 120000, 180000}));
    QCOMPARE(rig.timer.periods, (QList<int>{60000, 60000, 60000}));
}

void TestTarryCounter::zeroIntervalNeverFires() {
    Rig rig;
    rig.run(0);
    QCOMPARE(rig.timer.interval(), 0);
    QVERIFY(!rig.timer.elapse());
    rig.counter.setEnabled(false);
    rig.counter.setEnabled(true);
    rig.timer.advance(30 * Day);
    QVERIFY(rig.events.isEmpty());

    // The host stops a running timer at once by writing 0, even in the middle of a period.
    rig.counter.setInterval(120000);
    rig.timer.advance(70000);
    rig.counter.setInterval(0);
    rig.timer.advance(30 * Day);
    QVERIFY(rig.events.isEmpty());
    QVERIFY(!rig.timer.counting());
}

void TestTarryCounter::disablingMidCycleGivesExactlyOneMoreTimer_data() {
    QTest::addColumn<qint64>("disableAt");
    QTest::newRow("in the full period") << qint64(1000);
    QTest::newRow("in the final period") << qint64(70000);
    QTest::newRow("just before the end") << qint64(119999);
    QTest::newRow("in a later cycle") << qint64(130000);
}

void TestTarryCounter::disablingMidCycleGivesExactlyOneMoreTimer() {
    QFETCH(qint64, disableAt);
    Rig rig;
    rig.run(120000);
    rig.timer.advance(disableAt);
    rig.counter.setEnabled(false);
    QVERIFY(!rig.counter.enabled());
    rig.timer.advance(30 * Day);

    const qint64 cycleEnd = (disableAt / 120000 + 1) * 120000;
    QCOMPARE(rig.events.last(), cycleEnd);
    QCOMPARE(rig.events.size(), int(cycleEnd / 120000));
    QVERIFY(!rig.timer.counting());
}

void TestTarryCounter::intervalWrittenWhileDisabledFiresOnceThenEnablingRepeats() {
    Rig rig;
    rig.timer.advance(5000);
    rig.counter.setInterval(120000);
    QVERIFY(!rig.counter.enabled());
    rig.timer.advance(Day);
    QCOMPARE(rig.events, QList<qint64>{125000});

    // Once stopped, enabling begins a full cycle from that moment.
    rig.counter.setEnabled(true);
    const qint64 enabledAt = rig.timer.now();
    rig.timer.advance(360000);
    QCOMPARE(rig.events,
             (QList<qint64>{125000, enabledAt + 120000, enabledAt + 240000, enabledAt + 360000}));
}

void TestTarryCounter::intervalWrittenWhileEnabledAbandonsTheCycle() {
    Rig rig;
    rig.run(120000);
    rig.timer.advance(100000);
    rig.counter.setInterval(60000);
    rig.timer.advance(120000);
    QCOMPARE(rig.events, (QList<qint64>{160000, 220000}));

    // Writing the same value again still starts afresh.
    rig.timer.advance(30000);
    rig.counter.setInterval(60000);
    rig.timer.advance(60000);
    QCOMPARE(rig.events, (QList<qint64>{160000, 220000, 310000}));
}

void TestTarryCounter::reenablingContinuesTheCycleInProgress() {
    // 200000 ms: three full periods and a final one of 3395 ms.
    Rig rig;
    rig.run(200000);
    rig.timer.advance(70000); // in the second full period, which began at 65535
    rig.counter.setEnabled(false);
    rig.timer.advance(30000);
    rig.counter.setEnabled(true); // the second period begins again at 100000
    rig.timer.advance(Day / 2);
    QCOMPARE(rig.events.first(), qint64(100000 + 65535 + 65535 + 3395));
    QCOMPARE(rig.events.at(1), rig.events.first() + 200000);
}

void TestTarryCounter::exactMultipleEndsOnAFullPeriod_data() {
    QTest::addColumn<qint32>("interval");
    QTest::addColumn<int>("periods");
    QTest::newRow("one period") << 65535 << 1;
    QTest::newRow("two periods") << 131070 << 2;
    QTest::newRow("the old overflow point") << 2147450880 << 32768;
}

void TestTarryCounter::exactMultipleEndsOnAFullPeriod() {
    QFETCH(qint32, interval);
    QFETCH(int, periods);
    Rig rig;
    rig.run(interval);
    for (int i = 1; i < periods; ++i) {
        QVERIFY(rig.timer.elapse());
        QCOMPARE(rig.timer.interval(), 65535);
    }
    QVERIFY(rig.events.isEmpty());
    QVERIFY(rig.timer.elapse());
    QCOMPARE(rig.events, QList<qint64>{interval});
    QCOMPARE(rig.timer.periods, QList<int>(periods, 65535));

    rig.timer.advance(interval);
    QCOMPARE(rig.events, (QList<qint64>{interval, 2LL * interval}));
}

void TestTarryCounter::wholeRangeCountsWithoutFailing_data() {
    QTest::addColumn<qint32>("interval");
    QTest::newRow("one ms") << 1;
    QTest::newRow("one below a period") << 65534;
    QTest::newRow("one above a period") << 65536;
    QTest::newRow("ninety minutes") << 5400000;
    QTest::newRow("one below the old overflow point") << 2147450879;
    QTest::newRow("one above the old overflow point") << 2147450881;
    QTest::newRow("largest") << 2147483647;
}

void TestTarryCounter::wholeRangeCountsWithoutFailing() {
    QFETCH(qint32, interval);
    Rig rig;
    rig.run(interval);
    rig.timer.advance(2LL * interval);
    QCOMPARE(rig.events, (QList<qint64>{interval, 2LL * interval}));

    const int fullPeriods = interval / 65535;
    const int lastPeriod = interval % 65535;
    QList<int> cycle(fullPeriods, 65535);
    if (lastPeriod)
        cycle.append(lastPeriod);
    QCOMPARE(rig.timer.periods, cycle + cycle);
}

void TestTarryCounter::negativeIntervalsStaySilent_data() {
    QTest::addColumn<qint32>("interval");
    QTest::newRow("-1") << -1;
    QTest::newRow("-65534") << -65534;
    QTest::newRow("-65535") << -65535;
    QTest::newRow("-65536") << -65536;
    QTest::newRow("smallest") << qint32(-2147483647 - 1);
}

void TestTarryCounter::negativeIntervalsStaySilent() {
    QFETCH(qint32, interval);
    Rig rig;
    // Written while a cycle is running: it must not go on counting the old one either.
    rig.run(120000);
    rig.timer.advance(70000);
    rig.counter.setInterval(interval);
    QCOMPARE(rig.counter.interval(), interval);
    rig.timer.advance(30 * Day);
    rig.counter.setEnabled(false);
    rig.counter.setEnabled(true);
    rig.timer.advance(30 * Day);
    rig.counter.load(interval, true, true);
    rig.timer.advance(30 * Day);
    QVERIFY(rig.events.isEmpty());
    QVERIFY(rig.timer.periods.size() <= 1);

    // A sound interval afterwards works as ever.
    rig.counter.setInterval(60000);
    rig.timer.advance(60000);
    QCOMPARE(rig.events.size(), 1);
}

void TestTarryCounter::handlerChangingIntervalStartsTheNewCycle() {
    Rig rig;
    rig.onTimer = [&] {
        if (rig.events.size() == 1)
            rig.counter.setInterval(60000);
    };
    rig.run(120000);
    rig.timer.advance(240000);
    QCOMPARE(rig.events, (QList<qint64>{120000, 180000, 240000}));
}

void TestTarryCounter::handlerChangingIntervalThenWaitingKeepsItsCycle() {
    // The handler sets a new interval and then keeps a message box open for half a minute.
    Rig rig;
    rig.onTimer = [&] {
        if (rig.events.size() == 1) {
            rig.counter.setInterval(60000);
            rig.timer.advance(30000);
        }
    };
    rig.run(120000);
    rig.timer.advance(240000);
    // Counted from the write, not from the moment the handler returned.
    QCOMPARE(rig.events, (QList<qint64>{120000, 180000, 240000}));
}

void TestTarryCounter::handlerDisablingStopsTheCounter() {
    Rig rig;
    rig.onTimer = [&] { rig.counter.setEnabled(false); };
    rig.run(120000);
    rig.timer.advance(30 * Day);
    QCOMPARE(rig.events, QList<qint64>{120000});
    QVERIFY(!rig.timer.counting());
}

void TestTarryCounter::handlerStoppingWithZeroIsFinal() {
    Rig rig;
    rig.onTimer = [&] { rig.counter.setInterval(0); };
    rig.run(60000);
    rig.timer.advance(30 * Day);
    QCOMPARE(rig.events, QList<qint64>{60000});
    QCOMPARE(rig.timer.interval(), 0);
}

void TestTarryCounter::handlerEnablingAStoppedCounterWaitsAFullCycle() {
    Rig rig;
    rig.onTimer = [&] {
        if (rig.events.size() == 1)
            rig.counter.setEnabled(true);
    };
    rig.run(120000);
    rig.timer.advance(10000);
    rig.counter.setEnabled(false);
    rig.timer.advance(360000 - 10000);
    // Not the final 54465 ms again: a whole cycle from the event on.
    QCOMPARE(rig.events, (QList<qint64>{120000, 240000, 360000}));
}

void TestTarryCounter::handlerSettingIntervalWhileDisabledFiresOnceMore() {
    Rig rig;
    rig.onTimer = [&] {
        if (rig.events.size() == 1)
            rig.counter.setInterval(60000);
    };
    rig.counter.setInterval(120000);
    rig.timer.advance(30 * Day);
    QCOMPARE(rig.events, (QList<qint64>{120000, 180000}));
}

void TestTarryCounter::handlerDeletingTheCounterEndsCleanly() {
    FakeInnerTimer timer;
    auto *counter = new TarryCounter(timer);
    timer.drive(counter);
    int events = 0;
    QObject::connect(counter, &TarryCounter::Timer, [&] {
        ++events;
        delete counter;
    });
    counter->setEnabled(true);
    counter->setInterval(120000);
    timer.advance(Day);
    QCOMPARE(events, 1);
}

void TestTarryCounter::loadStartsOnlyInRunModeWhenEnabled_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("userMode");
    QTest::addColumn<bool>("runs");
    QTest::newRow("running program, enabled") << true << true << true;
    QTest::newRow("running program, disabled") << false << true << false;
    QTest::newRow("design time, enabled") << true << false << false;
    QTest::newRow("design time, disabled") << false << false << false;
}

void TestTarryCounter::loadStartsOnlyInRunModeWhenEnabled() {
    QFETCH(bool, enabled);
    QFETCH(bool, userMode);
    QFETCH(bool, runs);
    Rig rig;
    // Something already counting is replaced by what is loaded.
    rig.counter.setInterval(60000);
    rig.timer.advance(1000);
    rig.counter.load(120000, enabled, userMode);
    QCOMPARE(rig.counter.interval(), 120000);
    QCOMPARE(rig.counter.enabled(), enabled);
    rig.timer.advance(241000);
    if (runs)
        QCOMPARE(rig.events, (QList<qint64>{121000, 241000}));
    else
        QVERIFY(rig.events.isEmpty());
}

QTEST_GUILESS_MAIN(TestTarryCounter)
#include "tst_tarrycounter.moc"
