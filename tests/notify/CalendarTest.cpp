// Larkspire.ics read back with libical's own parser: the events of the open deadlines, their
// dates and alarms, UIDs and stamps that stay put across writes, and when the file is written.
#include <gtest/gtest.h>
#include <libical/ical.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "docket/Docket.h"
#include "entries/EntryList.h"
#include "notify/Calendar.h"
#include "notify/Reports.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

constexpr int64_t kFirstWrite = 1796000000;  // 2026-11-30 UTC
constexpr int64_t kLaterWrite = kFirstWrite + 86400;

int32_t Day(const char* text) { return ParseDayNumber(text); }

CDeadline Deadline(const char* entry_key, const char* rule_key, const char* what,
                   const char* opened_on, const char* computed_due, const char* due) {
  CDeadline d;
  d.entry_key = entry_key;
  d.reference = "stale reference";
  d.rule_key = rule_key;
  d.what = what;
  d.opening_event = "Non-Final Rejection";
  d.opened_on = Day(opened_on);
  d.computed_due = Day(computed_due);
  d.due = Day(due);
  d.last_date = d.due;
  return d;
}

CEntry Entry(const char* reference, const char* app_num) {
  CEntry e;
  e.SetText(kReference, reference);
  e.SetText(kAppNum, app_num);
  return e;
}

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Parsed = std::unique_ptr<icalcomponent, ComponentFree>;

Parsed Parse(const std::string& text) {
  Parsed calendar(icalcomponent_new_from_string(text.c_str()));
  EXPECT_NE(calendar, nullptr) << text;
  return calendar;
}

std::vector<icalcomponent*> Events(icalcomponent* calendar) {
  std::vector<icalcomponent*> events;
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
       e != nullptr; e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    events.push_back(e);
  }
  return events;
}

int32_t DayOf(icaltimetype t) { return *DayNumberFromCalendar(t.year, t.month, t.day); }

std::string PropertyText(icalcomponent* c, icalproperty_kind kind) {
  icalproperty* p = icalcomponent_get_first_property(c, kind);
  return p == nullptr ? "" : icalproperty_get_value_as_string(p);
}

class CalendarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetStatusUrlBuilder([](const CEntry& e) { return "https://status.example/?n=" + e.AppNum2(); });
    CDeadline reply = Deadline("application 10/123,456", "nonfinal", "Reply to non-final rejection",
                               "2026-12-15", "2027-03-15", "2027-03-15");
    reply.extendable = true;
    reply.last_date = Day("2027-06-15");
    CDeadline fee = Deadline("application 11/000,001", "allowance", "Issue fee", "2026-10-09",
                             "2027-01-09", "2027-01-11");  // a Saturday, moved to Monday
    fee.opening_event = "Notice of Allowance Mailed";
    CDeadline done = Deadline("application 10/123,456", "restriction", "Reply to restriction",
                              "2026-06-01", "2026-08-01", "2026-08-03");
    done.done = true;
    CDeadline closed =
        Deadline("application 11/000,001", "nonfinal", "Reply to non-final rejection", "2026-05-01",
                 "2026-08-01", "2026-08-03");
    closed.closed_on = Day("2026-07-20");
    docket_.Replace({reply, fee, done, closed});
    entries_.Insert(Entry("ACME-1", "10/123,456"));
    entries_.Insert(Entry("ACME-2", "11/000,001"));
  }
  void TearDown() override { SetStatusUrlBuilder({}); }

  CDocket docket_;
  CEntryList entries_;
};

