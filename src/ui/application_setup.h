// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sorabune {

// The program's name, version and desktop identity, and the widget style the
// fixed layout is measured against. Call before the QApplication is made.
void setUpApplication();

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
