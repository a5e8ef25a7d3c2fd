#include "rcon/kit/longtimer.h"

#include <QVariant>
#include <QWidget>

LongTimer::LongTimer(QWidget *control, QObject *parent)
    : QObject(parent)
    , m_control(control) {
    if (m_control)
        connect(m_control, SIGNAL(Timer()), this, SIGNAL(Timer()));
}

void LongTimer::setInterval(qint32 milliseconds) {
    if (m_control)
        m_control->setProperty("Interval", milliseconds);
}

qint32 LongTimer::interval() const {
    return m_control ? m_control->property("Interval").toInt() : 0;
}

void LongTimer::setEnabled(bool enabled) {
    if (m_control)
        m_control->setProperty("Enabled", enabled);
}

bool LongTimer::isEnabled() const {
    return m_control && m_control->property("Enabled").toBool();
}
