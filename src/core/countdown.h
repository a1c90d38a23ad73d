// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarm/alarm_actions.h"
#include "core/entry_rules.h"
#include "platform/clock.h"
#include "platform/controls.h"

#include <cstdint>

namespace sorabune {

// The controls of the window that the countdown reads and writes. Its state is
// held in them: (Timer1 enabled, Command1 enabled) is idle (false, true),
// running (true, false) or ringing (true, true).
struct CountdownControls {
    TextBox &Text1; // hours
    TextBox &Text2; // minutes
    Label &Label6;  // the countdown display
    Label &Label4;  // the chosen MIDI file
    CommandButton &Command1;
    Timer &Timer1;
    OptionButton &Option1; // beep
    OptionButton &Option2; // power off
};

// The window-level values of the countdown, with their widths.
struct CountdownValues {
    std::int32_t StartSecond = 0;
    std::int32_t TotalSeconds = 0;
    std::int32_t ElapsedSeconds = 0;
    double HoursPart = 0;
    std::int32_t MinutesPart = 0;
    std::int16_t SecondsPart = 0;
};

// Entry rules for the two boxes and the countdown controller. The timer is only a
// pacemaker: every tick measures the time gone on the clock, so late or missed
// ticks never make it drift.
class Countdown {
public:
    Countdown(CountdownControls controls, const Clock &clock, AlarmActions &alarm);

    std::int16_t FilterKey(std::int16_t key) const;
    void ApplyHoursChange();
    void ApplyMinutesChange();

    void StartCountdown();
    void StopCountdown();
    void TickCountdown();

    const CountdownValues &values() const { return m_values; }
    // The seconds left as of the last start or tick.
    std::int32_t secondsLeft() const { return m_secondsLeft; }

private:
    void applyChange(TextBox &box, int limit);
    void showSeconds(std::int32_t seconds);
    void resetBoxes();

    CountdownControls m_controls;
    const Clock &m_clock;
    AlarmActions &m_alarm;
    CountdownValues m_values;
    std::int32_t m_secondsLeft = 0;
};

} // namespace sorabune
