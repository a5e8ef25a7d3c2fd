#pragma once

#include "hook/periodtimer.h"
#include "hook/tarrycounter.h"

#include <QVariantMap>
#include <QWidget>

class QLabel;

// Dawdle.Tarrywatch: a timer for intervals far longer than a plain timer allows, up to about
// 24.8 days. The host calls it late-bound: the properties Interval and Enabled, the event
// Timer, and the property bag through ReadProperties / WriteProperties.
class Tarrywatch final : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("ProgId", "Dawdle.Tarrywatch")
    Q_CLASSINFO("Library", "Dawdle")
    Q_CLASSINFO("Description",
                "A replacement timer control, which can run for longer periods of time.")
    Q_CLASSINFO("DispId.Interval", "0x68030000")
    Q_CLASSINFO("Category.Interval", "Behavior")
    Q_CLASSINFO("Description.Interval",
                "Returns/sets the length, in millisecond, between calls to the TimeUp event.")
    // The standard Enabled identifier, so that a host's own "Enabled" reaches this property.
    Q_CLASSINFO("DispId.Enabled", "-514")
    Q_CLASSINFO("Description.Enabled", "Returns/sets whether the timer is running.")
    Q_CLASSINFO("Description.Timer",
                "Occurs when the period of time specified by Interval has expired.")
    Q_PROPERTY(qint32 Interval READ Interval WRITE setInterval NOTIFY IntervalChanged)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabledProperty NOTIFY EnabledChanged)
public:
    static constexpr int Side = 33;

    explicit Tarrywatch(QWidget *parent = nullptr);

    qint32 Interval() const { return m_counter.interval(); }
    void setInterval(qint32 ms);
    bool Enabled() const { return m_counter.enabled(); }
    void setEnabledProperty(bool on);

    // "Interval" (default 0) and "Enabled" (default false). The control runs only when
    // userMode says the host is running rather than being designed, and the bag says enabled.
    Q_INVOKABLE void ReadProperties(const QVariantMap &bag, bool userMode);
    // A value equal to its default is left out of the bag; ReadProperties supplies it again.
    Q_INVOKABLE QVariantMap WriteProperties() const;

    QSize sizeHint() const override { return {Side, Side}; }

Q_SIGNALS:
    void Timer();
    void IntervalChanged();
    void EnabledChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void notifyChanges(qint32 oldInterval, bool oldEnabled);

    PeriodTimer m_tmrCount;
    TarryCounter m_counter;
    QLabel *m_picIcon;
};
