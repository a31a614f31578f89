// One run of the program as the commands see it: the settings, the log, the entry list, the
// user-interface door, the abort and time-out state of network waits, and small state objects
// for the rules in use, the master-list import, the last fetch and the TCP/IP transcript. The
// notification and retrieval layers take this; the application object above them adds the
// start and stop of the process and the instance lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "docket/DeadlineRules.h"
#include "docket/Docket.h"
#include "entries/EntryList.h"
#include "net/FlowLog.h"
#include "net/NetWaiter.h"
#include "platform/Files.h"
#include "run/Log.h"
#include "run/Settings.h"
#include "run/TextProgress.h"
#include "run/UiHost.h"

namespace larkspire {

class CEntry;

inline constexpr const char* kAppName = "Larkspire";
// "Larkspire®" in Windows-1252.
inline constexpr const char* kCaption = "Larkspire\xAE";

// "%d.%d.%02d" of the build's version.
std::string ProgramVersionText();

// The rules text in use and what the rules update has done with it this run.
struct CRulesInUse {
  std::string text;
  std::string version;
  // The publisher's signed manifest of the text, kept with a downloaded copy; "" for the
  // built-in rules and the office's own file.
  std::string manifest;
  bool downloaded = false;
  bool update_due = true;
  // The office's own rules file is in use: the publisher's rules are neither fetched nor
  // loaded while it is there.
  bool office_file = false;
  // The publisher's site was reached directly (not through the proxy) the last time.
  bool publisher_direct = true;
  // Why a value looked up since the last TakeRulesError could not be given ("" when none).
  std::string value_error;
  // The public key the publisher's manifests are checked with in place of the built-in one:
  // tests set it, and the start does from LARKSPIRE_PUBLISHER_KEY. A key that could not be
  // read is "", and then no manifest passes.
  std::optional<std::string> publisher_key;
};

// The master-list import's place, read by the rules file's result-page addresses.
struct CMasterListState {
  std::string cookie;
  int index = 0;
  int32_t last_day = 0;
};

// The e-mail queue between calls. New messages are written at once but join the pending list
// only when they are committed, after their files have reached the disk, so the list never names
// a message that a power cut could take away.
struct CEmailQueueState {
  // The names a new message may not take: those of the list as this run last read or wrote
  // it, and those written since the last commit.
  std::unordered_set<std::string> taken;
  // The list file those names were read from (none: there was no list); a list that differs
  // from it is read again.
  bool list_read = false;
  std::optional<FileIdentity> list_identity;
  // Whether the list ends with a line end (an append after a line cut short starts a new one).
  bool list_ends_line = true;
  // Messages written but not yet in the list, in the order written.
  std::vector<std::string> uncommitted;
  // Open batches (see CEmailBatch): inside one, posts are committed together.
  int batch_depth = 0;
};

// The most recent entry fetch, for [LastFetch] and problem reports.
struct CLastFetch {
  std::vector<std::string> urls;
  std::vector<std::string> pages;
};

// Whole text of the TCP/IP window and whether anything was ever written to it.
struct CFlowTranscript {
  std::string text;
  bool has_content = false;
};

// The run's mode and its outcome so far.
struct CRunStatus {
  // Started unattended; cleared by any message box, so a run that needs the user stays open.
  bool auto_run = false;
  // No display: message boxes are logged and answered so the run goes on.
  bool headless = false;
  // The data file was read, so it may be written.
  bool loaded = false;
  int failure_count = 0;
  bool warn_reverted = true;
  // An entry or an e-mail failed; a headless run then exits with a non-zero code.
  bool had_failures = false;
  // The user's description for the problem report.
  std::string problem_desc;
  // Requests sent to the Open Data Portal by this process, each try counted.
  int odp_requests = 0;
  // The docket changed since it was last written; it is written with the data file.
  bool docket_unsaved = false;
};

// The two entry slots that variable lookup reads: the entry being reported on and, for the
// "Old" names and [AllChanges], a copy of it as it was before.
struct CExpansionSlots {
  const CEntry* current = nullptr;
  const CEntry* previous = nullptr;
};

class CRun : public INetWaiter {
 public:
  CRun(ISettingsBackend& backend, std::string program_path);
  CRun(const CRun&) = delete;
  CRun& operator=(const CRun&) = delete;

  CSettings& Settings() { return settings_; }
  const CSettings& Settings() const { return settings_; }
  CLog& Log() { return log_; }
  CEntryList& Entries() { return entries_; }
  CFlowLog& FlowLog() { return *flow_log_; }
  std::shared_ptr<CFlowLog> SharedFlowLog() override { return flow_log_; }

