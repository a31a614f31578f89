// Switches the process's local time zone (TZ) for one test and puts the old one back.
#pragma once

#include <ctime>
#include <string>

#include "support/ScopedVariable.h"

namespace larkspire {

class CScopedTimeZone {
 public:
  // A POSIX zone text such as "NST3:30" (three and a half hours west of UTC).
  explicit CScopedTimeZone(const std::string& zone) : tz_("TZ", zone) { ::tzset(); }
  CScopedTimeZone(const CScopedTimeZone&) = delete;
  CScopedTimeZone& operator=(const CScopedTimeZone&) = delete;

 private:
  // Members go in reverse order: the old TZ is back before the C library reads it again.
  struct CReread {
    ~CReread() { ::tzset(); }
  } reread_;
  CScopedVariable tz_;
};

}  // namespace larkspire
