#include "app/AppCore.h"

#include <chrono>
#include <cstdio>

#include "app/CommandLine.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "rules/Dates.h"

#ifndef LARKSPIRE_VERSION_MAJOR
#error "the build defines the program version"
#endif

namespace larkspire {
namespace {

constexpr const char* kDefaultProxy = "127.0.0.1:8080";
// 1970-01-01 as days since 1899-12-30.
constexpr double kUnixEpochAutomation = 25569.0;

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

std::string XdgDataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return data;
  return JoinPath(HomeDirectory(), ".local/share");
}

}  // namespace

std::string ProgramVersionText() {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%02d", LARKSPIRE_VERSION_MAJOR, LARKSPIRE_VERSION_MINOR,
                LARKSPIRE_VERSION_PATCH);
  return text;
}

AppCore::AppCore(ISettingsBackend& backend, std::string program_path,
                 const std::string& command_line)
    : program_path_(std::move(program_path)), settings_(backend), log_(settings_.LogDir) {
  log_.Write("**Larkspire start, local date-time %s**\n",
             FormatDateTime(NowUtcAutomation(), false, false).c_str());
  std::string installed;
  if (std::optional<int64_t> t = LastWriteTime(DirectoryOf(program_path_))) {
    installed = FormatDateTime(static_cast<double>(*t) / 86400.0 + kUnixEpochAutomation, false,
                               false);
  }
  log_.Write("**installed date-time %s**\n", installed.c_str());
  settings_.CountExec.Increment();
  if (settings_.GUID.Text().empty()) settings_.GUID.Set(CreateGuidText());

  int sort_field = FindFieldByKey(settings_.SortBy.Text());
  entries_.SetSort(sort_field < 0 ? 0 : sort_field, settings_.SortReversed.Int(0) != 0);

  const std::string running_name = program_path_.substr(program_path_.rfind('/') + 1);
  if (running_name.find("_temp") == std::string::npos && !settings_.LogDir.Text().empty()) {
    RemoveFile(JoinPath(settings_.LogDir.Text(), UpgradeFileName()));
  }
  version_text_ = ProgramVersionText();
  log_.Write("**version %s**\n", version_text_.c_str());

  if (settings_.ProxyServer.Text().empty()) settings_.ProxyServer.Set(kDefaultProxy);
  if (settings_.ShortcutFolder.Text().empty()) {
    settings_.ShortcutFolder.Set(JoinPath(XdgDataHome(), "applications/Grantwell"));
  }
  if (settings_.Install.Text().empty()) {
    settings_.Install.Set(!settings_.LogDir.Text().empty() ? DirectoryOf(program_path_)
                                                           : JoinPath(XdgDataHome(), "Grantwell"));
  }
  ReloadTimeoutFromSetting();
  auto_run = HasAutoFlag(command_line);
}

AppCore::~AppCore() {
  // The status-address builder refers to this object.
  SetStatusUrlBuilder({});
  flow_log_->SetEnabled(false);
  log_.Write("**Larkspire stop, local date-time %s**\n",
             FormatDateTime(NowUtcAutomation(), false, false).c_str());
}

bool AppCore::AcquireInstanceLock() {
  if (settings_.LogDir.Text().empty()) return true;
  return lock_.Acquire(JoinPath(settings_.LogDir.Text(), kLockFileName));
}

MsgAnswer AppCore::MessageBox(const std::string& text, MsgButtons buttons,
                              MsgAnswer default_answer, const std::string& title,
                              std::optional<MsgAnswer> go_on_answer, MsgIcon icon) {
  std::string caption = kCaption;
  if (!title.empty()) caption += " - " + title;
  if (headless) {
    log_.Write("Message '%s' '%s'\n", caption.c_str(), text.c_str());
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return go_on_answer.value_or(default_answer);
  }
  auto_run = false;
  if (ui_ == nullptr) return default_answer;
  return ui_->ShowMessage(text, caption, buttons, default_answer, icon);
}

void AppCore::ShowError(const std::string& title, const std::string& message) {
  std::string text = message;
  if (!text.empty() && text[0] == '!') text.erase(0, 1);
  log_.Write("%s '%s'\n", title.c_str(), text.c_str());
  MessageBox(text, MsgButtons::kOk, MsgAnswer::kOk, title);
}

void AppCore::PumpEvents(int max_wait_ms) {
  if (ui_ != nullptr) {
    ui_->PumpEvents(max_wait_ms);
    return;
  }
  std::unique_lock<std::mutex> lock(wake_mutex_);
  wake_cv_.wait_for(lock, std::chrono::milliseconds(max_wait_ms), [this] { return wake_pending_; });
  wake_pending_ = false;
}

void AppCore::WakeUp() {
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

void AppCore::BeginBusy(const std::string& caption, int range) {
  if (busy_depth_++ == 0) {
    failure_count = 0;
    SetAbort(kAbortNone);
  }
  if (ui_ != nullptr) ui_->BeginBusy(caption, range);
}

void AppCore::EndBusy() {
  if (busy_depth_ == 0) return;
  if (--busy_depth_ > 0) return;
  if (ui_ != nullptr) {
    ui_->EndBusy();
    if (abort_reason_ == kAbortClosing) ui_->RequestClose();
  }
}

void AppCore::BeginNetworkWait(int range_seconds) {
  wait_owns_busy_ = !Busy();
  if (wait_owns_busy_) BeginBusy("", range_seconds);
  network_waiting_ = true;
  wait_clock_start_ = MonotonicMillis();
}

void AppCore::EndNetworkWait() {
  network_waiting_ = false;
  if (wait_owns_busy_) {
    wait_owns_busy_ = false;
    EndBusy();
  }
}

bool AppCore::TimeoutElapsed() const {
  return network_waiting_ && MonotonicMillis() - wait_clock_start_ >= timeout_ms_;
}

void AppCore::SetAbort(int reason) {
  abort_reason_ = reason;
  if (reason != kAbortNone) {
    if (smtp_group_ != nullptr) smtp_group_->CancelAll();
    if (http_group_ != nullptr) http_group_->CancelAll();
    abort_flag_ = true;
  } else {
    abort_flag_ = false;
  }
}

void AppCore::ReloadTimeoutFromSetting() { timeout_ms_ = ParseTimeout(settings_.Timeout.Text()); }

}  // namespace larkspire
