"""A Session's display and the message boxes shown on it: Xvfb when a
session wants one, windows found and keys pressed through xdotool, boxes
read through harness_tool or the box spy."""

import os
import subprocess
import time

from .prefix import record_pid
from .processes import end_process


def read_box_spy(log):
    """(owner, uType, caption bytes, text bytes) of each MessageBoxA call
    that boxspy.dll logged (see install_box_spy)."""
    if not os.path.exists(log):
        return []
    boxes = []
    with open(log, "rb") as f:
        for line in f.read().decode("ascii").splitlines():
            owner, flags, caption, text = (line.split(" ") + ["", ""])[:4]
            boxes.append((int(owner, 16), int(flags, 16), bytes.fromhex(caption),
                          bytes.fromhex(text)))
    return boxes


class DisplayMixin:
    def _start_xvfb(self):
        for number in range(90, 140):
            if os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
                continue
            proc = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "800x600x24",
                                     "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, start_new_session=True)
            record_pid(self.prefix, "helper", proc.pid)
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline and proc.poll() is None:
                if os.path.exists("/tmp/.X11-unix/X%d" % number):
                    self.display, self.display_name = proc, ":%d" % number
                    return
                time.sleep(0.05)
            end_process(proc)
        raise RuntimeError("no display for Xvfb")

    def find_x_window(self, name_regex, timeout=30):
        """X window id of a top-level window whose title matches, via xdotool."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            proc = subprocess.run(["xdotool", "search", "--name", name_regex],
                                  env=dict(os.environ, DISPLAY=self.display_name),
                                  capture_output=True)
            ids = proc.stdout.split()
            if ids:
                return ids[0].decode()
            time.sleep(0.2)
        return None

    def press_key(self, name_regex, key="Return", timeout=30):
        """Presses a key in the top-level window whose title matches. A key
        that closes the window makes xdotool fail on the key's release
        (BadWindow): a window gone after the key took it."""
        env = dict(os.environ, DISPLAY=self.display_name)

        def matches():
            return subprocess.run(["xdotool", "search", "--name", name_regex], env=env,
                                  capture_output=True).stdout.split()

        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for window_id in reversed(matches()):
                if subprocess.run(["xdotool", "key", "--window", window_id, key], env=env,
                                  capture_output=True).returncode == 0:
                    return
                if window_id not in matches():
                    return
            time.sleep(0.2)
        raise AssertionError("no window %s took the key %s" % (name_regex, key))

    def read_message_box(self, caption, timeout_ms=30000, dismiss=True):
        """The text (CP932 bytes) of the message box with this caption, or None.

        With dismiss, OK is pressed once it is read. (Its icon cannot be read
        from another process under Wine: icon handles are process-local there.)
        """
        args = ["msgbox", caption, str(timeout_ms)] + (["dismiss"] if dismiss else [])
        # The tool keeps its own deadline; this one is only against a tool
        # that never ends, with room for a slow start on a loaded machine.
        result = self.tool(*args, check=False, timeout=timeout_ms / 1000 + 180)
        self.last_box_read = result  # for the message of a failed check
        return result.stdout if result.rc == 0 else None
