#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real Sorabune executable under a private Xvfb, driven with xdotool.

Run one case: SORABUNE_EXE=build/src/ui/Sorabune /usr/bin/python3 -m unittest sorabune_e2e.WindowTest.test_title_and_size
(from this folder). Every child gets a private runtime folder (its single-copy lock), and
bus and sound addresses that lead nowhere unless a test sets up private ones: no test can
reach the machine's system bus, session bus or sound server.
"""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))

from private_logind import PrivateLogind  # noqa: E402
from private_atspi import PrivateAccessibility  # noqa: E402
from midi_song import write_song  # noqa: E402
from private_pulse import PrivatePulse, loudness  # noqa: E402
from private_session_bus import PrivateSessionBus  # noqa: E402
from private_weston import PrivateWeston  # noqa: E402
from private_xvfb import PrivateXvfb  # noqa: E402
from x11_client import X11Client  # noqa: E402

EXECUTABLE = os.environ.get("SORABUNE_EXE", "Sorabune")
# Generous: the sanitizer build on a busy two-core machine starts slowly.
TIMEOUT = 20.0

# The file dialog's title, its file name box and its open button, as assistive technology names them.
FILE_DIALOG = ("Open", "File name:", "Open")

# Points inside the controls, in client pixels (the window places its controls in
# src/ui/form1.cpp). Option buttons take clicks on their indicator.
CONTROLS = {
    "Text1": (20, 41), "Text2": (84, 41),
    "Option1": (14, 62), "Option2": (14, 78), "Option3": (14, 94),
    "Command1": (28, 144), "Command2": (84, 148), "Command3": (132, 148),
}


def maps(process):
    """The files mapped into the process."""
    with open("/proc/%d/maps" % process.pid, encoding="utf-8", errors="replace") as mapped:
        return mapped.read()


def wait_until(condition, timeout=TIMEOUT, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class Session(unittest.TestCase):
    """One private X server and runtime folder per test; every copy started is ended. A case
    that fails prints the standard error of every copy it started: a sanitizer's report at
    exit is often all there is to see of what went wrong."""

    def run(self, result=None):
        result = result or self.defaultTestResult()
        failed = len(result.failures) + len(result.errors)
        super().run(result)
        if len(result.failures) + len(result.errors) > failed:
            for heading, text in getattr(self, "stderr_kept", []):
                sys.stderr.write("\n--- %s ---\n%s\n" % (heading, text or "(nothing)"))
        return result

    def setUp(self):
        self.xvfb = PrivateXvfb()
        self.addCleanup(self.xvfb.close)
        self.private_environment(self.xvfb.display)
        self.x = X11Client(self.xvfb.display)
        self.addCleanup(self.x.close)

    def private_environment(self, display):
        self.folder = tempfile.TemporaryDirectory(prefix="sorabune-e2e-")
        self.addCleanup(self.folder.cleanup)
        runtime = os.path.join(self.folder.name, "runtime")
        os.mkdir(runtime, 0o700)
        nowhere = "unix:path=" + os.path.join(self.folder.name, "no-such-bus")
        self.environment = dict(
            os.environ, DISPLAY=display, XDG_RUNTIME_DIR=runtime,
            DBUS_SYSTEM_BUS_ADDRESS=nowhere, DBUS_SESSION_BUS_ADDRESS=nowhere,
            PULSE_SERVER="unix:" + os.path.join(self.folder.name, "no-such-sound-server"),
            HOME=self.folder.name)
        self.environment.pop("QT_QPA_PLATFORM", None)
        self.environment.pop("WAYLAND_DISPLAY", None)
        self.processes = []
        self.stderr_kept = []  # (heading, text) of each copy, once it has ended
        self.addCleanup(self._end_processes)

    def _end_processes(self):
        for number, process in enumerate(self.processes):
            if process.poll() is None:
                process.kill()
                process.wait()
            with open(process.log, encoding="utf-8", errors="replace") as log:
                self.stderr_kept.append(("copy %d, pid %d, status %d: %s" % (
                    number, process.pid, process.returncode, process.log), log.read().strip()))

    def start(self, environment=None, executable=EXECUTABLE):
        """Starts a copy; its standard error goes to a file, read back by errors()."""
        log = os.path.join(self.folder.name, "stderr-%d" % len(self.processes))
        with open(log, "wb") as stderr:
            process = subprocess.Popen([executable], env=environment or self.environment,
                                       stdin=subprocess.DEVNULL, stderr=stderr)
        process.log = log
        self.processes.append(process)
        return process

    @staticmethod
    def errors(process):
        with open(process.log, encoding="utf-8", errors="replace") as log:
            return log.read().strip().splitlines()

    def xdotool(self, *arguments):
        result = subprocess.run(["xdotool", *arguments], env=self.environment, capture_output=True,
                                text=True, timeout=TIMEOUT)
        return result.stdout.split()

    def windows(self, name="^Sorabune$"):
        return self.xdotool("search", "--onlyvisible", "--name", name)

    def wait_for_window(self):
        found = wait_until(self.windows)
        self.assertTrue(found, "no Sorabune window appeared")
        return found[0]

    def click(self, window, control):
        x, y = CONTROLS[control]
        self.xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")

    def type_into(self, window, box, text):
        """In place of what the box holds."""
        x, y = CONTROLS[box]
        self.xdotool("mousemove", "--window", window, str(x), str(y), "click", "--repeat", "3", "1")
        self.xdotool("key", "ctrl+a", "BackSpace")
        self.xdotool("type", "--delay", "20", text)

    def accessible(self):
        """Assistive technology's view (AT-SPI on a private bus) of the copies started after this."""
        self.atspi = PrivateAccessibility.shared()
        self.environment.update(self.atspi.client_environment)
        return self.atspi

    def choose_file(self, path, names=FILE_DIALOG, timeout=TIMEOUT):
        """Opens `path` in the file dialog of a copy started after accessible(), the way a screen
        reader does: no key is lost while the dialog takes the focus, no completer takes the Return."""
        dialog_name, box_name, button_name = names
        application = self.atspi.application("Sorabune", timeout)
        self.assertIsNotNone(application, "Sorabune never reached assistive technology")
        dialog = wait_until(lambda: self.atspi.find(application, "dialog", dialog_name), timeout)
        self.assertTrue(dialog, "no file dialog appeared")
        box = self.atspi.find(dialog, "text", box_name)
        button = self.atspi.find(dialog, "push button", button_name)
        self.assertTrue(box and button, "the file dialog has no %r or no %r" % (box_name, button_name))
        box.queryEditableText().setTextContents(path)
        button.queryAction().doAction(0)
        self.assertTrue(wait_until(lambda: not self.atspi.find(application, "dialog", dialog_name), timeout),
                        "the file dialog did not take " + path)

    def wait_for_exit(self, process):
        try:
            return process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.fail("Sorabune did not end")


