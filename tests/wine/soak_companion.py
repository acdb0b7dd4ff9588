"""Soak of the companion under Wine: many start and stop cycles of MERLOWSP
in one session, with the stand-in Merlow, five child programs, startup.bat
and a schedule that the correction rewrites at some of the starts.

    soak_companion.py [CYCLES]      (make soak CYCLES=n; 100 by default)

After every cycle: no child program of the companion is left, its process
has ended, Merlow depends on MERLOWSP, upstrm.dat is well formed and lost
nothing, and the events and child logs show one whole start and stop.
While it runs, the companion's handle count and private bytes are read
inside Wine (procprobe memory). Prints a line for each of the first ten
cycles, every hundredth and every one that failed, and the figures at the
end; exits 1 when any check failed, naming the cycle, when processes are
left over at the end, or when the companion's handles or private bytes of
the last cycle exceed those of cycle 10 by more than HANDLE_DRIFT and
PRIVATE_DRIFT. Not part of make check.

Wine does not start dependencies, so each cycle plays a system start as
the SCM does it on Windows: MERLOWSP, RUNNING awaited, then Merlow.
"""

import os
import shutil
import sys
import time

import harness
from harness.facts import (PARAMETERS, SCHEDULE_EVENT, STARTED_EVENT, STOPPED_EVENT, parse_schedule,
                           record)
from soak_checks import REFERENCE_CYCLE, STARTED_NAMES, SoakChecks, read_log

CHILD_IMAGES = ("window_child.exe", "console_child.exe")
RUN_SECONDS = 1.0  # how long both services run in a cycle
# Start parameter 1: the dependency is re-asserted on every pass.
CHECK_PERIOD = "1"
# Every so many cycles the dependency is taken away while both run.
TAKE_AWAY_EVERY = 4
# Wine's desktop process (the first windowed child starts it, and it stays
# for the session as on a Windows desktop), and the soak's own readers.
SESSION_PROCESSES = ("explorer.exe", "harness_tool.exe", "procprobe.exe")

CONFIG = ("# soak: windowed and windowless children, three of them waited for\n"
          "__waitTimeMERLOW=0\n"
          "window_child.exe children.log win1\n"
          "console_child.exe children.log quick 300,3000\n"
          "console_child.exe children.log forever,200\n"
          "window_child.exe children.log win2,100\n"
          "console_child.exe children.log idle\n")
# Ends on its own: the companion leaves the script's process alone.
SCRIPT = "@echo off\r\nconsole_child.exe children.log script 100\r\n"


