// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarm/alarm_actions.h"
#include "core/entry_rules.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/suspend_inhibitor.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sorabune {

// The countdown display at rest.
inline constexpr std::string_view kZeroDisplay = "00 : 00 : 00";

// The controls of the window that the countdown reads and writes. The state is
// held in them: (Timer1 enabled, Command1 enabled) is idle (false, true),
// running (true, false) or ringing (true, true).
struct CountdownControls {
    // Taken by name from any set of controls named as the window names them:
    // neighbours share a type, so an order to follow would let a swap pass.
    template<typename Controls>
    explicit CountdownControls(Controls &controls)
        : Text1(controls.Text1)
        , Text2(controls.Text2)
        , Label6(controls.Label6)
        , Label4(controls.Label4)
        , Command1(controls.Command1)
        , Command2(controls.Command2)
        , Timer1(controls.Timer1)
        , Option1(controls.Option1)
        , Option2(controls.Option2)
    {
    }

    TextBox &Text1;          // hours
    TextBox &Text2;          // minutes
    Label &Label6;           // the countdown display
    const Label &Label4;     // the chosen MIDI file
    CommandButton &Command1; // start
    CommandButton &Command2; // stop
    Timer &Timer1;
    const OptionButton &Option1; // beep
    const OptionButton &Option2; // power off
};

// The window-level values of the countdown, with their widths: the parts on
// display and the seconds counts.
struct CountdownValues : CountdownParts {
    std::int32_t StartSecond = 0;
    std::int32_t TotalSeconds = 0;
    std::int32_t ElapsedSeconds = 0;
};

// Entry rules for the two boxes and the countdown controller, wired to the
// events of its controls from construction on: the key presses and changes of
// the boxes, the clicks of start and stop, the ticks of the timer. The timer is
// only a pacemaker: every tick measures the time gone on the clock, so late or
// missed ticks never make it drift. While an alarm is owed (from a start until
// the beeps have sounded, the power-off is asked for or the music is stopped),
// the desktop is kept from suspending the machine by itself.
class Countdown {
public:
    Countdown(CountdownControls controls, const Clock &clock, AlarmActions &alarm, SuspendInhibitor &awake);
    Countdown(const Countdown &) = delete;
    Countdown &operator=(const Countdown &) = delete;

    void ApplyHoursChange();
    void ApplyMinutesChange();

    void StartCountdown();
    void StopCountdown();
    void TickCountdown();

    const CountdownValues &values() const { return m_values; }

    // Called with the MIDI file's path at the start and at each tick of a
    // countdown towards the MIDI alarm once at most kMidiAlarmLeadSeconds are
    // left, so that the player gets ready in time and not hours before.
    using MidiAlarmNearHandler = std::function<void(const std::string &path)>;
    void setMidiAlarmNearHandler(MidiAlarmNearHandler handler) { m_midiAlarmNear = std::move(handler); }
    // Loading a file's instruments takes up to a second from a cold disk.
    static constexpr std::int32_t kMidiAlarmLeadSeconds = 10;

private:
    void applyChange(TextBox &box, int limit);
    void showSeconds(std::int32_t seconds);
    void resetBoxes();
    void announceMidiAlarm(std::int32_t remaining) const;

    CountdownControls m_controls;
    const Clock &m_clock;
    AlarmActions &m_alarm;
    SuspendInhibitor &m_awake;
    CountdownValues m_values;
    MidiAlarmNearHandler m_midiAlarmNear;
};

} // namespace sorabune
