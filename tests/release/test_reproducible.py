"""make release in two fresh copies of the source tree, one after the
other, at paths of different lengths, with different umask, time zone and
locale, gives the same bytes: the executables, the zip and SHA256SUMS. And
what makes them the same is checked on its own: no PE time stamp, no debug
directory, no build folder in any shipped file, zip entries in order with
the commit's time and fixed permissions.

MERLOWSP_KEEP_COPIES=1 keeps the two copies for a look afterwards."""

import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXES = ("merlowspsetup.exe", "serovox.exe", "files/merlowsp.exe")


def git(*args, cwd=SOURCE):
    return subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True).stdout


def in_git():
    try:
        return git("rev-parse", "--show-toplevel").decode().strip() == SOURCE
    except (OSError, subprocess.CalledProcessError):
        return False


def copy_source(dest):
    """A clone of the checked-out commit with the work tree's changes on top,
    so that what is tested is what is checked out and git still gives the
    commit's time. Every file is written anew: no modification time is shared."""
    if not in_git():
        shutil.copytree(SOURCE, dest, ignore=shutil.ignore_patterns("build", "__pycache__"))
        return
    head = git("rev-parse", "HEAD").decode().strip()
    subprocess.run(["git", "clone", "-q", "--no-checkout", SOURCE, dest], check=True)
    git("checkout", "-q", "--detach", head, cwd=dest)
    for name in git("ls-files", "-z", "--deleted").split(b"\0"):
        if name:
            os.unlink(os.path.join(dest, os.fsdecode(name)))
    for name in git("ls-files", "-z", "--cached", "--others", "--exclude-standard").split(b"\0"):
        path = os.fsdecode(name)
        if name and os.path.isfile(os.path.join(SOURCE, path)):
            os.makedirs(os.path.dirname(os.path.join(dest, path)), exist_ok=True)
            shutil.copyfile(os.path.join(SOURCE, path), os.path.join(dest, path))
            shutil.copymode(os.path.join(SOURCE, path), os.path.join(dest, path))


def release(tree, umask, zone, locale):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("SIGN_") and k not in ("SOURCE_DATE_EPOCH", "MAKEFLAGS")}
    # make check has bootstrapped; doing it again could re-register qemu's
    # binfmt handler under the Wine tests that run beside this one.
    env.update(TZ=zone, LC_ALL=locale, MERLOWSP_BOOTSTRAPPED="1")
    proc = subprocess.run(["scripts/release"], cwd=tree, env=env, capture_output=True,
                          preexec_fn=lambda: os.umask(umask), timeout=900)
    if proc.returncode != 0:
        raise AssertionError("make release in %s failed:\n%s%s" % (
            tree, proc.stdout.decode(errors="replace")[-3000:], proc.stderr.decode(errors="replace")))
    return proc.stdout.decode(errors="replace")


def outputs(tree):
    """Every file of the release, by its path below build/: the folder and build/release."""
    files = {}
    for top in ("dist", "release"):
        for here, _, names in os.walk(os.path.join(tree, "build", top)):
            for name in names:
                path = os.path.join(here, name)
                with open(path, "rb") as f:
                    files[os.path.relpath(path, os.path.join(tree, "build"))] = f.read()
    return files


def differences(a, b):
    """Where two files differ, in the terms of cmp -l and objdump -p."""
    if len(a) != len(b):
        return "sizes %d and %d" % (len(a), len(b))
    offsets = [i for i in range(len(a)) if a[i] != b[i]]
    return "%d bytes differ, first at offset %#x" % (len(offsets), offsets[0])


def pe_header_diff(path_a, path_b):
    dumps = [subprocess.run(["i686-w64-mingw32-objdump", "-p", p], capture_output=True)
             .stdout.decode(errors="replace").splitlines() for p in (path_a, path_b)]
    return "\n".join("  %s | %s" % pair for pair in zip(*dumps) if pair[0] != pair[1])