TEST_F(CalendarTest, OpenDeadlinesAreAllDayEventsWithAlarmsThatLibicalReads) {
  const std::string text = FormatCalendar(docket_, entries_, "", kFirstWrite);
  Parsed calendar = Parse(text);
  EXPECT_EQ(PropertyText(calendar.get(), ICAL_VERSION_PROPERTY), "2.0");
  EXPECT_EQ(PropertyText(calendar.get(), ICAL_CALSCALE_PROPERTY), "GREGORIAN");
  EXPECT_FALSE(PropertyText(calendar.get(), ICAL_PRODID_PROPERTY).empty());
  EXPECT_NE(text.find("\r\nDTSTART;VALUE=DATE:20270111\r\n"), std::string::npos) << text;

  // Earliest first; the done and the closed deadline are not there.
  const std::vector<icalcomponent*> events = Events(calendar.get());
  ASSERT_EQ(events.size(), 2u);
  struct Expected {
    const CDeadline& deadline;
    const char* summary;
    std::vector<const char*> described;
  };
  const Expected expected[] = {
      {docket_.All()[1],
       "ACME-2: Issue fee",
       {"Application number: 11/000,001", "Notice of Allowance Mailed on 2026-10-09",
        "Computed date: 2027-01-09", "(moved to the next business day): 2027-01-11",
        "Last date with extensions: not extendable", "https://status.example/?n=11000001"}},
      {docket_.All()[0],
       "ACME-1: Reply to non-final rejection",
       {"Application number: 10/123,456", "Non-Final Rejection on 2026-12-15",
        "Due date: 2027-03-15", "Last date with extensions: 2027-06-15",
        "https://status.example/?n=10123456"}},
  };
  for (std::size_t i = 0; i < events.size(); ++i) {
    icalcomponent* event = events[i];
    const CDeadline& d = expected[i].deadline;
    EXPECT_EQ(std::string(icalcomponent_get_uid(event)), d.Uid() + "@larkspire.example");
    const icaltimetype start = icalcomponent_get_dtstart(event);
    const icaltimetype end = icalcomponent_get_dtend(event);
    EXPECT_TRUE(start.is_date);
    EXPECT_EQ(DayOf(start), d.due);
    EXPECT_EQ(DayOf(end), d.due + 1);
    EXPECT_STREQ(icalcomponent_get_summary(event), expected[i].summary);
    const std::string description = icalcomponent_get_description(event);
    for (const char* part : expected[i].described) {
      EXPECT_NE(description.find(part), std::string::npos) << part << "\n" << description;
    }
    std::vector<int> alarm_days;
    for (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
         alarm != nullptr; alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
      icalproperty* action = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY);
      ASSERT_NE(action, nullptr);
      EXPECT_EQ(icalproperty_get_action(action), ICAL_ACTION_DISPLAY);
      const icaltriggertype trigger =
          icalproperty_get_trigger(icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY));
      alarm_days.push_back(-icaldurationtype_as_int(trigger.duration) / 86400);
    }
    EXPECT_EQ(alarm_days, (std::vector<int>{14, 3}));
  }
}

// A subscribed calendar updates an event by its UID; one whose stamp moves on every run looks
// changed every time. The same docket writes the same bytes; a changed deadline alone gets a new
// stamp and the next sequence number; a deadline marked done leaves.
TEST_F(CalendarTest, StampsAndSequencesMoveOnlyWithTheEvent) {
  const std::string first = FormatCalendar(docket_, entries_, "", kFirstWrite);
  EXPECT_EQ(FormatCalendar(docket_, entries_, first, kLaterWrite), first);

  std::vector<CDeadline> changed = docket_.All();
  changed[0].due = Day("2027-03-16");
  docket_.Replace(changed);
  const std::string second = FormatCalendar(docket_, entries_, first, kLaterWrite);
  Parsed calendar = Parse(second);
  const std::vector<icalcomponent*> events = Events(calendar.get());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(icaltime_as_timet(icalcomponent_get_dtstamp(events[0])), kFirstWrite);
  EXPECT_EQ(icalcomponent_get_sequence(events[0]), 0);
  EXPECT_EQ(icaltime_as_timet(icalcomponent_get_dtstamp(events[1])), kLaterWrite);
  EXPECT_EQ(icalcomponent_get_sequence(events[1]), 1);
  EXPECT_EQ(std::string(icalcomponent_get_uid(events[1])), changed[0].Uid() + "@larkspire.example");

  std::vector<CDeadline> one_done = docket_.All();
  one_done[1].done = true;
  docket_.Replace(one_done);
  Parsed after_done = Parse(FormatCalendar(docket_, entries_, second, kLaterWrite + 60));
  ASSERT_EQ(Events(after_done.get()).size(), 1u);
  EXPECT_EQ(std::string(icalcomponent_get_uid(Events(after_done.get())[0])),
            changed[0].Uid() + "@larkspire.example");
  // A file that is not a calendar costs only the stamps.
  EXPECT_EQ(
      Events(Parse(FormatCalendar(docket_, entries_, "not a calendar", kLaterWrite)).get()).size(),
      1u);
}

