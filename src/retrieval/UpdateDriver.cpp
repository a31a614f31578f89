#include "retrieval/UpdateDriver.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "notify/Digest.h"
#include "notify/EmailQueue.h"
#include "notify/EntryCommands.h"
#include "notify/NoticeSender.h"
#include "notify/PendingList.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "retrieval/ChangeDetection.h"
#include "retrieval/DocketFeed.h"
#include "retrieval/EntryFetch.h"
#include "retrieval/Fetch.h"
#include "retrieval/MasterListCommand.h"
#include "retrieval/OdpSettings.h"
#include "retrieval/OdpUpdate.h"
#include "retrieval/PagePrefetch.h"
#include "retrieval/RulesUpdate.h"
#include "retrieval/SourceSwitch.h"
#include "rules/Dates.h"
#include "rules/PageText.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr const char* kCanceledMessage = "Operation canceled.";
constexpr const char* kOdpFailureTitle = "Open Data Portal Request Failed";

void Redraw(CRun& app, std::size_t row) {
  if (app.Ui()) app.Ui()->RedrawRow(static_cast<int>(row));
}

bool Considered(const CEntryList& list, std::size_t row, bool selected_only) {
  return !selected_only || list.IsSelected(row);
}

// The count pass; asks to redo the update when nothing is due. Returns the number of due
// entries, 0 when there is nothing to do.
int CountDueEntries(CRun& app, bool selected_only) {
  CEntryList& list = app.Entries();
  for (;;) {
    int considered = 0;
    int due = 0;
    for (std::size_t row = 0; row < list.Size(); ++row) {
      if (!Considered(list, row, selected_only)) continue;
      list.At(row).Text(kError).clear();
      Redraw(app, row);
      ++considered;
      if (!list.At(row).IsUpToDate()) ++due;
    }
    if (due > 0) return due;
    if (app.Status().auto_run || considered == 0) return 0;
    std::string question = std::string("All ") + (selected_only ? "the selected" : "of the") +
                           " entries are already up-to-date.\n\nDo you want redo the update?";
    if (app.MessageBox(question, MsgButtons::kYesNo, MsgAnswer::kNo, "", MsgAnswer::kNo) !=
        MsgAnswer::kYes) {
      return 0;
    }
    for (std::size_t row = 0; row < list.Size(); ++row) {
      CEntry& entry = list.At(row);
      if (selected_only ? list.IsSelected(row) : entry.frequency != kNever) {
        entry.ClearLastUpdate();
      }
    }
  }
}

// Reads one due entry (row, stored) into fresh: nothing or the failure; a fatal one stops the
// run, shown under the source's title.
struct CEntryReader {
  std::function<CFailure(std::size_t row, const CEntry& stored, CEntry& fresh)> read;
  const char* failure_title;
  // What the last read learnt of the entry's events, for the docket.
  const CEventNews* news;
  // Whether the log's error line names the entry (the site's keeps the form it always had).
  bool names_entry_in_log = false;
};

// The status site shows an application's last event alone.
const CEventNews kStatusSiteNews{EEventNews::kLastEvent, {}};

// Fetches the entry's pages and reads them into a copy; nothing or the failure. A rules value
// that could not be given explains whatever the pages then seemed to say, so its error wins.
// The next due entry's pages are asked for before this entry's are read, once the run can no
// longer be stopped by the reverted-fields question: a Cancel there must leave later entries
// unfetched.
CFailure FetchAndParse(CRun& app, std::size_t row, const CEntry& stored, CEntry& fresh,
                       CPagePrefetch& prefetch, std::optional<std::size_t> next_row,
                       CNoticeSender& sender) {
  std::vector<std::string> urls;
  std::vector<std::string> pages;
  TakeRulesError(app);  // an earlier lookup's, not this entry's
  {
    CExpansionScope scope(app, &stored);
    EntryPageUrls(app, stored, urls);
  }
  if (std::string rules_error = TakeRulesError(app); !rules_error.empty()) return {rules_error};
  std::string error = prefetch.FetchPages(row, urls, pages);
  if (error.empty() && next_row && app.AbortReason() == kAbortNone && !app.Status().warn_reverted) {
    prefetch.Start(*next_row);
  }
  // A second turn for the notifications each entry: with only one, a message that takes a
  // little longer than an entry leaves the sender behind for the rest of the run.
  sender.Pump();
  if (error.empty()) {
    // Read from where [LastFetch] keeps them: pages can be megabytes, so no second copy.
    std::vector<std::string> normalized;
    normalized.reserve(pages.size());
    for (const std::string& page : pages) normalized.push_back(NormalizePage(page));
    app.LastFetch().urls = urls;
    app.LastFetch().pages = std::move(normalized);
  }
  if (app.AbortReason() == kAbortClosing) return {kCanceledMessage};
  if (!error.empty()) return {error};
  fresh = stored;
  CExpansionScope scope(app, &stored);
  CFailure failure = ParseEntryPages(app, fresh, urls, pages, app.LastFetch().pages);
  if (std::string rules_error = TakeRulesError(app); !rules_error.empty()) return {rules_error};
  return failure;
}

