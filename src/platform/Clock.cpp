#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <ctime>

namespace larkspire {
namespace {

std::atomic<bool> g_fake_set{false};
std::atomic<int64_t> g_fake_millis{0};

CalendarTime FromTm(const std::tm& t) {
  return CalendarTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                      t.tm_min,         t.tm_sec,     t.tm_wday};
}

}  // namespace

int64_t NowUnixMillis() {
  if (g_fake_set.load()) return g_fake_millis.load();
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void SetFakeClockForTesting(std::optional<int64_t> unix_millis) {
  if (unix_millis) g_fake_millis.store(*unix_millis);
  g_fake_set.store(unix_millis.has_value());
}

CalendarTime UtcCalendar(int64_t unix_seconds) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm out{};
  gmtime_r(&t, &out);
  return FromTm(out);
}

CalendarTime LocalCalendar(int64_t unix_seconds) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm out{};
  localtime_r(&t, &out);
  return FromTm(out);
}

long UtcOffsetSeconds(int64_t unix_seconds) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm out{};
  localtime_r(&t, &out);
  return out.tm_gmtoff;
}

uint64_t MonotonicMillis() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace larkspire
