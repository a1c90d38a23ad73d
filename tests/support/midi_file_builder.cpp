// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/midi_file_builder.h"

#include <fstream>
#include <stdexcept>
#include <utility>

namespace sorabune::testing {
namespace {

std::uint32_t ticks(double seconds)
{
    return static_cast<std::uint32_t>(seconds * ticksPerSecond);
}

void appendBigEndian(std::vector<std::uint8_t> &bytes, std::uint32_t value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

} // namespace

MidiTrack &MidiTrack::event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
{
    const auto time = variableLength(delta);
    events.insert(events.end(), time.begin(), time.end());
    events.insert(events.end(), bytes.begin(), bytes.end());
    return *this;
}

MidiTrack &MidiTrack::program(std::uint32_t delta, int channel, int program)
{
    return event(delta, {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)});
}

MidiTrack &MidiTrack::noteOn(std::uint32_t delta, int channel, int key, int velocity)
{
    return event(delta,
        {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
            static_cast<std::uint8_t>(velocity)});
}

MidiTrack &MidiTrack::noteOff(std::uint32_t delta, int channel, int key)
{
    return event(delta, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 0});
}

MidiTrack &MidiTrack::endOfTrack(std::uint32_t delta)
{
    return event(delta, {0xFF, 0x2F, 0x00});
}

std::vector<std::uint8_t> MidiTrack::chunk() const
{
    return midiChunk("MTrk", events);
}

std::vector<std::uint8_t> midiChunk(const std::string &tag, std::span<const std::uint8_t> content)
{
    std::vector<std::uint8_t> bytes(tag.begin(), tag.end());
    appendBigEndian(bytes, static_cast<std::uint32_t>(content.size()), 4);
    bytes.insert(bytes.end(), content.begin(), content.end());
    return bytes;
}

std::vector<std::uint8_t> variableLength(std::uint32_t value)
{
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0)
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return bytes;
}

std::vector<std::uint8_t> midiHeader(std::uint16_t format, std::uint16_t tracks, std::uint16_t division)
{
    std::vector<std::uint8_t> bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    appendBigEndian(bytes, format, 2);
    appendBigEndian(bytes, tracks, 2);
    appendBigEndian(bytes, division, 2);
    return bytes;
}

std::vector<std::uint8_t> midiFile(std::initializer_list<MidiTrack> tracks)
{
    std::vector<std::uint8_t> bytes = midiHeader(1, static_cast<std::uint16_t>(tracks.size()));
    for (const MidiTrack &track : tracks) {
        const auto chunk = track.chunk();
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    }
    return bytes;
}

std::vector<std::uint8_t> sustainedNoteFile(double seconds)
{
    return midiFile({MidiTrack().program(0, 0, 0).noteOn(0, 0, 60, 100).noteOff(ticks(seconds), 0, 60).endOfTrack(0)});
}

std::vector<std::uint8_t> restFile(double seconds)
{
    return midiFile({MidiTrack().endOfTrack(ticks(seconds))});
}

std::vector<std::uint8_t> bandFile()
{
    MidiTrack track;
    const std::pair<int, int> parts[] = {{0, 0}, {1, 48}, {2, 33}, {3, 61}}; // channel, program
    for (const auto &[channel, program] : parts) {
        track.event(0, {static_cast<std::uint8_t>(0xB0 | channel), 7, 100});
        track.program(0, channel, program);
    }
    track.event(0, {0xB9, 7, 100});
    for (int bar = 0; bar < 2; ++bar) {
        track.noteOn(0, 1, 60, 90).noteOn(0, 1, 64, 90).noteOn(0, 1, 67, 90);
        track.noteOn(0, 2, 36, 100).noteOn(0, 3, 72, 100).noteOn(0, 3, 76, 100);
        for (int beat = 0; beat < 4; ++beat) {
            track.noteOn(0, 0, 72 + 2 * beat, 100).noteOn(0, 9, beat % 2 == 0 ? 36 : 38, 100).noteOn(0, 9, 42, 90);
            track.noteOff(480, 0, 72 + 2 * beat);
        }
        track.noteOff(0, 1, 60).noteOff(0, 1, 64).noteOff(0, 1, 67);
        track.noteOff(0, 2, 36).noteOff(0, 3, 72).noteOff(0, 3, 76);
    }
    return midiFile({track.endOfTrack(0)});
}

std::vector<std::uint8_t> loudFile()
{
    MidiTrack track;
    for (int channel = 0; channel < 16; ++channel) {
        track.event(0, {static_cast<std::uint8_t>(0xB0 | channel), 7, 127});  // volume
        track.event(0, {static_cast<std::uint8_t>(0xB0 | channel), 11, 127}); // expression
        if (channel != 9)
            track.program(0, channel, channel % 2 == 0 ? 61 : 19); // brass section, church organ
    }
    for (int channel = 0; channel < 16; ++channel) {
        if (channel == 9) {
            for (const int drum : {36, 38, 49, 57})
                track.noteOn(0, channel, drum, 127);
            continue;
        }
        for (const int key : {36, 48, 55, 60, 64, 67, 72})
            track.noteOn(0, channel, key + channel % 3, 127);
    }
    return midiFile({track.endOfTrack(ticks(2.0))});
}

void writeBytes(const std::filesystem::path &path, std::span<const std::uint8_t> bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace sorabune::testing
