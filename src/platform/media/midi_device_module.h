#pragma once

#include "platform/media/midi_device.h"

namespace sorabune {

// The FluidSynth device is built as a module of its own and loaded when MIDI is
// first wanted: linked into the program, FluidSynth and the forty libraries
// under it would cost every start-up milliseconds and megabytes, also for users
// who never choose a MIDI file.
//
// The module exports one C function of this type under this name. It returns a
// new device, owned by the caller, or null when none could be made.
using CreateMidiDevice = MidiDevice *();
inline constexpr char createMidiDeviceSymbol[] = "sorabune_create_midi_device";

} // namespace sorabune
