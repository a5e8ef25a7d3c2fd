#include "hook/tarrycounter.h"

#include "hook/innertimer.h"

#include <QPointer>

TarryCounter::TarryCounter(InnerTimer &timer, QObject *parent)
    : QObject(parent)
    , m_timer(timer) {}

void TarryCounter::setInterval(qint32 ms) {
    m_interval = ms;
    split();
    start();
}

void TarryCounter::setEnabled(bool on) {
    m_enabled = on;
    if (on)
        start();
}

void TarryCounter::load(qint32 ms, bool on, bool userMode) {
    m_interval = ms;
    m_enabled = on;
    split();
    if (userMode && on)
        start();
    else
        m_timer.setEnabled(false);
}

void TarryCounter::split() {
    ++m_restarts;
    if (m_interval <= 0) {
        // The host writes 0 to stop the counter at once; a negative interval is treated alike.
        m_chunks = 0;
        m_remainder = 0;
    } else {
        m_chunks = m_interval / FullPeriod;
        m_remainder = m_interval - m_chunks * FullPeriod;
        // An exact multiple ends on a full period rather than on an empty one that never ends.
        if (m_remainder == 0) {
            --m_chunks;
            m_remainder = FullPeriod;
        }
    }
    m_countdown = m_chunks;
}

void TarryCounter::start() {
    ++m_restarts;
    m_timer.setInterval(m_countdown != 0 ? FullPeriod : m_remainder);
    m_timer.setEnabled(true);
}

void TarryCounter::tick() {
    if (!m_timer.isEnabled() || m_timer.interval() <= 0)
        return;

    if (m_countdown > 0) {
        --m_countdown;
        m_timer.setInterval(m_countdown != 0 ? FullPeriod : m_remainder);
        m_timer.setEnabled(true);
        return;
    }

    // The final period has elapsed. The next cycle is readied before the event, so that a
    // handler which enables the counter gets a full cycle, not the last period again.
    m_timer.setEnabled(false);
    m_countdown = m_chunks;
    const quint64 restartsBefore = m_restarts;
    const QPointer<TarryCounter> alive(this);
    Q_EMIT Timer();
    if (!alive || m_restarts != restartsBefore)
        return; // deleted, or the handler wrote Interval or enabled the counter itself
    if (m_enabled)
        start();
}
