// The part the HTTP and SMTP entry points share: run one task group inside the main window's
// network busy state, registered for aborts, and turn every outcome into an error text.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "net/AppError.h"
#include "net/AsyncGroup.h"
#include "net/NetWaiter.h"

namespace larkspire {

inline constexpr const char* kInternalProblemMessage =
    "There is a problem with the internal state of Larkspire, please exit the application.";

// Waits for a started group, registered as kind for aborts while it waits. On success
// results holds the tasks' results in task order and the text is empty. A time-out noticed by
// the main window's timer (abort reason 2) gives timed_out_text; workers that would not stop
// are reported to the user as an internal problem and leave the abort reason at 1.
template <typename Task, typename Result>
std::string WaitForStartedGroup(INetWaiter& app, GroupKind kind, CAsyncGroup<Task, Result>& group,
                                const unsigned& timeout_ms, int range_seconds,
                                const char* timed_out_text, std::vector<Result>& results) {
  std::string error;
  try {
    app.BeginNetworkWait(range_seconds);
    app.RegisterGroup(kind, &group);
    try {
      results = group.Wait(timeout_ms);
    } catch (...) {
      app.RegisterGroup(kind, nullptr);
      throw;
    }
    app.RegisterGroup(kind, nullptr);
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
    app.ShowInternalProblem(kInternalProblemMessage);
    app.SetAbort(kAbortCanceled);
  } else if (app.AbortReason() == kAbortTimedOut) {
    app.SetAbort(kAbortNone);
    error = timed_out_text;
  }
  if (!error.empty()) results.clear();
  return error;
}

// Starts the tasks as a group and waits for them as above.
template <typename Task, typename Result>
std::string WaitForGroup(INetWaiter& app, GroupKind kind, const std::vector<Task>& tasks,
                         const unsigned& timeout_ms, int range_seconds, const char* timed_out_text,
                         std::vector<Result>& results) {
  CAsyncGroup<Task, Result> group(app);
  try {
    group.Start(tasks);
  } catch (const std::exception& failure) {
    results.clear();
    return ErrorText(failure);
  }
  return WaitForStartedGroup(app, kind, group, timeout_ms, range_seconds, timed_out_text, results);
}

}  // namespace larkspire
