"""Runs of the installer that stop before anything is installed: no UPS
manager folder, a UPS manager that doesn't need the companion, a companion
of the same or a newer version, a failed copy; and a missing package."""

import os
import unittest

import harness
from harness.facts import (COMPLETED, COPY_FAILED, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONWARNING,
                           MERLOW_KEY, NEWER, NOT_NEEDED, NO_FOLDER, SAME, UNINSTALL_KEY, companion)
from installer_case import InstallerCase, snapshot


class Gate(InstallerCase):
    session_name = "installer_gate"

    def untouched(self, box_icon, box_text, quiet_exit=None):
        """The run shows its box and changes nothing: no file, no service's
        configuration (start type, dependencies, display name), no
        registry key. With quiet_exit, a run with /Q shows none and ends
        with that code instead."""
        s = self.s
        files = (sorted(os.listdir(s.drive_c())), snapshot(s.drive_c("Ombrix")),
                 snapshot(s.drive_c("Pkg")))
        machine = self.machine_state()
        if quiet_exit is None:
            self.assertBox(box_icon, box_text, self.install())
        else:
            self.assertEqual(quiet_exit, self.install_quietly("/Q"))
        self.assertEqual(files, (sorted(os.listdir(s.drive_c())), snapshot(s.drive_c("Ombrix")),
                                 snapshot(s.drive_c("Pkg"))))
        self.assertEqual(machine, self.machine_state())

    def lay_out(self, **kwargs):
        """The product with its uninstall key, which a refusal leaves alone."""
        super().lay_out(**kwargs)
        self.s.reg_set(UNINSTALL_KEY, "UninstallString", "sz",
                       harness.hex_argument(self.win(self.product, "unups.bat")))

    def test_without_merlow_only_the_warning(self):
        self.package(companion())
        self.untouched(MB_ICONWARNING, NO_FOLDER)

    def test_image_path_too_long(self):
        s = self.s
        self.lay_out()
        self.package(companion())
        # 258 bytes and the end fit the 259-byte buffer; 259 don't, also
        # when two of them are quotes: the limit is on the value as stored.
        s.reg_set(MERLOW_KEY, "ImagePath", "sz", "C:\\" + "a" * 255)
        self.untouched(MB_ICONINFORMATION, NOT_NEEDED)
        s.reg_set(MERLOW_KEY, "ImagePath", "sz", "C:\\" + "a" * 256)
        self.untouched(MB_ICONWARNING, NO_FOLDER)
        s.reg_set(MERLOW_KEY, "ImagePath", "sz", '"C:\\' + "a" * 254 + '"')
        self.untouched(MB_ICONWARNING, NO_FOLDER)
        # 252 bytes stored, 288 once expanded: more than a path can hold.
        s.reg_set(MERLOW_KEY, "ImagePath", "expand", "%ProgramFiles%" * 18)
        self.untouched(MB_ICONWARNING, NO_FOLDER)

    def test_manager_at_5_0_or_later_needs_no_companion(self):
        for version in ("5.0.0.0", "6.1.0.0"):
            with self.subTest(version):
                self.setUp()
                self.lay_out(version=version)
                self.package(companion())
                self.untouched(MB_ICONINFORMATION, NOT_NEEDED)

    def test_same_or_newer_companion_installed(self):
        for installed, offered, text in ((None, None, SAME), ("1.10.0.0", "1.9.0.0", NEWER)):
            with self.subTest(installed=installed, offered=offered):
                self.setUp()
                self.lay_out()
                exe = harness.install_dependency_substitute(companion(installed), self.manager)
                # Registered as an administrator may have left it: auto
                # start, under another display name, Merlow depending on it.
                self.s.create_service("MERLOWSP", harness.hex_argument(
                    self.s.winpath(exe).encode("cp932")), start_type=2, display="Companion")
                self.s.set_dependencies("Merlow", ["Alpha", "MERLOWSP"])
                self.package(companion(offered))
                self.untouched(MB_ICONINFORMATION, text)
                if text == SAME:  # what a re-run deployment meets
                    self.untouched(None, None, quiet_exit=12)

    def test_package_with_a_subfolder_stops_at_it(self):
        s = self.s
        self.lay_out()
        self.package(companion())
        os.makedirs(os.path.join(self.s_files, "docs"))
        self.assertBox(MB_ICONERROR, COPY_FAILED, self.install())
        lines = self.read(self.manager, "upsombxfile.bat").splitlines(keepends=True)
        self.assertEqual(b'del "%s"\r\n' % self.win(self.manager, "docs"), lines[-1])
        for line in lines[:-1]:  # what came before the subfolder was copied
            name = line.decode("cp932").rsplit("\\", 1)[1][:-3]
            self.assertTrue(os.path.exists(os.path.join(self.manager, name)), name)
        self.assertIsNone(s.service_state("MERLOWSP"))
        self.assertEqual(self.product_lines, self.read(self.product, "unups.bat"))
        self.assertIsNone(self.read(self.product, "unmerlowsp.bat"))

    def test_missing_package_folder_copies_nothing(self):
        # Nothing to copy is no copy failure; what "setup" and "net start"
        # then do is not looked at, so the run ends as completed.
        s = self.s
        self.lay_out()
        self.package(companion(), files=False)
        self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
        self.assertEqual(b"", self.read(self.manager, "upsombxfile.bat"))
        self.assertEqual(self.hook_block() + self.product_lines, self.read(self.product, "unups.bat"))
        self.assertEqual(["merlow.exe", "upsombxfile.bat"], sorted(os.listdir(self.manager)))


if __name__ == "__main__":
    unittest.main()
