// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarm.h"

namespace sorabune {

namespace {
constexpr int kBeeps = 3;
} // namespace

Alarm::Alarm(MediaCommands &media, Beeper &beeper, PowerSwitch &powerSwitch)
    : m_media(media)
    , m_beeper(beeper)
    , m_powerSwitch(powerSwitch)
{
    m_powerSwitch.setFailureHandler([this] { BeepAlarm(); });
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
    for (int count = 1; count <= kBeeps; ++count)
        m_beeper.beep();
}

void Alarm::PlayMidiAlarm(const std::string &path)
{
    std::string open;
    open.reserve(kOpenBeforePath.size() + path.size() + kOpenAfterPath.size());
    open.append(kOpenBeforePath).append(path).append(kOpenAfterPath);
    const bool opened = send(open) == 0;
    // Sent even after a failed open: the commands and their order stay fixed, and
    // playing an alias that is not open merely fails.
    const bool playing = send(kPlayCommand) == 0;
    if (!opened || !playing)
        BeepAlarm();
}

void Alarm::PowerOffAlarm()
{
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
