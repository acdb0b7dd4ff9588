"""serovox against the UPS simulator on a pty mapped to COM1: what is sent,
when, and what is printed, with the exit status of each way a run ends.

The Windows C runtime writes standard output and standard error in text
mode, so every new line the tool prints arrives here as CR LF.
"""

import os
import subprocess
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
    "LATE": [[1800, "AB"], [600, "CD"], [2400, "EF\r"]],
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
        # On a fresh, busy machine the session's first exchange over the
        # pty has been seen to take seconds to get going under Wine; one
        # exchange before the tests, answered in full, keeps that start-up
        # out of their timing and keeps its answer out of their runs.
        s.run(cls.exe, "Q1", timeout=300)
        deadline = time.monotonic() + 120
        while cls._answered_pieces() < 2 * cls._received("Q1"):
            assert time.monotonic() < deadline, "the simulator never answered the first exchange"
            time.sleep(0.1)

    @classmethod
    def _received(cls, command):
        path = cls.log
        if not os.path.exists(path):
            return 0
        with open(path) as f:
            return sum(1 for line in f if line.split()[1:] == [command.encode().hex()])

    @classmethod
    def _answered_pieces(cls):
        path = cls.log + ".sent"
        if not os.path.exists(path):
            return 0
        with open(path) as f:
            return sum(1 for _ in f)

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
        moment (unix ms) its first line of output appeared."""
        log_before, raw_before = len(self._read()), len(self._read(".raw"))
        proc = self.session.spawn(["wine", self.exe, *args], stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE)
        first_line = proc.stdout.readline()
        appeared = time.time() * 1000
        # Through the same buffered readers: communicate() would read the
        # pipes beneath them and lose what readline() buffered.
        out = first_line + proc.stdout.read()
        err = proc.stderr.read()
        result = harness.Result(proc.wait(120), out, err)
        # Each command is logged once its carriage return has arrived; the
        # run's last bytes reach the simulator before the tool can end.
        raw = self._read(".raw")[raw_before:]
        deadline = time.monotonic() + 30
        while len(self._lines(log_before)) < raw.count(b"\r") and time.monotonic() < deadline:
            time.sleep(0.05)
            raw = self._read(".raw")[raw_before:]
        return result, self._lines(log_before), raw, appeared

    def _lines(self, log_before):
        return [(int(ms), bytes.fromhex(hexed)) for ms, hexed in
                (line.split() for line in self._read()[log_before:].decode().splitlines())]

    def exchange(self, commands, appeared):
        """The exchange as the simulator saw it, for a failure's message:
        each command's and each piece's moment relative to the output."""
        first = commands[0][0] if commands else appeared
        return "received %s; sent %s; output at %+d ms" % (
            [(ms - first, c) for ms, c in commands],
            [(ms - first, p) for ms, p in self.sent_pieces(first - 10000)], appeared - first)

    def sent_pieces(self, after_ms):
        """(unix ms, bytes) of each piece the simulator sent from after_ms on."""
        rows = [line.split() for line in self._read(".sent").decode().splitlines()]
        return [(int(ms), bytes.fromhex(hexed)) for ms, hexed in rows if int(ms) >= after_ms]

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
        cases = [
            ((), 1, USAGE),
            (("Q1", "-x"), 2, b"Illegal parameter - -x.\r\n"),
            (("-P", "1"), 2, b"Illegal parameter - -P.\r\n"),
        ]
        for args, status, message in cases:
            with self.subTest(args=args):
                result, _, raw, _ = self.serovox(*args)
                self.assertEqual((status, b"", message), (result.rc, result.stdout, result.stderr))
                self.assertEqual(b"", raw)

    def test_a_port_that_does_not_exist_cannot_be_opened(self):
        n = self.absent_port()
        result, _, raw, _ = self.serovox("-P%dabc" % (n - 1), "Q1")
        self.assertEqual((3, b"", b"Unable to open serial port(COM%d:).\r\n" % n),
                         (result.rc, result.stdout, result.stderr))
        self.assertEqual(b"", raw)

    def test_one_final_carriage_return_is_removed_and_cr_lf_kept(self):
        result, commands, _, appeared = self.serovox("-P0", "Q1")
        self.assertEqual((0, b"(230.0 50.0)\r\n", b""), (result.rc, result.stdout, result.stderr),
                         self.exchange(commands, appeared))
        self.assertEqual([b"Q1"], [command for _, command in commands])
        result, _, _, _ = self.serovox("CRLF")
        self.assertEqual((0, b"OK\r\r\n\r\n"), (result.rc, result.stdout))

    def test_answer_is_cut_at_a_nul_and_bounded_to_127_bytes(self):
        result, _, _, _ = self.serovox("NUL")
        self.assertEqual((0, b"AB\r\n"), (result.rc, result.stdout))
        result, _, _, _ = self.serovox("LONG")
        self.assertEqual((0, LONG[:127].encode() + b"\r\n"), (result.rc, result.stdout))

    def test_answer_first_noticed_late_in_a_window_gets_1_1_s_more(self):
        result, commands, _, appeared = self.serovox("LATE")
        # The piece 0.6 s after the first is read, though it comes after the
        # first window's nominal end, and the one 2.4 s later is not. On a
        # busy machine the first piece may reach the port only after the
        # first window; then the resend's window reads the same answer.
        self.assertEqual((0, b"ABCD\r\n"), (result.rc, result.stdout),
                         self.exchange(commands, appeared))
        sends = [command for _, command in commands]
        self.assertIn(sends, ([b"LATE"], [b"LATE", b"LATE"]))
        print("late answer: printed %.2f s after the command arrived, after %d send(s)"
              % ((appeared - commands[0][0]) / 1000, len(sends)))
        # The script's last piece must not land in the next test's run.
        deadline = time.monotonic() + 60
        while len(self.sent_pieces(commands[0][0])) < 3 * len(sends):
            self.assertLess(time.monotonic(), deadline, "the simulator never finished its answer")
            time.sleep(0.1)

    def test_silent_ups_gets_four_sends_2_1_s_apart_then_no_answer(self):
        result, commands, _, appeared = self.serovox("SILENT")
        self.assertEqual((0, b"no answer.\r\n", b""), (result.rc, result.stdout, result.stderr))
        self.assertEqual([b"SILENT"] * 4, [command for _, command in commands])
        # Each window lasts 21 ticks of 100 ms; a busy machine only
        # stretches them. The bounds allow for the moments at which the
        # simulator happens to see each send, and for a slow machine.
        arrivals = [ms / 1000 for ms, _ in commands] + [appeared / 1000]
        windows = [later - earlier for earlier, later in zip(arrivals, arrivals[1:])]
        print("windows %s s; no answer %.2f s after the first send arrived"
              % (", ".join("%.2f" % w for w in windows), arrivals[-1] - arrivals[0]))
        for window in windows:
            self.assertTrue(1.5 <= window <= 15, windows)
        self.assertGreaterEqual(arrivals[-1] - arrivals[0], 7.5)
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
