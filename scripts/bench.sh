#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Sorabune and its benchmarks in Release, and
# measures it next to a bare Qt window with the same widgets, under a private
# Xvfb and a private PulseAudio null sink. Prints every figure with its method
# and writes them to bench/RESULTS.md.
#
#   scripts/bench.sh [start idle micro midi memory phase]...
# With no argument it runs every section and also writes bench/RESULTS.md.
# SORABUNE_UNDER_TEST names another build of the program to measure (an older
# commit's, to compare); the benchmarks are always those of this tree.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
sections=("$@")
((${#sections[@]})) || sections=(start idle micro midi memory phase)
wants() { [[ " ${sections[*]} " == *" $1 "* ]]; }

scripts/setup.sh
build=build/bench-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSORABUNE_WARNINGS_AS_ERRORS=ON \
    -DSORABUNE_BUILD_TESTS=OFF -DSORABUNE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build"
sorabune=${SORABUNE_UNDER_TEST:-$root/$build/src/ui/Sorabune}
bare=$root/$build/bench/bare_window/sorabune_bare_window
probe=$root/$build/bench/probe/sorabune_probe
media_bench=$root/$build/bench/media/sorabune_media_bench

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Nothing reaches the machine's own services: a runtime folder of our own (the
# single-instance lock lives there), a session bus of our own, and a system bus
# address where no bus is, so that even a mistaken power-off goes nowhere.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
dbus-daemon --session --nofork --address="unix:path=$work/session-bus" --print-address=3 3>"$work/session-bus-address" \
    2>"$work/session-bus.log" &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/session-bus-address ]] && break; sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/session-bus-address")
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-system-bus
unset WAYLAND_DISPLAY

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(<"$work/display")

# The programs start as a desktop starts them: with the session's few variables
# and a home of their own, not with whatever the shell running this script holds.
home=$work/home
mkdir -p "$home/.config" "$home/.cache" "$home/.local/share"
desktop=(env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME="$home" XDG_CONFIG_HOME="$home/.config"
    XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR"
    DISPLAY="$DISPLAY" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
    DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" NO_AT_BRIDGE=1)

# The tests' private PulseAudio server with its null sink; it prints what a
# client needs, then "ready", and stops at SIGTERM.
unset PULSE_SERVER
coproc pulse { /usr/bin/python3 tests/support/private_pulse.py; }
pids+=("$pulse_PID")
while read -r line <&"${pulse[0]}"; do
    case $line in
        ready) break ;;
        *=*)
            export "${line?}"
            desktop+=("$line")
            ;;
        *) break ;;
    esac
done
[[ $line == ready ]] || { echo "No private PulseAudio server: $line" >&2 && exit 1; }
source=sorabune_null.monitor

raw=$work/raw.tsv
: >"$raw"
micro_json=()
failures=()
# measure LABEL PROBE-ARGUMENTS...: one probe run, its "key value" lines kept under
# LABEL, each key followed by $key_suffix when that is set. A failed run is reported
# and the others go on.
measure() {
    local label=$1
    shift
    local output
    if ! output=$("${desktop[@]}" "$probe" "$@" 2>"$work/probe.err"); then
        failures+=("$label, $1: $(tail -1 "$work/probe.err")")
        echo "failed: ${failures[-1]}" >&2
    fi
    while read -r key value; do
        [[ -n $key ]] && printf '%s\t%s%s\t%s\n' "$label" "$key" "${key_suffix:-}" "$value" >>"$raw"
    done <<<"$output"
}
echo "Measuring on $DISPLAY; this takes about 10 minutes."
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

if wants start; then
    for _ in $(seq 15); do
        measure "bare window" start -- "$bare"
        measure Sorabune start -- "$sorabune"
    done
fi

if wants idle; then
    for _ in $(seq 3); do
        measure "bare window" idle -- "$bare"
        measure Sorabune idle -- "$sorabune"
    done
fi

if wants micro; then
    for benchmark in "$build"/bench/micro/sorabune_*_benchmark; do
        json=$work/$(basename "$benchmark").json
        QT_QPA_PLATFORM=offscreen "$benchmark" --benchmark_repetitions=7 --benchmark_min_time=0.2 \
            --benchmark_out="$json" --benchmark_out_format=json >/dev/null
        micro_json+=("$json")
    done
fi

