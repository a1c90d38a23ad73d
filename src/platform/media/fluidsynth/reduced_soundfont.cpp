// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/reduced_soundfont.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>
#include <string_view>

namespace sorabune {
namespace {

// A SoundFont 2 file is a RIFF form of type "sfbk" holding three LIST chunks:
// the information ("INFO"), the samples ("sdta") and the preset data ("pdta").
// Every chunk is a tag, a 4-byte size and that many bytes, padded to an even
// length; a LIST's content begins with its type.
constexpr std::size_t kChunkHeaderSize = 8; // tag, size
constexpr std::size_t kChunkSizeAt = 4;     // in the header: the size of what follows it
constexpr std::size_t kListHeaderSize = 12; // tag, size, type: the RIFF form's header too
constexpr std::size_t kListTypeAt = 8;

// The preset data is nine lists of fixed-size records, in this order:
//
//   phdr  preset headers: name, program, bank, and the index of its first zone in pbag
//   pbag  preset zones: the index of the zone's first modulator in pmod and
//         of its first generator in pgen
//   pmod  modulators
//   pgen  generators; a zone's last may name an instrument in inst
//   inst, ibag, imod, igen, shdr: the instruments, down to the samples, the same way
//
// A record owns the records of the next list from its own index up to the
// index in the record after it; each list ends with a terminal record that
// only marks where the owned records of the last real one end.
struct RecordList {
    std::string_view tag;
    std::size_t recordSize;
};
constexpr std::array<RecordList, 9> kLists{{{"phdr", 38}, {"pbag", 4}, {"pmod", 10}, {"pgen", 4}, {"inst", 22},
    {"ibag", 4}, {"imod", 10}, {"igen", 4}, {"shdr", 46}}};
enum List { kPresets, kZones, kModulators, kGenerators, kRewrittenLists }; // the lists rewritten; the rest are kept
// In a preset header.
constexpr std::size_t kPresetProgramAt = 20;
constexpr std::size_t kPresetBankAt = 22;
constexpr std::size_t kPresetFirstZoneAt = 24;
// In a zone.
constexpr std::size_t kZoneFirstGeneratorAt = 0;
constexpr std::size_t kZoneFirstModulatorAt = 2;

constexpr std::size_t recordSize(List list)
{
    return kLists[list].recordSize;
}

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
// The preset data with the zones of the kept presets only; every preset's
// header stays. Indices out of their lists, as only a broken file has, are
// cut to them: what FluidSynth then refuses is refused as in the whole file.
std::vector<std::uint8_t> reducedPresetData(
    const std::array<std::span<const std::uint8_t>, kLists.size()> &lists, const std::set<Preset> &kept)
{
    const auto records = [&](List list) { return lists[list].size() / recordSize(list); };
    // The records of `list` that record `index` of `owner` owns, by its index at `at`.
    const auto owned = [&](List owner, std::size_t index, std::size_t at, List list) {
        const std::uint8_t *record = lists[owner].data() + index * recordSize(owner) + at;
        const std::size_t end = records(list) - (list == kZones); // the last zone record only ends the list
        const std::size_t first = std::min(littleEndian(record), end);
        return std::pair{first, std::clamp(littleEndian(record + recordSize(owner)), first, end)};
    };
    std::array<std::vector<std::uint8_t>, kRewrittenLists> out{
        {{lists[kPresets].begin(), lists[kPresets].end()}, {}, {}, {}}};
    const auto copy = [&](List list, std::pair<std::size_t, std::size_t> range) {
        const auto from = lists[list].begin() + static_cast<std::ptrdiff_t>(range.first * recordSize(list));
        out[list].insert(
            out[list].end(), from, from + static_cast<std::ptrdiff_t>((range.second - range.first) * recordSize(list)));
    };
    const auto addZone = [&] {
        out[kZones].resize(out[kZones].size() + recordSize(kZones));
        std::uint8_t *zone = &*(out[kZones].end() - static_cast<std::ptrdiff_t>(recordSize(kZones)));
        putLittleEndian(zone + kZoneFirstGeneratorAt, out[kGenerators].size() / recordSize(kGenerators));
        putLittleEndian(zone + kZoneFirstModulatorAt, out[kModulators].size() / recordSize(kModulators));
    };
    for (std::size_t preset = 0; preset < records(kPresets); ++preset) {
        std::uint8_t *header = &out[kPresets][preset * recordSize(kPresets)];
        putLittleEndian(header + kPresetFirstZoneAt, out[kZones].size() / recordSize(kZones));
        const Preset key{static_cast<int>(littleEndian(header + kPresetBankAt)),
            static_cast<int>(littleEndian(header + kPresetProgramAt))};
        if (preset + 1 == records(kPresets) || !kept.contains(key))
            continue; // the last header only ends the list
        for (auto [zone, end] = owned(kPresets, preset, kPresetFirstZoneAt, kZones); zone < end; ++zone) {
            addZone();
            copy(kGenerators, owned(kZones, zone, kZoneFirstGeneratorAt, kGenerators));
            copy(kModulators, owned(kZones, zone, kZoneFirstModulatorAt, kModulators));
        }
    }
    addZone();                                                                  // where the last zone's records end
    out[kGenerators].resize(out[kGenerators].size() + recordSize(kGenerators)); // the records that end the lists
    out[kModulators].resize(out[kModulators].size() + recordSize(kModulators));

    std::vector<std::uint8_t> data{'L', 'I', 'S', 'T', 0, 0, 0, 0, 'p', 'd', 't', 'a'};
    for (std::size_t list = 0; list < lists.size(); ++list) {
        const std::span<const std::uint8_t> content = list < out.size() ? out[list] : lists[list];
        data.insert(data.end(), kLists[list].tag.begin(), kLists[list].tag.end());
        data.resize(data.size() + 4);
        putLittleEndian(&*(data.end() - 4), content.size(), 4);
        data.insert(data.end(), content.begin(), content.end());
    }
    putLittleEndian(&data[kChunkSizeAt], data.size() - kChunkHeaderSize, 4);
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
    // address, their only way to it; a plain path never opens here, nor one
    // whose name itself ends in '#' and digits. A file that is no longer the
    // one whose layout was read is refused: its preset data lies elsewhere.
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
        if (opened && (!opened->file || FileStamp::of(::fileno(opened->file)) != font.m_layoutStamp)) {
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
    // A stat per call: a soundfont swapped since is read afresh, also for the
    // headers that choose the presets to keep.
    const bool changed = !m_layoutStamp || FileStamp::of(m_path.c_str()) != m_layoutStamp;
    if (!changed && m_id != FLUID_FAILED && kept == m_kept)
        return true;
    unload();
    if (changed && !readLayout())
        return false;
    m_presetData = reducedPresetData(m_lists, kept);
    // FluidSynth checks the size in the RIFF header against that of the whole.
    putLittleEndian(&m_riffHeader[kChunkSizeAt], m_presetDataAt + m_presetData.size() - kChunkHeaderSize, 4);
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

bool ReducedSoundfont::readLayout()
{
    m_layoutStamp.reset(); // until a layout is read
    const SoundfontFile reader{*this, std::fopen(m_path.c_str(), "rbe")};
    const std::optional<FileStamp> stamp = reader.file ? FileStamp::of(::fileno(reader.file)) : std::nullopt;
    std::array<std::uint8_t, kListHeaderSize> list{};
    if (!stamp || !readAt(reader.file, 0, m_riffHeader.data(), m_riffHeader.size())
        || std::memcmp(m_riffHeader.data(), "RIFF", 4) != 0
        || std::memcmp(m_riffHeader.data() + kListTypeAt, "sfbk", 4) != 0)
        return false;
    // The information, the samples, then the preset data, the last that FluidSynth reads.
    for (std::uint64_t at = m_riffHeader.size(); readAt(reader.file, at, list.data(), list.size());) {
        const std::size_t size = littleEndian(list.data() + kChunkSizeAt, 4);
        if (std::memcmp(list.data(), "LIST", 4) != 0 || std::memcmp(list.data() + kListTypeAt, "pdta", 4) != 0
            || size < 4) {
            at += kChunkHeaderSize + size + size % 2;
            continue;
        }
        // A size the file does not have is never allocated.
        if (at + kChunkHeaderSize + size > static_cast<std::uint64_t>(stamp->size))
            return false;
        m_presetDataAt = at;
        m_originalPresetData.resize(size - 4);
        if (!readAt(reader.file, at + list.size(), m_originalPresetData.data(), m_originalPresetData.size()))
            return false;
        std::span<const std::uint8_t> rest(m_originalPresetData);
        for (std::size_t each = 0; each < m_lists.size(); ++each) {
            const std::size_t length =
                rest.size() >= kChunkHeaderSize ? littleEndian(rest.data() + kChunkSizeAt, 4) : 0;
            if (rest.size() < kChunkHeaderSize || std::memcmp(rest.data(), kLists[each].tag.data(), 4) != 0
                || length > rest.size() - kChunkHeaderSize || length % kLists[each].recordSize != 0)
                return false;
            m_lists[each] = rest.subspan(kChunkHeaderSize, length);
            rest = rest.subspan(kChunkHeaderSize + length);
        }
        if (m_lists[kPresets].empty() || m_lists[kZones].empty())
            return false;
        m_layoutStamp = stamp;
        return true;
    }
    return false;
}

} // namespace sorabune
