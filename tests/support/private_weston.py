#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A private headless Wayland compositor (weston) for end-to-end tests and screenshots: never the
machine's display.

    with PrivateWeston(xwayland=True) as weston:
        environment.update(weston.environment)   # XDG_RUNTIME_DIR, WAYLAND_DISPLAY, DISPLAY
        ...
        weston.screenshot("shot.png")

Weston runs in a runtime folder of its own (its socket and any client's runtime files live
there), with no panel, a plain background and pixman rendering, so that screenshots show what
clients drew. With xwayland=True it also offers X through Xwayland, started at the first X
client as desktops do, and decorates X windows itself; `display` is then its X display, else
None. There is no seat: no keyboard or pointer reaches native Wayland clients.
"""

import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import zlib

from x11_client import write_png

START_TIMEOUT = 30.0
SOCKET = "wayland-sorabune"
# 0xAARRGGBB, as weston.ini wants it; screenshots show it as BACKGROUND.
BACKGROUND = (0x30, 0x50, 0x80)
_CONFIG = """[core]
idle-time=0
[shell]
panel-position=none
background-color=0xff%02x%02x%02x
[input-method]
path=
""" % BACKGROUND


class PrivateWeston:
    def __init__(self, xwayland=False, width=640, height=480):
        self.runtime = tempfile.mkdtemp(prefix="sorabune-weston-")  # made 0700, as a runtime folder must be
        self.display = None
        self._process = None
        try:
            self._start(xwayland, width, height)
        except BaseException:
            self.close()
            raise

    def _start(self, xwayland, width, height):
        config = os.path.join(self.runtime, "weston.ini")
        with open(config, "w", encoding="utf-8") as written:
            written.write(_CONFIG)
        self._log = os.path.join(self.runtime, "weston.log")
        if xwayland:
            # Xwayland binds its socket there; Xvfb would make the folder itself, weston won't.
            os.makedirs("/tmp/.X11-unix", mode=0o1777, exist_ok=True)
        command = ["weston", "--backend=headless-backend.so", "--use-pixman", "--socket=" + SOCKET,
                   "--config=" + config, "--width=%d" % width, "--height=%d" % height,
                   "--log=" + self._log, "--debug"]  # --debug: the screenshooter is allowed
        if xwayland:
            command.append("--xwayland")
        environment = {key: value for key, value in os.environ.items()
                       if key not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET")}
        environment["XDG_RUNTIME_DIR"] = self.runtime
        self._process = subprocess.Popen(command, env=environment, cwd=self.runtime,
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL)
        self.environment = {"XDG_RUNTIME_DIR": self.runtime, "WAYLAND_DISPLAY": SOCKET}
        deadline = time.monotonic() + START_TIMEOUT
        # The shell client is the last thing weston starts; once it is launched, clients are served.
        while "weston-desktop-shell'" not in self.log() or not os.path.exists(os.path.join(self.runtime, SOCKET)):
            if self._process.poll() is not None:
                raise RuntimeError("weston ended at start-up:\n" + self.log())
            if time.monotonic() > deadline:
                raise RuntimeError("weston did not start within %.0f s:\n%s" % (START_TIMEOUT, self.log()))
            time.sleep(0.02)
        if xwayland:
            found = re.search(r"xserver listening on display (:\d+)", self.log())
            if not found:
                raise RuntimeError("weston offers no X display:\n" + self.log())
            self.display = found.group(1)
            self.environment["DISPLAY"] = self.display

    def log(self):
        try:
            with open(self._log, encoding="utf-8", errors="replace") as log:
                return log.read()
        except FileNotFoundError:
            return ""

    def screenshot(self, path, box=None):
        """Saves the output, or the (left, top, width, height) `box` of it, as PNG at `path`."""
        before = set(os.listdir(self.runtime))
        environment = dict(os.environ, **self.environment)
        environment.pop("DISPLAY", None)
        subprocess.run(["weston-screenshooter"], env=environment, cwd=self.runtime, check=True,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=START_TIMEOUT)
        made = [name for name in os.listdir(self.runtime) if name not in before and name.endswith(".png")]
        if len(made) != 1:
            raise RuntimeError("weston-screenshooter saved %r" % made)
        shutil.move(os.path.join(self.runtime, made[0]), path)
        if box:
            left, top, width, height = box
            rows = read_png(path)[2][top:top + height]
            write_png(path, width, height, b"".join(b"\0" + bytes(sum(row[left:left + width], ())) for row in rows))
        return path

    def drawn_box(self):
        """(left, top, width, height) of everything drawn over the background, or None."""
        path = os.path.join(self.runtime, "box.png")
        width, height, pixels = read_png(self.screenshot(path))
        os.remove(path)
        rows = [y for y in range(height) if any(pixels[y][x] != BACKGROUND for x in range(width))]
        columns = [x for x in range(width) if any(pixels[y][x] != BACKGROUND for y in rows)]
        if not rows:
            return None
        return columns[0], rows[0], columns[-1] - columns[0] + 1, rows[-1] - rows[0] + 1

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def close(self):
        if self._process and self._process.poll() is None:
            self._process.terminate()  # weston ends Xwayland and its shell client with it
            try:
                self._process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        shutil.rmtree(self.runtime, ignore_errors=True)


def read_png(path):
    """(width, height, rows of (r, g, b)) of an 8-bit RGB or RGBA PNG, as the screenshooter saves."""
    with open(path, "rb") as png:
        data = png.read()
    position, chunks = 8, {}
    while position < len(data):
        length, kind = struct.unpack_from(">I4s", data, position)
        chunks.setdefault(kind, []).append(data[position + 8:position + 8 + length])
        position += 12 + length
    width, height, depth, colour = struct.unpack_from(">IIBB", chunks[b"IHDR"][0])
    if depth != 8 or colour not in (2, 6):
        raise RuntimeError("unexpected PNG format: depth %d, colour type %d" % (depth, colour))
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(b"".join(chunks[b"IDAT"]))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):  # undo the row's filter
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            up_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                guess = left + up - up_left
                nearest = min((abs(guess - left), 0, left), (abs(guess - up), 1, up), (abs(guess - up_left), 2, up_left))
                line[i] = (line[i] + nearest[2]) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows
