// SPDX-License-Identifier: GPL-3.0-or-later
#include "scenarios.h"

#include "monotonic.h"
#include "session.h"
#include "sound_onset.h"
#include "test_tone.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace sorabune::bench {

namespace {

constexpr double kTickMs = 1000;
constexpr double kExpiryTimeoutMs = 10000;

void print(const char *key, double value)
{
    std::printf("%s %.3f\n", key, value);
    std::fflush(stdout);
}

void printSpan(const std::string &prefix, const ProcessSample &from, const ProcessSample &to)
{
    print((prefix + "_cpu_ms").c_str(), to.cpuMs - from.cpuMs);
    print((prefix + "_stat_cpu_ms").c_str(), to.tickCpuMs - from.tickCpuMs);
    print((prefix + "_wakeups").c_str(), static_cast<double>(to.voluntarySwitches - from.voluntarySwitches));
    print(
        (prefix + "_wakeups_main").c_str(), static_cast<double>(to.mainVoluntarySwitches - from.mainVoluntarySwitches));
    print((prefix + "_threads").c_str(), to.threads);
}

SoundOnset listen(const Options &options)
{
    return SoundOnset(options.text("source"), static_cast<float>(options.number("threshold", 0.001)));
}

std::string digits(double value)
{
    return value > 0 ? std::to_string(static_cast<long>(value)) : std::string();
}

} // namespace

void calibrate(const Options &options)
{
    SoundOnset onset = listen(options);
    TestTone tone;
    const int rounds = static_cast<int>(options.number("rounds", 5));
    for (int round = 1; round <= rounds; ++round) {
        onset.arm();
        const double toneMs = tone.play();
        const auto soundMs = onset.waitForOnset(toneMs + kExpiryTimeoutMs);
        if (!soundMs)
            throw std::runtime_error("the test tone was not heard");
        print("sound_check_ms", *soundMs - toneMs);
    }
}

void start(const Options &options)
{
    Session session(options.program());
    print("start_ms", session.startMs());
    print("start_cpu_ms", session.process().sample().cpuMs);
    sleepUntil(session.mappedMs() + options.number("settle-ms", 2000));
    print("rss_kib", static_cast<double>(session.process().statusKib("VmRSS")));
    print("anon_kib", static_cast<double>(session.process().statusKib("RssAnon")));
    print("threads", session.process().sample().threads);
}

void idle(const Options &options)
{
    const double spanMs = options.number("seconds", 10) * 1e3;
    Session session(options.program());
    sleepUntil(session.mappedMs() + options.number("settle-ms", 2000));
    const ProcessSample idleFrom = session.process().sample();
    sleepUntil(monotonicMs() + spanMs);
    printSpan("idle", idleFrom, session.process().sample());

    session.typeInto(kMinutesBox, digits(options.number("minutes", 1)));
    const double pressMs = session.click(kStartButton);
    // Half a tick after the press, so the span holds whole ticks and not the click.
    sleepUntil(pressMs + kTickMs / 2);
    const ProcessSample countFrom = session.process().sample();
    sleepUntil(pressMs + kTickMs / 2 + spanMs);
    printSpan("count", countFrom, session.process().sample());
}

void midi(const Options &options)
{
    Session session(options.program());
    sleepUntil(session.mappedMs() + options.number("settle-ms", 2000));
    session.chooseFile(kMidiOption, options.text("file"));
    SoundOnset onset = listen(options);
    const int rounds = static_cast<int>(options.number("rounds", 2));
    for (int round = 1; round <= rounds; ++round) {
        sleepUntil(monotonicMs() + 500); // lets the dialog close, or the last stop settle
        onset.arm();
        const double pressMs = session.click(kStartButton);
        const auto soundMs = onset.waitForOnset(pressMs + kTickMs + kExpiryTimeoutMs);
        if (!soundMs)
            throw std::runtime_error("no sound within 10 s of the expiry");
        const double expiryMs = pressMs + kTickMs;
        print(round == 1 ? "midi_first_ms" : "midi_again_ms", *soundMs - expiryMs);
        if (const auto streamMs = onset.streamConnected())
            print(round == 1 ? "midi_first_stream_ms" : "midi_again_stream_ms", *streamMs - expiryMs);
        if (round == 1)
            print("rss_after_midi_kib", static_cast<double>(session.process().statusKib("VmRSS")));
        session.click(kStopButton);
    }
    // Stopped, the program is idle again and should sleep as it did before.
    sleepUntil(monotonicMs() + options.number("settle-ms", 2000));
    const ProcessSample stoppedFrom = session.process().sample();
    sleepUntil(monotonicMs() + options.number("seconds", 10) * 1e3);
    printSpan("stopped", stoppedFrom, session.process().sample());
    print("rss_stopped_kib", static_cast<double>(session.process().statusKib("VmRSS")));
}

void memory(const Options &options)
{
    const double settleMs = options.number("settle-ms", 2000);
    Session session(options.program());
    const auto resident = [&](const char *key) {
        print(key, static_cast<double>(session.process().statusKib("VmRSS")));
    };
    sleepUntil(session.mappedMs() + settleMs);
    resident("mem_idle_kib");
    session.chooseFile(kMidiOption, options.text("file"));
    sleepUntil(monotonicMs() + settleMs);
    resident("mem_chosen_kib");

    SoundOnset onset = listen(options);
    const double lengthMs = options.number("minutes", 1) * 60e3;
    session.typeInto(kMinutesBox, digits(options.number("minutes", 1)));
    onset.arm();
    const double pressMs = session.click(kStartButton);
    sleepUntil(pressMs + options.number("waiting-ms", 10000));
    resident("mem_waiting_kib");
    const double expiryMs = pressMs + lengthMs;
    const auto soundMs = onset.waitForOnset(expiryMs + kExpiryTimeoutMs);
    if (!soundMs)
        throw std::runtime_error("no sound within 10 s of the expiry");
    print("mem_first_note_ms", *soundMs - expiryMs);
    sleepUntil(*soundMs + 1000);
    resident("mem_playing_kib");
    session.click(kStopButton);
    sleepUntil(monotonicMs() + settleMs);
    resident("mem_stopped_kib");
}

void phase(const Options &options)
{
    // A zero length expires at the first tick.
    const double lengthMs =
        std::max((options.number("hours", 0) * 3600 + options.number("minutes", 1) * 60) * 1e3, kTickMs);
    const double speed = options.number("speed", 1);
    Session session(options.program());
    sleepUntil(session.mappedMs() + options.number("settle-ms", 2000));
    session.typeInto(kHoursBox, digits(options.number("hours", 0)));
    session.typeInto(kMinutesBox, digits(options.number("minutes", 1)));
    session.events().watchBells();
    const double pressMs = session.click(kStartButton);
    const auto alarmMs = session.events().waitForBell(pressMs + lengthMs / speed + kExpiryTimeoutMs);
    if (!alarmMs)
        throw std::runtime_error("no alarm within 10 s of the expected time");
    print("alarm_after_press_ms", *alarmMs - pressMs);
    // In the program's own time, which runs speed times as fast as the probe's.
    print(options.text("figure", "alarm_phase_ms").c_str(), (*alarmMs - pressMs) * speed - lengthMs);
}

} // namespace sorabune::bench
