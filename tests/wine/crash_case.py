"""The base of the crash tests (test_crash.py): the kill points, the
probe's figures, and the companion's crash case: its schedule, the
corrections a start makes, and the calibration of its start."""

import os
import re
import sys
import time
import unittest

import harness
from harness.facts import new_entry, record

ZONE = "JST-9"  # the session's
RECORDS = 100000
PAST, BASIS_MINUTES = 60000, 1440
POINTS = [int(n) for n in os.environ.get("MERLOWSP_CRASH_POINTS", "3,3").split(",")]
FIELD = re.compile(rb"^(pid|found|appeared|vanished|seen\d|killed|exited|missed|reported|running) (\d+)$")


def probe_output(result):
    """The probe's "key value" lines; the programs it starts share its
    stdout (the installer's "setup" and "net start" print there too)."""
    out = {}
    for line in result.stdout.splitlines():
        m = FIELD.match(line.strip())
        if m:
            out[m.group(1).decode()] = int(m.group(2))
    return out


def spread(count, begin, end):
    """count delays in ms, evenly over [begin, end)."""
    return [int(begin + (end - begin) * i / count) for i in range(count)]


def report(title, figures):
    sys.stderr.write("\n%s: %s\n" % (title, ", ".join("%s %s" % kv for kv in figures.items())))


class CompanionCrashCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = s = harness.Session("crash_companion")
        s.start()
        cls.folder = folder = s.lay_out_product()
        cls.exe = s.install_companion(folder)
        s.own_service("MERLOWSP")
        assert s.run(cls.exe, "setup").rc == 0
        s.set_dependencies("Merlow", ["MERLOWSP"])
        cls.schedule = os.path.join(folder, "upstrm.dat")
        cls.fresh = cls.schedule + ".new"
        cls.lay_out_schedule()

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    @classmethod
    def lay_out_schedule(cls):
        """Done and closed entries over the past 40 days, the basis (an open
        kind-1 107 entry of a day that began 10 minutes ago), entries from
        two days on: the new entry always follows the basis."""
        now = int(time.time())
        actions = (("107,60", 1, 19), ("107,30", 4, 1), ("200,UPS", 0, 1), ("107,90", 8, 19))
        lines = []
        for i in range(PAST):
            action, kind, state = actions[i % 4]
            lines.append(record(now - 40 * 86400 + i * 50, ZONE, i + 1, kind, state, action))
        cls.basis_start = now - 600
        lines.append(record(cls.basis_start, ZONE, PAST + 1, 1, 1, "107,%d" % BASIS_MINUTES))
        for i in range(RECORDS - PAST - 1):
            kind, state, action = (0, 1, "200") if i % 2 else (1, 1, "107,60")
            lines.append(record(now + 2 * 86400 + i * 60, ZONE, PAST + 2 + i, kind, state, action))
        encoded = [(line + "\r\n").encode("cp932") for line in lines]
        cls.head = b"".join(encoded[:PAST])
        cls.tail = b"".join(encoded[PAST + 1:])
        cls.basis_open = encoded[PAST]
        cls.basis_done = (record(cls.basis_start, ZONE, PAST + 1, 1, 19, "107,%d" % BASIS_MINUTES)
                          + "\r\n").encode("cp932")
        cls.original = cls.head + cls.basis_open + cls.tail

    # -- what the correction must give ----------------------------------------
    def entry(self, t, start, minutes, serial, state=1):
        length = minutes - (t - start) // 60
        line = new_entry(t, ZONE, serial, serial, 1 if length < 0 else length)
        if state != 1:
            line = line.replace(";33;1;", ";33;%d;" % state)
        return (line + "\r\n").encode("cp932"), (1 if length < 0 else length)

    def corrected(self, t):
        """The original corrected at time t: the basis done, the new entry after it."""
        entry, _ = self.entry(t, self.basis_start, BASIS_MINUTES, RECORDS + 1)
        return self.head + self.basis_done + entry + self.tail

    def corrected_twice(self, t, t2):
        """corrected(t) corrected again at t2: the entry of t is the basis then."""
        if t2 <= t:
            return self.corrected(t)
        _, minutes = self.entry(t, self.basis_start, BASIS_MINUTES, RECORDS + 1)
        done, _ = self.entry(t, self.basis_start, BASIS_MINUTES, RECORDS + 1, state=19)
        second, _ = self.entry(t2, t, minutes, RECORDS + 2)
        return self.head + self.basis_done + done + second + self.tail

    def made_at(self, data):
        """The time of the entry that follows the basis, or None."""
        rest = data[len(self.head) + len(self.basis_done):]
        field = rest.split(b";", 1)[0]
        return int(field) if field.isdigit() else None

    def read(self):
        with open(self.schedule, "rb") as f:
            return f.read()

    # -- runs ---------------------------------------------------------------------
    def probe(self, *args):
        return probe_output(self.s.run(harness.fixture_path("procprobe.exe"), "service",
                                       "MERLOWSP", *args, timeout=300))

    def stop(self):
        s = self.s
        self.assertTrue(s.stop_until_stopped("MERLOWSP"), "MERLOWSP did not stop")
        self.assertTrue(s.wait_gone("merlowsp.exe", 30))

    def restore(self):
        with open(self.schedule, "wb") as f:
            f.write(self.original)
        if os.path.exists(self.fresh):
            os.unlink(self.fresh)

    def calibrate(self):
        """One whole start: the process seen, the new file made and renamed,
        the first status report (ms, from the process seen)."""
        self.restore()
        out = self.probe("-1", self.s.winpath(self.fresh))
        self.stop()
        self.assertIn("running", out, out)
        self.assertTrue(out.get("appeared") and out.get("vanished"), out)
        return (out["appeared"] - out["found"], out["vanished"] - out["found"],
                out["reported"] - out["found"])

    def plan(self, count, made, renamed, reported):
        """(anchor file or None, delay): a third of the kills from the
        process's appearance up to the new file's, a third while the new
        file is written, the rest from the rename to past the report."""
        during = max(1, count // 3)
        before = max(1, (count - during) // 2)
        after = max(1, count - during - before)
        writing = max(renamed - made, 1)
        return ([(None, d) for d in spread(before, 0, made)] +
                [(self.fresh, d) for d in spread(during, 0, writing)] +
                [(None, d) for d in spread(after, renamed, max(reported, renamed + 50) + 400)])
