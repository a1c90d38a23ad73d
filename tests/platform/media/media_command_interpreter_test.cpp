// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/media_command_interpreter.h"
#include "platform/media/midi_file.h"

#include "fakes/fake_midi_device.h"
#include "support/listening_socket.h"
#include "support/media_error_code.h"
#include "support/midi_file_builder.h"
#include "support/scratch_directory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace sorabune {
namespace {

using testing::code;
using testing::FakeMidiDevice;
using testing::ScratchDirectory;

std::string openCommand(const std::filesystem::path &path)
{
    return "open \"" + path.string() + "\" alias bgm";
}

class InterpreterTest : public ::testing::Test {
protected:
    InterpreterTest()
    {
        auto device = std::make_unique<FakeMidiDevice>();
        m_device = device.get();
        m_interpreter = std::make_unique<MediaCommandInterpreter>(std::move(device));
        testing::writeBytes(m_song, m_songBytes);
    }

    std::int32_t send(const std::string &command) { return m_interpreter->send(command); }
    void prepare(const std::filesystem::path &path) { m_interpreter->prepare(path.string()); }
    FakeMidiDevice &device() { return *m_device; }

    ScratchDirectory m_directory;
    const std::filesystem::path m_song = m_directory / "song.mid";
    const std::vector<std::uint8_t> m_songBytes = testing::sustainedNoteFile(1.0);

private:
    FakeMidiDevice *m_device = nullptr;
    std::unique_ptr<MediaCommandInterpreter> m_interpreter;
};

// The forms, and what each answers on a fresh interpreter with song.mid on disk.
struct CommandCase {
    const char *name;
    std::string command; // "{song}" stands for song.mid's full path
    MediaError expected;
};

void PrintTo(const CommandCase &value, std::ostream *out)
{
    *out << value.name;
}

class CommandTextTest : public InterpreterTest, public ::testing::WithParamInterface<CommandCase> { };

TEST_P(CommandTextTest, AnswersTheCommandsCode)
{
    std::string command = GetParam().command;
    if (const auto at = command.find("{song}"); at != std::string::npos)
        command.replace(at, 6, m_song.string());
    EXPECT_EQ(send(command), code(GetParam().expected)) << command;
    EXPECT_EQ(device().protocolErrors, 0);
}

INSTANTIATE_TEST_SUITE_P(Forms, CommandTextTest,
    ::testing::Values(CommandCase{"Open", "open \"{song}\" alias bgm", MediaError::Success},
        CommandCase{"OpenOtherAlias", "open \"{song}\" alias x", MediaError::AliasNotOpen},
        CommandCase{"PlayOtherAlias", "play x", MediaError::AliasNotOpen},
        CommandCase{"OpenMissingFile", "open \"/nonexistent/a.mid\" alias bgm", MediaError::FileNotReadable},
        CommandCase{"OpenEmptyPath", "open \"\" alias bgm", MediaError::FileNotReadable},
        CommandCase{"PlayNotOpen", "play bgm", MediaError::AliasNotOpen},
        CommandCase{"StopNotOpen", "stop bgm", MediaError::AliasNotOpen},
        CommandCase{"CloseNotOpen", "close bgm", MediaError::AliasNotOpen},
        CommandCase{"Empty", "", MediaError::AliasNotOpen},
        CommandCase{"UnknownVerb", "pause bgm", MediaError::AliasNotOpen},
        CommandCase{"UpperCase", "PLAY bgm", MediaError::AliasNotOpen},
        CommandCase{"VerbAlone", "play", MediaError::AliasNotOpen},
        CommandCase{"NoName", "close ", MediaError::AliasNotOpen},
        CommandCase{"TwoBlanks", "stop  bgm", MediaError::AliasNotOpen},
        CommandCase{"TrailingBlank", "stop bgm ", MediaError::AliasNotOpen},
        CommandCase{"TwoWords", "play bgm from 0", MediaError::AliasNotOpen},
        CommandCase{"NameWithTab", "play b\tgm", MediaError::AliasNotOpen},
        CommandCase{"OpenUnquoted", "open {song} alias bgm", MediaError::AliasNotOpen},
        CommandCase{"OpenWithoutAlias", "open \"{song}\"", MediaError::AliasNotOpen},
        CommandCase{"OpenEmptyAlias", "open \"{song}\" alias ", MediaError::AliasNotOpen},
        CommandCase{"OpenAliasOfTwoWords", "open \"{song}\" alias bgm type sequencer", MediaError::AliasNotOpen},
        CommandCase{"OpenWithType", "open \"{song}\" type sequencer alias bgm", MediaError::AliasNotOpen}),
    [](const auto &info) { return info.param.name; });

// What lies at the path of the open command, and the code it answers.
struct FileCase {
    const char *name;
    std::function<std::filesystem::path(const ScratchDirectory &)> make;
    MediaError expected;
};

void PrintTo(const FileCase &value, std::ostream *out)
{
    *out << value.name;
}

class FileKindTest : public InterpreterTest, public ::testing::WithParamInterface<FileCase> { };

TEST_P(FileKindTest, OpenAnswersTheFilesCode)
{
    const std::filesystem::path path = GetParam().make(m_directory);
    EXPECT_EQ(send(openCommand(path)), code(GetParam().expected)) << path;
    const bool opened = GetParam().expected == MediaError::Success;
    EXPECT_EQ(device().outputOpen, opened) << "a file refused reached the device";
    EXPECT_EQ(send("play bgm"), code(opened ? MediaError::Success : MediaError::AliasNotOpen));
}

std::filesystem::path writeFile(
    const ScratchDirectory &directory, const std::string &name, const std::vector<std::uint8_t> &bytes)
{
    testing::writeBytes(directory / name, bytes);
    return directory / name;
}

// A valid file of exactly `size` bytes: one track whose events end early, the
// rest of its chunk zeros (a sparse file, so no disk is used).
std::filesystem::path paddedFile(const ScratchDirectory &directory, std::size_t size)
{
    std::vector<std::uint8_t> bytes = testing::midiHeader(0, 1);
    const std::uint32_t chunkLength = static_cast<std::uint32_t>(size - bytes.size() - 8);
    bytes.insert(bytes.end(), {'M', 'T', 'r', 'k'});
    for (const int shift : {24, 16, 8, 0})
        bytes.push_back(static_cast<std::uint8_t>(chunkLength >> shift));
    bytes.insert(bytes.end(), {0x00, 0xFF, 0x2F, 0x00});
    const auto path = writeFile(directory, "padded.mid", bytes);
    std::filesystem::resize_file(path, size);
    return path;
}

std::filesystem::path unixSocket(const ScratchDirectory &directory)
{
    const auto path = directory / "socket.mid";
    const testing::ListeningSocket listener(path.string()); // its file stays
    return path;
}

INSTANTIATE_TEST_SUITE_P(Files, FileKindTest,
    ::testing::Values(
        FileCase{"Midi", [](const auto &d) { return writeFile(d, "a.mid", testing::sustainedNoteFile(1)); },
            MediaError::Success},
        FileCase{"NotNamedMid", [](const auto &d) { return writeFile(d, "a.txt", testing::restFile(1)); },
            MediaError::Success},
        FileCase{"SymlinkToMidi",
            [](const auto &d) {
                std::filesystem::create_symlink(writeFile(d, "a.mid", testing::restFile(1)), d / "link.mid");
                return d / "link.mid";
            },
            MediaError::Success},
        FileCase{"Missing", [](const auto &d) { return d / "missing.mid"; }, MediaError::FileNotReadable},
        FileCase{"BelowAFile", [](const auto &d) { return writeFile(d, "a.mid", testing::restFile(1)) / "b.mid"; },
            MediaError::FileNotReadable},
        FileCase{"SymlinkLoop",
            [](const auto &d) {
                std::filesystem::create_symlink(d / "loop.mid", d / "loop.mid");
                return d / "loop.mid";
            },
            MediaError::FileNotReadable},
        FileCase{"Directory",
            [](const auto &d) {
                std::filesystem::create_directory(d / "folder.mid");
                return d / "folder.mid";
            },
            MediaError::NotRegularFile},
        FileCase{"CharacterDevice", [](const auto &) { return std::filesystem::path("/dev/null"); },
            MediaError::NotRegularFile},
        FileCase{"Socket", unixSocket, MediaError::NotRegularFile},
        FileCase{"Empty", [](const auto &d) { return writeFile(d, "empty.mid", {}); }, MediaError::NotMidiFile},
        FileCase{"Text",
            [](const auto &d) {
                return writeFile(d, "text.mid", {'h', 'e', 'l', 'l', 'o', '\n'});
            },
            MediaError::NotMidiFile},
        FileCase{"HeaderOnly", [](const auto &d) { return writeFile(d, "header.mid", testing::midiHeader(0, 1)); },
            MediaError::NotMidiFile},
        FileCase{"AtTheSizeCap", [](const auto &d) { return paddedFile(d, kMaxMidiFileSize); }, MediaError::Success},
        FileCase{"OverTheSizeCap", [](const auto &d) { return paddedFile(d, kMaxMidiFileSize + 1); },
            MediaError::NotMidiFile}),
    [](const auto &info) { return info.param.name; });

// Names the shell would quote, and one that holds the separator of the open command itself.
class PathTextTest : public InterpreterTest, public ::testing::WithParamInterface<const char *> { };

TEST_P(PathTextTest, OpensTheFileOfThatName)
{
    // A decoy shorter file where a parser that stops at the first `"` would look.
    const std::string name = GetParam();
    testing::writeBytes(m_directory / name.substr(0, name.find('"')), testing::restFile(1));
    const auto path = m_directory / name;
    testing::writeBytes(path, m_songBytes);

    EXPECT_EQ(send(openCommand(path)), 0);
    EXPECT_EQ(send("play bgm"), 0);
    EXPECT_EQ(device().playing, m_songBytes.size()) << "another file plays";
}

INSTANTIATE_TEST_SUITE_P(Names, PathTextTest,
    ::testing::Values("with spaces.mid", "目覚まし の曲.mid", "say \"hi\".mid", "x\" alias y.mid", "trailing quote\""));

TEST_F(InterpreterTest, PathWithANulByteIsNotReadable)
{
    const std::string command = "open \"" + m_song.string() + std::string(1, '\0') + "x\" alias bgm";
    EXPECT_EQ(send(command), code(MediaError::FileNotReadable));
}

TEST_F(InterpreterTest, ProgramsSequencePlaysAndReleasesTheOutput)
{
    EXPECT_EQ(send("stop bgm"), code(MediaError::AliasNotOpen));
    EXPECT_EQ(send("close bgm"), code(MediaError::AliasNotOpen));
    EXPECT_EQ(send(openCommand(m_song)), 0);
    EXPECT_TRUE(device().outputOpen);
    EXPECT_EQ(send("play bgm"), 0);
    EXPECT_EQ(device().playing, m_songBytes.size());
    EXPECT_EQ(send("stop bgm"), 0);
    EXPECT_FALSE(device().playing);
    EXPECT_EQ(send("close bgm"), 0);
    EXPECT_FALSE(device().outputOpen);
    EXPECT_EQ(send("close bgm"), code(MediaError::AliasNotOpen));
    EXPECT_EQ(send("play bgm"), code(MediaError::AliasNotOpen));
    EXPECT_EQ(device().protocolErrors, 0);
}

// The stop fades the music out; a close alone would cut it.
TEST_F(InterpreterTest, CloseWhilePlayingStopsFirst)
{
    send(openCommand(m_song));
    send("play bgm");
    EXPECT_EQ(send("close bgm"), 0);
    EXPECT_FALSE(device().outputOpen);
    EXPECT_EQ(device().protocolErrors, 0);
}

TEST_F(InterpreterTest, PlayAfterStopStartsAgain)
{
    send(openCommand(m_song));
    send("play bgm");
    send("stop bgm");
    EXPECT_EQ(send("play bgm"), 0);
    EXPECT_EQ(device().playing, m_songBytes.size());
}

TEST_F(InterpreterTest, OpenWhileOpenTakesThePlaceOfTheFirstFile)
{
    const auto other = m_directory / "other.mid";
    const auto otherBytes = testing::restFile(2.0);
    testing::writeBytes(other, otherBytes);
    EXPECT_EQ(send(openCommand(m_song)), 0);
    send("play bgm");
    EXPECT_EQ(send(openCommand(other)), 0);
    EXPECT_FALSE(device().playing) << "the first file plays on";
    EXPECT_EQ(send("play bgm"), 0);
    EXPECT_EQ(device().playing, otherBytes.size());
    EXPECT_EQ(device().protocolErrors, 0);
}

// What the device started for a failed open is let go at once.
TEST_F(InterpreterTest, DeviceFailureAtOpenLeavesTheAliasClosed)
{
    for (const MediaError failure : {MediaError::NoSoundfont, MediaError::NoAudioOutput}) {
        device().openResult = failure;
        EXPECT_EQ(send(openCommand(m_song)), code(failure));
        EXPECT_FALSE(device().prepared) << "the device kept what it loaded for the failed open";
        EXPECT_EQ(send("play bgm"), code(MediaError::AliasNotOpen));
        EXPECT_EQ(send("close bgm"), code(MediaError::AliasNotOpen));
    }
    EXPECT_EQ(device().protocolErrors, 0);

    device().openResult = MediaError::Success;
    EXPECT_EQ(send(openCommand(m_song)), 0); // a later open tries again
}

// Asked at every tick of the countdown's last seconds: read again only when
// the file changed or a close let the preparation go.
TEST_F(InterpreterTest, PrepareReadsTheFileForTheDeviceOncePerChange)
{
    prepare(m_directory / "missing.mid");
    EXPECT_EQ(device().preparations, 0);
    prepare(m_song);
    prepare(m_song);
    EXPECT_EQ(device().preparations, 1);
    EXPECT_EQ(device().prepared, m_songBytes.size());

    EXPECT_EQ(send("close bgm"), code(MediaError::AliasNotOpen));
    EXPECT_FALSE(device().prepared) << "a close did not let the preparation go";
    prepare(m_song);
    EXPECT_EQ(device().preparations, 2);

    testing::writeBytes(m_song, testing::restFile(1));
    prepare(m_song);
    EXPECT_EQ(device().preparations, 3);
    EXPECT_EQ(device().prepared, testing::restFile(1).size());
}

TEST_F(InterpreterTest, FifoNamedMidReturnsAtOnceWithItsCode)
{
    const auto fifo = m_directory / "x.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto answer = std::async(std::launch::async, [&] { return send(openCommand(fifo)); });
    if (answer.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Blocked in open(): a writer lets it go, so that the test fails instead of hanging.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        ::close(writer);
        FAIL() << "open of a FIFO blocked";
    }
    EXPECT_EQ(answer.get(), code(MediaError::NotRegularFile));
}

} // namespace
} // namespace sorabune