class WindowTest(Session):
    def test_closing_ends_the_process(self):
        for way in ("close button", "window manager"):
            with self.subTest(way=way):
                process = self.start()
                window = self.wait_for_window()
                if way == "close button":
                    self.click(window, "Command3")
                else:
                    self.x.close_window(int(window))
                self.assertEqual(self.wait_for_exit(process), 0)

    def test_termination_signals_unload(self):
        for number, dialog in ((signal.SIGTERM, False), (signal.SIGINT, False), (signal.SIGHUP, False),
                               (signal.SIGTERM, True)):
            with self.subTest(signal=number.name, file_dialog=dialog):
                process = self.start()
                window = self.wait_for_window()
                if dialog:
                    self.click(window, "Option3")
                    self.assertTrue(wait_until(lambda: self.windows("^Open$")), "no file dialog appeared")
                process.send_signal(number)
                # Status 0, not death by the signal: the window unloaded and the loop ended, the
                # file dialog's own loop too.
                self.assertEqual(self.wait_for_exit(process), 0)
                self.assertTrue(wait_until(lambda: not self.windows()))

    def test_without_a_display_says_so_and_exits_1(self):
        for display in (None, ":" + str(os.getpid() % 1000 + 5000)):
            with self.subTest(display=display):
                environment = dict(self.environment)
                environment.pop("DISPLAY")
                if display:
                    environment["DISPLAY"] = display
                process = self.start(environment)
                self.assertEqual(self.wait_for_exit(process), 1)
                message = self.errors(process)
                self.assertEqual(len(message), 1, message)
                self.assertIn("display", message[0])

    def test_japanese_desktop_with_a_screen_reader(self):
        """What assistive technology reads (AT-SPI on a private bus): the boxes by the captions
        beside them, the file dialog in the user's language, the whole path of a long file name."""
        atspi = self.accessible()
        self.environment["LANG"] = "ja_JP.UTF-8"
        for name in ("LC_ALL", "LC_MESSAGES", "LANGUAGE"):
            self.environment.pop(name, None)
        folder = os.path.join(self.folder.name, "音楽", "とても長いフォルダーの名前", "もう一つ下のフォルダー")
        os.makedirs(folder)
        song = write_song(os.path.join(folder, "目覚まし.mid"), seconds=1)
        process = self.start()
        window = self.wait_for_window()
        application = atspi.application("Sorabune")
        self.assertIsNotNone(application, "Sorabune never reached assistive technology")
        self.assertIsNotNone(atspi.find(application, "text", "時間"))
        self.assertIsNotNone(atspi.find(application, "text", "分後に"))
        self.click(window, "Option3")
        self.assertTrue(wait_until(lambda: atspi.find(application, "push button", "キャンセル")),
                        "the file dialog's buttons are not in Japanese")
        self.choose_file(song, ("開く", "ファイル名(N):", "開く(O)"))
        # Label4 shows the end of the path only.
        self.assertTrue(wait_until(lambda: atspi.find(application, "label", song)),
                        [label.name for label in atspi.find_all(application, "label")])
        self.click(window, "Command3")
        self.assertEqual(self.wait_for_exit(process), 0)


