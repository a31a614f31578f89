// The office's calendar of open deadlines, Larkspire.ics beside the reports (RFC 5545, written
// with libical), for a calendar program that subscribes to the file.
//
// What keeps a subscribed calendar calm: each deadline is one all-day event whose UID stays the
// same across runs, so a new file updates the events instead of adding copies; an event that
// reads as it did in the file before keeps that file's DTSTAMP and SEQUENCE, so a run that
// changed nothing rewrites the same bytes; an event whose text or dates changed gets the time of
// writing as DTSTAMP and the next SEQUENCE number; a deadline that closed or was marked done is
// left out, and the calendar drops its event.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace larkspire {

class CDocket;
class CEntryList;
class CRun;

inline constexpr const char* kCalendarName = "Larkspire.ics";
// The domain after "@" in every event's UID.
inline constexpr const char* kCalendarUidDomain = "larkspire.example";
// Reminders, in days before the due date.
inline constexpr int kCalendarAlarmDays[] = {14, 3};

// The calendar's text (UTF-8, CR LF line ends) of the docket's open deadlines, earliest first.
// The entries give each deadline its application number, current reference and status address.
// previous is the file as written before ("" when none); now_unix is the time of writing.
std::string FormatCalendar(const CDocket& docket, const CEntryList& entries,
                           std::string_view previous, int64_t now_unix);

std::string CalendarPath(const CRun& app);

// Rewrites the calendar beside the reports, whole and atomically. A docket that never held a
// deadline leaves the report directory as it is, unless a calendar is already there (it then
// becomes an empty one). False when the file could not be written.
bool WriteCalendar(CRun& app);

}  // namespace larkspire
