// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/display_choice.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sorabune {

namespace {

// The value of an environment variable, or empty when it is unset.
std::string_view variable(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : std::string_view();
}

// Whether a server takes connections on the Unix socket at `path`; a leading
// '@' names one in the abstract namespace. Closed at once, before any
// handshake: an X server does not count it as a client, and so does not reset
// when it goes.
bool socketAnswers(std::string_view path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const bool abstract = path.front() == '@';
    if (abstract)
        address.sun_path[0] = '\0';
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 0 : 1));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    close(fd);
    return connected;
}

// libxcb's rule for a local DISPLAY, [unix]:N[.S]: the abstract socket
// /tmp/.X11-unix/XN, else that path. A display on another host counts as there:
// only connecting would tell, and Qt does that next.
bool xDisplayAnswers()
{
    const std::string_view display = variable("DISPLAY");
    const std::size_t colon = display.rfind(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view host = display.substr(0, colon);
    if (!host.empty() && host != "unix")
        return true;
    const std::string_view number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
    const std::string socket = "/tmp/.X11-unix/X" + std::string(number);
    return socketAnswers('@' + socket) || socketAnswers(socket);
}

// libwayland's rule: WAYLAND_DISPLAY is a socket path, or a name in XDG_RUNTIME_DIR.
// The variable alone proves nothing: it outlives the compositor that set it.
bool waylandDisplayAnswers()
{
    const std::string_view name = variable("WAYLAND_DISPLAY");
    if (name.empty())
        return false;
    if (name.front() == '/')
        return socketAnswers(name);
    const std::string_view runtime = variable("XDG_RUNTIME_DIR");
    return !runtime.empty() && socketAnswers(std::string(runtime) + '/' + std::string(name));
}

// One entry of QT_QPA_PLATFORM ("xcb", "wayland", "wayland-egl", "xcb:option"...).
bool platformAvailable(std::string_view platform)
{
    if (platform.starts_with("xcb"))
        return xDisplayAnswers();
    if (platform.starts_with("wayland"))
        return waylandDisplayAnswers();
    return true; // offscreen, vnc, eglfs and the like need no display of ours to check
}

} // namespace

std::string noDisplay(std::string_view why)
{
    return "Sorabune: no display to show the window on (" + std::string(why) + ").";
}

DisplayChoice chooseDisplay()
{
    if (const std::string_view requested = variable("QT_QPA_PLATFORM"); !requested.empty()) {
        // Qt tries the entries of the list in turn.
        for (std::string_view platforms = requested; !platforms.empty();) {
            const std::size_t end = platforms.find(';');
            if (platformAvailable(platforms.substr(0, end)))
                return {};
            platforms = end == std::string_view::npos ? std::string_view() : platforms.substr(end + 1);
        }
        return {{}, noDisplay("QT_QPA_PLATFORM=" + std::string(requested))};
    }
    if (xDisplayAnswers())
        return {"xcb", {}};
    if (waylandDisplayAnswers())
        return {"wayland", {}};
    if (const std::string_view display = variable("DISPLAY"); !display.empty())
        return {{}, "Sorabune: cannot open the display " + std::string(display) + "."};
    if (const std::string_view wayland = variable("WAYLAND_DISPLAY"); !wayland.empty())
        return {
            {}, noDisplay("the Wayland display " + std::string(wayland) + " does not answer, and DISPLAY is not set")};
    return {{}, noDisplay("DISPLAY is not set")};
}

} // namespace sorabune
