// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace sorabune {

// The display platform to run on, decided before the application object exists.
struct DisplayChoice {
    std::string platform; // for QT_QPA_PLATFORM; empty leaves the user's choice
    std::string problem;  // one line saying what is missing; empty when a display is there
};

// Where the user named no platform: X wherever an X display answers, which in
// a Wayland session means Xwayland, so that the desktop's window manager draws
// the title bar (Qt 6.4's own Wayland title bar cuts the title of this narrow
// window and shows a maximize button that does nothing); Wayland itself where
// only Wayland is there. Qt aborts with a core dump when its platform cannot
// connect, hence the check beforehand. A display answers when its socket takes
// a connection; nothing is said on it.
DisplayChoice chooseDisplay();

// The one line that says there is no display to show the window on, and why.
std::string noDisplay(std::string_view why);

} // namespace sorabune
