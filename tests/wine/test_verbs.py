"""The companion's registration verbs against Wine's real SCM and registry:
exact stdout bytes, exit codes, the created service, the event source key
and the dependency list of the stand-in Merlow."""

import os
import subprocess
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


    def test_e_delete_of_a_service_already_marked_for_deletion_ends_with_3(self):
        """A running service that "delete" has marked for deletion stays
        until it stops; a second "delete" opens it but cannot delete it."""
        s = self.s
        if s.service_state("MERLOWSP") is None:
            s.own_service("MERLOWSP")
            self.assertEqual(0, self.verb("setup").rc)
        # A period of a day: the running companion re-asserts nothing meanwhile.
        self.assertEqual(0, s.start_service("MERLOWSP", "86400"))
        self.assertTrue(s.wait_state("MERLOWSP", 4, 30000))
        result = self.verb("delete")
        self.assertEqual((0, cp932("サービスが削除されました\n")), (result.rc, result.stdout))
        self.assertEqual(4, s.service_state("MERLOWSP"))

        s.set_dependencies("Merlow", ["Alpha", "MERLOWSP"])
        s.reg_set(SOURCE_KEY, "TypesSupported", "dword", 7)
        result = self.verb("delete")
        self.assertEqual((3, cp932("サービスを削除できません\n")), (result.rc, result.stdout))
        # The steps before the failing one stay done.
        self.assertEqual(["Alpha"], s.dependencies("Merlow"))
        self.assertFalse(s.reg_key_exists(SOURCE_KEY))

        # Once stopped, the service marked for deletion goes.
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_gone("merlowsp.exe"))
        self.assertTrue(harness.wait_until(lambda: s.service_state("MERLOWSP") is None, 20))
        s.forget_service("MERLOWSP")

    def test_f_an_scm_that_refuses_the_verbs_ends_them_with_1(self):
        """Wine's SCM grants every access, so the refusal a user who is no
        administrator meets comes from scmrefus.dll (install_scm_refusal)."""
        s = self.s
        self.assertIsNone(s.service_state("MERLOWSP"))
        exe = harness.install_scm_refusal(harness.product_path("merlowsp.exe"),
                                          os.path.join(self.folder, "refused"))
        exe_win = s.winpath(exe)

        s.set_dependencies("Merlow", ["Alpha"])
        result = s.run(exe, "setup")
        self.assertEqual((1, cp932("SCMを開けません\n")), (result.rc, result.stdout))
        # Dependency and event source come before the SCM is opened; with
        # no MERLOWSP created the dependency this run added is taken back.
        self.assertEqual(["Alpha"], s.dependencies("Merlow"))
        self.assertEqual((2, cp932(exe_win) + b"\0"), s.reg_get(SOURCE_KEY, "EventMessageFile"))
        self.assertEqual((4, b"\x07\0\0\0"), s.reg_get(SOURCE_KEY, "TypesSupported"))
        self.assertIsNone(s.service_state("MERLOWSP"))

        # "delete" of a registered service: it stays registered.
        s.own_service("MERLOWSP")
        self.assertEqual(0, self.verb("setup").rc)
        result = s.run(exe, "delete")
        self.assertEqual((1, cp932("SCMを開けません\n")), (result.rc, result.stdout))
        self.assertEqual(["Alpha"], s.dependencies("Merlow"))
        self.assertFalse(s.reg_key_exists(SOURCE_KEY))
        self.assertEqual(1, s.service_state("MERLOWSP"))
        result = self.verb("delete")
        self.assertEqual((0, cp932("サービスが削除されました\n")), (result.rc, result.stdout))
        s.forget_service("MERLOWSP")


    def test_g_delete_of_a_held_service_already_marked_for_deletion_ends_with_3(self):
        """A stopped service that another program holds open stays, marked
        for deletion, after "delete"; a second "delete" cannot delete it."""
        s = self.s
        s.own_service("MERLOWSP")
        self.assertEqual(0, self.verb("setup").rc)
        holder = s.spawn(["wine", harness.fixture_path("harness_tool.exe"), "holdservice", "MERLOWSP"],
                         stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.assertEqual(b"held\n", holder.stdout.readline())
        try:
            result = self.verb("delete")
            self.assertEqual((0, cp932("サービスが削除されました\n")), (result.rc, result.stdout))
            self.assertEqual(1, s.service_state("MERLOWSP"))
            s.set_dependencies("Merlow", ["MERLOWSP", "Alpha"])
            result = self.verb("delete")
            self.assertEqual((3, cp932("サービスを削除できません\n")), (result.rc, result.stdout))
            self.assertEqual(["Alpha"], s.dependencies("Merlow"))
            self.assertFalse(s.reg_key_exists(SOURCE_KEY))

            # "setup" cannot create the service while the old one is marked
            # for deletion: Merlow's list stays as it was before the run,
            # whether or not it held MERLOWSP already.
            for before in (["Alpha"], ["MERLOWSP", "Alpha"], []):
                with self.subTest(before=before):
                    s.set_dependencies("Merlow", before)
                    result = self.verb("setup")
                    self.assertEqual((2, cp932("登録エラー\n")), (result.rc, result.stdout))
                    self.assertEqual(before, s.dependencies("Merlow"))
                    self.assertEqual(1, s.service_state("MERLOWSP"))
            s.reg_delete_tree(SOURCE_KEY)
        finally:
            holder.stdin.close()
            holder.wait(30)
        self.assertTrue(harness.wait_until(lambda: s.service_state("MERLOWSP") is None, 20))
        s.forget_service("MERLOWSP")

if __name__ == "__main__":
    unittest.main()
