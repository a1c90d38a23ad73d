#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the media benchmark in Release and prints its figures: the open
# command to the first audible sample through a private PulseAudio null sink,
# the memory the soundfont and an open file add, and the peaks at the chosen gain.
#   bench/media/run.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build/media-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSORABUNE_WARNINGS_AS_ERRORS=ON \
    -DSORABUNE_BUILD_TESTS=OFF -DSORABUNE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target sorabune_media_bench
bench=$build/bench/media/sorabune_media_bench
"$bench" gain
"$bench" memory
"$bench" latency "${1:-9}"
