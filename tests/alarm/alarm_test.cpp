// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarm.h"

#include "fakes/recording_beeper.h"
#include "fakes/recording_media.h"
#include "fakes/recording_power_switch.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sorabune {
namespace {

using testing::RecordingBeeper;
using testing::RecordingMedia;
using testing::RecordingPowerSwitch;
using Commands = std::vector<std::string>;

class AlarmTest : public ::testing::Test {
protected:
    RecordingMedia media;
    RecordingBeeper beeper;
    RecordingPowerSwitch powerSwitch;
    std::optional<Alarm> alarm{std::in_place, media, beeper, powerSwitch};
};

// What each action sends, beeps and asks when everything succeeds.
struct ActionCase {
    const char *name;
    std::function<void(Alarm &)> action;
    Commands commands;
    int beeps;
    int powerOffs;
};

void PrintTo(const ActionCase &action, std::ostream *out)
{
    *out << action.name;
}

class AlarmActionTest : public AlarmTest, public ::testing::WithParamInterface<ActionCase> { };

TEST_P(AlarmActionTest, SendsExactlyItsCommands)
{
    GetParam().action(*alarm);
    EXPECT_EQ(media.commands, GetParam().commands);
    EXPECT_EQ(beeper.beeps, GetParam().beeps);
    EXPECT_EQ(powerSwitch.requests, GetParam().powerOffs);
}

INSTANTIATE_TEST_SUITE_P(Actions, AlarmActionTest,
    ::testing::Values(ActionCase{"Silence", [](Alarm &a) { a.SilencePlayback(); }, {"stop bgm", "close bgm"}, 0, 0},
        ActionCase{"Beep", [](Alarm &a) { a.BeepAlarm(); }, {}, 3, 0},
        ActionCase{"PowerOff", [](Alarm &a) { a.PowerOffAlarm(); }, {}, 0, 1},
        ActionCase{"Midi", [](Alarm &a) { a.PlayMidiAlarm("/music/alarm.mid"); },
            {"open \"/music/alarm.mid\" alias bgm", "play bgm"}, 0, 0},
        // The path goes in as it is: no quoting, escaping or conversion.
        ActionCase{"MidiOddPath", [](Alarm &a) { a.PlayMidiAlarm("/home/ユーザー/My Music/say \"hi\" alias x\".mid"); },
            {"open \"/home/ユーザー/My Music/say \"hi\" alias x\".mid\" alias bgm", "play bgm"}, 0, 0}),
    [](const ::testing::TestParamInfo<ActionCase> &info) { return std::string(info.param.name); });

// Which command fails, and whether the alarm must fall back to the beeps.
struct FailureCase {
    const char *name;
    const char *failingVerb;
    std::function<void(Alarm &)> action;
    int beeps;
};

void PrintTo(const FailureCase &failure, std::ostream *out)
{
    *out << failure.name;
}

class AlarmFailureTest : public AlarmTest, public ::testing::WithParamInterface<FailureCase> { };

TEST_P(AlarmFailureTest, BeepsOnlyWhenTheAlarmWouldBeSilent)
{
    media.answers[GetParam().failingVerb] = 275;
    GetParam().action(*alarm);
    EXPECT_EQ(beeper.beeps, GetParam().beeps);
}

INSTANTIATE_TEST_SUITE_P(Failures, AlarmFailureTest,
    ::testing::Values(FailureCase{"MidiPlayFails", "play", [](Alarm &a) { a.PlayMidiAlarm("/a.mid"); }, 3},
        // Silencing an alias that is not open fails every time; that is normal.
        FailureCase{"StopFails", "stop", [](Alarm &a) { a.SilencePlayback(); }, 0},
        FailureCase{"CloseFails", "close", [](Alarm &a) { a.SilencePlayback(); }, 0}),
    [](const ::testing::TestParamInfo<FailureCase> &info) { return std::string(info.param.name); });

TEST_F(AlarmTest, FailedOpenStillSendsPlayThenBeeps)
{
    media.answers["open"] = 275;
    int beepsBeforePlay = -1;
    media.beforeAnswer = [&](std::string_view command) {
        if (command == "play bgm")
            beepsBeforePlay = beeper.beeps;
    };
    alarm->PlayMidiAlarm("/missing.mid");
    EXPECT_EQ(media.commands, (Commands{"open \"/missing.mid\" alias bgm", "play bgm"}));
    EXPECT_EQ(beepsBeforePlay, 0);
    EXPECT_EQ(beeper.beeps, 3);
}

TEST_F(AlarmTest, RefusedPowerOffBeepsThreeTimes)
{
    alarm->PowerOffAlarm();
    EXPECT_EQ(beeper.beeps, 0);
    powerSwitch.refuse();
    EXPECT_EQ(beeper.beeps, 3);
    EXPECT_TRUE(media.commands.empty());
}

TEST_F(AlarmTest, LateRefusalAfterTheAlarmIsGoneIsIgnored)
{
    alarm->PowerOffAlarm();
    alarm.reset();
    powerSwitch.refuse();
    EXPECT_EQ(beeper.beeps, 0);
}

} // namespace
} // namespace sorabune
