"""A test's own Windows: a cloned prefix with its own wineserver session,
which ends every process it started, by its id, when it closes, also
after a failure."""

import atexit
import os
import shutil
import signal
import subprocess
import sys

from . import facts
from .display import DisplayMixin
from .events import EventsMixin
from .prefix import (SERVICE_TRACE, base_env, clone_prefix, ensure_template, build_dir,
                     fixture_path, record_pid, start_session, wineserver)
from .processes import ProcessesMixin, end_process
from .proxies import install_dependency_substitute
from .registry import RegistryMixin, append_registry
from .scm import ScmMixin
from .serial import SerialMixin


def _end_on_sigterm(signum, _frame):
    # A test ended by hand or by CTest still runs its atexit clean-up.
    sys.exit(128 + signum)


signal.signal(signal.SIGTERM, _end_on_sigterm)


class Result:
    def __init__(self, rc, stdout, stderr):
        self.rc, self.stdout, self.stderr = rc, stdout, stderr

    def __repr__(self):
        return "Result(rc=%r, stdout=%r, stderr=%r)" % (self.rc, self.stdout, self.stderr[-400:])


def hex_argument(data):
    """An argument of harness_tool that carries exact code page 932 bytes."""
    return "hex:" + data.hex()


class Session(ScmMixin, RegistryMixin, ProcessesMixin, EventsMixin, DisplayMixin, SerialMixin):
    """A cloned prefix with its own wineserver session.

    Use as a context manager. Everything it starts (wineserver, Xvfb, socat,
    simulators, services it registered) is ended when it closes.
    """

    def __init__(self, name, display=False, autostart=True):
        self.build = build_dir()
        self.template = ensure_template(self.build)
        self.prefix = os.path.join(self.build, "wine", "run", "%s-%d" % (name, os.getpid()))
        self.env = base_env(self.prefix)
        self.children = []  # Popen objects of helper processes, ended by pid
        self.services = []  # services this session registered
        self.display = None
        self.want_display = display
        self.com_ports = {}
        self.autostart = autostart  # False: map COM ports first, then start()
        self.started = False
        self.closed = False
        clone_prefix(self.template, self.prefix)
        record_pid(self.prefix, "owner", os.getpid())
        atexit.register(self.close)

    # -- session -------------------------------------------------------------
    def __enter__(self):
        if self.autostart:
            self.start()
        return self

    def __exit__(self, *exc):
        self.close()

    @property
    def services_log(self):
        return os.path.join(self.prefix, "services.log")

    def start(self):
        if self.want_display:
            self._start_xvfb()
            append_registry(os.path.join(self.prefix, "user.reg"), r"Software\Wine\Drivers",
                            {"Graphics": "x11"})
        wineserver(self.env, "-k")
        # The first process of a session starts services.exe, and every
        # service inherits its environment and its stderr: make it a known one.
        env = dict(self.env, WINEDEBUG=SERVICE_TRACE)
        if self.display is not None:
            # The session's desktop takes its display from the first process.
            env["DISPLAY"] = self.display_name
        with open(self.services_log, "ab") as log:
            start_session(env, log)
        self.started = True

    def close(self):
        if self.closed:
            return
        self.closed = True
        try:
            if self.started:
                for name in reversed(self.services):
                    self.tool("stop", name, check=False)
                    self.tool("waitstate", name, "1", "15000", check=False)
                    self.tool("delete", name, check=False)
        finally:
            wineserver(self.env, "-k")
            for child in reversed(self.children):
                end_process(child)
            if self.display is not None:
                end_process(self.display)
            if os.environ.get("MERLOWSP_KEEP_PREFIX") != "1":
                shutil.rmtree(self.prefix, ignore_errors=True)

    # -- running programs ------------------------------------------------------
    def winpath(self, unix_path):
        """The Windows path of a Unix path: C: for the prefix's drive, else Z:."""
        unix_path = os.path.abspath(unix_path)
        drive_c = os.path.join(self.prefix, "drive_c")
        if unix_path == drive_c or unix_path.startswith(drive_c + os.sep):
            return "C:\\" + os.path.relpath(unix_path, drive_c).replace("/", "\\").lstrip(".")
        return "Z:" + unix_path.replace("/", "\\")

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def run(self, exe, *args, cwd=None, timeout=120, env=None, stdin=b""):
        """Runs a Windows executable; returns its exit code and stdout/stderr bytes."""
        run_env = dict(self.env)
        if self.display is not None:
            run_env["DISPLAY"] = self.display_name
        if env:
            run_env.update(env)
        proc = subprocess.run(["wine", exe, *args], env=run_env, cwd=cwd, input=stdin,
                              capture_output=True, timeout=timeout)
        return Result(proc.returncode, proc.stdout, proc.stderr)

    def spawn(self, argv, **kwargs):
        """Starts a helper process (Unix or wine) that close() ends by its id."""
        env = dict(self.env)
        if self.display is not None:
            env["DISPLAY"] = self.display_name
        env.update(kwargs.pop("env", {}))
        proc = subprocess.Popen(argv, env=env, start_new_session=True, **kwargs)
        self.children.append(proc)
        record_pid(self.prefix, "helper", proc.pid)
        return proc

    def tool(self, *args, check=True, timeout=120):
        """Runs the harness's Win32 helper (tests/fixtures/harness_tool.cpp)."""
        result = self.run(fixture_path("harness_tool.exe"), *args, timeout=timeout)
        if check and result.rc != 0:
            raise AssertionError("harness_tool %s failed: %r" % (" ".join(args), result))
        return result

    # -- the product's stand-in ----------------------------------------------------
    def lay_out_product(self, version="5.0.0.0", display="Merlow"):
        """C:\\Ombrix\\Merlow\\merlow.exe, the stand-in UPS manager service,
        registered as Merlow (demand start); returns its folder."""
        folder = self.drive_c(*facts.MANAGER_FOLDER)
        os.makedirs(folder, exist_ok=True)
        shutil.copy(facts.manager_stand_in(version), folder)
        self.create_service(facts.MANAGER_SERVICE,
                            self.winpath(os.path.join(folder, facts.MANAGER_IMAGE)),
                            display=display)
        return folder

    def install_companion(self, folder):
        """merlowsp.exe in the folder, seeing real dependency lists (see
        install_dependency_substitute); returns its Unix path."""
        return install_dependency_substitute(facts.companion(), folder)
