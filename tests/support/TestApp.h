// A run for tests: in-memory settings, no window, the built-in rules loaded, and the
// process-wide hooks it installs removed again afterwards. CTestApp is the run that the
// notification and retrieval layers take; CTestAppOf<AppCore> (tests/app) adds the process.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "entries/Entry.h"
#include "platform/Clock.h"
#include "platform/SettingsBackend.h"
#include "notify/Variables.h"
#include "run/Run.h"

namespace larkspire {

template <typename App>
class CTestAppOf {
 public:
  explicit CTestAppOf(std::string program_path = "") : app_(backend_, std::move(program_path)) {
    LoadRules(app_);
  }
  ~CTestAppOf() { SetStatusUrlBuilder({}); }

  App& operator*() { return app_; }
  App* operator->() { return &app_; }

 private:
  CMemorySettingsBackend backend_;
  App app_;
};

using CTestApp = CTestAppOf<CRun>;

// A fixed "now" and a fixed time zone (US Eastern, with its daylight-saving rule written out
// so no zone database is needed) for the lifetime of the object.
class CFixedClock {
 public:
  explicit CFixedClock(int64_t unix_seconds, const char* tz = "EST5EDT,M3.2.0,M11.1.0") {
    if (const char* old = std::getenv("TZ")) saved_tz_ = old;
    ::setenv("TZ", tz, 1);
    ::tzset();
    SetFakeClockForTesting(unix_seconds * 1000);
  }
  ~CFixedClock() {
    SetFakeClockForTesting(std::nullopt);
    if (saved_tz_) {
      ::setenv("TZ", saved_tz_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  CFixedClock(const CFixedClock&) = delete;
  CFixedClock& operator=(const CFixedClock&) = delete;

 private:
  std::optional<std::string> saved_tz_;
};

}  // namespace larkspire
