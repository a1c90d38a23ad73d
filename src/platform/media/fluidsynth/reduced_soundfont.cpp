// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/reduced_soundfont.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>
#include <string_view>

namespace sorabune {

// What FluidSynth reads: the RIFF header, the file up to its preset data,
// then the rewritten preset data.
struct SoundfontFile {
    const ReducedSoundfont &font;
    std::FILE *const file;
    std::uint64_t position = 0;

    ~SoundfontFile()
    {
        if (file)
            std::fclose(file);
    }

    std::uint64_t size() const { return font.m_layout->presetDataAt + font.m_presetData.size(); }

    bool read(std::uint8_t *into, std::uint64_t count)
    {
        if (count > size() - position)
            return false;
        for (const std::uint64_t end = position + count; position < end;) {
            const std::uint64_t header = font.m_riffHeader.size(), presetData = font.m_layout->presetDataAt;
            std::uint64_t piece = end - position;
            if (position < header) {
                piece = std::min(end, header) - position;
                std::memcpy(into, font.m_riffHeader.data() + position, piece);
            } else if (position < presetData) {
                piece = std::min(end, presetData) - position;
                if (!readAt(file, position, into, piece))
                    return false;
            } else {
                std::memcpy(into, font.m_presetData.data() + (position - presetData), piece);
            }
            into += piece;
            position += piece;
        }
        return true;
    }

    // FluidSynth's file callbacks. The name it is given carries the soundfont's
    // address after its last '#', their only way to it: a plain path never
    // opens here, nor one with more than digits after its own last '#'
    // ("font#1.sf2"). A file that is no longer the one whose layout was read
    // is refused: its preset data lies elsewhere.
    static void *open(const char *name)
    {
        const std::string_view text(name);
        const auto mark = text.rfind('#');
        if (mark == std::string_view::npos)
            return nullptr;
        std::uintptr_t address = 0;
        const char *const end = text.data() + text.size();
        if (const auto [last, error] = std::from_chars(text.data() + mark + 1, end, address);
            error != std::errc() || last != end)
            return nullptr;
        const auto &font = *reinterpret_cast<const ReducedSoundfont *>(address);
        auto *opened = new (std::nothrow) SoundfontFile{font, std::fopen(font.m_path.c_str(), "rbe")};
        if (opened
            && (!opened->file || !font.m_layout || FileStamp::of(::fileno(opened->file)) != font.m_layout->stamp)) {
            delete opened;
            return nullptr;
        }
        return opened;
    }
    static int read(void *into, fluid_long_long_t count, void *file)
    {
        return count >= 0 && static_cast<SoundfontFile *>(file)->read(static_cast<std::uint8_t *>(into), count)
            ? FLUID_OK
            : FLUID_FAILED;
    }
    static int seek(void *file, fluid_long_long_t offset, int origin)
    {
        auto &self = *static_cast<SoundfontFile *>(file);
        const auto size = static_cast<fluid_long_long_t>(self.size());
        const auto to = offset
            + (origin == SEEK_SET        ? 0
                    : origin == SEEK_CUR ? static_cast<fluid_long_long_t>(self.position)
                                         : size);
        if (to < 0 || to > size)
            return FLUID_FAILED;
        self.position = static_cast<std::uint64_t>(to);
        return FLUID_OK;
    }
    static fluid_long_long_t tell(void *file)
    {
        return static_cast<fluid_long_long_t>(static_cast<SoundfontFile *>(file)->position);
    }
    static int close(void *file)
    {
        delete static_cast<SoundfontFile *>(file);
        return FLUID_OK;
    }
};

std::unique_ptr<ReducedSoundfont> ReducedSoundfont::loadFirst(
    fluid_synth_t *synth, fluid_settings_t *settings, const std::vector<std::string> &paths)
{
    fluid_sfloader_t *loader = new_fluid_defsfloader(settings);
    if (!loader)
        return nullptr;
    fluid_sfloader_set_callbacks(loader, SoundfontFile::open, SoundfontFile::read, SoundfontFile::seek,
        SoundfontFile::tell, SoundfontFile::close);
    fluid_synth_add_sfloader(synth, loader);
    for (const std::string &path : paths) {
        std::unique_ptr<ReducedSoundfont> soundfont(new ReducedSoundfont(synth, path));
        if (soundfont->keepOnly({}))
            return soundfont;
    }
    return nullptr;
}

ReducedSoundfont::ReducedSoundfont(fluid_synth_t *synth, std::string path)
    : m_synth(synth)
    , m_path(std::move(path))
{
}

ReducedSoundfont::~ReducedSoundfont()
{
    unload();
}

bool ReducedSoundfont::keepOnly(const std::set<Preset> &kept)
{
    // A stat per call: a soundfont swapped since is read afresh, also for the
    // headers that choose the presets to keep.
    const bool changed = !m_layout || FileStamp::of(m_path.c_str()) != m_layout->stamp;
    if (!changed && m_id != FLUID_FAILED && kept == m_kept)
        return true;
    unload();
    if (changed) {
        std::FILE *file = std::fopen(m_path.c_str(), "rbe");
        m_layout = readSoundfontLayout(file);
        if (file)
            std::fclose(file);
        if (!m_layout)
            return false;
    }
    m_presetData = reducedPresetData(*m_layout, kept);
    m_riffHeader = riffHeaderWith(*m_layout, m_presetData);
    m_id =
        fluid_synth_sfload(m_synth, (m_path + '#' + std::to_string(reinterpret_cast<std::uintptr_t>(this))).c_str(), 0);
    m_kept = kept;
    // Only a file that no longer opens, or was replaced in between, fails a
    // pin; the next call reads it again.
    const bool pinned = m_id != FLUID_FAILED && std::all_of(kept.begin(), kept.end(), [this](const Preset &preset) {
        return fluid_synth_pin_preset(m_synth, m_id, preset.bank, preset.program) == FLUID_OK;
    });
    if (!pinned)
        unload();
    return pinned;
}

void ReducedSoundfont::unload()
{
    // Without a reset: the channels let go of its presets without looking for others.
    if (m_id != FLUID_FAILED)
        fluid_synth_sfunload(m_synth, m_id, 0);
    m_id = FLUID_FAILED;
}

} // namespace sorabune
