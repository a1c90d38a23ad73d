// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_error.h"

#include <chrono>
#include <cstdint>
#include <span>

namespace sorabune {

// The synthesiser behind the media commands. Called from the GUI thread only;
// what may take long (reading the soundfont, starting and stopping the sound
// output) runs in the background, and open() waits for it a bounded time.
class MidiDevice {
public:
    // The longest the window may freeze at an alarm: only a sound server that
    // hangs makes open() wait this long before it answers NoAudioOutput.
    static constexpr std::chrono::milliseconds kOpenLimit{3000};

    virtual ~MidiDevice() = default;

    // Starts getting ready, in the background, to play a file that passed
    // isPlayableMidiFile(), so that a later open() of it is quick. Returns at once.
    virtual void prepare(std::span<const std::uint8_t> midi) = 0;
    // Makes sure the file can play (as prepare()) and the sound can go out,
    // waiting at most kOpenLimit for both.
    virtual MediaError open(std::span<const std::uint8_t> midi) = 0;
    // Lets the sound output go, and what prepare() and open() loaded, in the
    // background. After stop() when a file plays: what still sounds is cut.
    virtual void close() = 0;
    // Plays the open file from its start; a file that plays goes on. Only
    // between a successful open() and close().
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
