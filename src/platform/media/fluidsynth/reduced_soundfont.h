// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/fluidsynth/soundfont_layout.h"

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
    void unload();

    friend struct SoundfontFile;

    fluid_synth_t *const m_synth;
    const std::string m_path;
    std::optional<SoundfontLayout> m_layout; // of the file as it was when last read
    RiffHeader m_riffHeader{};               // with the size of what FluidSynth is shown
    std::vector<std::uint8_t> m_presetData;  // what FluidSynth is shown in place of the file's
    std::set<Preset> m_kept;
    int m_id = FLUID_FAILED;
};

} // namespace sorabune
