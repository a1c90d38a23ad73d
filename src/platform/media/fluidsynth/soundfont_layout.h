// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/file_stamp.h"

#include <array>
#include <compare>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <span>
#include <vector>

// Where a SoundFont 2 file keeps its preset data, and that preset data with
// the zones of some presets only: the part of ReducedSoundfont that reads
// bytes, apart from FluidSynth.
namespace sorabune {

struct Preset {
    int bank;
    int program;
    auto operator<=>(const Preset &) const = default;
};

// The RIFF form's header: "RIFF", the size of the rest, "sfbk".
using RiffHeader = std::array<std::uint8_t, 12>;

struct SoundfontLayout {
    FileStamp stamp; // of the file it was read from
    RiffHeader riffHeader{};
    std::uint64_t presetDataAt = 0;       // where the preset data's LIST begins: all before it is FluidSynth's to read
    std::vector<std::uint8_t> presetData; // the content of that LIST after its type
    // The nine lists of the preset data, in order from the presets' to the
    // samples': each the records in presetData, without its chunk header.
    std::array<std::span<const std::uint8_t>, 9> lists;

    SoundfontLayout() = default;
    SoundfontLayout(SoundfontLayout &&) = default; // the lists still point into the moved presetData
    SoundfontLayout &operator=(SoundfontLayout &&) = default;
    SoundfontLayout(const SoundfontLayout &) = delete;
    SoundfontLayout &operator=(const SoundfontLayout &) = delete;
};

// The layout of the open file; none when it is no SoundFont 2 file, or one
// whose chunks claim more than it holds (nothing that size is allocated).
std::optional<SoundfontLayout> readSoundfontLayout(std::FILE *file);

// The preset data as FluidSynth is to be shown it, its LIST header included:
// every preset header, and the zones of the kept presets only. Indices out of
// their lists, as only a broken file has, are cut to them.
std::vector<std::uint8_t> reducedPresetData(const SoundfontLayout &layout, const std::set<Preset> &kept);

// The RIFF header of the file with `presetData` in place of its own.
RiffHeader riffHeaderWith(const SoundfontLayout &layout, std::span<const std::uint8_t> presetData);

// Reads exactly `count` bytes at `offset`.
bool readAt(std::FILE *file, std::uint64_t offset, std::uint8_t *into, std::size_t count);

} // namespace sorabune
