#pragma once

#include "hook/innertimer.h"
#include "hook/tarrycounter.h"

#include <QList>
#include <QPointer>

// A plain timer on a virtual clock: advance() moves the clock on and ticks the counter at the
// end of every period that runs out meanwhile, so days of counting take microseconds.
class FakeInnerTimer final : public InnerTimer {
public:
    int interval() const override { return m_interval; }
    void setInterval(int ms) override {
        m_interval = ms;
        m_periodStart = m_now;
    }
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool on) override {
        m_enabled = on;
        m_periodStart = m_now;
    }

    void drive(TarryCounter *counter) { m_counter = counter; }
    qint64 now() const { return m_now; }
    bool counting() const { return m_enabled && m_interval > 0; }

    void advance(qint64 ms) {
        const qint64 until = m_now + ms;
        while (m_counter && counting() && m_periodStart + m_interval <= until) {
            m_now = m_periodStart + m_interval;
            // A plain timer goes on at its interval unless the counter changes it.
            m_periodStart = m_now;
            periods.append(m_interval);
            m_counter->tick();
        }
        m_now = until;
    }
    // Runs the clock to the end of the current period; false when nothing is being counted.
    bool elapse() {
        if (!counting())
            return false;
        advance(m_periodStart + m_interval - m_now);
        return true;
    }

    // The length of every period that ran to its end, in order.
    QList<int> periods;

private:
    QPointer<TarryCounter> m_counter;
    int m_interval = 0;
    bool m_enabled = true;
    qint64 m_now = 0;
    qint64 m_periodStart = 0;
};
