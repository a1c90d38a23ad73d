#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sorabune {

// Whether the bytes are a Standard MIDI File that FluidSynth's player reads as
// it is meant: every chunk and event complete and inside its bounds, and
// nothing that makes the player drop the whole file without a word (a timing
// it does not support, a meta event of the wrong length) or eat unbounded
// memory (it keeps every event of every track in memory at once).
bool isPlayableMidiFile(std::span<const std::uint8_t> bytes);

// FluidSynth's player has room for this many tracks; it refuses the file beyond.
inline constexpr std::size_t maxMidiTracks = 128;
// The player keeps 50-60 bytes per event; real files have at most tens of thousands.
inline constexpr std::size_t maxMidiEvents = 500'000;

} // namespace sorabune
