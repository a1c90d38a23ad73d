// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/fluid_midi_device.h"
#include "platform/media/midi_device.h"

#include <exception>
#include <type_traits>

// The module's one entry point; every other symbol stays hidden.
extern "C" [[gnu::visibility("default")]] sorabune::MidiDevice *sorabune_create_midi_device()
{
    static_assert(std::is_same_v<decltype(sorabune_create_midi_device), sorabune::CreateMidiDevice>);
    try {
        return new sorabune::FluidMidiDevice();
    } catch (const std::exception &) {
        return nullptr; // out of memory: no exception crosses into the loader's caller
    }
}
