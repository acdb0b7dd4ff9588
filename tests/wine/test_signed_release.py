"""The release signed by scripts/sign with a throwaway self-signed
certificate: osslsigncode verifies the signatures against that certificate
(and only against it), signing changes no version resource, and the
installer, its version gate and the companion behave with signed files
exactly as with unsigned ones: first install, same version, downgrade,
upgrade, and a UPS manager that needs no companion."""

import os
import shutil
import subprocess
import tempfile
import unittest

import harness
from harness.facts import COMPLETED, MB_ICONINFORMATION, NEWER, NOT_NEEDED, SAME, UNINSTALL_KEY
from installer_case import InstallerCase, snapshot

RUNNING = 4
RELEASE_EXES = ("merlowspsetup.exe", "serovox.exe", os.path.join("files", "merlowsp.exe"))
FIXTURES = tuple(os.path.join(folder, exe) for folder, exe in (
    ("merlow-4.99.0.0", "merlow.exe"), ("merlow-5.0.0.0", "merlow.exe"),
    ("companion-1.9.0.0", "merlowsp.exe"), ("companion-1.10.0.0", "merlowsp.exe")))
SIGNING_TIME = "1700000000"
SCRIPTS = os.path.join(harness.SOURCE_DIR, "scripts")


def release_version():
    """The version as CMake wrote it into the build tree."""
    with open(os.path.join(harness.build_dir(), "version.txt")) as f:
        return f.read().strip()


