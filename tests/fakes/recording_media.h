// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media_commands.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sorabune::testing {

// Records every command text, in order, and answers with the code scripted for
// its first word ("open", "play", ...), 0 when none is.
class RecordingMedia final : public MediaCommands {
public:
    std::int32_t send(std::string_view command) override
    {
        if (beforeAnswer)
            beforeAnswer(command);
        commands.emplace_back(command);
        const auto answer = answers.find(command.substr(0, command.find(' ')));
        return answer == answers.end() ? 0 : answer->second;
    }

    std::vector<std::string> commands;
    std::map<std::string, std::int32_t, std::less<>> answers;
    // Runs as each command arrives, before it is answered.
    std::function<void(std::string_view)> beforeAnswer;
};

} // namespace sorabune::testing
