// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/beeper.h"
#include "platform/desktop/theme_bell.h"

namespace sorabune {

// The platform's bell where it makes a sound, otherwise the sound theme's bell.
// Qt 6.4 rings a bell only on X11 (xcb_bell); on Wayland and every other platform
// plugin QApplication::beep() does nothing. Needs the QApplication.
class SystemBeeper final : public Beeper {
public:
    SystemBeeper();

    // One bell, returning at once.
    void beep() override;

private:
    bool m_platformBellSounds;
    ThemeBell m_themeBell;
};

} // namespace sorabune
