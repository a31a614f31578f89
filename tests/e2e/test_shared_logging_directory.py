"""A logging directory shared by an office: new files follow the user's umask (the settings
stay private), links planted by another user of the directory are never followed, a lock that
cannot be had ends the run with its reason, a save that fails fails a headless run, and an
office rules file another user may change decides nothing."""
import errno
import os
import stat
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import BIN, Setup, Simulator, SmtpSink, clock_ahead  # noqa: E402

NOTIFY = "partners@office.example"


def mode_of(path):
    return stat.S_IMODE(os.lstat(path).st_mode)


class SharedLoggingDirectoryTest(unittest.TestCase):
    def setUp(self):
        self.setup = Setup()
        self.target = os.path.join(self.setup.root, "someone-elses-file")
        with open(self.target, "wb") as f:
            f.write(b"not the program's to touch")

    def tearDown(self):
        self.setup.cleanup()

    def run_program(self, *args, umask=None, day_offset=0):
        env = self.setup.env()
        if day_offset:
            env = clock_ahead(env, day_offset)
        return subprocess.run([BIN, *args], env=env, capture_output=True, timeout=300,
                              preexec_fn=(lambda: os.umask(umask)) if umask is not None else None)

    def assert_target_untouched(self):
        with open(self.target, "rb") as f:
            self.assertEqual(f.read(), b"not the program's to touch")

    def test_new_files_follow_the_umask_and_the_settings_stay_private(self):
        sim = Simulator()
        # The notification addresses are refused, so the notices stay queued to be looked at.
        sink = SmtpSink(os.path.join(self.setup.root, "mail"), refuse=[NOTIFY])
        reports = os.path.join(self.setup.root, "reports")
        os.makedirs(reports)
        self.setup.write_settings({
            "OrgName": "Test Office", "SmtpServer": "127.0.0.1:%d" % sink.port,
            "ReturnAddress": "docketing@office.example", "NotifyAddress1": NOTIFY,
            "LogDir": self.setup.log_dir, "ReportDir": reports,
            "ProxyServer": "127.0.0.1:%d" % sim.port, "Timeout": "30 seconds"})
        try:
            for umask, created in ((0o077, 0o600), (0o022, 0o644), (0o002, 0o664)):
                for directory in (self.setup.log_dir, reports):
                    for name in os.listdir(directory):
                        os.remove(os.path.join(directory, name))
                # The import mails nothing; the next day's changes are what gets queued.
                sim.control("date?set=2008-06-30")
                self.assertEqual(self.run_program("-auto", umask=umask).returncode, 0)
                sim.control("date?set=2009-01-15")
                result = self.run_program("-auto", umask=umask, day_offset=1)
                self.assertIn(b"SMTP: Error in recipient's e-mail address.", result.stderr)
                queued = [n for n in os.listdir(self.setup.log_dir)
                          if n.startswith(("Larkspire_s", "Larkspire_a"))]
                self.assertEqual(len(queued), 6, os.listdir(self.setup.log_dir))
                written = [os.path.join(self.setup.log_dir, n)
                           for n in ["patent.dat", "Larkspire.log", "Larkspire_pending.tmp"]
                           + queued]
                written += [os.path.join(reports, n) for n in ("Larkspire.html", "Larkspire.xml")]
                for path in written:
                    self.assertEqual(mode_of(path), created, "%s under umask %03o" % (path, umask))
                # Every user of the directory can open the lock file, whatever this umask.
                self.assertEqual(mode_of(os.path.join(self.setup.log_dir, "Larkspire_lock.dat")),
                                 0o644)
                self.assertEqual(mode_of(self.setup.settings_path), 0o600)
        finally:
            sink.stop()
            sim.stop()

    def test_a_lock_file_planted_as_a_link_ends_the_run_with_the_reason(self):
        lock = os.path.join(self.setup.log_dir, "Larkspire_lock.dat")
        os.symlink(self.target, lock)
        result = self.run_program("-auto")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"The logging directory cannot be locked", result.stderr)
        self.assertIn(b"Too many levels of symbolic links", result.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.setup.log_dir, "patent.dat")))
        self.assert_target_untouched()

    def test_a_log_planted_as_a_link_is_not_written_through(self):
        log = os.path.join(self.setup.log_dir, "Larkspire.log")
        os.symlink(self.target, log)
        result = self.run_program("-auto")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.islink(log))
        self.assert_target_untouched()

    def test_an_office_rules_file_others_may_write_is_passed_by_with_its_reason(self):
        folder = os.path.join(self.setup.log_dir, "Larkspire")
        os.makedirs(folder)
        office = os.path.join(folder, "office-rules.txt")
        # A rules file that would send the key elsewhere; being passed by, it is never parsed.
        with open(office, "wb") as f:
            f.write(b"version: 9.9.99.000\r\n[odp]\r\n server: https://127.0.0.1:9\r\n"
                    b"end-of-rules\r\n")
        os.chmod(office, 0o664)
        result = self.run_program("-auto")
        self.assertEqual(result.returncode, 0, result.stderr)
        log = self.setup.log()
        self.assertIn("Rules: %s is not used: other users may write it (mode 0664)\r\n" % office,
                      log)
        self.assertNotIn("office's own", log)

    def test_a_save_that_fails_ends_a_headless_run_non_zero_and_keeps_the_old_file(self):
        if os.geteuid() != 0:
            self.skipTest("mounting a small tmpfs needs root")
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=128k", "tmpfs",
                                  self.setup.log_dir], capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("tmpfs cannot be mounted here: %r" % mounted.stderr)
        try:
            self.assertEqual(self.run_program("-auto").returncode, 0)
            data = os.path.join(self.setup.log_dir, "patent.dat")
            with open(data, "rb") as f:
                old = f.read()
            self.assertEqual(old, b"8\r\n")
            # Take every free byte.
            filler = os.open(os.path.join(self.setup.log_dir, "filler"),
                             os.O_WRONLY | os.O_CREAT, 0o600)
            try:
                while True:
                    os.write(filler, b"f" * 4096)
            except OSError as error:
                self.assertEqual(error.errno, errno.ENOSPC)
            finally:
                os.close(filler)
            result = self.run_program("-auto")
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn(b"Save Failed: The application data file " + data.encode()
                          + b" could not be saved (No space left on device)", result.stderr)
            with open(data, "rb") as f:
                self.assertEqual(f.read(), old)
            self.assertEqual(sorted(n for n in os.listdir(self.setup.log_dir)
                                    if n.startswith("patent.dat")), ["patent.dat"])
        finally:
            subprocess.run(["umount", "-l", self.setup.log_dir], capture_output=True)


if __name__ == "__main__":
    unittest.main()
