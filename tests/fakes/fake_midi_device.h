// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/midi_device.h"

#include <cstddef>
#include <optional>
#include <span>

namespace sorabune::testing {

// Keeps the state that the calls put a device in, answers with the results
// set, and counts calls out of protocol: play or stop without an open output,
// an output opened twice, a close while a file plays (cut, where a stop would
// have faded it out).
class FakeMidiDevice final : public MidiDevice {
public:
    void prepare(std::span<const std::uint8_t> midi) override
    {
        ++preparations;
        prepared = midi.size();
    }

    MediaError open(std::span<const std::uint8_t> midi) override
    {
        if (outputOpen)
            ++protocolErrors;
        prepared = midi.size();
        outputOpen = openResult == MediaError::Success;
        return openResult;
    }

    void close() override
    {
        if (playing)
            ++protocolErrors;
        outputOpen = false;
        prepared.reset();
    }

    MediaError play(std::span<const std::uint8_t> midi) override
    {
        if (!outputOpen)
            ++protocolErrors;
        if (playResult == MediaError::Success)
            playing = midi.size();
        return playResult;
    }

    void stop() override
    {
        if (!outputOpen)
            ++protocolErrors;
        playing.reset();
    }

    MediaError openResult = MediaError::Success;
    MediaError playResult = MediaError::Success;
    int preparations = 0;                // prepare() calls
    std::optional<std::size_t> prepared; // the size of the file prepare() or open() was given, until a close
    bool outputOpen = false;
    std::optional<std::size_t> playing; // the size of the file that plays, until a stop
    int protocolErrors = 0;
};

} // namespace sorabune::testing
