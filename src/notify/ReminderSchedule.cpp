#include "notify/ReminderSchedule.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>

#include "rules/Dates.h"

namespace larkspire {
namespace {

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Days(int32_t count) { return std::to_string(count) + (count == 1 ? " day" : " days"); }

}  // namespace

std::optional<std::vector<int>> ParseReminderDays(std::string_view text) {
  std::vector<int> offsets;
  if (Trimmed(text).empty()) return offsets;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = Trimmed(text.substr(0, comma));
    int value = -1;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (item.empty() || error != std::errc() || end != item.data() + item.size() || value < 0 ||
        value > kMaxReminderDays) {
      return std::nullopt;
    }
    offsets.push_back(value);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  offsets.push_back(0);
  std::sort(offsets.begin(), offsets.end(), std::greater<>());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
  return offsets;
}

std::optional<CReminderDue> DueReminder(int32_t due, int32_t opened_on, int32_t last_date,
                                        int32_t today, const std::vector<int>& offsets,
                                        const std::set<int>& queued) {
  if (today > std::max(due, last_date)) return std::nullopt;
  std::optional<int> latest;
  for (int offset : offsets) {
    const int32_t day = due - offset;
    if (day > today || day < opened_on) continue;
    if (!latest || offset < *latest) latest = offset;
  }
  if (!latest || queued.contains(*latest)) return std::nullopt;
  return CReminderDue{*latest, due - *latest < today};
}

std::string DueWhenText(int32_t due, int32_t today, bool late) {
  const int32_t left = due - today;
  const std::string when = left > 0    ? "due in " + Days(left)
                           : left == 0 ? "due today"
                                       : "due " + Days(-left) + " ago";
  if (late) return "Late reminder, " + when;
  return "D" + when.substr(1);
}

std::string IsoDayText(int32_t day) {
  int year = 0;
  int month = 0;
  int date = 0;
  CalendarFromDayNumber(day, year, month, date);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, date);
  return text;
}

}  // namespace larkspire
