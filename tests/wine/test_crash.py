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
import time
import unittest

from crash_case import POINTS, CompanionCrashCase, report
from installer_crash_case import InstallerCrashCase


class CompanionCrash(CompanionCrashCase):
    """upstrm.dat through kills of the companion's start."""

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


class InstallerCrash(InstallerCrashCase):
    """unups.bat, unmerlowsp.bat and the deletion list through kills of the
    installer. The package holds the companion and 24 files beside it, so
    that the copy takes a while; unups.bat holds 20,000 lines of the
    product's, so that the hook does."""

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


if __name__ == "__main__":
    unittest.main()
