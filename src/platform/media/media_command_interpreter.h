// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/file_stamp.h"
#include "platform/media/media_error.h"
#include "platform/media_commands.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorabune {

class MidiDevice;

// The media command strings the alarm sends, played on one MIDI device:
//   open "PATH" alias bgm   checks and reads the file, makes the output ready;
//                           a file open before is closed first
//   play bgm                plays it from the start in the background, once
//   stop bgm                silences it at once
//   close bgm               stops it and lets the file and the sound output go
// Any other text answers AliasNotOpen, as a command to a device that is not
// open. Answers a MediaError as a number and never throws; each failure leaves
// one line under sorabune.media. GUI thread only: only open waits, at most
// MidiDevice::kOpenLimit, and only when the sound server hangs.
class MediaCommandInterpreter final : public MediaCommands {
public:
    // The program's device, loaded from its module (see midi_device.h) at the
    // first prepare or open. While the module cannot be loaded, each of them
    // tries again, and opening answers DeviceError.
    explicit MediaCommandInterpreter(std::string midiModulePath);
    // A device of the caller's own (tests, benchmarks).
    explicit MediaCommandInterpreter(std::unique_ptr<MidiDevice> device);
    ~MediaCommandInterpreter() override;
    MediaCommandInterpreter(const MediaCommandInterpreter &) = delete;
    MediaCommandInterpreter &operator=(const MediaCommandInterpreter &) = delete;

    std::int32_t send(std::string_view command) override;

    // Starts getting ready to play the file at the path, in the background, so
    // that a later open and play of it sound at once; the next close lets it go
    // again. Reads the file and, the first time, loads the module; optional.
    // Asked again for the same file, unchanged since, it reads nothing.
    void prepare(std::string_view path);

private:
    MediaError open(std::string_view path);
    MediaError play();
    MediaError stop();
    MediaError close();
    // Loads the module and makes its device, unless that is done; null when it cannot.
    MidiDevice *loadDevice();

    std::string m_modulePath;
    std::unique_ptr<MidiDevice> m_device;
    std::optional<std::vector<std::uint8_t>> m_file; // while bgm is open
    // The file handed to the device to prepare, as it was then, until a close lets that go.
    struct PreparedFile {
        std::string path;
        FileStamp stamp;
    };
    std::optional<PreparedFile> m_prepared;
};

} // namespace sorabune
