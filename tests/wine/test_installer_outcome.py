"""What the installer's last box says must be what happened: a registration
that failed, a deletion list cut short on a full disk, an unups.bat with a
Ctrl-Z byte in it; and a quiet run, whose exit code says it instead."""

import os
import shutil
import subprocess
import unittest

import harness
from harness.facts import (COMPLETED, COPY_FAILED, FAILED, MB_ICONERROR, MB_ICONINFORMATION,
                           companion)
from installer_case import InstallerCase

PAGE = 4096


def pages(size):
    return (size + PAGE - 1) // PAGE * PAGE


class InstallerOutcome(InstallerCase):
    session_name = "installer_outcome"

    def test_a_registration_that_fails_is_reported_as_3000(self):
        """MERLOWSP already registered from another folder: "setup" ends
        with 2, the rest goes on (unups.bat hooked) and the box says 3000."""
        s = self.s
        self.lay_out()
        self.package(companion())
        elsewhere = r"C:\Elsewhere\merlowsp.exe"
        s.create_service("MERLOWSP", elsewhere)
        box = self.install()
        self.assertBox(MB_ICONERROR, FAILED % 3000, box)
        self.assertEqual(elsewhere, s.service_config("MERLOWSP").get("path"))
        self.assertEqual(self.hook_block() + self.product_lines,
                         self.read(self.product, "unups.bat"))
        self.assertEqual(self.companion_script(), self.read(self.product, "unmerlowsp.bat"))

    def test_b_every_byte_of_unups_bat_follows_the_hook(self):
        """Text mode would end the old script at its 0x1A byte."""
        s = self.s
        self.lay_out()
        script = os.path.join(self.product, "unups.bat")
        old = self.product_lines + b"rem \x1a\r\necho product-end\nrem last\r\n"
        with open(script, "wb") as f:
            f.write(old)
        self.package(companion())
        box = self.install()
        s.own_service("MERLOWSP")
        self.assertBox(MB_ICONINFORMATION, COMPLETED, box)
        self.assertEqual(self.hook_block() + old, self.read(script))
        # "net start" is not waited for by the installer: let the start end
        # before the next case stops and deletes the service.
        self.assertTrue(s.wait_state("MERLOWSP", 4, 30000))

    def test_c_a_deletion_list_cut_by_a_full_disk_is_a_failed_copy(self):
        """The UPS manager folder on a small file system that the copies
        fill to the last page: the list's lines cannot reach it. The copy
        failure box, nothing registered, nothing hooked."""
        s = self.s
        self.lay_out()
        merlow = os.path.join(self.manager, "merlow.exe")
        size = os.path.getsize(merlow)
        os.unlink(merlow)
        self.package(companion())
        packaged = [os.path.join(self.s_files, n) for n in os.listdir(self.s_files)]
        total = pages(size) + sum(pages(os.path.getsize(p)) for p in packaged) + 64 * PAGE
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % total, "tmpfs", self.manager],
                       check=True)
        self.addCleanup(self.unmount, self.manager)
        shutil.copy(harness.fixture_path(os.path.join("merlow-4.99.0.0", "merlow.exe")), merlow)
        stat = os.statvfs(self.manager)
        free = stat.f_bavail * stat.f_frsize
        filler = free - sum(pages(os.path.getsize(p)) for p in packaged)
        self.assertGreater(filler, 0)
        with open(os.path.join(self.s_files, "zfill.bin"), "wb") as f:
            f.truncate(filler)
        box = self.install()
        self.assertBox(MB_ICONERROR, COPY_FAILED, box)
        self.assertIsNone(s.service_state("MERLOWSP"))
        self.assertEqual(self.product_lines, self.read(self.product, "unups.bat"))
        self.assertIsNone(self.read(self.product, "unmerlowsp.bat"))

    def test_d_a_quiet_install_asks_nobody_and_ends_with_0(self):
        """/quiet among other words, which stay ignored: the same
        installation, no box, exit code 0, and the companion starts."""
        s = self.s
        self.lay_out()
        self.package(companion())
        self.assertEqual(0, self.install_quietly("/norestart", "/quiet"))
        s.own_service("MERLOWSP")
        self.assertTrue(s.wait_state("MERLOWSP", 4, 30000))
        self.assertEqual(["MERLOWSP"], s.dependencies("Merlow"))
        self.assertEqual(self.hook_block() + self.product_lines,
                         self.read(self.product, "unups.bat"))
        self.assertEqual(self.companion_script(), self.read(self.product, "unmerlowsp.bat"))

    def unmount(self, path):
        s = self.s
        if s.service_state("MERLOWSP") is not None:  # registered by a faulty installer
            s.own_service("MERLOWSP")
            s.stop_until_stopped("MERLOWSP")
            s.wait_gone("merlowsp.exe")
        if subprocess.run(["umount", path]).returncode != 0:
            subprocess.run(["umount", "-l", path], check=True)


if __name__ == "__main__":
    unittest.main()
