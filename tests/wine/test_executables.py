"""What the three built executables declare to Windows, read from the files
as the loader reads them: the application manifest (RT_MANIFEST id 1) with
the execution level that User Account Control grants and the supported
Windows versions, and the version resource with the one product version."""

import os
import unittest
import xml.etree.ElementTree as ET

import harness

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SUPPORTED_OS = [
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
]
LEVELS = {"merlowspsetup.exe": "requireAdministrator", "merlowsp.exe": "asInvoker",
          "serovox.exe": "asInvoker"}


def project_version():
    """The version as CMake wrote it into the build tree."""
    with open(os.path.join(harness.build_dir(), "version.txt")) as f:
        return f.read().strip()


class Executables(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = harness.Session("executables")
        cls.s.start()

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def manifest(self, exe):
        result = self.s.run(harness.fixture_path("manifest_probe.exe"),
                            self.s.winpath(harness.product_path(exe)))
        self.assertEqual(0, result.rc, result)
        ids, _, text = result.stdout.partition(b"\n")
        return ids, text

    def test_manifests(self):
        for exe, level in LEVELS.items():
            with self.subTest(exe):
                ids, text = self.manifest(exe)
                self.assertEqual(b"ids 1", ids)  # the one the loader reads, and no other
                self.assertTrue(text.startswith(b'<?xml version="1.0" encoding="UTF-8"'), text[:60])
                root = ET.fromstring(text)
                self.assertEqual("{%s}assembly" % ASM_V1, root.tag)
                requested = root.findall(".//{%s}requestedExecutionLevel" % ASM_V3)
                self.assertEqual([(level, "false")],
                                 [(r.get("level"), r.get("uiAccess")) for r in requested])
                self.assertEqual(SUPPORTED_OS,
                                 [e.get("Id") for e in root.findall(
                                     "{%s}compatibility/{%s}application/{%s}supportedOS"
                                     % (COMPATIBILITY, COMPATIBILITY, COMPATIBILITY))])

    def test_version_resources(self):
        version = project_version()
        for exe, description in (("merlowsp.exe", "MERLOWSP companion service"),
                                 ("merlowspsetup.exe", "MERLOWSP installer"),
                                 ("serovox.exe", "MERLOWSP serial command tool")):
            with self.subTest(exe):
                out = self.s.tool("version", self.s.winpath(harness.product_path(exe)))
                fields = dict(line.split("=", 1) for line in out.stdout.decode().splitlines())
                self.assertEqual({"file": version, "product": version, "ProductVersion": version,
                                  "FileVersion": version, "ProductName": "MERLOWSP",
                                  "CompanyName": "MERLOWSP Project", "OriginalFilename": exe,
                                  "FileDescription": description}, fields)

    def test_manifests_load(self):
        # A manifest the loader rejects would stop the program before main.
        s = self.s
        self.assertEqual(0, s.run(harness.product_path("merlowsp.exe")).rc)  # no verb, no SCM
        usage = s.run(harness.product_path("serovox.exe"))
        self.assertEqual((1, b""), (usage.rc, usage.stdout))
        self.assertTrue(usage.stderr.startswith(b"Usage - serovox "), usage)


if __name__ == "__main__":
    unittest.main()
