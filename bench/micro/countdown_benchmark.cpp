// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own work per event, with the controls faked: what a tick and a
// box change cost before any toolkit is involved.
#include "core/countdown.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_suspend_inhibitor.h"
#include "fakes/recording_alarm.h"

#include <benchmark/benchmark.h>

namespace {

using namespace sorabune;
using namespace sorabune::testing;

// The controls of the window, with the countdown on them.
struct FakeWindow : FakeWindowControls {
    FakeWindow() { Option1.setValue(true); }

    FakeClock clock;
    RecordingAlarm alarm;
    FakeSuspendInhibitor awake;
    Countdown countdown{CountdownControls(static_cast<FakeWindowControls &>(*this)), clock, alarm, awake};
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
