#pragma once

// What a flood benchmark watches besides its own measure: whether the program's windows still
// answer, and how much memory the process holds.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QList>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace bench {

// The process's resident memory in MB, as the system counts it.
inline double residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// The value below which the given share of the values lie, in ms (values in ns).
inline double percentileMs(QList<qint64> values, double share) {
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return double(values.at(qsizetype(share * double(values.size() - 1)))) / 1e6;
}

// Posts an event to itself every 20 ms and notes how long each waited for the event loop: how
// long a key press or a paint would have waited. Every fifth tick also notes the process's
// memory, so its peak is known.
class EventWaitProbe final : public QObject {
public:
    EventWaitProbe() {
        m_tick.setInterval(20);
        connect(&m_tick, &QTimer::timeout, this, [this] {
            m_postedAt = m_clock.nsecsElapsed();
            QCoreApplication::postEvent(this, new QEvent(QEvent::User));
            if (++m_ticks % 5 == 0)
                m_peakMb = std::max(m_peakMb, residentMb());
        });
    }
    void start() {
        m_startMb = m_peakMb = residentMb();
        m_clock.start();
        m_tick.start();
    }
    void stop() {
        m_tick.stop();
        m_peakMb = std::max(m_peakMb, residentMb());
    }
    double waitMs(double share) const { return percentileMs(m_waits, share); }
    double startMb() const { return m_startMb; }
    double peakMb() const { return m_peakMb; }

    bool event(QEvent *event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        m_waits.append(m_clock.nsecsElapsed() - m_postedAt);
        return true;
    }

private:
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_postedAt = 0;
    int m_ticks = 0;
    QList<qint64> m_waits;
    double m_startMb = 0;
    double m_peakMb = 0;
};

} // namespace bench
