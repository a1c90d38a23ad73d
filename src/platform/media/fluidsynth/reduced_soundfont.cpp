// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/reduced_soundfont.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <new>
#include <string_view>

namespace sorabune {
namespace {

// The lists of the preset data, in the order FluidSynth reads them, and the size of their records.
constexpr std::array<std::string_view, 9> kTags{"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"};
constexpr std::array<std::size_t, 9> kRecordSizes{38, 4, 10, 4, 22, 4, 10, 4, 46};
enum List { kPresets, kZones, kModulators, kGenerators };

std::size_t littleEndian(const std::uint8_t *bytes, std::size_t width = 2)
{
    std::size_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}

void putLittleEndian(std::uint8_t *bytes, std::size_t value, std::size_t width = 2)
{
    for (std::size_t i = 0; i < width; ++i, value >>= 8)
        bytes[i] = static_cast<std::uint8_t>(value);
}

bool readAt(std::FILE *file, std::uint64_t offset, std::uint8_t *into, std::size_t count)
{
    return file && ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0
        && std::fread(into, 1, count, file) == count;
}

// The preset data with the zones of the kept presets only; every preset's
// header stays. Indices out of their lists, as only a broken file has, are
// cut to them: what FluidSynth then refuses is refused as in the whole file.
std::vector<std::uint8_t> reducedPresetData(
    const std::array<std::span<const std::uint8_t>, 9> &lists, const std::set<Preset> &kept)
{
    const auto records = [&](List list) { return lists[list].size() / kRecordSizes[list]; };
    // The records of `list` that record `index` of `of` begins with: up to where the next one begins.
    const auto range = [&](List of, std::size_t index, std::size_t at, List list) {
        const std::uint8_t *record = lists[of].data() + index * kRecordSizes[of] + at;
        const std::size_t end = records(list) - (list == kZones); // the last zone record only ends the list
        const std::size_t first = std::min(littleEndian(record), end);
        return std::pair{first, std::clamp(littleEndian(record + kRecordSizes[of]), first, end)};
    };
    std::array<std::vector<std::uint8_t>, 4> out{{{lists[kPresets].begin(), lists[kPresets].end()}, {}, {}, {}}};
    const auto copy = [&](List list, std::pair<std::size_t, std::size_t> range) {
        const auto from = lists[list].begin() + static_cast<std::ptrdiff_t>(range.first * kRecordSizes[list]);
        out[list].insert(out[list].end(), from,
            from + static_cast<std::ptrdiff_t>((range.second - range.first) * kRecordSizes[list]));
    };
    const auto addZone = [&] {
        out[kZones].resize(out[kZones].size() + 4);
        putLittleEndian(&*(out[kZones].end() - 4), out[kGenerators].size() / kRecordSizes[kGenerators]);
        putLittleEndian(&*(out[kZones].end() - 2), out[kModulators].size() / kRecordSizes[kModulators]);
    };
    for (std::size_t preset = 0; preset < records(kPresets); ++preset) {
        const std::size_t at = preset * kRecordSizes[kPresets];
        putLittleEndian(&out[kPresets][at + 24], out[kZones].size() / kRecordSizes[kZones]);
        const Preset key{static_cast<int>(littleEndian(&out[kPresets][at + 22])),
            static_cast<int>(littleEndian(&out[kPresets][at + 20]))};
        if (preset + 1 == records(kPresets) || !kept.contains(key))
            continue; // the last header only ends the list
        for (auto [zone, end] = range(kPresets, preset, 24, kZones); zone < end; ++zone) {
            addZone();
            copy(kGenerators, range(kZones, zone, 0, kGenerators));
            copy(kModulators, range(kZones, zone, 2, kModulators));
        }
    }
    addZone();                                                                    // where the last zone's records end
    out[kGenerators].resize(out[kGenerators].size() + kRecordSizes[kGenerators]); // the records that end the lists
    out[kModulators].resize(out[kModulators].size() + kRecordSizes[kModulators]);

    std::vector<std::uint8_t> data{'L', 'I', 'S', 'T', 0, 0, 0, 0, 'p', 'd', 't', 'a'};
    for (std::size_t list = 0; list < lists.size(); ++list) {
        const std::span<const std::uint8_t> content = list < out.size() ? out[list] : lists[list];
        data.insert(data.end(), kTags[list].begin(), kTags[list].end());
        data.resize(data.size() + 4);
        putLittleEndian(&*(data.end() - 4), content.size(), 4);
        data.insert(data.end(), content.begin(), content.end());
    }
    putLittleEndian(&data[4], data.size() - 8, 4);
    return data;
}

} // namespace

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

