// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/countdown.h"

#include "fakes/fake_clock.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_suspend_inhibitor.h"
#include "fakes/recording_alarm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace sorabune {
namespace {

using testing::FakeClock;
using testing::RecordingAlarm;
using Calls = std::vector<std::string>;

// The countdown on the window's controls, minus the window.
class CountdownTest : public ::testing::Test, public testing::FakeWindowControls {
protected:
    CountdownTest()
    {
        Label4.setCaption("/music/alarm song.mid");
        Option1.setValue(true);
    }

    void setLength(const char *hours, const char *minutes)
    {
        Text1.clear();
        Text1.type(hours);
        Text2.clear();
        Text2.type(minutes);
    }
    // One tick, delivered the given number of seconds after the previous one.
    void tickAfter(double seconds)
    {
        clock.advance(seconds);
        Timer1.fire();
    }
    bool idle() const { return !Timer1.isEnabled() && Command1.isEnabled(); }
    bool running() const { return Timer1.isEnabled() && !Command1.isEnabled(); }
    bool ringing() const { return Timer1.isEnabled() && Command1.isEnabled(); }
    bool showsZero() const
    {
        return Label6.caption() == "00 : 00 : 00" && Text1.text() == "0" && Text2.text() == "0"
            && countdown.values().TotalSeconds == 0;
    }

