"""A crash at any instant loses nothing. The companion's start and the
installer are ended by TerminateProcess (tests/fixtures/procprobe.cpp) at
moments spread over the whole run: the companion before, during and after
its rewrite of a 100,000-record upstrm.dat that holds a running open 107
entry; the installer over its package copy and its hook of unups.bat.

After each kill every file is whole, the old one or the complete new one,
the deletion list names every file that was copied, and the next run, with
whatever temporary the kill left, ends as a run that was never cut short
and leaves no stray file. Each try starts from the original files.

make check runs a short form; make crash the full one, with
MERLOWSP_CRASH_POINTS="COMPANION,INSTALLER" kill points. Both print their
figures. A delay only chooses where a kill lands; every verdict holds
wherever it landed, and the moment is classified from the files."""

import os
import re
import subprocess
import sys
import time
import unittest

import harness
from harness.facts import COMPLETED, new_entry, record
from installer_case import InstallerCase

ZONE = "JST-9"  # the session's
RECORDS = 100000
PAST, BASIS_MINUTES = 60000, 1440
POINTS = [int(n) for n in os.environ.get("MERLOWSP_CRASH_POINTS", "3,3").split(",")]
FIELD = re.compile(rb"^(pid|found|appeared|vanished|seen\d|killed|exited|missed|reported|running) (\d+)$")


def probe_output(result):
    """The probe's "key value" lines; the programs it starts share its
    stdout (the installer's "setup" and "net start" print there too)."""
    out = {}
    for line in result.stdout.splitlines():
        m = FIELD.match(line.strip())
        if m:
            out[m.group(1).decode()] = int(m.group(2))
    return out


def spread(count, begin, end):
    """count delays in ms, evenly over [begin, end)."""
    return [int(begin + (end - begin) * i / count) for i in range(count)]


def report(title, figures):
    sys.stderr.write("\n%s: %s\n" % (title, ", ".join("%s %s" % kv for kv in figures.items())))


