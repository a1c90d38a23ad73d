#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A PulseAudio server of the test's own, with a null sink, so that no test needs a sound card
or reaches the user's sound server.

Command line:
    /usr/bin/python3 private_pulse.py

    Starts pulseaudio with no system or user configuration, a null sink "sorabune_null" as its
    only (so default) sink, and its socket and state in a fresh temporary folder. Prints the
    environment a client needs, one NAME=VALUE a line, then "ready":
        PULSE_SERVER=unix:/tmp/.../native
        PULSE_COOKIE=/tmp/.../cookie
        PULSE_CLIENTCONFIG=/tmp/.../client.conf   (no autospawn: a client never starts a server)
    If the server cannot start, prints one line "error: WHY" and exits with status 1.
    Then reads commands from standard input, one a line, answering each with "ok" or "error: WHY":
        record FILE   records the null sink's monitor into FILE (raw signed 16-bit little-endian,
                      44100 Hz, mono); "ok" once samples arrive, so nothing played later is missed
        stop-record   ends the recording; FILE is complete when "ok" comes
    End of input, SIGTERM or SIGINT stops the recorder and the server and removes the folder.

Python (for tests written in Python; import with tests/support on sys.path):
    with PrivatePulse() as pulse:
        environment.update(pulse.client_environment)
        with pulse.recording() as recording:
            ...                                  # play something
        samples = recording.samples()            # the 16-bit samples, a list of ints
        loudness(recording, 0.5)                 # the loudest sample of its last half second
        loudness(recording, 0.5, since)          # ... counting only what came after `since`,
                                                 # an earlier recording.position()
"""

import array
import contextlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SINK = "sorabune_null"
RATE = 44100
START_TIMEOUT = 30.0
STOP_TIMEOUT = 10.0


class PulseError(Exception):
    pass


def _wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise PulseError(f"{what} within {timeout:.0f} s")
        time.sleep(0.02)


def _stop(process, stop_signal=signal.SIGTERM):
    if process.poll() is None:
        process.send_signal(stop_signal)
        try:
            process.wait(STOP_TIMEOUT)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class Recording:
    """The null sink's monitor, recorded with parec into a file."""

    def __init__(self, pulse, path):
        self.path = path
        with open(path, "wb") as output:
            self._process = subprocess.Popen(
                ["parec", f"--device={SINK}.monitor", "--format=s16le", f"--rate={RATE}",
                 "--channels=1", "--latency-msec=10", "--raw"],
                stdout=output, stderr=subprocess.DEVNULL, env=pulse.client_process_environment())
        try:
            # The monitor of an idle null sink delivers silence: bytes mean the recording runs.
            _wait_for(lambda: os.path.getsize(path) > 0 or self._process.poll() is not None,
                      START_TIMEOUT, "parec did not start recording")
            if self._process.poll() is not None:
                raise PulseError(f"parec ended with status {self._process.returncode}")
        except BaseException:
            self.stop()
            raise

    def stop(self):
        _stop(self._process, signal.SIGTERM)

    def position(self):
        """Where the recording stands, for loudness(..., since)."""
        return os.path.getsize(self.path) & ~1

    def samples(self):
        data = array.array("h")
        with open(self.path, "rb") as recorded:
            data.frombytes(recorded.read())
        if sys.byteorder != "little":
            data.byteswap()
        return data.tolist()


def loudness(recording, seconds, since=0):
    """The loudest sample of the last `seconds` recorded, of those after position `since`."""
    with open(recording.path, "rb") as recorded:
        recorded.seek(0, os.SEEK_END)
        size = recorded.tell() & ~1
        recorded.seek(max(since, size - 2 * int(seconds * RATE)))
        samples = array.array("h", recorded.read(size - recorded.tell()))
    return max((abs(sample) for sample in samples), default=0)


class PrivatePulse:
    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="sorabune-pulse-")
        socket = os.path.join(self.folder, "native")
        client_config = os.path.join(self.folder, "client.conf")
        with open(client_config, "w") as config:
            config.write("autospawn = no\n")
        self.client_environment = {
            "PULSE_SERVER": f"unix:{socket}",
            "PULSE_COOKIE": os.path.join(self.folder, "cookie"),
            "PULSE_CLIENTCONFIG": client_config,
        }
        server_environment = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.folder,
            "XDG_RUNTIME_DIR": self.folder,
            "PULSE_RUNTIME_PATH": os.path.join(self.folder, "runtime"),
            "PULSE_STATE_PATH": os.path.join(self.folder, "state"),
            # No session bus, and no X display from which one could be launched.
            "DBUS_SESSION_BUS_ADDRESS": "disabled:",
        }
        self._log = open(os.path.join(self.folder, "server.log"), "wb")
        self._server = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "--disable-shm=yes", "--realtime=no", "--high-priority=no", "--fail=yes",
             "--log-target=stderr", "--log-level=error",
             "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1",
             "-L", f"module-null-sink sink_name={SINK} rate={RATE}"],
            stdin=subprocess.DEVNULL, stdout=self._log, stderr=self._log, env=server_environment)
        try:
            _wait_for(self._answers, START_TIMEOUT, "pulseaudio did not answer")
        except BaseException:
            self.close()
            raise

    def client_process_environment(self):
        return {**os.environ, **self.client_environment}

    def _answers(self):
        if self._server.poll() is not None:
            with open(os.path.join(self.folder, "server.log"), errors="replace") as log:
                raise PulseError(f"pulseaudio ended with status {self._server.returncode}: "
                                 + " ".join(log.read().split())[:300])
        return subprocess.run(["pactl", "info"], env=self.client_process_environment(),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=START_TIMEOUT).returncode == 0

    @contextlib.contextmanager
    def recording(self, path=None):
        recording = Recording(self, path or os.path.join(self.folder, "recording.raw"))
        try:
            yield recording
        finally:
            recording.stop()

    def close(self):
        _stop(self._server)
        self._log.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()


def main():
    # SIGTERM and SIGINT end the command loop like the end of input does.
    def leave(*_):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, leave)
    try:
        pulse = PrivatePulse()
    except (PulseError, OSError, subprocess.SubprocessError) as error:
        print(f"error: {error}", flush=True)
        return 1
    recording = None
    try:
        for name, value in pulse.client_environment.items():
            print(f"{name}={value}")
        print("ready", flush=True)
        for line in sys.stdin:
            command, _, argument = line.rstrip("\n").partition(" ")
            try:
                if command == "record" and argument and recording is None:
                    recording = Recording(pulse, argument)
                elif command == "stop-record" and recording is not None:
                    recording.stop()
                    recording = None
                else:
                    raise PulseError(f"cannot {line.strip()!r} now")
                print("ok", flush=True)
            except (PulseError, OSError) as error:
                print(f"error: {error}", flush=True)
    except KeyboardInterrupt:
        pass
    finally:
        if recording is not None:
            recording.stop()
        pulse.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
