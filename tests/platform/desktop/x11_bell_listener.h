// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

struct _XDisplay;

namespace sorabune::testing {

// A client of the X server that counts the bells rung on it (XKB bell events),
// whoever rings them.
class X11BellListener {
public:
    X11BellListener();
    ~X11BellListener();

    bool connected() const { return m_display != nullptr; }
    // The bells heard so far.
    int bells();

private:
    struct DisplayCloser {
        void operator()(_XDisplay *display) const;
    };
    std::unique_ptr<_XDisplay, DisplayCloser> m_display;
    int m_xkbEvent = 0;
    int m_bells = 0;
};

} // namespace sorabune::testing
