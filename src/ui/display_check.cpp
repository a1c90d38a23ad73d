#include "ui/display_check.h"

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string_view>

#include <xcb/xcb.h>

namespace sorabune {

namespace {

struct XcbDisconnect {
    void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
};

bool isSet(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

bool xDisplayOpens()
{
    if (!isSet("DISPLAY"))
        return false;
    // xcb_connect never returns null: a failed connection reports its error.
    const std::unique_ptr<xcb_connection_t, XcbDisconnect> connection(xcb_connect(nullptr, nullptr));
    return xcb_connection_has_error(connection.get()) == 0;
}

// One entry of QT_QPA_PLATFORM ("xcb", "wayland", "wayland-egl", "xcb:option"...).
bool platformAvailable(std::string_view platform)
{
    if (platform.starts_with("xcb"))
        return xDisplayOpens();
    if (platform.starts_with("wayland"))
        return isSet("WAYLAND_DISPLAY");
    return true; // offscreen, vnc, eglfs and the like need no display of ours to check
}

} // namespace

std::string MissingDisplay()
{
    // Qt tries the entries of the list in turn. Left to itself it takes xcb, or
    // Wayland in a Wayland session: either will do.
    const char *requested = std::getenv("QT_QPA_PLATFORM");
    const bool chosen = requested != nullptr && *requested != '\0';
    std::string_view platforms = chosen ? requested : "xcb;wayland";
    while (!platforms.empty()) {
        const std::size_t end = platforms.find(';');
        if (platformAvailable(platforms.substr(0, end)))
            return {};
        platforms = end == std::string_view::npos ? std::string_view() : platforms.substr(end + 1);
    }
    if (chosen)
        return "Sorabune: no display to show the window on (QT_QPA_PLATFORM=" + std::string(requested) + ").";
    if (!isSet("DISPLAY"))
        return "Sorabune: no display to show the window on (DISPLAY is not set).";
    return "Sorabune: cannot open the display " + std::string(std::getenv("DISPLAY")) + ".";
}

} // namespace sorabune