    std::uint64_t size() const { return font.m_presetDataAt + font.m_presetData.size(); }

    bool read(std::uint8_t *into, std::uint64_t count)
    {
        if (count > size() - position)
            return false;
        for (const std::uint64_t end = position + count; position < end;) {
            const std::uint64_t header = font.m_riffHeader.size(), presetData = font.m_presetDataAt;
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
    // address, their only way to it; a plain path never opens here.
    static void *open(const char *name)
    {
        const std::string_view text(name);
        std::uintptr_t address = 0;
        const auto mark = text.rfind('#');
        if (mark == std::string_view::npos
            || std::from_chars(text.data() + mark + 1, text.data() + text.size(), address).ec != std::errc())
            return nullptr;
        const auto &font = *reinterpret_cast<const ReducedSoundfont *>(address);
        auto *opened = new (std::nothrow) SoundfontFile{font, std::fopen(font.m_path.c_str(), "rbe")};
        if (opened && !opened->file) {
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
        if (soundfont->readLayout() && soundfont->keepOnly({}))
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
    if (m_id != FLUID_FAILED && kept == m_kept)
        return true;
    unload();
    m_presetData = reducedPresetData(m_lists, kept);
    // FluidSynth checks the size in the RIFF header against that of the whole.
    putLittleEndian(&m_riffHeader[4], m_presetDataAt + m_presetData.size() - 8, 4);
    m_id =
        fluid_synth_sfload(m_synth, (m_path + '#' + std::to_string(reinterpret_cast<std::uintptr_t>(this))).c_str(), 0);
    m_kept = kept;
    // Only a file that no longer opens fails a pin; the next call loads it again.
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

bool ReducedSoundfont::readLayout()
{
    const SoundfontFile reader{*this, std::fopen(m_path.c_str(), "rbe")};
    std::error_code error;
    const std::uint64_t fileSize = std::filesystem::file_size(m_path, error);
    std::array<std::uint8_t, 12> list{};
    if (!readAt(reader.file, 0, m_riffHeader.data(), m_riffHeader.size())
        || std::memcmp(m_riffHeader.data(), "RIFF", 4) != 0 || std::memcmp(m_riffHeader.data() + 8, "sfbk", 4) != 0)
        return false;
    // The information, the samples, then the preset data, the last that FluidSynth reads.
    for (std::uint64_t at = m_riffHeader.size(); readAt(reader.file, at, list.data(), list.size());) {
        const std::size_t size = littleEndian(list.data() + 4, 4);
        if (std::memcmp(list.data(), "LIST", 4) != 0 || std::memcmp(list.data() + 8, "pdta", 4) != 0 || size < 4) {
            at += 8 + size + size % 2;
            continue;
        }
        // A size the file does not have is never allocated.
        if (error || at + 8 + size > fileSize)
            return false;
        m_presetDataAt = at;
        m_originalPresetData.resize(size - 4);
        if (!readAt(reader.file, at + list.size(), m_originalPresetData.data(), m_originalPresetData.size()))
            return false;
        std::span<const std::uint8_t> rest(m_originalPresetData);
        for (std::size_t each = 0; each < m_lists.size(); ++each) {
            const std::size_t length = rest.size() >= 8 ? littleEndian(rest.data() + 4, 4) : 0;
            if (rest.size() < 8 || std::memcmp(rest.data(), kTags[each].data(), 4) != 0 || length > rest.size() - 8
                || length % kRecordSizes[each] != 0)
                return false;
            m_lists[each] = rest.subspan(8, length);
            rest = rest.subspan(8 + length);
        }
        return !m_lists[kPresets].empty() && !m_lists[kZones].empty();
    }
    return false;
}

} // namespace sorabune
