"""The daily digest and each address's choice, unattended, with an SMTP server: one run's
changes, failures and new entries in one multipart message read back with Python's email
parser, a digest kept through a failed send and sent once, and addresses that chose different
mails getting different mails."""
import email
import email.policy
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import Setup, Simulator, SmtpSink, clock_ahead, subject  # noqa: E402

PARTNERS = "partners@office.example"
CLERK = "clerk@office.example"
DOCKETING = "docketing-desk@office.example"
ATTORNEY = "attorney@office.example"
PENDING = "Larkspire_pending.tmp"
LATER = "2008-07-10"

CHANGED = ["10/111,001", "10/111,002", "10/111,003"]
FAILED = "10/111,004"
STEADY = "10/111,005"
NEW = ["10/222,001", "10/222,002"]
NOW = ["Non Final Action Mailed", "Docketed New Case - Ready for Examination",
       "Docketed New Case - Ready for Examination"]
FAILURE = "HttpGet: HTTP Get Failed. (500 Internal Server Error)"


def application(number, reference, status_lines, filed="2007-01-10"):
    return ("[application %s]\ncustomer: 23456\nfiled: %s\ndocket: %s\n" % (number, filed, reference)
            + "".join("status: %s\n" % line for line in status_lines) + "\n")


def site_data():
    """Five applications on the first day; on the later day three of them have a new status and
    two more applications were filed."""
    text = "[site]\ndate: 2008-06-30\npage-size: 20\n\n[customer 23456]\nname: Test Office\n\n"
    for k, number in enumerate(CHANGED):
        text += application(number, "R&D-<%d>" % k, [
            "2007-01-10 Application Undergoing Preexam Processing", "2008-07-08 " + NOW[k]])
    # The first one's change opens a deadline: its reply to the rejection.
    text = text.replace("status: 2008-07-08 %s\n" % NOW[0],
                        "status: 2008-07-08 %s\nevent: 2008-07-08 Mail Non-Final Rejection\n" % NOW[0])
    for number, reference in ((FAILED, "FAIL-1"), (STEADY, "STEADY-1")):
        text += application(number, reference, ["2007-01-10 Application Undergoing Preexam Processing"])
    for k, number in enumerate(NEW):
        text += application(number, "NEW-%d" % k,
                            ["2008-07-05 Application Undergoing Preexam Processing"],
                            filed="2008-07-05")
    return text


