// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/midi_file.h"

#include "support/midi_file_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorabune {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::midiHeader;

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes bytes;
    for (const Bytes &part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

Bytes track(const Bytes &events)
{
    return testing::midiChunk("MTrk", events);
}

// A whole file of one track with the given events.
Bytes single(const Bytes &events)
{
    return join({midiHeader(0, 1), track(events)});
}

Bytes withoutLastByte(Bytes bytes)
{
    bytes.pop_back();
    return bytes;
}

Bytes repeated(const Bytes &event, std::size_t times)
{
    Bytes bytes;
    for (std::size_t i = 0; i < times; ++i)
        bytes.insert(bytes.end(), event.begin(), event.end());
    return bytes;
}

const Bytes noteOn{0x00, 0x90, 60, 100};
const Bytes noteOff{0x60, 0x80, 60, 0};
const Bytes endOfTrack{0x00, 0xFF, 0x2F, 0x00};

struct FormatCase {
    const char *name;
    Bytes bytes;
    bool playable;
};

void PrintTo(const FormatCase &value, std::ostream *out)
{
    *out << value.name;
}

class MidiFileFormatTest : public ::testing::TestWithParam<FormatCase> { };

TEST_P(MidiFileFormatTest, TellsWhetherThePlayerCanReadIt)
{
    EXPECT_EQ(isPlayableMidiFile(GetParam().bytes), GetParam().playable);
}

INSTANTIATE_TEST_SUITE_P(Files, MidiFileFormatTest,
    ::testing::Values(
        // Playable.
        FormatCase{"BuiltNote", testing::sustainedNoteFile(1.0), true},
        FormatCase{"BuiltBand", testing::bandFile(), true},
        FormatCase{"Format2", join({midiHeader(2, 1), track(join({noteOn, noteOff, endOfTrack}))}), true},
        FormatCase{"RunningStatus", single(join({noteOn, {0x10, 64, 100, 0x10, 0xC0, 5, 0x00, 7}, endOfTrack})), true},
        FormatCase{"SysexAndTexts",
            single(join({{0x00, 0xF0, 3, 0x7E, 0x7F, 0xF7}, {0x00, 0xFF, 0x03, 2, 'h', 'i'},
                {0x00, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20}, noteOn, endOfTrack})),
            true},
        FormatCase{"FixedLengthMetas",
            single(join({{0x00, 0xFF, 0x58, 4, 4, 2, 24, 8}, {0x00, 0xFF, 0x59, 2, 0, 0},
                {0x00, 0xFF, 0x54, 5, 0, 0, 0, 0, 0}, endOfTrack})),
            true},
        FormatCase{"NoEndOfTrack", single(join({noteOn, noteOff})), true},
        FormatCase{"JunkAfterEndOfTrack", single(join({noteOn, endOfTrack, {0xF8, 0x80, 0x80}})), true},
        FormatCase{"EmptyTrack", single({}), true},
        FormatCase{"OtherChunkBeforeTrack",
            join({midiHeader(0, 1), testing::midiChunk("XFIH", Bytes{1, 2, 3}), track(endOfTrack)}), true},
        FormatCase{"BytesAfterLastTrack", join({single(endOfTrack), {0, 0, 0}}), true},
        FormatCase{
            "MostTracks", join({midiHeader(1, kMaxMidiTracks), repeated(track(endOfTrack), kMaxMidiTracks)}), true},
        FormatCase{"LongestDelta", single({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00}), true},
        FormatCase{"MostEvents", single(join({noteOn, repeated({0x00, 60, 100}, kMaxMidiEvents - 1)})), true},
        // Not playable.
        FormatCase{"Empty", {}, false},
        FormatCase{"Riff", join({Bytes{'R', 'I', 'F', 'F'}, single(endOfTrack)}), false},
        FormatCase{"HeaderCut", withoutLastByte(midiHeader(0, 1)), false},
        FormatCase{"HeaderOnly", midiHeader(0, 1), false},
        FormatCase{"HeaderLengthSeven",
            join({Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 7, 0, 0, 0, 1, 1, 0xE0, 0}, track(endOfTrack)}), false},
        FormatCase{"Format3", join({midiHeader(3, 1), track(endOfTrack)}), false},
        FormatCase{"NoTracks", midiHeader(0, 0), false},
        FormatCase{"TooManyTracks",
            join({midiHeader(1, kMaxMidiTracks + 1), repeated(track(endOfTrack), kMaxMidiTracks + 1)}), false},
        FormatCase{"DivisionZero", join({midiHeader(0, 1, 0), track(endOfTrack)}), false},
        FormatCase{"SmpteTiming", join({midiHeader(0, 1, 0xE728), track(endOfTrack)}), false},
        FormatCase{"TrackMissing", join({midiHeader(1, 2), track(endOfTrack)}), false},
        FormatCase{"ChunkLongerThanFile", withoutLastByte(single(endOfTrack)), false},
        FormatCase{"OtherChunkWithBinaryName",
            join({midiHeader(0, 1), testing::midiChunk({'X', 0, 1, 2}, {}), track(endOfTrack)}), false},
        FormatCase{"EventCutByChunkEnd", single({0x00, 0x90, 60}), false},
        FormatCase{"DeltaCutByChunkEnd", single({0x81}), false},
        FormatCase{"DeltaOfFiveBytes", single({0x81, 0x80, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00}), false},
        FormatCase{"DataByteFirst", single({0x00, 60, 100}), false},
        FormatCase{"RunningStatusAfterMeta", single(join({noteOn, {0x00, 0xFF, 0x01, 0}, {0x00, 62, 100}})), false},
        FormatCase{"RunningStatusAfterSysex", single(join({noteOn, {0x00, 0xF0, 1, 0xF7}, {0x00, 62, 100}})), false},
        FormatCase{"DataByteOver127", single({0x00, 0x90, 0x80, 100}), false},
        FormatCase{"SysexPastChunkEnd", single({0x00, 0xF0, 0x05, 1, 2}), false},
        FormatCase{"MetaPastChunkEnd", single({0x00, 0xFF, 0x01, 0x05, 'a'}), false},
        FormatCase{"MetaTypeOver127", single({0x00, 0xFF, 0x81, 0x00}), false},
        FormatCase{"EndOfTrackWithData", single({0x00, 0xFF, 0x2F, 0x01, 0x00}), false},
        FormatCase{"TempoOfTwoBytes", single({0x00, 0xFF, 0x51, 2, 0x07, 0xA1}), false},
        FormatCase{"TempoZero", single({0x00, 0xFF, 0x51, 3, 0, 0, 0}), false},
        FormatCase{"TimeSignatureOfThreeBytes", single({0x00, 0xFF, 0x58, 3, 4, 2, 24}), false},
        FormatCase{"KeySignatureOfOneByte", single({0x00, 0xFF, 0x59, 1, 0}), false},
        FormatCase{"SysexContinuation", single({0x00, 0xF7, 1, 0x7F}), false},
        FormatCase{"SystemRealTime", single({0x00, 0xF8}), false},
        FormatCase{"TicksPastAnInt", single(repeated({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00}, 9)), false},
        FormatCase{"TooManyEvents", single(join({noteOn, repeated({0x00, 60, 100}, kMaxMidiEvents)})), false}),
    [](const auto &info) { return info.param.name; });

} // namespace
} // namespace sorabune
