// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/audio_level.h"
#include "support/helper_process.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sorabune::testing {

// tests/support/private_pulse.py: a PulseAudio server of the test's own with
// a null sink whose monitor can be recorded. See the top of that file for what
// it does; clientEnvironment() holds PULSE_SERVER and the rest.
class PrivatePulse : public HelperProcess {
public:
    PrivatePulse()
        : HelperProcess("private_pulse.py")
    {
    }

    // Records the null sink's monitor into the file (raw 16-bit, 44100 Hz,
    // mono); returns once samples arrive.
    bool startRecording(const std::filesystem::path &file);
    bool stopRecording();

    // What `pactl list sink-inputs` says about the server's playback streams.
    std::string sinkInputs() const;
};

// The rate of the recordings.
inline constexpr int kRecordingRate = 44100;

// The 16-bit samples of a recording.
std::vector<std::int16_t> readRecording(const std::filesystem::path &file);
// The sounds in a recording louder than `loud`, each parted from the next by
// 20 ms or more of silence: longer than any pause inside one bell or note.
std::vector<Burst> soundsIn(const std::filesystem::path &file, int loud = 1000);

} // namespace sorabune::testing
