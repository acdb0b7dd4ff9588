"""Wine harness: the test Windows on which the real executables run.

One template prefix per build tree (wineboot is slow and the prefix is big),
cloned cheaply per test group with hard links; each group runs its own
persistent wineserver with code page 932 and a fixed time zone, and ends
every process it started, by its id, when it closes, also after a failure.

A test that is killed (CTest's time-out, or by hand) cannot clean up after
itself: every clone records its owner and the helpers it started, the
wineservers linger only a minute without clients, and the next run's
template step ends what a dead run left behind and removes its clones.

Run as a script it manages the shared prefixes for CTest:
    harness.py template BUILD    create the template once; reap dead runs
    harness.py unit BUILD EXE..  run a unit-test executable in the unit prefix
    harness.py teardown BUILD    end the unit prefix's wineserver
"""

import atexit
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import time

LOCALE = "ja_JP.UTF-8"  # gives Wine's processes ANSI code page 932
# Fixed, without daylight saving time, and in the POSIX form that the
# Windows C runtime also reads (Wine hands TZ on to the Windows side).
TIME_ZONE = "JST-9"
SERVICE_TRACE = "-all,fixme+advapi,trace+eventlog,trace+msgbox,err+all"
# Seconds a persistent wineserver outlives its last client: a dead test's
# server does not stay for ever.
SERVER_LINGER = 60
PID_RECORD = ".harness-pids"  # in each clone: "owner|helper PID START-TIME" lines

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))


def _end_on_sigterm(signum, _frame):
    # A test ended by hand or by CTest still runs its atexit clean-up.
    sys.exit(128 + signum)


signal.signal(signal.SIGTERM, _end_on_sigterm)


def build_dir():
    """The win32 build tree, as CTest hands it to every integration test."""
    return os.environ.get("MERLOWSP_BUILD") or os.path.join(SOURCE_DIR, "build", "win32")


def fixture_path(name):
    return os.path.join(build_dir(), "tests", "fixtures", name)


def product_path(name):
    folders = {"merlowsp.exe": "service", "merlowspsetup.exe": "setup", "serovox.exe": "serial"}
    return os.path.join(build_dir(), folders[name], name)


def base_env(prefix):
    env = {k: v for k, v in os.environ.items() if not k.startswith("WINE") and k != "DISPLAY"}
    env.update(
        WINEPREFIX=prefix,
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml=",  # no Mono or Gecko installer
        LC_ALL=LOCALE,
        TZ=TIME_ZONE,
    )
    return env


