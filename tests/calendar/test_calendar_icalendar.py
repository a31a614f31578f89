"""The calendar as another parser reads it: Debian's python3-icalendar.

Writes the sample docket's calendar twice (the second time a day later, over the first) and
checks the events of the open deadlines, their all-day dates, alarms and text, that a line
is never longer than 75 octets nor cut inside a UTF-8 character, and that the second write
keeps the bytes (UIDs, stamps and sequence numbers) of the first.
"""
import datetime
import os
import subprocess
import sys
import tempfile
import unittest

from icalendar import Calendar

TOOL = sys.argv.pop(1)
FIRST = 1796000000


class CalendarReadByIcalendar(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.first = os.path.join(self.dir.name, "first.ics")
        self.second = os.path.join(self.dir.name, "second.ics")
        subprocess.run([TOOL, self.first, str(FIRST)], check=True)
        subprocess.run([TOOL, self.second, str(FIRST + 86400), self.first], check=True)
        with open(self.first, "rb") as f:
            self.bytes = f.read()

    def tearDown(self):
        self.dir.cleanup()

    def test_open_deadlines_are_all_day_events_with_two_alarms(self):
        calendar = Calendar.from_ical(self.bytes)
        self.assertEqual(str(calendar["VERSION"]), "2.0")
        self.assertEqual(str(calendar["CALSCALE"]), "GREGORIAN")
        self.assertIn("PRODID", calendar)
        events = calendar.walk("VEVENT")
        self.assertEqual([e["SUMMARY"] for e in events],
                         ["ACME; 2, \\ \u201cquoted\u201d: Issue fee",
                          "M\u00fcller \u00ae-1: Reply to non-final rejection "
                          + "\u00e9\u00e8\u00e0\u00fc\u00f6\u00e4\u00df\u00a7\u00b6" * 2
                          + "\u00e9\u00e8\u00e0\u00fc\u00f6\u00e4\u00df"])
        self.assertEqual(len({str(e["UID"]) for e in events}), 2)
        for event, due in zip(events, [datetime.date(2027, 1, 11), datetime.date(2027, 3, 15)]):
            self.assertTrue(str(event["UID"]).endswith("@larkspire.example"))
            self.assertEqual(event.decoded("DTSTART"), due)
            self.assertEqual(event.decoded("DTEND"), due + datetime.timedelta(days=1))
            self.assertIn("DTSTAMP", event)
            alarms = event.walk("VALARM")
            self.assertEqual([str(a["ACTION"]) for a in alarms], ["DISPLAY", "DISPLAY"])
            self.assertEqual([a.decoded("TRIGGER") for a in alarms],
                             [datetime.timedelta(days=-14), datetime.timedelta(days=-3)])
        description = str(events[0]["DESCRIPTION"])
        for part in ["Application number: 11/000,001",
                     "Opened by: Non-Final Rejection; mailed, \"as seen\" on 2026-10-09",
                     "Computed date: 2027-01-09",
                     "Due date (moved to the next business day): 2027-01-11",
                     "Last date with extensions: not extendable",
                     "Status: https://status.example/application?number=11000001&tab=events"]:
            self.assertIn(part, description.split("\n"))

    def test_lines_are_folded_whole_characters_with_crlf(self):
        self.assertTrue(self.bytes.endswith(b"\r\n"))
        for line in self.bytes.split(b"\r\n"):
            self.assertLessEqual(len(line), 75, line)
            line.decode("utf-8")  # a fold inside a character would not decode
            self.assertNotIn(b"\n", line)

    def test_a_second_write_keeps_uids_stamps_and_bytes(self):
        with open(self.second, "rb") as f:
            self.assertEqual(f.read(), self.bytes)


if __name__ == "__main__":
    unittest.main()
