"""upstrm.dat corrected at a start of the companion, on real Win32.

The probe (tests/fixtures/adjust_probe.cpp) makes the companion's one call
of AdjustSchedule from a folder that holds upstrm.dat and merlowsp.ini; the
folder's name has a character whose second byte in code page 932 is the
backslash. The registry values under Merlow's Parameters key and the ini
file change the new entry; the event comes before the rewrite; without a
basis, or when the rewrite fails, the file keeps every byte; a line the
UPS manager appends while the rewrite is under way survives it.
"""

import os
import re
import shutil
import subprocess
import time
import unittest

import harness
from harness.events import PROCESS_TRACE
from harness.facts import PARAMETERS, SCHEDULE_EVENT, crlf, new_entry, record

FOLDER = "UPS表"


def event_reports(text):
    """(type, id, strings) of each ReportEventW call in a trace."""
    reports = []
    for line in text.splitlines():
        m = re.search(r"fixme:advapi:ReportEventW \([^,]*,0x([0-9a-f]+),0x[0-9a-f]+,0x([0-9a-f]+)", line)
        if m:
            reports.append((int(m.group(1), 16), int(m.group(2), 16), []))
            continue
        m = re.search(r'trace:eventlog:ReportEventW L"(.*)"', line)
        if m and reports:
            reports[-1][2].append(m.group(1))
    return reports


