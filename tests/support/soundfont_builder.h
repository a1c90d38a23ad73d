// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sorabune::testing {

// SoundFont 2 files written byte by byte, small enough to build in every test:
// one looped square-wave sample (441 Hz at key 69, half of full scale) and one
// instrument that plays it over every key. Each preset has zones of its own,
// each playing that instrument over a range of keys, so that which zones a
// preset came to hold shows in which keys sound.
struct SoundfontZone {
    int lowKey;
    int highKey;
};

struct SoundfontPreset {
    int bank;
    int program;
    std::vector<SoundfontZone> zones;
};

class BuiltSoundfont {
public:
    std::vector<std::uint8_t> bytes;

    // Where a chunk's header begins: "INFO", "sdta" and "pdta" for the three
    // lists of the file, "phdr" to "shdr" for the lists of the preset data.
    std::size_t chunkAt(const std::string &tag) const { return m_chunkAt.at(tag); }

    // Ways to break the file: a chunk's size; a preset header's index of its
    // first zone (the presets counted from 0 in the order given, the terminal
    // header after them); a zone's index of its first generator or modulator
    // (the zones counted through all presets, the terminal zone after them).
    void setChunkSize(const std::string &tag, std::uint32_t size);
    void setPresetFirstZone(std::size_t preset, std::uint16_t zone);
    void setZoneFirstGenerator(std::size_t zone, std::uint16_t generator);
    void setZoneFirstModulator(std::size_t zone, std::uint16_t modulator);

private:
    friend BuiltSoundfont soundfontFile(const std::vector<SoundfontPreset> &presets, std::size_t commentSize);
    void put(std::size_t at, std::uint32_t value, std::size_t width);

    std::map<std::string, std::size_t> m_chunkAt;
};

// A comment of `commentSize` bytes in the information moves everything after it by as much.
BuiltSoundfont soundfontFile(const std::vector<SoundfontPreset> &presets, std::size_t commentSize = 0);

} // namespace sorabune::testing