class MailDigestTest(unittest.TestCase):
    def setUp(self):
        self.setup = Setup()
        data = os.path.join(self.setup.root, "site.txt")
        with open(data, "w") as f:
            f.write(site_data())
        self.sim = Simulator(data=data)
        self.sink = None

    def tearDown(self):
        if self.sink:
            self.sink.stop()
        self.sim.stop()
        self.setup.cleanup()

    def configure(self, addresses, extra=None, refuse=()):
        if self.sink:
            self.sink.stop()
        self.sink = SmtpSink(os.path.join(self.setup.root, "mail"), refuse)
        settings = {
            "OrgName": "Test & Office", "SmtpServer": "127.0.0.1:%d" % self.sink.port,
            "ReturnAddress": "docketing@office.example", "LogDir": self.setup.log_dir,
            "ReportDir": self.setup.root, "ProxyServer": "127.0.0.1:%d" % self.sim.port,
            "Timeout": "30 seconds", "ReminderDays": "",
        }
        for k, address in enumerate(addresses):
            settings["NotifyAddress%d" % (k + 1)] = address
        settings.update(extra or {})
        self.setup.write_settings(settings)

    def run_auto(self, day, expect_code):
        env = clock_ahead(self.setup.env(), day) if day else self.setup.env()
        result = subprocess.run([os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                                capture_output=True, timeout=300)
        self.assertEqual(result.returncode, expect_code, result.stderr)
        return result

    def import_then_change(self, send_refused=False):
        """The import's run (silent), then the later day's run: three changes, one failure, two
        new applications."""
        self.run_auto(0, 0)
        self.assertEqual(self.office_mail(), [])
        self.sim.control("date?set=" + LATER)
        self.sim.control("fault?mode=500&app=%s&page=status" % FAILED)
        # The failed entry makes the run exit with 1.
        self.run_auto(1, 1)

    def office_mail(self, address=None):
        """(recipients, parsed message) of every message to the office's addresses."""
        found = []
        for to, text in self.sink.messages():
            if any(a.endswith("@office.example") for a in to) and (address is None or address in to):
                found.append((to, email.message_from_bytes(text.encode("latin-1"),
                                                           policy=email.policy.default)))
        return found

    def digests(self, address=None):
        return [m for _, m in self.office_mail(address) if m["Subject"].startswith("Digest for ")]

    def pending(self):
        path = os.path.join(self.setup.log_dir, PENDING)
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return f.read().split()

    def check_digest(self, message):
        self.assertEqual(message.get_content_type(), "multipart/alternative")
        self.assertIn(": 3 changed, 1 failed, 2 new", message["Subject"])
        text = message.get_body(preferencelist=("plain",)).get_content().replace("\r\n", "\n")
        html = message.get_body(preferencelist=("html",)).get_content()
        numbers = CHANGED + [FAILED] + NEW
        for number in numbers:
            self.assertIn(number, text)
            self.assertIn(number, html)
        self.assertNotIn(STEADY, text + html)
        changes = text.split("Changes:")[1].split("Entries that failed:")[0]
        self.assertEqual(sorted(n for n in numbers if n in changes), CHANGED)
        for k, number in enumerate(CHANGED):
            self.assertIn("R&D-<%d>, application %s\n  Status: now \"%s\", "
                          "was \"Application Undergoing Preexam Processing\"" % (k, number, NOW[k]),
                          text)
            self.assertIn("R&amp;D-&lt;%d&gt;, application %s" % (k, number), html)
        failures = text.split("Entries that failed:")[1].split("New entries:")[0]
        self.assertEqual(failures.strip(), "FAIL-1, application %s: %s" % (FAILED, FAILURE))
        added = text.split("New entries:")[1]
        self.assertEqual(sorted(line.strip() for line in added.strip().split("\n")),
                         ["NEW-%d, application %s" % (k, n) for k, n in enumerate(NEW)])
        self.assertEqual(html.count("<table"), 3)
        self.assertNotIn("R&D-<", html)

    def test_a_digest_run_mails_its_changes_failure_and_new_entries_in_one_message(self):
        self.configure([PARTNERS, CLERK], {"MailMode": "digest"})
        self.import_then_change()
        mail = self.office_mail()
        self.assertEqual(len(mail), 1, [m["Subject"] for _, m in mail])
        self.assertEqual(sorted(mail[0][0]), sorted([PARTNERS, CLERK]))
        self.check_digest(mail[0][1])
        # Nothing of the digest is left queued; the next run has nothing to say.
        self.assertEqual([n for n in self.pending() if n[10] in "im"], [])
        self.run_auto(1, 1)
        self.assertEqual(len(self.digests()), 2)  # the failure again, alone
        self.assertIn(": 0 changed, 1 failed, 0 new", self.digests()[1]["Subject"])

    def test_a_failed_send_keeps_the_digest_for_the_next_run_which_sends_it_once(self):
        self.configure([PARTNERS], {"MailMode": "digest"}, refuse=[PARTNERS])
        self.import_then_change()
        self.assertEqual(self.digests(), [])
        queued = self.pending()
        self.assertEqual([n for n in queued if n.startswith("Larkspire_i")], [])
        self.assertEqual(len([n for n in queued if n.startswith("Larkspire_m")]), 1, queued)
        self.configure([PARTNERS], {"MailMode": "digest"})
        self.sim.control("fault?mode=none")
        self.run_auto(1, 0)
        self.run_auto(1, 0)
        digests = self.digests()
        self.assertEqual(len(digests), 1, [d["Subject"] for d in digests])
        self.check_digest(digests[0])
        self.assertEqual(self.pending(), [])

    def test_addresses_with_different_choices_get_different_mails(self):
        self.configure([PARTNERS, CLERK, DOCKETING, ATTORNEY],
                       {"NotifyChoice1": "all", "NotifyChoice2": "digest",
                        "NotifyChoice3": "reminders", "NotifyChoice4": "deadlines"})
        self.import_then_change()
        partners = sorted(m["Subject"] for _, m in self.office_mail(PARTNERS))
        self.assertEqual(len(partners), 5, partners)
        self.assertEqual(len([s for s in partners if "status update" in s]), 3, partners)
        self.assertEqual(len([s for s in partners if "entry added" in s]), 2, partners)
        clerk = self.office_mail(CLERK)
        self.assertEqual(len(clerk), 1)
        self.assertEqual(clerk[0][0], [CLERK])
        self.check_digest(clerk[0][1])
        self.assertEqual(self.office_mail(DOCKETING), [])
        attorney = self.office_mail(ATTORNEY)
        self.assertEqual([(to, m["Subject"]) for to, m in attorney],
                         [([PARTNERS, ATTORNEY], "Patent status update for application " + CHANGED[0])])


if __name__ == "__main__":
    unittest.main()
