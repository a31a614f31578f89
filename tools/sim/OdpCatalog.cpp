#include "OdpCatalog.h"

#include <algorithm>

#include "AppState.h"
#include "OdpRecord.h"

namespace larkspire::sim {

const CJson* COdpDay::Find(std::string_view digits) const {
  const auto found = by_digits.find(digits);
  return found == by_digits.end() ? nullptr : &records[found->second];
}

std::shared_ptr<const COdpDay> COdpCatalog::On(int day) {
  std::lock_guard lock(mutex_);
  if (current_ && current_->day == day) return current_;
  std::vector<const CSimApplication*> held;
  for (const CSimApplication& app : data_.applications) held.push_back(&app);
  std::sort(held.begin(), held.end(), [](const CSimApplication* a, const CSimApplication* b) {
    return a->digits < b->digits;
  });
  auto built = std::make_shared<COdpDay>();
  built->day = day;
  for (const CSimApplication* app : held) {
    const auto state = StateOnDay(data_, *app, day);
    if (!state || !HeldByOdp(*state)) continue;
    built->by_digits[app->digits] = built->records.size();
    built->records.push_back(OdpRecord(data_, *state, day));
  }
  current_ = std::move(built);
  return current_;
}

}  // namespace larkspire::sim
