#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Sorabune and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSORABUNE_BUILD_TESTS=OFF
cmake --build build/release
if [[ ! -x build/release/src/ui/Sorabune ]]; then
    echo "Built the countdown core; the window does not exist yet, so there is nothing to show."
    exit 0
fi
exec build/release/src/ui/Sorabune
