#!/usr/bin/env python3
"""make demo: the suite's main job on real Win32 (Wine), narrated.

Builds on the release package of make dist and runs it in a fresh Wine
prefix of its own, beside a stand-in of the UPS management product; ends
with a table of the steps and a non-zero status if any failed.
"""

import glob
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "wine"))

import harness  # noqa: E402
from harness.facts import (COMPLETED, EVENT_NAMES, PARAMETERS, PRODUCT, STARTED_EVENT,  # noqa: E402
                           UNINSTALL_KEY, read_log, record)

results = []


def say(text=""):
    print(text, flush=True)


def step(title):
    def wrap(body):
        say("\n== %d. %s" % (len(results) + 1, title))
        started = time.monotonic()
        try:
            ok = body() is not False
        except Exception as error:  # the table says which step broke, and why
            say("   !! %s: %s" % (type(error).__name__, error))
            ok = False
        results.append((title, ok, time.monotonic() - started))
        return body
    return wrap


def check(condition, what):
    say("   %s %s" % ("ok " if condition else "FAIL", what))
    if not condition:
        raise AssertionError(what)


def clock(ms):
    return time.strftime("%H:%M:%S", time.localtime(ms / 1000)) + ".%03d" % (ms % 1000)


def write(path, text, encoding="cp932"):
    with open(path, "w", encoding=encoding, newline="\r\n") as f:
        f.write(text)