def pe_stamp_and_debug(data):
    """The COFF header's TimeDateStamp and the size of the debug directory."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0"
    stamp = struct.unpack_from("<I", data, pe + 8)[0]
    optional = pe + 24
    assert struct.unpack_from("<H", data, optional)[0] == 0x10B  # PE32
    debug_size = struct.unpack_from("<I", data, optional + 96 + 6 * 8 + 4)[0]
    return stamp, debug_size


class Reproducible(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp(prefix="merlowsp-reproducible-")
        cls.trees = (os.path.join(cls.top, "a", "src"),
                     os.path.join(cls.top, "second-copy-in-a-longer-folder", "merlowsp-source"))
        cls.stdout, cls.started = [], []
        settings = ((0o022, "UTC", "C"), (0o077, "JST-9", "C.UTF-8"))
        try:
            for tree, (umask, zone, locale) in zip(cls.trees, settings):
                copy_source(tree)
                cls.started.append(time.time())
                cls.stdout.append(release(tree, umask, zone, locale))
                print("release in %s: %.0f s" % (tree, time.time() - cls.started[-1]), file=sys.stderr)
        except BaseException:
            cls.tearDownClass()
            raise
        cls.files = [outputs(tree) for tree in cls.trees]
        with open(os.path.join(cls.trees[1], "build", "win32", "version.txt")) as f:
            cls.version = f.read().strip()
        cls.name = "merlowsp-" + cls.version

    @classmethod
    def tearDownClass(cls):
        if os.environ.get("MERLOWSP_KEEP_COPIES") == "1":
            print("copies kept in %s" % cls.top, file=sys.stderr)
        else:
            shutil.rmtree(cls.top, ignore_errors=True)

    def test_two_builds_are_the_same_bytes(self):
        self.assertGreaterEqual(self.started[1] - self.started[0], 2, "the builds ran at one time")
        first, second = self.files
        self.assertEqual(sorted(first), sorted(second))
        self.assertIn("release/%s.zip" % self.name, first)
        differing = []
        for path in sorted(first):
            if first[path] != second[path]:
                report = "%s: %s" % (path, differences(first[path], second[path]))
                if path.endswith(".exe"):
                    report += "\n" + pe_header_diff(*(os.path.join(t, "build", path) for t in self.trees))
                differing.append(report)
        self.assertEqual([], differing, "\n".join(differing))

    def test_executables_carry_no_time_and_no_build_folder(self):
        files = self.files[1]
        for exe in EXES:
            with self.subTest(exe):
                data = files["dist/%s/%s" % (self.name, exe)]
                self.assertEqual((0, 0), pe_stamp_and_debug(data))
        for path, data in files.items():
            for folder in (self.top, os.path.realpath(self.top)):
                for encoding in ("utf-8", "utf-16-le"):
                    self.assertNotIn(folder.encode(encoding), data, path)

    def test_zip_holds_the_folder_in_order_with_the_commits_time(self):
        files = self.files[1]
        epoch = int(git("log", "-1", "--format=%ct")) if in_git() else None
        with zipfile.ZipFile(os.path.join(self.trees[1], "build", "release", self.name + ".zip")) as z:
            infos = z.infolist()
            names = [i.filename for i in infos]
            self.assertEqual(sorted(names), names)
            expected = {"%s/%s" % (self.name, p[len("dist/%s/" % self.name):])
                        for p in files if p.startswith("dist/")}
            self.assertEqual(sorted(expected | {self.name + "/", self.name + "/files/"}), names)
            for info in infos:
                with self.subTest(info.filename):
                    directory = info.filename.endswith("/")
                    self.assertEqual(3, info.create_system)
                    self.assertEqual((0o40755 << 16) | 0x10 if directory else 0o100644 << 16,
                                     info.external_attr)
                    if epoch is not None:
                        moment = time.gmtime(epoch)
                        self.assertEqual(moment[:5] + (moment[5] // 2 * 2,), info.date_time)
                        self.assertEqual(struct.pack("<HHBI", 0x5455, 5, 1, epoch), info.extra)
                    if not directory:
                        self.assertEqual(files["dist/%s/%s" % (self.name, info.filename.split("/", 1)[1])],
                                         z.read(info))

    def test_sha256sums_lists_the_zip_and_the_executables(self):
        files = self.files[1]
        lines = [(hashlib.sha256(files["release/%s.zip" % self.name]).hexdigest(), self.name + ".zip")]
        lines += [(hashlib.sha256(files["dist/%s/%s" % (self.name, exe)]).hexdigest(),
                   "%s/%s" % (self.name, exe)) for exe in EXES]
        self.assertEqual("".join("%s  %s\n" % line for line in lines).encode(),
                         files["release/SHA256SUMS"])
        self.assertEqual(["release/SHA256SUMS", "release/%s.zip" % self.name],
                         sorted(p for p in files if p.startswith("release/")))

    def test_release_says_it_is_unsigned(self):
        for out in self.stdout:
            self.assertIn("release: build/release/%s.zip, UNSIGNED (no SIGN_CERT given)\n" % self.name,
                          out)


if __name__ == "__main__":
    unittest.main()
