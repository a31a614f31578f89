// The fixture chain every test run starts from. This is its first link: a run for tests with
// its settings in memory (any given here are in place before the run reads them), the built-in
// rules loaded, the scripted user interface as its door, and the process-wide hooks it installs
// removed again afterwards. CTestApp is the run that the notification and retrieval layers take;
// CTestAppOf<AppCore> (TestAppCore.h) adds the process. NetTestApp.h adds what network tests
// need, GuiTestApp.h the Qt client.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "entries/Entry.h"
#include "notify/Variables.h"
#include "platform/Clock.h"
#include "platform/SettingsBackend.h"
#include "run/Run.h"
#include "support/ScopedTimeZone.h"
#include "support/ScriptedUi.h"

namespace larkspire {

// Settings of the main group, by name.
using TestSettings = std::vector<std::pair<std::string, std::string>>;

template <typename AppType>
class CTestAppOf {
 public:
  explicit CTestAppOf(std::string program_path = "", const TestSettings& settings = {})
      : app_(Seeded(backend_, settings), std::move(program_path)) {
    LoadRules(app_);
    app_.SetUi(&ui_);
  }
  ~CTestAppOf() {
    app_.SetUi(nullptr);
    SetStatusUrlBuilder({});
  }
  CTestAppOf(const CTestAppOf&) = delete;
  CTestAppOf& operator=(const CTestAppOf&) = delete;

  AppType& operator*() { return app_; }
  AppType* operator->() { return &app_; }
  AppType& App() { return app_; }
  CScriptedUi& Ui() { return ui_; }
  CMemorySettingsBackend& Backend() { return backend_; }

 private:
  static CMemorySettingsBackend& Seeded(CMemorySettingsBackend& backend,
                                        const TestSettings& settings) {
    for (const auto& [name, value] : settings) backend.Write(kSettingsGroup, name, value);
    return backend;
  }

  CMemorySettingsBackend backend_;
  CScriptedUi ui_;
  AppType app_;
};

using CTestApp = CTestAppOf<CRun>;

// A fixed "now" and a fixed time zone (US Eastern, with its daylight-saving rule written out
// so no zone database is needed) for the lifetime of the object.
class CFixedClock {
 public:
  explicit CFixedClock(int64_t unix_seconds, const char* tz = "EST5EDT,M3.2.0,M11.1.0")
      : zone_(tz) {
    SetFakeClockForTesting(unix_seconds * 1000);
  }
  ~CFixedClock() { SetFakeClockForTesting(std::nullopt); }
  CFixedClock(const CFixedClock&) = delete;
  CFixedClock& operator=(const CFixedClock&) = delete;

 private:
  CScopedTimeZone zone_;
};

}  // namespace larkspire
