#include "tests/support/xwindows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
template <typename Reply> std::unique_ptr<Reply, decltype(&std::free)> own(Reply *reply) {
    return {reply, &std::free};
}
} // namespace

XWindows::XWindows()
    : XWindows(QByteArray()) {}

XWindows::XWindows(const QByteArray &display) {
    m_c = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (xcb_connection_has_error(m_c))
        return;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
}

XWindows::~XWindows() {
    xcb_disconnect(m_c);
}

bool XWindows::isConnected() const {
    return m_c && !xcb_connection_has_error(m_c);
}

quint32 XWindows::atom(const char *name) {
    const auto reply = own(xcb_intern_atom_reply(
        m_c, xcb_intern_atom(m_c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : quint32(XCB_ATOM_NONE);
}

QByteArray XWindows::property(quint32 window, quint32 name, quint32 type) {
    const auto reply = own(xcb_get_property_reply(
        m_c, xcb_get_property(m_c, 0, window, name, type, 0, 4096), nullptr));
    if (!reply)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

QList<quint32> XWindows::clients() {
    QList<quint32> ids;
    const QByteArray list = property(m_root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    for (qsizetype at = 0; at + 4 <= list.size(); at += 4) {
        quint32 id = 0;
        std::memcpy(&id, list.constData() + at, 4);
        ids.append(id);
    }
    if (!ids.isEmpty())
        return ids;
    // No list: the root's children and, for a window manager that frames its clients, theirs.
    auto children = [this](quint32 parent) {
        QList<quint32> found;
        const auto tree = own(xcb_query_tree_reply(m_c, xcb_query_tree(m_c, parent), nullptr));
        if (!tree)
            return found;
        const xcb_window_t *child = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            found.append(child[i]);
        return found;
    };
    for (const quint32 top : children(m_root)) {
        ids.append(top);
        ids.append(children(top));
    }
    return ids;
}

QList<XWindows::Window> XWindows::windowsOf(qint64 pid) {
    QList<Window> found;
    if (!isConnected())
        return found;
    const quint32 pidAtom = atom("_NET_WM_PID");
    const quint32 typeAtom = atom("_NET_WM_WINDOW_TYPE");
    const quint32 splashAtom = atom("_NET_WM_WINDOW_TYPE_SPLASH");
    for (const quint32 id : clients()) {
        const QByteArray owner = property(id, pidAtom, XCB_ATOM_CARDINAL);
        quint32 ownerPid = 0;
        if (owner.size() != 4)
            continue;
        std::memcpy(&ownerPid, owner.constData(), 4);
        if (ownerPid != pid)
            continue;
        const auto attributes =
            own(xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, id), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        const auto geometry = own(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, id), nullptr));
        const std::optional<QPoint> origin = clientOrigin(id);
        if (!geometry || !origin)
            continue;
        const QByteArray types = property(id, typeAtom, XCB_ATOM_ATOM);
        bool splash = false;
        for (qsizetype type = 0; type + 4 <= types.size(); type += 4)
            splash = splash || std::memcmp(types.constData() + type, &splashAtom, 4) == 0;
        found.append(
            Window{id, QString::fromUtf8(property(id, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY)),
                   QRect(*origin, QSize(geometry->width, geometry->height)), splash});
    }
    return found;
}

std::optional<XWindows::Window> XWindows::find(qint64 pid, const QString &name) {
    for (const Window &window : windowsOf(pid)) {
        if (window.name == name && !window.splash)
            return window;
    }
    return std::nullopt;
}

std::optional<QPoint> XWindows::clientOrigin(quint32 window) {
    if (!isConnected())
        return std::nullopt;
    const auto origin = own(xcb_translate_coordinates_reply(
        m_c, xcb_translate_coordinates(m_c, window, m_root, 0, 0), nullptr));
    if (!origin)
        return std::nullopt;
    return QPoint(origin->dst_x, origin->dst_y);
}

void XWindows::close(quint32 window) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(m_c);
}

void XWindows::moveFrame(quint32 window, const QPoint &place) {
    // _NET_MOVERESIZE_WINDOW from a pager: the window manager moves the frame there.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("_NET_MOVERESIZE_WINDOW");
    constexpr quint32 NorthWestGravity = 1;
    constexpr quint32 XAndY = (1u << 8) | (1u << 9);
    constexpr quint32 FromPager = 2u << 12;
    event.data.data32[0] = NorthWestGravity | XAndY | FromPager;
    event.data.data32[1] = quint32(place.x());
    event.data.data32[2] = quint32(place.y());
    xcb_send_event(m_c, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(m_c);
}
