#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""python3-dbusmock's logind on a private system bus, so that no test ever reaches the real one.

Python (import with tests/support on sys.path):
    with PrivateLogind() as logind:
        environment["DBUS_SYSTEM_BUS_ADDRESS"] = logind.address
        logind.hang()                                # calls are queued and never answered
        ...
        assert logind.power_off_calls() == [False]   # the interactive argument of each call

Command line, for the C++ tests:
    /usr/bin/python3 private_logind.py COMMAND [ARGUMENT...]
    Runs COMMAND with the private bus's address in SORABUNE_PRIVATE_SYSTEM_BUS and ends with its
    status; the test drives the mock through its org.freedesktop.DBus.Mock interface itself.
A bus or mock that does not start is an error, never a fallback to another bus.
"""

import os
import shutil
import signal
import subprocess
import sys
from pathlib import Path

import dbus
import dbusmock

STOP_TIMEOUT = 10


class PrivateLogind:
    def __init__(self):
        self._mock = None
        try:
            # Raises unless the bus started; then DBUS_SYSTEM_BUS_ADDRESS of this process leads to it.
            dbusmock.DBusTestCase.start_system_bus()
            self.address = os.environ["DBUS_SYSTEM_BUS_ADDRESS"]
            # The mock prints every call without a log file: keep that off the test's output.
            self._mock, manager = dbusmock.DBusTestCase.spawn_server_template("logind", stdout=subprocess.DEVNULL)
            self._control = dbus.Interface(manager, dbusmock.MOCK_IFACE)
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def hang(self):
        """Stops the mock: calls wait unanswered until the next power_off_calls()."""
        os.kill(self._mock.pid, signal.SIGSTOP)

    def _resume(self):
        # Whoever stopped it, this process or the test it runs (which knows the mock by its bus name).
        os.kill(self._mock.pid, signal.SIGCONT)

    def power_off_calls(self):
        """The interactive argument of every PowerOff call so far. Resumes a hung mock first, which
        then answers what was queued (callers that gave up drop the late answers)."""
        self._resume()
        return [bool(arguments[0]) for _, arguments in self._control.GetMethodCalls("PowerOff")]

    def close(self):
        if self._mock is not None and self._mock.poll() is None:
            self._resume()
            self._mock.terminate()
            try:
                self._mock.wait(STOP_TIMEOUT)
            except subprocess.TimeoutExpired:
                self._mock.kill()
                self._mock.wait()
        # dbusmock 0.28 leaves the folder of the bus's configuration behind.
        shutil.rmtree(Path(dbusmock.DBusTestCase.get_services_dir()).parent, ignore_errors=True)
        dbusmock.DBusTestCase.tearDownClass()


def main():
    with PrivateLogind() as logind:
        return subprocess.run(sys.argv[1:], env=dict(os.environ, SORABUNE_PRIVATE_SYSTEM_BUS=logind.address),
                              check=False).returncode


if __name__ == "__main__":
    sys.exit(main())