// Logs what one update cost on the Open Data Portal, however it ends.
class COdpRequestTally {
 public:
  explicit COdpRequestTally(CRun& app) : app_(app), before_(app.Status().odp_requests) {}
  ~COdpRequestTally() {
    if (!UsesOdp(app_.Settings())) return;
    app_.Log().Write("Open Data Portal: %d requests in this update\n",
                     app_.Status().odp_requests - before_);
  }
  COdpRequestTally(const COdpRequestTally&) = delete;
  COdpRequestTally& operator=(const COdpRequestTally&) = delete;

 private:
  CRun& app_;
  const int before_;
};

// The entry's open deadlines, by UID: an update that changes them opened or closed one.
std::set<std::string> OpenDeadlines(const CRun& app, const CEntry& entry) {
  std::set<std::string> open;
  for (const CDeadline* deadline : app.Docket().ForEntry(entry.Identifier())) {
    if (deadline->IsOpen()) open.insert(deadline->Uid());
  }
  return open;
}

// Returns false when the whole run must stop.
bool UpdateOneEntry(CRun& app, std::size_t row, const CEntryReader& reader,
                    CSourceSwitch& sources) {
  CEntryList& list = app.Entries();
  if (app.AbortReason() == kAbortClosing) return false;
  if (list.At(row).IsUpToDate()) return true;

  std::string error;
  const std::string identifier = list.At(row).Identifier();
  if (app.AbortReason() == kAbortCanceled) {
    error = kCanceledMessage;
  } else {
    // The status shows the reference as it is: doubling "&" was for a Windows control.
    if (app.Ui()) app.Ui()->SetStatusText("Updating " + list.At(row).Text(kReference));
    list.SetUpdating(row, true);
    Redraw(app, row);
    const CEntry stored = list.At(row);
    CEntry fresh;
    const CFailure failure = reader.read(row, stored, fresh);
    error = failure.text;
    list.SetUpdating(row, false);
    if (app.AbortReason() == kAbortClosing) {
      ++app.Status().failure_count;
      Redraw(app, row);
      return false;
    }
    if (failure.fatal) {
      if (reader.names_entry_in_log) {
        app.Log().Write("Update error '%s: %s'\n", identifier.c_str(), error.c_str());
      }
      Redraw(app, row);
      ++app.Status().failure_count;
      app.Status().had_failures = true;
      app.ShowError(reader.failure_title, error);
      return false;
    }
    if (error.empty()) {
      if (!CheckRevertedFields(app, fresh, stored)) {
        error = "Possible update problem, update canceled by user.";
        app.SetAbort(kAbortCanceled);
      } else {
        fresh.last_update = TodayDayNumber();
        fresh.Normalize();
        const CEntry baseline = sources.Baseline(stored, fresh);
        sources.Read(fresh);
        error = ApplyUpdate(app, row, std::move(fresh), baseline);
        // Only a stored update feeds the docket: one held back is read again next run.
        if (error.empty()) {
          const std::set<std::string> open_before = OpenDeadlines(app, list.At(row));
          const bool changed = FeedDocket(app, list.At(row), *reader.news);
          if (changed && OpenDeadlines(app, list.At(row)) != open_before) {
            MarkDeadlineChange(app, list.At(row));
          }
        }
      }
    }
  }
  if (error.empty()) {
    app.Settings().CountUpdateSucceeded.Increment();
  } else {
    if (reader.names_entry_in_log) {
      app.Log().Write("Update error '%s: %s'\n", identifier.c_str(), error.c_str());
    } else {
      app.Log().Write("Update error '%s'\n", error.c_str());
    }
    PostDigestFailure(app, list.At(row), error);
    app.Settings().CountUpdateFailed.Increment();
    ++app.Status().failure_count;
    app.Status().had_failures = true;
  }
  list.At(row).SetText(kError, error);
  Redraw(app, row);
  return true;
}

}  // namespace

