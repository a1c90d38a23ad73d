#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Start-up time and memory of Sorabune in each kind of session: X11 (a private Xvfb), Wayland with
Xwayland and Wayland alone (a private headless weston, with and without --xwayland).

    /usr/bin/python3 bench/sessions.py build/release/src/ui/Sorabune [RUNS]

Start-up: from just before exec to the window being shown: on X, the first MapNotify on the root
window (under weston's window manager, the map of the frame it puts the window in); on Wayland
alone, the first commit of the window's surface after its xdg_toplevel is made, read from the
program's own protocol log (WAYLAND_DEBUG=client, which costs it a few hundred printed lines).
Memory: VmRSS and RssAnon two seconds after that. Xwayland is already running when the program
starts; what it costs to start Xwayland first (GNOME and weston start it at the first X client) is
measured on its own, as the time a fresh weston takes to answer an X connection. The median of
RUNS (default 5) is printed, with the range. Nothing reaches the machine's display, buses or
sound server.
"""

import os
import re
import select
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))

from private_weston import PrivateWeston  # noqa: E402
from private_xvfb import PrivateXvfb  # noqa: E402
from x11_client import X11Client  # noqa: E402

SETTLE = 2.0
TIMEOUT = 30.0


def status_kib(pid, key):
    with open("/proc/%d/status" % pid, encoding="utf-8") as status:
        return int(re.search(r"^%s:\s+(\d+) kB" % key, status.read(), re.M).group(1))


def base_environment(runtime):
    nowhere = "unix:path=" + os.path.join(runtime, "nowhere")
    environment = {key: value for key, value in os.environ.items()
                   if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    environment.update(XDG_RUNTIME_DIR=runtime, DBUS_SYSTEM_BUS_ADDRESS=nowhere, DBUS_SESSION_BUS_ADDRESS=nowhere,
                       PULSE_SERVER="unix:" + os.path.join(runtime, "no-sound-server"))
    return environment


def measure_on_x(executable, display, environment):
    with X11Client(display) as x:
        x.watch_maps()
        began = time.monotonic()
        process = subprocess.Popen([executable], env=environment, stdin=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        while x.maps == 0 and time.monotonic() - began < TIMEOUT:
            x.pump(0.005)
        shown = time.monotonic() - began
    return process, shown if x.maps else None


def measure_on_wayland(executable, environment):
    began = time.monotonic()
    process = subprocess.Popen([executable], env=dict(environment, WAYLAND_DEBUG="client"),
                               stdin=subprocess.DEVNULL, stderr=subprocess.PIPE)
    toplevel, shown, pending = False, None, b""
    fd = process.stderr.fileno()
    while shown is None and time.monotonic() - began < TIMEOUT:
        if not select.select([fd], [], [], 0.5)[0]:
            continue
        chunk = os.read(fd, 65536)
        if not chunk:
            break
        pending += chunk
        *lines, pending = pending.split(b"\n")
        for line in lines:
            toplevel = toplevel or b"get_toplevel" in line
            if toplevel and re.search(rb"-> wl_surface@\d+\.commit\(\)", line):
                shown = time.monotonic() - began
                break
    # Keep the log flowing so that the program never blocks on it.
    subprocess.Popen(["cat"], stdin=process.stderr, stdout=subprocess.DEVNULL)
    return process, shown


def run(kind, runs, start):
    shown, rss, anon = [], [], []
    for _ in range(runs):
        process, seconds = start()
        try:
            if seconds is None:
                raise RuntimeError(kind + ": no window shown")
            time.sleep(SETTLE)
            shown.append(seconds * 1000)
            rss.append(status_kib(process.pid, "VmRSS") / 1024)
            anon.append(status_kib(process.pid, "RssAnon") / 1024)
        finally:
            process.terminate()
            process.wait()
    for name, values, unit in (("start-up", shown, "ms"), ("VmRSS", rss, "MiB"), ("RssAnon", anon, "MiB")):
        print("%-22s %-9s %7.1f %s  (%.1f-%.1f, %d runs)" % (kind, name, statistics.median(values), unit,
                                                            min(values), max(values), len(values)))


def main():
    executable = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory(prefix="sorabune-bench-") as folder:
        runtime = os.path.join(folder, "runtime")
        os.mkdir(runtime, 0o700)
        with PrivateXvfb() as xvfb:
            environment = dict(base_environment(runtime), DISPLAY=xvfb.display)
            run("X11 (Xvfb)", runs, lambda: measure_on_x(executable, xvfb.display, environment))

        cold = []
        for _ in range(runs):
            with PrivateWeston(xwayland=True) as weston:
                began = time.monotonic()
                X11Client(weston.display).close()
                cold.append((time.monotonic() - began) * 1000)
        print("%-22s %-9s %7.1f ms  (%.1f-%.1f, %d runs)" % ("Xwayland itself", "start", statistics.median(cold),
                                                             min(cold), max(cold), runs))
        with PrivateWeston(xwayland=True) as weston:
            environment = dict(base_environment(weston.runtime), **weston.environment)
            run("Wayland + Xwayland", runs, lambda: measure_on_x(executable, weston.display, environment))
        with PrivateWeston() as weston:
            environment = dict(base_environment(weston.runtime), **weston.environment)
            run("Wayland alone", runs, lambda: measure_on_wayland(executable, environment))


if __name__ == "__main__":
    main()
