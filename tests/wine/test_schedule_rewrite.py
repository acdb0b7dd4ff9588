"""The rewrite of upstrm.dat at its edges, on real Win32 through the probe
of test_schedule: a path so long that "upstrm.dat.new" would not fit
MAX_PATH, and a file whose attributes and security descriptor are the
administrator's, which the rewrite keeps."""

import os
import shutil
import time
import unittest

import harness
from harness.events import PROCESS_TRACE
from harness.facts import PARAMETERS, crlf, record

# Owner, group and a protected DACL that no folder would hand down.
SDDL = "O:BAG:SYD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)"


class ScheduleRewrite(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = harness.Session("schedule_rewrite")
        cls.s.start()

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def setUp(self):
        self.s.reg_set(PARAMETERS, "UpsDevice", "sz", "COM1")
        self.s.reg_set(PARAMETERS, "UpsDownDelay", "sz", "60")

    def lay_out(self, folder):
        """The probe as a.exe (a short name, so that its own path fits
        MAX_PATH beside a long schedule path) and a schedule to correct."""
        os.makedirs(folder)
        self.addCleanup(shutil.rmtree, folder, True)
        shutil.copy(harness.fixture_path("adjust_probe.exe"), os.path.join(folder, "a.exe"))
        now = int(time.time())
        self.basis = record(now - 600, "UTC", 1, 1, 1, "107,60")
        with open(os.path.join(folder, "upstrm.dat"), "wb") as f:
            f.write(crlf([self.basis]))

    def adjust(self, folder):
        result = self.s.run(os.path.join(folder, "a.exe"), env={"TZ": "UTC", "WINEDEBUG": PROCESS_TRACE})
        self.assertEqual(0, result.rc, result)

    def assertCorrected(self, folder):
        with open(os.path.join(folder, "upstrm.dat"), "rb") as f:
            lines = f.read().decode("cp932").split("\r\n")
        self.assertEqual(3, len(lines), lines)  # the basis, the new entry, ""
        self.assertEqual(record(0, "UTC", 1, 1, 19, "107,60").split(";")[13], lines[0].split(";")[13])
        self.assertTrue(lines[1].split(";")[17].startswith("107,"), lines)
        self.assertEqual(["a.exe", "upstrm.dat"], sorted(os.listdir(folder)))

    def test_a_path_of_256_to_259_characters_is_rewritten(self):
        for length in (256, 257, 259):
            with self.subTest(length=length):
                name = "L" * (length - len("C:\\\\upstrm.dat"))
                folder = self.s.drive_c(name)
                self.assertEqual(length, len(self.s.winpath(os.path.join(folder, "upstrm.dat"))))
                self.lay_out(folder)
                self.adjust(folder)
                self.assertCorrected(folder)

    def test_a_stale_new_file_does_not_disturb_the_rewrite(self):
        """A crash between the write and the rename leaves the new file."""
        for length, stale in ((40, "upstrm.dat.new"), (259, "upstrm.da~")):
            with self.subTest(length=length):
                folder = self.s.drive_c("S" * (length - len("C:\\\\upstrm.dat")))
                self.lay_out(folder)
                with open(os.path.join(folder, stale), "wb") as f:
                    f.write(b"stale;stale\r\n" * 100)
                self.adjust(folder)
                self.assertCorrected(folder)

    def test_attributes_and_security_are_kept(self):
        s = self.s
        folder = s.drive_c("Kept")
        self.lay_out(folder)
        schedule = s.winpath(os.path.join(folder, "upstrm.dat"))
        sdtool = harness.fixture_path("sdtool.exe")
        self.assertEqual(0, s.run(sdtool, "set", schedule, SDDL).rc)
        self.assertEqual(0, s.run("attrib", "+h", "+s", schedule).rc)
        before = (s.run(sdtool, "get", schedule).stdout, s.run("attrib", schedule).stdout)
        # Wine keeps no descriptor of its own: it maps the DACL to the Unix
        # mode and reads it back from there, without the Everyone ACE that a
        # new file of its (mode 0644) shows. That difference must survive.
        self.assertNotIn(b";WD)", before[0])
        self.assertIn(b"S", before[1].split(b" ")[0])
        self.adjust(folder)
        self.assertCorrected(folder)
        self.assertEqual(before, (s.run(sdtool, "get", schedule).stdout,
                                  s.run("attrib", schedule).stdout))


if __name__ == "__main__":
    unittest.main()
