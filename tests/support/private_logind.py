#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A private system bus with a mock systemd-logind, so that no test ever reaches the real one.

Command line:
    /usr/bin/python3 private_logind.py [--log FILE]

    Starts a dbus-daemon of its own (its own configuration, its socket in a fresh temporary
    folder) and python3-dbusmock's logind template on it, then prints one line: the bus
    address, to be put into DBUS_SYSTEM_BUS_ADDRESS of the program under test before it
    connects to any bus. Then it reads commands from standard input, one a line, and answers
    each with "ok", or with its lines followed by "end":
        accept   PowerOff answers at once with success (as at the start)
        refuse   PowerOff answers with logind's error for a non-interactive call it may not make
        hang     the logind process is stopped: calls are queued and never answered
        calls    the PowerOff calls received so far, one a line ("PowerOff(false)"), then "end"
        clear    forgets the calls received so far
    Every command but "hang" first resumes a hung logind, which then answers what was queued;
    the late answers are dropped by callers that have given up. End of input, SIGTERM or
    SIGINT stops the mock and the bus and removes the folder.
    --log FILE   dbusmock's own log of every call, one a line with a timestamp.

Python (for tests written in Python; import with tests/support on sys.path):
    with PrivateLogind() as logind:
        environment["DBUS_SYSTEM_BUS_ADDRESS"] = logind.address
        logind.set_power_off("refuse")
        ...
        assert logind.power_off_calls() == [False]   # the interactive argument of each call
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import dbus

BUS_NAME = "org.freedesktop.login1"
MAIN_OBJ = "/org/freedesktop/login1"
MAIN_IFACE = "org.freedesktop.login1.Manager"
MOCK_IFACE = "org.freedesktop.DBus.Mock"
START_TIMEOUT = 30.0

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""

# What logind answers to PowerOff(false) when polkit would have to ask the user.
REFUSAL = ("raise dbus.exceptions.DBusException('Interactive authentication required.', "
           "name='org.freedesktop.DBus.Error.InteractiveAuthorizationRequired')")
POWER_OFF_CODE = {"accept": "", "refuse": REFUSAL}


class PrivateLogind:
    def __init__(self, log_file=None):
        self._folder = tempfile.mkdtemp(prefix="sorabune-logind-")
        self._daemon = None
        self._mock = None
        self._stopped = False
        try:
            self._start(log_file)
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def _start(self, log_file):
        socket = os.path.join(self._folder, "system_bus_socket")
        config = os.path.join(self._folder, "bus.conf")
        with open(config, "w", encoding="utf-8") as out:
            out.write(BUS_CONFIG.format(socket=socket))
        self._daemon = subprocess.Popen(
            ["dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
        self.address = self._daemon.stdout.readline().strip()
        # Whatever happens, never hand out anything but our own socket.
        if not self.address.startswith("unix:path=" + socket):
            raise RuntimeError("private dbus-daemon did not start: " + repr(self.address))

        environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        command = [sys.executable, "-m", "dbusmock", "--system", "--template", "logind"]
        if log_file:
            command += ["--logfile", log_file]
        # The mock prints to its standard output without a log file: keep it off ours.
        self._mock = subprocess.Popen(command, env=environment, stdin=subprocess.DEVNULL,
                                      stdout=subprocess.DEVNULL)
        self._bus = dbus.bus.BusConnection(self.address)
        self._wait_for_logind()
        self._control = dbus.Interface(self._bus.get_object(BUS_NAME, MAIN_OBJ), MOCK_IFACE)

    def _wait_for_logind(self):
        deadline = time.monotonic() + START_TIMEOUT
        while not self._bus.name_has_owner(BUS_NAME):
            if self._mock.poll() is not None:
                raise RuntimeError("the logind mock ended with status %d" % self._mock.returncode)
            if time.monotonic() > deadline:
                raise RuntimeError("the logind mock did not appear on the private bus")
            time.sleep(0.05)

    def _resume(self):
        if self._stopped:
            os.kill(self._mock.pid, signal.SIGCONT)
            self._stopped = False

    def set_power_off(self, mode):
        """accept, refuse or hang (see the command line)."""
        if mode == "hang":
            self._resume()
            os.kill(self._mock.pid, signal.SIGSTOP)
            self._stopped = True
            return
        self._resume()
        self._control.AddMethod(MAIN_IFACE, "PowerOff", "b", "", POWER_OFF_CODE[mode])

    def power_off_calls(self):
        """The interactive argument of every PowerOff call received so far."""
        self._resume()
        # Queued behind any call that reached the bus before it, so those are counted.
        return [bool(args[0]) for _, args in self._control.GetMethodCalls("PowerOff")]

    def clear(self):
        self._resume()
        self._control.ClearCalls()

    def close(self):
        for process in (self._mock, self._daemon):
            if process is None or process.poll() is not None:
                continue
            if process is self._mock:
                self._resume()
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        if self._daemon is not None:
            self._daemon.stdout.close()
        shutil.rmtree(self._folder, ignore_errors=True)


def serve(logind):
    print(logind.address, flush=True)
    for line in sys.stdin:
        command = line.strip()
        if command in ("accept", "refuse", "hang"):
            logind.set_power_off(command)
        elif command == "calls":
            for interactive in logind.power_off_calls():
                print("PowerOff(%s)" % str(interactive).lower())
            print("end", flush=True)
            continue
        elif command == "clear":
            logind.clear()
        else:
            print("unknown command: " + command, flush=True)
            continue
        print("ok", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--log", metavar="FILE", help="dbusmock's log of every call")
    arguments = parser.parse_args()
    # SIGTERM and SIGINT end the command loop like the end of input, so the cleanup runs.
    for number in (signal.SIGTERM, signal.SIGINT):
        signal.signal(number, lambda *_: sys.exit(0))
    with PrivateLogind(arguments.log) as logind:
        serve(logind)


if __name__ == "__main__":
    main()
