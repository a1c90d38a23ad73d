// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/midi_device.h"

#include <span>
#include <string>
#include <vector>

namespace sorabune::testing {

// Records every call, in order: "prepare:<size of the file>", "open", "close",
// "play:<size>", "stop", and answers with the results set. Counts calls out of
// protocol: play or stop without an open output, an output opened twice.
class FakeMidiDevice final : public MidiDevice {
public:
    void prepare(std::span<const std::uint8_t> midi) override
    {
        calls.push_back("prepare:" + std::to_string(midi.size()));
    }

    MediaError open(std::span<const std::uint8_t>) override
    {
        calls.emplace_back("open");
        if (outputOpen)
            ++protocolErrors;
        outputOpen = openResult == MediaError::Success;
        return openResult;
    }

    void close() override
    {
        calls.emplace_back("close");
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
