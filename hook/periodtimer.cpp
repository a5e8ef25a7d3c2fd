#include "hook/periodtimer.h"

#include <QPointer>

PeriodTimer::PeriodTimer(QObject *parent)
    : QObject(parent)
    , m_timer(this) {
    m_timer.setSingleShot(true);
    // Coarse timers may be 5 % late, which on a 65535-ms period is over three seconds.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PeriodTimer::fire);
}

void PeriodTimer::setInterval(int ms) {
    m_interval = ms;
    rearm();
}

void PeriodTimer::setEnabled(bool on) {
    m_enabled = on;
    rearm();
}

void PeriodTimer::rearm() {
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

void PeriodTimer::fire() {
    if (!m_enabled || m_interval <= 0)
        return;
    m_timer.stop();
    // A handler may delete the control that owns this timer.
    const QPointer<PeriodTimer> alive(this);
    Q_EMIT elapsed();
    // Like any plain timer it goes on at its interval unless a handler armed it differently.
    if (alive && !m_timer.isActive())
        rearm();
}
