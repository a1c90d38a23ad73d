// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/fake_midi_device.h"
#include "platform/media/midi_device.h"

// A MIDI module for tests: its device records every call. A second entry lets
// the test reach the last device made, to read what it recorded.
namespace {
sorabune::testing::FakeMidiDevice *lastDevice = nullptr;
}

extern "C" [[gnu::visibility("default")]] sorabune::MidiDevice *sorabune_create_midi_device()
{
    lastDevice = new sorabune::testing::FakeMidiDevice();
    lastDevice->openResult = sorabune::MediaError::NoSoundfont; // an answer only the module gives
    return lastDevice;
}

extern "C" [[gnu::visibility("default")]] sorabune::testing::FakeMidiDevice *sorabune_last_fake_midi_device()
{
    return lastDevice;
}
