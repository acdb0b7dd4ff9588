"""The companion's main work under Wine, end to end with the stand-in
Merlow and real child programs: start-up work before Merlow, the restart of
a Merlow that runs without the dependency, the re-assertion, and the stop.

Wine does not start dependencies, so a system start is played as the SCM
plays it on Windows: MERLOWSP first, RUNNING awaited, then Merlow."""

import os
import time
import unittest

from companion_case import CompanionCase
from harness.facts import SCHEDULE_EVENT, STARTED_EVENT, STOPPED_EVENT, moment, read_log, record


class Supervision(CompanionCase):
    session_name = "supervision"

    def configure(self, config, script="@echo off\r\nconsole_child.exe children.log script\r\n"):
        with open(os.path.join(self.folder, "upsombx.conf"), "w", newline="\r\n") as f:
            f.write(config)
        with open(os.path.join(self.folder, "startup.bat"), "w", newline="") as f:
            f.write(script)

    def test_a_dependency_in_place_start_up_work_comes_before_merlow(self):
        s = self.s
        self.configure("# children of the companion\n"
                       "__waitTimeMERLOW=1000\n"
                       "window_child.exe children.log win\n"
                       "console_child.exe children.log waiter 1500,5000\n"
                       "console_child.exe children.log forever\n")
        s.set_dependencies("Merlow", ["MERLOWSP"])
        watcher = s.watch_service("MERLOWSP", 300000)
        self.assertEqual(0, s.start_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", 4, 60000))
        self.assertEqual(0, s.start_service("Merlow"))
        self.assertTrue(s.wait_state("Merlow", 4, 60000))
        rows = s.watched(watcher)
        # Programs without a wait time (and the script's own child) are
        # started, not waited for: their first lines may come at any time.
        self.assertTrue(self.logged(["script started", "win started", "forever started"]))
        log = read_log(self.children_log)

        pending = [(ms, cp) for ms, state, cp, *_ in rows if state == 2 and cp > 0]
        running = [ms for ms, state, *_ in rows if state == 4]
        self.assertTrue(pending and running, rows)
        # START_PENDING with a growing checkpoint during the start-up work...
        self.assertEqual(sorted(cp for _, cp in pending), [cp for _, cp in pending])
        self.assertEqual(len(pending), len({cp for _, cp in pending}), pending)
        # ...which ends only when the child with a wait time has ended; then
        # RUNNING, and only then may the SCM start Merlow.
        waiter_exit = moment(log, "waiter exited")
        self.assertIsNotNone(waiter_exit, log)
        self.assertGreaterEqual(running[0], waiter_exit)
        merlow_start = moment(read_log(self.merlow_log), "start")
        self.assertGreater(merlow_start, waiter_exit)
        started_lines = [what for _, what in log if " started " in what and "waiter" in what]
        self.assertIn("show=0 cwd=" + s.winpath(self.folder).rstrip("\\"), started_lines[0])

        # The stop: dependency re-asserted, event, WM_CLOSE, termination.
        s.set_dependencies("Merlow", [])
        before = len(s.event_records())
        stop_asked = int(time.time() * 1000)
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", 1, 60000))
        self.assertGreaterEqual(int(time.time() * 1000) - stop_asked, 1000)  # the grace time
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))
        self.assertIn((4, STOPPED_EVENT, "MERLOWSP", ["MERLOWSP"]), s.event_records()[before:])
        log = read_log(self.children_log)
        self.assertIsNotNone(moment(log, "win closed"), log)
        self.assertIsNone(moment(log, "forever exited"))  # terminated, not ended
        # Only the startup script's own child is left: the companion leaves it alone.
        self.assertTrue(self.children_left(["console_child.exe"]), self.child_processes())

    def test_b_dependency_missing_merlow_is_restarted_behind_the_companion(self):
        s = self.s
        self.configure("__waitTimeMERLOW=1500\n"
                       "console_child.exe children.log quick 300,5000\n")
        s.set_dependencies("Merlow", [])
        self.assertEqual(0, s.start_service("Merlow"))
        self.assertTrue(s.wait_state("Merlow", 4, 60000))
        companion_start = int(time.time() * 1000)
        self.assertEqual(0, s.start_service("MERLOWSP", "2"))
        self.assertTrue(s.wait_state("MERLOWSP", 4, 60000))

        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            merlow = [what for _, what in read_log(self.merlow_log)]
            if merlow.count("running") == 2:
                break
            time.sleep(0.5)
        merlow = read_log(self.merlow_log)
        self.assertEqual(["start Merlow", "running", "stop-requested", "stopped", "start Merlow",
                          "running"], [what for _, what in merlow])
        self.assertGreaterEqual(merlow[2][0] - companion_start, 1500)
        children = read_log(self.children_log)
        quick = moment(children, "quick started")
        self.assertTrue(merlow[3][0] <= quick <= merlow[4][0], (merlow, children))
        self.assertLessEqual(moment(children, "quick exited"), merlow[4][0])
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))

        # Start parameter 2: a dependency removed from outside is back
        # within the period.
        s.set_dependencies("Merlow", ["Alpha"])
        self.assertTrue(s.wait_dependencies("Merlow", ["Alpha", "MERLOWSP"], 30))

    def test_c_stop_during_the_start_up_work_of_the_restart(self):
        s = self.s
        self.configure("__waitTimeMERLOW=0\n"
                       "window_child.exe children.log win\n"
                       "console_child.exe children.log blocker,-1\n")
        s.set_dependencies("Merlow", [])
        self.assertEqual(0, s.start_service("Merlow"))
        self.assertTrue(s.wait_state("Merlow", 4, 60000))
        self.assertEqual(0, s.start_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", 4, 60000))
        # The blocker logs once it runs; the run thread then waits on it
        # (it never ends), so the stop comes during the start-up work.
        self.assertTrue(self.logged(["blocker started", "win started"], 60),
                        "the start-up work never began")
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", 1, 60000))
        log = read_log(self.children_log)
        self.assertIsNotNone(moment(log, "win closed"), log)
        self.assertIsNone(moment(log, "blocker exited"), log)  # ended by the companion
        self.assertTrue(self.children_left(["console_child.exe"]), self.child_processes())
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))

    def test_d_the_schedule_is_corrected_at_the_start(self):
        s = self.s
        self.configure("")
        schedule = os.path.join(self.folder, "upstrm.dat")
        now = int(time.time())
        with open(schedule, "wb") as f:
            f.write((record(now - 600, "JST-9", 5, 1, 1, "107,60") + "\r\n").encode("cp932"))
        s.set_dependencies("Merlow", ["MERLOWSP"])
        before = len(s.event_reports())
        self.assertEqual(0, s.start_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", 4, 60000))
        with open(schedule, "rb") as f:
            lines = [line.split(";") for line in f.read().decode("cp932").splitlines()]
        os.unlink(schedule)
        self.assertEqual(2, len(lines), lines)
        self.assertEqual(["19"], [l[13] for l in lines if l[17] == "107,60"])  # done
        added = [l for l in lines if l[17] != "107,60"]
        self.assertTrue(added and added[0][17].startswith("107,"), lines)
        events = [e for _, e in s.event_reports()[before:]]
        self.assertLess(events.index(SCHEDULE_EVENT), events.index(STARTED_EVENT))


if __name__ == "__main__":
    unittest.main()
