#include "notify/Calendar.h"

#include <libical/ical.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <vector>

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
struct BufferFree {
  void operator()(char* text) const { icalmemory_free_buffer(text); }
};
using TextPtr = std::unique_ptr<char, BufferFree>;

TextPtr TextOf(icalcomponent* component) {
  return TextPtr(icalcomponent_as_ical_string_r(component));
}

// The property's line as libical writes it inside a component.
std::string LineOf(icalproperty* property) {
  const TextPtr text(icalproperty_as_ical_string_r(property));
  icalproperty_free(property);
  return text != nullptr ? text.get() : "";
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
  // The event's text without DTSTAMP and SEQUENCE: the pieces of the file before around them.
  std::vector<std::string_view> content;
  icaltimetype stamp = icaltime_null_time();
  int sequence = 0;
};

bool IsNamed(std::string_view line, std::string_view name) {
  if (line.size() <= name.size()) return false;
  const char after = line[name.size()];
  if (after != ':' && after != ';') return false;
  // In ASCII, whatever the locale: a property's name is.
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c =
        line[i] >= 'a' && line[i] <= 'z' ? static_cast<char>(line[i] - 'a' + 'A') : line[i];
    if (c != name[i]) return false;
  }
  return true;
}

bool SameContent(const std::vector<std::string_view>& pieces, std::string_view text) {
  for (std::string_view piece : pieces) {
    if (!text.starts_with(piece)) return false;
    text.remove_prefix(piece.size());
  }
  return text.empty();
}

// A property's value: after the first colon (the names and parameters of ours hold none), with
// the folds of long lines taken out.
std::string ValueOf(std::string_view line) {
  const std::size_t colon = line.find(':');
  std::string value;
  if (colon == std::string_view::npos) return value;
  std::string_view rest = line.substr(colon + 1);
  for (std::size_t fold; (fold = rest.find("\r\n")) != std::string_view::npos;
       rest.remove_prefix(std::min(rest.size(), fold + 3))) {
    value.append(rest.substr(0, fold));
  }
  value.append(rest);
  return value;
}

