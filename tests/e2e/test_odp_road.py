"""The update road on the Open Data Portal, unattended, against the simulated service over HTTPS
(a test CA made here) and an SMTP server: the same mails as the status site for the same
applications, the fields the service renames followed by a rules update, and the service's
rules for a key (one request at a time, 429 and 5xx waited for, a refused key)."""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import (BIN, SOURCE, OdpSimulator, Setup, Simulator, clock_ahead,  # noqa: E402
                           SmtpSink, change_lines, read_data_file, scramble, subject)

KEY = "e2e-odp-key-4f1c"
INACTIVE_KEY = "e2e-odp-key-sleeping"
CUSTOMERS = "23456, 34567 45678"
FIRST_DAY, LATER_DAY = "2008-06-30", "2009-01-15"
# Fields the service does not carry: the status site's mails may name them, the service's never.
NOT_SERVED = ("Location", "PTE")
BUILT_IN_RULES = os.path.join(SOURCE, "resources/templates/11-rules.txt")
SIGN = os.path.join(SOURCE, "tools/sign/sign-release.sh")


def publish_rules(path, text, directory):
    """Writes a rules release at path with its manifest, signed with a key made in directory;
    returns the public key's PEM path, which the program is told to trust."""
    private = os.path.join(directory, "publisher.pem")
    public = os.path.join(directory, "publisher-public.pem")
    subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", private], check=True)
    subprocess.run(["openssl", "pkey", "-in", private, "-pubout", "-out", public], check=True)
    with open(path, "wb") as f:
        f.write(text)
    subprocess.run(["bash", SIGN, "-k", private, "-t", "rules", path], check=True,
                   capture_output=True)
    return public


def served_lines(message):
    return [l for l in change_lines(message) if l.split(" (")[0] not in NOT_SERVED]


def status_mails(messages):
    """Subject -> change lines of the status-update mails."""
    return {subject(m): change_lines(m) for _, m in messages
            if subject(m).startswith("Patent status update for")}


def rules_with(replacements, version):
    """The built-in rules with texts replaced and a higher version, as CR LF bytes."""
    with open(BUILT_IN_RULES, "rb") as f:
        text = f.read().decode("latin-1")
    text = re.sub(r"^version: [0-9.]+", "version: " + version, text)
    for old, new in replacements:
        assert old in text, old
        text = text.replace(old, new)
    return text.encode("latin-1")


class Road:
    """One office: its settings, logging directory, mailbox and unattended runs."""

    def __init__(self, sim, source, extra=None, key=KEY):
        self.sim = sim
        self.setup = Setup()
        # As the Configure dialog leaves it: the folder that keeps a downloaded rules file.
        os.makedirs(os.path.join(self.setup.log_dir, "Larkspire"))
        self.sink = SmtpSink(os.path.join(self.setup.root, "mail"))
        self.key = key
        self.publisher_key = None
        settings = {
            "OrgName": "Test Office", "SmtpServer": "127.0.0.1:%d" % self.sink.port,
            "ReturnAddress": "docketing@office.example",
            "NotifyAddress1": "partners@office.example", "LogDir": self.setup.log_dir,
            "ReportDir": self.setup.root, "ProxyServer": "127.0.0.1:%d" % sim.port,
            "Timeout": "30 seconds",
        }
        if source == "ODP":
            settings.update({"StatusSource": "ODP", "OdpServer": "127.0.0.1:%d" % sim.odp_port,
                             "CaFile": sim.ca_file, "OdpCustomerNumbers": CUSTOMERS})
        settings.update(extra or {})
        self.setup.write_settings(settings)

    def run(self, day_offset=0):
        env = self.setup.env()
        env.pop("USPTO_API_KEY", None)
        if self.key:
            env["USPTO_API_KEY"] = self.key
        if self.publisher_key:
            env["LARKSPIRE_PUBLISHER_KEY"] = self.publisher_key
        if day_offset:
            env = clock_ahead(env, day_offset)
        return subprocess.run([BIN, "-auto"], env=env, capture_output=True, timeout=300)

    def messages(self):
        return self.sink.messages()

    def data(self):
        path = os.path.join(self.setup.log_dir, "patent.dat")
        return {e["AppNum"]: e for e in read_data_file(path)}

    def change_settings(self, values):
        """Sets values of the Settings group in the settings file the runs left."""
        with open(self.setup.settings_path) as f:
            text = f.read()
        for name, value in values.items():
            line = "%s=%s" % (name, value)
            text, found = re.subn(r"(?m)^%s=.*$" % name, lambda _: line, text)
            if not found:
                text = text.replace("[Settings]\n", "[Settings]\n%s\n" % line, 1)
        with open(self.setup.settings_path, "w") as f:
            f.write(text)

    def place_rules(self, text):
        """The office's own rules file in the logging directory, used as it is."""
        with open(os.path.join(self.setup.log_dir, "Larkspire", "office-rules.txt"), "wb") as f:
            f.write(text)

    def stop(self):
        self.sink.stop()
        self.setup.cleanup()


