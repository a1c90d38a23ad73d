// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/midi_synth.h"
#include "platform/media/fluidsynth/reduced_soundfont.h"

#include "support/audio_level.h"
#include "support/midi_file_builder.h"
#include "support/scratch_directory.h"
#include "support/soundfont_builder.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>

// The soundfont loaded with the zones of some presets only, on small
// soundfonts built byte by byte: which keys of which preset sound shows which
// zones FluidSynth was given.
namespace sorabune {
namespace {

using testing::BuiltSoundfont;
using testing::SoundfontPreset;

constexpr Preset kLow{0, 0};  // one zone: keys 0-59
constexpr Preset kHigh{0, 1}; // two zones: keys 60-79 and 80-127

BuiltSoundfont twoPresets(std::size_t commentSize = 0)
{
    return testing::soundfontFile(
        {{kLow.bank, kLow.program, {{0, 59}}}, {kHigh.bank, kHigh.program, {{60, 79}, {80, 127}}}}, commentSize);
}

// A key played on a preset.
struct Probe {
    Preset preset;
    int key;
    auto operator<=>(const Probe &) const = default;
};
constexpr std::array kProbes{Probe{kLow, 40}, Probe{kLow, 70}, Probe{kHigh, 40}, Probe{kHigh, 70}, Probe{kHigh, 100}};

class ReducedSoundfontTest : public ::testing::Test {
protected:
    std::string write(const BuiltSoundfont &font, const std::string &name = "font.sf2")
    {
        testing::writeBytes(m_directory / name, font.bytes);
        return (m_directory / name).string();
    }

    std::unique_ptr<ReducedSoundfont> load(const std::vector<std::string> &paths)
    {
        return ReducedSoundfont::loadFirst(m_synth.get(), m_settings.get(), paths);
    }

    bool sounds(const Probe &probe)
    {
        fluid_synth_t *synth = m_synth.get();
        fluid_synth_bank_select(synth, 0, probe.preset.bank);
        fluid_synth_program_change(synth, 0, probe.preset.program);
        fluid_synth_noteon(synth, 0, probe.key, 100);
        std::vector<float> left(2048), right(2048);
        fluid_synth_write_float(synth, 2048, left.data(), 0, 1, right.data(), 0, 1);
        fluid_synth_all_sounds_off(synth, 0);
        std::vector<float> after(256);
        fluid_synth_write_float(synth, 256, after.data(), 0, 1, after.data(), 0, 1); // the voice ends
        return testing::peakOf(left) > 0.01f;
    }

    std::set<Probe> sounding()
    {
        std::set<Probe> result;
        for (const Probe &probe : kProbes) {
            if (sounds(probe))
                result.insert(probe);
        }
        return result;
    }

