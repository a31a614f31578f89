// When the reminders of a deadline fall due, and which one a run sends. Pure: the day numbers
// are those of rules/Dates.h.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

// The offsets in days before the due date when ReminderDays is not set.
inline constexpr std::string_view kDefaultReminderDays = "30,7,1";
// The most days before a due date a reminder can be set to go.
inline constexpr int kMaxReminderDays = 366;

// "30,7,1" (blanks allowed around the numbers) as the offsets, largest first, each once, with
// the due date itself (0) always among them; "" gives none at all. Nothing for text that is not
// such a list (a number over 366 included), which the caller reports.
std::optional<std::vector<int>> ParseReminderDays(std::string_view text);

struct CReminderDue {
  int offset = 0;     // days before the due date
  bool late = false;  // its day has passed: the runs missed it
};

// The reminder a run on today sends for an open deadline: the one whose day (due - offset) is
// the latest that has come, unless it was queued already (each goes once; a run that missed
// earlier ones sends only the latest, marked late when its day has passed). A day before the
// deadline opened never comes, and nothing is sent once the last date with extensions is past.
std::optional<CReminderDue> DueReminder(int32_t due, int32_t opened_on, int32_t last_date,
                                        int32_t today, const std::vector<int>& offsets,
                                        const std::set<int>& queued);

// How a reminder's subject starts: "Due in 7 days", "Due in 1 day", "Due today"; a late one says
// so and counts from today: "Late reminder, due in 5 days", "Late reminder, due today",
// "Late reminder, due 2 days ago".
std::string DueWhenText(int32_t due, int32_t today, bool late);

// The day as "2027-03-15".
std::string IsoDayText(int32_t day);

}  // namespace larkspire
