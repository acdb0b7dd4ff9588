"""Serial ports of a Session: COM ports mapped to socat pty pairs, and the
UPS simulator on their far ends."""

import json
import os
import subprocess
import sys
import time

from .prefix import SOURCE_DIR
from .registry import append_registry


class SerialMixin:
    def map_com_port(self, port, device):
        """Maps COMn to a Unix device; must be done before start()."""
        assert not self.started, "the COM mapping is read when the session starts"
        self.com_ports[port] = device
        append_registry(os.path.join(self.prefix, "system.reg"), r"Software\Wine\Ports",
                        {port: device})

    def pty_pair(self, port="COM1"):
        """A socat pty pair; the near end is mapped to the port. Returns the far end."""
        links = os.path.join(self.prefix, "pty-%s" % port.lower())
        near, far = links + "-near", links + "-far"
        self.spawn(["socat", "pty,raw,echo=0,link=%s" % near, "pty,raw,echo=0,link=%s" % far],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not (os.path.exists(near) and os.path.exists(far)):
            if time.monotonic() > deadline:
                raise RuntimeError("socat made no pty pair")
            time.sleep(0.02)
        self.map_com_port(port, os.path.realpath(near))
        return far

    def start_ups_simulator(self, device, script, log):
        """Starts the UPS simulator on the far end of a pty pair."""
        script_path = log + ".script.json"
        with open(script_path, "w") as f:
            json.dump(script, f)
        proc = self.spawn([sys.executable, os.path.join(SOURCE_DIR, "tests", "fixtures", "ups_sim.py"),
                           device, script_path, log], stdout=subprocess.PIPE)
        ready = proc.stdout.readline()
        assert ready == b"ready\n", "the UPS simulator did not start: %r" % ready
        return proc
