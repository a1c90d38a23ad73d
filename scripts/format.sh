#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that the C++ code keeps the project's format (.clang-format, clang-format 14,
# as in Debian 12); with --fix, formats it instead. The per-push run checks it.
#
#   scripts/format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format)
mode=(--dry-run --Werror)
[[ ${1:-} == --fix ]] && mode=(-i)
find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z | xargs -0 "$format" "${mode[@]}"
