"""The service control manager of a Session, through harness_tool."""

import subprocess
import sys
import time

from .prefix import fixture_path
from .processes import end_process


class ScmMixin:
    def create_service(self, name, command_line, service_type=0x10, start_type=3, display=None):
        self.tool("create", name, command_line, str(service_type), str(start_type),
                  *([display] if display else []))
        self.services.append(name)

    def own_service(self, name):
        """A service the code under test registered: close() removes it too."""
        if name not in self.services:
            self.services.append(name)

    def forget_service(self, name):
        """For a test that deleted a service itself."""
        if name in self.services:
            self.services.remove(name)

    def service_state(self, name):
        """dwCurrentState, or None when the service cannot be queried."""
        result = self.tool("state", name, check=False)
        return int(result.stdout) if result.rc == 0 else None

    def wait_state(self, name, state, timeout_ms=60000):
        return self.tool("waitstate", name, str(state), str(timeout_ms), check=False).rc == 0

    def wait_unregistered(self, name, timeout=30):
        """Waits until the SCM no longer knows the service: a deleted service
        stays until the last handle to it is closed."""
        deadline = time.monotonic() + timeout
        while self.service_state(name) is not None:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.2)
        return True

    def start_service(self, name, *args):
        return self.tool("start", name, *args, check=False).rc

    def stop_service(self, name):
        result = self.tool("stop", name, check=False)
        if result.rc != 0:
            sys.stderr.write("stop %s: %s" % (name, result.stderr.decode(errors="replace")))
        return result.rc

    def stop_until_stopped(self, name, timeout=60):
        """Stops a service whatever it is doing, for the clean-up between
        cases: a stop sent before the service's first report of its own is
        refused (Wine still holds no accepted controls for it, Windows
        answers that it cannot take the control yet), so it is sent again
        until the service reports STOPPED or is no longer registered."""
        deadline = time.monotonic() + timeout
        while True:
            state = self.service_state(name)
            if state in (None, 1):
                return True
            if time.monotonic() > deadline:
                sys.stderr.write("stop %s: still in state %s\n" % (name, state))
                return False
            if state != 3 and self.tool("stop", name, check=False).rc == 0:
                remaining = max(1, int((deadline - time.monotonic()) * 1000))
                self.wait_state(name, 1, remaining)
            else:
                time.sleep(0.2)

    def control_service(self, name, code):
        """Sends a control; returns (rc, dwCurrentState reported back)."""
        result = self.tool("control", name, str(code), check=False)
        if result.rc != 0:
            sys.stderr.write("control %s %d: %s" % (name, code, result.stderr.decode(errors="replace")))
        return result.rc, (int(result.stdout) if result.stdout.strip() else None)

    def service_config(self, name):
        out = self.tool("config", name).stdout.decode("cp932")
        return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)

    def dependencies(self, name):
        """The dependency list from the registry (Wine's QueryServiceConfigA hides it)."""
        out = self.tool("deps", name).stdout
        return [entry.decode("cp932") for entry in out.split(b"\n") if entry]

    def set_dependencies(self, name, entries):
        """Replaces the whole list; Wine would wipe it on a NULL list anyway."""
        self.tool("setdeps", name, *entries)

    def wait_dependencies(self, name, entries, timeout=30):
        """Polls until the dependency list is exactly entries."""
        deadline = time.monotonic() + timeout
        while self.dependencies(name) != entries:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.2)
        return True

    def watch_service(self, name, milliseconds):
        """Spawns a watcher and returns once it watches; its output is one
        line per change: (Unix ms, state, checkpoint, wait hint, type,
        controls accepted)."""
        proc = self.spawn(["wine", fixture_path("harness_tool.exe"), "watch", name,
                           str(milliseconds)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ready = proc.stdout.readline()
        assert ready == b"watching\n", ready
        return proc

    @staticmethod
    def watched(proc):
        """The rows a watch_service process printed; a watch still under way
        is ended first (every row is flushed as it is seen)."""
        end_process(proc)
        out = proc.stdout.read()
        return [tuple(int(x) for x in line.split()) for line in out.decode().splitlines()]
