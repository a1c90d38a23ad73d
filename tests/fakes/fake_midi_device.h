// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/midi_device.h"

#include <string>
#include <vector>

namespace sorabune::testing {

// Records every call, in order: "prepare", "openOutput", "closeOutput",
// "play:<size of the file>", "stop", and answers with the results set. Counts
// calls out of protocol: play or stop without an open output, an output
// opened twice or closed when not open.
class FakeMidiDevice final : public MidiDevice {
public:
    void prepare() override { calls.emplace_back("prepare"); }

    MediaError openOutput() override
    {
        calls.emplace_back("openOutput");
        if (outputOpen)
            ++protocolErrors;
        outputOpen = openResult == MediaError::Success;
        return openResult;
    }

    void closeOutput() override
    {
        calls.emplace_back("closeOutput");
        if (!outputOpen)
            ++protocolErrors;
        outputOpen = false;
    }

    MediaError play(std::span<const std::uint8_t> midi) override
    {
        calls.push_back("play:" + std::to_string(midi.size()));
        if (!outputOpen)
            ++protocolErrors;
        return playResult;
    }

    void stop() override
    {
        calls.emplace_back("stop");
        if (!outputOpen)
            ++protocolErrors;
    }

    MediaError openResult = MediaError::Success;
    MediaError playResult = MediaError::Success;
    std::vector<std::string> calls;
    bool outputOpen = false;
    int protocolErrors = 0;
};

} // namespace sorabune::testing