// The events of the calendar written before, by UID. The file is the one this program wrote,
// so it is read line by line rather than built into libical's components, which for a large
// docket took several seconds: an event is the lines from BEGIN:VEVENT to END:VEVENT, a line
// goes on in the lines after it that begin with a blank, and the event's own DTSTAMP and
// SEQUENCE (not its alarms') are what a new run keeps when the rest reads the same. A file that
// is damaged or not ours only costs the events their stamps.
std::unordered_map<std::string, PreviousEvent> ReadPreviousEvents(std::string_view previous) {
  std::unordered_map<std::string, PreviousEvent> events;
  constexpr std::string_view kBegin = "BEGIN:VEVENT\r\n";
  constexpr std::string_view kEnd = "\r\nEND:VEVENT\r\n";
  std::size_t at = 0;
  while ((at = previous.find(kBegin, at)) != std::string_view::npos) {
    if (at != 0 && previous[at - 1] != '\n') {
      at += kBegin.size();
      continue;
    }
    const std::size_t end = previous.find(kEnd, at);
    if (end == std::string_view::npos) break;
    const std::string_view block = previous.substr(at, end + kEnd.size() - at);
    at = end + kEnd.size();
    PreviousEvent seen;
    std::string uid;
    int depth = 0;  // inside an alarm
    std::size_t line_start = 0;
    std::size_t piece = 0;  // where the piece of content being read began
    while (line_start < block.size()) {
      // The logical line: up to a CR LF not followed by a blank.
      std::size_t line_end = line_start;
      do {
        line_end = block.find("\r\n", line_end);
        line_end = line_end == std::string_view::npos ? block.size() : line_end + 2;
      } while (line_end < block.size() && (block[line_end] == ' ' || block[line_end] == '\t'));
      const bool first = line_start == 0;
      const bool last = line_end == block.size();
      const std::string_view line = block.substr(line_start, line_end - line_start);
      const std::size_t line_begin = line_start;
      line_start = line_end;
      if (!first && IsNamed(line, "BEGIN")) ++depth;
      if (!last && depth > 0 && IsNamed(line, "END")) --depth;
      const bool stamp = depth == 0 && IsNamed(line, "DTSTAMP");
      const bool sequence = depth == 0 && IsNamed(line, "SEQUENCE");
      if (stamp)
        seen.stamp = icaltime_from_string(ValueOf(line.substr(0, line.size() - 2)).c_str());
      if (sequence) seen.sequence = std::atoi(ValueOf(line.substr(0, line.size() - 2)).c_str());
      if (stamp || sequence) {
        seen.content.push_back(block.substr(piece, line_begin - piece));
        piece = line_end;
      }
      if (depth == 0 && IsNamed(line, "UID")) uid = ValueOf(line.substr(0, line.size() - 2));
    }
    seen.content.push_back(block.substr(piece));
    if (!uid.empty()) events.emplace(std::move(uid), std::move(seen));
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

// The event of a deadline, without DTSTAMP and SEQUENCE (which depend on the file before). One
// event is made and given each deadline's values in turn: making and freeing a score of
// libical's objects per deadline was most of the time a large calendar took.
class CEventWriter {
 public:
  CEventWriter() : event_(icalcomponent_new(ICAL_VEVENT_COMPONENT)) {
    uid_ = Add(event_.get(), icalproperty_new_uid(""));
    start_ = Add(event_.get(), icalproperty_new_dtstart(icaltime_null_date()));
    end_ = Add(event_.get(), icalproperty_new_dtend(icaltime_null_date()));
    summary_ = Add(event_.get(), icalproperty_new_summary(""));
    description_ = Add(event_.get(), icalproperty_new_description(""));
    // A deadline is a reminder, not time taken: the day stays free in the office's schedules.
    Add(event_.get(), icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    for (int days : kCalendarAlarmDays) {
      icalcomponent* alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
      Add(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
      Add(alarm, icalproperty_new_trigger(icaltriggertype_from_int(-days * 24 * 60 * 60)));
      alarm_descriptions_.push_back(Add(alarm, icalproperty_new_description("")));
      icalcomponent_add_component(event_.get(), alarm);
    }
  }

  icalcomponent* Event(const CDeadline& deadline, const CEntry* entry) {
    const std::string reference = entry != nullptr ? entry->Text(kReference) : deadline.reference;
    const std::string summary =
        CalendarText((reference.empty() ? deadline.entry_key : reference) + ": " + deadline.what);
    const std::string uid = deadline.Uid() + "@" + kCalendarUidDomain;
    icalproperty_set_uid(uid_, uid.c_str());
    icalproperty_set_dtstart(start_, DateOf(deadline.due));
    icalproperty_set_dtend(end_, DateOf(deadline.due + 1));
    icalproperty_set_summary(summary_, summary.c_str());
    icalproperty_set_description(description_, DescriptionOf(deadline, entry).c_str());
    for (icalproperty* description : alarm_descriptions_) {
      icalproperty_set_description(description, summary.c_str());
    }
    return event_.get();
  }

 private:
  static icalproperty* Add(icalcomponent* component, icalproperty* property) {
    icalcomponent_add_property(component, property);
    return property;
  }

  ComponentPtr event_;
  icalproperty* uid_;
  icalproperty* start_;
  icalproperty* end_;
  icalproperty* summary_;
  icalproperty* description_;
  std::vector<icalproperty*> alarm_descriptions_;
};

}  // namespace

std::string FormatCalendar(const CDocket& docket, const CEntryList& entries,
                           std::string_view previous, int64_t now_unix) {
  const CEntriesByKey by_key(entries);
  const std::unordered_map<std::string, PreviousEvent> before = ReadPreviousEvents(previous);
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
  const std::string frame = TextOf(calendar.get()).get();
  const std::size_t frame_end = frame.rfind("END:VCALENDAR");

  // Each event is written and freed as it is made, so a large docket never holds every event
  // as libical's components at once; they go before the calendar's END line. An event is
  // written once, without DTSTAMP and SEQUENCE, to be compared with the file before; those two
  // then go where libical puts them, after the event's other properties and before its alarms.
  const std::vector<const CDeadline*> open = docket.OpenEarliestFirst();
  std::string text;
  text.reserve(frame.size() + open.size() * 1024);  // room never written to costs nothing
  text.append(frame, 0, frame_end);
  // The lines of DTSTAMP and SEQUENCE repeat from event to event, so each is made once.
  const std::string now_stamp = LineOf(icalproperty_new_dtstamp(now));
  std::string stamp_line;
  icaltimetype stamp_of_line = icaltime_null_time();
  std::unordered_map<int, std::string> sequence_lines;
  CEventWriter writer;
  for (const CDeadline* deadline : open) {
    icalcomponent* event = writer.Event(*deadline, by_key.Find(deadline->entry_key));
    const TextPtr written = TextOf(event);
    const std::string_view body = written != nullptr ? written.get() : "";
    const std::string* stamp = &now_stamp;
    int sequence = 0;
    const auto seen = before.find(icalcomponent_get_uid(event));
    if (seen != before.end()) {
      if (SameContent(seen->second.content, body)) {
        if (stamp_line.empty() || icaltime_compare(stamp_of_line, seen->second.stamp) != 0) {
          stamp_of_line = seen->second.stamp;
          stamp_line = LineOf(icalproperty_new_dtstamp(seen->second.stamp));
        }
        stamp = &stamp_line;
        sequence = seen->second.sequence;
      } else {
        sequence = seen->second.sequence + 1;
      }
    }
    const auto [sequence_line, made] = sequence_lines.try_emplace(sequence);
    if (made) sequence_line->second = LineOf(icalproperty_new_sequence(sequence));
    std::size_t split = body.find("\r\nBEGIN:VALARM\r\n");
    split = split == std::string_view::npos ? body.rfind("END:VEVENT") : split + 2;
    text.append(body.substr(0, split));
    text.append(*stamp);
    text.append(sequence_line->second);
    text.append(body.substr(split));
  }
  text.append(frame, frame_end);
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
