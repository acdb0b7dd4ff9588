"""Tests of the test machinery itself. The stand-in UPS manager service
runs under Wine's real SCM: registered, started, seen RUNNING, stopped,
with its moments logged and its event report captured from the services'
trace; the stand-ins carry their build-time versions; and the dependency
substitute shows the real list where Wine's SCM hides it."""

import os
import shutil
import time
import unittest

import harness


def read_log(path):
    with open(path) as f:
        return [(int(ms), what) for ms, what in (line.rstrip("\r\n").split(" ", 1) for line in f)]


class StandInService(unittest.TestCase):
    def test_start_and_stop_through_the_scm(self):
        with harness.Session("service_stub") as s:
            folder = s.drive_c("Ombrix", "Merlow")
            os.makedirs(folder)
            shutil.copy(harness.fixture_path("merlow-5.0.0.0/merlow.exe"), folder)
            with open(os.path.join(folder, "merlow-stub.ini"), "w") as ini:
                ini.write("[stub]\r\nStartDelay=800\r\nStopDelay=400\r\n")
            s.create_service("Merlow", s.winpath(os.path.join(folder, "merlow.exe")), start_type=3)
            self.assertEqual(1, s.service_state("Merlow"))

            before = int(time.time() * 1000)
            self.assertEqual(0, s.start_service("Merlow"))
            self.assertTrue(s.wait_state("Merlow", 4, 60000))
            self.assertEqual(0, s.stop_service("Merlow"))
            self.assertTrue(s.wait_state("Merlow", 1, 60000))

            log = read_log(os.path.join(folder, "merlow-stub.log"))
            self.assertEqual(["start Merlow", "running", "stop-requested", "stopped"],
                             [what for _, what in log])
            times = [ms for ms, _ in log]
            self.assertEqual(sorted(times), times)
            self.assertGreaterEqual(times[0], before - 1000)
            self.assertGreaterEqual(times[1] - times[0], 800)
            self.assertGreaterEqual(times[3] - times[2], 400)
            self.assertIn((4, 1), s.event_reports())
        self.assertFalse(os.path.exists(s.prefix))


class WineQuirks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = harness.Session("wine_quirks")
        cls.s.start()

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def test_stand_in_services_carry_their_build_time_versions(self):
        for version in ("4.99.0.0", "5.0.0.0", "6.1.0.0"):
            stub = harness.fixture_path(os.path.join("merlow-" + version, "merlow.exe"))
            out = self.s.tool("version", stub).stdout.decode()
            self.assertIn("file=%s\n" % version, out)

    def test_dependency_substitute_shows_the_list_that_wine_hides(self):
        s = self.s
        s.create_service("DepProbe", s.winpath(harness.fixture_path("console_child.exe")))
        s.set_dependencies("DepProbe", ["Alpha", "MERLOWSP"])
        self.assertEqual(["Alpha", "MERLOWSP"], s.dependencies("DepProbe"))
        plain = s.run(harness.fixture_path("deplist.exe"), "DepProbe")
        # Wine's gap, kept visible: if it ever closes, the substitute can go.
        self.assertEqual(b"display=DepProbe\r\n", plain.stdout)
        probe = harness.install_dependency_substitute(harness.fixture_path("deplist.exe"),
                                                      s.drive_c("deplist"))
        substituted = s.run(probe, "DepProbe")
        self.assertEqual((0, b"Alpha\r\nMERLOWSP\r\ndisplay=DepProbe\r\n"),
                         (substituted.rc, substituted.stdout))
        s.set_dependencies("DepProbe", [])
        self.assertEqual(b"display=DepProbe\r\n", s.run(probe, "DepProbe").stdout)


if __name__ == "__main__":
    unittest.main()