class Soak(SoakChecks):
    def __init__(self, session, cycles):
        self.s = session
        self.cycles = cycles
        self.failures = []
        self.rows = []  # per cycle: the figures of the summary
        self.lost_replies = 0
        # Windowed children that did not log their close within the second
        # of grace and were ended by the termination that follows: allowed,
        # but a figure (a loaded machine makes it happen now and then).
        self.missed_closes = 0

    def lay_out(self):
        s = self.s
        self.folder = folder = s.lay_out_product()
        for child in CHILD_IMAGES:
            shutil.copy(harness.fixture_path(child), folder)
        exe = s.install_companion(folder)
        s.own_service("MERLOWSP")
        result = s.run(exe, "setup")
        if result.rc != 0:
            raise RuntimeError("merlowsp setup failed: %r" % result)
        with open(os.path.join(folder, "upsombx.conf"), "w", newline="\r\n") as f:
            f.write(CONFIG)
        with open(os.path.join(folder, "startup.bat"), "w", newline="") as f:
            f.write(SCRIPT)
        # A correction of 60 s: each new entry is at least a minute shorter
        # than its basis, so the writes end after about half the cycles.
        s.reg_set(PARAMETERS, "UpsDevice", "sz", "COM1")
        s.reg_set(PARAMETERS, "UpsDownDelay", "sz", "30")
        with open(os.path.join(folder, "merlowsp.ini"), "wb") as f:
            f.write(b"[MERLOW]\r\nRestoreTimeCorrection =30\r\n")
        now = int(time.time())
        minutes = 10 + self.cycles // 2
        lines = [record(now - 86400, "JST-9", 1, 1, 19, "107,60"),
                 record(now - 3600, "JST-9", 2, 4, 1, "107,30"),
                 record(now - 600, "JST-9", 3, 1, 1, "107,%d" % minutes),
                 record(now - 300, "JST-9", 4, 8, 1, "107,%d" % (minutes + 60)),
                 record(now + 7200, "JST-9", 5, 0, 1, "200,停電テスト"),
                 record(now + 86400, "JST-9", 6, 1, 1, "107,60")]
        self.schedule = os.path.join(folder, "upstrm.dat")
        with open(self.schedule, "wb") as f:
            f.write("".join(line + "\r\n" for line in lines).encode("cp932"))
        self.children_log = os.path.join(folder, "children.log")
        self.merlow_log = os.path.join(folder, "merlow-stub.log")
        with open(self.schedule, "rb") as f:
            self.records = parse_schedule(f.read())
        self.baseline = {row[0] for row in s.process_table()}
        self.initial = set(self.baseline)

    def memory(self, pid):
        """(handles, private bytes, working set) of a process, read inside
        Wine; -1 for each when it can't be had."""
        result = self.s.run(harness.fixture_path("procprobe.exe"), "memory", str(pid))
        fields = result.stdout.split()
        if result.rc != 0 or len(fields) != 3:
            return -1, -1, -1
        return tuple(int(x) for x in fields)

    def leftovers(self, table):
        """Processes of the session that were not there before the first cycle."""
        return [row for row in table
                if row[0] not in self.initial and row[4].lower() not in SESSION_PROCESSES]

    def stop(self, name):
        """The stop control; counts the answers Wine loses (see harness_tool's Stop)."""
        result = self.s.tool("stop", name, check=False)
        if b"stop reply lost" in result.stderr:
            self.lost_replies += 1
        return result

    def fail(self, cycle, what):
        self.failures.append("cycle %d: %s" % (cycle, what))
        print("  FAILED cycle %d: %s" % (cycle, what), flush=True)

    def recover(self):
        """Both services stopped again after a failed step, and the next
        cycle's checks start from what is there now; False when they can't."""
        for name in ("Merlow", "MERLOWSP"):
            if not self.s.stop_until_stopped(name):
                return False
        self.baseline = {row[0] for row in self.s.process_table()}
        try:
            with open(self.schedule, "rb") as f:
                self.records = parse_schedule(f.read())
        except (OSError, ValueError):
            pass  # the next cycle reports it
        return True

    def cycle(self, n):
        s = self.s
        failed_before = len(self.failures)
        for log in (self.children_log, self.merlow_log):
            if os.path.exists(log):
                os.unlink(log)
        events_before = len(s.event_reports())
        started_at = time.time()
        begun = time.monotonic()
        if s.start_service("MERLOWSP", CHECK_PERIOD) != 0 or not s.wait_state("MERLOWSP", 4, 60000):
            self.fail(n, "MERLOWSP did not reach RUNNING (state %r)" % s.service_state("MERLOWSP"))
            return self.recover()
        to_running = time.monotonic() - begun
        running_at = time.time()
        begun = time.monotonic()
        if s.start_service("Merlow") != 0 or not s.wait_state("Merlow", 4, 60000):
            self.fail(n, "Merlow did not reach RUNNING")
            return self.recover()
        merlow_running = time.monotonic() - begun
        take_away = n % TAKE_AWAY_EVERY == 0
        if take_away:
            s.set_dependencies("Merlow", [])
        time.sleep(RUN_SECONDS)
        # A child that is not waited for may still be on its way into main
        # on a loaded machine; the stop would end it before it logs.
        deadline = time.monotonic() + 30
        while (not STARTED_NAMES <= self.started(read_log(self.children_log))
               and time.monotonic() < deadline):
            time.sleep(0.2)
        if take_away and s.dependencies("Merlow") != ["MERLOWSP"]:
            self.fail(n, "the dependency taken away was not put back while running: %r"
                      % s.dependencies("Merlow"))

        table = s.process_table()
        companion = [row for row in table if row[4].lower() == "merlowsp.exe"]
        if len(companion) != 1:
            self.fail(n, "%d companion processes while running" % len(companion))
            return self.recover()
        pid, _, handles, working_set, _ = companion[0]
        handles_inside, private_bytes, working_inside = self.memory(pid)
        if handles_inside >= 0:
            handles, working_set = handles_inside, working_inside
        # A parent id may name a process long gone whose id has come back
        # (services.exe's does), so only processes new in this cycle count.
        fresh = [row for row in table if row[0] not in self.baseline]
        children = {(row[0], row[4]) for row in fresh if row[1] == pid}
        programs = sorted(name for _, name in children if name != "cmd.exe")
        # Each console child has a console host of its own, as on Windows.
        # A windowed child may start the desktop's explorer.exe, which stays.
        child_pids = {child for child, name in children if name != "cmd.exe"}
        children |= {(row[0], row[4]) for row in fresh
                     if row[1] in child_pids and row[4].lower() == "conhost.exe"}
        # quick has ended within its wait; the script's child is cmd's.
        expected = ["console_child.exe"] * 2 + ["window_child.exe"] * 2
        if programs != expected:
            self.fail(n, "children of the companion while running: %r" % programs)

        if self.stop("Merlow").rc != 0 or not s.wait_state("Merlow", 1, 60000):
            self.fail(n, "Merlow did not stop")
            return self.recover()
        begun = time.monotonic()
        stop = self.stop("MERLOWSP")
        if stop.rc != 0 or not s.wait_state("MERLOWSP", 1, 60000):
            self.fail(n, "MERLOWSP did not reach STOPPED: stop control %s, state %r after %.1f s"
                      % (stop.stderr.decode(errors="replace").strip() or "accepted",
                         s.service_state("MERLOWSP"), time.monotonic() - begun))
            return self.recover()
        to_stopped = time.monotonic() - begun

        deadline = time.monotonic() + 10
        while True:
            after = s.process_table()
            if not any(row[0] == pid for row in after) or time.monotonic() > deadline:
                break
            time.sleep(0.2)
        if any(row[0] == pid for row in after):
            self.fail(n, "the companion's process %d outlived its stop by 10 s" % pid)
        # startup.bat's cmd.exe is left alone by design (it ends on its own).
        survivors = [row for row in after if (row[0], row[4]) in children and row[4] != "cmd.exe"]
        strays = [row for row in after if row[4] in CHILD_IMAGES]
        if survivors:
            self.fail(n, "children of the companion left after the stop: %r" % survivors)
        if strays:
            self.fail(n, "child programs running after the stop: %r" % strays)

        dependencies = s.dependencies("Merlow")
        if dependencies != ["MERLOWSP"]:
            self.fail(n, "Merlow depends on %r" % dependencies)

        added = self.check_schedule(n, started_at, running_at)
        self.check_logs(n)
        events = [e for kind, e in s.event_reports()[events_before:] if kind == 4 and e != 1]
        expected_events = [STARTED_EVENT, STOPPED_EVENT]
        if added:
            expected_events.insert(0, SCHEDULE_EVENT)
        if events != expected_events:
            self.fail(n, "events %s" % ", ".join("%#x" % e for e in events))

        self.baseline = {row[0] for row in after}
        service_manager = [row for row in after if row[4].lower() == "services.exe"]
        self.rows.append(dict(
            to_running=to_running, to_stopped=to_stopped, merlow_running=merlow_running,
            processes_running=len(table), processes_after=len(after), handles=handles,
            working_set=working_set, records=len(self.records), added=added,
            scm_handles=service_manager[0][2] if service_manager else -1,
            private=private_bytes, leftovers=len(self.leftovers(after)), cycle=n))
        failed = len(self.failures) != failed_before
        if n <= REFERENCE_CYCLE or n % 100 == 0 or n == self.cycles or failed:
            print("cycle %4d: RUNNING %.2f s, STOPPED %.2f s, processes %d/%d, left over %d, "
                  "handles %d, private %.2f MB, working set %.1f MB, records %d%s%s" % (
                      n, to_running, to_stopped, len(table), len(after), self.rows[-1]["leftovers"],
                      handles, private_bytes / 1048576, working_set / 1048576, len(self.records),
                      " (+1)" if added else "", "  FAILED" if failed else ""), flush=True)
        return True

    def run(self):
        self.lay_out()
        print("soak: %d cycles of MERLOWSP under Wine, %d schedule records to begin with"
              % (self.cycles, len(self.records)), flush=True)
        begun = time.monotonic()
        cycles = 0
        for n in range(1, self.cycles + 1):
            cycles = n
            if not self.cycle(n):
                self.fail(n, "the services could not be stopped; the soak ends here")
                break
        self.check_drift(cycles)
        self.summary(cycles, time.monotonic() - begun)
        return 1 if self.failures else 0

def main(argv):
    cycles = int(argv[1]) if len(argv) > 1 else 100
    with harness.Session("soak") as session:
        return Soak(session, cycles).run()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
