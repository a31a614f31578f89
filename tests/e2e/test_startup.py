"""Start-up, registration words, the instance lock and the settings written at exit."""
import os
import re
import stat
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import Setup  # noqa: E402

SETTINGS_NAMES = [
    "ProxyServer", "UserName", "Password", "OrgName", "SmtpServer", "ReturnAddress", "LogDir",
    "ReportDir", "Left", "Top", "Right", "Bottom", "SortBy", "SortReversed", "TopIndex",
    "CountExec", "CountStatusChange", "CountUpdateSucceeded", "CountUpdateFailed",
    "CountEmailPost", "CountEmailBatchSucceeded", "CountEmailBatchFailed", "GUID", "Timeout",
]


# Configured, with a proxy address where nothing listens, so network work fails at once.
CONFIGURED = {"OrgName": "Test Office", "ProxyServer": "127.0.0.1:1"}


class StartupTest(unittest.TestCase):
    def setUp(self):
        self.setup = Setup()

    def tearDown(self):
        self.setup.cleanup()

    def test_registration_words_exit_at_once_and_write_nothing(self):
        before = os.path.getsize(self.setup.settings_path)
        for word in ["RegServer", "-UnregServer", "/regserver"]:
            result = self.setup.run(word, timeout=10)
            self.assertEqual(result.returncode, 0, word)
        self.assertEqual(os.listdir(self.setup.log_dir), [])
        self.assertEqual(os.path.getsize(self.setup.settings_path), before)

    def test_two_unattended_runs_log_count_and_keep_the_guid(self):
        for _ in range(2):
            result = self.setup.run("-auto")
            self.assertEqual(result.returncode, 0, result.stderr)
        log = self.setup.log()
        lines = [re.sub(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d> ", "", line) for line in log.split("\r\n")]
        kinds = [l.split(",")[0].split(" date-time")[0] for l in lines if l.startswith("**")]
        self.assertEqual(kinds, ["**Larkspire start", "**installed", "**version 4.2.04**",
                                 "**Larkspire stop"] * 2)
        self.assertNotIn("\n", log.replace("\r\n", ""))
        settings = self.setup.settings()
        values = settings["Settings"]
        self.assertEqual(values["CountExec"], "2")
        self.assertRegex(values["GUID"], r"^\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$")
        for name in SETTINGS_NAMES:
            self.assertIn(name, values, name)
        self.assertIn("Install", settings["General"])
        self.assertIn("ShortcutFolder", settings["General"])
        self.assertEqual(values["ProxyServer"], "127.0.0.1:8080")
        guid = values["GUID"]
        self.setup.run("-auto")
        self.assertEqual(self.setup.settings()["Settings"]["GUID"], guid)
        mode = stat.S_IMODE(os.stat(self.setup.settings_path).st_mode)
        self.assertEqual(mode, 0o600)

    def test_second_instance_is_refused_while_the_first_holds_the_lock(self):
        # A configured program started without -auto stays open, holding the lock.
        self.setup.cleanup()
        self.setup = Setup(CONFIGURED)
        first = self.setup.start()
        try:
            lock = os.path.join(self.setup.log_dir, "Larkspire_lock.dat")
            deadline = time.time() + 20
            while not os.path.exists(lock) and time.time() < deadline:
                time.sleep(0.05)
            time.sleep(0.3)
            second = self.setup.run("-auto", timeout=30)
            self.assertNotEqual(second.returncode, 0)
            self.assertIn(b"Only one instance of larkspire may be run at a time.", second.stderr)
            self.assertIn("Only one instance of larkspire may be run at a time.", self.setup.log())
        finally:
            first.terminate()
            first.wait(timeout=20)

    def test_without_a_logging_directory_two_instances_run(self):
        setup = Setup(dict(CONFIGURED, LogDir=""))
        try:
            first = setup.start()
            try:
                time.sleep(1.0)
                second = setup.run("-auto", timeout=60)
                self.assertNotIn(b"Only one instance", second.stderr)
                self.assertIn(b"Update Master List Failed", second.stderr)
                self.assertEqual(second.returncode, 1)
                self.assertIsNone(first.poll())
            finally:
                first.terminate()
                first.wait(timeout=20)
        finally:
            setup.cleanup()

    def test_corrupt_or_unwritable_settings_still_run(self):
        with open(self.setup.settings_path, "wb") as f:
            f.write(b"\x00\xff[Settings\nLogDir=\x01\n[[[\n=\n")
        result = self.setup.run("-auto")
        self.assertEqual(result.returncode, 0, result.stderr)
        # A settings path below a plain file can be neither read nor written (even as root):
        # the values are lost and the program still runs.
        blocker = os.path.join(self.setup.root, "blocker")
        open(blocker, "w").close()
        self.setup.settings_path = os.path.join(blocker, "settings.ini")
        result = self.setup.run("-auto")
        self.assertEqual(result.returncode, 0, result.stderr)

if __name__ == "__main__":
    unittest.main()