class CompanionCrash(unittest.TestCase):
    """upstrm.dat through kills of the companion's start."""

    @classmethod
    def setUpClass(cls):
        cls.s = s = harness.Session("crash_companion")
        s.start()
        cls.folder = folder = s.lay_out_product()
        cls.exe = s.install_companion(folder)
        s.own_service("MERLOWSP")
        assert s.run(cls.exe, "setup").rc == 0
        s.set_dependencies("Merlow", ["MERLOWSP"])
        cls.schedule = os.path.join(folder, "upstrm.dat")
        cls.fresh = cls.schedule + ".new"
        cls.lay_out_schedule()

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    @classmethod
    def lay_out_schedule(cls):
        """Done and closed entries over the past 40 days, the basis (an open
        kind-1 107 entry of a day that began 10 minutes ago), entries from
        two days on: the new entry always follows the basis."""
        now = int(time.time())
        actions = (("107,60", 1, 19), ("107,30", 4, 1), ("200,UPS", 0, 1), ("107,90", 8, 19))
        lines = []
        for i in range(PAST):
            action, kind, state = actions[i % 4]
            lines.append(record(now - 40 * 86400 + i * 50, ZONE, i + 1, kind, state, action))
        cls.basis_start = now - 600
        lines.append(record(cls.basis_start, ZONE, PAST + 1, 1, 1, "107,%d" % BASIS_MINUTES))
        for i in range(RECORDS - PAST - 1):
            kind, state, action = (0, 1, "200") if i % 2 else (1, 1, "107,60")
            lines.append(record(now + 2 * 86400 + i * 60, ZONE, PAST + 2 + i, kind, state, action))
        encoded = [(line + "\r\n").encode("cp932") for line in lines]
        cls.head = b"".join(encoded[:PAST])
        cls.tail = b"".join(encoded[PAST + 1:])
        cls.basis_open = encoded[PAST]
        cls.basis_done = (record(cls.basis_start, ZONE, PAST + 1, 1, 19, "107,%d" % BASIS_MINUTES)
                          + "\r\n").encode("cp932")
        cls.original = cls.head + cls.basis_open + cls.tail

    # -- what the correction must give ----------------------------------------
    def entry(self, t, start, minutes, serial, state=1):
        length = minutes - (t - start) // 60
        line = new_entry(t, ZONE, serial, serial, 1 if length < 0 else length)
        if state != 1:
            line = line.replace(";33;1;", ";33;%d;" % state)
        return (line + "\r\n").encode("cp932"), (1 if length < 0 else length)

    def corrected(self, t):
        """The original corrected at time t: the basis done, the new entry after it."""
        entry, _ = self.entry(t, self.basis_start, BASIS_MINUTES, RECORDS + 1)
        return self.head + self.basis_done + entry + self.tail

    def corrected_twice(self, t, t2):
        """corrected(t) corrected again at t2: the entry of t is the basis then."""
        if t2 <= t:
            return self.corrected(t)
        _, minutes = self.entry(t, self.basis_start, BASIS_MINUTES, RECORDS + 1)
        done, _ = self.entry(t, self.basis_start, BASIS_MINUTES, RECORDS + 1, state=19)
        second, _ = self.entry(t2, t, minutes, RECORDS + 2)
        return self.head + self.basis_done + done + second + self.tail

    def made_at(self, data):
        """The time of the entry that follows the basis, or None."""
        rest = data[len(self.head) + len(self.basis_done):]
        field = rest.split(b";", 1)[0]
        return int(field) if field.isdigit() else None

    def read(self):
        with open(self.schedule, "rb") as f:
            return f.read()

    # -- runs ---------------------------------------------------------------------
    def probe(self, *args):
        return probe_output(self.s.run(harness.fixture_path("procprobe.exe"), "service",
                                       "MERLOWSP", *args, timeout=300))

    def stop(self):
        s = self.s
        self.assertTrue(s.stop_until_stopped("MERLOWSP"), "MERLOWSP did not stop")
        self.assertTrue(s.wait_gone("merlowsp.exe", 30))

    def restore(self):
        with open(self.schedule, "wb") as f:
            f.write(self.original)
        if os.path.exists(self.fresh):
            os.unlink(self.fresh)

    def calibrate(self):
        """One whole start: the process seen, the new file made and renamed,
        the first status report (ms, from the process seen)."""
        self.restore()
        out = self.probe("-1", self.s.winpath(self.fresh))
        self.stop()
        self.assertIn("running", out, out)
        self.assertTrue(out.get("appeared") and out.get("vanished"), out)
        return (out["appeared"] - out["found"], out["vanished"] - out["found"],
                out["reported"] - out["found"])

    def plan(self, count, made, renamed, reported):
        """(anchor file or None, delay): a third of the kills from the
        process's appearance up to the new file's, a third while the new
        file is written, the rest from the rename to past the report."""
        during = max(1, count // 3)
        before = max(1, (count - during) // 2)
        after = max(1, count - during - before)
        writing = max(renamed - made, 1)
        return ([(None, d) for d in spread(before, 0, made)] +
                [(self.fresh, d) for d in spread(during, 0, writing)] +
                [(None, d) for d in spread(after, renamed, max(reported, renamed + 50) + 400)])

    def test_kills_over_the_start_leave_the_old_or_the_whole_corrected_file(self):
        s = self.s
        timeline = self.calibrate()
        figures = dict(points=0, old=0, corrected=0, temporaries=0, torn=0, disturbed=0)
        problems = []
        listing = sorted(os.listdir(self.folder))
        for anchor, delay in self.plan(POINTS[0], *timeline):
            self.restore()
            begun = int(time.time())
            out = self.probe(str(delay), *([s.winpath(anchor)] if anchor else []))
            ended = int(time.time()) + 1
            self.assertTrue(s.wait_gone("merlowsp.exe", 30))
            self.assertIn("killed", out, "the start was not cut short: %r" % out)
            figures["points"] += 1
            where = "kill %d ms after %s" % (delay, "the new file" if anchor else "the process")
            data = self.read()
            left = os.path.exists(self.fresh)
            figures["temporaries"] += left
            made = None
            if data == self.original:
                figures["old"] += 1
            else:
                made = self.made_at(data)
                if made is not None and begun <= made <= ended and data == self.corrected(made):
                    figures["corrected"] += 1
                else:
                    figures["torn"] += 1
                    problems.append("%s: upstrm.dat torn (%d bytes)" % (where, len(data)))
                    continue

            # The next start, over whatever the kill left.
            begun = int(time.time())
            out = self.probe("-1")
            ended = int(time.time()) + 1
            after = self.read()
            if made is None:
                again = self.made_at(after)
                good = again is not None and begun <= again <= ended and after == self.corrected(again)
            else:
                good = any(after == self.corrected_twice(made, t2)
                           for t2 in range(max(begun, made), ended + 1))
            stray = sorted(os.listdir(self.folder)) != listing
            if "running" not in out or not good or stray:
                figures["disturbed"] += 1
                problems.append("%s (%s): the next start %s" % (
                    where, "old file" if made is None else "corrected file",
                    "did not run" if "running" not in out else
                    "left %r" % sorted(set(os.listdir(self.folder)) - set(listing)) if stray
                    else "did not correct it as a start should"))
            self.stop()
        self.restore()
        report("companion", dict(figures, timeline="new file at %d ms, renamed at %d ms, "
                                 "reported at %d ms" % timeline))
        self.assertEqual([], problems)
        self.assertGreaterEqual(figures["points"], POINTS[0])


class InstallerCrash(InstallerCase):
    """unups.bat, unmerlowsp.bat and the deletion list through kills of the
    installer. The package holds the companion and 24 files beside it, so
    that the copy takes a while; unups.bat holds 20,000 lines of the
    product's, so that the hook does."""

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
        s = self.s
        # What the killed installer started ends on its own: "setup" and
        # "net start" are awaited before the service is stopped and removed.
        deadline = time.monotonic() + 60
        while "net.exe" in s.processes() and time.monotonic() < deadline:
            time.sleep(0.2)
        s.stop_until_stopped("MERLOWSP")
        self.assertTrue(s.wait_gone("merlowsp.exe", 60))
        if s.service_state("MERLOWSP") is not None:
            s.tool("delete", "MERLOWSP")
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

    def test_kills_over_copy_and_hook_leave_whole_scripts_and_a_full_list(self):
        self.lay_out_crash()
        timeline = self.calibrate()
        figures = {"points": 0, "before the copy": 0, "in the copy": 0, "copied": 0,
                   "in the hook": 0, "hooked": 0, "temporaries": 0, "torn": 0, "unlisted": 0,
                   "left behind": 0, "disturbed": 0, "suspended children": 0}
        problems = []
        for anchor, delay in self.plan(POINTS[1], *timeline):
            out = self.probe(delay, anchor)
            if "killed" not in out:
                self.fail("the installer was not cut short (%d ms after %s): %r"
                          % (delay, anchor, out))
            figures["points"] += 1
            figures["suspended children"] += self.end_orphans(out["pid"])
            where = "kill %d ms after %s" % (delay, "its start" if anchor == "-" else anchor)
            self.check_after_kill(where, problems, figures)
            self.check_next_run(where, problems, figures)
            self.reset()
        report("installer", dict(figures, timeline="list at %d ms, last file at %d ms, "
                                 "hook from %d to %d ms" % timeline))
        self.assertEqual([], problems)
        self.assertGreaterEqual(figures["points"], POINTS[1])

    def reset_service_only(self):
        """The service that the killed run may have registered and started,
        removed as its uninstall would; the files stay as the kill left them."""
        s = self.s
        deadline = time.monotonic() + 60
        while "net.exe" in s.processes() and time.monotonic() < deadline:
            time.sleep(0.2)
        s.stop_until_stopped("MERLOWSP")
        self.assertTrue(s.wait_gone("merlowsp.exe", 60))
        if s.service_state("MERLOWSP") is not None:
            s.tool("delete", "MERLOWSP")


if __name__ == "__main__":
    unittest.main()
