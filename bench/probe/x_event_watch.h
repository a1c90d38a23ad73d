// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "x_connection.h"

#include <sys/types.h>

#include <optional>

namespace sorabune::bench {

struct MappedWindow {
    xcb_window_t window = XCB_NONE;
    double timeMs = 0; // when the probe received the MapNotify
};

// Waits on X events rather than polling: the MapNotify of a program's new
// top-level window, and XKB's BellNotify for every bell rung on the server.
class XEventWatch {
public:
    // Watches the root window for new top-levels from here on: create it before
    // the program starts, so that no MapNotify is missed.
    explicit XEventWatch(const XConnection &connection);

    void watchBells();

    // The next top-level window mapped by the process pid (its _NET_WM_PID).
    std::optional<MappedWindow> waitForMap(pid_t pid, double deadlineMs);
    // The time of the next bell.
    std::optional<double> waitForBell(double deadlineMs);
    // Returns once the window has the input focus (or the deadline has passed).
    bool waitForFocus(xcb_window_t window, double deadlineMs) const;

private:
    pid_t windowPid(xcb_window_t window) const;

    const XConnection &m_connection;
    xcb_atom_t m_pidAtom = XCB_NONE;
    int m_xkbEventBase = -1;
};

} // namespace sorabune::bench
