"""Message boxes are found, read and dismissed: under Xvfb as a user sees
them, and with the null driver that the other tests use."""

import os
import subprocess
import unittest

import harness

TEXT = "インストールが完了しました"


def show_popup(s):
    """The box's text goes by file, as exact CP932 bytes, not through argv."""
    path = os.path.join(s.prefix, "popup.txt")
    with open(path, "wb") as f:
        f.write(TEXT.encode("cp932"))
    return s.spawn(["wine", harness.fixture_path("popup.exe"), "SetUp", s.winpath(path)],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class MessageBoxes(unittest.TestCase):
    def test_under_xvfb_read_and_dismissed_with_the_keyboard(self):
        with harness.Session("message_box_x", display=True) as s:
            popup = show_popup(s)
            window = s.find_x_window("^SetUp$")
            self.assertIsNotNone(window, "no X window titled SetUp")
            self.assertEqual(TEXT.encode("cp932"), s.read_message_box("SetUp", dismiss=False))
            s.press_key("^SetUp$", "Return")
            self.assertEqual(1, popup.wait(30))  # IDOK

    def test_with_the_null_driver(self):
        with harness.Session("message_box_null") as s:
            popup = show_popup(s)
            self.assertEqual(TEXT.encode("cp932"), s.read_message_box("SetUp"))
            self.assertEqual(1, popup.wait(30))


if __name__ == "__main__":
    unittest.main()
