"""serovox against the UPS simulator on a pty mapped to COM1: what is sent,
when, and what is printed, with the exit status of each way a run ends.

The Windows C runtime writes standard output and standard error in text
mode, so every new line the tool prints arrives here as CR LF.
"""

import os
import termios
import time
import unittest

import harness

USAGE = (b"Usage - serovox [-P[0|1|2|3]] cmd\r\n"
         b"  -P   specify the communication port number.\r\n"
         b"       0:COM1 (default)\r\n"
         b"       1:COM2\r\n"
         b"       2:COM3\r\n"
         b"       3:COM4\r\n"
         b"  cmd  command string that is sent to UPS.\r\n")

LONG = "0123456789" * 20

SCRIPT = {"answers": {
    "Q1": [[0, "(230.0 "], [150, "50.0)\r"]],
    "CRLF": [[0, "OK\r\n"]],
    "NUL": [[0, {"hex": "41420043440d"}]],
    "LONG": [[0, LONG]],
    # First byte late in the first window; the second piece comes after
    # that window's nominal end but within 1.1 s of the first, the third
    # well after.
    "LATE": [[1800, "AB"], [600, "CD"], [1400, "EF\r"]],
}}


class Serovox(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session("serovox", autostart=False)
        s = cls.session
        far = s.pty_pair("COM1")
        cls.near = s.com_ports["COM1"]
        cls.log = os.path.join(s.prefix, "ups.log")
        s.start_ups_simulator(far, SCRIPT, cls.log)
        s.start()
        cls.exe = harness.product_path("serovox.exe")

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def _read(self, suffix=""):
        path = self.log + suffix
        if not os.path.exists(path):
            return b""
        with open(path, "rb") as f:
            return f.read()

    def serovox(self, *args):
        """Runs the tool; returns its result, the commands the simulator
        received meanwhile as (unix ms, bytes), the raw bytes, and the
        time the run ended (unix ms)."""
        log_before, raw_before = len(self._read()), len(self._read(".raw"))
        result = self.session.run(self.exe, *args)
        ended = time.time() * 1000
        time.sleep(0.1)  # let the simulator log what came last
        commands = [(int(ms), bytes.fromhex(hexed)) for ms, hexed in
                    (line.split() for line in self._read()[log_before:].decode().splitlines())]
        return result, commands, self._read(".raw")[raw_before:], ended

    def absent_port(self):
        """The first of COM2 to COM4 that has no port at all in the session.

        Wine opens any port listed in its Ports key, even one mapped to a
        missing path, and gives host devices such as /dev/ttyS0 the lowest
        numbers left unmapped; only a number with neither does not exist.
        """
        for n in (2, 3, 4):
            port = "COM%d" % n
            if port not in self.session.com_ports and not os.path.lexists(
                    os.path.join(self.session.prefix, "dosdevices", port.lower())):
                return n
        self.skipTest("COM2 to COM4 are all taken by host serial devices")

    def test_command_line_errors_end_the_run_before_anything_is_sent(self):
        n = self.absent_port()
        cases = [
            ((), 1, USAGE),
            (("Q1", "-x"), 2, b"Illegal parameter - -x.\r\n"),
            (("-P", "1"), 2, b"Illegal parameter - -P.\r\n"),
            (("-P%dabc" % (n - 1), "Q1"), 3, b"Unable to open serial port(COM%d:).\r\n" % n),
        ]
        for args, status, message in cases:
            with self.subTest(args=args):
                result, _, raw, _ = self.serovox(*args)
                self.assertEqual((status, b"", message), (result.rc, result.stdout, result.stderr))
                self.assertEqual(b"", raw)

    def test_one_final_carriage_return_is_removed_and_cr_lf_kept(self):
        result, commands, _, _ = self.serovox("-P0", "Q1")
        self.assertEqual((0, b"(230.0 50.0)\r\n", b""), (result.rc, result.stdout, result.stderr))
        self.assertEqual([b"Q1"], [command for _, command in commands])
        result, _, _, _ = self.serovox("CRLF")
        self.assertEqual((0, b"OK\r\r\n\r\n"), (result.rc, result.stdout))

    def test_answer_is_cut_at_a_nul_and_bounded_to_127_bytes(self):
        result, _, _, _ = self.serovox("NUL")
        self.assertEqual((0, b"AB\r\n"), (result.rc, result.stdout))
        result, _, _, _ = self.serovox("LONG")
        self.assertEqual((0, LONG[:127].encode() + b"\r\n"), (result.rc, result.stdout))

    def test_answer_first_noticed_late_in_a_window_gets_1_1_s_more(self):
        result, commands, _, ended = self.serovox("LATE")
        self.assertEqual((0, b"ABCD\r\n"), (result.rc, result.stdout))
        self.assertEqual([b"LATE"], [command for _, command in commands], "no resend")
        print("late answer: run ended %.2f s after the command arrived (first byte at 1.8 s)"
              % ((ended - commands[0][0]) / 1000))
        # The script's last piece comes 3.8 s after the command; it must not
        # land in the next test's run.
        time.sleep(max(0.0, commands[0][0] / 1000 + 4.3 - time.time()))

    def test_silent_ups_gets_four_sends_2_1_s_apart_then_no_answer(self):
        result, commands, _, ended = self.serovox("SILENT")
        self.assertEqual((0, b"no answer.\r\n", b""), (result.rc, result.stdout, result.stderr))
        self.assertEqual([b"SILENT"] * 4, [command for _, command in commands])
        arrivals = [ms / 1000 for ms, _ in commands]
        gaps = [later - earlier for earlier, later in zip(arrivals, arrivals[1:])]
        total = ended / 1000 - arrivals[0]
        print("resend gaps %s s; no answer %.2f s after the first send"
              % (", ".join("%.2f" % gap for gap in gaps), total))
        for gap in gaps:
            self.assertTrue(1.9 <= gap <= 2.8, gaps)
        self.assertTrue(8.0 <= total <= 10.5, total)
        # The line settings stay on the pty after the port is closed.
        fd = os.open(self.near, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            iflag, _, cflag, _, ispeed, ospeed, _ = termios.tcgetattr(fd)
        finally:
            os.close(fd)
        self.assertEqual((termios.B2400, termios.B2400), (ispeed, ospeed))
        self.assertEqual(termios.CS8, cflag & termios.CSIZE)
        self.assertEqual(0, cflag & (termios.PARENB | termios.CSTOPB | termios.CRTSCTS))
        self.assertEqual(0, iflag & (termios.IXON | termios.IXOFF))

    def test_only_an_option_sends_nothing_at_all(self):
        result, commands, raw, _ = self.serovox("-P0")
        self.assertEqual((0, b"no answer.\r\n"), (result.rc, result.stdout))
        self.assertEqual(([], b""), (commands, raw))


if __name__ == "__main__":
    unittest.main()
