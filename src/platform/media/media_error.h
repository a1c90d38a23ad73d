// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace sorabune {

// What a media command answers: 0 for success, otherwise why it failed.
enum class MediaError : std::int32_t {
    Success = 0,
    AliasNotOpen = 2,    // nothing open under the name, or not one of the commands
    FileNotReadable = 4, // missing, or it cannot be opened or read
    NotRegularFile = 5,  // a directory, FIFO, device or socket
    NotMidiFile = 6,     // empty, larger than 16 MiB, or not a well-formed Standard MIDI File
    NoSoundfont = 7,     // no General MIDI soundfont could be loaded
    NoAudioOutput = 8,   // neither PulseAudio nor ALSA took the sound in time
    DeviceError = 9,     // no synthesiser to be had, or it could not start the file (out of memory)
};

} // namespace sorabune
