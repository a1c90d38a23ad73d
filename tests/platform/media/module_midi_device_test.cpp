#include "platform/media/module_midi_device.h"

#include "fakes/fake_midi_device.h"
#include "support/midi_file_builder.h"
#include "support/scratch_directory.h"

#include <gtest/gtest.h>

#include <array>
#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Loading the MIDI device from its module: not before it is needed, every call
// passed on, and a clear answer when the module cannot be had.
namespace sorabune {
namespace {

bool mapped(const std::string &path)
{
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find(path) != std::string::npos;
}

TEST(ModuleMidiDeviceTest, LoadsTheFluidSynthModuleAtFirstUseOnly)
{
    ASSERT_FALSE(mapped(SORABUNE_MIDI_MODULE));
    ModuleMidiDevice device(SORABUNE_MIDI_MODULE);
    device.stop(); // nothing plays: nothing to load for
    device.closeOutput();
    EXPECT_FALSE(mapped(SORABUNE_MIDI_MODULE));

    device.prepare();
    EXPECT_TRUE(mapped(SORABUNE_MIDI_MODULE));
}

TEST(ModuleMidiDeviceTest, PassesEveryCallToTheModulesDevice)
{
    ModuleMidiDevice device(SORABUNE_FAKE_MIDI_MODULE);
    EXPECT_EQ(device.openOutput(), MediaError::NoSoundfont);

    void *module = dlopen(SORABUNE_FAKE_MIDI_MODULE, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr) << "the device did not load its module";
    using LastDevice = testing::FakeMidiDevice *();
    auto *lastDevice = reinterpret_cast<LastDevice *>(dlsym(module, "sorabune_last_fake_midi_device"));
    ASSERT_NE(lastDevice, nullptr);
    testing::FakeMidiDevice &fake = *lastDevice();
    dlclose(module);

    fake.openResult = MediaError::Success;
    fake.playResult = MediaError::NotMidiFile;
    device.prepare();
    EXPECT_EQ(device.openOutput(), MediaError::Success);
    const std::array<std::uint8_t, 3> midi{1, 2, 3};
    EXPECT_EQ(device.play(midi), MediaError::NotMidiFile);
    device.stop();
    device.closeOutput();
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"openOutput", "prepare", "openOutput", "play:3", "stop",
                                                    "closeOutput"}));
    EXPECT_EQ(lastDevice(), &fake) << "one device only, made at the first call";
}

TEST(ModuleMidiDeviceTest, AnswersDeviceErrorWithoutAModule)
{
    testing::ScratchDirectory directory;
    const auto notALibrary = directory / "fluidsynth-midi.so";
    testing::writeBytes(notALibrary, testing::sustainedNoteFile(1.0));
    for (const std::string &path : {(directory / "missing.so").string(), notALibrary.string()}) {
        SCOPED_TRACE(path);
        ModuleMidiDevice device(path);
        device.prepare();
        for (int attempt = 0; attempt < 2; ++attempt) // each use tries again
            EXPECT_EQ(device.openOutput(), MediaError::DeviceError);
        const std::array<std::uint8_t, 1> midi{0};
        EXPECT_EQ(device.play(midi), MediaError::DeviceError);
        device.stop();
        device.closeOutput();
    }
}

} // namespace
} // namespace sorabune
