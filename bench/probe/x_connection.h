// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string_view>

namespace sorabune::bench {

struct FreeDeleter {
    void operator()(void *pointer) const;
};
template<typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;
using XcbEvent = XcbReply<xcb_generic_event_t>;

// The probe's own connection to the X server under test.
class XConnection {
public:
    XConnection();

    xcb_connection_t *get() const { return m_connection.get(); }
    xcb_window_t root() const { return m_root; }
    xcb_atom_t atom(std::string_view name) const;

    // The next event, or null when none arrives before the deadline (monotonic ms).
    XcbEvent waitForEvent(double deadlineMs) const;
    // Returns once the server has handled every request sent so far.
    void roundTrip() const;

private:
    struct Disconnect {
        void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
    };
    std::unique_ptr<xcb_connection_t, Disconnect> m_connection;
    xcb_window_t m_root = XCB_NONE;
};

} // namespace sorabune::bench
