// The application object: one per run, created before the main window and destroyed after
// it. It owns the settings, the log, the rules in use, the entry list, the abort state that
// cancels network work, the flow log and the instance lock, and it is the core's only way to
// the user (through UiHost).
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/Settings.h"
#include "app/UiHost.h"
#include "entries/EntryList.h"
#include "net/FlowLog.h"
#include "platform/InstanceLock.h"

namespace larkspire {

inline constexpr const char* kAppName = "Larkspire";
// "Larkspire®" in Windows-1252.
inline constexpr const char* kCaption = "Larkspire\xAE";
inline constexpr const char* kLockFileName = "Larkspire_lock.dat";

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

// "%d.%d.%02d" of the build's version.
std::string ProgramVersionText();

class AppCore {
 public:
  // The start sequence up to the lock: settings read, start lines logged, run counter raised,
  // GUID created when missing, sort read, leftover upgrade file deleted, version logged,
  // defaults applied, command line scanned for the unattended flag.
  AppCore(ISettingsBackend& backend, std::string program_path, const std::string& command_line);
  // Logs the stop line; the settings then write themselves back.
  ~AppCore();
  AppCore(const AppCore&) = delete;
  AppCore& operator=(const AppCore&) = delete;

  CSettings& Settings() { return settings_; }
  const CSettings& Settings() const { return settings_; }
  CLog& Log() { return log_; }
  CEntryList& Entries() { return entries_; }
  CFlowLog& FlowLog() { return *flow_log_; }
  // Workers keep their own reference, so the sink outlives any abandoned worker.
  std::shared_ptr<CFlowLog> SharedFlowLog() { return flow_log_; }

  // The single-instance lock in the logging directory; false when another instance holds it.
  // With no logging directory there is no lock.
  bool AcquireInstanceLock();
  void ReleaseInstanceLock() { lock_.Release(); }

  // User interface. Every message box goes through here: it clears the unattended flag first,
  // so a run that needs the user stays open for the user. Without a display (headless) nobody
  // can answer: the box is logged, answered with go_on_answer (the answer that lets the run go
  // on to its end; the default answer unless given) and the unattended flag stays set.
  void SetUi(UiHost* ui) { ui_ = ui; }
  UiHost* Ui() { return ui_; }
  MsgAnswer MessageBox(const std::string& text, MsgButtons buttons = MsgButtons::kOk,
                       MsgAnswer default_answer = MsgAnswer::kOk, const std::string& title = "",
                       std::optional<MsgAnswer> go_on_answer = std::nullopt,
                       MsgIcon icon = MsgIcon::kDefault);
  bool headless = false;
  // Set when an entry or an e-mail failed; a headless run then exits with a non-zero code.
  bool run_had_failures = false;
  // The error display: one leading "!" dropped, "%s '%s'\n" logged, box captioned with title.
  void ShowError(const std::string& title, const std::string& message);
  // Waits up to max_wait_ms for input and dispatches it; a plain wait without a window.
  void PumpEvents(int max_wait_ms);
  // Ends the current PumpEvents wait early. Any thread.
  void WakeUp();

  // Busy periods nest (each fetch runs inside an update). Only the outermost begin clears the
  // abort state; only the outermost end re-enables the window and re-issues a pending close.
  void BeginBusy(const std::string& caption, int range);
  void EndBusy();
  bool Busy() const { return busy_depth_ > 0; }
  // A network wait (one HTTP or SMTP group) inside the busy display, or a busy period of its
  // own when none is open. The time-out clock restarts with each wait; the window's timer
  // sets abort reason 2 once TimeoutElapsed() says so.
  void BeginNetworkWait(int range_seconds);
  void EndNetworkWait();
  bool NetworkWaiting() const { return network_waiting_; }
  uint64_t NetworkWaitStart() const { return wait_clock_start_; }
  bool TimeoutElapsed() const;

  // Abort state.
  void SetAbort(int reason);
  int AbortReason() const { return abort_reason_; }
  bool AbortFlag() const { return abort_flag_; }
  void RegisterHttpGroup(ICancelable* group) { http_group_ = group; }
  void RegisterSmtpGroup(ICancelable* group) { smtp_group_ = group; }

  // Network time-out in milliseconds, re-read from the setting unless a caller fixed it.
  unsigned& TimeoutMs() { return timeout_ms_; }
  void ReloadTimeoutFromSetting();
  bool timeout_fixed = false;

  const std::string& VersionText() const { return version_text_; }
  const std::string& ProgramPath() const { return program_path_; }

  // Run state.
  bool auto_run = false;
  bool loaded = false;
  int failure_count = 0;
  bool warn_reverted = true;

  // The rules in use.
  std::string rules_text;
  std::string rules_version;
  bool rules_downloaded = false;
  bool rules_update_due = true;
  bool publisher_direct = true;

  // Template variables that belong to the run.
  std::string master_list_cookie;
  int master_list_index = 0;
  int32_t last_master_list_day = 0;
  std::string problem_desc;
  // The most recent entry fetch, for LastFetch and problem reports.
  std::vector<std::string> last_fetch_urls;
  std::vector<std::string> last_fetch_pages;
  // Whole text of the TCP/IP window and whether anything was ever written to it.
  std::string flow_text;
  bool flow_has_content = false;

 private:
  std::string program_path_;
  CSettings settings_;
  CLog log_;
  CEntryList entries_;
  std::shared_ptr<CFlowLog> flow_log_ = std::make_shared<CFlowLog>();
  CInstanceLock lock_;
  UiHost* ui_ = nullptr;
  std::string version_text_;

  int busy_depth_ = 0;
  bool network_waiting_ = false;
  bool wait_owns_busy_ = false;
  uint64_t wait_clock_start_ = 0;
  int abort_reason_ = kAbortNone;
  bool abort_flag_ = false;
  ICancelable* http_group_ = nullptr;
  ICancelable* smtp_group_ = nullptr;
  unsigned timeout_ms_ = kDefaultTimeoutMs;

  // The windowless PumpEvents waits here.
  std::mutex wake_mutex_;
  std::condition_variable wake_cv_;
  bool wake_pending_ = false;
};

}  // namespace larkspire
