#pragma once

#include <QObject>
#include <QTimer>

// A plain window timer of the splash: Timer() at every interval while it is enabled. fire()
// runs one tick at once, as if the interval had just run out, so the fade can be stepped tick
// by tick without waiting; a disabled timer does not tick that way either.
class FadeTimer final : public QObject {
    Q_OBJECT
public:
    FadeTimer(int interval, bool enabled, QObject *parent = nullptr);

    int interval() const { return m_timer.interval(); }
    void setInterval(int milliseconds);
    bool isEnabled() const { return m_timer.isActive(); }
    void setEnabled(bool enabled);

    Q_INVOKABLE void fire();

Q_SIGNALS:
    void Timer();

private:
    QTimer m_timer;
};