class OdpRoadTest(unittest.TestCase):
    def setUp(self):
        self.sims = []
        self.roads = []
        self.directories = []

    def tearDown(self):
        for road in self.roads:
            road.stop()
        for sim in self.sims:
            sim.stop()
        for directory in self.directories:
            directory.cleanup()

    def temp_dir(self):
        import tempfile
        directory = tempfile.TemporaryDirectory(prefix="larkspire-e2e-")
        self.directories.append(directory)
        return directory.name

    def sim(self, odp=True, extra=()):
        sim = OdpSimulator(FIRST_DAY, extra) if odp else Simulator(FIRST_DAY, extra)
        self.sims.append(sim)
        return sim

    def road(self, sim, source="ODP", extra=None, key=KEY):
        road = Road(sim, source, extra, key)
        self.roads.append(road)
        return road

    def two_runs(self, road):
        """The second run's mails, and the entries as the first run left them."""
        first = road.run()
        self.assertEqual(first.returncode, 0, first.stderr)
        first_data = road.data()
        before = len(road.messages())
        road.sim.control("date?set=" + LATER_DAY)
        if isinstance(road.sim, OdpSimulator):
            road.sim.control("odp?reset=1")
        second = road.run(day_offset=1)
        self.assertEqual(second.returncode, 0, second.stderr)
        return road.messages()[before:], first_data

    def test_two_runs_mail_what_the_status_site_mails_for_the_same_applications(self):
        site = self.road(self.sim(odp=False), source="Site")
        site_mails = status_mails(self.two_runs(site)[0])
        odp = self.road(self.sim())
        odp_new, odp_first = self.two_runs(odp)
        odp_mails = status_mails(odp_new)

        # Both sources hold the applications the service serves; the status site also shows
        # applications that are not published yet.
        site_data, odp_data = site.data(), odp.data()
        self.assertLess(set(odp_data), set(site_data))
        self.assertIn("11/456,789", odp_data)
        common = set(odp_data)
        # Field by field, the entries read the same, but for what the service does not carry.
        for number in sorted(common):
            for field in ("Reference", "AppNum", "FilingDate", "DocketNumber", "Examiner",
                          "IssueDate", "ArtUnit", "PatNum", "Class", "Status", "CustNum", "Foreign",
                          "ParentContinuity", "ChildContinuity", "LastHistoryDate",
                          "LastHistoryText", "PubNum", "PubDate", "ConfirmNum", "PTA", "Error"):
                self.assertEqual(odp_data[number][field], site_data[number][field],
                                 "%s %s" % (number, field))
            for field in NOT_SERVED:
                self.assertEqual(odp_data[number][field], "", "%s %s" % (number, field))

        # The mails name exactly the fields that changed, as the status site's do, for the
        # applications both runs held (the site knew some before they were published).
        identifiers = {e["PatNum"] or "application " + e["AppNum"]
                       for n, e in odp_data.items() if n in odp_first}
        expected = {}
        for title, lines in site_mails.items():
            served = [l for l in lines if l.split(" (")[0] not in NOT_SERVED]
            if title[len("Patent status update for "):] in identifiers and served:
                expected[title] = served
        compared = {t: l for t, l in odp_mails.items()
                    if t[len("Patent status update for "):] in identifiers}
        self.maxDiff = None
        self.assertEqual(compared, expected)
        self.assertIn("Status (now): Final Rejection Mailed",
                      odp_mails["Patent status update for application 11/456,789"])
        self.assertTrue(any(s.startswith("Patent entry added") for s in map(subject, (
            m for _, m in odp_new))))
        # The reader is sent to the application's page on Patent Center, never to the retired
        # status site; the status site's own mails keep their PAIR addresses.
        for _, message in odp_new:
            if not subject(message).startswith("Patent status update for"):
                continue
            text = message.decode("latin-1") if isinstance(message, bytes) else message
            self.assertIn("reported on the Patent Center web site", text)
            self.assertRegex(text, r"status page at:\r?\nhttps://patentcenter\.uspto\.gov/"
                                   r"applications/\d{8}\r?\n")
            self.assertNotIn("pair.uspto.gov", text)
            self.assertNotIn("PAIR", text)

        # The second run asked the search what changed and fetched only those applications.
        state = odp.sim.odp_state()
        changed = len(compared) + 1  # and the application the import added
        self.assertLess(int(state["requests-application"]), len(odp_data))
        self.assertGreaterEqual(int(state["requests-application"]), changed)
        self.assertEqual(state["overlaps"], "0")
        log = odp.setup.log()
        self.assertIn("Open Data Portal: %s requests in this update\r\n" % state["requests"], log)
        self.assertNotIn(KEY, log)
        for name in os.listdir(odp.setup.log_dir):
            self.assertNotIn(KEY, name)

    def test_older_field_names_fail_the_built_in_mapping_until_a_rules_update_names_them(self):
        # The publisher's rules file, served by the simulator once it exists.
        published = os.path.join(self.temp_dir(), "larkspire.txt")  # named as its address names it
        sim = self.sim(extra=["--rules", published])
        road = self.road(sim, extra={"OdpKey": scramble(KEY)}, key="")
        self.assertEqual(road.run().returncode, 0)
        before = road.data()

        sim.control("odp?reset=1")
        sim.control("odp?names=old")
        failed = road.run(day_offset=1)
        self.assertEqual(failed.returncode, 1)
        # Every answer has the shape the mapping does not know: the first application's stops
        # the run, with one message, instead of failing the entries one by one.
        message = b"has no /patentFileWrapperDataBag; the rules file may need an update."
        self.assertEqual(failed.stderr.count(message), 2, failed.stderr)  # the import's, the update's
        self.assertEqual(sim.odp_state()["requests-application"], "1")
        after = road.data()
        for number, entry in after.items():
            self.assertEqual(entry["LastUpdate"], before[number]["LastUpdate"], number)
            self.assertEqual(entry["Status"], before[number]["Status"], number)

        # The rules update carrying the older names, signed and downloaded as every rules update
        # is: nothing else changes.
        road.publisher_key = publish_rules(published, rules_with([
            (" bag: /patentFileWrapperDataBag", " bag: /patentBag"),
            ("{/eventDataBag/newest(eventDate)/eventDate", "{/transactionContentBag/newest(eventDate)/eventDate"),
            ("{/eventDataBag/newest(eventDate)/eventDescriptionText}",
             "{/transactionContentBag/newest(eventDate)/eventDescriptionText}"),
            ], "9.0.00.000"), self.temp_dir())
        fixed = road.run(day_offset=1)
        self.assertEqual(fixed.returncode, 0, fixed.stderr)
        data = road.data()
        self.assertEqual(set(data), set(before))
        for number, entry in data.items():
            self.assertEqual(entry["Error"], "", number)
            for field in ("Status", "LastHistoryDate", "LastHistoryText", "PatNum", "Examiner"):
                self.assertEqual(entry[field], before[number][field], number)
        with open(os.path.join(road.setup.log_dir, "Larkspire", "rules.txt"), "rb") as f:
            self.assertIn(b"bag: /patentBag", f.read())
        self.assertNotIn(KEY, road.setup.log())

    def test_429_and_5xx_answers_are_waited_for_and_no_two_requests_overlap(self):
        sim = self.sim()
        road = self.road(sim)
        self.assertEqual(road.run().returncode, 0)
        sim.control("odp?reset=1")
        sim.control("date?set=" + LATER_DAY)
        sim.control("fault?mode=429&page=odp-application&app=11/456,789&count=1")
        sim.control("fault?mode=503&page=odp-search&count=1&retry-after=none")
        result = road.run(day_offset=1)
        self.assertEqual(result.returncode, 0, result.stderr)
        state = sim.odp_state()
        self.assertEqual(state["overlaps"], "0")
        self.assertEqual(state["answers-429"], "1")
        self.assertEqual(state["answers-503"], "1")
        log = road.setup.log()
        self.assertIn("Open Data Portal answered 429 Too Many Requests; trying again in 5 s", log)
        self.assertIn("Open Data Portal answered 503 Service Unavailable; trying again in 5 s", log)
        data = road.data()
        self.assertEqual(data["11/456,789"]["Status"], "Final Rejection Mailed")
        self.assertTrue(all(e["Error"] == "" for e in data.values()), data)

    def test_a_service_that_stays_busy_fails_only_its_entry(self):
        sim = self.sim()
        road = self.road(sim)
        self.assertEqual(road.run().returncode, 0)
        # Two tries instead of four keep the test short; the waits are the service's own.
        road.place_rules(rules_with([(" tries: 4", " tries: 2")], "9.0.00.000"))
        sim.control("date?set=" + LATER_DAY)
        sim.control("fault?mode=429&page=odp-application&app=11/456,789")
        result = road.run(day_offset=1)
        self.assertEqual(result.returncode, 1)
        data = road.data()
        self.assertEqual(data["11/456,789"]["Error"],
                         "The Open Data Portal is busy (it answered 429 Too Many Requests 2 times)."
                         " Try again later.")
        self.assertEqual(data["11/456,789"]["Status"], "Non Final Action Mailed")
        # The log names the application the error belongs to, after the addresses it asked.
        log = road.setup.log()
        self.assertIn("> Update error 'application 11/456,789: The Open Data Portal is busy", log)
        self.assertIn("> Update 'https://127.0.0.1:%d/api/v1/patent/applications/11456789'"
                      % sim.odp_port, log)
        others = {n: e for n, e in data.items() if n != "11/456,789"}
        self.assertTrue(all(e["Error"] == "" for e in others.values()), others)
        self.assertEqual(data["10/987,654"]["Status"], "Patented Case")
        self.assertEqual(sim.odp_state()["overlaps"], "0")

    def test_a_refused_key_stops_the_run_with_what_to_do(self):
        sim = self.sim(extra=["--odp-inactive-key", INACTIVE_KEY])
        road = self.road(sim)
        self.assertEqual(road.run().returncode, 0)
        before = road.data()
        sim.control("odp?reset=1")
        road.key = INACTIVE_KEY
        result = road.run(day_offset=1)
        self.assertEqual(result.returncode, 1)
        # The key came from the environment, as a scheduled run's does: that is what to check.
        self.assertIn(b"The Open Data Portal refused the API key (it answered 403 Forbidden: "
                      b"The API key is not yet active). Check the key in USPTO_API_KEY, the "
                      b"environment variable this run took it from", result.stderr)
        # The first request was refused, and nothing was asked or updated after it.
        self.assertEqual(sim.request_count(), 1)
        self.assertEqual({n: e["LastUpdate"] for n, e in road.data().items()},
                         {n: e["LastUpdate"] for n, e in before.items()})
        self.assertNotIn(INACTIVE_KEY, road.setup.log())

    def test_switching_to_the_service_mails_no_field_only_the_switch_changed(self):
        sim = self.sim()
        road = self.road(sim, source="Site")
        self.assertEqual(road.run().returncode, 0)
        site_data = road.data()
        self.assertTrue(any(e["Location"] for e in site_data.values()))
        before = len(road.messages())
        road.change_settings({"StatusSource": "ODP", "OdpServer": "127.0.0.1:%d" % sim.odp_port,
                              "CaFile": sim.ca_file, "OdpCustomerNumbers": CUSTOMERS})
        # The same day on the service: nothing happened to any application.
        result = road.run(day_offset=1)
        self.assertEqual(result.returncode, 0, result.stderr)
        data = road.data()
        served = [n for n in data if n in site_data
                  and not data[n]["LastHistoryText"].startswith("Not served")]
        self.assertTrue(served)
        self.assertTrue(all(data[n]["Location"] == "" for n in served), data)
        self.assertEqual(status_mails(road.messages()[before:]), {})
        with open(os.path.join(road.setup.log_dir, "Larkspire_source.txt")) as f:
            self.assertIn("11456789\tODP", f.read())

    def test_a_refused_certificate_stops_the_run_at_the_first_request(self):
        sim = self.sim()
        road = self.road(sim)
        self.assertEqual(road.run().returncode, 0)
        before = road.data()
        # The office's CA file is gone: the service's certificate is no longer trusted.
        road.change_settings({"CaFile": ""})
        log_before = road.setup.log()
        result = road.run(day_offset=1)
        self.assertEqual(result.returncode, 1)
        refused = b"TLS: certificate of 127.0.0.1 not accepted (unknown issuer"
        self.assertEqual(result.stderr.count(refused), 1, result.stderr)
        # One request was tried (the import's search), and nothing was asked or updated after it.
        log = road.setup.log()[len(log_before):]
        self.assertEqual(len(re.findall(r"> Update 'https://", log)), 1, log)
        self.assertIn("Open Data Portal: 1 requests in this update", log)
        self.assertEqual({n: e["LastUpdate"] for n, e in road.data().items()},
                         {n: e["LastUpdate"] for n, e in before.items()})

    def test_without_a_key_the_run_says_where_to_enter_one(self):
        sim = self.sim()
        road = self.road(sim, key="")
        result = road.run()
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"The Open Data Portal needs an API key. Enter it in Options > Configure, "
                      b"or set USPTO_API_KEY", result.stderr)
        self.assertEqual(sim.request_count(), 0)


if __name__ == "__main__":
    unittest.main()
