"""The base of the installer's tests: the installer end to end under Wine
with a display, one message box per run (text on screen, and owner, caption
and flags through the box spy), the files and batch scripts it leaves, the
SCM and the registry."""

import os
import shutil
import subprocess
import unittest

import harness
from harness.facts import UNINSTALL_KEY

PRODUCT_LINES = b'@echo off\r\necho product>"%s"\r\n'


def snapshot(folder):
    """Every file below folder with its bytes."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = f.read()
    return files


class InstallerCase(unittest.TestCase):
    """One session per class; each case starts from a machine without the
    product, the companion, the package or the uninstall key."""

    session_name = "installer"

    @classmethod
    def setUpClass(cls):
        cls.s = harness.Session(cls.session_name, display=True)
        cls.s.start()
        cls.runs = 0

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def setUp(self):
        s = self.s
        for name, image in (("MERLOWSP", "merlowsp.exe"), ("Merlow", "merlow.exe")):
            if s.service_state(name) is not None:
                s.stop_until_stopped(name)
                # Registered again next: the old process must be gone first.
                self.assertTrue(s.wait_gone(image, 60), "%s outlives its stop" % image)
                s.tool("delete", name, check=False)
                self.assertTrue(s.wait_unregistered(name), "%s is still registered" % name)
            s.forget_service(name)
        for folder in ("Ombrix", "Pkg"):
            shutil.rmtree(s.drive_c(folder), ignore_errors=True)
        s.reg_delete_tree(UNINSTALL_KEY)

    # -- the machine ---------------------------------------------------------
    def lay_out(self, version="4.99.0.0", product="Ombrix", display="Merlow UPS Manager",
                unups=True):
        """The product: <product>\\Merlow\\merlow.exe registered as Merlow on
        demand start, and <product>\\unups.bat with lines of its own."""
        s = self.s
        self.product = s.drive_c(product)
        self.manager = os.path.join(self.product, "Merlow")
        os.makedirs(self.manager)
        shutil.copy(harness.fixture_path(os.path.join("merlow-" + version, "merlow.exe")),
                    self.manager)
        s.create_service("Merlow", harness.hex_argument(self.win(self.manager, "merlow.exe")),
                         display=display)
        self.product_lines = PRODUCT_LINES % self.win(self.product, "product-ran.txt")
        if unups:
            with open(os.path.join(self.product, "unups.bat"), "wb") as f:
                f.write(self.product_lines)

    def win(self, folder, name=""):
        """A Windows path as the installer sees it, in code page 932 bytes."""
        return self.s.winpath(os.path.join(folder, name)).encode("cp932") if name else \
            (self.s.winpath(folder) + "\\").encode("cp932")

    def package(self, companion_exe, files=True, setup_exe=None):
        """C:\\Pkg: the installer (the built one unless given) beside files\\
        holding the companion."""
        folder = self.s.drive_c("Pkg")
        self.setup_exe = harness.install_box_spy(
            setup_exe or harness.product_path("merlowspsetup.exe"), folder)
        if files:
            self.s_files = os.path.join(folder, "files")
            harness.install_dependency_substitute(companion_exe, self.s_files)
        return folder

    def install(self, cwd=None):
        """Runs the installer (in the current directory cwd, a Unix path
        inside the prefix, when given); returns (flags, text) of its one
        message box."""
        s = self.s
        type(self).runs += 1
        log = os.path.join(s.prefix, "boxes-%d.log" % self.runs)
        proc = s.spawn(["wine", self.setup_exe], env={"MERLOWSP_BOXSPY_LOG": s.winpath(log)},
                       cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shown = s.read_message_box("SetUp", timeout_ms=180000)
        self.assertEqual(0, proc.wait(120))
        boxes = harness.read_box_spy(log)
        self.assertEqual(1, len(boxes), boxes)
        owner, flags, caption, text = boxes[0]
        self.assertEqual((0, b"SetUp"), (owner, caption))
        self.assertEqual(shown, text, "the box on screen shows what was passed (%r)" %
                         s.last_box_read)
        return flags, text

    def install_quietly(self, *arguments):
        """Runs the installer with arguments such as /quiet; returns its
        exit code. A box shown would hold the run until someone answered
        it: the run must end by itself, and MessageBoxA is never called."""
        s = self.s
        type(self).runs += 1
        log = os.path.join(s.prefix, "boxes-%d.log" % self.runs)
        proc = s.spawn(["wine", self.setup_exe, *arguments],
                       env={"MERLOWSP_BOXSPY_LOG": s.winpath(log)},
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        code = proc.wait(180)
        self.assertEqual([], harness.read_box_spy(log))
        return code

    def machine_state(self):
        """What an installer run may change outside the files: both services
        as the SCM reports them and their keys, and the uninstall key."""
        s = self.s
        return {name: (s.service_config(name) if s.service_state(name) is not None else None,
                       s.reg_tree("HKLM\\SYSTEM\\CurrentControlSet\\Services\\" + name))
                for name in ("Merlow", "MERLOWSP")} | {"uninstall": s.reg_tree(UNINSTALL_KEY)}

    def assertBox(self, icon, text, box):
        self.assertEqual((icon, text.encode("cp932")), box)  # MB_OK is 0

    def run_batch(self, text):
        """Runs batch lines (code page 932 bytes) from C:\\run.bat."""
        with open(self.s.drive_c("run.bat"), "wb") as f:
            f.write(text)
        try:
            return self.s.run("cmd", "/c", "C:\\run.bat")
        finally:
            os.unlink(self.s.drive_c("run.bat"))

    def read(self, *parts):
        path = os.path.join(*parts)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def companion_script(self):
        exe = self.win(self.manager, "merlowsp.exe")
        folder = self.win(self.manager)
        return (b'@echo off\r\n"%s" delDepend\r\n"%%SystemRoot%%\\System32\\net.exe" stop merlowsp\r\n'
                b'"%s" delete\r\n"%%SystemRoot%%\\System32\\cmd.exe" /d /c call "%supsombxfile.bat"\r\n'
                b'del "%supsombxfile.bat"\r\n\r\n\r\n\r\n'
                % (exe, exe, folder, folder))

    def hook_block(self):
        script = self.win(self.product, "unmerlowsp.bat")
        return (b'@echo off\r\n"%%SystemRoot%%\\System32\\cmd.exe" /d /c call "%s"\r\n'
                b'del "%s"\r\n\r\n\r\n\r\n' % (script, script))

    def deletion_lines(self):
        return sorted(self.read(self.manager, "upsombxfile.bat").splitlines(keepends=True))

    def expected_deletion_lines(self, *names):
        return sorted(b'del "%s"\r\n' % self.win(self.manager, name) for name in names)
