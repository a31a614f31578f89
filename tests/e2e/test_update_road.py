"""The whole update road, unattended, against the status-site simulator and an SMTP server."""
import os
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import (SOURCE, Setup, Simulator, SmtpSink, change_lines,  # noqa: E402
                           clock_ahead, read_data_file, scramble, subject)

NOTIFY = ["partners@office.example", "paralegals@office.example"]


class UpdateRoadTest(unittest.TestCase):
    def setUp(self):
        self.sim = Simulator()
        self.mail_dir = None
        self.sink = None
        self.setup = None

    def tearDown(self):
        if self.sink:
            self.sink.stop()
        self.sim.stop()
        if self.setup:
            self.setup.cleanup()

    def configure(self, refuse=(), extra=None):
        self.setup = self.setup or Setup()
        self.mail_dir = os.path.join(self.setup.root, "mail")
        if self.sink:
            self.sink.stop()
        self.sink = SmtpSink(self.mail_dir, refuse)
        settings = {
            "OrgName": "Test Office", "SmtpServer": "127.0.0.1:%d" % self.sink.port,
            "ReturnAddress": "docketing@office.example", "NotifyAddress1": NOTIFY[0],
            "NotifyAddress2": NOTIFY[1], "LogDir": self.setup.log_dir,
            "ReportDir": self.setup.root, "ProxyServer": "127.0.0.1:%d" % self.sim.port,
            "Timeout": "30 seconds",
        }
        settings.update(extra or {})
        self.setup.write_settings(settings)

    def run_auto(self, day_offset=0, timeout=300):
        args = ["-auto"]
        if day_offset:
            env = clock_ahead(self.setup.env(), day_offset)
            return subprocess.run([os.environ["LARKSPIRE_BIN"], *args], env=env,
                                  capture_output=True, timeout=timeout)
        return self.setup.run(*args, timeout=timeout)

    def data(self):
        return {e["AppNum"]: e for e in read_data_file(os.path.join(self.setup.log_dir, "patent.dat"))}

    def mails_since(self, count):
        """The subjects of the messages received after the first count, with their texts."""
        return [(subject(m), m) for _, m in self.sink.messages()[count:]]

    def test_import_is_silent_then_each_new_application_is_announced_once(self):
        self.configure()
        first = self.run_auto()
        self.assertEqual(first.returncode, 0, first.stderr)
        # The import into an empty list and the first read of every imported application
        # send nothing: there is no change yet, and so no batch and no activity report.
        self.assertEqual(self.sink.messages(), [])
        data = self.data()
        self.assertEqual(len(data), 7)
        self.assertTrue(all(e["Status"] and e["LastUpdate"] != "0" for e in data.values()), data)
        before = data

        self.sim.control("date?set=2009-01-15")
        second = self.run_auto(day_offset=1)
        self.assertEqual(second.returncode, 0, second.stderr)
        messages = self.sink.messages()
        subjects = [subject(m) for _, m in messages]
        # The first batch ever starts with the activity report, to the publisher alone.
        self.assertEqual(subjects[0], "Larkspire Activity for Test Office")
        self.assertEqual(messages[0][0], ["activity@larkspire.example"])
        for recipients, _ in messages[1:]:
            self.assertEqual(recipients, NOTIFY)
        # The application that appeared is announced once, and its first read mails nothing.
        self.assertEqual([s for s in subjects if "12/345,001" in s],
                         ["Patent entry added, application 12/345,001"])
        self.assertEqual(self.data()["12/345,001"]["Status"],
                         "Application Undergoing Preexam Processing")
        by_subject = {s: m for s, m in zip(subjects, (m for _, m in messages))}
        final = by_subject["Patent status update for application 11/456,789"]
        self.assertEqual([l.split(" (")[0] for l in change_lines(final)],
                         ["Status", "Status", "Last History", "Last History",
                          "Last History Description", "Last History Description"])
        self.assertIn("Status (now): Final Rejection Mailed", final)
        self.assertIn("Status (was): Non Final Action Mailed", final)
        data = self.data()
        # 10/123,456 (patent 7,091,234) gained only its child's patent: its mail shows that one
        # change and its stored record changed in nothing else.
        def changed_fields(number):
            return sorted(k for k in data[number] if data[number][k] != before[number][k])
        self.assertEqual(change_lines(by_subject["Patent status update for 7,091,234"]), [
            "Child Continuity (now): Continuation of this application , 10/987,654 , "
            "11-15-2004 , Patented , 7,460,123",
            "Child Continuity (was): Continuation of this application , 10/987,654 , "
            "11-15-2004 , Pending ,"])
        self.assertEqual(changed_fields("10/123,456"),
                         ["ChildContinuity", "LastChange", "LastUpdate"])
        # The applications with nothing new on the later day are read again and stored
        # unchanged but for their update day; the mail names exactly the others.
        for number in ("10/345,678", "11/234,567"):
            self.assertEqual(changed_fields(number), ["LastUpdate"], number)
        self.assertEqual(sorted(by_subject), [
            "Larkspire Activity for Test Office",
            "Patent entry added, application 12/345,001",
            "Patent status update for 7,091,234", "Patent status update for 7,460,123",
            "Patent status update for application 11/456,789",
            "Patent status update for application 11/678,901",
            "Patent status update for application 12/050,321"])
        count = len(messages)

        # Its fields change at the office: now its status update comes, with just the changes.
        self.sim.control("date?set=2009-03-05")
        third = self.run_auto(day_offset=2)
        self.assertEqual(third.returncode, 0, third.stderr)
        new = dict(self.mails_since(count))
        self.assertNotIn("Patent entry added, application 12/345,001", new)
        update = new["Patent status update for application 12/345,001"]
        self.assertIn("Status (now): Docketed New Case - Ready for Examination", update)
        self.assertIn("Status (was): Application Undergoing Preexam Processing", update)
        self.assertIn("Examiner (now): LEE, RIP A", update)
        self.assertNotIn("Filed (", update)

        data = self.data()
        self.assertEqual(len(data), 8)
        with open(os.path.join(self.setup.root, "Larkspire.xml"), "rb") as f:
            xml = f.read().decode("latin-1")
        self.assertIn("<Status>Final Rejection Mailed</Status>", xml)
        with open(os.path.join(self.setup.root, "Larkspire.html"), "rb") as f:
            self.assertIn(b"Final Rejection Mailed", f.read())
        log = self.setup.log()
        self.assertIn("Update 'http://pair.uspto.gov/cgi-bin/final/cusnum.pl'", log)
        self.assertIn("Send E-Mail 'Larkspire_s11_456789.tmp'", log)
        self.assertFalse(os.path.exists(os.path.join(self.setup.log_dir, "Larkspire_pending.tmp")))

    def test_over_starttls_each_notice_goes_out_during_the_update_over_one_session(self):
        try:
            import aiosmtpd  # noqa: F401
            import trustme  # noqa: F401
        except ImportError:
            self.skipTest("/usr/bin/python3 cannot import aiosmtpd and trustme")
        self.configure()
        self.assertEqual(self.run_auto().returncode, 0)  # the import, which mails nothing
        out = os.path.join(self.setup.root, "tls-mail")
        os.makedirs(out)
        user, password = "docketing@office.example", "s3cret pa55"
        server = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(SOURCE, "tests/support/aiosmtpd_server.py"), out,
             user, password, "--tls", "starttls", "--pipelining"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            port = int(server.stdout.readline())
            self.configure(extra={"SmtpServer": "localhost:%d" % port, "SmtpSecurity": "STARTTLS",
                                  "CaFile": os.path.join(out, "ca.pem"), "UserName": user,
                                  "Password": scramble(password)})
            self.sim.control("date?set=2009-01-15")
            run = self.run_auto(day_offset=1)
            self.assertEqual(run.returncode, 0, run.stderr)
        finally:
            server.stdin.close()
            server.wait(timeout=10)
            server.stdout.close()
        with open(os.path.join(out, "messages.txt"), "rb") as f:
            taken = [line.split(" ", 1) for line in f.read().decode().splitlines()]
        notices = [subject for connection, subject in taken
                   if subject.startswith("Subject: Patent status update")]
        self.assertEqual(sorted(notices), [
            "Subject: Patent status update for 7,091,234",
            "Subject: Patent status update for 7,460,123",
            "Subject: Patent status update for application 11/456,789",
            "Subject: Patent status update for application 11/678,901",
            "Subject: Patent status update for application 12/050,321"])
        # All over the first session, each sent before the update read its last entry.
        self.assertEqual({connection for connection, subject in taken if subject in notices},
                         {"1"})
        lines = self.setup.log().split("\r\n")
        last_update = max(i for i, line in enumerate(lines) if "Update 'http" in line)
        sent = [i for i, line in enumerate(lines) if "Send E-Mail 'Larkspire_s" in line]
        self.assertEqual(len(sent), len(notices))
        self.assertLess(sent[0], last_update)
        self.assertFalse(os.path.exists(os.path.join(self.setup.log_dir, "Larkspire_pending.tmp")))
        self.assertEqual([n for n in os.listdir(self.setup.log_dir) if n.startswith("Larkspire_s")],
                         [])

    def test_refused_recipient_keeps_the_rest_queued_in_order_for_the_next_run(self):
        self.configure()
        self.assertEqual(self.run_auto().returncode, 0)  # the import, which mails nothing
        self.sim.control("date?set=2009-01-15")
        self.configure(refuse=[NOTIFY[1]])
        first = self.run_auto(day_offset=1)
        self.assertEqual(first.returncode, 1)
        self.assertIn(b"SMTP: Error in recipient's e-mail address.", first.stderr)
        pending = os.path.join(self.setup.log_dir, "Larkspire_pending.tmp")
        with open(pending, "rb") as f:
            queued = f.read().decode().split("\r\n")[:-1]
        # The new application's notice and the changes of that day.
        self.assertIn("Larkspire_a12_345001.tmp", queued)
        self.assertIn("Larkspire_s11_456789.tmp", queued)
        for name in queued:
            self.assertTrue(os.path.exists(os.path.join(self.setup.log_dir, name)), name)
        # Only the activity report got through.
        self.assertEqual(len(self.sink.messages()), 1)

        self.configure()
        second = self.run_auto(day_offset=1)
        self.assertEqual(second.returncode, 0, second.stderr)
        sent = [subject(m) for _, m in self.sink.messages()[1:]]
        self.assertEqual(len(sent), len(queued))
        self.assertFalse(os.path.exists(pending))
        log = self.setup.log()
        order = [l.split("Send E-Mail '")[1].rstrip("'") for l in log.split("\r\n")
                 if "Send E-Mail '" in l]
        self.assertEqual(order[-len(queued):], queued)

    def test_a_stalled_page_fails_its_entry_and_the_run_goes_on(self):
        self.configure()
        self.assertEqual(self.run_auto().returncode, 0)
        self.sim.control("fault?mode=stall&app=11/456,789&page=status")
        result = self.run_auto(day_offset=1)
        self.assertEqual(result.returncode, 1)
        data = self.data()
        self.assertIn(data["11/456,789"]["Error"],
                      ("Operation timed out.", "HttpGet: Operation timed out."))
        others = [e for a, e in data.items() if a != "11/456,789"]
        self.assertTrue(all(e["Error"] == "" for e in others), others)
        self.assertIn("Update error '", self.setup.log())

    def test_each_broken_answer_fails_only_its_own_entry(self):
        self.configure()
        self.assertEqual(self.run_auto().returncode, 0)
        faults = {
            "10/123,456": ("close", "status", {"WinSock: Disconnected by server."}),
            "10/345,678": ("500", "status",
                           {"HttpGet: HTTP Get Failed. (500 Internal Server Error)"}),
            "11/234,567": ("truncate", "status",
                           {"The patent office webpage is not complete. You might want to try again."}),
            "11/678,901": ("500", "continuity",
                           {"HttpGet: HTTP Get Failed. (500 Internal Server Error)"}),
        }
        for app, (mode, page, _) in faults.items():
            self.sim.control("fault?mode=%s&app=%s&page=%s" % (mode, app, page))
        result = self.run_auto(day_offset=1)
        self.assertEqual(result.returncode, 1)
        data = self.data()
        self.assertLessEqual(set(faults), set(data))
        for app, entry in data.items():
            expected = faults[app][2] if app in faults else {""}
            self.assertIn(entry["Error"], expected, app)

    def test_a_fatal_page_stops_the_run_with_its_message(self):
        self.configure()
        self.assertEqual(self.run_auto().returncode, 0)
        before = self.data()
        self.sim.control("fault?mode=error2")
        result = self.run_auto(day_offset=1)
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"Webpage Read(s) Failed: There is a problem with USPTO/Direct. Please restart it.",
                      result.stderr)
        # The first entry stopped the run: nothing was updated on the new day.
        after = self.data()
        self.assertEqual({a: e["LastUpdate"] for a, e in after.items()},
                         {a: e["LastUpdate"] for a, e in before.items()})

    def test_close_request_during_a_run_ends_after_the_current_entry_and_saves(self):
        self.configure()
        self.sim.control("fault?mode=stall&app=10/987,654&page=status")
        process = self.setup.start("-auto")
        # The entries run in application-number order; once the one before the stalled entry has
        # been served, the stalled fetch is under way. Then ask the window to close.
        deadline = time.time() + 60
        while "-> 200 status 10/345,678" not in self.sim.request_log() and time.time() < deadline:
            time.sleep(0.1)
        self.assertLess(time.time(), deadline, "the run never reached the stalled entry")
        time.sleep(1.0)
        started = time.time()
        process.send_signal(signal.SIGTERM)
        process.wait(timeout=30)
        self.assertLess(time.time() - started, 10)
        data = self.data()
        updated = sorted(a for a, e in data.items() if e["LastUpdate"] not in ("", "0"))
        self.assertEqual(updated, ["10/123,456", "10/345,678"])
        self.assertEqual(data["10/987,654"]["LastUpdate"], "0")
        self.assertTrue(os.path.exists(os.path.join(self.setup.root, "Larkspire.xml")))

    def test_killing_the_program_never_leaves_a_half_written_data_file(self):
        self.configure()
        self.assertEqual(self.run_auto().returncode, 0)
        path = os.path.join(self.setup.log_dir, "patent.dat")
        with open(path, "rb") as f:
            old = f.read()
        self.sim.control("date?set=2009-01-15")
        for delay in (0.05, 0.15, 0.3, 0.5, 0.8, 1.2):
            env = clock_ahead(self.setup.env(), 1)
            process = subprocess.Popen([os.environ["LARKSPIRE_BIN"], "-auto"], env=env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(delay)
            process.kill()
            process.wait()
            entries = read_data_file(path)  # asserts the file is complete
            self.assertIn(len(entries), (7, 8))
            with open(path, "rb") as f:
                current = f.read()
            self.assertTrue(current == old or current.count(b"\r\n") in (8, 9))
            # Every notification queued so far is either still waiting in its file or was
            # received by the server (a kill between sending and deleting may send it twice).
            log = self.setup.log()
            posted = set(l.split("Post E-Mail '")[1].rstrip("'") for l in log.split("\r\n")
                         if "Post E-Mail '" in l)
            waiting = set(n for n in os.listdir(self.setup.log_dir) if n in posted)
            received = [m for _, m in self.sink.messages()
                        if not subject(m).startswith("Larkspire Activity")]
            self.assertLessEqual(len(posted), len(waiting) + len(received))


if __name__ == "__main__":
    unittest.main()
