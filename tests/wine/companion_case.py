"""The base of the companion's tests: one session per class with the
stand-in Merlow in its folder, the child fixtures beside it and the
companion registered there."""

import os
import shutil
import time
import unittest

import harness
from harness.facts import moment, read_log


class CompanionCase(unittest.TestCase):
    """One session per class: the stand-in Merlow in its folder, the child
    fixtures beside it and the companion registered there."""

    session_name = "companion"

    @classmethod
    def setUpClass(cls):
        cls.s = s = harness.Session(cls.session_name)
        s.start()
        cls.folder = folder = s.lay_out_product()
        for child in ("window_child.exe", "console_child.exe"):
            shutil.copy(harness.fixture_path(child), folder)
        cls.exe = s.install_companion(folder)
        s.own_service("MERLOWSP")
        assert s.run(cls.exe, "setup").rc == 0
        cls.children_log = os.path.join(folder, "children.log")
        cls.merlow_log = os.path.join(folder, "merlow-stub.log")

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def setUp(self):
        for log in (self.children_log, self.merlow_log):
            if os.path.exists(log):
                os.unlink(log)

    def tearDown(self):
        s = self.s
        for name in ("MERLOWSP", "Merlow"):
            s.stop_until_stopped(name)
        s.wait_gone("merlowsp.exe")
        # The startup script's child is left alone by the companion; end it here.
        s.end_windows_processes("console_child.exe", "window_child.exe")

    def child_processes(self):
        return [p for p in self.s.processes() if p in ("console_child.exe", "window_child.exe")]

    def children_left(self, expected, timeout=30):
        """Waits until exactly these child programs run (a terminated process
        leaves the process list a moment after TerminateProcess returns)."""
        deadline = time.monotonic() + timeout
        while sorted(self.child_processes()) != sorted(expected):
            if time.monotonic() > deadline:
                return False
            time.sleep(0.2)
        return True

    def logged(self, whats, timeout=30):
        """Waits until the children's log holds a line starting with what
        (or with each of a list of them)."""
        whats = [whats] if isinstance(whats, str) else whats
        deadline = time.monotonic() + timeout
        while any(moment(read_log(self.children_log), what) is None for what in whats):
            if time.monotonic() > deadline:
                return False
            time.sleep(0.2)
        return True
