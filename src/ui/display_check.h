// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

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
// connect, hence the check beforehand.
DisplayChoice chooseDisplay();

// While it lives, Qt failing to start its platform plugin (the plugin missing,
// or the display going away in between) prints one line and exits with status
// 1 instead of aborting; Qt's messages meanwhile are held back, and passed on
// once the application object stands. Around the QApplication constructor.
class PlatformStartGuard {
public:
    PlatformStartGuard();
    ~PlatformStartGuard();
    PlatformStartGuard(const PlatformStartGuard &) = delete;
    PlatformStartGuard &operator=(const PlatformStartGuard &) = delete;
};

} // namespace sorabune
