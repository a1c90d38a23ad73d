// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarm/alarm_actions.h"

#include <string>
#include <vector>

namespace sorabune::testing {

// Records every call, in order: "SilencePlayback", "BeepAlarm", "PowerOffAlarm",
// "PlayMidiAlarm:<path>".
class RecordingAlarm final : public AlarmActions {
public:
    void SilencePlayback() override { calls.emplace_back("SilencePlayback"); }
    void BeepAlarm() override { calls.emplace_back("BeepAlarm"); }
    void PlayMidiAlarm(const std::string &path) override { calls.push_back("PlayMidiAlarm:" + path); }
    void PowerOffAlarm() override { calls.emplace_back("PowerOffAlarm"); }

    std::vector<std::string> calls;
};

} // namespace sorabune::testing
