// Fixes "today" for a test: the local zone becomes UTC and the clock stands at noon of a date.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string_view>

#include "platform/Clock.h"
#include "rules/Dates.h"

namespace larkspire {

class CFakeToday {
 public:
  explicit CFakeToday(std::string_view date) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    Set(date);
  }
  ~CFakeToday() { SetFakeClockForTesting(std::nullopt); }
  CFakeToday(const CFakeToday&) = delete;
  CFakeToday& operator=(const CFakeToday&) = delete;

  void Set(std::string_view date) {
    constexpr int64_t kUnixEpochDayNumber = 25569;  // 1970-01-01
    constexpr int64_t kDayMillis = 86400000;
    const int64_t day = ParseDayNumber(date);
    SetFakeClockForTesting((day - kUnixEpochDayNumber) * kDayMillis + kDayMillis / 2);
  }
};

}  // namespace larkspire
