#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Faults, hostile files, compressed time and load on the real Sorabune executable.

Builds on the end-to-end session of tests/e2e (private Xvfb, runtime folder, no bus, no
sound server unless a test starts private ones). Run one case from this folder:
    SORABUNE_EXE=build/rel/src/ui/Sorabune /usr/bin/python3 -m unittest -v sorabune_reliability.PlatformTest
The display is read by grabbing Label6 from the screen: while a countdown runs it changes
every second, so a changed grab is a tick that arrived.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "support"))

from private_logind import PrivateLogind  # noqa: E402
from midi_song import write_song  # noqa: E402
from private_pulse import PrivatePulse, loudness  # noqa: E402
from private_session_bus import PrivateSessionBus  # noqa: E402
from sorabune_e2e import EXECUTABLE, TIMEOUT, Session, wait_until  # noqa: E402

FAKETIME_LIBRARY = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
# The display's rectangle, in client pixels (the window places its controls in
# src/ui/form1.cpp); the window sits at 0,0.
DISPLAY_RECT = (72, 8, 73, 17)
# A running countdown must show a new second within this: far above a tick on a loaded
# machine under the sanitizers, far below the 9-10 s freezes of a hung sound server or bus.
TICK_LIMIT = 4.0
# The long run (scripts/test.sh --long) races more often and compresses time less.
LONG_RUN = os.environ.get("SORABUNE_LONG_RUN") == "1"


def write_bytes(path, data):
    with open(path, "wb") as file:
        file.write(data)


def sanitized(executable):
    """Whether the executable carries AddressSanitizer (which Valgrind cannot run)."""
    with open(shutil.which(executable) or executable, "rb") as binary:
        return b"__asan_init" in binary.read()


class Window(Session):
    """The session, plus reading the display and typing into the boxes."""

    def setUp(self):
        super().setUp()
        self.environment["TMPDIR"] = self.folder.name  # the lock's fallback folder stays private
        self.environment["ALSA_CONFIG_PATH"] = os.devnull  # FluidSynth's fallback finds no card

    def display(self):
        path = os.path.join(self.folder.name, "display.png")
        self.x.grab_png(*DISPLAY_RECT, path)
        with open(path, "rb") as grab:
            return grab.read()

    def assert_ticking(self):
        """A new second shows within TICK_LIMIT, twice over: the window is not frozen."""
        for _ in range(2):
            before = self.display()
            self.assertTrue(wait_until(lambda: self.display() != before, timeout=TICK_LIMIT, interval=0.02),
                            "no tick within %.1f s" % TICK_LIMIT)

    def count_again(self, window):
        """From idle: a one-minute countdown ticks, then stop. Proves the window still works."""
        self.type_into(window, "Text2", "1")
        self.click(window, "Command1")
        self.assert_ticking()
        self.click(window, "Command2")

    def own_windows(self, process):
        return self.xdotool("search", "--onlyvisible", "--pid", str(process.pid))

    def choose_midi(self, process, window, path, timeout=TIMEOUT):
        """In a copy started after accessible()."""
        self.click(window, "Option3")
        self.choose_file(path, timeout=timeout)
        # The dialog's last window (its completer's popup) may linger a moment and eat the next click.
        self.assertTrue(wait_until(lambda: self.own_windows(process) == [window], timeout=timeout))

    def start_with_song(self, pulse):
        """A copy that plays into `pulse`, with a song of organ chords chosen as its MIDI file."""
        self.environment.update(pulse.client_environment)
        song = write_song(os.path.join(self.folder.name, "alarm song.mid"))
        self.accessible()
        process = self.start()
        window = self.wait_for_window()
        self.choose_midi(process, window, song)
        return process, window, song

    def assert_alive(self, process):
        self.assertIsNone(process.poll(), "Sorabune ended: %s" % self.errors(process))


