"""A stop of the companion as the SCM, `net stop` and the uninstall script
see it, in the path where the dependency was missing at its start (the
status pump still runs then): STOPPED only once Stop has done its work, and
Merlow never left stopped behind it."""

import os
import time
import unittest

import harness
from companion_case import CompanionCase
from harness.facts import STOPPED_EVENT, read_log

STOPPED, STOP_PENDING, RUNNING = 1, 3, 4


class Stops(CompanionCase):
    session_name = "stops"

    def setUp(self):
        super().setUp()
        self.merlow_ini = os.path.join(self.folder, "merlow-stub.ini")

    def tearDown(self):
        if os.path.exists(self.merlow_ini):
            os.unlink(self.merlow_ini)
        super().tearDown()

    def configure(self, config):
        with open(os.path.join(self.folder, "upsombx.conf"), "w", newline="\r\n") as f:
            f.write(config)
        with open(os.path.join(self.folder, "startup.bat"), "w", newline="") as f:
            f.write("@echo off\r\n")

    def merlow_events(self):
        return [what for _, what in read_log(self.merlow_log)]

    def wait_merlow_log(self, what, count=1, timeout=60):
        deadline = time.monotonic() + timeout
        while self.merlow_events().count(what) < count:
            self.assertLess(time.monotonic(), deadline, (what, self.merlow_events()))
            time.sleep(0.1)

    def start_with_the_dependency_missing(self):
        s = self.s
        s.set_dependencies("Merlow", [])
        self.assertEqual(0, s.start_service("Merlow"))
        self.assertTrue(s.wait_state("Merlow", RUNNING, 30000))
        self.assertEqual(0, s.start_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", RUNNING, 30000))

    def test_stopped_is_reported_only_after_stop_has_done_its_work(self):
        """Stop re-asserts the dependency, reports its event and gives the
        programs a second before it ends them; none of it may come after
        the SCM (and so the uninstall script) sees STOPPED."""
        s = self.s
        self.configure("__waitTimeMERLOW=0\nconsole_child.exe children.log forever\n")
        self.start_with_the_dependency_missing()
        self.wait_merlow_log("running", 2)  # restarted behind the companion
        s.set_dependencies("Merlow", [])
        before = len(s.event_reports())

        watcher = s.watch_service("MERLOWSP", 20000)
        self.assertTrue(watcher.stdout.readline())  # watching: the pump's checkpoints
        stop_asked = int(time.time() * 1000)
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", STOPPED, 20000))
        rows = s.watched(watcher)
        states = [state for _, state, *_ in rows]
        self.assertIn(STOPPED, states, rows)
        first_stopped = states.index(STOPPED)
        # Nothing but STOPPED once it was seen, and not before the grace
        # time that Stop gives the programs has passed.
        self.assertEqual([STOPPED] * (len(states) - first_stopped), states[first_stopped:], rows)
        self.assertGreaterEqual(rows[first_stopped][0] - stop_asked, 1000, rows)
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))
        self.assertIn((4, STOPPED_EVENT), s.event_reports()[before:])
        self.assertTrue(s.wait_gone("merlowsp.exe"))
        self.assertEqual([], self.child_processes())

    def test_a_stop_while_merlow_is_stopping_leaves_it_running(self):
        """The stop comes while the companion waits for Merlow to stop: it
        starts Merlow again only once Merlow has stopped, and the companion
        reports STOPPED only once that start has been made."""
        s = self.s
        with open(self.merlow_ini, "w") as f:
            f.write("[stub]\r\nStopDelay=5000\r\n")
        self.configure("__waitTimeMERLOW=0\n")
        self.start_with_the_dependency_missing()
        self.wait_merlow_log("stop-requested")
        stop_asked = time.monotonic()
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", STOPPED, 30000))
        self.assertEqual(RUNNING, s.service_state("Merlow"), self.merlow_events())
        self.assertLess(time.monotonic() - stop_asked, 25)  # within the SCM's 30 s
        merlow = read_log(self.merlow_log)
        self.assertEqual(["start Merlow", "running", "stop-requested", "stopped", "start Merlow",
                          "running"], [what for _, what in merlow])
        self.assertTrue(s.wait_gone("merlowsp.exe"))
        self.assertEqual(RUNNING, s.service_state("Merlow"))
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))



class FailedCreations(CompanionCase):
    """Resources that run out inside the companion, provoked by a test-only
    KERNEL32 in its process (the shipped bytes but the import name)."""

    session_name = "failed_creations"

    def setUp(self):
        super().setUp()
        self.addCleanup(self.s.run, "taskkill", "/f", "/im", "window_child.exe")

    def use_kernel32(self, proxy):
        self.addCleanup(self.s.install_companion, self.folder)
        harness.install_with_proxy(self.exe, self.folder, "kernel32.dll", proxy)

    def configure(self, config):
        Stops.configure(self, config)

    def test_a_run_thread_that_cannot_be_made_ends_the_service(self):
        """Reported RUNNING without it, the companion would never report
        its start nor keep the dependency: it ends, with what Init started
        closed."""
        s = self.s
        self.configure("console_child.exe children.log forever\n")
        s.set_dependencies("Merlow", ["MERLOWSP"])
        self.use_kernel32("thrdfail.dll")
        self.assertEqual(0, s.start_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", STOPPED, 30000), s.service_state("MERLOWSP"))
        self.assertTrue(s.wait_gone("merlowsp.exe"))
        self.assertIn("forever started", [w.split(" show=")[0] for _, w in read_log(self.children_log)])
        self.assertEqual([], self.child_processes())
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))

    def test_without_its_events_a_stop_closes_nothing_the_run_thread_waits_on(self):
        """The stop comes while the restart's start-up work waits for a
        program without end: with no event to end or see the end of that
        wait, its programs are left as they are."""
        s = self.s
        self.configure("__waitTimeMERLOW=0\n"
                       "window_child.exe children.log win\n"
                       "console_child.exe children.log blocker,-1\n")
        self.use_kernel32("evntfail.dll")
        Stops.start_with_the_dependency_missing(self)
        deadline = time.monotonic() + 60
        while not any(w.startswith("blocker started") for _, w in read_log(self.children_log)):
            self.assertLess(time.monotonic(), deadline, "the start-up work never began")
            time.sleep(0.2)
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", STOPPED, 30000))
        self.assertTrue(s.wait_gone("merlowsp.exe"))
        log = [w for _, w in read_log(self.children_log)]
        self.assertNotIn("win closed", log)
        self.assertEqual(["console_child.exe", "window_child.exe"], sorted(self.child_processes()))


if __name__ == "__main__":
    unittest.main()
