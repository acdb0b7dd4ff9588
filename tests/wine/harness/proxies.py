"""Shipped executables copied with one system DLL import served by a
test-only proxy DLL (tests/fixtures), for what Wine does not do as Windows
does or cannot show from outside the process."""

import os
import re
import shutil
import struct

from .prefix import fixture_path


def import_name_offsets(data):
    """File offsets of the DLL names in a PE file's import directory."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i)
             for i in range(sections)]

    def offset(rva):
        for size, address, _, raw in table:
            if address <= rva < address + max(size, 1):
                return rva - address + raw
        raise AssertionError("RVA %#x lies in no section" % rva)

    names = set()
    descriptor = offset(import_rva) if import_rva else None
    while descriptor is not None:
        name_rva = struct.unpack_from("<12xI", data, descriptor)[0]
        if name_rva == 0:
            break
        names.add(offset(name_rva))
        descriptor += 20
    return names


def install_with_proxy(exe, dest_dir, system_dll, proxy_dll):
    """Copies exe into dest_dir with one import name replaced by a proxy's.

    The names have the same length, so only those bytes change; the proxy
    DLL is copied beside it. Every other byte of the copy is the shipped one.
    """
    assert len(system_dll) == len(proxy_dll)
    with open(exe, "rb") as f:
        data = f.read()
    name = system_dll.encode() + b"\0"
    # Only the import directory's names: the program may name the DLL in a
    # string of its own too (GetModuleHandleA("kernel32.dll")).
    imports = import_name_offsets(data)
    hits = [m.start() for m in re.finditer(re.escape(name), data, re.IGNORECASE)
            if m.start() in imports]
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
