// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarm/alarm_actions.h"
#include "platform/beeper.h"
#include "platform/media_commands.h"
#include "platform/power_switch.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace sorabune {

// The alarm actions over the media command strings, the beep and the power
// switch. An action that cannot be carried out (the MIDI file does not open or
// play, power-off is refused or unanswered) sounds the three beeps instead: an
// alarm that stays silent is the worst outcome for its user.
// The three services must outlive the alarm.
class Alarm final : public AlarmActions {
public:
    Alarm(MediaCommands &media, Beeper &beeper, PowerSwitch &powerSwitch);
    ~Alarm() override;
    Alarm(const Alarm &) = delete;
    Alarm &operator=(const Alarm &) = delete;

    void SilencePlayback() override;
    void BeepAlarm() override;
    void PlayMidiAlarm(const std::string &path) override;
    void PowerOffAlarm() override;

private:
    std::int32_t send(std::string_view command);

    MediaCommands &m_media;
    Beeper &m_beeper;
    PowerSwitch &m_powerSwitch;
    std::int32_t MciResult = 0; // the result of the last media command, never read
};

} // namespace sorabune
