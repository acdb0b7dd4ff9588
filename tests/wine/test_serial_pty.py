"""Bytes pass through a pty pair mapped to COM1, to the UPS simulator and
back, with the simulator's log showing each command and when it came."""

import os
import time
import unittest

import harness


class SerialLine(unittest.TestCase):
    def test_command_reaches_the_simulator_and_its_answer_comes_back(self):
        with harness.Session("serial_pty", autostart=False) as s:
            far = s.pty_pair("COM1")
            log = os.path.join(s.prefix, "ups.log")
            s.start_ups_simulator(far, {"answers": {"Q1": [[0, "(230.0 "], [150, "50.0)\r"]]}}, log)
            s.start()
            before = int(time.time() * 1000)
            result = s.tool("serial", "COM1:", "Q1\r", "2000")
            self.assertEqual(b"(230.0 50.0)\r", result.stdout)
            with open(log) as f:
                entries = [line.split() for line in f]
            self.assertEqual(1, len(entries))
            self.assertEqual("5131", entries[0][1])
            self.assertGreaterEqual(int(entries[0][0]), before - 1000)
            silent = s.tool("serial", "COM1:", "XX\r", "500")
            self.assertEqual(b"", silent.stdout)


if __name__ == "__main__":
    unittest.main()
