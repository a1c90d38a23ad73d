// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace sorabune {

// What the countdown can set off, and the silencing of playback. The controller
// needs nothing from these but that they return.
class AlarmActions {
public:
    virtual ~AlarmActions() = default;
    virtual void SilencePlayback() = 0;
    virtual void BeepAlarm() = 0;
    virtual void PlayMidiAlarm(const std::string &path) = 0;
    virtual void PowerOffAlarm() = 0;
};

} // namespace sorabune