class MidiAtExpiryTest(Window):
    """The chosen file goes bad before the alarm: three beeps, no crash, the window goes on."""

    MUTATIONS = [
        ("deleted", lambda path: os.remove(path)),
        ("FIFO", lambda path: (os.remove(path), os.mkfifo(path))),
        ("directory", lambda path: (os.remove(path), os.mkdir(path))),
        ("0 bytes", lambda path: write_bytes(path, b"")),
        ("200 MB sparse", lambda path: os.truncate(path, 200 * 1024 * 1024)),
        ("random bytes", lambda path: write_bytes(path, os.urandom(64 * 1024))),
        ("truncated MIDI", lambda path: os.truncate(path, os.path.getsize(path) // 2)),
    ]

    def test_bad_files_at_expiry(self):
        with PrivatePulse() as pulse:
            self.x.watch_bells()
            process, window, song = self.start_with_song(pulse)
            with pulse.recording() as recording:
                # The good file first: music and no bells, so that the bells below come from the file.
                self.click(window, "Command1")
                self.assertTrue(wait_until(lambda: loudness(recording, 0.5) > 1000), "no music")
                self.click(window, "Command2")
                self.assertTrue(wait_until(lambda: loudness(recording, 0.3) < 50), "the music went on")
            self.x.pump(0.5)
            self.assertEqual(self.x.bells, 0)
            for name, mutate in self.MUTATIONS:
                with self.subTest(file=name):
                    if os.path.isdir(song):
                        os.rmdir(song)
                    elif os.path.lexists(song):
                        os.remove(song)
                    write_song(song)
                    self.type_into(window, "Text2", "1")
                    self.click(window, "Command1")
                    self.assert_ticking()
                    mutate(song)  # while the countdown runs, after the choice
                    self.click(window, "Command2")
                    bells = self.x.bells
                    self.click(window, "Command1")  # both boxes hold 0: the first tick expires
                    self.assertEqual(self.x.wait_for_bells(bells + 3, TIMEOUT), bells + 3)
                    self.x.pump(1.5)  # a tick later: still three
                    self.assertEqual(self.x.bells, bells + 3)
                    self.assert_alive(process)
                    self.click(window, "Command2")
                    self.count_again(window)
            self.click(window, "Command3")
            self.assertEqual(self.wait_for_exit(process), 0)


class PlatformTest(Window):
    def alarm_rings_bells(self, option, setup=None, bells_within=TIMEOUT):
        """Starts a copy, lets `option`'s alarm fire at once; three bells, the window goes on."""
        self.x.watch_bells()
        process = self.start()
        window = self.wait_for_window()
        if setup:
            setup(process, window)
        if option:  # None for the MIDI option: a click on it opens the file dialog again
            self.click(window, option)
        self.x.bells = 0
        self.click(window, "Command1")
        self.assertEqual(self.x.wait_for_bells(3, bells_within), 3,
                         "windows %s, stderr %s" % (self.own_windows(process),
                                                    self.errors(process)))
        self.x.pump(1.5)
        self.assertEqual(self.x.bells, 3)
        self.assert_alive(process)
        self.click(window, "Command2")  # the MIDI option stays ringing until stopped
        self.count_again(window)
        self.click(window, "Command3")
        self.assertEqual(self.wait_for_exit(process), 0)
        return process

    def test_no_sound_server_beeps(self):
        song = write_song(os.path.join(self.folder.name, "song.mid"))
        self.accessible()
        self.alarm_rings_bells(None, lambda process, window: self.choose_midi(process, window, song))

    def test_hung_logind_beeps(self):
        # Unanswered, the question of locks gives up at the default limit of 10 s, and nothing
        # more is asked of logind; the window goes on meanwhile.
        with PrivateLogind() as logind:
            logind.hang()
            self.environment["DBUS_SYSTEM_BUS_ADDRESS"] = logind.address
            self.alarm_rings_bells("Option2", bells_within=TIMEOUT + 15)
            self.assertEqual(logind.power_off_calls(), [])

    def test_hung_session_services_beep_on_time(self):
        # Staying awake is asked of services that never answer: the alarm does not wait for them,
        # and the window ticks on.
        with PrivateSessionBus() as session:
            for service in ("portal", "gnome"):
                session.serve(service)
            session.hang()
            self.environment["DBUS_SESSION_BUS_ADDRESS"] = session.address
            self.alarm_rings_bells("Option1", bells_within=TICK_LIMIT)

    def test_unfit_runtime_folder_still_one_copy(self):
        not_a_folder = os.path.join(self.folder.name, "a file")
        open(not_a_folder, "w").close()
        others = os.path.join(self.folder.name, "someone else's")
        os.mkdir(others, 0o777)
        cases = [("unset", None), ("missing", os.path.join(self.folder.name, "gone")), ("a file", not_a_folder)]
        if os.geteuid() == 0:  # root writes anywhere: a folder of another user stands in for read-only
            os.chown(others, 65534, 65534)
            cases.append(("another user's", others))
        else:
            os.chmod(others, 0o500)
            cases.append(("read-only", others))
        for name, runtime in cases:
            with self.subTest(runtime=name):
                environment = dict(self.environment)
                environment.pop("XDG_RUNTIME_DIR")
                if runtime:
                    environment["XDG_RUNTIME_DIR"] = runtime
                first = self.start(environment)
                window = self.wait_for_window()
                second = self.start(environment)
                self.assertEqual(self.wait_for_exit(second), 0)
                self.assertEqual(self.windows(), [window])
                self.assertEqual(os.listdir(others), [])
                self.click(window, "Command3")
                self.assertEqual(self.wait_for_exit(first), 0)


class LoadTest(Window):
    TRIALS = 50 if LONG_RUN else 10

    def test_twenty_copies_leave_one_window_every_time(self):
        for trial in range(self.TRIALS):
            with self.subTest(trial=trial):
                copies = [self.start() for _ in range(20)]
                self.assertTrue(wait_until(lambda: sum(c.poll() is not None for c in copies) == 19, timeout=90),
                                "copies still running: %d" % sum(c.poll() is None for c in copies))
                self.assertEqual([c.returncode for c in copies if c.poll() is not None], [0] * 19)
                window = self.wait_for_window()
                self.assertEqual(self.windows(), [window])
                survivor = next(c for c in copies if c.poll() is None)
                self.click(window, "Command3")
                self.assertEqual(self.wait_for_exit(survivor), 0)
                self.assertTrue(wait_until(lambda: not self.windows()))


class ClosingCycle(Window):
    """One closing for ExitUnderLoadTest, which runs many at once, each in a process of its own:
    music, stop, start again and close at once, as the end-to-end music case did when it failed."""

    def test_cycle(self):
        with PrivatePulse() as pulse:
            process, window, _ = self.start_with_song(pulse)
            with pulse.recording() as recording:
                self.click(window, "Command1")
                self.assertTrue(wait_until(lambda: loudness(recording, 0.5) > 1000), "no music")
            self.click(window, "Command2")
            self.click(window, "Command1")
            self.click(window, "Command3")
            self.assertEqual(self.wait_for_exit(process), 0)


class ExitUnderLoadTest(unittest.TestCase):
    """The long run: closings at once, with every processor kept busy beside them. In the
    sanitizer build, one in a few hundred ended with status 1 here: LeakSanitizer, checking at
    exit, caught the D-Bus thread of Qt's accessibility bridge half way through ending."""

    ROUNDS, COPIES = 100, 4
    CASE = "sorabune_reliability.ClosingCycle.test_cycle"

    def test_closings_end_with_status_0(self):
        for _ in range(os.cpu_count() or 1):
            busy = subprocess.Popen(["/usr/bin/python3", "-c", "while True: pass"])
            self.addCleanup(busy.wait)
            self.addCleanup(busy.kill)
        logs = tempfile.TemporaryDirectory(prefix="sorabune-load-")
        self.addCleanup(logs.cleanup)
        for trial in range(self.ROUNDS):
            copies = []
            for number in range(self.COPIES):
                # Into a file, not a pipe: a copy's child that outlives it would hold a pipe open.
                with open(os.path.join(logs.name, "%d-%d" % (trial, number)), "w") as log:
                    copies.append((subprocess.Popen(["/usr/bin/python3", "-m", "unittest", self.CASE], cwd=HERE,
                                                    stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT),
                                   log.name))
            for copy, log in copies:
                copy.wait()  # the case keeps to its own time limits
                with self.subTest(trial=trial), open(log, errors="replace") as output:
                    self.assertEqual(copy.returncode, 0, output.read())


class TimeTest(Window):
    """Compressed time: libfaketime's speed factor runs every clock, Qt's timers included, faster."""

    def faked(self, **variables):
        # AddressSanitizer insists on coming first among the libraries; libfaketime goes before it.
        options = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
        return dict(self.environment, LD_PRELOAD=FAKETIME_LIBRARY, ASAN_OPTIONS=options, **variables)

    def countdown_ends_after(self, environment, hours, minutes, speed):
        """Starts the countdown; the real seconds until the three bells, times `speed`."""
        self.x.watch_bells()
        process = self.start(environment)
        window = self.wait_for_window()
        self.type_into(window, "Text1", str(hours))
        self.type_into(window, "Text2", str(minutes))
        self.click(window, "Command1")
        started = time.monotonic()
        total = (hours * 60 + minutes) * 60
        self.assertEqual(self.x.wait_for_bells(3, total / speed * 2 + TIMEOUT), 3, "the alarm never fired")
        elapsed = (time.monotonic() - started) * speed
        sys.stderr.write("\nfired once after %.0f s of %d s (x%d)\n" % (elapsed, total, speed))
        self.x.pump(2.0)
        self.assertEqual(self.x.bells, 3, "the alarm fired more than once")
        self.assert_alive(process)
        self.click(window, "Command3")
        self.assertEqual(self.wait_for_exit(process), 0)
        return elapsed

    def test_across_midnight(self):
        # 23:58:30 to 00:01:30; a count by the time of day would end at once or never.
        elapsed = self.countdown_ends_after(self.faked(FAKETIME="@2026-03-27 23:58:30 x10", TZ="UTC"), 0, 3, 10)
        self.assertGreater(elapsed, 180 - 20)
        self.assertLess(elapsed, 180 + 60)

    def test_across_daylight_saving(self):
        # 01:30 CET plus two hours is 04:30 CEST: a count by the local time would end an hour early.
        berlin = self.faked(FAKETIME="@2026-03-29 01:30:00 x120", TZ="Europe/Berlin")
        elapsed = self.countdown_ends_after(berlin, 2, 0, 120)
        self.assertGreater(elapsed, 7200 - 600)
        self.assertLess(elapsed, 7200 + 1800)

    def test_wall_clock_step_changes_nothing(self):
        # The wall clock alone moves (DONT_FAKE_MONOTONIC keeps CLOCK_MONOTONIC and CLOCK_BOOTTIME real);
        # the step is read from a file on every call.
        step = os.path.join(self.folder.name, "faketime")
        with open(step, "w") as offset:
            offset.write("+0\n")
        environment = self.faked(FAKETIME_TIMESTAMP_FILE=step, FAKETIME_NO_CACHE="1", DONT_FAKE_MONOTONIC="1")
        self.assert_step_moves_only_the_wall_clock(environment, step)
        with open(step, "w") as offset:
            offset.write("+0\n")
        self.x.watch_bells()
        process = self.start(environment)
        window = self.wait_for_window()
        self.type_into(window, "Text2", "1")
        self.click(window, "Command1")
        started = time.monotonic()
        self.assert_ticking()
        for offset_text in ("+1h\n", "-2h\n"):  # forward an hour, then back past the start
            with open(step, "w") as offset:
                offset.write(offset_text)
            self.assert_ticking()
        self.assertEqual(self.x.wait_for_bells(3, 60 + TIMEOUT * 2), 3, "the alarm never fired")
        elapsed = time.monotonic() - started
        self.assertGreater(elapsed, 58)
        self.assertLess(elapsed, 60 + TIMEOUT)
        self.x.pump(2.0)
        self.assertEqual(self.x.bells, 3)
        self.click(window, "Command3")
        self.assertEqual(self.wait_for_exit(process), 0)

    def assert_step_moves_only_the_wall_clock(self, environment, step):
        """The premise: under this environment a step moves CLOCK_REALTIME and not CLOCK_BOOTTIME."""
        probe = ("import time\n"
                 "before = time.clock_gettime(time.CLOCK_REALTIME), time.clock_gettime(time.CLOCK_BOOTTIME)\n"
                 "open(%r, 'w').write('+1h\\n')\n"
                 "after = time.clock_gettime(time.CLOCK_REALTIME), time.clock_gettime(time.CLOCK_BOOTTIME)\n"
                 "print(round(after[0] - before[0]), round(after[1] - before[1]))\n" % step)
        result = subprocess.run(["/usr/bin/python3", "-c", probe], env=environment, capture_output=True, text=True,
                                timeout=TIMEOUT)
        self.assertEqual(result.stdout.split(), ["3600", "0"], result.stderr)


class ValgrindTest(Window):
    """One full alarm cycle of each kind under memcheck: no invalid access, no uninitialised use."""

    def setUp(self):
        self.assertFalse(sanitized(EXECUTABLE), "an AddressSanitizer build does not run under Valgrind")
        super().setUp()

    def start_under_valgrind(self):
        log = os.path.join(self.folder.name, "memcheck.log")
        # PCRE2's JIT (the file dialog's filter) writes code memcheck cannot follow.
        self.environment["QT_ENABLE_REGEXP_JIT"] = "0"
        process = subprocess.Popen(
            ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=no", "--track-origins=no",
             "--suppressions=" + os.path.join(HERE, "valgrind.supp"), "--log-file=" + log, EXECUTABLE],
            env=self.environment, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        process.log = log
        self.processes.append(process)
        return process

    def run_cycle(self, option, heard, setup=None):
        self.x.watch_bells()
        process = self.start_under_valgrind()
        self.assertTrue(wait_until(self.windows, timeout=180), "no window under Valgrind")
        window = self.windows()[0]
        if setup:
            setup(process, window)
        if option:
            self.click(window, option)
        for _ in range(3):
            bells = self.x.bells
            self.click(window, "Command1")
            self.assertTrue(wait_until(lambda: heard() or self.x.wait_for_bells(bells + 3, 0.2) > bells, timeout=120),
                            "the alarm did not go off under Valgrind")
            self.click(window, "Command2")
            if heard():
                break
            # Under Valgrind the sound output may start after its time limit, and the beeps
            # ring instead; it keeps starting meanwhile, so the next alarm finds it ready.
            self.assertTrue(wait_until(lambda: self.x.wait_for_bells(bells + 3, 0.2) == bells + 3, timeout=60))
        self.assertTrue(heard(), "the alarm never went off as chosen under Valgrind")
        self.click(window, "Command3")
        try:
            status = process.wait(timeout=180)
        except subprocess.TimeoutExpired:
            self.fail("Sorabune did not end under Valgrind")
        with open(process.log, errors="replace") as log:
            report = log.read()
        self.assertEqual(status, 0, report[-4000:])
        self.assertIn("ERROR SUMMARY: 0 errors", report)

    def test_beep_cycle(self):
        self.run_cycle("Option1", lambda: self.x.bells >= 3)

    def test_power_off_cycle(self):
        with PrivateLogind() as logind:
            self.environment["DBUS_SYSTEM_BUS_ADDRESS"] = logind.address
            self.run_cycle("Option2", logind.power_off_calls)

    def test_midi_cycle(self):
        with PrivatePulse() as pulse:
            self.environment.update(pulse.client_environment)
            song = write_song(os.path.join(self.folder.name, "song.mid"))
            self.accessible()
            with pulse.recording() as recording:
                self.run_cycle(None, lambda: loudness(recording, 2.0) > 1000,
                               lambda process, window: self.choose_midi(process, window, song, timeout=120))


if __name__ == "__main__":
    unittest.main()
