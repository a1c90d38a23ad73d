// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11_bell_listener.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace sorabune::testing {

void X11BellListener::DisplayCloser::operator()(_XDisplay *display) const
{
    XCloseDisplay(display);
}

X11BellListener::X11BellListener()
{
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int error = 0;
    m_display.reset(XkbOpenDisplay(nullptr, &m_xkbEvent, &error, &major, &minor, nullptr));
    if (!m_display)
        return;
    XkbSelectEvents(m_display.get(), XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    // Bells rung before the server has seen the selection are not reported.
    XSync(m_display.get(), False);
}

X11BellListener::~X11BellListener() = default;

int X11BellListener::bells()
{
    XSync(m_display.get(), False);
    while (XPending(m_display.get()) > 0) {
        XEvent event;
        XNextEvent(m_display.get(), &event);
        const auto *xkb = reinterpret_cast<const XkbEvent *>(&event);
        if (event.type == m_xkbEvent && xkb->any.xkb_type == XkbBellNotify)
            ++m_bells;
    }
    return m_bells;
}

} // namespace sorabune::testing