// The file is put together event by event, each event's DTSTAMP and SEQUENCE set into its
// text; what comes out must be exactly what libical writes of the same calendar whole, both for
// a first file and for one written over it with a stamp kept, a stamp renewed and long, folded,
// escaped lines.
TEST_F(CalendarTest, TheFileIsWhatLibicalWritesOfTheWholeCalendar) {
  std::vector<CDeadline> deadlines = docket_.All();
  deadlines[0].what =
      "Reply; with, \\ escapes and a text long enough to be folded \xE9\xE8\xE0 twice over";
  docket_.Replace(deadlines);
  const std::string first = FormatCalendar(docket_, entries_, "", kFirstWrite);
  deadlines[1].due += 3;
  docket_.Replace(deadlines);
  const std::string second = FormatCalendar(docket_, entries_, first, kLaterWrite);
  for (const std::string& text : {first, second}) {
    Parsed calendar = Parse(text);
    char* whole = icalcomponent_as_ical_string_r(calendar.get());
    EXPECT_EQ(text, whole);
    icalmemory_free_buffer(whole);
  }
  EXPECT_NE(first, second);
}

// An application granted is keyed anew, and its deadlines move with it: the calendar written
// after the move holds the deadline's event once, under the UID it had before.
TEST_F(CalendarTest, AnEntryKeyedAnewKeepsItsEventsUid) {
  const std::string uid = docket_.NextOpen("application 10/123,456")->Uid();
  const std::string before = FormatCalendar(docket_, entries_, "", kFirstWrite);
  std::vector<CDeadline> moved = docket_.All();
  for (CDeadline& deadline : moved) {
    if (deadline.entry_key == "application 10/123,456") deadline.entry_key = "patent 9,123,456";
  }
  docket_.Replace(moved);
  const std::string after = FormatCalendar(docket_, entries_, before, kLaterWrite);
  for (const std::string& text : {before, after}) {
    Parsed calendar = Parse(text);
    const std::vector<icalcomponent*> events = Events(calendar.get());
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [&](icalcomponent* event) {
                              return icalcomponent_get_uid(event) == uid + "@larkspire.example";
                            }),
              1);
  }
}

// Page text is Windows-1252 in the program; the calendar is UTF-8 with RFC 5545's escapes,
// so what the office reads is what the status site said.
TEST_F(CalendarTest, TextIsUtf8AndEscapedAsTheFormatWants) {
  CEntryList entries;
  entries.Insert(Entry("M\xFCller\xAE; a,b \\ c", "10/123,456"));
  std::vector<CDeadline> deadlines = {docket_.All()[0]};
  deadlines[0].opening_event =
      "Rejection\tmailed\n(\x93"
      "final\x94)";
  docket_.Replace(deadlines);
  Parsed calendar = Parse(FormatCalendar(docket_, entries, "", kFirstWrite));
  const std::vector<icalcomponent*> events = Events(calendar.get());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_STREQ(icalcomponent_get_summary(events[0]),
               "M\u00fcller\u00ae; a,b \\ c: Reply to non-final rejection");
  const std::string description = icalcomponent_get_description(events[0]);
  EXPECT_NE(description.find("Rejection mailed (\u201cfinal\u201d) on 2026-12-15"),
            std::string::npos)
      << description;
}

class CalendarFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_->Settings().ReportDir.Set(dir_.Path());
    SetFakeClockForTesting(kFirstWrite * 1000);
  }
  void TearDown() override { SetFakeClockForTesting(std::nullopt); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(dir_.Path())) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  CTempDir dir_;
  CTestApp app_;
};

// An office without deadlines finds the report directory as it always was; one with deadlines
// gets the calendar; a docket that becomes empty leaves an empty calendar, so the subscribed
// calendar drops the events.
TEST_F(CalendarFileTest, WrittenBesideTheReportsOnceTheDocketHoldsDeadlines) {
  app_->Entries().Insert(Entry("ACME-1", "10/123,456"));
  WriteReports(*app_);
  EXPECT_EQ(Names(), (std::vector<std::string>{kHtmlReportName, kXmlReportName}));

  app_->Docket().Replace({Deadline("application 10/123,456", "nonfinal", "Reply", "2026-12-15",
                                   "2027-03-15", "2027-03-15")});
  WriteReports(*app_);
  EXPECT_EQ(Names(), (std::vector<std::string>{kHtmlReportName, kCalendarName, kXmlReportName}));
  std::string text;
  ASSERT_TRUE(ReadWholeFile(CalendarPath(*app_), text));
  EXPECT_EQ(Events(Parse(text).get()).size(), 1u);

  app_->Docket().Replace({});
  EXPECT_TRUE(WriteCalendar(*app_));
  ASSERT_TRUE(ReadWholeFile(CalendarPath(*app_), text));
  EXPECT_TRUE(Events(Parse(text).get()).empty());
  EXPECT_NE(text.find("BEGIN:VCALENDAR"), std::string::npos);
}

}  // namespace
}  // namespace larkspire
