// SPDX-License-Identifier: GPL-3.0-or-later
// Command texts, one a line, sent to the interpreter on a fake device (no
// sound). The first byte chooses whether the device fails to open or to play.
// Every answer must be one of the codes, and the device must only ever be
// used in order: play and stop between open and close.
#include "fakes/fake_midi_device.h"
#include "platform/media/media_command_interpreter.h"
#include "support/media_error_code.h"
#include "support/midi_file_builder.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace sorabune;

// The files the commands may name, in a folder of their own that is the
// working directory. Inputs with a '/' are skipped, so no other file is ever opened.
class Sandbox {
public:
    Sandbox()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sorabune-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr || ::chdir(pattern.c_str()) != 0)
            std::abort();
        m_path = pattern;
        testing::writeBytes("song.mid", testing::sustainedNoteFile(1.0));
        testing::writeBytes("say \"hi\".mid", testing::restFile(1.0));
        testing::writeBytes("text.mid", std::vector<std::uint8_t>{'h', 'i'});
        testing::writeBytes("empty.mid", std::vector<std::uint8_t>{});
        std::filesystem::create_directory("folder.mid");
        ::mkfifo("fifo.mid", 0600);
    }
    ~Sandbox()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

private:
    std::filesystem::path m_path;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static const Sandbox sandbox;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string_view text(reinterpret_cast<const char *>(data + 1), size - 1);
    if (text.find('/') != std::string_view::npos)
        return 0;

    auto device = std::make_unique<testing::FakeMidiDevice>();
    testing::FakeMidiDevice &fake = *device;
    if (data[0] % 3 == 1)
        fake.openResult = MediaError::NoAudioOutput;
    if (data[0] % 3 == 2)
        fake.playResult = MediaError::DeviceError;
    {
        MediaCommandInterpreter interpreter(std::move(device));
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            const std::int32_t answer = interpreter.send(text.substr(0, end));
            if (answer < 0 || answer > testing::code(MediaError::DeviceError))
                std::abort();
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        }
        if (fake.protocolErrors != 0)
            std::abort();
    }
    return 0;
}
