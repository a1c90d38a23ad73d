#pragma once

#include "platform/media/media_error.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace sorabune {

// Real MIDI files are kilobytes; a cap keeps a huge file from stalling the audio thread.
inline constexpr std::size_t maxMidiFileSize = 16 * 1024 * 1024;

struct MidiFileContents {
    MediaError error = MediaError::Success;
    std::vector<std::uint8_t> bytes; // the whole file, when error is Success
};

// Reads a MIDI file for the player, never blocking on what is not a regular
// file: a FIFO would block open() until a writer comes, and FluidSynth itself
// would hang or try to allocate exabytes on a FIFO or a directory.
MidiFileContents readMidiFile(std::string_view path);

} // namespace sorabune
