// SPDX-License-Identifier: GPL-3.0-or-later
#include "x_event_watch.h"

#include "monotonic.h"

// xkb.h names a struct member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstring>
#include <stdexcept>
#include <thread>

namespace sorabune::bench {

namespace {
constexpr std::uint8_t kEventTypeMask = 0x7f; // strips the "sent by SendEvent" bit
}

XEventWatch::XEventWatch(const XConnection &connection)
    : m_connection(connection)
    , m_pidAtom(connection.atom("_NET_WM_PID"))
{
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection.get(), m_connection.root(), XCB_CW_EVENT_MASK, &mask);
    m_connection.roundTrip();
}

void XEventWatch::watchBells()
{
    xcb_connection_t *c = m_connection.get();
    XcbReply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
        c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    const xcb_query_extension_reply_t *xkb = xcb_get_extension_data(c, &xcb_xkb_id);
    if (!use || !use->supported || !xkb || !xkb->present)
        throw std::runtime_error("the X server has no XKB extension");
    m_xkbEventBase = xkb->first_event;
    xcb_xkb_select_events(
        c, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_BELL_NOTIFY, 0, XCB_XKB_EVENT_TYPE_BELL_NOTIFY, 0, 0, nullptr);
    m_connection.roundTrip();
}

std::optional<MappedWindow> XEventWatch::waitForMap(pid_t pid, double deadlineMs)
{
    while (XcbEvent event = m_connection.waitForEvent(deadlineMs)) {
        const double receivedMs = monotonicMs();
        if ((event->response_type & kEventTypeMask) != XCB_MAP_NOTIFY)
            continue;
        const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event.get());
        // Menus, tooltips and completer popups bypass the window manager: not top-levels.
        if (map->event != m_connection.root() || map->override_redirect)
            continue;
        if (windowPid(map->window) == pid)
            return MappedWindow{map->window, receivedMs};
    }
    return std::nullopt;
}

std::optional<double> XEventWatch::waitForBell(double deadlineMs)
{
    while (XcbEvent event = m_connection.waitForEvent(deadlineMs)) {
        const double receivedMs = monotonicMs();
        if ((event->response_type & kEventTypeMask) != m_xkbEventBase)
            continue;
        if (reinterpret_cast<const xcb_xkb_bell_notify_event_t *>(event.get())->xkbType == XCB_XKB_BELL_NOTIFY)
            return receivedMs;
    }
    return std::nullopt;
}

bool XEventWatch::waitForFocus(xcb_window_t window, double deadlineMs) const
{
    xcb_connection_t *c = m_connection.get();
    for (;;) {
        XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (focus && focus->focus == window)
            return true;
        if (monotonicMs() > deadlineMs)
            return false;
        // Not a measurement: the focus only has to be there before typing.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

pid_t XEventWatch::windowPid(xcb_window_t window) const
{
    xcb_connection_t *c = m_connection.get();
    const auto cookie = xcb_get_property(c, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) != 4)
        return -1;
    std::uint32_t pid = 0;
    std::memcpy(&pid, xcb_get_property_value(reply.get()), sizeof pid);
    return static_cast<pid_t>(pid);
}

} // namespace sorabune::bench