class ScheduleCorrection(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session("schedule")
        cls.session.__enter__()
        cls.folder = cls.session.drive_c(FOLDER)
        os.makedirs(cls.folder)
        shutil.copy(harness.fixture_path("adjust_probe.exe"), cls.folder)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        for name in ("upstrm.dat", "merlowsp.ini"):
            path = os.path.join(self.folder, name)
            if os.path.exists(path):
                os.unlink(path)
        self.session.reg_delete_tree(PARAMETERS)

    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name="upstrm.dat"):
        with open(self.path(name), "rb") as f:
            return f.read()

    def parameters(self, device="COM1", delay="60", delay_kind="sz"):
        if device is not None:
            self.session.reg_set(PARAMETERS, "UpsDevice", "sz", device)
        if delay is not None:
            self.session.reg_set(PARAMETERS, "UpsDownDelay", delay_kind, delay)

    def adjust(self, zone):
        """Runs the probe; returns the trace and the bounds of its clock."""
        before = int(time.time())
        result = self.session.run(os.path.join(self.folder, "adjust_probe.exe"),
                                  env={"TZ": zone, "WINEDEBUG": PROCESS_TRACE})
        after = int(time.time()) + 1
        self.assertEqual(0, result.rc, result)
        return result.stderr.decode("utf-8", "replace"), before, after

    def corrected(self, zone, correction, basis_minutes=600, basis_age=3600):
        """Writes a schedule with a running kind-1 entry, runs the probe and
        checks the rewritten file and the event; returns the new length."""
        now = int(time.time())
        basis = now - basis_age
        earlier = record(basis - 7200, zone, 4, 4, 1, "107,60")
        later = record(now + 7200, zone, 11, 0, 1, "200")
        self.write("upstrm.dat", crlf([earlier, record(basis, zone, 9, 1, 1, "107,%d" % basis_minutes),
                                       later]))
        trace, before, after = self.adjust(zone)

        lines = self.read().decode("cp932").split("\r\n")
        self.assertEqual("", lines.pop())
        t = int(lines[2].split(";")[0])
        self.assertTrue(before <= t <= after, (before, t, after))
        minutes = basis_minutes - (t - basis + correction) // 60
        minutes = 1 if minutes < 0 else minutes
        self.assertEqual([earlier, record(basis, zone, 9, 1, 19, "107,%d" % basis_minutes),
                          new_entry(t, zone, 12, 12, minutes), later], lines)

        self.assertEqual([(4, SCHEDULE_EVENT, ["MERLOWSP"])], event_reports(trace))
        reported = trace.index("ReportEventW")
        self.assertLess(reported, trace.index('upstrm.dat.new"'))
        self.assertFalse(os.path.exists(self.path("upstrm.dat.new")))
        return minutes

    def test_delay_and_ini_correction_shorten_the_new_entry(self):
        self.parameters(delay="60")
        self.write("merlowsp.ini", b"[MERLOW]\r\nRestoreTimeCorrection =120\r\n")
        self.corrected("UTC", 180)

    def test_without_ups_device_the_correction_is_zero(self):
        self.parameters(device=None, delay="60")
        self.write("merlowsp.ini", b"[MERLOW]\r\nRestoreTimeCorrection =120\r\n")
        self.corrected("JST-9", 0)
        self.parameters(device="D" * 128)  # longer than the 127 bytes it may have
        self.corrected("JST-9", 0)

    def test_delay_alone_without_the_ini_file_and_a_correction_past_the_window(self):
        self.parameters(delay="3600")
        self.assertEqual(1, self.corrected("JST-9", 3600, basis_minutes=119))

    # Windows' profile functions drop the blank that ends the key, so the
    # key matches without it too. A DWORD delay is read as text: 0.
    def test_key_without_its_blank_and_a_binary_delay(self):
        self.parameters(delay="60", delay_kind="dword")
        self.write("merlowsp.ini", b"[MERLOW]\r\nRestoreTimeCorrection=300\r\n")
        self.corrected("UTC", 300)

    def test_without_a_basis_there_is_no_event_and_the_file_is_untouched(self):
        self.parameters()
        now = int(time.time())
        # LF-only line ends that a rewrite in text mode would change.
        data = ("%s\n%s\n\n" % (record(now - 7200, "UTC", 1, 1, 1, "107,60"),
                                record(now - 600, "UTC", 2, 1, 19, "107,60"))).encode()
        self.write("upstrm.dat", data)
        trace, _, _ = self.adjust("UTC")
        self.assertEqual(data, self.read())
        self.assertEqual([], event_reports(trace))
        self.assertNotIn('upstrm.dat.new"', trace)

    def test_a_failed_rewrite_is_reported_and_keeps_the_file(self):
        self.parameters()
        now = int(time.time())
        data = crlf([record(now - 60, "UTC", 1, 1, 1, "107,60")])
        self.write("upstrm.dat", data)
        os.mkdir(self.path("upstrm.dat.new"))  # the new file cannot be made
        try:
            trace, _, _ = self.adjust("UTC")
        finally:
            os.rmdir(self.path("upstrm.dat.new"))
        self.assertEqual(data, self.read())
        self.assertEqual([(4, SCHEDULE_EVENT, ["MERLOWSP"])], event_reports(trace))


    def test_a_line_appended_during_the_rewrite_survives_it(self):
        """The stand-in UPS manager appends a line as soon as the new file
        appears, while 100,000 records are being written: the companion
        corrects the file with that line, and reports once."""
        self.parameters()
        zone = "UTC"
        now = int(time.time())
        lines = [record(now - 7200, zone, k, 0, 1, "200") for k in range(1, 100000)]
        lines.append(record(now - 600, zone, 100000, 1, 1, "107,60"))
        self.write("upstrm.dat", crlf(lines))
        appended = record(now + 3600, zone, 200000, 0, 1, "300")
        writer = self.session.spawn(
            ["wine", harness.fixture_path("harness_tool.exe"), "appendwhen",
             harness.hex_argument(self.session.winpath(self.path("upstrm.dat.new")).encode("cp932")),
             harness.hex_argument(self.session.winpath(self.path("upstrm.dat")).encode("cp932")),
             appended],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertEqual(b"watching\n", writer.stdout.readline())
        trace, before, after = self.adjust(zone)
        out, err = writer.communicate(timeout=120)
        self.assertEqual(0, writer.returncode, err)
        self.assertRegex(out, rb"\Aappended [0-9]+\n\Z")

        got = self.read().decode("cp932").split("\r\n")
        self.assertEqual("", got.pop())
        t = int(got[-2].split(";")[0])
        self.assertTrue(before <= t <= after, (before, t, after))
        lines[-1] = record(now - 600, zone, 100000, 1, 19, "107,60")
        minutes = 60 - (t - (now - 600) + 60) // 60
        self.assertEqual(lines + [new_entry(t, zone, 200001, 200001, minutes), appended], got)
        self.assertEqual([(4, SCHEDULE_EVENT, ["MERLOWSP"])], event_reports(trace))
        self.assertLess(trace.index("ReportEventW"), trace.index('upstrm.dat.new"'))
        self.assertFalse(os.path.exists(self.path("upstrm.dat.new")))

    def test_ups_device_without_a_down_delay_gives_no_correction(self):
        """Both registry values are needed: with UpsDownDelay missing the
        correction is 0 and the ini file, which would add 120 s, is not read."""
        self.parameters(device="COM1", delay=None)
        self.assertIsNone(self.session.reg_get(PARAMETERS, "UpsDownDelay"))
        self.write("merlowsp.ini", b"[MERLOW]\r\nRestoreTimeCorrection =120\r\n")
        self.assertEqual(540, self.corrected("JST-9", 0))

    def test_without_the_parameters_key_the_correction_is_zero(self):
        self.assertFalse(self.session.reg_key_exists(PARAMETERS))
        self.write("merlowsp.ini", b"[MERLOW]\r\nRestoreTimeCorrection =120\r\n")
        # 600 minutes from an hour ago: 540 left; the ini's 120 s would make it 538.
        self.assertEqual(540, self.corrected("UTC", 0))

if __name__ == "__main__":
    unittest.main()
