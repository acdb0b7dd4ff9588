"""The companion's registration verbs against Wine's real SCM and registry:
exact stdout bytes, exit codes, the created service, the event source key
and the dependency list of the stand-in Merlow."""

import os
import unittest

import harness

SOURCE_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\Eventlog\System\MERLOWSP"


def cp932(text):
    return text.encode("cp932")


class Verbs(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = s = harness.Session("verbs")
        s.start()
        cls.folder = s.lay_out_product(display="Merlow UPS Manager")
        cls.exe = s.install_companion(cls.folder)
        cls.exe_win = s.winpath(cls.exe)

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def verb(self, *args):
        return self.s.run(self.exe, *args)

    def setUp(self):
        self.s.set_dependencies("Merlow", ["Alpha"])

    def test_a_console_start_without_a_verb_prints_nothing(self):
        for args in ((), ("-setup",), ("setupx",), ("run", "setup")):
            result = self.verb(*args)
            self.assertEqual((0, b""), (result.rc, result.stdout), args)
        self.assertIsNone(self.s.service_state("MERLOWSP"))
        self.assertEqual(["Alpha"], self.s.dependencies("Merlow"))

    def test_b_dependency_verbs_edit_only_when_needed(self):
        s = self.s
        result = self.verb("delDepend")
        self.assertEqual((0, b""), (result.rc, result.stdout))
        # Nothing was written: a rewrite would also have reset the display name.
        self.assertEqual("Merlow UPS Manager", s.service_config("Merlow")["display"])
        self.assertEqual((0, b""), (self.verb("ADDDEPEND", "ignored").rc, b""))
        self.assertEqual(["Alpha", "MERLOWSP"], s.dependencies("Merlow"))
        self.assertEqual("Merlow", s.service_config("Merlow")["display"])
        self.verb("addDepend")
        self.assertEqual(["Alpha", "MERLOWSP"], s.dependencies("Merlow"))
        self.assertEqual(0, self.verb("DelDepend").rc)
        self.assertEqual(["Alpha"], s.dependencies("Merlow"))

    def test_c_setup_registers_and_a_second_setup_fails(self):
        s = self.s
        s.own_service("MERLOWSP")
        result = self.verb("SetUp", "extra")
        self.assertEqual(0, result.rc)
        self.assertEqual(cp932(self.exe_win) + cp932("の登録に成功しました\n"), result.stdout)

        config = s.service_config("MERLOWSP")
        self.assertEqual(("272", "2", "1", self.exe_win, "MERLOWSP"),
                         (config["type"], config["start"], config["error"], config["path"],
                          config["display"]))
        self.assertIn(config["account"], ("", "LocalSystem"))
        self.assertEqual(1, s.service_state("MERLOWSP"))  # registered, not started
        self.assertEqual(["Alpha", "MERLOWSP"], s.dependencies("Merlow"))
        self.assertEqual((2, cp932(self.exe_win) + b"\0"), s.reg_get(SOURCE_KEY, "EventMessageFile"))
        self.assertEqual((4, b"\x07\0\0\0"), s.reg_get(SOURCE_KEY, "TypesSupported"))

        s.reg_set(SOURCE_KEY, "TypesSupported", "dword", 1)
        again = self.verb("setup")
        self.assertEqual((2, cp932("登録エラー\n")), (again.rc, again.stdout))
        self.assertEqual(["Alpha", "MERLOWSP"], s.dependencies("Merlow"))
        self.assertEqual((4, b"\x07\0\0\0"), s.reg_get(SOURCE_KEY, "TypesSupported"))

    def test_d_delete_removes_dependency_key_and_service(self):
        s = self.s
        if s.service_state("MERLOWSP") is None:
            s.own_service("MERLOWSP")
            self.assertEqual(0, self.verb("setup").rc)
        s.set_dependencies("Merlow", ["Alpha", "MERLOWSP"])
        result = self.verb("DELETE")
        self.assertEqual((0, cp932("サービスが削除されました\n")), (result.rc, result.stdout))
        s.forget_service("MERLOWSP")
        self.assertIsNone(s.service_state("MERLOWSP"))
        self.assertFalse(s.reg_key_exists(SOURCE_KEY))
        self.assertEqual(["Alpha"], s.dependencies("Merlow"))

        # Nothing registered: the dependency and the key still go first.
        s.set_dependencies("Merlow", ["MERLOWSP", "Alpha", "MERLOWSP"])
        s.reg_set(SOURCE_KEY, "TypesSupported", "dword", 7)
        result = self.verb("delete")
        self.assertEqual((2, cp932("サービスを開けません\n")), (result.rc, result.stdout))
        self.assertFalse(s.reg_key_exists(SOURCE_KEY))
        self.assertEqual(["Alpha"], s.dependencies("Merlow"))


if __name__ == "__main__":
    unittest.main()