class SingleCopyTest(Session):
    def test_second_copy_ends_without_a_window(self):
        first = self.start()
        window = self.wait_for_window()
        self.x.watch_maps()
        second = self.start()
        self.assertEqual(self.wait_for_exit(second), 0)
        self.x.pump()
        self.assertEqual(self.x.maps, 0, "the second copy showed a window")
        self.assertEqual(self.windows(), [window])
        # Once the first has gone, a copy starts again.
        self.click(window, "Command3")
        self.assertEqual(self.wait_for_exit(first), 0)
        self.start()
        self.wait_for_window()

    def test_killed_copy_does_not_block_the_next(self):
        first = self.start()
        self.wait_for_window()
        first.kill()
        first.wait()
        self.start()
        self.wait_for_window()


class AlarmTest(Session):
    def test_beep_rings_the_bell_three_times(self):
        self.x.watch_bells()
        process = self.start()
        window = self.wait_for_window()
        self.click(window, "Command1")  # both boxes hold 0: the first tick expires
        self.assertEqual(self.x.wait_for_bells(3, TIMEOUT), 3)
        self.x.pump(1.5)  # a tick later: the alarm fired once only
        self.assertEqual(self.x.bells, 3)
        self.assertNotIn("fluidsynth", maps(process), "MIDI loaded without a MIDI file")
        self.assertNotIn("libcanberra", maps(process), "the theme bell loaded where X rings the bell")
        self.click(window, "Command3")
        self.assertEqual(self.wait_for_exit(process), 0)

    def test_power_off_asks_logind_once(self):
        with PrivateLogind() as logind:
            self.environment["DBUS_SYSTEM_BUS_ADDRESS"] = logind.address
            process = self.start()
            window = self.wait_for_window()
            self.click(window, "Option2")
            self.click(window, "Command1")
            self.assertTrue(wait_until(logind.power_off_calls))
            time.sleep(1.5)  # a tick later: still the one call
            self.assertEqual(logind.power_off_calls(), [False])
            self.click(window, "Command3")
            self.assertEqual(self.wait_for_exit(process), 0)

    def test_counting_keeps_the_machine_awake_until_stopped(self):
        with PrivateSessionBus() as session:
            session.serve("portal")
            self.environment["DBUS_SESSION_BUS_ADDRESS"] = session.address
            process = self.start()
            window = self.wait_for_window()
            self.assertEqual(session.inhibitions().asked, 0, "inhibited before any start")
            for count in (1, 2):
                self.type_into(window, "Text2", "1")
                self.click(window, "Command1")
                self.assertTrue(wait_until(lambda: session.inhibitions().asked == count), "no inhibition")
                self.assertEqual(session.inhibitions(), (count, count - 1, "portal", 4, "タイマー動作中"))
                if count == 1:
                    self.click(window, "Command2")
                    self.assertTrue(wait_until(lambda: session.inhibitions().released == 1), "held after stop")
            # On the way out, whatever ends the program.
            process.send_signal(signal.SIGTERM)
            self.assertEqual(self.wait_for_exit(process), 0)
            self.assertEqual(session.inhibitions().released, 2)

    def test_midi_plays_until_stopped_and_closing_silences_it(self):
        with PrivatePulse() as pulse:
            self.environment.update(pulse.client_environment)
            song = write_song(os.path.join(self.folder.name, "alarm song.mid"))
            self.accessible()
            process = self.start()
            window = self.wait_for_window()
            self.assertNotIn("fluidsynth", maps(process), "MIDI loaded at start-up")
            self.click(window, "Option3")
            self.choose_file(song)
            # The dialog's completer popup may linger a moment and eat the next click.
            self.assertTrue(wait_until(
                lambda: self.xdotool("search", "--onlyvisible", "--pid", str(process.pid)) == [window]))
            self.assertFalse("fluidsynth" in maps(process), "MIDI loaded when the file was chosen, long before its alarm")
            with pulse.recording() as recording:
                self.click(window, "Command1")  # both boxes hold 0: the first tick expires
                self.assertTrue(wait_until(lambda: loudness(recording, 0.5) > 1000), "no music")
                self.click(window, "Command2")
                self.assertTrue(wait_until(lambda: loudness(recording, 0.3) < 50), "the music went on")
                stopped = recording.position()
                self.click(window, "Command1")  # still the MIDI option: it plays again
                self.assertTrue(wait_until(lambda: loudness(recording, 0.5, stopped) > 1000),
                                "no music the second time")
                # Closing while it plays: the sound output is torn down on the way out.
                self.click(window, "Command3")
                self.assertEqual(self.wait_for_exit(process), 0)


