// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/display_check.h"

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
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
    // In a Wayland session this may start Xwayland, which the window then needs anyway.
    const std::unique_ptr<xcb_connection_t, XcbDisconnect> connection(xcb_connect(nullptr, nullptr));
    return xcb_connection_has_error(connection.get()) == 0;
}

// libwayland's rule: WAYLAND_DISPLAY is a socket path, or a name in XDG_RUNTIME_DIR.
// The variable alone proves nothing: it outlives the compositor that set it.
bool waylandDisplayAnswers()
{
    if (!isSet("WAYLAND_DISPLAY"))
        return false;
    const std::string_view name = std::getenv("WAYLAND_DISPLAY");
    std::string path;
    if (name.front() == '/')
        path = name;
    else if (isSet("XDG_RUNTIME_DIR"))
        path = std::string(std::getenv("XDG_RUNTIME_DIR")) + '/' + std::string(name);
    else
        return false;
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// One entry of QT_QPA_PLATFORM ("xcb", "wayland", "wayland-egl", "xcb:option"...).
bool platformAvailable(std::string_view platform)
{
    if (platform.starts_with("xcb"))
        return xDisplayOpens();
    if (platform.starts_with("wayland"))
        return waylandDisplayAnswers();
    return true; // offscreen, vnc, eglfs and the like need no display of ours to check
}

std::string noDisplay(std::string_view why)
{
    return "Sorabune: no display to show the window on (" + std::string(why) + ").";
}

// What the start guard holds back, and the handler it replaced.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
QtMessageHandler g_previousHandler = nullptr;
std::vector<HeldMessage> *g_heldMessages = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        g_heldMessages->push_back({type, context.category ? context.category : "", text});
        return;
    }
    // Qt gives up on its platform plugin with a fatal message, then aborts.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const std::string line = platform.startsWith("wayland")
        ? noDisplay("Qt's Wayland platform plugin is missing or cannot connect; it comes with qt6-wayland")
        : noDisplay("Qt cannot start its platform plugin \"" + platform.toStdString() + "\"");
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

DisplayChoice chooseDisplay()
{
    const char *requested = std::getenv("QT_QPA_PLATFORM");
    if (requested != nullptr && *requested != '\0') {
        // Qt tries the entries of the list in turn.
        for (std::string_view platforms = requested; !platforms.empty();) {
            const std::size_t end = platforms.find(';');
            if (platformAvailable(platforms.substr(0, end)))
                return {};
            platforms = end == std::string_view::npos ? std::string_view() : platforms.substr(end + 1);
        }
        return {{}, noDisplay("QT_QPA_PLATFORM=" + std::string(requested))};
    }
    if (xDisplayOpens())
        return {"xcb", {}};
    if (waylandDisplayAnswers())
        return {"wayland", {}};
    if (isSet("DISPLAY"))
        return {{}, "Sorabune: cannot open the display " + std::string(std::getenv("DISPLAY")) + "."};
    if (isSet("WAYLAND_DISPLAY"))
        return {{},
            noDisplay("the Wayland display " + std::string(std::getenv("WAYLAND_DISPLAY"))
                + " does not answer, and DISPLAY is not set")};
    return {{}, noDisplay("DISPLAY is not set")};
}

PlatformStartGuard::PlatformStartGuard()
{
    g_heldMessages = new std::vector<HeldMessage>;
    g_previousHandler = qInstallMessageHandler(holdMessage);
}

PlatformStartGuard::~PlatformStartGuard()
{
    qInstallMessageHandler(g_previousHandler);
    const std::unique_ptr<std::vector<HeldMessage>> held(std::exchange(g_heldMessages, nullptr));
    for (const HeldMessage &message : *held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
        if (g_previousHandler)
            g_previousHandler(message.type, context, message.text);
        else
            qt_message_output(message.type, context, message.text);
    }
}

} // namespace sorabune
