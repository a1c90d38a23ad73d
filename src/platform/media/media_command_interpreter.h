#pragma once

#include "platform/media/media_error.h"
#include "platform/media_commands.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sorabune {

class MidiDevice;

// The media command strings the program sends, played on one MIDI device:
//   open "PATH" alias NAME   checks and reads the file, makes the output ready
//   play NAME                plays it from the start in the background, once
//   stop NAME                silences it at once
//   close NAME               stops it and lets the file (and, with the last
//                            alias, the sound output) go
// Several aliases may be open; one plays at a time. Answers a MediaError as
// a number, never throws, and never blocks for long: what can hang runs on a
// background thread or is waited for within a bound. GUI thread only.
class MediaCommandInterpreter final : public MediaCommands {
public:
    explicit MediaCommandInterpreter(std::unique_ptr<MidiDevice> device);
    ~MediaCommandInterpreter() override;
    MediaCommandInterpreter(const MediaCommandInterpreter &) = delete;
    MediaCommandInterpreter &operator=(const MediaCommandInterpreter &) = delete;

    std::int32_t send(std::string_view command) override;

    // Starts loading the soundfont in the background, so that a later open
    // and play sound quickly. Returns at once; optional.
    void prepare();

private:
    MediaError open(std::string_view path, std::string_view alias);
    MediaError play(std::string_view alias);
    MediaError stop(std::string_view alias);
    MediaError close(std::string_view alias);

    std::unique_ptr<MidiDevice> m_device;
    std::map<std::string, std::vector<std::uint8_t>, std::less<>> m_openFiles; // by alias
    std::string m_playing; // the alias that plays, empty when none
};

} // namespace sorabune
