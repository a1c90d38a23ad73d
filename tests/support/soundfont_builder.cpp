// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/soundfont_builder.h"

#include <cmath>
#include <string_view>

namespace sorabune::testing {
namespace {

// Written from the SoundFont 2.04 format's own description, not from the reader under test.
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kPresetHeaderSize = 38;
constexpr std::size_t kPresetFirstZoneAt = 24;
constexpr std::size_t kZoneSize = 4;
constexpr std::uint16_t kKeyRange = 43;
constexpr std::uint16_t kInstrument = 41;
constexpr std::uint16_t kSampleModes = 54;
constexpr std::uint16_t kSampleId = 53;
constexpr std::uint32_t kPeriod = 100;        // samples: 441 Hz at 44.1 kHz
constexpr std::uint32_t kSampleLength = 1000; // ten periods, the middle eight looped
constexpr std::uint32_t kSamplePadding = 46;  // zeros after each sample

class Writer {
public:
    std::vector<std::uint8_t> bytes;

    Writer &byte(std::uint8_t value)
    {
        bytes.push_back(value);
        return *this;
    }
    Writer &word(std::size_t value) { return little(value, 2); }
    Writer &dword(std::size_t value) { return little(value, 4); }
    Writer &text(std::string_view text, std::size_t width)
    {
        for (std::size_t i = 0; i < width; ++i)
            bytes.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
        return *this;
    }
    Writer &zeros(std::size_t count)
    {
        bytes.resize(bytes.size() + count);
        return *this;
    }

private:
    Writer &little(std::size_t value, std::size_t width)
    {
        for (std::size_t i = 0; i < width; ++i, value >>= 8)
            bytes.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
};

} // namespace

void BuiltSoundfont::put(std::size_t at, std::uint32_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i, value >>= 8)
        bytes.at(at + i) = static_cast<std::uint8_t>(value);
}

void BuiltSoundfont::setChunkSize(const std::string &tag, std::uint32_t size)
{
    put(chunkAt(tag) + 4, size, 4);
}

void BuiltSoundfont::setPresetFirstZone(std::size_t preset, std::uint16_t zone)
{
    put(chunkAt("phdr") + kChunkHeaderSize + preset * kPresetHeaderSize + kPresetFirstZoneAt, zone, 2);
}

void BuiltSoundfont::setZoneFirstGenerator(std::size_t zone, std::uint16_t generator)
{
    put(chunkAt("pbag") + kChunkHeaderSize + zone * kZoneSize, generator, 2);
}

void BuiltSoundfont::setZoneFirstModulator(std::size_t zone, std::uint16_t modulator)
{
    put(chunkAt("pbag") + kChunkHeaderSize + zone * kZoneSize + 2, modulator, 2);
}

BuiltSoundfont soundfontFile(const std::vector<SoundfontPreset> &presets, std::size_t commentSize)
{
    BuiltSoundfont font;
    Writer file;
    // A chunk: its tag, its size once its content is written, the content.
    std::vector<std::size_t> open;
    const auto begin = [&](std::string_view tag, std::string_view type = {}) {
        font.m_chunkAt[std::string(type.empty() ? tag : type)] = file.bytes.size();
        open.push_back(file.bytes.size());
        file.text(tag, 4).dword(0).text(type, type.size());
    };
    const auto end = [&] {
        const std::size_t at = open.back();
        open.pop_back();
        const auto size = static_cast<std::uint32_t>(file.bytes.size() - at - kChunkHeaderSize);
        for (std::size_t i = 0; i < 4; ++i)
            file.bytes[at + 4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    };

    begin("RIFF", "sfbk");
    begin("LIST", "INFO");
    begin("ifil");
    file.word(2).word(1);
    end();
    begin("INAM");
    file.text("test", 4);
    end();
    if (commentSize > 0) {
        begin("ICMT");
        file.zeros(commentSize + commentSize % 2);
        end();
    }
    end();

    begin("LIST", "sdta");
    begin("smpl");
    for (std::uint32_t i = 0; i < kSampleLength; ++i)
        file.word(i % kPeriod < kPeriod / 2 ? 0x4000 : 0xC000);
    file.zeros(2 * kSamplePadding);
    end();
    end();

    begin("LIST", "pdta");
    begin("phdr");
    std::size_t zones = 0;
    for (const SoundfontPreset &preset : presets) {
        file.text("preset " + std::to_string(preset.program), 20).word(preset.program).word(preset.bank);
        file.word(zones).dword(0).dword(0).dword(0);
        zones += preset.zones.size();
    }
    file.text("EOP", 20).word(0).word(0).word(zones).dword(0).dword(0).dword(0);
    end();
    begin("pbag");
    for (std::size_t zone = 0; zone <= zones; ++zone)
        file.word(2 * zone).word(0); // two generators each, no modulator
    end();
    begin("pmod");
    file.zeros(10);
    end();
    begin("pgen");
    for (const SoundfontPreset &preset : presets) {
        for (const SoundfontZone &zone : preset.zones) {
            file.word(kKeyRange).byte(static_cast<std::uint8_t>(zone.lowKey));
            file.byte(static_cast<std::uint8_t>(zone.highKey)).word(kInstrument).word(0);
        }
    }
    file.zeros(4);
    end();
    begin("inst");
    file.text("square", 20).word(0).text("EOI", 20).word(1);
    end();
    begin("ibag");
    file.word(0).word(0).word(2).word(0);
    end();
    begin("imod");
    file.zeros(10);
    end();
    begin("igen");
    file.word(kSampleModes).word(1).word(kSampleId).word(0).zeros(4); // looped continuously
    end();
    begin("shdr");
    file.text("square", 20).dword(0).dword(kSampleLength).dword(kPeriod).dword(kSampleLength - kPeriod);
    file.dword(44100).byte(69).byte(0).word(0).word(1); // key 69, in tune; no link; mono
    file.text("EOS", 20).zeros(26);
    end();
    end();
    end();

    font.bytes = std::move(file.bytes);
    return font;
}

} // namespace sorabune::testing
