"""The whole life of an installation in a product folder with Japanese
names, half-width katakana and double-byte characters whose trail byte is
a backslash (表 95 5C, ソ 83 5C): installer, files and batch scripts in code
page 932, the companion's start-up work and schedule correction from that
folder, and the product's uninstall.

Needs the glibc locale ja_JP.UTF-8 (scripts/bootstrap generates it):
without it Wine cannot make or open these folders at all."""

import os
import shutil
import time
import unittest

import harness
from harness.facts import COMPLETED, MB_ICONINFORMATION, companion, moment, read_log, record
from installer_case import InstallerCase

RUNNING = 4
PRODUCT = "ｵﾑﾌﾞﾘｸｽ/表示ソフト"


class JapaneseFolder(InstallerCase):
    session_name = "install_japanese"

    def setUp(self):
        super().setUp()
        shutil.rmtree(self.s.drive_c(PRODUCT.split("/")[0]), ignore_errors=True)

    def test_install_run_and_uninstall(self):
        s = self.s
        self.lay_out(product=PRODUCT)
        folder = self.win(self.manager)
        self.assertIn(b"\x95\x5c", folder)  # the folder really holds 5C trail bytes
        self.assertIn(b"\x83\x5c", folder)
        self.assertIn(b"\xb5\xd1", folder)  # ｵﾑ, one byte each
        shutil.copy(harness.fixture_path("console_child.exe"), self.manager)
        with open(os.path.join(self.manager, "upsombx.conf"), "wb") as f:
            f.write(b"console_child.exe children.log prog 1,5000\r\n")
        with open(os.path.join(self.manager, "startup.bat"), "wb") as f:
            f.write(b"@echo off\r\nconsole_child.exe children.log script 1\r\n")
        children_log = os.path.join(self.manager, "children.log")
        # An open 107 entry whose window holds the companion's first start.
        schedule = os.path.join(self.manager, "upstrm.dat")
        with open(schedule, "wb") as f:
            f.write((record(int(time.time()) - 600, "JST-9", 5, 1, 1, "107,60") + "\r\n")
                    .encode("cp932"))

        self.package(companion())
        self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())

        # Files and batch scripts, byte for byte in code page 932.
        for name in ("merlowsp.exe", "depsubst.dll"):
            self.assertEqual(self.read(self.s_files, name), self.read(self.manager, name), name)
        self.assertEqual(self.expected_deletion_lines("merlowsp.exe", "depsubst.dll"),
                         self.deletion_lines())
        self.assertEqual(self.companion_script(), self.read(self.product, "unmerlowsp.bat"))
        self.assertEqual(self.hook_block() + self.product_lines, self.read(self.product, "unups.bat"))
        self.assertIsNone(self.read(self.product, "merlowsp.tmp"))

        # The service, registered from that folder and running.
        s.own_service("MERLOWSP")
        self.assertTrue(s.wait_state("MERLOWSP", RUNNING, 30000), "MERLOWSP is not running")
        config = s.service_config("MERLOWSP")
        self.assertEqual(("272", "2", self.win(self.manager, "merlowsp.exe").decode("cp932")),
                         (config["type"], config["start"], config["path"]))
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))

        # Its start-up work ran from that folder, and the schedule was corrected.
        self.assertTrue(harness.wait_until(lambda: moment(read_log(children_log), "script started"), 60),
                        read_log(children_log))
        log = read_log(children_log)
        cwd = " cwd=" + s.winpath(self.manager)
        for name in ("prog", "script"):
            started = [what for _, what in log if what.startswith(name + " started")]
            self.assertEqual(1, len(started), log)
            self.assertTrue(started[0].endswith(cwd), started)
        with open(schedule, "rb") as f:
            lines = [line.split(";") for line in f.read().decode("cp932").splitlines()]
        self.assertEqual(2, len(lines), lines)
        self.assertEqual(["19"], [l[13] for l in lines if l[17] == "107,60"])  # done
        added = [l for l in lines if l[17] != "107,60"]
        self.assertTrue(added and added[0][17].startswith("107,"), lines)

        self.assertEqual(0, s.start_service("Merlow"))
        self.assertTrue(s.wait_state("Merlow", RUNNING, 30000), "Merlow is not running")

        # The product's uninstall takes the companion and its files away.
        result = self.run_batch(b'cmd /c "%s"\r\n' % self.win(self.product, "unups.bat"))
        self.assertEqual(0, result.rc, result)
        self.assertIsNone(s.service_state("MERLOWSP"))
        s.forget_service("MERLOWSP")
        self.assertEqual([], s.dependencies("Merlow"))
        self.assertEqual(sorted(["merlow.exe", "console_child.exe", "upsombx.conf", "startup.bat",
                                 "children.log", "merlow-stub.log", "upstrm.dat"]),
                         sorted(os.listdir(self.manager)))
        self.assertEqual(sorted(["Merlow", "unups.bat", "product-ran.txt"]),
                         sorted(os.listdir(self.product)))


if __name__ == "__main__":
    unittest.main()
