// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/media_command_interpreter.h"

#include "fakes/fake_midi_device.h"
#include "support/media_error_code.h"
#include "support/midi_file_builder.h"
#include "support/scratch_directory.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The program's interpreter loads its MIDI device from a module: not before it
// is needed, every call passed on, and a clear answer when it cannot be had.
namespace sorabune {
namespace {

using testing::code;

bool mapped(const std::string &path)
{
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find(path) != std::string::npos;
}

class MidiModuleTest : public ::testing::Test {
protected:
    MidiModuleTest() { testing::writeBytes(m_song, testing::sustainedNoteFile(1.0)); }

    std::string openSong() const { return "open \"" + m_song.string() + "\" alias bgm"; }

    testing::ScratchDirectory m_directory;
    const std::filesystem::path m_song = m_directory / "song.mid";
};

TEST_F(MidiModuleTest, LoadsTheFluidSynthModuleAtFirstUseOnly)
{
    ASSERT_FALSE(mapped(SORABUNE_MIDI_MODULE));
    MediaCommandInterpreter media(SORABUNE_MIDI_MODULE);
    // Nothing open, and a file that is no MIDI file: nothing to load for.
    EXPECT_EQ(media.send("stop bgm"), code(MediaError::AliasNotOpen));
    EXPECT_EQ(media.send("close bgm"), code(MediaError::AliasNotOpen));
    testing::writeBytes(m_directory / "text.mid", std::vector<std::uint8_t>{'h', 'i'});
    EXPECT_EQ(
        media.send("open \"" + (m_directory / "text.mid").string() + "\" alias bgm"), code(MediaError::NotMidiFile));
    media.prepare((m_directory / "text.mid").string());
    EXPECT_FALSE(mapped(SORABUNE_MIDI_MODULE));

    media.prepare(m_song.string());
    EXPECT_TRUE(mapped(SORABUNE_MIDI_MODULE));
}

TEST_F(MidiModuleTest, PassesEveryCallToTheModulesDevice)
{
    MediaCommandInterpreter media(SORABUNE_FAKE_MIDI_MODULE);
    EXPECT_EQ(media.send(openSong()), code(MediaError::NoSoundfont)); // an answer only the module gives

    void *module = dlopen(SORABUNE_FAKE_MIDI_MODULE, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr) << "the interpreter did not load its module";
    using LastDevice = testing::FakeMidiDevice *();
    auto *lastDevice = reinterpret_cast<LastDevice *>(dlsym(module, "sorabune_last_fake_midi_device"));
    ASSERT_NE(lastDevice, nullptr);
    testing::FakeMidiDevice &fake = *lastDevice();
    dlclose(module);

    const std::size_t size = testing::sustainedNoteFile(1.0).size();
    fake.openResult = MediaError::Success;
    fake.playResult = MediaError::NotMidiFile;
    media.prepare(m_song.string());
    EXPECT_EQ(fake.preparations, 1);
    EXPECT_EQ(fake.prepared, size);
    EXPECT_EQ(media.send(openSong()), 0);
    EXPECT_TRUE(fake.outputOpen);
    EXPECT_EQ(media.send("play bgm"), code(MediaError::NotMidiFile));
    fake.playResult = MediaError::Success;
    EXPECT_EQ(media.send("play bgm"), 0);
    EXPECT_EQ(fake.playing, size);
    EXPECT_EQ(media.send("stop bgm"), 0);
    EXPECT_FALSE(fake.playing);
    EXPECT_EQ(media.send("close bgm"), 0);
    EXPECT_FALSE(fake.outputOpen);
    EXPECT_EQ(fake.protocolErrors, 0);
    EXPECT_EQ(lastDevice(), &fake) << "one device only, made at the first call";
}

TEST_F(MidiModuleTest, AnswersDeviceErrorWithoutAModule)
{
    const auto notALibrary = m_directory / "fluidsynth-midi.so";
    testing::writeBytes(notALibrary, testing::sustainedNoteFile(1.0));
    for (const std::string &path : {(m_directory / "missing.so").string(), notALibrary.string()}) {
        SCOPED_TRACE(path);
        MediaCommandInterpreter media(path);
        media.prepare(m_song.string());
        for (int attempt = 0; attempt < 2; ++attempt) // each use tries again
            EXPECT_EQ(media.send(openSong()), code(MediaError::DeviceError));
        EXPECT_EQ(media.send("play bgm"), code(MediaError::AliasNotOpen));
        EXPECT_EQ(media.send("close bgm"), code(MediaError::AliasNotOpen));
    }
}

} // namespace
} // namespace sorabune
