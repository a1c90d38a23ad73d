// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace sorabune {

// The alarm's media commands, on its one alias. The open command is the two
// pieces with the path between them: open "PATH" alias bgm.
inline constexpr std::string_view kOpenBeforePath = "open \"";
inline constexpr std::string_view kOpenAfterPath = "\" alias bgm";
inline constexpr std::string_view kPlayCommand = "play bgm";
inline constexpr std::string_view kStopCommand = "stop bgm";
inline constexpr std::string_view kCloseCommand = "close bgm";

// Takes the commands above. Answers 0 for success and a nonzero error code
// otherwise; never throws.
class MediaCommands {
public:
    virtual ~MediaCommands() = default;
    virtual std::int32_t send(std::string_view command) = 0;
};

} // namespace sorabune
