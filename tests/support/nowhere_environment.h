// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/scratch_directory.h"

#include <cstdlib>

namespace sorabune::testing {

// For a test's main(): the system and session buses and the sound server of
// this process lead into a fresh folder where nothing listens, and libcanberra
// may use PulseAudio only, so that nothing a test does, or fails to set up,
// reaches the machine's buses, sound server or sound card. A test that wants a
// private bus or server sets its address afterwards.
class NowhereEnvironment {
public:
    NowhereEnvironment()
    {
        const std::string nowhere = (m_folder / "nothing-listens-here").string();
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + nowhere).c_str(), 1);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + nowhere).c_str(), 1);
        ::setenv("PULSE_SERVER", ("unix:" + nowhere).c_str(), 1);
        ::setenv("CANBERRA_DRIVER", "pulse", 1);
    }

private:
    ScratchDirectory m_folder;
};

} // namespace sorabune::testing
