// A network waiter for the net layer's own tests: no application, a pump that sleeps like the
// window's and then lets the test act as the window would (its timer, the Cancel button), and
// a record of what the wait showed.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/FlowLog.h"
#include "net/NetWaiter.h"
#include "platform/Clock.h"

namespace larkspire {

class CTestWaiter : public INetWaiter {
 public:
  struct Record {
    int pumps = 0;
    std::function<void()> on_pump;
    std::vector<std::string> messages;
    std::vector<int> busy_ranges;
    int busy_ends = 0;
    std::vector<std::string> log;
  };

  explicit CTestWaiter(unsigned timeout_ms = 5000) : timeout_ms_(timeout_ms) {
    flow_log_->SetEnabled(true);
  }

  CTestWaiter& App() { return *this; }
  Record& Ui() { return record_; }

  void PumpEvents(int max_wait_ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(max_wait_ms));
    ++record_.pumps;
    if (record_.on_pump) record_.on_pump();
  }
  void WakeUp() override {}
  const unsigned& TimeoutMs() const override { return timeout_ms_; }
  void SetTimeoutMs(unsigned ms) { timeout_ms_ = ms; }
  void BeginNetworkWait(int range_seconds) override {
    record_.busy_ranges.push_back(range_seconds);
    waiting_ = true;
    wait_start_ = MonotonicMillis();
  }
  void EndNetworkWait() override {
    waiting_ = false;
    ++record_.busy_ends;
  }
  bool AbortFlag() const override { return abort_flag_; }
  int AbortReason() const override { return abort_reason_; }
  void SetAbort(int reason) override {
    abort_reason_ = reason;
    abort_flag_ = reason != kAbortNone;
    if (abort_flag_ && group_ != nullptr) group_->CancelAll();
  }
  void RegisterGroup(GroupKind, ICancelable* group) override { group_ = group; }
  void ShowInternalProblem(const std::string& message) override {
    record_.messages.push_back("Larkspire\xAE - Problem: " + message);
  }
  std::shared_ptr<CFlowLog> SharedFlowLog() override { return flow_log_; }
  void LogRecord(const std::string& record) override { record_.log.push_back(record); }

  // The window's timer: abort reason 2 once the network wait has lasted the time-out.
  void UseWindowTimer() {
    record_.on_pump = [this] {
      if (waiting_ && MonotonicMillis() - wait_start_ >= timeout_ms_) SetAbort(kAbortTimedOut);
    };
  }

 private:
  unsigned timeout_ms_;
  Record record_;
  std::shared_ptr<CFlowLog> flow_log_ = std::make_shared<CFlowLog>();
  bool waiting_ = false;
  uint64_t wait_start_ = 0;
  bool abort_flag_ = false;
  int abort_reason_ = kAbortNone;
  ICancelable* group_ = nullptr;
};

}  // namespace larkspire
