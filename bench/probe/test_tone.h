// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pulse/error.h>
#include <pulse/simple.h>

#include <memory>

namespace sorabune::bench {

// A check of SoundOnset against PulseAudio's own account of a playback stream:
// plays 200 ms of silence and then a tone on the default sink, and says when the
// tone's first sample is played, from the stream's latency once it is written.
class TestTone {
public:
    TestTone();

    // Returns when the tone's first sample plays, on CLOCK_MONOTONIC.
    double play();

private:
    struct Free {
        void operator()(pa_simple *stream) const { pa_simple_free(stream); }
    };
    std::unique_ptr<pa_simple, Free> m_stream;
};

} // namespace sorabune::bench
