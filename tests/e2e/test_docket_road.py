"""The docket fed by the status events, end to end on both sources: the simulator scripts two
applications' events over simulated days (a non-final rejection mailed on one day; the next day
the reply filed on one of them and an information disclosure statement on the other), unattended
runs read them, and `larkspire -deadlines` shows what the docket then holds, as a table and as
CSV, without changing anything."""
import csv
import hashlib
import io
import os
import sys
import tempfile
import unittest

import icalendar

sys.path.insert(0, os.path.dirname(__file__))
from larkspire_run import OdpSimulator  # noqa: E402
from test_odp_road import Road  # noqa: E402

MAILED, NEXT_DAY = "2008-07-08", "2008-07-09"
REPLIED, IDS = "12/345,601", "12/345,602"
# Two published applications of one customer: the same rejection mailed on both, then a reply on
# the first and an IDS (which answers nothing) on the second. The reference is the docket number
# the import takes.
DATA = """[site]
date: %(mailed)s

[customer 23456]
name: Calverin & Hale LLP

[application %(replied)s]
customer: 23456
filed: 2007-03-05
docket: CH-0601-US
title: SCRIPTED APPLICATION ANSWERED IN TIME
publication: 2008-01-10 US 2008-0012601 A1
status: 2007-03-05 Docketed New Case - Ready for Examination
status: %(mailed)s Non Final Action Mailed
status: %(next)s Response to Non-Final Office Action Entered and Forwarded to Examiner
event: 2007-03-05 Case Docketed to Examiner in GAU
event: 2008-01-10 PG-Pub Issue Notification
event: %(mailed)s Mail Non-Final Rejection
event: %(next)s Response after Non-Final Action

[application %(ids)s]
customer: 23456
filed: 2007-03-06
docket: CH-0602-US
title: SCRIPTED APPLICATION WITH A LATE IDS
publication: 2008-01-10 US 2008-0012602 A1
status: 2007-03-06 Docketed New Case - Ready for Examination
status: %(mailed)s Non Final Action Mailed
event: 2007-03-06 Case Docketed to Examiner in GAU
event: 2008-01-10 PG-Pub Issue Notification
event: %(mailed)s Mail Non-Final Rejection
event: %(next)s Information Disclosure Statement (IDS) Filed
""" % {"mailed": MAILED, "next": NEXT_DAY, "replied": REPLIED, "ids": IDS}

