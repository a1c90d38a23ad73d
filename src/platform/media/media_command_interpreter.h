// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
//   open "PATH" alias bgm   checks and reads the file, makes the output ready
//   play bgm                plays it from the start in the background, once
//   stop bgm                silences it at once
//   close bgm               stops it and lets the file and the sound output go
// Anything else answers UnknownCommand. Answers a MediaError as a number,
// never throws, and never blocks for long: what can hang runs on a background
// thread or is waited for within a bound. GUI thread only.
class MediaCommandInterpreter final : public MediaCommands {
public:
    // The program's device, loaded from its module (see midi_device.h) at the
    // first open or prepare. While the module cannot be loaded, each of them
    // tries again, and opening answers DeviceError.
    explicit MediaCommandInterpreter(std::string midiModulePath);
    // A device of the caller's own (tests, benchmarks).
    explicit MediaCommandInterpreter(std::unique_ptr<MidiDevice> device);
    ~MediaCommandInterpreter() override;
    MediaCommandInterpreter(const MediaCommandInterpreter &) = delete;
    MediaCommandInterpreter &operator=(const MediaCommandInterpreter &) = delete;

    std::int32_t send(std::string_view command) override;

    // Starts loading the soundfont in the background, so that a later open
    // and play sound quickly. Returns at once; optional.
    void prepare();

private:
    MediaError open(std::string_view path);
    MediaError play();
    MediaError stop();
    MediaError close();
    // The device, loading its module first if need be; null when it cannot be had.
    MidiDevice *device();

    std::string m_modulePath;
    std::unique_ptr<MidiDevice> m_device;
    std::optional<std::vector<std::uint8_t>> m_file; // while bgm is open
    bool m_playing = false;
};

} // namespace sorabune