def sign(files, **variables):
    """scripts/sign on the files; no terminal, so a wrong password can't prompt."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("SIGN_")}
    env.update(variables, SOURCE_DATE_EPOCH=SIGNING_TIME)
    return subprocess.run([os.path.join(SCRIPTS, "sign"), *files], env=env, capture_output=True,
                          stdin=subprocess.DEVNULL, start_new_session=True)


def verify(path, *options):
    proc = subprocess.run(["osslsigncode", "verify", *options, "-in", path], capture_output=True,
                          stdin=subprocess.DEVNULL)
    return proc.returncode, proc.stdout.decode(errors="replace")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True, stdin=subprocess.DEVNULL)


class SignedRelease(InstallerCase):
    session_name = "signed_release"

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="merlowsp-signed-")
        try:
            cls.cert, cls.key = (os.path.join(cls.work, n) for n in ("cert.pem", "key.pem"))
            openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=MERLOWSP test signer", "-addext", "extendedKeyUsage=codeSigning",
                    "-keyout", cls.key, "-out", cls.cert)
            unsigned = os.path.join(cls.work, "unsigned")
            subprocess.run([os.path.join(SCRIPTS, "package"), harness.build_dir(), unsigned],
                           check=True, capture_output=True)
            shutil.copytree(unsigned, os.path.join(cls.work, "signed"))
            for name in FIXTURES:
                os.makedirs(os.path.dirname(os.path.join(cls.work, "signed", name)))
                shutil.copy(harness.fixture_path(name), os.path.join(cls.work, "signed", name))
            signed = sign([os.path.join(cls.work, "signed", n) for n in RELEASE_EXES + FIXTURES],
                          SIGN_CERT=cls.cert, SIGN_KEY=cls.key)
            assert signed.returncode == 0, signed
        except BaseException:
            shutil.rmtree(cls.work, ignore_errors=True)
            raise
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        try:
            super().tearDownClass()
        finally:
            shutil.rmtree(cls.work, ignore_errors=True)

    def exe(self, kind, name):
        """A release executable or a fixture, unsigned (as built) or signed."""
        if kind == "unsigned" and name in FIXTURES:
            return harness.fixture_path(name)
        return os.path.join(self.work, kind, name)

    # -- signatures, without Wine ------------------------------------------------
    def test_signatures_verify_against_the_certificate_only(self):
        for name in RELEASE_EXES + FIXTURES:
            with self.subTest(name):
                rc, out = verify(self.exe("signed", name), "-CAfile", self.cert)
                self.assertEqual(0, rc, out)
                self.assertIn("Signature verification: ok", out)
        serovox = self.exe("signed", "serovox.exe")
        self.assertNotEqual(0, verify(serovox)[0], "a self-signed certificate is no trusted CA")
        self.assertNotEqual(0, verify(self.exe("unsigned", "serovox.exe"), "-CAfile", self.cert)[0])
        tampered = os.path.join(self.work, "tampered.exe")
        data = bytearray(read(serovox))
        data[0x1000] ^= 1  # in the code, which the signature covers
        with open(tampered, "wb") as f:
            f.write(data)
        self.assertNotEqual(0, verify(tampered, "-CAfile", self.cert)[0])

    def test_signing_again_gives_the_same_bytes_and_only_appends(self):
        again = os.path.join(self.work, "again.exe")
        shutil.copy(self.exe("unsigned", "serovox.exe"), again)
        self.assertEqual(0, sign([again], SIGN_CERT=self.cert, SIGN_KEY=self.key).returncode)
        self.assertEqual(read(self.exe("signed", "serovox.exe")), read(again))
        # The signature goes after the image; only the header's checksum and
        # certificate-table entry change before it.
        unsigned, signed = read(self.exe("unsigned", "serovox.exe")), read(again)
        changed = [i for i in range(len(unsigned)) if unsigned[i] != signed[i]]
        self.assertLessEqual(len(changed), 12, changed)
        self.assertTrue(all(i < 0x200 for i in changed), changed)

    def test_password_protected_key_and_pkcs12(self):
        key, p12 = os.path.join(self.work, "locked.pem"), os.path.join(self.work, "signer.p12")
        openssl("pkey", "-in", self.key, "-aes256", "-passout", "pass:two words", "-out", key)
        openssl("pkcs12", "-export", "-in", self.cert, "-inkey", self.key,
                "-passout", "pass:two words", "-out", p12)
        for variables in (dict(SIGN_CERT=self.cert, SIGN_KEY=key, SIGN_PASS="two words"),
                          dict(SIGN_CERT=p12, SIGN_PASS="two words")):
            with self.subTest(variables["SIGN_CERT"]):
                target = os.path.join(self.work, "locked.exe")
                shutil.copy(self.exe("unsigned", "serovox.exe"), target)
                self.assertEqual(0, sign([target], **variables).returncode)
                self.assertEqual(0, verify(target, "-CAfile", self.cert)[0])
                shutil.copy(self.exe("unsigned", "serovox.exe"), target)
                result = sign([target], **dict(variables, SIGN_PASS="wrong"))
                self.assertEqual(1, result.returncode)
                self.assertIn(b"signing %s failed" % target.encode(), result.stderr)
                self.assertEqual(read(self.exe("unsigned", "serovox.exe")), read(target))
                self.assertFalse(os.path.exists(target + ".signing"))

    # -- under Wine ---------------------------------------------------------------
    def test_version_resources_read_the_same(self):
        for name in ("merlowspsetup.exe", os.path.join("files", "merlowsp.exe")) + FIXTURES:
            with self.subTest(name):
                outs = [self.s.tool("version", self.s.winpath(self.exe(kind, name))).stdout
                        for kind in ("unsigned", "signed")]
                self.assertEqual(outs[0], outs[1])
        self.assertIn(b"product=%s\n" % release_version().encode(),
                      self.s.tool("version", self.s.winpath(self.exe("signed", "merlowspsetup.exe"))).stdout)

    def installed_version(self):
        out = self.s.tool("version", harness.hex_argument(self.win(self.manager, "merlowsp.exe")))
        return dict(line.split("=", 1) for line in out.stdout.decode().splitlines())["product"]

    def machine(self, kind, manager="4.99.0.0", installed=None):
        """The product with its merlow.exe of the kind, and a companion
        already in the UPS manager folder when given."""
        self.setUp()
        self.lay_out(version=manager)
        shutil.copy(self.exe(kind, os.path.join("merlow-" + manager, "merlow.exe")), self.manager)
        if installed:
            harness.install_dependency_substitute(self.exe(kind, installed), self.manager)

    def offer(self, kind, companion=os.path.join("files", "merlowsp.exe")):
        self.package(self.exe(kind, companion), setup_exe=self.exe(kind, "merlowspsetup.exe"))

    def installed(self):
        """What an installation left: service, dependency, files, scripts."""
        s = self.s
        s.own_service("MERLOWSP")
        self.assertTrue(s.wait_state("MERLOWSP", RUNNING, 60000), "MERLOWSP is not running")
        config = s.service_config("MERLOWSP")
        merlow = s.service_config("Merlow")
        self.assertEqual(read(os.path.join(self.s_files, "merlowsp.exe")),
                         read(os.path.join(self.manager, "merlowsp.exe")), "copied as it is")
        return ((config["type"], config["start"], config["path"]), s.dependencies("Merlow"),
                (merlow["start"], merlow["display"]), self.installed_version(),
                sorted(os.listdir(self.manager)), self.deletion_lines(),
                self.read(self.product, "unmerlowsp.bat"), self.read(self.product, "unups.bat"))

    def test_first_install_of_the_signed_release_ends_as_the_unsigned(self):
        outcomes = {}
        for kind in ("unsigned", "signed"):
            with self.subTest(kind):
                self.machine(kind)
                self.offer(kind)
                self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
                outcomes[kind] = self.installed()
                self.assertEqual(release_version(), outcomes[kind][3])
        self.assertEqual(outcomes["unsigned"], outcomes["signed"])
        # The companion in the UPS manager folder is the signed file, its
        # import name served by the dependency substitute apart.
        copied = read(os.path.join(self.manager, "merlowsp.exe"))
        shipped = read(self.exe("signed", os.path.join("files", "merlowsp.exe")))
        at = copied.find(b"depsubst.dll\0")
        self.assertEqual(shipped, copied[:at] + shipped[at:at + 13] + copied[at + 13:])
        self.assertEqual(0, verify(self.exe("signed", os.path.join("files", "merlowsp.exe")),
                                   "-CAfile", self.cert)[0])

    def test_gate_reads_the_signed_versions(self):
        cases = (
            # (UPS manager version, companion installed, companion offered, message)
            ("5.0.0.0", None, os.path.join("files", "merlowsp.exe"), NOT_NEEDED),
            ("4.99.0.0", os.path.join("files", "merlowsp.exe"), os.path.join("files", "merlowsp.exe"),
             SAME),
            ("4.99.0.0", FIXTURES[2], os.path.join("files", "merlowsp.exe"), NEWER),  # downgrade
        )
        s = self.s
        for manager, installed, offered, text in cases:
            outcomes = {}
            for kind in ("unsigned", "signed"):
                with self.subTest(manager=manager, installed=installed, kind=kind):
                    self.machine(kind, manager, installed)
                    self.offer(kind, offered)
                    before = snapshot(s.drive_c("Ombrix"))
                    box = self.install()
                    self.assertBox(MB_ICONINFORMATION, text, box)
                    self.assertEqual(before, snapshot(s.drive_c("Ombrix")))
                    self.assertIsNone(s.service_state("MERLOWSP"))
                    outcomes[kind] = box
            self.assertEqual(outcomes["unsigned"], outcomes["signed"])

    def test_upgrade_from_a_signed_companion_to_a_signed_one(self):
        # 1.9 lies in the folder by hand, so the previous uninstall script is
        # not there: the upgrade goes on without it (see the installer cycle).
        outcomes = {}
        for kind in ("unsigned", "signed"):
            with self.subTest(kind):
                self.machine(kind, installed=FIXTURES[2])
                self.s.reg_set(UNINSTALL_KEY, "UninstallString", "sz",
                               harness.hex_argument(self.win(self.product, "unups.bat")))
                self.offer(kind, FIXTURES[3])
                self.assertBox(MB_ICONINFORMATION, COMPLETED, self.install())
                outcomes[kind] = self.installed()
                self.assertEqual("1.10.0.0", outcomes[kind][3])
                self.assertEqual(("2", "Merlow"), outcomes[kind][2])
        self.assertEqual(outcomes["unsigned"], outcomes["signed"])


if __name__ == "__main__":
    unittest.main()
