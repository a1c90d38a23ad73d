// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarm.h"

#include "platform/log.h"

#include <string>

namespace sorabune {

namespace {
constexpr int kBeeps = 3;
} // namespace

Alarm::Alarm(MediaCommands &media, Beeper &beeper, PowerSwitch &powerSwitch)
    : m_media(media)
    , m_beeper(beeper)
    , m_powerSwitch(powerSwitch)
{
    m_powerSwitch.setFailureHandler([this] {
        logDebug(kPowerOffLog, "the power-off alarm failed: the beeps instead");
        BeepAlarm();
    });
}

Alarm::~Alarm()
{
    // A refusal may still be on its way; it must not reach a deleted alarm.
    m_powerSwitch.setFailureHandler({});
}

void Alarm::SilencePlayback()
{
    send(kStopCommand);
    send(kCloseCommand);
}

void Alarm::BeepAlarm()
{
    logDebug(kBellLog, "the beep alarm: three beeps");
    for (int count = 1; count <= kBeeps; ++count)
        m_beeper.beep();
}

void Alarm::PlayMidiAlarm(const std::string &path)
{
    logDebug(kMediaLog, "the MIDI alarm: " + path);
    const std::int32_t opened = send(std::string(kOpenBeforePath).append(path).append(kOpenAfterPath));
    // Sent even after a failed open: the commands and their order stay fixed, and
    // playing an alias that is not open merely fails.
    const std::int32_t played = send(kPlayCommand);
    if (opened == 0 && played == 0) {
        logDebug(kMediaLog, "the MIDI alarm plays");
        return;
    }
    logDebug(kMediaLog,
        "the MIDI alarm is silent (open answered " + std::to_string(opened) + ", play " + std::to_string(played)
            + "): the beeps instead");
    BeepAlarm();
}

void Alarm::PowerOffAlarm()
{
    logDebug(kPowerOffLog, "the power-off alarm");
    // A failure comes back later, through the handler set in the constructor.
    m_powerSwitch.powerOff();
}

std::int32_t Alarm::send(std::string_view command)
{
    const std::int32_t result = m_media.send(command);
    MciResult = result;
    return result;
}

} // namespace sorabune
