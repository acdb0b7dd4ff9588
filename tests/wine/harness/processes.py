"""Processes: the helpers a session starts on the Unix side, ended by their
ids, and the Windows processes inside the session."""

import os
import signal
import subprocess
import time


def end_process(proc, grace=3.0):
    """Ends a helper process (and its process group) by its id."""
    if proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
    except (ProcessLookupError, PermissionError):
        proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()


def wait_until(predicate, timeout, interval=0.2):
    """Polls predicate until it gives a true value (returned) or timeout
    seconds have passed (None)."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            return None
        time.sleep(interval)


class ProcessesMixin:
    """The Windows processes of a Session, through harness_tool."""

    def wait_gone(self, image, timeout=15):
        """Waits until no process of that image runs: a service reports
        STOPPED a moment before its process ends, and a test that counts
        processes or starts the service again waits for that end."""
        deadline = time.monotonic() + timeout
        while image in self.processes():
            if time.monotonic() > deadline:
                return False
            time.sleep(0.2)
        return True

    def processes(self):
        return [image for _, image in self.process_ids()]

    def process_ids(self):
        """(pid, image name) of every Windows process of the session."""
        out = self.tool("procs").stdout.decode("cp932", "replace")
        return [(int(pid), image.strip()) for pid, _, image in
                (line.partition(" ") for line in out.splitlines() if " " in line)]

    def end_windows_processes(self, *images):
        """Ends, each by its own pid, the processes of these images that a
        test left running on purpose (never by image name: that could hit
        processes of the product)."""
        for pid, image in self.process_ids():
            if image in images:
                self.run("taskkill", "/f", "/pid", str(pid))

    def process_table(self):
        """(pid, parent pid, handle count, working set in bytes, image name) of
        every process of the session; -1 where a figure can't be had."""
        rows = []
        for line in self.tool("procstat").stdout.decode("cp932", "replace").splitlines():
            fields = line.split(" ", 4)
            if len(fields) == 5:
                rows.append((*(int(x) for x in fields[:4]), fields[4].strip()))
        return rows
