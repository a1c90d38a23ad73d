// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/helper_process.h"

#include <cstring>
#include <sstream>
#include <string>

namespace sorabune::testing {

// What the services of a PrivateSessionBus were asked: how many inhibitions,
// how many ended, and the last one asked for.
struct Inhibitions {
    int asked = -1;
    int released = -1;
    std::string via; // "portal", "gnome", or "-" for none
    int flags = -1;
    std::string reason;
};

// tests/support/private_session_bus.py: a session bus of the test's own with
// stand-ins for the desktop portal's Inhibit and GNOME's session manager. See
// the top of that file; clientEnvironment() holds DBUS_SESSION_BUS_ADDRESS.
class PrivateSessionBus : public HelperProcess {
public:
    PrivateSessionBus()
        : HelperProcess("private_session_bus.py")
    {
    }

    // "portal" or "gnome".
    bool serve(const std::string &service) { return command("serve " + service) == "ok"; }
    // Calls wait unanswered until the next inhibitions().
    bool hang() { return command("hang") == "ok"; }
    bool slowRelease(double seconds) { return command("slow-release " + std::to_string(seconds)) == "ok"; }
    // All -1 when the helper cannot say.
    Inhibitions inhibitions()
    {
        const std::string answer = command("inhibitions");
        Inhibitions state;
        // The reason comes last: the only field that may hold blanks.
        const std::size_t reason = answer.find(" reason=");
        if (!answer.starts_with("asked=") || reason == std::string::npos)
            return state;
        std::istringstream fields(answer.substr(0, reason));
        for (std::string field; fields >> field;) {
            const std::size_t equals = field.find('=');
            const std::string name = field.substr(0, equals);
            const std::string value = field.substr(equals + 1);
            if (name == "via")
                state.via = value;
            else
                (name == "asked" ? state.asked : name == "released" ? state.released : state.flags) = std::stoi(value);
        }
        state.reason = answer.substr(reason + std::strlen(" reason="));
        return state;
    }
};

} // namespace sorabune::testing
