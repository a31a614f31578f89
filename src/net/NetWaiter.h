// What a network wait needs from whoever runs it: an event pump that keeps the window alive, the
// cancel state an abort sets, the start of the time-out clock, and the sinks for the flow log
// and the log. The HTTP and SMTP clients take this instead of the application, so this layer
// knows nothing above it.
#pragma once

#include <memory>
#include <string>

#include "net/FlowLog.h"

namespace larkspire {

// Abort reasons.
inline constexpr int kAbortNone = 0;
inline constexpr int kAbortCanceled = 1;
inline constexpr int kAbortTimedOut = 2;
inline constexpr int kAbortThreadsStuck = 0x4000;
inline constexpr int kAbortClosing = 0x8000;

// A waiting task group, as far as an abort needs to reach it.
class ICancelable {
 public:
  virtual ~ICancelable() = default;
  virtual void CancelAll() = 0;
};

// The two kinds of group an abort reaches.
enum class GroupKind { kHttp, kSmtp };

class INetWaiter {
 public:
  virtual ~INetWaiter() = default;

  // Waits up to max_wait_ms for input and dispatches it. User-interface thread.
  virtual void PumpEvents(int max_wait_ms) = 0;
  // Ends the current PumpEvents wait early. Any thread.
  virtual void WakeUp() = 0;

  // The time-out of an HTTP wait, read live: a change while the group waits moves its deadline.
  virtual const unsigned& TimeoutMs() const = 0;
  // The busy display of one wait; the time-out clock starts at BeginNetworkWait.
  virtual void BeginNetworkWait(int range_seconds) = 0;
  virtual void EndNetworkWait() = 0;

  // Set by any abort until the next one clears it; a wait ends as soon as it is set.
  virtual bool AbortFlag() const = 0;
  virtual int AbortReason() const = 0;
  virtual void SetAbort(int reason) = 0;
  // The group an abort must cancel while it waits; null when the wait is over.
  virtual void RegisterGroup(GroupKind kind, ICancelable* group) = 0;

  // Tells the user that workers would not stop (the one message a wait shows itself).
  virtual void ShowInternalProblem(const std::string& message) = 0;

  // Workers keep their own reference, so the sink outlives any abandoned worker.
  virtual std::shared_ptr<CFlowLog> SharedFlowLog() = 0;
  // One record of the program's log, already formatted.
  virtual void LogRecord(const std::string& record) = 0;
};

}  // namespace larkspire
