#pragma once

#include "hook/innertimer.h"

#include <QObject>
#include <QTimer>

// The control's inner timer "tmrCount": a real timer, armed one period at a time. fire() lets
// the current period elapse at once, so that a caller holding only the control can run a
// ninety-minute interval through without waiting for it.
class PeriodTimer final : public QObject, public InnerTimer {
    Q_OBJECT
    Q_PROPERTY(int interval READ interval)
    Q_PROPERTY(bool enabled READ isEnabled)
    // Whether a period is being counted right now (enabled with an interval above 0).
    Q_PROPERTY(bool active READ isActive)
public:
    explicit PeriodTimer(QObject *parent = nullptr);

    int interval() const override { return m_interval; }
    void setInterval(int ms) override;
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool on) override;
    bool isActive() const { return m_timer.isActive(); }

    // The current period elapses now; does nothing while the timer is idle or disabled.
    Q_INVOKABLE void fire();

Q_SIGNALS:
    void elapsed();

private:
    void rearm();

    QTimer m_timer;
    int m_interval = 0;
    // A new plain timer is enabled but idle, as its interval is 0.
    bool m_enabled = true;
};