def _locked(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    handle = open(path, "w")
    fcntl.flock(handle, fcntl.LOCK_EX)
    return handle


def _wineserver(env, *args):
    subprocess.run(["wineserver", *args], env=env, check=False,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def ensure_template(build):
    """Creates the build tree's template prefix once; later calls return at once."""
    template = os.path.join(build, "wine", "template")
    with _locked(template + ".lock"):
        if os.path.exists(os.path.join(template, ".ready")):
            return template
        shutil.rmtree(template, ignore_errors=True)
        env = base_env(template)
        started = time.monotonic()
        subprocess.run(["wineboot", "-i"], env=env, check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=900)
        # No X server by default: the null driver still has real windows,
        # message boxes and window messages. Sessions that want Xvfb switch.
        for key, name, data in ((r"HKCU\Software\Wine\Drivers", "Graphics", "null"),
                                (r"HKCU\Software\Wine\X11 Driver", "Managed", "N")):
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/d", data, "/f"], env=env,
                           check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        _wineserver(env, "-w")
        with open(os.path.join(template, ".ready"), "w") as ready:
            ready.write("%.1f s\n" % (time.monotonic() - started))
        return template


def clone_prefix(template, dest):
    """Hard-link clone; the registry files are real copies, as Wine rewrites them."""
    shutil.rmtree(dest, ignore_errors=True)
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    subprocess.run(["cp", "-al", template + "/.", dest], check=True)
    for name in ("system.reg", "user.reg", "userdef.reg"):
        os.unlink(os.path.join(dest, name))
        shutil.copy2(os.path.join(template, name), os.path.join(dest, name))
    os.unlink(os.path.join(dest, ".ready"))


def _start_time(pid):
    """The kernel's start time of a process (to tell a reused pid apart), or None."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[19]
    except (OSError, IndexError):
        return None


def record_pid(prefix, kind, pid):
    """Notes a process that belongs to a clone, for reap_dead_runs."""
    with open(os.path.join(prefix, PID_RECORD), "a") as f:
        f.write("%s %d %s\n" % (kind, pid, _start_time(pid)))


def _recorded(prefix):
    try:
        with open(os.path.join(prefix, PID_RECORD)) as f:
            rows = [line.split() for line in f]
    except OSError:
        return []
    return [(kind, int(pid), start) for kind, pid, start in (r for r in rows if len(r) == 3)]


def _same_process(pid, start):
    return start != "None" and _start_time(pid) == start


def reap_dead_runs(build):
    """Ends what tests that were killed left behind, and removes their clones.

    A clone whose owner (the test process) is gone is dead: its recorded
    helpers (socat, Xvfb, simulators) are ended by pid, its Windows
    processes with its wineserver, and the clone is removed. Returns the
    number of clones reaped.
    """
    run_dir = os.path.join(build, "wine", "run")
    if not os.path.isdir(run_dir):
        return 0
    reaped = 0
    for name in sorted(os.listdir(run_dir)):
        prefix = os.path.join(run_dir, name)
        records = _recorded(prefix)
        if any(kind == "owner" and _same_process(pid, start) for kind, pid, start in records):
            continue
        for kind, pid, start in records:
            if kind == "helper" and _same_process(pid, start):
                for kill in (lambda: os.killpg(pid, signal.SIGKILL), lambda: os.kill(pid, signal.SIGKILL)):
                    try:
                        kill()
                        break
                    except (ProcessLookupError, PermissionError):
                        continue
        if os.path.exists(os.path.join(prefix, "system.reg")):
            _wineserver(base_env(prefix), "-k")
        shutil.rmtree(prefix, ignore_errors=True)
        reaped += 1
    return reaped


def append_registry(reg_file, key, values):
    """Adds a key to a stopped prefix's registry file (before the session starts).

    key is relative to the file's root (HKLM for system.reg, HKCU for user.reg);
    values maps names to strings.
    """
    lines = ["", "[%s] %d" % (key.replace("\\", "\\\\"), int(time.time()))]
    for name, data in values.items():
        lines.append('"%s"="%s"' % (name, data.replace("\\", "\\\\")))
    with open(reg_file, "a", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


class Result:
    def __init__(self, rc, stdout, stderr):
        self.rc, self.stdout, self.stderr = rc, stdout, stderr

    def __repr__(self):
        return "Result(rc=%r, stdout=%r, stderr=%r)" % (self.rc, self.stdout, self.stderr[-400:])


class Session:
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

    def map_com_port(self, port, device):
        """Maps COMn to a Unix device; must be done before start()."""
        assert not self.started, "the COM mapping is read when the session starts"
        self.com_ports[port] = device
        append_registry(os.path.join(self.prefix, "system.reg"), r"Software\Wine\Ports",
                        {port: device})

    def start(self):
        if self.want_display:
            self._start_xvfb()
            append_registry(os.path.join(self.prefix, "user.reg"), r"Software\Wine\Drivers",
                            {"Graphics": "x11"})
        _wineserver(self.env, "-k")
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
            _wineserver(self.env, "-k")
            for child in reversed(self.children):
                end_process(child)
            if self.display is not None:
                end_process(self.display)
            if os.environ.get("MERLOWSP_KEEP_PREFIX") != "1":
                shutil.rmtree(self.prefix, ignore_errors=True)

    # -- processes -------------------------------------------------------------
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

    # -- services ----------------------------------------------------------------
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

    # -- the product's stand-in ----------------------------------------------------
    def lay_out_product(self, version="5.0.0.0", display="Merlow"):
        """C:\\Ombrix\\Merlow\\merlow.exe, the stand-in UPS manager service,
        registered as Merlow (demand start); returns its folder."""
        folder = self.drive_c("Ombrix", "Merlow")
        os.makedirs(folder, exist_ok=True)
        shutil.copy(fixture_path(os.path.join("merlow-" + version, "merlow.exe")), folder)
        self.create_service("Merlow", self.winpath(os.path.join(folder, "merlow.exe")),
                            display=display)
        return folder

    def install_companion(self, folder):
        """merlowsp.exe in the folder, seeing real dependency lists (see
        install_dependency_substitute); returns its Unix path."""
        return install_dependency_substitute(product_path("merlowsp.exe"), folder)

    # -- registry ----------------------------------------------------------------
    def reg_get(self, key, value):
        """(type, data bytes) of a value, or None when it is absent."""
        result = self.tool("regget", key, value, check=False)
        if result.rc != 0:
            return None
        kind, _, data = result.stdout.decode("ascii").strip().partition(" ")
        return int(kind), bytes.fromhex(data)

    def reg_set(self, key, value, kind, data):
        """kind: sz, expand, dword, multi (data: a list of str)."""
        if kind == "multi":
            self.tool("regset", key, value, kind, *data)
        else:
            self.tool("regset", key, value, kind, str(data))

    def reg_tree(self, key):
        """Every value below key as sorted (subkey path, name, type, hex data)
        rows, or None when the key does not exist."""
        result = self.tool("regdump", key, check=False)
        if result.rc != 0:
            return None
        return sorted(tuple(line.split("|", 3)) for line in
                      result.stdout.decode("cp932", "replace").splitlines())

    def reg_key_exists(self, key):
        return self.tool("regkey", key, check=False).rc == 0

    def reg_delete_tree(self, key):
        self.tool("regdel", key, check=False)

    # -- traces ------------------------------------------------------------------
    def trace(self):
        """What the session's services wrote to their stderr (event reports and the like)."""
        with open(self.services_log, "rb") as log:
            return log.read().decode("utf-8", "replace")

    def event_reports(self):
        """(type, id, strings) of each ReportEvent call seen in the services' trace."""
        text = self.trace()
        reports = []
        for m in re.finditer(r"ReportEventW \([^,]*,0x([0-9a-f]+),0x[0-9a-f]+,0x([0-9a-f]+)", text):
            reports.append((int(m.group(1), 16), int(m.group(2), 16)))
        return reports

    def event_records(self):
        """(type, id, source, [insertion strings]) of each ReportEvent call
        in the services' trace. Wine's event log is a stub that keeps
        nothing: the source is the one its thread last registered, and the
        strings follow the call's own trace line on that thread."""
        sources, records, open_record = {}, [], {}
        for line in self.trace().splitlines():
            m = re.match(r"([0-9a-f]{4}):", line)
            if not m:
                continue
            thread = m.group(1)
            m = re.search(r'RegisterEventSourceA \([^,]*,"(.*)"\)', line)
            if m:
                sources[thread] = m.group(1)
                continue
            m = re.search(r"fixme:advapi:ReportEventW \([^,]*,0x([0-9a-f]+),0x[0-9a-f]+,"
                          r"0x([0-9a-f]+),[^,]*,0x([0-9a-f]+)", line)
            if m:
                record = (int(m.group(1), 16), int(m.group(2), 16), sources.get(thread), [])
                records.append(record)
                open_record[thread] = (record, int(m.group(3), 16))
                continue
            m = re.search(r'trace:eventlog:ReportEventW L"(.*)"$', line)
            if m and thread in open_record:
                record, count = open_record[thread]
                if len(record[3]) < count:
                    record[3].append(m.group(1))
        return records

    # -- display and message boxes --------------------------------------------------
    def _start_xvfb(self):
        for number in range(90, 140):
            if os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
                continue
            proc = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "800x600x24",
                                     "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, start_new_session=True)
            record_pid(self.prefix, "helper", proc.pid)
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline and proc.poll() is None:
                if os.path.exists("/tmp/.X11-unix/X%d" % number):
                    self.display, self.display_name = proc, ":%d" % number
                    return
                time.sleep(0.05)
            end_process(proc)
        raise RuntimeError("no display for Xvfb")

    def find_x_window(self, name_regex, timeout=30):
        """X window id of a top-level window whose title matches, via xdotool."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            proc = subprocess.run(["xdotool", "search", "--name", name_regex],
                                  env=dict(os.environ, DISPLAY=self.display_name),
                                  capture_output=True)
            ids = proc.stdout.split()
            if ids:
                return ids[0].decode()
            time.sleep(0.2)
        return None

    def press_key(self, name_regex, key="Return", timeout=30):
        """Presses a key in the top-level window whose title matches. A key
        that closes the window makes xdotool fail on the key's release
        (BadWindow): a window gone after the key took it."""
        env = dict(os.environ, DISPLAY=self.display_name)

        def matches():
            return subprocess.run(["xdotool", "search", "--name", name_regex], env=env,
                                  capture_output=True).stdout.split()

        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for window_id in reversed(matches()):
                if subprocess.run(["xdotool", "key", "--window", window_id, key], env=env,
                                  capture_output=True).returncode == 0:
                    return
                if window_id not in matches():
                    return
            time.sleep(0.2)
        raise AssertionError("no window %s took the key %s" % (name_regex, key))

    def read_message_box(self, caption, timeout_ms=30000, dismiss=True):
        """The text (CP932 bytes) of the message box with this caption, or None.

        With dismiss, OK is pressed once it is read. (Its icon cannot be read
        from another process under Wine: icon handles are process-local there.)
        """
        args = ["msgbox", caption, str(timeout_ms)] + (["dismiss"] if dismiss else [])
        result = self.tool(*args, check=False, timeout=timeout_ms / 1000 + 60)
        return result.stdout if result.rc == 0 else None

    # -- serial ----------------------------------------------------------------------
    def pty_pair(self, port="COM1"):
        """A socat pty pair; the near end is mapped to the port. Returns the far end."""
        links = os.path.join(self.prefix, "pty-%s" % port.lower())
        near, far = links + "-near", links + "-far"
        self.spawn(["socat", "pty,raw,echo=0,link=%s" % near, "pty,raw,echo=0,link=%s" % far],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not (os.path.exists(near) and os.path.exists(far)):
            if time.monotonic() > deadline:
                raise RuntimeError("socat made no pty pair")
            time.sleep(0.02)
        self.map_com_port(port, os.path.realpath(near))
        return far

    def start_ups_simulator(self, device, script, log):
        """Starts the UPS simulator on the far end of a pty pair."""
        import json
        script_path = log + ".script.json"
        with open(script_path, "w") as f:
            json.dump(script, f)
        proc = self.spawn([sys.executable, os.path.join(SOURCE_DIR, "tests", "fixtures", "ups_sim.py"),
                           device, script_path, log], stdout=subprocess.PIPE)
        ready = proc.stdout.readline()
        assert ready == b"ready\n", "the UPS simulator did not start: %r" % ready
        return proc


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


def install_with_proxy(exe, dest_dir, system_dll, proxy_dll):
    """Copies exe into dest_dir with one import name replaced by a proxy's.

    The names have the same length, so only those bytes change; the proxy
    DLL is copied beside it. Every other byte of the copy is the shipped one.
    """
    assert len(system_dll) == len(proxy_dll)
    with open(exe, "rb") as f:
        data = f.read()
    name = system_dll.encode() + b"\0"
    hits = [m.start() for m in re.finditer(re.escape(name), data, re.IGNORECASE)]
    if len(hits) != 1:
        raise AssertionError("expected one %s import name in %s, found %d" % (system_dll, exe, len(hits)))
    patched = data[:hits[0]] + proxy_dll.encode() + b"\0" + data[hits[0] + len(name):]
    os.makedirs(dest_dir, exist_ok=True)
    target = os.path.join(dest_dir, os.path.basename(exe))
    with open(target, "wb") as f:
        f.write(patched)
    shutil.copy2(fixture_path(proxy_dll), os.path.join(dest_dir, proxy_dll))
    return target


def install_dependency_substitute(exe, dest_dir):
    """Copies exe into dest_dir with its ADVAPI32 import served by depsubst.dll.

    Wine's QueryServiceConfigA always returns an empty dependency list;
    depsubst.dll forwards every function to ADVAPI32 except that one, whose
    replacement fills the list from the registry.
    """
    return install_with_proxy(exe, dest_dir, "advapi32.dll", "depsubst.dll")


def hex_argument(data):
    """An argument of harness_tool that carries exact code page 932 bytes."""
    return "hex:" + data.hex()


def install_box_spy(exe, dest_dir):
    """Copies exe into dest_dir with its USER32 import served by boxspy.dll.

    Under Wine an icon handle is process-local, so a box's flags cannot be
    read from another process. boxspy.dll forwards every function to USER32
    except MessageBoxA, which first appends owner, flags, caption and text
    to the file named by MERLOWSP_BOXSPY_LOG (see read_box_spy).
    """
    return install_with_proxy(exe, dest_dir, "user32.dll", "boxspy.dll")


def read_box_spy(log):
    """(owner, uType, caption bytes, text bytes) of each MessageBoxA call logged."""
    if not os.path.exists(log):
        return []
    boxes = []
    with open(log, "rb") as f:
        for line in f.read().decode("ascii").splitlines():
            owner, flags, caption, text = (line.split(" ") + ["", ""])[:4]
            boxes.append((int(owner, 16), int(flags, 16), bytes.fromhex(caption),
                          bytes.fromhex(text)))
    return boxes


# -- CTest entry points ------------------------------------------------------------------
def start_session(env, log=subprocess.DEVNULL):
    """Makes the session's first process a known one (see Session.start)."""
    _wineserver(env, "-p%d" % SERVER_LINGER)
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=log, check=True, timeout=300)


def _unit_prefix(build):
    """The unit tests' shared prefix, with its session running."""
    prefix = os.path.join(build, "wine", "unit")
    with _locked(prefix + ".lock"):
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            clone_prefix(ensure_template(build), prefix)
        # Without this, services.exe would inherit the first test's pipes
        # and CTest would wait for them to close until the session ends.
        start_session(base_env(prefix))
    return prefix


def main(argv):
    command, build = argv[1], os.path.abspath(argv[2])
    if command == "template":
        started = time.monotonic()
        reaped = reap_dead_runs(build)
        if reaped:
            print("reaped %d clone(s) that dead runs left behind" % reaped)
        unit = os.path.join(build, "wine", "unit")
        if os.path.exists(unit):  # a run that ended without its teardown
            _wineserver(base_env(unit), "-k")
            shutil.rmtree(unit, ignore_errors=True)
        ensure_template(build)
        print("wine template ready in %.1f s" % (time.monotonic() - started))
        return 0
    if command == "unit":
        env = base_env(_unit_prefix(build))
        return subprocess.run(["wine", *argv[3:]], env=env, stdin=subprocess.DEVNULL).returncode
    if command == "teardown":
        prefix = os.path.join(build, "wine", "unit")
        if os.path.exists(prefix):
            _wineserver(base_env(prefix), "-k")
            shutil.rmtree(prefix, ignore_errors=True)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))


# -- added for the edge-case tests ---------------------------------------------------------
def install_scm_refusal(exe, dest_dir):
    """Copies exe into dest_dir with its ADVAPI32 import served by scmrefus.dll.

    scmrefus.dll refuses OpenSCManagerA for SC_MANAGER_CREATE_SERVICE alone
    (ERROR_ACCESS_DENIED), as Windows refuses a user who is no
    administrator; Wine's SCM grants every access. Everything else goes on
    to depsubst.dll (copied beside it too), so dependency lists stay real.
    """
    target = install_with_proxy(exe, dest_dir, "advapi32.dll", "scmrefus.dll")
    shutil.copy2(fixture_path("depsubst.dll"), os.path.join(dest_dir, "depsubst.dll"))
    return target


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
