"""The base of the installer's crash test (test_crash.py): its package and
product lay-out, the calibration of its run, and the checks after a kill
and of the next run."""

import os
import subprocess
import time

import harness
from crash_case import probe_output, spread
from harness.facts import COMPLETED
from installer_case import InstallerCase


class InstallerCrashCase(InstallerCase):
    session_name = "crash_installer"

    DATA_FILES = 24

    @classmethod
    def setUpClass(cls):
        # No display: the null driver's message boxes are real all the same.
        cls.s = harness.Session(cls.session_name)
        cls.s.start()
        cls.runs = 0

    def lay_out_crash(self):
        self.lay_out()
        self.old_script = self.product_lines + b"".join(
            b"echo product line %05d\r\n" % i for i in range(20000))
        self.unups = os.path.join(self.product, "unups.bat")
        folder = self.package(harness.product_path("merlowsp.exe"))
        for i in range(self.DATA_FILES):
            with open(os.path.join(self.s_files, "data%02d.bin" % i), "wb") as f:
                f.write(bytes([i]) * 262144)
        self.names = sorted(os.listdir(self.s_files))
        self.command = '"%s"' % self.s.winpath(os.path.join(folder, "merlowspsetup.exe"))

    def reset(self):
        """Back to before the installation: no service, the old unups.bat."""
        self.reset_service_only()
        for name in os.listdir(self.manager):
            if name != "merlow.exe":
                os.unlink(os.path.join(self.manager, name))
        for name in os.listdir(self.product):
            if name not in ("Merlow", "unups.bat"):
                os.unlink(os.path.join(self.product, name))
        with open(self.unups, "wb") as f:
            f.write(self.old_script)

    def probe(self, delay, watch):
        """The probe's report. Its stdout is a file, not a pipe: the
        installer's children inherit it, and one of them may never end
        (see end_orphans)."""
        s = self.s
        type(self).runs += 1
        path = os.path.join(s.prefix, "probe-%d.out" % self.runs)
        with open(path, "wb") as out:
            proc = s.spawn(["wine", harness.fixture_path("procprobe.exe"), "process", str(delay),
                            watch, self.command], stdout=out, stderr=subprocess.DEVNULL)
            proc.wait(300)
        with open(path, "rb") as f:
            return probe_output(harness.Result(proc.returncode, f.read(), b""))

    def end_orphans(self, installer):
        """Waits for the programs the killed installer started ("setup",
        "net start") to end; returns how many had to be ended. A kill that
        lands inside CreateProcessA, after the child was made and before its
        thread was let run, leaves the child suspended for good, on Windows
        as under Wine; the test ends it by its id."""
        s = self.s
        deadline = time.monotonic() + 30
        while True:
            orphans = [row for row in s.process_table() if row[1] == installer and
                       row[4].lower() in ("merlowsp.exe", "net.exe", "cmd.exe", "conhost.exe")]
            if not orphans or time.monotonic() > deadline:
                break
            time.sleep(0.3)
        for row in orphans:
            s.run(harness.fixture_path("procprobe.exe"), "kill", str(row[0]))
        return len(orphans)

    def calibrate(self):
        """Times of one whole run (ms after its start): the deletion list
        made, the last file of the package copied, the hook's temporary
        made and renamed."""
        s = self.s
        self.reset()
        first = self.probe(-1, s.winpath(os.path.join(self.product, "merlowsp.tmp")))
        listed = self.read(self.manager, "upsombxfile.bat").splitlines()
        last = listed[-1][len(b'del "'):-1].decode("cp932")
        self.reset()
        watch = "|".join((s.winpath(os.path.join(self.product, "merlowsp.tmp")),
                          s.winpath(os.path.join(self.manager, "upsombxfile.bat")), last))
        out = self.probe(-1, watch)
        self.reset()
        for run in (first, out):
            self.assertTrue(run.get("appeared") and run.get("vanished"), run)
        self.assertTrue(out.get("seen1") and out.get("seen2"), out)
        return (out["seen1"] - out["found"], out["seen2"] - out["found"],
                out["appeared"] - out["found"], out["vanished"] - out["found"])

    def plan(self, count, listed, last, made, renamed):
        """(anchor, delay): kills from the start through the gate, the copy,
        the registration and the start, then a third over the copy from the
        list's making, a third over the hook from its temporary's."""
        tmp = self.s.winpath(os.path.join(self.product, "merlowsp.tmp"))
        listing = self.s.winpath(os.path.join(self.manager, "upsombxfile.bat"))
        copy = max(1, count // 3)
        hook = max(1, count // 3)
        start = max(1, count - copy - hook)
        copying = last - listed + max(last - listed, 10) // max(len(self.names) - 1, 1)
        return ([("-", d) for d in spread(start, 0, made)] +
                [(listing, d) for d in spread(copy, 0, copying)] +
                [(tmp, d) for d in spread(hook, 0, renamed - made + 60)])

    def listed(self):
        """Target paths the deletion list names in whole lines."""
        data = self.read(self.manager, "upsombxfile.bat") or b""
        lines = data.split(b"\r\n")[:-1]  # the last piece has no line end
        return {line[len(b'del "'):-1] for line in lines
                if line.startswith(b'del "') and line.endswith(b'"')}

    def check_after_kill(self, where, problems, figures):
        hooked = self.hook_block() + self.old_script
        script = self.read(self.unups)
        copied = [n for n in self.names if os.path.exists(os.path.join(self.manager, n))]
        unlisted = [n for n in copied if self.win(self.manager, n) not in self.listed()]
        companion_script = self.read(self.product, "unmerlowsp.bat")
        if script not in (self.old_script, hooked):
            figures["torn"] += 1
            problems.append("%s: unups.bat torn (%d bytes)" % (where, len(script or b"")))
        if companion_script not in (None, self.companion_script()):
            figures["torn"] += 1
            problems.append("%s: unmerlowsp.bat torn" % where)
        if script == hooked and companion_script is None:
            problems.append("%s: unups.bat hooked without unmerlowsp.bat" % where)
        if unlisted:
            figures["unlisted"] += len(unlisted)
            problems.append("%s: copied but not in the deletion list: %s" % (where, unlisted))
        temporaries = [n for n in ("merlowsp.tmp", "unmerlowsp.tmp")
                       if os.path.exists(os.path.join(self.product, n))]
        figures["temporaries"] += bool(temporaries)
        if script == hooked:
            figures["hooked"] += 1
        elif temporaries:
            figures["in the hook"] += 1
        elif len(copied) == len(self.names):
            figures["copied"] += 1
        elif copied or self.read(self.manager, "upsombxfile.bat") is not None:
            figures["in the copy"] += 1
        else:
            figures["before the copy"] += 1

    def check_next_run(self, where, problems, figures):
        """What the kill left undone as an administrator undoes it: the
        service removed and the deletion list run, as the companion's
        uninstall script does, which must leave no copied file behind; then
        the installer again, over the temporaries the kill left: a whole
        installation. (Without the list's run the installer would refuse
        to put the same version over the companion already copied.)"""
        s = self.s
        self.reset_service_only()
        listing = os.path.join(self.manager, "upsombxfile.bat")
        if os.path.exists(listing):
            s.run("cmd", "/c", s.winpath(listing))
            os.unlink(listing)
        left = sorted(set(os.listdir(self.manager)) - {"merlow.exe"})
        if left:
            figures["left behind"] += len(left)
            problems.append("%s: the deletion list left %s behind" % (where, left))
            for name in left:
                os.unlink(os.path.join(self.manager, name))
        proc = s.spawn(["wine", self.setup_exe], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        box = s.read_message_box("SetUp")
        proc.wait(60)
        expected = {
            "box": COMPLETED.encode("cp932"),
            "unups.bat": self.hook_block() + self.old_script,
            "unmerlowsp.bat": self.companion_script(),
            "deletion list": b"".join(b'del "%s"\r\n' % self.win(self.manager, n)
                                      for n in sorted(self.names)),
            "product folder": ["Merlow", "unmerlowsp.bat", "unups.bat"],
            "UPS manager folder": sorted(self.names + ["merlow.exe", "upsombxfile.bat"]),
        }
        listed = self.read(self.manager, "upsombxfile.bat") or b""
        got = {
            "box": box,
            "unups.bat": self.read(self.unups),
            "unmerlowsp.bat": self.read(self.product, "unmerlowsp.bat"),
            "deletion list": b"".join(sorted(listed.splitlines(keepends=True))),
            "product folder": sorted(os.listdir(self.product)),
            "UPS manager folder": sorted(os.listdir(self.manager)),
        }
        wrong = [k for k in expected if expected[k] != got[k]]
        if wrong:
            figures["disturbed"] += 1
            problems.append("%s: the next run differs in %s" % (where, "; ".join(
                "%s %r" % (k, got[k] if len(repr(got[k])) < 300 else repr(got[k])[:300])
                for k in wrong)))

    def reset_service_only(self):
        """The service that the killed run may have registered and started,
        removed as its uninstall would; the files stay as the kill left them.
        What the killed installer started ends on its own: "setup" and "net
        start" are awaited before the service is stopped and removed."""
        s = self.s
        deadline = time.monotonic() + 60
        while "net.exe" in s.processes() and time.monotonic() < deadline:
            time.sleep(0.2)
        s.stop_until_stopped("MERLOWSP")
        self.assertTrue(s.wait_gone("merlowsp.exe", 60))
        if s.service_state("MERLOWSP") is not None:
            s.tool("delete", "MERLOWSP")
