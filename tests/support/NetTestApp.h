// An application object for network tests: in-memory settings, a recording user interface
// whose event pump can run a test's hook, the flow log switched on, and a short fixed
// time-out.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "run/Run.h"
#include "net/FlowLog.h"
#include "platform/SettingsBackend.h"

namespace larkspire {

class CRecordingUi : public UiHost {
 public:
  MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                        MsgAnswer default_answer, MsgIcon) override {
    messages.push_back(caption + ": " + text);
    if (default_answers_yes && buttons != MsgButtons::kOk) return MsgAnswer::kYes;
    return default_answer;
  }
  void BeginBusy(const std::string&, int range) override { busy_ranges.push_back(range); }
  void SetProgress(int) override {}
  void SetStatusText(const std::string&) override {}
  void EndBusy() override { ++busy_ends; }
  bool Prompt(const std::string&, const std::string&, std::string&) override { return false; }
  void OpenDocument(const std::string&) override {}
  // Waits like the window's pump, then lets the test act as the window would (its timer,
  // the Cancel button).
  void PumpEvents(int max_wait_ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(max_wait_ms));
    ++pumps;
    if (on_pump) on_pump();
  }

  std::vector<std::string> messages;
  // Answers Yes to every question instead of taking its default.
  bool default_answers_yes = false;
  std::vector<int> busy_ranges;
  int busy_ends = 0;
  int pumps = 0;
  std::function<void()> on_pump;
};

class CNetTestApp {
 public:
  explicit CNetTestApp(unsigned timeout_ms = 5000)
      : app_(std::make_unique<CRun>(backend_, "/nonexistent/larkspire")) {
    app_->SetUi(&ui_);
    app_->FlowLog().SetEnabled(true);
    app_->FixTimeout(timeout_ms);
  }
  ~CNetTestApp() { app_->SetUi(nullptr); }

  CRun& App() { return *app_; }
  CRecordingUi& Ui() { return ui_; }

  // Drains the flow log into the lines seen so far and returns them all.
  const std::vector<FlowLine>& Flow() {
    for (FlowLine& line : app_->FlowLog().Drain()) flow_.push_back(std::move(line));
    return flow_;
  }
  // The flow-log texts without their timestamps and line ends.
  std::vector<std::string> FlowTexts() {
    std::vector<std::string> texts;
    for (const FlowLine& line : Flow()) texts.push_back(line.text.substr(7, line.text.size() - 9));
    return texts;
  }
  bool FlowHas(const std::string& text) {
    for (const std::string& line : FlowTexts()) {
      if (line == text) return true;
    }
    return false;
  }
  bool FlowContains(const std::string& fragment) {
    for (const std::string& line : FlowTexts()) {
      if (line.find(fragment) != std::string::npos) return true;
    }
    return false;
  }

  // The window's timer: abort reason 2 once the network wait has lasted the time-out.
  void UseWindowTimer() {
    ui_.on_pump = [this] {
      if (app_->TimeoutElapsed()) app_->SetAbort(kAbortTimedOut);
    };
  }

 private:
  CMemorySettingsBackend backend_;
  CRecordingUi ui_;
  std::unique_ptr<CRun> app_;
  std::vector<FlowLine> flow_;
};

}  // namespace larkspire
