#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Sorabune and takes a picture of its window as it opens, under a private Xvfb
# (never the machine's display): docs/screenshot.png, or the file named as $1.
#   scripts/screenshot.sh --wayland [FILE]
# takes it instead under a private weston that offers no X, title bar included, as a
# Wayland-only session shows it: docs/wayland-title-bar.png, or FILE.
#   scripts/screenshot.sh --xwayland [FILE]
# takes it under a private weston that also offers X, decorated by the compositor:
# docs/xwayland-title-bar.png, or FILE.
set -euo pipefail
cd "$(dirname "$0")/.."
wayland=
output=docs/screenshot.png
case ${1:-} in
    --wayland) wayland=plain output=docs/wayland-title-bar.png ;;
    --xwayland) wayland=xwayland output=docs/xwayland-title-bar.png ;;
esac
[[ -z $wayland ]] || shift
output=${1:-$output}
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSORABUNE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --target Sorabune
mkdir -p "$(dirname "$output")"

if [[ -n $wayland ]]; then
    /usr/bin/python3 - build/release/src/ui/Sorabune "$output" "$wayland" <<'PYTHON'
import os, subprocess, sys, time
sys.path.insert(0, "tests/support")
from private_weston import PrivateWeston

executable, output, kind = sys.argv[1:4]
with PrivateWeston(xwayland=kind == "xwayland", width=320, height=280) as weston:
    environment = dict(os.environ, **weston.environment)
    environment.pop("QT_QPA_PLATFORM", None)
    if kind != "xwayland":
        environment.pop("DISPLAY", None)
    program = subprocess.Popen([executable], env=environment)
    try:
        deadline = time.monotonic() + 30
        while not weston.drawn_box() and time.monotonic() < deadline:
            time.sleep(0.1)
        time.sleep(1)  # let the first paint land
        left, top, width, height = weston.drawn_box() or sys.exit("screenshot: the window did not appear")
        weston.screenshot(output, (left - 4, top - 4, width + 8, height + 8))
    finally:
        program.terminate()
        program.wait()
print(output)
PYTHON
    exit
fi

/usr/bin/python3 - build/release/src/ui/Sorabune "$output" <<'PYTHON'
import os, subprocess, sys, tempfile, time
sys.path.insert(0, "tests/support")
from private_xvfb import PrivateXvfb
from x11_client import X11Client

executable, output = sys.argv[1:3]
with PrivateXvfb() as xvfb, tempfile.TemporaryDirectory() as runtime:
    environment = dict(os.environ, DISPLAY=xvfb.display, XDG_RUNTIME_DIR=runtime)
    environment.pop("QT_QPA_PLATFORM", None)
    program = subprocess.Popen([executable], env=environment)
    try:
        deadline = time.monotonic() + 30
        window = []
        while not window and time.monotonic() < deadline:
            window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Sorabune$"], env=environment,
                                    capture_output=True, text=True).stdout.split()
            time.sleep(0.1)
        if not window:
            sys.exit("screenshot: the window did not appear")
        geometry = dict(line.split("=") for line in subprocess.run(
            ["xdotool", "getwindowgeometry", "--shell", window[0]], env=environment,
            capture_output=True, text=True).stdout.split())
        time.sleep(1)  # let the first paint land
        with X11Client(xvfb.display) as x:
            x.grab_png(int(geometry["X"]), int(geometry["Y"]), int(geometry["WIDTH"]), int(geometry["HEIGHT"]), output)
    finally:
        program.terminate()
        program.wait()
print(output)
PYTHON
