#include "rcon/kit/placekeeper.h"

#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QWidget>
#include <QWindow>

#ifdef TALVERO_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#endif

PlaceKeeper::PlaceKeeper(QWidget *window)
    : QObject(window)
    , m_window(window) {
    window->installEventFilter(this);
    watchHandle();
}

void PlaceKeeper::watchHandle() {
    QWindow *handle = m_window->windowHandle();
    if (!handle || handle == m_handle)
        return;
    m_handle = handle;
    m_exposed = handle->isExposed();
    handle->installEventFilter(this);
}

bool PlaceKeeper::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_window) {
        if (event->type() == QEvent::PlatformSurface || event->type() == QEvent::WinIdChange)
            watchHandle();
        // Qt tells a hidden window of no change of its exposure.
        if (event->type() == QEvent::Hide)
            m_exposed = false;
    } else if (watched == m_handle && event->type() == QEvent::Expose) {
        // Once per showing: the window manager has framed and placed the window by the time
        // it maps it.
        const bool exposed = m_handle->isExposed();
        if (exposed && !m_exposed)
            check();
        m_exposed = exposed;
    }
    return false;
}

void PlaceKeeper::check() {
    const std::optional<QPoint> place = windowSystemPlace(m_window);
    if (place && *place != m_window->geometry().topLeft())
        m_window->setGeometry(QRect(*place, m_window->size()));
}

std::optional<QPoint> PlaceKeeper::windowSystemPlace(const QWidget *window) {
#ifdef TALVERO_HAVE_XCB
    const QWindow *handle = window->windowHandle();
    // Only Qt's own X11 platform: another (offscreen) may offer the interface without a server.
    auto *x11 = qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb")
                    ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!handle || !connection || !handle->handle())
        return std::nullopt;
    const auto id = xcb_window_t(handle->winId());
    using Reply = std::unique_ptr<void, decltype(&std::free)>;
    auto *geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    const Reply ownedGeometry(geometry, &std::free);
    if (!geometry)
        return std::nullopt;
    auto *origin = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, id, geometry->root, 0, 0), nullptr);
    const Reply ownedOrigin(origin, &std::free);
    if (!origin)
        return std::nullopt;
    // The server counts device pixels; Qt's places are scaled by the window's pixel ratio.
    const qreal ratio = handle->devicePixelRatio();
    return (QPointF(origin->dst_x, origin->dst_y) / ratio).toPoint();
#else
    Q_UNUSED(window);
    return std::nullopt;
#endif
}
