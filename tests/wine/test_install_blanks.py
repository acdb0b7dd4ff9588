"""Installs where products really live: a folder with blanks, where a
program planted at each blank-separated prefix of a path must never run,
one with parentheses and an &, where neither that nor a cmd.exe or net.exe
planted where a bare name is looked for must ever run, the whole life of
the companion under "C:\\Program Files (x86)", and a Merlow whose
ImagePath is in double quotes or REG_EXPAND_SZ."""

import os
import shutil
import unittest

import harness
from harness.facts import (COMPLETED, MB_ICONINFORMATION, MERLOW_KEY, UNINSTALL_KEY, companion,
                           moment, read_log)
from installer_case import InstallerCase

RUNNING = 4
PLANTED_LOG = "planted.log"


def cp932(text):
    return text.encode("cp932")


class FolderCase(InstallerCase):
    """Installer runs in product folders of other shapes than C:\\Ombrix."""

    folders = ("Ombrix Soft", "Ombrix.exe", "Program Files\\Ombrix", "Ombrix Soft (x86)", "Cwd",
               "Program Files (x86)\\Ombrix", "Program.exe", "Program Files.exe", PLANTED_LOG)

    def setUp(self):
        super().setUp()
        for name in self.folders:
            path = self.s.drive_c(*name.split("\\"))
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.unlink(path)

    def register_merlow(self, image_path):
        """Registers Merlow anew with this command line (CP932 bytes): Wine's
        SCM keeps what it was created with and never rereads ImagePath."""
        s = self.s
        s.tool("delete", "Merlow")
        s.forget_service("Merlow")
        s.create_service("Merlow", harness.hex_argument(image_path), display="Merlow UPS Manager")

    def start_up_files(self):
        """upsombx.conf and startup.bat in the UPS manager folder, with the
        child fixture beside them; returns the children's log."""
        shutil.copy(harness.fixture_path("console_child.exe"), self.manager)
        with open(os.path.join(self.manager, "upsombx.conf"), "wb") as f:
            f.write(b"console_child.exe children.log prog 1,5000\r\n")
        with open(os.path.join(self.manager, "startup.bat"), "wb") as f:
            f.write(b"@echo off\r\nconsole_child.exe children.log script 1\r\n")
        return os.path.join(self.manager, "children.log")

    def assertCompanionRunning(self):
        """Installed, registered (in quotes where the path has a blank) and running."""
        s = self.s
        image_path = self.win(self.manager, "merlowsp.exe")
        if b" " in image_path:
            image_path = b'"%s"' % image_path
        s.own_service("MERLOWSP")
        self.assertTrue(s.wait_state("MERLOWSP", RUNNING, 30000), "MERLOWSP is not running")
        self.assertEqual(image_path.decode("cp932"), s.service_config("MERLOWSP")["path"])
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))
        self.assertEqual(self.expected_deletion_lines("merlowsp.exe", "depsubst.dll"),
                         self.deletion_lines())


