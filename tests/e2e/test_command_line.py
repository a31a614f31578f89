"""What the command line answers on the terminal, and what a run without a display prints."""
import csv
import io
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import Setup  # noqa: E402

FIELDS = ["Fequency", "Reference", "AppNum", "FilingDate", "DocketNumber", "Examiner",
          "IssueDate", "ArtUnit", "PatNum", "Class", "Location", "Status", "CustNum", "Foreign",
          "ParentContinuity", "LastUpdate", "LastHistoryDate", "LastHistoryText", "Error",
          "LastChange", "PubNum", "PubDate", "ConfirmNum", "PTA", "PTE", "ChildContinuity"]


def data_line(**values):
    return "\t".join(values.get(name, "0" if name in ("Fequency", "LastUpdate", "LastChange")
                                else "") for name in FIELDS)


class CommandLineTest(unittest.TestCase):
    def setUp(self):
        self.setup = Setup({"OrgName": "Test Office", "ProxyServer": "127.0.0.1:1"})

    def tearDown(self):
        self.setup.cleanup()

    def snapshot(self):
        """Everything a run could touch: the settings file and the logging directory."""
        with open(self.setup.settings_path, "rb") as f:
            settings = f.read()
        files = {}
        for name in os.listdir(self.setup.log_dir):
            with open(os.path.join(self.setup.log_dir, name), "rb") as f:
                files[name] = f.read()
        return settings, files

    def test_help_and_version_print_and_exit_without_touching_anything(self):
        before = self.snapshot()
        for args in (["--help"], ["-h"], ["/?"], ["-auto", "--HELP"]):
            result = self.setup.run(*args, timeout=10)
            self.assertEqual(result.returncode, 0, args)
            usage = result.stdout.decode("utf-8")
            for switch in ("-auto", "-export FILE.csv", "--help", "--version", "RegServer",
                           "UnregServer"):
                self.assertIn(switch, usage, args)
            self.assertIn("Larkspire\u00ae watches", usage)
            self.assertEqual(result.stderr, b"")
        result = self.setup.run("--version", timeout=10)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout.decode("utf-8"), "Larkspire\u00ae 4.2.04\n")
        self.assertEqual(self.snapshot(), before)

    def test_help_on_a_fresh_configuration_creates_no_settings(self):
        os.remove(self.setup.settings_path)
        for word in ("--help", "--version"):
            self.assertEqual(self.setup.run(word, timeout=10).returncode, 0)
        self.assertFalse(os.path.exists(self.setup.settings_path))
        self.assertEqual(os.listdir(self.setup.log_dir), [])

    def test_export_writes_the_saved_list_in_its_sort_order_and_nothing_else(self):
        with open(os.path.join(self.setup.log_dir, "patent.dat"), "wb") as f:
            f.write(("8\r\n" + data_line(Reference="R&D-2", AppNum="10/123,456",
                                         Status="Patented Case") + "\r\n" +
                     data_line(Reference="Caf\xe9 \"1\"", AppNum="11/456,789",
                               Examiner="SMITH, JOHN") + "\r\n").encode("latin-1"))
        with open(self.setup.settings_path, "a") as f:
            f.write("SortBy=Reference\nSortReversed=0\n")
        before = self.snapshot()
        csv_path = os.path.join(self.setup.root, "list.csv")
        result = self.setup.run("-export", csv_path, timeout=10)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout + result.stderr, b"")
        self.assertEqual(self.snapshot(), before)
        with open(csv_path, "rb") as f:
            text = f.read()
        self.assertTrue(text.startswith(b"\xef\xbb\xbf"))
        self.assertTrue(text.endswith(b"\r\n"))
        rows = list(csv.reader(io.StringIO(text[3:].decode("utf-8"), newline="")))
        self.assertEqual(rows[0][:5], ["Frequency", "Last Update", "Last Change", "Reference",
                                       "App #"])
        self.assertEqual(len(rows[0]), 26)
        # Reference order (letters and digits only): "Café 1" before "R&D-2".
        self.assertEqual([r[3:5] for r in rows[1:]],
                         [['Caf\u00e9 "1"', "11/456,789"], ["R&D-2", "10/123,456"]])
        self.assertEqual(rows[1][rows[0].index("Examiner")], "SMITH, JOHN")
        self.assertEqual(rows[2][rows[0].index("Status")], "Patented Case")

    def test_export_refusals_say_why(self):
        missing = self.setup.run("-export", timeout=10)
        self.assertEqual(missing.returncode, 2)
        self.assertIn(b"-export needs the name of the CSV file to write.", missing.stderr)
        unwritable = self.setup.run("-export", os.path.join(self.setup.root, "no", "x.csv"),
                                    timeout=10)
        self.assertEqual(unwritable.returncode, 1)
        self.assertIn(b"Couldn't write ", unwritable.stderr)
        os.remove(self.setup.settings_path)
        unconfigured = self.setup.run("-export", os.path.join(self.setup.root, "x.csv"),
                                      timeout=10)
        self.assertEqual(unconfigured.returncode, 1)
        self.assertIn(b"There is no list to export", unconfigured.stderr)
        self.assertFalse(os.path.exists(self.setup.settings_path))

    def test_a_window_without_a_display_is_refused_at_once(self):
        env = self.setup.env()
        for name in ("QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        before = self.snapshot()
        import subprocess
        result = subprocess.run([os.environ["LARKSPIRE_BIN"]], env=env, capture_output=True,
                                timeout=10)
        self.assertEqual(result.returncode, 1)
        self.assertIn("there is no display to show the window on",
                      result.stderr.decode("utf-8"))
        self.assertEqual(self.snapshot(), before)

    def test_a_run_without_a_display_prints_only_its_own_messages_in_utf8(self):
        env = self.setup.env()
        for name in ("QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"):
            env.pop(name, None)
        import subprocess
        result = subprocess.run([os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                                capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"")
        printed = result.stderr.decode("utf-8")
        self.assertTrue(printed.startswith("Larkspire\u00ae - Update Master List Failed: "),
                        printed)
        for chatter in ("XDG_RUNTIME_DIR", "QStandardPaths", "propagateSizeHints", "qt."):
            self.assertNotIn(chatter, printed)


if __name__ == "__main__":
    unittest.main()
