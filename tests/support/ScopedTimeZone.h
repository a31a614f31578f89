// Switches the process's local time zone (TZ) for one test and puts the old one back.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace larkspire {

class CScopedTimeZone {
 public:
  // A POSIX zone text such as "NST3:30" (three and a half hours west of UTC).
  explicit CScopedTimeZone(const std::string& zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
  }
  ~CScopedTimeZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  CScopedTimeZone(const CScopedTimeZone&) = delete;
  CScopedTimeZone& operator=(const CScopedTimeZone&) = delete;

 private:
  std::optional<std::string> old_;
};

}  // namespace larkspire
