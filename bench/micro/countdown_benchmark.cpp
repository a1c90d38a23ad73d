// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own work per event, with the controls faked: what a tick and a
// box change cost before any toolkit is involved.
#include "core/countdown.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_controls.h"
#include "fakes/recording_alarm.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace sorabune;
using namespace sorabune::testing;

// The controls of the window, with the countdown on them.
struct FakeWindow {
    FakeWindow() { Option1.setValue(true); }

    FakeTextBox Text1;
    FakeTextBox Text2;
    FakeLabel Label6{"00 : 00 : 00"};
    FakeLabel Label4{"midi再生ファイル"};
    FakeCommandButton Command1;
    FakeCommandButton Command2;
    FakeTimer Timer1;
    std::vector<FakeOptionButton *> group;
    FakeOptionButton Option1{group};
    FakeOptionButton Option2{group};
    FakeClock clock;
    RecordingAlarm alarm;
    Countdown countdown{{.Text1 = Text1,
                            .Text2 = Text2,
                            .Label6 = Label6,
                            .Label4 = Label4,
                            .Command1 = Command1,
                            .Command2 = Command2,
                            .Timer1 = Timer1,
                            .Option1 = Option1,
                            .Option2 = Option2},
        clock, alarm};
};

// A tick of a running countdown: the clock moves on, so every tick writes a new text.
void tickCountdown(benchmark::State &state)
{
    FakeWindow window;
    window.Text1.setText("72");
    window.countdown.StartCountdown();
    const double start = window.clock.now();
    int second = 0;
    for (auto _ : state) {
        second = second % 2 + 1;
        window.clock.set(start + second);
        window.countdown.TickCountdown();
    }
    benchmark::DoNotOptimize(window.Label6.caption());
}
BENCHMARK(tickCountdown);

// A digit typed into the minutes box: its change rule recomputes the length and the display.
void minutesChange(benchmark::State &state)
{
    FakeWindow window;
    bool five = false;
    for (auto _ : state) {
        five = !five;
        window.Text2.setText(five ? "5" : "6");
    }
    benchmark::DoNotOptimize(window.Label6.caption());
}
BENCHMARK(minutesChange);

// A value over the limit: the rule writes 59 back, which runs the rule again, nested.
void minutesClamp(benchmark::State &state)
{
    FakeWindow window;
    for (auto _ : state)
        window.Text2.setText("75");
    benchmark::DoNotOptimize(window.Label6.caption());
}
BENCHMARK(minutesClamp);

} // namespace

BENCHMARK_MAIN();
