"""The installer doing its work: a first installation that registers,
starts and hooks the companion, an upgrade that removes the previous one
through its own uninstall script, the product's uninstall script that then
removes everything, and the error codes of the final message."""

import os
import unittest

import harness
from harness.facts import (COMPLETED, FAILED, MB_ICONERROR, MB_ICONINFORMATION, UNINSTALL_KEY,
                           companion)
from installer_case import InstallerCase

RUNNING, STOPPED = 4, 1


class Cycle(InstallerCase):
    session_name = "installer_cycle"

    def installed_version(self):
        out = self.s.tool("version", harness.hex_argument(self.win(self.manager, "merlowsp.exe")))
        return dict(line.split("=", 1) for line in out.stdout.decode().splitlines())["product"]

    def assertInstalled(self, version):
        """The companion copied, registered, depended on and running."""
        s = self.s
        s.own_service("MERLOWSP")
        self.assertTrue(s.wait_state("MERLOWSP", RUNNING, 60000), "MERLOWSP is not running")
        config = s.service_config("MERLOWSP")
        self.assertEqual(("272", "2", self.win(self.manager, "merlowsp.exe").decode("cp932")),
                         (config["type"], config["start"], config["path"]))
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))
        self.assertEqual(version, self.installed_version())
        self.assertEqual(self.expected_deletion_lines("merlowsp.exe", "depsubst.dll"),
                         self.deletion_lines())
        self.assertEqual(self.companion_script(), self.read(self.product, "unmerlowsp.bat"))
        self.assertEqual(self.hook_block() + self.product_lines, self.read(self.product, "unups.bat"))
        self.assertIsNone(self.read(self.product, "merlowsp.tmp"))

    def test_install_upgrade_and_uninstall(self):
        s = self.s
        self.lay_out()
        s.reg_set(UNINSTALL_KEY, "UninstallString", "sz",
                  harness.hex_argument(self.win(self.product, "unups.bat")))

        self.package(companion("1.9.0.0"))
        self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
        self.assertInstalled("1.9.0.0")
        self.assertEqual("3", s.service_config("Merlow")["start"])  # a first install leaves it

        # The upgrade: the previous script removes 1.9 (service, dependency,
        # files), Merlow goes from demand to automatic start, 1.10 comes in.
        # Wine wipes Merlow's dependency list on the gate's change of start
        # type (NULL list); it only held MERLOWSP here, so nothing is lost.
        hooked = self.read(self.product, "unups.bat")
        # A marker in the previous deletion list shows that its script ran,
        # to its end: a slow machine's script outlasts 10 s there, and the
        # copy must not begin before it has ended.
        marker = os.path.join(self.product, "marker.txt")
        open(marker, "wb").close()
        slow = s.winpath(harness.fixture_path("console_child.exe")).encode("cp932")
        with open(os.path.join(self.manager, "upsombxfile.bat"), "ab") as f:
            f.write(b'"%s" "%s" slow 12000\r\n' % (slow, self.win(self.product, "slow.log")))
            f.write(b'del "%s" "%s"\r\n' % (self.win(self.product, "marker.txt"),
                                          self.win(self.product, "slow.log")))
        self.package(companion("1.10.0.0"))
        self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
        self.assertInstalled("1.10.0.0")
        self.assertFalse(os.path.exists(marker))
        config = s.service_config("Merlow")
        self.assertEqual(("2", "Merlow"), (config["start"], config["display"]))
        self.assertEqual(hooked, self.read(self.product, "unups.bat"))  # hooked once only

        # The product's uninstall script takes the companion away with it.
        result = self.run_batch(b'cmd /c "%s"\r\n' % self.win(self.product, "unups.bat"))
        self.assertEqual(0, result.rc, result)
        self.assertIsNone(s.service_state("MERLOWSP"))
        s.forget_service("MERLOWSP")
        self.assertEqual([], s.dependencies("Merlow"))
        self.assertEqual(["merlow.exe"], os.listdir(self.manager))
        self.assertEqual(sorted(["Merlow", "unups.bat", "product-ran.txt"]),
                         sorted(os.listdir(self.product)))

    def test_final_message_reports_the_last_error_code(self):
        s = self.s
        cases = (
            # (previous companion laid out by hand, uninstall key, unups.bat, code)
            (False, False, False, 2001),
            (True, False, True, 1001),
            (True, False, False, 2001),
        )
        for previous, key, unups, code in cases:
            with self.subTest(previous=previous, unups=unups):
                self.setUp()
                self.lay_out(unups=unups)
                if previous:
                    harness.install_dependency_substitute(companion("1.9.0.0"), self.manager)
                self.package(companion("1.10.0.0"))
                self.assertBox(MB_ICONERROR, (FAILED % code), self.install())
                s.own_service("MERLOWSP")
                self.assertTrue(s.wait_state("MERLOWSP", RUNNING, 60000))
                self.assertEqual("1.10.0.0", self.installed_version())
                self.assertEqual("2" if previous else "3", s.service_config("Merlow")["start"])
                if unups:
                    self.assertEqual(self.hook_block() + self.product_lines,
                                     self.read(self.product, "unups.bat"))
                    self.assertEqual(self.companion_script(),
                                     self.read(self.product, "unmerlowsp.bat"))
                else:
                    self.assertIsNone(self.read(self.product, "unups.bat"))
                    self.assertIsNone(self.read(self.product, "unmerlowsp.bat"))
                    self.assertEqual(b"", self.read(self.product, "merlowsp.tmp"))


    def test_upgrade_leaves_a_start_type_other_than_demand_start_alone(self):
        """Only a demand-start Merlow is set back to automatic start."""
        s = self.s
        for start_type in (2, 4):  # automatic, disabled
            with self.subTest(start_type=start_type):
                self.setUp()
                self.lay_out()
                # Merlow registered anew with that start type (the stand-in
                # is laid out on demand start).
                s.tool("delete", "Merlow")
                s.forget_service("Merlow")
                self.assertTrue(harness.wait_until(lambda: s.service_state("Merlow") is None, 20))
                s.create_service("Merlow", harness.hex_argument(self.win(self.manager, "merlow.exe")),
                                 start_type=start_type, display="Merlow UPS Manager")
                s.reg_set(UNINSTALL_KEY, "UninstallString", "sz",
                          harness.hex_argument(self.win(self.product, "unups.bat")))
                self.package(companion("1.9.0.0"))
                self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
                self.assertInstalled("1.9.0.0")
                self.assertEqual(str(start_type), s.service_config("Merlow")["start"])

                self.package(companion("1.10.0.0"))
                self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
                self.assertInstalled("1.10.0.0")
                self.assertEqual(str(start_type), s.service_config("Merlow")["start"])

    def test_hidden_and_system_files_of_the_package_are_copied_and_listed(self):
        s = self.s
        self.lay_out()
        self.package(companion())
        extra = {"hidden.txt": ("hidden", 0x2), "system.dat": ("system", 0x4),
                 "both.ini": ("hidden+system", 0x6)}
        for name, (mode, bits) in extra.items():
            path = os.path.join(self.s_files, name)
            with open(path, "wb") as f:
                f.write(b"%s\r\n" % name.encode())
            s.tool("attrib", s.winpath(path), mode)
            attributes = int(s.tool("attrib", s.winpath(path), "get").stdout, 16)
            if attributes & 0x6 != bits:
                self.skipTest("this file system keeps no DOS attributes for Wine")

        self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
        s.own_service("MERLOWSP")
        for name in extra:
            self.assertEqual(b"%s\r\n" % name.encode(), self.read(self.manager, name), name)
        self.assertEqual(self.expected_deletion_lines("merlowsp.exe", "depsubst.dll", *extra),
                         self.deletion_lines())

if __name__ == "__main__":
    unittest.main()