class Blanks(FolderCase):
    session_name = "install_blanks"

    def assertRemovedByProductUninstall(self, own_files, wait):
        """The product's unups.bat, called as its uninstall does, takes the
        companion away (with wait, once its process has ended): the UPS
        manager folder keeps the product's files, the start-up files and
        own_files of the test, and no planted program ran."""
        s = self.s
        result = self.run_batch(b'call "%s"\r\n' % self.win(self.product, "unups.bat"))
        self.assertEqual(0, result.rc, result)
        if wait:
            self.assertTrue(s.wait_gone("merlowsp.exe", 60))
            self.assertTrue(s.wait_unregistered("MERLOWSP"), "MERLOWSP is still registered")
        else:
            self.assertIsNone(s.service_state("MERLOWSP"))
        s.forget_service("MERLOWSP")
        self.assertEqual([], s.dependencies("Merlow"))
        self.assertEqual(sorted(["merlow.exe", "console_child.exe", "upsombx.conf", "children.log"] +
                                own_files),
                         sorted(os.listdir(self.manager)))
        self.assertEqual(sorted(["Merlow", "unups.bat", "product-ran.txt"]),
                         sorted(os.listdir(self.product)))
        self.assertFalse(os.path.exists(s.drive_c(PLANTED_LOG)), self.read(s.drive_c(PLANTED_LOG)))

    def test_a_only_the_companion_and_its_programs_run(self):
        s = self.s
        self.lay_out(product="Ombrix Soft/Merlow UPS")
        merlow = self.win(self.manager, "merlow.exe")
        self.register_merlow(b'"%s"' % merlow)
        # C:\Ombrix Soft\Merlow UPS\Merlow\...: the SCM and CreateProcessA
        # would try C:\Ombrix.exe and C:\Ombrix Soft\Merlow.exe first.
        for planted in (s.drive_c("Ombrix.exe"), s.drive_c("Ombrix Soft", "Merlow.exe")):
            shutil.copy(harness.fixture_path("planted.exe"), planted)
        children_log = self.start_up_files()

        self.package(companion())
        self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
        self.assertCompanionRunning()
        self.assertEqual(self.companion_script(), self.read(self.product, "unmerlowsp.bat"))
        self.assertEqual(self.hook_block() + self.product_lines, self.read(self.product, "unups.bat"))

        # Merlow starts after the companion, as the SCM would start it.
        self.assertEqual(0, s.start_service("Merlow"))
        self.assertTrue(s.wait_state("Merlow", RUNNING, 30000), "Merlow is not running")
        self.assertTrue(harness.wait_until(lambda: moment(read_log(children_log), "script started"), 60),
                        read_log(children_log))
        log = read_log(children_log)
        for name in ("prog", "script"):
            started = [what for _, what in log if what.startswith(name + " started")]
            self.assertEqual(1, len(started), log)
            self.assertTrue(started[0].endswith(" cwd=" + s.winpath(self.manager)), started)
        self.assertIsNotNone(moment(log, "prog started show=0 "), log)  # hidden
        self.assertIsNotNone(moment(log, "prog exited"), log)
        self.assertFalse(os.path.exists(s.drive_c(PLANTED_LOG)),
                         self.read(s.drive_c(PLANTED_LOG)))

        # The product's uninstall takes the companion away, from the same folder.
        result = self.run_batch(b'cmd /c "%s"\r\n' % self.win(self.product, "unups.bat"))
        self.assertEqual(0, result.rc, result)
        self.assertIsNone(s.service_state("MERLOWSP"))
        s.forget_service("MERLOWSP")
        self.assertEqual(sorted(["merlow.exe", "console_child.exe", "upsombx.conf", "startup.bat",
                                 "children.log", "merlow-stub.log"]),
                         sorted(os.listdir(self.manager)))
        self.assertFalse(os.path.exists(s.drive_c(PLANTED_LOG)))

    def test_b_no_planted_program_runs_where_cmd_would_split_the_folder(self):
        """C:\\Ombrix Soft (x86)\\T & x\\Merlow without startup.bat: a cmd /c
        "<path>" would lose its quotes there and run C:\\Ombrix.exe. A
        cmd.exe beside merlowsp.exe, and a cmd.exe and net.exe beside the
        installer and in its current directory, are what a bare name finds."""
        s = self.s
        self.lay_out(product="Ombrix Soft (x86)/T & x")
        self.register_merlow(b'"%s"' % self.win(self.manager, "merlow.exe"))
        cwd = s.drive_c("Cwd")
        os.makedirs(cwd)
        package = self.package(companion())
        planted = [s.drive_c("Ombrix.exe"), s.drive_c("Ombrix Soft (x86)", "T.exe"),
                   os.path.join(self.manager, "cmd.exe")]
        planted += [os.path.join(folder, name) for folder in (package, cwd)
                    for name in ("cmd.exe", "net.exe")]
        for path in planted:
            shutil.copy(harness.fixture_path("planted.exe"), path)
        children_log = self.start_up_files()
        os.unlink(os.path.join(self.manager, "startup.bat"))

        self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install(cwd=cwd))
        # Started by the system's net.exe.
        self.assertCompanionRunning()
        self.assertEqual(self.companion_script(), self.read(self.product, "unmerlowsp.bat"))
        self.assertEqual(self.hook_block() + self.product_lines, self.read(self.product, "unups.bat"))
        self.assertTrue(harness.wait_until(lambda: moment(read_log(children_log), "prog exited"), 60),
                        read_log(children_log))
        # startup.bat's interpreter has ended (its file is missing).
        self.assertTrue(harness.wait_until(lambda: "cmd.exe" not in s.processes(), 30))
        self.assertFalse(os.path.exists(s.drive_c(PLANTED_LOG)), self.read(s.drive_c(PLANTED_LOG)))

        # The product's uninstall, run from that folder, takes the companion
        # away: every line of both scripts keeps the folder whole.
        self.assertRemovedByProductUninstall(["cmd.exe"], wait=False)

    def test_c_setup_quotes_only_a_path_with_a_blank(self):
        s = self.s
        for folder in ("Ombrix\\Merlow", "Ombrix Soft\\Merlow"):
            with self.subTest(folder):
                exe = s.install_companion(s.drive_c(*folder.split("\\")))
                exe_win = cp932(s.winpath(exe))
                s.own_service("MERLOWSP")
                result = s.run(exe, "setup")
                # The line says the bare path, as before.
                self.assertEqual((0, exe_win + cp932("の登録に成功しました\n")),
                                 (result.rc, result.stdout))
                expected = b'"%s"' % exe_win if b" " in exe_win else exe_win
                self.assertEqual(expected.decode("cp932"), s.service_config("MERLOWSP")["path"])
                self.assertEqual(0, s.run(exe, "delete").rc)
                s.forget_service("MERLOWSP")

    def started(self, log, name):
        return [what for _, what in log if what.startswith(name + " started")]

    def test_d_a_whole_life_under_program_files_x86(self):
        """Where 64-bit Windows puts a 32-bit product: install, start-up
        work, upgrade and the product's uninstall, from a package on a CD
        (read-only files), with the UninstallString in double quotes."""
        s = self.s
        self.lay_out(product="Program Files (x86)/Ombrix")
        s.reg_set(UNINSTALL_KEY, "UninstallString", "sz",
                  harness.hex_argument(b'"%s"' % self.win(self.product, "unups.bat")))
        # The blank-separated prefixes of C:\Program Files (x86)\...
        for planted in (s.drive_c("Program.exe"), s.drive_c("Program Files.exe")):
            shutil.copy(harness.fixture_path("planted.exe"), planted)
        children_log = self.start_up_files()

        def install_from_cd(version):
            self.package(companion(version))
            for name in os.listdir(self.s_files):
                s.tool("attrib", s.winpath(os.path.join(self.s_files, name)), "readonly")
            self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
            self.assertCompanionRunning()
            out = s.tool("version", harness.hex_argument(self.win(self.manager, "merlowsp.exe")))
            self.assertIn("product=" + version, out.stdout.decode().splitlines())
            self.assertEqual(self.companion_script(), self.read(self.product, "unmerlowsp.bat"))
            self.assertEqual(self.hook_block() + self.product_lines,
                             self.read(self.product, "unups.bat"))
            for name in ("merlowsp.exe", "depsubst.dll"):
                attributes = int(s.tool("attrib", s.winpath(os.path.join(self.manager, name)),
                                        "get").stdout, 16)
                self.assertEqual(0, attributes & 0x1, name)  # usable, not read-only

        def wait_started(count):
            # The companion's start ran startup.bat and the program of upsombx.conf.
            self.assertTrue(harness.wait_until(
                lambda: all(len(self.started(read_log(children_log), name)) == count
                            for name in ("prog", "script")), 60), read_log(children_log))

        install_from_cd("1.9.0.0")
        wait_started(1)

        # The upgrade stops and removes 1.9 through its own script, found
        # through the quoted UninstallString, and waits for it to be gone
        # before its merlowsp.exe is replaced.
        install_from_cd("1.10.0.0")
        wait_started(2)
        self.assertEqual("2", s.service_config("Merlow")["start"])

        # The product's uninstall script takes the companion away with it.
        self.assertRemovedByProductUninstall(["startup.bat"], wait=True)


