#pragma once

#include "platform/media/media_error.h"

#include <cstdint>
#include <span>

namespace sorabune {

// The one synthesiser behind every media alias. Called from the GUI thread
// only; no call blocks for long.
class MidiDevice {
public:
    virtual ~MidiDevice() = default;

    // Starts loading what playing needs, in the background, so that a later
    // openOutput() is quick. Returns at once.
    virtual void prepare() = 0;
    // Makes sure the soundfont is loaded and sound can go out, waiting a
    // bounded time for it.
    virtual MediaError openOutput() = 0;
    // Lets the sound output go, in the background.
    virtual void closeOutput() = 0;
    // Plays a file that passed isPlayableMidiFile(), from its start, in place
    // of whatever was playing. Only between openOutput() and closeOutput().
    virtual MediaError play(std::span<const std::uint8_t> midi) = 0;
    // Silences what plays, within milliseconds and leaving no note hanging.
    virtual void stop() = 0;
};

} // namespace sorabune
