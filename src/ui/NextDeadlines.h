// Each entry's next open deadline as the list shows it: found in one pass over the docket and
// kept as values, so a view that paints before it hears of a change to the docket reads the
// old values, never freed ones.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace larkspire {

class CDocket;

struct CNextDeadline {
  int32_t due = 0;
  std::string what;
};

// How near a due date is, for the list's marking.
enum class DeadlineNearness { kLater, kWithin30Days, kWithin7Days };
inline constexpr int kNearDays = 7;
inline constexpr int kSoonDays = 30;
// A date already past (a deadline still open) counts as within 7 days.
DeadlineNearness NearnessOf(int32_t due, int32_t today);

class CNextDeadlines {
 public:
  explicit CNextDeadlines(const CDocket& docket);
  // Null when the entry has no open deadline.
  const CNextDeadline* Find(const std::string& entry_key) const;

 private:
  std::unordered_map<std::string, CNextDeadline> next_;
};

}  // namespace larkspire
