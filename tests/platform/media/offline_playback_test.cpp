// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/fluid_midi_device.h"
#include "platform/media/fluidsynth/midi_synth.h"
#include "platform/media/media_command_interpreter.h"

#include "support/manual_audio_output.h"
#include "support/media_error_code.h"
#include "support/midi_file_builder.h"
#include "support/scratch_directory.h"
#include "support/thread_count.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>

// The interpreter on the real synthesiser and soundfont, rendered on demand
// instead of through a sound server.
namespace sorabune {
namespace {

using testing::code;
using testing::ManualOutputControl;
using testing::RenderedAudio;

constexpr const char *debianSoundfont = "/usr/share/sounds/sf2/default-GM.sf2";
constexpr std::chrono::seconds idleLimit{20};
// Short, so that the cases with a hanging output take little time; any bound is far below idleLimit.
constexpr DeviceLimits kLimits{std::chrono::milliseconds(200), std::chrono::milliseconds(200)};

RenderedAudio slice(const RenderedAudio &audio, std::size_t from, std::size_t count)
{
    return {{audio.left.begin() + from, audio.left.begin() + from + count},
        {audio.right.begin() + from, audio.right.begin() + from + count}};
}

class OfflinePlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_threadsBefore = testing::threadCount();
        useSoundfonts({debianSoundfont});
    }

    void useSoundfonts(std::vector<std::string> soundfonts)
    {
        m_interpreter.reset();
        auto device =
            std::make_unique<FluidMidiDevice>(std::move(soundfonts), testing::manualOutput(m_output), kLimits);
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
        EXPECT_TRUE(testing::threadCountFallsTo(m_threadsBefore)) << testing::threadCount() << " threads";
    }

    testing::ScratchDirectory m_directory;
    std::shared_ptr<ManualOutputControl> m_output = std::make_shared<ManualOutputControl>();
    std::optional<MediaCommandInterpreter> m_interpreter;
    FluidMidiDevice *m_device = nullptr;
    std::size_t m_threadsBefore = 0;
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

// Half a second of sound, then silence: a play that went on from where it stopped would be silent.
TEST_F(OfflinePlaybackTest, PlayAfterStopStartsFromTheBeginning)
{
    ASSERT_EQ(open(testing::sustainedNoteFile(0.5)), 0);
    ASSERT_EQ(send("play bgm"), 0);
    ASSERT_GT(m_output->renderSeconds(1.0).peak(), 0.05f);
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

// The fixture has made its device: no soundfont, no output, no thread yet.
TEST_F(OfflinePlaybackTest, ConstructingStartsNothing)
{
    EXPECT_EQ(testing::threadCount(), m_threadsBefore);
    EXPECT_EQ(m_output->started(), 0);
}

TEST_F(OfflinePlaybackTest, PrepareLoadsTheSoundfontButStartsNoOutput)
{
    m_interpreter->prepare();
    EXPECT_TRUE(m_device->waitUntilIdle(idleLimit));
    EXPECT_EQ(m_output->started(), 0);
    EXPECT_TRUE(testing::threadCountFallsTo(m_threadsBefore));

    ASSERT_EQ(open(testing::sustainedNoteFile(5.0)), 0);
    EXPECT_EQ(m_output->started(), 1);
    ASSERT_EQ(send("play bgm"), 0);
    EXPECT_GT(m_output->renderSeconds(0.5).peak(), 0.05f);
    ASSERT_EQ(send("close bgm"), 0);
    expectAllReleased();
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
    m_output->setStart(ManualOutputControl::Start::HangUntilReleased);
    auto answer = std::async(std::launch::async, [&] { return open(testing::sustainedNoteFile(1.0)); });
    const bool answered = answer.wait_for(idleLimit) == std::future_status::ready;
    auto destroyed = std::async(std::launch::async, [&] { m_interpreter.reset(); });
    const bool gone = destroyed.wait_for(idleLimit) == std::future_status::ready;
    m_output->setStart(ManualOutputControl::Start::Succeed);
    ASSERT_TRUE(answered) << "open waited for the output without bound";
    EXPECT_EQ(answer.get(), code(MediaError::NoAudioOutput));
    ASSERT_TRUE(gone) << "the device's destruction waited for the output without bound";

    EXPECT_TRUE(testing::threadCountFallsTo(m_threadsBefore)) << testing::threadCount() << " threads";
    EXPECT_EQ(m_output->started(), 1);
    EXPECT_EQ(m_output->running(), 0);
}

} // namespace
} // namespace sorabune