    testing::ScratchDirectory m_directory;
    FluidSettings m_settings = newFluidSettings();
    FluidSynth m_synth{new_fluid_synth(m_settings.get())};
};

struct KeptCase {
    const char *name;
    std::set<Preset> kept;
    std::set<Probe> sounding;
};

void PrintTo(const KeptCase &value, std::ostream *out)
{
    *out << value.name;
}

class KeptPresetsTest : public ReducedSoundfontTest, public ::testing::WithParamInterface<KeptCase> { };

TEST_P(KeptPresetsTest, OnlyTheKeptPresetsZonesSound)
{
    const auto font = load({write(twoPresets())});
    ASSERT_TRUE(font);
    ASSERT_TRUE(font->keepOnly(GetParam().kept));
    EXPECT_EQ(sounding(), GetParam().sounding);
}

INSTANTIATE_TEST_SUITE_P(Presets, KeptPresetsTest,
    ::testing::Values(KeptCase{"None", {}, {}}, KeptCase{"TheFirst", {kLow}, {{kLow, 40}}},
        KeptCase{"TheSecond", {kHigh}, {{kHigh, 70}, {kHigh, 100}}},
        KeptCase{"Both", {kLow, kHigh}, {{kLow, 40}, {kHigh, 70}, {kHigh, 100}}}),
    [](const auto &info) { return info.param.name; });

TEST_F(ReducedSoundfontTest, EachKeepOnlyTakesThePlaceOfTheLast)
{
    const auto font = load({write(twoPresets())});
    ASSERT_TRUE(font);
    ASSERT_TRUE(font->keepOnly({kLow}));
    ASSERT_TRUE(font->keepOnly({kHigh}));
    EXPECT_EQ(sounding(), (std::set<Probe>{{kHigh, 70}, {kHigh, 100}}));
    ASSERT_TRUE(font->keepOnly({kLow}));
    EXPECT_EQ(sounding(), (std::set<Probe>{{kLow, 40}}));
}

// A soundfont replaced while the synthesiser lives, as installing another
// package does to Debian's default: read at its new offsets, with its own
// presets, even when the same presets are kept.
TEST_F(ReducedSoundfontTest, AFileRewrittenInPlaceIsReadAfresh)
{
    const std::string path = write(twoPresets());
    const auto font = load({path});
    ASSERT_TRUE(font);
    ASSERT_TRUE(font->keepOnly({kLow}));
    ASSERT_TRUE(sounds({kLow, 40}));

    // Everything 1,000 bytes further on, and the first preset's keys elsewhere.
    write(testing::soundfontFile(
        {{kLow.bank, kLow.program, {{60, 127}}}, {kHigh.bank, kHigh.program, {{0, 127}}}}, 1000));
    ASSERT_TRUE(font->keepOnly({kLow}));
    EXPECT_EQ(sounding(), (std::set<Probe>{{kLow, 70}}));
}

// A file whose own name ends in '#' and digits, loaded by its plain path on
// the same synthesiser, is FluidSynth's to read, not taken for the address of a soundfont.
TEST_F(ReducedSoundfontTest, APlainPathIsReadAsItIs)
{
    const auto font = load({write(twoPresets())});
    ASSERT_TRUE(font);
    const std::string hashed = write(twoPresets(), "font#1.sf2");
    const int id = fluid_synth_sfload(m_synth.get(), hashed.c_str(), 0);
    ASSERT_NE(id, FLUID_FAILED);
    EXPECT_NE(fluid_synth_get_sfont_by_id(m_synth.get(), id), nullptr);
    fluid_synth_sfunload(m_synth.get(), id, 0);
}

// Ways a file may be broken; each is passed over for the next file.
struct BrokenCase {
    const char *name;
    std::function<void(BuiltSoundfont &)> breakIt;
};

void PrintTo(const BrokenCase &value, std::ostream *out)
{
    *out << value.name;
}

void cutAt(BuiltSoundfont &font, std::size_t size)
{
    font.bytes.resize(size);
}

class BrokenFileTest : public ReducedSoundfontTest, public ::testing::WithParamInterface<BrokenCase> { };

TEST_P(BrokenFileTest, IsPassedOverForTheNext)
{
    BuiltSoundfont broken = twoPresets();
    GetParam().breakIt(broken);
    const std::string good = write(twoPresets(), "good.sf2");
    const auto font = load({write(broken, "broken.sf2"), good});
    ASSERT_TRUE(font);
    EXPECT_EQ(font->path(), good);
    ASSERT_TRUE(font->keepOnly({kLow}));
    EXPECT_TRUE(sounds({kLow, 40}));
}

INSTANTIATE_TEST_SUITE_P(Truncated, BrokenFileTest,
    ::testing::Values(BrokenCase{"Empty", [](auto &font) { cutAt(font, 0); }},
        BrokenCase{"InTheRiffHeader", [](auto &font) { cutAt(font, 8); }},
        BrokenCase{"InTheInformation", [](auto &font) { cutAt(font, font.chunkAt("INFO") + 14); }},
        BrokenCase{"InTheSamples", [](auto &font) { cutAt(font, font.chunkAt("sdta") + 100); }},
        BrokenCase{"BeforeThePresetData", [](auto &font) { cutAt(font, font.chunkAt("pdta")); }},
        BrokenCase{"InThePresetHeaders", [](auto &font) { cutAt(font, font.chunkAt("phdr") + 20); }},
        BrokenCase{"InTheSampleHeaders", [](auto &font) { cutAt(font, font.chunkAt("shdr") + 20); }},
        BrokenCase{"OneByteShort", [](auto &font) { cutAt(font, font.bytes.size() - 1); }}),
    [](const auto &info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(SizesPastTheEnd, BrokenFileTest,
    ::testing::Values(BrokenCase{"Information", [](auto &font) { font.setChunkSize("INFO", 0xFFFFFFF0); }},
        BrokenCase{"Samples", [](auto &font) { font.setChunkSize("sdta", 0x7FFFFFFF); }},
        BrokenCase{"PresetDataByOne",
            [](auto &font) {
                font.setChunkSize("pdta", static_cast<std::uint32_t>(font.bytes.size() - font.chunkAt("pdta") - 7));
            }},
        BrokenCase{"PresetDataAsFarAsCanBe", [](auto &font) { font.setChunkSize("pdta", 0xFFFFFFFF); }},
        BrokenCase{"PresetHeaders", [](auto &font) { font.setChunkSize("phdr", 0xFFFFFFF0); }},
        BrokenCase{"SampleHeaders", [](auto &font) { font.setChunkSize("shdr", 3 * 46); }},
        BrokenCase{"ZonesNotWholeRecords", [](auto &font) { font.setChunkSize("pbag", 6); }}),
    [](const auto &info) { return info.param.name; });

// Indices past the lists they point into are cut to them: nothing is read
// outside a list, and what is left loads.
class IndexPastItsListTest : public ReducedSoundfontTest, public ::testing::WithParamInterface<BrokenCase> { };

TEST_P(IndexPastItsListTest, IsCutToItsList)
{
    BuiltSoundfont broken = twoPresets();
    GetParam().breakIt(broken);
    const auto font = load({write(broken)});
    ASSERT_TRUE(font);
    EXPECT_TRUE(font->keepOnly({kLow, kHigh}));
    EXPECT_TRUE(font->keepOnly({kHigh}));
}

INSTANTIATE_TEST_SUITE_P(Indices, IndexPastItsListTest,
    ::testing::Values(BrokenCase{"FirstZoneOfAPreset", [](auto &font) { font.setPresetFirstZone(1, 500); }},
        BrokenCase{"EndOfTheLastPresetsZones", [](auto &font) { font.setPresetFirstZone(2, 500); }},
        BrokenCase{"FirstGeneratorOfAZone", [](auto &font) { font.setZoneFirstGenerator(1, 500); }},
        BrokenCase{"FirstModulatorOfAZone", [](auto &font) { font.setZoneFirstModulator(2, 500); }},
        BrokenCase{"EndOfTheLastZonesGenerators", [](auto &font) { font.setZoneFirstGenerator(3, 500); }},
        BrokenCase{"EndOfTheLastZonesModulators", [](auto &font) { font.setZoneFirstModulator(3, 500); }}),
    [](const auto &info) { return info.param.name; });

} // namespace
} // namespace sorabune
