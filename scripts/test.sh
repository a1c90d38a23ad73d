#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: in a normal
# build, and under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for variant in normal sanitize; do
    sanitize=OFF
    [[ $variant == sanitize ]] && sanitize=ON
    echo "== $variant build =="
    cmake -S . -B "build/$variant" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DSORABUNE_WARNINGS_AS_ERRORS=ON -DSORABUNE_SANITIZE=$sanitize
    cmake --build "build/$variant"
    ctest --test-dir "build/$variant" --output-on-failure --timeout 600 -j2
done
