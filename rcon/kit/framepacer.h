#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Paints a window at most once per frame of its screen, as a compositor would show it anyway.
// A burst of changes (a flood of replies, a command sent and its answer a few microseconds
// later) then costs one paint of the window instead of one per change, and the event loop
// reads the next datagram or key instead of painting what is about to change again.
//
// The window's own update requests are held back until a frame has passed since its last
// paint, then delivered; the first change after a quiet moment paints at once.
class FramePacer final : public QObject {
public:
    explicit FramePacer(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    // How long a frame of the window's screen lasts, in milliseconds.
    int frameMs() const;
    void deliver();

    QWidget *m_window;
    QElapsedTimer m_sincePaint;
    QBasicTimer m_held;
    bool m_delivering = false;
};
