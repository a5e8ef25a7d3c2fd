#pragma once

#include <QObject>
#include <QtGlobal>

class InnerTimer;

// Counts an interval of up to 2147483647 ms (about 24.8 days) on a plain timer that takes at
// most 65535 ms a period: a cycle is a number of full 65535-ms periods followed by one final
// period, and Timer is raised at the end of the final one.
//
// Writing the interval begins a full cycle at once, enabled or not. Enabling begins counting
// again from where the cycle in progress stands (the current period afresh); disabling lets the
// cycle in progress end with one more Timer, after which the counter stays stopped. An interval
// of 0 or below never raises Timer.
class TarryCounter final : public QObject {
    Q_OBJECT
public:
    static constexpr qint32 FullPeriod = 65535;

    explicit TarryCounter(InnerTimer &timer, QObject *parent = nullptr);

    qint32 interval() const { return m_interval; }
    void setInterval(qint32 ms);
    bool enabled() const { return m_enabled; }
    void setEnabled(bool on);

    // Takes stored values as a whole; counting begins only in a running program and when the
    // stored values say enabled, otherwise the counter is left stopped.
    void load(qint32 ms, bool on, bool userMode);

    // The inner timer's current period has elapsed.
    void tick();

Q_SIGNALS:
    void Timer();

private:
    void split();
    void start();

    InnerTimer &m_timer;
    qint32 m_interval = 0;
    bool m_enabled = false;
    // Full periods in a cycle and those still to wait in the current one. 32 bits, since the
    // longest interval takes 32768 of them.
    qint32 m_chunks = 0;
    qint32 m_countdown = 0;
    // Length of the final period: 1 to 65535 ms, or 0 for an interval that never fires.
    qint32 m_remainder = 0;
    // Changes whenever a write restarts or reloads the counting, so the end of a cycle can tell
    // whether a Timer handler has already decided what comes next.
    quint64 m_restarts = 0;
};
