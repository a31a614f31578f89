"""Deadline reminders, unattended, with an SMTP server: each offset once over a month of runs,
a late one after missed days, none for a deadline closed meanwhile, none twice across the points
where a run can be ended."""
import datetime
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import Setup, Simulator, SmtpSink, clock_ahead, subject  # noqa: E402

NOTIFY = "partners@office.example"
RECORD = "Larkspire_reminders.dat"
PENDING = "Larkspire_pending.tmp"


def fields(*values):
    return "\t".join(values) + "\r\n"


class RemindersTest(unittest.TestCase):
    def setUp(self):
        self.setup = Setup()
        # A site without applications: the import adds none, and the office's one application
        # is never read, so a run's mail is its reminders alone.
        self.site = os.path.join(self.setup.root, "site.txt")
        with open(self.site, "w") as f:
            f.write("[site]\ndate: 2008-06-30\npage-size: 3\n\n[customer 23456]\nname: Test Office\n")
        self.sim = Simulator(data=self.site)
        self.sink = None
        self.today = datetime.date.today()

    def tearDown(self):
        if self.sink:
            self.sink.stop()
        self.sim.stop()
        self.setup.cleanup()

    def configure(self, refuse=(), extra=None):
        if self.sink:
            self.sink.stop()
        self.sink = SmtpSink(os.path.join(self.setup.root, "mail"), refuse)
        settings = {
            "OrgName": "Test Office", "SmtpServer": "127.0.0.1:%d" % self.sink.port,
            "ReturnAddress": "docketing@office.example", "NotifyAddress1": NOTIFY,
            "LogDir": self.setup.log_dir, "ReportDir": self.setup.root, "Timeout": "30 seconds",
            "ProxyServer": "127.0.0.1:%d" % self.sim.port,
        }
        settings.update(extra or {})
        self.setup.write_settings(settings)

    def write_office(self, due_in, closed=False):
        """One application never updated by itself, and its open reply due in due_in days."""
        day = lambda n: (self.today + datetime.timedelta(days=n)).isoformat()  # noqa: E731
        entry = ["4", "R&D-1", "10/123,456", "2026-01-05", "R&D-1", "SMITH, JOHN", "", "1641",
                 "", "435/6", "", "Non Final Action Mailed", "", "", "", "0", "", "", "", "0",
                 "", "", "", "", "", ""]
        with open(os.path.join(self.setup.log_dir, "patent.dat"), "wb") as f:
            f.write(("8\r\n" + fields(*entry)).encode("latin-1"))
        deadline = ["application 10/123,456", "R&D-1", "nonfinal", "Reply to non-final rejection",
                    "Non-Final Rejection", day(due_in - 90), "", day(due_in), day(due_in),
                    day(due_in + 90), "1", day(0) if closed else "",
                    "Response after Non-Final Action" if closed else "", "0"]
        with open(os.path.join(self.setup.log_dir, "docket.dat"), "wb") as f:
            f.write(("Larkspire docket 1\r\n" + fields(*deadline)).encode("latin-1"))
        return day(due_in)

    def run_on(self, day, send_refused=False):
        env = clock_ahead(self.setup.env(), day) if day else self.setup.env()
        result = subprocess.run([os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                                capture_output=True, timeout=120)
        if send_refused:
            self.assertIn(b"Send Nofications Failed", result.stderr)
        else:
            self.assertEqual(result.returncode, 0, result.stderr)

    def reminders(self):
        """The subjects of the reminders to the office, in arrival order."""
        return [s for s in (subject(m) for to, m in self.sink.messages() if NOTIFY in to)
                if s.startswith(("Due ", "Late reminder"))]

    def test_a_month_of_daily_runs_sends_each_reminder_once_on_its_day(self):
        self.configure()
        due = self.write_office(30)
        what = ": reply to non-final rejection, R&D-1, 10/123,456, " + due
        sent_on = {}
        # The runs go on past the due date: the record then holds the due date's reminder
        # too, and must still read.
        for day in range(0, 33):
            before = len(self.reminders())
            self.run_on(day)
            if day == 0:
                self.run_on(day)  # a second run on the same day sends nothing more
            for s in self.reminders()[before:]:
                sent_on[s] = day
        self.assertEqual(sent_on, {"Due in 30 days" + what: 0, "Due in 7 days" + what: 23,
                                   "Due in 1 day" + what: 29, "Due today" + what: 30})
        self.assertNotIn("Reminders Not Queued", self.setup.log())
        message = [m for to, m in self.sink.messages() if subject(m).startswith("Due ")][0]
        self.assertIn("Opened by: Non-Final Rejection", message)
        self.assertIn("Last date with extensions: %s" %
                      (self.today + datetime.timedelta(days=120)).isoformat(), message)

    def test_missed_days_send_the_overdue_reminder_late_at_the_next_run(self):
        self.configure(extra={"ReminderDays": "7"})
        due = self.write_office(10)
        self.run_on(0)
        self.assertEqual(self.reminders(), [])
        self.run_on(5)
        self.run_on(6)
        self.assertEqual(self.reminders(), [
            "Late reminder, due in 5 days: reply to non-final rejection, R&D-1, 10/123,456, " + due])

    def test_the_rules_file_can_word_the_reminder_its_own_way(self):
        source = os.environ["LARKSPIRE_SOURCE"]
        with open(os.path.join(source, "resources", "templates", "11-rules.txt"), "rb") as f:
            rules = f.read()
        template = (b" reminder: Subject: Docket [DueReference]: [DueWhat] by [DueDate]\\r\\n"
                    b"\\r\\n[DueWhen]. Opened by [DueOpeningEvent] on [DueOpenedOn].\r\n")
        rules = rules.replace(b"\r\nend-of-rules", b"\r\ntemplates:\r\n" + template +
                              b"\r\nend-of-rules")
        os.makedirs(os.path.join(self.setup.log_dir, "Larkspire"), exist_ok=True)
        with open(os.path.join(self.setup.log_dir, "Larkspire", "office-rules.txt"), "wb") as f:
            f.write(rules)
        self.configure(extra={"ReminderDays": "7"})
        due = self.write_office(7)
        self.run_on(0)
        mails = [m for to, m in self.sink.messages()
                 if NOTIFY in to and subject(m).startswith(("Docket ", "Due ", "Late reminder"))]
        self.assertEqual([subject(m) for m in mails],
                         ["Docket R&D-1: reply to non-final rejection by " + due])
        self.assertIn("Due in 7 days. Opened by Non-Final Rejection on ", mails[0])

    def test_empty_reminder_days_sends_nothing_and_writes_nothing(self):
        self.configure(extra={"ReminderDays": ""})
        self.write_office(0)
        self.run_on(0)
        self.assertEqual(self.reminders(), [])
        self.assertFalse(os.path.exists(os.path.join(self.setup.log_dir, RECORD)))

    def test_a_queued_reminder_whose_deadline_closed_is_dropped(self):
        self.configure(refuse=[NOTIFY])
        self.write_office(7)
        self.run_on(0, send_refused=True)
        with open(os.path.join(self.setup.log_dir, PENDING)) as f:
            queued = [n for n in f.read().split() if n.startswith("Larkspire_r")]
        self.assertEqual(len(queued), 1)
        self.configure()
        self.write_office(7, closed=True)
        self.run_on(0)
        self.assertEqual(self.reminders(), [])
        self.assertIn("Reminder dropped, its deadline is closed '%s'" % queued[0], self.setup.log())
        self.assertFalse(os.path.exists(os.path.join(self.setup.log_dir, queued[0])))

    def test_a_run_ended_at_any_point_of_queueing_sends_the_reminder_once(self):
        # After the file, before the record: an unlisted file nobody recorded.
        # After the record, before the list: a recorded file nobody listed.
        for lose_record in (True, False):
            with self.subTest(lose_record=lose_record):
                self.setup.cleanup()
                self.setup = Setup()
                self.configure(refuse=[NOTIFY])
                due = self.write_office(7)
                self.run_on(0, send_refused=True)
                os.remove(os.path.join(self.setup.log_dir, PENDING))
                if lose_record:
                    os.remove(os.path.join(self.setup.log_dir, RECORD))
                self.configure()
                self.run_on(0)
                self.run_on(0)
                self.assertEqual(self.reminders(), [
                    "Due in 7 days: reply to non-final rejection, R&D-1, 10/123,456, " + due])


if __name__ == "__main__":
    unittest.main()
