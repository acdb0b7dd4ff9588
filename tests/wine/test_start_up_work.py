"""Edges of the companion's start-up work and stop under Wine, end to end
with the stand-in Merlow and real child programs: the wait times of
upsombx.conf (n > 0 ends after about n ms while the program still runs; 0
or a word does not wait), a program that cannot be started keeping its
table entry and reported by a warning, only the first top-level window of
a program getting WM_CLOSE, startup.bat run by the system's interpreter
(never by a cmd.exe beside merlowsp.exe), also when it is missing, and the
SHUTDOWN control.

Every moment is taken on one clock, the Unix milliseconds that the child
fixtures log; the lower bound of a wait is checked as the SCM sees it."""

import os
import shutil
import time
import unittest

import harness
from companion_case import CompanionCase
from harness.facts import EVENTLOG_WARNING_TYPE, NOT_STARTED_EVENT, moment, read_log

START_PENDING, RUNNING, STOPPED = 2, 4, 1
# A child that runs this long has certainly not ended when the start-up
# work is over: a wait that runs to its end would show as a start of 120 s.
LONG_RUN_MS = 120000
# "Well before the program ends": the companion must run within this much
# of the start request, however busy the machine.
RUNNING_DEADLINE_MS = 60000


def now_ms():
    return int(time.time() * 1000)


