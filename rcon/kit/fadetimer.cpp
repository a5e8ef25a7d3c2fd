#include "rcon/kit/fadetimer.h"

FadeTimer::FadeTimer(int interval, bool enabled, QObject *parent)
    : QObject(parent) {
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &FadeTimer::Timer);
    setEnabled(enabled);
}

void FadeTimer::setInterval(int milliseconds) {
    m_timer.setInterval(milliseconds);
}

void FadeTimer::setEnabled(bool enabled) {
    if (enabled == m_timer.isActive())
        return;
    if (enabled)
        m_timer.start();
    else
        m_timer.stop();
}

void FadeTimer::fire() {
    if (m_timer.isActive())
        Q_EMIT Timer();
}
