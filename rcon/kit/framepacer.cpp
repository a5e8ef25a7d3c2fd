#include "rcon/kit/framepacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QTimerEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

FramePacer::FramePacer(QWidget *window)
    : QObject(window)
    , m_window(window) {
    window->installEventFilter(this);
}

int FramePacer::frameMs() const {
    const QScreen *screen = m_window->screen();
    const qreal hz = screen ? screen->refreshRate() : 60.0;
    // A screen that reports nothing sensible is taken as the common 60 Hz.
    if (!(hz >= 24.0 && hz <= 500.0))
        return 16;
    return std::max(1, int(std::floor(1000.0 / hz)));
}

bool FramePacer::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_delivering)
        return false;
    const qint64 frame = frameMs();
    if (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= frame) {
        // A quiet moment: paint at once.
        m_held.stop();
        m_sincePaint.start();
        return false;
    }
    // Painted within this frame: the window is painted again when the frame is over, with
    // everything that changes until then.
    if (!m_held.isActive())
        m_held.start(int(frame - m_sincePaint.elapsed()), Qt::PreciseTimer, this);
    return true;
}

void FramePacer::timerEvent(QTimerEvent *event) {
    if (event->timerId() != m_held.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_held.stop();
    deliver();
}

void FramePacer::deliver() {
    m_sincePaint.start();
    QEvent request(QEvent::UpdateRequest);
    m_delivering = true;
    QCoreApplication::sendEvent(m_window, &request);
    m_delivering = false;
}
