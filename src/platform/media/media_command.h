#pragma once

#include <optional>
#include <string_view>

namespace sorabune {

// One media command taken apart. The views point into the command text.
struct MediaCommand {
    enum class Verb { Open, Play, Stop, Close };
    Verb verb;
    std::string_view alias;
    std::string_view path; // open only
};

// Understands exactly `open "PATH" alias NAME`, `play NAME`, `stop NAME` and
// `close NAME`. A path may itself contain `"`: it runs to the last `" alias `.
// A name is one word: not empty, no blanks.
std::optional<MediaCommand> parseMediaCommand(std::string_view text);

} // namespace sorabune
