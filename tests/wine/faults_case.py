"""The base of the fault tests (test_faults.py): a file held open by
another Windows process, and the companion's folder, start and events."""

import os
import subprocess

import harness
from companion_case import CompanionCase
from harness.facts import SCHEDULE_EVENT, STARTED_EVENT, STOPPED_EVENT

RUNNING, STOPPED = 4, 1


def hold(session, path, mode):
    """A Windows process keeping path open ("none": no sharing at all;
    "read": read and write sharing, no delete) until release() is called."""
    proc = session.spawn(["wine", harness.fixture_path("harness_tool.exe"), "hold",
                          session.winpath(path), mode],
                         stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    line = proc.stdout.readline()
    assert line == b"held\n", line

    def release():
        proc.stdin.close()
        proc.wait(30)
    return release


class CompanionFaultsCase(CompanionCase):
    """The companion's folder, its start as the SCM plays it, and its events."""

    def setUp(self):
        super().setUp()
        self.merlow_ini = self.path("merlow-stub.ini")
        for name in ("merlow-stub.ini", "upstrm.dat"):
            if os.path.exists(self.path(name)):
                os.unlink(self.path(name))

    def tearDown(self):
        if os.path.exists(self.merlow_ini):
            os.unlink(self.merlow_ini)  # lifts a refusal to stop
        super().tearDown()

    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def configure(self, config):
        self.write("upsombx.conf", config.replace("\n", "\r\n").encode("cp932"))
        self.write("startup.bat", b"@echo off\r\nconsole_child.exe children.log script 100\r\n")

    def boot(self, merlow=True):
        """A system start as the SCM plays it: MERLOWSP, then Merlow.
        Returns the events reported from here on, as a callable."""
        s = self.s
        before = len(s.event_records())
        self.assertEqual(0, s.start_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", RUNNING, 60000), "MERLOWSP is not running")
        if merlow:
            self.assertEqual(0, s.start_service("Merlow"))
            self.assertTrue(s.wait_state("Merlow", RUNNING, 60000))
        return lambda: self.companion_events(before)

    def companion_events(self, before):
        """Event ids the companion reported (the stand-in reports its own),
        each checked for its source and its one insertion string."""
        ours = [record for record in self.s.event_records()[before:]
                if record[1] in (STARTED_EVENT, STOPPED_EVENT, SCHEDULE_EVENT)]
        for record in ours:
            self.assertEqual(("MERLOWSP", ["MERLOWSP"]), record[2:], record)
        return [record[1] for record in ours]

    def stop_companion(self):
        s = self.s
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", STOPPED, 60000), "MERLOWSP did not stop")
        self.assertTrue(s.wait_gone("merlowsp.exe"))
