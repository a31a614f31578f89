#include "ui/NextDeadlines.h"

#include "docket/Docket.h"

namespace larkspire {

DeadlineNearness NearnessOf(int32_t due, int32_t today) {
  if (due - today <= kNearDays) return DeadlineNearness::kWithin7Days;
  if (due - today <= kSoonDays) return DeadlineNearness::kWithin30Days;
  return DeadlineNearness::kLater;
}

CNextDeadlines::CNextDeadlines(const CDocket& docket) {
  for (const CDeadline& deadline : docket.All()) {
    if (!deadline.IsOpen()) continue;
    auto [it, added] =
        next_.try_emplace(deadline.entry_key, CNextDeadline{deadline.due, deadline.what});
    if (!added && deadline.due < it->second.due) it->second = {deadline.due, deadline.what};
  }
}

const CNextDeadline* CNextDeadlines::Find(const std::string& entry_key) const {
  const auto found = next_.find(entry_key);
  return found == next_.end() ? nullptr : &found->second;
}

}  // namespace larkspire
