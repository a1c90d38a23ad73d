// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/beeper.h"
#include "platform/serial_worker.h"

#include <memory>

namespace sorabune {

struct BellState;

// The platform's bell where it makes a sound, otherwise the desktop sound
// theme's "bell" event through libcanberra. Qt 6.4 rings a bell only on X11
// (xcb_bell); on Wayland and every other platform plugin QApplication::beep()
// does nothing. Theme bells play on the worker, one after another: copies
// started together overlap into what sounds like one bell, and libcanberra
// blocks while it reaches the sound server (against one that accepts but never
// answers: measured still waiting after 60 s). Needs the QApplication.
class SystemBeeper final : public Beeper {
public:
    SystemBeeper();
    ~SystemBeeper() override;
    SystemBeeper(const SystemBeeper &) = delete;
    SystemBeeper &operator=(const SystemBeeper &) = delete;

    // One bell, returning at once. The first theme bell opens libcanberra.
    void beep() override;

private:
    const bool m_platformBellSounds;
    // Shared with the theme bells' jobs, which may outlive the beeper (see the destructor).
    std::shared_ptr<BellState> m_bell;
    SerialWorker m_worker;
    bool m_rung = false;
};

} // namespace sorabune
