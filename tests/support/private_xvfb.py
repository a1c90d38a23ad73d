#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A private X server for end-to-end tests and screenshots: never the machine's display.

Python (import with tests/support on sys.path):
    with PrivateXvfb() as xvfb:
        environment["DISPLAY"] = xvfb.display

Command line (tests/support/helper_process.h runs it so):
    /usr/bin/python3 private_xvfb.py
    Prints "DISPLAY=:N" and "ready", or one line "error: WHY" and exits with status 1; the
    end of standard input, SIGTERM or SIGINT ends the server.

Xvfb picks a free display number itself (-displayfd), so parallel tests never race for one;
it listens on no TCP port. Closing it ends the server.
"""

import os
import select
import signal
import subprocess
import sys
import time

START_TIMEOUT = 30.0


class PrivateXvfb:
    def __init__(self, width=640, height=480):
        read_end, write_end = os.pipe()
        try:
            self._process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset",
                 "-screen", "0", f"{width}x{height}x24"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        finally:
            os.close(write_end)
        try:
            self.display = ":" + self._read_number(read_end)
        except BaseException:
            self.close()
            raise
        finally:
            os.close(read_end)

    def _read_number(self, fd):
        deadline = time.monotonic() + START_TIMEOUT
        text = b""
        while not text.endswith(b"\n"):
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([fd], [], [], remaining)[0]:
                raise RuntimeError("Xvfb did not start within %.0f s" % START_TIMEOUT)
            chunk = os.read(fd, 16)
            if not chunk:
                raise RuntimeError("Xvfb ended before it named its display")
            text += chunk
        return text.decode().strip()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def close(self):
        if self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()


def main():
    def leave(*_):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, leave)
    try:
        xvfb = PrivateXvfb()
    except (RuntimeError, OSError) as error:
        print(f"error: {error}", flush=True)
        return 1
    try:
        print(f"DISPLAY={xvfb.display}")
        print("ready", flush=True)
        sys.stdin.read()
    except KeyboardInterrupt:
        pass
    finally:
        xvfb.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