void UpdateStatus(CRun& app, bool selected_only) {
  if (app.Busy()) return;
  const CLogKeptOpen log_open(app.Log());
  const COdpRequestTally tally(app);
  if (!selected_only && !RunMasterListStep(app)) return;
  // A close asked for during the import ends the command; the window closes after it.
  if (app.AbortReason() == kAbortClosing) return;
  UpdateRules(app);

  const int due = CountDueEntries(app, selected_only);
  if (due == 0) {
    SaveEntries(app);
    return;
  }
  app.BeginBusy(selected_only ? "Update Status (Selected)" : "Update Status (All)", due);
  // The run's notifications are committed together, before the data file is saved.
  CEmailBatch notices(app);
  app.Status().warn_reverted = true;
  CEntryList& list = app.Entries();
  std::vector<std::size_t> due_rows;
  for (std::size_t row = 0; row < list.Size(); ++row) {
    if (Considered(list, row, selected_only) && !list.At(row).IsUpToDate()) due_rows.push_back(row);
  }

  // Let go of with the loop, so a prefetch the run did not take is cancelled at once.
  auto prefetch = std::make_unique<CPagePrefetch>(app);
  CNoticeSender sender(app);
  CEntryReader reader{
      [&app, &prefetch, &due_rows, &sender](std::size_t row, const CEntry& stored, CEntry& fresh) {
        const auto next = std::upper_bound(due_rows.begin(), due_rows.end(), row);
        return FetchAndParse(
            app, row, stored, fresh, *prefetch,
            next == due_rows.end() ? std::nullopt : std::optional<std::size_t>(*next), sender);
      },
      "Webpage Read(s) Failed", &kStatusSiteNews};
  std::unique_ptr<COdpUpdateRun> odp;
  CSourceSwitch sources(app);
  std::string error;
  if (UsesOdp(app.Settings())) {
    odp = std::make_unique<COdpUpdateRun>(app);
    reader = {[&odp](std::size_t row, const CEntry& stored, CEntry& fresh) {
                return odp->ReadEntry(row, stored, fresh);
              },
              kOdpFailureTitle, &odp->News(), true};
    error = odp->Prepare(due_rows);
  }
  if (error.empty()) {
    int done = 0;
    for (std::size_t row : due_rows) {
      if (!UpdateOneEntry(app, row, reader, sources)) break;
      sender.Pump();
      ++done;
      if (app.Ui()) app.Ui()->SetProgress(done);
      if (done > 5) app.Status().warn_reverted = false;
    }
    prefetch.reset();
    sender.Finish();
  } else {
    // The service cannot be used at all (no key, a refused key, an unusable odp section).
    ++app.Status().failure_count;
    app.Status().had_failures = true;
    app.ShowError(kOdpFailureTitle, error);
  }
  // Saved after every run, so a crash or a kill later loses nothing the run learnt.
  const bool saved = SaveEntries(app);
  if (odp) odp->Finish(saved);
  sources.Finish(saved);
  if (!(app.Status().auto_run && app.Status().failure_count == 0)) {
    const bool failed = app.Status().failure_count != 0;
    const char* summary = selected_only
                              ? (failed ? "Some selected entries were not updated."
                                        : "All selected entries have been successfully updated.")
                              : (failed ? "Some entries were not updated."
                                        : "All entries have been successfully updated.");
    app.MessageBox(summary, MsgButtons::kOk, MsgAnswer::kOk, "", std::nullopt,
                   failed ? MsgIcon::kWarning : MsgIcon::kDefault);
  }
  app.EndBusy();
}

}  // namespace larkspire
