// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace sorabune {

// Real MIDI files are kilobytes; a cap keeps a huge file from stalling the audio thread.
inline constexpr std::size_t kMaxMidiFileSize = 16 * 1024 * 1024;
// FluidSynth's player has room for this many tracks; it refuses the file beyond.
inline constexpr std::size_t kMaxMidiTracks = 128;
// The player keeps 50-60 bytes per event; real files have at most tens of thousands.
inline constexpr std::size_t kMaxMidiEvents = 500'000;

struct MidiFileContents {
    MediaError error = MediaError::Success;
    std::vector<std::uint8_t> bytes; // the whole file, when error is Success
};

// Reads a MIDI file for the player, never blocking on what is not a regular
// file: a FIFO would block open() until a writer comes, and FluidSynth itself
// would hang or try to allocate exabytes on a FIFO or a directory. A file that
// is read but fails isPlayableMidiFile() answers NotMidiFile.
MidiFileContents readMidiFile(std::string_view path);

// Whether the bytes are a Standard MIDI File that FluidSynth's player reads as
// it is meant: every chunk and event complete and inside its bounds, and
// nothing that makes the player drop the whole file without a word (a timing
// it does not support, a meta event of the wrong length) or eat unbounded
// memory (it keeps every event of every track in memory at once).
bool isPlayableMidiFile(std::span<const std::uint8_t> bytes);

// An event that chooses instruments: a bank select or a program change (the
// status byte first), or a system exclusive message (F0 first, no closing F7).
struct InstrumentEvent {
    std::uint32_t tick; // from the start of the file
    std::vector<std::uint8_t> message;
};

// The events of a playable file that choose its instruments, in the order the
// player sends them. Empty for a file that is not playable.
std::vector<InstrumentEvent> instrumentEvents(std::span<const std::uint8_t> bytes);

} // namespace sorabune
