// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/file_stamp.h"

#include <fluidsynth.h>

#include <array>
#include <compare>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace sorabune {

struct Preset {
    int bank;
    int program;
    auto operator<=>(const Preset &) const = default;
};

// A SoundFont 2 file loaded into a synthesiser with the zones of only some of
// its presets. FluidSynth keeps the zones of every preset it loads, and those
// of the instruments they use, for as long as the soundfont is loaded: with
// FluidR3_GM ten megabytes that a file of a few instruments never touches.
// FluidSynth is shown the file itself up to its preset data, so that samples
// are read at their own offsets, then preset data rewritten in memory. Every
// preset keeps its header: presets are found, and missing ones substituted,
// as in the whole file.
class ReducedSoundfont {
public:
    // The first of the files that loads, with no preset's zones; null when
    // none does. The synthesiser outlives it and has loaded no soundfont yet.
    static std::unique_ptr<ReducedSoundfont> loadFirst(
        fluid_synth_t *synth, fluid_settings_t *settings, const std::vector<std::string> &paths);
    ~ReducedSoundfont();
    ReducedSoundfont(const ReducedSoundfont &) = delete;
    ReducedSoundfont &operator=(const ReducedSoundfont &) = delete;

    // Loads the file again in place of what was loaded, with the zones of the
    // kept presets only and their samples pinned in memory. Reads the disk;
    // a file changed or replaced since its layout was read (a package that
    // installs another soundfont under the same name) is read afresh.
    bool keepOnly(const std::set<Preset> &kept);
    const std::string &path() const { return m_path; }

private:
    ReducedSoundfont(fluid_synth_t *synth, std::string path);
    bool readLayout();
    void unload();

    friend struct SoundfontFile;

    fluid_synth_t *const m_synth;
    const std::string m_path;
    std::optional<FileStamp> m_layoutStamp;      // of the file the layout below was read from
    std::array<std::uint8_t, 12> m_riffHeader{}; // with the size of what FluidSynth is shown
    std::uint64_t m_presetDataAt = 0;            // where the preset data chunk begins in the file
    std::vector<std::uint8_t> m_originalPresetData;
    std::array<std::span<const std::uint8_t>, 9> m_lists; // in it, from the presets' to the samples'
    std::vector<std::uint8_t> m_presetData;               // what FluidSynth is shown in its place
    std::set<Preset> m_kept;
    int m_id = FLUID_FAILED;
};

} // namespace sorabune