  CRulesInUse& Rules() { return rules_; }
  const CRulesInUse& Rules() const { return rules_; }
  CMasterListState& MasterList() { return master_list_; }
  CLastFetch& LastFetch() { return last_fetch_; }
  const CLastFetch& LastFetch() const { return last_fetch_; }
  CFlowTranscript& Transcript() { return transcript_; }
  CEmailQueueState& EmailQueue() { return email_queue_; }
  const CEmailQueueState& EmailQueue() const { return email_queue_; }
  // The busy display of a headless run: the log, and a line on standard error when that is a
  // terminal.
  CTextProgress& TextProgress() { return text_progress_; }
  CRunStatus& Status() { return status_; }
  const CRunStatus& Status() const { return status_; }
  CExpansionSlots& Slots() { return slots_; }

  // The docket, kept in docket.dat beside patent.dat.
  CDocket& Docket() { return docket_; }
  const CDocket& Docket() const { return docket_; }
  // Reads docket.dat from the logging directory. A damaged file is refused: the problem is
  // logged and shown once, and the docket stays read-only for the run, so the file is never
  // overwritten with less than it holds.
  void LoadDocketFile();
  // Writes the docket file after a change. A failure is shown with its reason and counts as a
  // failure of the run; false then, and when the docket is read-only (nothing is written).
  // Without a logging directory there is no file and nothing to do.
  bool SaveDocketNow();
  bool DocketReadOnly() const { return docket_read_only_; }
  // The deadlines section of the rules in use, read again whenever the rules text changed.
  const CDeadlineRules& DeadlineRules();

  const std::string& VersionText() const { return version_text_; }
  const std::string& ProgramPath() const { return program_path_; }

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
  // The error display: "%s '%s'\n" logged, box captioned with title.
  void ShowError(const std::string& title, const std::string& message);

  // Busy periods nest (each fetch runs inside an update). Only the outermost begin clears the
  // abort state; only the outermost end re-enables the window and re-issues a pending close.
  void BeginBusy(const std::string& caption, int range);
  void EndBusy();
  bool Busy() const { return busy_depth_ > 0; }

  // INetWaiter. A network wait runs inside the busy display, or in a busy period of its own
  // when none is open. The time-out clock restarts with each wait; the window's timer sets
  // abort reason 2 once TimeoutElapsed() says so.
  void PumpEvents(int max_wait_ms) override;
  void WakeUp() override;
  void BeginNetworkWait(int range_seconds) override;
  void EndNetworkWait() override;
  bool AbortFlag() const override { return abort_flag_; }
  int AbortReason() const override { return abort_reason_; }
  void SetAbort(int reason) override;
  void RegisterGroup(GroupKind kind, ICancelable* group) override;
  void ShowInternalProblem(const std::string& message) override;
  void LogRecord(const std::string& record) override { log_.WriteText(record); }

  bool NetworkWaiting() const { return network_waiting_; }
  uint64_t NetworkWaitStart() const { return wait_clock_start_; }
  bool TimeoutElapsed() const;

  // The network time-out in milliseconds. A wait reads it live, so the window's time-out
  // choice moves a running wait's deadline. Downloads of the publisher's files fix their own
  // until they release it; otherwise every fetch re-reads the setting.
  const unsigned& TimeoutMs() const override { return timeout_ms_; }
  void SetTimeoutMs(unsigned ms) { timeout_ms_ = ms; }
  bool TimeoutFixed() const { return timeout_fixed_; }
  void SetTimeoutFixed(bool fixed) { timeout_fixed_ = fixed; }
  void FixTimeout(unsigned ms);
  void ReleaseTimeout();
  void ReloadTimeoutUnlessFixed();

 private:
  std::string program_path_;
  CSettings settings_;
  CLog log_;
  CTextProgress text_progress_;
  CEntryList entries_;
  std::shared_ptr<CFlowLog> flow_log_ = std::make_shared<CFlowLog>();
  UiHost* ui_ = nullptr;
  std::string version_text_;

  CRulesInUse rules_;
  CMasterListState master_list_;
  CLastFetch last_fetch_;
  CFlowTranscript transcript_;
  CEmailQueueState email_queue_;
  CRunStatus status_;
  CExpansionSlots slots_;
  CDocket docket_;
  bool docket_read_only_ = false;
  CDeadlineRules deadline_rules_;
  // The rules text deadline_rules_ was read from.
  std::string deadline_rules_source_;
  bool deadline_rules_read_ = false;

  int busy_depth_ = 0;
  bool network_waiting_ = false;
  bool wait_owns_busy_ = false;
  uint64_t wait_clock_start_ = 0;
  int abort_reason_ = kAbortNone;
  bool abort_flag_ = false;
  ICancelable* http_group_ = nullptr;
  ICancelable* smtp_group_ = nullptr;
  unsigned timeout_ms_ = kDefaultTimeoutMs;
  bool timeout_fixed_ = false;

  // The windowless PumpEvents waits here.
  std::mutex wake_mutex_;
  std::condition_variable wake_cv_;
  bool wake_pending_ = false;
};

}  // namespace larkspire
