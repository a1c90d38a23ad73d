// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace sorabune::testing {

// Standard MIDI Files written byte by byte, so that tests need no sample files.
// Timing: 480 ticks per quarter note at the default 120 bpm, so 960 ticks a second.
class MidiTrack {
public:
    // Any event, raw, after `delta` ticks.
    MidiTrack &event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes);
    MidiTrack &program(std::uint32_t delta, int channel, int program);
    MidiTrack &noteOn(std::uint32_t delta, int channel, int key, int velocity);
    MidiTrack &noteOff(std::uint32_t delta, int channel, int key);
    MidiTrack &endOfTrack(std::uint32_t delta);

    // "MTrk", its length and the events.
    std::vector<std::uint8_t> chunk() const;

    std::vector<std::uint8_t> events;
};

inline constexpr std::uint32_t ticksPerSecond = 960;

std::vector<std::uint8_t> variableLength(std::uint32_t value);
// A chunk of any tag: the tag, the content's length and the content.
std::vector<std::uint8_t> midiChunk(const std::string &tag, std::span<const std::uint8_t> content);
// "MThd" and its six bytes.
std::vector<std::uint8_t> midiHeader(std::uint16_t format, std::uint16_t tracks, std::uint16_t division = 480);
std::vector<std::uint8_t> midiFile(std::initializer_list<MidiTrack> tracks);

// A piano note held for the given time: sound from the first moment of play.
std::vector<std::uint8_t> sustainedNoteFile(double seconds);
// Only a rest of the given time: any sound while it plays hangs over from before.
std::vector<std::uint8_t> restFile(double seconds);
// A small band at ordinary volumes: piano melody, string chords, bass, brass, drums.
std::vector<std::uint8_t> bandFile();
// As loud as General MIDI gets: full-velocity brass and organ chords on every
// melodic channel at full volume and expression, with a drum hit.
std::vector<std::uint8_t> loudFile();

void writeBytes(const std::filesystem::path &path, std::span<const std::uint8_t> bytes);

} // namespace sorabune::testing
