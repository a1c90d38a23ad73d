// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/fluid_midi_device.h"
#include "platform/media/fluidsynth/midi_synth.h"
#include "platform/media/media_command_interpreter.h"

#include "support/installed_soundfonts.h"
#include "support/manual_audio_output.h"
#include "support/media_error_code.h"
#include "support/midi_file_builder.h"
#include "support/scratch_directory.h"
#include "support/thread_count.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <optional>

// The interpreter on the real synthesiser and soundfonts, rendered on demand
// instead of through a sound server.
namespace sorabune {
namespace {

using testing::code;
using testing::ManualOutputControl;
using testing::RenderedAudio;

constexpr std::chrono::seconds idleLimit{20};
// Reading the soundfont under the sanitizers on a busy machine may take longer
// than the program's limits, and a device must not leave its jobs running into
// the next case.
constexpr DeviceLimits kPatientLimits{idleLimit, idleLimit};

// Every way a file chooses instruments: programs at the start and later, a
// bank select, a drum kit, a GS drum part on channel 11, a GS reset midway.
std::vector<std::uint8_t> instrumentsFile()
{
    testing::MidiTrack track;
    track.program(0, 0, 0).program(0, 1, 48).program(0, 2, 33);
    track.event(0, {0xF0, 0x0A, 0x41, 0x7F, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x01, 0x10, 0xF7});
    for (int beat = 0; beat < 6; ++beat) {
        if (beat == 2)
            track.event(0, {0xB4, 0, 8}).program(0, 4, 80).noteOn(0, 4, 72, 100).program(0, 9, 25);
        if (beat == 4)
            track.event(0, {0xF0, 0x0A, 0x41, 0x7F, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
        track.noteOn(0, 0, 60 + beat, 100).noteOn(0, 1, 55 + beat, 90).noteOn(0, 2, 36 + beat, 100);
        track.noteOn(0, 9, 36 + beat % 3 * 2, 100).noteOn(0, 10, 38, 100);
        track.noteOff(480, 0, 60 + beat).noteOff(0, 1, 55 + beat).noteOff(0, 2, 36 + beat);
    }
    return testing::midiFile({track.endOfTrack(0)});
}

// The file on a synthesiser of the same settings with the whole soundfont
// loaded, through the same limiter: a band peaks at 1.27 with FluidR3_GM.
RenderedAudio renderWithEverythingLoaded(
    const std::string &soundfont, const std::vector<std::uint8_t> &midi, std::size_t frames)
{
    FluidSettings settings = newFluidSettings();
    fluid_settings_setint(settings.get(), "synth.dynamic-sample-loading", 0);
    FluidSynth synth(new_fluid_synth(settings.get()));
    fluid_synth_sfload(synth.get(), soundfont.c_str(), 1);
    FluidPlayer player(new_fluid_player(synth.get()));
    fluid_player_add_mem(player.get(), midi.data(), midi.size());
    fluid_player_play(player.get());
    RenderedAudio audio{std::vector<float>(frames), std::vector<float>(frames)};
    fluid_synth_write_float(synth.get(), static_cast<int>(frames), audio.left.data(), 0, 1, audio.right.data(), 0, 1);
    PeakLimiter().process(audio.left, audio.right);
    return audio;
}

RenderedAudio slice(const RenderedAudio &audio, std::size_t from, std::size_t count)
{
    return {{audio.left.begin() + from, audio.left.begin() + from + count},
        {audio.right.begin() + from, audio.right.begin() + from + count}};
}

class OfflinePlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_threadsBefore = testing::threadIds();
        useSoundfonts({testing::kTimGM6mb});
    }

    void useSoundfonts(std::vector<std::string> soundfonts, DeviceLimits limits = kPatientLimits)
    {
        m_interpreter.reset();
        auto device = std::make_unique<FluidMidiDevice>(std::move(soundfonts), testing::manualOutput(m_output), limits);
        m_device = device.get();
        m_interpreter.emplace(std::move(device));
    }

    std::int32_t send(const std::string &command) { return m_interpreter->send(command); }

    std::int32_t open(const std::vector<std::uint8_t> &midi)
    {
        const auto path = m_directory / "song.mid";
        testing::writeBytes(path, midi);
        return send("open \"" + path.string() + "\" alias bgm");
    }

    // Closes everything and expects nothing left running.
    void expectAllReleased()
    {
        EXPECT_TRUE(m_device->waitUntilIdle(idleLimit));
        EXPECT_EQ(m_output->running(), 0);
        EXPECT_TRUE(testing::threadsStartedSinceEnd(m_threadsBefore));
    }

    testing::ScratchDirectory m_directory;
    std::shared_ptr<ManualOutputControl> m_output = std::make_shared<ManualOutputControl>();
    std::optional<MediaCommandInterpreter> m_interpreter;
    FluidMidiDevice *m_device = nullptr;
    testing::ThreadIds m_threadsBefore;
};

TEST_F(OfflinePlaybackTest, SoundsAfterPlayAndIsSilentAfterStop)
{
    ASSERT_EQ(open(testing::sustainedNoteFile(5.0)), 0);
    EXPECT_EQ(m_output->renderSeconds(0.2).peak(), 0.0f) << "sound before play";

    ASSERT_EQ(send("play bgm"), 0);
    EXPECT_GT(m_output->renderSeconds(0.5).peak(), 0.05f);

    ASSERT_EQ(send("stop bgm"), 0);
    m_output->renderSeconds(0.02); // the fade
    EXPECT_EQ(m_output->renderSeconds(1.0).peak(), 0.0f) << "sound after stop";

    ASSERT_EQ(send("close bgm"), 0);
    expectAllReleased();
}

TEST_F(OfflinePlaybackTest, StopFadesOutWithinTenMilliseconds)
{
    ASSERT_EQ(open(testing::sustainedNoteFile(5.0)), 0);
    ASSERT_EQ(send("play bgm"), 0);
    m_output->renderSeconds(0.3);
    ASSERT_EQ(send("stop bgm"), 0);

    const RenderedAudio fade = m_output->render(441);
    const float start = slice(fade, 0, 110).peak();
    const float end = slice(fade, 331, 110).peak();
    EXPECT_GT(start, 0.02f) << "cut at once: a click";
    EXPECT_LT(end, start * 0.5f) << "no fade";
    EXPECT_EQ(m_output->render(441).peak(), 0.0f);
}

// A rest plays after the note: anything heard then hung over from before.
TEST_F(OfflinePlaybackTest, NothingHangsOverFromAStopThatWasNotRendered)
{
    ASSERT_EQ(open(testing::sustainedNoteFile(5.0)), 0);
    ASSERT_EQ(send("play bgm"), 0);
    ASSERT_GT(m_output->renderSeconds(0.5).peak(), 0.05f);
    ASSERT_EQ(send("stop bgm"), 0);
    ASSERT_EQ(send("close bgm"), 0);
    ASSERT_TRUE(m_device->waitUntilIdle(idleLimit));

    ASSERT_EQ(open(testing::restFile(2.0)), 0);
    ASSERT_EQ(send("play bgm"), 0);
    EXPECT_EQ(m_output->renderSeconds(1.0).peak(), 0.0f);
}

// Half a second of sound, then silence: a play that went on from where it
// stopped would be silent, and one that started again while playing would not.
TEST_F(OfflinePlaybackTest, PlayStartsFromTheBeginningOnlyAfterStop)
{
    ASSERT_EQ(open(testing::sustainedNoteFile(0.5)), 0);
    ASSERT_EQ(send("play bgm"), 0);
    ASSERT_GT(m_output->renderSeconds(1.0).peak(), 0.05f);
    ASSERT_EQ(send("play bgm"), 0);
    m_output->renderSeconds(3.0); // the piano's release dies away
    EXPECT_LT(m_output->renderSeconds(0.5).peak(), 1e-4f) << "it started again while playing";
    ASSERT_EQ(send("stop bgm"), 0);
    m_output->renderSeconds(0.02); // the fade
    EXPECT_EQ(m_output->renderSeconds(0.5).peak(), 0.0f);
    ASSERT_EQ(send("play bgm"), 0);
    EXPECT_GT(m_output->renderSeconds(0.4).peak(), 0.05f) << "it plays again from its start";
}

TEST_F(OfflinePlaybackTest, PlaysOnceToItsEnd)
{
    ASSERT_EQ(open(testing::sustainedNoteFile(0.5)), 0);
    ASSERT_EQ(send("play bgm"), 0);
    EXPECT_GT(m_output->renderSeconds(0.4).peak(), 0.05f);
    m_output->renderSeconds(3.0); // the piano's release and the reverb die away
    EXPECT_LT(m_output->renderSeconds(1.0).peak(), 1e-4f) << "the file plays again";
}

// The loudest a General MIDI file gets, at the gain chosen: loud, never clipped.
TEST_F(OfflinePlaybackTest, LoudestFileDoesNotClip)
{
    ASSERT_EQ(open(testing::loudFile()), 0);
    ASSERT_EQ(send("play bgm"), 0);
    const float peak = m_output->renderSeconds(2.5).peak();
    EXPECT_LE(peak, PeakLimiter::kCeiling + 1e-6f); // below full scale: no clipping
    EXPECT_GT(peak, 0.5f);
}

TEST_F(OfflinePlaybackTest, PrepareLoadsTheSoundfontButStartsNoOutput)
{
    const auto song = m_directory / "prepared.mid";
    testing::writeBytes(song, testing::sustainedNoteFile(5.0));
    m_interpreter->prepare(song.string());
    EXPECT_TRUE(m_device->waitUntilIdle(idleLimit));
    EXPECT_EQ(m_output->started(), 0);
    EXPECT_TRUE(testing::threadsStartedSinceEnd(m_threadsBefore));

    ASSERT_EQ(open(testing::sustainedNoteFile(5.0)), 0);
    EXPECT_EQ(m_output->started(), 1);
    ASSERT_EQ(send("play bgm"), 0);
    EXPECT_GT(m_output->renderSeconds(0.5).peak(), 0.05f);
    ASSERT_EQ(send("close bgm"), 0);
    expectAllReleased();
}

// Only the instruments the file chooses are loaded, before it plays: it sounds
// as with the whole soundfont loaded, and the audio callback reads nothing
// from the disk: the soundfont is gone once the file is open, and an
// instrument it still had to read would be silent. Both soundfonts Debian
// offers, each by its own path.
class WholeSoundfontTest : public OfflinePlaybackTest, public ::testing::WithParamInterface<const char *> { };

TEST_P(WholeSoundfontTest, TheFilesInstrumentsSoundAsWithTheWholeSoundfontAndNoneIsReadWhilePlaying)
{
    const std::string installed = GetParam();
    ASSERT_TRUE(std::filesystem::is_regular_file(installed))
        << installed << " is missing: scripts/setup.sh installs it";
    const auto soundfont = m_directory / "soundfont.sf2";
    std::filesystem::copy_file(installed, soundfont);
    useSoundfonts({soundfont.string()});
    const auto midi = instrumentsFile();
    ASSERT_EQ(open(midi), 0);
    std::filesystem::remove(soundfont);

    ASSERT_EQ(send("play bgm"), 0);
    const RenderedAudio lean = m_output->renderSeconds(3.5);
    const RenderedAudio whole = renderWithEverythingLoaded(installed, midi, lean.left.size());
    ASSERT_GT(whole.peak(), 0.05f);
    // Samples loaded one by one are played with rounding of their own: equal
    // loudness in every tenth of a second, where a missing or other instrument
    // would change it by far more.
    constexpr std::size_t window = 4410;
    for (std::size_t from = 0; from + window <= lean.left.size(); from += window) {
        const float expected = slice(whole, from, window).rms();
        EXPECT_NEAR(slice(lean, from, window).rms(), expected, 0.05f * expected + 1e-4f) << "at " << from;
    }
}

INSTANTIATE_TEST_SUITE_P(Debian, WholeSoundfontTest, ::testing::Values(testing::kTimGM6mb, testing::kFluidR3GM),
    [](const auto &info) { return std::filesystem::path(info.param).stem().string(); });

// What a close lets go must be read again from the soundfont, which is gone by
// then. The stop's fade, left unrendered, keeps the release behind the prepare
// that follows, as a start of the countdown sends them.
TEST_F(OfflinePlaybackTest, CloseLetsTheSynthesiserGoUnlessAPrepareFollows)
{
    const auto soundfont = m_directory / "soundfont.sf2";
    std::filesystem::copy_file(testing::kTimGM6mb, soundfont);
    useSoundfonts({soundfont.string()});
    const auto midi = testing::sustainedNoteFile(1.0);
    ASSERT_EQ(open(midi), 0);
    ASSERT_EQ(send("play bgm"), 0);
    ASSERT_EQ(send("stop bgm"), 0);
    ASSERT_EQ(send("close bgm"), 0);
    m_interpreter->prepare((m_directory / "song.mid").string());
    ASSERT_TRUE(m_device->waitUntilIdle(idleLimit));
    std::filesystem::remove(soundfont);
    EXPECT_EQ(open(midi), 0) << "what was prepared for the alarm was let go";

    ASSERT_EQ(send("close bgm"), 0);
    ASSERT_TRUE(m_device->waitUntilIdle(idleLimit));
    EXPECT_EQ(open(midi), code(MediaError::NoSoundfont)) << "the synthesiser outlived its close";
}

TEST_F(OfflinePlaybackTest, OpenWithoutASoundfontAnswersNoSoundfont)
{
    const auto notASoundfont = m_directory / "fake.sf2";
    testing::writeBytes(notASoundfont, testing::restFile(1.0));
    useSoundfonts({(m_directory / "missing.sf2").string(), notASoundfont.string()});

    EXPECT_EQ(open(testing::sustainedNoteFile(1.0)), code(MediaError::NoSoundfont));
    EXPECT_EQ(send("play bgm"), code(MediaError::AliasNotOpen));
    EXPECT_EQ(m_output->started(), 0);
}

TEST_F(OfflinePlaybackTest, OpenWithoutAnOutputAnswersNoAudioOutput)
{
    m_output->setStart(ManualOutputControl::Start::Refuse);
    EXPECT_EQ(open(testing::sustainedNoteFile(1.0)), code(MediaError::NoAudioOutput));
    EXPECT_EQ(send("play bgm"), code(MediaError::AliasNotOpen));

    m_output->setStart(ManualOutputControl::Start::Succeed);
    EXPECT_EQ(open(testing::sustainedNoteFile(1.0)), 0);
}

// A sound server that accepts but never answers: open gives up, destroying
// the device waits no longer than its limit, and the output that starts in
// the end is let go again.
TEST_F(OfflinePlaybackTest, OpenAndDestructionGiveUpOnAnOutputThatHangs)
{
    // Short, so that the case takes little time; whether open gives up while
    // the soundfont is read or while the output hangs, it must give up.
    useSoundfonts({testing::kTimGM6mb}, {std::chrono::milliseconds(200), std::chrono::milliseconds(200)});
    m_output->setStart(ManualOutputControl::Start::HangUntilReleased);
    auto answer = std::async(std::launch::async, [&] { return open(testing::sustainedNoteFile(1.0)); });
    const bool answered = answer.wait_for(idleLimit) == std::future_status::ready;
    auto destroyed = std::async(std::launch::async, [&] { m_interpreter.reset(); });
    const bool gone = destroyed.wait_for(idleLimit) == std::future_status::ready;
    m_output->setStart(ManualOutputControl::Start::Succeed);
    ASSERT_TRUE(answered) << "open waited for the output without bound";
    EXPECT_EQ(answer.get(), code(MediaError::NoAudioOutput));
    ASSERT_TRUE(gone) << "the device's destruction waited for the output without bound";

    EXPECT_TRUE(testing::threadsStartedSinceEnd(m_threadsBefore));
    EXPECT_EQ(m_output->started(), 1);
    EXPECT_EQ(m_output->running(), 0);
}

} // namespace
} // namespace sorabune
