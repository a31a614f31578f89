// The commands that change the entry list: add, replace, delete, and the data file's load and
// save around a run. The window and the master-list import both go through here.
#pragma once

#include <cstddef>
#include <string>

#include "entries/Entry.h"

namespace larkspire {

class CRun;

// Flags of AddEntry.
enum class AddFlags : unsigned {
  kNone = 0,
  kCheckDuplicate = 1,  // refuse an entry whose number is already listed
  kNotify = 2,          // queue the "entry added" notification
  kQuietDuplicate = 4,  // a duplicate is skipped without a message
  // The caller refreshes the list view itself once a batch is in: a refresh per row of a large
  // import would redraw the whole list thousands of times.
  kNoRefresh = 8,
};
constexpr AddFlags operator|(AddFlags a, AddFlags b) {
  return static_cast<AddFlags>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool HasFlag(AddFlags set, AddFlags flag) {
  return (static_cast<unsigned>(set) & static_cast<unsigned>(flag)) != 0;
}

// What ReplaceEntry queues.
enum class ReplaceNotice {
  kNone,
  kReferenceChange,  // "entry changed" when the Reference is new
};

inline constexpr const char* kDuplicateEntryMessage = "This entry already exists.";

// Inserts the entry where the current sort puts it; returns the error text ("" on success, and
// also for a duplicate skipped quietly). Sets the added row's index when given.
std::string AddEntry(CRun& app, CEntry entry, AddFlags flags, std::size_t* added_row = nullptr);
// Overwrites the row's record; with kReferenceChange a changed Reference queues the
// "entry changed" notification with the old record as the previous entry. A record whose
// identifier changed takes its deadlines along.
std::string ReplaceEntry(CRun& app, std::size_t row, CEntry entry, ReplaceNotice notice);
// Asks, then deletes the selected rows from the last to the first, queueing an "entry deleted"
// notification for each while none has failed, and removing each one's deadlines.
void DeleteSelectedEntries(CRun& app);

// The window's edits. Each one saves the data file at once: its notification (if any) is
// already queued, and a kill before the exit's save would otherwise lose the edit and keep
// the notice.
// Edit > Add: the entry the dialog filled, refused when listed already, noticed and saved.
std::string AddNewEntry(CRun& app, CEntry entry, std::size_t* added_row = nullptr);
// The frequency commands: the selected rows take the frequency and the list is sorted again.
void SetSelectedFrequency(CRun& app, int frequency);
// Edit > Clear Error.
void ClearSelectedErrors(CRun& app);
// The Last Update column's edit: asks first; false when the user declined.
bool ClearSelectedLastUpdates(CRun& app);
// The Reference column's edit: every selected row takes the reference, each changed one with
// its "entry changed" notification.
void ChangeSelectedReferences(CRun& app, const std::string& reference);

// Loads patent.dat into the list (showing the file's message when it is rejected) and sets the
// loaded flag; saves it only when the flag is set, after committing the e-mail queue (a queue
// that cannot take the notifications of the changes holds the save back: the failure is shown
// under "E-Mail Creation Failed"). A save that fails is shown and logged with its reason and
// counts as a failure of the run (a headless run exits non-zero); the file keeps its earlier
// complete contents. Save returns false then. A changed docket is written just before the data
// file, and a docket that cannot be written holds the data file back the same way.
void LoadEntries(CRun& app);
bool SaveEntries(CRun& app);

}  // namespace larkspire
