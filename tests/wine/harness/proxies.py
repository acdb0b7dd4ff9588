"""Shipped executables copied with one system DLL import served by a
test-only proxy DLL (tests/fixtures), for what Wine does not do as Windows
does or cannot show from outside the process."""

import os
import re
import shutil

from .prefix import fixture_path


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


def install_box_spy(exe, dest_dir):
    """Copies exe into dest_dir with its USER32 import served by boxspy.dll.

    Under Wine an icon handle is process-local, so a box's flags cannot be
    read from another process. boxspy.dll forwards every function to USER32
    except MessageBoxA, which first appends owner, flags, caption and text
    to the file named by MERLOWSP_BOXSPY_LOG (see read_box_spy).
    """
    return install_with_proxy(exe, dest_dir, "user32.dll", "boxspy.dll")


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
