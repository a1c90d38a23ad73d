// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/soundfont_layout.h"

#include <algorithm>
#include <cstring>
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
//   pbag  preset zones: the index of the zone's first generator in pgen and
//         of its first modulator in pmod
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
static_assert(kLists.size() == std::tuple_size_v<decltype(SoundfontLayout::lists)>);
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

} // namespace

// What FluidSynth then refuses of the cut lists is refused as in the whole file.
std::vector<std::uint8_t> reducedPresetData(const SoundfontLayout &layout, const std::set<Preset> &kept)
{
    const auto &lists = layout.lists;
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

std::optional<SoundfontLayout> readSoundfontLayout(std::FILE *file)
{
    SoundfontLayout layout;
    const std::optional<FileStamp> stamp = file ? FileStamp::of(::fileno(file)) : std::nullopt;
    std::array<std::uint8_t, kListHeaderSize> list{};
    if (!stamp || !readAt(file, 0, layout.riffHeader.data(), layout.riffHeader.size())
        || std::memcmp(layout.riffHeader.data(), "RIFF", 4) != 0
        || std::memcmp(layout.riffHeader.data() + kListTypeAt, "sfbk", 4) != 0)
        return std::nullopt;
    layout.stamp = *stamp;
    // The information, the samples, then the preset data, the last that FluidSynth reads.
    for (std::uint64_t at = layout.riffHeader.size(); readAt(file, at, list.data(), list.size());) {
        const std::size_t size = littleEndian(list.data() + kChunkSizeAt, 4);
        if (std::memcmp(list.data(), "LIST", 4) != 0 || std::memcmp(list.data() + kListTypeAt, "pdta", 4) != 0
            || size < 4) {
            at += kChunkHeaderSize + size + size % 2;
            continue;
        }
        // A size the file does not have is never allocated.
        if (at + kChunkHeaderSize + size > static_cast<std::uint64_t>(stamp->size))
            return std::nullopt;
        layout.presetDataAt = at;
        layout.presetData.resize(size - 4);
        if (!readAt(file, at + list.size(), layout.presetData.data(), layout.presetData.size()))
            return std::nullopt;
        std::span<const std::uint8_t> rest(layout.presetData);
        for (std::size_t each = 0; each < layout.lists.size(); ++each) {
            const std::size_t length =
                rest.size() >= kChunkHeaderSize ? littleEndian(rest.data() + kChunkSizeAt, 4) : 0;
            if (rest.size() < kChunkHeaderSize || std::memcmp(rest.data(), kLists[each].tag.data(), 4) != 0
                || length > rest.size() - kChunkHeaderSize || length % kLists[each].recordSize != 0)
                return std::nullopt;
            layout.lists[each] = rest.subspan(kChunkHeaderSize, length);
            rest = rest.subspan(kChunkHeaderSize + length);
        }
        if (layout.lists[kPresets].empty() || layout.lists[kZones].empty())
            return std::nullopt;
        return layout;
    }
    return std::nullopt;
}

RiffHeader riffHeaderWith(const SoundfontLayout &layout, std::span<const std::uint8_t> presetData)
{
    RiffHeader header = layout.riffHeader;
    // FluidSynth checks it against the size of the whole.
    putLittleEndian(&header[kChunkSizeAt], layout.presetDataAt + presetData.size() - kChunkHeaderSize, 4);
    return header;
}

bool readAt(std::FILE *file, std::uint64_t offset, std::uint8_t *into, std::size_t count)
{
    return file && ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0
        && std::fread(into, 1, count, file) == count;
}

} // namespace sorabune
