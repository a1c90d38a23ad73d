// SPDX-License-Identifier: GPL-3.0-or-later
#include "x_connection.h"

#include "monotonic.h"

#include <poll.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace sorabune::bench {

void FreeDeleter::operator()(void *pointer) const
{
    std::free(pointer);
}

XConnection::XConnection()
    : m_connection(xcb_connect(nullptr, nullptr))
{
    if (xcb_connection_has_error(m_connection.get()))
        throw std::runtime_error("cannot connect to the X server of $DISPLAY");
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data->root;
}

xcb_atom_t XConnection::atom(std::string_view name) const
{
    const auto cookie = xcb_intern_atom(get(), 0, static_cast<std::uint16_t>(name.size()), name.data());
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(get(), cookie, nullptr));
    if (!reply)
        throw std::runtime_error("cannot intern the atom " + std::string(name));
    return reply->atom;
}

XcbEvent XConnection::waitForEvent(double deadlineMs) const
{
    xcb_flush(get());
    for (;;) {
        if (XcbEvent event{xcb_poll_for_event(get())})
            return event;
        if (xcb_connection_has_error(get()))
            throw std::runtime_error("lost the connection to the X server");
        const double left = deadlineMs - monotonicMs();
        if (left <= 0)
            return nullptr;
        pollfd fd{xcb_get_file_descriptor(get()), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(std::ceil(left)));
    }
}

void XConnection::roundTrip() const
{
    XcbReply<xcb_get_input_focus_reply_t> reply(xcb_get_input_focus_reply(get(), xcb_get_input_focus(get()), nullptr));
}

} // namespace sorabune::bench
