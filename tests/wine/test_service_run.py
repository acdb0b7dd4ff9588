"""The companion running under Wine's SCM: the status it reports, every
control code, the start parameter, its events and message table, and the
process ending once STOPPED is reported."""

import time
import unittest

import harness
from harness.facts import NOT_SAVED_EVENT, NOT_STARTED_EVENT

STARTED, STOPPED, SCHEDULE_ADDED = 0x40000007, 0x40000008, 0x40000064



class RunningService(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = s = harness.Session("service_run")
        s.start()
        cls.folder = s.lay_out_product()
        cls.exe = s.install_companion(cls.folder)
        s.own_service("MERLOWSP")
        assert s.run(cls.exe, "setup").rc == 0

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def tearDown(self):
        s = self.s
        s.stop_until_stopped("MERLOWSP")
        # The next start needs the old process gone, not only STOPPED.
        self.assertTrue(s.wait_gone("merlowsp.exe", 60))

    def start(self, *args):
        self.assertEqual(0, self.s.start_service("MERLOWSP", *args))
        self.assertTrue(self.s.wait_state("MERLOWSP", 4, 60000))

    def stop(self):
        s = self.s
        self.assertEqual(0, s.stop_service("MERLOWSP"))
        self.assertTrue(s.wait_state("MERLOWSP", 1, 60000))
        self.assertTrue(s.wait_gone("merlowsp.exe", 60))

    def test_controls_from_running_and_paused(self):
        s = self.s
        before = len(s.event_records())
        self.start()
        self.assertEqual((0, 7), s.control_service("MERLOWSP", 2))   # PAUSE
        self.assertEqual(7, s.service_state("MERLOWSP"))
        self.assertEqual((0, 4), s.control_service("MERLOWSP", 3))   # CONTINUE
        self.assertEqual((0, 4), s.control_service("MERLOWSP", 4))   # INTERROGATE
        self.assertEqual((0, 4), s.control_service("MERLOWSP", 128))  # user-defined
        self.assertEqual((0, 7), s.control_service("MERLOWSP", 2))
        self.assertEqual((0, 1), s.control_service("MERLOWSP", 1))   # STOP from PAUSED
        self.assertTrue(s.wait_state("MERLOWSP", 1, 60000))
        self.assertTrue(s.wait_gone("merlowsp.exe", 60), "the process outlives STOPPED")
        events = s.event_records()[before:]
        # Once per start, from the companion's own source, with its one
        # insertion string.
        self.assertEqual([(4, STARTED, "MERLOWSP", ["MERLOWSP"]),
                          (4, STOPPED, "MERLOWSP", ["MERLOWSP"])],
                         [e for e in events if e[1] in (STARTED, STOPPED)])

    def test_reported_record_and_the_pump_left_running(self):
        s = self.s
        # Dependency missing: Init leaves the pump re-sending the record, so
        # the checkpoint keeps growing after RUNNING, about 19 times a second.
        s.set_dependencies("Merlow", [])
        watcher = s.watch_service("MERLOWSP", 300000)
        self.start()
        # Watch the pump for a while after RUNNING.
        deadline = time.monotonic() + 3
        while time.monotonic() < deadline:
            self.assertEqual(4, s.service_state("MERLOWSP"))
        rows = s.watched(watcher)
        self.assertTrue(rows, "the watcher saw nothing")
        # The SCM's own START_PENDING (checkpoint 0) precedes the service's
        # first report; every report of the service carries its own values.
        # (Wine answers with the configured type 0x110, not the reported 0x30.)
        ours = [row for row in rows if row[1] == 4 or (row[1] == 2 and row[2] > 0)]
        self.assertTrue(ours)
        for _, state, _, hint, kind, controls in ours:
            self.assertEqual((0, 3), (hint, controls), rows[:5])
        running = [(ms, cp) for ms, state, cp, *_ in rows if state == 4]
        span = running[-1][0] - running[0][0]
        self.assertGreater(span, 1000)
        rate = (running[-1][1] - running[0][1]) * 1000.0 / span
        print("pump after RUNNING: %.1f reports/s over %d ms" % (rate, span))
        # Still pumping, never faster than one report per 50 ms sleep; a busy
        # machine only stretches the sleeps, so there is no lower bound.
        self.assertGreater(running[-1][1], running[0][1])
        self.assertLess(rate, 21)

    def test_start_parameter_sets_the_check_period(self):
        s = self.s
        # Parameter 0: period 1 s, so a dependency removed from outside is
        # back within a pass or two.
        s.set_dependencies("Merlow", ["Alpha", "MERLOWSP"])
        self.start("0")
        s.set_dependencies("Merlow", ["Alpha"])
        self.assertTrue(s.wait_dependencies("Merlow", ["Alpha", "MERLOWSP"], 30))
        self.stop()

        # Parameter 86400: a day. Watched for a few seconds clear of
        # midnight UTC, nothing is put back.
        while time.time() % 86400 > 86400 - 30:
            time.sleep(1)
        s.set_dependencies("Merlow", ["Alpha", "MERLOWSP"])
        self.start("86400")
        s.set_dependencies("Merlow", ["Alpha"])
        watched_until = time.monotonic() + 4
        while time.monotonic() < watched_until:
            self.assertEqual(["Alpha"], s.dependencies("Merlow"))
            time.sleep(0.2)
        self.stop()

        # Without a parameter the period is 60 s: the dependency is put back
        # in the second whose time is a multiple of 60, and in no other.
        self.start()
        while not 2 <= time.time() % 60 < 55:  # clear of the next multiple
            time.sleep(0.2)
        s.set_dependencies("Merlow", ["Alpha"])
        removed = time.time()
        boundary = (int(removed) // 60 + 1) * 60
        while s.dependencies("Merlow") == ["Alpha"]:
            # The loop looks at the clock about once a second; a pass that a
            # busy machine delays past the whole second waits for the next one.
            self.assertLess(time.time(), boundary + 90, "never put back")
            time.sleep(0.2)
        restored = time.time()
        self.assertEqual(["Alpha", "MERLOWSP"], s.dependencies("Merlow"))
        # Leeway for the moment the list was read.
        self.assertTrue(any(b - 1 <= restored <= b + 10 for b in (boundary, boundary + 60)),
                        (removed, restored))
        print("period 60: removed at :%02d, put back at :%02d" % (removed % 60, restored % 60))


class MessageTable(unittest.TestCase):
    def test_texts_in_both_languages(self):
        expected = {
            (STARTED, 0x409): "MERLOWSP has started.\r\n",
            (STARTED, 0x411): "MERLOWSP が開始されました。\r\n",
            (STOPPED, 0x409): "MERLOWSP has stopped.\r\n",
            (STOPPED, 0x411): "MERLOWSP が停止されました。\r\n",
            (SCHEDULE_ADDED, 0x409): "MERLOWSP\r\n",
            (SCHEDULE_ADDED, 0x411): "スケジュールを追加しました。MERLOWSP \r\n",
            (NOT_STARTED_EVENT, 0x409): 'MERLOWSP could not start the program "ツール.exe -x" of '
                                        'upsombx.conf (Windows error 2).\r\n',
            (NOT_STARTED_EVENT, 0x411): "MERLOWSP は upsombx.conf のプログラム「ツール.exe -x」を"
                                        "開始できませんでした (Windows エラー 2)。\r\n",
            (NOT_SAVED_EVENT, 0x409): "MERLOWSP could not rewrite the schedule file "
                                      "C:\\表\\upstrm.dat (Windows error 5); the file is as it was.\r\n",
            (NOT_SAVED_EVENT, 0x411): "MERLOWSP はスケジュールファイル C:\\表\\upstrm.dat を書き換えられ"
                                      "ませんでした (Windows エラー 5)。ファイルは元のままです。\r\n",
        }
        # The warnings' own insertions: a program text or a path, and an error.
        subjects = {NOT_STARTED_EVENT: "ツール.exe -x", NOT_SAVED_EVENT: "C:\\表\\upstrm.dat"}
        with harness.Session("message_table") as s:
            exe = harness.product_path("merlowsp.exe")
            for (message, language), text in expected.items():
                extra = [harness.hex_argument(subjects[message].encode("cp932")),
                         "2" if message == NOT_STARTED_EVENT else "5"] if message in subjects else []
                result = s.tool("message", exe, hex(message), hex(language), *extra)
                self.assertEqual(text.encode("cp932"), result.stdout, (hex(message), language))


if __name__ == "__main__":
    unittest.main()