def main():
    build = harness.build_dir()
    packages = sorted(glob.glob(os.path.join(HERE, "..", "build", "dist", "merlowsp-*")))
    if not packages:
        say("no release package: run make dist first")
        return 2
    package = packages[-1]
    started = time.monotonic()
    say("MERLOWSP demo: release package %s" % os.path.relpath(package))
    say("Wine prefix of its own under %s" % os.path.relpath(os.path.join(build, "wine", "run")))

    s = harness.Session("demo", autostart=False)
    root = s.drive_c(*PRODUCT)
    folder = os.path.join(root, "Merlow")
    state = {}
    try:
        @step("lay out the UPS management product's stand-in")
        def _():
            far = s.pty_pair("COM1")
            s.start_ups_simulator(far, {"answers": {"Q1": [[80, "(230.0 229.5 230.0 012 50.0 2.27 48.0 00000001\r"]]}},
                                  os.path.join(s.prefix, "ups.log"))
            s.start()
            s.lay_out_product(version="4.99.0.0")
            s.reg_set(PARAMETERS, "UpsDevice", "sz", "COM1")
            s.reg_set(PARAMETERS, "UpsDownDelay", "sz", "60")
            now = int(time.time())
            with open(os.path.join(folder, "upstrm.dat"), "wb") as f:
                f.write((record(now - 300, "JST-9", 7, 1, 1, "107,30") + "\r\n").encode("cp932"))
            write(os.path.join(root, "unups.bat"), "@echo off\nrem the product's own uninstall steps\n"
                  "echo product uninstalled> \"%~dp0product-uninstalled.txt\"\n")
            s.reg_set(UNINSTALL_KEY, "UninstallString", "sz", s.winpath(os.path.join(root, "unups.bat")))
            for child in ("window_child.exe", "console_child.exe"):
                shutil.copy(harness.fixture_path(child), folder)
            write(os.path.join(folder, "upsombx.conf"),
                  "# programs that must run before Merlow\n__waitTimeMERLOW=2000\n"
                  "window_child.exe children.log agent\nconsole_child.exe children.log logger 800,3000\n")
            write(os.path.join(folder, "startup.bat"),
                  "@echo off\nconsole_child.exe children.log startup.bat 100\n")
            write(os.path.join(folder, "merlowsp.ini"), "[MERLOW]\nRestoreTimeCorrection =120\n")
            say("   C:\\Ombrix\\Merlow\\merlow.exe registered as Merlow (version 4.99.0.0),")
            say("   upstrm.dat with an open 107 entry whose window holds the present moment,")
            say("   unups.bat and the uninstall key, upsombx.conf, startup.bat, merlowsp.ini")

        @step("run merlowspsetup.exe from the package")
        def _():
            copy = s.drive_c("package")
            shutil.copytree(package, copy)
            # Wine's QueryServiceConfigA hides dependency lists; this copy of
            # the package carries the test-only substitute that shows them.
            harness.install_dependency_substitute(os.path.join(package, "files", "merlowsp.exe"),
                                                  os.path.join(copy, "files"))
            setup = s.spawn(["wine", os.path.join(copy, "merlowspsetup.exe")],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            text = s.read_message_box("SetUp", 120000)
            check(text is not None, "a message box captioned SetUp appeared")
            say("   message box: %s" % text.decode("cp932"))
            check(text == COMPLETED.encode("cp932"), "installation completed")
            check(setup.wait(60) == 0, "the installer ended with exit code 0")

        @step("MERLOWSP running, Merlow depending on it, the event reports")
        def _():
            check(s.wait_state("MERLOWSP", 4, 60000), "MERLOWSP is RUNNING")
            deps = s.dependencies("Merlow")
            say("   Merlow depends on: %s" % deps)
            check("MERLOWSP" in deps, "Merlow depends on MERLOWSP")
            for kind, event in s.event_reports():
                say("   event: type %d, %s" % (kind, EVENT_NAMES.get(event, hex(event))))
            check((4, STARTED_EVENT) in s.event_reports(), "MSG_SERVICE_STARTED reported")

        @step("a system start: MERLOWSP and its start-up work before Merlow")
        def _():
            for name in ("Merlow", "MERLOWSP"):
                if s.service_state(name) != 1:
                    s.stop_service(name)
                    s.wait_state(name, 1)
            for log in ("children.log", "merlow-stub.log"):
                if os.path.exists(os.path.join(folder, log)):
                    os.unlink(os.path.join(folder, log))
            say("   (Wine does not start dependencies: the SCM's order is played by hand;")
            say("    the check period is 2 s, given as start parameter, so step 6 is quick)")
            s.start_service("MERLOWSP", "2")
            check(s.wait_state("MERLOWSP", 4, 60000), "MERLOWSP reported RUNNING")
            running = int(time.time() * 1000)
            s.start_service("Merlow")
            check(s.wait_state("Merlow", 4, 60000), "Merlow RUNNING")
            events = read_log(os.path.join(folder, "children.log"))
            merlow = read_log(os.path.join(folder, "merlow-stub.log"))
            for ms, what in sorted(events + [(running, "MERLOWSP seen RUNNING")] +
                                   [(ms, "Merlow: " + w) for ms, w in merlow]):
                say("   %s  %s" % (clock(ms), what.split(" cwd=")[0]))
            starts = [ms for ms, what in events if " started" in what]
            check(len(starts) == 3, "startup.bat and both programs started")
            check(merlow and max(ms for ms, _ in events) < merlow[0][0],
                  "all of it before Merlow started")

        @step("the schedule entry the correction added")
        def _():
            with open(os.path.join(folder, "upstrm.dat"), "rb") as f:
                lines = f.read().decode("cp932").splitlines()
            for line in lines:
                fields = line.split(";")
                say("   %s   (action %s, state %s)" % (line, fields[17], fields[13]))
            check(any(l.split(";")[13] == "19" for l in lines), "the running entry is marked done (19)")
            check(len(lines) >= 2, "a new 107 entry was added")

        @step("the dependency removed from outside is restored")
        def _():
            s.set_dependencies("Merlow", [])
            removed = int(time.time() * 1000)
            say("   %s  the list of Merlow set to [] from outside" % clock(removed))
            deadline = time.monotonic() + 10
            while "MERLOWSP" not in s.dependencies("Merlow") and time.monotonic() < deadline:
                time.sleep(0.5)
            deps = s.dependencies("Merlow")
            say("   %s  Merlow depends on: %s" % (clock(int(time.time() * 1000)), deps))
            check("MERLOWSP" in deps, "restored within the period")

        @step("serovox against the UPS simulator, then with no UPS answering")
        def _():
            serovox = os.path.join(folder, "serovox.exe")
            shutil.copy(os.path.join(package, "serovox.exe"), serovox)  # the one shipped
            answer = s.run(serovox, "-P0", "Q1")
            say("   serovox -P0 Q1  ->  %r (exit %d)" % (answer.stdout, answer.rc))
            check(answer.rc == 0 and answer.stdout.startswith(b"(230.0"), "the UPS answered")
            began = time.monotonic()
            silent = s.run(serovox, "-P0", "X9")
            say("   serovox -P0 X9  ->  %r after %.1f s (exit %d)" % (silent.stdout, time.monotonic() - began, silent.rc))
            check(silent.stdout == b"no answer.\r\n", "no answer after four sends")
            os.unlink(serovox)

        @step("the product's uninstall script removes the companion")
        def _():
            for name in ("Merlow", "MERLOWSP"):
                if s.service_state(name) not in (None, 1):
                    s.stop_service(name)
                    s.wait_state(name, 1)
            result = s.run("cmd", "/c", s.winpath(os.path.join(root, "unups.bat")))
            say("   unups.bat ended with %d" % result.rc)
            s.forget_service("MERLOWSP")
            check(s.service_state("MERLOWSP") is None, "MERLOWSP is gone from the SCM")
            check("MERLOWSP" not in s.dependencies("Merlow"), "Merlow no longer depends on it")
            left = sorted(os.listdir(folder))
            say("   C:\\Ombrix\\Merlow holds: %s" % ", ".join(left))
            check("merlowsp.exe" not in [n.lower() for n in left], "the companion's files are gone")
            check(os.path.exists(os.path.join(root, "product-uninstalled.txt")),
                  "the product's own uninstall lines still ran")
    finally:
        s.close()

    say("\n== summary")
    for number, (title, ok, seconds) in enumerate(results, 1):
        say("   %d. %-62s %s  %5.1f s" % (number, title, "passed" if ok else "FAILED", seconds))
    failed = sum(1 for _, ok, _ in results if not ok)
    say("   %d passed, %d failed, %.0f s" % (len(results) - failed, failed, time.monotonic() - started))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
