"""The build's executables are real 32-bit Windows programs that load
without MinGW DLLs and carry the version resource."""

import os
import struct
import unittest

import harness

SYSTEM_DLLS = {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll", "version.dll",
               "gdi32.dll", "shell32.dll"}


def pe_facts(path):
    """(machine, subsystem, imported DLL names) read straight from the PE file."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    import_rva = struct.unpack_from("<I", data, optional + 96 + 8)[0]
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            s = table + 40 * i
            vsize, vaddr, rsize, raw = struct.unpack_from("<IIII", data, s + 8)
            if vaddr <= rva < vaddr + max(vsize, rsize):
                return rva - vaddr + raw
        raise ValueError(rva)

    names = set()
    at = offset(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, at + 12)[0]
        if name_rva == 0:
            break
        start = offset(name_rva)
        names.add(data[start:data.index(b"\0", start)].decode().lower())
        at += 20
    return machine, subsystem, names


class Executables(unittest.TestCase):
    def test_each_program_is_i386_with_its_subsystem_and_system_dlls_only(self):
        for exe, subsystem in (("merlowsp.exe", 3), ("serovox.exe", 3), ("merlowspsetup.exe", 2)):
            machine, found, dlls = pe_facts(harness.product_path(exe))
            self.assertEqual(0x14C, machine, exe)
            self.assertEqual(subsystem, found, exe)
            self.assertTrue(dlls <= SYSTEM_DLLS, "%s imports %s" % (exe, dlls - SYSTEM_DLLS))


class UnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session("platform")
        cls.session.start()

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def test_skeletons_start_and_end_quietly(self):
        # The other two are no skeletons any more: test_serovox and
        # test_installer_* run them.
        for exe in ("merlowsp.exe",):
            result = self.session.run(harness.product_path(exe))
            self.assertEqual((0, b""), (result.rc, result.stdout), exe)

    def test_version_resource_carries_the_project_version(self):
        with open(os.path.join(harness.build_dir(), "version.txt")) as f:
            version = f.read().strip()
        for exe, description in (("merlowsp.exe", "MERLOWSP companion service"),
                                 ("merlowspsetup.exe", "MERLOWSP installer")):
            out = self.session.tool("version", harness.product_path(exe)).stdout.decode()
            info = dict(line.split("=", 1) for line in out.splitlines())
            self.assertEqual(version, info["file"], exe)
            self.assertEqual(version, info["product"], exe)
            self.assertEqual(version, info["ProductVersion"], exe)
            self.assertEqual(description, info["FileDescription"], exe)
            self.assertEqual("MERLOWSP", info["ProductName"], exe)
            self.assertEqual(exe, info["OriginalFilename"], exe)


if __name__ == "__main__":
    unittest.main()
