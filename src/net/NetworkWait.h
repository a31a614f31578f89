// The part the HTTP and SMTP entry points share: run one task group inside the main window's
// network busy state, registered for aborts, and turn every outcome into an error text.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "net/AppError.h"
#include "net/AsyncGroup.h"

namespace larkspire {

inline constexpr const char* kInternalProblemMessage =
    "There is a problem with the internal state of Larkspire, please exit the application.";

// register_group is &AppCore::RegisterHttpGroup or &AppCore::RegisterSmtpGroup. On success
// results holds the tasks' results in task order and the text is empty. A time-out noticed by
// the main window's timer (abort reason 2) gives timed_out_text; workers that would not stop
// are reported to the user as an internal problem and leave the abort reason at 1.
template <typename Task, typename Result>
std::string WaitForGroup(AppCore& app, void (AppCore::*register_group)(ICancelable*),
                         const std::vector<Task>& tasks, const unsigned& timeout_ms,
                         int range_seconds, const char* timed_out_text,
                         std::vector<Result>& results) {
  std::string error;
  try {
    CAsyncGroup<Task, Result> group(app);
    app.BeginNetworkWait(range_seconds);
    (app.*register_group)(&group);
    try {
      results = group.Run(tasks, timeout_ms);
    } catch (...) {
      (app.*register_group)(nullptr);
      throw;
    }
    (app.*register_group)(nullptr);
  } catch (const CThreadsNotDoneError& stuck) {
    error = stuck.what();
    app.SetAbort(kAbortThreadsStuck);
  } catch (const std::exception& failure) {
    error = ErrorText(failure);
  } catch (...) {
    error = "Unknown error.";
  }
  app.EndNetworkWait();

  if (app.AbortReason() == kAbortThreadsStuck) {
    app.ShowError("Problem", kInternalProblemMessage);
    app.SetAbort(kAbortCanceled);
  } else if (app.AbortReason() == kAbortTimedOut) {
    app.SetAbort(kAbortNone);
    error = timed_out_text;
  }
  if (!error.empty()) results.clear();
  return error;
}

}  // namespace larkspire
