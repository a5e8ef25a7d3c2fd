#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <optional>

class QWidget;
class QWindow;

// Keeps what Qt believes of a top-level window's place in step with the window system.
//
// On X11, Qt reads a window's place from the server when it handles the window's configure
// notice, not from the notice itself. When a window manager takes a new window in, it puts the
// window into a frame of its own that starts at the screen's corner and moves the frame to
// the window's place a moment later, without telling the window (for the window nothing moved).
// A notice handled in that moment leaves Qt sure that the window stands at 0,0: its pos(),
// mapToGlobal() and the extents it tells assistive technology are wrong from then on, and the
// place kept at exit is too. So each time the window comes on the screen, the place the X
// server has for it is compared with Qt's, and a difference is put right by asking for the
// place the window already has, which the window manager confirms.
class PlaceKeeper final : public QObject {
public:
    explicit PlaceKeeper(QWidget *window);

    // The top left corner of the window's client area as the window system has it, in Qt's
    // coordinates; nothing where that cannot be asked (not on X11, no native window yet).
    static std::optional<QPoint> windowSystemPlace(const QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchHandle();
    void check();

    QWidget *m_window;
    QPointer<QWindow> m_handle;
    bool m_exposed = false;
};
