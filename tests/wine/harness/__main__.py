"""The shared Wine prefixes of a test run, for CTest and the Makefile:

    python3 tests/wine/harness template BUILD    create the template once; reap dead runs
    python3 tests/wine/harness unit BUILD EXE..  run a unit-test executable in the unit prefix
    python3 tests/wine/harness teardown BUILD    end the unit prefix's wineserver
"""

import os
import shutil
import subprocess
import sys
import time

# Run as a folder, Python puts the folder itself first on the path: the
# package is imported from the folder above it, like the tests import it.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness.prefix import (base_env, clone_prefix, ensure_template, locked,  # noqa: E402
                            reap_dead_runs, start_session, wineserver)


def unit_prefix(build):
    """The unit tests' shared prefix, with its session running."""
    prefix = os.path.join(build, "wine", "unit")
    with locked(prefix + ".lock"):
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            clone_prefix(ensure_template(build), prefix)
        # Without this, services.exe would inherit the first test's pipes
        # and CTest would wait for them to close until the session ends.
        start_session(base_env(prefix))
    return prefix


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    command, build = argv[1], os.path.abspath(argv[2])
    if command == "template":
        started = time.monotonic()
        reaped = reap_dead_runs(build)
        if reaped:
            print("reaped %d clone(s) that dead runs left behind" % reaped)
        unit = os.path.join(build, "wine", "unit")
        if os.path.exists(unit):  # a run that ended without its teardown
            wineserver(base_env(unit), "-k")
            shutil.rmtree(unit, ignore_errors=True)
        ensure_template(build)
        print("wine template ready in %.1f s" % (time.monotonic() - started))
        return 0
    if command == "unit":
        env = base_env(unit_prefix(build))
        return subprocess.run(["wine", *argv[3:]], env=env, stdin=subprocess.DEVNULL).returncode
    if command == "teardown":
        prefix = os.path.join(build, "wine", "unit")
        if os.path.exists(prefix):
            wineserver(base_env(prefix), "-k")
            shutil.rmtree(prefix, ignore_errors=True)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
