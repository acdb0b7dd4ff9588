"""Wine prefixes: one template per build tree (wineboot is slow and the
prefix is big), cloned cheaply per test group with hard links; each clone
runs its own persistent wineserver with code page 932 and a fixed time zone.

A test that is killed (CTest's time-out, or by hand) cannot clean up after
itself: every clone records its owner and the helpers it started, the
wineservers linger only a minute without clients, and the next run's
template step ends what a dead run left behind and removes its clones.
"""

import fcntl
import os
import shutil
import signal
import subprocess
import time

LOCALE = "ja_JP.UTF-8"  # gives Wine's processes ANSI code page 932
# Fixed, without daylight saving time, and in the POSIX form that the
# Windows C runtime also reads (Wine hands TZ on to the Windows side).
TIME_ZONE = "JST-9"
# Event strings: trace class for information, warn class for warnings.
SERVICE_TRACE = "-all,fixme+advapi,trace+eventlog,warn+eventlog,trace+msgbox,err+all"
# Seconds a persistent wineserver outlives its last client: a dead test's
# server does not stay for ever.
SERVER_LINGER = 60
PID_RECORD = ".harness-pids"  # in each clone: "owner|helper PID START-TIME" lines

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))


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


def locked(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    handle = open(path, "w")
    fcntl.flock(handle, fcntl.LOCK_EX)
    return handle


def wineserver(env, *args):
    subprocess.run(["wineserver", *args], env=env, check=False,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def ensure_template(build):
    """Creates the build tree's template prefix once; later calls return at once."""
    template = os.path.join(build, "wine", "template")
    with locked(template + ".lock"):
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
        wineserver(env, "-w")
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


def start_session(env, log=subprocess.DEVNULL):
    """Makes the session's first process a known one (see Session.start)."""
    wineserver(env, "-p%d" % SERVER_LINGER)
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=log, check=True, timeout=300)


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
            wineserver(base_env(prefix), "-k")
        shutil.rmtree(prefix, ignore_errors=True)
        reaped += 1
    return reaped
