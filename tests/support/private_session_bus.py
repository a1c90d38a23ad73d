#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A session bus of the test's own, with python3-dbusmock's stand-ins for the services that keep
a desktop from suspending: the desktop portal's Inhibit and GNOME's session manager. No test
reaches the user's session bus, and nothing on this one is started on demand.

Python (import with tests/support on sys.path):
    with PrivateSessionBus() as session:
        environment["DBUS_SESSION_BUS_ADDRESS"] = session.address
        session.serve("portal")          # or "gnome"; a bus with neither has no such service
        ...
        session.inhibitions()            # Inhibitions(asked, released, via, flags, reason)
        session.hang()                   # calls wait unanswered until the next inhibitions()

Command line (tests/support/helper_process.h runs it so):
    /usr/bin/python3 private_session_bus.py
    Prints "DBUS_SESSION_BUS_ADDRESS=..." and "ready", or one line "error: WHY" and exits with
    status 1. Then one command a line, each answered with one line ("ok" unless said):
        serve portal | serve gnome   starts that service
        hang                         stops the services
        slow-release SECONDS         the services take that long to answer the end of an inhibition
        inhibitions                  "asked=N released=N via=portal|gnome|- flags=N reason=TEXT":
                                     the counts over both services, then the last inhibition asked
                                     of the last service asked (GNOME's where both were); resumes a
                                     hung bus
    A command that fails answers "error: WHY". End of input, SIGTERM or SIGINT ends it all.
"""

import collections
import os
import signal
import subprocess
import sys
import tempfile
import time

import dbus
import dbusmock

START_TIMEOUT = 30.0
STOP_TIMEOUT = 10.0
TEST_IFACE = "org.sorabune.Test"

# The end of an inhibition, counted in the mock process (its globals are the module's).
_RELEASE = ("import time\n"
            "time.sleep(globals().get('release_delay', 0))\n"
            "globals()['released'] = globals().get('released', 0) + 1\n")
_TEST_METHODS = [
    ("SetReleaseDelay", "d", "", "globals()['release_delay'] = args[0]"),
    ("Released", "", "u", "ret = globals().get('released', 0)"),
]

# Each service: bus name, object, interface, and its methods as dbusmock's AddMethods takes them.
SERVICES = {
    # Inhibit(window, flags, options) answers with a request object whose Close ends it.
    "portal": ("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Inhibit", [
        ("Inhibit", "sua{sv}", "o",
         "path = '/org/freedesktop/portal/desktop/request/1_0/t%d' % len(self.GetMethodCalls('Inhibit'))\n"
         f"self.AddObject(path, 'org.freedesktop.portal.Request', {{}}, [('Close', '', '', {_RELEASE!r})])\n"
         "ret = dbus.ObjectPath(path)\n"),
    ]),
    # Inhibit(app id, toplevel window, reason, flags) answers with a cookie for Uninhibit.
    "gnome": ("org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager", [
        ("Inhibit", "susu", "u", "ret = dbus.UInt32(len(self.GetMethodCalls('Inhibit')))"),
        ("Uninhibit", "u", "",
         "if not 1 <= args[0] <= len(self.GetMethodCalls('Inhibit')):\n"
         "    raise dbus.exceptions.DBusException('no such cookie', name='org.gnome.SessionManager.NotFound')\n"
         + _RELEASE),
    ]),
}

Inhibitions = collections.namedtuple("Inhibitions", "asked released via flags reason")


class SessionBusError(Exception):
    pass


_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={folder}</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class PrivateSessionBus:
    def __init__(self):
        self._folder = tempfile.TemporaryDirectory(prefix="sorabune-session-")
        self._services = {}  # name -> (process, mock)
        self._daemon = None
        try:
            config = os.path.join(self._folder.name, "session.conf")
            with open(config, "w", encoding="utf-8") as file:
                file.write(_CONFIG.format(folder=self._folder.name))
            # No service folders: nothing is started on demand, only what serve() starts.
            self._daemon = subprocess.Popen(["dbus-daemon", "--nofork", "--print-address=1", "--config-file=" + config],
                                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                            text=True)
            self.address = self._daemon.stdout.readline().strip()
            if not self.address:
                raise SessionBusError("dbus-daemon did not start")
            self._bus = dbus.bus.BusConnection(self.address)
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def serve(self, service):
        name, path, interface, methods = SERVICES[service]
        # Debian's Python, which has dbusmock, whatever python3 comes first on the PATH.
        process = subprocess.Popen(["/usr/bin/python3", "-m", "dbusmock", name, path, interface],
                                   env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + START_TIMEOUT
        while not self._bus.name_has_owner(name):
            if process.poll() is not None or time.monotonic() > deadline:
                process.kill()
                raise SessionBusError(f"the stand-in for {name} did not start")
            time.sleep(0.02)
        mock = dbus.Interface(self._bus.get_object(name, path), dbusmock.MOCK_IFACE)
        mock.AddMethods(interface, methods)
        mock.AddMethods(TEST_IFACE, _TEST_METHODS)
        self._services[service] = (process, mock)

    def _signal(self, number):
        for process, _ in self._services.values():
            os.kill(process.pid, number)

    def hang(self):
        self._signal(signal.SIGSTOP)

    def slow_release(self, seconds):
        for _, mock in self._services.values():
            mock.get_dbus_method("SetReleaseDelay", TEST_IFACE)(dbus.Double(seconds))

    def inhibitions(self):
        """What was asked of the services so far, and the last inhibition asked of the last service
        asked (GNOME's where both were); resumes them."""
        self._signal(signal.SIGCONT)
        asked, released, last = 0, 0, ("-", 0, "")
        for service, (_, mock) in self._services.items():
            calls = mock.GetMethodCalls("Inhibit")
            asked += len(calls)
            released += int(mock.get_dbus_method("Released", TEST_IFACE)())
            if calls:
                arguments = calls[-1][1]
                if service == "portal":
                    last = (service, int(arguments[1]), str(arguments[2].get("reason", "")))
                else:
                    last = (service, int(arguments[3]), str(arguments[2]))
        return Inhibitions(asked, released, *last)

    def close(self):
        for process in [process for process, _ in self._services.values()] + [self._daemon]:
            if process is not None and process.poll() is None:
                os.kill(process.pid, signal.SIGCONT)
                process.terminate()
                try:
                    process.wait(STOP_TIMEOUT)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        if self._daemon is not None:
            self._daemon.stdout.close()
        self._services = {}
        self._daemon = None
        self._folder.cleanup()


def main():
    # SIGTERM and SIGINT end the command loop like the end of input does.
    def leave(*_):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, leave)
    try:
        session = PrivateSessionBus()
    except (SessionBusError, OSError, subprocess.SubprocessError, dbus.exceptions.DBusException) as error:
        print(f"error: {error}", flush=True)
        return 1
    try:
        print(f"DBUS_SESSION_BUS_ADDRESS={session.address}")
        print("ready", flush=True)
        for line in sys.stdin:
            command, _, argument = line.strip().partition(" ")
            try:
                if command == "serve" and argument in SERVICES:
                    session.serve(argument)
                    answer = "ok"
                elif command == "hang":
                    session.hang()
                    answer = "ok"
                elif command == "slow-release":
                    session.slow_release(float(argument))
                    answer = "ok"
                elif command == "inhibitions":
                    state = session.inhibitions()
                    answer = " ".join(f"{field}={value}" for field, value in state._asdict().items())
                else:
                    raise SessionBusError(f"cannot {line.strip()!r}")
                print(answer, flush=True)
            except (SessionBusError, ValueError, dbus.exceptions.DBusException) as error:
                print(f"error: {error}", flush=True)
    except KeyboardInterrupt:
        pass
    finally:
        session.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
