"""The soak's checks of a cycle's results and its figures at the end (see
soak_companion.py)."""

import os
import statistics
import time

from harness.facts import parse_schedule, schedule_change

# Each cycle starts a new companion process, so its figures differ only by
# what a start does: timing (a child's handle, a thread) and the schedule,
# which grows by up to one record a cycle. More than that is a leak.
HANDLE_DRIFT = 8
PRIVATE_DRIFT = 1 << 20
REFERENCE_CYCLE = 10
# What each cycle starts: the configured programs and the script's child.
STARTED_NAMES = {"script", "win1", "quick", "forever", "win2", "idle"}


def read_log(path):
    """The texts of a child log's lines, without their moments."""
    if not os.path.exists(path):
        return []
    with open(path, encoding="cp932") as f:
        return [line.rstrip("\r\n").split(" ", 1)[1] for line in f if " " in line]


class SoakChecks:
    """What Soak checks after each cycle and reports at the end."""

    def check_schedule(self, n, started_at, running_at):
        """Checks upstrm.dat after a cycle; True when the start added an entry."""
        if os.path.exists(self.schedule + ".new"):
            self.fail(n, "upstrm.dat.new left behind")
        try:
            with open(self.schedule, "rb") as f:
                now = parse_schedule(f.read())
        except (OSError, ValueError) as e:
            self.fail(n, "upstrm.dat: %s" % e)
            return False
        problem = schedule_change(self.records, now)
        if problem:
            self.fail(n, "upstrm.dat: %s" % problem)
            self.records = now
            return False
        added = len(now) > len(self.records)
        if added:
            made = [int(f[0]) for f in now if f not in self.records and f[13] == b"1"]
            if not made or not int(started_at) <= made[0] <= int(running_at) + 1:
                self.fail(n, "the added entry was made at %r, not between %d and %d"
                          % (made, started_at, running_at))
        self.records = now
        return added

    @staticmethod
    def started(log):
        return {what.split(" ")[0] for what in log if " started" in what}

    def check_logs(self, n):
        # The script's child is not waited for by anyone but its cmd.exe,
        # which the companion leaves alone: on a loaded machine it may still
        # be on its way to its last line.
        deadline = time.monotonic() + 30
        log = read_log(self.children_log)
        while "script exited" not in log and time.monotonic() < deadline:
            time.sleep(0.2)
            log = read_log(self.children_log)
        started = self.started(log)
        if started != STARTED_NAMES:
            self.fail(n, "started this cycle: %s" % sorted(started))
        self.missed_closes += sum(line not in log for line in ("win1 closed", "win2 closed"))
        if "script exited" not in log:
            self.fail(n, "startup.bat's child did not end on its own")
        merlow = read_log(self.merlow_log)
        if merlow != ["start Merlow", "running", "stop-requested", "stopped"]:
            self.fail(n, "Merlow's log: %r" % merlow)

    def check_drift(self, cycles):
        """Nothing left over after the last stop; the last cycle's handles and
        private bytes within the drift bounds of the reference cycle's."""
        left = self.leftovers(self.s.process_table())
        if left:
            self.fail(cycles, "processes left over at the end: %r" % left)
        rows = {row["cycle"]: row for row in self.rows}
        reference = rows.get(min(REFERENCE_CYCLE, cycles))
        last = rows.get(cycles)
        if reference is None or last is None:
            self.fail(cycles, "no figures of cycle %d or %d to compare"
                      % (min(REFERENCE_CYCLE, cycles), cycles))
            return
        for key, bound in (("handles", HANDLE_DRIFT), ("private", PRIVATE_DRIFT)):
            if reference[key] < 0 or last[key] < 0:
                self.fail(cycles, "the companion's %s could not be read" % key)
            elif last[key] - reference[key] > bound:
                self.fail(cycles, "the companion's %s grew from %d at cycle %d to %d (bound %d)"
                          % (key, reference[key], reference["cycle"], last[key], bound))

    def summary(self, cycles, seconds):
        rows = self.rows
        failed = list(dict.fromkeys(f.split(":")[0] for f in self.failures))
        print("\nsoak: %d cycles in %.0f s (%.1f s a cycle), %d failed%s" % (
            cycles, seconds, seconds / max(cycles, 1), len(failed),
            ": " + ", ".join(failed) if failed else ""))
        if not rows:
            return
        print("  times from the Unix side (each harness_tool call adds about 0.2 s):")
        for key, label in (("to_running", "MERLOWSP start to RUNNING"),
                           ("merlow_running", "Merlow start to RUNNING"),
                           ("to_stopped", "MERLOWSP stop to STOPPED")):
            values = [row[key] for row in rows]
            print("    %-26s min %.2f  median %.2f  max %.2f s" % (
                label, min(values), statistics.median(values), max(values)))
        first, last = rows[0], rows[-1]
        print("  Wine processes running/after stop: first %d/%d, last %d/%d, max %d/%d" % (
            first["processes_running"], first["processes_after"], last["processes_running"],
            last["processes_after"], max(r["processes_running"] for r in rows),
            max(r["processes_after"] for r in rows)))
        print("  companion handles: first %d, last %d (min %d, max %d)" % (
            first["handles"], last["handles"], min(r["handles"] for r in rows),
            max(r["handles"] for r in rows)))
        print("  companion working set: first %.1f MB, last %.1f MB (max %.1f MB)" % (
            first["working_set"] / 1048576, last["working_set"] / 1048576,
            max(r["working_set"] for r in rows) / 1048576))
        reference = next((r for r in rows if r["cycle"] == min(REFERENCE_CYCLE, cycles)), first)
        print("  drift, cycle %d to cycle %d: handles %d to %d (%+d, bound %d), private bytes "
              "%d to %d (%+d, bound %d)" % (
                  reference["cycle"], last["cycle"], reference["handles"], last["handles"],
                  last["handles"] - reference["handles"], HANDLE_DRIFT, reference["private"],
                  last["private"], last["private"] - reference["private"], PRIVATE_DRIFT))
        print("  processes left over after the stops: max %d, at the end %d" % (
            max(r["leftovers"] for r in rows), last["leftovers"]))
        for hundred in range(100, cycles + 1, 100):
            row = next((r for r in rows if r["cycle"] == hundred), None)
            if row:
                print("    cycle %4d: handles %d, private %.2f MB, left over %d" % (
                    hundred, row["handles"], row["private"] / 1048576, row["leftovers"]))
        print("  services.exe handles after stop: first %d, last %d" % (
            first["scm_handles"], last["scm_handles"]))
        print("  schedule records: first %d, last %d; %d starts added an entry" % (
            first["records"], last["records"], sum(r["added"] for r in rows)))
        print("  windowed children ended without their close: %d; stop answers lost by Wine: %d"
              % (self.missed_closes, self.lost_replies))
        for failure in self.failures:
            print("  " + failure)
