#include "run/Run.h"

#include <chrono>
#include <cstdio>

#include "docket/DocketFile.h"
#include "platform/Clock.h"
#include "run/Terminal.h"

#ifndef LARKSPIRE_VERSION_MAJOR
#error "the build defines the program version"
#endif

namespace larkspire {

std::string ProgramVersionText() {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%02d", LARKSPIRE_VERSION_MAJOR, LARKSPIRE_VERSION_MINOR,
                LARKSPIRE_VERSION_PATCH);
  return text;
}

CRun::CRun(ISettingsBackend& backend, std::string program_path)
    : program_path_(std::move(program_path)),
      settings_(backend),
      log_(settings_.LogDir),
      text_progress_(log_, ProgressTerminal(), TerminalColumns(ProgressTerminal()),
                     MonotonicMillis),
      version_text_(ProgramVersionText()) {}

MsgAnswer CRun::MessageBox(const std::string& text, MsgButtons buttons, MsgAnswer default_answer,
                           const std::string& title, std::optional<MsgAnswer> go_on_answer,
                           MsgIcon icon) {
  std::string caption = kCaption;
  if (!title.empty()) caption += " - " + title;
  if (status_.headless) {
    log_.Write("Message '%s' '%s'\n", caption.c_str(), text.c_str());
    text_progress_.BreakLine();
    PrintLine(stderr, caption + ": " + text);
    return go_on_answer.value_or(default_answer);
  }
  status_.auto_run = false;
  if (ui_ == nullptr) return default_answer;
  return ui_->ShowMessage(text, caption, buttons, default_answer, icon);
}

void CRun::ShowError(const std::string& title, const std::string& message) {
  log_.Write("%s '%s'\n", title.c_str(), message.c_str());
  MessageBox(message, MsgButtons::kOk, MsgAnswer::kOk, title, std::nullopt, MsgIcon::kWarning);
}

void CRun::LoadDocketFile() {
  const std::string& log_dir = settings_.LogDir.Text();
  if (log_dir.empty()) return;
  const std::string problem = LoadDocket(JoinPath(log_dir, kDocketFileName), docket_);
  if (problem.empty()) return;
  docket_read_only_ = true;
  ShowError("Docket Not Read",
            problem + " Deadlines are shown but not saved in this run; the file is left as it is.");
}

bool CRun::SaveDocketNow() {
  if (docket_read_only_) return false;
  const std::string& log_dir = settings_.LogDir.Text();
  if (log_dir.empty()) return true;
  const std::string problem = SaveDocket(JoinPath(log_dir, kDocketFileName), docket_);
  if (problem.empty()) return true;
  status_.had_failures = true;
  ShowError("Save Failed", problem);
  return false;
}

const CDeadlineRules& CRun::DeadlineRules() {
  if (!deadline_rules_read_ || deadline_rules_source_ != rules_.text) {
    deadline_rules_ = ReadDeadlineRules(
        CRules{rules_.text, [](std::string_view) { return std::string(); }, nullptr});
    deadline_rules_source_ = rules_.text;
    deadline_rules_read_ = true;
    if (!deadline_rules_.problem.empty())
      log_.Write("Rules '%s'\n", deadline_rules_.problem.c_str());
  }
  return deadline_rules_;
}

void CRun::ShowInternalProblem(const std::string& message) { ShowError("Problem", message); }

void CRun::PumpEvents(int max_wait_ms) {
  if (ui_ != nullptr) {
    ui_->PumpEvents(max_wait_ms);
    return;
  }
  std::unique_lock<std::mutex> lock(wake_mutex_);
  wake_cv_.wait_for(lock, std::chrono::milliseconds(max_wait_ms), [this] { return wake_pending_; });
  wake_pending_ = false;
}

void CRun::WakeUp() {
  // The window is set before any network work starts and stays while it runs, so reading it
  // here races with nothing.
  if (ui_ != nullptr) {
    ui_->WakeUp();
    return;
  }
  std::lock_guard<std::mutex> lock(wake_mutex_);
  wake_pending_ = true;
  wake_cv_.notify_one();
}

void CRun::BeginBusy(const std::string& caption, int range) {
  if (busy_depth_++ == 0) {
    status_.failure_count = 0;
    SetAbort(kAbortNone);
  }
  if (ui_ != nullptr) ui_->BeginBusy(caption, range);
}

void CRun::EndBusy() {
  if (busy_depth_ == 0) return;
  if (--busy_depth_ > 0) return;
  if (ui_ != nullptr) {
    ui_->EndBusy();
    if (abort_reason_ == kAbortClosing) ui_->RequestClose();
  }
}

void CRun::BeginNetworkWait(int range_seconds) {
  wait_owns_busy_ = !Busy();
  if (wait_owns_busy_) BeginBusy("", range_seconds);
  network_waiting_ = true;
  wait_clock_start_ = MonotonicMillis();
}

void CRun::EndNetworkWait() {
  network_waiting_ = false;
  if (wait_owns_busy_) {
    wait_owns_busy_ = false;
    EndBusy();
  }
}

bool CRun::TimeoutElapsed() const {
  return network_waiting_ && MonotonicMillis() - wait_clock_start_ >= timeout_ms_;
}

void CRun::SetAbort(int reason) {
  abort_reason_ = reason;
  if (reason != kAbortNone) {
    if (smtp_group_ != nullptr) smtp_group_->CancelAll();
    if (http_group_ != nullptr) http_group_->CancelAll();
    abort_flag_ = true;
  } else {
    abort_flag_ = false;
  }
}

void CRun::RegisterGroup(GroupKind kind, ICancelable* group) {
  (kind == GroupKind::kHttp ? http_group_ : smtp_group_) = group;
}

void CRun::FixTimeout(unsigned ms) {
  timeout_fixed_ = true;
  timeout_ms_ = ms;
}

void CRun::ReleaseTimeout() {
  timeout_fixed_ = false;
  timeout_ms_ = ParseTimeout(settings_.Timeout.Text());
}

void CRun::ReloadTimeoutUnlessFixed() {
  if (!timeout_fixed_) timeout_ms_ = ParseTimeout(settings_.Timeout.Text());
}

}  // namespace larkspire