class WaylandTest(Session):
    """Under a private headless weston, with and without Xwayland. Weston has no seat, so the
    window is driven the way assistive technology drives it."""

    def setUp(self):
        self.private_environment(None)
        self.environment.pop("DISPLAY")
        self.accessible()

    def join(self, weston):
        """The compositor's runtime folder becomes the program's, as in a desktop session."""
        self.addCleanup(weston.close)
        self.environment.update(weston.environment)

    def check_countdown_runs(self):
        window = self.atspi.application("Sorabune")
        self.assertIsNotNone(window, "Sorabune never reached assistive technology")
        self.atspi.find(window, "text").queryEditableText().setTextContents("1")
        self.atspi.find(window, "push button", "タイマースタート").queryAction().doAction(0)
        display = self.atspi.find(window, "label", lambda name: re.fullmatch(r"\d\d : \d\d : \d\d", name))
        first = wait_until(lambda: display.name if display.name != "00 : 00 : 00" else None)
        self.assertTrue(first, "the countdown did not start")
        self.assertTrue(wait_until(lambda: display.name not in (first, "00 : 00 : 00")), "the countdown stands still")

    def test_with_xwayland_runs_on_x_decorated_by_the_desktop(self):
        weston = PrivateWeston(xwayland=True)
        self.join(weston)
        process = self.start()
        window = self.wait_for_window()
        self.assertIn("libqxcb.so", maps(process))
        self.assertNotIn("libqwayland", maps(process))
        names = subprocess.run(["xprop", "-id", window, "WM_NAME", "_NET_WM_NAME", "_MOTIF_WM_HINTS"],
                               env=self.environment, capture_output=True, text=True, timeout=TIMEOUT).stdout
        self.assertIn('WM_NAME(STRING) = "Sorabune"', names)
        self.assertIn('_NET_WM_NAME(UTF8_STRING) = "Sorabune"', names)
        # flags, functions, decorations: no maximize (0x40) among the decorations asked for.
        hints = re.search(r"_MOTIF_WM_HINTS\(_MOTIF_WM_HINTS\) = (\w+), (\w+), (\w+)", names)
        self.assertTrue(hints, names)
        self.assertFalse(int(hints.group(3), 16) & 0x40, names)
        geometry = self.xdotool("getwindowgeometry", "--shell", window)
        self.assertIn("WIDTH=154", geometry)
        self.assertIn("HEIGHT=165", geometry)
        # The desktop's window manager took it into a frame of its own: an X window it
        # decorates, whole title and all, not a Wayland one drawing its own title bar.
        tree = subprocess.run(["xwininfo", "-id", window, "-tree"], env=self.environment,
                              capture_output=True, text=True, timeout=TIMEOUT).stdout
        self.assertNotIn("(the root window)", re.search(r"Parent window id: .*", tree).group(0))
        self.check_countdown_runs()
        process.terminate()
        self.assertEqual(self.wait_for_exit(process), 0)

    def test_wayland_only_native_window_and_no_display_left(self):
        weston = PrivateWeston(width=400, height=300)
        self.join(weston)
        # Qt's Wayland plugin brings Mesa's EGL driver, which leaks and is unloaded before
        # LeakSanitizer looks, nameless and so beyond a suppression; the other cases check leaks.
        self.environment["ASAN_OPTIONS"] = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))
        process = self.start()
        # Qt's own title bar adds 3 pixels left, right and below and 30 above.
        self.assertEqual(wait_until(lambda: (weston.drawn_box() or (0, 0, 0, 0))[2:] == (160, 198) or None),
                         True, "window drawn: %r" % (weston.drawn_box(),))
        self.assertIn("libqwayland", maps(process))
        self.check_countdown_runs()
        wayland_plugin = re.search(r"/\S+/platforms/libqwayland\S+\.so", maps(process)).group(0)
        process.terminate()
        self.assertEqual(self.wait_for_exit(process), 0)
        # A socket left behind by a compositor gone, and one gone with it, no X display.
        abandoned = socket.socket(socket.AF_UNIX)
        abandoned.bind(os.path.join(weston.runtime, "wayland-left"))
        abandoned.close()
        # Qt without its Wayland plugin: a copy of the program whose qt.conf shows Qt only the X one.
        copy = os.path.join(self.folder.name, "bin", "Sorabune")
        os.makedirs(os.path.join(self.folder.name, "plugins", "platforms"))
        os.symlink(os.path.join(os.path.dirname(wayland_plugin), "libqxcb.so"),
                   os.path.join(self.folder.name, "plugins", "platforms", "libqxcb.so"))
        os.mkdir(os.path.dirname(copy))
        shutil.copy(EXECUTABLE if os.path.isabs(EXECUTABLE) else shutil.which(EXECUTABLE), copy)
        with open(os.path.join(self.folder.name, "bin", "qt.conf"), "w", encoding="utf-8") as conf:
            conf.write("[Paths]\nPlugins=%s\n" % os.path.join(self.folder.name, "plugins"))
        for case, executable, name in (("socket left", EXECUTABLE, "wayland-left"),
                                       ("socket gone", EXECUTABLE, "wayland-gone"),
                                       ("no Wayland plugin", copy, self.environment["WAYLAND_DISPLAY"])):
            with self.subTest(case=case):
                gone = self.start(dict(self.environment, WAYLAND_DISPLAY=name), executable)
                self.assertEqual(self.wait_for_exit(gone), 1)
                message = self.errors(gone)
                self.assertEqual(len(message), 1, message)
                self.assertIn("display", message[0])


if __name__ == "__main__":
    unittest.main()
