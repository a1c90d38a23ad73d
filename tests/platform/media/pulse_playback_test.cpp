// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/media_command_interpreter.h"

#include "support/audio_level.h"
#include "support/midi_file_builder.h"
#include "support/private_pulse.h"
#include "support/scoped_environment.h"
#include "support/scratch_directory.h"
#include "support/thread_count.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

// The real program's interpreter and MIDI module (the standard soundfont,
// FluidSynth's drivers) playing into a private server's null sink, and
// through ALSA when no sound server answers.
namespace sorabune {
namespace {

using namespace std::chrono_literals;

TEST(PulsePlaybackTest, SoundWhilePlayingNoneAfterStop)
{
    testing::PrivatePulse pulse;
    ASSERT_TRUE(pulse.running()) << "no private PulseAudio server: " << pulse.error();
    const testing::ScopedEnvironment environment(pulse.clientEnvironment());

    testing::ScratchDirectory directory;
    const auto song = directory / "song.mid";
    testing::writeBytes(song, testing::sustainedNoteFile(30.0));
    const testing::ThreadIds threadsBefore = testing::threadIds();
    {
        MediaCommandInterpreter interpreter(SORABUNE_MIDI_MODULE);
        ASSERT_TRUE(pulse.startRecording(directory / "playing.raw"));
        ASSERT_EQ(interpreter.send("open \"" + song.string() + "\" alias bgm"), 0);
        ASSERT_EQ(interpreter.send("play bgm"), 0);
        std::this_thread::sleep_for(1500ms);
        ASSERT_TRUE(pulse.stopRecording());
        // How sound settings and mixers show the stream.
        const std::string streams = pulse.sinkInputs();
        EXPECT_NE(streams.find("application.name = \"Sorabune\""), std::string::npos) << streams;
        EXPECT_NE(streams.find("application.icon_name = \"org.sorabune.Sorabune\""), std::string::npos) << streams;

        ASSERT_EQ(interpreter.send("stop bgm"), 0);
        std::this_thread::sleep_for(500ms); // what the server still had buffered
        ASSERT_TRUE(pulse.startRecording(directory / "stopped.raw"));
        std::this_thread::sleep_for(1000ms);
        ASSERT_TRUE(pulse.stopRecording());
        ASSERT_EQ(interpreter.send("close bgm"), 0);
    }
    EXPECT_TRUE(testing::threadsStartedSinceEnd(threadsBefore)) << "a thread of the output is left";

    EXPECT_GT(testing::peakOf(testing::readRecording(directory / "playing.raw")), 1000);
    const auto stopped = testing::readRecording(directory / "stopped.raw");
    EXPECT_GT(stopped.size(), 22050u) << "less than half a second recorded";
    EXPECT_LE(testing::peakOf(stopped), 2);
}

// No sound server answers: the output starts through ALSA, whose whole
// configuration here is a device that writes what it is given to a file, so
// that the machine's own configuration and cards stay out of reach.
TEST(PulsePlaybackTest, WithoutASoundServerPlaysThroughAlsa)
{
    testing::ScratchDirectory directory;
    const auto config = directory / "asound.conf";
    const auto played = directory / "played.raw";
    std::ofstream(config) << "pcm.!default { type file slave { pcm { type null } } file \"" << played.string()
                          << "\" format raw }\n";
    const testing::ScopedEnvironment environment(
        {{"ALSA_CONFIG_PATH", config.string()}, {"PULSE_SERVER", "unix:" + (directory / "no-server").string()}});
    const auto song = directory / "song.mid";
    testing::writeBytes(song, testing::sustainedNoteFile(30.0));
    {
        MediaCommandInterpreter interpreter(SORABUNE_MIDI_MODULE);
        ASSERT_EQ(interpreter.send("open \"" + song.string() + "\" alias bgm"), 0);
        ASSERT_EQ(interpreter.send("play bgm"), 0);
        // A null device takes samples as fast as they come: a moment is seconds of sound.
        std::this_thread::sleep_for(50ms);
        ASSERT_EQ(interpreter.send("stop bgm"), 0);
        ASSERT_EQ(interpreter.send("close bgm"), 0);
    } // the output is closed, its file complete

    // 16-bit stereo, FluidSynth's first choice with ALSA.
    EXPECT_GT(testing::peakOf(testing::readRecording(played)), 1000) << "no sound went out through ALSA";
}

} // namespace
} // namespace sorabune