    FakeClock clock{5000.2};
    RecordingAlarm alarm;
    testing::FakeSuspendInhibitor awake;
    Countdown countdown{CountdownControls(static_cast<FakeWindowControls &>(*this)), clock, alarm, awake};
};

TEST_F(CountdownTest, TypingShowsTheLength)
{
    Text2.type("5");
    EXPECT_EQ(Text2.text(), "05");
    EXPECT_EQ(countdown.values().TotalSeconds, 300);
    EXPECT_EQ(Label6.caption(), "00 : 05 : 00");

    setLength("1", "30");
    EXPECT_EQ(countdown.values().TotalSeconds, 5400);
    EXPECT_EQ(Label6.caption(), "01 : 30 : 00");
    EXPECT_EQ(countdown.values().HoursPart, 1);
    EXPECT_EQ(countdown.values().MinutesPart, 30);
    EXPECT_EQ(countdown.values().SecondsPart, 0);
}

TEST_F(CountdownTest, EmptyBoxCountsAsZero)
{
    setLength("", "5");
    EXPECT_EQ(Text1.text(), "");
    EXPECT_EQ(Label6.caption(), "00 : 05 : 00");
}

TEST_F(CountdownTest, HoursFromSeventyThreeBecomeSeventyTwo)
{
    Text2.clear();
    Text2.type("7");
    Text1.clear();
    const int before = Text1.changes();
    Text1.type("8");
    Text1.type("0");
    EXPECT_EQ(Text1.text(), "72");
    // "8", then "80" and, nested inside it, "72".
    EXPECT_EQ(Text1.changes() - before, 3);
    EXPECT_EQ(countdown.values().TotalSeconds, 72 * 3600 + 7 * 60);
    EXPECT_EQ(Label6.caption(), "72 : 07 : 00");

    Text1.clear();
    Text1.type("73");
    EXPECT_EQ(Text1.text(), "72");
    Text1.clear();
    Text1.type("72");
    EXPECT_EQ(Text1.text(), "72");
}

TEST_F(CountdownTest, MinutesFromSixtyBecomeFiftyNine)
{
    Text2.clear();
    const int before = Text2.changes();
    Text2.type("60");
    EXPECT_EQ(Text2.text(), "59");
    EXPECT_EQ(Text2.changes() - before, 3);
    EXPECT_EQ(Label6.caption(), "00 : 59 : 00");
    Text2.clear();
    Text2.type("59");
    EXPECT_EQ(Text2.text(), "59");
    Text2.clear();
    Text2.type("99");
    EXPECT_EQ(Text2.text(), "59");
}

TEST_F(CountdownTest, TextThatTypingCannotProduceIsHandledQuietly)
{
    Text1.setText("-9");
    Text2.setText("-9");
    EXPECT_EQ(countdown.values().TotalSeconds, -32940);
    EXPECT_EQ(Label6.caption(), "-10 : -09 : 00");
    Text1.setText("a");
    Text2.setText(" .");
    EXPECT_EQ(countdown.values().TotalSeconds, 0);
    Text1.setText(std::string(300, '9'));
    EXPECT_EQ(Text1.text(), "72");
}

TEST_F(CountdownTest, StartSilencesThenRunsWithoutTouchingTheDisplay)
{
    setLength("0", "1");
    countdown.StartCountdown();
    EXPECT_EQ(alarm.calls, Calls{"SilencePlayback"});
    EXPECT_TRUE(running());
    EXPECT_EQ(Timer1.interval(), 1000);
    EXPECT_EQ(countdown.values().StartSecond, 5000);
    EXPECT_EQ(countdown.values().TotalSeconds, 60);
    EXPECT_EQ(Label6.caption(), "00 : 01 : 00");
}

TEST_F(CountdownTest, BoxesAcceptNoKeyWhileRunning)
{
    setLength("0", "12");
    Command1.click();
    Text2.type(std::int16_t{8});
    Text2.type("3");
    EXPECT_EQ(Text2.text(), "12");
}

TEST_F(CountdownTest, OneMinuteCountsDownThenBeepsOnce)
{
    setLength("0", "1");
    Command1.click();
    tickAfter(1);
    EXPECT_EQ(Label6.caption(), "00 : 00 : 59");
    for (int second = 2; second <= 59; ++second)
        tickAfter(1);
    EXPECT_EQ(Label6.caption(), "00 : 00 : 01");
    EXPECT_TRUE(running());
    EXPECT_EQ(alarm.calls, Calls{"SilencePlayback"});

    tickAfter(1);
    EXPECT_TRUE(showsZero());
    EXPECT_TRUE(idle());
    EXPECT_EQ(alarm.calls, (Calls{"SilencePlayback", "BeepAlarm"}));
    EXPECT_FALSE(Timer1.fire());
}

TEST_F(CountdownTest, ZeroLengthFiresOnTheFirstTick)
{
    Command1.click();
    EXPECT_TRUE(running());
    tickAfter(1);
    EXPECT_TRUE(idle());
    EXPECT_EQ(alarm.calls, (Calls{"SilencePlayback", "BeepAlarm"}));
}

TEST_F(CountdownTest, PowerOffOptionPowersOffOnce)
{
    Option2.click();
    Command1.click();
    tickAfter(1);
    EXPECT_TRUE(idle());
    EXPECT_TRUE(showsZero());
    EXPECT_EQ(alarm.calls, (Calls{"SilencePlayback", "PowerOffAlarm"}));
}

TEST_F(CountdownTest, MidiOptionRingsUntilStopped)
{
    Option3.click();
    setLength("0", "1");
    Command1.click();
    tickAfter(60);
    EXPECT_TRUE(ringing());
    EXPECT_TRUE(showsZero());
    EXPECT_EQ(alarm.calls, (Calls{"SilencePlayback", "PlayMidiAlarm:/music/alarm song.mid"}));

    // Ringing keeps ticking, rewrites the zeros and never fires again.
    Label6.setCaption("stale");
    for (int i = 0; i < 5; ++i)
        tickAfter(1);
    EXPECT_TRUE(ringing());
    EXPECT_TRUE(showsZero());
    EXPECT_EQ(alarm.calls.size(), 2u);

    Text1.type("5");
    EXPECT_EQ(Text1.text(), "0") << "the boxes take no keys while ringing";

    Command2.click();
    EXPECT_TRUE(idle());
    EXPECT_EQ(alarm.calls.back(), "SilencePlayback");
    EXPECT_EQ(alarm.calls.size(), 3u);
}

TEST_F(CountdownTest, StartFromRingingFiresTheChosenOptionAtTheFirstTick)
{
    Option3.click();
    Command1.click();
    tickAfter(1);
    ASSERT_TRUE(ringing());

    Command1.click();
    EXPECT_TRUE(running());
    tickAfter(1);
    EXPECT_TRUE(ringing());
    EXPECT_EQ(alarm.calls,
        (Calls{"SilencePlayback", "PlayMidiAlarm:/music/alarm song.mid", "SilencePlayback",
            "PlayMidiAlarm:/music/alarm song.mid"}));

    // The options stay usable while ringing: the next start fires the beep.
    Option1.click();
    Command1.click();
    tickAfter(1);
    EXPECT_TRUE(idle());
    EXPECT_EQ(alarm.calls.back(), "BeepAlarm");
}

// When the countdown tells the player to get ready for the MIDI file: only while
// it runs towards the MIDI alarm, once at most 10 s are left.
struct NearCase {
    const char *name;
    testing::FakeOptionButton testing::FakeWindowControls::*option;
    const char *minutes;
    bool rungBefore; // started at zero length and rung, then given the minutes from code
    double tickAt;   // seconds after the start; kAtStart: the start itself
    bool announced;
};
constexpr double kAtStart = -1;

void PrintTo(const NearCase &c, std::ostream *out)
{
    *out << c.name;
}

class MidiAlarmNearTest : public CountdownTest, public ::testing::WithParamInterface<NearCase> { };

TEST_P(MidiAlarmNearTest, AnnouncesTheFileInTheLastSecondsOnly)
{
    const NearCase &c = GetParam();
    (this->*c.option).click();
    Calls announced;
    countdown.setMidiAlarmNearHandler([&](const std::string &path) { announced.push_back(path); });
    const double started = clock.now();
    if (c.rungBefore) {
        Command1.click();
        tickAfter(1);
        ASSERT_TRUE(ringing());
        Text2.setText(c.minutes);
    } else {
        setLength("0", c.minutes);
        Command1.click();
    }
    if (c.tickAt != kAtStart) {
        announced.clear();
        clock.set(started + c.tickAt);
        Timer1.fire();
    }
    EXPECT_EQ(announced, c.announced ? Calls{"/music/alarm song.mid"} : Calls{});
}

using Controls = testing::FakeWindowControls;
INSTANTIATE_TEST_SUITE_P(Moments, MidiAlarmNearTest,
    ::testing::Values(NearCase{"MidiLongCountdownAtStart", &Controls::Option3, "1", false, kAtStart, false},
        NearCase{"MidiZeroLengthAtStart", &Controls::Option3, "0", false, kAtStart, true},
        NearCase{"MidiElevenSecondsLeft", &Controls::Option3, "1", false, 49, false},
        NearCase{"MidiTenSecondsLeft", &Controls::Option3, "1", false, 50, true},
        NearCase{"MidiOneSecondLeft", &Controls::Option3, "1", false, 59, true},
        NearCase{"MidiExpiryTick", &Controls::Option3, "1", false, 60, false},
        NearCase{"MidiTenSecondsLeftWhileRinging", &Controls::Option3, "1", true, 50, false},
        NearCase{"BeepZeroLengthAtStart", &Controls::Option1, "0", false, kAtStart, false},
        NearCase{"BeepTenSecondsLeft", &Controls::Option1, "1", false, 50, false},
        NearCase{"PowerOffTenSecondsLeft", &Controls::Option2, "1", false, 50, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CountdownTest, StopWhileRunningFiresNothing)
{
    setLength("2", "0");
    Command1.click();
    tickAfter(5);
    Command2.click();
    EXPECT_TRUE(idle());
    EXPECT_TRUE(showsZero());
    EXPECT_EQ(alarm.calls, (Calls{"SilencePlayback", "SilencePlayback"}));
    EXPECT_FALSE(Timer1.fire());
}

TEST_F(CountdownTest, StopWhileIdleDiscardsWhatWasTyped)
{
    setLength("3", "45");
    Command2.click();
    EXPECT_TRUE(idle());
    EXPECT_TRUE(showsZero());
    EXPECT_EQ(alarm.calls, Calls{"SilencePlayback"});
}

TEST_F(CountdownTest, LateTickShowsTheTrueRemainingTime)
{
    setLength("0", "10");
    Command1.click();
    tickAfter(1);
    EXPECT_EQ(Label6.caption(), "00 : 09 : 59");
    tickAfter(125.3);
    EXPECT_EQ(countdown.values().ElapsedSeconds, 126);
    EXPECT_EQ(Label6.caption(), "00 : 07 : 54");
    // A tick that comes long after the end fires at once.
    tickAfter(3600);
    EXPECT_TRUE(idle());
    EXPECT_EQ(alarm.calls.back(), "BeepAlarm");
}

TEST_F(CountdownTest, ChangeWhileRunningShowsTheNewLengthUntilTheNextTick)
{
    setLength("0", "10");
    Command1.click();
    tickAfter(30);
    EXPECT_EQ(Label6.caption(), "00 : 09 : 30");
    Text2.setText("20"); // by code, as a paste would
    EXPECT_EQ(Label6.caption(), "00 : 20 : 00");
    tickAfter(1);
    EXPECT_EQ(Label6.caption(), "00 : 19 : 29");
}

// The longest countdown, ticked every second: it shows every second down to
// one and fires exactly when its length has passed, not a tick earlier or later.
TEST_F(CountdownTest, LongestCountdownEndsOnTime)
{
    for (double phase : {0.0, 0.2, 0.8}) {
        SCOPED_TRACE(phase);
        alarm.calls.clear();
        clock.set(86000 + phase); // crosses several days' worth of seconds
        setLength("72", "59");
        Command1.click();
        int ticks = 0;
        int wrongDisplays = 0;
        while (running()) {
            tickAfter(1);
            ++ticks;
            if (running() && Label6.caption() != FormatCountdown(SplitSeconds(262740 - ticks)))
                ++wrongDisplays;
        }
        EXPECT_EQ(wrongDisplays, 0);
        EXPECT_EQ(ticks, 262740);
        EXPECT_EQ(alarm.calls, (Calls{"SilencePlayback", "BeepAlarm"}));
    }
}

// From a start until the alarm is done, the machine is kept awake: released
// after the beeps, before the power-off is asked for, and for the music only at
// stop. Each option from a start (0 minutes: the first tick expires), then a stop.
struct AwakeCase {
    const char *name;
    const char *option;
    Calls untilStopped; // the alarm's calls and the changes of the inhibition, in order
};

void PrintTo(const AwakeCase &awakeCase, std::ostream *out)
{
    *out << awakeCase.name;
}

class CountdownAwakeTest : public CountdownTest, public ::testing::WithParamInterface<AwakeCase> {
protected:
    testing::FakeOptionButton &option()
    {
        const std::string name = GetParam().option;
        return name == "Option1" ? Option1 : name == "Option2" ? Option2 : Option3;
    }
};

TEST_P(CountdownAwakeTest, HeldFromTheStartUntilTheAlarmIsDone)
{
    option().click();
    awake.calls = &alarm.calls;
    Command1.click();
    EXPECT_TRUE(awake.held) << "while counting";
    tickAfter(1);
    for (int ringing = 0; ringing < 3; ++ringing)
        tickAfter(1);
    Command2.click();
    EXPECT_EQ(alarm.calls, GetParam().untilStopped);
    EXPECT_FALSE(awake.held);
}

INSTANTIATE_TEST_SUITE_P(Options, CountdownAwakeTest,
    ::testing::Values(
        AwakeCase{"Beep", "Option1", {"SilencePlayback", "hold", "BeepAlarm", "release", "SilencePlayback"}},
        AwakeCase{"PowerOff", "Option2", {"SilencePlayback", "hold", "release", "PowerOffAlarm", "SilencePlayback"}},
        AwakeCase{"Midi", "Option3",
            {"SilencePlayback", "hold", "PlayMidiAlarm:/music/alarm song.mid", "release", "SilencePlayback"}}),
    [](const ::testing::TestParamInfo<AwakeCase> &info) { return std::string(info.param.name); });

TEST_F(CountdownTest, AwakeOnceHoweverOftenStartedAndStopped)
{
    awake.calls = &alarm.calls;
    Option3.click();
    Command1.click();
    tickAfter(1);
    ASSERT_TRUE(ringing());
    Command1.click(); // from ringing: still the one inhibition
    EXPECT_EQ(std::count(alarm.calls.begin(), alarm.calls.end(), "hold"), 1);

    for (int cycle = 0; cycle < 100; ++cycle) {
        Command2.click();
        setLength("1", "0");
        Command1.click();
        tickAfter(1);
    }
    Command2.click();
    EXPECT_FALSE(awake.held);
    EXPECT_EQ(std::count(alarm.calls.begin(), alarm.calls.end(), "hold"), 101);
    EXPECT_EQ(std::count(alarm.calls.begin(), alarm.calls.end(), "release"), 101);
}

} // namespace
} // namespace sorabune
