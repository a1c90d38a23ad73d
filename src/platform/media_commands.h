// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace sorabune {

// The alarm's media command strings: "open \"PATH\" alias bgm", "play bgm",
// "stop bgm", "close bgm". Answers 0 for success and a nonzero error code
// otherwise; never throws.
class MediaCommands {
public:
    virtual ~MediaCommands() = default;
    virtual std::int32_t send(std::string_view command) = 0;
};

} // namespace sorabune
