#pragma once

#include <cstdint>
#include <string_view>

namespace sorabune {

// Media command strings: "open \"PATH\" alias NAME", "play NAME", "stop NAME",
// "close NAME". Answers 0 for success and a nonzero error code otherwise; never
// throws.
class MediaCommands {
public:
    virtual ~MediaCommands() = default;
    virtual std::int32_t send(std::string_view command) = 0;
};

} // namespace sorabune
