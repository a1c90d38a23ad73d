// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes read as a SoundFont 2 file's layout, and its preset data
// rewritten with the zones of some presets only: the first byte chooses which
// (bit i keeps every preset whose index is i modulo 8). Nothing may be read
// outside the file, nor allocated beyond it (libFuzzer's malloc limit). What is
// rewritten must be preset data that FluidSynth's checks of these lists pass:
// the nine lists in order and of whole records, every preset header as it was
// but for its first zone, indices rising from 0 to the terminal record of
// their list, no zone for a preset not kept, a kept preset's well-formed zones
// as they were, the instruments' and samples' lists untouched. Written from
// the format's description, not from the code under test.
#include "platform/media/fluidsynth/soundfont_layout.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace sorabune;
using Bytes = std::span<const std::uint8_t>;

constexpr std::array<std::string_view, 9> kTags{"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"};
constexpr std::array<std::size_t, 9> kSizes{38, 4, 10, 4, 22, 4, 10, 4, 46};
enum { kPhdr, kPbag, kPmod, kPgen };

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::size_t word(Bytes list, std::size_t record, std::size_t recordSize, std::size_t at)
{
    const std::uint8_t *bytes = list.data() + record * recordSize + at;
    return bytes[0] | bytes[1] << 8;
}

std::size_t dword(const std::uint8_t *bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::size_t>(bytes[3]) << 24;
}

// The lists of rewritten preset data, its LIST header included; each list checked for its tag and whole records.
std::array<Bytes, 9> listsOf(Bytes data)
{
    check(data.size() >= 12 && std::memcmp(data.data(), "LIST", 4) == 0 && dword(data.data() + 4) == data.size() - 8
        && std::memcmp(data.data() + 8, "pdta", 4) == 0);
    Bytes rest = data.subspan(12);
    std::array<Bytes, 9> lists;
    for (std::size_t each = 0; each < lists.size(); ++each) {
        check(rest.size() >= 8 && std::memcmp(rest.data(), kTags[each].data(), 4) == 0);
        const std::size_t size = dword(rest.data() + 4);
        check(size <= rest.size() - 8 && size % kSizes[each] == 0);
        lists[each] = rest.subspan(8, size);
        rest = rest.subspan(8 + size);
    }
    check(rest.empty());
    return lists;
}

std::size_t records(Bytes list, std::size_t each)
{
    return list.size() / kSizes[each];
}

// The record of `owner` at `index` owns the records [from, to) of the next list;
// whether those are within it (its terminal record excluded).
bool owns(Bytes owner, std::size_t ownerSize, std::size_t index, std::size_t at, std::size_t ownedRecords,
    std::size_t &from, std::size_t &to)
{
    from = word(owner, index, ownerSize, at);
    to = word(owner, index + 1, ownerSize, at);
    return from <= to && to < ownedRecords;
}

// Indices into a list rise from 0 to its terminal record.
void checkIndices(Bytes owner, std::size_t ownerSize, std::size_t at, std::size_t ownedRecords)
{
    const std::size_t count = owner.size() / ownerSize;
    check(count > 0 && word(owner, 0, ownerSize, at) == 0 && word(owner, count - 1, ownerSize, at) == ownedRecords - 1);
    for (std::size_t i = 1; i < count; ++i)
        check(word(owner, i - 1, ownerSize, at) <= word(owner, i, ownerSize, at));
}

Bytes recordsOf(Bytes list, std::size_t each, std::size_t from, std::size_t to)
{
    return list.subspan(from * kSizes[each], (to - from) * kSizes[each]);
}

bool same(Bytes a, Bytes b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t keptBits = data[0];
    const int fd = ::memfd_create("soundfont", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data + 1, size - 1) != static_cast<ssize_t>(size - 1))
        std::abort();
    std::FILE *file = ::fdopen(fd, "rb");
    if (!file)
        std::abort();
    const std::optional<SoundfontLayout> layout = readSoundfontLayout(file);
    std::fclose(file);
    if (!layout)
        return 0;

    const std::array<Bytes, 9> &original = layout->lists;
    const std::size_t presets = records(original[kPhdr], kPhdr);
    std::set<Preset> kept;
    for (std::size_t i = 0; i + 1 < presets; ++i) {
        if (keptBits >> (i % 8) & 1)
            kept.insert({static_cast<int>(word(original[kPhdr], i, 38, 22)),
                static_cast<int>(word(original[kPhdr], i, 38, 20))});
    }
    const std::vector<std::uint8_t> rewritten = reducedPresetData(*layout, kept);
    const std::array<Bytes, 9> lists = listsOf(rewritten);
    const RiffHeader header = riffHeaderWith(*layout, rewritten);
    check(dword(header.data() + 4) == layout->presetDataAt + rewritten.size() - 8);

    check(records(lists[kPbag], kPbag) > 0 && records(lists[kPgen], kPgen) > 0 && records(lists[kPmod], kPmod) > 0);
    checkIndices(lists[kPhdr], 38, 24, records(lists[kPbag], kPbag));
    checkIndices(lists[kPbag], 4, 0, records(lists[kPgen], kPgen));
    checkIndices(lists[kPbag], 4, 2, records(lists[kPmod], kPmod));
    for (std::size_t each = 4; each < lists.size(); ++each)
        check(same(lists[each], original[each]));

    check(records(lists[kPhdr], kPhdr) == presets);
    for (std::size_t i = 0; i < presets; ++i) {
        const Bytes was = recordsOf(original[kPhdr], kPhdr, i, i + 1), is = recordsOf(lists[kPhdr], kPhdr, i, i + 1);
        check(same(was.first(24), is.first(24)) && same(was.subspan(26), is.subspan(26)));
        if (i + 1 == presets)
            break;
        const Preset preset{
            static_cast<int>(word(original[kPhdr], i, 38, 22)), static_cast<int>(word(original[kPhdr], i, 38, 20))};
        std::size_t zone = 0, zoneEnd = 0, wasZone = 0, wasZoneEnd = 0;
        owns(lists[kPhdr], 38, i, 24, records(lists[kPbag], kPbag), zone, zoneEnd);
        if (!kept.contains(preset)) {
            check(zone == zoneEnd);
            continue;
        }
        if (!owns(original[kPhdr], 38, i, 24, records(original[kPbag], kPbag), wasZone, wasZoneEnd))
            continue; // a broken preset: cut, not compared
        check(zoneEnd - zone == wasZoneEnd - wasZone);
        for (; zone < zoneEnd; ++zone, ++wasZone) {
            for (const auto &[list, at] : {std::pair{kPgen, 0}, std::pair{kPmod, 2}}) {
                std::size_t from = 0, to = 0, wasFrom = 0, wasTo = 0;
                owns(lists[kPbag], 4, zone, at, records(lists[list], list), from, to);
                if (owns(original[kPbag], 4, wasZone, at, records(original[list], list), wasFrom, wasTo))
                    check(
                        same(recordsOf(lists[list], list, from, to), recordsOf(original[list], list, wasFrom, wasTo)));
            }
        }
    }
    return 0;
}
