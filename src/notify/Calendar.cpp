#include "notify/Calendar.h"

#include <libical/ical.h>

#include <memory>
#include <unordered_map>

#include "docket/Docket.h"
#include "entries/EntryList.h"
#include "notify/EntriesByKey.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "rules/TextEncoding.h"
#include "run/Run.h"

namespace larkspire {
namespace {

struct ComponentFree {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

// libical hands out its text in a buffer the caller frees.
std::string TextOf(icalcomponent* component) {
  char* text = icalcomponent_as_ical_string_r(component);
  std::string out = text != nullptr ? text : "";
  icalmemory_free_buffer(text);
  return out;
}

// Program text is Windows-1252; the calendar is UTF-8, and RFC 5545 allows no control
// characters in text values.
std::string CalendarText(std::string_view text) {
  std::string clean(text);
  for (char& c : clean) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return Utf8FromCp1252(clean);
}

icaltimetype DateOf(int32_t day) {
  icaltimetype date = icaltime_null_date();
  CalendarFromDayNumber(day, date.year, date.month, date.day);
  return date;
}

// What an event said in the file before, and when it last changed.
struct PreviousEvent {
  std::string content;  // the event's text without DTSTAMP and SEQUENCE
  icaltimetype stamp;
  int sequence = 0;
};

void RemoveProperties(icalcomponent* event, icalproperty_kind kind) {
  while (icalproperty* property = icalcomponent_get_first_property(event, kind)) {
    icalcomponent_remove_property(event, property);
    icalproperty_free(property);
  }
}

std::unordered_map<std::string, PreviousEvent> ReadPreviousEvents(std::string_view previous) {
  std::unordered_map<std::string, PreviousEvent> events;
  if (previous.empty()) return events;
  // A file that does not parse (damaged, or not ours) only costs the events their stamps.
  ComponentPtr calendar(icalcomponent_new_from_string(std::string(previous).c_str()));
  if (!calendar) return events;
  for (icalcomponent* event =
           icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
       event != nullptr;
       event = icalcomponent_get_next_component(calendar.get(), ICAL_VEVENT_COMPONENT)) {
    const char* uid = icalcomponent_get_uid(event);
    if (uid == nullptr) continue;
    PreviousEvent seen;
    seen.stamp = icalcomponent_get_dtstamp(event);
    seen.sequence = icalcomponent_get_sequence(event);
    RemoveProperties(event, ICAL_DTSTAMP_PROPERTY);
    RemoveProperties(event, ICAL_SEQUENCE_PROPERTY);
    seen.content = TextOf(event);
    events.emplace(uid, std::move(seen));
  }
  return events;
}

// One line per fact, in UTF-8: the line ends are the description's own, any in a value a blank.
std::string DescriptionOf(const CDeadline& deadline, const CEntry* entry) {
  std::string text;
  auto line = [&text](std::string_view label, std::string_view value) {
    if (value.empty()) return;
    if (!text.empty()) text += '\n';
    text.append(label).append(CalendarText(value));
  };
  if (entry != nullptr) {
    line("Application number: ", entry->Text(kAppNum));
    line("Patent number: ", entry->Text(kPatNum));
  } else {
    line("Entry: ", deadline.entry_key);
  }
  line("Due: ", deadline.what);
  const std::string opened_on = FormatDayNumber(deadline.opened_on);
  line("Opened by: ",
       deadline.opening_event.empty() ? opened_on : deadline.opening_event + " on " + opened_on);
  line("Computed date: ", FormatDayNumber(deadline.computed_due));
  line(deadline.due == deadline.computed_due ? "Due date: "
                                             : "Due date (moved to the next business day): ",
       FormatDayNumber(deadline.due));
  line("Last date with extensions: ",
       deadline.extendable ? FormatDayNumber(deadline.last_date) : "not extendable");
  if (entry != nullptr) line("Status: ", entry->StatusUrl());
  line("", "Computed by Larkspire as an aid; the office action itself governs.");
  return text;
}

// The event of one deadline, without DTSTAMP and SEQUENCE (which depend on the file before).
ComponentPtr EventOf(const CDeadline& deadline, const CEntry* entry) {
  const std::string reference = entry != nullptr ? entry->Text(kReference) : deadline.reference;
  const std::string summary =
      (reference.empty() ? deadline.entry_key : reference) + ": " + deadline.what;
  const std::string uid = deadline.Uid() + "@" + kCalendarUidDomain;

  ComponentPtr event(icalcomponent_new(ICAL_VEVENT_COMPONENT));
  icalcomponent_add_property(event.get(), icalproperty_new_uid(uid.c_str()));
  icalcomponent_add_property(event.get(), icalproperty_new_dtstart(DateOf(deadline.due)));
  icalcomponent_add_property(event.get(), icalproperty_new_dtend(DateOf(deadline.due + 1)));
  icalcomponent_add_property(event.get(), icalproperty_new_summary(CalendarText(summary).c_str()));
  icalcomponent_add_property(event.get(),
                             icalproperty_new_description(DescriptionOf(deadline, entry).c_str()));
  // A deadline is a reminder, not time taken: the day stays free in the office's schedules.
  icalcomponent_add_property(event.get(), icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
  for (int days : kCalendarAlarmDays) {
    icalcomponent* alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
    icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icaltriggertype trigger = icaltriggertype_from_int(-days * 24 * 60 * 60);
    icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
    icalcomponent_add_property(alarm, icalproperty_new_description(CalendarText(summary).c_str()));
    icalcomponent_add_component(event.get(), alarm);
  }
  return event;
}

}  // namespace

std::string FormatCalendar(const CDocket& docket, const CEntryList& entries,
                           std::string_view previous, int64_t now_unix) {
  const CEntriesByKey by_key(entries);
  std::unordered_map<std::string, PreviousEvent> before = ReadPreviousEvents(previous);
  const icaltimetype now = icaltime_from_timet_with_zone(static_cast<time_t>(now_unix), 0,
                                                         icaltimezone_get_utc_timezone());

  ComponentPtr calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
  icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Calverin//Larkspire//EN"));
  icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
  icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
  // The name calendar programs show for a subscribed file.
  icalproperty* name = icalproperty_new_x("Larkspire deadlines");
  icalproperty_set_x_name(name, "X-WR-CALNAME");
  icalcomponent_add_property(calendar.get(), name);

  // Each event is written and freed as it is made, so a large docket never holds every event
  // as libical's components at once; they go before the calendar's END line.
  std::string events;
  for (const CDeadline* deadline : docket.OpenEarliestFirst()) {
    ComponentPtr event = EventOf(*deadline, by_key.Find(deadline->entry_key));
    icaltimetype stamp = now;
    int sequence = 0;
    const auto seen = before.find(icalcomponent_get_uid(event.get()));
    if (seen != before.end()) {
      if (seen->second.content == TextOf(event.get())) {
        stamp = seen->second.stamp;
        sequence = seen->second.sequence;
      } else {
        sequence = seen->second.sequence + 1;
      }
    }
    icalcomponent_add_property(event.get(), icalproperty_new_dtstamp(stamp));
    icalcomponent_add_property(event.get(), icalproperty_new_sequence(sequence));
    events += TextOf(event.get());
  }
  std::string text = TextOf(calendar.get());
  text.insert(text.rfind("END:VCALENDAR"), events);
  return text;
}

std::string CalendarPath(const CRun& app) {
  return JoinPath(app.Settings().ReportDir.Text(), kCalendarName);
}

bool WriteCalendar(CRun& app) {
  const std::string path = CalendarPath(app);
  std::string previous;
  const bool exists = ReadWholeFile(path, previous);
  if (!exists && app.Docket().All().empty()) return true;
  const std::string text =
      FormatCalendar(app.Docket(), app.Entries(), previous, NowUnixMillis() / 1000);
  return text == previous || SaveFileAtomically(path, text);
}

}  // namespace larkspire
