#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Assistive technology's view of a program (AT-SPI through pyatspi) on a private session bus, so
that a test can read and press a window's controls whatever display it is on, a Wayland
compositor without a seat included. Never the user's session bus.

    atspi = PrivateAccessibility.shared()
        environment.update(atspi.client_environment)   # the program's bus, accessibility on
        ... start the program ...
        window = atspi.application("Sorabune")
        atspi.find(window, "push button", "タイマースタート").queryAction().doAction(0)

libatspi keeps its bus for the life of the process, so there is one for the process, shared by its
tests and stopped when the process ends.
"""

import atexit
import os
import shutil
import subprocess
import tempfile
import time
import warnings

START_TIMEOUT = 30.0


class PrivateAccessibility:
    _shared = None

    @classmethod
    def shared(cls):
        if cls._shared is None:
            cls._shared = cls()
            atexit.register(cls._shared.close)
        return cls._shared

    def __init__(self):
        # The session bus starts the accessibility bus and its registry when asked for them. The bus
        # launcher puts the accessibility bus's socket into the runtime folder: a folder of our own,
        # or tests running side by side share one socket, and lose it when the first of them ends.
        self._folder = tempfile.mkdtemp(prefix="sorabune-atspi-")
        self._bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, env=dict(os.environ, XDG_RUNTIME_DIR=self._folder))
        self.address = self._bus.stdout.readline().strip()
        if not self.address:
            self.close()
            raise RuntimeError("the private session bus did not start")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.address
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")
        warnings.filterwarnings("ignore", category=ImportWarning)
        import pyatspi  # after the address is set: libatspi reads it at its first call
        self._pyatspi = pyatspi
        from gi.repository import GLib  # pyatspi's own, loaded with it
        self._gone = GLib.GError  # what asking an object that has gone away raises
        self.client_environment = {"DBUS_SESSION_BUS_ADDRESS": self.address,
                                   "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}

    def application(self, name, timeout=START_TIMEOUT):
        """The accessible application called `name`, once it has registered; None if it never did."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                for application in self._pyatspi.Registry.getDesktop(0):
                    if application is not None and application.name == name and application.childCount:
                        return application
            except self._gone:
                pass
            time.sleep(0.1)
        return None

    def find(self, node, role, name=None):
        """The first descendant of `node` with that role name (and name, a string or a test)."""
        return next(iter(self.find_all(node, role, name)), None)

    def find_all(self, node, role, name=None):
        """What goes away while it is read (a dialog closing) is left out, not an error."""
        found = []
        try:
            children = [child for child in node if child is not None]
        except self._gone:
            return found
        for child in children:
            try:
                if child.getRoleName() == role and (name is None or (name(child.name) if callable(name)
                                                                     else child.name == name)):
                    found.append(child)
            except self._gone:
                continue
            found += self.find_all(child, role, name)
        return found

    def close(self):
        if self._bus.poll() is None:
            self._bus.terminate()
            self._bus.wait()
        self._bus.stdout.close()
        shutil.rmtree(self._folder, ignore_errors=True)
