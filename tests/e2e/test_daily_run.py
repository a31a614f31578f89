"""-schedule: the systemd user units of the daily run, handed to a stand-in systemctl that
records its calls, and the crontab line where the user has no systemd instance."""
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import BIN, Setup  # noqa: E402

# The stand-in answers is-system-running with $STUB_STATE and fails the verb in $STUB_FAIL.
STUB = """#!/bin/sh
printf '%s\\n' "$*" >> "$STUB_CALLS"
if [ "$2" = is-system-running ]; then
  echo "$STUB_STATE"
  [ "$STUB_STATE" = running ] || [ "$STUB_STATE" = degraded ]
  exit
fi
if [ "$2" = "$STUB_FAIL" ]; then
  echo "Failed to $2: Access denied" >&2
  exit 1
fi
"""


class DailyRunTest(unittest.TestCase):
    def setUp(self):
        # A settings path with a blank and a "%", which unit files and crontab treat specially.
        self.setup = Setup()
        odd = os.path.join(self.setup.root, "my settings 100%.ini")
        os.rename(self.setup.settings_path, odd)
        self.setup.settings_path = odd
        self.stub_dir = os.path.join(self.setup.root, "bin")
        os.makedirs(self.stub_dir)
        with open(os.path.join(self.stub_dir, "systemctl"), "w") as f:
            f.write(STUB)
        os.chmod(os.path.join(self.stub_dir, "systemctl"), 0o755)
        self.calls_file = os.path.join(self.setup.root, "calls")
        self.config = os.path.join(self.setup.root, "config")
        self.units = os.path.join(self.config, "systemd", "user")

    def tearDown(self):
        self.setup.cleanup()

    def schedule(self, word, state="running", fail="", runtime_dir=True):
        env = self.setup.env()
        env.update({"PATH": self.stub_dir + os.pathsep + env["PATH"], "STUB_CALLS": self.calls_file,
                    "STUB_STATE": state, "STUB_FAIL": fail, "XDG_CONFIG_HOME": self.config})
        if runtime_dir:
            env["XDG_RUNTIME_DIR"] = self.setup.root
        else:
            env.pop("XDG_RUNTIME_DIR", None)
        return subprocess.run([BIN, "-schedule", word], env=env, capture_output=True, timeout=30)

    def calls(self):
        if not os.path.exists(self.calls_file):
            return []
        with open(self.calls_file) as f:
            calls = f.read().splitlines()
        os.remove(self.calls_file)
        return calls

    def unit(self, name):
        with open(os.path.join(self.units, name)) as f:
            return f.read()

    def unit_files(self):
        return sorted(os.listdir(self.units)) if os.path.isdir(self.units) else []

    def test_schedule_writes_and_enables_the_units_and_off_removes_them(self):
        result = self.schedule("6:30")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("every day at 06:30", result.stdout.decode())
        self.assertIn("journalctl --user -u larkspire-auto", result.stdout.decode())
        self.assertEqual(self.calls(), ["--user is-system-running", "--user daemon-reload",
                                        "--user enable --now larkspire-auto.timer"])
        self.assertEqual(self.unit_files(), ["larkspire-auto.service", "larkspire-auto.timer"])
        service = self.unit("larkspire-auto.service").splitlines()
        self.assertIn("Type=oneshot", service)
        self.assertIn('ExecStart="%s" -auto' % BIN, service)
        self.assertIn('Environment="LARKSPIRE_SETTINGS=%s"'
                      % self.setup.settings_path.replace("%", "%%"), service)
        self.assertIn("UnsetEnvironment=DISPLAY WAYLAND_DISPLAY", service)
        timer = self.unit("larkspire-auto.timer").splitlines()
        self.assertIn("OnCalendar=*-*-* 06:30:00", timer)
        self.assertIn("Persistent=true", timer)
        self.assertIn("WantedBy=timers.target", timer)
        self.verify_units()

        # A new time replaces the old one.
        self.assertEqual(self.schedule("23:05").returncode, 0)
        self.calls()
        self.assertIn("OnCalendar=*-*-* 23:05:00", self.unit("larkspire-auto.timer").splitlines())

        result = self.schedule("OFF")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.decode(), "The daily run is off.\n")
        self.assertEqual(self.calls(), ["--user is-system-running",
                                        "--user disable --now larkspire-auto.timer",
                                        "--user daemon-reload"])
        self.assertEqual(self.unit_files(), [])

    def verify_units(self):
        analyze = shutil.which("systemd-analyze")
        if analyze is None:
            print("systemd-analyze is not installed: the unit files are not verified")
            return
        env = dict(os.environ, XDG_CONFIG_HOME=self.config)
        result = subprocess.run(
            [analyze, "verify", "--man=no", os.path.join(self.units, "larkspire-auto.service"),
             os.path.join(self.units, "larkspire-auto.timer")],
            env=env, capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        self.assertEqual(result.stderr.decode(), "")

    def test_without_a_systemd_user_instance_the_crontab_line_is_printed(self):
        quoted = "'%s'" % self.setup.settings_path.replace("%", "\\%")
        crontab = "30 6 * * * LARKSPIRE_SETTINGS=%s '%s' -auto" % (quoted, BIN)
        for why, kwargs, calls in (
                ("XDG_RUNTIME_DIR is not set", {"runtime_dir": False}, []),
                ("is-system-running: offline", {"state": "offline"},
                 ["--user is-system-running"])):
            result = self.schedule("06:30", **kwargs)
            self.assertEqual(result.returncode, 1, why)
            said = result.stderr.decode()
            self.assertIn("There is no systemd user instance here", said, why)
            self.assertIn(why, said)
            self.assertEqual(said.splitlines()[-1], crontab, why)
            self.assertEqual(self.calls(), calls, why)
            self.assertEqual(self.unit_files(), [], why)

    def test_a_refused_enable_is_reported(self):
        result = self.schedule("07:00", fail="enable")
        self.assertEqual(result.returncode, 1)
        self.assertIn("systemctl --user enable --now larkspire-auto.timer failed (exit status 1): "
                      "Failed to enable: Access denied", result.stderr.decode())

    def test_bad_times_are_refused_before_anything_is_written(self):
        for word in ("24:00", "12:60", "6", "630", "ab:cd", "06:5", "-1:30", "06:30:00", ""):
            result = self.schedule(word)
            self.assertEqual(result.returncode, 2, word)
            self.assertIn('"%s" is no time of day' % word, result.stderr.decode(), word)
            self.assertEqual(self.calls(), [], word)
            self.assertEqual(self.unit_files(), [], word)
        result = subprocess.run([BIN, "-schedule"], env=self.setup.env(), capture_output=True,
                                timeout=30)
        self.assertEqual(result.returncode, 2)
        self.assertIn("-schedule needs the time", result.stderr.decode())


if __name__ == "__main__":
    unittest.main()
