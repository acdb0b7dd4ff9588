"""The stand-in UPS manager service runs under Wine's real SCM: registered,
started, seen RUNNING, stopped, with its moments logged and its event
report captured from the services' trace."""

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
            self.assertTrue(s.wait_state("Merlow", 4, 20000))
            self.assertEqual(0, s.stop_service("Merlow"))
            self.assertTrue(s.wait_state("Merlow", 1, 20000))

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


if __name__ == "__main__":
    unittest.main()
