#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

struct xcb_connection_t;

// What the X server itself says about the windows on the display named by DISPLAY, for the
// tests that run on a real display: where a window really is, whatever the program believes,
// and the window manager's way of closing or moving it. Windows are the clients the window
// manager lists (_NET_CLIENT_LIST), or where the window manager keeps no such list (Weston's
// for XWayland), the top-level windows and those inside their frames.
class XWindows final {
public:
    struct Window {
        quint32 id = 0;
        QString name;
        QRect client;        // the client area on the screen
        bool splash = false; // a splash screen (_NET_WM_WINDOW_TYPE_SPLASH)
    };

    XWindows();
    // The X server of that display (":1"), not the one DISPLAY names.
    explicit XWindows(const QByteArray &display);
    ~XWindows();
    XWindows(const XWindows &) = delete;
    XWindows &operator=(const XWindows &) = delete;

    bool isConnected() const;

    // The managed windows of a process (by _NET_WM_PID) that are mapped.
    QList<Window> windowsOf(qint64 pid);
    // The one named so (WM_NAME); none when there is none.
    std::optional<Window> find(qint64 pid, const QString &name);
    // The client area's top left corner on the screen; none for a window that is gone.
    std::optional<QPoint> clientOrigin(quint32 window);

    // Asks the window to close, as the window manager's close button does (WM_DELETE_WINDOW).
    void close(quint32 window);
    // Asks for the window's frame to stand at the place given, as a drag by the user ends.
    void moveFrame(quint32 window, const QPoint &place);

private:
    QList<quint32> clients();
    quint32 atom(const char *name);
    QByteArray property(quint32 window, quint32 property, quint32 type);

    xcb_connection_t *m_c = nullptr;
    quint32 m_root = 0;
};