class ImagePaths(FolderCase):
    session_name = "install_image_paths"

    def installs_into_manager_folder(self, kind, image_path):
        s = self.s
        s.reg_set(MERLOW_KEY, "ImagePath", kind, harness.hex_argument(image_path))
        self.package(companion())
        self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
        self.assertCompanionRunning()
        self.assertEqual(self.companion_script(), self.read(self.product, "unmerlowsp.bat"))

    def test_quoted_image_path_with_arguments(self):
        self.lay_out(product="Program Files/Ombrix")
        self.installs_into_manager_folder(
            "sz", b'"%s" -service "D:\\x y\\z"' % self.win(self.manager, "merlow.exe"))

    def test_expandable_image_path(self):
        # Under Program Files, not "Program Files (x86)": the SCM expands
        # %ProgramFiles% natively, although the installer is a 32-bit program.
        self.lay_out(product="Program Files/Ombrix")
        self.installs_into_manager_folder("expand", b"%ProgramFiles%\\Ombrix\\Merlow\\merlow.exe")

    def test_expandable_and_quoted_image_path(self):
        self.lay_out(product="Ombrix Soft")
        self.installs_into_manager_folder(
            "expand", b'"%SystemDrive%\\Ombrix Soft\\Merlow\\merlow.exe" -service')


if __name__ == "__main__":
    unittest.main()
