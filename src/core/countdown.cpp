// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/countdown.h"

#include "platform/log.h"

#include <algorithm>
#include <string>

namespace sorabune {

namespace {
constexpr int kTickMilliseconds = 1000;
} // namespace

Countdown::Countdown(CountdownControls controls, const Clock &clock, AlarmActions &alarm, SuspendInhibitor &awake)
    : m_controls(controls)
    , m_clock(clock)
    , m_alarm(alarm)
    , m_awake(awake)
{
    const auto filterKey = [this](std::int16_t key) { return FilterEntryKey(key, m_controls.Timer1.isEnabled()); };
    m_controls.Text1.setKeyPressHandler(filterKey);
    m_controls.Text1.setChangeHandler([this] { ApplyHoursChange(); });
    m_controls.Text2.setKeyPressHandler(filterKey);
    m_controls.Text2.setChangeHandler([this] { ApplyMinutesChange(); });
    m_controls.Command1.setClickHandler([this] { StartCountdown(); });
    m_controls.Command2.setClickHandler([this] { StopCountdown(); });
    m_controls.Timer1.setTimerHandler([this] { TickCountdown(); });
}

void Countdown::ApplyHoursChange()
{
    applyChange(m_controls.Text1, kMaxHours);
}

void Countdown::ApplyMinutesChange()
{
    applyChange(m_controls.Text2, kMaxMinutes);
}

void Countdown::applyChange(TextBox &box, int limit)
{
    // Setting the text runs this change again, nested; it finds the limit and
    // goes on normally.
    if (textValue(box.text()) >= limit + 1)
        box.setText(std::to_string(limit));
    const std::string minutes = m_controls.Text2.text();
    const std::string hours = m_controls.Text1.text();
    m_values.TotalSeconds = ComputeTotalSeconds(hours, minutes);
    showSeconds(m_values.TotalSeconds);
}

void Countdown::showSeconds(std::int32_t seconds)
{
    CountdownParts &parts = m_values;
    parts = SplitSeconds(seconds);
    m_controls.Label6.setCaption(FormatCountdown(parts));
}

void Countdown::resetBoxes()
{
    m_controls.Text1.setText("0");
    m_controls.Text2.setText("0");
}

void Countdown::StartCountdown()
{
    m_alarm.SilencePlayback();
    m_controls.Timer1.setInterval(kTickMilliseconds);
    m_controls.Timer1.setEnabled(true);
    m_values.StartSecond = roundToInt32(m_clock.now());
    const std::string minutes = m_controls.Text2.text();
    const std::string hours = m_controls.Text1.text();
    m_values.TotalSeconds = ComputeTotalSeconds(hours, minutes);
    if (m_controls.Timer1.isEnabled())
        m_controls.Command1.setEnabled(false);
    m_awake.hold();
    announceMidiAlarm(m_values.TotalSeconds);
}

void Countdown::TickCountdown()
{
    m_values.ElapsedSeconds = roundToInt32(m_clock.now() - m_values.StartSecond);
    // Exact in double for any two 32-bit counts, and saturated back to 32 bits.
    const std::int32_t remaining = roundToInt32(static_cast<double>(m_values.TotalSeconds) - m_values.ElapsedSeconds);
    showSeconds(remaining);
    if (remaining >= 1) {
        announceMidiAlarm(remaining);
        return;
    }

    m_controls.Label6.setCaption(kZeroDisplay);
    resetBoxes();
    if (m_controls.Command1.isEnabled())
        return; // already fired since the last start: ringing
    m_controls.Command1.setEnabled(true);
    // Ticks come every second, so a second or so is rounding; more is the
    // machine asleep (or stalled) when the time was up.
    logDebug(
        kSuspendLog, "the alarm comes " + std::to_string(-std::min<std::int64_t>(remaining, 0)) + " s after its time");
    if (m_controls.Option1.value()) {
        m_alarm.BeepAlarm();
        m_controls.Timer1.setEnabled(false);
        m_awake.release();
    } else if (m_controls.Option2.value()) {
        // Before the request: what holds the system up must be what the user left open, not us.
        m_awake.release();
        m_alarm.PowerOffAlarm();
        m_controls.Timer1.setEnabled(false);
    } else {
        // The timer keeps ticking: the ringing state, left by stop.
        m_alarm.PlayMidiAlarm(m_controls.Label4.caption());
    }
}

void Countdown::announceMidiAlarm(std::int32_t remaining) const
{
    const bool running = m_controls.Timer1.isEnabled() && !m_controls.Command1.isEnabled();
    const bool towardsMidi = !m_controls.Option1.value() && !m_controls.Option2.value();
    if (m_midiAlarmNear && running && towardsMidi && remaining <= kMidiAlarmLeadSeconds)
        m_midiAlarmNear(m_controls.Label4.caption());
}

void Countdown::StopCountdown()
{
    m_controls.Timer1.setEnabled(false);
    m_awake.release();
    m_alarm.SilencePlayback();
    resetBoxes();
    m_controls.Label6.setCaption(kZeroDisplay);
    if (!m_controls.Command1.isEnabled())
        m_controls.Command1.setEnabled(true);
}

} // namespace sorabune
