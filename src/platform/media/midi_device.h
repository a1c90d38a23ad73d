// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_error.h"

#include <cstdint>
#include <span>

namespace sorabune {

// The synthesiser behind the media commands. Called from the GUI thread only;
// no call blocks for long.
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

// The FluidSynth device is built as a module of its own and loaded when MIDI is
// first wanted: linked into the program, FluidSynth and the forty libraries
// under it would cost every start-up milliseconds and megabytes, also for users
// who never choose a MIDI file.
//
// The module exports one C function of this type under this name. It returns a
// new device, owned by the caller, or null when none could be made.
using CreateMidiDevice = MidiDevice *();
inline constexpr char kCreateMidiDeviceSymbol[] = "sorabune_create_midi_device";

} // namespace sorabune