if wants midi; then
    # One piano note at the very start of the file, then half a second of it.
    midi=$work/note.mid
    printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\20\0\300\0\0\220\74\144\203\140\200\74\100\0\377\57\0' >"$midi"
    # First, how well the recording times a tone whose timing PulseAudio reports itself.
    measure probe calibrate --rounds 7 --source "$source"
    for _ in $(seq 7); do
        measure Sorabune midi --file "$midi" --source "$source" -- "$sorabune"
    done
    # Again with the sink already awake at a low latency: a silent stream plays into it.
    pacat --playback --latency-msec=10 --raw --format=s16le --channels=2 --rate=44100 </dev/zero &
    awake=$!
    pids+=("$awake")
    for _ in $(seq 7); do
        key_suffix=_awake measure Sorabune midi --file "$midi" --source "$source" -- "$sorabune"
    done
    kill "$awake"
fi

if wants memory; then
    # The program follows Debian's default-GM.sf2 alternative. Each soundfont is
    # put in turn at the alternative's path, in a mount namespace of the
    # program's own: the machine's alternative and every other program stay as
    # they are. FluidR3_GM is unpacked from its package into the build folder.
    fluidr3=$root/build/soundfonts/usr/share/sounds/sf2/FluidR3_GM.sf2
    if [[ ! -f $fluidr3 ]]; then
        mkdir -p build/soundfonts
        (cd build/soundfonts && apt-get download fluid-soundfont-gm >/dev/null 2>&1 &&
            dpkg-deb -x fluid-soundfont-gm_*.deb . && rm fluid-soundfont-gm_*.deb)
    fi
    namespace=(unshare --mount --propagation private)
    ((EUID == 0)) || namespace=(unshare --user --map-root-user --mount)
    band=$work/band.mid
    "$media_bench" write-band "$band"
    # The sink awake at a low latency, as for the awake figure above.
    pacat --playback --latency-msec=10 --raw --format=s16le --channels=2 --rate=44100 </dev/zero &
    awake=$!
    pids+=("$awake")
    for soundfont in TimGM6mb:/usr/share/sounds/sf2/TimGM6mb.sf2 FluidR3_GM:$fluidr3; do
        for _ in $(seq 3); do
            key_suffix=_${soundfont%%:*} measure Sorabune memory --file "$band" --source "$source" -- \
                "${namespace[@]}" sh -c 'mount --bind "$1" /usr/share/sounds/sf2/default-GM.sf2 && exec "$2"' \
                sh "${soundfont#*:}" "$sorabune"
        done
    done
    kill "$awake"
fi

if wants phase; then
    for _ in $(seq 7); do
        measure "bare window" phase --minutes 0 --figure alarm_phase_tick_ms -- "$bare"
        measure Sorabune phase --minutes 0 --figure alarm_phase_tick_ms -- "$sorabune"
    done
    for _ in $(seq 3); do
        measure Sorabune phase --minutes 1 --figure alarm_phase_minute_ms -- "$sorabune"
    done
    # Ten minutes in one: Qt's timers keep running under a speed factor. The
    # zero-length runs at the same speed give the offset that is not drift.
    faketime=(env LD_PRELOAD="$(dpkg -L libfaketime | grep '/libfaketime\.so\.1$')" FAKETIME="+0 x10")
    for _ in $(seq 3); do
        measure Sorabune phase --minutes 0 --speed 10 --figure alarm_phase_fast_tick_ms -- "${faketime[@]}" "$sorabune"
    done
    measure Sorabune phase --minutes 10 --speed 10 --figure alarm_phase_fast_ms -- "${faketime[@]}" "$sorabune"
fi

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
report=$work/report.md
{
    echo "# Sorabune: benchmark figures"
    echo
    echo "From one run of \`scripts/bench.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'), commit" \
        "$(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet 2>/dev/null || echo ' with changes'):" \
        "$(nproc) cores of $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), Debian $(cat /etc/debian_version)," \
        "Qt $(pkg-config --modversion Qt6Core). Release builds; a private Xvfb without a window manager and a" \
        "private PulseAudio null sink. Load average before: $load_before, after: $load_after (the figures" \
        "mean something only on an otherwise idle machine; on 2 cores every other busy process shows in them)."
    echo
    /usr/bin/python3 bench/summarize.py "$raw" "${micro_json[@]}"
    for failure in "${failures[@]}"; do
        echo
        echo "Failed run: $failure"
    done
} >"$report"
cat "$report"
if (($# == 0)); then
    cp "$report" bench/RESULTS.md
    echo
    echo "Written to bench/RESULTS.md"
fi
