#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Turns the raw figures of one scripts/bench.sh run into a Markdown report.

    summarize.py RAW_TSV [BENCHMARK_JSON]... > report.md

RAW_TSV holds lines "program<TAB>key<TAB>value" from the probe; each BENCHMARK_JSON is
the --benchmark_out file of a Google Benchmark binary run with repetitions. Every
figure is given as the median, min and max of its runs, with how it was measured.
"""

import json
import statistics
import sys
from collections import defaultdict

SORABUNE = "Sorabune"
BARE = "bare window"

# key, what, unit, scale from the raw unit, how it was measured, target
# Targets: ("ratio", r): Sorabune's median at most r times the bare window's;
# ("at most", x): Sorabune's median at most x; ("within", x): every run within +-x;
# ("no more than bare", None): Sorabune's median at most the bare window's. Limits are in the raw unit.
WINDOW_FIGURES = [
    ("start_ms", "start-up", "ms", 1,
     "exec to the MapNotify of the top-level window whose _NET_WM_PID is the child, received by an xcb "
     "client that selected SubstructureNotify on the root before the fork; 15 runs, programs alternating, each "
     "started as a desktop starts it: only PATH, LANG=C.UTF-8, DISPLAY, a home with XDG folders of its own, "
     "XDG_RUNTIME_DIR, NO_AT_BRIDGE=1 and a private session bus",
     ("ratio", 1.0)),
    ("start_cpu_ms", "CPU time until mapped", "ms", 1,
     "the process CPU clock (every thread) read when the MapNotify arrives; less disturbed by other load", None),
    ("rss_kib", "VmRSS", "MiB", 1 / 1024, "/proc/PID/status, 2 s after the MapNotify", ("ratio", 1.15)),
    ("anon_kib", "RssAnon", "MiB", 1 / 1024, "/proc/PID/status, 2 s after the MapNotify", ("ratio", 1.15)),
    ("idle_wakeups", "wakeups, 10 s idle", "", 1,
     "voluntary_ctxt_switches summed over /proc/PID/task/*/status, from 2 s after mapping, window untouched",
     ("at most", 0)),
    ("idle_cpu_ms", "CPU, 10 s idle", "ms", 1,
     "the process CPU clock (clock_getcpuclockid: every thread, ns) over the same 10 s", None),
    ("idle_stat_cpu_ms", "utime+stime, 10 s idle", "ms", 1, "/proc/PID/stat, in clock ticks of 10 ms", None),
    ("count_wakeups", "wakeups, 10 s counting", "", 1,
     "as idle, from 0.5 s after the start press of a 1-minute countdown typed in with XTest: 10 ticks; "
     "the bare window's start button runs a 1 s timer rewriting its display", ("no more than bare", None)),
    ("count_wakeups_main", "of them on the GUI thread", "", 1, "the main thread's voluntary_ctxt_switches", None),
    ("count_cpu_ms", "CPU, 10 s counting", "ms", 1, "the process CPU clock over the same 10 s", None),
    ("count_stat_cpu_ms", "utime+stime, 10 s counting", "ms", 1, "/proc/PID/stat, in clock ticks of 10 ms", None),
]

SOUND_FIGURES = [
    ("midi_first_ms", "expiry to first audible sample, first MIDI alarm", "ms", 1,
     "a fresh process; the MIDI option chosen through the file dialog (XTest); a zero-length countdown "
     "expires at its first tick, one 1000 ms interval after the start press, so expiry = press + 1000 ms. "
     "Sound: the private null sink's monitor recorded in 2 ms fragments; a sample's time is when the sink "
     "rendered it (when its fragment was read, less the samples after it; see the check below for when "
     "the sink plays it); audible = |sample| >= 0.001 (-60 dBFS, above FluidSynth's dither)", ("at most", 100)),
    ("midi_first_ms_awake", "expiry to first audible sample, first MIDI alarm, sink awake", "ms", 1,
     "as above, while a silent stream of 10 ms latency (pacat of zeros) plays into the sink, so that it "
     "already runs at a low latency. Without one, the idle null sink runs at its 2 s latency, and the "
     "alarm's first sound waits behind the silence that the sink had already rendered", ("at most", 100)),
    ("midi_again_ms", "expiry to first audible sample, next MIDI alarm", "ms", 1,
     "the same process, after stop: start pressed again", ("at most", 100)),
    ("midi_first_stream_ms", "of it: expiry to the alarm's stream connecting, first", "ms", 1,
     "the PulseAudio server's event of a new sink input (subscription), less the expiry", None),
    ("midi_again_stream_ms", "of it: expiry to the alarm's stream connecting, next", "ms", 1,
     "as above, for the next alarm", None),
    ("rss_after_midi_kib", "VmRSS while the MIDI alarm plays", "MiB", 1 / 1024,
     "/proc/PID/status at the first audible sample", None),
    ("stopped_wakeups", "wakeups, 10 s idle after the MIDI alarm was stopped", "", 1,
     "as idle, from 2 s after the stop button ended the last MIDI alarm", ("at most", 0)),
    ("stopped_threads", "threads then", "", 1, "the entries of /proc/PID/task", None),
    ("rss_stopped_kib", "VmRSS then", "MiB", 1 / 1024, "/proc/PID/status at the end of those 10 s", None),
] + [
    row for name in ("TimGM6mb", "FluidR3_GM") for row in [
        (f"mem_idle_kib_{name}", f"VmRSS idle, {name}", "MiB", 1 / 1024,
         "/proc/PID/status, 2 s after the MapNotify; the soundfont bound over Debian's default-GM.sf2 in a "
         "mount namespace of the program's own", None),
        (f"mem_chosen_kib_{name}", f"VmRSS, the band chosen, {name}", "MiB", 1 / 1024,
         "2 s after the file dialog closed on the band file (piano, strings, bass, brass, drums; 4 s)", None),
        (f"mem_waiting_kib_{name}", f"VmRSS waiting, {name}", "MiB", 1 / 1024,
         "10 s into a 1-minute countdown with the band chosen", ("at most", 40 * 1024)),
        (f"mem_first_note_ms_{name}", f"expiry to first audible sample, 1-minute countdown, sink awake, {name}",
         "ms", 1, "as for the sink awake above, at the end of that countdown: expiry = press + 60 s",
         ("at most", 20)),
        (f"mem_playing_kib_{name}", f"VmRSS playing, {name}", "MiB", 1 / 1024,
         "1 s after the first audible sample of the band", ("at most", (60 if name == "TimGM6mb" else 80) * 1024)),
        (f"mem_stopped_kib_{name}", f"VmRSS after stop, {name}", "MiB", 1 / 1024,
         "2 s after the stop button", None),
    ]
] + [
    ("alarm_phase_tick_ms", "alarm start - (press + 1 s), zero length", "ms", 1,
     "the beep option; the first XkbBellNotify after the start press (XTest, 0.5 s after the last key), less "
     "press + 1000 ms, the first tick; the bare window rings the bell at its first tick", ("within", 20)),
    ("alarm_phase_minute_ms", "alarm start - (press + length), 1 minute", "ms", 1,
     "as above, a 1-minute countdown: the 60th tick", ("within", 20)),
    ("alarm_phase_fast_tick_ms", "alarm start - (press + 1 s), zero length, x10", "ms", 1,
     "as above, the program under libfaketime (FAKETIME=\"+0 x10\"); given in the program's time, so any "
     "real delay counts 10 times", None),
    ("alarm_phase_fast_ms", "alarm start - (press + length), 10 minutes x10", "ms", 1,
     "as above, a 10-minute countdown: 60 s of real time", None),
]

CHECKS = [
    ("sound_check_ms", "sound timing: onset as recorded - onset as played", "ms",
     "a 440 Hz tone after 200 ms of silence, played by the probe on a stream of 20 ms target latency: "
     "the onset time found in the recording as for the MIDI alarm, less the time PulseAudio's latency of "
     "the playing stream, read right after the write, says it plays. Negative: rendered before played"),
]

# The phase a long countdown adds to a one-tick countdown of the same run: the
# timer's drift, without the delays of the click and the bell, which both share.
DRIFTS = [
    ("alarm_phase_minute_ms", "alarm_phase_tick_ms", "drift over 1 minute"),
    ("alarm_phase_fast_ms", "alarm_phase_fast_tick_ms", "drift over 10 minutes (x10)"),
]
DRIFT_LIMIT_MS = 20

MICRO_FIGURES = [
    ("tickCountdown", "one tick, fake controls", "us", ("at most", 20),
     "Countdown::TickCountdown of a running countdown with tests/fakes (the clock moves on, so the text changes)"),
    ("minutesChange", "one minutes-box change, fake controls", "us", None,
     "setText of the fake box, running ApplyMinutesChange"),
    ("minutesClamp", "one clamped change (75 -> 59), fake controls", "us", None,
     "setText(\"75\"): the rule writes 59 back and runs again, nested"),
    ("tickThroughWidgets", "one tick, Qt widget adapters", "us", ("at most", 20),
     "the same tick through the real adapters and widgets of the window, QT_QPA_PLATFORM=offscreen, no paint"),
    ("minutesChangeThroughWidgets", "one minutes-box change, Qt widget adapters", "us", None,
     "a digit typed over the text of the minutes box (a QKeyEvent): key filter, QLineEdit, adapter, change rule"),
    ("tickAndRepaint", "one tick and its repaint, Qt widget adapters", "us", None,
     "the tick, then the window shown offscreen paints what changed (processEvents)"),
]


def describe(values, scale=1.0, digits=1):
    if not values:
        return "-"
    values = sorted(v * scale for v in values)
    median = statistics.median(values)
    return f"{median:.{digits}f} ({values[0]:.{digits}f}-{values[-1]:.{digits}f}, {len(values)})"


def verdict(target, mine, bare):
    if target is None or not mine:
        return "", ""
    kind, limit = target
    median = statistics.median(mine)
    if kind == "ratio":
        if not bare:
            return f"<= {limit} x bare", "?"
        ratio = median / statistics.median(bare)
        return f"<= {limit} x bare", ("met" if ratio <= limit else "MISSED") + f" ({ratio:.2f} x)"
    if kind == "at most":
        return f"median <= {limit}", "met" if median <= limit else "MISSED"
    if kind == "within":
        worst = max(abs(v) for v in mine)
        return f"every run within +-{limit}", "met" if worst <= limit else "MISSED"
    if not bare:
        return "<= bare window", "?"
    return "<= bare window", "met" if median <= statistics.median(bare) else "MISSED"


def load_raw(path):
    figures = defaultdict(lambda: defaultdict(list))
    with open(path, encoding="utf-8") as raw:
        for line in raw:
            program, key, value = line.rstrip("\n").split("\t")
            figures[key][program].append(float(value))
    return figures


def load_micro(paths):
    """Microseconds per iteration of every repetition, by benchmark name."""
    times = defaultdict(list)
    to_us = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
    for path in paths:
        with open(path, encoding="utf-8") as out:
            for run in json.load(out)["benchmarks"]:
                if run.get("run_type") == "iteration":
                    times[run["run_name"]].append(run["cpu_time"] * to_us[run["time_unit"]])
    return times


def main():
    raw = load_raw(sys.argv[1])
    micro = load_micro(sys.argv[2:])
    lines = ["Median (min-max, runs) of each figure; targets are checked on Sorabune's median unless said.", ""]
    lines += ["| figure | Sorabune | bare Qt window | target | | method |", "|---|---|---|---|---|---|"]
    for key, what, unit, scale, method, target in WINDOW_FIGURES + SOUND_FIGURES:
        mine = raw[key][SORABUNE]
        bare = raw[key][BARE]
        if not mine and not bare:
            continue
        goal, result = verdict(target, mine, bare)
        label = f"{what} [{unit}]" if unit else what
        lines.append(f"| {label} | {describe(mine, scale)} | {describe(bare, scale)} | {goal} | {result} | {method} |")
    for long_key, tick_key, what in DRIFTS:
        long_runs, tick_runs = raw[long_key][SORABUNE], raw[tick_key][SORABUNE]
        if long_runs and tick_runs:
            drift = statistics.median(long_runs) - statistics.median(tick_runs)
            result = "met" if abs(drift) <= DRIFT_LIMIT_MS else "MISSED"
            lines.append(f"| {what} [ms] | {drift:.1f} | | within +-{DRIFT_LIMIT_MS} | {result} | "
                         f"median of the long countdown's phase less the median of the zero-length one's |")
    for name, what, unit, target, method in MICRO_FIGURES:
        runs = micro.get(name)
        if not runs:
            continue
        goal, result = verdict(target, runs, None)
        lines.append(f"| {what} [{unit}] | {describe(runs, digits=3)} | | {goal} | {result} | "
                     f"Google Benchmark, CPU time per iteration, each repetition a run: {method} |")
    checks = [(key, what, unit, method) for key, what, unit, method in CHECKS if raw[key]["probe"]]
    if checks:
        lines += ["", "Checks of the measuring method:", "", "| check | result | method |", "|---|---|---|"]
        for key, what, unit, method in checks:
            lines.append(f"| {what} [{unit}] | {describe(raw[key]['probe'], digits=2)} | {method} |")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