class StartUpWork(CompanionCase):
    session_name = "start_up_work"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        shutil.copy(harness.fixture_path("two_window_child.exe"), cls.folder)
        cls.cmd_spy = os.path.join(cls.folder, "cmd.exe")
        cls.cmd_spy_log = os.path.join(cls.folder, "cmd-spy.log")

    def setUp(self):
        super().setUp()
        self.s.set_dependencies("Merlow", ["MERLOWSP"])
        for path in (self.cmd_spy, self.cmd_spy_log):
            if os.path.exists(path):
                os.unlink(path)

    def tearDown(self):
        super().tearDown()
        s = self.s
        for image in ("console_child.exe", "two_window_child.exe"):
            s.run("taskkill", "/f", "/im", image)
        self.assertTrue(harness.wait_until(
            lambda: not set(s.processes()) & {"console_child.exe", "two_window_child.exe"}, 20),
            "children left behind")
        if os.path.exists(self.cmd_spy):
            os.unlink(self.cmd_spy)

    def configure(self, config, script="@echo off\r\n"):
        with open(os.path.join(self.folder, "upsombx.conf"), "wb") as f:
            f.write(config.replace("\n", "\r\n").encode("cp932"))
        path = os.path.join(self.folder, "startup.bat")
        if script is None:
            if os.path.exists(path):
                os.unlink(path)
        else:
            with open(path, "wb") as f:
                f.write(script.encode("cp932"))

    def start_companion(self):
        """Starts MERLOWSP and polls its state until RUNNING. Returns the
        moment of the start request, the moment RUNNING was seen and the
        latest moment at which a query that still found it START_PENDING
        was begun (None if none did), all in Unix ms. That last one is a
        true lower bound of the RUNNING report, which no delay of the
        harness can fake."""
        s = self.s
        asked = now_ms()
        self.assertEqual(0, s.start_service("MERLOWSP"))
        pending = None
        while True:
            queried = now_ms()
            state = s.service_state("MERLOWSP")
            if state == RUNNING:
                return asked, now_ms(), pending
            if state == START_PENDING:
                pending = queried
            self.assertLess(queried - asked, RUNNING_DEADLINE_MS,
                            "MERLOWSP did not run within %d ms" % RUNNING_DEADLINE_MS)

    def still_running(self, *names):
        """Each named console child has logged its start and not its end,
        and a console_child process of each is alive. Children the
        companion does not wait for reach their first line in any order."""
        for name in names:
            self.assertTrue(self.logged(name + " started"), (name, read_log(self.children_log)))
        log = read_log(self.children_log)
        for name in names:
            self.assertIsNone(moment(log, name + " exited"), (name, log))
        self.assertEqual(len(names), self.s.processes().count("console_child.exe"))

    def not_started_warnings(self):
        return [e for e in self.s.event_records() if e[1] == NOT_STARTED_EVENT]

    def logged(self, what, timeout=30):
        return harness.wait_until(lambda: moment(read_log(self.children_log), what), timeout)

    def test_a_a_positive_wait_ends_after_about_n_ms_while_the_program_runs(self):
        wait_ms = 6000
        self.configure("console_child.exe children.log long %d,%d\n" % (LONG_RUN_MS, wait_ms))
        asked, running, pending = self.start_companion()
        started = self.logged("long started")
        self.assertIsNotNone(started, read_log(self.children_log))
        print("wait %d ms: still starting %d ms and RUNNING %d ms after the start request, "
              "%d ms after the child logged"
              % (wait_ms, (pending or asked) - asked, running - asked, running - started))
        # Still starting at least half of n after the request (the child's
        # own start and the polls take part of the wait); RUNNING seen at
        # least n after the request and well after the child's own start.
        self.assertIsNotNone(pending)
        self.assertGreaterEqual(pending - asked, wait_ms // 2)
        self.assertGreaterEqual(running - asked, wait_ms)
        self.assertGreaterEqual(running - started, wait_ms // 2)
        # The wait is bounded by n: the companion runs while the child runs.
        self.assertLess(running - asked, RUNNING_DEADLINE_MS)
        self.still_running("long")

    def test_a_b_a_wait_of_zero_or_a_word_does_not_wait(self):
        self.configure("console_child.exe children.log zero %d,0\n"
                       "console_child.exe children.log word %d,abc\n"
                       "console_child.exe children.log blank %d, \n"
                       % (LONG_RUN_MS, LONG_RUN_MS, LONG_RUN_MS))
        asked, running, _ = self.start_companion()
        print("waits 0, abc and blank: RUNNING %d ms after the start request" % (running - asked))
        self.assertLess(running - asked, RUNNING_DEADLINE_MS)
        self.still_running("zero", "word", "blank")

    def test_b_a_program_that_cannot_be_started_keeps_its_entry(self):
        """Line 1 cannot be started and waits until its end (-1); line 2
        waits 6000 ms; line 3 not at all. Were the failed line's entry
        dropped, line 2 would be waited for until it ends (120 s), or line
        3 for 6000 ms while line 2 was not waited for at all."""
        wait_ms = 6000
        warned = self.not_started_warnings()
        self.configure("missing.exe -q,-1\n"
                       "console_child.exe children.log real %d,%d\n"
                       "console_child.exe children.log third %d\n"
                       % (LONG_RUN_MS, wait_ms, LONG_RUN_MS))
        asked, running, pending = self.start_companion()
        real_started = self.logged("real started")
        self.assertIsNotNone(real_started, read_log(self.children_log))
        print("after a failed start: RUNNING %d ms after the start request" % (running - asked))
        self.assertIsNotNone(pending)
        self.assertGreaterEqual(pending - asked, wait_ms // 2)
        self.assertGreaterEqual(running - asked, wait_ms)
        self.assertGreaterEqual(running - real_started, wait_ms // 2)
        self.assertLess(running - asked, RUNNING_DEADLINE_MS)
        self.still_running("real", "third")
        # One warning for it, before RUNNING: the program text as written
        # and ERROR_FILE_NOT_FOUND.
        self.assertEqual(warned + [(EVENTLOG_WARNING_TYPE, NOT_STARTED_EVENT, "MERLOWSP",
                                    ["MERLOWSP", "missing.exe -q", "2"])],
                         self.not_started_warnings())
        # The failed entry is skipped at the stop too: the stop ends both.
        self.assertEqual(0, self.s.stop_service("MERLOWSP"))
        self.assertTrue(self.s.wait_state("MERLOWSP", STOPPED, 20000))
        self.assertTrue(harness.wait_until(
            lambda: "console_child.exe" not in self.s.processes(), 20))

    def test_c_only_the_first_top_level_window_gets_wm_close(self):
        s = self.s
        self.configure("two_window_child.exe children.log pair\n")
        self.start_companion()
        first = self.logged("pair started")
        self.assertIsNotNone(first, read_log(self.children_log))
        line = [what for _, what in read_log(self.children_log) if what.startswith("pair started")][0]
        first_title = line.split("first=", 1)[1]
        self.assertIn(first_title, ("pair-1", "pair-2"), line)
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", STOPPED, 20000))
        self.assertTrue(s.wait_gone("merlowsp.exe"))
        self.assertTrue(harness.wait_until(
            lambda: "two_window_child.exe" not in s.processes(), 20), "the child was not ended")
        closed = [what for _, what in read_log(self.children_log) if what.endswith(" closed")]
        # One close request, to the window that comes first; the other
        # window kept the program alive until it was terminated.
        self.assertEqual([first_title + " closed"], closed)
        self.assertIsNone(moment(read_log(self.children_log), "pair exited"))

    def test_d_startup_bat_runs_in_the_system_interpreter_also_when_it_is_missing(self):
        s = self.s
        folder = s.winpath(self.folder).rstrip("\\")
        # A cmd.exe beside merlowsp.exe would be found first for a bare
        # "cmd.exe" (CreateProcessA looks in the program's folder first).
        shutil.copy(harness.fixture_path("cmd_spy.exe"), self.cmd_spy)
        # How startup.bat was named and where it runs, as it sees them. (Wine's
        # cmd leaves %CMDCMDLINE% empty; the whole line is the unit tests'.)
        command_line = os.path.join(self.folder, "cmdline.txt")
        self.configure("console_child.exe children.log prog %d\n" % LONG_RUN_MS,
                       script="@echo off\r\n>cmdline.txt echo %0 cwd=%CD%\r\n")
        self.start_companion()
        self.assertTrue(self.logged("prog started"))
        self.assertTrue(harness.wait_until(lambda: self.read_text(command_line), 30), "no cmdline.txt")
        self.assertEqual('"%s\\startup.bat" cwd=%s\r\n' % (folder, folder),
                         self.read_text(command_line))
        os.unlink(command_line)
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", STOPPED, 20000))
        self.assertTrue(s.wait_gone("merlowsp.exe"))
        self.assertTrue(harness.wait_until(lambda: "console_child.exe" not in s.processes(), 20))
        os.unlink(self.children_log)

        # The system's interpreter, which finds no startup.bat: the start goes on.
        self.configure("console_child.exe children.log prog %d\n" % LONG_RUN_MS, script=None)
        before = len(s.event_reports())
        self.start_companion()
        self.assertTrue(self.logged("prog started"))
        self.still_running("prog")
        self.assertTrue(harness.wait_until(
            lambda: (4, 0x40000007) in s.event_reports()[before:], 20), "no start event")
        self.assertFalse(os.path.exists(os.path.join(self.folder, "startup.bat")))
        # Both interpreters have ended (a missing file ends one at once),
        # and the one beside merlowsp.exe never ran.
        self.assertTrue(harness.wait_until(lambda: "cmd.exe" not in s.processes(), 30))
        self.assertFalse(os.path.exists(self.cmd_spy_log), read_log(self.cmd_spy_log))

    def read_text(self, path):
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read().decode("cp932")

    def test_e_the_shutdown_control_re_asserts_the_dependency_and_keeps_the_state(self):
        """Neither Wine nor Windows lets a process send SHUTDOWN (5), and the
        companion does not accept it (controls accepted: 3), so the SCM
        never sends it: the handler is driven directly by control_probe,
        which links the companion's real handler and SCM operations."""
        s = self.s
        self.configure("")
        self.start_companion()
        rc, _ = s.control_service("MERLOWSP", 5)
        self.assertNotEqual(0, rc, "the SCM passed SHUTDOWN on; this test could use it")
        # The running companion re-asserts the dependency at each minute:
        # stopped, it cannot be mistaken for the probe's handler.
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", 1, 60000))
        self.assertTrue(s.wait_gone("merlowsp.exe", 60))

        probe = harness.install_dependency_substitute(harness.fixture_path("control_probe.exe"),
                                                      os.path.join(self.folder, "probe"))
        for state in (RUNNING, 7):  # running and paused
            with self.subTest(state=state):
                s.set_dependencies("Merlow", ["Alpha"])
                result = s.run(probe, str(state), "5")
                self.assertEqual((0, b"%d\r\n" % state), (result.rc, result.stdout), result)
                self.assertEqual(["Alpha", "MERLOWSP"], s.dependencies("Merlow"))
                s.set_dependencies("Merlow", [])
                result = s.run(probe, str(state), "5")
                self.assertEqual((0, b"%d\r\n" % state), (result.rc, result.stdout), result)
                self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))
        # Only SHUTDOWN edits: INTERROGATE leaves the list as it is.
        s.set_dependencies("Merlow", ["Alpha"])
        result = s.run(probe, str(RUNNING), "4")
        self.assertEqual((0, b"4\r\n"), (result.rc, result.stdout), result)
        self.assertEqual(["Alpha"], s.dependencies("Merlow"))
        s.set_dependencies("Merlow", ["MERLOWSP"])


if __name__ == "__main__":
    unittest.main()