CSV_HEADER = ["Reference", "Application", "What Is Due", "Computed Date", "Due Date",
              "Last Date"]


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class DocketRoadTest(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory(prefix="larkspire-e2e-")
        data = os.path.join(self.directory.name, "docket-data.txt")
        with open(data, "w") as f:
            f.write(DATA)
        self.sim = OdpSimulator(MAILED, data=data)
        self.road = None

    def tearDown(self):
        if self.road:
            self.road.stop()
        self.sim.stop()
        self.directory.cleanup()

    def deadlines(self):
        """The open deadlines as -deadlines FILE.csv writes them, checked against the table the
        same switch prints; neither touches the data file or the docket."""
        log_dir = self.road.setup.log_dir
        kept = [os.path.join(log_dir, name) for name in ("patent.dat", "docket.dat")]
        before = {path: (digest(path), os.stat(path).st_mtime_ns) for path in kept}
        csv_path = os.path.join(self.road.setup.root, "deadlines.csv")
        written = self.road.setup.run("-deadlines", csv_path, timeout=30)
        self.assertEqual(written.returncode, 0, written.stderr)
        self.assertEqual(written.stdout, b"")
        with open(csv_path, "rb") as f:
            raw = f.read()
        self.assertTrue(raw.startswith(b"\xef\xbb\xbf"), raw[:20])
        rows = list(csv.reader(io.StringIO(raw[3:].decode("utf-8"), newline="")))
        self.assertEqual(rows[0], CSV_HEADER)
        printed = self.road.setup.run("-deadlines", timeout=30)
        self.assertEqual(printed.returncode, 0, printed.stderr)
        table = printed.stdout.decode("utf-8").splitlines()
        if len(rows) == 1:
            self.assertEqual(table, ["No open deadlines."])
        else:
            # A header, its rule, then the CSV's rows in the same order, cells apart by blanks.
            self.assertEqual(table[0].split(), " ".join(CSV_HEADER).split())
            self.assertEqual(len(table), len(rows) + 1)
            for line, row in zip(table[2:], rows[1:]):
                self.assertEqual(line.split(), " ".join(row).split())
        self.assertEqual({path: (digest(path), os.stat(path).st_mtime_ns) for path in kept},
                         before)
        return [dict(zip(CSV_HEADER, row)) for row in rows[1:]]

    def docket(self):
        """docket.dat's deadlines as (entry, rule, opened on, closed on, closing event)."""
        with open(os.path.join(self.road.setup.log_dir, "docket.dat"), "rb") as f:
            lines = f.read().decode("latin-1").split("\r\n")
        self.assertEqual(lines[0], "Larkspire docket 1")
        self.assertEqual(lines[-1], "")
        return sorted((cells[0], cells[2], cells[5], cells[11], cells[12])
                      for cells in (line.split("\t") for line in lines[1:-1]))

    def calendar(self):
        """Larkspire.ics beside the reports, parsed by python3-icalendar: UID -> (summary, due)."""
        with open(os.path.join(self.road.setup.root, "Larkspire.ics"), "rb") as f:
            calendar = icalendar.Calendar.from_ical(f.read())
        events = {}
        for event in calendar.walk("VEVENT"):
            self.assertEqual(len(event.walk("VALARM")), 2, event)
            events[str(event["UID"])] = (str(event["SUMMARY"]), event.decoded("DTSTART"))
        return events

    def check_calendar(self, runs, calendars):
        """Each run's calendar holds one event per open deadline, and a deadline keeps its UID
        from run to run, so a subscribed calendar updates it rather than adding a second one."""
        for listed, events in zip(runs, calendars):
            self.assertEqual(
                sorted((summary.split(":")[0], due.isoformat()) for summary, due in events.values()),
                sorted((row["Reference"], row["Due Date"]) for row in listed))
        first, second = calendars
        self.assertTrue(set(second) < set(first), (first, second))

    def walk(self, source):
        self.road = Road(self.sim, source)
        first = self.road.run()
        self.assertEqual(first.returncode, 0, first.stderr)
        mailed = self.deadlines()
        calendars = [self.calendar()]
        # The rejection opened a reply deadline on both applications, three months on.
        self.assertEqual(sorted(row["Application"] for row in mailed), [REPLIED, IDS])
        for row in mailed:
            self.assertEqual(row["Computed Date"], "2008-10-08", row)
            self.assertEqual(row["Due Date"], "2008-10-08", row)
            self.assertEqual(row["Last Date"], "2009-01-08", row)
            self.assertIn("non-final rejection", row["What Is Due"].lower(), row)
        self.assertEqual({row["Reference"] for row in mailed}, {"CH-0601-US", "CH-0602-US"})
        self.assertEqual(self.docket(), [
            ("application " + number, "nonfinal", MAILED, "", "") for number in (REPLIED, IDS)])

        # A day later: the reply closes its deadline; the IDS, now the last event, closes none.
        self.sim.control("date?set=" + NEXT_DAY)
        second = self.road.run(day_offset=1)
        self.assertEqual(second.returncode, 0, second.stderr)
        answered = self.deadlines()
        calendars.append(self.calendar())
        self.assertEqual(answered, [row for row in mailed if row["Application"] == IDS])
        # The answered deadline stays in the docket, closed by the reply.
        self.assertEqual(self.docket(), [
            ("application " + REPLIED, "nonfinal", MAILED, NEXT_DAY,
             "Response after Non-Final Action"),
            ("application " + IDS, "nonfinal", MAILED, "", "")])
        self.assertEqual(self.road.data()[IDS]["LastHistoryText"],
                         "Information Disclosure Statement (IDS) Filed")
        self.check_calendar([mailed, answered], calendars)

    def test_status_site(self):
        self.walk("Site")

    def test_open_data_portal(self):
        self.walk("ODP")


if __name__ == "__main__":
    unittest.main()
