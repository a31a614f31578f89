// Wall clock, monotonic clock and the local time zone, with a hook so tests can fix "now".
#pragma once

#include <cstdint>
#include <optional>

namespace larkspire {

struct CalendarTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 0;  // 0 = Sunday
};

// Milliseconds since 1970-01-01 UTC; the fake clock wins when set.
int64_t NowUnixMillis();
void SetFakeClockForTesting(std::optional<int64_t> unix_millis);

CalendarTime UtcCalendar(int64_t unix_seconds);
CalendarTime LocalCalendar(int64_t unix_seconds);
// Local time minus UTC at that instant, in seconds (the C library's tm_gmtoff).
long UtcOffsetSeconds(int64_t unix_seconds);

// Milliseconds from an arbitrary start; never goes backwards.
uint64_t MonotonicMillis();

}  // namespace larkspire
